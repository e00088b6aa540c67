#include <gtest/gtest.h>

#include <filesystem>
#include <locale>
#include <string>
#include <vector>

#include "os/code_signature.h"
#include "support/TempFolder.h"

namespace keystead::os {
namespace {

namespace fs = std::filesystem;
using test_support::TempFolder;

// A module file and its folder with chosen modes, owned by the current user.
class ModuleLayout {
 public:
  ModuleLayout(fs::perms folderMode, fs::perms fileMode) {
    fs::create_directory(Folder());
    file_ = dir_.WriteFile("modules/module.so", "module");
    fs::permissions(file_, fileMode);
    fs::permissions(Folder(), folderMode);
  }
  ~ModuleLayout() {
    std::error_code ignored;
    fs::permissions(Folder(), fs::perms(0755), ignored);  // lets the folder be removed
  }

  std::string Folder() const { return dir_.Path("modules"); }
  const std::string& File() const { return file_; }

 private:
  TempFolder dir_;
  std::string file_;
};

TEST(CodeSignatureTest, TrustsOnlyFilesThatNobodyElseCanChange) {
  struct Case {
    fs::perms folder;
    fs::perms file;
    bool trusted;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {fs::perms(0755), fs::perms(0755), true, ""},
      {fs::perms(0700), fs::perms(0600), true, ""},
      {fs::perms(0755), fs::perms(0775), false, "file writable by group or others"},
      {fs::perms(0755), fs::perms(0757), false, "file writable by group or others"},
      {fs::perms(0775), fs::perms(0755), false, "folder writable by group or others"},
      {fs::perms(01777), fs::perms(0755), false, "folder writable by group or others"},
  };
  for (const Case& c : cases) {
    const ModuleLayout layout(c.folder, c.file);
    const CodeSignatureVerdict verdict = CheckCodeSignature(layout.File());
    EXPECT_EQ(verdict.trusted, c.trusted) << layout.File();
    EXPECT_EQ(verdict.reason, c.reason);
    EXPECT_EQ(VerifyCodeSignature(layout.File()), c.trusted);
  }
}

TEST(CodeSignatureTest, RejectsWhatIsNotAnExistingRegularFile) {
  const ModuleLayout layout(fs::perms(0755), fs::perms(0755));
  EXPECT_EQ(CheckCodeSignature(layout.Folder()).reason, "not a regular file");
  EXPECT_EQ(CheckCodeSignature(layout.Folder() + "/missing.so").reason, "file not found");
  EXPECT_EQ(CheckCodeSignature("").reason, "invalid path");
  EXPECT_EQ(CheckCodeSignature(std::string("a\0b", 3)).reason, "invalid path");
  EXPECT_FALSE(VerifyCodeSignature("/dev/null"));
}

TEST(CodeSignatureTest, FollowsLinksToTheRealFileAndFolder) {
  const ModuleLayout trusted(fs::perms(0755), fs::perms(0755));
  const ModuleLayout untrusted(fs::perms(0755), fs::perms(0777));
  TempFolder links;
  fs::create_symlink(trusted.File(), links.Path("to-trusted.so"));
  fs::create_symlink(untrusted.File(), links.Path("to-untrusted.so"));
  EXPECT_TRUE(VerifyCodeSignature(links.Path("to-trusted.so")));
  EXPECT_FALSE(VerifyCodeSignature(links.Path("to-untrusted.so")));
}

TEST(CodeSignatureTest, FindsTheExecutableAndTheModuleOfAnAddress) {
  const std::optional<std::string> executable = CurrentExecutablePath();
  ASSERT_TRUE(executable.has_value());
  EXPECT_TRUE(fs::path(*executable).is_absolute());
  EXPECT_TRUE(fs::equivalent(*executable, "/proc/self/exe"));

  static const int objectOfThisProgram = 0;
  EXPECT_EQ(ModulePathOf(&objectOfThisProgram), executable);
  // The classic locale is an object inside the C++ run-time library.
  const std::optional<std::string> runtime = ModulePathOf(&std::locale::classic());
  ASSERT_TRUE(runtime.has_value());
  EXPECT_NE(runtime->find("libstdc++"), std::string::npos) << *runtime;
  EXPECT_EQ(ModulePathOf(nullptr), std::nullopt);
}

TEST(CodeSignatureTest, ATestVerifierReplacesThePlatformCheckWhileItLives) {
  const ModuleLayout layout(fs::perms(0755), fs::perms(0755));
  {
    ScopedCodeSignatureVerifierForTesting rejectAll([](const std::string&) {
      return CodeSignatureVerdict{false, "rejected"};
    });
    EXPECT_EQ(CheckCodeSignature(layout.File()).reason, "rejected");
    {
      ScopedCodeSignatureVerifierForTesting acceptAll([](const std::string&) {
        return CodeSignatureVerdict{true, ""};
      });
      EXPECT_TRUE(VerifyCodeSignature("/no/such/file"));
    }
    EXPECT_FALSE(VerifyCodeSignature(layout.File()));
  }
  EXPECT_TRUE(VerifyCodeSignature(layout.File()));
  EXPECT_FALSE(VerifyCodeSignature("/no/such/file"));
}

}  // namespace
}  // namespace keystead::os
