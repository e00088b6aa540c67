#pragma once

// The exports of the KeysteadVault shared library: a machine-wide key vault
// with a string cipher under its master password. Results of the flat
// exports are allocated by the library and released with KeysteadVaultFree.
// Any export may be called from any thread. Secret operations verify the
// code signatures of the calling executable and of the library first and
// give empty results when that fails.

#include <cstdint>
#include <string>

#include "VaultExport.h"  // beside this header, in the tree and installed

// String-object exports (C++ linkage). Empty results mean failure.
KS_VAULT_API std::string gsq();             // the plain SQLite key
KS_VAULT_API std::string gcsa();            // fixed secret A (32 bytes)
KS_VAULT_API std::string gcss();            // fixed secret S (44 bytes)
KS_VAULT_API std::string ecy(std::string);  // base64 ciphertext of a text
KS_VAULT_API std::string dcy(std::string);  // plaintext of a base64 ciphertext
KS_VAULT_API std::string gr(std::string);   // always "DecriptedRegistryValue"
// True when the vault is healthy; otherwise false, the reason appended to message.
KS_VAULT_API bool validate(std::string& message);

extern "C" {

// Flat exports: new zero-terminated strings, or null when a required pointer
// argument is null or memory runs out. Release them with KeysteadVaultFree.
KS_VAULT_API char* Callgsq();
KS_VAULT_API char* Callgcsa();
KS_VAULT_API char* Callgcss();
KS_VAULT_API char* Callecy(const char* text);
KS_VAULT_API char* Calldcy(const char* text);
KS_VAULT_API char* Callgr(const char* text);
// Stores the verdict of validate in *verdict; returns its message.
KS_VAULT_API char* Callvalidate(bool* verdict);
// 1 when the file at the UTF-8 path passes the code-signature check, else 0.
KS_VAULT_API std::int32_t Callvfy(const char* path);
// Releases a result of a flat export; null is allowed.
KS_VAULT_API void KeysteadVaultFree(void* result);

}  // extern "C"
