#pragma once

// Symbol visibility of the engine library's exports.
#if defined(_WIN32)
#if defined(KS_SDK_BUILD)
#define KS_SDK_API __declspec(dllexport)
#else
#define KS_SDK_API __declspec(dllimport)
#endif
#else
#define KS_SDK_API __attribute__((visibility("default")))
#endif
