// Capturing what the library writes to the error log (or to any log stream) in tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "zaq/foundation.h"

namespace zaq::test {

/// Everything written to f, read from its start.
inline std::string Slurp(FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string s;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    return s;
}

/// Runs f with ErrorLog pointing at a scratch stream and returns what was written.
template <typename F>
std::string CaptureErrorLog(F f) {
    FILE* saved = ErrorLog;
    FILE* tmp = std::tmpfile();
    ErrorLog = tmp;
    f();
    ErrorLog = saved;
    std::string s = Slurp(tmp);
    std::fclose(tmp);
    return s;
}

/// Runs f(stream) with a scratch stream and returns what was written to it.
template <typename F>
std::string CaptureStream(F f) {
    FILE* tmp = std::tmpfile();
    f(tmp);
    std::string s = Slurp(tmp);
    std::fclose(tmp);
    return s;
}

/// The message texts of the log lines in s: time prefix, level tag and closing tags removed.
inline std::vector<std::string> LogBodies(const std::string& s) {
    std::vector<std::string> out;
    size_t pos = 0;
    for (;;) {
        const size_t end = s.find("<br>\n", pos);
        if (end == std::string::npos) break;
        std::string line = s.substr(pos, end - pos);
        pos = end + 5;
        size_t start = line.find("</font>");
        start = start == std::string::npos ? 0 : start + 7;
        if (line.compare(start, 12, "<font color=") == 0) {
            start = line.find('>', start) + 1;
            for (const char* tag : {"[ERROR] ", "[WARNING] "})
                if (line.compare(start, std::string(tag).size(), tag) == 0)
                    start += std::string(tag).size();
            if (line.size() >= 7 && line.compare(line.size() - 7, 7, "</font>") == 0)
                line.resize(line.size() - 7);
        }
        out.push_back(line.substr(start));
    }
    return out;
}

/// An address as the log shows it ("%llX").
inline std::string Hex(const void* p) {
    char text[32];
    std::snprintf(text, sizeof text, "%llX",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
    return text;
}

}  // namespace zaq::test
