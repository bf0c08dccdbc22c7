#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

// Sets (or with nullopt, removes) an environment variable until the end of
// the scope, then puts the old value back.
struct ScopedVariable {
  std::string name;
  std::optional<std::string> old;
  ScopedVariable(const char* variable, const std::optional<std::string>& value) : name(variable) {
    if (const char* current = std::getenv(variable)) old = current;
    if (value) {
      setenv(variable, value->c_str(), 1);
    } else {
      unsetenv(variable);
    }
  }
  ~ScopedVariable() {
    if (old) {
      setenv(name.c_str(), old->c_str(), 1);
    } else {
      unsetenv(name.c_str());
    }
  }
};

TEST(PosixSettingsTest, CandidatesFollowTheUsersConfigurationFolder) {
  std::string own = platform::ExecutableFolder();
  std::string shared = own.substr(0, own.rfind('/')) + "/share/pagrimo";
  using V = std::vector<std::string>;
  using Value = std::optional<std::string>;
  struct Case {
    Value config, home;
    V folders;
  } cases[] = {
      {"/cfg", "/home/u", V{own, "/cfg/pagrimo", shared}},
      {"/cfg/", std::nullopt, V{own, "/cfg//pagrimo", shared}},
      {std::nullopt, "/home/u", V{own, "/home/u/.config/pagrimo", shared}},
      {"", "/home/u", V{own, "/home/u/.config/pagrimo", shared}},
      {"relative", "/home/u", V{own, "/home/u/.config/pagrimo", shared}},
      {std::nullopt, "relative", V{own, shared}},
      {std::nullopt, "", V{own, shared}},
      {std::nullopt, std::nullopt, V{own, shared}},
  };
  for (const Case& c : cases) {
    ScopedVariable config("XDG_CONFIG_HOME", c.config);
    ScopedVariable home("HOME", c.home);
    EXPECT_EQ(platform::SettingsFolderCandidates(), c.folders)
        << c.config.value_or("(unset)") << " " << c.home.value_or("(unset)");
  }
}

}  // namespace
