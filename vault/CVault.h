#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "os/secure_memory.h"

namespace keystead::vault {

// Key types of the vault records, as stored in the file.
enum KeyType : std::int32_t {
  MASTER_KEY = 0,  // master password, protected for the machine
  SQLITE_KEY = 1,  // SQLite database password, encrypted under the master password
  CSA_KEY = 2,     // fixed secret A, encrypted under the master password
  CSS_KEY = 3,     // fixed secret S, encrypted under the master password
};

inline constexpr std::size_t kVaultRecordDataSize = 2048;
inline constexpr std::size_t kVaultRecordSize = 4 + 4 + kVaultRecordDataSize;  // 2056
inline constexpr std::size_t kMaxVaultValueSize = kVaultRecordDataSize - 1;    // room for a zero

// One record as the file holds it (little-endian): key type, value length,
// then 2048 data bytes: the value, one zero byte and an unused rest.
struct VaultRecord {
  std::int32_t keyType = 0;
  std::int32_t length = 0;
  std::array<char, kVaultRecordDataSize> data{};

  // The stored value; nullopt when the length is negative or above
  // kMaxVaultValueSize (such a record reads as absent).
  std::optional<std::string_view> Value() const;
};

// The vault file "KeysteadVault.dat" in the folder "Keystead" of the
// machine-wide application-data folder. File format: the format number 1001
// (4 bytes), then whole records; a vault made here holds the records
// MASTER_KEY, CSA_KEY, CSS_KEY, SQLITE_KEY (8228 bytes). An object serves one
// call and holds no handles; it takes no locks, so callers of one process
// serialise on the library's mutex. Between processes the file is published
// atomically without replacing: the first vault created wins.
class CVault {
 public:
  static constexpr std::int32_t kFormatNumber = 1001;

  // Resolves the file path. The path stays empty when the known folder is
  // unknown or its "Keystead" entry exists but is not a folder. A missing
  // folder is created only when a vault is stored.
  CVault();

  const std::string& path() const { return path_; }

  // Why the folder or the file may not be trusted, as the message of
  // validate (another user could have planted or changed it, see
  // os/trusted_files.h); nullopt when both may be, or are not there yet.
  // Nothing untrusted is ever read, created beside or changed.
  std::optional<std::string> UntrustedReason() const;

  // True when the vault file exists afterwards. A missing vault is created
  // with a fresh master password and SQLite key; an existing file is never
  // rewritten. Writes nothing and answers false when the folder is not
  // trusted, a value cannot be made (random generator, machine protection,
  // cipher) or the file cannot be written, so that a later call tries
  // again. A creator that loses the race against another process answers
  // true and the winner's vault is the one read.
  bool StoreKeys();

  // Appends a record; false (nothing appended) for a value longer than
  // kMaxVaultValueSize bytes.
  bool StoredKey(std::int32_t keyType, std::string_view value);

  // Publishes the format number and the appended records as a new file; true
  // when a vault file is there afterwards (this one or a racing creator's).
  bool writeToStorage();

  // Every whole record of the file in file order; the format number is not
  // checked and a partial record at the end is dropped. A file that is
  // missing, unreadable or not trusted gives none. Every call rereads the
  // file.
  std::vector<VaultRecord> ReadKeys() const;

  // The value of the first record of keyType; empty when there is none or
  // its length is invalid. For MASTER_KEY, the plain master password (see
  // MasterPassword), or empty when there is none; the copy is the caller's
  // to wipe.
  std::string getKey(std::int32_t keyType) const;

  // The plain master password as protected, with its trailing zero byte.
  // Empty for a weak vault, whose first MASTER_KEY record is missing or
  // empty, has a length outside 1 to kMaxVaultValueSize, or protects an
  // empty password (old vaults made when protection failed): its values were
  // encrypted under a password it never kept, and only texts that an earlier
  // build encrypted under the empty password may still be decrypted.
  // nullopt when the vault cannot be read (missing, unreadable, not trusted)
  // or the blob cannot be unprotected on this machine: no secret operation
  // may then run at all.
  std::optional<os::SecretString> MasterPassword() const;

  // Machine-scope protection of a password together with its zero byte;
  // false (out unchanged) on failure.
  static bool CryptMasterPwd(std::string_view plain, std::string& out);
  // Removes that protection; false (out unchanged) on failure.
  static bool DecryptMasterPwd(std::string_view blob, std::string& out);

  // XOR with a fixed 5-letter key; the same call scrambles and unscrambles.
  static std::string xorScramble(std::string_view text);

 private:
  std::optional<std::vector<VaultRecord>> ReadRecords() const;
  static const VaultRecord* FirstRecord(const std::vector<VaultRecord>& records,
                                        std::int32_t keyType);
  std::string Serialize() const;

  std::int32_t formatNumber_ = kFormatNumber;
  std::vector<VaultRecord> records_;
  std::string folder_;
  std::string path_;
};

}  // namespace keystead::vault
