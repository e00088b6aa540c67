#include "plugin/uri/PostSignPacket.h"

#include <json/json.h>

#include <exception>
#include <vector>

#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::uri {

namespace {

using common::LarchmerePluginHelper;
using common::ParseLenientJson;

constexpr char kEnrollMarker[] = "SIGNPACK_ENROLL_REQUEST";
constexpr char kNoOtpMarker[] = "SIGNPACK_NOOTP_REQUEST";
constexpr char kSecurityTokenPrefix[] = "SecurityToken-";
// The factor number of the face in "enrolledFactors".
constexpr int kFaceFactor = 8;

bool HasMarker(const std::string& request) {
  return request.find(kEnrollMarker) != std::string::npos ||
         request.find(kNoOtpMarker) != std::string::npos;
}

std::string ErrorDocument(int code, const std::string& description) {
  return LarchmerePluginHelper::CreateJsonErrorResponse(common::kErrorSourcePlugin, code,
                                                        description);
}

std::string InvalidJsonDocument() {
  return ErrorDocument(common::kInvalidJson, common::kInvalidJsonDescription);
}

// Replaces the face data of the parsed request with the stored frames and
// records the face as an enrolled factor. Throws on members of the wrong type.
void AddStoredFrames(const Json::Value& stored, Json::Value& userData) {
  Json::Value& faceData = userData["faceData"];
  for (const Json::Value& frame : stored["data"]["frames"]) {
    Json::Value face(Json::objectValue);
    face["imageData"] = frame["image"].asString();
    face["attestedData"] = frame["attestedData"].asString();
    faceData.append(face);
  }
  userData["enrolledFactors"].append(kFaceFactor);
}

// "Access-Control-Expose-Headers: " with the names, then one line per value;
// no space after the colon of a value line.
void AppendSecurityTokenHeaders(const Json::Value& headerPayload, std::string& responseHeaders) {
  const std::vector<std::string> names = headerPayload.getMemberNames();
  std::string exposeLine = "Access-Control-Expose-Headers: ";
  std::string valueLines;
  for (std::size_t index = 0; index < names.size(); ++index) {
    if (index > 0) {
      exposeLine.append(", ");
    }
    exposeLine.append(kSecurityTokenPrefix).append(names[index]);
    valueLines.append(kSecurityTokenPrefix)
        .append(names[index])
        .append(":")
        .append(headerPayload[names[index]].asString())
        .append("\r\n");
  }
  responseHeaders.append(exposeLine).append("\r\n").append(valueLines);
}

}  // namespace

bool PostSignPacket::IsMatch(const char* method, const char* url, const char* requestHeaders, int,
                             const char*) {
  return MatchesRequest(method, url, requestHeaders, "/signpacket", "POST");
}

int PostSignPacket::GetOperationType() const { return kOperationRemote; }

const char* PostSignPacket::GetClassName() const { return "PostSignPacket"; }

bool PostSignPacket::SyncProcessRequest(const char* requestHeaders, int contentLength,
                                        const char* content, Answer& answer) {
  WriteLog("PostSignPacket - ProcessRequest", kLogInfo);
  std::string request = LarchmerePluginHelper::ReadBody(contentLength, content);
  LogInfo("PostSignPacket - ProcessRequest - ContentIn", request);

  UpdateFaceData(requestHeaders, request, answer.body);
  if (answer.body.empty()) {
    try {
      std::string engineAnswer;
      int result = -1;
      {
        common::CaptureLock captureLock(SessionState());
        result = engine ? engine->SignPacket(request, engineAnswer) : -1;
      }
      Json::Value signedPacket;
      if (result != 0) {
        answer.body.append(LarchmerePluginHelper::CreateJsonErrorResponse(
            common::kErrorSourceEngineService, result,
            std::string("SignPacket") + common::kQAVServiceErrorSuffix));
      } else if (!ParseLenientJson(engineAnswer, signedPacket)) {
        answer.body.append(InvalidJsonDocument());
      } else {
        {
          common::CaptureLock captureLock(SessionState());
          AppendSecurityTokenHeaders(signedPacket["HeaderPayload"], answer.headers);
        }
        answer.body.append(Json::FastWriter().write(signedPacket["BodyPayload"]));
        answer.status = 200;
      }
    } catch (const std::exception& exception) {
      answer.body.append(ErrorDocument(3, exception.what()));
    }
  }
  if (answer.status != 200) {
    answer.status = 500;
  }
  return true;
}

void PostSignPacket::UpdateFaceData(const char* requestHeaders, std::string& request,
                                    std::string& responseBody) {
  const std::string correlationId = LarchmerePluginHelper::GetQCorrelationId(requestHeaders);
  LogInfo("PostSignPacket - UpdateFaceData - Q-Correlation-Id", correlationId);
  if (correlationId.empty()) {
    return;
  }
  if (!LarchmerePluginHelper::IsValidQCorrelationId(correlationId)) {
    responseBody.append(
        ErrorDocument(common::kInvalidQCorrelationId, common::kInvalidQCorrelationIdDescription));
    return;
  }
  // One consistent copy: an enrollment storing new frames meanwhile is seen
  // either not at all or in full.
  const std::string stored =
      listenerHolder != nullptr ? listenerHolder->State().StoredProcessedFrames() : std::string();
  if (stored.empty() || !HasMarker(request)) {
    return;
  }
  try {
    Json::Value parsedRequest;
    if (request.front() != '{' || !ParseLenientJson(request, parsedRequest)) {
      responseBody.append(InvalidJsonDocument());
      return;
    }
    Json::Value& userData = parsedRequest["data"]["userData"];
    userData["faceData"].clear();
    Json::Value storedFrames;
    if (!ParseLenientJson(stored, storedFrames)) {
      responseBody.append(InvalidJsonDocument());
      return;
    }
    AddStoredFrames(storedFrames, userData);
    request = Json::FastWriter().write(parsedRequest);
  } catch (const std::exception& exception) {
    responseBody.append(ErrorDocument(3, exception.what()));
  }
}

}  // namespace corvane::larchmere::plugin::uri
