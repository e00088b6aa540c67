// The Win32 implementations of the platform layer against the real Windows
// services (run under Wine by scripts/test-windows.sh). Machine state is
// changed only below keys and folders that the tests create themselves.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "os/base64.h"
#include "os/code_signature.h"
#include "os/crypto.h"
#include "os/data_protection.h"
#include "os/dynamic_library.h"
#include "os/known_folders.h"
#include "os/machine_files.h"
#include "os/named_event.h"
#include "os/process_info.h"
#include "os/process_launch.h"
#include "os/registry.h"
#include "os/result_memory.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

namespace keystead::os {
namespace {

using namespace std::chrono_literals;
using test_support::ScopedEnv;
using test_support::TempFolder;

// A key of its own under HKLM\SOFTWARE, written with reg.exe in the 64-bit
// view and deleted with everything below it when the object goes.
class ScopedMachineKey {
 public:
  ScopedMachineKey()
      : path_(L"SOFTWARE\\KeysteadTest\\" + std::to_wstring(CurrentProcessId()) + L"-" +
              std::to_wstring(counter_++)) {}
  ~ScopedMachineKey() { Reg(L"delete \"HKLM\\" + path_ + L"\" /f"); }
  ScopedMachineKey(const ScopedMachineKey&) = delete;
  ScopedMachineKey& operator=(const ScopedMachineKey&) = delete;

  void Set(const std::wstring& name, const std::wstring& type, const std::wstring& data) const {
    ASSERT_EQ(Reg(L"add \"HKLM\\" + path_ + L"\" /v \"" + name + L"\" /t " + type + L" /d \"" +
                  data + L"\" /f"),
              0);
  }
  std::string Path() const { return std::string(path_.begin(), path_.end()); }

 private:
  static int Reg(const std::wstring& arguments) {
    return _wsystem((L"reg " + arguments + L" /reg:64 >NUL 2>NUL").c_str());
  }

  static inline int counter_ = 0;
  std::wstring path_;
};

TEST(Win32RegistryTest, ReadsStringsAndNumbersOfTheMachineHive) {
  ScopedMachineKey key;
  key.Set(L"Name", L"REG_SZ", L"Gr\u00FC\u00DFe");
  key.Set(L"Count", L"REG_DWORD", L"4294967295");
  key.Set(L"Text", L"REG_SZ", L"seven77");

  EXPECT_EQ(ReadMachineString(key.Path(), "Name", 260),
            "Gr\xC3\xBC\xC3\x9F"
            "e");
  EXPECT_EQ(ReadMachineString(key.Path() + "\\", "name", 260),
            "Gr\xC3\xBC\xC3\x9F"
            "e")
      << "a trailing backslash and the case of the value name do not matter";
  EXPECT_EQ(ReadMachineDword(key.Path(), "Count"), 4294967295u);
  // "seven77" takes 16 bytes of UTF-16 with its terminator; so does the
  // 5-unit "Gr\u00FC\u00DFe" in 12, though its UTF-8 form has 7 bytes.
  EXPECT_EQ(ReadMachineString(key.Path(), "Text", 16), "seven77");
  EXPECT_EQ(ReadMachineString(key.Path(), "Text", 15), std::nullopt);
  EXPECT_TRUE(ReadMachineString(key.Path(), "Name", 12).has_value());
  EXPECT_EQ(ReadMachineString(key.Path(), "Name", 11), std::nullopt);

  EXPECT_EQ(ReadMachineDword(key.Path(), "Name"), std::nullopt) << "a string is not a number";
  EXPECT_EQ(ReadMachineString(key.Path(), "Count", 260), std::nullopt);
  EXPECT_EQ(ReadMachineString(key.Path(), "Absent", 260), std::nullopt);
  EXPECT_EQ(ReadMachineDword(key.Path() + "\\Nowhere", "Count"), std::nullopt);
}

TEST(Win32KnownFoldersTest, AsksTheSystemUnlessAVariableRelocatesTheFolder) {
  ScopedEnv local("KEYSTEAD_LOCALAPPDATA", std::nullopt);
  ScopedEnv machine("KEYSTEAD_PROGRAMDATA", std::nullopt);
  const std::optional<std::string> localAppData = LocalAppDataFolder();
  const std::optional<std::string> programData = ProgramDataFolder();
  ASSERT_TRUE(localAppData && programData);
  EXPECT_TRUE(std::filesystem::is_directory(*localAppData)) << *localAppData;
  EXPECT_TRUE(std::filesystem::is_directory(*programData)) << *programData;
  EXPECT_NE(localAppData->back(), '\\');
  EXPECT_NE(localAppData, programData);

  ScopedEnv relocated("KEYSTEAD_PROGRAMDATA", "D:\\data\\");
  EXPECT_EQ(ProgramDataFolder(), "D:\\data");
}

TEST(Win32NamedEventTest, AnotherHandleOfTheSameNameSeesTheSignalOnce) {
  const std::string name = "KeysteadTest-" + std::to_string(CurrentProcessId());
  std::optional<NamedEvent> first = NamedEvent::CreateOrOpen(name);
  std::optional<NamedEvent> second = NamedEvent::CreateOrOpen(name);
  ASSERT_TRUE(first && second);
  EXPECT_TRUE(first->Signal());
  EXPECT_TRUE(first->Signal());
  EXPECT_TRUE(second->Wait(0ms));
  EXPECT_FALSE(first->Wait(0ms)) << "auto-reset, and signals do not accumulate";
  EXPECT_TRUE(second->Close());
  EXPECT_FALSE(second->Close());
}

TEST(Win32DynamicLibraryTest, LoadsADllAndResolvesItsExports) {
  EXPECT_EQ(SharedLibraryFileName("CvVSUAPI"), "CvVSUAPI.dll");
  std::optional<DynamicLibrary> kernel = DynamicLibrary::Open("kernel32.dll");
  ASSERT_TRUE(kernel);
  EXPECT_NE(kernel->Symbol("GetTickCount"), nullptr);
  EXPECT_EQ(kernel->Symbol("NoSuchFunction"), nullptr);
  EXPECT_FALSE(DynamicLibrary::Open("C:\\no\\such\\library.dll"));
}

TEST(Win32ProcessLaunchTest, StartsAProgramAndWaitsForItsExitCode) {
  const std::string shell = std::string(std::getenv("SystemRoot")) + "\\system32\\cmd.exe";
  const LaunchResult quick = StartProcess(shell, {"/c", "exit 7"}, 20s);
  EXPECT_TRUE(quick.started);
  EXPECT_TRUE(quick.exited);
  EXPECT_EQ(quick.exitCode, 7);

  const auto start = std::chrono::steady_clock::now();
  const LaunchResult slow = StartProcess(shell, {"/c", "ping -n 4 127.0.0.1 >NUL"}, 200ms);
  EXPECT_TRUE(slow.started);
  EXPECT_FALSE(slow.exited) << "a program outliving the wait keeps running";
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);

  EXPECT_FALSE(StartProcess("C:\\no\\such\\program.exe", {}, 1s).started);
  EXPECT_FALSE(StartProcess("", {}, 1s).started);
}

TEST(Win32CodeSignatureTest, WinVerifyTrustRejectsUnsignedModules) {
  const std::optional<std::string> executable = CurrentExecutablePath();
  ASSERT_TRUE(executable);
  EXPECT_NE(executable->find("ks_os_tests.exe"), std::string::npos) << *executable;
  EXPECT_EQ(ModulePathOf(reinterpret_cast<const void*>(&CheckCodeSignature)), executable);

  const CodeSignatureVerdict unsigned_ = CheckCodeSignature(*executable);
  EXPECT_FALSE(unsigned_.trusted);
  EXPECT_EQ(unsigned_.reason, "file not signed");
  EXPECT_EQ(CheckCodeSignature("C:\\no\\such\\module.dll").reason, "file not found");
  EXPECT_EQ(CheckCodeSignature("").reason, "invalid path");
  {
    ScopedCodeSignatureVerifierForTesting trusting([](const std::string&) {
      return CodeSignatureVerdict{true, {}};
    });
    EXPECT_TRUE(VerifyCodeSignature(*executable));
  }
  EXPECT_FALSE(VerifyCodeSignature(*executable)) << "production goes back to WinVerifyTrust";
}

TEST(Win32DataProtectionTest, DpapiRoundTripsAndRefusesATamperedBlob) {
  const std::string secret("master\0password", 15);
  const std::optional<std::string> blob = ProtectForMachine(secret, "Norvell (R)");
  ASSERT_TRUE(blob);
  EXPECT_EQ(blob->find("master"), std::string::npos) << "the blob does not show the data";
  std::string description;
  EXPECT_EQ(UnprotectForMachine(*blob, &description), secret);
  EXPECT_EQ(description, "Norvell (R)");

  std::string tampered = *blob;
  tampered[tampered.size() - 20] ^= 0x01;
  EXPECT_EQ(UnprotectForMachine(tampered), std::nullopt);
  EXPECT_EQ(UnprotectForMachine(blob->substr(0, blob->size() / 2)), std::nullopt);
  EXPECT_EQ(UnprotectForMachine(""), std::nullopt);
}

TEST(Win32CryptoTest, CryptoApiGivesTheStandardBytes) {
  // SHA-256("abc") and the AES-256-CBC block of an empty text under its digest.
  const std::optional<std::string> digest = Sha256("abc");
  ASSERT_TRUE(digest);
  EXPECT_EQ(Base64Encode(*digest), "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=");
  const std::optional<std::string> empty = EncryptAes256CbcZeroIv(*digest, "");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->size(), 16u);
  EXPECT_EQ(DecryptAes256CbcZeroIv(*digest, *empty), "");
  EXPECT_EQ(DecryptAes256CbcZeroIv(std::string(32, 'k'), *empty), std::nullopt)
      << "a wrong key fails on the padding";
  EXPECT_EQ(EncryptAes256CbcZeroIv("short key", "x"), std::nullopt);
  EXPECT_EQ(Base64DecodeGroups("YWJj"), "abc");
  EXPECT_EQ(Base64DecodeGroups("YW=j"), std::nullopt);

  const std::optional<std::string> first = RandomBytes(32);
  const std::optional<std::string> second = RandomBytes(32);
  ASSERT_TRUE(first && second);
  EXPECT_NE(first, second);
}

TEST(Win32CryptoTest, WrappedSessionKeyBlobIsAFreshSimpleBlobOfAnAesKey) {
  // SIMPLEBLOB header: type 1, version 2, reserved 0, CALG_AES_256, then CALG_RSA_KEYX.
  const std::string header("\x01\x02\x00\x00\x10\x66\x00\x00\x00\xa4\x00\x00", 12);
  const std::optional<std::string> first = FreshWrappedSessionKeyBlob();
  const std::optional<std::string> second = FreshWrappedSessionKeyBlob();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->size(), kWrappedSessionKeyBlobSize);
  EXPECT_EQ(first->substr(0, header.size()), header);
  EXPECT_EQ(second->substr(0, header.size()), header);
  EXPECT_NE(first->substr(header.size()), second->substr(header.size()));
}

TEST(Win32MachineFilesTest, SecuredFolderAndPublishingThatNeverReplaces) {
  TempFolder dir;
  const std::string folder = dir.Path("Keystead");
  EXPECT_TRUE(CreateMachineSharedFolder(folder));
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_TRUE(CreateMachineSharedFolder(folder)) << "an existing folder is left as it is";
  EXPECT_FALSE(CreateMachineSharedFolder(dir.Path("missing\\parent")));

  const std::string file = folder + "\\KeysteadVault.dat";
  EXPECT_EQ(PublishNewFile(file, std::string("first\0", 6)), PublishResult::kPublished);
  EXPECT_EQ(PublishNewFile(file, "second"), PublishResult::kAlreadyExists);
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), std::string("first\0", 6));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1)
      << "no temporary file is left";
}

TEST(Win32ResultMemoryTest, ResultsComeFromTheComTaskAllocator) {
  void* memory = AllocateResult(16);
  ASSERT_NE(memory, nullptr);
  FreeResult(memory);
  FreeResult(nullptr);
}

}  // namespace
}  // namespace keystead::os
#endif  // _WIN32
