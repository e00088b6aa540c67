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

namespace {

using corvane::larchmere::plugin::kLogDebug;
using corvane::larchmere::plugin::kLogError;
using corvane::larchmere::plugin::kLogInfo;
using corvane::larchmere::plugin::Mutex;
using corvane::larchmere::plugin::MutexLock;
using corvane::larchmere::plugin::PluginState;
using corvane::larchmere::plugin::WriteLog;
using corvane::larchmere::plugin::common::LarchmerePluginHelper;

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
        corvane::larchmere::plugin::common::kErrorSourcePlugin,
        corvane::larchmere::plugin::common::kPluginGenericError,
        corvane::larchmere::plugin::common::kPluginGenericErrorDescription);
  } catch (...) {
    responseHeaders.clear();
    responseBody.clear();
  }
}

}  // namespace

extern "C" {

KS_PLUGIN_API bool Initialize(void* hostContext, const HostCallbacks* callbacks) {
  try {
    return PluginState::Instance().Initialize(hostContext, callbacks);
  } catch (...) {
    WriteLog("Larchmere Plugin - Initialize failed", kLogError);
    return false;
  }
}

KS_PLUGIN_API bool ProcessRequest(const char* method, const char* url, const char* requestHeaders,
                                  int contentLength, const char* content,
                                  unsigned short* statusCode, int* responseHeadersLength,
                                  char** responseHeaders, int* responseContentLength,
                                  char** responseContent) {
  try {
    WriteLog("Larchmere Plugin - ProcessRequest start", kLogInfo);
    unsigned short status = statusCode != nullptr ? *statusCode : kDefaultStartingStatus;
    std::string headersOut;
    std::string bodyOut;
    try {
      PluginState::Instance().ProcessRequest(method, url, requestHeaders, contentLength, content,
                                             status, headersOut, bodyOut);
    } catch (...) {
      AnswerGenericError(requestHeaders, status, headersOut, bodyOut);
    }
    {
      MutexLock lock(responseMutex);
      HandOut(headersOut, responseHeadersLength, responseHeaders);
      HandOut(bodyOut, responseContentLength, responseContent);
      if (statusCode != nullptr) {
        *statusCode = status;
      }
    }
    WriteLog("Larchmere Plugin - ProcessRequest ended", kLogInfo);
  } catch (...) {
    // Only the lock can fail here; the outputs keep what was written.
  }
  return true;
}

KS_PLUGIN_API bool FreeMem(const void* memory) {
  WriteLog("Larchmere Plugin - FreeMem", kLogInfo);
  // The buffers were handed out as char* by ProcessRequest; the host gives
  // them back as const.
  std::free(const_cast<void*>(memory));
  return true;
}

KS_PLUGIN_API int AbortRequest(void) {
  try {
    MutexLock lock(abortMutex);
    std::optional<keystead::os::NamedEvent> event =
        keystead::os::NamedEvent::CreateOrOpen(kStopFingerprintEvent);
    if (!event) {
      WriteLog("Larchmere Plugin - AbortRequest - ERROR creating event", kLogError);
      return 0;
    }
    WriteLog("Larchmere Plugin - AbortRequest", kLogDebug);
    event->Signal();
    return event->Close() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

KS_PLUGIN_API void Finalize(void) {
  try {
    PluginState::Instance().Finalize();
  } catch (...) {
    WriteLog("Larchmere Plugin - Finalize failed", kLogError);
  }
}

}  // extern "C"
