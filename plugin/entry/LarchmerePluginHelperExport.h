#pragma once

#include <optional>
#include <set>
#include <string>

#include "plugin/entry/KeysteadPluginExport.h"

namespace corvane::larchmere::plugin::test {

// Exported for test programs: the request readers and payload builders of
// LarchmerePluginHelper, forwarded unchanged. Same contracts as there.
class KS_PLUGIN_API LarchmerePluginHelperExport {
 public:
  LarchmerePluginHelperExport() = delete;

  static bool IsValidHeader(const char* headers);
  static bool IsValidRequestURL(const char* url, const char* headers, const char* path);
  static bool IsValidRequestMethd(const char* method, const char* headers, const char* expected);
  static std::string GetQCorrelationId(const char* headers);
  static bool IsValidQCorrelationId(const std::string& id);
  static int GetCallerType(const char* headers);
  static std::string GetEmailFromMatchRequest(int contentLength, const char* content);
  static std::string CreateJsonErrorResponse(int source, int code, const std::string& description);
  static void BuildHeader(const char* requestHeaders,
                          const std::optional<std::string>& domainSuffix, std::string& out);
  static void BuildURIs(std::set<std::string>& uris);
};

}  // namespace corvane::larchmere::plugin::test
