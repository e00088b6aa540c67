// Authenticode verification with WinVerifyTrust: the file must carry a
// signature that chains to a trusted root and matches the file's contents.
// Revocation is not checked online: the check must not wait on the network.
#include "os/code_signature.h"

#include "os/code_signature_platform.h"

// windows.h first: the other Windows headers rely on its types.
// clang-format off
#include <windows.h>
#include <softpub.h>
#include <wintrust.h>
// clang-format on

#include <cstdio>
#include <exception>
#include <utility>

#include "os/win32/wide_text.h"

namespace keystead::os {
namespace {

CodeSignatureVerdict Untrusted(std::string reason) { return {false, std::move(reason)}; }

std::string ReasonOf(LONG status) {
  switch (static_cast<HRESULT>(status)) {
    case TRUST_E_NOSIGNATURE:
    case TRUST_E_SUBJECT_FORM_UNKNOWN:
    case TRUST_E_PROVIDER_UNKNOWN:
      return "file not signed";
    case TRUST_E_BAD_DIGEST:
      return "signature does not match the file";
    case TRUST_E_EXPLICIT_DISTRUST:
      return "signer explicitly distrusted";
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_CHAINING:
    case TRUST_E_SUBJECT_NOT_TRUSTED:
      return "signer not trusted";
    case CERT_E_EXPIRED:
      return "signing certificate expired";
    case CERT_E_REVOKED:
      return "signing certificate revoked";
    case CRYPT_E_SECURITY_SETTINGS:
      return "blocked by the security settings";
    default:
      break;
  }
  char text[48];
  std::snprintf(text, sizeof text, "verification failed: 0x%08lX",
                static_cast<unsigned long>(status));
  return text;
}

CodeSignatureVerdict PlatformCheck(const std::string& path) {
  const std::optional<std::wstring> file = win32::WideFromUtf8(path);
  if (!file || file->empty()) return Untrusted("invalid path");
  const DWORD attributes = GetFileAttributesW(file->c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Untrusted("file not found");
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Untrusted("not a regular file");

  WINTRUST_FILE_INFO fileInfo{};
  fileInfo.cbStruct = sizeof fileInfo;
  fileInfo.pcwszFilePath = file->c_str();

  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &fileInfo;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;

  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG status = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  // The state that the verification kept is released in any case.
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  if (status != ERROR_SUCCESS) return Untrusted(ReasonOf(status));
  return {true, {}};
}

std::optional<std::string> ModuleFileName(HMODULE module) {
  std::wstring buffer(MAX_PATH, L'\0');
  while (buffer.size() <= 32768) {
    const DWORD length =
        GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::nullopt;
    if (length < buffer.size()) {
      buffer.resize(length);
      return win32::Utf8FromWide(buffer);
    }
    buffer.resize(buffer.size() * 2);  // cut short: try a larger buffer
  }
  return std::nullopt;
}

}  // namespace

CodeSignatureVerdict PlatformCheckCodeSignature(const std::string& path) {
  return PlatformCheck(path);
}

std::optional<std::string> CurrentExecutablePath() {
  try {
    return ModuleFileName(nullptr);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> ModulePathOf(const void* addressInModule) {
  try {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCWSTR>(addressInModule), &module)) {
      return std::nullopt;
    }
    return ModuleFileName(module);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace keystead::os
