#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "plugin/sdk/SDKTypes.h"

namespace corvane::larchmere::plugin::common {

// Where the failure of an error document came from ("source").
enum ErrorSource : int {
  kErrorSourcePlugin = 0,
  kErrorSourceCameraSelection = 1,
  kErrorSourceEngineService = 4,
  kErrorSourceSuiteAccount = 5,
};

// Codes of errors raised by the plug-in itself (source kErrorSourcePlugin).
enum PluginErrorCode : int {
  kPluginGenericError = 0,
  kFramesAlreadyStopped = 1,
  kFramesTimeOut = 2,
  kInvalidIdToken = 3,
  kInvalidQCorrelationId = 4,
  kInvalidJson = 1001,
  kInvalidParam = 1002,
  kServiceNotSetUp = 1003,
  kServiceInitFailed = 1004,  // the description is followed by the error text
  kContextNotCreated = 1005,
};

inline constexpr char kPluginGenericErrorDescription[] = "Plugin Generic Error";
inline constexpr char kFramesAlreadyStoppedDescription[] = "Frames Already Stopped";
inline constexpr char kFramesTimeOutDescription[] = "Frames Time Out";
inline constexpr char kInvalidIdTokenDescription[] = "Invalid IdToken";
inline constexpr char kInvalidQCorrelationIdDescription[] = "Invalid Q-Correlation-Id";
inline constexpr char kInvalidJsonDescription[] = "Invalid Json";
inline constexpr char kInvalidParamDescription[] = "Invalid Param";
inline constexpr char kServiceNotSetUpDescription[] =
    "Service objects and listeners were not setup.";
inline constexpr char kServiceInitFailedDescription[] = "Service init failed.";
inline constexpr char kContextNotCreatedDescription[] = "Context object not created.";

// Ends the description of an engine-service error, after the operation's name
// ("SignPacket Communication Error with QAVService").
inline constexpr char kQAVServiceErrorSuffix[] = " Communication Error with QAVService";

// Caller header, as GetCallerType reports it.
enum CallerType : int { kCallerLocal = 1, kCallerRemote = 2, kCallerHybrid = 3 };

// PreviewType header, as GetPreviewTypeFromHeader reports it.
enum PreviewType : int {
  kPreviewNormal = 0,
  kPreviewObfuscated = 1,
  kPreviewDots = 2,
  kPreviewObfuscatedDots = 3,
};

// Stateless request readers and response builders shared by the router and
// every handler. All members are static, re-entrant and safe to call from any
// thread at once. None throws for bad input: a null text reads as empty, a
// missing or malformed value yields the documented default. Only allocation
// failures propagate. Texts passed as const char* are NUL-terminated.
class LarchmerePluginHelper {
 public:
  // Every served path is written behind this prefix.
  static constexpr char kPathPrefix[] = "q/v1";
  // Correlation id asking the frame endpoints to stop at once.
  static constexpr char kForceStopId[] = "QCID_FORCE_STOP_________________________QCID";
  // The only accepted length of a correlation id ("QCID" + 36 + "QCID").
  static constexpr std::size_t kQCorrelationIdLength = 44;

  LarchmerePluginHelper() = delete;

  // --- Request matching ---

  // The block is not null and mentions "application/json" or "Origin".
  static bool IsValidHeader(const char* headers);
  // The URL, or else a "Request URL: " header, contains kPathPrefix + path.
  static bool IsValidRequestURL(const char* url, const char* headers, const char* path);
  // method equals expected, or method is "OPTIONS" and the block carries
  // "Access-Control-Request-Method: " + expected.
  static bool IsValidRequestMethd(const char* method, const char* headers, const char* expected);
  // Exact equality; false when either text is null.
  static bool isEquals(const char* a, const char* b);
  // text contains pattern; false when either is null.
  static bool isPresent(const char* text, const char* pattern);

  // --- Correlation ids ---

  // From the first "QCID" to the last "QCID" of the same line, both marks
  // included; empty when the block holds no such pair.
  static std::string GetQCorrelationId(const char* headers);
  // The id has exactly kQCorrelationIdLength characters.
  static bool IsValidQCorrelationId(const std::string& id);
  // The id contains "QCID_FORCE_STOP".
  static bool IsForceStop(const std::string& id);

  // --- Caller, liveness, stream and preview headers ---

  // "REMOTE_PSI_25", "REMOTE", "HYBRID", "LOCAL", or empty.
  static std::string GetCallerFromHeader(const char* headers);
  // A CallerType; kCallerRemote for anything but LOCAL and HYBRID.
  static int GetCallerType(const char* headers);
  static bool IsHybridCaller(const char* headers);
  static bool IsRemotePsiCaller(const char* headers);
  // The Liveness header's value, or fallback when it is missing.
  static Corvane::QAV::SDK::SDK_Livenesstype GetLivenessFromHeader(
      const char* headers, Corvane::QAV::SDK::SDK_Livenesstype fallback);
  // "IMAGE" or "COORDS"; "IMAGE" when the header is missing.
  static std::string GetStreamTypeFromHeader(const char* headers);
  static bool IsStreamingImage(const char* headers);
  // A PreviewType; kPreviewNormal when the header is missing. Logs the result.
  static int GetPreviewTypeFromHeader(const char* headers);

  // --- RAT header ---

  // The value of the first line holding "x-jwstoken:", white space removed;
  // empty when there is none.
  static std::string GetJwsTokenFromHeader(const char* headers);

  // --- URL query values ---

  // The text after the first "email=" (any letter case) up to "&" or the end
  // of the line, with every "%40" turned into "@".
  static std::string GetEmail(const char* url);
  // The text after the first "id=" (any letter case) up to "&" or the end of
  // the line.
  static std::string GetId(const char* url);

  // --- Request body ---

  // The body of a request: at most contentLength bytes of content, cut at the
  // first NUL byte. Never reads beyond either bound; a null content or a
  // length below 1 gives an empty body.
  static std::string ReadBody(int contentLength, const char* content);

  // Members of a strict JSON object body (see ReadBody for the bounds).
  // Any other body, or a member of the wrong type, gives the default.
  static std::string GetOauthTransactionIdFromRequest(int contentLength, const char* content);
  static bool GetReEnrollFromRequest(int contentLength, const char* content);
  static std::string GetEmailFromEnrollRequest(int contentLength, const char* content);
  static std::string GetEmailFromMatchRequest(int contentLength, const char* content);
  // "cloudAction" when it is 0 to 2, else CLOUD_ACTION_NONE.
  static Corvane::QAV::SDK::SDK_CloudAction GetCloudActionFromRequest(int contentLength,
                                                                      const char* content);

  // --- JSON documents ---
  // Each returns one compact JSON document followed by a line feed, unless
  // said otherwise. A null record gives the reduced document stated.

  // {"error":{"code":code,"description":description,"source":source}}
  static std::string CreateJsonErrorResponse(int source, int code, const std::string& description);
  // The error document of the record; "{}" (no line feed) for null.
  static std::string ToErrorPayload(
      const std::shared_ptr<const Corvane::QAV::SDK::SDK_ERROR>& error);

  // Enrollment preview; null gives {"data":{"processed":false}}.
  static std::string ToEnrollFramePayload(
      const std::shared_ptr<const Corvane::QAV::SDK::SDK_Frame>& frame);
  // Match preview; the image is left out unless streamingImage, the whole
  // "frame" member when frame is null.
  static std::string ToMatchFramePayload(
      const std::shared_ptr<const Corvane::QAV::SDK::SDK_Frame>& frame,
      Corvane::QAV::SDK::SDK_Livenesstype liveness, bool streamingImage = true);
  // Processed frames, texts copied as they are; null or empty gives
  // {"data":{"processed":true}}.
  static std::string ToProcessedFramesPayload(
      const std::shared_ptr<const Corvane::QAV::SDK::SDK_ProcessedFramesContainer>& container);

  // Enrollment feedback; a null record leaves out "feedback".
  static std::string ToEnrollFeedbackPayload(
      const std::shared_ptr<const Corvane::QAV::SDK::SDK_EnrollmentFeedback>& feedback);
  static std::string ToEnrollFeedbackPayload(
      const std::shared_ptr<const Corvane::QAV::SDK::SDK_ERROR>& error);
  static std::string ToEnrollFeedbackPayload(const int& code, const std::string& description);

  // Match feedback from an engine error; a null record leaves out every
  // member taken from it.
  static std::string ToMatchFeedbackPayload(
      const std::shared_ptr<const Corvane::QAV::SDK::SDK_ERROR>& error);
  static std::string ToMatchFeedbackPayload(const int& code, const std::string& description);
  // The final match document; "null" for a null record.
  static std::string ToMatchPayload(
      const std::shared_ptr<const Corvane::QAV::SDK::SDK_RemoteMatchFeedback>& result,
      bool stopped = false);

  // --- Headers and paths ---

  // Replaces out with the CORS response header block: the allowed origin
  // named by the request's "Origin: " header (or the default one), then the
  // fixed method, header and content-type lines, each ending in CR LF.
  static void BuildHeader(const char* requestHeaders,
                          const std::optional<std::string>& domainSuffix, std::string& out);
  // prefix followed by path; a null text reads as empty.
  static std::string CreateURI(const char* prefix, const char* path);
  // Replaces uris with the 22 paths announced to the host, behind kPathPrefix.
  static void BuildURIs(std::set<std::string>& uris);

  // Standard base64 with padding and without line breaks.
  static std::string EncodeBase64(std::string_view bytes);
};

}  // namespace corvane::larchmere::plugin::common
