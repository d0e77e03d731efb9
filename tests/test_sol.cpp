// The solar-system model on the built-in solar system and on a small Keplerian world: the body
// table and its configuration files, ephemerides against the host's states, interpolation,
// the analysis against textbook formulas, and the contents dump.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/capture_log.h"
#include "tests/tolerance.h"
#include "zaq/hostsim.h"
#include "zaq/zaq.h"

namespace fs = std::filesystem;
using namespace zaq::test;
using zaq::kAU;
using zaq::kG;

namespace {

const double kMjd = zaq::hostsim::MjdFromUTC(2024, 1, 1);

// Setup reads and writes Config/ in the working directory, and test programs run in parallel:
// each test works in a fresh directory holding a copy of the host installation's Config/.
class PrivateDir {
public:
    PrivateDir() : home_(fs::current_path()) {
        char name[] = "/tmp/zaq_sol_XXXXXX";
        dir_ = mkdtemp(name);
        fs::copy(fs::path(ZAQ_SOURCE_DIR) / "data/Config", dir_ / "Config");
        fs::current_path(dir_);
    }
    ~PrivateDir() {
        fs::current_path(home_);
        fs::remove_all(dir_);
    }
    static void Write(const std::string& path, const std::string& text) {
        std::ofstream(path) << text;
    }

private:
    fs::path home_, dir_;
};

// A model set up in a private directory; its class log and the error log are kept as lines.
struct Model {
    PrivateDir dir;
    CSol sol;
    int rc = -1;
    std::vector<std::string> lines;  // class log, then error log
    explicit Model(double mjd = kMjd) { zaq::hostsim::LoadSolarSystem(mjd); }
    int Setup(const char* systemFile = "Config/Sol.cfg") {
        std::string classLog;
        const std::string err = CaptureErrorLog([&] {
            classLog = CaptureStream([&](FILE* f) { rc = sol.Setup(systemFile, 0.1, f); });
        });
        lines = LogBodies(classLog);
        for (const std::string& l : LogBodies(err)) lines.push_back(l);
        return rc;
    }
    // Whether a log line carries the text (error reports add the unit, line and function).
    bool Logged(const std::string& text) const {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(text) != std::string::npos; });
    }
};

VECTOR3 HostPos(OBJHANDLE a, OBJHANDLE b) {
    VECTOR3 p;
    otk::RH_oapiGetRelativePos(a, b, &p);
    return p;
}

// Osculating apoapsis distance of a body about its parent from the host's state.
double HostApoapsis(OBJHANDLE body, OBJHANDLE parent) {
    VECTOR3 v;
    otk::RH_oapiGetRelativeVel(body, parent, &v);
    return COrbit(HostPos(body, parent), v, kG * (oapiGetMass(body) + oapiGetMass(parent)), kMjd)
        .ApD();
}

// The built-in solar system set up from the system file, Earth and Moon at hand.
class Sol : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m.Setup(), 0);
        earth = s.GetId("Earth"), moon = s.GetId("Moon");
    }
    Model m;
    CSol& s = m.sol;
    int earth = -1, moon = -1;
};

// An ephemeris module on a fixed ellipse that counts its calls. Frozen, it repeats its last
// position; true-only, it answers every request with the body's true state.
class KeplerModule : public CELBODY {
public:
    KeplerModule(double a, double e, double mu) {
        orbit.CreateFromElements(a, e, 0.1, 0.2, 0.3, 0.4, mu, kMjd);
    }
    int clbkEphemeris(double mjd, int req, double* ret) override {
        ++calls;
        VECTOR3 p, v;
        orbit.PosVelByMJD(mjd, &p, &v);
        if (frozen) p = last;
        last = p;
        if (trueOnly) req = (req | req >> 2) & (EPHEM_TRUEPOS | EPHEM_TRUEVEL);
        const VECTOR3 parts[4] = {SwapYZ(p), SwapYZ(v), SwapYZ(p), SwapYZ(v)};
        for (int k = 0; k < 4; ++k)
            if (req & (1 << k)) std::copy(&parts[k].x, &parts[k].x + 3, ret + 3 * k);
        return (req & 0x0F) | (trueOnly ? 0 : EPHEM_BARYISTRUE);
    }
    VECTOR3 Pos(double mjd) { return orbit.PosByMJD(mjd); }
    COrbit orbit;
    int calls = 0;
    bool frozen = false, trueOnly = false;
    VECTOR3 last{0, 0, 0};
};

// Sun, a planet and the Moon, the two on Keplerian modules, set up from a quick-load list or a
// system file; the model's class log is kept.
struct KeplerWorld {
    static constexpr double mSun = 1.989e30, mEarth = 5.972e24, mMoon = 7.342e22;
    PrivateDir dir;
    KeplerModule *earth = nullptr, *moon = nullptr;
    CSol sol;
    FILE* log = std::tmpfile();
    explicit KeplerWorld(bool earthTrueOnly = false, const std::string& planet = "Earth") {
        using namespace zaq::hostsim;
        Reset();
        SetSimMJD(kMjd);
        BodyDesc sun, e, m;
        sun.name = "Sun", sun.mass = mSun, sun.radius = 6.96e8;
        e.name = planet, e.mass = mEarth, e.radius = 6.371e6, e.parent = AddBody(sun);
        e.motion = m.motion = Motion::Module;
        e.module = earth = new KeplerModule(kAU, 0.0167, kG * (mSun + mEarth));
        earth->trueOnly = earthTrueOnly;
        m.name = "Moon", m.mass = mMoon, m.radius = 1.7374e6, m.parent = AddBody(e);
        m.module = moon = new KeplerModule(3.844e8, 0.055, kG * (mEarth + mMoon));
        EXPECT_NE(AddBody(m), nullptr);
        PrivateDir::Write("Config/CSConf.cfg", "Sun " + planet + "\n" + planet + " Moon\n");
    }
    ~KeplerWorld() { std::fclose(log); }
    int Setup(const char* systemFile = nullptr) { return sol.Setup(systemFile, 0.1, log); }
    std::string Log() const { return Slurp(log); }
};

}  // namespace

// ---- body table and configuration files ----------------------------------------------------

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

// ---- ephemerides ----------------------------------------------------------------------------

TEST_F(Sol, EphemeridesAgreeWithTheHost) {
    OBJHANDLE hE = s.GetHandle(earth), hM = s.GetHandle(moon);
    const double t = kMjd + 3.3;
    zaq::hostsim::SetSimMJD(t);
    EXPECT_CLOSE(s.GetEphemTruePos(earth, t), HostPos(hE, s.GetHandle(0)), 1e-3, 0);
    // Earth's barycentric position lies off its centre by the Moon's share of their mass.
    const double ratio = oapiGetMass(hM) / (oapiGetMass(hE) + oapiGetMass(hM));
    const VECTOR3 offset = s.GetEphemBaryPos(earth, t) - s.GetEphemTruePos(earth, t);
    EXPECT_CLOSE(offset, HostPos(hM, hE) * ratio, 1e-3, 0);
    EXPECT_CLOSE(s.GetEphemBaryOffset(earth, t), offset, 1e-3, 0);
    VECTOR3 p, v, bp, bv;
    // Velocities against central differences of positions: a forward difference over the step
    // h = 1e-5 of a circular period is off by about |a| h / 2.
    for (int i : {earth, moon, s.GetId("Mars"), s.GetId("Jupiter")}) {
        for (bool bary : {false, true}) {
            SCOPED_TRACE(std::string(s.GetName(i)) + (bary ? " barycentric" : " true"));
            auto pos = [&](double d) {
                return bary ? s.GetEphemBaryPos(i, t + d / 86400)
                            : s.GetEphemTruePos(i, t + d / 86400);
            };
            ASSERT_TRUE(bary ? s.GetEphemBaryPosVel(i, t, &p, &v)
                             : s.GetEphemTruePosVel(i, t, &p, &v));
            const double r = Length(p), mu = s.GetGravityInfo(s.GetReference(i))->GM;
            const double h = 2 * M_PI * std::sqrt(r * r * r / mu) * 1e-5;
            const double acc = Length(pos(h) - pos(0) * 2 + pos(-h)) / (h * h);
            EXPECT_CLOSE(v, (pos(h) - pos(-h)) / (2 * h), 0.6 * acc * h, 0);
            if (i == moon) {
                // Its module is asked for the velocity: no difference error, and not zero.
                EXPECT_CLOSE(v, (pos(h) - pos(-h)) / (2 * h), 0, 1e-5);
                VECTOR3 hv;
                oapiGetRelativeVel(hM, hE, &hv);
                EXPECT_CLOSE(v, SwapYZ(hv), 1e-9, 0);
            }
        }
    }
    s.GetEphemTruePosVel(moon, t, &p, &v);
    s.GetEphemBaryPosVel(moon, t, &bp, &bv);
    EXPECT_CLOSE(bp, p, 0, 0);
    EXPECT_CLOSE(bv, v, 0, 0);
    // The star sits at the origin; Mars's moons do not move it noticeably.
    EXPECT_TRUE(s.GetEphemTruePosVel(0, t, &p, &v));
    EXPECT_TRUE(s.GetIpPosVel(0, t, &bp, &bv));
    for (const VECTOR3& x : {p, v, bp, bv, s.GetEphemBaryPos(0, t)})
        EXPECT_CLOSE(x, VECTOR3({0, 0, 0}), 0, 0);
    EXPECT_TRUE(s.GetEphemBaryOffset(s.GetId("Mars"), t, &p, &v));
    EXPECT_CLOSE(p, VECTOR3({0, 0, 0}), 0, 0);
    EXPECT_FALSE(s.GetEphemBaryOffset(s.GetId("Venus"), t, &p, &v));
}

// ---- interpolation ---------------------------------------------------------------------------

TEST_F(Sol, InterpolationFollowsTheEphemerisOverAMonth) {
    // The analysis samples its deviation 4.5 times per interval, which can miss the true peak by
    // 5 %. For the Moon it sweeps only two days of the month, at one phase: the Sun's tide, and
    // with it the fit's error, doubles from quadrature to new or full moon.
    const struct {
        const char* name;
        double factor;
    } cases[] = {{"Earth", 1.06}, {"Moon", 2.2}, {"Mars", 1.06}, {"Jupiter", 1.06}};
    for (const auto& c : cases) {
        const int i = s.GetId(c.name);
        double worst = 0;
        VECTOR3 p, v;
        for (double t = kMjd; t < kMjd + 30; t += 0.01) {
            ASSERT_TRUE(s.GetIpPosVel(i, t, &p, &v));
            worst = std::max(worst, Length(p - s.GetEphemBaryPos(i, t)));
        }
        EXPECT_LE(worst, c.factor * s.GetData(i, CSD_DEVIATION)) << c.name;
    }
}

TEST(SolInterpolation, RefillsOnlyWhenTheClockJumps) {
    KeplerWorld w;
    ASSERT_EQ(w.Setup(), 0);
    CSol& s = w.sol;
    KeplerModule* module = w.moon;
    const int i = s.GetId("Moon");
    const double step = 2 * M_PI / module->orbit.meanMotion / 720 / 86400;  // days
    VECTOR3 p, v, e, ev;
    // A refill asks for two samples; on a Keplerian module the fitted conic is the orbit itself.
    const int before = module->calls;
    double t = kMjd + 0.3;
    ASSERT_TRUE(s.GetIpPosVel(i, t, &p, &v));
    EXPECT_EQ(module->calls - before, 2);
    // Forward by less than half an interval per call: at most one new sample per call.
    for (int n = 0; n < 500; ++n) {
        const int calls = module->calls;
        t += 0.45 * step;
        ASSERT_TRUE(s.GetIpPosVel(i, t, &p, &v));
        EXPECT_LE(module->calls - calls, 1);
        module->orbit.PosVelByMJD(t, &e, &ev);
        EXPECT_CLOSE(p, e, 0, 1e-11);
        EXPECT_CLOSE(v, ev, 1e-6, 1e-9);
    }
    EXPECT_NEAR(module->calls - before, 2 + 500 * 0.45, 2);
    // Back within a quarter interval of the refill date: no sample; further back: a refill.
    const double t0 = t + 10 * step;
    for (const auto& [dt, samples] : {std::pair{0.0, 2}, {-0.2, 0}, {-0.3, 2}}) {
        const int calls = module->calls;
        ASSERT_TRUE(s.GetIpPosVel(i, t0 + dt * step, &p, nullptr));
        EXPECT_EQ(module->calls - calls, samples) << dt;
    }
}

TEST(SolInterpolation, FailedRefitsAreReportedAndRetried) {
    // A module stuck on one position gives two equal samples, through which no conic passes:
    // a refill and an advance fail with their messages, and once the module moves again the
    // next query refits instead of answering from the conic of another interval.
    KeplerWorld w;
    ASSERT_EQ(w.Setup(), 0);
    const int i = w.sol.GetId("Moon");
    const double step = 2 * M_PI / w.moon->orbit.meanMotion / 720 / 86400;
    VECTOR3 p, v;
    const struct {
        const char* path;
        double at;  // after a good interval at kMjd + 1, in intervals
        const char* text;
    } cases[] = {{"refill", 10, "ts=%g LambertPN Failed"},
                 {"advance", 1.2, "Update: GetObjectPosVel(idObj=%d, mjd=%g) LambertPN Failed"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(w.sol.GetIpPosVel(i, kMjd + 1, &p, &v)) << c.path;
        const double t = kMjd + 1 + c.at * step;
        w.moon->frozen = true;
        EXPECT_FALSE(w.sol.GetIpPosVel(i, t, &p, &v)) << c.path;
        w.moon->frozen = false;
        ASSERT_TRUE(w.sol.GetIpPosVel(i, t, &p, &v)) << c.path;
        EXPECT_CLOSE(p, w.moon->Pos(t), 0, 1e-11);
    }
    const std::string log = w.Log();
    char refill[80], advance[80];
    std::snprintf(refill, sizeof refill, "GetIpPosVel(idObj=%d, mjd=%g) ts=", i,
                  kMjd + 1 + 10 * step);
    std::snprintf(advance, sizeof advance,
                  "Update: GetObjectPosVel(idObj=%d, mjd=%g) LambertPN Failed", i, kMjd + 1 + step);
    EXPECT_NE(log.find(refill), std::string::npos) << refill;
    EXPECT_NE(log.find(advance), std::string::npos) << advance;
}

TEST(SolInterpolation, ATrueOnlyModuleIsMovedToItsBarycentre) {
    // Earth's module gives its centre when asked for the Earth-Moon barycentre: the model marks
    // it and adds the Moon's share of the pair's mass times the Moon's position.
    KeplerWorld w(true);
    ASSERT_EQ(w.Setup(), 0);
    const int earth = w.sol.GetId("Earth");
    EXPECT_TRUE(w.sol.GetObjectFlags(earth) & CS_FALSEPOS);
    const double share = w.mMoon / (w.mEarth + w.mMoon);
    auto bary = [&](double t) { return w.earth->Pos(t) + w.moon->Pos(t) * share; };
    const double t = kMjd + 3.3;
    EXPECT_CLOSE(w.sol.GetEphemBaryPos(earth, t), bary(t), 0, 1e-13);
    // An interpolation refilled at t passes through the barycentre there.
    VECTOR3 p, v;
    ASSERT_TRUE(w.sol.GetIpPosVel(earth, t, &p, &v));
    EXPECT_CLOSE(p, bary(t), 0, 1e-12);
}

// ---- analysis -------------------------------------------------------------------------------

TEST_F(Sol, AnalysisAgreesWithTextbookFormulas) {
    OBJHANDLE hE = s.GetHandle(earth), hM = s.GetHandle(moon);
    // Laplace's sphere of influence, a (m/M)^0.4, from the host's osculating state.
    EXPECT_CLOSE(s.GetData(earth, CSD_SOI), 9.25e8, 0, 0.01);
    EXPECT_CLOSE(s.GetData(moon, CSD_SOI), otk::CalculateSOI(hM, hE), 0, 0.01);
    EXPECT_CLOSE(s.GetData(moon, CSD_SOI), 6.6e7, 0, 0.02);
    EXPECT_CLOSE(s.GetData(0, CSD_SOI), 100 * kAU, 0, 0);
    // The Moon moves Earth's centre about their barycentre by m_Moon / m_Earth of its distance.
    EXPECT_CLOSE(s.GetData(earth, CSD_BARYDISPL),
                 oapiGetMass(hM) / oapiGetMass(hE) * HostApoapsis(hM, hE), 0, 0.01);
    EXPECT_CLOSE(s.GetData(earth, CSD_BARYDISPL), 5.0e6, 0, 0.01);
    // Earth's share of the pull falls to 1e-5 where (d/x)^2 = 1e-5 / (1 - 1e-5) M_Sun / m_Earth,
    // x the distance from Earth: outside 1.05 aphelion and inside 0.95 perihelion.
    const double k = std::sqrt(1e-5 / (1 - 1e-5) * oapiGetMass(s.GetHandle(0)) / oapiGetMass(hE));
    const double aphelion = 1.01671 * kAU, perihelion = 0.98329 * kAU;
    EXPECT_CLOSE(s.GetData(earth, CSD_OUTERCUTOFF), 1.05 * aphelion * k / (k - 1), 0, 0.002);
    EXPECT_CLOSE(s.GetData(earth, CSD_INNERCUTOFF), 0.95 * perihelion * k / (k + 1), 0, 0.002);
    EXPECT_CLOSE(s.GetData(earth, CSD_OUTERCUTOFF) / kAU, 2.36, 0.01, 0);
    EXPECT_CLOSE(s.GetData(earth, CSD_INNERCUTOFF) / kAU, 0.60, 0.01, 0);
    // A body is ignored when its pull at three radii is below 1e-5 of the total with its
    // reference's pull at its apoapsis; none of the built-in bodies comes near that.
    for (int i = 1; i < s.GetCount(); ++i) {
        OBJHANDLE h = s.GetHandle(i), ref = s.GetHandle(s.GetReference(i));
        const double own = kG * oapiGetMass(h) / std::pow(3 * oapiGetSize(h), 2);
        const double pull = kG * oapiGetMass(ref) / std::pow(HostApoapsis(h, ref), 2);
        EXPECT_EQ((s.GetObjectFlags(i) & CS_IGNORE) != 0, own / (own + pull) < 1e-5)
            << s.GetName(i) << " share " << own / (own + pull);
    }
    // Zonal limits: |J_n| (R / L)^n = 1e-10 whatever the sign of J_n, J2's at 400 radii.
    for (int i = 0; i < s.GetCount(); ++i) {
        const sGravity* g = s.GetGravityInfo(i);
        EXPECT_EQ(g->limitRadius[0], 400 * g->radius) << s.GetName(i);
        for (int n = 1; n < std::min(g->nJ, 8); ++n) {
            if (g->J[n] == 0) continue;
            EXPECT_CLOSE(std::fabs(g->J[n]) * std::pow(g->radius / g->limitRadius[n], n + 2), 1e-10,
                         0, 1e-9)
                << s.GetName(i) << " J" << n + 2;
        }
    }
}

TEST(SolAnalysis, CircularMoonsDisplaceTheirPlanetAtEveryDate) {
    // Triton and Charon move on exactly circular orbits; their planets' reflex speeds (about 1
    // and 25 m/s) are far above 0.1 m/s at every date.
    for (int day = 0; day < 360; day += 30) {
        Model m(kMjd + day + 0.37);
        ASSERT_EQ(m.Setup(), 0);
        for (const char* name : {"Triton", "Charon", "Moon"})
            EXPECT_TRUE(m.sol.GetObjectFlags(m.sol.GetId(name)) & CS_BARYDISPL)
                << name << " day " << day;
        EXPECT_FALSE(m.sol.GetObjectFlags(m.sol.GetId("Deimos")) & CS_BARYDISPL);
    }
}

// ---- contents dump ---------------------------------------------------------------------------

TEST_F(Sol, DumpReportsTheModel) {
    s.Dump(static_cast<FILE*>(nullptr));
    s.Dump("dump.html");
    std::ifstream in("dump.html");
    const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(page.rfind("<html><head><title>", 0), 0u);
    EXPECT_EQ(page.substr(page.size() - 14), "</body></html>");
    m.lines = LogBodies(page);
    auto has = [&](const std::string& text) { return m.Logged(text); };
    // det(B A) = det(B) det(A).
    EXPECT_TRUE(has("Det(A)=594, Det(B)=-144, Det(C)=-85536"));
    EXPECT_TRUE(has("Number of Celestial Objects = 21"));
    EXPECT_TRUE(has("Earth (1)"));
    EXPECT_TRUE(has(".Moon"));
    EXPECT_TRUE(has("Moon: EPHEM_BARYISTRUE | EPHEM_TRUEPOS | EPHEM_TRUEVEL | "));
    EXPECT_TRUE(has("Earth...........  BCTidal < Boundry (Checked OK)"));
    EXPECT_TRUE(has("Earth: Index=3  Ref=0  Minors=1 oapiHendle=0x"));
    EXPECT_TRUE(has("Flags= CS_EPHEMERIS  CS_BCCOR "));
}
