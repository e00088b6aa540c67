// Reads of HKEY_LOCAL_MACHINE in its 64-bit view, whatever the bitness of the
// calling process. String values are UTF-16 in the registry and UTF-8 here.
#include "os/registry.h"

#include <windows.h>

#include <cstring>
#include <exception>
#include <vector>

#include "os/win32/handles.h"
#include "os/win32/wide_text.h"

namespace keystead::os {
namespace {

std::string_view WithoutTrailingBackslash(std::string_view keyPath) {
  if (!keyPath.empty() && keyPath.back() == '\\') keyPath.remove_suffix(1);
  return keyPath;
}

win32::UniqueRegistryKey OpenMachineKey(std::string_view keyPath) {
  const std::optional<std::wstring> path = win32::WideFromUtf8(WithoutTrailingBackslash(keyPath));
  if (!path) return nullptr;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path->c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
      ERROR_SUCCESS) {
    return nullptr;
  }
  return win32::UniqueRegistryKey(key);
}

struct RawValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

// The value's type and bytes; a value that grows between the size query and
// the read is asked again.
std::optional<RawValue> QueryValue(HKEY key, std::string_view valueName) {
  const std::optional<std::wstring> name = win32::WideFromUtf8(valueName);
  if (!name) return std::nullopt;
  RawValue value;
  DWORD size = 0;
  LONG status = RegQueryValueExW(key, name->c_str(), nullptr, &value.type, nullptr, &size);
  for (int attempt = 0; attempt < 4 && status == ERROR_SUCCESS; ++attempt) {
    value.data.resize(size);
    status = RegQueryValueExW(key, name->c_str(), nullptr, &value.type, value.data.data(), &size);
    if (status == ERROR_SUCCESS) {
      value.data.resize(size);
      return value;
    }
    if (status == ERROR_MORE_DATA) status = ERROR_SUCCESS;  // grown meanwhile: ask again
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ReadMachineString(std::string_view keyPath, std::string_view valueName,
                                             std::size_t maxBytes) {
  try {
    const win32::UniqueRegistryKey key = OpenMachineKey(keyPath);
    if (!key) return std::nullopt;
    const std::optional<RawValue> value = QueryValue(key.get(), valueName);
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return std::nullopt;
    // The stored text may lack its terminator; readers stop at the first zero.
    std::wstring text(value->data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(text.data(), value->data.data(), text.size() * sizeof(wchar_t));
    text.resize(text.find(L'\0') == std::wstring::npos ? text.size() : text.find(L'\0'));
    if ((text.size() + 1) * sizeof(wchar_t) > maxBytes) return std::nullopt;
    return win32::Utf8FromWide(text);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::uint32_t> ReadMachineDword(std::string_view keyPath,
                                              std::string_view valueName) {
  try {
    const win32::UniqueRegistryKey key = OpenMachineKey(keyPath);
    if (!key) return std::nullopt;
    const std::optional<RawValue> value = QueryValue(key.get(), valueName);
    if (!value || value->type != REG_DWORD || value->data.size() != sizeof(DWORD)) {
      return std::nullopt;
    }
    DWORD number = 0;
    std::memcpy(&number, value->data.data(), sizeof number);
    return static_cast<std::uint32_t>(number);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace keystead::os
