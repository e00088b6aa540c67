#pragma once

#include <cstdint>
#include <string>

namespace Corvane::Keystead::Vessa {

// Status values of the suite library's functions.
inline constexpr std::uint32_t kSuiteSuccess = 0;
inline constexpr std::uint32_t kSuiteNotSupported = 50;
inline constexpr std::uint32_t kSuiteInvalidParameter = 87;
inline constexpr std::uint32_t kSuiteNotFound = 1168;

// Units of the e-mail buffer handed to GetVSUAccountEmail.
inline constexpr std::uint32_t kSuiteEmailBufferUnits = 1000;

// Call shapes of the suite library's exports (UTF-16 texts as char16_t).
extern "C" {
// Writes the zero-terminated account e-mail into `buffer`; `size` holds the
// buffer's units on entry.
typedef std::uint32_t (*GetVSUAccountEmailFunction)(char16_t* buffer, std::uint32_t* size);
// Passes a change notice: null, null, the zero-terminated command, 0.
typedef std::uint32_t (*NotifyChangeFunction)(void* reserved1, void* reserved2, const char* command,
                                              int flags);
// Non-zero when the product's entry may be hidden from the installed-programs list.
typedef std::int32_t (*CanHideARPFunction)(const char16_t* text);
}

// Run-time binding of the suite's account library (libCvVSUAPI.so, or
// CvVSUAPI.dll on Windows, in the folder named by the registry value
// "SOFTWARE\Corvane\CSH" "Install Dir"). The plug-in never links against it:
// the library is loaded on first use, only when it passes the code-signature
// check, and its functions are resolved by name.
//
// The binding is process-wide, shared by every instance. Binding attempts are
// serialised by one lock; a failed attempt binds nothing, so the next use
// tries again from the registry read on. Calls into the suite run without a
// lock. Destroying any instance unloads the library for the whole process:
// that may happen only while no suite function is being called.
class VSUAPI {
 public:
  VSUAPI() = default;
  virtual ~VSUAPI();

  VSUAPI(const VSUAPI&) = delete;
  VSUAPI& operator=(const VSUAPI&) = delete;

  // The suite account's e-mail address; 0 success, 1 invalid parameter,
  // 2 not found, 3 unavailable or any other failure.
  virtual int getVsuAccountEmail(std::string& email) = 0;
  // Passes a change notice for the application and e-mail address; statuses
  // as getVsuAccountEmail.
  virtual int notifyChange(const std::string& appId, const std::string& email) = 0;

  // Whether the suite library is loaded now. Thread-safe.
  static bool IsLoaded();

 protected:
  // Each binds the suite if it is not bound yet and returns the function, or
  // null when the suite or that function is unavailable. Thread-safe; never
  // throws.
  static GetVSUAccountEmailFunction BoundGetVSUAccountEmail();
  static NotifyChangeFunction BoundNotifyChange();
  static CanHideARPFunction BoundCanHideARP();

 private:
  static void BindIfNeeded();
};

}  // namespace Corvane::Keystead::Vessa
