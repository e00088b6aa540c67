// Many threads of one process, and several processes, using one vault at once.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "VaultTestSupport.h"
#include "vault/VaultOperations.h"

namespace keystead::vault::test {
namespace {

namespace fs = std::filesystem;

struct ThreadResults {
  std::string sqliteKey;
  std::string ciphertext;
  std::string decrypted;
  std::string secretA;
  std::string validateMessage = "not run";
};

TEST(VaultConcurrencyTest, ThreadsCreatingAndUsingTheVaultAtOnceSeeOneVault) {
  VaultMachine machine;
  constexpr int kThreads = 8;
  std::vector<ThreadResults> results(kThreads);
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&result = results[t], t] {
        // Half of the threads start by creating the vault, half by using it.
        if (t % 2 == 0) result.sqliteKey = gsq();
        result.ciphertext = ecy("shared text");
        result.decrypted = dcy(result.ciphertext);
        result.secretA = gcsa();
        if (t % 2 == 1) result.sqliteKey = gsq();
        result.validateMessage.clear();
        validate(result.validateMessage);
      });
    }
  }
  ASSERT_EQ(ReadFile(machine.VaultFile()).size(), 8228u);
  for (const ThreadResults& result : results) {
    EXPECT_EQ(result.sqliteKey, gsq());
    EXPECT_EQ(result.ciphertext, ecy("shared text"));
    EXPECT_EQ(result.decrypted, "shared text");
    EXPECT_EQ(result.secretA.size(), 32u);
    EXPECT_EQ(result.validateMessage, "");
  }
}

#ifndef _WIN32
// Forks children that wait at a common start line, each creating or reading
// the vault and writing the SQLite key it got to a file of its own.
class ProcessRace {
 public:
  explicit ProcessRace(const VaultMachine& machine) : machine_(machine) {}

  std::vector<std::string> Run(int processes) {
    int startLine[2];
    if (pipe(startLine) != 0) return {};
    std::vector<pid_t> children;
    for (int i = 0; i < processes; ++i) {
      const pid_t child = fork();
      if (child == 0) {
        close(startLine[1]);
        char ignored;
        while (read(startLine[0], &ignored, 1) > 0) {
        }
        WriteFile(ResultFile(i), gsq());
        _exit(0);
      }
      if (child > 0) children.push_back(child);
    }
    close(startLine[0]);
    close(startLine[1]);  // releases every child at once

    std::vector<std::string> keys;
    for (std::size_t i = 0; i < children.size(); ++i) {
      int status = 0;
      EXPECT_EQ(waitpid(children[i], &status, 0), children[i]);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
      keys.push_back(ReadFile(ResultFile(static_cast<int>(i))));
    }
    EXPECT_EQ(static_cast<int>(children.size()), processes);
    return keys;
  }

 private:
  std::string ResultFile(int index) const {
    return machine_.Path("result-" + std::to_string(index));
  }

  const VaultMachine& machine_;
};
#endif

TEST(VaultConcurrencyTest, ProcessesCreatingTheVaultAtOnceAllGetTheKeysThatLast) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: the racing processes are made with fork()";
#else
  VaultMachine machine;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // Each round races the creation of the machine key as well as the vault's.
    std::error_code ignored;
    fs::remove(machine.VaultFile(), ignored);
    fs::remove(machine.MachineKeyFile(), ignored);

    const std::vector<std::string> keys = ProcessRace(machine).Run(4);
    const std::string lasting = gsq();
    ASSERT_EQ(lasting.size(), 188u);
    for (const std::string& key : keys) EXPECT_EQ(key, lasting);
    EXPECT_EQ(
        std::distance(fs::directory_iterator(machine.VaultFolder()), fs::directory_iterator()), 1)
        << "no temporary file is left behind";
  }
#endif
}

}  // namespace
}  // namespace keystead::vault::test
