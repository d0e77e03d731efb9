// A test fixture whose suite runs in a private working directory holding a copy of the host's
// Config/, with the built-in solar system loaded and one solar-system model set up there.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "zaq/hostsim.h"
#include "zaq/sol.h"

namespace zaq::test {

/// The date the built-in solar system is loaded at.
constexpr double kSolMjd = 60000.0;

class SolDirTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char dir[] = "/tmp/zaq_sol_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        std::filesystem::copy(std::filesystem::path(ZAQ_SOURCE_DIR) / "data/Config",
                              dir_ / "Config", std::filesystem::copy_options::recursive);
        ASSERT_EQ(chdir(dir), 0);
        zaq::hostsim::LoadSolarSystem(kSolMjd);
        sol_ = new CSol;
        ASSERT_EQ(sol_->Setup("Config/Sol.cfg", 1.0, nullptr), 0);
    }
    static void TearDownTestSuite() {
        delete sol_;
        sol_ = nullptr;
        EXPECT_EQ(chdir("/"), 0);
        std::filesystem::remove_all(dir_);
    }

    inline static std::filesystem::path dir_;
    inline static CSol* sol_ = nullptr;
};

}  // namespace zaq::test
