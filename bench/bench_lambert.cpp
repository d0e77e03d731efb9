// Lambert solvers: time per solve on the seeded case set of the tests, cold (no start value) and
// warm (a porkchop-like sweep whose flight time grows by 0.1 % from case to case, the in/out
// variable carried from the previous case), and the p-iteration refined to double precision.
// Each iteration solves one case. With --cases-csv=FILE the program writes the case set with a
// long-double solution and the refined one to FILE instead (bench/lambert_peer.py times a peer on
// the same cases).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "tests/lambert_cases.h"
#include "tests/two_body.h"
#include "zaq/lambert.h"

namespace {

using zaq::test::LambertCase;

constexpr int kCases = 10000;
constexpr uint64_t kSeed = 20240607;  // the seed of the random test
constexpr int kSweepBases = 100, kSweepSteps = 100;

using otk::LambertSolver;

inline int Solve(LambertSolver s, const LambertCase& k, double* w, VECTOR3* v1, VECTOR3* v2) {
    return otk::Lambert(s, k.r1, k.r2, k.t, k.dir, k.mu, w, v1, v2);
}

// Which cases a benchmark runs on.
enum Subset { kAll, kElliptic, kSolvedByG };

bool InSubset(Subset sub, const LambertCase& k) {
    if (sub == kElliptic) return !k.Hyperbolic();
    if (sub == kSolvedByG) {
        double y = 0;
        return k.dir > 0 && otk::LambertG(k.r1, k.r2, k.t, k.mu, &y, nullptr, nullptr) > 0;
    }
    return true;
}

std::vector<LambertCase> Cases(Subset sub) {
    std::vector<LambertCase> out;
    for (const LambertCase& k : zaq::test::MakeLambertCases(kCases, kSeed))
        if (InSubset(sub, k)) out.push_back(k);
    return out;
}

// Sweeps whose base case belongs to the subset; the steps stay together.
std::vector<LambertCase> Sweep(Subset sub) {
    const std::vector<LambertCase> all =
        zaq::test::MakeLambertSweep(4 * kSweepBases, kSweepSteps, kSeed + 1);
    std::vector<LambertCase> out;
    for (size_t b = 0; b < all.size() && out.size() < kSweepBases * kSweepSteps; b += kSweepSteps)
        if (InSubset(sub, all[b]))
            out.insert(out.end(), all.begin() + b, all.begin() + b + kSweepSteps);
    return out;
}

// Cold: every case without a start value. `stored` > 0 gives each call that stored value instead
// (LambertUN then takes its Newton path on elliptic transfers).
void Cold(benchmark::State& state, LambertSolver s, Subset sub, double stored) {
    const std::vector<LambertCase> cases = Cases(sub);
    size_t i = 0;
    VECTOR3 v1, v2;
    for (auto _ : state) {
        double w = stored;
        benchmark::DoNotOptimize(Solve(s, cases[i], &w, &v1, &v2));
        benchmark::DoNotOptimize(v1);
        if (++i == cases.size()) i = 0;
    }
    state.counters["cases"] = static_cast<double>(cases.size());
}

// Warm: along each sweep the in/out variable of the previous case; each sweep starts cold.
void Warm(benchmark::State& state, LambertSolver s, Subset sub) {
    const std::vector<LambertCase> cases = Sweep(sub);
    size_t i = 0;
    double w = 0;
    VECTOR3 v1, v2;
    for (auto _ : state) {
        if (i % kSweepSteps == 0) w = 0;
        benchmark::DoNotOptimize(Solve(s, cases[i], &w, &v1, &v2));
        benchmark::DoNotOptimize(v1);
        if (++i == cases.size()) i = 0;
    }
    state.counters["cases"] = static_cast<double>(cases.size());
}

BENCHMARK_CAPTURE(Cold, G_solved, LambertSolver::G, kSolvedByG, 0.0);
BENCHMARK_CAPTURE(Warm, G_solved, LambertSolver::G, kSolvedByG);
BENCHMARK_CAPTURE(Cold, PN_all, LambertSolver::PN, kAll, 0.0);
BENCHMARK_CAPTURE(Warm, PN_all, LambertSolver::PN, kAll);
BENCHMARK_CAPTURE(Cold, UB_all, LambertSolver::UB, kAll, 0.0);
BENCHMARK_CAPTURE(Cold, UN_all, LambertSolver::UN, kAll, 0.0);
BENCHMARK_CAPTURE(Cold, UN_all_stored, LambertSolver::UN, kAll, 1.0);
BENCHMARK_CAPTURE(Cold, UN_elliptic_stored, LambertSolver::UN, kElliptic, 1.0);
BENCHMARK_CAPTURE(Warm, UN_all, LambertSolver::UN, kAll);
BENCHMARK_CAPTURE(Warm, UN_elliptic, LambertSolver::UN, kElliptic);

// The p-iteration from no start value, then the refinement to double precision.
void Refined(benchmark::State& state) {
    const std::vector<LambertCase> cases = Cases(kAll);
    size_t i = 0;
    VECTOR3 v1, v2;
    for (auto _ : state) {
        const LambertCase& k = cases[i];
        double w = 0;
        if (otk::LambertPN(k.r1, k.r2, k.t, k.dir, k.mu, &w, &v1, &v2) > 0)
            benchmark::DoNotOptimize(otk::LambertRefine(k.r1, k.r2, k.t, k.dir, k.mu, &v1, &v2));
        benchmark::DoNotOptimize(v1);
        if (++i == cases.size()) i = 0;
    }
    state.counters["cases"] = static_cast<double>(cases.size());
}
BENCHMARK(Refined)->Name("Refined/PN_all");

// One line per case: r1, r2, t, dir, mu, the long-double v1 and v2, the refined v1 and v2.
int WriteCases(const char* path) {
    FILE* f = std::fopen(path, "w");
    if (!f) return 1;
    for (const LambertCase& k : Cases(kAll)) {
        VECTOR3 e1{}, e2{}, v1{}, v2{};
        double w = 0;
        zaq::test::RefLambert(k.r1, k.r2, k.t, k.dir, k.mu, &e1, &e2);
        if (otk::LambertPN(k.r1, k.r2, k.t, k.dir, k.mu, &w, &v1, &v2) > 0)
            otk::LambertRefine(k.r1, k.r2, k.t, k.dir, k.mu, &v1, &v2);
        for (const VECTOR3& v : {k.r1, k.r2}) std::fprintf(f, "%.17g,%.17g,%.17g,", v.x, v.y, v.z);
        std::fprintf(f, "%.17g,%g,%.17g", k.t, k.dir, k.mu);
        for (const VECTOR3& v : {e1, e2, v1, v2})
            std::fprintf(f, ",%.17g,%.17g,%.17g", v.x, v.y, v.z);
        std::fprintf(f, "\n");
    }
    return std::fclose(f) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const char kFlag[] = "--cases-csv=";
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], kFlag, sizeof kFlag - 1) == 0)
            return WriteCases(argv[i] + sizeof kFlag - 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
