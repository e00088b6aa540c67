#include "vault/CVault.h"

#include <algorithm>
#include <filesystem>
#include <limits>

#include "os/data_protection.h"
#include "os/file_system.h"
#include "os/known_folders.h"
#include "os/machine_files.h"
#include "os/trusted_files.h"
#include "vault/CCrypto.h"
#include "vault/MasterPassword.h"

namespace keystead::vault {
namespace {

constexpr char kFolderName[] = "Keystead";
constexpr char kFileName[] = "KeysteadVault.dat";
constexpr char kMasterPasswordDescription[] = "Norvell (R)";

// The two fixed secrets, kept only scrambled (see CVault::xorScramble).
constexpr unsigned char kScrambledSecretA[32] = {
    0x7F, 0x22, 0x1A, 0x00, 0x06, 0x08, 0x31, 0x29, 0x2F, 0x2A, 0x07, 0x13, 0x1A, 0x2D, 0x02, 0x35,
    0x00, 0x23, 0x00, 0x14, 0x78, 0x18, 0x22, 0x2E, 0x2F, 0x01, 0x44, 0x04, 0x3F, 0x57, 0x39, 0x1F};
constexpr unsigned char kScrambledSecretS[44] = {
    0x08, 0x39, 0x28, 0x12, 0x17, 0x2B, 0x3D, 0x39, 0x27, 0x5D, 0x27, 0x1B, 0x17, 0x07, 0x3A,
    0x3C, 0x41, 0x37, 0x1F, 0x3D, 0x2F, 0x07, 0x01, 0x22, 0x20, 0x7B, 0x05, 0x2F, 0x2B, 0x58,
    0x14, 0x41, 0x37, 0x2F, 0x5C, 0x04, 0x05, 0x07, 0x0F, 0x45, 0x3C, 0x2F, 0x0E, 0x58};

template <std::size_t N>
std::string_view AsText(const unsigned char (&bytes)[N]) {
  return std::string_view(reinterpret_cast<const char*>(bytes), N);
}

// Built at run time so that the key is not one literal in the binary.
std::string ScrambleKey() {
  std::string key(1, static_cast<char>('A' + 11));
  for (const int offset : {20, 12, 4, 13}) key.push_back(static_cast<char>('a' + offset));
  return key;
}

void AppendLittleEndian32(std::string& out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(bits >> shift));
}

std::int32_t ReadLittleEndian32(const char* in) {
  std::uint32_t bits = 0;
  for (int i = 3; i >= 0; --i) bits = (bits << 8) | static_cast<unsigned char>(in[i]);
  return static_cast<std::int32_t>(bits);
}

// The plain value of a fixed secret, wiped when it goes.
template <std::size_t N>
os::SecretString FixedSecret(const unsigned char (&scrambled)[N]) {
  return os::SecretString(CVault::xorScramble(AsText(scrambled)));
}

// A master password whose key would be the key of the empty password.
bool IsEmptyPassword(std::string_view plain) { return plain.empty() || plain.front() == '\0'; }

bool IsFolder(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(os::PathFromUtf8(path), error);
}

}  // namespace

std::optional<std::string_view> VaultRecord::Value() const {
  if (length < 0 || static_cast<std::size_t>(length) > kMaxVaultValueSize) return std::nullopt;
  return std::string_view(data.data(), static_cast<std::size_t>(length));
}

CVault::CVault() {
  const std::optional<std::string> programData = os::ProgramDataFolder();
  if (!programData) return;
  std::string folder = *programData + os::kPathSeparator + kFolderName;
  if (os::FileExists(folder) && !IsFolder(folder)) return;
  path_ = folder + os::kPathSeparator + kFileName;
  folder_ = std::move(folder);
}

std::optional<std::string> CVault::UntrustedReason() const {
  if (path_.empty()) return std::nullopt;
  if (std::optional<std::string> reason = os::UntrustedFolderReason(folder_)) {
    return "vault folder not trusted: " + *reason;
  }
  os::TrustedFileRead file = os::ReadTrustedFile(path_, 0);
  if (file.status == os::TrustedFileRead::Status::kUntrusted) {
    return "vault file not trusted: " + file.reason;
  }
  return std::nullopt;
}

bool CVault::StoreKeys() {
  if (path_.empty() || os::UntrustedFolderReason(folder_)) return false;
  // An existing file is checked whenever it is read.
  if (os::FileExists(path_)) return true;

  const os::SecretString masterPassword(getMasterPwd());
  std::string protectedPassword;
  if (masterPassword.empty() || !CryptMasterPwd(masterPassword.view(), protectedPassword)) {
    return false;
  }
  const CCrypto cipher(masterPassword.view());
  const std::string secretA = cipher.Encrypt(FixedSecret(kScrambledSecretA).view());
  const std::string secretS = cipher.Encrypt(FixedSecret(kScrambledSecretS).view());
  const os::SecretString sqlitePassword(getMasterPwd());
  if (secretA.empty() || secretS.empty() || sqlitePassword.empty()) return false;
  const std::string sqliteKey = cipher.Encrypt(sqlitePassword.view());
  if (sqliteKey.empty()) return false;

  records_.clear();
  const bool stored = StoredKey(MASTER_KEY, protectedPassword) && StoredKey(CSA_KEY, secretA) &&
                      StoredKey(CSS_KEY, secretS) && StoredKey(SQLITE_KEY, sqliteKey);
  // The folder may have been planted since it was found missing.
  return stored && os::CreateMachineSharedFolder(folder_) && !os::UntrustedFolderReason(folder_) &&
         writeToStorage();
}

bool CVault::StoredKey(std::int32_t keyType, std::string_view value) {
  if (value.size() > kMaxVaultValueSize) return false;
  VaultRecord record;
  record.keyType = keyType;
  record.length = static_cast<std::int32_t>(value.size());
  std::copy(value.begin(), value.end(), record.data.begin());  // the rest stays zero
  records_.push_back(record);
  return true;
}

std::string CVault::Serialize() const {
  std::string bytes;
  bytes.reserve(4 + records_.size() * kVaultRecordSize);
  AppendLittleEndian32(bytes, formatNumber_);
  for (const VaultRecord& record : records_) {
    AppendLittleEndian32(bytes, record.keyType);
    AppendLittleEndian32(bytes, record.length);
    bytes.append(record.data.data(), record.data.size());
  }
  return bytes;
}

bool CVault::writeToStorage() {
  if (path_.empty()) return false;
  return os::PublishNewFile(path_, Serialize()) != os::PublishResult::kFailed;
}

std::optional<std::vector<VaultRecord>> CVault::ReadRecords() const {
  if (path_.empty() || os::UntrustedFolderReason(folder_)) return std::nullopt;
  const os::TrustedFileRead file =
      os::ReadTrustedFile(path_, std::numeric_limits<std::size_t>::max());
  if (file.status != os::TrustedFileRead::Status::kRead) return std::nullopt;
  const std::string_view bytes = file.contents.view();
  std::vector<VaultRecord> records;
  for (std::size_t offset = 4; offset + kVaultRecordSize <= bytes.size();
       offset += kVaultRecordSize) {
    const char* raw = bytes.data() + offset;
    VaultRecord record;
    record.keyType = ReadLittleEndian32(raw);
    record.length = ReadLittleEndian32(raw + 4);
    std::copy(raw + 8, raw + kVaultRecordSize, record.data.begin());
    records.push_back(record);
  }
  return records;
}

std::vector<VaultRecord> CVault::ReadKeys() const {
  return ReadRecords().value_or(std::vector<VaultRecord>());
}

const VaultRecord* CVault::FirstRecord(const std::vector<VaultRecord>& records,
                                       std::int32_t keyType) {
  const auto found = std::find_if(records.begin(), records.end(), [keyType](const auto& record) {
    return record.keyType == keyType;
  });
  return found == records.end() ? nullptr : &*found;
}

std::string CVault::getKey(std::int32_t keyType) const {
  if (keyType == MASTER_KEY) {
    const std::optional<os::SecretString> master = MasterPassword();
    return master ? master->Copy() : std::string();
  }
  const std::vector<VaultRecord> records = ReadKeys();
  const VaultRecord* record = FirstRecord(records, keyType);
  if (record == nullptr || !record->Value()) return {};
  return std::string(*record->Value());
}

std::optional<os::SecretString> CVault::MasterPassword() const {
  const std::optional<std::vector<VaultRecord>> records = ReadRecords();
  if (!records) return std::nullopt;
  const VaultRecord* record = FirstRecord(*records, MASTER_KEY);
  if (record == nullptr || !record->Value() || record->Value()->empty()) {
    return os::SecretString();
  }
  std::string plain;
  if (!DecryptMasterPwd(*record->Value(), plain)) return std::nullopt;
  os::SecretString master(std::move(plain));
  if (IsEmptyPassword(master.view())) return os::SecretString();
  return master;
}

bool CVault::CryptMasterPwd(std::string_view plain, std::string& out) {
  std::string withTerminator;
  withTerminator.reserve(plain.size() + 1);
  withTerminator.append(plain).push_back('\0');
  const os::SecretString owner(std::move(withTerminator));
  std::optional<std::string> blob = os::ProtectForMachine(owner.view(), kMasterPasswordDescription);
  if (!blob) return false;
  out = std::move(*blob);
  return true;
}

bool CVault::DecryptMasterPwd(std::string_view blob, std::string& out) {
  std::optional<std::string> plain = os::UnprotectForMachine(blob);
  if (!plain) return false;
  os::WipeString(out);
  out = std::move(*plain);
  return true;
}

std::string CVault::xorScramble(std::string_view text) {
  const std::string key = ScrambleKey();
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>(out[i] ^ key[i % 5]);
  return out;
}

}  // namespace keystead::vault
