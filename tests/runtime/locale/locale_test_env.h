// A clean locale for every test: no system profile, no environment file, current year 2002.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "runtime/core/error_state.h"
#include "runtime/locale/locale.h"
#include "runtime/values/calendar.h"

namespace pellucor::runtime::testing_support {

class LocaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("pellucor-locale-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    ::setenv("PELLUCOR_SYSTEM_PROFILE", (dir_ / "system.ini").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    SetCurrentYearForTests(2002);
    InitLocale();
    ClearError();
  }
  void TearDown() override {
    SetCurrentYearForTests(std::nullopt);
    std::filesystem::remove_all(dir_);
    ::unsetenv("PELLUCOR_SYSTEM_PROFILE");
    InitLocale();
  }

  std::string WriteFile(const std::string& name, const std::string& text) {
    const std::filesystem::path p = dir_ / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }

  std::filesystem::path dir_;
};

}  // namespace pellucor::runtime::testing_support
