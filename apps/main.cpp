// The zaq tool.
#include <stdlib.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "apps/commands.h"
#include "apps/options.h"
#include "zaq/foundation.h"

namespace {

// The library opens its error log in the working directory while it is loaded, before main runs
// (truncating a file of that name already there). The tool is loaded in a directory of its own
// instead: EnterLoadDir runs before any library is initialised, main returns to the caller's
// directory, the model's owner takes the log from there, and the directory goes at exit.
char gStartDir[4096];
char gLoadDir[4096];

void EnterLoadDir(int, char**, char**) {
    const char* tmp = getenv("TMPDIR");
    if (!tmp || !*tmp) tmp = "/tmp";
    static const char kName[] = "/zaq-load-XXXXXX";
    const size_t n = strlen(tmp);
    if (!getcwd(gStartDir, sizeof gStartDir) || n + sizeof kName > sizeof gLoadDir) return;
    memcpy(gLoadDir, tmp, n);
    memcpy(gLoadDir + n, kName, sizeof kName);
    if (!mkdtemp(gLoadDir)) {
        gLoadDir[0] = '\0';
    } else if (chdir(gLoadDir) != 0) {
        rmdir(gLoadDir);
        gLoadDir[0] = '\0';
    }
}
__attribute__((section(".preinit_array"), used)) void (*const kEnterLoadDir)(int, char**,
                                                                             char**) = EnterLoadDir;

void RemoveLoadDir() {
    std::error_code ec;
    std::filesystem::remove_all(gLoadDir, ec);
}

// What the command printed must have reached its destination (a full disk, a closed pipe): a
// failure there is the command's failure, told in one line.
int Flushed(int code) {
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return code;
    const int error = errno;
    std::fprintf(stderr, "zaq: cannot write the standard output%s%s\n", error ? ": " : "",
                 error ? std::strerror(error) : "");
    return code ? code : 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (*gLoadDir) {
        std::atexit(RemoveLoadDir);
        if (chdir(gStartDir) != 0) {
            std::fprintf(stderr, "zaq: cannot return to the directory '%s'\n", gStartDir);
            return 2;
        }
    }
    CLI::App app{"zaq: orbits, ephemerides and transfers on the built-in solar system"};
    app.require_subcommand(0, 1);
    bool version = false;
    app.add_flag("--version", version, "Print the build banner and exit");
    zaq::app::Options opts;
    app.add_option("--root", opts.root,
                   "Directory holding Config/ (default: $ZAQ_ROOT, else the installed data, else "
                   "the source tree's data/)")
        ->type_name("DIR");
    app.add_option("--log", opts.log,
                   "Keep the library's error log (ZAQ-SDK_Err.html) in FILE. Without it the log "
                   "goes to the run's scratch directory under $TMPDIR (zaq-XXXXXX), which is "
                   "removed when the command ends, or kept with the log alone when a failure's "
                   "message names the log")
        ->type_name("FILE");
    zaq::app::Register(app, opts);
    try {
        app.parse(argc, argv);
    } catch (const zaq::app::Refused& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);  // --help
        // A bad request gets one line on stderr, as the commands' own refusals do.
        std::fprintf(stderr, "zaq: %s\n", e.what());
        return 2;
    }
    if (version) {
        std::printf("%s\n", otk::BuildBanner());
        return Flushed(0);
    }
    if (app.get_subcommands().empty()) {
        std::printf("%s", app.help().c_str());
        return Flushed(0);
    }
    return Flushed(zaq::app::Run(opts));
}
