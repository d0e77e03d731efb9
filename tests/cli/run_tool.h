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
#include <utility>

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

/// The eight bytes every PNG file starts with.
inline const std::string kPngSignature("\x89PNG\r\n\x1a\n", 8);

/// Width and height of a PNG image from its header (zeros when bytes hold no header).
inline std::pair<unsigned, unsigned> PngSize(const std::string& bytes) {
    if (bytes.size() < 24) return {0, 0};
    auto be32 = [&](size_t at) {
        unsigned v = 0;
        for (size_t k = at; k < at + 4; ++k) v = (v << 8) | static_cast<unsigned char>(bytes[k]);
        return v;
    };
    return {be32(16), be32(20)};
}

/// Runs `zaq --root <source>/data <args>` through the shell (args are shell words); its
/// standard output goes to stdoutTo when given (and is then not captured).
inline Result RunTool(const std::string& args, const std::string& stdoutTo = "") {
    // Files of their own per process: ctest runs the cases of this file side by side.
    const std::string base = ::testing::TempDir() + "zaq_tool_" + std::to_string(getpid());
    const std::string out = base + ".out", err = base + ".err";
    const std::string cmd = std::string("'") + ZAQ_TOOL + "' --root '" ZAQ_SOURCE_DIR "/data' " +
                            args + " >'" + (stdoutTo.empty() ? out : stdoutTo) + "' 2>'" + err +
                            "'";
    Result r;
    const int status = std::system(cmd.c_str());
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = SlurpFile(out);
    r.err = SlurpFile(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}

/// Runs args and expects a refusal: exit code 2, nothing on stdout and one line of error text
/// on stderr, without an escape byte. The result is returned for checks of the message.
inline Result ExpectRefused(const std::string& args) {
    SCOPED_TRACE(args);
    const Result r = RunTool(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_EQ(r.err.find('\033'), std::string::npos) << r.err;
    return r;
}

}  // namespace zaq::test
