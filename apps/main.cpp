// The zaq command-line tool.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "apps/commands.h"
#include "zaq/foundation.h"

int main(int argc, char** argv) {
    CLI::App app{"zaq: orbits, ephemerides and transfers on the built-in solar system"};
    app.require_subcommand(0, 1);
    bool version = false;
    app.add_flag("--version", version, "Print the build banner and exit");
    zaq::app::Options opts;
    app.add_option("--root", opts.root,
                   "Directory holding Config/ (default: $ZAQ_ROOT, else the installed data, else "
                   "the source tree's data/)");
    zaq::app::Register(app, opts);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);  // --help
        // A bad request gets one line on stderr, as the commands' own refusals do.
        std::fprintf(stderr, "zaq: %s\n", e.what());
        return 2;
    }
    if (version) {
        std::printf("%s\n", otk::BuildBanner());
        return 0;
    }
    if (app.get_subcommands().empty()) {
        std::printf("%s", app.help().c_str());
        return 0;
    }
    return zaq::app::Run(opts);
}
