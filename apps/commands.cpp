#include "apps/commands.h"

#include <unistd.h>

#include <cstdio>

namespace zaq::app {

void Register(CLI::App& app, Options& opts) {
    RegisterEphem(app, opts);
    RegisterTransfer(app, opts);
    RegisterPorkchop(app, opts);
}

int Run(const Options& opts) {
    if (!opts.root.empty() && chdir(opts.root.c_str()) != 0) {
        std::fprintf(stderr, "zaq: cannot enter the data directory '%s'\n", opts.root.c_str());
        return 2;
    }
    return opts.run ? opts.run() : 0;
}

}  // namespace zaq::app
