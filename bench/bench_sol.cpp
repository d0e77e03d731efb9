// The Moon's interpolated state from the solar-system model on an advancing clock, against a
// call of the Moon's ephemeris module at the same dates (ns per call).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "bench/sol_world.h"
#include "zaq/adaptors.h"
#include "zaq/hostsim.h"
#include "zaq/sol.h"

namespace {

constexpr double kStep = 60.0 / 86400.0;  // one minute per call, a propagator's pace
constexpr long kDates = 1 << 20;          // two years of minutes before the clock wraps

// The model set up once, in a scratch directory holding a copy of the installation's Config/.
struct Moon {
    double mjd0 = zaq::hostsim::MjdFromUTC(2024, 1, 1);
    std::unique_ptr<zaq::plan::SolarModel> model = zaq::bench::SetupSol(mjd0, 0.1);
    CSol& sol = *model->Sol();
    int id = sol.GetId("Moon");
    double Date(long k) const { return mjd0 + kStep * static_cast<double>(k % kDates); }
};

Moon& TheMoon() {
    static Moon moon;
    return moon;
}

void BM_MoonInterpolated(benchmark::State& st) {
    Moon& m = TheMoon();
    VECTOR3 p, v;
    long k = 0;
    for (auto _ : st) {
        m.sol.GetIpPosVel(m.id, m.Date(k++), &p, &v);
        benchmark::DoNotOptimize(p);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_MoonInterpolated);

void BM_MoonModule(benchmark::State& st) {
    Moon& m = TheMoon();
    CELBODY* module = oapiGetCelbodyInterface(m.sol.GetHandle(m.id));
    VECTOR3 p, v;
    long k = 0;
    for (auto _ : st) {
        otk::CelBody_RH(module, m.Date(k++), EPHEM_TRUEPOS | EPHEM_TRUEVEL, &p, &v);
        benchmark::DoNotOptimize(p);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_MoonModule);

}  // namespace
