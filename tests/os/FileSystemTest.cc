#include <gtest/gtest.h>

#include <filesystem>

#include "os/file_system.h"
#include "support/TempFolder.h"

namespace keystead::os {
namespace {

using test_support::TempFolder;

TEST(FileSystemTest, CreatesEveryMissingFolderWithMode0755) {
  TempFolder dir;
  const std::string deep = dir.Path("a/b//c/ksdata/logs/");
  EXPECT_TRUE(CreateDirectoryRecursively(deep));
  EXPECT_TRUE(std::filesystem::is_directory(deep));
  EXPECT_TRUE(FileExists(dir.Path("a/b/c")));
  const auto permissions = std::filesystem::status(dir.Path("a/b")).permissions();
  // The process's umask may only take bits away.
  EXPECT_EQ(permissions & ~std::filesystem::perms(0755), std::filesystem::perms::none);
  EXPECT_NE(permissions & std::filesystem::perms::owner_all, std::filesystem::perms::none);

  EXPECT_TRUE(CreateDirectoryRecursively(deep)) << "an existing folder counts as success";
}

TEST(FileSystemTest, FailsWhereAFileIsInTheWay) {
  TempFolder dir;
  const std::string file = dir.WriteFile("file", "x");
  EXPECT_FALSE(CreateDirectoryRecursively(file));
  EXPECT_FALSE(CreateDirectoryRecursively(file + "/below"));
  EXPECT_FALSE(CreateDirectoryRecursively(""));
}

TEST(FileSystemTest, FileExistsForFilesAndFoldersOnly) {
  TempFolder dir;
  EXPECT_TRUE(FileExists(dir.WriteFile("present", "")));
  EXPECT_TRUE(FileExists(dir.Path()));
  EXPECT_FALSE(FileExists(dir.Path("absent")));
  EXPECT_FALSE(FileExists(""));
}

}  // namespace
}  // namespace keystead::os
