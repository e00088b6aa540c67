// "/devicecontext", "/csp/servers", "/users/remote", "/sync" and "/tm"
// through the plug-in's exports.
#include <string>
#include <vector>

#include "tests/entry/ServiceTestSupport.h"

namespace corvane::larchmere::plugin::test {
namespace {

const std::string kInvalidJson = ErrorDocument(0, 1001, "Invalid Json");
const std::string kInvalidParam = ErrorDocument(0, 1002, "Invalid Param");

// More nesting than the JSON reader accepts: it throws instead of recursing.
std::string TooDeep() { return std::string(1100, '[') + std::string(1100, ']'); }

// The body of a failed list: the error document as one JSON string.
std::string ListErrorBody(int code) {
  return R"("{\"error\":{\"code\":)" + std::to_string(code) +
         R"(,\"description\":\"Unknown Error\",\"source\":0}}\n")" + "\n";
}

// --- Device context ---

struct DeviceContextCase {
  const char* name;
  std::string answer;
  int engineResult;
  unsigned short startStatus;
  unsigned short expectedStatus;
  std::string expectedBody;  // empty: an error document with code 3
};

using ServiceDeviceContextTest = ServiceCaseTest<DeviceContextCase>;

TEST_P(ServiceDeviceContextTest, AnswersTheEngineAnswerOnceItIsJson) {
  const DeviceContextCase& test = GetParam();
  sim::Configure([&](sim::Config& config) { config.deviceContextAnswer = test.answer; });
  SetEngineResult("GetDeviceContext", test.engineResult);

  const ServiceResponse response =
      Send("POST", "/devicecontext", kJsonHeaders, "{\"ask\":1}", test.startStatus);

  EXPECT_EQ(response.status, test.expectedStatus);
  ExpectBodyOrErrorCode3(response.body, test.expectedBody);
  EXPECT_EQ(FirstArgs("GetDeviceContext"), std::vector<std::string>{"{\"ask\":1}"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceDeviceContextTest,
    ::testing::Values(
        DeviceContextCase{"NormalisedAnswer", R"({ "z" : 1, "a" : {"y": true} })", 0, 0, 200,
                          "{\"a\":{\"y\":true},\"z\":1}\n"},
        DeviceContextCase{"EngineErrorWithJsonAnswer", "{}", 5, 0, 200, "{}\n"},
        DeviceContextCase{"EmptyAnswer", "", 0, 0, 500, kInvalidJson},
        DeviceContextCase{"EmptyAnswerWhileStatusIs200", "", 0, 200, 500, kInvalidJson},
        DeviceContextCase{"AnswerWithComment", "{\"a\":1} // note", 0, 0, 200, "{\"a\":1}\n"},
        DeviceContextCase{"AnswerWithTrailingComma", "{\"a\":1,}", 0, 0, 500, kInvalidJson},
        DeviceContextCase{"AnswerTooDeepToParse", TooDeep(), 0, 0, 500, kInvalidJson}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Cloud servers ---

struct CloudServersCase {
  const char* name;
  std::vector<sim::sdk::CloudServer> servers;
  int engineResult;
  unsigned short startStatus;
  unsigned short expectedStatus;
  std::string expectedBody;
};

using ServiceCloudServersTest = ServiceCaseTest<CloudServersCase>;

TEST_P(ServiceCloudServersTest, ListsTheServers) {
  const CloudServersCase& test = GetParam();
  sim::Configure([&](sim::Config& config) { config.cloudServers = test.servers; });
  SetEngineResult("ListCloudServers", test.engineResult);

  const ServiceResponse response = Send("GET", "/csp/servers", kJsonHeaders, "", test.startStatus);

  EXPECT_EQ(response.status, test.expectedStatus);
  EXPECT_EQ(response.body, test.expectedBody);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceCloudServersTest,
    ::testing::Values(
        CloudServersCase{"OneServer",
                         {{"k1", "https://p.example", "https://s.example"}},
                         0,
                         0,
                         200,
                         "{\"cloudServerList\":[{\"key\":\"k1\",\"primaryUri\":\"https://"
                         "p.example\",\"secondaryUri\":\"https://s.example\"}]}\n"},
        CloudServersCase{"NoServer", {}, 0, 0, 200, "{\"cloudServerList\":[]}\n"},
        CloudServersCase{"EngineFails", {}, 12, 0, 500, ListErrorBody(12)},
        CloudServersCase{"EngineFailsWhileStatusIs200", {}, 12, 200, 200, ListErrorBody(12)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ServiceListErrorBodyTest, IsOneJsonStringWithEscapedQuotesAndTheDocumentsLineEnd) {
  EXPECT_EQ(ListErrorBody(12),
            "\"{\\\"error\\\":{\\\"code\\\":12,\\\"description\\\":\\\"Unknown Error\\\","
            "\\\"source\\\":0}}\\n\"\n");
}

// --- Remote users ---

sim::sdk::RemoteUserList TwoUsers() {
  sim::sdk::RemoteUserList list;
  list.users.push_back(
      {"a@example.com", "engine-only", true, false, true, false, 3, 15, true, false, 2, 4});
  list.users.push_back(
      {"b@example.com", "engine-only", false, true, false, true, -1, 0, false, true, 0, 1});
  list.fpAvailable = true;
  return list;
}

constexpr char kUserA[] =
    "{\"altFirstStep\":4,\"autoLockTime\":15,\"cloudKeyAvailable\":true,\"email\":\"a@example."
    "com\",\"emailVerified\":false,\"face\":true,\"firstStep\":2,\"fpEnabled\":false,"
    "\"masterPassword\":false,\"outOfBounds\":true,\"securityLevel\":3}";
constexpr char kUserB[] =
    "{\"altFirstStep\":1,\"autoLockTime\":0,\"cloudKeyAvailable\":false,\"email\":\"b@example."
    "com\",\"emailVerified\":true,\"face\":false,\"firstStep\":0,\"fpEnabled\":true,"
    "\"masterPassword\":true,\"outOfBounds\":false,\"securityLevel\":-1}";

struct RemoteUsersCase {
  const char* name;
  std::string path;
  int engineResult;
  unsigned short startStatus;
  unsigned short expectedStatus;
  std::string expectedBody;
  std::string expectedEmail;
};

using ServiceRemoteUsersTest = ServiceCaseTest<RemoteUsersCase>;

TEST_P(ServiceRemoteUsersTest, ListsTheUsersOfTheUrlsAddress) {
  const RemoteUsersCase& test = GetParam();
  sim::Configure([](sim::Config& config) { config.remoteUsers = TwoUsers(); });
  SetEngineResult("ListRemoteUsers", test.engineResult);

  const ServiceResponse response = Send("GET", test.path, kJsonHeaders, "", test.startStatus);

  EXPECT_EQ(response.status, test.expectedStatus);
  EXPECT_EQ(response.body, test.expectedBody);
  EXPECT_EQ(FirstArgs("ListRemoteUsers"), std::vector<std::string>{test.expectedEmail});
}

const std::string kBothUsers = std::string("{\"loggedInWindowsUser\":{\"fpAvailable\":true},") +
                               "\"userList\":[" + kUserA + "," + kUserB + "]}\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceRemoteUsersTest,
    ::testing::Values(
        RemoteUsersCase{"NoAddressListsAll", "/users/remote", 0, 0, 200, kBothUsers, ""},
        RemoteUsersCase{"AddressFromTheUrl", "/users/remote?email=b%40example.com&x=1", 0, 0, 200,
                        std::string("{\"loggedInWindowsUser\":{\"fpAvailable\":true},") +
                            "\"userList\":[" + kUserB + "]}\n",
                        "b@example.com"},
        RemoteUsersCase{"NoUserForTheAddress", "/users/remote?EMAIL=c@example.com", 0, 0, 200,
                        "{\"loggedInWindowsUser\":{\"fpAvailable\":true},\"userList\":[]}\n",
                        "c@example.com"},
        RemoteUsersCase{"EngineFails", "/users/remote", 40, 0, 500, ListErrorBody(40), ""},
        RemoteUsersCase{"EngineFailsWhileStatusIs200", "/users/remote", 40, 200, 200,
                        ListErrorBody(40), ""}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Session sync ---

using ServiceSessionSyncTest = ServiceCaseTest<EngineCallCase>;

TEST_P(ServiceSessionSyncTest, PassesTheOperationCode) {
  ExpectEngineCall(GetParam(), "/sync", "RemoteSessionSync");
}

// A starting 200 changes nothing: this endpoint sets every status itself.
INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceSessionSyncTest,
    ::testing::ValuesIn(std::vector<EngineCallCase>{
        {"LowerCaseLogin",
         R"({"operation":"login","args":"a1","email":"e@example.com","cloudAction":2})",
         0,
         200,
         200,
         "{}",
         {{"a1", "1", "e@example.com", "2"}}},
        {"OptionalMembersMissing",
         R"({"operation":"Enroll"})",
         0,
         200,
         200,
         "{}",
         {{"", "0", "", "0"}}},
        {"NumberArgsAsTextAndCloudActionOutOfRange",
         R"({"operation":"reset_otp","args":12,"cloudAction":3})",
         0,
         200,
         200,
         "{}",
         {{"12", "2", "", "0"}}},
        {"SwitchToSoftware",
         R"({"operation":"SWITCH_TO_SW","email":["x"]})",
         0,
         200,
         200,
         "{}",
         {{"", "3", "", "0"}}},
        {"NumberRoot", "5", 0, 200, 400, kInvalidJson, {}},
        {"LeadingComment", R"(/* note */ {"operation":"LOGIN"})", 0, 200, 400, kInvalidJson, {}},
        {"ArrayRoot", R"([{"operation":"LOGIN"}])", 0, 200, 400, kInvalidParam, {}},
        {"UnknownOperation", R"({"operation":"DELETE"})", 0, 200, 400, kInvalidParam, {}},
        {"MissingOperation", R"({"args":"a"})", 0, 200, 400, kInvalidParam, {}},
        {"OperationNotText", R"({"operation":["LOGIN"]})", 0, 200, 400, kInvalidParam, {}},
        {"EngineFails",
         R"({"operation":"LOGIN"})",
         33,
         200,
         500,
         ErrorDocument(4, 33, "RemoteSessionSync Communication Error with QAVService"),
         {{"", "1", "", "0"}}},
        {"TrailingComma", R"({"operation":"LOGIN",})", 0, 200, 400, kInvalidJson, {}},
        {"ByteOrderMark", "\xEF\xBB\xBF{\"operation\":\"LOGIN\"}", 0, 200, 400, kInvalidJson, {}},
        {"TooDeepToParse", TooDeep(), 0, 200, 400, kInvalidJson, {}}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Telemetry ---

using ServiceTelemetryTest = ServiceCaseTest<EngineCallCase>;

TEST_P(ServiceTelemetryTest, ReportsTheFirstEvent) {
  ExpectEngineCall(GetParam(), "/tm", "ReportMetric");
}

const std::string kFullEvent =
    R"({"event_list":[{"eventid":42,"EventSeverity":"3 high","EventSource":"web",)"
    R"("Category":"login","event_data":{"b":1,"a":"x"}},{"eventid":7}]})";

// The router answers "{}" for the empty body of a reported event.
INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceTelemetryTest,
    ::testing::ValuesIn(std::vector<EngineCallCase>{
        {"EventIdAsNumber",
         kFullEvent,
         0,
         0,
         200,
         "{}",
         {{"web", "42", "3", "{\"a\":\"x\",\"b\":1}\n", "login"}}},
        {"EventIdAsWordAndNoEventData",
         R"({"event_list":[{"eventid":"forty-two","event_data":"x"}]})",
         0,
         0,
         200,
         "{}",
         {{"", "0", "0", "{}", ""}}},
        {"NumberRoot", "42", 0, 0, 400, kInvalidJson, {}},
        {"TrailingCommaInArray", R"({"event_list":[{},]})", 0, 0, 400, kInvalidJson, {}},
        {"TooDeepToParse", TooDeep(), 0, 0, 400, kInvalidJson, {}},
        {"BodyEndsAtTheGivenLength", kFullEvent, 0, 0, 400, kInvalidJson, {}, 20},
        {"EmptyEventList", R"({"event_list":[]})", 0, 0, 400, kInvalidParam, {}},
        {"FirstEventNotAnObject", R"({"event_list":[1,{}]})", 0, 0, 400, kInvalidParam, {}},
        {"ArrayRoot", R"([{"event_list":[{}]}])", 0, 0, 400, kInvalidParam, {}},
        {"EngineFails",
         R"({"event_list":[{}]})",
         21,
         0,
         500,
         ErrorDocument(4, 21, "ReportMetric Communication Error with QAVService"),
         {{"", "0", "0", "{}", ""}}},
        {"EventIdWithoutTextForm", R"({"event_list":[{"eventid":{}}]})", 0, 0, 500, "", {}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::larchmere::plugin::test
