// Aim-point guidance: one solve of a trans-lunar injection by a 40 t, 100 kN, 4400 m/s stage
// from a 300 km orbit (with its residual and Jacobian evaluations), and the tool's whole lunar
// plan: the least-dv ignition, the solar-system model, the finite burn and its flown correction.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "apps/lunar.h"
#include "apps/mission.h"
#include "bench/sol_world.h"
#include "zaq/adaptors.h"
#include "zaq/constants.h"
#include "zaq/guidance.h"
#include "zaq/hostsim.h"
#include "zaq/vector3.h"

namespace {

constexpr double kDepart = 61364.0;  // 20 Nov 2026
constexpr double kArrive = kDepart + 3;
constexpr double kMass = 40e3, kThrust = 100e3, kRate = kThrust / 4400.0;

// The solar-system model at the departure date, set up once.
struct World {
    CSol sol;
    World() { zaq::bench::SetupSol(sol, kDepart, 1.0); }
};

World& TheWorld() {
    static World world;
    return world;
}

// The parking orbit in the plane of the Moon's motion at arrival, and the Moon's position then.
struct Geometry {
    zaq::app::BodyPair pair;
    COrbit park;
    VECTOR3 moon{}, moonVel{};
    Geometry() {
        std::string why;
        if (!zaq::app::ResolvePair("Earth", "Moon", &pair, &why)) std::abort();
        zaq::app::StateAbout(pair.to, pair.from, kArrive, &moon, &moonVel);
        const VECTOR3 normal = unit(CrossProduct(moon, moonVel));
        park.CreateCircular(unit(otk::Perpendicular(normal)) * (6371008.4 + 300e3), normal, pair.mu,
                            kDepart);
    }
};

void ProcessCaseTli(benchmark::State& state) {
    World& w = TheWorld();
    Geometry g;
    VECTOR3 dv{}, r{}, v{};
    const double impulsive =
        zaq::app::LeastDvIgnition(g.park, g.moon, kDepart, kArrive, g.pair.mu, &dv);
    const double ignition =
        impulsive - 0.35 * otk::BurnTimeBydV(Length(dv), kMass, kThrust, kRate) / 86400;
    g.park.PosVelByMJD(ignition, &r, &v);
    CFlight f(&w.sol, 4);
    f.SetStartMJD(ignition);
    cfVessel* vessel = f.CreateVessel(f.GetEarthId(), r, v, kMass);
    LambertAP lap;
    for (auto _ : state) {
        lap.SetCFlight(&f, vessel);
        lap.SetThrustSpecs(kMass, kThrust, kRate);
        lap.SetIgnitionState(w.sol.GetId("Earth"), r, v, ignition);
        lap.SetLambertAimPoint(g.moon, kArrive);
        lap.SetVerbose(0);
        lap.SetTolerance(std::pow(10.0, -static_cast<double>(state.range(0))));
        if (lap.ProcessCase(nullptr) != 0) state.SkipWithError("ProcessCase failed");
    }
    state.counters["residuals"] = lap.GetResidualCount();
    state.counters["jacobians"] = lap.GetJacobianCount();
    state.counters["dv_m_s"] = Length(lap.GetThrustVector());
}
// Tolerance 1e-2 m/s (the default) and 1e-4 m/s (the tool's).
BENCHMARK(ProcessCaseTli)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond)->Repetitions(5);

void LunarPlan(benchmark::State& state) {
    TheWorld();
    Geometry g;
    zaq::app::LunarBurn burn;
    for (auto _ : state) {
        VECTOR3 dv{};
        const double impulsive =
            zaq::app::LeastDvIgnition(g.park, g.moon, kDepart, kArrive, g.pair.mu, &dv);
        std::string why;
        if (!zaq::app::PlanLunarBurn(g.pair, g.park, kDepart, impulsive, dv, kArrive, kThrust,
                                     kRate, kMass, 100e3, &burn, &why))
            state.SkipWithError(why.c_str());
    }
    state.counters["flights"] = burn.corrections;
    state.counters["periselene_km"] = burn.periseleneAlt / 1e3;
}
BENCHMARK(LunarPlan)->Unit(benchmark::kMillisecond)->Repetitions(5);

}  // namespace
