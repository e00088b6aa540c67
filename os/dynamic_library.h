#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace keystead::os {

// A shared library loaded at run time (dlopen / LoadLibrary). Move-only; the
// destructor unloads it, after which no symbol taken from it may be used.
// Symbol may be called from several threads at once.
class DynamicLibrary {
 public:
  // Loads the library at path, resolving all its symbols now and keeping
  // them out of the global namespace. nullopt when the path is empty or the
  // library cannot be loaded.
  static std::optional<DynamicLibrary> Open(const std::string& path);

  DynamicLibrary(DynamicLibrary&& other) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;
  ~DynamicLibrary();

  // Address of an exported function or object, nullptr when the library does
  // not export it (or name is null). The address is valid while this object
  // keeps the library loaded.
  void* Symbol(const char* name) const;

 private:
  explicit DynamicLibrary(void* handle) : handle_(handle) {}

  void* handle_;  // the platform's module handle; nullptr once moved from
};

// The file name of a shared library with the given base name on this
// platform: "lib<base>.so" here, "<base>.dll" on Windows.
std::string SharedLibraryFileName(std::string_view baseName);

}  // namespace keystead::os
