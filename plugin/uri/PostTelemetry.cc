#include "plugin/uri/PostTelemetry.h"

#include <json/json.h>

#include <climits>
#include <cstdlib>
#include <exception>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"
#include "plugin/uri/HandlerSteps.h"

namespace corvane::larchmere::plugin::uri {

namespace {

using common::LarchmerePluginHelper;
using common::ParseStrictJson;

// The decimal number at the start of the text ("42", "42abc"), 0 when there
// is none; a number beyond the int range is held at its bound.
int LeadingInteger(const std::string& text) {
  const long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

struct TelemetryEvent {
  std::string source;
  int eventId = 0;
  int severity = 0;
  std::string data;
  std::string category;
};

// Throws for a member that has no text form (an array or object).
TelemetryEvent ReadEvent(const Json::Value& event) {
  TelemetryEvent read;
  const Json::Value& data = event["event_data"];
  read.data = data.isObject() ? Json::FastWriter().write(data) : "{}";
  read.eventId = LeadingInteger(event.get("eventid", "0").asString());
  read.severity = LeadingInteger(event.get("EventSeverity", "0").asString());
  read.source = event.get("EventSource", "").asString();
  read.category = event.get("Category", "").asString();
  return read;
}

}  // namespace

bool PostTelemetry::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                            const char*) {
  return MatchesRequest(method, url, requestHeaders, "/tm", "POST");
}

int PostTelemetry::GetOperationType() const { return kOperationRemote; }

const char* PostTelemetry::GetClassName() const { return "PostTelemetry"; }

bool PostTelemetry::SyncProcessRequest(const char*, int contentLength, const char* content,
                                       Answer& answer) {
  WriteLog("PostTelemetry - ProcessRequest", kLogInfo);
  answer.status = 200;
  try {
    // Bounded by the given length as well as the first zero byte.
    const std::string body = LarchmerePluginHelper::ReadBody(contentLength, content);
    Json::Value root;
    if (!ParseStrictJson(body, root)) {
      HandlerSteps::Fail(answer, common::kErrorSourcePlugin, common::kInvalidJson,
                         common::kInvalidJsonDescription, 400);
      return true;
    }
    const Json::Value& document = root;
    const Json::Value* event = nullptr;
    if (document.isObject() && document["event_list"].isArray() &&
        document["event_list"][0].isObject()) {
      event = &document["event_list"][0];  // later events are ignored
    }
    if (event == nullptr) {
      HandlerSteps::Fail(answer, common::kErrorSourcePlugin, common::kInvalidParam,
                         common::kInvalidParamDescription, 400);
      return true;
    }
    const TelemetryEvent read = ReadEvent(*event);
    // The engine reports metrics without any plug-in lock: it accepts this
    // call alongside the others.
    const int result = engine ? engine->ReportMetric(read.source, read.eventId, read.severity,
                                                     read.data, read.category)
                              : -1;
    if (result != 0) {
      HandlerSteps::FailEngine(answer, result, "ReportMetric");
    }
  } catch (const std::exception& exception) {
    HandlerSteps::Fail(answer, common::kErrorSourcePlugin, 3, exception.what());
  }
  return true;
}

}  // namespace corvane::larchmere::plugin::uri
