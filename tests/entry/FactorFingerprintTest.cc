// The fingerprint factor endpoints through the plug-in's exports: the
// identity-token header, the engine's arguments and the conversion of its
// results.
#include <string>
#include <vector>

#include "FactorTestSupport.h"

namespace corvane::larchmere::plugin::entry::test {
namespace {

constexpr char kAddFactor[] = "/fingerprint/addfactor";
constexpr char kAuthenticate[] = "/fingerprint/authenticate";
constexpr char kFactorBody[] = R"({"email":"ana@example.com","clientId":"c1","culture":"en-US"})";

using FingerprintTest = FactorTest;

TEST_F(FingerprintTest, IdTokenIsTakenFromItsHeaderLine) {
  struct Case {
    const char* name;
    std::string headerLines;
    std::string token;  // empty: the engine must not be called
  };
  const std::vector<Case> cases = {
      {"line feed ends the value", "x-idToken: tok-1\nAccept: */*\n", "tok-1"},
      {"carriage return stays in the value", "x-idToken: tok-1\r\nAccept: */*\r\n", "tok-1\r"},
      {"last line without an end", "x-idToken: tok-1", "tok-1"},
      {"the first of two headers wins", "x-idToken: first\r\nx-idToken: second\r\n", "first\r"},
      {"no header", "Accept: */*\r\n", ""},
      {"tag is the last text", "x-idToken: ", ""},
      {"empty value", "x-idToken: \r\nAccept: */*\r\n", ""},
      {"no space after the tag: the next line is not the value", "x-idToken:tok\r\nAccept: x\r\n",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::ClearCalls();
    const Answer answer = Post(kAddFactor, kFactorBody, HeadersWith(c.headerLines));
    if (c.token.empty()) {
      EXPECT_EQ(answer.status, 400);
      EXPECT_EQ(answer.body, "{}");
      EXPECT_EQ(sim::CallCount("AddFingerprintFactor"), 0u);
    } else {
      EXPECT_EQ(answer.status, 200);
      EXPECT_EQ(OnlyCallTo("AddFingerprintFactor"),
                (std::vector<std::string>{"ana@example.com", "c1", "en-US", c.token}));
    }
  }
}

TEST_F(FingerprintTest, AddFactorAnswersTheEngineStatus) {
  struct Case {
    const char* name;
    int engineResult;
    int factorStatus;
    unsigned short status;
    std::string body;
  };
  const std::vector<Case> cases = {
      {"added", 0, 0, 200, "{\"success\":\"true\"}\n"},
      {"engine fine, status not", 0, 101, 500,
       "{\"error\":{\"code\":101,\"description\":\"FP_DB_ERROR\"},\"success\":\"false\"}\n"},
      {"engine failed", 7, 0, 500,
       "{\"error\":{\"code\":0,\"description\":\"FP_AUTH_OK\"},\"success\":\"false\"}\n"},
      {"unknown status", 0, 42, 500,
       "{\"error\":{\"code\":42,\"description\":\"\"},\"success\":\"false\"}\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SetResult("AddFingerprintFactor", c.engineResult);
    sim::Configure([&](sim::Config& config) { config.fingerprintFactorStatus = c.factorStatus; });
    const Answer answer = Post(kAddFactor, kFactorBody, WithIdToken());
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.body, c.body);
  }
}

TEST_F(FingerprintTest, BadBodiesNeverReachTheEngine) {
  const std::string invalidJson = ErrorDocument(0, 1001, "Invalid Json");
  struct Case {
    const char* name;
    const char* path;
    std::string headers;
    std::string body;
    std::string answer;
  };
  const std::vector<Case> cases = {
      {"add without token, invalid JSON", kAddFactor, kJsonHeaders, "{oops", "{}"},
      {"add with token, invalid JSON", kAddFactor, WithIdToken(), "{oops", invalidJson},
      {"add with token, bare number", kAddFactor, WithIdToken(), "1", invalidJson},
      {"add with token, array", kAddFactor, WithIdToken(), "[1]", "{}"},
      {"add with token, trailing comma", kAddFactor, WithIdToken(), R"({"email":"e",})",
       invalidJson},
      {"authenticate, invalid JSON", kAuthenticate, kJsonHeaders, "{oops", invalidJson},
      {"authenticate, bare string", kAuthenticate, kJsonHeaders, "\"a\"", invalidJson},
      {"authenticate, array", kAuthenticate, kJsonHeaders, "[]", "{}"},
      {"authenticate, trailing comma", kAuthenticate, kJsonHeaders, R"({"email":"e",})",
       invalidJson},
      {"authenticate, byte-order mark", kAuthenticate, kJsonHeaders, "\xEF\xBB\xBF{}", invalidJson},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Answer answer = Post(c.path, c.body, c.headers);
    EXPECT_EQ(answer.status, 400);
    EXPECT_EQ(answer.body, c.answer);
  }
  EXPECT_EQ(sim::CallCount("AddFingerprintFactor"), 0u);
  EXPECT_EQ(sim::CallCount("AuthenticateFingerprint"), 0u);
}

TEST_F(FingerprintTest, AuthenticatePassesTheSixTextsInOrder) {
  const Answer answer = Post(kAuthenticate, R"({"email":"e","clientId":"c","culture":"u",
      "oauthTransId":"t","nonce":"n","version":"v","extra":1})");
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(OnlyCallTo("AuthenticateFingerprint"),
            (std::vector<std::string>{"e", "c", "u", "t", "n", "v"}));
}

TEST_F(FingerprintTest, AuthenticateConvertsTheCloudAnswer) {
  const std::string fullAnswer = R"({"idToken":"id-1","ProfileUId":77,"RetryCount":2,
      "ResponseResult":{"TransactionId":"tx-9"},"cloudKey":{"k":"v"},"isTrustedDevice":true,
      "riskAnalysisInfo":{"score":3},"other":"dropped"})";
  const std::string errorAnswer =
      R"({"ResponseResult":{"ErrorCode":4011,"ErrorDescription":"Locked"}})";
  struct Case {
    const char* name;
    int engineResult;
    int matchStatus;
    std::string response;
    unsigned short status;
    std::string body;
  };
  const std::vector<Case> cases = {
      {"success", 0, 0, fullAnswer, 200,
       R"({"TransactionId":"tx-9","cloudKey":{"k":"v"},"idToken":"id-1","isTrustedDevice":true,)"
       R"("profileUID":77,"retryCount":2,"riskAnalysisInfo":{"score":3},"success":"true"})"
       "\n"},
      {"success with nothing in the answer", 0, 0, "{}", 200,
       R"({"TransactionId":"","cloudKey":"","idToken":"","isTrustedDevice":false,)"
       R"("profileUID":"","retryCount":0,"riskAnalysisInfo":null,"success":"true"})"
       "\n"},
      {"error in the cloud answer, engine fine", 0, 6, errorAnswer, 200,
       R"({"error":{"code":4011,"description":"Locked","source":4},"success":"false"})"
       "\n"},
      {"error without details", 3, 6, "{}", 500,
       R"({"error":{"code":"","description":"","source":4},"success":"false"})"
       "\n"},
      {"engine failed, empty answer", 9, 100, "", 500,
       R"({"error":{"code":"100","description":"FP_SYSTEM_ERROR","source":4},"success":"false"})"
       "\n"},
      {"unparsable answer, unknown status", 9, 42, "not json", 500,
       R"({"error":{"code":"42","description":"","source":4},"success":"false"})"
       "\n"},
      {"answer that is no object", 0, 106, "[1]", 200,
       R"({"error":{"code":"106","description":"FP_UNAUTHORIZED_ERROR","source":4},)"
       R"("success":"false"})"
       "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SetResult("AuthenticateFingerprint", c.engineResult);
    sim::Configure([&](sim::Config& config) {
      config.fingerprintResult.status = c.matchStatus;
      config.fingerprintResult.response = c.response;
    });
    const Answer answer = Post(kAuthenticate, R"({"email":"ana@example.com"})");
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.body, c.body);
  }
}

}  // namespace
}  // namespace corvane::larchmere::plugin::entry::test
