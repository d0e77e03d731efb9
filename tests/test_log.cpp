// The error log, the logging routines, the error report and the small utilities.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>

#include "foundation/Module.h"
#include "tests/capture_log.h"
#include "zaq/foundation.h"
#include "zaq/hostsim.h"

using zaq::test::CaptureErrorLog;
using zaq::test::Slurp;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string MakeTempDir() {
    char tmpl[] = "/tmp/zaq-test-XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "";
}

const std::string kTime = R"(\(\w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4}\) )";

}  // namespace

TEST(LogRoutines, EachLevelWritesItsColouredLine) {
    FILE* f = std::tmpfile();
    otk::LogMsg(f, "plain %d", 1);
    otk::LogErr(f, "bad %s", "thing");
    otk::LogWrn(f, "careful");
    otk::LogOk(f, "fine %.1f", 2.5);
    const std::string s = Slurp(f);
    std::fclose(f);
    const std::regex expected(
        "<font color=Gray>" + kTime + "</font>plain 1<br>\n" + "<font color=Gray>" + kTime +
        "</font><font color=Red>\\[ERROR\\] bad thing</font><br>\n" + "<font color=Gray>" + kTime +
        "</font><font color=Yellow>\\[WARNING\\] careful</font><br>\n" + "<font color=Gray>" +
        kTime + "</font><font color=#00FF00>fine 2.5</font><br>\n");
    EXPECT_TRUE(std::regex_match(s, expected)) << s;
}

TEST(LogRoutines, NullFileAndPercentArgumentsAreSafe) {
    otk::LogMsg(nullptr, "%s", "nothing");
    otk::LogErr(nullptr, "x");
    FILE* f = std::tmpfile();
    otk::LogMsg(f, "%s", "100%d %s %n");
    const std::string s = Slurp(f);
    std::fclose(f);
    EXPECT_NE(s.find("</font>100%d %s %n<br>\n"), std::string::npos) << s;
}

TEST(LogRoutines, LongMessagesAreCutAtTheBuffer) {
    FILE* f = std::tmpfile();
    const std::string big(5000, 'a');
    otk::LogMsg(f, "%s", big.c_str());
    const std::string s = Slurp(f);
    std::fclose(f);
    const size_t start = s.find("</font>") + 7;
    const size_t end = s.find("<br>");
    EXPECT_EQ(end - start, 999u);
}

TEST(ErrorReport, ThreeFormsWithQuotedReasons) {
    int object = 0;
    const std::string s = CaptureErrorLog([&] {
        otk::ReportError(nullptr, "linalg/Vector.cpp", 42, "vtDot", "Invalid Size");
        otk::ReportError(&object, "linalg/Vector.cpp", 7,
                         "CVector::operator +=", "Size doesn't match %d", 3);
        otk::ReportError(nullptr, "foundation/Tools.cpp", 9, "Setup", nullptr);
    });
    char addr[32];
    std::snprintf(addr, sizeof addr, "%llX",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&object)));
    const std::regex expected(
        "<font color=Gray>" + kTime +
        "</font><font color=Red>\\[ERROR\\] File=linalg/Vector.cpp, Line=42, "
        "Func=vtDot\\(\\): \"Invalid Size\"</font><br>\n"
        "<font color=Gray>" +
        kTime + "</font><font color=Red>\\[ERROR\\] This=0x" + addr +
        ", File=linalg/Vector.cpp, Line=7, Func=CVector::operator \\+=\\(\\): \"Size doesn't "
        "match 3\"</font><br>\n"
        "<font color=Gray>" +
        kTime +
        "</font><font color=Red>\\[ERROR\\] File=foundation/Tools.cpp, Line=9, "
        "Func=Setup\\(\\)</font><br>\n");
    EXPECT_TRUE(std::regex_match(s, expected)) << s;
}

TEST(ErrorReport, MacrosNameThisFileAndLine) {
    const int line = __LINE__ + 1;
    const std::string s = CaptureErrorLog([] { ZAQ_ERROR("vtDot", "Invalid Size"); });
    EXPECT_NE(s.find("test_log.cpp, Line=" + std::to_string(line) +
                     ", Func=vtDot(): \"Invalid Size\"</font><br>\n"),
              std::string::npos)
        << s;
    EXPECT_EQ(CaptureErrorLog([] {
                  FILE* saved = ErrorLog;
                  ErrorLog = nullptr;
                  ZAQ_ERROR_NOREASON("x");
                  ErrorLog = saved;
              }),
              "");
}

// The whole life of the log, driven through the entry routine in a scratch directory.
TEST(Module, AttachThreadsDetachWriteTheLogInOrder) {
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    const std::string dir = MakeTempDir();
    ASSERT_FALSE(dir.empty());

    ZaqModuleMain(nullptr, ZAQ_PROCESS_DETACH, nullptr);  // ends the load-time attachment
    EXPECT_EQ(ErrorLog, nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    EXPECT_EQ(ZaqModuleMain(nullptr, ZAQ_PROCESS_ATTACH, nullptr), 1);
    EXPECT_EQ(ZaqModuleMain(nullptr, ZAQ_THREAD_ATTACH, nullptr), 1);
    EXPECT_EQ(ZaqModuleMain(nullptr, ZAQ_THREAD_DETACH, nullptr), 1);
    EXPECT_EQ(ZaqModuleMain(nullptr, ZAQ_PROCESS_DETACH, nullptr), 1);
    EXPECT_EQ(ErrorLog, nullptr);
    const std::string first = ReadFile(dir + "/ZAQ-SDK_Err.html");

    // A thread that never attached detaches: the count goes negative.
    ZaqModuleMain(nullptr, ZAQ_PROCESS_ATTACH, nullptr);
    ZaqModuleMain(nullptr, ZAQ_THREAD_DETACH, nullptr);
    ZaqModuleMain(nullptr, ZAQ_PROCESS_DETACH, nullptr);
    const std::string second = ReadFile(dir + "/ZAQ-SDK_Err.html");

    ASSERT_EQ(chdir(cwd), 0);
    ZaqModuleMain(nullptr, ZAQ_PROCESS_ATTACH, nullptr);  // back to the load-time state
    ASSERT_NE(ErrorLog, nullptr);

    const char* order[] = {"*** Module attached in new process (",
                           "Toolkit Date of Build ",
                           "*** Module attached in new thread (",
                           "*** Module detached from thread. (0) Remains in threads ***",
                           "*** Module detached from process (0) Remains in processes ***",
                           "</body></html>"};
    size_t at = 0;
    for (const char* text : order) {
        const size_t found = first.find(text, at);
        ASSERT_NE(found, std::string::npos) << text << "\n" << first;
        at = found;
    }
    EXPECT_EQ(first.substr(first.size() - 14), "</body></html>");
    // The second attachment replaced the file.
    EXPECT_EQ(second.find("attached in new thread"), std::string::npos);
    EXPECT_NE(second.find("*** Module detached from thread. (-1) Remains in threads ***"),
              std::string::npos);
}

TEST(Module, UnwritableLogGoesToTheHostLog) {
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    const std::string dir = MakeTempDir();
    ASSERT_EQ(mkdir((dir + "/ZAQ-SDK_Err.html").c_str(), 0755), 0);  // a directory: no file
    const std::string hostLog = dir + "/host.log";
    ASSERT_TRUE(zaq::hostsim::SetLogFile(hostLog.c_str()));

    ZaqModuleMain(nullptr, ZAQ_PROCESS_DETACH, nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    ZaqModuleMain(nullptr, ZAQ_PROCESS_ATTACH, nullptr);
    EXPECT_EQ(ErrorLog, nullptr);
    otk::LogErr(ErrorLog, "goes nowhere");
    ZAQ_ERROR("Nowhere", "Nothing");
    ZaqModuleMain(nullptr, ZAQ_PROCESS_DETACH, nullptr);
    ASSERT_EQ(chdir(cwd), 0);
    ZaqModuleMain(nullptr, ZAQ_PROCESS_ATTACH, nullptr);
    zaq::hostsim::SetLogFile(nullptr);

    EXPECT_EQ(ReadFile(hostLog), "[ZAQ][ERROR]: Unable to create output log\n");
}

// A process that only links the library: the load opens the log, the unload closes it.
TEST(Module, RealLoadWritesHeaderAttachDetachAndClosingTags) {
    const std::string dir = MakeTempDir();
    const std::string cmd = "cd '" + dir + "' && '" + ZAQ_LOAD_PROBE + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string log = ReadFile(dir + "/ZAQ-SDK_Err.html");
    const std::string header =
        std::string(
            "<html><head><title>ZAQ-SDK Error Log</title></head><body bgcolor=0x000000 "
            "text=0xFFFFFF><center><h2>ZAQ-SDK Error Log</h2>Contents of this file is "
            "deleted during simulator shutdown if the simulator shutdown option<br>"
            "Extra->Debugging options->Shutdown options: is set to Respawn<br><br>") +
        otk::BuildBanner() + " </center><hr><br><br>";
    ASSERT_EQ(log.substr(0, header.size()), header);
    const std::regex body(
        "<font color=Gray>" + kTime +
        "</font>\\*\\*\\* Module attached in new process \\(\\d+\\) ThreadId=\\d+ \\*\\*\\*<br>\n"
        "<font color=Gray>" +
        kTime + "</font>Toolkit Date of Build \\w{3} [ \\d]\\d \\d{4}<br>\n<font color=Gray>" +
        kTime +
        "</font>\\*\\*\\* Module detached from process \\(0\\) Remains in processes "
        "\\*\\*\\*<br>\n</body></html>");
    EXPECT_TRUE(std::regex_match(log.substr(header.size()), body)) << log;
}

TEST(BuildBanner, TitleBuildAndDate) {
    const std::regex form(R"(.+ \(SSE2 build\), Date of Build: \w{3} [ \d]\d \d{4})");
    EXPECT_TRUE(std::regex_match(otk::BuildBanner(), form)) << otk::BuildBanner();
}

TEST(Processor, Sse2AndTimeStampCounter) {
#if defined(__x86_64__)
    EXPECT_FALSE(otk::CheckSSE());  // every x86-64 processor has SSE2
#endif
    double last = otk::CPUTime();
    for (int i = 0; i < 1000; ++i) {
        const double t = otk::CPUTime();
        EXPECT_GE(t, last);
        last = t;
    }
    EXPECT_GT(last, 0.0);
}

TEST(Utilities, VectorStrFormatsComponentsAndLength) {
    EXPECT_STREQ(otk::VectorStr(VECTOR3{3, 4, 0}), "[        3,        4,        0 ]:        5");
    EXPECT_STREQ(otk::VectorStr(VECTOR3{1e-9, -2.5e12, 1.0 / 3}),
                 "[    1e-09, -2.5e+12, 0.33333333 ]:  2.5e+12");
}

TEST(Utilities, DoubleMinMaxIgnoreLaterNaN) {
    EXPECT_EQ(otk::DoubleMin(4, 3.0, -1.0, 7.0, 2.0), -1.0);
    EXPECT_EQ(otk::DoubleMax(4, 3.0, -1.0, 7.0, 2.0), 7.0);
    EXPECT_EQ(otk::DoubleMin(1, 5.0), 5.0);
    EXPECT_EQ(otk::DoubleMin(3, 2.0, NAN, 1.0), 1.0);
    EXPECT_EQ(otk::DoubleMax(3, 2.0, NAN, 1.0), 2.0);
    EXPECT_TRUE(std::isnan(otk::DoubleMax(2, NAN, 1.0)));
}

TEST(Utilities, SortsAgreeWithTheStandardSort) {
    std::mt19937 rng(7);
    for (int n : {0, 1, 2, 3, 4, 5, 13, 14, 40, 41, 100, 1000}) {
        std::vector<double> d(n);
        std::vector<unsigned> u(n);
        for (int i = 0; i < n; ++i) {
            d[i] = std::uniform_real_distribution<double>(-1, 1)(rng);
            u[i] = rng() % 50;
        }
        std::vector<double> ds = d;
        std::vector<unsigned> us = u;
        std::sort(ds.begin(), ds.end());
        std::sort(us.begin(), us.end());
        otk::SortList_double(d.data(), n);
        otk::SortList_uint(u.data(), n);
        EXPECT_EQ(d, ds);
        EXPECT_EQ(u, us);
    }
}

TEST(Utilities, SortListCarriesPartners) {
    double v[] = {3, 1, 2};
    int k[] = {2, 0, 1};
    otk::SortList(v, k, 3, 1);
    EXPECT_EQ(std::vector<double>(v, v + 3), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(std::vector<int>(k, k + 3), (std::vector<int>{0, 1, 2}));

    double w[] = {0.5, -2, 9, 4};
    int p[] = {10, 20, 30, 40};
    otk::SortList(w, p, 4, 0);
    EXPECT_EQ(std::vector<double>(w, w + 4), (std::vector<double>{-2, 0.5, 4, 9}));
    EXPECT_EQ(std::vector<int>(p, p + 4), (std::vector<int>{20, 10, 40, 30}));
    otk::SortList(w, p, -3, 0);  // nothing to do
}
