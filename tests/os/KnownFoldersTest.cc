#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "os/known_folders.h"
#include "support/ScopedEnv.h"

namespace keystead::os {
namespace {

using test_support::ScopedEnv;
using Env = std::optional<std::string>;

TEST(KnownFoldersTest, LocalAppDataOverrideAndDefaults) {
  struct Case {
    Env localAppData;
    Env xdgDataHome;
    Env home;
    Env expected;
  };
  const Case cases[] = {
      {"/tmp/ks/local/", "/tmp/xdg", "/tmp/home", "/tmp/ks/local"},
      {"", "/tmp/xdg//", "/tmp/home", "/tmp/xdg"},
      {std::nullopt, "relative/xdg", "/tmp/home/", "/tmp/home/.local/share"},
      {std::nullopt, std::nullopt, "/tmp/home", "/tmp/home/.local/share"},
      {std::nullopt, std::nullopt, std::nullopt, std::nullopt},
      {"/", std::nullopt, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    ScopedEnv local("KEYSTEAD_LOCALAPPDATA", c.localAppData);
    ScopedEnv xdg("XDG_DATA_HOME", c.xdgDataHome);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(LocalAppDataFolder(), c.expected)
        << c.localAppData.value_or("-") << " " << c.xdgDataHome.value_or("-") << " "
        << c.home.value_or("-");
  }
}

TEST(KnownFoldersTest, ProgramDataOverrideAndDefault) {
  {
    ScopedEnv programData("KEYSTEAD_PROGRAMDATA", "/tmp/ks/programdata/");
    EXPECT_EQ(ProgramDataFolder(), "/tmp/ks/programdata");
  }
  ScopedEnv programData("KEYSTEAD_PROGRAMDATA", std::nullopt);
  EXPECT_EQ(ProgramDataFolder(), "/var/lib");
}

}  // namespace
}  // namespace keystead::os
