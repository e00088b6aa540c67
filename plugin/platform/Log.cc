#include "plugin/platform/Log.h"

// Placeholder until the logger lands: messages are dropped.
namespace corvane::larchmere::plugin {

void WriteLog(const std::string&, int) {}
void LogInfo(const std::string& prefix, const std::string& content) {
  WriteLog(prefix + ": " + content, kLogInfo);
}
void LogDebug(const std::string& prefix, const std::string& content) {
  WriteLog(prefix + ": " + content, kLogDebug);
}
void LogError(const std::string& prefix, const std::string& content) {
  WriteLog(prefix + ": " + content, kLogError);
}
void LogException(const std::string& prefix, const std::exception& exception) {
  LogError(prefix, exception.what());
}

}  // namespace corvane::larchmere::plugin
