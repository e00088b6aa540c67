#pragma once

// The plug-in library exports the public methods of the listener holder,
// which is built into this folder's static library: the marking travels with
// its object file into the plug-in (and is harmless in test programs). On
// Windows the plug-in's module definition file names them instead.
#if defined(_WIN32)
#define KS_COMMON_API
#else
#define KS_COMMON_API __attribute__((visibility("default")))
#endif
