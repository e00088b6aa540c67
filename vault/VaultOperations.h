#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The operations behind the exports of the KeysteadVault library (the exports
// forward to these unchanged). Every operation that touches secrets first
// checks the code signatures of the calling executable and of this library
// and returns an empty result when that fails. A vault folder or file that
// may not be trusted (CVault::UntrustedReason) is read as no vault: the
// secret operations answer empty. A weak vault (CVault::MasterPassword)
// encrypts nothing and hands out nothing stored; only dcy works on it. The
// library wipes its own copies of keys and plaintexts; results are the
// caller's. gsq, gcsa, gcss, ecy, dcy and
// validate run under one process-wide mutex; gr and Callvfy take no lock.
// Callable from any thread.
namespace keystead::vault {

// The plain SQLite key; empty on any failure. Creates the vault on first use.
std::string gsq();
// The plain fixed secrets A (32 bytes) and S (44 bytes); empty on any failure.
std::string gcsa();
std::string gcss();
// Base64 ciphertext of text under the master password; empty on any failure.
std::string ecy(std::string text);
// Plaintext of a base64 ciphertext made by ecy; empty on any failure.
std::string dcy(std::string text);
// Always "DecriptedRegistryValue".
std::string gr(std::string text);
// True when the vault exists, may be trusted and works; otherwise false with
// the reason appended to message. Never creates a vault.
bool validate(std::string& message);

// Flat forms. Results are new zero-terminated strings (the result up to its
// first zero byte) that the caller releases with FreeResult; null when the
// allocation fails or a required pointer argument is null. Nothing throws.
char* Callgsq();
char* Callgcsa();
char* Callgcss();
char* Callecy(const char* text);
char* Calldcy(const char* text);
char* Callgr(const char* text);
// Stores the verdict of validate in *verdict and returns its message (empty
// when healthy).
char* Callvalidate(bool* verdict);
// 1 when the file at path (UTF-8) passes the code-signature check, else 0
// (also for a null path or one that is not valid UTF-8).
std::int32_t Callvfy(const char* path);
void FreeResult(void* result);

// True when text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

}  // namespace keystead::vault
