#pragma once

// Marks the functions that the KeysteadVault shared library exports.
#if defined(_WIN32)
#if defined(KS_VAULT_BUILD)
#define KS_VAULT_API __declspec(dllexport)
#else
#define KS_VAULT_API __declspec(dllimport)
#endif
#else
#define KS_VAULT_API __attribute__((visibility("default")))
#endif
