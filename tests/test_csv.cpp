// The tool's CSV files: numbers as printf writes them, the file there only once complete, and
// the UTC text of a run's dates as the exact conversion gives it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "apps/csv.h"
#include "zaq/hostsim.h"
#include "zaq/plan.h"

namespace fs = std::filesystem;
using zaq::app::CsvFile;

namespace {

std::string Read(const fs::path& p) {
    std::stringstream s;
    s << std::ifstream(p).rdbuf();
    return s.str();
}

fs::path Scratch() {
    char dir[] = "/tmp/zaq_csv_XXXXXX";
    return mkdtemp(dir);
}

}  // namespace

TEST(Csv, RowsAreWhatPrintfWritesAndAppearWhole) {
    const fs::path dir = Scratch(), path = dir / "rows.csv";
    std::mt19937_64 g(3);
    std::uniform_real_distribution<double> u(-1, 1);
    std::string expected = "a,b,c\n";
    {
        CsvFile f(path.string(), "a,b,c");
        for (int i = 0; i < 20000; i++) {
            const double x = u(g) * std::pow(10.0, i % 19 - 9), y = i % 5 ? x : -0.0;
            const int d = i % 9;
            char line[200];
            std::snprintf(line, sizeof line, "%.*f,%s,%lld\n", d, y, "Earth", -7LL * i);
            expected += line;
            f.Number(y, d).Text("Earth").Integer(-7LL * i);
            f.EndRow();
        }
        EXPECT_FALSE(fs::exists(path));  // written under another name until complete
        std::string why;
        ASSERT_TRUE(f.Close(&why)) << why;
    }
    EXPECT_EQ(Read(path), expected);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);
    // The permissions of any new file, not those of a private temporary one.
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(static_cast<mode_t>(fs::status(path).permissions()), 0666 & ~mask);
    fs::remove_all(dir);
}

TEST(Csv, UtcTextsAreTheExactConversions) {
    // Dates met in order, steps of up to a minute, through the leap second that ended 2016.
    zaq::app::UtcTexts utc;
    std::mt19937_64 g(9);
    std::uniform_real_distribution<double> step(0, 60);
    int differ = 0;
    for (double mjd : {zaq::hostsim::MjdFromUTC(2016, 12, 31, 12), 61041.0})
        for (int i = 0; i < 20000; i++, mjd += step(g) / 86400)
            differ += zaq::plan::DateText(mjd) != utc(mjd);
    for (int i = 0; i < 3000; i++) {  // whole seconds, where a rounding would show
        const double whole = zaq::hostsim::MjdFromUTC(2016, 12, 31, 23, 10) + i / 86400.0;
        differ += zaq::plan::DateText(whole) != utc(whole);
    }
    EXPECT_EQ(differ, 0);
}
