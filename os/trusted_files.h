#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "os/secure_memory.h"

namespace keystead::os {

// Machine-shared folders and files (the key vault, the machine key) are
// trusted only when no other unprivileged user can have planted or changed
// them. POSIX: owned by root or by the effective user, not writable by group
// or others, and a file is a regular file reached without a symbolic link.
// Windows: owned by SYSTEM, Administrators, TrustedInstaller or the calling
// user; a file's DACL also grants no write, append, delete, WRITE_DAC or
// WRITE_OWNER right to anybody else. Thread-safe; nothing throws.

// Why the folder at path may not be trusted (for example "owned by another
// user"); nullopt when it may be, or when nothing is there yet.
std::optional<std::string> UntrustedFolderReason(const std::string& path);

struct TrustedFileRead {
  enum class Status {
    kRead,        // contents holds the file's first bytes
    kMissing,     // nothing is at the path
    kUntrusted,   // reason says why; the file was not read
    kUnreadable,  // it could not be opened or read
  };
  Status status = Status::kUnreadable;
  std::string reason;
  SecretString contents;
};

// Reads at most maxBytes of the file at path. The file is opened without
// following a link at its last component and without blocking (a FIFO is
// refused, not waited on), checked on the open handle and read from that
// same handle, so nothing can be swapped in between.
TrustedFileRead ReadTrustedFile(const std::string& path, std::size_t maxBytes);

}  // namespace keystead::os
