// Throughput of the vault's string cipher exports for a 100-byte text. Each
// call runs the whole export: code-signature check, vault lookup, master
// password unprotection, key derivation and the cipher. The vault and the
// machine key live in a temporary folder, never in /var/lib or /etc.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"
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
 private:
  std::string CreateProgramData() const {
    std::filesystem::create_directories(root_.Path("programdata"));
    return root_.Path("programdata");
  }

  const test_support::TempFolder root_;
  const test_support::ScopedEnv programData_{"KEYSTEAD_PROGRAMDATA", CreateProgramData()};
  const test_support::ScopedEnv machineKey_{"KEYSTEAD_MACHINE_KEY_FILE", root_.Path("machine.key")};
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
