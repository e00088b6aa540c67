#include <gtest/gtest.h>
#include <json/json.h>

#include <optional>
#include <string>

#include "os/registry.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

namespace keystead::os {
namespace {

using test_support::ScopedEnv;
using test_support::TempFolder;

constexpr const char* kRegistry = R"({
  "SOFTWARE\\Keystead\\Settings\\": {"FULL_LOG_ENABLE": 1, "Name": "seven77"},
  "SOFTWARE\\Keystead\\InstallInfo": {"InstallDir": "/opt/keystead", "Count": 4294967295},
  "Software\\Corvane\\OemInfo": {
    "FirstName": "Ada", "Negative": -1, "TooBig": 4294967296, "Fraction": 1.5,
    "Flag": true, "Nested": {"x": 1}
  },
  "NotAKey": 5
})";

class RegistryTest : public ::testing::Test {
 protected:
  TempFolder dir_;
  ScopedEnv registry_{"KEYSTEAD_REGISTRY", dir_.WriteFile("registry.json", kRegistry)};
};

TEST_F(RegistryTest, ReadsValuesIgnoringCaseAndTrailingBackslash) {
  EXPECT_EQ(ReadMachineDword("SOFTWARE\\Keystead\\Settings\\", "FULL_LOG_ENABLE"), 1u);
  EXPECT_EQ(ReadMachineDword("software\\keystead\\settings", "full_log_enable"), 1u);
  EXPECT_EQ(ReadMachineString("SOFTWARE\\KEYSTEAD\\INSTALLINFO\\", "installdir", 260),
            "/opt/keystead");
  EXPECT_EQ(ReadMachineString("SOFTWARE\\Corvane\\OemInfo", "FirstName", 260), "Ada");
  EXPECT_EQ(ReadMachineDword("SOFTWARE\\Keystead\\InstallInfo", "Count"), 4294967295u);
}

TEST_F(RegistryTest, MissingKeysValuesAndUnfitTypesReadAsMissing) {
  struct Case {
    const char* key;
    const char* value;
  };
  const Case missingDwords[] = {
      {"SOFTWARE\\Keystead\\Nowhere", "FULL_LOG_ENABLE"},
      {"SOFTWARE\\Keystead\\Settings", "Absent"},
      {"SOFTWARE\\Keystead\\Settings", "Name"},  // a string is not a number
      {"Software\\Corvane\\OemInfo", "Negative"},
      {"Software\\Corvane\\OemInfo", "TooBig"},
      {"Software\\Corvane\\OemInfo", "Fraction"},
      {"Software\\Corvane\\OemInfo", "Flag"},
      {"Software\\Corvane\\OemInfo", "Nested"},
      {"NotAKey", ""},
      {"SOFTWARE\\Keystead", "Settings"},  // a parent key holds no values of its own
  };
  for (const Case& c : missingDwords) {
    EXPECT_EQ(ReadMachineDword(c.key, c.value), std::nullopt) << c.key << " " << c.value;
  }
  EXPECT_EQ(ReadMachineString("SOFTWARE\\Keystead\\Settings", "FULL_LOG_ENABLE", 260),
            std::nullopt);  // a number is not a string
  EXPECT_EQ(ReadMachineString("Software\\Corvane\\OemInfo", "Nested", 260), std::nullopt);
}

TEST_F(RegistryTest, StringMustFitWithItsTerminator) {
  // "seven77" has 7 UTF-16 units and needs 16 bytes with the terminating zero.
  EXPECT_EQ(ReadMachineString("SOFTWARE\\Keystead\\Settings", "Name", 16), "seven77");
  EXPECT_EQ(ReadMachineString("SOFTWARE\\Keystead\\Settings", "Name", 15), std::nullopt);
  EXPECT_EQ(ReadMachineString("SOFTWARE\\Keystead\\Settings", "Name", 0), std::nullopt);
}

std::string Repeat(const std::string& text, int count) {
  std::string repeated;
  for (int i = 0; i < count; ++i) repeated += text;
  return repeated;
}

// A 512-byte buffer ("InstallDir", "AffId") holds 255 UTF-16 units and the
// terminator, whatever the UTF-8 length of the text.
TEST_F(RegistryTest, LimitCountsUtf16UnitsNotUtf8Bytes) {
  const std::string twoBytes = "\xC3\xA9";           // U+00E9
  const std::string threeBytes = "\xE2\x82\xAC";     // U+20AC
  const std::string fourBytes = "\xF0\x9F\x98\x80";  // U+1F600, a surrogate pair
  const struct {
    const char* name;
    std::string text;
    bool fits;
  } cases[] = {
      {"255 ASCII", std::string(255, 'a'), true},
      {"256 ASCII", std::string(256, 'a'), false},
      {"255 two-byte", Repeat(twoBytes, 255), true},
      {"256 two-byte", Repeat(twoBytes, 256), false},
      {"255 three-byte", Repeat(threeBytes, 255), true},
      {"256 three-byte", Repeat(threeBytes, 256), false},
      {"127 pairs and one unit", Repeat(fourBytes, 127) + "a", true},
      {"128 pairs", Repeat(fourBytes, 128), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Json::Value root;
    root["SOFTWARE\\Keystead\\PreInstall"]["AffId"] = c.text;
    ScopedEnv registry("KEYSTEAD_REGISTRY",
                       dir_.WriteFile("limit.json", Json::FastWriter().write(root)));
    const std::optional<std::string> read =
        ReadMachineString("SOFTWARE\\Keystead\\PreInstall", "AffId", 512);
    EXPECT_EQ(read, c.fits ? std::optional<std::string>(c.text) : std::nullopt);
  }
}

TEST_F(RegistryTest, FollowsTheVariableToAnotherFile) {
  ScopedEnv other("KEYSTEAD_REGISTRY",
                  dir_.WriteFile("other.json", R"({"SOFTWARE\\Keystead\\Settings": {"A": 2}})"));
  EXPECT_EQ(ReadMachineDword("SOFTWARE\\Keystead\\Settings", "A"), 2u);
  EXPECT_EQ(ReadMachineDword("SOFTWARE\\Keystead\\Settings", "FULL_LOG_ENABLE"), std::nullopt);
}

TEST(RegistryWithoutFileTest, EverythingIsMissing) {
  TempFolder dir;
  const std::optional<std::string> sources[] = {
      std::nullopt, dir.Path("absent.json"),
      dir.Path(),  // a folder, not a file
  };
  for (const auto& source : sources) {
    ScopedEnv registry("KEYSTEAD_REGISTRY", source);
    EXPECT_EQ(ReadMachineDword("SOFTWARE\\Keystead\\Settings", "FULL_LOG_ENABLE"), std::nullopt);
    EXPECT_EQ(ReadMachineString("SOFTWARE\\Keystead\\Settings", "FULL_LOG_ENABLE", 260),
              std::nullopt);
  }
}

TEST(RegistryMalformedTest, MalformedFileReadsAsMissingAndIsReportedOnce) {
  TempFolder dir;
  ScopedEnv debug("KEYSTEAD_DEBUG_OUTPUT", "1");
  const char* malformed[] = {
      "not json",
      "",
      R"([{"SOFTWARE\\Keystead\\Settings": {"A": 1}}])",
      R"({"SOFTWARE\\Keystead\\Settings": {"A": 1}} trailing)",
      R"({"SOFTWARE\\Keystead\\Settings": {"A": 1}, "SOFTWARE\\Keystead\\Settings": {"A": 2}})",
  };
  ::testing::internal::CaptureStderr();
  int index = 0;
  for (const char* content : malformed) {
    ScopedEnv registry("KEYSTEAD_REGISTRY",
                       dir.WriteFile("bad" + std::to_string(index++) + ".json", content));
    EXPECT_EQ(ReadMachineDword("SOFTWARE\\Keystead\\Settings", "A"), std::nullopt) << content;
  }
  const std::string output = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(output.find("malformed"), std::string::npos) << output;
  EXPECT_EQ(output.find("malformed"), output.rfind("malformed")) << output;
}

}  // namespace
}  // namespace keystead::os
