#pragma once

// Owners of the Win32 resources the layer holds for the length of a call.
#include <windows.h>

#include <memory>

namespace keystead::os::win32 {

struct HandleCloser {
  void operator()(HANDLE handle) const {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};
// A kernel handle (file, event, process); null and INVALID_HANDLE_VALUE own nothing.
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct LocalMemoryFreer {
  void operator()(void* memory) const { LocalFree(memory); }
};
// Memory that a Win32 function returned from LocalAlloc.
template <typename T>
using UniqueLocalMemory = std::unique_ptr<T, LocalMemoryFreer>;

struct RegistryKeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueRegistryKey = std::unique_ptr<std::remove_pointer_t<HKEY>, RegistryKeyCloser>;

}  // namespace keystead::os::win32
