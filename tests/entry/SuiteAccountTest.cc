// The suite-account endpoints through the plug-in's exports, with a fake
// suite library installed (or not) on a throw-away machine.
#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "FactorTestSupport.h"
#include "fakes/FakeSuiteMachine.h"
#include "plugin/entry/PluginTestHooks.h"

namespace corvane::larchmere::plugin::entry::test {
namespace {

using keystead::test::FakeSuiteMachine;
using keystead::test::kFakeSuiteAll;
using keystead::test::kFakeSuiteNotifyOnly;
using keystead::test::kOemInfoKey;

constexpr char kAccount[] = "/vsu/account";
constexpr char kNotifyChange[] = "/vsu/notifychange";

// Windows trusts signed modules only: while an object lives, the plug-in
// trusts the unsigned fake suite libraries of the test machines.
class PluginTrustsTestMachines {
 public:
  PluginTrustsTestMachines() {
#ifdef _WIN32
    keystead::test_hooks::SetPluginCodeSignatureVerifier([](const std::string& path) {
      return path.find(FakeSuiteMachine::kFolderPrefix) != std::string::npos;
    });
#endif
  }
  ~PluginTrustsTestMachines() {
#ifdef _WIN32
    keystead::test_hooks::SetPluginCodeSignatureVerifier({});
#endif
  }
  PluginTrustsTestMachines(const PluginTrustsTestMachines&) = delete;
  PluginTrustsTestMachines& operator=(const PluginTrustsTestMachines&) = delete;
};

// The machine is set up before the plug-in starts and goes after Finalize
// has unloaded the suite library.
class SuiteAccountTest : public FactorTest {
 protected:
  bool SuiteLoaded() const {
    const std::vector<std::string> log = machine.SuiteLog();
    return std::find(log.begin(), log.end(), "load") != log.end();
  }

  PluginTrustsTestMachines trust;
  FakeSuiteMachine machine;
};

TEST_F(SuiteAccountTest, AccountAnswersTheSuiteEmailAndTheRegisteredNames) {
  const std::string noEmail = "Unable to retrieve VSU account email";
  struct Case {
    const char* name;
    const char* library;  // null: no suite installed
    std::optional<std::string> email;
    std::optional<std::string> firstName;
    std::optional<std::string> lastName;
    unsigned short status;
    std::string body;
  };
  const std::vector<Case> cases = {
      {"no suite installed", nullptr, "a@b.c", "Ana", "Silva", 500, ErrorDocument(5, 3, noEmail)},
      {"library without an account", kFakeSuiteAll, std::nullopt, "Ana", "Silva", 500,
       ErrorDocument(5, 2, noEmail)},
      {"library exporting NotifyChange only", kFakeSuiteNotifyOnly, "a@b.c", "Ana", "Silva", 500,
       ErrorDocument(5, 3, noEmail)},
      {"account and both names", kFakeSuiteAll, "a@b.c", "Ana", "Silva", 200,
       R"({"email":"a@b.c","firstName":"Ana","lastName":"Silva"})"
       "\n"},
      {"only a first name", kFakeSuiteAll, "a@b.c", "Ana", std::nullopt, 200,
       R"({"email":"a@b.c","firstName":"Ana","lastName":""})"
       "\n"},
      {"no names", kFakeSuiteAll, "a@b.c", std::nullopt, std::nullopt, 200,
       R"({"email":"a@b.c","firstName":"","lastName":""})"
       "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A fresh plug-in per case: Finalize unloads the suite library.
    Finalize();
    FakeSuiteMachine caseMachine;
    if (c.library != nullptr) caseMachine.InstallSuite(c.library);
    if (c.email) caseMachine.SetFake("FAKE_VSUAPI_EMAIL", *c.email);
    if (c.firstName) caseMachine.SetRegistryValue(kOemInfoKey, "FirstName", *c.firstName);
    if (c.lastName) caseMachine.SetRegistryValue(kOemInfoKey, "LastName", *c.lastName);
    ASSERT_TRUE(Start());
    const Answer answer = Request("GET", kAccount);
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.body, c.body);
    Finalize();
  }
}

TEST_F(SuiteAccountTest, AFailedAccountReadIsNeverAnsweredWith200) {
  machine.InstallSuite(kFakeSuiteAll);
  const std::string url = Url(kAccount);
  const Answer answer = Request("GET", url.c_str(), kJsonHeaders, nullptr, 0, 200);
  EXPECT_EQ(answer.status, 500);
  EXPECT_EQ(answer.body, ErrorDocument(5, 2, "Unable to retrieve VSU account email"));
}

TEST_F(SuiteAccountTest, ALibraryFailingTheOwnershipCheckIsNeverLoaded) {
  machine.InstallSuite(kFakeSuiteAll);
  machine.SetFake("FAKE_VSUAPI_EMAIL", "a@b.c");
  std::filesystem::permissions(machine.SuiteFolder(), std::filesystem::perms::others_write,
                               std::filesystem::perm_options::add);
  EXPECT_EQ(Request("GET", kAccount).body,
            ErrorDocument(5, 3, "Unable to retrieve VSU account email"));
  EXPECT_EQ(Post(kNotifyChange, R"({"appId":"app","email":"a@b.c"})").status, 500);
  EXPECT_FALSE(SuiteLoaded());
}

TEST_F(SuiteAccountTest, NotifyChangeReachesTheSuiteAndRegistersTheExtension) {
  machine.InstallSuite(kFakeSuiteNotifyOnly);
  machine.InstallUtility();
  const Answer answer = Post(kNotifyChange, R"({"appId":"app","email":"ana@example.com"})");
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.body, "{}");
  EXPECT_THAT(machine.SuiteLog(),
              testing::ElementsAre("load", "NotifyChange null null [app ana@example.com] 0"));
  EXPECT_THAT(machine.UtilityLog(), testing::ElementsAre("/regbrwextn"));
}

TEST_F(SuiteAccountTest, NotifyChangeAnswersWhatTheSuiteSaid) {
  const std::string failed = "Unable to notify VSU account change";
  struct Case {
    const char* name;
    const char* library;  // null: no suite installed
    const char* suiteStatus;
    unsigned short status;
    std::string body;
  };
  const std::vector<Case> cases = {
      {"delivered", kFakeSuiteAll, "0", 200, "{}"},
      {"account not found", kFakeSuiteAll, "1168", 500, ErrorDocument(5, 2, failed)},
      {"invalid parameter", kFakeSuiteAll, "87", 500, ErrorDocument(5, 1, failed)},
      {"other failure", kFakeSuiteAll, "50", 500, ErrorDocument(5, 3, failed)},
      {"no suite installed", nullptr, "0", 500, ErrorDocument(5, 3, failed)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Finalize();
    FakeSuiteMachine caseMachine;
    if (c.library != nullptr) caseMachine.InstallSuite(c.library);
    caseMachine.SetFake("FAKE_VSUAPI_NOTIFY_STATUS", c.suiteStatus);
    ASSERT_TRUE(Start());
    const Answer answer = Post(kNotifyChange, R"({"appId":"app","email":"a@b.c"})");
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.body, c.body);
    Finalize();
  }
}

TEST_F(SuiteAccountTest, NotifyChangeRefusesBadNoticesBeforeCallingAnything) {
  machine.InstallSuite(kFakeSuiteAll);
  machine.InstallUtility();
  const std::string invalidParam = ErrorDocument(0, 1002, "Invalid Param");
  struct Case {
    const char* name;
    std::string body;
    std::string answer;
  };
  const std::vector<Case> cases = {
      {"empty e-mail", R"({"appId":"a","email":""})", invalidParam},
      {"missing appId", R"({"email":"a@b.c"})", invalidParam},
      {"array body", R"(["a","a@b.c"])", invalidParam},
      {"space in the e-mail", R"({"appId":"a","email":"a@b.c /x"})", invalidParam},
      {"line feed in the appId", R"({"appId":"a\nb","email":"a@b.c"})", invalidParam},
      {"control character", R"({"appId":"a","email":"a@b.c\u0001"})", invalidParam},
      {"invalid JSON", "{oops", ErrorDocument(0, 1001, "Invalid Json")},
      {"trailing comma", R"({"appId":"a","email":"a@b.c",})",
       ErrorDocument(0, 1001, "Invalid Json")},
      {"not a text", R"({"appId":{"x":1},"email":"a@b.c"})",
       ErrorDocument(0, 1001, "Type is not convertible to string")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Answer answer = Post(kNotifyChange, c.body);
    EXPECT_EQ(answer.status, 400);
    EXPECT_EQ(answer.body, c.answer);
  }
  EXPECT_FALSE(SuiteLoaded());
  EXPECT_THAT(machine.UtilityLog(), testing::IsEmpty());
}

}  // namespace
}  // namespace corvane::larchmere::plugin::entry::test
