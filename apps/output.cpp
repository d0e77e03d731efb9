#include "apps/output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "apps/csv.h"

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

bool RenderPng(const std::string& png, int width, int height, const std::string& script,
               std::string* why) {
    std::string temp;
    const int fd = CreateTemp(png, &temp);
    if (fd < 0) {
        *why = "cannot write " + png + ": " + std::strerror(errno);
        return false;
    }
    close(fd);
    // A gnuplot that stops early must not take the tool down with a broken pipe.
    std::signal(SIGPIPE, SIG_IGN);
    FILE* gp = popen("gnuplot", "w");
    bool ok = gp != nullptr;
    if (!ok) *why = "cannot start gnuplot";
    if (ok) {
        const std::string head = "set terminal pngcairo size " + std::to_string(width) + "," +
                                 std::to_string(height) + " font ',11'\nset output " +
                                 GnuplotQuoted(temp) + "\n";
        std::fwrite(head.data(), 1, head.size(), gp);
        std::fwrite(script.data(), 1, script.size(), gp);
        std::fputs("unset output\n", gp);
        ok = pclose(gp) == 0;
        if (!ok) *why = "gnuplot failed";
    }
    struct stat st {};
    if (ok && !(stat(temp.c_str(), &st) == 0 && st.st_size > 0)) {
        ok = false;
        *why = "gnuplot wrote no picture";
    }
    if (ok && std::rename(temp.c_str(), png.c_str()) != 0) {
        ok = false;
        *why = "cannot write " + png + ": " + std::strerror(errno);
    }
    if (!ok) std::remove(temp.c_str());
    return ok;
}

}  // namespace zaq::app
