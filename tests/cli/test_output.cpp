// Output faults: a full disk, a directory that cannot hold files and a path that is a directory,
// for every kind of file the tool writes and for its standard output. Each gets one line on
// stderr and a non-zero exit code, and leaves the output directory as it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "tests/cli/run_tool.h"

namespace {

namespace fs = std::filesystem;
using zaq::test::Result;
using zaq::test::RunTool;

std::set<std::string> Listing(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
    return names;
}

}  // namespace

TEST(ToolOutput, FaultsGetOneLineAndLeaveNoFile) {
    // full.csv is the full device; dir.csv and pic.png are directories.
    const fs::path dir = ::testing::TempDir() + "zaq_output_" + std::to_string(getpid());
    fs::remove_all(dir);
    fs::create_directories(dir / "dir.csv");
    fs::create_directories(dir / "pic.png");
    fs::create_symlink("/dev/full", dir / "full.csv");
    const std::set<std::string> before = Listing(dir);
    const std::string d = dir.string() + "/";
    const std::string grid =
        "porkchop Earth Mars --depart-range 2026-09-01 2027-01-31 --tof-range 120 400 --grid 5 "
        "--no-plot ";
    const std::string fly = "fly Earth --alt 400 --inc 51.6 --start 2026-11-14 --days 0.05 ";
    const std::string lunar =
        "transfer Earth Moon --depart 2026-11-20 --arrive 2026-11-23 --thrust 1e5 --isp 448.67 "
        "--mass 4e4 ";
    const bool gnuplot = std::system("command -v gnuplot >/dev/null 2>&1") == 0;
    const struct {
        std::string args, stdoutTo, message;
        int code;  // 1: the plan is printed, only its picture fails (with gnuplot only)
    } faults[] = {
        {grid + "--out " + d + "full", "", "cannot write " + d + "full.csv: No space left", 2},
        {grid + "--out /proc/zaq-output", "", "cannot write /proc/zaq-output.csv: ", 2},
        {grid + "--out " + d + "dir", "", "cannot write " + d + "dir.csv: Is a directory", 2},
        {fly + "--no-plot --out " + d + "full", "", "cannot write " + d + "full.csv: No space", 2},
        {fly + "--out /proc/zaq-output", "", "cannot write /proc/zaq-output.csv: ", 2},
        {fly + "--out " + d + "dir", "", "cannot write " + d + "dir.csv: Is a directory", 2},
        {"transfer Earth Mars --depart 2026-11-14 --arrive 2027-08-09 --json", "/dev/full",
         "zaq: cannot write the standard output: No space left on device", 2},
        {fly + "--no-plot --json --out " + d + "fly", "/dev/full",
         "zaq: cannot write the standard output: No space left on device", 2},
        {lunar + "--plot " + d + "pic.png", "/dev/null",
         "no plot: cannot write " + d + "pic.png: Is a directory", 1},
        {lunar + "--plot /proc/zaq-output.png", "/dev/null",
         "no plot: cannot write /proc/zaq-output.png: ", 1},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.args);
        if (f.code == 1 && !gnuplot) continue;
        const Result r = RunTool(f.args, f.stdoutTo);
        EXPECT_EQ(r.code, f.code);
        EXPECT_NE(r.err.find(f.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        // The flight to a full standard output still writes its complete CSV.
        fs::remove(dir / "fly.csv");
        EXPECT_EQ(Listing(dir), before);
    }
    fs::remove_all(dir);
}
