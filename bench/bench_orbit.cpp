// COrbit: propagation to a date and construction from a state (ns per call).
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "zaq/orbit.h"
#include "zaq/vector3.h"

namespace {

constexpr double kMu = 3.986004418e14;

// Seeded ellipses and hyperbolas about the Earth, as state vectors.
std::vector<std::pair<VECTOR3, VECTOR3>> States(int n) {
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<std::pair<VECTOR3, VECTOR3>> s;
    for (int i = 0; i < n; ++i) {
        const VECTOR3 r = unit(VECTOR3{u(rng), u(rng), u(rng)}) * (7e6 + 3e7 * (u(rng) + 1));
        const double vc = std::sqrt(kMu / Length(r));
        const VECTOR3 v = unit(VECTOR3{u(rng), u(rng), u(rng)}) * (vc * (1.0 + 0.35 * u(rng)));
        s.emplace_back(r, v);
    }
    return s;
}

void BM_CreateFromStateVectors(benchmark::State& st) {
    const auto s = States(1024);
    COrbit o;
    size_t i = 0;
    for (auto _ : st) {
        const auto& x = s[i++ & 1023];
        o.CreateFromStateVectors(x.first, x.second, kMu, 60000.0);
        benchmark::DoNotOptimize(o.meanAnomaly);
    }
}
BENCHMARK(BM_CreateFromStateVectors);

void BM_PosVelByMJD(benchmark::State& st) {
    const auto s = States(1024);
    std::vector<COrbit> orbits;
    for (const auto& x : s) orbits.emplace_back(x.first, x.second, kMu, 60000.0);
    size_t i = 0;
    VECTOR3 r, v;
    for (auto _ : st) {
        const size_t k = i++;
        orbits[k & 1023].PosVelByMJD(60000.0 + 0.37 * (k & 4095) / 4096.0, &r, &v);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_PosVelByMJD);

}  // namespace
