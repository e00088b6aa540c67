// Cost of the match-frame document that every poll of a face login returns,
// for one 640x480x3 camera frame, against the bare base64 encoding of the same
// image. The document may cost at most 4 times the encoding; the last line
// printed gives the measured ratio.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "RecordingReporter.h"
#include "plugin/common/LarchmerePluginHelper.h"

namespace keystead::bench {
namespace {

using corvane::larchmere::plugin::common::LarchmerePluginHelper;

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kChannels = 3;
constexpr double kRatioLimit = 4.0;

std::shared_ptr<const Corvane::QAV::SDK::SDK_Frame> CameraFrame() {
  auto frame = std::make_shared<Corvane::QAV::SDK::SDK_Frame>();
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);
  frame->image.resize(static_cast<std::size_t>(kWidth) * kHeight * kChannels);
  for (char& pixel : frame->image) pixel = static_cast<char>(byte(random));
  frame->version = 1;
  frame->channels = kChannels;
  frame->depth = 8;
  frame->width = kWidth;
  frame->height = kHeight;
  frame->frameSize = static_cast<int>(frame->image.size());
  frame->faceQuality = 80;
  frame->faceCoords.rotation = {1.5, -2.25, 0.125};
  frame->faceCoords.translation = {12.0, -3.5, 410.0};
  return frame;
}

const std::shared_ptr<const Corvane::QAV::SDK::SDK_Frame>& Frame() {
  static const auto frame = CameraFrame();
  return frame;
}

void SetImageRate(benchmark::State& state) {
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Frame()->image.size()));
}

void BM_Base64Image(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(LarchmerePluginHelper::EncodeBase64(Frame()->image));
  SetImageRate(state);
}
BENCHMARK(BM_Base64Image);

void BM_MatchFrameDocument(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        LarchmerePluginHelper::ToMatchFramePayload(Frame(), Corvane::QAV::SDK::BLINK));
  }
  SetImageRate(state);
}
BENCHMARK(BM_MatchFrameDocument);

// Runs the benchmarks and prints the ratio of the document to the encoding.
int RunAndReportRatio(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const double base64 = reporter.RealTime("BM_Base64Image");
  const double document = reporter.RealTime("BM_MatchFrameDocument");
  if (base64 > 0 && document > 0) {
    const double ratio = document / base64;
    std::printf("match-frame document / base64 of a %dx%dx%d frame: %.2f (limit %.1f)%s\n", kWidth,
                kHeight, kChannels, ratio, kRatioLimit, ratio > kRatioLimit ? " OVER LIMIT" : "");
  }
  return 0;
}

}  // namespace
}  // namespace keystead::bench

int main(int argc, char** argv) { return keystead::bench::RunAndReportRatio(argc, argv); }
