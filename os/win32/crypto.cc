// CryptoAPI implementations of the platform's cryptographic primitives, in an
// ephemeral context of the Microsoft Enhanced RSA and AES provider. The AES
// key is derived from a SHA-256 hash object holding the given key bytes, the
// way keys of a hashed password are made; for a SHA-256 hash and a 256-bit
// key the provider's key is the digest itself. Such a key runs CBC with a
// zero IV and PKCS#7 padding.
#include "os/crypto.h"

// windows.h first: the other Windows headers rely on its types.
// clang-format off
#include <windows.h>
#include <wincrypt.h>
// clang-format on

#include <climits>
#include <cstring>
#include <exception>
#include <memory>

#include "os/secure_memory.h"

namespace keystead::os {
namespace {

constexpr DWORD kAesBlockSize = 16;
// CryptEncrypt counts in DWORD: a text this close to the limit cannot take its padding.
constexpr std::size_t kMaxCipherInput = 0xFFFFFFFFu - 2 * kAesBlockSize;

// Owner of one CryptoAPI handle (HCRYPTPROV, HCRYPTHASH and HCRYPTKEY are
// all ULONG_PTR; 0 is none), released with Release when it goes.
template <void (*Release)(ULONG_PTR)>
class CryptHandle {
 public:
  CryptHandle() = default;
  ~CryptHandle() {
    if (handle_ != 0) Release(handle_);
  }
  CryptHandle(const CryptHandle&) = delete;
  CryptHandle& operator=(const CryptHandle&) = delete;

  ULONG_PTR* out() { return &handle_; }
  ULONG_PTR get() const { return handle_; }
  explicit operator bool() const { return handle_ != 0; }

 private:
  ULONG_PTR handle_ = 0;
};

void ReleaseProvider(HCRYPTPROV provider) { CryptReleaseContext(provider, 0); }
void DestroyHash(HCRYPTHASH hash) { CryptDestroyHash(hash); }
void DestroyKey(HCRYPTKEY key) { CryptDestroyKey(key); }

// An ephemeral context of the AES provider; empty when the provider refuses.
class CryptContext : public CryptHandle<ReleaseProvider> {
 public:
  CryptContext() {
    if (!CryptAcquireContextW(out(), nullptr, MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT)) {
      *out() = 0;
    }
  }
};

// A hash object of the context; empty when it could not be made.
class CryptHash : public CryptHandle<DestroyHash> {
 public:
  CryptHash(const CryptContext& context, ALG_ID algorithm) {
    if (!context || !CryptCreateHash(context.get(), algorithm, 0, 0, out())) *out() = 0;
  }
};

using CryptKey = CryptHandle<DestroyKey>;

BYTE* Bytes(std::string& text) { return reinterpret_cast<BYTE*>(text.data()); }

BYTE* Bytes(SecretString& text) { return reinterpret_cast<BYTE*>(text.data()); }

std::optional<std::string> HashValue(const CryptHash& hash) {
  std::string digest(32, '\0');
  DWORD length = static_cast<DWORD>(digest.size());
  if (!CryptGetHashParam(hash.get(), HP_HASHVAL, Bytes(digest), &length, 0) || length != 32) {
    return std::nullopt;
  }
  return digest;
}

// The AES-256 key of a SHA-256 hash whose value is the given key bytes.
bool DeriveAesKey(const CryptContext& context, std::string_view keyBytes, CryptKey& key) {
  if (keyBytes.size() != kAes256KeySize) return false;
  CryptHash hash(context, CALG_SHA_256);
  SecretString value(keyBytes);
  return hash && CryptSetHashParam(hash.get(), HP_HASHVAL, Bytes(value), 0) &&
         CryptDeriveKey(context.get(), CALG_AES_256, hash.get(), CRYPT_EXPORTABLE, key.out());
}

}  // namespace

std::optional<std::string> Sha256(std::string_view data) {
  try {
    CryptContext context;
    CryptHash hash(context, CALG_SHA_256);
    if (!hash) return std::nullopt;
    // CryptHashData counts in DWORD: long inputs go through in pieces.
    constexpr std::size_t kPiece = 1u << 30;
    for (std::size_t done = 0; done < data.size(); done += kPiece) {
      const std::size_t piece = std::min(kPiece, data.size() - done);
      if (!CryptHashData(hash.get(), reinterpret_cast<const BYTE*>(data.data() + done),
                         static_cast<DWORD>(piece), 0)) {
        return std::nullopt;
      }
    }
    return HashValue(hash);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> EncryptAes256CbcZeroIv(std::string_view key,
                                                  std::string_view plaintext) {
  try {
    if (plaintext.size() > kMaxCipherInput) return std::nullopt;
    CryptContext context;
    CryptKey aesKey;
    if (!context || !DeriveAesKey(context, key, aesKey)) return std::nullopt;
    // Room for the text and one block of padding; encrypted in place, so a
    // failure leaves the plaintext copy for the owner to wipe.
    SecretString buffer(std::string(plaintext.size() + kAesBlockSize, '\0'));
    if (!plaintext.empty()) std::memcpy(buffer.data(), plaintext.data(), plaintext.size());
    DWORD length = static_cast<DWORD>(plaintext.size());
    if (!CryptEncrypt(aesKey.get(), 0, TRUE, 0, Bytes(buffer), &length,
                      static_cast<DWORD>(buffer.size()))) {
      return std::nullopt;
    }
    return buffer.str().substr(0, length);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> DecryptAes256CbcZeroIv(std::string_view key,
                                                  std::string_view ciphertext) {
  try {
    if (ciphertext.empty() || ciphertext.size() % kAesBlockSize != 0 ||
        ciphertext.size() > kMaxCipherInput) {
      return std::nullopt;
    }
    CryptContext context;
    CryptKey aesKey;
    if (!context || !DeriveAesKey(context, key, aesKey)) return std::nullopt;
    // Decrypted in place: the owner wipes the plaintext the result does not take.
    SecretString buffer(ciphertext);
    DWORD length = static_cast<DWORD>(buffer.size());
    // A wrong padding (as a wrong key gives) fails here.
    if (!CryptDecrypt(aesKey.get(), 0, TRUE, 0, Bytes(buffer), &length)) {
      return std::nullopt;
    }
    return buffer.str().substr(0, length);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> RandomBytes(std::size_t count) {
  try {
    if (count > 0xFFFFFFFFu) return std::nullopt;
    std::string bytes(count, '\0');
    if (count == 0) return bytes;
    CryptContext context;
    if (!context || !CryptGenRandom(context.get(), static_cast<DWORD>(count), Bytes(bytes))) {
      return std::nullopt;
    }
    return bytes;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> FreshWrappedSessionKeyBlob() {
  try {
    // A verify context holds no persisted key pair; one is made for this call.
    CryptContext context;
    if (!context) return std::nullopt;
    CryptKey sessionKey;
    if (!CryptGenKey(context.get(), CALG_AES_256, CRYPT_EXPORTABLE | CRYPT_CREATE_SALT,
                     sessionKey.out())) {
      return std::nullopt;
    }
    CryptKey exchangeKey;
    if (!CryptGetUserKey(context.get(), AT_KEYEXCHANGE, exchangeKey.out())) {
      if (GetLastError() != static_cast<DWORD>(NTE_NO_KEY) ||
          !CryptGenKey(context.get(), AT_KEYEXCHANGE, CRYPT_EXPORTABLE, exchangeKey.out())) {
        return std::nullopt;
      }
    }
    DWORD size = 0;
    if (!CryptExportKey(sessionKey.get(), exchangeKey.get(), SIMPLEBLOB, 0, nullptr, &size)) {
      return std::nullopt;
    }
    std::string blob(size, '\0');
    if (!CryptExportKey(sessionKey.get(), exchangeKey.get(), SIMPLEBLOB, 0, Bytes(blob), &size)) {
      return std::nullopt;
    }
    blob.resize(size);
    return blob;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace keystead::os
