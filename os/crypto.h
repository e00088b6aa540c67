#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace keystead::os {

// Cryptographic primitives of the platform (CryptoAPI / CNG on Windows,
// OpenSSL here). Byte strings in and out; every function is thread-safe,
// never throws and reports any failure as nullopt.

inline constexpr std::size_t kAes256KeySize = 32;

// The 32-byte SHA-256 digest of data.
std::optional<std::string> Sha256(std::string_view data);

// AES-256 in CBC mode with an all-zero IV and PKCS#7 padding, the whole text
// as one message. key must hold exactly kAes256KeySize bytes. The ciphertext
// is the text's length rounded up to the next multiple of 16 (one full block
// more when it already is one).
std::optional<std::string> EncryptAes256CbcZeroIv(std::string_view key, std::string_view plaintext);

// The inverse of EncryptAes256CbcZeroIv. A ciphertext whose length is not a
// positive multiple of 16, or whose padding is wrong (as a wrong key gives),
// fails: no garbage is handed out as plaintext.
std::optional<std::string> DecryptAes256CbcZeroIv(std::string_view key,
                                                  std::string_view ciphertext);

// count bytes from the platform's cryptographically secure generator.
std::optional<std::string> RandomBytes(std::size_t count);

// Length of a CryptoAPI SIMPLEBLOB that wraps a key with a 1024-bit RSA
// exchange key: 12 header bytes and the 128-byte wrapped key.
inline constexpr std::size_t kWrappedSessionKeyBlobSize = 140;

// Unpredictable bytes that nobody ever unwraps. Windows generates a fresh
// AES-256 session key and exports it wrapped by a throw-away RSA exchange key
// of an ephemeral context, as a SIMPLEBLOB; other platforms give
// kWrappedSessionKeyBlobSize bytes from the secure generator.
std::optional<std::string> FreshWrappedSessionKeyBlob();

}  // namespace keystead::os
