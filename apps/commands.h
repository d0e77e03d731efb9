// Subcommands of the zaq tool.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

namespace zaq::app {

struct Options {
    std::string root;          ///< directory holding Config/; empty for DefaultRoot()
    std::string startDir;      ///< where the tool was started; Run sets it before entering root
    std::function<int()> run;  ///< the chosen subcommand's action
};

/// The data directory when --root is not given: $ZAQ_ROOT when set, else the installed data
/// directory found relative to the executable, else the source tree's data/.
std::string DefaultRoot();
/// A path the user gave, taken relative to where the tool was started (not to the data root).
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
/// Remembers the start directory, enters the data root and runs the chosen subcommand; returns the
/// exit code.
int Run(Options& opts);

}  // namespace zaq::app
