#pragma once

#include <exception>
#include <string>

namespace corvane::larchmere::plugin {

// Log levels as the plug-in passes them.
enum LogLevel : int { kLogError = 0, kLogInfo = 1, kLogDebug = 2 };

// Process-wide plug-in logging. Thread-safe; never throws.
void WriteLog(const std::string& text, int level);
void LogInfo(const std::string& prefix, const std::string& content);
void LogDebug(const std::string& prefix, const std::string& content);
void LogError(const std::string& prefix, const std::string& content);
void LogException(const std::string& prefix, const std::exception& exception);

}  // namespace corvane::larchmere::plugin
