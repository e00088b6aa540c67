#include "os/dynamic_library.h"

#include <dlfcn.h>

#include <utility>

namespace keystead::os {

std::optional<DynamicLibrary> DynamicLibrary::Open(const std::string& path) {
  // An empty name would hand back the main program instead of a library.
  if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return std::nullopt;
  return DynamicLibrary(handle);
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

DynamicLibrary::~DynamicLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

void* DynamicLibrary::Symbol(const char* name) const {
  if (handle_ == nullptr || name == nullptr) return nullptr;
  return dlsym(handle_, name);
}

std::string SharedLibraryFileName(std::string_view baseName) {
  return "lib" + std::string(baseName) + ".so";
}

}  // namespace keystead::os
