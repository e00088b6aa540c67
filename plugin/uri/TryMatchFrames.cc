#include "plugin/uri/TryMatchFrames.h"

namespace corvane::larchmere::plugin::uri {

bool TryMatchFrames::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                             const char*) {
  return MatchesRequest(method, url, requestHeaders, "/frame/trymatch", "POST");
}

int TryMatchFrames::GetOperationType() const { return kOperationRemote; }

const char* TryMatchFrames::GetClassName() const { return "TryMatchFrames"; }

}  // namespace corvane::larchmere::plugin::uri
