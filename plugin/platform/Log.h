#pragma once

#include <exception>
#include <string>

namespace corvane::larchmere::plugin {

// Log levels as the plug-in passes them.
enum LogLevel : int { kLogError = 0, kLogInfo = 1, kLogDebug = 2 };

// Process-wide plug-in logging through KSLogger::Instance(). Thread-safe;
// never throws. LogInfo, LogDebug and LogError write prefix, ": " and content
// at their level; LogException writes the exception's message as an error.
void WriteLog(const std::string& text, int level);
void LogInfo(const std::string& prefix, const std::string& content);
void LogDebug(const std::string& prefix, const std::string& content);
void LogError(const std::string& prefix, const std::string& content);
void LogException(const std::string& prefix, const std::exception& exception);

// Secrets in logged text. Unless FULL_LOG_ENABLE is set, the logger itself
// masks, in every line it writes, the values of sensitive JSON members and of the header
// lines "x-jwstoken", "x-idToken", "Authorization" and "Cookie" (see
// LogMasking.h); a request header block or a JSON body can be logged as is.
// A bare token carries no name the logger could recognise: pass a RAT, a
// signed token or an id token through MaskToken before logging it.

// "X" for a non-empty token (empty stays empty) while masking is on; the
// token unchanged while full logging is on. Never throws.
std::string MaskToken(const std::string& token);

// The header block with the values of the sensitive header lines masked
// while masking is on; for texts that reach the debugger output or another
// sink without passing through the logger. Never throws.
std::string MaskHeaderBlock(const std::string& headers);

}  // namespace corvane::larchmere::plugin
