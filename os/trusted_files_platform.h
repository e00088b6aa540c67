#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "os/secure_memory.h"
#include "os/trusted_files.h"

namespace keystead::os {

// The platform's checks behind trusted_files.h, implemented once per
// platform; the shared part answers "not accessible" or kUnreadable when they
// throw. Thread-safe; may throw std::bad_alloc.
std::optional<std::string> PlatformUntrustedFolderReason(const std::string& path);
TrustedFileRead PlatformReadTrustedFile(const std::string& path, std::size_t maxBytes);

// Reads up to `wanted` bytes into out through readSome (the count read, 0 at
// the end, -1 on failure), straight into one buffer sized up front so that no
// partial copy of the contents is left behind. False when a read fails.
bool ReadSecretContents(std::size_t wanted, SecretString& out,
                        const std::function<std::ptrdiff_t(char*, std::size_t)>& readSome);

}  // namespace keystead::os
