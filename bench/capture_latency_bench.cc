// Preview latency of a face capture: from the moment the stand-in engine
// hands a frame to the plug-in's frame listener to the moment the waiting
// enrollment poll returns it. A poll looks for frames every 50 ms, so the
// latency is mostly where in that cycle the frame lands; frames are pushed at
// random points of the cycle. Reports the median and the 99th percentile over
// a few hundred frames (counters median_ms and p99_ms); no goal yet.
#include <benchmark/benchmark.h>
#include <json/json.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine-sim/SimControl.h"
#include "plugin/common/LMListenerHolder.h"
#include "plugin/uri/PostEnrollFrames.h"

namespace {

namespace sim = keystead::sim;
using corvane::larchmere::plugin::common::LMListenerHolder;
using corvane::larchmere::plugin::uri::PostEnrollFrames;
using SteadyClock = std::chrono::steady_clock;

constexpr int kFrames = 300;
constexpr char kHeaders[] =
    "Content-Type: application/json\r\n"
    "Q-Correlation-Id: QCID97c096e3-52fe-4fbd-88a6-4a16a4bcaae8QCID\r\n";

// The version member of the frame a poll returned; -1 for any other answer.
int FrameVersion(const std::string& body) {
  Json::Value root;
  const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
  if (body.empty() || !reader->parse(body.data(), body.data() + body.size(), &root, nullptr)) {
    return -1;
  }
  const Json::Value& frames = root["data"]["frames"];
  return frames.isArray() && !frames.empty() ? frames[0]["version"].asInt() : -1;
}

// Polls the enrollment endpoint in a loop, as a page does, and records when
// each frame came back.
class Page {
 public:
  explicit Page(PostEnrollFrames& handler) : handler(handler), thread([this] { Run(); }) {}
  ~Page() {
    {
      std::scoped_lock lock(mutex);
      stopping = true;
    }
    thread.join();
  }

  bool HasReturned(int version) {
    std::scoped_lock lock(mutex);
    return lastVersion >= version;
  }

  // Waits until the frame `version` was returned; its arrival time.
  SteadyClock::time_point WaitFor(int version) {
    std::unique_lock lock(mutex);
    returned.wait(lock, [&] { return lastVersion >= version; });
    return lastArrival;
  }

 private:
  void Run() {
    for (;;) {
      {
        std::scoped_lock lock(mutex);
        if (stopping) return;
      }
      unsigned short status = 0;
      std::string headers;
      std::string body;
      const std::string request = "{}";
      handler.ProcessRequest(kHeaders, static_cast<int>(request.size()), request.c_str(), status,
                             headers, body);
      const SteadyClock::time_point now = SteadyClock::now();
      const int version = FrameVersion(body);
      if (version >= 0) {
        std::scoped_lock lock(mutex);
        lastVersion = version;
        lastArrival = now;
        returned.notify_all();
      }
    }
  }

  PostEnrollFrames& handler;
  std::mutex mutex;
  std::condition_variable returned;
  bool stopping = false;                // guarded by mutex
  int lastVersion = -1;                 // guarded by mutex
  SteadyClock::time_point lastArrival;  // guarded by mutex
  std::thread thread;
};

double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
  return values[index];
}

void BM_FrameToPollLatency(benchmark::State& state) {
  sim::Reset();
  sim::Configure([](sim::Config& config) {
    config.camera.autoFrames = false;
    config.autoTimelines = false;
  });
  const std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine = CreateFaceLogin();
  auto holder = std::make_unique<LMListenerHolder>(engine);
  auto handler = std::make_unique<PostEnrollFrames>(engine, holder.get());
  std::vector<double> latenciesMs;
  std::mt19937 random(11);
  std::uniform_int_distribution<int> phaseUs(0, 49'999);
  sim::CameraSettings camera;
  camera.width = 64;
  camera.height = 48;
  {
    Page page(*handler);  // its first poll starts the capture and the enrollment
    // Frames of the session's first second are never shown: warm up until one
    // comes back.
    const Corvane::QAV::SDK::SDK_Frame warmUp = sim::MakeFrame(camera, 0);
    while (!page.HasReturned(0)) {
      sim::PushFrame(warmUp);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (auto _ : state) {
      const int version = static_cast<int>(latenciesMs.size()) + 1;
      Corvane::QAV::SDK::SDK_Frame frame = sim::MakeFrame(camera, version);
      frame.version = version;
      std::this_thread::sleep_for(std::chrono::microseconds(phaseUs(random)));
      const SteadyClock::time_point pushed = SteadyClock::now();
      if (!sim::PushFrame(frame)) {
        state.SkipWithError("the capture stopped");
        break;
      }
      const SteadyClock::time_point returned = page.WaitFor(version);
      const std::chrono::duration<double> latency = returned - pushed;
      state.SetIterationTime(latency.count());
      latenciesMs.push_back(latency.count() * 1000.0);
    }
    engine->StopRemoteBiometricData();
  }
  handler.reset();
  holder.reset();
  if (!latenciesMs.empty()) {
    state.counters["median_ms"] = Percentile(latenciesMs, 0.5);
    state.counters["p99_ms"] = Percentile(latenciesMs, 0.99);
  }
}
BENCHMARK(BM_FrameToPollLatency)
    ->Iterations(kFrames)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // Log lines go to a private folder, never the real profile.
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() / "keystead-capture-latency-bench";
  std::filesystem::create_directories(root);
  setenv("KEYSTEAD_LOCALAPPDATA", root.c_str(), 1);
  setenv("KEYSTEAD_PROGRAMDATA", root.c_str(), 1);
  setenv("KEYSTEAD_REGISTRY", (root / "registry.json").c_str(), 1);
  unsetenv("KEYSTEAD_SIM_SCENARIO");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  return 0;
}
