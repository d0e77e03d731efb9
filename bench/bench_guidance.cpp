// Aim-point guidance: one solve of a trans-lunar injection by a 40 t, 100 kN, 4400 m/s stage
// from a 300 km orbit (with its residual and Jacobian evaluations), and the whole lunar plan of
// zaq::plan: the least-dv ignition, the solar-system model, the finite burn and its flown
// correction.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>

#include "bench/sol_world.h"
#include "zaq/adaptors.h"
#include "zaq/guidance.h"
#include "zaq/orbit.h"
#include "zaq/plan.h"
#include "zaq/sol.h"
#include "zaq/vector3.h"

namespace {

constexpr double kDepart = 61364.0;  // 20 Nov 2026
constexpr double kArrive = kDepart + 3;
constexpr double kMass = 40e3, kThrust = 100e3, kExhaust = 4400, kRate = kThrust / kExhaust;

zaq::plan::TransferRequest Tli(bool engine) {
    zaq::plan::TransferRequest r;
    r.from = "Earth";
    r.to = "Moon";
    r.depart = kDepart;
    r.arrive = kArrive;
    if (engine) r.engine = zaq::plan::Engine{kThrust, kExhaust / 9.80665, kMass};
    return r;
}

// The impulsive plan (the parking orbit in the plane of the Moon's motion at arrival, the
// least-dv ignition and the Moon's position then) and the model at the departure date, made once.
struct World {
    zaq::plan::TransferPlan impulsive;
    std::unique_ptr<zaq::plan::SolarModel> model;
    World() {
        auto planned = zaq::plan::PlanTransfer(Tli(false));
        if (!planned.ok()) std::abort();
        impulsive = planned.value();
        model = zaq::bench::SetupSol(kDepart, 1.0);
    }
};

World& TheWorld() {
    static World world;
    return world;
}

void ProcessCaseTli(benchmark::State& state) {
    World& w = TheWorld();
    const zaq::plan::Arc& a = w.impulsive.arc;
    const double ignition =
        w.impulsive.ignition -
        0.35 * otk::BurnTimeBydV(Length(a.vinfDepart), kMass, kThrust, kRate) / 86400;
    VECTOR3 r{}, v{};
    COrbit(a.r1, a.v1, w.impulsive.mu, w.impulsive.ignition).PosVelByMJD(ignition, &r, &v);
    CSol& sol = *w.model->Sol();
    CFlight f(&sol, 4);
    f.SetIntegrator(static_cast<int>(state.range(1)));
    f.SetStartMJD(ignition);
    cfVessel* vessel = f.CreateVessel(f.GetEarthId(), r, v, kMass);
    LambertAP lap;
    for (auto _ : state) {
        lap.SetCFlight(&f, vessel);
        lap.SetThrustSpecs(kMass, kThrust, kRate);
        lap.SetIgnitionState(sol.GetId("Earth"), r, v, ignition);
        lap.SetLambertAimPoint(a.r2, kArrive);
        lap.SetVerbose(0);
        lap.SetTolerance(std::pow(10.0, -static_cast<double>(state.range(0))));
        if (lap.ProcessCase(nullptr) != 0) state.SkipWithError("ProcessCase failed");
    }
    state.counters["residuals"] = lap.GetResidualCount();
    state.counters["jacobians"] = lap.GetJacobianCount();
    state.counters["dv_m_s"] = Length(lap.GetThrustVector());
}
// Tolerance 1e-2 m/s (the default) and 1e-4 m/s (the plan's); the flights' integrator.
BENCHMARK(ProcessCaseTli)
    ->ArgsProduct({{2, 4}, {CF_RKF56, CF_RKF78}})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);

void LunarPlan(benchmark::State& state) {
    std::optional<zaq::plan::LunarBurn> burn;
    zaq::plan::TransferRequest request = Tli(true);
    request.integrator =
        state.range(0) == 56 ? zaq::plan::Integrator::RKF56 : zaq::plan::Integrator::RKF78;
    for (auto _ : state) {
        auto planned = zaq::plan::PlanTransfer(request);
        if (!planned.ok()) {
            state.SkipWithError(planned.error().c_str());
            break;
        }
        burn = planned.value().burn;
    }
    state.counters["flights"] = burn ? burn->flights : 0;
    state.counters["periselene_km"] = burn ? burn->periseleneAltitude / 1e3 : 0;
}
// The flights of the plan with either integrator.
BENCHMARK(LunarPlan)->Arg(56)->Arg(78)->Unit(benchmark::kMillisecond)->Repetitions(5);

}  // namespace
