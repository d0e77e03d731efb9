// The solar-system model's body table and configuration files, on the built-in solar system and
// on a small Keplerian world.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/sol_model.h"
#include "tests/tolerance.h"
#include "zaq/hostsim.h"
#include "zaq/zaq.h"

using namespace zaq::test;

TEST_F(Sol, BodyTableFollowsTheHostsBodies) {
    ASSERT_EQ(s.GetCount(), 21);
    EXPECT_TRUE(m.Logged("Number Of Bodies: 21"));
    // Without a quick-load list the first Setup reports the missing file and writes one.
    EXPECT_TRUE(fs::exists("Config/CSConf.cfg"));
    EXPECT_FALSE(fs::exists("Config/CSConf.cfg.tmp"));
    for (int i = 0; i < s.GetCount(); ++i) {
        OBJHANDLE h = s.GetHandle(i), parent = zaq::hostsim::GetParent(h);
        SCOPED_TRACE(s.GetName(i));
        EXPECT_EQ(oapiGetGbodyByName(s.GetName(i)), h);
        EXPECT_EQ(s.GetReference(i), parent ? s.GetId(parent) : -1);
        EXPECT_EQ(s.GetReference(h), parent);
        const bool module = oapiGetCelbodyInterface(h) != nullptr;
        EXPECT_EQ((s.GetObjectFlags(i) & CS_EPHEMERIS) != 0, module);
        EXPECT_EQ((s.GetObjectFlags(i) & CS_ELLIPTIC) != 0, !module);
        EXPECT_EQ(s.GetMass(i), oapiGetMass(h));
        int minors = 0;
        for (int k = 0; k < s.GetCount(); ++k) minors += s.GetReference(k) == i;
        EXPECT_EQ(s.GetMinorCount(i), minors);
        for (int k = 0; k < minors; ++k) EXPECT_EQ(s.GetReference(s.GetMinor(i, k)), i);
        EXPECT_EQ(s.GetMinor(i, -1), -1);
        EXPECT_EQ(s.GetMinor(i, minors), -1);
    }
    EXPECT_EQ(s.GetId(""), 0);
    EXPECT_EQ(s.GetId("Earth_with_a_long_name_x"), -1);  // 24 characters
    EXPECT_TRUE(std::isnan(s.GetData(earth, 7)));
    EXPECT_DOUBLE_EQ(s.GetRadius(earth, 0), oapiGetSize(s.GetHandle(earth)) * 0.996648);
    // Both poles lie at the polar radius, where the altitude is zero; the equator at the mean.
    const VECTOR3 axis = s.GetRotation(earth, kMjd);
    for (double angle : {0.0, M_PI})
        EXPECT_NEAR(s.GetAltitude(earth, axis * (std::cos(angle) * s.GetRadius(earth, angle))), 0,
                    1e-6)
            << angle;
    EXPECT_DOUBLE_EQ(s.GetRadius(earth, M_PI / 2), oapiGetSize(s.GetHandle(earth)));
    EXPECT_CLOSE(s.GetRotation(0, 60000.0), VECTOR3({0, 0, 1}), 0, 0);
    EXPECT_CLOSE(s.GetMeridian(0, 70000.0), VECTOR3({1, 0, 0}), 0, 0);
}

TEST_F(Sol, QuickLoadListGivesTheSameTable) {
    CSol second;
    std::string log = CaptureStream([&](FILE* f) { EXPECT_EQ(second.Setup(nullptr, 0.1, f), 0); });
    ASSERT_NE(log.find("Starting to Load (Config/CSConf.cfg)"), std::string::npos);
    ASSERT_EQ(second.GetCount(), s.GetCount());
    for (int i = 0; i < second.GetCount(); ++i) {
        SCOPED_TRACE(second.GetName(i));
        EXPECT_STREQ(second.GetName(i), s.GetName(i));
        EXPECT_EQ(second.GetReference(i), s.GetReference(i));
        EXPECT_EQ(second.GetObjectFlags(i), s.GetObjectFlags(i));
        // The list keeps a deviation to the six digits of "%g".
        EXPECT_CLOSE(second.GetData(i, CSD_DEVIATION), s.GetData(i, CSD_DEVIATION), 0, 5e-6);
    }
}

// A configuration, what Setup returns, how many bodies it keeps and the lines it logs.
struct BadConfig {
    const char* name;
    const char* quickLoad;  // Config/CSConf.cfg; null: none
    const char* system;     // Config/Bad.cfg; null: none
    const char* bodyFile;   // Config/Vulcan.cfg; null: none
    int rc, count;
    std::vector<std::string> lines;
};

TEST(SolSetup, BadConfigurationsEndWithTheirMessages) {
    const std::string longName(80, 'X');
    const std::string cutPath = "Config/" + std::string(54, 'X');  // 61 characters kept
    const std::string longLine = "Sun Earth" + std::string(150, ' ') + "Earth Moon\n";
    const std::string longKey =
        "Star = Sun\nPlanet" + std::string(74, 'Y') + " = Earth\nMoon1 = Moon\n";
    const std::string longValue = "Star = Sun\nPlanet1 = " + longName + "\nPlanet2 = Earth\n";
    std::string tooMany = "Earth Moon\n";  // 40 bodies for a table of 21 + 10
    for (int k = 0; k < 40; ++k) tooMany.insert(0, "Sun Earth\n");
    const std::string longQuick = "Sun " + longName + "\nSun Earth\nEarth Moon\n";
    const std::string vulcan = "Star = Sun\nPlanet1 = Vulcan\nPlanet2 = Earth\nMoon1 = Moon\n";
    const std::string moonFirst = "Trying to read a moon (Moon) before the planet itself";
    const std::string noFile = "Unable to load planet configuration file (";
    // clang-format off
    const BadConfig cases[] = {
        {"no system file", nullptr, nullptr, nullptr, 1, 0,
         {"Unable to load solar system configuration file (Config/Bad.cfg)"}},
        {"moon first", nullptr, "Star = Sun\nMoon1 = Moon\n", nullptr, 1, 0, {moonFirst}},
        {"second star", nullptr, "Star = Sun\nPlanet1 = Earth\nStar = Sun\n", nullptr, 1, 0,
         {"Star1 not the first parameter in (Config/Bad.cfg)"}},
        {"moon for the star", nullptr, "Star = Moon\nPlanet1 = Earth\n", nullptr, 1, 0,
         {"The star (Moon) is not the host object 'Sun'"}},
        {"missing body file", nullptr, vulcan.c_str(), nullptr, 0, 3,
         {noFile + "Config/Vulcan.cfg)", "Load Of an Object (Config/Vulcan.cfg) Failed, Index=1"}},
        {"unknown body", nullptr, vulcan.c_str(), "Name = Vulcan\n", 0, 3, {"Not Exist: (Vulcan)"}},
        {"unknown, then known name", nullptr, vulcan.c_str(), "Name = Vulcan\nName = Mars\n", 0, 4,
         {"Not Exist: (Vulcan)"}},
        {"no name", nullptr, vulcan.c_str(), "EllipticOrbit = TRUE\n", 0, 3,
         {"Couldn't locate parameter \"Name\" from Config/Vulcan.cfg"}},
        {"long value", nullptr, longValue.c_str(), nullptr, 1, 2, {noFile + cutPath + ")"}},
        {"long key", nullptr, longKey.c_str(), nullptr, 1, 0,
         {noFile + "Config/" + std::string(17, 'Y') + ".cfg)", moonFirst}},
        {"quick-load names", "Sun Earth\nEarth Moon\nSun Vulcan 5\nVulcan Deimos\nMars Phobos\n",
         nullptr, nullptr, 0, 3,
         {"Object 'Vulcan' doesn't exist in the host", "Parent body of 'Phobos' didn't found"}},
        {"long quick-load name", longQuick.c_str(), nullptr, nullptr, 0, 3,
         {"Object '" + std::string(30, 'X') + "' doesn't exist in the host"}},
        {"short lines", "Sun Earth\nMoon\n\nEarth Moon 12.5\n", nullptr, nullptr, 0, 3, {}},
        {"over capacity", tooMany.c_str(), nullptr, nullptr, 1, 31, {"Func=CSol::Setup()"}},
        {"long line", longLine.c_str(), nullptr, nullptr, 1, 2, {"Failed to acquire id for 'Moon'"}},
        {"no list, no file", nullptr, "", nullptr, 1, 0,
         {"File=sol/csMain.cpp, Line=", "Func=CSol::Setup(): \"Config/SCConf.cfg is missing\""}},
    };
    // clang-format on
    for (const BadConfig& c : cases) {
        SCOPED_TRACE(c.name);
        Model m;
        fs::remove("Config/CSConf.cfg");
        if (c.quickLoad) PrivateDir::Write("Config/CSConf.cfg", c.quickLoad);
        if (c.system && *c.system) PrivateDir::Write("Config/Bad.cfg", c.system);
        if (c.bodyFile) PrivateDir::Write("Config/Vulcan.cfg", c.bodyFile);
        EXPECT_EQ(m.Setup(c.system && !*c.system ? nullptr : "Config/Bad.cfg"), c.rc);
        EXPECT_EQ(m.sol.GetCount(), c.count);
        for (const std::string& line : c.lines) {
            EXPECT_TRUE(m.Logged(line)) << line;
        }
        if (std::string(c.name) == "short lines") {
            EXPECT_EQ(m.sol.GetData(2, CSD_DEVIATION), 12.5);  // given: not analysed
            EXPECT_GT(m.sol.GetData(1, CSD_DEVIATION), 0);     // absent: analysed
        }
    }
}

TEST(SolSetup, LongHostNamesSurviveTheQuickLoadList) {
    // The table keeps 22 characters of a name. The list written from it holds whole names of up
    // to 29 characters, and a longer one leaves it unwritten: the next Setup keeps every body.
    for (const size_t length : {26, 35}) {
        const std::string name(length, 'L');
        KeplerWorld w(false, name);
        fs::remove("Config/CSConf.cfg");
        PrivateDir::Write("Config/Sys.cfg", "Star = Sun\nPlanet1 = Long\nMoon1 = Moon\n");
        PrivateDir::Write("Config/Long.cfg", "Name = " + name + "\n");
        ASSERT_EQ(w.Setup("Config/Sys.cfg"), 0);
        EXPECT_EQ(fs::exists("Config/CSConf.cfg"), length <= 29) << length;
        CSol again;
        EXPECT_EQ(again.Setup("Config/Sys.cfg", 0.1, nullptr), 0) << length;
        ASSERT_EQ(again.GetCount(), 3) << length;
        EXPECT_EQ(again.GetHandle(1), oapiGetGbodyByName(name.c_str())) << length;
        EXPECT_EQ(again.GetReference(2), 1) << length;
    }
}

TEST(SolSetup, UnwritableListLeavesNoList) {
    Model m;
    fs::create_directory("Config/CSConf.cfg.tmp");  // the temporary file cannot be opened
    EXPECT_EQ(m.Setup(), 0);
    EXPECT_FALSE(fs::exists("Config/CSConf.cfg"));
}
