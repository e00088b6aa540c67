#pragma once

#include <memory>
#include <span>
#include <typeinfo>

#include "plugin/common/LMListenerHolder.h"
#include "plugin/entry/KeysteadPlugin.h"
#include "plugin/platform/KSInstHelper.h"
#include "plugin/sdk/FaceLogin.h"
#include "plugin/uri/IURIStrategy.h"

namespace corvane::larchmere::plugin::uri {

// What the router hands a handler it creates; the handler takes what it uses.
// The pointers are not owned and outlive the handlers.
struct HandlerServices {
  std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine;
  common::LMListenerHolder* listenerHolder = nullptr;
  void* hostContext = nullptr;
  HostCallbacks callbacks{};
  Corvane::Keystead::Vessa::KSInstHelper* installHelper = nullptr;
};

// One served method and path with everything known of it besides the
// handler's work. The table of routes is the one place where a path is
// written: the router's registration order, every handler's matching,
// operation kind and class name, and the list announced to the host read it.
struct Route {
  const char* method;
  const char* path;  // behind LarchmerePluginHelper::kPathPrefix
  bool announced;    // listed to the host
  OperationKind kind;
  bool mayAnswerEmptyBody;  // a successful answer may have no body at all
  const char* className;
  const std::type_info* handler;
  std::unique_ptr<IURIStrategy> (*create)(const HandlerServices& services);
};

// Every route, in the order the router tries them. Immutable; any thread.
std::span<const Route> Routes();

// The route served by the handler class `handler`; throws std::logic_error
// for a class without one.
const Route& RouteOf(const std::type_info& handler);

// A handler class `Self` derived from `Base` (ISyncRequestMethod,
// IAsyncRequestMethod or another handler) whose path, method, operation kind
// and class name are its row of the route table.
template <class Self, class Base>
class RoutedHandler : public Base {
 public:
  using Base::Base;

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int,
               const char*) override {
    return MatchesRoute(Row(), method, url, requestHeaders);
  }
  int GetOperationType() const override { return Row().kind; }
  const char* GetClassName() const override { return Row().className; }

 protected:
  // Looked up once per class, on first use.
  static const Route& Row() {
    static const Route& row = RouteOf(typeid(Self));
    return row;
  }

  static bool MatchesRoute(const Route& route, const char* method, const char* url,
                           const char* requestHeaders) {
    return IURIStrategy::MatchesRequest(method, url, requestHeaders, route.path, route.method);
  }
};

}  // namespace corvane::larchmere::plugin::uri
