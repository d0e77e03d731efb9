// Running the zaq tool as a program from tests: exit code, standard output and error.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace zaq::test {

struct Result {
    int code = -1;
    std::string out, err;
};

inline std::string SlurpFile(const std::string& path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

/// Runs `zaq --root <source>/data <args>` through the shell (args are shell words).
inline Result RunTool(const std::string& args) {
    // Files of their own per process: ctest runs the cases of this file side by side.
    const std::string base = ::testing::TempDir() + "zaq_tool_" + std::to_string(getpid());
    const std::string out = base + ".out", err = base + ".err";
    const std::string cmd = std::string("'") + ZAQ_TOOL + "' --root '" ZAQ_SOURCE_DIR "/data' " +
                            args + " >'" + out + "' 2>'" + err + "'";
    Result r;
    const int status = std::system(cmd.c_str());
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = SlurpFile(out);
    r.err = SlurpFile(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}

}  // namespace zaq::test
