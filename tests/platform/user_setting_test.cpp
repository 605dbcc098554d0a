// Values kept for the user between runs, on both systems: in a folder of the
// test's own on Linux, in the test prefix's registry under a name of the
// test's own on Windows.
#include "platform/user_setting.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>
#endif

namespace platform {
namespace {

class UserSettingTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    program_ = "quarnel-setting-test-" + std::to_string(::GetCurrentProcessId());
#else
    const char* old = ::getenv("XDG_CONFIG_HOME");
    if (old != nullptr) saved_ = old;
    had_ = old != nullptr;
    ::setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
    program_ = "quarnel-setting-test";
#endif
  }
  void TearDown() override {
#ifdef _WIN32
    const std::string key = "Software\\quarnel\\" + program_;
    ::RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
#else
    if (had_) {
      ::setenv("XDG_CONFIG_HOME", saved_.c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
#endif
  }

  std::string program_;
  testsupport::TempDir dir_;
  std::string saved_;
  bool had_ = false;
};

TEST_F(UserSettingTest, AValueIsKeptReplacedAndToldApartByNameAndProgram) {
  EXPECT_EQ(ReadUserSetting(program_, "lastStationFile"), std::nullopt);

  ASSERT_TRUE(WriteUserSetting(program_, "lastStationFile", "/line/a long station name.toml"));
  EXPECT_EQ(ReadUserSetting(program_, "lastStationFile"), "/line/a long station name.toml");

  // A shorter value replaces a longer one whole: nothing of the old one stays.
  ASSERT_TRUE(WriteUserSetting(program_, "lastStationFile", "b.toml"));
  EXPECT_EQ(ReadUserSetting(program_, "lastStationFile"), "b.toml");

  ASSERT_TRUE(WriteUserSetting(program_, "other", "x"));
  EXPECT_EQ(ReadUserSetting(program_, "lastStationFile"), "b.toml");
  EXPECT_EQ(ReadUserSetting(program_ + "-other", "lastStationFile"), std::nullopt);
}

TEST_F(UserSettingTest, NamesOutsideAsciiComeBackAsTheyWere) {
  const std::string path =
      "C:\\Pr\xC3\xBC"
      "fplatz\\\xE6\x9D\xB1\xE4\xBA\xAC station.toml";
  ASSERT_TRUE(WriteUserSetting(program_, "lastStationFile", path));
  EXPECT_EQ(ReadUserSetting(program_, "lastStationFile"), path);
  ASSERT_TRUE(WriteUserSetting(program_, "lastStationFile", ""));
  EXPECT_EQ(ReadUserSetting(program_, "lastStationFile"), "");
}

#ifndef _WIN32
TEST_F(UserSettingTest, AConfigurationFolderThatCannotBeMadeIsReportedNotThrown) {
  // Even root cannot make a folder inside an ordinary file.
  ASSERT_TRUE(WriteUserSetting(program_, "probe", "x"));
  ::setenv("XDG_CONFIG_HOME", (dir_.path() / "quarnel" / program_ / "probe").c_str(), 1);
  EXPECT_FALSE(WriteUserSetting(program_, "lastStationFile", "new.toml"));
  EXPECT_EQ(ReadUserSetting(program_, "lastStationFile"), std::nullopt);
}
#endif

}  // namespace
}  // namespace platform
