// Kepler's equation: the three solvers against a plain Newton solver.
//
// Random cases: 1e6 pairs (M, e) uniform in [0, 2pi) x [0, 0.99]. Orbit sequences: 1000
// sequences of 1000 samples, e fixed per sequence, M advancing by 2pi/1000 per sample from a
// random phase. Every benchmark reports the time of one solve.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "zaq/orbit.h"

namespace {

constexpr int kSamples = 1000000;
constexpr int kSeqLen = 1000;
constexpr int kSeqs = kSamples / kSeqLen;

struct Cases {
    std::vector<double> M, e;        // random pairs
    std::vector<double> seqM;        // kSeqs sequences of kSeqLen mean anomalies
    std::vector<double> seqE;        // eccentricity of each sequence
    std::vector<double> hypM, hypE;  // hyperbolic pairs
};

const Cases& GetCases() {
    static const Cases cases = [] {
        Cases c;
        std::mt19937_64 rng(20240611);
        std::uniform_real_distribution<double> uM(0.0, PI2), uE(0.0, 0.99);
        c.M.resize(kSamples);
        c.e.resize(kSamples);
        for (int i = 0; i < kSamples; ++i) {
            c.M[i] = uM(rng);
            c.e[i] = uE(rng);
        }
        c.seqM.resize(kSamples);
        c.seqE.resize(kSeqs);
        for (int s = 0; s < kSeqs; ++s) {
            c.seqE[s] = uE(rng);
            const double m0 = uM(rng);
            for (int k = 0; k < kSeqLen; ++k) c.seqM[s * kSeqLen + k] = m0 + k * (PI2 / kSeqLen);
        }
        // Hyperbolic: e uniform in (1, 10], M log-uniform over [1e-3, 1e3] with either sign.
        std::uniform_real_distribution<double> uH(1.0, 10.0), uL(-3.0, 3.0), u01(0.0, 1.0);
        c.hypM.resize(kSamples);
        c.hypE.resize(kSamples);
        for (int i = 0; i < kSamples; ++i) {
            c.hypE[i] = std::nextafter(uH(rng), 11.0);
            c.hypM[i] = (u01(rng) < 0.5 ? -1.0 : 1.0) * std::pow(10.0, uL(rng));
        }
        return c;
    }();
    return cases;
}

// The baseline: textbook Newton iteration, start M +- e, until the step is below 1e-12.
double PlainNewton(double M, double e) {
    double E = (M > M_PI || (M < 0.0 && M > -M_PI)) ? M - e : M + e;
    for (int i = 0; i < 50; ++i) {
        const double d = (E - e * std::sin(E) - M) / (1.0 - e * std::cos(E));
        E -= d;
        if (std::fabs(d) < 1e-12) break;
    }
    return E;
}

void BM_PlainNewton(benchmark::State& state) {
    const Cases& c = GetCases();
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PlainNewton(c.M[i], c.e[i]));
        if (++i == kSamples) i = 0;
    }
}
BENCHMARK(BM_PlainNewton);

void BM_SolverA(benchmark::State& state) {
    const Cases& c = GetCases();
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(otk::mna2eca(c.M[i], c.e[i]));
        if (++i == kSamples) i = 0;
    }
}
BENCHMARK(BM_SolverA);

// Plain Newton along the orbit sequences, started from the previous solution like solver B.
void BM_PlainNewtonSequence(benchmark::State& state) {
    const Cases& c = GetCases();
    int i = 0;
    double E = 0.0;
    for (auto _ : state) {
        const double e = c.seqE[i / kSeqLen], M = c.seqM[i];
        if (i % kSeqLen == 0) E = M;
        for (int n = 0; n < 50; ++n) {
            const double d = (E - e * std::sin(E) - M) / (1.0 - e * std::cos(E));
            E -= d;
            if (std::fabs(d) < 1e-12) break;
        }
        benchmark::DoNotOptimize(E);
        if (++i == kSamples) i = 0;
    }
}
BENCHMARK(BM_PlainNewtonSequence);

void BM_SolverBSequence(benchmark::State& state) {
    const Cases& c = GetCases();
    int i = 0;
    double E = 0.0;
    for (auto _ : state) {
        const double M = c.seqM[i];
        if (i % kSeqLen == 0) E = M;  // a poor start: solver B falls back as it needs
        E = otk::mna2eca(M, c.seqE[i / kSeqLen], E);
        benchmark::DoNotOptimize(E);
        if (++i == kSamples) i = 0;
    }
}
BENCHMARK(BM_SolverBSequence);

void BM_SolverCSequence(benchmark::State& state) {
    const Cases& c = GetCases();
    std::vector<double> out(kSeqLen);
    int s = 0;
    for (auto _ : state) {
        otk::mna2eca(kSeqLen, c.seqE[s], &c.seqM[s * kSeqLen], out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
        if (++s == kSeqs) s = 0;
    }
    // One iteration is one sequence: report the time of one solve.
    state.counters["ns_per_solve"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kSeqLen,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SolverCSequence);

void BM_SolverAHyperbolic(benchmark::State& state) {
    const Cases& c = GetCases();
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(otk::mna2eca(c.hypM[i], c.hypE[i]));
        if (++i == kSamples) i = 0;
    }
}
BENCHMARK(BM_SolverAHyperbolic);

}  // namespace
