#pragma once

#include <memory>
#include <string>

#include "plugin/uri/PostMatchFrames.h"

namespace corvane::larchmere::plugin::uri {

// POST "/frame/trymatch": The polled try-match endpoint.
class TryMatchFrames : public PostMatchFrames {
 public:
  using PostMatchFrames::PostMatchFrames;

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;
};

}  // namespace corvane::larchmere::plugin::uri
