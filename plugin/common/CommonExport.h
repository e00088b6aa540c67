#pragma once

// The plug-in library exports the public methods of the listener holder,
// which is built into this folder's static library: the marking travels with
// its object file into the plug-in (and is harmless in test programs).
#if defined(_WIN32)
#define KS_COMMON_API __declspec(dllexport)
#else
#define KS_COMMON_API __attribute__((visibility("default")))
#endif
