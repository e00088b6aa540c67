#include "os/result_memory.h"

// windows.h first: the other Windows headers rely on its types.
// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on

namespace keystead::os {

void* AllocateResult(std::size_t size) { return CoTaskMemAlloc(size); }

void FreeResult(void* memory) { CoTaskMemFree(memory); }

}  // namespace keystead::os
