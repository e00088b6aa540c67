#include <json/json.h>

#include <utility>

#include "os/base64.h"
#include "plugin/common/LarchmerePluginHelper.h"

namespace corvane::larchmere::plugin::common {

namespace {

using Corvane::QAV::SDK::SDK_EnrollmentFeedback;
using Corvane::QAV::SDK::SDK_ERROR;
using Corvane::QAV::SDK::SDK_Frame;
using Corvane::QAV::SDK::SDK_Livenesstype;
using Corvane::QAV::SDK::SDK_ProcessedFramesContainer;
using Corvane::QAV::SDK::SDK_RemoteMatchFeedback;

std::string Write(const Json::Value& document) {
  Json::FastWriter writer;
  return writer.write(document);
}

std::size_t Base64Size(std::size_t byteCount) { return keystead::os::Base64EncodedSize(byteCount); }

// Writes the base64 of bytes to out, which holds Base64Size(bytes.size())
// characters plus one more that receives a NUL.
void EncodeBase64Into(std::string_view bytes, char* out) {
  keystead::os::Base64EncodeInto(bytes, out);
}

// Member that stands for the frame image while a frame document is built.
constexpr std::string_view kImagePlaceholder = "\"image\":\"\"";

// Serialises a document holding the image placeholder once, with the base64
// of image in its place. JsonCpp escapes a string one character at a time,
// which costs tens of milliseconds for a camera image; base64 text needs no
// escaping, so it is encoded straight into the document's buffer instead.
std::string WriteWithImage(const Json::Value& document, std::string_view image) {
  const std::string text = Write(document);
  const std::size_t placeholder = text.find(kImagePlaceholder);
  if (placeholder == std::string::npos) return text;
  const std::size_t split = placeholder + kImagePlaceholder.size() - 1;  // before the closing quote
  const std::size_t encodedSize = Base64Size(image.size());
  std::string out;
  out.reserve(text.size() + encodedSize);
  out.append(text, 0, split);
  out.resize(split + encodedSize);
  // The NUL written after the image falls on the string's own terminator.
  EncodeBase64Into(image, out.data() + split);
  out.append(text, split);
  return out;
}

void AddFrameIntegers(const SDK_Frame& frame, Json::Value& out) {
  out["version"] = frame.version;
  out["channels"] = frame.channels;
  out["depth"] = frame.depth;
  out["width"] = frame.width;
  out["height"] = frame.height;
  out["frameSize"] = frame.frameSize;
  out["isProcessed"] = frame.isProcessed;
  out["faceQuality"] = frame.faceQuality;
}

Json::Value ToJson(const Corvane::QAV::SDK::SDK_Vector3& vector) {
  Json::Value out(Json::objectValue);
  out["x"] = vector.x;
  out["y"] = vector.y;
  out["z"] = vector.z;
  return out;
}

std::string EnrollFeedbackDocument(const int* code, const std::string* description) {
  Json::Value data(Json::objectValue);
  data["processed"] = false;
  if (code != nullptr) {
    data["feedback"]["code"] = *code;
    data["feedback"]["description"] = *description;
  }
  Json::Value root(Json::objectValue);
  root["data"] = std::move(data);
  return Write(root);
}

// The feedback of a record with a code and a description; null leaves it out.
template <typename Record>
std::string EnrollFeedbackDocumentOf(const Record* record) {
  if (record == nullptr) return EnrollFeedbackDocument(nullptr, nullptr);
  return EnrollFeedbackDocument(&record->code, &record->description);
}

// The members that every match preview and feedback document starts with.
Json::Value MatchDocumentHead(bool blink) {
  Json::Value root(Json::objectValue);
  root["matchStatus"] = false;
  root["blink"] = blink;
  root["nextStep"] = "";
  return root;
}

Json::Value MatchFeedbackHead(bool localMatchStatus, bool blink) {
  Json::Value root = MatchDocumentHead(blink);
  root["localMatchStatus"] = localMatchStatus;
  return root;
}

// Engine feedback codes with a meaning of their own in the match document.
constexpr int kLocalMatchFeedbackCode = 46;
constexpr int kBlinkFeedbackCode = 32;

}  // namespace

// --- JSON documents ---

std::string LarchmerePluginHelper::CreateJsonErrorResponse(int source, int code,
                                                           const std::string& description) {
  Json::Value error(Json::objectValue);
  error["source"] = source;
  error["code"] = code;
  error["description"] = description;
  Json::Value root(Json::objectValue);
  root["error"] = std::move(error);
  return Write(root);
}

std::string LarchmerePluginHelper::ToErrorPayload(const std::shared_ptr<const SDK_ERROR>& error) {
  if (!error) return "{}";
  return CreateJsonErrorResponse(error->source, error->code, error->description);
}

std::string LarchmerePluginHelper::ToEnrollFramePayload(
    const std::shared_ptr<const SDK_Frame>& frame) {
  Json::Value data(Json::objectValue);
  data["processed"] = false;
  if (frame) {
    Json::Value entry(Json::objectValue);
    entry["image"] = "";
    AddFrameIntegers(*frame, entry);
    data["frames"].append(std::move(entry));
  }
  Json::Value root(Json::objectValue);
  root["data"] = std::move(data);
  return frame ? WriteWithImage(root, frame->image) : Write(root);
}

std::string LarchmerePluginHelper::ToMatchFramePayload(
    const std::shared_ptr<const SDK_Frame>& frame, SDK_Livenesstype liveness, bool streamingImage) {
  Json::Value root = MatchDocumentHead(false);
  root["liveness"] = static_cast<int>(liveness);
  if (frame) {
    Json::Value out(Json::objectValue);
    if (streamingImage) out["image"] = "";
    AddFrameIntegers(*frame, out);
    out["faceCoords"]["rotation"] = ToJson(frame->faceCoords.rotation);
    out["faceCoords"]["translation"] = ToJson(frame->faceCoords.translation);
    root["frame"] = std::move(out);
  }
  return frame && streamingImage ? WriteWithImage(root, frame->image) : Write(root);
}

std::string LarchmerePluginHelper::ToProcessedFramesPayload(
    const std::shared_ptr<const SDK_ProcessedFramesContainer>& container) {
  Json::Value data(Json::objectValue);
  data["processed"] = true;
  if (container) {
    for (const auto& processed : container->frames) {
      Json::Value entry(Json::objectValue);
      entry["image"] = processed.image;
      entry["attestedData"] = processed.attestedData;
      entry["jwtCert"] = processed.jwtCert;
      data["frames"].append(std::move(entry));
    }
  }
  Json::Value root(Json::objectValue);
  root["data"] = std::move(data);
  return Write(root);
}

std::string LarchmerePluginHelper::ToEnrollFeedbackPayload(
    const std::shared_ptr<const SDK_EnrollmentFeedback>& feedback) {
  return EnrollFeedbackDocumentOf(feedback.get());
}

std::string LarchmerePluginHelper::ToEnrollFeedbackPayload(
    const std::shared_ptr<const SDK_ERROR>& error) {
  return EnrollFeedbackDocumentOf(error.get());
}

std::string LarchmerePluginHelper::ToEnrollFeedbackPayload(const int& code,
                                                           const std::string& description) {
  return EnrollFeedbackDocument(&code, &description);
}

std::string LarchmerePluginHelper::ToMatchFeedbackPayload(
    const std::shared_ptr<const SDK_ERROR>& error) {
  // Callers always pass a record; a null one still gives a well-formed document.
  if (!error) return Write(MatchFeedbackHead(false, false));
  Json::Value root =
      MatchFeedbackHead(error->code == kLocalMatchFeedbackCode, error->code == kBlinkFeedbackCode);
  root["cloudError"] = error->cloudError;
  root["feedback"]["code"] = error->code;
  root["feedback"]["description"] = error->description;
  root["templateCount"] = error->templateCount;
  root["liveness"] = error->liveness;
  return Write(root);
}

std::string LarchmerePluginHelper::ToMatchFeedbackPayload(const int& code,
                                                          const std::string& description) {
  Json::Value root = MatchFeedbackHead(code == kLocalMatchFeedbackCode, false);
  root["feedback"]["code"] = code;
  root["feedback"]["description"] = description;
  return Write(root);
}

std::string LarchmerePluginHelper::ToMatchPayload(
    const std::shared_ptr<const SDK_RemoteMatchFeedback>& result, bool stopped) {
  if (!result) return Write(Json::Value());
  Json::Value root(Json::objectValue);
  root["matchStatus"] = result->matchStatus;
  root["localMatchStatus"] = result->localMatchStatus;
  root["blink"] = result->blink;
  root["nextStep"] = result->nextStep;
  root["idToken"] = result->idToken;
  root["cloudKey"] = result->cloudKey;
  root["isTrustedDevice"] = result->isTrustedDevice;
  root["stopped"] = stopped;
  root["cloudError"] = result->cloudError;

  Json::Value devices(Json::arrayValue);
  for (const auto& device : result->oobDevices) {
    Json::Value entry(Json::objectValue);
    entry["deviceId"] = device.deviceId;
    entry["deviceName"] = device.deviceName;
    entry["oobPreferred"] = device.oobPreferred;
    devices.append(std::move(entry));
  }
  root["nextStepData"]["verificationEmail"] = result->verificationEmail;
  root["nextStepData"]["oobDevices"] = std::move(devices);

  root["state"] = result->state;
  root["redirectUri"] = result->redirectUri;
  root["authCode"] = result->authCode;
  root["altNextStep"] = result->altNextStep;
  root["templateCount"] = result->templateCount;
  root["liveness"] = result->liveness;
  return Write(root);
}

std::string LarchmerePluginHelper::EncodeBase64(std::string_view bytes) {
  std::string encoded(Base64Size(bytes.size()), '\0');
  // The NUL written after the text falls on the string's own terminator.
  EncodeBase64Into(bytes, encoded.data());
  return encoded;
}

}  // namespace corvane::larchmere::plugin::common
