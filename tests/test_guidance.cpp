// Lambert aim-point guidance: a trans-lunar injection by a finite burn, judged by an independent
// two-body flight of its cut-off state, the same burn flown again as a manoeuvre, the rocket
// equation and the finite-burn loss of a burn held in one direction; and the setup faults.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "tests/capture_log.h"
#include "tests/integrators.h"
#include "tests/sol_dir.h"
#include "tests/tolerance.h"
#include "tests/two_body.h"
#include "zaq/constants.h"
#include "zaq/flight.h"
#include "zaq/guidance.h"
#include "zaq/lambert.h"
#include "zaq/orbit.h"
#include "zaq/vector3.h"

namespace {

using zaq::test::CaptureErrorLog;
constexpr double kDay = zaq::kSecondsPerDay;

bool Logged(const std::string& log, const char* text) {
    return log.find(text) != std::string::npos;
}

// The stage: 40 t, 100 kN, exhaust velocity 4400 m/s.
constexpr double kMass = 40e3, kThrust = 100e3, kRate = kThrust / 4400.0;

// A trans-lunar injection from a 300 km circular orbit in the plane of the Moon's motion at
// arrival three days later: the least-dv impulsive burn and the finite burn's ignition 35 % of
// its burn time earlier.
struct Tli {
    double mu = 0, ignition = 0, impulsive = 0, arrival = 0;
    VECTOR3 aim{}, r{}, v{}, dv{};
};

class Guidance : public zaq::test::SolDirTest {
protected:
    static constexpr double kDepart = zaq::test::kSolMjd + 2;

    static std::unique_ptr<CFlight> Scenario(double mjd, int integrator = CF_RKF56) {
        auto f = std::make_unique<CFlight>(sol_, 4);
        f->SetIntegrator(integrator);
        EXPECT_TRUE(f->SetStartMJD(mjd));
        return f;
    }
    static Tli Plan() {
        Tli t;
        auto f = Scenario(kDepart);
        t.mu = zaq::kG * f->GetMass(f->GetEarthId());
        t.arrival = kDepart + 3;
        VECTOR3 moonVel;
        EXPECT_TRUE(sol_->GetEphemTruePosVel(sol_->GetId("Moon"), t.arrival, &t.aim, &moonVel));
        COrbit park;
        park.CreateCircular(unit(otk::Perpendicular(CrossProduct(t.aim, moonVel))) * 6671e3,
                            unit(CrossProduct(t.aim, moonVel)), t.mu, kDepart);
        VECTOR3 r = park.Position(), v = park.Velocity();
        t.impulsive = FindLAPIgnMJD(r, v, t.aim, kDepart, t.arrival, t.mu, &t.dv);
        EXPECT_GT(t.impulsive, kDepart);
        const double burn = kMass * (1 - std::exp(-Length(t.dv) / 4400.0)) / kRate;
        t.ignition = t.impulsive - 0.35 * burn / kDay;
        park.PosVelByMJD(t.ignition, &t.r, &t.v);
        return t;
    }
    // A guidance set up for the injection on a new scenario held by flight.
    static LambertAP Setup(const Tli& t, std::unique_ptr<CFlight>& flight, int mode,
                           int integrator = CF_RKF56) {
        flight = Scenario(t.ignition, integrator);
        LambertAP g;
        g.SetCFlight(flight.get(), flight->CreateVessel());
        g.SetThrustSpecs(kMass, kThrust, kRate);
        g.SetIgnitionState(sol_->GetId("Earth"), t.r, t.v, t.ignition);
        g.SetLambertAimPoint(t.aim, t.arrival);
        g.SetAttitudeMode(mode);
        // A velocity error at injection grows about 2 km per mm/s at the Moon.
        g.SetTolerance(1e-4);
        return g;
    }
};

// The burn solved in either frame: its cut-off conic reaches the Moon's position by an
// independent two-body flight; it costs more than the impulsive burn by a finite-burn loss of
// the size that theory gives a burn held in one direction; and the same burn flown again as a
// manoeuvre in a new scenario ends in the cut-off state. The guidance's flights use either
// integrator.
class GuidanceFlights : public Guidance, public ::testing::WithParamInterface<int> {};
}  // namespace

INSTANTIATE_TEST_SUITE_P(Integrators, GuidanceFlights, zaq::test::Integrators(),
                         zaq::test::IntegratorName);

TEST_P(GuidanceFlights, TransLunarInjectionByFiniteBurn) {
    const Tli t = Plan();
    for (int mode : {LAP_GLOBAL, LAP_LOCAL}) {
        SCOPED_TRACE(mode);
        std::unique_ptr<CFlight> flight;
        LambertAP g = Setup(t, flight, mode, GetParam());
        EXPECT_EQ(g.GetAttitudeMode(), mode | LAP_AIM);
        int result = 1;
        const std::string log = CaptureErrorLog([&] { result = g.ProcessCase(nullptr); });
        ASSERT_EQ(result, 0) << log;
        EXPECT_EQ(g.GetFlight(), nullptr);
        VECTOR3 r, v;
        double cut = 0;
        g.GetCutOffState(&r, &v, &cut);
        const double burn = g.GetBurnTime();
        EXPECT_NEAR(cut, t.ignition + burn / kDay, 1e-9);
        // The rocket equation: the burn's velocity change gives its duration.
        const double dv = Length(g.GetThrustVector());
        EXPECT_NEAR(burn, kMass * (1 - std::exp(-dv / 4400.0)) / kRate, 1e-6 * burn);

        const zaq::test::TwoBodyState end =
            zaq::test::FlyTwoBody(r, v, (t.arrival - cut) * kDay, t.mu);
        EXPECT_LT(Length(end.r - t.aim), 500.0);  // the residual's 1e-4 m/s, some 350 m
        EXPECT_TRUE(zaq::test::Near(end.v, g.GetEncounterVelocity(), 0.05));

        // A burn held in one direction over the arc wt of the orbit loses about dv (wt)^2 / 24
        // (Robbins); w grows from the circular rate as the burn speeds the vessel up.
        const double w = std::sqrt(t.mu / std::pow(6671e3, 3)), loss = dv - Length(t.dv);
        EXPECT_GT(loss, 0.5 * Length(t.dv) * std::pow(w * burn, 2) / 24) << loss;
        EXPECT_LT(loss, 2.5 * Length(t.dv) * std::pow(w * burn, 2) / 24) << loss;
        EXPECT_TRUE(Logged(log, "Adjusting Transfer Angle. Initial=168")) << log;

        auto again = Scenario(t.ignition);
        again->SetTruncationLimit(1e-6);
        cfVessel* s = again->CreateVessel(again->GetEarthId(), t.r, t.v, kMass);
        s->AddManeuver(mode == LAP_GLOBAL ? THRUST_GLOBAL : THRUST_LOCAL, t.ignition,
                       g.GetThrustVector(), -1, kThrust, kRate);
        ASSERT_EQ(again->Goto(cut), 0);
        EXPECT_TRUE(zaq::test::Near(s->GetPosition(), r, 1.0));
        EXPECT_TRUE(zaq::test::Near(s->GetVelocity(), v, 1e-3));
    }
}

// Setup faults, the configuration consumed by each case, the initial-guess override, a Lambert
// solve that fails inside the residual, and the attitude bits.
TEST_F(Guidance, ConfigurationGuessAndFailures) {
    const Tli t = Plan();
    std::unique_ptr<CFlight> flight;
    LambertAP solved = Setup(t, flight, LAP_GLOBAL);
    ASSERT_EQ(solved.ProcessCase(nullptr), 0);
    const VECTOR3 x = solved.GetThrustVector(), huge{6e4, 0, 0};
    VECTOR3 r, v;
    double mjd;
    const struct {
        const char* text;  // in the log
        int result;
        std::function<int(LambertAP&)> run;
    } cases[] = {
        {"Configuration not valid", -1, [](LambertAP& g) { return g.ProcessCase(nullptr); }},
        {"Invalid configuration", -1,
         [&](LambertAP& g) {
             g.SetIgnitionState(0, t.r, t.v, t.ignition);
             return g.ProcessCase(nullptr);
         }},
        {"Reference doesn't exist", -1,
         [&](LambertAP& g) {
             g.SetCFlight(flight.get(), flight->GetVessel(0));
             g.SetIgnitionState(sol_->GetId("Mars"), t.r, t.v, t.ignition);
             return g.ProcessCase(nullptr);
         }},
        {"Null Pointer", 0,
         [&](LambertAP& g) {
             g.GetCutOffState(&r, &v, nullptr);
             return 0;
         }},
        // The solution given back converges at once; a guess past 50 km/s is replaced.
        {"complited with 1 iterations", 0,
         [&](LambertAP& g) { return (g = Setup(t, flight, LAP_GLOBAL)).ProcessCase(&x); }},
        {"Initial LambertAP input velocity 60000 m/s. Auto override...", 0,
         [&](LambertAP& g) { return (g = Setup(t, flight, LAP_GLOBAL)).ProcessCase(&huge); }},
        // The aim date before the cut-off: no Lambert arc, no solution, the old vector kept.
        {"LambertAP: Failed to process guidance solution.", -1,
         [&](LambertAP& g) {
             g = Setup(t, flight, LAP_GLOBAL);
             g.SetLambertAimPoint(t.aim, t.ignition + 60 / kDay);
             return g.ProcessCase(&x);
         }},
    };
    for (const auto& c : cases) {
        LambertAP g;
        int result = 1;
        const std::string log = CaptureErrorLog([&] { result = c.run(g); });
        EXPECT_EQ(result, c.result) << c.text;
        EXPECT_TRUE(Logged(log, c.text)) << c.text << "\n" << log;
        if (result == 0 && c.result == 0 && Length(g.GetThrustVector()) > 0) {
            EXPECT_TRUE(zaq::test::Near(g.GetThrustVector(), x, 0.01)) << c.text;
            // Each case consumes its configuration.
            EXPECT_TRUE(Logged(CaptureErrorLog([&] { EXPECT_EQ(g.ProcessCase(&x), -1); }),
                               "Configuration not valid"));
        }
        if (result == -1) {
            EXPECT_EQ(Length(g.GetThrustVector()), 0) << c.text;
        }
    }
    LambertAP g;
    EXPECT_EQ(g.GetAttitudeMode(), 0x12);
    g.SetAttitudeMode(1);
    EXPECT_EQ(g.GetAttitudeMode(), 0x11);
    EXPECT_EQ(g.GetTolerance(), 0.01);
    g.GetIgnitionState(&r, &v, &mjd);
    EXPECT_EQ(mjd, 0);
}
