#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <latch>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "os/process_info.h"
#include "plugin/platform/KSLogger.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"
#include "support/TestRegistry.h"

namespace corvane::larchmere::plugin {
namespace {

namespace fs = std::filesystem;

constexpr char kInitLine[] = "---------------- | ---------- Initializing LM.log logger -----------";

// A local date and time as std::tm wants it (years from 1900, months from 0).
std::tm LocalTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  std::tm time{};
  time.tm_year = year - 1900;
  time.tm_mon = month - 1;
  time.tm_mday = day;
  time.tm_hour = hour;
  time.tm_min = minute;
  time.tm_sec = second;
  time.tm_isdst = -1;
  return time;
}

// 5 March 2024, 12:34:56 local time: every line of these tests goes to "2024-3-5-LM.log".
std::time_t FixedNow() {
  std::tm time = LocalTime(2024, 3, 5, 12, 34, 56);
  return std::mktime(&time);
}

std::vector<std::string> ReadLines(const fs::path& path) {
  std::vector<std::string> lines;
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

// A private registry, install folder and local app data folder per test.
class KSLoggerTest : public testing::Test {
 protected:
  KSLoggerTest() {
    fs::create_directories(root_ / "install");
    registry_.SetString("SOFTWARE\\Keystead\\InstallInfo", "InstallDir",
                        (root_ / "install").string());
  }

  void SetFullLogEnable(std::uint32_t value) {
    registry_.SetDword("SOFTWARE\\Keystead\\Settings", "FULL_LOG_ENABLE", value);
  }

  void WriteNlogConfig(const std::string& fileNameAttribute) {
    std::ofstream config(root_ / "install" / "NLog.config");
    config << "<nlog>\n  <targets>\n    <target name=\"file\" " << fileNameAttribute
           << " layout=\"${message}\"/>\n  </targets>\n</nlog>\n";
  }

  // A configuration whose file target lies in <root>/service/.
  void WriteServiceConfig() {
    WriteNlogConfig("fileName=\"" + (root_ / "service").string() + "/${shortdate}.log\"");
  }

  std::unique_ptr<KSLogger> MakeLogger() {
    // mktime once, here: it is not meant to be called from several threads.
    return std::make_unique<KSLogger>("LM.log", [now = FixedNow()] { return now; });
  }

  fs::path ServiceLog() const { return root_ / "service" / "2024-3-5-LM.log"; }
  fs::path FallbackLog() const { return localAppData_ / "ksdata" / "logs" / "2024-3-5-LM.log"; }

  // Makes the logger and writes one line of each level and one of none;
  // returns what reached the debug output meanwhile.
  std::string MakeLoggerAndWriteEachLevel(std::unique_ptr<KSLogger>& logger) {
    testing::internal::CaptureStderr();
    logger = MakeLogger();
    logger->Write("error line", 0);
    logger->Write("info line", 1);
    logger->Write("debug line", 2);
    logger->Write("other line", 7);
    return testing::internal::GetCapturedStderr();
  }

  const keystead::test_support::TempFolder folder_;
  const fs::path root_{folder_.Path()};
  const fs::path localAppData_{root_ / "appdata"};
  const keystead::test_support::ScopedEnv localAppDataVariable_{"KEYSTEAD_LOCALAPPDATA",
                                                                localAppData_.string()};
  const keystead::test_support::ScopedEnv debugOutput_{"KEYSTEAD_DEBUG_OUTPUT", "1"};
  keystead::test_support::TestRegistry registry_{root_};
};

TEST(KSLoggerFormatTest, DailyFileNameHasNoLeadingZeros) {
  EXPECT_EQ(KSLogger::DailyFileName(LocalTime(2024, 3, 5), "LM.log"), "2024-3-5-LM.log");
  EXPECT_EQ(KSLogger::DailyFileName(LocalTime(1999, 12, 31), "LM.log"), "1999-12-31-LM.log");
}

TEST(KSLoggerFormatTest, LevelTags) {
  EXPECT_EQ(KSLogger::LevelTag(0), " | ERROR | ");
  EXPECT_EQ(KSLogger::LevelTag(1), " | INFO | ");
  EXPECT_EQ(KSLogger::LevelTag(2), " | DEBUG | ");
  EXPECT_EQ(KSLogger::LevelTag(3), " | ");
  EXPECT_EQ(KSLogger::LevelTag(-1), " | ");
}

TEST_F(KSLoggerTest, WritesFormattedLinesToTheDailyFile) {
  WriteServiceConfig();
  auto logger = MakeLogger();
  std::string text = "URIContext - ProcessRequest: start";
  text += '\0';
  text += "hidden";
  logger->Write(text, 1);

  const auto lines = ReadLines(ServiceLog());
  ASSERT_EQ(lines.size(), 2u);
  const std::string prefix = "2024-03-05.12:34:56 | " +
                             std::to_string(keystead::os::CurrentProcessId()) + " | " +
                             std::to_string(keystead::os::CurrentThreadId()) + " | ";
  EXPECT_EQ(lines[0], prefix + kInitLine);
  EXPECT_EQ(lines[1], prefix + " | INFO | URIContext - ProcessRequest: start");
}

TEST_F(KSLoggerTest, WithoutNlogConfigOnlyErrorLinesAreWritten) {
  std::unique_ptr<KSLogger> logger;
  const std::string debugOutput = MakeLoggerAndWriteEachLevel(logger);

  EXPECT_FALSE(logger->HasNlogConfig());
  const auto lines = ReadLines(FallbackLog());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].ends_with(" |  | ERROR | error line")) << lines[0];
  EXPECT_NE(debugOutput.find(lines[0]), std::string::npos);
  EXPECT_EQ(debugOutput.find("info line"), std::string::npos);
}

TEST_F(KSLoggerTest, WithNlogConfigEveryLevelIsWrittenAndMirrored) {
  WriteServiceConfig();
  std::unique_ptr<KSLogger> logger;
  const std::string debugOutput = MakeLoggerAndWriteEachLevel(logger);

  const auto lines = ReadLines(ServiceLog());
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_TRUE(lines[1].ends_with(" |  | ERROR | error line"));
  EXPECT_TRUE(lines[2].ends_with(" |  | INFO | info line"));
  EXPECT_TRUE(lines[3].ends_with(" |  | DEBUG | debug line"));
  EXPECT_TRUE(lines[4].ends_with(" |  | other line"));
  for (const auto& line : lines) EXPECT_NE(debugOutput.find(line), std::string::npos) << line;
}

struct FolderCase {
  const char* name;
  std::optional<std::string> fileNameAttribute;  // nullopt: no NLog.config at all
  std::string expectedDir;                       // empty: the local app data fallback
};

// Replaces "<service>" by the test's service folder.
std::string WithServiceFolder(std::string text, const std::string& service) {
  for (std::size_t at; (at = text.find("<service>")) != std::string::npos;) {
    text.replace(at, 9, service);
  }
  return text;
}

class KSLoggerFolderTest : public KSLoggerTest, public testing::WithParamInterface<FolderCase> {};

TEST_P(KSLoggerFolderTest, ResolvesAndCreatesTheLogFolder) {
  const std::string service = (root_ / "service").string();
  if (const auto& attribute = GetParam().fileNameAttribute) {
    WriteNlogConfig(WithServiceFolder(*attribute, service));
  }
  auto logger = MakeLogger();
  const std::string expected = GetParam().expectedDir.empty()
                                   ? (localAppData_ / "ksdata" / "logs" / "").string()
                                   : WithServiceFolder(GetParam().expectedDir, service);
  EXPECT_EQ(logger->LogsDir(), expected);
  EXPECT_TRUE(fs::is_directory(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KSLoggerFolderTest,
    testing::Values(
        FolderCase{"AbsoluteFolder", "fileName=\"<service>/${shortdate}.log\"", "<service>/"},
        FolderCase{"FirstAttributeWins",
                   "fileName=\"<service>/a.log\"/>\n<target fileName=\"<service>/b/c.log\"",
                   "<service>/"},
        FolderCase{"BackslashSeparator", "fileName=\"<service>\\c.log\"", "<service>\\"},
        FolderCase{"BaseDir", "fileName=\"${basedir}/logs/${shortdate}.log\"", ""},
        FolderCase{"OtherLayoutRenderer", "fileName=\"${specialfolder:folder=X}/logs/a.log\"", ""},
        FolderCase{"RelativeFolder", "fileName=\"logs/a.log\"", ""},
        FolderCase{"BareFileName", "fileName=\"a.log\"", ""},
        FolderCase{"SpacedAttributeIgnored", "fileName = \"<service>/a.log\"", ""},
        FolderCase{"NoConfig", std::nullopt, ""}),
    [](const testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.name); });

TEST_F(KSLoggerTest, FolderThatCannotBeCreatedLosesFileLinesOnly) {
  std::ofstream(root_ / "blocker") << "a file where a folder should be";
  WriteNlogConfig("fileName=\"" + (root_ / "blocker" / "logs").string() + "/a.log\"");
  testing::internal::CaptureStderr();
  auto logger = MakeLogger();
  logger->Write("still reaches the debugger", 0);
  const std::string debugOutput = testing::internal::GetCapturedStderr();

  EXPECT_NE(debugOutput.find("KSLogger::Initialize ERROR Creating directory"), std::string::npos);
  EXPECT_NE(debugOutput.find("ERROR | still reaches the debugger"), std::string::npos);
  EXPECT_TRUE(fs::is_regular_file(root_ / "blocker"));
}

struct MaskingCase {
  const char* name;
  bool nlogConfig;
  std::optional<std::uint32_t> fullLogEnable;
  bool masked;
};

class KSLoggerMaskingTest : public KSLoggerTest, public testing::WithParamInterface<MaskingCase> {};

TEST_P(KSLoggerMaskingTest, MasksLinesAndTokensByOneSwitch) {
  if (GetParam().nlogConfig) WriteServiceConfig();
  if (GetParam().fullLogEnable) SetFullLogEnable(*GetParam().fullLogEnable);
  auto logger = MakeLogger();
  const std::string body = R"({"faceData":[1,2],"idToken":"tok","otpInfo":{"a":1}})";
  logger->Write("Handler - ContentIn: " + body + " x-idToken: raw", 0);

  const auto lines = ReadLines(GetParam().nlogConfig ? ServiceLog() : FallbackLog());
  ASSERT_FALSE(lines.empty());
  const std::string& line = lines.back();
  EXPECT_EQ(logger->IsMaskingEnabled(), GetParam().masked);
  if (GetParam().masked) {
    EXPECT_TRUE(
        line.ends_with(R"(ContentIn: {"faceData":[X],"idToken":"X","otpInfo":{X}} x-idToken: X)"))
        << line;
    EXPECT_EQ(logger->MaskToken("rat-value"), "X");
    EXPECT_EQ(logger->MaskHeaderBlock("Authorization: Bearer t\r\nCaller: web"),
              "Authorization: X\r\nCaller: web");
  } else {
    EXPECT_TRUE(line.ends_with("ContentIn: " + body + " x-idToken: raw")) << line;
    EXPECT_EQ(logger->MaskToken("rat-value"), "rat-value");
    EXPECT_EQ(logger->MaskHeaderBlock("Authorization: Bearer t"), "Authorization: Bearer t");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KSLoggerMaskingTest,
    testing::Values(MaskingCase{"ConfigPresent", true, std::nullopt, true},
                    MaskingCase{"FullLogZero", true, 0, true},
                    MaskingCase{"FullLogEnabled", true, 1, false},
                    MaskingCase{"NoConfigErrorLinesMasked", false, std::nullopt, true},
                    MaskingCase{"NoConfigFullLogEnabled", false, 1, false}),
    [](const testing::TestParamInfo<MaskingCase>& info) { return std::string(info.param.name); });

// An error line carrying a response body, written without the service
// configuration: neither the file nor the debugger output holds a secret.
TEST_F(KSLoggerTest, ErrorLineWithoutConfigCarriesNoToken) {
  testing::internal::CaptureStderr();
  auto logger = MakeLogger();
  logger->Write(
      "PostMatchFrames - ContentOut: "
      R"({"idToken":"secret-id","cloudKey":"secret-key","oauthTransId":"secret-tx",)"
      R"("nonce":"secret-nonce","matchStatus":true})",
      0);
  const std::string debugOutput = testing::internal::GetCapturedStderr();

  const auto lines = ReadLines(FallbackLog());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].ends_with(
      R"({"idToken":"X","cloudKey":"X","oauthTransId":"X","nonce":"X","matchStatus":true})"))
      << lines[0];
  EXPECT_EQ(debugOutput.find("secret"), std::string::npos) << debugOutput;
}

class KSLoggerConcurrencyTest : public KSLoggerTest {};

TEST_F(KSLoggerConcurrencyTest, ConcurrentWritersProduceWholeLines) {
  WriteServiceConfig();
  ::setenv("KEYSTEAD_DEBUG_OUTPUT", "0", 1);
  auto logger = MakeLogger();
  constexpr int kThreads = 6;
  constexpr int kLinesPerThread = 150;
  const std::string padding(300, '.');
  {
    // All writers live at once, so no thread id can be handed out twice.
    std::latch allStarted(kThreads);
    std::vector<std::jthread> writers;
    for (int t = 0; t < kThreads; ++t) {
      writers.emplace_back([&, t] {
        allStarted.arrive_and_wait();
        for (int i = 0; i < kLinesPerThread; ++i) {
          logger->Write("w" + std::to_string(t) + "-" + std::to_string(i) + padding, 1);
        }
      });
    }
  }

  const auto lines = ReadLines(ServiceLog());
  ASSERT_EQ(lines.size(), 1u + kThreads * kLinesPerThread);
  const std::regex whole(
      R"(2024-03-05\.12:34:56 \| (\d+) \| (\d+) \|  \| INFO \| (w(\d+)-\d+)\.{300})");
  std::set<std::string> seen;
  std::set<std::string> processIds;
  std::map<std::string, std::set<std::string>> threadIdsOfWriter;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[i], match, whole)) << lines[i];
    processIds.insert(match[1]);
    threadIdsOfWriter[match[4]].insert(match[2]);
    seen.insert(match[3]);
  }
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kLinesPerThread));
  EXPECT_EQ(processIds, std::set<std::string>{std::to_string(keystead::os::CurrentProcessId())});
  // Each line names the thread that wrote it: one id per writer, all distinct.
  ASSERT_EQ(threadIdsOfWriter.size(), static_cast<std::size_t>(kThreads));
  std::set<std::string> threadIds;
  for (const auto& [writer, ids] : threadIdsOfWriter) {
    EXPECT_EQ(ids.size(), 1u) << "writer " << writer;
    threadIds.insert(ids.begin(), ids.end());
  }
  EXPECT_EQ(threadIds.size(), static_cast<std::size_t>(kThreads));
}

}  // namespace
}  // namespace corvane::larchmere::plugin
