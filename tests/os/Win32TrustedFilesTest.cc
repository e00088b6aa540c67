// The Windows trust decision on security descriptors built from SDDL, so
// that it is tested whatever descriptors the file system can store.
#ifdef _WIN32
// clang-format off
#include <windows.h>
#include <sddl.h>
// clang-format on

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "os/win32/descriptor_trust.h"

namespace keystead::os {
namespace {

using win32::TrustedObject;

constexpr wchar_t kCaller[] = L"S-1-5-21-1-2-3-1001";

struct LocalFreer {
  void operator()(void* memory) const { LocalFree(memory); }
};

std::optional<std::string> Decide(const std::wstring& sddl, TrustedObject object) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PSID caller = nullptr;
  EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                   &descriptor, nullptr));
  EXPECT_TRUE(ConvertStringSidToSidW(kCaller, &caller));
  const std::unique_ptr<void, LocalFreer> descriptorOwner(descriptor);
  const std::unique_ptr<void, LocalFreer> callerOwner(caller);
  return win32::UntrustedDescriptorReason(descriptor, caller, object);
}

TEST(Win32TrustedFilesTest, DecidesOnTheOwnerAndOnWhoElseMayChangeAFile) {
  const std::wstring trustedInstaller =
      L"S-1-5-80-956008885-3425873468-2621889710-4096424244-1953431009";
  struct Case {
    std::wstring sddl;
    std::optional<std::string> file;
    std::optional<std::string> folder;
  };
  const std::optional<std::string> trusted;
  const std::optional<std::string> foreign = "owned by another user";
  const std::optional<std::string> writable = "writable by another user";
  const std::wstring safeDacl = L"D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)";
  const std::vector<Case> cases = {
      {L"O:SY" + safeDacl, trusted, trusted},
      {L"O:BA" + safeDacl, trusted, trusted},
      {L"O:" + trustedInstaller + safeDacl, trusted, trusted},
      {std::wstring(L"O:") + kCaller + L"D:(A;;FA;;;" + kCaller + L")", trusted, trusted},
      {L"O:S-1-5-21-1-2-3-1002" + safeDacl, foreign, foreign},
      {L"O:BU" + safeDacl, foreign, foreign},
      {safeDacl, foreign, foreign},  // no owner at all
      // Every changing right counts, generic ones mapped first; the owner
      // check alone decides for a folder.
      {L"O:SYD:(A;;FW;;;BU)", writable, trusted},
      {L"O:SYD:(A;;GA;;;WD)", writable, trusted},
      {L"O:SYD:(A;;GW;;;AU)", writable, trusted},
      {L"O:SYD:(A;;0x4;;;BU)", writable, trusted},
      {L"O:SYD:(A;;SD;;;BU)", writable, trusted},
      {L"O:SYD:(A;;WD;;;BU)", writable, trusted},
      {L"O:SYD:(A;;WO;;;BU)", writable, trusted},
      {L"O:SYD:(A;;0x1200a9;;;WD)", trusted, trusted},  // read and execute only
      // Entries that let nobody else change the file.
      {L"O:SYD:(A;OICIIO;GA;;;BU)(D;;FA;;;BU)", trusted, trusted},
      {L"O:SYD:(A;;FA;;;S-1-3-4)(A;;FA;;;S-1-3-0)", trusted, trusted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.sddl.begin(), c.sddl.end()));
    EXPECT_EQ(Decide(c.sddl, TrustedObject::kFile), c.file);
    EXPECT_EQ(Decide(c.sddl, TrustedObject::kFolder), c.folder);
  }
}

TEST(Win32TrustedFilesTest, ANullDaclLetsEverybodyWrite) {
  SECURITY_DESCRIPTOR descriptor{};
  ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  BYTE system[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof system;
  ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &size));
  ASSERT_TRUE(SetSecurityDescriptorOwner(&descriptor, system, FALSE));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE));
  EXPECT_EQ(win32::UntrustedDescriptorReason(&descriptor, nullptr, TrustedObject::kFile),
            "writable by another user");
  EXPECT_EQ(win32::UntrustedDescriptorReason(&descriptor, nullptr, TrustedObject::kFolder),
            std::nullopt);
}

}  // namespace
}  // namespace keystead::os
#endif
