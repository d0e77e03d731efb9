// Subcommands of the zaq tool: each reads its arguments, calls one plan of zaq::plan and reports.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

#include "zaq/plan.h"

namespace zaq::app {

struct Options {
    std::string root;      ///< directory holding Config/; empty for plan::DataRoot()
    std::string log;       ///< where the library's log goes; empty: the scratch directory
    std::string startDir;  ///< where the tool was started
    std::function<int(plan::SolarModel&)> run;  ///< the chosen subcommand's action
};

/// A path the user gave, taken relative to where the tool was started.
std::string OutputPath(const Options& opts, const std::string& path);

/// Adds every subcommand to the parser; each sets opts.run.
void Register(CLI::App& app, Options& opts);
/// zaq ephem BODY [--date DATE] [--ref BODY].
void RegisterEphem(CLI::App& app, Options& opts);
/// zaq transfer FROM TO --depart DATE --arrive DATE [...].
void RegisterTransfer(CLI::App& app, Options& opts);
/// zaq porkchop FROM TO --depart-range D1 D2 --tof-range T1 T2 [...].
void RegisterPorkchop(CLI::App& app, Options& opts);
/// zaq fly BODY --alt KM --inc DEG --days N [...].
void RegisterFly(CLI::App& app, Options& opts);
/// Opens the solar-system model over the data root, gives it the library's log and runs the
/// chosen subcommand; returns the exit code.
int Run(Options& opts);

}  // namespace zaq::app
