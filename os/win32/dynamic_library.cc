#include "os/dynamic_library.h"

#include <windows.h>

#include <cstdint>
#include <exception>
#include <utility>

#include "os/win32/wide_text.h"

namespace keystead::os {
namespace {

HMODULE AsModule(void* handle) { return static_cast<HMODULE>(handle); }

}  // namespace

std::optional<DynamicLibrary> DynamicLibrary::Open(const std::string& path) {
  try {
    const std::optional<std::wstring> widePath = win32::WideFromUtf8(path);
    if (!widePath || widePath->empty()) return std::nullopt;
    // A library that cannot be found must not make Windows ask the user.
    DWORD previousMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    HMODULE module = LoadLibraryW(widePath->c_str());
    SetThreadErrorMode(previousMode, nullptr);
    if (module == nullptr) return std::nullopt;
    return DynamicLibrary(module);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) FreeLibrary(AsModule(handle_));
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

DynamicLibrary::~DynamicLibrary() {
  if (handle_ != nullptr) FreeLibrary(AsModule(handle_));
}

void* DynamicLibrary::Symbol(const char* name) const {
  if (handle_ == nullptr || name == nullptr) return nullptr;
  const FARPROC address = GetProcAddress(AsModule(handle_), name);
  // Callers cast the address back to the function type they expect.
  return reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(address));
}

std::string SharedLibraryFileName(std::string_view baseName) {
  return std::string(baseName) + ".dll";
}

}  // namespace keystead::os
