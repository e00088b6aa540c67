#include "plugin/platform/KSLogger.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <utility>

#include "os/debug_output.h"
#include "os/file_system.h"
#include "os/known_folders.h"
#include "os/process_info.h"
#include "os/registry.h"
#include "plugin/platform/Log.h"
#include "plugin/platform/LogMasking.h"

namespace corvane::larchmere::plugin {

namespace {

namespace os = keystead::os;

constexpr char kInstallInfoKey[] = "SOFTWARE\\Keystead\\InstallInfo";
constexpr char kInstallDirValue[] = "InstallDir";
constexpr std::size_t kInstallDirMaxBytes = 512;
constexpr char kSettingsKey[] = "SOFTWARE\\Keystead\\Settings\\";
constexpr char kFullLogValue[] = "FULL_LOG_ENABLE";
constexpr char kNlogConfigName[] = "NLog.config";
constexpr char kFileNameAttribute[] = "fileName=\"";
constexpr char kFieldSeparator[] = " | ";
constexpr char kDateSeparator[] = "-";
constexpr std::size_t kMaxTimeLength = 160;

std::string LogsSubfolder() {
  constexpr char sep = os::kPathSeparator;
  return std::string{sep} + "ksdata" + sep + "logs" + sep;
}

// The folder part of a file target: cut after the last separator of either kind.
std::string FolderOf(const std::string& target) {
  const std::size_t lastSeparator = target.find_last_of("/\\");
  return lastSeparator == std::string::npos ? target : target.substr(0, lastSeparator + 1);
}

// Made when the library loads, before any object that may log from its
// destructor (the plug-in state and everything it owns are made later), so
// destroyed after all of them: the logger lives until the library unloads
// and is freed then, also when a host unloads and loads the plug-in again.
std::unique_ptr<KSLogger> gProcessLogger;
std::once_flag gProcessLoggerOnce;

}  // namespace

KSLogger& KSLogger::Instance() {
  std::call_once(gProcessLoggerOnce, [] { gProcessLogger = std::make_unique<KSLogger>("LM.log"); });
  return *gProcessLogger;
}

KSLogger::KSLogger(std::string fileName, TimeSource now)
    : fileName_(std::move(fileName)),
      now_(now ? std::move(now) : TimeSource([] { return std::time(nullptr); })) {
  os::DebugOutput("KSLogger:: constructor");
  Initialize();
}

KSLogger::~KSLogger() { os::DebugOutput("KSLogger:: destructor"); }

void KSLogger::Initialize() {
  os::DebugOutput("KSLogger:: Initialize");
  nlogConfigPath_ = GetNlogConfigPath();
  nlogConfigPresent_ = IsNlogConfigPresent();
  // Read before the first line, so that every line is written under the switch.
  fullLogEnabled_ = os::ReadMachineDword(kSettingsKey, kFullLogValue).value_or(0) != 0;
  logsDir_ = ResolveLogsPath(GetServiceLogsPath());
  if (CreateDirectoryRecursively(logsDir_)) {
    Log("---------------- | ---------- Initializing " + fileName_ + " logger -----------",
        kLogInfo);
    os::DebugOutput("KSLogger::Initialize mLoggingEnabled = true");
  }
  os::DebugOutput("KSLogger::Initialize leaving");
}

std::string KSLogger::GetLocalAppDataPath() const {
  os::DebugOutput("KSLogger::GetLocalAppDataPath init");
  const auto folder = os::LocalAppDataFolder();
  if (!folder || folder->empty()) {
    os::DebugOutput("KSLogger::GetLocalAppDataPath ERROR obtaining LocalAppData Path");
    return {};
  }
  os::DebugOutput("KSLogger::GetLocalAppDataPath obtained: " + *folder);
  return *folder;
}

std::string KSLogger::GetNlogConfigPath() const {
  os::DebugOutput("KSLogger::GetNlogConfigPath --");
  std::string path;
  const auto installDir =
      os::ReadMachineString(kInstallInfoKey, kInstallDirValue, kInstallDirMaxBytes);
  if (installDir && !installDir->empty()) {
    path = *installDir + os::kPathSeparator + kNlogConfigName;
  }
  os::DebugOutput("KSLogger::GetNlogConfigPath -- " + path);
  return path;
}

bool KSLogger::IsNlogConfigPresent() const {
  const bool present = !nlogConfigPath_.empty() && os::FileExists(nlogConfigPath_);
  os::DebugOutput(std::string("KSLogger:: IsNlogConfigPresent ret: ") + (present ? "1" : "0"));
  return present;
}

std::string KSLogger::GetServiceLogsPath() const {
  os::DebugOutput("KSLogger::GetServiceLogsPath --");
  if (nlogConfigPath_.empty()) {
    os::DebugOutput("KSLogger::GetServiceLogsPath ERROR Nlog.config was empty");
    return {};
  }
  std::ifstream config(os::PathFromUtf8(nlogConfigPath_));
  std::string line;
  while (std::getline(config, line)) {
    const std::size_t attribute = line.find(kFileNameAttribute);
    if (attribute == std::string::npos) continue;
    const std::size_t begin = attribute + sizeof(kFileNameAttribute) - 1;
    const std::size_t end = line.find('"', begin);
    const std::string folder = FolderOf(line.substr(begin, end - begin));
    os::DebugOutput("KSLogger::GetServiceLogsPath log path was found in Nlog.config: " + folder);
    return folder;
  }
  os::DebugOutput("KSLogger::GetServiceLogsPath ERROR log path was not found in Nlog.config");
  return {};
}

std::string KSLogger::ResolveLogsPath(const std::string& serviceLogsPath) const {
  os::DebugOutput("KSLogger::ResolveLogsPath --");
  std::string resolved = serviceLogsPath;
  // Any layout renderer ("${basedir}", "${specialfolder:...}") would become a
  // literal folder name, and a relative folder would follow the host's
  // working directory: both fall back to local app data.
  if (serviceLogsPath.empty() || serviceLogsPath.find("${") != std::string::npos) {
    os::DebugOutput(
        "KSLogger::ResolveLogsPath service logs path is empty or contains ${ basedir }");
    resolved.clear();
  } else if (!os::PathFromUtf8(serviceLogsPath).is_absolute()) {
    os::DebugOutput("KSLogger::ResolveLogsPath service logs path is not an absolute folder");
    resolved.clear();
  }
  if (resolved.empty()) {
    const std::string localAppData = GetLocalAppDataPath();
    // Without local app data the subfolder alone would name a folder at the
    // root of the drive: no file is written then.
    if (!localAppData.empty()) resolved = localAppData + LogsSubfolder();
  }
  os::DebugOutput("KSLogger::ResolveLogsPath -- " + resolved);
  return resolved;
}

bool KSLogger::CreateDirectoryRecursively(const std::string& path) const {
  const bool existed = !path.empty() && os::FileExists(path);
  if (path.empty() || !os::CreateDirectoryRecursively(path)) {
    os::DebugOutput("KSLogger::Initialize ERROR Creating directory");
    return false;
  }
  if (!existed) os::DebugOutput("KSLogger::CreateDirectoryRecursively dir created: " + path);
  return true;
}

void KSLogger::Write(const std::string& text, int level) noexcept {
  try {
    // The text ends at its first zero character, as it would crossing a C boundary.
    Log(LevelTag(level) + text.c_str(), level);
  } catch (...) {
    // Logging never fails its caller.
  }
}

void KSLogger::Log(const std::string& text, int level) noexcept {
  try {
    if (level != kLogError && !nlogConfigPresent_) return;
    std::string body = text;
    if (IsMaskingEnabled()) MaskSensitiveData(body);
    const std::tm time = os::ToLocalTime(now_());
    const std::string line = FormatTime(time) + kFieldSeparator + ProcessPrefix() +
                             std::to_string(os::CurrentThreadId()) + kFieldSeparator + body;
    os::DebugOutput(line);
    if (!logsDir_.empty()) AppendToFile(logsDir_ + DailyFileName(time, fileName_), line);
  } catch (...) {
    // Logging never fails its caller.
  }
}

const std::string& KSLogger::ProcessPrefix() {
  std::call_once(processPrefixOnce_, [this] {
    processPrefix_ = std::to_string(os::CurrentProcessId()) + kFieldSeparator;
  });
  return processPrefix_;
}

void KSLogger::AppendToFile(const std::string& path, const std::string& line) {
  MutexLock lock(writeMutex_);
  std::ofstream file(os::PathFromUtf8(path), std::ios::out | std::ios::app);
  if (!file) return;
  file << line << '\n';
  file.flush();
}

std::string KSLogger::MaskToken(const std::string& token) const {
  return IsMaskingEnabled() ? MaskedToken(token) : token;
}

std::string KSLogger::MaskHeaderBlock(const std::string& headers) const {
  std::string masked = headers;
  if (IsMaskingEnabled()) MaskSensitiveHeaders(masked);
  return masked;
}

std::string KSLogger::LevelTag(int level) {
  switch (level) {
    case kLogError:
      return " | ERROR | ";
    case kLogInfo:
      return " | INFO | ";
    case kLogDebug:
      return " | DEBUG | ";
    default:
      return kFieldSeparator;
  }
}

std::string KSLogger::DailyFileName(const std::tm& time, const std::string& fileName) {
  return std::to_string(time.tm_year + 1900) + kDateSeparator + std::to_string(time.tm_mon + 1) +
         kDateSeparator + std::to_string(time.tm_mday) + kDateSeparator + fileName;
}

std::string KSLogger::FormatTime(const std::tm& time) {
  char buffer[kMaxTimeLength];
  const std::size_t length = std::strftime(buffer, sizeof(buffer), "%Y-%m-%d.%X", &time);
  return std::string(buffer, length);
}

}  // namespace corvane::larchmere::plugin
