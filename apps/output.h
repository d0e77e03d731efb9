// What the tool writes besides its text: refusals and progress on stderr, plots rendered by
// gnuplot.
#pragma once

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace zaq::app {

/// Writes "zaq COMMAND: <message>" as one line on stderr and returns exit code 2.
int Fail(const char* command, const char* format, ...) __attribute__((format(printf, 2, 3)));

/// True when `name` is an executable file in a directory of PATH.
bool OnPath(const char* name);
/// A path as a gnuplot single-quoted string: a quote inside is doubled, so a name such as
/// "Bob's run" stays one string instead of ending it early (and running what follows).
std::string GnuplotQuoted(const std::string& path);
/// Renders script (everything after gnuplot's terminal and output lines) with gnuplot into a
/// width x height PNG at png: drawn under a temporary name and renamed when gnuplot has
/// succeeded, so that a failure leaves no partial picture. False with a one-line reason.
bool RenderPng(const std::string& png, int width, int height, const std::string& script,
               std::string* why);

/// Progress of a long computation on stderr, "zaq COMMAND: <text>", shown only once the command
/// has run for a second and then at most four times a second; the line is rewritten in place
/// and ended by Done (or when the Progress goes out of scope, so that an error that follows
/// starts on a line of its own).
class Progress {
public:
    explicit Progress(const char* command) : command(command) {}
    ~Progress() { Done(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    void Note(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        const auto now = std::chrono::steady_clock::now();
        if (now - start < std::chrono::seconds(1) || now - last < std::chrono::milliseconds(250))
            return;
        last = now;
        shown = true;
        std::fprintf(stderr, "\rzaq %s: ", command);
        va_list args;
        va_start(args, format);
        std::vfprintf(stderr, format, args);
        va_end(args);
        std::fflush(stderr);
    }
    /// Ends the progress line, if one was shown.
    void Done() {
        if (shown) std::fprintf(stderr, "\n");
        shown = false;
    }

private:
    const char* command;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now(), last = start;
    bool shown = false;
};

}  // namespace zaq::app
