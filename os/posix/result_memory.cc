#include "os/result_memory.h"

#include <cstdlib>

namespace keystead::os {

void* AllocateResult(std::size_t size) { return std::malloc(size); }

void FreeResult(void* memory) { std::free(memory); }

}  // namespace keystead::os
