#pragma once

// The trust decision of os/trusted_files.h on a security descriptor, apart
// from how the descriptor was obtained, so that it can be tested on
// descriptors that the file system would not store.
#include <windows.h>

#include <optional>
#include <string>

namespace keystead::os::win32 {

enum class TrustedObject {
  kFolder,  // the owner only: a folder inherits entries that let users add files
  kFile,    // the owner and every allow entry of the DACL
};

// Why an object with this descriptor may not be trusted by the user whose
// SID is caller; nullopt when it may. Trusted principals are SYSTEM,
// Administrators, TrustedInstaller and caller (and for an entry, the owner
// itself). Thread-safe; nothing throws.
std::optional<std::string> UntrustedDescriptorReason(PSECURITY_DESCRIPTOR descriptor, PSID caller,
                                                     TrustedObject object);

}  // namespace keystead::os::win32
