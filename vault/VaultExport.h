#pragma once

// Marks the functions that the KeysteadVault shared library exports. The
// export list of vault/CMakeLists.txt has the last word: a version script on
// ELF, and on Windows a module definition file alone, since a dllexport
// marking would export whatever carries it beside the file's list.
#if defined(_WIN32)
#if defined(KS_VAULT_BUILD)
#define KS_VAULT_API
#else
#define KS_VAULT_API __declspec(dllimport)
#endif
#else
#define KS_VAULT_API __attribute__((visibility("default")))
#endif
