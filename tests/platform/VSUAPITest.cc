// The run-time binding of the suite's account library: where it is looked
// for, which libraries are refused, what is resolved, and that a failed
// attempt is repeated on the next use.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "fakes/FakeSuiteMachine.h"
#include "os/code_signature.h"
#include "plugin/platform/VSUAPI.h"

namespace Corvane::Keystead::Vessa {
namespace {

using keystead::test::FakeSuiteMachine;
using keystead::test::kFakeSuiteAll;
using keystead::test::kFakeSuiteNotifyOnly;

// Exposes the binding to the tests.
class ProbeVSUAPI : public VSUAPI {
 public:
  int getVsuAccountEmail(std::string&) override { return 0; }
  int notifyChange(const std::string&, const std::string&) override { return 0; }

  using VSUAPI::BoundCanHideARP;
  using VSUAPI::BoundGetVSUAccountEmail;
  using VSUAPI::BoundNotifyChange;
};

long LoadCount(const FakeSuiteMachine& machine) {
  const std::vector<std::string> log = machine.SuiteLog();
  return std::count(log.begin(), log.end(), "load");
}

TEST(VSUAPITest, ResolvesWhatTheLibraryExports) {
  struct Case {
    const char* library;
    bool email;
    bool notify;
    bool canHide;
  };
  for (const Case& c :
       {Case{kFakeSuiteAll, true, true, true}, Case{kFakeSuiteNotifyOnly, false, true, false}}) {
    SCOPED_TRACE(c.library);
    FakeSuiteMachine machine;
    machine.InstallSuite(c.library);
    ProbeVSUAPI api;
    EXPECT_EQ(ProbeVSUAPI::BoundGetVSUAccountEmail() != nullptr, c.email);
    EXPECT_EQ(ProbeVSUAPI::BoundNotifyChange() != nullptr, c.notify);
    EXPECT_EQ(ProbeVSUAPI::BoundCanHideARP() != nullptr, c.canHide);
    EXPECT_TRUE(VSUAPI::IsLoaded());
    EXPECT_EQ(LoadCount(machine), 1) << "bound once, reused afterwards";
  }
  EXPECT_FALSE(VSUAPI::IsLoaded()) << "destroying the instance unloads the library";
}

TEST(VSUAPITest, NothingIsBoundWithoutAUsableSuiteFolder) {
  struct Case {
    const char* name;
    std::optional<std::string> installDir;
  };
  const std::vector<Case> cases = {
      {"no suite key", std::nullopt},
      {"empty folder name", ""},
      {"relative folder", "suite"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSuiteMachine machine;
    machine.InstallSuite(kFakeSuiteAll);
    if (c.installDir) {
      machine.SetRegistryValue(keystead::test::kSuiteKey, keystead::test::kSuiteDirValue,
                               *c.installDir);
    } else {
      machine.RemoveRegistryValue(keystead::test::kSuiteKey, keystead::test::kSuiteDirValue);
    }
    ProbeVSUAPI api;
    EXPECT_EQ(ProbeVSUAPI::BoundGetVSUAccountEmail(), nullptr);
    EXPECT_EQ(ProbeVSUAPI::BoundNotifyChange(), nullptr);
    EXPECT_FALSE(VSUAPI::IsLoaded());
    EXPECT_EQ(LoadCount(machine), 0);
  }
}

TEST(VSUAPITest, AFailedBindingIsRetriedOnTheNextUse) {
  FakeSuiteMachine machine;
  machine.InstallSuite(kFakeSuiteAll);
  std::filesystem::remove(machine.SuiteLibrary());
  ProbeVSUAPI api;
  EXPECT_EQ(ProbeVSUAPI::BoundNotifyChange(), nullptr);
  EXPECT_EQ(ProbeVSUAPI::BoundNotifyChange(), nullptr);

  machine.InstallSuite(kFakeSuiteAll);
  EXPECT_NE(ProbeVSUAPI::BoundNotifyChange(), nullptr);
  EXPECT_EQ(LoadCount(machine), 1);
}

TEST(VSUAPITest, ALibraryFailingTheOwnershipCheckIsNeverLoaded) {
  FakeSuiteMachine machine;
  machine.InstallSuite(kFakeSuiteAll);
  const auto groupWrite = std::filesystem::perms::group_write;
  for (const std::string& writable : {machine.SuiteLibrary(), machine.SuiteFolder()}) {
    SCOPED_TRACE(writable);
    std::filesystem::permissions(writable, groupWrite, std::filesystem::perm_options::add);
    ProbeVSUAPI api;
    EXPECT_EQ(ProbeVSUAPI::BoundNotifyChange(), nullptr);
    EXPECT_FALSE(VSUAPI::IsLoaded());
    std::filesystem::permissions(writable, groupWrite, std::filesystem::perm_options::remove);
  }
  EXPECT_EQ(LoadCount(machine), 0);
}

TEST(VSUAPITest, TheLibraryIsVerifiedAtTheSuiteFolderBeforeLoading) {
  FakeSuiteMachine machine;
  machine.InstallSuite(kFakeSuiteAll);
  std::vector<std::string> checked;
  keystead::os::ScopedCodeSignatureVerifierForTesting refuseAll(
      [&](const std::string& path) -> keystead::os::CodeSignatureVerdict {
        checked.push_back(path);
        return {false, "refused by the test"};
      });
  ProbeVSUAPI api;
  EXPECT_EQ(ProbeVSUAPI::BoundGetVSUAccountEmail(), nullptr);
  EXPECT_EQ(checked, std::vector<std::string>{machine.SuiteLibrary()});
  EXPECT_EQ(LoadCount(machine), 0);
}

TEST(VSUAPITest, UnloadedLibraryIsBoundAgainOnTheNextUse) {
  FakeSuiteMachine machine;
  machine.InstallSuite(kFakeSuiteAll);
  {
    ProbeVSUAPI first;
    ASSERT_NE(ProbeVSUAPI::BoundNotifyChange(), nullptr);
  }
  EXPECT_FALSE(VSUAPI::IsLoaded());
  ProbeVSUAPI second;
  EXPECT_NE(ProbeVSUAPI::BoundNotifyChange(), nullptr);
  EXPECT_TRUE(VSUAPI::IsLoaded());
  // Whether the loader really unmapped the library in between (and so ran its
  // constructor again) is glibc's choice, not ours: count at least one load.
  EXPECT_GE(LoadCount(machine), 1);
}

TEST(VSUAPIConcurrencyTest, ConcurrentFirstUsesBindOnce) {
  FakeSuiteMachine machine;
  machine.InstallSuite(kFakeSuiteAll);
  ProbeVSUAPI api;
  std::vector<std::thread> threads;
  std::vector<int> bound(8, 0);
  for (std::size_t i = 0; i < bound.size(); ++i) {
    threads.emplace_back([&bound, i] {
      bound[i] = ProbeVSUAPI::BoundGetVSUAccountEmail() != nullptr &&
                 ProbeVSUAPI::BoundNotifyChange() != nullptr;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(std::count(bound.begin(), bound.end(), 1), 8);
  EXPECT_EQ(LoadCount(machine), 1);
}

}  // namespace
}  // namespace Corvane::Keystead::Vessa
