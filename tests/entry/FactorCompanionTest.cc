// The companion-device endpoints through the plug-in's exports: what reaches
// the engine and how its results are converted.
#include <string>
#include <vector>

#include "FactorTestSupport.h"

namespace corvane::larchmere::plugin::entry::test {
namespace {

constexpr char kAddDevice[] = "/ca/adddevice";
constexpr char kAuthenticate[] = "/ca/authenticate";
constexpr char kPairedDevices[] = "/ca/getnewpaireddevices";
constexpr char kLogout[] = "/ca/logout";

using CompanionTest = FactorTest;

// A row of the tables of the endpoints that convert a cloud answer.
struct CloudAnswerCase {
  const char* name;
  int engineResult;
  sdk::MatchResult result;
  unsigned short status;
  std::string body;
};

TEST_F(CompanionTest, AddDeviceWithoutIdTokenNeverReachesTheEngine) {
  for (const std::string body : {R"({"email":"a@b.c"})", "{oops"}) {
    SCOPED_TRACE(body);
    const Answer answer = Post(kAddDevice, body);
    EXPECT_EQ(answer.status, 400);
    EXPECT_EQ(answer.body, "{}");
  }
  for (const std::string body : {"{oops", R"({"email":"a@b.c",})"}) {
    SCOPED_TRACE(body);
    const Answer invalid = Post(kAddDevice, body, WithIdToken());
    EXPECT_EQ(invalid.status, 400);
    EXPECT_EQ(invalid.body, ErrorDocument(0, 1001, "Invalid Json"));
  }
  EXPECT_EQ(sim::CallCount("AddCADevice"), 0u);
}

TEST_F(CompanionTest, AddDevicePassesTheDeviceAsJsonText) {
  struct Case {
    const char* name;
    std::string body;
    std::string device;
  };
  const std::vector<Case> cases = {
      {"object", R"({"email":"e","clientId":"c","culture":"u","proximityDevice":{"id":"d1"}})",
       "{\"id\":\"d1\"}\n"},
      {"text", R"({"email":"e","clientId":"c","culture":"u","proximityDevice":"d1"})", "\"d1\"\n"},
      {"absent", R"({"email":"e","clientId":"c","culture":"u"})", "\"\"\n"},
  };
  sim::Configure([](sim::Config& config) { config.addCADeviceResult = {0, "{}"}; });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::ClearCalls();
    EXPECT_EQ(Post(kAddDevice, c.body, WithIdToken("tok-7")).status, 200);
    EXPECT_EQ(OnlyCallTo("AddCADevice"),
              (std::vector<std::string>{"e", c.device, "c", "u", "tok-7\r"}));
  }
}

TEST_F(CompanionTest, AddDeviceSucceedsOnlyWhenResultAndStatusAreZero) {
  const std::vector<CloudAnswerCase> cases = {
      {"paired",
       0,
       {0, R"({"deviceId":"d1"})"},
       200,
       R"({"response":{"deviceId":"d1"},"success":"true"})"
       "\n"},
      {"engine fine, status not",
       0,
       {103, ""},
       500,
       R"({"error":{"code":"103","description":"CA_SET_CONTEXT_POLICY_ERROR","source":4},)"
       R"("success":"false"})"
       "\n"},
      {"engine failed",
       5,
       {0, R"({"a":1})"},
       500,
       R"({"response":{"a":1},"success":"true"})"
       "\n"},
  };
  for (const CloudAnswerCase& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SetResult("AddCADevice", c.engineResult);
    sim::Configure([&](sim::Config& config) { config.addCADeviceResult = c.result; });
    const Answer answer = Post(kAddDevice, R"({"email":"e"})", WithIdToken());
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.body, c.body);
  }
}

TEST_F(CompanionTest, AuthenticateConvertsTheCloudAnswer) {
  const std::vector<CloudAnswerCase> cases = {
      {"success",
       0,
       {0, R"({"a":1})"},
       200,
       R"({"response":{"a":1},"success":"true"})"
       "\n"},
      {"error in the cloud answer",
       0,
       {7, R"({"ResponseResult":{"ErrorCode":12,)"
           R"("ErrorDescription":"Denied"}})"},
       200,
       R"({"error":{"code":"12","description":"Denied","source":4},"success":"false"})"
       "\n"},
      {"error without details",
       4,
       {7, "{}"},
       500,
       R"({"error":{"code":"","description":"","source":4},"success":"false"})"
       "\n"},
      {"engine failed, empty answer",
       1,
       {7682, ""},
       500,
       R"({"error":{"code":"7682","description":"CA_DEVICE_NOT_FOUND","source":4},)"
       R"("success":"false"})"
       "\n"},
      {"unparsable answer, unknown code",
       1,
       {55, "<html>"},
       500,
       R"({"error":{"code":"55","description":"","source":4},"success":"false"})"
       "\n"},
  };
  for (const CloudAnswerCase& c : cases) {
    SCOPED_TRACE(c.name);
    sim::ClearCalls();
    sim::SetResult("AuthenticateWithCADevice", c.engineResult);
    sim::Configure([&](sim::Config& config) { config.caAuthenticationResult = c.result; });
    const Answer answer = Post(kAuthenticate, R"({"email":"e","clientId":"c","culture":"u"})");
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.body, c.body);
    EXPECT_EQ(OnlyCallTo("AuthenticateWithCADevice"), (std::vector<std::string>{"e", "c", "u"}));
  }
}

TEST_F(CompanionTest, AuthenticateRefusesBodiesThatAreNoObject) {
  EXPECT_EQ(Post(kAuthenticate, "{oops").body, ErrorDocument(0, 1001, "Invalid Json"));
  EXPECT_EQ(Post(kAuthenticate, R"({"email":"e",})").body, ErrorDocument(0, 1001, "Invalid Json"));
  const Answer array = Post(kAuthenticate, "[]");
  EXPECT_EQ(array.status, 400);
  EXPECT_EQ(array.body, "{}");
  EXPECT_EQ(sim::CallCount("AuthenticateWithCADevice"), 0u);
}

TEST_F(CompanionTest, NewPairedDevicesPassesTheEngineAnswerThrough) {
  struct Case {
    const char* name;
    std::string body;
    int engineResult;
    std::string engineAnswer;
    std::vector<std::string> engineArgs;  // empty: not called
    unsigned short status;
    std::string answer;
  };
  const std::vector<Case> cases = {
      {"devices",
       R"({"devices":["d1"]})",
       0,
       R"([{"id":"d2"}])",
       {"[\"d1\"]\n"},
       200,
       R"({"devices":[{"id":"d2"}]})"
       "\n"},
      {"no devices member",
       "{}",
       0,
       "[]",
       {"\"\"\n"},
       200,
       R"({"devices":[]})"
       "\n"},
      {"engine failed",
       R"({"devices":[]})",
       5,
       R"([{"id":"d2"}])",
       {"[]\n"},
       500,
       R"({"devices":[]})"
       "\n"},
      {"unparsable engine answer",
       R"({"devices":[]})",
       0,
       "nope",
       {"[]\n"},
       500,
       R"({"devices":[]})"
       "\n"},
      {"invalid body", "{oops", 0, "[]", {}, 400, ErrorDocument(0, 1001, "Invalid Json")},
      {"trailing comma in the body",
       R"({"devices":[],})",
       0,
       "[]",
       {},
       400,
       ErrorDocument(0, 1001, "Invalid Json")},
      {"array body", "[1]", 0, "[]", {}, 500, "{}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::ClearCalls();
    sim::SetResult("GetNewPairedDevices", c.engineResult);
    sim::Configure([&](sim::Config& config) { config.newPairedDevicesAnswer = c.engineAnswer; });
    const Answer answer = Post(kPairedDevices, c.body);
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.body, c.answer);
    EXPECT_EQ(OnlyCallTo("GetNewPairedDevices"), c.engineArgs);
  }
}

TEST_F(CompanionTest, LogoutAlwaysAcknowledgesAndCallsNothing) {
  for (const std::string body : {"", "{}", "{oops"}) {
    SCOPED_TRACE(body);
    const Answer answer = Post(kLogout, body);
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "{\"success\":\"true\"}\n");
  }
  // Only the router's readiness check and registrations may have asked the engine anything.
  for (const sim::Call& call : sim::Calls()) {
    EXPECT_THAT(call.operation, testing::AnyOf("IsAlive", "GetEngineSetting")) << call.operation;
  }
}

}  // namespace
}  // namespace corvane::larchmere::plugin::entry::test
