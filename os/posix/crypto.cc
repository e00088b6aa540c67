// OpenSSL implementations of the platform's cryptographic primitives.
#include "os/crypto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <climits>
#include <exception>

#include "os/posix/openssl_bytes.h"
#include "os/secure_memory.h"

namespace keystead::os {
namespace {

constexpr int kAesBlockSize = 16;
// EVP takes int lengths; a text this close to INT_MAX cannot take its padding.
constexpr std::size_t kMaxCipherInput = INT_MAX - 2 * kAesBlockSize;

using posix::Bytes;
using posix::CipherContext;

// Runs AES-256-CBC with a zero IV over input; encrypt selects the direction.
std::optional<std::string> RunCbc(bool encrypt, std::string_view key, std::string_view input) {
  if (key.size() != kAes256KeySize || input.size() > kMaxCipherInput) return std::nullopt;
  CipherContext context(EVP_CIPHER_CTX_new());
  if (!context) return std::nullopt;
  const unsigned char zeroIv[kAesBlockSize] = {};
  if (EVP_CipherInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, Bytes(key), zeroIv,
                        encrypt ? 1 : 0) != 1) {
    return std::nullopt;
  }
  // Room for the input and one block of padding. A failed decryption may
  // have written plaintext already: the owner wipes it.
  SecretString output(std::string(input.size() + kAesBlockSize, '\0'));
  unsigned char* bytes = Bytes(output);
  int written = 0;
  if (EVP_CipherUpdate(context.get(), bytes, &written, Bytes(input),
                       static_cast<int>(input.size())) != 1) {
    return std::nullopt;
  }
  int finalWritten = 0;
  if (EVP_CipherFinal_ex(context.get(), bytes + written, &finalWritten) != 1) {
    return std::nullopt;
  }
  const std::size_t length =
      static_cast<std::size_t>(written) + static_cast<std::size_t>(finalWritten);
  return output.str().substr(0, length);
}

}  // namespace

std::optional<std::string> Sha256(std::string_view data) {
  try {
    std::string digest(SHA256_DIGEST_LENGTH, '\0');
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), Bytes(digest), &length, EVP_sha256(), nullptr) != 1 ||
        length != SHA256_DIGEST_LENGTH) {
      return std::nullopt;
    }
    return digest;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> EncryptAes256CbcZeroIv(std::string_view key,
                                                  std::string_view plaintext) {
  try {
    return RunCbc(true, key, plaintext);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> DecryptAes256CbcZeroIv(std::string_view key,
                                                  std::string_view ciphertext) {
  try {
    if (ciphertext.empty() || ciphertext.size() % kAesBlockSize != 0) return std::nullopt;
    return RunCbc(false, key, ciphertext);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> RandomBytes(std::size_t count) {
  try {
    if (count > INT_MAX) return std::nullopt;
    std::string bytes(count, '\0');
    if (count > 0 && RAND_bytes(Bytes(bytes), static_cast<int>(count)) != 1) return std::nullopt;
    return bytes;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> FreshWrappedSessionKeyBlob() {
  return RandomBytes(kWrappedSessionKeyBlobSize);
}

}  // namespace keystead::os
