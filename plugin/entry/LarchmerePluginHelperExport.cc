#include "plugin/entry/LarchmerePluginHelperExport.h"

#include "plugin/common/LarchmerePluginHelper.h"

namespace corvane::larchmere::plugin::test {

using common::LarchmerePluginHelper;

bool LarchmerePluginHelperExport::IsValidHeader(const char* headers) {
  return LarchmerePluginHelper::IsValidHeader(headers);
}

bool LarchmerePluginHelperExport::IsValidRequestURL(const char* url, const char* headers,
                                                    const char* path) {
  return LarchmerePluginHelper::IsValidRequestURL(url, headers, path);
}

bool LarchmerePluginHelperExport::IsValidRequestMethd(const char* method, const char* headers,
                                                      const char* expected) {
  return LarchmerePluginHelper::IsValidRequestMethd(method, headers, expected);
}

std::string LarchmerePluginHelperExport::GetQCorrelationId(const char* headers) {
  return LarchmerePluginHelper::GetQCorrelationId(headers);
}

bool LarchmerePluginHelperExport::IsValidQCorrelationId(const std::string& id) {
  return LarchmerePluginHelper::IsValidQCorrelationId(id);
}

int LarchmerePluginHelperExport::GetCallerType(const char* headers) {
  return LarchmerePluginHelper::GetCallerType(headers);
}

std::string LarchmerePluginHelperExport::GetEmailFromMatchRequest(int contentLength,
                                                                  const char* content) {
  return LarchmerePluginHelper::GetEmailFromMatchRequest(contentLength, content);
}

std::string LarchmerePluginHelperExport::CreateJsonErrorResponse(int source, int code,
                                                                 const std::string& description) {
  return LarchmerePluginHelper::CreateJsonErrorResponse(source, code, description);
}

void LarchmerePluginHelperExport::BuildHeader(const char* requestHeaders,
                                              const std::optional<std::string>& domainSuffix,
                                              std::string& out) {
  LarchmerePluginHelper::BuildHeader(requestHeaders, domainSuffix, out);
}

void LarchmerePluginHelperExport::BuildURIs(std::set<std::string>& uris) {
  LarchmerePluginHelper::BuildURIs(uris);
}

}  // namespace corvane::larchmere::plugin::test
