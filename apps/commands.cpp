#include "apps/commands.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace zaq::app {

void Register(CLI::App& app, Options& opts) {
    RegisterEphem(app, opts);
    RegisterTransfer(app, opts);
    RegisterPorkchop(app, opts);
    RegisterFly(app, opts);
}

std::string DefaultRoot() {
    if (const char* env = std::getenv("ZAQ_ROOT"); env && *env) return env;
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        std::string dir(exe, static_cast<size_t>(n));
        dir.erase(dir.find_last_of('/') + 1);
        // ZAQ_INSTALLED_DATA: the installed data directory relative to the installed tool.
        const std::string installed = dir + ZAQ_INSTALLED_DATA;
        if (access((installed + "/Config").c_str(), R_OK | X_OK) == 0) return installed;
    }
    return ZAQ_SOURCE_DATA;  // a tool run from its build tree
}

std::string OutputPath(const Options& opts, const std::string& path) {
    if (path.empty() || path[0] == '/' || opts.startDir.empty()) return path;
    return opts.startDir + "/" + path;
}

int Run(Options& opts) {
    char cwd[PATH_MAX];
    opts.startDir = getcwd(cwd, sizeof cwd) ? cwd : "";
    const std::string root = opts.root.empty() ? DefaultRoot() : opts.root;
    if (chdir(root.c_str()) != 0) {
        std::fprintf(stderr, "zaq: cannot enter the data directory '%s'\n", root.c_str());
        return 2;
    }
    return opts.run ? opts.run() : 0;
}

}  // namespace zaq::app
