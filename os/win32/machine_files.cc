// Machine-shared files on Windows. A new folder gets its DACL from an SDDL
// string, inherited by everything created in it. A file is published without
// replacing one: it is written to a temporary file beside the target,
// flushed, then moved to the target name by a move that refuses to replace.
#include "os/machine_files.h"

// windows.h first: the other Windows headers rely on its types.
// clang-format off
#include <windows.h>
#include <sddl.h>
// clang-format on

#include <atomic>
#include <exception>
#include <string>

#include "os/process_info.h"
#include "os/win32/handles.h"
#include "os/win32/wide_text.h"

namespace keystead::os {
namespace {

// Deny guests and anonymous logons everything, let authenticated users read
// and administrators do anything; folders and files below inherit it all.
constexpr wchar_t kFolderSddl[] =
    L"D:(D;OICI;GA;;;BG)(D;OICI;GA;;;AN)(A;OICI;GR;;;AU)(A;OICI;GA;;;BA)";

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateSecuredFolder(const std::wstring& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kFolderSddl, SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    return false;
  }
  const win32::UniqueLocalMemory<void> owner(descriptor);
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof attributes;
  attributes.lpSecurityDescriptor = descriptor;
  attributes.bInheritHandle = FALSE;
  if (CreateDirectoryW(path.c_str(), &attributes)) return true;
  return GetLastError() == ERROR_ALREADY_EXISTS && IsFolder(path);
}

bool WriteAll(HANDLE file, std::string_view contents) {
  while (!contents.empty()) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(contents.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, contents.data(), piece, &written, nullptr) || written == 0) return false;
    contents.remove_prefix(written);
  }
  return true;
}

std::wstring TemporaryName(const std::wstring& path) {
  static std::atomic<unsigned> counter{0};
  return path + L"." + std::to_wstring(CurrentProcessId()) + L"-" + std::to_wstring(counter++) +
         L"-" + std::to_wstring(GetTickCount64()) + L".tmp";
}

// Writes and flushes the whole temporary file; false on any failure.
bool FillTemporaryFile(const std::wstring& temporary, std::string_view contents) {
  const win32::UniqueHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file || file.get() == INVALID_HANDLE_VALUE) return false;
  return WriteAll(file.get(), contents) && FlushFileBuffers(file.get());
}

PublishResult Publish(const std::wstring& path, std::string_view contents) {
  const std::wstring temporary = TemporaryName(path);
  if (!FillTemporaryFile(temporary, contents)) {
    DeleteFileW(temporary.c_str());
    return PublishResult::kFailed;
  }
  if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) {
    return PublishResult::kPublished;
  }
  const DWORD error = GetLastError();
  DeleteFileW(temporary.c_str());
  return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ||
                 GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES
             ? PublishResult::kAlreadyExists
             : PublishResult::kFailed;
}

}  // namespace

bool CreateMachineSharedFolder(const std::string& path) {
  try {
    const std::optional<std::wstring> wide = win32::WideFromUtf8(path);
    return wide && !wide->empty() && CreateSecuredFolder(*wide);
  } catch (const std::exception&) {
    return false;
  }
}

PublishResult PublishNewFile(const std::string& path, std::string_view contents) {
  try {
    const std::optional<std::wstring> wide = win32::WideFromUtf8(path);
    if (!wide || wide->empty()) return PublishResult::kFailed;
    return Publish(*wide, contents);
  } catch (const std::exception&) {
    return PublishResult::kFailed;
  }
}

}  // namespace keystead::os
