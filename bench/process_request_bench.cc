// The cost of the request path: one ProcessRequest export call for
// "GET /status/deviceid" (entry point, router, framework, handler, buffers)
// against building the same answer's JSON alone. Both run in one program and
// the ratio is printed at the end; the goal is at most 5x. Without the
// service's NLog.config only error lines are written, so the many INFO lines
// of the path must stay cheap.
#include <benchmark/benchmark.h>
#include <json/json.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "RecordingReporter.h"
#include "engine-sim/SimControl.h"
#include "plugin/entry/KeysteadPlugin.h"

namespace keystead::bench {
namespace {

namespace sim = keystead::sim;

constexpr char kUrl[] = "http://127.0.0.1:8080/q/v1/status/deviceid";
constexpr char kHeaders[] =
    "Host: 127.0.0.1:8080\r\nContent-Type: application/json\r\n"
    "Origin: https://app.keystead.com\r\nAccept: application/json\r\n";
constexpr char kRequestBench[] = "BM_ProcessRequestDeviceIdStatus";
constexpr char kJsonBench[] = "BM_DeviceIdStatusJsonAlone";

void BM_ProcessRequestDeviceIdStatus(benchmark::State& state) {
  for (auto _ : state) {
    unsigned short status = 200;
    int headersLength = 0;
    int bodyLength = 0;
    char* headers = nullptr;
    char* body = nullptr;
    ProcessRequest("GET", kUrl, kHeaders, 0, nullptr, &status, &headersLength, &headers,
                   &bodyLength, &body);
    benchmark::DoNotOptimize(body);
    FreeMem(headers);
    FreeMem(body);
  }
}
BENCHMARK(BM_ProcessRequestDeviceIdStatus);

void BM_DeviceIdStatusJsonAlone(benchmark::State& state) {
  for (auto _ : state) {
    Json::Value document(Json::objectValue);
    document["status"] = 1;
    std::string body = Json::FastWriter().write(document);
    benchmark::DoNotOptimize(body);
  }
}
BENCHMARK(BM_DeviceIdStatusJsonAlone);

// Private folders for the logger and registry, so nothing real is touched.
std::filesystem::path UsePrivateFolders() {
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() / "keystead-process-request-bench";
  std::filesystem::create_directories(root / "local");
  setenv("KEYSTEAD_LOCALAPPDATA", (root / "local").c_str(), 1);
  setenv("KEYSTEAD_PROGRAMDATA", root.c_str(), 1);
  setenv("KEYSTEAD_REGISTRY", (root / "registry.json").c_str(), 1);
  unsetenv("KEYSTEAD_SIM_SCENARIO");
  return root;
}

// Runs the benchmarks on an initialised plug-in and prints their ratio.
int RunAndReportRatio(int argc, char** argv) {
  const std::filesystem::path root = UsePrivateFolders();
  sim::Reset();
  sim::Configure([](sim::Config& config) {
    config.camera.autoFrames = false;
    config.autoTimelines = false;
  });
  const HostCallbacks callbacks{};
  if (!Initialize(nullptr, &callbacks)) {
    std::fprintf(stderr, "the plug-in did not initialise\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  Finalize();

  const double request = reporter.RealTime(kRequestBench);
  const double json = reporter.RealTime(kJsonBench);
  if (request > 0 && json > 0) {
    std::printf("ProcessRequest / JSON alone: %.2fx (goal: at most 5x)\n", request / json);
  }
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  return 0;
}

}  // namespace
}  // namespace keystead::bench

int main(int argc, char** argv) { return keystead::bench::RunAndReportRatio(argc, argv); }
