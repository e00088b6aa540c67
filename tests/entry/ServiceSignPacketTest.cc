// "/signpacket" through the plug-in's exports: header lines, body payload,
// errors, and the completion of marked packets with the enrolled frames.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "tests/entry/ServiceTestSupport.h"

namespace corvane::larchmere::plugin::test {
namespace {

constexpr char kSignError[] = "SignPacket Communication Error with QAVService";

// What the engine was asked to sign, in call order.
std::vector<std::string> SignedRequests() { return FirstArgs("SignPacket"); }

struct HeaderCase {
  const char* name;
  std::string answer;
  std::string expectedLines;
  std::string expectedBody;
};

using ServiceSignPacketHeaderTest = ServiceCaseTest<HeaderCase>;

TEST_P(ServiceSignPacketHeaderTest, TurnsHeaderValuesIntoSecurityTokenLines) {
  const HeaderCase& test = GetParam();
  sim::Configure([&](sim::Config& config) { config.signPacketAnswer = test.answer; });

  const ServiceResponse response = Send("POST", "/signpacket", kJsonHeaders, "{\"packet\":1}");

  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.headers, CorsBlock() + test.expectedLines);
  EXPECT_EQ(response.body, test.expectedBody);
  EXPECT_EQ(SignedRequests(), std::vector<std::string>{"{\"packet\":1}"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceSignPacketHeaderTest,
    ::testing::Values(
        HeaderCase{"NoNames", R"({"HeaderPayload":{},"BodyPayload":{ "b" : 2, "a" : [true] }})",
                   "Access-Control-Expose-Headers: \r\n", "{\"a\":[true],\"b\":2}\n"},
        HeaderCase{"OneName", R"({"HeaderPayload":{"Signature":"s1"},"BodyPayload":"text"})",
                   "Access-Control-Expose-Headers: SecurityToken-Signature\r\n"
                   "SecurityToken-Signature:s1\r\n",
                   "\"text\"\n"},
        HeaderCase{"TwoNamesAndNoBody", R"({"HeaderPayload":{"a":"x","b":"y z"}})",
                   "Access-Control-Expose-Headers: SecurityToken-a, SecurityToken-b\r\n"
                   "SecurityToken-a:x\r\nSecurityToken-b:y z\r\n",
                   "null\n"}),
    [](const auto& info) { return std::string(info.param.name); });

struct SignErrorCase {
  const char* name;
  std::string headers;
  std::string body;
  std::optional<std::string> answer;
  int signResult;
  unsigned short startStatus;
  unsigned short expectedStatus;
  int expectedSource;
  int expectedCode;
  const char* expectedDescription;  // null: the exception's own text
  bool engineCalled;
};

using ServiceSignPacketErrorTest = ServiceCaseTest<SignErrorCase>;

TEST_P(ServiceSignPacketErrorTest, AnswersTheErrorDocument) {
  const SignErrorCase& test = GetParam();
  sim::Configure([&](sim::Config& config) { config.signPacketAnswer = test.answer; });
  SetEngineResult("SignPacket", test.signResult);

  const ServiceResponse response =
      Send("POST", "/signpacket", test.headers, test.body, test.startStatus);

  EXPECT_EQ(response.status, test.expectedStatus);
  EXPECT_EQ(response.headers, CorsBlock());
  const Json::Value error = ParseJson(response.body)["error"];
  EXPECT_EQ(error["source"].asInt(), test.expectedSource);
  EXPECT_EQ(error["code"].asInt(), test.expectedCode);
  if (test.expectedDescription != nullptr) {
    EXPECT_EQ(error["description"].asString(), test.expectedDescription);
  } else {
    EXPECT_FALSE(error["description"].asString().empty());
  }
  EXPECT_EQ(sim::CallCount("SignPacket"), test.engineCalled ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceSignPacketErrorTest,
    ::testing::Values(SignErrorCase{"ShortCorrelationId",
                                    CorrelationHeaders("QCID" + std::string(35, 'a') + "QCID"),
                                    "{}", std::nullopt, 0, 0, 500, 0, 4, "Invalid Q-Correlation-Id",
                                    false},
                      SignErrorCase{"AnswerNotJson", kJsonHeaders, "{}", "signed, but not JSON", 0,
                                    0, 500, 0, 1001, "Invalid Json", true},
                      SignErrorCase{"AnswerWithTrailingComma", kJsonHeaders, "{}",
                                    R"({"HeaderPayload":{},"BodyPayload":{},})", 0, 0, 500, 0, 1001,
                                    "Invalid Json", true},
                      SignErrorCase{"EngineFails", kJsonHeaders, "{}", std::nullopt, 1450, 0, 500,
                                    4, 1450, kSignError, true},
                      SignErrorCase{"EngineFailsWhileStatusIs200", kJsonHeaders, "{}", std::nullopt,
                                    1450, 200, 200, 4, 1450, kSignError, true},
                      SignErrorCase{"HeaderPayloadNotAnObject", kJsonHeaders, "{}",
                                    R"({"HeaderPayload":["a"],"BodyPayload":{}})", 0, 0, 500, 0, 3,
                                    nullptr, true}),
    [](const auto& info) { return std::string(info.param.name); });

using ServiceSignPacketTest = ServiceTest;

TEST_F(ServiceSignPacketTest, MarkedPacketWithoutStoredFramesIsSignedAsSent) {
  const std::string body =
      R"({ "data": {"userData": {"faceData": [1]}}, "kind": "SIGNPACK_ENROLL_REQUEST" })";

  const ServiceResponse response = Send("POST", "/signpacket", CorrelationHeaders(), body);

  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(SignedRequests(), std::vector<std::string>{body});
}

// Runs an enrollment whose engine delivers `frameCount` processed frames and
// returns the stored enrollment response; the capture is stopped afterwards,
// which keeps the stored frames.
std::string StoreFramesThroughEnrollment(int frameCount) {
  sim::Configure([&](sim::Config& config) {
    config.autoTimelines = true;
    sim::TimelineEvent processed;
    processed.type = sim::EventType::ProcessedFrames;
    processed.frameCount = frameCount;
    config.timelines["enrollment"] = {processed};
  });
  std::string stored;
  for (int poll = 0; poll < 10 && stored.empty(); ++poll) {
    const ServiceResponse response =
        ServiceTest::Send("POST", "/frame/enrollment", CorrelationHeaders(), "{}");
    if (response.body.find("\"processed\":true") != std::string::npos) stored = response.body;
  }
  ServiceTest::Send("POST", "/frame/stop", CorrelationHeaders(), "{}");
  sim::ClearCalls();
  return stored;
}

struct MarkerCase {
  const char* name;
  std::string headers;
  std::string body;
  // The packet the engine must receive; empty: the engine is not called.
  std::string expectedSigned;
  std::string expectedError;  // empty: status 200
};

TEST_F(ServiceSignPacketTest, MarkedPacketCarriesExactlyTheEnrolledFrames) {
  const std::string stored = StoreFramesThroughEnrollment(2);
  ASSERT_FALSE(stored.empty()) << "the enrollment delivered no processed frames";
  const Json::Value frames = ParseJson(stored)["data"]["frames"];
  ASSERT_EQ(frames.size(), 2u);

  Json::Value enrolledFaces(Json::arrayValue);
  for (const Json::Value& frame : frames) {
    Json::Value face;
    face["imageData"] = frame["image"];
    face["attestedData"] = frame["attestedData"];
    enrolledFaces.append(face);
  }
  const std::string marked =
      R"({"data":{"userData":{"faceData":[{"imageData":"old"}],"enrolledFactors":[1]}},)"
      R"("kind":"SIGNPACK_ENROLL_REQUEST"})";
  Json::Value markedRewritten = ParseJson(marked);
  markedRewritten["data"]["userData"]["faceData"] = enrolledFaces;
  markedRewritten["data"]["userData"]["enrolledFactors"].append(8);
  Json::Value bareRewritten = ParseJson(R"({"kind":"SIGNPACK_NOOTP_REQUEST"})");
  bareRewritten["data"]["userData"]["faceData"] = enrolledFaces;
  bareRewritten["data"]["userData"]["enrolledFactors"].append(8);
  const std::string unmarked = R"({ "data" : { "userData" : { "faceData" : [ "kept" ] } } })";

  const MarkerCase cases[] = {
      {"EnrollMarker", CorrelationHeaders(), marked, Compact(markedRewritten), ""},
      {"NoOtpMarkerCreatesTheMembers", CorrelationHeaders(), R"({"kind":"SIGNPACK_NOOTP_REQUEST"})",
       Compact(bareRewritten), ""},
      {"NoMarkerPassesByteForByte", CorrelationHeaders(), unmarked, unmarked, ""},
      {"NoCorrelationIdSkipsTheRewrite", kJsonHeaders, marked, marked, ""},
      {"MarkedTextThatIsNotJson", CorrelationHeaders(), "SIGNPACK_ENROLL_REQUEST", "",
       ErrorDocument(0, 1001, "Invalid Json")},
      {"MarkedObjectNotStartingWithABrace", CorrelationHeaders(),
       R"( {"kind":"SIGNPACK_ENROLL_REQUEST"})", "", ErrorDocument(0, 1001, "Invalid Json")},
  };
  for (const MarkerCase& test : cases) {
    SCOPED_TRACE(test.name);
    sim::ClearCalls();
    const ServiceResponse response = Send("POST", "/signpacket", test.headers, test.body);
    if (test.expectedError.empty()) {
      EXPECT_EQ(response.status, 200);
      EXPECT_EQ(SignedRequests(), std::vector<std::string>{test.expectedSigned});
    } else {
      EXPECT_EQ(response.status, 500);
      EXPECT_EQ(response.body, test.expectedError);
      EXPECT_TRUE(SignedRequests().empty());
    }
  }

  // Face data that cannot be emptied stops the request before the engine.
  sim::ClearCalls();
  const ServiceResponse response =
      Send("POST", "/signpacket", CorrelationHeaders(),
           R"({"data":{"userData":{"faceData":"text"}},"kind":"SIGNPACK_ENROLL_REQUEST"})");
  EXPECT_EQ(response.status, 500);
  EXPECT_EQ(ParseJson(response.body)["error"]["code"].asInt(), 3);
  EXPECT_TRUE(SignedRequests().empty());
}

}  // namespace
}  // namespace corvane::larchmere::plugin::test
