#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/EngineRecords.h"
#include "plugin/common/AllowedOrigins.h"
#include "plugin/common/LarchmerePluginHelper.h"

namespace corvane::larchmere::plugin::common {
namespace {

using namespace Corvane::QAV::SDK;
using Helper = LarchmerePluginHelper;
using keystead::test::EngineError;

SDK_Frame SmallFrame(std::string image) {
  SDK_Frame frame;
  frame.image = std::move(image);
  frame.version = 1;
  frame.channels = 3;
  frame.depth = 8;
  frame.width = 4;
  frame.height = 2;
  frame.frameSize = 24;
  frame.isProcessed = 0;
  frame.faceQuality = 77;
  frame.faceCoords.rotation = {0.5, -1.25, 2};
  frame.faceCoords.translation = {10, 0, -3.5};
  return frame;
}

// --- Errors ---

TEST(LarchmerePluginHelperErrorTest, ErrorDocumentIsCompactAndSorted) {
  EXPECT_EQ(Helper::CreateJsonErrorResponse(kErrorSourcePlugin, kPluginGenericError,
                                            kPluginGenericErrorDescription),
            "{\"error\":{\"code\":0,\"description\":\"Plugin Generic Error\",\"source\":0}}\n");
  EXPECT_EQ(Helper::CreateJsonErrorResponse(4, -7, "say \"hi\"\n"),
            "{\"error\":{\"code\":-7,\"description\":\"say \\\"hi\\\"\\n\",\"source\":4}}\n");
}

TEST(LarchmerePluginHelperErrorTest, ErrorPayloadCopiesTheRecord) {
  auto error = std::make_shared<SDK_ERROR>(
      EngineError(4, 17, "SignPacket Communication Error with QAVService"));
  error->cloudError = "not in the error document";
  EXPECT_EQ(Helper::ToErrorPayload(error),
            "{\"error\":{\"code\":17,\"description\":\"SignPacket Communication Error with "
            "QAVService\",\"source\":4}}\n");
  EXPECT_EQ(Helper::ToErrorPayload(nullptr), "{}");
}

// --- Frames ---

TEST(LarchmerePluginHelperFrameTest, Base64PadsShortImages) {
  struct Case {
    std::string bytes;
    const char* encoded;
  };
  const Case cases[] = {
      {"", ""},
      {"M", "TQ=="},
      {"Ma", "TWE="},
      {"Man", "TWFu"},
      {std::string("\xFF\xFE\x00\x01", 4), "//4AAQ=="},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Helper::EncodeBase64(c.bytes), c.encoded);
    const std::string document =
        Helper::ToEnrollFramePayload(std::make_shared<SDK_Frame>(SmallFrame(c.bytes)));
    EXPECT_NE(document.find(std::string("\"image\":\"") + c.encoded + "\""), std::string::npos)
        << document;
  }
}

// The image is written into the document outside JsonCpp; the result must be
// what JsonCpp itself writes.
TEST(LarchmerePluginHelperFrameTest, LargeImageDocumentsMatchJsonCppOutput) {
  std::string image(30001, '\0');
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7919 % 256);
  const auto frame = std::make_shared<SDK_Frame>(SmallFrame(image));

  Json::Value expected;
  expected["blink"] = false;
  expected["matchStatus"] = false;
  expected["nextStep"] = "";
  expected["liveness"] = 1;
  Json::Value& out = expected["frame"];
  out["image"] = Helper::EncodeBase64(image);
  out["version"] = 1;
  out["channels"] = 3;
  out["depth"] = 8;
  out["width"] = 4;
  out["height"] = 2;
  out["frameSize"] = 24;
  out["isProcessed"] = 0;
  out["faceQuality"] = 77;
  out["faceCoords"]["rotation"]["x"] = 0.5;
  out["faceCoords"]["rotation"]["y"] = -1.25;
  out["faceCoords"]["rotation"]["z"] = 2.0;
  out["faceCoords"]["translation"]["x"] = 10.0;
  out["faceCoords"]["translation"]["y"] = 0.0;
  out["faceCoords"]["translation"]["z"] = -3.5;
  EXPECT_EQ(Helper::ToMatchFramePayload(frame, BLINK), Json::FastWriter().write(expected));
}

TEST(LarchmerePluginHelperFrameTest, EnrollFrameDocument) {
  EXPECT_EQ(Helper::ToEnrollFramePayload(std::make_shared<SDK_Frame>(SmallFrame("Man"))),
            "{\"data\":{\"frames\":[{\"channels\":3,\"depth\":8,\"faceQuality\":77,\"frameSize\":"
            "24,\"height\":2,\"image\":\"TWFu\",\"isProcessed\":0,\"version\":1,\"width\":4}],"
            "\"processed\":false}}\n");
  EXPECT_EQ(Helper::ToEnrollFramePayload(nullptr), "{\"data\":{\"processed\":false}}\n");
}

TEST(LarchmerePluginHelperFrameTest, MatchFrameDocumentWithAndWithoutImage) {
  const auto frame = std::make_shared<SDK_Frame>(SmallFrame("Man"));
  const std::string head = "{\"blink\":false,\"frame\":{\"channels\":3,\"depth\":8,";
  const std::string coords =
      "\"faceCoords\":{\"rotation\":{\"x\":0.5,\"y\":-1.25,\"z\":2.0},\"translation\":{\"x\":10.0,"
      "\"y\":0.0,\"z\":-3.5}},\"faceQuality\":77,\"frameSize\":24,\"height\":2,";
  const std::string tail =
      "\"isProcessed\":0,\"version\":1,\"width\":4},\"liveness\":2,\"matchStatus\":false,"
      "\"nextStep\":\"\"}\n";
  EXPECT_EQ(Helper::ToMatchFramePayload(frame, BLINK_STRICT),
            head + coords + "\"image\":\"TWFu\"," + tail);
  EXPECT_EQ(Helper::ToMatchFramePayload(frame, BLINK_STRICT, false), head + coords + tail);
  EXPECT_EQ(Helper::ToMatchFramePayload(nullptr, PASSIVE),
            "{\"blink\":false,\"liveness\":3,\"matchStatus\":false,\"nextStep\":\"\"}\n");
}

TEST(LarchmerePluginHelperFrameTest, ProcessedFramesKeepContainerOrderAndTexts) {
  auto container = std::make_shared<SDK_ProcessedFramesContainer>();
  container->frames = {{"img1", "ad1", "jc1"}, {"img2", "ad2", "jc2"}};
  EXPECT_EQ(Helper::ToProcessedFramesPayload(container),
            "{\"data\":{\"frames\":[{\"attestedData\":\"ad1\",\"image\":\"img1\",\"jwtCert\":"
            "\"jc1\"},{\"attestedData\":\"ad2\",\"image\":\"img2\",\"jwtCert\":\"jc2\"}],"
            "\"processed\":true}}\n");
  const std::string reduced = "{\"data\":{\"processed\":true}}\n";
  EXPECT_EQ(Helper::ToProcessedFramesPayload(nullptr), reduced);
  EXPECT_EQ(Helper::ToProcessedFramesPayload(std::make_shared<SDK_ProcessedFramesContainer>()),
            reduced);
}

// --- Feedback ---

TEST(LarchmerePluginHelperFeedbackTest, EnrollFeedbackFormsShareOneShape) {
  const std::string expected =
      "{\"data\":{\"feedback\":{\"code\":12,\"description\":\"Move closer\"},"
      "\"processed\":false}}\n";
  const std::string reduced = "{\"data\":{\"processed\":false}}\n";

  auto feedback = std::make_shared<SDK_EnrollmentFeedback>();
  feedback->code = 12;
  feedback->description = "Move closer";
  auto error = std::make_shared<SDK_ERROR>(EngineError(4, 12, "Move closer"));

  EXPECT_EQ(Helper::ToEnrollFeedbackPayload(feedback), expected);
  EXPECT_EQ(Helper::ToEnrollFeedbackPayload(error), expected);
  EXPECT_EQ(Helper::ToEnrollFeedbackPayload(12, "Move closer"), expected);
  EXPECT_EQ(Helper::ToEnrollFeedbackPayload(std::shared_ptr<SDK_EnrollmentFeedback>()), reduced);
  EXPECT_EQ(Helper::ToEnrollFeedbackPayload(std::shared_ptr<SDK_ERROR>()), reduced);
}

TEST(LarchmerePluginHelperFeedbackTest, MatchFeedbackFlagsLocalMatchAndBlinkCodes) {
  auto error = std::make_shared<SDK_ERROR>(EngineError(4, 46, "d"));
  error->cloudError = "ce";
  error->templateCount = 3;
  error->liveness = "BLINK";
  EXPECT_EQ(Helper::ToMatchFeedbackPayload(error),
            "{\"blink\":false,\"cloudError\":\"ce\",\"feedback\":{\"code\":46,\"description\":"
            "\"d\"},\"liveness\":\"BLINK\",\"localMatchStatus\":true,\"matchStatus\":false,"
            "\"nextStep\":\"\",\"templateCount\":3}\n");
  error->code = 32;
  const std::string blink = Helper::ToMatchFeedbackPayload(error);
  EXPECT_NE(blink.find("\"blink\":true"), std::string::npos) << blink;
  EXPECT_NE(blink.find("\"localMatchStatus\":false"), std::string::npos) << blink;

  EXPECT_EQ(Helper::ToMatchFeedbackPayload(46, "d"),
            "{\"blink\":false,\"feedback\":{\"code\":46,\"description\":\"d\"},"
            "\"localMatchStatus\":true,\"matchStatus\":false,\"nextStep\":\"\"}\n");
  EXPECT_EQ(Helper::ToMatchFeedbackPayload(32, "d"),
            "{\"blink\":false,\"feedback\":{\"code\":32,\"description\":\"d\"},"
            "\"localMatchStatus\":false,\"matchStatus\":false,\"nextStep\":\"\"}\n");
  // Not a case callers produce, but it must not crash.
  EXPECT_EQ(Helper::ToMatchFeedbackPayload(std::shared_ptr<SDK_ERROR>()),
            "{\"blink\":false,\"localMatchStatus\":false,\"matchStatus\":false,\"nextStep\":\"\"}"
            "\n");
}

TEST(LarchmerePluginHelperFeedbackTest, MatchDocumentCarriesEveryResultMember) {
  auto result = std::make_shared<SDK_RemoteMatchFeedback>();
  result->matchStatus = true;
  result->localMatchStatus = true;
  result->nextStep = 2;
  result->idToken = "idt";
  result->cloudKey = "ck";
  result->isTrustedDevice = true;
  result->verificationEmail = "v@x";
  result->oobDevices = {{"d1", "Phone", true}, {"d2", "Tab", false}};
  result->state = "st";
  result->redirectUri = "https://r";
  result->authCode = "ac";
  result->altNextStep = 5;
  result->templateCount = 4;
  result->liveness = "PASSIVE";
  EXPECT_EQ(Helper::ToMatchPayload(result, true),
            "{\"altNextStep\":5,\"authCode\":\"ac\",\"blink\":false,\"cloudError\":\"\","
            "\"cloudKey\":\"ck\",\"idToken\":\"idt\",\"isTrustedDevice\":true,\"liveness\":"
            "\"PASSIVE\",\"localMatchStatus\":true,\"matchStatus\":true,\"nextStep\":2,"
            "\"nextStepData\":{\"oobDevices\":[{\"deviceId\":\"d1\",\"deviceName\":\"Phone\","
            "\"oobPreferred\":true},{\"deviceId\":\"d2\",\"deviceName\":\"Tab\",\"oobPreferred\":"
            "false}],\"verificationEmail\":\"v@x\"},\"redirectUri\":\"https://r\",\"state\":"
            "\"st\",\"stopped\":true,\"templateCount\":4}\n");
}

TEST(LarchmerePluginHelperFeedbackTest, MatchDocumentOfEmptyAndNullRecords) {
  EXPECT_EQ(Helper::ToMatchPayload(std::make_shared<SDK_RemoteMatchFeedback>()),
            "{\"altNextStep\":0,\"authCode\":\"\",\"blink\":false,\"cloudError\":\"\","
            "\"cloudKey\":\"\",\"idToken\":\"\",\"isTrustedDevice\":false,\"liveness\":\"\","
            "\"localMatchStatus\":false,\"matchStatus\":false,\"nextStep\":0,\"nextStepData\":{"
            "\"oobDevices\":[],\"verificationEmail\":\"\"},\"redirectUri\":\"\",\"state\":\"\","
            "\"stopped\":false,\"templateCount\":0}\n");
  EXPECT_EQ(Helper::ToMatchPayload(nullptr), "null\n");
}

// --- CORS header block ---

constexpr char kCorsBlock[] =
    "\r\nAccess-Control-Allow-Methods: GET, POST, OPTIONS\r\n"
    "Access-Control-Allow-Headers: Origin, X-Requested-With, Content-Type, Accept, "
    "Q-Correlation-Id, Caller, Liveness, StreamType, x-pbversion, x-ksversion, x-jwstoken\r\n"
    "Access-Control-Max-Age: 60\r\n"
    "Content-Type: application/json; charset=UTF-8\r\n"
    "Accept: application/json; charset=UTF-8\r\n"
    "Allow: OPTIONS, GET, POST\r\n";

struct OriginCase {
  const char* headers;
  std::optional<std::string> suffix;
  std::string origin;
};

class LarchmerePluginHelperCorsTest : public testing::TestWithParam<OriginCase> {};

TEST_P(LarchmerePluginHelperCorsTest, AnswersOneAllowedOriginAndTheFixedBlock) {
  const OriginCase& c = GetParam();
  std::string out = "left over from an earlier answer";
  Helper::BuildHeader(c.headers, c.suffix, out);
  EXPECT_EQ(out, "Access-Control-Allow-Origin: " + c.origin + kCorsBlock);
}

const std::string kDefault(kDefaultAllowedOrigin);
const std::string kSuffixOrigin = "https://login.keystead.beta.example";

INSTANTIATE_TEST_SUITE_P(
    Cases, LarchmerePluginHelperCorsTest,
    testing::Values(
        OriginCase{"Caller: LOCAL\r\n", std::nullopt, kDefault},
        OriginCase{nullptr, std::nullopt, kDefault},
        OriginCase{"Origin: https://my.keystead.com\r\n", std::nullopt, "https://my.keystead.com"},
        OriginCase{"Origin: https://keystead.corvane.com\r\n", ".beta.example",
                   "https://keystead.corvane.com"},
        OriginCase{"Origin: https://evil.example\r\n", ".beta.example", kDefault},
        OriginCase{"Origin: https://login.keystead.beta.example\r\n", ".beta.example",
                   kSuffixOrigin},
        OriginCase{"Origin: https://login.keystead.beta.example\r\n", std::nullopt, kDefault},
        OriginCase{"Origin: https://login.keystead.beta.example\r\n", "", kDefault}));

TEST(LarchmerePluginHelperOriginsTest, SixFixedHttpsOriginsIncludingTheDefault) {
  const std::set<std::string> fixed = AllowedOrigins("");
  EXPECT_EQ(fixed.size(), 6u);
  EXPECT_EQ(fixed.count(kDefault), 1u);
  for (const std::string& origin : fixed) EXPECT_EQ(origin.rfind("https://", 0), 0u) << origin;
  const std::set<std::string> withSuffix = AllowedOrigins(".beta.example");
  EXPECT_EQ(withSuffix.size(), 7u);
  EXPECT_EQ(withSuffix.count(kSuffixOrigin), 1u);
}

// --- Paths ---

TEST(LarchmerePluginHelperPathTest, AnnouncesTwentyTwoPathsInAscendingOrder) {
  std::set<std::string> uris = {"stale"};
  Helper::BuildURIs(uris);
  const std::vector<std::string> expected = {
      "q/v1/authenticate",
      "q/v1/bca/settings",
      "q/v1/ca/adddevice",
      "q/v1/ca/authenticate",
      "q/v1/ca/getnewpaireddevices",
      "q/v1/camera/status",
      "q/v1/csp/servers",
      "q/v1/devices/video",
      "q/v1/fingerprint/addfactor",
      "q/v1/frame/enrollment",
      "q/v1/frame/match",
      "q/v1/frame/stop",
      "q/v1/revoke",
      "q/v1/settings",
      "q/v1/signpacket",
      "q/v1/status/deviceid",
      "q/v1/status/qav",
      "q/v1/sync",
      "q/v1/tm",
      "q/v1/users/remote",
      "q/v1/vsu/account",
      "q/v1/vsu/notifychange",
  };
  EXPECT_EQ(std::vector<std::string>(uris.begin(), uris.end()), expected);
}

TEST(LarchmerePluginHelperPathTest, CreateUriConcatenatesAndToleratesNull) {
  EXPECT_EQ(Helper::CreateURI(Helper::kPathPrefix, "/frame/stop"), "q/v1/frame/stop");
  EXPECT_EQ(Helper::CreateURI(nullptr, "/tm"), "/tm");
  EXPECT_EQ(Helper::CreateURI("q/v1", nullptr), "q/v1");
}

}  // namespace
}  // namespace corvane::larchmere::plugin::common
