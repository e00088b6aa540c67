#include "plugin/uri/IURIStrategy.h"

#include <utility>

#include "plugin/common/LarchmerePluginHelper.h"

namespace corvane::larchmere::plugin::uri {

using common::LarchmerePluginHelper;

IURIStrategy::IURIStrategy(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
                           common::LMListenerHolder* listenerHolder)
    : engine(std::move(engine)), listenerHolder(listenerHolder) {}

IURIStrategy::~IURIStrategy() = default;

bool IURIStrategy::MatchesRequest(const char* method, const char* url, const char* requestHeaders,
                                  const char* path, const char* methodName) {
  // The method test is the cheaper one and rules out most handlers.
  return LarchmerePluginHelper::IsValidRequestMethd(method, requestHeaders, methodName) &&
         LarchmerePluginHelper::IsValidRequestURL(url, requestHeaders, path);
}

std::mutex& IURIStrategy::OperationMutex() {
  if (listenerHolder != nullptr) {
    return listenerHolder->State().CaptureMutex();
  }
  // Only a handler built without a holder (never by the router) gets here.
  static std::mutex standalone;
  return standalone;
}

}  // namespace corvane::larchmere::plugin::uri
