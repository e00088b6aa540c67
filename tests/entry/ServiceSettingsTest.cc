// "/settings" (read and write) and "/bca/settings" through the plug-in's
// exports.
#include <string>
#include <vector>

#include "tests/entry/ServiceTestSupport.h"

namespace corvane::larchmere::plugin::test {
namespace {

constexpr char kSettingDocument[] =
    "{\"Setting\":[{\"available_values\":\"0,1\",\"display\":\"Shown\",\"id\":\"TEST_SETTING\","
    "\"supported\":\"true\",\"value\":\"1\"}]}\n";

void AddTestSetting() {
  sim::Configure([](sim::Config& config) {
    config.settings["TEST_SETTING"] = {"TEST_SETTING", "1", "0,1", "Shown", "true", "hidden"};
  });
}

struct ReadCase {
  const char* name;
  std::string path;
  std::string expectedBody;
  std::vector<std::string> expectedEngineIds;
};

using ServiceSettingsReadTest = ServiceCaseTest<ReadCase>;

TEST_P(ServiceSettingsReadTest, AnswersTheSettingOrNull) {
  const ReadCase& test = GetParam();
  AddTestSetting();

  const ServiceResponse response = Send("GET", test.path);

  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.body, test.expectedBody);
  EXPECT_EQ(FirstArgs("GetEngineSetting"), test.expectedEngineIds);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceSettingsReadTest,
    ::testing::Values(
        ReadCase{"KnownSetting", "/settings?id=TEST_SETTING", kSettingDocument, {"TEST_SETTING"}},
        ReadCase{"UpperCaseIdBeforeAnotherParameter",
                 "/settings?ID=TEST_SETTING&lang=en",
                 kSettingDocument,
                 {"TEST_SETTING"}},
        ReadCase{"NoIdNeverAsksTheEngine", "/settings", "null\n", {}},
        ReadCase{"EngineFails", "/settings?id=UNKNOWN", "null\n", {"UNKNOWN"}}),
    [](const auto& info) { return std::string(info.param.name); });

using ServiceSettingsWriteTest = ServiceCaseTest<EngineCallCase>;

TEST_P(ServiceSettingsWriteTest, PassesTheSettingsMembersAsText) {
  ExpectEngineCall(GetParam(), "/settings?id=ignored", "SetLocalSetting");
}

const std::string kFullSetting =
    R"({"Setting":{"id":"S","value":"v","display":"d","supported":"true","available_values":"x"}})";

// The router answers "{}" for a handler that left its body empty.
INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceSettingsWriteTest,
    ::testing::ValuesIn(std::vector<EngineCallCase>{
        {"Stored", kFullSetting, 0, 0, 200, "{}", {{"S", "v", "", "d", "true", ""}}},
        {"NumbersAndBooleansBecomeText",
         R"({"Setting":{"id":"S","value":5,"supported":false}})",
         0,
         0,
         200,
         "{}",
         {{"S", "5", "", "", "false", ""}}},
        {"EngineRefuses", kFullSetting, 31, 0, 500, "{}", {{"S", "v", "", "d", "true", ""}}},
        {"EngineRefusesWhileStatusIs200",
         kFullSetting,
         31,
         200,
         200,
         "{}",
         {{"S", "v", "", "d", "true", ""}}},
        {"NotJson", "{\"Setting\":", 0, 0, 500, ErrorDocument(0, 1001, "Invalid Json"), {}},
        {"TrailingCommaIsNotJson",
         R"({"Setting":{"id":"S",}})",
         0,
         0,
         500,
         ErrorDocument(0, 1001, "Invalid Json"),
         {}},
        {"ArrayMemberFailsTheRequest",
         R"({"Setting":{"id":["S"]}})",
         0,
         0,
         500,
         ErrorDocument(0, 3, "Type is not convertible to string"),
         {}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct BcaCase {
  const char* name;
  std::string body;
  const char* failingOperation;  // scripted to answer 9, or null
  unsigned short startStatus;
  unsigned short expectedStatus;
  std::string expectedBody;
  std::vector<std::string> expectedColors;
  std::vector<std::string> expectedPreviewTypes;
};

using ServiceBcaSettingsTest = ServiceCaseTest<BcaCase>;

TEST_P(ServiceBcaSettingsTest, PassesTheGivenNumbers) {
  const BcaCase& test = GetParam();
  if (test.failingOperation != nullptr) sim::SetResult(test.failingOperation, 9);

  const ServiceResponse response =
      Send("POST", "/bca/settings", kJsonHeaders, test.body, test.startStatus);

  EXPECT_EQ(response.status, test.expectedStatus);
  EXPECT_EQ(response.body, test.expectedBody);
  EXPECT_EQ(FirstArgs("SetFaceIndicatorColor"), test.expectedColors);
  EXPECT_EQ(FirstArgs("SetPreviewType"), test.expectedPreviewTypes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceBcaSettingsTest,
    ::testing::Values(
        BcaCase{"EmptyObjectCallsNothing", "{}", nullptr, 0, 200, "{}", {}, {}},
        BcaCase{"Both",
                R"({"faceIndicatorColor":3,"previewType":2})",
                nullptr,
                0,
                200,
                "{}",
                {"3"},
                {"2"}},
        BcaCase{"NullIsNotPassedAndTrueIsOne",
                R"({"faceIndicatorColor":null,"previewType":true})",
                nullptr,
                0,
                200,
                "{}",
                {},
                {"1"}},
        // The colour already reached the engine; the answer is still a failure.
        BcaCase{"PreviewTypeAsText",
                R"({"faceIndicatorColor":4,"previewType":"DOTS"})",
                nullptr,
                0,
                500,
                "{}",
                {"4"},
                {}},
        BcaCase{"ColorOutOfRangeSkipsThePreviewType",
                R"({"faceIndicatorColor":4294967296,"previewType":1})",
                nullptr,
                0,
                500,
                "{}",
                {},
                {}},
        BcaCase{"EngineRefusesTheColor",
                R"({"faceIndicatorColor":3,"previewType":2})",
                "SetFaceIndicatorColor",
                0,
                500,
                "{}",
                {"3"},
                {"2"}},
        BcaCase{"EngineRefusesWhileStatusIs200",
                R"({"previewType":2})",
                "SetPreviewType",
                200,
                200,
                "{}",
                {},
                {"2"}},
        BcaCase{"CommentsAreRead",
                "/* preview */ {\"previewType\":2} // end",
                nullptr,
                0,
                200,
                "{}",
                {},
                {"2"}},
        BcaCase{"NotJson", "", nullptr, 0, 500, ErrorDocument(0, 1001, "Invalid Json"), {}, {}},
        BcaCase{"TrailingComma",
                R"({"previewType":2,})",
                nullptr,
                0,
                500,
                ErrorDocument(0, 1001, "Invalid Json"),
                {},
                {}},
        BcaCase{"ByteOrderMark",
                "\xEF\xBB\xBF{\"previewType\":2}",
                nullptr,
                0,
                500,
                ErrorDocument(0, 1001, "Invalid Json"),
                {},
                {}},
        // Deeper than the reader's stack limit: not JSON either, not a generic error.
        BcaCase{"TooDeep",
                "{\"previewType\":" + std::string(1100, '[') + std::string(1100, ']') + "}",
                nullptr,
                0,
                500,
                ErrorDocument(0, 1001, "Invalid Json"),
                {},
                {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::larchmere::plugin::test
