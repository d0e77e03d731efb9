// A test fixture whose suite runs in a private working directory holding a copy of the host's
// Config/ (the solar-system model's scratch directory), with the built-in solar system loaded and
// one solar-system model set up there.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "zaq/hostsim.h"
#include "zaq/plan.h"
#include "zaq/sol.h"

namespace zaq::test {

/// The date the built-in solar system is loaded at.
constexpr double kSolMjd = 60000.0;

class SolDirTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        zaq::hostsim::LoadSolarSystem(kSolMjd);
        auto opened = zaq::plan::SolarModel::Open(ZAQ_SOURCE_DIR "/data");
        ASSERT_TRUE(opened.ok()) << opened.error();
        model_ = std::move(opened.value());
        auto sol = model_->SetUp();
        ASSERT_TRUE(sol.ok()) << sol.error();
        sol_ = sol.value();
        home_ = std::filesystem::current_path();
        ASSERT_EQ(chdir(model_->Directory().c_str()), 0);
    }
    static void TearDownTestSuite() {
        EXPECT_EQ(chdir(home_.c_str()), 0);
        sol_ = nullptr;
        model_.reset();
    }

    inline static std::unique_ptr<zaq::plan::SolarModel> model_;
    inline static CSol* sol_ = nullptr;
    inline static std::filesystem::path home_;
};

}  // namespace zaq::test
