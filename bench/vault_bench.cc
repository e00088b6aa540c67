// Throughput of the vault's string cipher exports for a 100-byte text. Each
// call runs the whole export: code-signature check, vault lookup, master
// password unprotection, key derivation and the cipher. The vault and the
// machine key live in a temporary folder, never in /var/lib or /etc.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "vault/VaultOperations.h"

namespace keystead::bench {
namespace {

const std::string kText(100, 't');

void SetCallRate(benchmark::State& state) {
  state.counters["calls/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Ecy(benchmark::State& state) {
  if (vault::ecy(kText).empty()) {
    state.SkipWithError("ecy failed: is the program's folder writable by others?");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(vault::ecy(kText));
  SetCallRate(state);
}
BENCHMARK(BM_Ecy)->UseRealTime();

void BM_Dcy(benchmark::State& state) {
  const std::string ciphertext = vault::ecy(kText);
  if (ciphertext.empty()) {
    state.SkipWithError("ecy failed: is the program's folder writable by others?");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(vault::dcy(ciphertext));
  SetCallRate(state);
}
BENCHMARK(BM_Dcy)->UseRealTime();

// A folder of its own that stands in for the machine's folders.
class BenchMachine {
 public:
  BenchMachine()
      : root_(std::filesystem::temp_directory_path() /
              ("keystead-vault-bench-" + std::to_string(std::random_device()()))) {
    std::filesystem::create_directories(root_ / "programdata");
    setenv("KEYSTEAD_PROGRAMDATA", (root_ / "programdata").c_str(), 1);
    setenv("KEYSTEAD_MACHINE_KEY_FILE", (root_ / "machine.key").c_str(), 1);
  }
  ~BenchMachine() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  BenchMachine(const BenchMachine&) = delete;
  BenchMachine& operator=(const BenchMachine&) = delete;

 private:
  std::filesystem::path root_;
};

}  // namespace
}  // namespace keystead::bench

int main(int argc, char** argv) {
  const keystead::bench::BenchMachine machine;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
