// The standalone host's world: composed states, the host frame, rotation and bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/host_world.h"
#include "tests/tolerance.h"
#include "zaq/hostsim.h"
#include "zaq/vector3.h"

using namespace zaq::hostsim;
using zaq::test::Body;
using zaq::test::Orbiting;
using zaq::test::Vessel;

namespace {

// A star, a planet moving in a straight line, its moon on fixed elements, a vessel about the
// moon and a second vessel docked to it.
struct SmallWorld : zaq::test::HostWorld {
    OBJHANDLE star, planet, moon, ship, tug;
    SmallWorld() : HostWorld(60000.0) {}
    void SetUp() override {
        HostWorld::SetUp();
        star = AddBody(Body("Star", 2e30, 7e8));
        planet = AddBody(Body("Planet", 6e24, 6.4e6, star, {1.5e11, 2e9, -3e10}, {1e3, 0, 3e4}));
        moon = AddBody(Orbiting("Moon", 7e22, 1.7e6, planet, {3.8e8, 0.05, 0.1, 0.3, 0.9, 2.0}));
        const VECTOR3 pos{2e6, 1e5, -3e5}, vel{10, 1600, -20};
        ship = AddVessel(Vessel("Ship", moon, 20000, 2, pos, vel));
        tug = AddVessel(Vessel("Tug", moon, 5000, 1, pos, vel));
        ASSERT_TRUE(star && planet && moon && ship && tug) << LastError();
        ASSERT_TRUE(Dock(ship, 1, tug, 0));
    }
};

// Independent two-body state in right-handed reference-plane axes.
void Kepler2Body(const ELEMENTS& el, double mu, double dt, VECTOR3& r, VECTOR3& v) {
    const double n = std::sqrt(mu / (el.a * el.a * el.a));
    const double M = el.L - el.omegab + n * dt;
    double E = M;
    for (int k = 0; k < 100; ++k) E = M + el.e * std::sin(E);  // fixed point, e small
    const double nu = 2 * std::atan2(std::sqrt(1 + el.e) * std::sin(E / 2),
                                     std::sqrt(1 - el.e) * std::cos(E / 2));
    const double p = el.a * (1 - el.e * el.e), rr = p / (1 + el.e * std::cos(nu));
    const double u = el.omegab - el.theta + nu;
    const double O = el.theta, i = el.i;
    r = {rr * (std::cos(O) * std::cos(u) - std::sin(O) * std::sin(u) * std::cos(i)),
         rr * (std::sin(O) * std::cos(u) + std::cos(O) * std::sin(u) * std::cos(i)),
         rr * std::sin(u) * std::sin(i)};
    const double h = std::sqrt(mu * p);
    const double vr = mu / h * el.e * std::sin(nu), vt = h / rr;
    const VECTOR3 ur = unit(r);
    const VECTOR3 hz = {std::sin(O) * std::sin(i), -std::cos(O) * std::sin(i), std::cos(i)};
    v = ur * vr + CrossProduct(hz, ur) * vt;
}

}  // namespace

TEST_F(SmallWorld, StatesComposeAlongTheParentChain) {
    SetSimMJD(60002.5);
    const double dt = 2.5 * 86400;
    VECTOR3 p;
    oapiGetGlobalPos(planet, &p);
    EXPECT_CLOSE(p, (VECTOR3{1.5e11 + 1e3 * dt, 2e9, -3e10 + 3e4 * dt}), 1e-3, 0);

    VECTOR3 rRH, vRH;
    ELEMENTS el = {3.8e8, 0.05, 0.1, 0.3, 0.9, 2.0};
    Kepler2Body(el, kG * (6e24 + 7e22), dt, rRH, vRH);
    VECTOR3 rel, relv;
    oapiGetRelativePos(moon, planet, &rel);
    oapiGetRelativeVel(moon, planet, &relv);
    EXPECT_CLOSE(rel, SwapYZ(rRH), 1e-3, 1e-12);
    EXPECT_CLOSE(relv, SwapYZ(vRH), 1e-9, 1e-11);

    VECTOR3 g, gm;
    oapiGetGlobalPos(ship, &g);
    oapiGetGlobalPos(moon, &gm);
    EXPECT_CLOSE(g, (gm + VECTOR3{2e6, 1e5, -3e5}), 1e-3, 0);
    VECTOR3 sv;
    VESSEL* vi = oapiGetVesselInterface(ship);
    ASSERT_NE(vi, nullptr);
    vi->GetRelativeVel(planet, sv);
    EXPECT_CLOSE(sv, (relv + VECTOR3{10, 1600, -20}), 1e-9, 0);
    VECTOR3 shipFromStar;
    vi->GetRelativePos(star, shipFromStar);
    EXPECT_CLOSE(shipFromStar, g, 1e-3, 0);
}

TEST_F(SmallWorld, HostFrameHasNorthOnY) {
    // An orbit inclined 90 degrees with its node on x, at periapsis (mean anomaly 0) 90 degrees
    // past the node, lies over the right-handed +z axis: the host's +y.
    OBJHANDLE h =
        AddBody(Orbiting("Polar", 1e10, 0, planet, {1e7, 0.1, M_PI / 2, 0.0, M_PI / 2, M_PI / 2}));
    ASSERT_NE(h, nullptr) << LastError();
    VECTOR3 r;
    oapiGetRelativePos(h, planet, &r);
    EXPECT_CLOSE(r, (VECTOR3{0, 0.9e7, 0}), 1e-6, 0);
}

TEST_F(SmallWorld, BasesTurnWithTheirBody) {
    BodyDesc b = Body("Spinner", 1e20, 1000, star);  // at angle 0 on the fixture's date
    b.rotation.period = 86400;
    OBJHANDLE body = AddBody(b);
    OBJHANDLE equator = AddBase("Equator", body, 0.0, 0.0);
    OBJHANDLE pole = AddBase("Pole", body, 0.0, M_PI / 2, 2000);
    OBJHANDLE east = AddBase("East", body, M_PI / 2, 0.0);
    ASSERT_TRUE(body && equator && pole && east) << LastError();
    EXPECT_EQ(oapiGetBaseCount(body), 3u);
    EXPECT_EQ(oapiGetBaseByIndex(body, 1), pole);
    EXPECT_EQ(oapiGetBaseByIndex(body, 3), nullptr);
    double lng, lat, rad;
    oapiGetBaseEquPos(pole, &lng, &lat, &rad);
    EXPECT_EQ(rad, 2000);
    EXPECT_EQ(lat, M_PI / 2);

    VECTOR3 r;
    oapiGetRelativePos(equator, body, &r);
    EXPECT_CLOSE(r, (VECTOR3{1000, 0, 0}), 1e-9, 0);
    oapiGetRelativePos(pole, body, &r);
    EXPECT_CLOSE(r, (VECTOR3{0, 2000, 0}), 1e-9, 0);
    // A quarter of a day later the meridian has turned to where longitude 90 E was.
    VECTOR3 eastThen;
    oapiGetRelativePos(east, body, &eastThen);
    SetSimMJD(60000.25);
    oapiGetRelativePos(equator, body, &r);
    EXPECT_CLOSE(r, eastThen, 1e-9, 0);
    EXPECT_CLOSE(oapiGetPlanetCurrentRotation(body), M_PI / 2, 1e-12, 0);
    VECTOR3 v;
    oapiGetRelativeVel(equator, body, &v);
    EXPECT_CLOSE(Length(v), 2 * M_PI * 1000 / 86400, 1e-12, 0);
    EXPECT_CLOSE(dotp(v, r), 0.0, 1e-9, 0);
}

TEST_F(SmallWorld, VesselsDockingAndThrusters) {
    VesselDesc v = Vessel("Engine", planet, 1000);
    v.propellants = {{500, 400, 0.9}};
    v.thrusters = {{{0, 0, 1}, 1000, 2000, 0}, {{0, 0, 1}, 3000, 4000, -1}};
    v.groups = {{THGROUP_MAIN, {0, 1}}};
    v.attitude = {0, -1, 0, 1, 0, 0, 0, 0, 1};
    OBJHANDLE e = AddVessel(v);
    ASSERT_NE(e, nullptr) << LastError();
    VESSEL* vi = oapiGetVesselInterface(e);
    EXPECT_EQ(vi->GetGroupThrusterCount(THGROUP_MAIN), 2u);
    EXPECT_EQ(vi->GetGroupThrusterCount(THGROUP_RETRO), 0u);
    THRUSTER_HANDLE t0 = vi->GetGroupThruster(THGROUP_MAIN, 0);
    THRUSTER_HANDLE t1 = vi->GetGroupThruster(THGROUP_MAIN, 1);
    EXPECT_EQ(t0, GetThruster(e, 0));
    EXPECT_EQ(vi->GetGroupThruster(THGROUP_MAIN, 2), nullptr);
    EXPECT_EQ(vi->GetThrusterMax0(t1), 3000);
    EXPECT_EQ(vi->GetThrusterIsp0(t0), 2000);
    EXPECT_EQ(vi->GetThrusterResource(t1), nullptr);
    EXPECT_EQ(vi->GetPropellantEfficiency(vi->GetThrusterResource(t0)), 0.9);
    VECTOR3 g;
    vi->GlobalRot(VECTOR3{1, 0, 0}, g);
    EXPECT_CLOSE(g, (VECTOR3{0, 1, 0}), 0, 0);

    VESSEL* s = oapiGetVesselInterface(ship);
    EXPECT_EQ(s->DockCount(), 2u);
    EXPECT_EQ(s->GetDockStatus(s->GetDockHandle(0)), nullptr);
    EXPECT_EQ(s->GetDockStatus(s->GetDockHandle(1)), tug);
    EXPECT_EQ(s->GetDockHandle(2), nullptr);
    VESSEL* t = oapiGetVesselInterface(tug);
    EXPECT_EQ(t->GetDockStatus(t->GetDockHandle(0)), ship);
    EXPECT_FALSE(Dock(ship, 1, e, 0));  // occupied (and Engine has no port)
    EXPECT_EQ(oapiGetVesselCount(), 3u);
    EXPECT_EQ(oapiGetVesselByIndex(2), e);
    EXPECT_EQ(oapiGetFocusInterface(), nullptr);
    EXPECT_TRUE(SetFocus(ship));
    EXPECT_EQ(oapiGetFocusInterface(), s);
    EXPECT_FALSE(SetFocus(moon));
}

TEST_F(SmallWorld, NamesAndLookups) {
    EXPECT_EQ(oapiGetGbodyCount(), 3u);
    EXPECT_EQ(oapiGetGbodyByIndex(2), moon);
    EXPECT_EQ(oapiGetGbodyByIndex(3), nullptr);
    EXPECT_EQ(oapiGetGbodyByIndex(-1), nullptr);
    EXPECT_EQ(oapiGetGbodyByName("Planet"), planet);
    EXPECT_EQ(oapiGetGbodyByName("Ship"), nullptr);
    EXPECT_EQ(oapiGetObjectByName("Ship"), ship);
    EXPECT_EQ(oapiGetObjectByName("Nobody"), nullptr);
    char name[5];
    oapiGetObjectName(planet, name, sizeof name);
    EXPECT_STREQ(name, "Plan");  // cut to the buffer, terminated
    oapiGetObjectName(nullptr, name, sizeof name);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(oapiGetMass(tug), 5000);
    EXPECT_EQ(oapiGetSize(moon), 1.7e6);
}

TEST_F(SmallWorld, BadInputGetsErrorsOrNullAnswers) {
    BodyDesc b;
    b.name = "Planet";
    b.mass = 1;
    EXPECT_EQ(AddBody(b), nullptr);
    EXPECT_NE(LastError().find("duplicate"), std::string::npos);
    b.name = "Rock";
    b.mass = -1;
    EXPECT_EQ(AddBody(b), nullptr);
    b.mass = 1;
    b.parent = ship;  // a vessel is no parent body
    EXPECT_EQ(AddBody(b), nullptr);
    b.parent = reinterpret_cast<OBJHANDLE>(0x1234);
    EXPECT_EQ(AddBody(b), nullptr);
    b.parent = planet;
    b.motion = Motion::Module;
    EXPECT_EQ(AddBody(b), nullptr);
    b.motion = Motion::Elements;
    b.elements = {1e7, 1.5, 0, 0, 0, 0};
    EXPECT_EQ(AddBody(b), nullptr);
    VesselDesc v;
    v.name = "Lost";
    v.mass = 10;
    EXPECT_EQ(AddVessel(v), nullptr);
    v.gravityRef = planet;
    v.thrusters = {{{0, 0, 1}, 10, 10, 3}};
    EXPECT_EQ(AddVessel(v), nullptr);
    EXPECT_EQ(AddBase("Nowhere", nullptr, 0, 0), nullptr);
    EXPECT_EQ(oapiGetGbodyCount(), 3u);

    VECTOR3 r{1, 2, 3};
    oapiGetGlobalPos(nullptr, &r);
    EXPECT_CLOSE(r, (VECTOR3{0, 0, 0}), 0, 0);
    oapiGetRelativeVel(ship, reinterpret_cast<OBJHANDLE>(0x10), &r);
    EXPECT_CLOSE(r, (VECTOR3{0, 0, 0}), 0, 0);
    oapiGetGlobalPos(ship, nullptr);
    EXPECT_EQ(oapiGetMass(nullptr), 0.0);
    EXPECT_EQ(oapiGetVesselInterface(planet), nullptr);
    EXPECT_EQ(oapiGetCelbodyInterface(planet), nullptr);
    EXPECT_EQ(oapiGetPlanetJCoeffCount(nullptr), 0u);
    EXPECT_EQ(oapiGetBaseByIndex(nullptr, 0), nullptr);
    VESSEL ghost(nullptr);
    EXPECT_EQ(ghost.GetMass(), 0.0);
    EXPECT_EQ(ghost.GetGravityRef(), nullptr);
    EXPECT_EQ(ghost.GetGroupThrusterCount(THGROUP_MAIN), 0u);
    EXPECT_EQ(ghost.GetDockStatus(nullptr), nullptr);
}

TEST(HostLog, WritesLinesToTheChosenFile) {
    const std::string path = ::testing::TempDir() + "hostlog.txt";
    std::remove(path.c_str());
    ASSERT_TRUE(SetLogFile(path.c_str()));
    oapiWriteLog("first");
    oapiWriteLog("second");
    SetLogFile(nullptr);
    FILE* f = std::fopen(path.c_str(), "r");
    ASSERT_NE(f, nullptr);
    char buf[64] = {0};
    const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    EXPECT_EQ(std::string(buf, n), "first\nsecond\n");
}
