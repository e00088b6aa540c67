// The request readers of LarchmerePluginHelper and the plug-in's JSON readers
// on arbitrary text. None may throw (an exception escaping here ends the run
// as a finding) or read beyond its input (texts sit in heap buffers of
// exactly their size, NUL-terminated only where the reader takes a C string);
// each result must also hold what the reader promises.
#include <fuzzer/FuzzedDataProvider.h>
#include <json/json.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzFolders.h"
#include "plugin/common/JsonText.h"
#include "plugin/common/LarchmerePluginHelper.h"

namespace keystead::fuzz {
namespace {

using corvane::larchmere::plugin::common::JsonDialect;
using corvane::larchmere::plugin::common::LarchmerePluginHelper;
namespace json = corvane::larchmere::plugin::common;
namespace sdk = Corvane::QAV::SDK;

constexpr std::array<const char*, 8> kPaths = {"/frame/match",
                                               "/settings",
                                               "/authenticate",
                                               "/ca/authenticate",
                                               "/revoke",
                                               "/users/remote",
                                               "",
                                               "/"};
constexpr std::array<const char*, 4> kMethods = {"GET", "POST", "OPTIONS", ""};
constexpr std::array<const char*, 6> kMembers = {"userData", "email",    "cloudAction",
                                                 "oTransId", "reEnroll", ""};

[[noreturn]] void Breach(const char* what, std::string_view detail) {
  std::fprintf(stderr, "request_helpers_fuzzer: %s: %.*s\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

void Expect(bool holds, const char* what, std::string_view detail) {
  if (!holds) Breach(what, detail);
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// A C string in a heap buffer of exactly its size plus the NUL.
class CText {
 public:
  explicit CText(std::string_view text) : buffer_(text.size() + 1) {
    std::memcpy(buffer_.data(), text.data(), text.size());
  }
  const char* get() const { return buffer_.data(); }

 private:
  std::vector<char> buffer_;
};

// Bytes in a heap buffer of exactly their size, without a NUL.
class Bytes {
 public:
  explicit Bytes(std::string_view text) : buffer_(text.begin(), text.end()) {}
  const char* get() const { return buffer_.empty() ? nullptr : buffer_.data(); }
  int size() const { return static_cast<int>(buffer_.size()); }

 private:
  std::vector<char> buffer_;
};

void MatchingHelpers(FuzzedDataProvider& data) {
  const CText method(data.ConsumeRandomLengthString(16));
  const CText url(data.ConsumeRandomLengthString(256));
  const CText headers(data.ConsumeRemainingBytesAsString());
  const std::string_view headerText(headers.get());
  for (const char* path : kPaths) {
    const bool matches = LarchmerePluginHelper::IsValidRequestURL(url.get(), headers.get(), path);
    Expect(matches || !Contains(url.get(), std::string("q/v1") + path), "IsValidRequestURL", path);
    LarchmerePluginHelper::IsValidRequestURL(nullptr, headers.get(), path);
  }
  for (const char* expected : kMethods) {
    LarchmerePluginHelper::IsValidRequestMethd(method.get(), headers.get(), expected);
    LarchmerePluginHelper::IsValidRequestMethd(method.get(), nullptr, expected);
  }
  Expect(LarchmerePluginHelper::IsValidHeader(headers.get()) ==
             (Contains(headerText, "application/json") || Contains(headerText, "Origin")),
         "IsValidHeader", headerText);
  LarchmerePluginHelper::isEquals(method.get(), url.get());
  LarchmerePluginHelper::isPresent(headers.get(), method.get());
}

void HeaderReaders(FuzzedDataProvider& data) {
  const std::string text = data.ConsumeRemainingBytesAsString();
  const CText headers(text);
  const std::string id = LarchmerePluginHelper::GetQCorrelationId(headers.get());
  if (!id.empty()) {
    Expect(id.starts_with("QCID") && id.ends_with("QCID") && id.size() >= 8 &&
               id.find_first_of("\r\n") == std::string::npos && Contains(text, id),
           "GetQCorrelationId", id);
  }
  Expect(LarchmerePluginHelper::IsValidQCorrelationId(id) ==
             (id.size() == LarchmerePluginHelper::kQCorrelationIdLength),
         "IsValidQCorrelationId", id);
  LarchmerePluginHelper::IsForceStop(id);

  const std::string caller = LarchmerePluginHelper::GetCallerFromHeader(headers.get());
  const int callerType = LarchmerePluginHelper::GetCallerType(headers.get());
  const int expectedType = caller == "LOCAL"    ? json::kCallerLocal
                           : caller == "HYBRID" ? json::kCallerHybrid
                                                : json::kCallerRemote;
  Expect(callerType == expectedType, "GetCallerType", caller);
  Expect(
      LarchmerePluginHelper::IsHybridCaller(headers.get()) == (callerType == json::kCallerHybrid),
      "IsHybridCaller", caller);
  Expect(LarchmerePluginHelper::IsRemotePsiCaller(headers.get()) == (caller == "REMOTE_PSI_25"),
         "IsRemotePsiCaller", caller);

  const auto liveness =
      LarchmerePluginHelper::GetLivenessFromHeader(headers.get(), sdk::SDK_Livenesstype(7));
  Expect((liveness >= 0 && liveness <= 3) || liveness == 7, "GetLivenessFromHeader", text);
  const std::string stream = LarchmerePluginHelper::GetStreamTypeFromHeader(headers.get());
  Expect(stream == "IMAGE" || stream == "COORDS", "GetStreamTypeFromHeader", stream);
  Expect(LarchmerePluginHelper::IsStreamingImage(headers.get()) == (stream == "IMAGE"),
         "IsStreamingImage", stream);
  const int preview = LarchmerePluginHelper::GetPreviewTypeFromHeader(headers.get());
  Expect(preview >= 0 && preview <= 3, "GetPreviewTypeFromHeader", text);

  const std::string token = LarchmerePluginHelper::GetJwsTokenFromHeader(headers.get());
  Expect(token.find_first_of(" \t\n\v\f\r") == std::string::npos, "GetJwsTokenFromHeader", token);
}

void QueryReaders(FuzzedDataProvider& data) {
  const CText url(data.ConsumeRemainingBytesAsString());
  const std::string email = LarchmerePluginHelper::GetEmail(url.get());
  Expect(email.find_first_of("&\r\n") == std::string::npos, "GetEmail", email);
  const std::string id = LarchmerePluginHelper::GetId(url.get());
  Expect(id.find_first_of("&\r\n") == std::string::npos, "GetId", id);
}

void BodyReaders(FuzzedDataProvider& data) {
  const auto shorter = data.ConsumeIntegral<std::uint8_t>();
  const bool negative = data.ConsumeIntegralInRange<int>(0, 31) == 0;
  const Bytes content(data.ConsumeRemainingBytesAsString());
  // The length never exceeds the bytes given (a caller's promise), but may fall short.
  const int length = negative ? -shorter : std::max(0, content.size() - shorter % 4);

  const std::string body = LarchmerePluginHelper::ReadBody(length, content.get());
  Expect(static_cast<int>(body.size()) <= std::max(length, 0) &&
             body.find('\0') == std::string::npos &&
             (body.empty() || std::memcmp(body.data(), content.get(), body.size()) == 0),
         "ReadBody", body);
  LarchmerePluginHelper::GetOauthTransactionIdFromRequest(length, content.get());
  LarchmerePluginHelper::GetReEnrollFromRequest(length, content.get());
  LarchmerePluginHelper::GetEmailFromEnrollRequest(length, content.get());
  LarchmerePluginHelper::GetEmailFromMatchRequest(length, content.get());
  const auto action = LarchmerePluginHelper::GetCloudActionFromRequest(length, content.get());
  Expect(action >= sdk::CLOUD_ACTION_NONE && action <= sdk::CLOUD_ACTION_2,
         "GetCloudActionFromRequest", body);
}

// Whatever the strict reader accepts, the compact writer writes as a
// document that the strict reader reads back.
void JsonReaders(FuzzedDataProvider& data) {
  const std::string text = data.ConsumeRemainingBytesAsString();
  const Bytes exact(text);
  const std::string_view view(exact.get(), text.size());

  Json::Value lenient;
  json::ParseLenientJson(view, lenient);
  Json::Value strict;
  if (!json::ParseStrictJson(view, strict)) return;
  Expect(strict.isObject() || strict.isArray(), "strict root", text);
  const std::string written = json::WriteCompact(strict);
  Expect(!written.empty() && written.back() == '\n', "WriteCompact", written);
  // Not always the same value: the writer turns bytes that are not UTF-8
  // into U+FFFD, which may also reorder members.
  Json::Value again;
  Expect(json::ParseStrictJson(written, again), "written document reads back", written);
  for (const char* name : kMembers) {
    const Json::Value& member = json::MemberOf(strict, name);
    json::TextOf(member);
    json::TextOf(json::MemberOf(member, name));
  }
}

}  // namespace

int InitializeFuzzer() {
  UsePrivateFolders("request_helpers_fuzzer");
  return 0;
}

int FuzzOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  switch (data.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
      MatchingHelpers(data);
      break;
    case 1:
      HeaderReaders(data);
      break;
    case 2:
      QueryReaders(data);
      break;
    case 3:
      BodyReaders(data);
      break;
    default:
      JsonReaders(data);
  }
  return 0;
}

}  // namespace keystead::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) { return keystead::fuzz::InitializeFuzzer(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  return keystead::fuzz::FuzzOneInput(bytes, size);
}
