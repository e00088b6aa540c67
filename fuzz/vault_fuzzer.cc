// The key vault through its exports. The vault lives in a private temporary
// machine (application-data folder and machine key), set up once; the
// library's signature check is switched off through its test hook. The first
// byte picks the mode:
//  0: the remaining bytes are the vault file;
//  1: a vault made by the library, patched (offset, byte)… and maybe cut;
//  2: the remaining bytes, up to a zero byte, go to Calldcy (made vault);
//  3: they go to Callecy, and every ciphertext it gives must come back from
//     Calldcy byte for byte (made vault).
// Modes 0 and 1 call every flat export, and the string-object exports too
// when bit 2 of the first byte is set. Every flat result must be null or a
// terminated text; the sanitizers catch the rest.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>

#include "vault/KeysteadVault.h"
#include "vault/VaultTestHooks.h"

namespace keystead::fuzz {
namespace {

namespace fs = std::filesystem;

// A fixed machine key, so that committed vault files stay readable.
constexpr char kMachineKey[] = "keystead-fuzz-machine-key-32byte";
static_assert(sizeof(kMachineKey) - 1 == 32);

struct VaultFree {
  void operator()(char* result) const { KeysteadVaultFree(result); }
};
using Result = std::unique_ptr<char, VaultFree>;

// The private machine; removed when the process ends normally.
class FuzzMachine {
 public:
  FuzzMachine() {
    std::string pattern = (TempBase() / "keystead-vault-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) Fail("cannot make a temporary folder");
    root_ = pattern;
    const fs::path programData = root_ / "programdata";
    const fs::path keyFolder = root_ / "etc-keystead";
    fs::create_directories(programData / "Keystead");
    fs::create_directories(keyFolder);
    for (const fs::path& folder : {root_, programData, programData / "Keystead", keyFolder}) {
      fs::permissions(folder, fs::perms(0755));
    }
    WriteBytes(keyFolder / "machine.key", std::string(kMachineKey, 32));
    fs::permissions(keyFolder / "machine.key", fs::perms(0600));
    setenv("KEYSTEAD_PROGRAMDATA", programData.c_str(), 1);
    setenv("KEYSTEAD_MACHINE_KEY_FILE", (keyFolder / "machine.key").c_str(), 1);
    vaultFile_ = programData / "Keystead" / "KeysteadVault.dat";
  }
  ~FuzzMachine() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  FuzzMachine(const FuzzMachine&) = delete;
  FuzzMachine& operator=(const FuzzMachine&) = delete;

  const fs::path& VaultFile() const { return vaultFile_; }

  // Memory-backed when the system has it: the vault file is rewritten for
  // most inputs, and a disk file system flushes a truncated file on close.
  static fs::path TempBase() {
    std::error_code ignored;
    if (fs::is_directory("/dev/shm", ignored)) return "/dev/shm";
    return fs::temp_directory_path();
  }

  [[noreturn]] static void Fail(const char* what) {
    std::fprintf(stderr, "vault fuzzer: %s\n", what);
    std::abort();
  }

  static void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
    if (!file.flush()) Fail("cannot write a file");
  }

 private:
  fs::path root_;
  fs::path vaultFile_;
};

FuzzMachine* gMachine = nullptr;
std::string gMadeVault;  // the file of a vault the library made
bool gMadeVaultInPlace = false;

std::string ReadBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void PlaceVault(const std::string& bytes, bool made) {
  if (made && gMadeVaultInPlace) return;
  FuzzMachine::WriteBytes(gMachine->VaultFile(), bytes);
  gMadeVaultInPlace = made;
}

// The length of a flat result, which must be null or terminated (an
// overread is the sanitizer's to report).
std::size_t Length(const Result& result) { return result ? std::strlen(result.get()) : 0; }

void CallStringExports() {
  gsq();
  gcsa();
  gcss();
  dcy(ecy("fuzz probe"));
  std::string message;
  validate(message);
}

// The flat exports, and with `stringLayer` the string-object exports too
// (the flat ones run the same code behind them, so half the inputs do).
void CallEveryExport(bool stringLayer) {
  Length(Result(Callgsq()));
  Length(Result(Callgcsa()));
  Length(Result(Callgcss()));
  const Result ciphertext(Callecy("fuzz probe"));
  Length(ciphertext);
  if (ciphertext) Length(Result(Calldcy(ciphertext.get())));
  Length(Result(Calldcy("AAAAAAAAAAAAAAAAAAAAAA==")));
  Length(Result(Callgr("registry")));
  bool verdict = false;
  Length(Result(Callvalidate(&verdict)));
  Callvfy(gMachine->VaultFile().c_str());
  if (stringLayer) CallStringExports();
  // The file holds the fuzzed vault, or one the library made in its place.
  gMadeVaultInPlace = false;
}

std::string PatchedVault(FuzzedDataProvider& data) {
  std::string vault = gMadeVault;
  if (data.ConsumeBool()) vault.resize(data.ConsumeIntegralInRange<std::size_t>(0, vault.size()));
  while (data.remaining_bytes() >= 3 && !vault.empty()) {
    const auto offset = data.ConsumeIntegral<std::uint16_t>() % vault.size();
    vault[offset] = static_cast<char>(data.ConsumeIntegral<std::uint8_t>());
  }
  return vault;
}

void RoundTrip(const std::string& text) {
  const Result ciphertext(Callecy(text.c_str()));
  if (!ciphertext || ciphertext.get()[0] == '\0') return;  // refused
  const Result plaintext(Calldcy(ciphertext.get()));
  if (!plaintext || text != plaintext.get()) {
    std::fprintf(stderr, "vault fuzzer: round trip of %zu bytes gave %s\n", text.size(),
                 plaintext ? "other bytes" : "null");
    std::abort();
  }
}

}  // namespace

int InitializeFuzzer() {
  static FuzzMachine machine;
  gMachine = &machine;
  keystead::test_hooks::SetVaultCodeSignatureVerifier([](const std::string&) { return true; });
  if (Result(Callgsq()) == nullptr) FuzzMachine::Fail("cannot make a vault");
  gMadeVault = ReadBytes(machine.VaultFile());
  if (gMadeVault.empty()) FuzzMachine::Fail("the made vault is empty");
  gMadeVaultInPlace = true;
  // How the seed of a whole vault is made: KS_FUZZ_SAVE_VAULT=<file>.
  if (const char* seed = std::getenv("KS_FUZZ_SAVE_VAULT")) {
    FuzzMachine::WriteBytes(seed, std::string(1, '\0') + gMadeVault);
  }
  return 0;
}

int FuzzOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  const std::string rest(reinterpret_cast<const char*>(bytes) + 1, size - 1);
  switch (bytes[0] % 4) {
    case 0:
      PlaceVault(rest, false);
      CallEveryExport((bytes[0] & 4) != 0);
      break;
    case 1: {
      FuzzedDataProvider data(bytes + 1, size - 1);
      PlaceVault(PatchedVault(data), false);
      CallEveryExport((bytes[0] & 4) != 0);
      break;
    }
    case 2:
      PlaceVault(gMadeVault, true);
      Length(Result(Calldcy(rest.c_str())));
      break;
    default:
      PlaceVault(gMadeVault, true);
      RoundTrip(rest.c_str());
      break;
  }
  return 0;
}

}  // namespace keystead::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) { return keystead::fuzz::InitializeFuzzer(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  return keystead::fuzz::FuzzOneInput(bytes, size);
}
