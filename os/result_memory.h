#pragma once

#include <cstddef>

namespace keystead::os {

// Memory handed to callers of the key vault's flat exports, from the
// allocator such callers release it with on this platform: the COM task
// allocator on Windows (CoTaskMemFree), the C heap here. Thread-safe.

// size bytes, or nullptr when memory runs out.
void* AllocateResult(std::size_t size);

// Releases memory from AllocateResult; nullptr is allowed.
void FreeResult(void* memory);

}  // namespace keystead::os
