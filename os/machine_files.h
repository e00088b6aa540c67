#pragma once

#include <string>
#include <string_view>

namespace keystead::os {

// Files and folders that every user of the machine shares (the key vault and
// the machine key): every local user can read them, only their owner or an
// administrator can change them. Thread-safe; nothing throws.

// Creates the folder at path; only its last component is created, the parent
// must exist. On Windows it gets a DACL that denies guests and anonymous
// logons, lets authenticated users read and administrators do anything;
// here it gets mode 0755. An existing folder is never changed. True when a
// folder is at path afterwards (also when another process made it first).
bool CreateMachineSharedFolder(const std::string& path);

enum class PublishResult {
  kPublished,      // the file now holds contents
  kAlreadyExists,  // something was at path already; it was left untouched
  kFailed,         // nothing was published and no temporary file is left
};

// Creates the file at path with the given contents, all or nothing, and
// never replaces an existing file: the contents go to a temporary file in
// the same folder, which is flushed to the disk and then linked to path only
// if nothing is there yet. Of several processes publishing the same path at
// once exactly one succeeds; the others get kAlreadyExists. A crash leaves
// either no file or the complete one. The folder must exist.
PublishResult PublishNewFile(const std::string& path, std::string_view contents);

}  // namespace keystead::os
