#pragma once

#include <ctime>
#include <functional>
#include <mutex>
#include <string>

#include "plugin/platform/Mutex.h"

namespace corvane::larchmere::plugin {

// The plug-in's process-wide logger. Each message becomes one line, appended
// to a file that changes name every day and mirrored to the debugger output.
// Where the files go comes from the product service's "NLog.config" when it
// names an absolute folder, else from "<local app data>/ksdata/logs/". Without
// that configuration only error lines are written. Unless "FULL_LOG_ENABLE" is
// set, secrets in every written line are replaced by "X" (see LogMasking.h),
// whether the configuration exists or not: error lines carry response bodies.
//
// Configuration is read once, at construction; every later call is
// thread-safe and never throws.
class KSLogger {
 public:
  // Calendar time of a line; the daily file name is taken from it.
  using TimeSource = std::function<std::time_t()>;

  // The process-wide logger, file name "LM.log", created by the first call
  // from any thread. It lives until the library unloads, after every object
  // of the plug-in that may log from its destructor.
  static KSLogger& Instance();

  // Reads the registry and the service configuration, then resolves and
  // creates the log folder. Failures are reported to the debugger output
  // only. `now` defaults to the system clock.
  explicit KSLogger(std::string fileName, TimeSource now = {});
  ~KSLogger();

  KSLogger(const KSLogger&) = delete;
  KSLogger& operator=(const KSLogger&) = delete;

  // Puts the level's tag (LevelTag) in front of the text, which ends at its
  // first zero character, and hands the result to Log.
  void Write(const std::string& text, int level) noexcept;

  // Writes one line: time, process id, the writing thread's id, then the
  // text, masked unless full logging is on. Lines of any level other than 0
  // are dropped while the service configuration is absent. The file is
  // opened, appended to, flushed and closed under the write lock, so lines of
  // concurrent writers never interleave. A file that cannot be opened loses
  // the line; the debugger output still receives it.
  void Log(const std::string& text, int level) noexcept;

  // The token, or MaskedToken(token) while masking is on.
  std::string MaskToken(const std::string& token) const;
  // The header block, its sensitive header values masked while masking is on.
  std::string MaskHeaderBlock(const std::string& headers) const;

  bool IsMaskingEnabled() const { return !fullLogEnabled_; }
  bool HasNlogConfig() const { return nlogConfigPresent_; }
  // Folder of the log files with a trailing separator; empty when none could
  // be determined (lines then reach the debugger output only).
  const std::string& LogsDir() const { return logsDir_; }

  // " | ERROR | ", " | INFO | ", " | DEBUG | " for levels 0 to 2, else " | ".
  static std::string LevelTag(int level);
  // "<year>-<month>-<day>-<fileName>", numbers without leading zeros.
  static std::string DailyFileName(const std::tm& time, const std::string& fileName);
  // The time field of a line ("%Y-%m-%d.%X").
  static std::string FormatTime(const std::tm& time);

 private:
  void Initialize();
  std::string GetLocalAppDataPath() const;
  std::string GetNlogConfigPath() const;
  bool IsNlogConfigPresent() const;
  std::string GetServiceLogsPath() const;
  std::string ResolveLogsPath(const std::string& serviceLogsPath) const;
  bool CreateDirectoryRecursively(const std::string& path) const;
  const std::string& ProcessPrefix();
  void AppendToFile(const std::string& path, const std::string& line) KS_EXCLUDES(writeMutex_);

  const std::string fileName_;
  const TimeSource now_;
  std::string nlogConfigPath_;
  bool nlogConfigPresent_ = false;
  std::string logsDir_;
  bool fullLogEnabled_ = false;

  // The process id and a separator; the thread id is taken at every line.
  std::once_flag processPrefixOnce_;
  std::string processPrefix_;

  Mutex writeMutex_;  // serialises the writes to this logger's files
};

}  // namespace corvane::larchmere::plugin
