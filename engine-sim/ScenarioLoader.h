#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine-sim/SimConfig.h"

namespace keystead::sim {

// Reads scenario files (format in engine-sim/README.md). Stateless and thread-safe.
class ScenarioLoader {
 public:
  struct Scenario {
    Config config;
    std::map<std::string, std::vector<int>> results;  // scripted codes per operation
  };

  // Applies `text` on top of `base` into `scenario`. On failure returns false and
  // names the offending member in `error`; `scenario` is then unspecified.
  static bool Parse(const std::string& text, const Config& base, Scenario& scenario,
                    std::string& error);

  // Reads a whole file; false with `error` set when it cannot be read.
  static bool ReadFile(const std::string& path, std::string& text, std::string& error);
};

}  // namespace keystead::sim
