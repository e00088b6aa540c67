#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <span>
#include <string>

#include "plugin/common/LarchmerePluginHelper.h"

namespace corvane::larchmere::plugin::common {
namespace {

using Corvane::QAV::SDK::SDK_Livenesstype;
using Helper = LarchmerePluginHelper;

constexpr char kValidId[] = "QCID97c096e3-52fe-4fbd-88a6-4a16a4bcaae8QCID";

// --- Request matching ---

// A text of the request (URL or method), its header block, what the
// endpoint wants, and whether they match.
struct MatchCase {
  const char* subject;
  const char* headers;
  const char* wanted;
  bool matches;
};

void ExpectMatches(bool (*match)(const char*, const char*, const char*),
                   std::span<const MatchCase> cases) {
  for (const MatchCase& c : cases) {
    EXPECT_EQ(match(c.subject, c.headers, c.wanted), c.matches)
        << (c.subject ? c.subject : "(null)") << " | " << (c.headers ? c.headers : "(null)");
  }
}

TEST(LarchmerePluginHelperMatchTest, RequestUrlMatchesPathBehindPrefixOrRequestUrlHeader) {
  const MatchCase cases[] = {
      {"http://localhost:8080/q/v1/frame/match?x=1", "", "/frame/match", true},
      {"/q/v1/frame/trymatch", "", "/frame/match", false},
      {"/frame/match", "", "/frame/match", false},
      {"/other", "Host: x\r\nRequest URL: q/v1/frame/match\r\n", "/frame/match", true},
      {nullptr, "Request URL: q/v1/frame/match", "/frame/match", true},
      {"/other", "Request URL: /q/v1/frame/match\r\n", "/frame/match", false},
      {nullptr, nullptr, "/frame/match", false},
  };
  ExpectMatches(Helper::IsValidRequestURL, cases);
}

TEST(LarchmerePluginHelperMatchTest, MethodMatchesExactlyOrThroughPreflightHeader) {
  const MatchCase cases[] = {
      {"POST", "", "POST", true},
      {"GET", "", "POST", false},
      {"post", "", "POST", false},
      {"OPTIONS", "Origin: x\r\nAccess-Control-Request-Method: POST\r\n", "POST", true},
      {"OPTIONS", "Access-Control-Request-Method: GET\r\n", "POST", false},
      {"OPTIONS", "Origin: x\r\n", "POST", false},
      {"OPTIONS", nullptr, "POST", false},
      {nullptr, "Access-Control-Request-Method: POST", "POST", false},
      {"POST", "", nullptr, false},
  };
  ExpectMatches(Helper::IsValidRequestMethd, cases);
}

TEST(LarchmerePluginHelperMatchTest, HeaderSanityAndTextComparisonsTolerateNull) {
  EXPECT_TRUE(Helper::IsValidHeader("Content-Type: application/json\r\n"));
  EXPECT_TRUE(Helper::IsValidHeader("Origin: https://app.keystead.com\r\n"));
  EXPECT_FALSE(Helper::IsValidHeader("Accept: text/html\r\n"));
  EXPECT_FALSE(Helper::IsValidHeader(nullptr));

  EXPECT_TRUE(Helper::isEquals("GET", "GET"));
  EXPECT_FALSE(Helper::isEquals("GET", "GET "));
  EXPECT_FALSE(Helper::isEquals(nullptr, "GET"));
  EXPECT_FALSE(Helper::isEquals("GET", nullptr));

  EXPECT_TRUE(Helper::isPresent("a/q/v1/tm", "q/v1"));
  EXPECT_FALSE(Helper::isPresent("a/q/v2/tm", "q/v1"));
  EXPECT_FALSE(Helper::isPresent(nullptr, "q/v1"));
  EXPECT_FALSE(Helper::isPresent("q/v1", nullptr));
}

// --- Correlation ids ---

struct CorrelationCase {
  std::string headers;
  std::string id;
  bool valid;
  bool forceStop;
};

class LarchmerePluginHelperCorrelationTest : public testing::TestWithParam<CorrelationCase> {};

TEST_P(LarchmerePluginHelperCorrelationTest, ReadsAndChecksTheId) {
  const CorrelationCase& c = GetParam();
  const std::string id = Helper::GetQCorrelationId(c.headers.c_str());
  EXPECT_EQ(id, c.id);
  EXPECT_EQ(Helper::IsValidQCorrelationId(id), c.valid);
  EXPECT_EQ(Helper::IsForceStop(id), c.forceStop);
}

const std::string kId43 = "QCID" + std::string(35, 'a') + "QCID";
const std::string kId45 = "QCID" + std::string(37, 'a') + "QCID";

INSTANTIATE_TEST_SUITE_P(
    Cases, LarchmerePluginHelperCorrelationTest,
    testing::Values(
        CorrelationCase{std::string("Caller: LOCAL\r\nQ-Correlation-Id: ") + kValidId +
                            "\r\nLiveness: NONE\r\n",
                        kValidId, true, false},
        CorrelationCase{"Q-Correlation-Id: " + kId43 + "\r\n", kId43, false, false},
        CorrelationCase{"Q-Correlation-Id: " + kId45 + "\r\n", kId45, false, false},
        CorrelationCase{std::string("Q-Correlation-Id: ") + Helper::kForceStopId + "\r\n",
                        Helper::kForceStopId, true, true},
        CorrelationCase{"Caller: LOCAL\r\n", "", false, false},
        // '.' stops at CR and LF: the marks must stand on one line.
        CorrelationCase{"A: QCIDabc\r\nB: defQCID\r\n", "", false, false},
        CorrelationCase{"A: QCIDab\rcdQCID\n", "", false, false},
        // Greedy: from the first mark to the last mark of that line.
        CorrelationCase{"A: QCIDaQCID QCIDbQCID\r\nB: QCIDcQCID", "QCIDaQCID QCIDbQCID", false,
                        false},
        CorrelationCase{"A: QCID only\r\nB: QCIDxQCID\r\n", "QCIDxQCID", false, false}));

TEST(LarchmerePluginHelperCorrelationNullTest, NullHeadersGiveNoId) {
  EXPECT_EQ(Helper::GetQCorrelationId(nullptr), "");
}

// --- Caller, liveness, stream and preview ---

struct CallerCase {
  const char* headers;
  const char* caller;
  int type;
};

class LarchmerePluginHelperCallerTest : public testing::TestWithParam<CallerCase> {};

TEST_P(LarchmerePluginHelperCallerTest, ReadsCallerAndItsType) {
  const CallerCase& c = GetParam();
  EXPECT_EQ(Helper::GetCallerFromHeader(c.headers), c.caller);
  EXPECT_EQ(Helper::GetCallerType(c.headers), c.type);
  EXPECT_EQ(Helper::IsHybridCaller(c.headers), c.type == kCallerHybrid);
  EXPECT_EQ(Helper::IsRemotePsiCaller(c.headers), std::string(c.caller) == "REMOTE_PSI_25");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LarchmerePluginHelperCallerTest,
    testing::Values(CallerCase{"Caller: REMOTE_PSI_25\r\n", "REMOTE_PSI_25", kCallerRemote},
                    CallerCase{"Caller: REMOTE\r\n", "REMOTE", kCallerRemote},
                    CallerCase{"Caller: HYBRID\r\n", "HYBRID", kCallerHybrid},
                    CallerCase{"Origin: x\r\nCaller:\tLOCAL", "LOCAL", kCallerLocal},
                    CallerCase{"Caller: remote\r\n", "", kCallerRemote},
                    CallerCase{"Caller: OTHER\r\nCaller: HYBRID\r\n", "HYBRID", kCallerHybrid},
                    CallerCase{"Origin: x\r\n", "", kCallerRemote},
                    CallerCase{nullptr, "", kCallerRemote}));

TEST(LarchmerePluginHelperHeaderWordTest, LivenessPrefersTheLongerWordAndFallsBack) {
  struct Case {
    const char* headers;
    SDK_Livenesstype expected;
  };
  const Case cases[] = {
      {"Liveness: NONE\r\n", Corvane::QAV::SDK::NONE},
      {"Liveness: BLINK_STRICT\r\n", Corvane::QAV::SDK::BLINK_STRICT},
      {"Liveness: BLINK\r\n", Corvane::QAV::SDK::BLINK},
      {"Liveness:PASSIVE", Corvane::QAV::SDK::PASSIVE},
      {"Liveness: blink\r\n", Corvane::QAV::SDK::PASSIVE},
      {"Caller: LOCAL\r\n", Corvane::QAV::SDK::PASSIVE},
      {nullptr, Corvane::QAV::SDK::PASSIVE},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Helper::GetLivenessFromHeader(c.headers, Corvane::QAV::SDK::PASSIVE), c.expected)
        << (c.headers ? c.headers : "(null)");
  }
}

TEST(LarchmerePluginHelperHeaderWordTest, StreamTypeDefaultsToImage) {
  EXPECT_EQ(Helper::GetStreamTypeFromHeader("Caller: LOCAL\r\n"), "IMAGE");
  EXPECT_TRUE(Helper::IsStreamingImage("Caller: LOCAL\r\n"));
  EXPECT_TRUE(Helper::IsStreamingImage(nullptr));
  EXPECT_TRUE(Helper::IsStreamingImage("StreamType: IMAGE\r\n"));
  EXPECT_EQ(Helper::GetStreamTypeFromHeader("StreamType: COORDS\r\n"), "COORDS");
  EXPECT_FALSE(Helper::IsStreamingImage("StreamType: COORDS\r\n"));
}

TEST(LarchmerePluginHelperHeaderWordTest, PreviewTypeMapsEveryWordAndDefaultsToNormal) {
  struct Case {
    const char* headers;
    int expected;
  };
  const Case cases[] = {
      {"PreviewType: NORMAL\r\n", kPreviewNormal},
      {"PreviewType: OBFUSCATED\r\n", kPreviewObfuscated},
      {"PreviewType: DOTS\r\n", kPreviewDots},
      {"PreviewType: OBFUSCATED_DOTS\r\n", kPreviewObfuscatedDots},
      {"Caller: LOCAL\r\n", kPreviewNormal},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Helper::GetPreviewTypeFromHeader(c.headers), c.expected) << c.headers;
  }
}

// --- RAT header ---

TEST(LarchmerePluginHelperJwsTokenTest, TakesTheFirstTagLineWithoutWhiteSpace) {
  struct Case {
    const char* headers;
    const char* token;
  };
  const Case cases[] = {
      {"Caller: LOCAL\r\nx-jwstoken: abc.def\r\nOrigin: x\r\n", "abc.def"},
      {"x-jwstoken: ab c\td\r\n", "abcd"},
      {"x-jwstoken: first\r\nx-jwstoken: second\r\n", "first"},
      {"X-JwsToken: abc\r\n", ""},
      {"x-jwstoken: \r\n", ""},
      {"Caller: LOCAL\r\n", ""},
      {nullptr, ""},
      // Bytes above 0x7F are not white space.
      {"x-jwstoken: a\xA0"
       "b\r\n",
       "a\xA0"
       "b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Helper::GetJwsTokenFromHeader(c.headers), c.token)
        << (c.headers ? c.headers : "(null)");
  }
}

// --- URL query values ---

TEST(LarchmerePluginHelperQueryTest, ReadsEmailAndIdFromTheUrl) {
  struct Case {
    const char* url;
    const char* email;
    const char* id;
  };
  const Case cases[] = {
      {"/q/v1/settings?email=john%40example.com&id=7", "john@example.com", "7"},
      {"/q/v1/users/remote?EMAIL=a%40b.c", "a@b.c", ""},
      {"/q/v1/sync?Id=9&eMail=x%40y.z&more=1", "x@y.z", "9"},
      // The id head also matches the end of a longer parameter name.
      {"/q/v1/tm?userid=5&x=1", "", "5"},
      {"/q/v1/tm", "", ""},
      {nullptr, "", ""},
      {"/q/v1/tm?email=\xC3\xA9t\xC3\xA9%40x.fr", "\xC3\xA9t\xC3\xA9@x.fr", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Helper::GetEmail(c.url), c.email) << (c.url ? c.url : "(null)");
    EXPECT_EQ(Helper::GetId(c.url), c.id) << (c.url ? c.url : "(null)");
  }
}

// --- Request body ---

// A heap copy of text without its terminating NUL unless asked, so that the
// address sanitizer sees any read past it.
std::unique_ptr<char[]> ExactBuffer(const std::string& text) {
  auto buffer = std::make_unique<char[]>(text.size());
  std::memcpy(buffer.get(), text.data(), text.size());
  return buffer;
}

TEST(LarchmerePluginHelperBodyTest, ReadBodyStaysInsideLengthAndTerminator) {
  const std::string terminated("{\"a\":1}", sizeof("{\"a\":1}"));  // NUL included
  const auto buffer = ExactBuffer(terminated);
  const char* text = buffer.get();
  EXPECT_EQ(Helper::ReadBody(7, text), "{\"a\":1}");
  EXPECT_EQ(Helper::ReadBody(3, text), "{\"a");
  EXPECT_EQ(Helper::ReadBody(1000, text), "{\"a\":1}");
  EXPECT_EQ(Helper::ReadBody(INT_MAX, text), "{\"a\":1}");
  EXPECT_EQ(Helper::ReadBody(0, text), "");
  EXPECT_EQ(Helper::ReadBody(-5, text), "");
  EXPECT_EQ(Helper::ReadBody(INT_MIN, text), "");
  EXPECT_EQ(Helper::ReadBody(10, nullptr), "");

  const auto unterminated = ExactBuffer("abcdef");
  EXPECT_EQ(Helper::ReadBody(6, unterminated.get()), "abcdef");
  EXPECT_EQ(Helper::ReadBody(4, unterminated.get()), "abcd");
}

TEST(LarchmerePluginHelperBodyTest, BodyHelpersRespectBoundsOfTheBuffer) {
  const std::string body = R"({"cloudAction":1,"userData":{"email":"a@b.c"}})";
  const auto buffer = ExactBuffer(body + '\0');
  EXPECT_EQ(Helper::GetCloudActionFromRequest(INT_MAX, buffer.get()), 1);
  EXPECT_EQ(Helper::GetEmailFromMatchRequest(INT_MAX, buffer.get()), "a@b.c");
  EXPECT_EQ(Helper::GetEmailFromEnrollRequest(-1, buffer.get()), "");
  EXPECT_EQ(Helper::GetCloudActionFromRequest(static_cast<int>(body.size()), nullptr), 0);
}

struct BodyCase {
  std::string body;
  std::string transactionId;
  bool reEnroll;
  std::string email;
  int cloudAction;
};

class LarchmerePluginHelperBodyValuesTest : public testing::TestWithParam<BodyCase> {};

TEST_P(LarchmerePluginHelperBodyValuesTest, ReadsMembersOrDefaults) {
  const BodyCase& c = GetParam();
  const int length = static_cast<int>(c.body.size());
  const char* content = c.body.c_str();
  EXPECT_EQ(Helper::GetOauthTransactionIdFromRequest(length, content), c.transactionId);
  EXPECT_EQ(Helper::GetReEnrollFromRequest(length, content), c.reEnroll);
  EXPECT_EQ(Helper::GetEmailFromEnrollRequest(length, content), c.email);
  EXPECT_EQ(Helper::GetEmailFromMatchRequest(length, content), c.email);
  EXPECT_EQ(Helper::GetCloudActionFromRequest(length, content), c.cloudAction);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LarchmerePluginHelperBodyValuesTest,
    testing::Values(
        BodyCase{
            R"({"userData":{"oTransId":"tx1","reEnroll":true,"email":"a@b.c"},"cloudAction":2})",
            "tx1", true, "a@b.c", 2},
        BodyCase{R"({"userData":{"email":"a@b.c"}})", "", false, "a@b.c", 0},
        BodyCase{R"([{"userData":{"email":"a@b.c"},"cloudAction":1}])", "", false, "", 0},
        BodyCase{"null", "", false, "", 0}, BodyCase{"", "", false, "", 0},
        BodyCase{"{\"cloudAction\":1", "", false, "", 0},
        BodyCase{R"(/* c */ {"cloudAction":1})", "", false, "", 0},
        BodyCase{R"({"cloudAction":3})", "", false, "", 0},
        BodyCase{R"({"cloudAction":-1})", "", false, "", 0},
        BodyCase{R"({"cloudAction":1})", "", false, "", 1},
        BodyCase{R"({"cloudAction":"1"})", "", false, "", 0},
        BodyCase{R"({"cloudAction":4294967297})", "", false, "", 0},
        // Members of the wrong type read as their default.
        BodyCase{R"({"userData":"text"})", "", false, "", 0},
        BodyCase{R"({"userData":{"oTransId":{},"reEnroll":"yes","email":[1]}})", "", false, "", 0},
        // What the strict reader refuses: trailing commas and a byte-order mark.
        BodyCase{R"({"userData":{"email":"a@b.c"},"cloudAction":1,})", "", false, "", 0},
        BodyCase{R"({"userData":{"email":"a@b.c",}})", "", false, "", 0},
        BodyCase{"\xEF\xBB\xBF{\"cloudAction\":1}", "", false, "", 0},
        // Nesting deeper than the reader allows.
        BodyCase{std::string(100000, '[') + std::string(100000, ']'), "", false, "", 0},
        BodyCase{"{\"userData\":{\"email\":\"\xFF\xFE\"}}\xFF", "", false, "\xFF\xFE", 0}));

// --- Hostile headers ---

TEST(LarchmerePluginHelperHostileInputTest, MegabyteLinesAreScannedWithoutFailing) {
  const std::string huge(1 << 20, 'C');
  const std::string spaces(1 << 20, ' ');
  const std::string headers = "Cookie: " + huge + "\r\nCaller:" + spaces + "HYBRID\r\n" +
                              "Liveness: " + huge + "\r\nQ-Correlation-Id: " + kValidId +
                              "\r\nx-jwstoken: " + huge + "\r\n";
  EXPECT_EQ(Helper::GetQCorrelationId(headers.c_str()), kValidId);
  EXPECT_EQ(Helper::GetCallerType(headers.c_str()), kCallerHybrid);
  EXPECT_EQ(Helper::GetLivenessFromHeader(headers.c_str(), Corvane::QAV::SDK::PASSIVE),
            Corvane::QAV::SDK::PASSIVE);
  EXPECT_EQ(Helper::GetJwsTokenFromHeader(headers.c_str()), huge);

  const std::string longId = "A: QCID" + huge + "QCID\r\n";
  EXPECT_EQ(Helper::GetQCorrelationId(longId.c_str()).size(), huge.size() + 8);
  const std::string url = "/q/v1/tm?email=" + huge + "%40x&id=" + huge;
  EXPECT_EQ(Helper::GetEmail(url.c_str()), huge + "@x");
  EXPECT_EQ(Helper::GetId(url.c_str()), huge);
}

TEST(LarchmerePluginHelperHostileInputTest, HighBytesAreOrdinaryText) {
  const std::string headers =
      "X-Name: \xFF\xFE\x80\r\nCaller: \xC3\x89LOCAL\r\nLiveness:\xA0"
      "BLINK\r\nStreamType: COORDS\xFF\r\n";
  EXPECT_EQ(Helper::GetCallerFromHeader(headers.c_str()), "");
  EXPECT_EQ(Helper::GetLivenessFromHeader(headers.c_str(), Corvane::QAV::SDK::PASSIVE),
            Corvane::QAV::SDK::PASSIVE);
  EXPECT_FALSE(Helper::IsStreamingImage(headers.c_str()));
  EXPECT_EQ(Helper::GetId("\xFF\xC9I\xC4=\xFFid=\xFE"), "\xFE");
}

}  // namespace
}  // namespace corvane::larchmere::plugin::common
