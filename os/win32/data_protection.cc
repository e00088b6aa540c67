// Machine-scope data protection with DPAPI: CryptProtectData with the
// local-machine flag, so that any user of this machine can open a blob and no
// other machine can. Neither call may show a prompt.
#include "os/data_protection.h"

// windows.h first: the other Windows headers rely on its types.
// clang-format off
#include <windows.h>
#include <dpapi.h>
// clang-format on

#include <exception>
#include <memory>

#include "os/secure_memory.h"
#include "os/win32/handles.h"
#include "os/win32/wide_text.h"

namespace keystead::os {
namespace {

DATA_BLOB InputBlob(std::string_view bytes) {
  DATA_BLOB blob{};
  blob.cbData = static_cast<DWORD>(bytes.size());
  blob.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
  return blob;
}

// Releases plain data that DPAPI returned, wiped first: the caller's copy is
// the only one left.
struct WipingLocalFree {
  DWORD size;
  void operator()(BYTE* data) const {
    WipeMemory(data, size);
    LocalFree(data);
  }
};

std::string BlobBytes(const DATA_BLOB& blob) {
  return std::string(reinterpret_cast<const char*>(blob.pbData), blob.cbData);
}

}  // namespace

std::optional<std::string> ProtectForMachine(std::string_view data, std::string_view description) {
  try {
    if (data.size() > 0x7FFFFFFF) return std::nullopt;
    const std::optional<std::wstring> wideDescription = win32::WideFromUtf8(description);
    if (!wideDescription) return std::nullopt;
    DATA_BLOB input = InputBlob(data);
    DATA_BLOB output{};
    if (!CryptProtectData(&input, wideDescription->c_str(), nullptr, nullptr, nullptr,
                          CRYPTPROTECT_LOCAL_MACHINE | CRYPTPROTECT_UI_FORBIDDEN, &output)) {
      return std::nullopt;
    }
    const win32::UniqueLocalMemory<BYTE> owner(output.pbData);
    return BlobBytes(output);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> UnprotectForMachine(std::string_view blob, std::string* description) {
  try {
    if (blob.empty() || blob.size() > 0x7FFFFFFF) return std::nullopt;
    DATA_BLOB input = InputBlob(blob);
    DATA_BLOB output{};
    wchar_t* storedDescription = nullptr;
    if (!CryptUnprotectData(&input, &storedDescription, nullptr, nullptr, nullptr,
                            CRYPTPROTECT_UI_FORBIDDEN, &output)) {
      return std::nullopt;
    }
    const win32::UniqueLocalMemory<wchar_t> descriptionOwner(storedDescription);
    const std::unique_ptr<BYTE, WipingLocalFree> dataOwner(output.pbData,
                                                           WipingLocalFree{output.cbData});
    if (description != nullptr) *description = win32::Utf8FromWide(storedDescription);
    return BlobBytes(output);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace keystead::os
