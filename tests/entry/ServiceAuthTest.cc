// "/authenticate" and "/revoke" through the plug-in's exports.
#include <string>
#include <vector>

#include "tests/entry/ServiceTestSupport.h"

namespace corvane::larchmere::plugin::test {
namespace {

constexpr char kVerified[] = "{\"response\":\"RAT verification successful.\"}\n";
constexpr char kNotVerified[] = "{\"response\":\"RAT verification failure.\"}\n";
constexpr char kRevoked[] = "{\"response\":\"RevokeRat successful.\"}\n";
constexpr char kNotRevoked[] = "{\"response\":\"RevokeRat failure.\"}\n";

using ServiceAuthTest = ServiceTest;

TEST_F(ServiceAuthTest, VerifiedRatAppendsExposeAndTokenLinesAfterTheCorsBlock) {
  sim::Configure([](sim::Config& config) { config.verifyRatToken = "signed.token-42"; });
  // Every blank of the line goes, inner ones too.
  const std::string headers = WithHeader("x-jwstoken:  rat part");

  const ServiceResponse response = Send("POST", "/authenticate", headers, "{\"unused\":1}");

  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.body, kVerified);
  EXPECT_EQ(response.headers, CorsBlock() +
                                  "Access-Control-Expose-Headers: x-jwstoken\r\n"
                                  "x-jwstoken: signed.token-42\r\n");
  const std::vector<sim::Call> calls = sim::CallsTo("VerifyRat");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{"ratpart", "0"}));
}

struct AuthFailureCase {
  const char* name;
  std::string headers;
  int verifyResult;  // 0: the stand-in's own answer (87 for an empty RAT)
  unsigned short startStatus;
  unsigned short expectedStatus;
  std::string expectedRat;
};

using ServiceAuthFailureTest = ServiceCaseTest<AuthFailureCase>;

TEST_P(ServiceAuthFailureTest, AnswersFailureWithoutTokenHeaders) {
  const AuthFailureCase& test = GetParam();
  SetEngineResult("VerifyRat", test.verifyResult);

  const ServiceResponse response =
      Send("POST", "/authenticate", test.headers, "", test.startStatus);

  EXPECT_EQ(response.status, test.expectedStatus);
  EXPECT_EQ(response.body, kNotVerified);
  EXPECT_EQ(response.headers, CorsBlock());
  EXPECT_EQ(FirstArgs("VerifyRat"), std::vector<std::string>{test.expectedRat});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceAuthFailureTest,
    ::testing::Values(
        AuthFailureCase{"EngineRefuses", WithHeader("x-jwstoken: bad"), 1450, 0, 403, "bad"},
        AuthFailureCase{"StatusAlready200IsKept", WithHeader("x-jwstoken: bad"), 1450, 200, 200,
                        "bad"},
        // A missing header is not refused early: the engine judges the empty RAT.
        AuthFailureCase{"MissingHeaderGoesToTheEngine", kJsonHeaders, 0, 0, 403, ""},
        // The tag is case-sensitive.
        AuthFailureCase{"CapitalisedTagIsNotRead", WithHeader("X-JWSTOKEN: bad"), 0, 0, 403, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct RevokeCase {
  const char* name;
  std::string headers;
  bool hostAnswer;
  unsigned short startStatus;
  unsigned short expectedStatus;
  std::string expectedBody;
  std::vector<std::string> expectedRevoked;
};

using ServiceRevokeTest = ServiceCaseTest<RevokeCase>;

TEST_P(ServiceRevokeTest, AsksTheHostOnlyForAPresentRat) {
  const RevokeCase& test = GetParam();
  serviceHost.revokeAnswer = test.hostAnswer;

  const ServiceResponse response = Send("POST", "/revoke", test.headers, "", test.startStatus);

  EXPECT_EQ(response.status, test.expectedStatus);
  EXPECT_EQ(response.body, test.expectedBody);
  EXPECT_EQ(response.headers, CorsBlock());
  EXPECT_EQ(serviceHost.Revoked(), test.expectedRevoked);
  EXPECT_TRUE(sim::CallsTo("VerifyRat").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceRevokeTest,
    ::testing::Values(
        RevokeCase{"Revoked", WithHeader("x-jwstoken: r a t"), true, 0, 200, kRevoked, {"rat"}},
        RevokeCase{
            "HostRefuses", WithHeader("x-jwstoken: rat"), false, 0, 500, kNotRevoked, {"rat"}},
        RevokeCase{"MissingHeaderNeverReachesTheHost", kJsonHeaders, true, 0, 500, kNotRevoked, {}},
        RevokeCase{"StatusAlready200IsKept",
                   WithHeader("x-jwstoken: rat"),
                   false,
                   200,
                   200,
                   kNotRevoked,
                   {"rat"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::larchmere::plugin::test
