// The plug-in through its exports, as a host drives it: Initialize once, then
// every input is one ProcessRequest followed by FreeMem of both buffers. Each
// answer must hold the export's contract: both buffers present and
// NUL-terminated at the reported lengths, a status among 200, 400, 403 and
// 500, and a body that is empty or one strict JSON document.
#include <fuzzer/FuzzedDataProvider.h>
#include <json/json.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine-sim/SimControl.h"
#include "fuzz/FuzzFolders.h"
#include "plugin/entry/KeysteadPlugin.h"

namespace keystead::fuzz {
namespace {

namespace sim = keystead::sim;

// Served paths the plug-in does not announce, and two it does not serve; the
// announced ones are collected from Initialize (AnnouncedPaths).
constexpr std::array<const char*, 7> kUnannouncedPaths = {"q/v1/devicecontext",
                                                          "q/v1/frame/adddevice",
                                                          "q/v1/frame/trymatch",
                                                          "q/v1/fingerprint/authenticate",
                                                          "q/v1/ca/logout",
                                                          "q/v1/video",
                                                          "q/v1/"};

// The capture endpoints: a first call waits about 3 s (a pause, then the
// poll), so the harness lets one through only now and then (see
// CaptureAllowed), whatever the coverage feedback prefers.
constexpr std::array<std::string_view, 4> kCapturePaths = {
    "q/v1/frame/enrollment", "q/v1/frame/match", "q/v1/frame/trymatch", "q/v1/frame/adddevice"};
constexpr std::uint8_t kCaptureByte = 0xC7;
constexpr std::uint64_t kCaptureInterval = 50000;

constexpr std::array<const char*, 9> kMethods = {"GET",  "POST", "OPTIONS", "PUT", "DELETE",
                                                 "post", "get",  "",        "HEAD"};
constexpr std::array<const char*, 4> kOrigins = {
    "https://app.keystead.com", "https://login.keystead.com", "https://keystead.corvane.com",
    "https://evil.example"};
constexpr std::array<const char*, 6> kCallers = {"REMOTE_PSI_25", "REMOTE", "HYBRID",
                                                 "LOCAL",         "local",  ""};
constexpr std::array<const char*, 5> kLiveness = {"NONE", "BLINK_STRICT", "BLINK", "PASSIVE", "X"};
constexpr std::array<const char*, 3> kStreamTypes = {"IMAGE", "COORDS", "VIDEO"};
constexpr std::array<const char*, 5> kPreviewTypes = {"NORMAL", "OBFUSCATED_DOTS", "DOTS",
                                                      "OBFUSCATED", "NONE"};
constexpr std::array<unsigned short, 6> kStartStatuses = {200, 200, 0, 400, 500, 302};
constexpr char kForceStopId[] = "QCID_FORCE_STOP_________________________QCID";

// The request being answered, told with a breach.
std::string& CurrentRequest() {
  static std::string description;
  return description;
}

[[noreturn]] void Breach(const char* what, const std::string& detail) {
  std::fprintf(stderr, "plugin_requests_fuzzer: %s: %s\nrequest: %s\n", what, detail.c_str(),
               CurrentRequest().c_str());
  std::abort();
}

template <typename T, std::size_t N>
T Pick(FuzzedDataProvider& data, const std::array<T, N>& choices) {
  return data.PickValueInArray(choices);
}

const std::string& PickOf(FuzzedDataProvider& data, const std::vector<std::string>& choices) {
  return choices[data.ConsumeIntegralInRange<std::size_t>(0, choices.size() - 1)];
}

// The paths the plug-in announces through RegisterPath, then the others.
std::vector<std::string>& KnownPaths() {
  static std::vector<std::string> paths;
  return paths;
}

// Engine operations whose result the input may script to fail, for one request.
const std::vector<std::string>& EngineOperations() {
  static const std::vector<std::string> operations = sim::KnownOperations();
  return operations;
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// KS_FUZZ_PRINT_REQUESTS=1 prints every request, to read what an input asks.
bool printRequests = false;

// Inputs run so far, this one included.
std::uint64_t inputCount = 0;

// At most one capture request in kCaptureInterval inputs, the first one
// always (so that a saved input replays as it ran). Counted in inputs, not
// time, so that a run with a fixed seed takes the same paths.
bool CaptureAllowed() {
  static std::optional<std::uint64_t> last;
  if (last && inputCount - *last < kCaptureInterval) return false;
  last = inputCount;
  return true;
}

std::string CorrelationId(FuzzedDataProvider& data) {
  switch (data.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
      return kForceStopId;
    case 1:
      return data.ConsumeRandomLengthString(64);
    default: {
      std::string middle = data.ConsumeBytesAsString(36);
      middle.resize(36, '0');
      return "QCID" + middle + "QCID";
    }
  }
}

std::string HeaderBlock(FuzzedDataProvider& data, const std::string& url) {
  const auto flags = data.ConsumeIntegral<std::uint16_t>();
  std::string block;
  auto line = [&block](std::string_view name, std::string_view value) {
    block.append(name).append(": ").append(value).append("\r\n");
  };
  // Most blocks pass the router's header check.
  if ((flags & 0x3) != 0) line("Content-Type", "application/json");
  if (flags & 0x4) line("Origin", Pick(data, kOrigins));
  if (flags & 0x18) line("Q-Correlation-Id", CorrelationId(data));
  if (flags & 0x20) line("Caller", Pick(data, kCallers));
  if (flags & 0x40) line("Liveness", Pick(data, kLiveness));
  if (flags & 0x80) line("StreamType", Pick(data, kStreamTypes));
  if (flags & 0x100) line("PreviewType", Pick(data, kPreviewTypes));
  if (flags & 0x200) line("x-jwstoken", data.ConsumeRandomLengthString(128));
  if (flags & 0x400) line("Request URL", url);
  if (flags & 0x800) line("Access-Control-Request-Method", Pick(data, kMethods));
  if (flags & 0x1000) block.append(data.ConsumeRandomLengthString(256));
  return block;
}

std::string Url(FuzzedDataProvider& data) {
  std::string url = "http://127.0.0.1:8080/";
  if (data.ConsumeBool()) {
    url.append(PickOf(data, KnownPaths()));
  }
  url.append(data.ConsumeRandomLengthString(128));
  return url;
}

// A request the harness runs; texts are kept here so that the pointers it
// passes stay valid and are sized exactly.
struct Request {
  std::optional<std::string> method;
  std::optional<std::string> url;
  std::string headers;
  std::optional<std::string> body;  // null content when absent
  int contentLength = 0;
  unsigned short status = 200;
  const char* engineFailure = nullptr;
  int engineCode = 0;
};

bool ReachesCapture(const Request& request) {
  if (!request.method || (*request.method != "POST" && *request.method != "OPTIONS")) return false;
  for (std::string_view path : kCapturePaths) {
    if ((request.url && Contains(*request.url, path)) || Contains(request.headers, path)) {
      return true;
    }
  }
  return false;
}

Request MakeRequest(FuzzedDataProvider& data) {
  Request request;
  const bool captureWanted = data.ConsumeIntegral<std::uint8_t>() == kCaptureByte;
  switch (data.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
      request.method = data.ConsumeRandomLengthString(16);
      break;
    case 1:
      break;  // null method
    default:
      request.method = Pick(data, kMethods);
  }
  request.status = Pick(data, kStartStatuses);
  if (data.ConsumeIntegralInRange<int>(0, 15) == 0) {
    request.engineFailure = PickOf(data, EngineOperations()).c_str();
    request.engineCode = data.ConsumeIntegralInRange<int>(1, 2000);
  }
  if (data.ConsumeIntegralInRange<int>(0, 15) != 0) request.url = Url(data);
  request.headers = HeaderBlock(data, request.url.value_or(std::string()));

  const auto lengthKind = data.ConsumeIntegralInRange<int>(0, 7);
  const int lengthDelta = data.ConsumeIntegralInRange<int>(-64, 64);
  if (lengthKind != 0) request.body = data.ConsumeRemainingBytesAsString();
  const int bodySize = request.body ? static_cast<int>(request.body->size()) : 0;
  switch (lengthKind) {
    case 1:  // a length that disagrees with the body
      request.contentLength = bodySize + lengthDelta;
      break;
    case 2:
      request.contentLength = lengthDelta < 0 ? -1 : 1 << 30;
      break;
    default:
      request.contentLength = lengthKind == 0 ? lengthDelta : bodySize;
  }

  if (ReachesCapture(request) && !(captureWanted && CaptureAllowed())) {
    request.method = "GET";  // no capture endpoint answers GET
  }
  return request;
}

// A text in a heap buffer of exactly its size plus the NUL, so that
// AddressSanitizer sees any read beyond it; empty for an absent text.
std::vector<char> ExactCopy(const std::optional<std::string>& text) {
  if (!text) return {};
  std::vector<char> copy(text->size() + 1);
  std::memcpy(copy.data(), text->data(), text->size());
  return copy;
}

const char* Text(const std::vector<char>& copy) { return copy.empty() ? nullptr : copy.data(); }

void CheckBuffer(const char* name, const char* buffer, int length) {
  if (buffer == nullptr) Breach(name, "null buffer");
  if (length < 0 || std::strlen(buffer) != static_cast<std::size_t>(length)) {
    Breach(name, "length " + std::to_string(length) + " but text of " +
                     std::to_string(std::strlen(buffer)));
  }
}

void CheckBody(const std::string& body) {
  if (body.empty()) return;
  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  // Any value may be the whole text ("null" is the answer of a setting
  // that cannot be read).
  builder["strictRoot"] = false;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string errors;
  if (!reader->parse(body.data(), body.data() + body.size(), &root, &errors)) {
    Breach("body is not JSON", body + " (" + errors + ")");
  }
}

std::string Describe(const Request& request) {
  auto quoted = [](const std::optional<std::string>& text) {
    return text ? "\"" + *text + "\"" : std::string("null");
  };
  std::string failure;
  if (request.engineFailure != nullptr) {
    failure = std::string(", engine ") + request.engineFailure + " fails with " +
              std::to_string(request.engineCode);
  }
  return "method " + quoted(request.method) + ", url " + quoted(request.url) + ", headers " +
         quoted(request.headers) + ", content length " + std::to_string(request.contentLength) +
         ", content " + quoted(request.body) + ", status " + std::to_string(request.status) +
         failure;
}

void RegisterPath(void*, const char* path) { KnownPaths().emplace_back(path); }

}  // namespace

int InitializeFuzzer() {
  UsePrivateFolders("plugin_requests_fuzzer");
  const char* print = std::getenv("KS_FUZZ_PRINT_REQUESTS");
  printRequests = print != nullptr && std::string_view(print) == "1";
  sim::Reset();
  HostCallbacks callbacks{};
  callbacks.registerPath = &RegisterPath;
  if (!Initialize(nullptr, &callbacks)) Breach("Initialize", "returned false");
  KnownPaths().insert(KnownPaths().end(), kUnannouncedPaths.begin(), kUnannouncedPaths.end());
  // An orderly end: the engine's process-wide state must not be torn down
  // under a live plug-in state.
  std::atexit([] { Finalize(); });
  return 0;
}

int FuzzOneInput(const std::uint8_t* bytes, std::size_t size) {
  ++inputCount;
  FuzzedDataProvider data(bytes, size);
  const Request request = MakeRequest(data);
  if (request.engineFailure != nullptr) sim::SetResult(request.engineFailure, request.engineCode);

  CurrentRequest() = Describe(request);
  if (printRequests) std::fprintf(stderr, "request: %s\n", CurrentRequest().c_str());
  const std::vector<char> method = ExactCopy(request.method);
  const std::vector<char> url = ExactCopy(request.url);
  const std::vector<char> requestHeaders = ExactCopy(request.headers);
  const std::vector<char> content = ExactCopy(request.body);
  unsigned short status = request.status;
  int headersLength = -1;
  int bodyLength = -1;
  char* headers = nullptr;
  char* body = nullptr;
  if (!ProcessRequest(Text(method), Text(url), Text(requestHeaders), request.contentLength,
                      Text(content), &status, &headersLength, &headers, &bodyLength, &body)) {
    Breach("ProcessRequest", "returned false");
  }
  CheckBuffer("response headers", headers, headersLength);
  CheckBuffer("response body", body, bodyLength);
  if (status != 200 && status != 400 && status != 403 && status != 500) {
    Breach("status", std::to_string(status) + " (body " + body + ")");
  }
  CheckBody(body);
  FreeMem(headers);
  FreeMem(body);

  if (request.engineFailure != nullptr) sim::SetResults(request.engineFailure, {});
  // libFuzzer scans the whole heap for leaks after any input that allocates
  // more than it frees; the stand-in's window of recent calls would make most
  // inputs look so until it is full, costing twenty times the speed.
  sim::ClearCalls();
  return 0;
}

}  // namespace keystead::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) { return keystead::fuzz::InitializeFuzzer(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  return keystead::fuzz::FuzzOneInput(bytes, size);
}
