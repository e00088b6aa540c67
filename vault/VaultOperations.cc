#include "vault/VaultOperations.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>

#include "os/code_signature.h"
#include "os/file_system.h"
#include "os/result_memory.h"
#include "os/secure_memory.h"
#include "vault/CCrypto.h"
#include "vault/CVault.h"

namespace keystead::vault {
namespace {

// Serialises the key and cipher operations of this process, vault creation
// included. Constant-initialised, so it exists before any export runs.
std::mutex gVaultMutex;

// Any object of this library: its address tells which module to verify.
const char kModuleAnchor = 0;

constexpr char kProbeText[] = "sometext";

std::optional<std::string> CheckModule(const char* role, const std::optional<std::string>& path) {
  if (!path) return std::string(role) + ": path unknown";
  const os::CodeSignatureVerdict verdict = os::CheckCodeSignature(*path);
  if (!verdict.trusted) return std::string(role) + ": " + verdict.reason;
  return std::nullopt;
}

// Why the calling executable or this library may not be trusted; nullopt
// when both pass.
std::optional<std::string> UntrustedModuleReason() {
  if (auto reason = CheckModule("calling executable", os::CurrentExecutablePath())) return reason;
  return CheckModule("vault library", os::ModulePathOf(&kModuleAnchor));
}

// Which master passwords an operation accepts. A weak vault (see
// CVault::MasterPassword) holds values encrypted under a password it never
// kept: nothing new is encrypted and nothing stored is handed out, but
// texts that an earlier build encrypted under the empty password can still
// be decrypted.
enum class WeakVault { kRefuse, kDecryptOnly };

// The frame shared by the secret operations: lock, verify, make sure the
// vault exists and read the master password; operation runs only when all of
// that succeeded.
template <typename Operation>
std::string RunSecretOperation(WeakVault weak, Operation operation) {
  std::lock_guard lock(gVaultMutex);
  try {
    if (UntrustedModuleReason()) return {};
    CVault vault;
    if (!vault.StoreKeys()) return {};
    const std::optional<os::SecretString> master = vault.MasterPassword();
    if (!master || (master->empty() && weak == WeakVault::kRefuse)) return {};
    return operation(vault, master->view());
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::string DecryptStoredKey(KeyType keyType) {
  return RunSecretOperation(WeakVault::kRefuse,
                            [keyType](const CVault& vault, std::string_view master) {
                              const std::string stored = vault.getKey(keyType);
                              return CCrypto(master).Decrypt(stored);
                            });
}

std::unique_ptr<CCrypto> MakeCrypto(std::string_view master) {
  try {
    return std::make_unique<CCrypto>(master);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool ReadableAndWritable(const std::string& path) {
  // Opening for update neither creates nor changes the file.
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  return file.is_open();
}

// The first failing check of validate, as its message; empty when healthy.
std::string ValidationFailure() {
  if (const std::optional<std::string> reason = UntrustedModuleReason()) {
    return "Certs not valid-" + *reason;
  }
  const CVault vault;
  // Checked first: nothing of an untrusted folder or file is opened for update.
  if (std::optional<std::string> reason = vault.UntrustedReason()) return *reason;
  if (vault.path().empty() || !os::FileExists(vault.path())) return "vault file doesn't exit";
  if (!ReadableAndWritable(vault.path())) return "no rw access for vault file";
  const std::optional<os::SecretString> master = vault.MasterPassword();
  if (!master || master->empty()) return "No Master password";

  std::unique_ptr<CCrypto> crypto = MakeCrypto(master->view());
  if (!crypto) return "unable to create crypto(1)";
  const std::string ciphertext = crypto->Encrypt(kProbeText);
  crypto = MakeCrypto(master->view());
  if (!crypto) return "unable to create crypto(2)";
  if (crypto->Decrypt(ciphertext) != kProbeText) return "encryt/decrypt didn't work";

  const std::string sqlite = vault.getKey(SQLITE_KEY);
  if (sqlite.empty()) return "get sql key failed ";
  crypto = MakeCrypto(master->view());
  if (!crypto) return "create crypto(sql) failed ";
  if (os::SecretString(crypto->Decrypt(sqlite)).empty()) return "decrypt sql key failed";
  return {};
}

// A copy of result up to its first zero byte, from the allocator that
// FreeResult releases.
char* CopyForCaller(const std::string& result) {
  const std::size_t length = std::strlen(result.c_str());
  auto* buffer = static_cast<char*>(os::AllocateResult(length + 1));
  if (buffer == nullptr) return nullptr;
  std::memcpy(buffer, result.data(), length);
  buffer[length] = '\0';
  return buffer;
}

// The flat forms copy the result for the caller; the library's own copy of
// it (a plain secret for most of them) is wiped.
template <typename Operation>
char* CallFlat(Operation operation) noexcept {
  try {
    const os::SecretString result(operation());
    return CopyForCaller(result.str());
  } catch (const std::exception&) {
    return nullptr;
  }
}

// Length of the UTF-8 sequence that starts with lead, 0 for an invalid lead.
int SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Allowed range of the second byte, which rules out overlong forms,
// surrogates and code points above U+10FFFF.
bool SecondByteAllowed(unsigned char lead, unsigned char second) {
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  return second >= low && second <= high;
}

}  // namespace

std::string gsq() { return DecryptStoredKey(SQLITE_KEY); }

std::string gcsa() { return DecryptStoredKey(CSA_KEY); }

std::string gcss() { return DecryptStoredKey(CSS_KEY); }

std::string ecy(std::string text) {
  // The plaintext copy is the library's; the ciphertext is the caller's.
  const os::SecretString plaintext(std::move(text));
  return RunSecretOperation(WeakVault::kRefuse,
                            [&plaintext](const CVault&, std::string_view master) {
                              return CCrypto(master).Encrypt(plaintext.view());
                            });
}

std::string dcy(std::string text) {
  return RunSecretOperation(
      WeakVault::kDecryptOnly,
      [&text](const CVault&, std::string_view master) { return CCrypto(master).Decrypt(text); });
}

std::string gr(std::string /*text*/) { return "DecriptedRegistryValue"; }

bool validate(std::string& message) {
  std::lock_guard lock(gVaultMutex);
  const std::string failure = ValidationFailure();
  if (failure.empty()) return true;
  message += failure;
  return false;
}

char* Callgsq() {
  return CallFlat([] { return gsq(); });
}

char* Callgcsa() {
  return CallFlat([] { return gcsa(); });
}

char* Callgcss() {
  return CallFlat([] { return gcss(); });
}

char* Callecy(const char* text) {
  if (text == nullptr) return nullptr;
  return CallFlat([text] { return ecy(text); });
}

char* Calldcy(const char* text) {
  if (text == nullptr) return nullptr;
  return CallFlat([text] { return dcy(text); });
}

char* Callgr(const char* text) {
  if (text == nullptr) return nullptr;
  return CallFlat([text] { return gr(text); });
}

char* Callvalidate(bool* verdict) {
  if (verdict == nullptr) return nullptr;
  return CallFlat([verdict] {
    std::string message;
    *verdict = validate(message);
    return message;
  });
}

std::int32_t Callvfy(const char* path) {
  if (path == nullptr) return 0;
  try {
    const std::string_view text(path);
    return IsValidUtf8(text) && os::VerifyCodeSignature(std::string(text)) ? 1 : 0;
  } catch (const std::exception&) {
    return 0;
  }
}

void FreeResult(void* result) { os::FreeResult(result); }

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = SequenceLength(lead);
    if (length == 0 || text.size() - i < static_cast<std::size_t>(length)) return false;
    for (int k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      const bool allowed = k == 1 ? SecondByteAllowed(lead, next) : (next & 0xC0) == 0x80;
      if (!allowed) return false;
    }
    i += static_cast<std::size_t>(length);
  }
  return true;
}

}  // namespace keystead::vault
