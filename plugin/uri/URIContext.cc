#include "plugin/uri/URIContext.h"

#include <exception>
#include <string_view>
#include <utility>

#include "plugin/common/CaptureLock.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/PreInstallPartnerCheck.h"
#include "plugin/uri/RouteTable.h"

namespace corvane::larchmere::plugin::uri {

namespace {

using common::LarchmerePluginHelper;

constexpr wchar_t kOemInfoKey[] = L"Software\\Corvane\\OemInfo";
constexpr wchar_t kFirstNameValue[] = L"FirstName";
constexpr wchar_t kLastNameValue[] = L"LastName";

constexpr char kDomainSuffixSetting[] = "KS_CSP_DOMAIN_SUFIX";
constexpr char kStatusRegistration[] = "KS_STATUS";
// Below this service status no user is enrolled and nothing is announced.
constexpr int kFirstAnnouncedStatus = 3;
// The argument of the engine's single cloud retry.
constexpr int kRetryRemoteMode = 1;

constexpr char kLocalNotReady[] = "QAVSDK - Initialize failure: Local Operations aren't Ready!";
constexpr char kRemoteNotReady[] =
    "QAVSDK - Initialize failure: Remote Operations aren't Ready, please check Host file and "
    "Internet connectivity!";
constexpr int kLocalNotReadyCode = 5;
constexpr int kRemoteNotReadyCode = 6;

std::string TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }

// Decided by the URL, as the answer's path, not by the handler that ran.
bool MayAnswerEmptyBody(const char* url, const char* requestHeaders) {
  for (const Route& route : Routes()) {
    if (route.mayAnswerEmptyBody &&
        LarchmerePluginHelper::IsValidRequestURL(url, requestHeaders, route.path)) {
      return true;
    }
  }
  return false;
}

}  // namespace

URIContext::URIContext(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
                       common::LMListenerHolder* listenerHolder, void* hostContext,
                       const HostCallbacks& callbacks)
    : engine(std::move(engine)),
      listenerHolder(listenerHolder),
      hostContext(hostContext),
      callbacks(callbacks) {
  Initialize(kOperationStateless);
  WriteLog("URIContext Initialized", kLogInfo);
}

URIContext::~URIContext() {
  {
    MutexLock guard(lock);
    handlers.clear();
    installHelper.reset();
    handlersRegistered = false;
    localReady = false;
    remoteReady = false;
    domainSuffixRegistered = false;
    statusRegistered = false;
  }
  WriteLog("URIContext Destroyed", kLogInfo);
  engine.reset();
}

void URIContext::Initialize(int operationKind) {
  WriteLog("URIContext::Initialize called for operation type: " + std::to_string(operationKind),
           kLogInfo);
  MutexLock guard(lock);
  if (operationKind == kOperationStateless) {
    if (handlersRegistered || !engine || listenerHolder == nullptr) {
      return;
    }
    WriteLog("URIContext::Initialize - Registering URI strategies", kLogInfo);
    installHelper = std::make_unique<Corvane::Keystead::Vessa::KSInstHelper>(
        kOemInfoKey, kFirstNameValue, kLastNameValue);
    RegisterHandlers();
    handlersRegistered = true;
    WriteLog("URIContext - Initialize - Client Context Strategies Registered w/Success", kLogInfo);
    return;
  }
  if ((operationKind == kOperationLocal || operationKind == kOperationRemote) &&
      handlersRegistered && (!localReady || !remoteReady)) {
    try {
      RefreshReadiness(operationKind);
    } catch (const std::exception& exception) {
      localReady = false;
      remoteReady = false;
      LogException("URIContext - Initialize - Exception occurred while executing SDK Initialize",
                   exception);
    }
  }
}

void URIContext::RegisterHandlers() {
  HandlerServices services;
  services.engine = engine;
  services.listenerHolder = listenerHolder;
  services.hostContext = hostContext;
  services.callbacks = callbacks;
  services.installHelper = installHelper.get();
  for (const Route& route : Routes()) {
    handlers.push_back(route.create(services));
  }
}

void URIContext::RefreshReadiness(int operationKind) {
  WriteLog(
      "URIContext::Initialize - Service is properly initialized. Checking if service is ready for "
      "Local and Remote operations.",
      kLogInfo);
  Corvane::QAV::SDK::ServiceReadiness readiness;
  if (engine->IsAlive(readiness) != 0) {
    WriteLog("URIContext::Initialize - Unable to verify IsAlive from SDK", kLogError);
    return;
  }
  if (operationKind == kOperationLocal) {
    WriteLog(
        "URIContext::Initialize - Local Operation was called - Checking KS Service readiness for "
        "local operations",
        kLogInfo);
    localReady = readiness.localReady;
    if (localReady) {
      WriteLog("URIContext::Initialize - KS Service is ready for local operations!", kLogInfo);
      RegisterDomainSufixIfNeeded();
    } else {
      WriteLog("URIContext::Initialize - KS Service is not ready for local operations", kLogInfo);
    }
    return;
  }
  if (!remoteReady) {
    WriteLog("URIContext::Initialize - KS Service is not ready for remote operations", kLogInfo);
    remoteReady = readiness.remoteReady;
    if (!remoteReady) {
      WriteLog("URIContext::Initialize - Remote Operations Retry (From Process Request) ...",
               kLogInfo);
      if (engine->RetryRemoteOperations(kRetryRemoteMode) != 0) {
        WriteLog("URIContext - Initialize - Remote Operations Retry Failed!", kLogError);
      } else {
        WriteLog(
            "URIContext - Initialize - Remote Operations Retry completed. Checking remote "
            "operation status...",
            kLogInfo);
        if (engine->IsAlive(readiness) != 0) {
          WriteLog("URIContext - Initialize - IsAlive failed afer Retry operations!", kLogError);
        } else {
          remoteReady = readiness.remoteReady;
        }
      }
    }
  }
  if (remoteReady) {
    WriteLog("URIContext::Initialize - Ready for Remote Operations!", kLogInfo);
    RegisterKSStatus();
  } else {
    WriteLog("URIContext::Initialize - Not yet Ready for Remote Operations!", kLogInfo);
  }
}

bool URIContext::ProcessRequest(const char* method, const char* url, const char* requestHeaders,
                                int contentLength, const char* content, unsigned short& status,
                                std::string& responseHeaders, std::string& responseBody) {
  BoundAnswer answer(status, responseHeaders, responseBody);
  return Dispatch(method, url, requestHeaders, contentLength, content, answer.get());
}

bool URIContext::Dispatch(const char* method, const char* url, const char* requestHeaders,
                          int contentLength, const char* content, Answer& answer) {
  WriteLog("URIContext::ProcessRequest called", kLogInfo);
  try {
    if (IsOptionsProcessRequest(method, requestHeaders, answer)) {
      return true;
    }
    WriteLog("URIContext - ProcessRequest " + TextOrEmpty(url), kLogInfo);
    IURIStrategy* handler = FindHandler(method, url, requestHeaders, contentLength, content);
    if (handler != nullptr) {
      if (!CheckKSServicesStatusIfNeeded(*handler, requestHeaders, answer)) {
        WriteLog("URIContext::ProcessRequest ended at CheckKSServicesStatusIfNeeded()", kLogInfo);
        return false;
      }
      const bool result = handler->ProcessRequest(requestHeaders, contentLength, content, answer);
      if (answer.body.empty() && !MayAnswerEmptyBody(url, requestHeaders)) {
        answer.body = "{}";
      }
      WriteLog("URIContext::ProcessRequest ended at URI strategy execution", kLogInfo);
      if (answer.status != 200 && !answer.body.empty()) {
        const std::string_view className = handler->GetClassName();
        // The suite-account handler's failures are routine (no suite installed).
        if (className.find("GetVSUAccount") == std::string_view::npos) {
          WriteLog("Error in " + std::string(className) + " - Msg:" + answer.body, kLogError);
        }
      }
      return result;
    }
    if (answer.status != 200) {
      answer.status = 400;
    }
  } catch (...) {
    answer.status = 500;
  }
  if (answer.status != 200) {
    WriteCorsHeaders(listenerHolder, requestHeaders, answer);
    if (answer.body.empty()) {
      answer.body = LarchmerePluginHelper::CreateJsonErrorResponse(
          common::kErrorSourcePlugin, common::kPluginGenericError,
          common::kPluginGenericErrorDescription);
    }
  }
  WriteLog("URIContext::ProcessRequest ended", kLogInfo);
  return false;
}

IURIStrategy* URIContext::FindHandler(const char* method, const char* url,
                                      const char* requestHeaders, int contentLength,
                                      const char* content) const {
  if (!LarchmerePluginHelper::IsValidHeader(requestHeaders)) {
    return nullptr;
  }
  for (const std::unique_ptr<IURIStrategy>& handler : handlers) {
    if (handler->IsMatch(method, url, requestHeaders, contentLength, content)) {
      return handler.get();
    }
  }
  return nullptr;
}

std::vector<std::string> URIContext::HandlerClassNames() const {
  std::vector<std::string> names;
  names.reserve(handlers.size());
  for (const std::unique_ptr<IURIStrategy>& handler : handlers) {
    names.emplace_back(handler->GetClassName());
  }
  return names;
}

bool URIContext::IsOptionsProcessRequest(const char* method, const char* requestHeaders,
                                         Answer& answer) {
  if (!LarchmerePluginHelper::isEquals(method, "OPTIONS")) {
    return false;
  }
  WriteLog("URIContext - OPTIONS", kLogInfo);
  WriteCorsHeaders(listenerHolder, requestHeaders, answer);
  answer.body.append("{}");
  answer.status = 200;
  LogInfo("URIContext - OPTIONS - ContentOut", answer.body);
  WriteLog("URIContext::ProcessRequest ended at IsOptionsProcessRequest()", kLogInfo);
  return true;
}

bool URIContext::CheckKSServicesStatusIfNeeded(IURIStrategy& handler, const char* requestHeaders,
                                               Answer& answer) {
  if (PreInstallPartnerCheck::ProcessWide().IsFirstCallForPartner()) {
    RegisterKSStatus();
  }
  const int operationKind = handler.GetOperationType();
  switch (operationKind) {
    case kOperationStateless:
      WriteLog(
          "URIContext::CheckKSServicesStatusIfNeeded - Stateless operation - nothing to do here",
          kLogInfo);
      return true;
    case kOperationLocal:
    case kOperationRemote:
      return CheckReadiness(operationKind, requestHeaders, answer);
    default:
      WriteLog("URIContext::CheckKSServicesStatusIfNeeded - Operation is not supported", kLogInfo);
      return true;
  }
}

bool URIContext::CheckReadiness(int operationKind, const char* requestHeaders, Answer& answer) {
  constexpr char kPrefix[] = "URIContext::CheckKSServicesStatusIfNeeded";
  const bool local = operationKind == kOperationLocal;
  const std::atomic<bool>& ready = local ? localReady : remoteReady;
  const char* readyText = local ? "Ready for Local Operations!" : "Ready for Remote Operations!";
  WriteLog(local ? "URIContext::CheckKSServicesStatusIfNeeded - Local operation - checking the "
                   "KS service status"
                 : "URIContext::CheckKSServicesStatusIfNeeded - Remote operation - checking the "
                   "KS service status",
           kLogInfo);
  if (!ready) {
    WriteLog(local ? "URIContext::CheckKSServicesStatusIfNeeded - Service is not ready for local "
                     "operations - initializing it"
                   : "URIContext::CheckKSServicesStatusIfNeeded - Service is not ready for "
                     "remote operations - initializing it",
             kLogInfo);
    Initialize(operationKind);
  }
  if (!ready) {
    const char* description = local ? kLocalNotReady : kRemoteNotReady;
    LogError(kPrefix, description);
    WriteCorsHeaders(listenerHolder, requestHeaders, answer);
    answer.body.append(LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourceEngineService, local ? kLocalNotReadyCode : kRemoteNotReadyCode,
        description));
    answer.status = 500;
    return false;
  }
  LogInfo(kPrefix, readyText);
  return true;
}

void URIContext::RegisterDomainSufixIfNeeded() {
  if (domainSuffixRegistered) {
    return;
  }
  MutexLock registration(registrationLock_);
  if (domainSuffixRegistered) {
    return;
  }
  WriteLog("URIContext - RegisterDomainSufixIfNeeded", kLogInfo);
  try {
    Corvane::QAV::SDK::LocalSetting setting;
    if (!engine || engine->GetEngineSetting(setting, kDomainSuffixSetting) != 0) {
      LogInfo(
          "URIContext - RegisterDomainSufixIfNeeded - Unable to get Local settings (This is fine "
          "if no .beta environment)",
          kDomainSuffixSetting);
      return;
    }
    if (!listenerHolder->GetDomainSufix()) {
      LogInfo("URIContext - RegisterDomainSufixIfNeeded", setting.value);
      listenerHolder->SetDomainSufix(setting.value);
    }
    const std::optional<std::string> suffix = listenerHolder->GetDomainSufix();
    if (suffix && !suffix->empty()) {
      Announce(std::string(kDomainSuffixSetting) + "/" + *suffix);
      domainSuffixRegistered = true;
    }
  } catch (const std::exception& exception) {
    LogException("URIContext - RegisterDomainSufixIfNeeded - Error while registering domain sufix",
                 exception);
  }
}

void URIContext::RegisterKSStatus() {
  if (statusRegistered) {
    return;
  }
  MutexLock registration(registrationLock_);
  if (statusRegistered || !engine || listenerHolder == nullptr) {
    return;
  }
  WriteLog("URIContext - RegisterKSStatus", kLogInfo);
  try {
    Corvane::QAV::SDK::EngineStatus engineStatus;
    int result = 0;
    {
      common::CaptureLock captureLock(listenerHolder->State());
      result = engine->GetServiceStatus(engineStatus);
    }
    if (result != 0) {
      WriteLog("URIContext - RegisterKSStatus - Unable to get service Status", kLogInfo);
      return;
    }
    if (engineStatus.status < kFirstAnnouncedStatus) {
      WriteLog(
          "URIContext - RegisterKSStatus - Unable to register KS_STATUS as no users are Enrolled",
          kLogInfo);
      return;
    }
    const std::string text =
        std::string(kStatusRegistration) + "/" + std::to_string(engineStatus.status);
    Announce(text);
    statusRegistered = true;
    LogInfo("URIContext - RegisterKSStatus", text);
  } catch (const std::exception& exception) {
    LogException("URIContext - RegisterKSStatus - Error while registering KS_STATUS", exception);
  }
}

void URIContext::Announce(const std::string& text) {
  if (callbacks.registerPath != nullptr) {
    callbacks.registerPath(hostContext, text.c_str());
  }
}

}  // namespace corvane::larchmere::plugin::uri
