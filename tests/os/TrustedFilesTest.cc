// What both platforms share: the caller's own folders and files are
// trusted, a file is read from its handle up to a limit, and a folder is no
// file. The refused cases live with the vault's tests and, on Windows, with
// Win32TrustedFilesTest.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "os/trusted_files.h"
#include "support/TempFolder.h"

namespace keystead::os {
namespace {

TEST(TrustedFilesTest, ReadsOwnFilesUpToALimitAndNeverAFolderAsAFile) {
  test_support::TempFolder dir;
  const std::string path = dir.WriteFile("file.bin", std::string("ab\0cd", 5));
  TrustedFileRead read = ReadTrustedFile(path, 4);
  ASSERT_EQ(read.status, TrustedFileRead::Status::kRead) << read.reason;
  EXPECT_EQ(read.contents.str(), std::string("ab\0c", 4));
  EXPECT_EQ(UntrustedFolderReason(dir.Path()), std::nullopt);
  EXPECT_EQ(UntrustedFolderReason(dir.Path("missing")), std::nullopt);
  EXPECT_EQ(UntrustedFolderReason(path), "not a folder");

  EXPECT_EQ(ReadTrustedFile(dir.Path("missing"), 4).status, TrustedFileRead::Status::kMissing);
  read = ReadTrustedFile(dir.Path(), 4);
  EXPECT_EQ(read.status, TrustedFileRead::Status::kUntrusted);
  EXPECT_EQ(read.reason, "not a regular file");
}

}  // namespace
}  // namespace keystead::os
