#include "os/secure_memory.h"

#include <windows.h>

namespace keystead::os {

void WipeMemory(void* data, std::size_t size) noexcept {
  if (data != nullptr && size > 0) SecureZeroMemory(data, size);
}

}  // namespace keystead::os
