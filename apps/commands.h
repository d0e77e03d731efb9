// Subcommands of the zaq tool.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

namespace zaq::app {

struct Options {
    std::string root = "data/";
    std::function<int()> run;  ///< the chosen subcommand's action
};

/// Adds every subcommand to the parser; each sets opts.run.
void Register(CLI::App& app, Options& opts);
/// zaq ephem BODY [--date DATE] [--ref BODY].
void RegisterEphem(CLI::App& app, Options& opts);
/// zaq transfer FROM TO --depart DATE --arrive DATE [...].
void RegisterTransfer(CLI::App& app, Options& opts);
/// zaq porkchop FROM TO --depart-range D1 D2 --tof-range T1 T2 [...].
void RegisterPorkchop(CLI::App& app, Options& opts);
/// Enters opts.root and runs the chosen subcommand; returns the exit code.
int Run(const Options& opts);

}  // namespace zaq::app
