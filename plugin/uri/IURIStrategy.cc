#include "plugin/uri/IURIStrategy.h"

#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

#include "plugin/common/LarchmerePluginHelper.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;

namespace {

constexpr char kRequestUrlHeader[] = "Request URL: ";

// The URL contains the path prefix directly followed by `path`.
bool UrlHoldsPath(const char* url, const char* path) {
  if (url == nullptr || path == nullptr) {
    return false;
  }
  const std::string_view text(url);
  const std::string_view prefix(LarchmerePluginHelper::kPathPrefix);
  for (std::size_t at = text.find(prefix); at != std::string_view::npos;
       at = text.find(prefix, at + 1)) {
    if (text.substr(at + prefix.size()).starts_with(path)) {
      return true;
    }
  }
  return false;
}

}  // namespace

IURIStrategy::IURIStrategy(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
                           common::LMListenerHolder* listenerHolder)
    : engine(std::move(engine)), listenerHolder(listenerHolder) {}

IURIStrategy::~IURIStrategy() = default;

bool IURIStrategy::MatchesRequest(const char* method, const char* url, const char* requestHeaders,
                                  const char* path, const char* methodName) {
  // Every request is tried against the handlers one after the other, so the
  // usual case is decided without allocating: the method, then the URL
  // holding the prefix directly followed by the path. Only a request that
  // names its URL in a "Request URL: " header takes the full test.
  if (!LarchmerePluginHelper::IsValidRequestMethd(method, requestHeaders, methodName)) {
    return false;
  }
  if (UrlHoldsPath(url, path)) {
    return true;
  }
  return LarchmerePluginHelper::isPresent(requestHeaders, kRequestUrlHeader) &&
         LarchmerePluginHelper::IsValidRequestURL(url, requestHeaders, path);
}

void WriteCorsHeaders(const common::LMListenerHolder* holder, const char* requestHeaders,
                      Answer& answer) {
  const std::optional<std::string> domainSuffix =
      holder != nullptr ? holder->GetDomainSufix() : std::nullopt;
  LarchmerePluginHelper::BuildHeader(requestHeaders, domainSuffix, answer.headers);
}

common::FrameSessionState& IURIStrategy::SessionState() {
  if (listenerHolder != nullptr) {
    return listenerHolder->State();
  }
  static common::FrameSessionState standalone;
  return standalone;
}

}  // namespace corvane::larchmere::plugin::uri
