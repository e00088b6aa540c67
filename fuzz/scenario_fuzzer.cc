// The stand-in engine's scenario loader: any text is either applied or
// refused with an error that names where in the document the problem is (a
// member path such as "camera.fps", "scenario" for the root, or the line and
// column of a syntax error). The stand-in is reset after every input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine-sim/SimControl.h"

namespace keystead::fuzz {
namespace {

// "<path>: <what>", where a syntax error's path is its line and column.
bool NamesAPlace(const std::string& error) {
  const std::size_t separator = error.find(": ");
  if (separator == std::string::npos || separator == 0) return false;
  if (error.rfind("not valid JSON: ", 0) != 0) return true;
  return error.find("Line ") != std::string::npos && error.find("Column ") != std::string::npos;
}

}  // namespace

int InitializeFuzzer() {
  unsetenv("KEYSTEAD_SIM_SCENARIO");  // every input starts from the defaults
  keystead::sim::Reset();
  return 0;
}

int FuzzOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(bytes), size);
  std::string error;
  if (!keystead::sim::LoadScenarioText(text, &error) && !NamesAPlace(error)) {
    std::fprintf(stderr, "scenario refused without a place: \"%s\"\n", error.c_str());
    std::abort();
  }
  keystead::sim::Reset();
  return 0;
}

}  // namespace keystead::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) { return keystead::fuzz::InitializeFuzzer(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  return keystead::fuzz::FuzzOneInput(bytes, size);
}
