// The solar-system model's test helpers: a private working directory, a model set up there with
// its logs kept, the built-in solar system with Earth and Moon at hand, and a small Keplerian
// world on counting ephemeris modules.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/capture_log.h"
#include "zaq/hostsim.h"
#include "zaq/zaq.h"

namespace zaq::test {

namespace fs = std::filesystem;
using zaq::kAU;
using zaq::kG;

inline const double kMjd = zaq::hostsim::MjdFromUTC(2024, 1, 1);

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

inline VECTOR3 HostPos(OBJHANDLE a, OBJHANDLE b) {
    VECTOR3 p;
    otk::RH_oapiGetRelativePos(a, b, &p);
    return p;
}

// Osculating apoapsis distance of a body about its parent from the host's state.
inline double HostApoapsis(OBJHANDLE body, OBJHANDLE parent) {
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

}  // namespace zaq::test
