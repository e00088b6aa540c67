#include "plugin/platform/Log.h"

#include "plugin/platform/KSLogger.h"
#include "plugin/platform/LogMasking.h"

namespace corvane::larchmere::plugin {

namespace {

// Lines the logger would drop are not even put together: the request path
// logs many INFO lines that, without the service configuration, go nowhere.
bool IsDropped(int level) {
  try {
    return level != kLogError && !KSLogger::Instance().HasNlogConfig();
  } catch (...) {
    return false;
  }
}

void WritePrefixed(const std::string& prefix, const std::string& content, int level) {
  if (IsDropped(level)) {
    return;
  }
  try {
    WriteLog(prefix + ": " + content, level);
  } catch (...) {
  }
}

}  // namespace

void WriteLog(const std::string& text, int level) {
  if (IsDropped(level)) {
    return;
  }
  try {
    KSLogger::Instance().Write(text, level);
  } catch (...) {
    // Creating the logger failed (out of memory): the line is lost, the caller goes on.
  }
}

void LogInfo(const std::string& prefix, const std::string& content) {
  WritePrefixed(prefix, content, kLogInfo);
}

void LogDebug(const std::string& prefix, const std::string& content) {
  WritePrefixed(prefix, content, kLogDebug);
}

void LogError(const std::string& prefix, const std::string& content) {
  WritePrefixed(prefix, content, kLogError);
}

void LogException(const std::string& prefix, const std::exception& exception) {
  LogError(prefix, exception.what());
}

std::string MaskToken(const std::string& token) {
  try {
    return KSLogger::Instance().MaskToken(token);
  } catch (...) {
    return MaskedToken(token);  // when in doubt, hide it
  }
}

std::string MaskHeaderBlock(const std::string& headers) {
  try {
    return KSLogger::Instance().MaskHeaderBlock(headers);
  } catch (...) {
    return {};  // the masked copy could not be made: log nothing rather than the secrets
  }
}

}  // namespace corvane::larchmere::plugin
