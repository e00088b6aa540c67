#pragma once

namespace Corvane::Keystead::Vessa {

// Reads what the plug-in needs from the machine's installation: the user's
// first and last name (registry values under `registryPath` of the
// HKEY_LOCAL_MACHINE hive) and, through the suite, the suite account.
// The router creates one and hands it, not owned, to the suite-account
// handlers.
class KSInstHelper {
 public:
  // The three texts are not copied: they must outlive the helper (the router
  // passes string constants).
  KSInstHelper(const wchar_t* registryPath, const wchar_t* firstNameValue,
               const wchar_t* lastNameValue);
  virtual ~KSInstHelper();

  KSInstHelper(const KSInstHelper&) = delete;
  KSInstHelper& operator=(const KSInstHelper&) = delete;

 protected:
  const wchar_t* registryPath;
  const wchar_t* firstNameValue;
  const wchar_t* lastNameValue;
};

}  // namespace Corvane::Keystead::Vessa
