// The zaq tool's ephem command, run as a program: a good request and the bad ones.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "apps/json.h"
#include "tests/cli/run_tool.h"

namespace {

using zaq::test::ExpectRefused;
using zaq::test::Result;
using zaq::test::RunTool;

// The number after a line's label, e.g. "distance  384400.000 km".
double Field(const std::string& text, const std::string& label) {
    const size_t at = text.find("\n" + label);
    if (at == std::string::npos) return -1;
    return std::atof(text.c_str() + at + 1 + label.size());
}

}  // namespace

class ToolEphem : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string(ZAQ_TOOL).empty()) GTEST_SKIP() << "the zaq tool is not built";
    }
};

// At the total solar eclipse of 2026-08-12 the Moon is about 369,000 km from Earth (its distance
// range is 356,400 - 406,700 km) and moves at about 1 km/s.
TEST_F(ToolEphem, MoonAboutEarthAtACalendarDate) {
    const Result r = RunTool("ephem Moon --ref Earth --date 2026-08-12T17:46");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Moon relative to Earth"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("2026-08-12 17:46:00 UTC"), std::string::npos) << r.out;
    const double d = Field(r.out, "distance"), v = Field(r.out, "speed");
    EXPECT_GT(d, 356400.0) << r.out;
    EXPECT_LT(d, 406700.0) << r.out;
    EXPECT_GT(v, 0.9);
    EXPECT_LT(v, 1.1);
    // The same instant as an MJD (TT) gives the same state; Mars about the Sun is 1.38-1.67 au.
    const Result m = RunTool("ephem Moon --ref Earth --date 61264.74107852");
    ASSERT_EQ(m.code, 0) << m.err;
    EXPECT_NEAR(Field(m.out, "distance"), d, 1.0);
    const Result mars = RunTool("ephem Mars --ref Sun --date 2026-01-01");
    ASSERT_EQ(mars.code, 0) << mars.err;
    EXPECT_GT(Field(mars.out, "distance") / 149597870.7, 1.38);
    EXPECT_LT(Field(mars.out, "distance") / 149597870.7, 1.67);
    // Without --date: now; without --ref: the parent body.
    const Result now = RunTool("ephem Io");
    ASSERT_EQ(now.code, 0) << now.err;
    EXPECT_NE(now.out.find("Io relative to Jupiter"), std::string::npos) << now.out;
    const Result base = RunTool("ephem 'Cape Canaveral'");
    ASSERT_EQ(base.code, 0) << base.err;
    EXPECT_NEAR(Field(base.out, "distance"), 6371.0084, 1e-3) << base.out;
}

TEST_F(ToolEphem, BadNamesAndDatesExitWithCode2) {
    for (const char* args :
         {"ephem Vulcan", "ephem Moon --ref Nowhere", "ephem Moon --date 2026-13-01",
          "ephem Moon --date 2026-02-30", "ephem Moon --date 2026-01-01T25:00",
          "ephem Moon --date tomorrow", "ephem Moon --date 61000x", "ephem Moon --date 1e9",
          "ephem Moon --date 2026-1-1",
          // Second 60 off a leap second, numbers the C library alone reads, signs, the range's
          // outsides, a body about itself, an escape sequence in a name.
          "ephem Moon --date 2026-01-01T12:00:60", "ephem Moon --date 2016-12-30T23:59:60",
          "ephem Moon --date 2026-01-01T12:00:1e9", "ephem Moon --date 0x1p16",
          "ephem Moon --date 2026-+9-+7", "ephem Moon --date 0999-12-31T23:59:59.9",
          "ephem Moon --date 3001-01-01", "ephem Moon --ref Moon",
          "ephem \"$(printf 'Mo\\033on')\""}) {
        ExpectRefused(args);
    }
    // The leap second of 2016 and both ends of the years 1000-3000 are dates.
    for (const char* date : {"2016-12-31T23:59:60.5", "1000-01-01", "3000-12-31T23:59:59"})
        EXPECT_EQ(RunTool(std::string("ephem Moon --date ") + date).code, 0) << date;
    EXPECT_EQ(RunTool("ephem").code, 2);  // BODY is required
    const Result help = RunTool("ephem --help");
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("--date"), std::string::npos);
}

// --json gives the same state as the text, as one object a JSON parser reads; the position's
// length is the distance.
TEST_F(ToolEphem, JsonMatchesTheText) {
    const std::string args = "ephem Moon --ref Earth --date 2026-08-12T17:46";
    const Result text = RunTool(args), json = RunTool(args + " --json");
    ASSERT_EQ(json.code, 0) << json.err;
    const nlohmann::json j = nlohmann::json::parse(json.out);
    EXPECT_EQ(j["body"], "Moon");
    EXPECT_EQ(j["ref"], "Earth");
    const auto& p = j["position_km"];
    const double d = j["distance_km"].get<double>();
    EXPECT_NEAR(std::hypot(p[0].get<double>(), p[1].get<double>(), p[2].get<double>()), d, 1e-6);
    EXPECT_NEAR(d, Field(text.out, "distance"), 1e-3);
    EXPECT_NEAR(j["speed_km_s"].get<double>(), Field(text.out, "speed"), 1e-6);
}

// The tool's JSON writer keeps any name intact through a parser, quotes, backslashes and control
// bytes included, and refuses numbers JSON cannot hold.
TEST(ToolJson, NamesSurviveAndNonFiniteNumbersAreRefused) {
    for (const std::string& name : {std::string("Bob's \"ship\""), std::string("C:\\path\\"),
                                    std::string("tab\tbell\a"), std::string("nul\0byte", 8),
                                    std::string("\x1b[31mred\x7f"), std::string("Mond\xc3\xa9")}) {
        const std::string text = zaq::app::JsonText({{"name", name}, {"x", 1.5}});
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(nlohmann::json::parse(text)["name"].get<std::string>(), name);
    }
    for (double bad : {NAN, INFINITY, -INFINITY}) {
        EXPECT_EQ(zaq::app::JsonText({{"x", bad}}), "");
        EXPECT_EQ(zaq::app::JsonText({{"list", {{{"deep", {1.0, bad}}}}}}), "");
    }
}
