#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace keystead::os {

// Data protection in machine scope (DPAPI with CRYPTPROTECT_LOCAL_MACHINE on
// Windows): any process of this machine can open a blob, no other machine
// can. On POSIX the blob is sealed with AES-256-GCM under a key derived with
// HKDF-SHA-256 from a random 256-bit machine key, kept in the file named by
// KEYSTEAD_MACHINE_KEY_FILE (default /etc/keystead/machine.key), which the
// first protection creates once and nothing ever replaces. The key file is
// used only when another user cannot have planted or changed it (see
// os/trusted_files.h). Keys and plaintexts held on the way are wiped. All
// functions are thread-safe and never throw.

// Seals data together with a description text. nullopt when the machine key
// cannot be read or created, or the cipher fails.
std::optional<std::string> ProtectForMachine(std::string_view data, std::string_view description);

// Opens a blob made by ProtectForMachine on this machine and returns the data;
// when description is not null it receives the description text. nullopt for
// a blob of another machine, a tampered or truncated blob, an unknown format
// version, or a missing, unreadable or untrusted machine key (which is then
// not created). The data is the caller's to wipe.
std::optional<std::string> UnprotectForMachine(std::string_view blob,
                                               std::string* description = nullptr);

}  // namespace keystead::os
