#pragma once

#include <string>

#include "plugin/platform/VSUAPI.h"

namespace Corvane::Keystead::Vessa {

// Results of getVsuAccountEmail and notifyChange.
enum SuiteAccountStatus : int {
  kSuiteAccountOk = 0,
  kSuiteAccountInvalidParameter = 1,  // suite status 87, or a notice the suite must not see
  kSuiteAccountNotFound = 2,          // suite status 1168
  kSuiteAccountUnavailable = 3,       // suite status 50, any other, or no suite at all
};

// Results of getVsuAccountUserName.
enum UserNameStatus : int { kUserNameRead = 0, kUserNameMissing = 2 };

// Reads what the plug-in needs from the machine's installation: the user's
// first and last name (registry values under `registryPath` of the
// HKEY_LOCAL_MACHINE hive), the suite account's e-mail address and change
// notices (through the suite binding of VSUAPI), and the start of the
// product's install utility (CvKsInsUtil in the product's install folder)
// that registers the browser extension.
//
// The router creates one and hands it, not owned, to the suite-account
// handlers. Thread-safe as far as the suite's functions are: the helper has
// no state that changes. Nothing throws; failures are status values and
// traces on the debugger output ("KsInstHelper - ...").
class KSInstHelper : public VSUAPI {
 public:
  // The three texts are not copied: they must outlive the helper (the router
  // passes string constants).
  KSInstHelper(const wchar_t* registryPath, const wchar_t* firstNameValue,
               const wchar_t* lastNameValue);
  ~KSInstHelper() override;

  // A SuiteAccountStatus. `email` is written only on success.
  int getVsuAccountEmail(std::string& email) override;

  // Sends appId + " " + email to the suite (a SuiteAccountStatus). An appId
  // or e-mail holding white space or control characters would change what
  // the suite reads from the command: it is refused with
  // kSuiteAccountInvalidParameter before anything is called or started.
  // Otherwise, whatever the suite answered, a non-empty e-mail also starts
  // the install utility with "/regbrwextn" (waiting for it at most 2 s);
  // nothing is started when the product's install folder is unknown.
  int notifyChange(const std::string& appId, const std::string& email) override;

  // kUserNameRead when both names were read, else kUserNameMissing; a first
  // name read before a missing last name stays in `firstName`.
  virtual int getVsuAccountUserName(std::string& firstName, std::string& lastName);

  // The suite's CanHideARP answer for the text; false when it is unavailable.
  virtual bool canHideARP(const wchar_t* text);

  // Reads the string value `valueName` of HKEY_LOCAL_MACHINE\`path` (64-bit
  // view) into `value`. False when the key or value is missing, or the value
  // does not fit the 130-unit buffer (terminator included); `value` is then
  // unchanged.
  bool readStringValueFromRegistry(const wchar_t* path, const wchar_t* valueName,
                                   std::string& value);

  // The product's install folder ("SOFTWARE\Keystead\InstallInfo"
  // "InstallDir"); empty when unknown.
  std::string GetInstallFolder();

  // Starts the program without a shell with `parameters` as its one argument
  // (none when empty) and waits at most 2 s for it; a program still running
  // keeps running. True when it started. Blocks for up to 2 s.
  bool ExecuteCommand(const std::string& program, const std::string& parameters);

 protected:
  const wchar_t* registryPath;
  const wchar_t* firstNameValue;
  const wchar_t* lastNameValue;

 private:
  void RegisterBrowserExtension();
};

}  // namespace Corvane::Keystead::Vessa
