#include "plugin/platform/KSInstHelper.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <string_view>
#include <vector>

#include "os/debug_output.h"
#include "os/file_system.h"
#include "os/process_launch.h"
#include "os/registry.h"
#include "plugin/platform/VessaText.h"

namespace Corvane::Keystead::Vessa {
namespace {

constexpr std::size_t kNameBufferBytes = 260;
constexpr std::size_t kInstallDirBufferBytes = 520;
constexpr char kInstallInfoKey[] = "SOFTWARE\\Keystead\\InstallInfo";
constexpr char kInstallDirValue[] = "InstallDir";
constexpr char kInstallUtility[] = "CvKsInsUtil";
constexpr char kRegisterBrowserExtension[] = "/regbrwextn";
constexpr std::chrono::milliseconds kInstallUtilityWait{2000};

void Trace(const std::string& text) { keystead::os::DebugOutput("KsInstHelper - " + text + "\n"); }

int StatusFromSuite(std::uint32_t suiteStatus) {
  switch (suiteStatus) {
    case kSuiteSuccess:
      return kSuiteAccountOk;
    case kSuiteInvalidParameter:
      return kSuiteAccountInvalidParameter;
    case kSuiteNotFound:
      return kSuiteAccountNotFound;
    default:
      return kSuiteAccountUnavailable;
  }
}

// White space and control characters would split or end the notice command
// somewhere else than between the two texts.
bool IsSafeCommandPart(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) return false;
  }
  return true;
}

}  // namespace

KSInstHelper::KSInstHelper(const wchar_t* registryPath, const wchar_t* firstNameValue,
                           const wchar_t* lastNameValue)
    : registryPath(registryPath), firstNameValue(firstNameValue), lastNameValue(lastNameValue) {}

KSInstHelper::~KSInstHelper() = default;

bool KSInstHelper::readStringValueFromRegistry(const wchar_t* path, const wchar_t* valueName,
                                               std::string& value) {
  try {
    const std::string key = Utf8FromWide(path);
    const std::string name = Utf8FromWide(valueName);
    Trace(
        "KSInstHelper::readStringValueFromRegistry called. Received params (inside brackets) - "
        "path: [" +
        key + "] | valueName = [" + name + "]");
    std::optional<std::string> read = keystead::os::ReadMachineString(key, name, kNameBufferBytes);
    if (!read) {
      Trace(
          "KSInstHelper::readStringValueFromRegistry - ERROR Couldn't retrieve value from "
          "registry");
      return false;
    }
    value = std::move(*read);
    Trace("KSInstHelper::readStringValueFromRegistry - value retrieved correctly. Received: [" +
          value + "]");
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

int KSInstHelper::getVsuAccountUserName(std::string& firstName, std::string& lastName) {
  Trace("KSInstHelper::getVsuAccountUserName called");
  bool ok = readStringValueFromRegistry(registryPath, firstNameValue, firstName);
  if (ok) ok = readStringValueFromRegistry(registryPath, lastNameValue, lastName);
  const int result = ok ? kUserNameRead : kUserNameMissing;
  Trace("KSInstHelper::getVsuAccountUserName - Returned value: " + std::to_string(result) +
        " | was call successful?: " + (ok ? "1" : "0"));
  return result;
}

int KSInstHelper::getVsuAccountEmail(std::string& email) {
  try {
    const GetVSUAccountEmailFunction getEmail = BoundGetVSUAccountEmail();
    if (getEmail == nullptr) return kSuiteAccountUnavailable;
    std::u16string buffer(kSuiteEmailBufferUnits, u'\0');
    std::uint32_t size = kSuiteEmailBufferUnits;
    const std::uint32_t suiteStatus = getEmail(buffer.data(), &size);
    if (suiteStatus != kSuiteSuccess) return StatusFromSuite(suiteStatus);
    // The suite may have filled the whole buffer: read it only up to its last unit.
    buffer.back() = u'\0';
    email = Utf8FromUtf16(std::u16string_view(buffer.c_str()));
    return kSuiteAccountOk;
  } catch (const std::exception&) {
    return kSuiteAccountUnavailable;
  }
}

int KSInstHelper::notifyChange(const std::string& appId, const std::string& email) {
  int result = kSuiteAccountUnavailable;
  try {
    if (!IsSafeCommandPart(appId) || !IsSafeCommandPart(email)) {
      Trace("KSInstHelper::notifyChange - ERROR appId or email holds white space or controls");
      return kSuiteAccountInvalidParameter;
    }
    const std::string command = appId + " " + email;
    Trace("KSInstHelper::notifyChange cmd: [" + command + "]");
    std::uint32_t suiteStatus = kSuiteNotSupported;
    if (const NotifyChangeFunction notify = BoundNotifyChange()) {
      suiteStatus = notify(nullptr, nullptr, command.c_str(), 0);
    }
    result = StatusFromSuite(suiteStatus);
    Trace("dwret: " + std::to_string(suiteStatus) + " retVal:" + std::to_string(result));
    if (email.empty()) {
      Trace("empty mail -- notifyChange to VSU");
    } else {
      Trace("enabling regbrwextension");
      RegisterBrowserExtension();
    }
  } catch (const std::exception&) {
  }
  return result;
}

bool KSInstHelper::canHideARP(const wchar_t* text) {
  try {
    Trace("KSInstHelper::canHideARP");
    bool canHide = false;
    if (const CanHideARPFunction canHideARP = BoundCanHideARP()) {
      const std::u16string argument = Utf16FromWide(text);
      canHide = canHideARP(argument.c_str()) != 0;
    }
    Trace(std::string("KSInstHelper::canHideARP - response: ") + (canHide ? "1" : "0"));
    return canHide;
  } catch (const std::exception&) {
    Trace("KSInstHelper::canHideARP ERROR");
    return false;
  }
}

std::string KSInstHelper::GetInstallFolder() {
  try {
    return keystead::os::ReadMachineString(kInstallInfoKey, kInstallDirValue,
                                           kInstallDirBufferBytes)
        .value_or(std::string());
  } catch (const std::exception&) {
    return {};
  }
}

void KSInstHelper::RegisterBrowserExtension() {
  const std::filesystem::path folder = keystead::os::PathFromUtf8(GetInstallFolder());
  // Never a guessed program: without a known, absolute install folder the
  // path would point wherever the current folder happens to be.
  if (folder.empty() || !folder.is_absolute()) {
    Trace("ExecuteCommand: install folder unknown, " + std::string(kInstallUtility) +
          " not started");
    return;
  }
  ExecuteCommand(
      keystead::os::Utf8FromPath(folder / keystead::os::ExecutableFileName(kInstallUtility)),
      kRegisterBrowserExtension);
}

bool KSInstHelper::ExecuteCommand(const std::string& program, const std::string& parameters) {
  try {
    Trace("ExecuteCommand: execute command: " + program + " with parameters: " + parameters);
    std::vector<std::string> arguments;
    if (!parameters.empty()) arguments.push_back(parameters);
    const keystead::os::LaunchResult launch =
        keystead::os::StartProcess(program, arguments, kInstallUtilityWait);
    if (launch.started) {
      Trace("ExecuteCommand: executed cmd:" + program + " with parameters: " + parameters +
            " - result: OK");
    } else {
      Trace("ERROR ExecuteCommand: executed cmd:" + program + " with parameters: " + parameters +
            " - result: not started");
    }
    Trace("ExecuteCommand: leaving");
    return launch.started;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace Corvane::Keystead::Vessa
