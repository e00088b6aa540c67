// Trust of machine-shared folders and files on Windows: the owner and the
// DACL are read from the open handle, and the file is read through it.
#include "os/trusted_files_platform.h"

// windows.h first: the other Windows headers rely on its types.
// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
// clang-format on

#include <array>
#include <vector>

#include "os/win32/descriptor_trust.h"
#include "os/win32/handles.h"
#include "os/win32/wide_text.h"

namespace keystead::os {
namespace win32 {
namespace {

constexpr wchar_t kTrustedInstallerSid[] =
    L"S-1-5-80-956008885-3425873468-2621889710-4096424244-1953431009";

// Rights that let a principal change what the file says or who may change it.
constexpr ACCESS_MASK kChangingRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER;

using SidBytes = std::vector<BYTE>;

SidBytes WellKnownSid(WELL_KNOWN_SID_TYPE type) {
  SidBytes sid(SECURITY_MAX_SID_SIZE);
  DWORD size = static_cast<DWORD>(sid.size());
  if (!CreateWellKnownSid(type, nullptr, sid.data(), &size)) return {};
  sid.resize(size);
  return sid;
}

SidBytes SidFromText(const wchar_t* text) {
  PSID sid = nullptr;
  if (!ConvertStringSidToSidW(text, &sid)) return {};
  const UniqueLocalMemory<void> owner(sid);
  const BYTE* bytes = static_cast<const BYTE*>(sid);
  return SidBytes(bytes, bytes + GetLengthSid(sid));
}

bool SameSid(const SidBytes& known, PSID sid) {
  return !known.empty() && EqualSid(const_cast<BYTE*>(known.data()), sid);
}

// SYSTEM, Administrators, TrustedInstaller or the caller.
bool IsTrustedPrincipal(PSID sid, PSID caller) {
  static const std::array<SidBytes, 3> privileged = {WellKnownSid(WinLocalSystemSid),
                                                     WellKnownSid(WinBuiltinAdministratorsSid),
                                                     SidFromText(kTrustedInstallerSid)};
  if (sid == nullptr || !IsValidSid(sid)) return false;
  if (caller != nullptr && EqualSid(sid, caller)) return true;
  for (const SidBytes& known : privileged) {
    if (SameSid(known, sid)) return true;
  }
  return false;
}

// An allow entry's principal also counts as trusted when it stands for the
// owner ("OWNER RIGHTS") or for nobody on an existing object ("CREATOR OWNER").
bool IsOwnerPlaceholder(PSID sid) {
  static const SidBytes ownerRights = WellKnownSid(WinCreatorOwnerRightsSid);
  static const SidBytes creatorOwner = WellKnownSid(WinCreatorOwnerSid);
  return SameSid(ownerRights, sid) || SameSid(creatorOwner, sid);
}

ACCESS_MASK ChangingRightsOf(ACCESS_MASK mask) {
  GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                             FILE_ALL_ACCESS};
  MapGenericMask(&mask, &mapping);
  return mask & kChangingRights;
}

// Why the DACL lets somebody else change the file; nullopt when it does not.
std::optional<std::string> UntrustedDaclReason(PACL dacl, PSID owner, PSID caller) {
  if (dacl == nullptr) return "writable by another user";  // a null DACL allows everybody all
  for (DWORD index = 0; index < dacl->AceCount; ++index) {
    void* entry = nullptr;
    if (!GetAce(dacl, index, &entry)) return "unreadable access list";
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;  // applies to children only
    if (header->AceType == ACCESS_DENIED_ACE_TYPE ||
        header->AceType == ACCESS_DENIED_CALLBACK_ACE_TYPE ||
        header->AceType == SYSTEM_AUDIT_ACE_TYPE || header->AceType == SYSTEM_ALARM_ACE_TYPE) {
      continue;
    }
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE &&
        header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE) {
      return "unknown access entry";
    }
    // Both allow types share the layout: header, mask, SID.
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    PSID sid = const_cast<DWORD*>(&allowed->SidStart);
    if (ChangingRightsOf(allowed->Mask) == 0) continue;
    if (IsTrustedPrincipal(sid, caller) || IsOwnerPlaceholder(sid) || EqualSid(sid, owner)) {
      continue;
    }
    return "writable by another user";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> UntrustedDescriptorReason(PSECURITY_DESCRIPTOR descriptor, PSID caller,
                                                     TrustedObject object) {
  PSID owner = nullptr;
  BOOL ownerDefaulted = FALSE;
  if (descriptor == nullptr || !GetSecurityDescriptorOwner(descriptor, &owner, &ownerDefaulted)) {
    return "unreadable security descriptor";
  }
  if (!IsTrustedPrincipal(owner, caller)) return "owned by another user";
  if (object == TrustedObject::kFolder) return std::nullopt;
  BOOL present = FALSE;
  PACL dacl = nullptr;
  BOOL daclDefaulted = FALSE;
  if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &daclDefaulted)) {
    return "unreadable security descriptor";
  }
  return UntrustedDaclReason(present ? dacl : nullptr, owner, caller);
}

}  // namespace win32

namespace {

// The SID of the user this thread acts for (its impersonation token, else the
// process token); empty when it cannot be read.
std::vector<BYTE> CallerSid() {
  HANDLE token = nullptr;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) &&
      !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return {};
  }
  const win32::UniqueHandle owner(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
  const PSID sid = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
  const BYTE* bytes = static_cast<const BYTE*>(sid);
  return std::vector<BYTE>(bytes, bytes + GetLengthSid(sid));
}

std::optional<std::string> UntrustedHandleReason(HANDLE handle, win32::TrustedObject object) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(handle, SE_FILE_OBJECT,
                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                      nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return "unreadable security descriptor";
  }
  const win32::UniqueLocalMemory<void> owner(descriptor);
  std::vector<BYTE> caller = CallerSid();
  return win32::UntrustedDescriptorReason(descriptor, caller.empty() ? nullptr : caller.data(),
                                          object);
}

bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Opens what is at path itself, a link or a folder included.
win32::UniqueHandle OpenEntry(const std::wstring& path, DWORD access) {
  HANDLE handle = CreateFileW(
      path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  return win32::UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

// Why the open entry is not of the wanted kind; nullopt when it is.
std::optional<std::string> KindReason(HANDLE handle, bool folder) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return "not accessible";
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return "a symbolic link";
  const bool isFolder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (folder && !isFolder) return "not a folder";
  if (!folder && (isFolder || GetFileType(handle) != FILE_TYPE_DISK)) return "not a regular file";
  return std::nullopt;
}

// The bytes to read: the file's size, at most maxBytes; nullopt when unknown.
std::optional<std::size_t> WantedBytes(HANDLE handle, std::size_t maxBytes) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle, &size) || size.QuadPart < 0) return std::nullopt;
  return std::min<std::size_t>(maxBytes, static_cast<unsigned long long>(size.QuadPart));
}

std::ptrdiff_t ReadSome(HANDLE handle, char* buffer, std::size_t size) {
  const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  DWORD got = 0;
  if (!ReadFile(handle, buffer, piece, &got, nullptr)) return -1;
  return static_cast<std::ptrdiff_t>(got);
}

}  // namespace

TrustedFileRead PlatformReadTrustedFile(const std::string& path, std::size_t maxBytes) {
  TrustedFileRead result;
  const std::optional<std::wstring> wide = win32::WideFromUtf8(path);
  if (!wide || wide->empty()) return result;
  const win32::UniqueHandle file = OpenEntry(*wide, GENERIC_READ | READ_CONTROL);
  if (!file) {
    if (IsMissing(GetLastError())) result.status = TrustedFileRead::Status::kMissing;
    return result;
  }
  std::optional<std::string> reason = KindReason(file.get(), false);
  if (!reason) reason = UntrustedHandleReason(file.get(), win32::TrustedObject::kFile);
  if (reason) {
    result.status = TrustedFileRead::Status::kUntrusted;
    result.reason = std::move(*reason);
    return result;
  }
  const std::optional<std::size_t> wanted = WantedBytes(file.get(), maxBytes);
  const auto readSome = [&file](char* buffer, std::size_t size) {
    return ReadSome(file.get(), buffer, size);
  };
  if (wanted && ReadSecretContents(*wanted, result.contents, readSome)) {
    result.status = TrustedFileRead::Status::kRead;
  }
  return result;
}

std::optional<std::string> PlatformUntrustedFolderReason(const std::string& path) {
  const std::optional<std::wstring> wide = win32::WideFromUtf8(path);
  if (!wide || wide->empty()) return std::nullopt;
  const win32::UniqueHandle folder = OpenEntry(*wide, READ_CONTROL | FILE_READ_ATTRIBUTES);
  if (!folder) {
    if (IsMissing(GetLastError())) return std::nullopt;
    return "not accessible";
  }
  if (std::optional<std::string> reason = KindReason(folder.get(), true)) return reason;
  return UntrustedHandleReason(folder.get(), win32::TrustedObject::kFolder);
}

}  // namespace keystead::os
