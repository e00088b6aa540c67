// Machine-scope data protection on POSIX. Blob layout:
//   version (1 byte, 1) | nonce (12) | AES-256-GCM ciphertext | tag (16)
// The ciphertext seals: description length (4 bytes, little-endian) |
// description | data. The version byte is authenticated as additional data.
// The key is HKDF-SHA-256 of the machine key, which is random: the machine
// id is readable by anyone and so cannot serve as a secret.
#include "os/data_protection.h"

#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <sys/stat.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>

#include "os/crypto.h"
#include "os/machine_files.h"
#include "os/posix/openssl_bytes.h"
#include "os/secure_memory.h"
#include "os/trusted_files.h"

namespace keystead::os {
namespace {

using posix::Bytes;
using posix::CipherContext;

constexpr char kDefaultMachineKeyFile[] = "/etc/keystead/machine.key";
constexpr std::size_t kMachineKeySize = 32;
constexpr unsigned char kBlobVersion = 1;
constexpr std::size_t kNonceSize = 12;
constexpr std::size_t kTagSize = 16;
constexpr std::size_t kLengthFieldSize = 4;
constexpr std::size_t kMinimumBlobSize = 1 + kNonceSize + kLengthFieldSize + kTagSize;
constexpr std::size_t kMaxSealedSize = INT_MAX / 2;
constexpr char kKeyInfo[] = "Keystead machine-scope data protection v1";

struct KeyContextDeleter {
  void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};
using KeyContext = std::unique_ptr<EVP_PKEY_CTX, KeyContextDeleter>;

std::string MachineKeyPath() {
  const char* configured = std::getenv("KEYSTEAD_MACHINE_KEY_FILE");
  return configured != nullptr && configured[0] != '\0' ? configured : kDefaultMachineKeyFile;
}

std::string ParentFolder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

// The key file as it is, when it may be trusted (os/trusted_files.h); a file
// of any other size, or an untrusted one, is unusable but is kept.
std::optional<SecretString> ReadMachineKey(const std::string& path) {
  TrustedFileRead file = ReadTrustedFile(path, kMachineKeySize + 1);
  if (file.status != TrustedFileRead::Status::kRead || file.contents.size() != kMachineKeySize) {
    return std::nullopt;
  }
  return std::move(file.contents);
}

// Creates the key the first time; of two racing creators the first one wins
// and the other reads its key.
std::optional<SecretString> LoadOrCreateMachineKey() {
  const std::string path = MachineKeyPath();
  if (std::optional<SecretString> key = ReadMachineKey(path)) return key;
  // Either a racing creator published the key since the read, or the file is
  // unusable and is kept as it is.
  if (Exists(path)) return ReadMachineKey(path);
  if (!CreateMachineSharedFolder(ParentFolder(path))) return std::nullopt;
  std::optional<std::string> fresh = RandomBytes(kMachineKeySize);
  if (!fresh) return std::nullopt;
  SecretString key(std::move(*fresh));
  switch (PublishNewFile(path, key.view())) {
    case PublishResult::kPublished:
      return key;
    case PublishResult::kAlreadyExists:
      return ReadMachineKey(path);
    case PublishResult::kFailed:
      break;
  }
  return std::nullopt;
}

std::optional<SecretString> DeriveBlobKey(std::string_view machineKey) {
  KeyContext context(EVP_PKEY_CTX_new_id(EVP_PKEY_HKDF, nullptr));
  SecretString key(std::string(kAes256KeySize, '\0'));
  std::size_t length = key.size();
  if (!context || EVP_PKEY_derive_init(context.get()) != 1 ||
      EVP_PKEY_CTX_set_hkdf_md(context.get(), EVP_sha256()) != 1 ||
      EVP_PKEY_CTX_set1_hkdf_key(context.get(), Bytes(machineKey),
                                 static_cast<int>(machineKey.size())) != 1 ||
      EVP_PKEY_CTX_add1_hkdf_info(context.get(), reinterpret_cast<const unsigned char*>(kKeyInfo),
                                  static_cast<int>(sizeof(kKeyInfo) - 1)) != 1 ||
      EVP_PKEY_derive(context.get(), Bytes(key), &length) != 1 || length != key.size()) {
    return std::nullopt;
  }
  return key;
}

void AppendLittleEndian32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(value >> shift));
}

std::uint32_t ReadLittleEndian32(std::string_view in) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(in[i]);
  return value;
}

// AES-256-GCM over input with header as additional data, into out (room for
// input). Sealing writes the tag to `tag`; opening checks the tag at `tag`.
bool RunGcm(bool seal, std::string_view key, std::string_view nonce, std::string_view header,
            std::string_view input, unsigned char* out, unsigned char* tag) {
  CipherContext context(EVP_CIPHER_CTX_new());
  int written = 0;
  int finalWritten = 0;
  if (!context ||
      EVP_CipherInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, Bytes(key), Bytes(nonce),
                        seal ? 1 : 0) != 1 ||
      EVP_CipherUpdate(context.get(), nullptr, &written, Bytes(header),
                       static_cast<int>(header.size())) != 1 ||
      EVP_CipherUpdate(context.get(), out, &written, Bytes(input),
                       static_cast<int>(input.size())) != 1) {
    return false;
  }
  if (!seal && EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(kTagSize),
                                   tag) != 1) {
    return false;
  }
  if (EVP_CipherFinal_ex(context.get(), out + written, &finalWritten) != 1) return false;
  return !seal || EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_GET_TAG,
                                      static_cast<int>(kTagSize), tag) == 1;
}

std::optional<std::string> Seal(std::string_view key, std::string_view nonce,
                                std::string_view header, std::string_view plaintext) {
  std::string sealed(plaintext.size() + kTagSize, '\0');
  if (!RunGcm(true, key, nonce, header, plaintext, Bytes(sealed),
              Bytes(sealed) + plaintext.size())) {
    return std::nullopt;
  }
  return sealed;
}

std::optional<SecretString> Open(std::string_view key, std::string_view nonce,
                                 std::string_view header, std::string_view ciphertext,
                                 std::string_view tag) {
  SecretString plaintext(std::string(ciphertext.size(), '\0'));
  std::string expectedTag(tag);
  if (!RunGcm(false, key, nonce, header, ciphertext, Bytes(plaintext), Bytes(expectedTag))) {
    return std::nullopt;
  }
  return plaintext;
}

std::optional<std::string> ProtectWithMachineKey(std::string_view data,
                                                 std::string_view description) {
  if (data.size() > kMaxSealedSize || description.size() > kMaxSealedSize - data.size()) {
    return std::nullopt;
  }
  const std::optional<SecretString> machineKey = LoadOrCreateMachineKey();
  if (!machineKey) return std::nullopt;
  const std::optional<SecretString> key = DeriveBlobKey(machineKey->view());
  const std::optional<std::string> nonce = RandomBytes(kNonceSize);
  if (!key || !nonce) return std::nullopt;

  std::string plaintext;
  plaintext.reserve(kLengthFieldSize + description.size() + data.size());
  AppendLittleEndian32(plaintext, static_cast<std::uint32_t>(description.size()));
  plaintext.append(description).append(data);
  const SecretString sealedPlaintext(std::move(plaintext));
  const std::string header(1, static_cast<char>(kBlobVersion));
  const std::optional<std::string> sealed =
      Seal(key->view(), *nonce, header, sealedPlaintext.view());
  if (!sealed) return std::nullopt;
  return header + *nonce + *sealed;
}

std::optional<std::string> UnprotectWithMachineKey(std::string_view blob,
                                                   std::string* description) {
  if (blob.size() < kMinimumBlobSize || blob.size() > kMaxSealedSize ||
      static_cast<unsigned char>(blob[0]) != kBlobVersion) {
    return std::nullopt;
  }
  const std::optional<SecretString> machineKey = ReadMachineKey(MachineKeyPath());
  if (!machineKey) return std::nullopt;
  const std::optional<SecretString> key = DeriveBlobKey(machineKey->view());
  if (!key) return std::nullopt;

  const std::string_view header = blob.substr(0, 1);
  const std::string_view nonce = blob.substr(1, kNonceSize);
  const std::string_view ciphertext =
      blob.substr(1 + kNonceSize, blob.size() - 1 - kNonceSize - kTagSize);
  const std::string_view tag = blob.substr(blob.size() - kTagSize);
  const std::optional<SecretString> plaintext = Open(key->view(), nonce, header, ciphertext, tag);
  if (!plaintext) return std::nullopt;

  const std::string_view opened = plaintext->view();
  const std::uint32_t descriptionLength = ReadLittleEndian32(opened);
  if (descriptionLength > opened.size() - kLengthFieldSize) return std::nullopt;
  if (description != nullptr) {
    *description = std::string(opened.substr(kLengthFieldSize, descriptionLength));
  }
  return std::string(opened.substr(kLengthFieldSize + descriptionLength));
}

}  // namespace

std::optional<std::string> ProtectForMachine(std::string_view data, std::string_view description) {
  try {
    return ProtectWithMachineKey(data, description);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> UnprotectForMachine(std::string_view blob, std::string* description) {
  try {
    return UnprotectWithMachineKey(blob, description);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace keystead::os
