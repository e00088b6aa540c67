#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "os/machine_files.h"
#include "support/TempFolder.h"

namespace keystead::os {
namespace {

namespace fs = std::filesystem;
using test_support::TempFolder;

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::size_t EntriesIn(const std::string& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(MachineFilesTest, PublishesANewFileButNeverReplacesOne) {
  TempFolder dir;
  const std::string path = dir.Path("vault.dat");
  EXPECT_EQ(PublishNewFile(path, std::string("first\0bytes", 11)), PublishResult::kPublished);
  EXPECT_EQ(ReadAll(path), std::string("first\0bytes", 11));
  EXPECT_EQ(fs::status(path).permissions(), fs::perms(0644));

  EXPECT_EQ(PublishNewFile(path, "second"), PublishResult::kAlreadyExists);
  EXPECT_EQ(ReadAll(path), std::string("first\0bytes", 11));
  EXPECT_EQ(EntriesIn(dir.Path()), 1u) << "no temporary file is left behind";
}

TEST(MachineFilesTest, FailsWithoutLeavingAnythingWhenTheFolderIsMissing) {
  TempFolder dir;
  EXPECT_EQ(PublishNewFile(dir.Path("missing/vault.dat"), "x"), PublishResult::kFailed);
  EXPECT_EQ(PublishNewFile("", "x"), PublishResult::kFailed);
  EXPECT_EQ(EntriesIn(dir.Path()), 0u);
}

TEST(MachineFilesTest, CreatesOnlyTheLastFolderAndLeavesAnExistingOneAsItIs) {
  TempFolder dir;
  EXPECT_TRUE(CreateMachineSharedFolder(dir.Path("Keystead")));
  EXPECT_EQ(fs::status(dir.Path("Keystead")).permissions(), fs::perms(0755));
  EXPECT_FALSE(CreateMachineSharedFolder(dir.Path("missing/Keystead")));

  fs::permissions(dir.Path("Keystead"), fs::perms(0700));
  EXPECT_TRUE(CreateMachineSharedFolder(dir.Path("Keystead")));
  EXPECT_EQ(fs::status(dir.Path("Keystead")).permissions(), fs::perms(0700));
  EXPECT_FALSE(CreateMachineSharedFolder(dir.WriteFile("file", "")));
}

TEST(MachineFilesConcurrencyTest, OfManyPublishersExactlyOneWins) {
  TempFolder dir;
  const std::string path = dir.Path("vault.dat");
  constexpr int kThreads = 8;
  std::vector<PublishResult> results(kThreads);
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&result = results[t], &path, t] {
        result = PublishNewFile(path, "contents of " + std::to_string(t));
      });
    }
  }
  int winners = 0;
  for (int t = 0; t < kThreads; ++t) {
    if (results[t] == PublishResult::kPublished) {
      ++winners;
      EXPECT_EQ(ReadAll(path), "contents of " + std::to_string(t));
    } else {
      EXPECT_EQ(results[t], PublishResult::kAlreadyExists);
    }
  }
  EXPECT_EQ(winners, 1);
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

}  // namespace
}  // namespace keystead::os
