// The five exported entry points. Each one catches everything: no exception
// crosses into the host.
#include "plugin/entry/KeysteadPlugin.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "os/named_event.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/entry/PluginState.h"
#include "plugin/platform/Log.h"
#include "plugin/platform/Mutex.h"

namespace corvane::larchmere::plugin {
namespace {

using common::LarchmerePluginHelper;

constexpr char kStopFingerprintEvent[] = "STOP_FP_EVENT";
// The status a request starts with when the host gives no status pointer.
constexpr unsigned short kDefaultStartingStatus = 200;

// Guards the copy of finished responses into the host's outputs.
Mutex responseMutex;
// Serialises AbortRequest calls: opening and closing the event concurrently
// goes through the C library's bookkeeping of named semaphores, whose
// internal lock the thread sanitizer cannot see.
Mutex abortMutex;

// A NUL-terminated copy from the run-time heap; null when it cannot be made
// (or its length does not fit the host's int).
char* CopyToHeap(const std::string& text) {
  if (text.size() >= static_cast<std::size_t>(INT_MAX)) {
    return nullptr;
  }
  char* buffer = static_cast<char*>(std::malloc(text.size() + 1));
  if (buffer != nullptr) {
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
  }
  return buffer;
}

void HandOut(const std::string& text, int* length, char** buffer) {
  if (buffer == nullptr) {
    if (length != nullptr) {
      *length = 0;
    }
    return;
  }
  *buffer = CopyToHeap(text);
  if (length != nullptr) {
    *length = *buffer != nullptr ? static_cast<int>(text.size()) : 0;
  }
}

// The answer when answering itself failed (out of memory): the generic error,
// or empty texts when even that cannot be built.
void AnswerGenericError(const char* requestHeaders, unsigned short& status,
                        std::string& responseHeaders, std::string& responseBody) {
  status = 500;
  try {
    LarchmerePluginHelper::BuildHeader(requestHeaders, std::nullopt, responseHeaders);
    responseBody = LarchmerePluginHelper::CreateJsonErrorResponse(
        common::kErrorSourcePlugin, common::kPluginGenericError,
        common::kPluginGenericErrorDescription);
  } catch (...) {
    responseHeaders.clear();
    responseBody.clear();
  }
}

}  // namespace
}  // namespace corvane::larchmere::plugin

namespace plugin = corvane::larchmere::plugin;

extern "C" {

KS_PLUGIN_API bool Initialize(void* hostContext, const HostCallbacks* callbacks) {
  try {
    return plugin::PluginState::Instance().Initialize(hostContext, callbacks);
  } catch (...) {
    plugin::WriteLog("Larchmere Plugin - Initialize failed", plugin::kLogError);
    return false;
  }
}

KS_PLUGIN_API bool ProcessRequest(const char* method, const char* url, const char* requestHeaders,
                                  int contentLength, const char* content,
                                  unsigned short* statusCode, int* responseHeadersLength,
                                  char** responseHeaders, int* responseContentLength,
                                  char** responseContent) {
  try {
    plugin::WriteLog("Larchmere Plugin - ProcessRequest start", plugin::kLogInfo);
    unsigned short status = statusCode != nullptr ? *statusCode : plugin::kDefaultStartingStatus;
    std::string headersOut;
    std::string bodyOut;
    try {
      plugin::PluginState::Instance().ProcessRequest(method, url, requestHeaders, contentLength,
                                                     content, status, headersOut, bodyOut);
    } catch (...) {
      plugin::AnswerGenericError(requestHeaders, status, headersOut, bodyOut);
    }
    {
      plugin::MutexLock lock(plugin::responseMutex);
      plugin::HandOut(headersOut, responseHeadersLength, responseHeaders);
      plugin::HandOut(bodyOut, responseContentLength, responseContent);
      if (statusCode != nullptr) {
        *statusCode = status;
      }
    }
    plugin::WriteLog("Larchmere Plugin - ProcessRequest ended", plugin::kLogInfo);
  } catch (...) {
    // Only the lock can fail here; the outputs keep what was written.
  }
  return true;
}

KS_PLUGIN_API bool FreeMem(const void* memory) {
  plugin::WriteLog("Larchmere Plugin - FreeMem", plugin::kLogInfo);
  // The buffers were handed out as char* by ProcessRequest; the host gives
  // them back as const.
  std::free(const_cast<void*>(memory));
  return true;
}

KS_PLUGIN_API int AbortRequest(void) {
  try {
    plugin::MutexLock lock(plugin::abortMutex);
    std::optional<keystead::os::NamedEvent> event =
        keystead::os::NamedEvent::CreateOrOpen(plugin::kStopFingerprintEvent);
    if (!event) {
      plugin::WriteLog("Larchmere Plugin - AbortRequest - ERROR creating event", plugin::kLogError);
      return 0;
    }
    plugin::WriteLog("Larchmere Plugin - AbortRequest", plugin::kLogDebug);
    event->Signal();
    return event->Close() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

KS_PLUGIN_API void Finalize(void) {
  try {
    plugin::PluginState::Instance().Finalize();
  } catch (...) {
    plugin::WriteLog("Larchmere Plugin - Finalize failed", plugin::kLogError);
  }
}

}  // extern "C"
