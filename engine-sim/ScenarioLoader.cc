#include "engine-sim/ScenarioLoader.h"

#include <json/json.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine-sim/SimState.h"

namespace keystead::sim {
namespace {

// Thrown while walking the document; Parse turns it into its error text.
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& path, const std::string& what) {
  throw ScenarioError(path + ": " + what);
}

// Control characters of a member name are shown escaped: a zero byte would
// otherwise end the error text there.
std::string Printable(const std::string& name) {
  std::string shown;
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      shown += "\\u00";
      shown += kHex[(c >> 4) & 0xF];
      shown += kHex[c & 0xF];
    } else {
      shown += c;
    }
  }
  return shown;
}

std::string Child(const std::string& path, const std::string& name) {
  return path.empty() ? Printable(name) : path + "." + Printable(name);
}

std::string Element(const std::string& path, Json::ArrayIndex index) {
  return path + "[" + std::to_string(index) + "]";
}

// Catches misspelt member names, which would otherwise be ignored silently.
void CheckObject(const Json::Value& object, const std::string& path,
                 std::initializer_list<const char*> allowed) {
  if (!object.isObject()) Fail(path, "expected an object");
  for (const std::string& name : object.getMemberNames()) {
    const bool known = std::any_of(allowed.begin(), allowed.end(),
                                   [&](const char* candidate) { return name == candidate; });
    if (!known) Fail(Child(path, name), "unknown member");
  }
}

const Json::Value& CheckArray(const Json::Value& value, const std::string& path) {
  if (!value.isArray()) Fail(path, "expected an array");
  return value;
}

// The elements of the array at `path`, each read by parseElement(element, elementPath).
template <typename ParseElement>
auto ParseArray(const Json::Value& value, const std::string& path, ParseElement parseElement) {
  std::vector<std::invoke_result_t<ParseElement, const Json::Value&, const std::string&>> items;
  const Json::ArrayIndex size = CheckArray(value, path).size();
  for (Json::ArrayIndex i = 0; i < size; ++i) {
    items.push_back(parseElement(value[i], Element(path, i)));
  }
  return items;
}

bool ToBool(const Json::Value& value, const std::string& path) {
  if (!value.isBool()) Fail(path, "expected true or false");
  return value.asBool();
}

std::int64_t ToInt(const Json::Value& value, const std::string& path, std::int64_t min,
                   std::int64_t max) {
  if (!value.isInt64()) Fail(path, "expected an integer");
  const std::int64_t number = value.asInt64();
  if (number < min || number > max) {
    Fail(path, "expected a value from " + std::to_string(min) + " to " + std::to_string(max));
  }
  return number;
}

std::string ToString(const Json::Value& value, const std::string& path) {
  if (!value.isString()) Fail(path, "expected a string");
  return value.asString();
}

// A JSON answer given as a string is taken verbatim (so a test can script text that
// is not JSON); any other value is written compactly.
std::string ToAnswer(const Json::Value& value) {
  if (value.isString()) return value.asString();
  std::string text = Json::FastWriter().write(value);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

// Reads `object[name]` into `target` when the member is present.
void Read(const Json::Value& object, const char* name, const std::string& path, bool& target) {
  if (object.isMember(name)) target = ToBool(object[name], Child(path, name));
}

void Read(const Json::Value& object, const char* name, const std::string& path,
          std::int32_t& target) {
  if (object.isMember(name)) {
    target = static_cast<std::int32_t>(ToInt(object[name], Child(path, name),
                                             std::numeric_limits<std::int32_t>::min(),
                                             std::numeric_limits<std::int32_t>::max()));
  }
}

void Read(const Json::Value& object, const char* name, const std::string& path,
          std::uint8_t& target) {
  if (object.isMember(name)) {
    target = static_cast<std::uint8_t>(ToInt(object[name], Child(path, name), 0, 255));
  }
}

void Read(const Json::Value& object, const char* name, const std::string& path,
          std::string& target) {
  if (object.isMember(name)) target = ToString(object[name], Child(path, name));
}

// A member of a scenario object and the field of Object it is read into.
template <typename Object, typename Value>
struct Field {
  Field(const char* memberName, Value Object::*objectField)
      : name(memberName), field(objectField) {}
  const char* name;
  Value Object::*field;
};

// An object that may hold only the given members, each read into its field.
template <typename Object, typename... Values>
Object ParseObject(const Json::Value& value, const std::string& path,
                   const Field<Object, Values>&... fields) {
  CheckObject(value, path, {fields.name...});
  Object object;
  (Read(value, fields.name, path, object.*fields.field), ...);
  return object;
}

sdk::ServiceReadiness ParseReadiness(const Json::Value& value, const std::string& path,
                                     sdk::ServiceReadiness readiness) {
  CheckObject(value, path, {"local", "remote"});
  Read(value, "local", path, readiness.localReady);
  Read(value, "remote", path, readiness.remoteReady);
  return readiness;
}

void ParseStatus(const Json::Value& value, const std::string& path, sdk::EngineStatus& status) {
  CheckObject(value, path, {"status", "deviceID", "faceFactor", "fingerprintFactor", "affID"});
  Read(value, "status", path, status.status);
  Read(value, "deviceID", path, status.deviceID);
  Read(value, "faceFactor", path, status.faceFactor);
  Read(value, "fingerprintFactor", path, status.fingerprintFactor);
  Read(value, "affID", path, status.affID);
}

// Merges into the existing settings: a string sets the value, an object sets the
// named fields, null removes the setting (so that reading it fails).
void ParseSettings(const Json::Value& value, const std::string& path,
                   std::map<std::string, sdk::LocalSetting>& settings) {
  if (!value.isObject()) Fail(path, "expected an object");
  for (const std::string& name : value.getMemberNames()) {
    const Json::Value& entry = value[name];
    const std::string entryPath = Child(path, name);
    if (entry.isNull()) {
      settings.erase(name);
      continue;
    }
    sdk::LocalSetting& setting = settings[name];
    setting.id = name;
    if (entry.isString()) {
      setting.value = entry.asString();
      continue;
    }
    CheckObject(entry, entryPath, {"value", "availableValues", "display", "supported", "reserved"});
    Read(entry, "value", entryPath, setting.value);
    Read(entry, "availableValues", entryPath, setting.availableValues);
    Read(entry, "display", entryPath, setting.display);
    Read(entry, "supported", entryPath, setting.supported);
    Read(entry, "reserved", entryPath, setting.reserved);
  }
}

std::vector<sdk::VideoDevice> ParseVideoDevices(const Json::Value& value, const std::string& path) {
  std::vector<sdk::VideoDevice> devices;
  const Json::ArrayIndex size = CheckArray(value, path).size();
  for (Json::ArrayIndex i = 0; i < size; ++i) {
    const std::string itemPath = Element(path, i);
    CheckObject(value[i], itemPath, {"name", "id", "selected"});
    sdk::VideoDevice device;
    device.id = static_cast<std::int32_t>(i);
    if (!value[i].isMember("name")) Fail(itemPath, "a camera needs a name");
    Read(value[i], "name", itemPath, device.name);
    Read(value[i], "id", itemPath, device.id);
    Read(value[i], "selected", itemPath, device.selected);
    devices.push_back(std::move(device));
  }
  return devices;
}

sdk::RemoteUser ParseRemoteUser(const Json::Value& value, const std::string& path) {
  using T = sdk::RemoteUser;
  return ParseObject(
      value, path, Field{"email", &T::email}, Field{"secondText", &T::secondText},
      Field{"face", &T::face}, Field{"masterPassword", &T::masterPassword},
      Field{"outOfBounds", &T::outOfBounds}, Field{"emailVerified", &T::emailVerified},
      Field{"securityLevel", &T::securityLevel}, Field{"autoLockTime", &T::autoLockTime},
      Field{"cloudKeyAvailable", &T::cloudKeyAvailable}, Field{"fpEnabled", &T::fpEnabled},
      Field{"firstStep", &T::firstStep}, Field{"altFirstStep", &T::altFirstStep});
}

void ParseRemoteUsers(const Json::Value& value, const std::string& path,
                      sdk::RemoteUserList& list) {
  CheckObject(value, path, {"fpAvailable", "users"});
  Read(value, "fpAvailable", path, list.fpAvailable);
  if (!value.isMember("users")) return;
  list.users = ParseArray(value["users"], Child(path, "users"), ParseRemoteUser);
}

sdk::CloudServer ParseCloudServer(const Json::Value& value, const std::string& path) {
  using T = sdk::CloudServer;
  return ParseObject(value, path, Field{"key", &T::key}, Field{"primaryUri", &T::primaryUri},
                     Field{"secondaryUri", &T::secondaryUri});
}

void ParseMatchResult(const Json::Value& value, const std::string& path, sdk::MatchResult& result) {
  CheckObject(value, path, {"status", "response"});
  Read(value, "status", path, result.status);
  if (value.isMember("response")) result.response = ToAnswer(value["response"]);
}

void ParseMatchResults(const Json::Value& value, const std::string& path, Config& config) {
  CheckObject(value, path, {"AuthenticateFingerprint", "AddCADevice", "AuthenticateWithCADevice"});
  const std::pair<const char*, sdk::MatchResult*> targets[] = {
      {"AuthenticateFingerprint", &config.fingerprintResult},
      {"AddCADevice", &config.addCADeviceResult},
      {"AuthenticateWithCADevice", &config.caAuthenticationResult}};
  for (const auto& [name, target] : targets) {
    if (value.isMember(name)) ParseMatchResult(value[name], Child(path, name), *target);
  }
}

void ParseCamera(const Json::Value& value, const std::string& path, CameraSettings& camera) {
  CheckObject(value, path, {"width", "height", "channels", "fps", "auto"});
  if (value.isMember("width"))
    camera.width = static_cast<int>(ToInt(value["width"], Child(path, "width"), 1, 4096));
  if (value.isMember("height")) {
    camera.height = static_cast<int>(ToInt(value["height"], Child(path, "height"), 1, 4096));
  }
  if (value.isMember("channels")) {
    camera.channels = static_cast<int>(ToInt(value["channels"], Child(path, "channels"), 1, 4));
  }
  if (value.isMember("fps")) {
    const Json::Value& fps = value["fps"];
    if (!fps.isNumeric() || fps.asDouble() <= 0 || fps.asDouble() > 1000) {
      Fail(Child(path, "fps"), "expected a number above 0 and at most 1000");
    }
    camera.fps = fps.asDouble();
  }
  Read(value, "auto", path, camera.autoFrames);
}

void ParseResults(const Json::Value& value, const std::string& path,
                  std::map<std::string, std::vector<int>>& results) {
  if (!value.isObject()) Fail(path, "expected an object");
  constexpr std::int64_t kMin = std::numeric_limits<int>::min();
  constexpr std::int64_t kMax = std::numeric_limits<int>::max();
  for (const std::string& operation : value.getMemberNames()) {
    const std::string itemPath = Child(path, operation);
    if (!SimState::IsKnownOperation(operation)) Fail(itemPath, "unknown operation");
    const Json::Value& codes = value[operation];
    std::vector<int>& target = results[operation];
    target.clear();
    if (!codes.isArray()) {
      target.push_back(static_cast<int>(ToInt(codes, itemPath, kMin, kMax)));
      continue;
    }
    if (codes.empty()) Fail(itemPath, "expected at least one code");
    for (Json::ArrayIndex i = 0; i < codes.size(); ++i) {
      target.push_back(static_cast<int>(ToInt(codes[i], Element(itemPath, i), kMin, kMax)));
    }
  }
}

// The value paired with the name at `path`; the error lists the names in order.
template <typename T, std::size_t N>
T OneOf(const Json::Value& value, const std::string& path,
        const std::array<std::pair<std::string_view, T>, N>& names) {
  const std::string name = ToString(value, path);
  for (const auto& [known, result] : names) {
    if (known == name) return result;
  }
  std::string expected = "expected ";
  for (std::size_t i = 0; i < N; ++i) {
    if (i > 0) expected += i + 1 == N ? " or " : ", ";
    expected += names[i].first;
  }
  Fail(path, expected);
}

EventType ParseEventType(const Json::Value& value, const std::string& path) {
  static constexpr std::array<std::pair<std::string_view, EventType>, 5> kTypes = {{
      {"feedback", EventType::Feedback},
      {"processedFrames", EventType::ProcessedFrames},
      {"error", EventType::Error},
      {"result", EventType::Result},
      {"deviceAuthenticated", EventType::DeviceAuthenticated},
  }};
  return OneOf(value, path, kTypes);
}

Listener ParseListener(const Json::Value& value, const std::string& path) {
  static constexpr std::array<std::pair<std::string_view, Listener>, 6> kListeners = {{
      {"frame", Listener::Frame},
      {"enroll", Listener::Enroll},
      {"processedFrames", Listener::ProcessedFrames},
      {"remoteMatch", Listener::RemoteMatch},
      {"hybridMatch", Listener::HybridMatch},
      {"deviceAuthenticated", Listener::DeviceAuthenticated},
  }};
  return OneOf(value, path, kListeners);
}

sdk::SDK_OobDevice ParseOobDevice(const Json::Value& value, const std::string& path) {
  using T = sdk::SDK_OobDevice;
  return ParseObject(value, path, Field{"deviceId", &T::deviceId},
                     Field{"deviceName", &T::deviceName}, Field{"oobPreferred", &T::oobPreferred});
}

// The match feedback members of a "result" event; absent members stay empty/false.
void ParseResultFields(const Json::Value& value, const std::string& path,
                       sdk::SDK_RemoteMatchFeedback& result) {
  Read(value, "code", path, result.code);
  Read(value, "source", path, result.source);
  Read(value, "description", path, result.description);
  Read(value, "cloudError", path, result.cloudError);
  Read(value, "templateCount", path, result.templateCount);
  Read(value, "liveness", path, result.liveness);
  Read(value, "matchStatus", path, result.matchStatus);
  Read(value, "localMatchStatus", path, result.localMatchStatus);
  Read(value, "blink", path, result.blink);
  Read(value, "nextStep", path, result.nextStep);
  Read(value, "idToken", path, result.idToken);
  Read(value, "cloudKey", path, result.cloudKey);
  Read(value, "isTrustedDevice", path, result.isTrustedDevice);
  Read(value, "verificationEmail", path, result.verificationEmail);
  Read(value, "state", path, result.state);
  Read(value, "redirectUri", path, result.redirectUri);
  Read(value, "authCode", path, result.authCode);
  Read(value, "altNextStep", path, result.altNextStep);
  if (value.isMember("oobDevices")) {
    result.oobDevices = ParseArray(value["oobDevices"], Child(path, "oobDevices"), ParseOobDevice);
  }
}

TimelineEvent ParseEvent(const Json::Value& value, const std::string& path) {
  CheckObject(
      value, path,
      {"type",          "afterMs",     "code",        "description",      "source",
       "target",        "count",       "first",       "second",           "cloudError",
       "templateCount", "liveness",    "matchStatus", "localMatchStatus", "blink",
       "nextStep",      "idToken",     "cloudKey",    "isTrustedDevice",  "verificationEmail",
       "state",         "redirectUri", "authCode",    "altNextStep",      "oobDevices"});
  if (!value.isMember("type")) Fail(path, "an event needs a type");
  TimelineEvent event;
  event.type = ParseEventType(value["type"], Child(path, "type"));
  if (value.isMember("afterMs")) {
    event.after =
        std::chrono::milliseconds(ToInt(value["afterMs"], Child(path, "afterMs"), 0, 3'600'000));
  }
  Read(value, "code", path, event.code);
  Read(value, "description", path, event.description);
  Read(value, "source", path, event.source);
  if (value.isMember("target"))
    event.target = ParseListener(value["target"], Child(path, "target"));
  if (value.isMember("count")) {
    event.frameCount = static_cast<int>(ToInt(value["count"], Child(path, "count"), 0, 100));
  }
  Read(value, "first", path, event.first);
  Read(value, "second", path, event.second);
  if (event.type == EventType::Result) ParseResultFields(value, path, event.result);
  return event;
}

void ParseTimelines(const Json::Value& value, const std::string& path,
                    std::map<std::string, std::vector<TimelineEvent>>& timelines) {
  CheckObject(value, path,
              {"enrollment", "match", "RemoteEnroll", "HybridEnroll", "RemoteMatch", "LocalMatch",
               "TryLocalMatch", "AddDeviceMatch"});
  for (const std::string& name : value.getMemberNames()) {
    timelines[name] = ParseArray(value[name], Child(path, name), ParseEvent);
  }
}

// Deeper documents are refused; the reader's own limit is set to it.
constexpr int kMaxNesting = 1000;

// "* Line L, Column C" of the first bracket or brace nested deeper than
// kMaxNesting (strings skipped), in the reader's form; the start of the text
// when there is none.
std::string TooDeepPosition(const std::string& text) {
  int depth = 0;
  int line = 1;
  int column = 1;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i, ++column) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;
        ++column;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if ((c == '[' || c == '{') && ++depth > kMaxNesting) {
      return "* Line " + std::to_string(line) + ", Column " + std::to_string(column);
    } else if (c == ']' || c == '}') {
      --depth;
    }
    if (c == '\n') {
      ++line;
      column = 0;
    }
  }
  return "* Line 1, Column 1";
}

void ParseRoot(const Json::Value& root, ScenarioLoader::Scenario& scenario) {
  CheckObject(root, "scenario",
              {"factoryFails", "results", "readiness", "readinessAfterRetry", "status", "settings",
               "videoDevices", "videoStatus", "remoteUsers", "cloudServers", "deviceContext",
               "signPacketAnswer", "verifyRatToken", "newPairedDevices", "fingerprintFactorStatus",
               "matchResults", "camera", "autoTimelines", "timelines"});
  Config& config = scenario.config;
  Read(root, "factoryFails", "", config.factoryFails);
  if (root.isMember("results")) ParseResults(root["results"], "results", scenario.results);
  if (root.isMember("readiness")) {
    config.readiness = ParseReadiness(root["readiness"], "readiness", config.readiness);
  }
  if (root.isMember("readinessAfterRetry")) {
    config.readinessAfterRetry =
        ParseReadiness(root["readinessAfterRetry"], "readinessAfterRetry",
                       config.readinessAfterRetry.value_or(config.readiness));
  }
  if (root.isMember("status")) ParseStatus(root["status"], "status", config.status);
  if (root.isMember("settings")) ParseSettings(root["settings"], "settings", config.settings);
  if (root.isMember("videoDevices")) {
    config.videoDevices = ParseVideoDevices(root["videoDevices"], "videoDevices");
  }
  Read(root, "videoStatus", "", config.videoStatus);
  if (root.isMember("remoteUsers")) {
    ParseRemoteUsers(root["remoteUsers"], "remoteUsers", config.remoteUsers);
  }
  if (root.isMember("cloudServers")) {
    config.cloudServers = ParseArray(root["cloudServers"], "cloudServers", ParseCloudServer);
  }
  if (root.isMember("deviceContext")) config.deviceContextAnswer = ToAnswer(root["deviceContext"]);
  if (root.isMember("signPacketAnswer")) {
    const Json::Value& answer = root["signPacketAnswer"];
    config.signPacketAnswer =
        answer.isNull() ? std::nullopt : std::optional<std::string>(ToAnswer(answer));
  }
  Read(root, "verifyRatToken", "", config.verifyRatToken);
  if (root.isMember("newPairedDevices")) {
    config.newPairedDevicesAnswer = ToAnswer(root["newPairedDevices"]);
  }
  Read(root, "fingerprintFactorStatus", "", config.fingerprintFactorStatus);
  if (root.isMember("matchResults"))
    ParseMatchResults(root["matchResults"], "matchResults", config);
  if (root.isMember("camera")) ParseCamera(root["camera"], "camera", config.camera);
  Read(root, "autoTimelines", "", config.autoTimelines);
  if (root.isMember("timelines")) ParseTimelines(root["timelines"], "timelines", config.timelines);
}

}  // namespace

bool ScenarioLoader::Parse(const std::string& text, const Config& base, Scenario& scenario,
                           std::string& error) {
  Json::CharReaderBuilder builder;
  builder["stackLimit"] = kMaxNesting;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string parseErrors;
  try {
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &parseErrors)) {
      error = "not valid JSON: " + parseErrors;
      return false;
    }
  } catch (const Json::Exception&) {
    // The reader throws instead of reporting a document nested too deeply.
    error = "not valid JSON: " + TooDeepPosition(text) + "\n  nested deeper than " +
            std::to_string(kMaxNesting) + " levels";
    return false;
  }
  scenario = Scenario{base, {}};
  try {
    ParseRoot(root, scenario);
  } catch (const ScenarioError& failure) {
    error = failure.what();
    return false;
  }
  return true;
}

bool ScenarioLoader::ReadFile(const std::string& path, std::string& text, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot open " + path;
    return false;
  }
  std::ostringstream content;
  content << file.rdbuf();
  if (file.bad()) {
    error = "cannot read " + path;
    return false;
  }
  text = content.str();
  return true;
}

}  // namespace keystead::sim
