#include "plugin/common/LarchmerePluginHelper.h"

#include <json/json.h>

#include <algorithm>
#include <array>
#include <exception>
#include <iterator>
#include <span>
#include <utility>

#include "os/base64.h"
#include "plugin/common/AllowedOrigins.h"
#include "plugin/common/JsonText.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin::common {

namespace {

using Corvane::QAV::SDK::SDK_CloudAction;
using Corvane::QAV::SDK::SDK_EnrollmentFeedback;
using Corvane::QAV::SDK::SDK_ERROR;
using Corvane::QAV::SDK::SDK_Frame;
using Corvane::QAV::SDK::SDK_Livenesstype;
using Corvane::QAV::SDK::SDK_ProcessedFramesContainer;
using Corvane::QAV::SDK::SDK_RemoteMatchFeedback;

// The header and URL patterns are matched by the linear scanners below rather
// than by std::regex: libstdc++ matches `.*` and `\s*` by recursing once per
// character, which overflows the stack (a crash, not an exception) on a header
// line of a few ten thousand bytes. Each scanner gives the first match that the
// documented pattern would give.

// A word of a header pattern "Name:\s*(WORD|WORD...)" and the value it stands for.
struct HeaderWord {
  std::string_view word;
  int value;
};

// Alternatives are tried in this order, so a longer word stands before its prefix.
constexpr std::string_view kCallerHead = "Caller:";
constexpr std::array<HeaderWord, 4> kCallerWords = {{
    {"REMOTE_PSI_25", kCallerRemote},
    {"REMOTE", kCallerRemote},
    {"HYBRID", kCallerHybrid},
    {"LOCAL", kCallerLocal},
}};

constexpr std::string_view kLivenessHead = "Liveness:";
constexpr std::array<HeaderWord, 4> kLivenessWords = {{
    {"NONE", Corvane::QAV::SDK::NONE},
    {"BLINK_STRICT", Corvane::QAV::SDK::BLINK_STRICT},
    {"BLINK", Corvane::QAV::SDK::BLINK},
    {"PASSIVE", Corvane::QAV::SDK::PASSIVE},
}};

constexpr std::string_view kStreamTypeHead = "StreamType:";
constexpr std::string_view kStreamImage = "IMAGE";
constexpr std::array<HeaderWord, 2> kStreamTypeWords = {{{kStreamImage, 0}, {"COORDS", 1}}};

constexpr std::string_view kPreviewTypeHead = "PreviewType:";
constexpr std::array<HeaderWord, 4> kPreviewTypeWords = {{
    {"NORMAL", kPreviewNormal},
    {"OBFUSCATED_DOTS", kPreviewObfuscatedDots},
    {"DOTS", kPreviewDots},
    {"OBFUSCATED", kPreviewObfuscated},
}};

constexpr std::string_view kCorrelationMark = "QCID";
constexpr std::string_view kForceStopMark = "QCID_FORCE_STOP";
constexpr std::string_view kEmailHead = "email=";  // matched in any letter case
constexpr std::string_view kIdHead = "id=";        // matched in any letter case
constexpr std::string_view kJwsTokenTag = "x-jwstoken:";

// What `\s` matches; also the white space removed from the RAT header line.
constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";
// Where `.` stops.
constexpr std::string_view kLineBreaks = "\r\n";

constexpr std::string_view kCorsBlock =
    "\r\nAccess-Control-Allow-Methods: GET, POST, OPTIONS\r\n"
    "Access-Control-Allow-Headers: Origin, X-Requested-With, Content-Type, Accept, "
    "Q-Correlation-Id, Caller, Liveness, StreamType, x-pbversion, x-ksversion, x-jwstoken\r\n"
    "Access-Control-Max-Age: 60\r\n"
    "Content-Type: application/json; charset=UTF-8\r\n"
    "Accept: application/json; charset=UTF-8\r\n"
    "Allow: OPTIONS, GET, POST\r\n";

// The paths announced to the host, without the prefix. The router serves a
// few more paths that are not announced.
std::string_view View(const char* text) {
  return text ? std::string_view(text) : std::string_view();
}

bool IsWhiteSpace(char c) { return c != '\0' && kWhiteSpace.find(c) != std::string_view::npos; }

// Locale-free, so bytes above 0x7F pass unchanged.
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Position of the first occurrence of lowerNeedle in text, in any ASCII letter case.
std::size_t FindIgnoringCase(std::string_view text, std::string_view lowerNeedle) {
  const auto found = std::search(text.begin(), text.end(), lowerNeedle.begin(), lowerNeedle.end(),
                                 [](char a, char b) { return AsciiLower(a) == b; });
  return found == text.end() ? std::string_view::npos
                             : static_cast<std::size_t>(found - text.begin());
}

// The rest of text's line from position `from`.
std::string_view RestOfLine(std::string_view text, std::size_t from) {
  const std::string_view rest = text.substr(from);
  return rest.substr(0, rest.find_first_of(kLineBreaks));
}

// First match of "head\s*(word|word...)" in text.
const HeaderWord* FindHeaderWord(std::string_view text, std::string_view head,
                                 std::span<const HeaderWord> words) {
  for (std::size_t at = text.find(head); at != std::string_view::npos;
       at = text.find(head, at + 1)) {
    std::size_t valueAt = at + head.size();
    while (valueAt < text.size() && IsWhiteSpace(text[valueAt])) ++valueAt;
    const std::string_view value = text.substr(valueAt);
    for (const HeaderWord& word : words) {
      if (value.starts_with(word.word)) return &word;
    }
  }
  return nullptr;
}

// First match of "QCID(.*)QCID": from the first mark of a line to the last
// mark of the same line.
std::string_view FindCorrelationId(std::string_view text) {
  std::size_t lineStart = 0;
  while (lineStart <= text.size()) {
    const std::string_view line = RestOfLine(text, lineStart);
    const std::size_t first = line.find(kCorrelationMark);
    if (first != std::string_view::npos) {
      const std::size_t last = line.rfind(kCorrelationMark);
      if (last >= first + kCorrelationMark.size()) {
        return line.substr(first, last + kCorrelationMark.size() - first);
      }
    }
    lineStart += line.size() + 1;
  }
  return {};
}

// Capture of "head(.*)" in text, the head in any letter case; nullopt when absent.
std::optional<std::string_view> FindQueryValue(std::string_view text, std::string_view lowerHead) {
  const std::size_t at = FindIgnoringCase(text, lowerHead);
  if (at == std::string_view::npos) return std::nullopt;
  return RestOfLine(text, at + lowerHead.size());
}

std::string_view CutAtAmpersand(std::string_view value) { return value.substr(0, value.find('&')); }

// Only "%40" is decoded; callers pass the rest of the value on as received.
std::string DecodeAtSigns(std::string_view value) {
  constexpr std::string_view kEncodedAt = "%40";
  std::string decoded;
  decoded.reserve(value.size());
  for (std::size_t at = value.find(kEncodedAt); at != std::string_view::npos;
       at = value.find(kEncodedAt)) {
    decoded.append(value.substr(0, at)).push_back('@');
    value.remove_prefix(at + kEncodedAt.size());
  }
  decoded.append(value);
  return decoded;
}

// A strict JSON body whose root is an object; nullopt for anything else.
std::optional<Json::Value> ParseObjectBody(const std::string& body) {
  Json::Value root;
  if (!ParseStrictJson(body, root) || !root.isObject()) return std::nullopt;
  return root;
}

// root/userData/<name>, read without adding members; throws Json::Exception
// when userData is neither an object nor missing.
const Json::Value& UserDataMember(const Json::Value& root, const char* name) {
  return root["userData"][name];
}

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

// --- Request matching ---

bool LarchmerePluginHelper::IsValidHeader(const char* headers) {
  if (headers == nullptr) return false;
  const std::string_view text(headers);
  return text.find("application/json") != std::string_view::npos ||
         text.find("Origin") != std::string_view::npos;
}

bool LarchmerePluginHelper::IsValidRequestURL(const char* url, const char* headers,
                                              const char* path) {
  const std::string expected = CreateURI(kPathPrefix, path);
  if (url != nullptr && std::string_view(url).find(expected) != std::string_view::npos) return true;
  return View(headers).find("Request URL: " + expected) != std::string_view::npos;
}

bool LarchmerePluginHelper::IsValidRequestMethd(const char* method, const char* headers,
                                                const char* expected) {
  if (method == nullptr || expected == nullptr) return false;
  const std::string_view name(method);
  if (name == expected) return true;
  if (name != "OPTIONS") return false;
  return View(headers).find(std::string("Access-Control-Request-Method: ") + expected) !=
         std::string_view::npos;
}

bool LarchmerePluginHelper::isEquals(const char* a, const char* b) {
  return a != nullptr && b != nullptr && std::string_view(a) == b;
}

bool LarchmerePluginHelper::isPresent(const char* text, const char* pattern) {
  return text != nullptr && pattern != nullptr &&
         std::string_view(text).find(pattern) != std::string_view::npos;
}

// --- Correlation ids ---

std::string LarchmerePluginHelper::GetQCorrelationId(const char* headers) {
  return std::string(FindCorrelationId(View(headers)));
}

bool LarchmerePluginHelper::IsValidQCorrelationId(const std::string& id) {
  return id.size() == kQCorrelationIdLength;
}

bool LarchmerePluginHelper::IsForceStop(const std::string& id) {
  return id.find(kForceStopMark) != std::string::npos;
}

// --- Caller, liveness, stream and preview headers ---

std::string LarchmerePluginHelper::GetCallerFromHeader(const char* headers) {
  const HeaderWord* caller = FindHeaderWord(View(headers), kCallerHead, kCallerWords);
  return caller ? std::string(caller->word) : std::string();
}

int LarchmerePluginHelper::GetCallerType(const char* headers) {
  const HeaderWord* caller = FindHeaderWord(View(headers), kCallerHead, kCallerWords);
  return caller ? caller->value : kCallerRemote;
}

bool LarchmerePluginHelper::IsHybridCaller(const char* headers) {
  return GetCallerType(headers) == kCallerHybrid;
}

bool LarchmerePluginHelper::IsRemotePsiCaller(const char* headers) {
  return GetCallerFromHeader(headers) == kCallerWords[0].word;
}

SDK_Livenesstype LarchmerePluginHelper::GetLivenessFromHeader(const char* headers,
                                                              SDK_Livenesstype fallback) {
  const HeaderWord* liveness = FindHeaderWord(View(headers), kLivenessHead, kLivenessWords);
  return liveness ? static_cast<SDK_Livenesstype>(liveness->value) : fallback;
}

std::string LarchmerePluginHelper::GetStreamTypeFromHeader(const char* headers) {
  const HeaderWord* stream = FindHeaderWord(View(headers), kStreamTypeHead, kStreamTypeWords);
  return std::string(stream ? stream->word : kStreamImage);
}

bool LarchmerePluginHelper::IsStreamingImage(const char* headers) {
  return GetStreamTypeFromHeader(headers) == kStreamImage;
}

int LarchmerePluginHelper::GetPreviewTypeFromHeader(const char* headers) {
  WriteLog("Getting PreviewType", kLogInfo);
  const HeaderWord* preview = FindHeaderWord(View(headers), kPreviewTypeHead, kPreviewTypeWords);
  const int previewType = preview ? preview->value : kPreviewNormal;
  LogInfo("PreviewType is", std::to_string(previewType));
  return previewType;
}

// --- RAT header ---

std::string LarchmerePluginHelper::GetJwsTokenFromHeader(const char* headers) {
  const std::string_view text = View(headers);
  std::size_t lineStart = 0;
  while (lineStart <= text.size()) {
    const std::string_view rest = text.substr(lineStart);
    const std::string_view line = rest.substr(0, rest.find('\n'));
    if (line.find(kJwsTokenTag) != std::string_view::npos) {
      std::string cleaned;
      std::copy_if(line.begin(), line.end(), std::back_inserter(cleaned),
                   [](char c) { return !IsWhiteSpace(c); });
      // The tag is expected at the start of its line.
      return cleaned.size() > kJwsTokenTag.size() ? cleaned.substr(kJwsTokenTag.size())
                                                  : std::string();
    }
    lineStart += line.size() + 1;
  }
  return {};
}

// --- URL query values ---

std::string LarchmerePluginHelper::GetEmail(const char* url) {
  const std::optional<std::string_view> value = FindQueryValue(View(url), kEmailHead);
  if (!value) return {};
  // The last parameter is decoded too, so that an address reads the same
  // wherever it stands in the query.
  return DecodeAtSigns(CutAtAmpersand(*value));
}

std::string LarchmerePluginHelper::GetId(const char* url) {
  const std::optional<std::string_view> value = FindQueryValue(View(url), kIdHead);
  return value ? std::string(CutAtAmpersand(*value)) : std::string();
}

// --- Request body ---

std::string LarchmerePluginHelper::ReadBody(int contentLength, const char* content) {
  if (content == nullptr || contentLength <= 0) return {};
  const auto limit = static_cast<std::size_t>(contentLength);
  std::size_t length = 0;
  while (length < limit && content[length] != '\0') ++length;
  return std::string(content, length);
}

std::string LarchmerePluginHelper::GetOauthTransactionIdFromRequest(int contentLength,
                                                                    const char* content) {
  const std::string body = ReadBody(contentLength, content);
  LogInfo("ContentIn", body);
  const std::optional<Json::Value> root = ParseObjectBody(body);
  if (!root) return {};
  try {
    return UserDataMember(*root, "oTransId").asString();
  } catch (const std::exception& error) {
    LogError("Retrieving oauth transaction id. Most likely malformed json request", error.what());
    return {};
  }
}

bool LarchmerePluginHelper::GetReEnrollFromRequest(int contentLength, const char* content) {
  const std::optional<Json::Value> root = ParseObjectBody(ReadBody(contentLength, content));
  if (!root) return false;
  try {
    return UserDataMember(*root, "reEnroll").asBool();
  } catch (const std::exception& error) {
    LogDebug(
        "WARNING: Could not retrieve ReEnroll optional parameter. Either not present or malformed "
        "json request. Details",
        error.what());
    return false;
  }
}

std::string LarchmerePluginHelper::GetEmailFromEnrollRequest(int contentLength,
                                                             const char* content) {
  const std::optional<Json::Value> root = ParseObjectBody(ReadBody(contentLength, content));
  if (!root) return {};
  try {
    return UserDataMember(*root, "email").asString();
  } catch (const std::exception& error) {
    LogDebug(
        "WARNING: Could not retrieve email optional parameter from enroll request. Either not "
        "present or malformed json request. Details",
        error.what());
    return {};
  }
}

std::string LarchmerePluginHelper::GetEmailFromMatchRequest(int contentLength,
                                                            const char* content) {
  const std::string body = ReadBody(contentLength, content);
  LogInfo("GetEmailFromMatchRequest: Searching email in match request", body);
  const std::optional<Json::Value> root = ParseObjectBody(body);
  if (!root) return {};
  try {
    return UserDataMember(*root, "email").asString();
  } catch (const std::exception& error) {
    LogError(
        "Retrieving EMAIL from Match request. Malformed request does not have email property "
        "under userData as expected",
        error.what());
    return {};
  }
}

SDK_CloudAction LarchmerePluginHelper::GetCloudActionFromRequest(int contentLength,
                                                                 const char* content) {
  const std::string body = ReadBody(contentLength, content);
  LogInfo("ContentIn", body);
  const std::optional<Json::Value> root = ParseObjectBody(body);
  if (!root) {
    WriteLog("Malformed json received. Will assume default value for optional cloudAction property",
             kLogError);
    return Corvane::QAV::SDK::CLOUD_ACTION_NONE;
  }
  int value = 0;
  try {
    // Throws for a text, or a number beyond the int range.
    value = (*root)["cloudAction"].asInt();
  } catch (const std::exception&) {
    WriteLog(
        "cloudAction property not found or value out of range in request, will assume default "
        "value",
        kLogInfo);
    return Corvane::QAV::SDK::CLOUD_ACTION_NONE;
  }
  if (value < Corvane::QAV::SDK::CLOUD_ACTION_NONE || value > Corvane::QAV::SDK::CLOUD_ACTION_2) {
    WriteLog("WARNING: CloudAction OUT OF RANGE. Assigning default value. Value received = " +
                 std::to_string(value),
             kLogInfo);
    return Corvane::QAV::SDK::CLOUD_ACTION_NONE;
  }
  WriteLog("CloudAction successfully retreived: value = " + std::to_string(value), kLogDebug);
  return static_cast<SDK_CloudAction>(value);
}

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
  if (!feedback) return EnrollFeedbackDocument(nullptr, nullptr);
  return EnrollFeedbackDocument(&feedback->code, &feedback->description);
}

std::string LarchmerePluginHelper::ToEnrollFeedbackPayload(
    const std::shared_ptr<const SDK_ERROR>& error) {
  if (!error) return EnrollFeedbackDocument(nullptr, nullptr);
  return EnrollFeedbackDocument(&error->code, &error->description);
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

// --- Headers and paths ---

void LarchmerePluginHelper::BuildHeader(const char* requestHeaders,
                                        const std::optional<std::string>& domainSuffix,
                                        std::string& out) {
  const std::string_view headers = View(requestHeaders);
  const std::set<std::string> origins =
      AllowedOrigins(domainSuffix ? std::string_view(*domainSuffix) : std::string_view());
  std::string_view allowed = kDefaultAllowedOrigin;
  std::string originLine;
  for (const std::string& origin : origins) {
    originLine.assign("Origin: ").append(origin);
    if (headers.find(originLine) != std::string_view::npos) {
      allowed = origin;
      break;
    }
  }
  out.assign("Access-Control-Allow-Origin: ");
  out.append(allowed).append(kCorsBlock);
}

std::string LarchmerePluginHelper::CreateURI(const char* prefix, const char* path) {
  std::string uri(View(prefix));
  uri.append(View(path));
  return uri;
}

std::string LarchmerePluginHelper::EncodeBase64(std::string_view bytes) {
  std::string encoded(Base64Size(bytes.size()), '\0');
  // The NUL written after the text falls on the string's own terminator.
  EncodeBase64Into(bytes, encoded.data());
  return encoded;
}

}  // namespace corvane::larchmere::plugin::common
