// Flight propagation: one day of a 400 km, 51.6 degree orbit in the Sun-Earth-Moon scenario, the
// cost of one step with 1 and with 64 vessels, and a peer on the same force model (Earth point
// mass with J2-J4 as the only source): Boost.Odeint's Dormand-Prince 5(4) and Fehlberg 7(8),
// each tuned to the same final position error after one day as this library against a tight
// reference run; the scenario's own share, the bodies' step-end ephemerides of such a day; and
// 30 days of a lunar-transfer coast with each of the library's integrators against a tight run.
// The library's runs take an integrator argument: 56 or 78.
#include <benchmark/benchmark.h>

#include <array>
#include <boost/numeric/odeint.hpp>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "bench/sol_world.h"
#include "zaq/constants.h"
#include "zaq/flight.h"
#include "zaq/hostsim.h"
#include "zaq/vector3.h"

// Copying Odeint's steppers (make_controlled) copies their scratch arrays before first use, which
// GCC reports as uninitialised once inlined here.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace {

namespace odeint = boost::numeric::odeint;

constexpr double kMjd = 60000.0;
constexpr double kDay = zaq::kSecondsPerDay;

CSol& Sol() {
    static const auto model = zaq::bench::SetupSol(kMjd, 1.0);
    return *model->Sol();
}

// The circular 400 km orbit inclined 51.6 degrees to Earth's equator, phase in radians.
cfVessel* Leo(CFlight& f, double phase = 0) {
    const sGravity& g = *f.GetGravity(f.GetEarthId());
    const VECTOR3 p = g.rotationAxis, x = unit(otk::Perpendicular(p)), y = CrossProduct(p, x);
    const double a = g.radius + 400e3, v = std::sqrt(g.GM / a), inc = 51.6 * zaq::kRadPerDeg;
    const VECTOR3 node = x * std::cos(phase) + y * std::sin(phase);
    const VECTOR3 ahead = CrossProduct(p, node) * std::cos(inc) + p * std::sin(inc);
    return f.CreateVessel(f.GetEarthId(), node * a, ahead * v, 1000.0);
}

struct Day {
    VECTOR3 pos{0, 0, 0};
    long steps = 0, rhs = 0;
};

// One day as Goto makes it, counting accepted steps and right-hand sides (7 or 13 per attempt).
Day ZaqDay(double limit, bool earthOnly, int integrator = CF_RKF56) {
    CFlight f(&Sol(), 4);
    f.SetIntegrator(integrator);
    f.SetStartMJD(kMjd);
    f.SetTruncationLimit(limit);
    cfVessel* v = Leo(f);
    if (earthOnly) {
        v->ClearSources();
        v->AddSource(f.GetEarthId());
    }
    Day d;
    for (double r = kDay; r > 1e-6; r = (kMjd + 1 - f.GetMJD()) * kDay) {
        const double e = f.GetNextdT();
        d.rhs += integrator == CF_RKF78 ? 13 : 7;
        if (f.Step(e < r ? e : r) != 0) d.steps++;
    }
    d.pos = v->GetPosition();
    return d;
}

// The peer's right-hand side: the same field, Earth alone.
typedef std::array<double, 6> State;
struct Rhs {
    const sGravity* g;
    long* count;
    void operator()(const State& x, State& dx, double) const {
        const VECTOR3 a = cfVessel::Field(*g, g->GM, {x[0], x[1], x[2]}, false);
        dx = {x[3], x[4], x[5], a.x, a.y, a.z};
        ++*count;
    }
};

struct Peer {
    sGravity g;
    State x0;
    Peer() {
        CFlight f(&Sol(), 4);
        f.SetStartMJD(kMjd);
        const cfVessel* v = Leo(f);
        g = *f.GetGravity(f.GetEarthId());
        const VECTOR3 r = v->GetPosition(), w = v->GetVelocity();
        x0 = {r.x, r.y, r.z, w.x, w.y, w.z};
    }
    template <class Stepper>
    Day Run(double tol) const {
        State x = x0;
        Day d;
        d.steps = static_cast<long>(odeint::integrate_adaptive(
            odeint::make_controlled(tol, tol, Stepper()), Rhs{&g, &d.rhs}, x, 0.0, kDay, 20.0));
        d.pos = {x[0], x[1], x[2]};
        return d;
    }
};

typedef odeint::runge_kutta_dopri5<State> Dopri5;
typedef odeint::runge_kutta_fehlberg78<State> Fehlberg78;

const Peer& ThePeer() {
    static const Peer peer;
    return peer;
}

// The tight reference of the Earth-only force model.
const VECTOR3& Reference() {
    static const VECTOR3 ref = ThePeer().Run<Fehlberg78>(1e-15).pos;
    return ref;
}

double Error(const Day& d) {
    return Length(d.pos - Reference());
}

// The knob value in [lo, hi] (searched on a log scale) whose one-day error is closest to target.
double Tune(double lo, double hi, double target, const std::function<Day(double)>& run) {
    for (int i = 0; i < 40; i++) {
        const double mid = std::sqrt(lo * hi);
        (Error(run(mid)) > target ? hi : lo) = mid;
    }
    return std::sqrt(lo * hi);
}

// Accuracy levels: 0 the library's default truncation limit, 1 a final error of 1 m.
double ZaqLimit(int level, int integrator = CF_RKF56) {
    static double tuned[2] = {0, 0};
    const int k = integrator == CF_RKF78;
    if (level == 1 && tuned[k] == 0)
        tuned[k] =
            Tune(1e-9, 10.0, 1.0, [=](double limit) { return ZaqDay(limit, true, integrator); });
    return level == 0 ? 0.05 : tuned[k];
}

double TargetError(int level) {
    static const double zaqDefault = Error(ZaqDay(0.05, true));
    return level == 0 ? zaqDefault : 1.0;
}

template <class Stepper>
double PeerTolerance(int level) {
    static double tol[2] = {0, 0};
    if (tol[level] == 0)
        tol[level] = Tune(1e-16, 1e-2, TargetError(level),
                          [](double t) { return ThePeer().Run<Stepper>(t); });
    return tol[level];
}

void Report(benchmark::State& state, const Day& d, bool withError) {
    state.counters["steps"] = static_cast<double>(d.steps);
    state.counters["rhs"] = static_cast<double>(d.rhs);
    // CPU time per accepted step: the cost the two integrators compare at equal accuracy.
    state.counters["per_step"] = benchmark::Counter(
        static_cast<double>(d.steps),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    if (withError) state.counters["error_m"] = Error(d);
}

// One simulated day with the scenario's three sources at the default limit.
void BM_LeoDay(benchmark::State& state) {
    Day d;
    for (auto _ : state) benchmark::DoNotOptimize(d = ZaqDay(0.05, false));
    Report(state, d, false);
}
BENCHMARK(BM_LeoDay)->Unit(benchmark::kMicrosecond);

// The peer's force model: Earth as the only source; accuracy level, integrator.
void BM_ZaqEarthDay(benchmark::State& state) {
    const int integrator = static_cast<int>(state.range(1));
    const double limit = ZaqLimit(static_cast<int>(state.range(0)), integrator);
    Day d;
    for (auto _ : state) benchmark::DoNotOptimize(d = ZaqDay(limit, true, integrator));
    Report(state, d, true);
    state.counters["limit_m"] = limit;
}
BENCHMARK(BM_ZaqEarthDay)
    ->ArgsProduct({{0, 1}, {CF_RKF56, CF_RKF78}})
    ->Unit(benchmark::kMicrosecond);

template <class Stepper>
void BM_PeerDay(benchmark::State& state) {
    const double tol = PeerTolerance<Stepper>(static_cast<int>(state.range(0)));
    Day d;
    for (auto _ : state) benchmark::DoNotOptimize(d = ThePeer().Run<Stepper>(tol));
    Report(state, d, true);
    state.counters["tolerance"] = tol;
}
BENCHMARK_TEMPLATE(BM_PeerDay, Dopri5)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_PeerDay, Fehlberg78)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// What the scenario adds to the peer's work: the step-end states of Earth and the Moon from the
// interpolated ephemerides, at the dates of a one-day run of n equal steps (the steps of the
// 1 m run), as the step routine asks for them.
void BM_BodiesDay(benchmark::State& state) {
    const long n = static_cast<long>(state.range(0));
    const int ids[] = {Sol().GetId("Earth"), Sol().GetId("Moon")};
    VECTOR3 p, v;
    for (auto _ : state)
        for (long k = 1; k <= n; k++)
            for (int id : ids) {
                Sol().GetIpPosVel(id, kMjd + static_cast<double>(k) / static_cast<double>(n), &p,
                                  &v);
                benchmark::DoNotOptimize(p);
                benchmark::DoNotOptimize(v);
            }
    state.counters["steps"] = static_cast<double>(n);
    state.counters["per_step"] =
        benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}
BENCHMARK(BM_BodiesDay)->Arg(3330)->Unit(benchmark::kMicrosecond);

// One 30 s step of n vessels spread around the orbit: the bodies' ephemerides are shared.
void BM_Step(benchmark::State& state) {
    CFlight f(&Sol(), 4);
    f.SetStartMJD(kMjd);
    const int n = static_cast<int>(state.range(0));
    for (int i = 0; i < n; i++) Leo(f, PI2 * i / n);
    f.Step(30);
    for (auto _ : state) benchmark::DoNotOptimize(f.Step(30));
    state.counters["vessels"] = n;
}
BENCHMARK(BM_Step)->Arg(1)->Arg(64)->Unit(benchmark::kMicrosecond);

// Thirty days of a coast from a trans-lunar state (Sun, Earth and Moon pulling, the vessel
// passing into the Moon's sphere) at the default limit with an integrator, and its final
// distance from a run of the 7(8) pair with a limit of 1e-6 m.
struct Coast {
    VECTOR3 pos{0, 0, 0};
    short ref = -1;
    long steps = 0, rhs = 0;
};

Coast CoastRun(int integrator, double limit) {
    CFlight f(&Sol(), 4);
    f.SetIntegrator(integrator);
    f.SetStartMJD(kMjd);
    f.SetTruncationLimit(limit);
    const sGravity& g = *f.GetGravity(f.GetEarthId());
    const double r = g.radius + 300e3, v = std::sqrt(2 * g.GM / r) * 0.9955;
    cfVessel* w = f.CreateVessel(f.GetEarthId(), {r, 0, 0}, {0, v, 0}, 1000);
    Coast c;
    for (double left = 30 * kDay; left > 1e-6; left = (kMjd + 30 - f.GetMJD()) * kDay) {
        const double e = f.GetNextdT();
        if (!(e >= 1.0)) break;
        c.rhs += integrator == CF_RKF78 ? 13 : 7;
        if (f.Step(e < left ? e : left) != 0) c.steps++;
    }
    c.ref = w->GetReference();
    c.pos = w->GetIpPos(f.GetEarthId());  // about Earth, whatever the reference
    return c;
}

void BM_Coast(benchmark::State& state) {
    const int integrator = static_cast<int>(state.range(0));
    static const Coast tight = CoastRun(CF_RKF78, 1e-6);
    Coast c;
    for (auto _ : state) benchmark::DoNotOptimize(c = CoastRun(integrator, 0.05));
    state.counters["steps"] = static_cast<double>(c.steps);
    state.counters["rhs"] = static_cast<double>(c.rhs);
    state.counters["per_step"] = benchmark::Counter(
        static_cast<double>(c.steps),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["error_m"] = Length(c.pos - tight.pos);
}
BENCHMARK(BM_Coast)->Arg(CF_RKF56)->Arg(CF_RKF78)->Unit(benchmark::kMillisecond);

}  // namespace
