// The zaq tool's fly command, run as a program: a station's orbit about Earth, an eccentric orbit
// about Venus, the files written and bad requests.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/run_tool.h"

using zaq::test::ExpectRefused;
using zaq::test::Result;
using zaq::test::RunTool;
using zaq::test::SlurpFile;

namespace {

class ToolFly : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string(ZAQ_TOOL).empty()) GTEST_SKIP() << "the zaq tool is not built";
    }
};

struct Flown {
    nlohmann::json j;
    std::vector<double> csvAlt;  // the CSV's altitude column
    std::string png;
};

// Runs `fly ARGS --json --out <temp>` and reads what it printed and wrote.
Flown Fly(const std::string& args) {
    const std::string prefix = ::testing::TempDir() + "fly_" + std::to_string(getpid());
    const Result r = RunTool("fly " + args + " --start 2026-01-01 --json --out '" + prefix + "'");
    EXPECT_EQ(r.code, 0) << r.err;
    Flown f;
    f.j = nlohmann::json::parse(r.out);  // a parse error fails the test
    std::istringstream csv(SlurpFile(prefix + ".csv"));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "mjd,utc,x_km,y_km,z_km,vx_km_s,vy_km_s,vz_km_s,altitude_km,reference");
    while (std::getline(csv, line)) {
        std::vector<std::string> cols;
        std::stringstream ss(line);
        for (std::string c; std::getline(ss, c, ',');) cols.push_back(c);
        if (cols.size() == 10) f.csvAlt.push_back(std::atof(cols[8].c_str()));
    }
    f.png = SlurpFile(prefix + ".png");
    std::remove((prefix + ".csv").c_str());
    std::remove((prefix + ".png").c_str());
    return f;
}

// The events of one type, as (mjd, altitude, node longitude).
std::vector<nlohmann::json> Events(const Flown& f, const std::string& type) {
    std::vector<nlohmann::json> list;
    for (const auto& e : f.j["events"])
        if (e["type"] == type) list.push_back(e);
    return list;
}

}  // namespace

// A station's orbit: 400 km at 51.6 deg makes 15.5 revolutions a day, so a day from an ascending
// node holds 15 or 16 of them. Earth's oblateness turns the node westward by
// -3/2 n J2 (R/a)^2 cos i = -5.0 deg/day (J2 = 1.0826e-3, R = 6378 km, a = 6771 km). The
// altitude stays within the lowest periapsis and the highest apoapsis the events report, a few
// kilometres below the start (the equatorial bulge's pull).
TEST_F(ToolFly, StationOrbitAboutEarth) {
    const Flown f = Fly("Earth --alt 400 --inc 51.6 --days 1");
    const auto nodes = Events(f, "ascending node");
    EXPECT_GE(nodes.size(), 15u);
    EXPECT_LE(nodes.size(), 16u);
    // The node's drift: a least-squares line through the longitudes (unwrapped) over the dates.
    double sx = 0, sy = 0, sxx = 0, sxy = 0, prev = NAN, turns = 0;
    for (const auto& e : nodes) {
        double lon = e["node_longitude_deg"].get<double>();
        if (!std::isnan(prev)) turns += std::round((prev - lon) / 360);
        prev = lon;
        lon += 360 * turns;
        const double t = e["mjd"].get<double>();
        sx += t, sy += lon, sxx += t * t, sxy += t * lon;
    }
    const double n = static_cast<double>(nodes.size());
    EXPECT_NEAR((n * sxy - sx * sy) / (n * sxx - sx * sx), -5.0, 0.1);

    double low = INFINITY, high = -INFINITY;
    for (const auto& e : Events(f, "periapsis")) low = std::fmin(low, e["alt_km"].get<double>());
    for (const auto& e : Events(f, "apoapsis")) high = std::fmax(high, e["alt_km"].get<double>());
    EXPECT_GT(low, 380.0);
    EXPECT_LE(high, 400.001);
    ASSERT_GT(f.csvAlt.size(), 500u);  // every step's end, some 160 s apart
    for (double alt : f.csvAlt) {
        EXPECT_GE(alt, low - 0.5);
        EXPECT_LE(alt, high + 0.5);
    }
    EXPECT_EQ(f.png.substr(0, 8), zaq::test::kPngSignature);
}

// An eccentric orbit about Venus, whose oblateness is slight: the apsides keep the conic's
// altitudes, periapsis 300 km and apoapsis rp (1 + e) / (1 - e) - R, every revolution: the
// apsides are found inside the steps, which near periapsis are long.
TEST_F(ToolFly, EccentricOrbitKeepsItsApsides) {
    const Flown f = Fly("Venus --alt 300 --ecc 0.5 --inc 90 --days 1 --no-plot");
    const double R = f.j["orbit"]["mean_radius_km"].get<double>(), rp = R + 300;
    const auto peri = Events(f, "periapsis"), apo = Events(f, "apoapsis");
    EXPECT_GE(peri.size(), 5u);  // a period of 4.4 hours
    EXPECT_GE(apo.size(), 5u);
    for (const auto& e : peri) EXPECT_NEAR(e["alt_km"].get<double>(), 300, 0.1);
    for (const auto& e : apo) EXPECT_NEAR(e["alt_km"].get<double>(), 3 * rp - R, 0.1);
    EXPECT_TRUE(f.png.empty());
}

TEST_F(ToolFly, BadRequestsExitWithCode2) {
    for (const char* args : {
             "fly Earth --alt 400 --inc 51.6 --days 0",              // no flight
             "fly Earth --alt -5 --inc 51.6 --days 1",               // below the surface
             "fly Earth --alt 400 --ecc 1 --inc 51.6 --days 1",      // not a closed orbit
             "fly Earth --alt 4000 --ecc 0.99 --inc 51.6 --days 1",  // beyond the sphere
             "fly Earth --alt 400 --inc 181 --days 1",               // no such inclination
             "fly Earth --alt 400 --inc nan --days 1",               // not a number
             "fly Earth --alt 400 --inc 51.6 --days 1 --start 2026-13-01",
             "fly Vulcan --alt 400 --inc 51.6 --days 1",            // no such body
             "fly Mars --alt 400 --inc 51.6 --days 1",              // not stepped by the model
             "fly 'Cape Canaveral' --alt 400 --inc 51.6 --days 1",  // a base
             "fly Earth --alt 400 --inc 51.6 --days 1 --out /",     // no file name
             "fly Earth --alt 400 --inc 51.6 --days 1 --integrator rk4",
         }) {
        ExpectRefused(args);
    }
    EXPECT_EQ(RunTool("fly Earth --inc 51.6 --days 1").code, 2);  // --alt is required
}
