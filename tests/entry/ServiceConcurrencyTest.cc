// One handler object serves every "/settings" and "/users/remote" request:
// requests racing each other must still be answered from their own URL.
#include <string>
#include <thread>
#include <vector>

#include "tests/entry/ServiceTestSupport.h"

namespace corvane::larchmere::plugin::test {
namespace {

constexpr int kRequestsPerThread = 300;

struct RacingReadCase {
  const char* name;
  std::string firstPath;
  std::string secondPath;
  std::string firstMarker;  // found only in the first path's answer
  std::string secondMarker;
};

class ServiceConcurrencyTest : public ServiceTest,
                               public ::testing::WithParamInterface<RacingReadCase> {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    sim::Configure([](sim::Config& config) {
      config.settings["SETTING_ONE"] = {"SETTING_ONE", "value-one", "", "", "true", ""};
      config.settings["SETTING_TWO"] = {"SETTING_TWO", "value-two", "", "", "true", ""};
      for (const char* email : {"one@example.com", "two@example.com"}) {
        sim::sdk::RemoteUser user;
        user.email = email;
        config.remoteUsers.users.push_back(user);
      }
    });
  }
};

// Counts the answers of `path` that lack `ownMarker` or carry `otherMarker`.
int CountForeignAnswers(const std::string& path, const std::string& ownMarker,
                        const std::string& otherMarker) {
  int foreign = 0;
  for (int request = 0; request < kRequestsPerThread; ++request) {
    const std::string body = ServiceTest::Send("GET", path).body;
    if (body.find(ownMarker) == std::string::npos || body.find(otherMarker) != std::string::npos) {
      ++foreign;
    }
  }
  return foreign;
}

TEST_P(ServiceConcurrencyTest, EachRequestIsAnsweredFromItsOwnUrl) {
  const RacingReadCase& test = GetParam();
  int firstForeign = 0;
  int secondForeign = 0;
  {
    std::jthread first([&] {
      firstForeign = CountForeignAnswers(test.firstPath, test.firstMarker, test.secondMarker);
    });
    std::jthread second([&] {
      secondForeign = CountForeignAnswers(test.secondPath, test.secondMarker, test.firstMarker);
    });
  }
  EXPECT_EQ(firstForeign, 0);
  EXPECT_EQ(secondForeign, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceConcurrencyTest,
    ::testing::Values(RacingReadCase{"Settings", "/settings?id=SETTING_ONE",
                                     "/settings?id=SETTING_TWO", "value-one", "value-two"},
                      RacingReadCase{"RemoteUsers", "/users/remote?email=one@example.com",
                                     "/users/remote?email=two@example.com", "one@example.com",
                                     "two@example.com"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::larchmere::plugin::test
