// Thruster groups, docked assemblies, the rocket equation and target cycling on host vessels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "tests/host_world.h"
#include "tests/tolerance.h"
#include "zaq/adaptors.h"
#include "zaq/hostsim.h"
#include "zaq/vector3.h"

using namespace zaq::hostsim;
using zaq::test::Body;
using zaq::test::Vessel;

namespace {

struct Propulsion : zaq::test::HostWorld {
    OBJHANDLE planet{}, engine{}, tank{}, pod{};
    VESSEL* ev = nullptr;
    void SetUp() override {
        HostWorld::SetUp();
        planet = AddBody(Body("Planet", 6e24, 6.4e6));
        // Two main engines, 1000 N at 2000 m/s and 3000 N at 4000 m/s, pointing along +z and
        // tilted in x; a retro engine fed by a propellant of efficiency 0.9.
        VesselDesc v = Vessel("Engine", planet, 10000, 2, {7e6, 0, 0});
        v.propellants = {{5000, 4000, 0.9}};
        v.thrusters = {{{0, 0, 1}, 1000, 2000, -1},
                       {{0, 0, 2}, 3000, 4000, -1},
                       {{0, 0, -1}, 500, 3000, 0},
                       {{1, 0, 0}, 0, 3000, 0}};
        v.groups = {{THGROUP_MAIN, {0, 1}}, {THGROUP_RETRO, {2}}, {THGROUP_HOVER, {3}}};
        v.attitude = {0, 0, 1, 0, 1, 0, -1, 0, 0};  // vessel +z -> global +x
        engine = AddVessel(v);
        tank = AddVessel(Vessel("Tank", planet, 3000, 2));
        pod = AddVessel(Vessel("Pod", planet, 1000, 2));
        ASSERT_TRUE(engine && tank && pod) << LastError();
        ev = oapiGetVesselInterface(engine);
    }
};

}  // namespace

TEST_F(Propulsion, GroupFlowIspAndDirection) {
    EXPECT_EQ(otk::GetISP(ev, GetThruster(engine, 0)), 2000.0);  // no resource: vacuum value
    EXPECT_CLOSE(otk::GetISP(ev, GetThruster(engine, 2)), 2700.0, 1e-9, 0);
    EXPECT_EQ(otk::GetISP(nullptr, GetThruster(engine, 0)), 0.0);
    EXPECT_EQ(otk::GetISP(ev, nullptr), 0.0);

    EXPECT_CLOSE(otk::GetThrusterGroupFlowRate(ev, THGROUP_MAIN), 1.25, 1e-12, 0);
    EXPECT_CLOSE(otk::GetThrusterGroupISP(ev, THGROUP_MAIN), 3200.0, 1e-9, 0);
    EXPECT_CLOSE(otk::GetThrusterGroupISP(ev, THGROUP_RETRO), 2700.0, 1e-9, 0);
    EXPECT_EQ(otk::GetThrusterGroupISP(ev, THGROUP_ATT_UP), 0.0);

    EXPECT_CLOSE(otk::GetThrusterGroupDir_LH(ev, THGROUP_MAIN), (VECTOR3{0, 0, 1}), 1e-15, 0);
    EXPECT_CLOSE(otk::GetThrusterGroupThrustVector_LH(ev, THGROUP_MAIN), (VECTOR3{4000, 0, 0}),
                 1e-9, 0);
    // No thrusters, or thrusters without thrust: no direction and no acceleration.
    EXPECT_CLOSE(otk::GetThrusterGroupDir_LH(ev, THGROUP_ATT_UP), (VECTOR3{0, 0, 0}), 0, 0);
    EXPECT_CLOSE(otk::GetThrusterGroupDir_LH(ev, THGROUP_HOVER), (VECTOR3{0, 0, 0}), 0, 0);
    EXPECT_EQ(otk::GetThrusterGroupAcceleration(ev, THGROUP_HOVER), 0.0);
    EXPECT_EQ(otk::GetThrusterGroupAcceleration(nullptr, THGROUP_MAIN), 0.0);
    EXPECT_CLOSE(otk::GetThrusterGroupAcceleration(ev, THGROUP_MAIN), 0.4, 1e-15, 0);
}

TEST_F(Propulsion, AssembliesAreWalkedOnce) {
    int count = -1;
    void** one = otk::GetSuperStructure(ev, count);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(one[0], engine);
    delete[] one;

    // A ring: engine - tank - pod - engine.
    ASSERT_TRUE(Dock(engine, 0, tank, 0));
    ASSERT_TRUE(Dock(tank, 1, pod, 0));
    ASSERT_TRUE(Dock(pod, 1, engine, 1));
    void** ring = otk::GetSuperStructure(oapiGetVesselInterface(pod), count);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(std::set<void*>(ring, ring + 3), (std::set<void*>{engine, tank, pod}));
    EXPECT_EQ(ring[0], pod);
    delete[] ring;
    EXPECT_EQ(otk::GetSuperStructureMass(ev), 14000.0);
    EXPECT_EQ(otk::GetSuperStructureMass(nullptr), 0.0);
    EXPECT_CLOSE(otk::GetThrusterGroupAcceleration(ev, THGROUP_MAIN), 4000.0 / 14000.0, 1e-15, 0);
}

TEST_F(Propulsion, StarOfDockedVesselsFillsButNeverOverflowsTheArray) {
    // A hub with four ports, each holding a vessel: the array has exactly the vessel count.
    Reset();
    OBJHANDLE p = AddBody(Body("P", 1));
    OBJHANDLE hub = AddVessel(Vessel("Hub", p, 1, 4));
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(Dock(hub, i, AddVessel(Vessel("Spoke" + std::to_string(i), p, 1, 1)), 0));
    int count = 0;
    void** all = otk::GetSuperStructure(oapiGetVesselInterface(hub), count);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(std::set<void*>(all, all + count).size(), 5u);
    delete[] all;
    EXPECT_EQ(otk::GetSuperStructureMass(oapiGetVesselInterface(oapiGetObjectByName("Spoke2"))),
              5.0);
}

TEST_F(Propulsion, RocketEquation) {
    // Tsiolkovsky: after burning t at mass flow q, dv = ve ln(m0 / (m0 - q t)).
    const double m0 = 10000, F = 4000, q = 1.25, ve = F / q;
    for (double dv : {1.0, 100.0, 1000.0, 5000.0}) {
        const double t = otk::BurnTimeBydV(dv, m0, F, q);
        EXPECT_CLOSE(ve * std::log(m0 / (m0 - q * t)), dv, 1e-9, 1e-12);
        EXPECT_CLOSE(otk::dVByBurnTime(t, m0, F, q), dv, 1e-9, 1e-12);
    }
    // The vessel form uses the plain mean exhaust velocity of the group, 3000 m/s.
    const double t = otk::BurnTimeBydV(500.0, ev, THGROUP_MAIN);
    EXPECT_CLOSE(3000.0 * std::log(m0 / (m0 - 4000.0 / 3000.0 * t)), 500.0, 1e-9, 1e-12);
    EXPECT_CLOSE(otk::dVByBurnTime(t, ev, THGROUP_MAIN), 500.0, 1e-9, 1e-12);
    EXPECT_EQ(otk::BurnTimeBydV(0.0, ev, THGROUP_MAIN), 0.0);
    EXPECT_EQ(otk::BurnTimeBydV(10.0, ev, THGROUP_ATT_UP), 0.0);
    EXPECT_EQ(otk::dVByBurnTime(10.0, ev, THGROUP_HOVER), 0.0);
    // A burn longer than the whole mass lasts has no velocity change: reported, not a silent
    // logarithm of a negative number.
    EXPECT_TRUE(std::isnan(otk::dVByBurnTime(m0 / q + 1.0, m0, F, q)));
}

TEST_F(Propulsion, TargetsCycleBothWays) {
    OBJHANDLE base1 = AddBase("Alpha", planet, 0.1, 0.2);
    OBJHANDLE base2 = AddBase("Beta", planet, 0.3, 0.4);
    OBJHANDLE other = AddBody(Body("Other", 1e20, 0, nullptr, {1e9, 0, 0}));
    AddVessel(Vessel("Far", other, 1));
    VesselDesc v = Vessel("Landed", other, 1);
    v.surfaceRef = planet;
    OBJHANDLE landed = AddVessel(v);
    ASSERT_TRUE(SetFocus(engine));
    // Bases first, then vessels about the planet in index order, without the focus.
    const std::vector<void*> expected{base1, base2, tank, pod, landed};
    void* cur = nullptr;
    std::vector<void*> forward;
    for (int i = 0; i < 5; ++i) forward.push_back(cur = otk::GetTarget(planet, cur, 1));
    EXPECT_EQ(forward, (std::vector<void*>{base1, base2, tank, pod, landed}));
    EXPECT_EQ(otk::GetTarget(planet, landed, 1), base1);   // wraps to the first
    EXPECT_EQ(otk::GetTarget(planet, base1, -1), landed);  // and back to the last
    EXPECT_EQ(otk::GetTarget(planet, pod, -1), tank);
    EXPECT_EQ(otk::GetTarget(planet, engine, 1), base1);  // the focus is no entry
    Reset();
    EXPECT_EQ(otk::GetTarget(AddBody(Body("Lone", 1)), nullptr, 1), nullptr);
}
