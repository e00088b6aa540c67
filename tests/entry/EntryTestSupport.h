#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <json/json.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine-sim/SimControl.h"
#include "plugin/entry/KeysteadPlugin.h"
#include "plugin/entry/LarchmerePluginHelperExport.h"

namespace corvane::larchmere::plugin::entry::test {

namespace sim = keystead::sim;
namespace sdk = Corvane::QAV::SDK;
using plugin::test::LarchmerePluginHelperExport;

inline constexpr char kJsonHeaders[] =
    "Content-Type: application/json\r\nOrigin: https://app.keystead.com\r\n";
inline constexpr char kCorrelationId[] = "QCID97c096e3-52fe-4fbd-88a6-4a16a4bcaae8QCID";

inline Json::Value ParseJson(const std::string& text) {
  Json::Value root;
  const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
  EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &root, nullptr)) << text;
  return root;
}

inline std::string Url(const std::string& path) { return "http://127.0.0.1:8080/q/v1" + path; }

// The error document of the plug-in, written out by hand (keys in JsonCpp's
// sorted order); `description` must need no JSON escaping.
inline std::string ErrorDocument(int source, int code, const std::string& description) {
  return R"({"error":{"code":)" + std::to_string(code) + R"(,"description":")" + description +
         R"(","source":)" + std::to_string(source) + "}}\n";
}

// The CORS block of every answer to the tests' requests (they send no Origin
// or the default allowed one); the plug-in helper's own tests pin its text.
inline std::string CorsBlock() {
  std::string block;
  LarchmerePluginHelperExport::BuildHeader(kJsonHeaders, std::nullopt, block);
  return block;
}

// What the plug-in told the host. Thread-safe; the device report comes on
// an engine thread.
class RecordingHost {
 public:
  HostCallbacks Callbacks(bool wantsDeviceReports = false) {
    HostCallbacks callbacks{};
    callbacks.registerPath = &RecordingHost::RegisterPath;
    if (wantsDeviceReports) callbacks.deviceAuthenticated = &RecordingHost::DeviceAuthenticated;
    return callbacks;
  }
  void* Context() { return this; }

  std::vector<std::string> Registered() {
    std::scoped_lock lock(mutex_);
    return registered_;
  }
  void Clear() {
    std::scoped_lock lock(mutex_);
    registered_.clear();
  }
  static std::vector<std::pair<std::string, std::string>> DeviceReports() {
    std::scoped_lock lock(DeviceMutex());
    return DeviceList();
  }
  static void ClearDeviceReports() {
    std::scoped_lock lock(DeviceMutex());
    DeviceList().clear();
  }

 private:
  static void RegisterPath(void* context, const char* text) {
    auto* self = static_cast<RecordingHost*>(context);
    std::scoped_lock lock(self->mutex_);
    self->registered_.emplace_back(text);
  }
  // The device report carries no host context: kept process-wide.
  static void DeviceAuthenticated(const char* first, const char* second) {
    std::scoped_lock lock(DeviceMutex());
    DeviceList().emplace_back(first, second);
  }
  static std::mutex& DeviceMutex() {
    static std::mutex deviceMutex;
    return deviceMutex;
  }
  static std::vector<std::pair<std::string, std::string>>& DeviceList() {
    static std::vector<std::pair<std::string, std::string>> reports;
    return reports;
  }

  std::mutex mutex_;
  std::vector<std::string> registered_;
};

struct Answer {
  unsigned short status = 0;
  std::string headers;
  std::string body;
};

// One request through the ProcessRequest export; checks the buffer contract
// and gives both buffers back through FreeMem.
inline Answer Request(const char* method, const char* url, const char* headers, const char* content,
                      int contentLength, unsigned short startStatus = 200) {
  Answer answer;
  answer.status = startStatus;
  int headersLength = -1;
  int bodyLength = -1;
  char* headersBuffer = nullptr;
  char* bodyBuffer = nullptr;
  EXPECT_TRUE(ProcessRequest(method, url, headers, contentLength, content, &answer.status,
                             &headersLength, &headersBuffer, &bodyLength, &bodyBuffer));
  EXPECT_NE(headersBuffer, nullptr);
  EXPECT_NE(bodyBuffer, nullptr);
  if (headersBuffer != nullptr) {
    answer.headers.assign(headersBuffer);
    EXPECT_EQ(static_cast<std::size_t>(headersLength), answer.headers.size());
  }
  if (bodyBuffer != nullptr) {
    answer.body.assign(bodyBuffer);
    EXPECT_EQ(static_cast<std::size_t>(bodyLength), answer.body.size());
  }
  EXPECT_TRUE(FreeMem(headersBuffer));
  EXPECT_TRUE(FreeMem(bodyBuffer));
  return answer;
}

inline Answer Request(const char* method, const std::string& path,
                      const std::string& body = std::string(), const char* headers = kJsonHeaders) {
  const std::string url = Url(path);
  return Request(method, url.c_str(), headers, body.empty() ? nullptr : body.c_str(),
                 static_cast<int>(body.size()));
}

// A clean stand-in engine without automatic frames or timelines; the
// plug-in is finalised after every test.
class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Reset();
    sim::Configure([](sim::Config& config) {
      config.camera.autoFrames = false;
      config.autoTimelines = false;
    });
  }
  void TearDown() override {
    Finalize();
    sim::Reset();
  }

  bool Start(bool wantsDeviceReports = false) {
    const HostCallbacks callbacks = host.Callbacks(wantsDeviceReports);
    return Initialize(host.Context(), &callbacks);
  }

  RecordingHost host;
};

}  // namespace corvane::larchmere::plugin::entry::test
