#include <gtest/gtest.h>

#include <string>

#include "plugin/platform/LogMasking.h"

namespace corvane::larchmere::plugin {
namespace {

struct MaskCase {
  const char* name;
  std::string input;
  std::string expected;
};

class LogMaskingTest : public testing::TestWithParam<MaskCase> {};

TEST_P(LogMaskingTest, MasksSensitiveValues) {
  std::string text = GetParam().input;
  MaskSensitiveData(text);
  EXPECT_EQ(text, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogMaskingTest,
    testing::Values(
        MaskCase{"String", R"({"idToken":"abc","name":"n"})", R"({"idToken":"X","name":"n"})"},
        MaskCase{"Array", R"({"faceData":[1,2,3]})", R"({"faceData":[X]})"},
        MaskCase{"Object", R"({"otpInfo":{"a":"b"}})", R"({"otpInfo":{X}})"},
        MaskCase{"EmptyValuesStayEmpty", R"({"pwd":"","faceData":[],"otpInfo":{}})",
                 R"({"pwd":"","faceData":[],"otpInfo":{}})"},
        MaskCase{"EveryOccurrence", R"([{"pwd":"a"},{"pwd":"b"},{"pwd":"c"}])",
                 R"([{"pwd":"X"},{"pwd":"X"},{"pwd":"X"}])"},
        MaskCase{"NestedArray", R"({"faceData":[[1,2],[{"a":[3]}]],"next":"n"})",
                 R"({"faceData":[X],"next":"n"})"},
        MaskCase{"NestedObject", R"({"passwordResetData":{"a":{"b":"c"},"d":[1]},"next":"n"})",
                 R"({"passwordResetData":{X},"next":"n"})"},
        MaskCase{"ClosersInsideStrings", R"({"otpInfo":{"s":"}]{","t":"\"}"},"next":"n"})",
                 R"({"otpInfo":{X},"next":"n"})"},
        MaskCase{"EscapedQuoteInString", R"({"pwd":"a\"b\\","next":"n"})",
                 R"({"pwd":"X","next":"n"})"},
        MaskCase{"SpacesAroundColon", "{\"idToken\" :\n \"abc\", \"faceData\"\t: [1]}",
                 "{\"idToken\" :\n \"X\", \"faceData\"\t: [X]}"},
        MaskCase{"UnclosedStringMaskedToEnd", R"({"pwd":"abc)", R"({"pwd":"X)"},
        MaskCase{"UnclosedArrayMaskedToEnd", R"({"faceData":[1,"]",2)", R"({"faceData":[X)"},
        MaskCase{"SimilarNamesUntouched", R"({"myidToken":"a","idTokens":"b"})",
                 R"({"myidToken":"a","idTokens":"b"})"},
        MaskCase{"KeyInsideLongerKeyAlsoListed", R"({"ksDeviceId":"a","deviceId":"b"})",
                 R"({"ksDeviceId":"X","deviceId":"X"})"},
        MaskCase{"KeyNameAsValueUntouched", R"({"name":"idToken","v":"a"})",
                 R"({"name":"idToken","v":"a"})"},
        MaskCase{"NumbersAndBooleansMasked",
                 R"({"deviceId":12,"pwd":-1.5e+3,"nonce":true,"image":false})",
                 R"({"deviceId":X,"pwd":X,"nonce":X,"image":X})"},
        MaskCase{"NullStays", R"({"pwd":null,"nonce": null })", R"({"pwd":null,"nonce": null })"},
        MaskCase{"BareValueSpacingAndDepth", "{\"a\":[{\"b\":{\"pwd\" :\n 42 }}],\"c\":1}",
                 "{\"a\":[{\"b\":{\"pwd\" :\n X }}],\"c\":1}"},
        MaskCase{"BareValueEndsAtDelimiter", R"({"pwd":nullish]"nonce":7"idToken":"s"})",
                 R"({"pwd":X]"nonce":X"idToken":"X"})"},
        MaskCase{"KeyOverlappingAnEarlierMatch", R"("pwd"pwd":"s")", R"("pwd"pwd":"X")"},
        MaskCase{"KeyOpenedByTheClosingQuoteOfAMaskedValue", R"("pwd":"a"pwd":"b")",
                 R"("pwd":"X"pwd":"X")"},
        MaskCase{"HeaderNameAfterADanglingMember", "\"pwd\":\nCookie: session", "\"pwd\":\nX: X"},
        MaskCase{"MemberNameInsideAHeaderValue", "Cookie: c \"pwd\"\n:\"secret\"",
                 "Cookie: X\n:\"X\""},
        MaskCase{"OtherContainerFormMasked", R"({"faceData":"abc","image":["a"]})",
                 R"({"faceData":"X","image":[X]})"},
        MaskCase{"HeaderBlock", "x-idToken: abc\r\nCaller: web\r\nx-jwstoken:def\r\n",
                 "x-idToken: X\r\nCaller: web\r\nx-jwstoken:X\r\n"},
        MaskCase{"HeaderNamesIgnoreCase", "AUTHORIZATION: Bearer a b\ncookie : s=1; t=2",
                 "AUTHORIZATION: X\ncookie : X"},
        MaskCase{"HeaderAfterMessagePrefix", "Helper - Headers: X-IdToken: abc\nOrigin: o",
                 "Helper - Headers: X-IdToken: X\nOrigin: o"},
        MaskCase{"HeaderEmptyValueAndLongerName", "Cookie:\r\nMyCookie: a\r\nCookies: b",
                 "Cookie:\r\nMyCookie: a\r\nCookies: b"}),
    [](const testing::TestParamInfo<MaskCase>& info) { return std::string(info.param.name); });

TEST(LogMaskingKeysTest, EveryStringKeyHidesItsValue) {
  for (const char* key : {"clientToken",   "ksReEnrollToken",  "ksDeviceId",
                          "idToken",       "cloudKey",         "engineToken",
                          "pwd",           "authClaimToken",   "provisionData",
                          "reEnrollToken", "ksDeviceNonce",    "deviceId",
                          "OAuthTransId",  "Profiles",         "Subscriptions",
                          "GlobalSetting", "riskAnalysisInfo", "image",
                          "backupToken",   "oTransId",         "authCode",
                          "attestedData",  "jwtCert",          "oauthTransId",
                          "nonce"}) {
    std::string text = std::string(R"({"a":1,")") + key + R"(":"secret"})";
    MaskSensitiveData(text);
    EXPECT_EQ(text, std::string(R"({"a":1,")") + key + R"(":"X"})") << key;
  }
}

TEST(LogMaskingKeysTest, MaskedTokenHidesAnyNonEmptyToken) {
  EXPECT_EQ(MaskedToken("eyJhbGciOi.payload.sig"), "X");
  EXPECT_EQ(MaskedToken(""), "");
}

}  // namespace
}  // namespace corvane::larchmere::plugin
