// The install helper: user names from the registry, the suite account's
// e-mail, change notices and the start of the install utility.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fakes/FakeSuiteMachine.h"
#include "plugin/platform/KSInstHelper.h"

namespace Corvane::Keystead::Vessa {
namespace {

using keystead::test::FakeSuiteMachine;
using keystead::test::kFakeSuiteAll;
using keystead::test::kFakeSuiteNotifyOnly;
using keystead::test::kOemInfoKey;
using testing::ElementsAre;
using testing::IsEmpty;

// The router's helper.
KSInstHelper RouterHelper() {
  return KSInstHelper(L"Software\\Corvane\\OemInfo", L"FirstName", L"LastName");
}

TEST(KSInstHelperTest, UserNameFromTheRegistry) {
  struct Case {
    const char* name;
    std::optional<std::string> first;
    std::optional<std::string> last;
    int result;
    std::string wantFirst;
    std::string wantLast;
  };
  const std::string longest(129, 'n');
  const auto euros = [](int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "\xE2\x82\xAC";  // U+20AC: 3 bytes, 1 unit
    return text;
  };
  const std::vector<Case> cases = {
      {"both", "Ana", "Silva", kUserNameRead, "Ana", "Silva"},
      {"first name only", "Ana", std::nullopt, kUserNameMissing, "Ana", ""},
      {"last name only: not read without the first", std::nullopt, "Silva", kUserNameMissing, "",
       ""},
      {"neither", std::nullopt, std::nullopt, kUserNameMissing, "", ""},
      {"non-ASCII", "Zoë", "Łukasz", kUserNameRead, "Zoë", "Łukasz"},
      {"129 units fit the buffer", longest, "S", kUserNameRead, longest, "S"},
      {"130 units do not", longest + "n", "S", kUserNameMissing, "", ""},
      {"129 three-byte characters fit", euros(129), "S", kUserNameRead, euros(129), "S"},
      {"130 three-byte characters do not", euros(130), "S", kUserNameMissing, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSuiteMachine machine;
    if (c.first) machine.SetRegistryValue(kOemInfoKey, "FirstName", *c.first);
    if (c.last) machine.SetRegistryValue(kOemInfoKey, "LastName", *c.last);
    KSInstHelper helper = RouterHelper();
    std::string first;
    std::string last;
    EXPECT_EQ(helper.getVsuAccountUserName(first, last), c.result);
    EXPECT_EQ(first, c.wantFirst);
    EXPECT_EQ(last, c.wantLast);
  }
}

TEST(KSInstHelperTest, AccountEmailFromTheSuite) {
  struct Case {
    const char* name;
    const char* library;  // null: no suite installed
    std::vector<std::pair<std::string, std::string>> fake;
    int result;
    std::string email;
  };
  const std::vector<Case> cases = {
      {"no suite installed", nullptr, {{"FAKE_VSUAPI_EMAIL", "a@b.c"}}, 3, ""},
      {"account", kFakeSuiteAll, {{"FAKE_VSUAPI_EMAIL", "ana@example.com"}}, 0, "ana@example.com"},
      {"non-ASCII address",
       kFakeSuiteAll,
       {{"FAKE_VSUAPI_EMAIL", "zoë@example.com"}},
       0,
       "zoë@example.com"},
      {"no account", kFakeSuiteAll, {}, 2, ""},
      {"invalid parameter", kFakeSuiteAll, {{"FAKE_VSUAPI_EMAIL_STATUS", "87"}}, 1, ""},
      {"not supported", kFakeSuiteAll, {{"FAKE_VSUAPI_EMAIL_STATUS", "50"}}, 3, ""},
      {"other failure", kFakeSuiteAll, {{"FAKE_VSUAPI_EMAIL_STATUS", "5"}}, 3, ""},
      {"function not exported", kFakeSuiteNotifyOnly, {{"FAKE_VSUAPI_EMAIL", "a@b.c"}}, 3, ""},
      {"unterminated full buffer is cut at its last unit",
       kFakeSuiteAll,
       {{"FAKE_VSUAPI_EMAIL_FILL", "1"}, {"FAKE_VSUAPI_EMAIL_STATUS", "0"}},
       0,
       std::string(999, 'a')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSuiteMachine machine;
    if (c.library != nullptr) machine.InstallSuite(c.library);
    for (const auto& [name, value] : c.fake) machine.SetFake(name, value);
    KSInstHelper helper = RouterHelper();
    std::string email;
    EXPECT_EQ(helper.getVsuAccountEmail(email), c.result);
    EXPECT_EQ(email, c.email);
  }
}

TEST(KSInstHelperTest, TheSuiteGetsAThousandUnitBuffer) {
  FakeSuiteMachine machine;
  machine.InstallSuite(kFakeSuiteAll);
  machine.SetFake("FAKE_VSUAPI_EMAIL", "a@b.c");
  KSInstHelper helper = RouterHelper();
  std::string email;
  ASSERT_EQ(helper.getVsuAccountEmail(email), 0);
  EXPECT_THAT(machine.SuiteLog(), ElementsAre("load", "GetVSUAccountEmail 1000"));
}

TEST(KSInstHelperTest, NotifyChangeSendsTheCommandAndStartsTheUtilityForAnEmail) {
  struct Case {
    const char* name;
    const char* library;  // null: no suite installed
    std::string notifyStatus;
    std::string appId;
    std::string email;
    int result;
    std::vector<std::string> suiteCalls;  // after "load"
    bool utilityStarted;
  };
  const std::vector<Case> cases = {
      {"delivered",
       kFakeSuiteAll,
       "0",
       "app",
       "ana@example.com",
       0,
       {"NotifyChange null null [app ana@example.com] 0"},
       true},
      {"empty e-mail reaches the suite, starts nothing",
       kFakeSuiteAll,
       "0",
       "app",
       "",
       0,
       {"NotifyChange null null [app ] 0"},
       false},
      {"suite says invalid parameter",
       kFakeSuiteAll,
       "87",
       "app",
       "a@b.c",
       1,
       {"NotifyChange null null [app a@b.c] 0"},
       true},
      {"suite says not found",
       kFakeSuiteAll,
       "1168",
       "app",
       "a@b.c",
       2,
       {"NotifyChange null null [app a@b.c] 0"},
       true},
      {"suite failure still starts the utility",
       kFakeSuiteAll,
       "31",
       "app",
       "a@b.c",
       3,
       {"NotifyChange null null [app a@b.c] 0"},
       true},
      {"notify-only library",
       kFakeSuiteNotifyOnly,
       "0",
       "app",
       "a@b.c",
       0,
       {"NotifyChange null null [app a@b.c] 0"},
       true},
      {"no suite installed", nullptr, "0", "app", "a@b.c", 3, {}, true},
      {"space in the e-mail", kFakeSuiteAll, "0", "app", "a@b.c other", 1, {}, false},
      {"space in the appId", kFakeSuiteAll, "0", "app x", "a@b.c", 1, {}, false},
      {"line feed in the e-mail", kFakeSuiteAll, "0", "app", "a@b.c\n/x", 1, {}, false},
      {"tab in the appId", kFakeSuiteAll, "0", "a\tb", "a@b.c", 1, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSuiteMachine machine;
    machine.InstallUtility();
    if (c.library != nullptr) machine.InstallSuite(c.library);
    machine.SetFake("FAKE_VSUAPI_NOTIFY_STATUS", c.notifyStatus);
    KSInstHelper helper = RouterHelper();
    EXPECT_EQ(helper.notifyChange(c.appId, c.email), c.result);
    std::vector<std::string> calls = machine.SuiteLog();
    if (!calls.empty() && calls.front() == "load") calls.erase(calls.begin());
    EXPECT_EQ(calls, c.suiteCalls);
    if (c.utilityStarted) {
      EXPECT_THAT(machine.UtilityLog(), ElementsAre("/regbrwextn"));
    } else {
      EXPECT_THAT(machine.UtilityLog(), IsEmpty());
    }
  }
}

TEST(KSInstHelperTest, TheUtilityIsNeverStartedFromAGuessedPath) {
  for (const std::optional<std::string>& installDir :
       {std::optional<std::string>(), std::optional<std::string>(""),
        std::optional<std::string>("product")}) {
    SCOPED_TRACE(installDir.value_or("<none>"));
    FakeSuiteMachine machine;
    machine.InstallSuite(kFakeSuiteAll);
    machine.InstallUtility();
    if (installDir) {
      machine.SetRegistryValue(keystead::test::kInstallInfoKey, keystead::test::kInstallDirValue,
                               *installDir);
    } else {
      machine.RemoveRegistryValue(keystead::test::kInstallInfoKey,
                                  keystead::test::kInstallDirValue);
    }
    KSInstHelper helper = RouterHelper();
    EXPECT_EQ(helper.GetInstallFolder(), installDir.value_or(""));
    EXPECT_EQ(helper.notifyChange("app", "a@b.c"), 0);
    EXPECT_THAT(machine.UtilityLog(), IsEmpty());
  }
}

TEST(KSInstHelperTest, ExecuteCommandReportsWhetherTheProgramStarted) {
  FakeSuiteMachine machine;
  machine.InstallUtility();
  KSInstHelper helper = RouterHelper();
  EXPECT_TRUE(helper.ExecuteCommand(machine.UtilityProgram(), "/regbrwextn"));
  EXPECT_FALSE(helper.ExecuteCommand(machine.Path("product/missing"), "/regbrwextn"));
  EXPECT_THAT(machine.UtilityLog(), ElementsAre("/regbrwextn"));
}

TEST(KSInstHelperTest, CanHideARPAsksTheSuite) {
  struct Case {
    const char* library;
    const char* answer;
    bool result;
  };
  for (const Case& c : {Case{kFakeSuiteAll, "1", true}, Case{kFakeSuiteAll, "0", false},
                        Case{kFakeSuiteNotifyOnly, "1", false}, Case{nullptr, "1", false}}) {
    SCOPED_TRACE(testing::Message() << (c.library ? c.library : "no suite") << " " << c.answer);
    FakeSuiteMachine machine;
    if (c.library != nullptr) machine.InstallSuite(c.library);
    machine.SetFake("FAKE_VSUAPI_CANHIDE", c.answer);
    KSInstHelper helper = RouterHelper();
    EXPECT_EQ(helper.canHideARP(L"Keystead"), c.result);
    if (c.result) {
      EXPECT_THAT(machine.SuiteLog(), ElementsAre("load", "CanHideARP [Keystead]"));
    }
  }
}

}  // namespace
}  // namespace Corvane::Keystead::Vessa
