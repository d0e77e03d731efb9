#include "apps/commands.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>

namespace zaq::app {

void Register(CLI::App& app, Options& opts) {
    RegisterEphem(app, opts);
    RegisterTransfer(app, opts);
    RegisterPorkchop(app, opts);
    RegisterFly(app, opts);
}

std::string OutputPath(const Options& opts, const std::string& path) {
    if (path.empty() || path[0] == '/' || opts.startDir.empty()) return path;
    return opts.startDir + "/" + path;
}

int Run(Options& opts) {
    char cwd[PATH_MAX];
    opts.startDir = getcwd(cwd, sizeof cwd) ? cwd : "";
    const std::string root = opts.root.empty() ? plan::DataRoot() : opts.root;
    std::error_code ec;
    if (!std::filesystem::is_directory(root, ec) || access(root.c_str(), R_OK | X_OK) != 0) {
        std::fprintf(stderr, "zaq: cannot enter the data directory '%s'\n", root.c_str());
        return 2;
    }
    auto opened = plan::SolarModel::Open(root);
    if (!opened.ok()) {
        std::fprintf(stderr, "zaq: %s\n", opened.error().c_str());
        return 2;
    }
    plan::SolarModel& model = *opened.value();
    if (auto taken = model.TakeLog(OutputPath(opts, opts.log)); !taken.ok()) {
        std::fprintf(stderr, "zaq: --log: %s\n", taken.error().c_str());
        return 2;
    }
    return opts.run ? opts.run(model) : 0;
}

}  // namespace zaq::app
