#include "apps/output.h"

#include <unistd.h>

#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace zaq::app {

int Fail(const char* command, const char* format, ...) {
    std::fprintf(stderr, "zaq %s: ", command);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fprintf(stderr, "\n");
    return 2;
}

bool OnPath(const char* name) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    const std::string dirs = path;
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? end : end - start);
        if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return true;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return false;
}

std::string GnuplotQuoted(const std::string& path) {
    std::string quoted = "'";
    for (char ch : path) {
        if (ch == '\'') quoted += '\'';
        quoted += ch;
    }
    return quoted + "'";
}

bool RunGnuplot(const std::string& script, std::string* why) {
    // A gnuplot that stops early must not take the tool down with a broken pipe.
    std::signal(SIGPIPE, SIG_IGN);
    FILE* gp = popen("gnuplot", "w");
    if (!gp) {
        *why = "cannot start gnuplot";
        return false;
    }
    std::fwrite(script.data(), 1, script.size(), gp);
    if (pclose(gp) != 0) {
        *why = "gnuplot failed";
        return false;
    }
    return true;
}

}  // namespace zaq::app
