// A seeded set of Lambert problems shared by the Lambert tests and benchmark: transfers about the
// Earth at LEO-to-GEO distances and about the Sun at interplanetary distances, transfer angles of
// 5-175 degrees (the short way) and 185-355 degrees (the long way), flight times from a tenth to
// three times the minimum-energy time.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "zaq/constants.h"
#include "zaq/vector3.h"

namespace zaq::test {

constexpr double kMuEarth = 3.986004418e14;  // m^3/s^2
constexpr double kMuSun = 1.32712440018e20;  // m^3/s^2

struct LambertCase {
    VECTOR3 r1, r2;
    double t;    // flight time, s
    double dir;  // +1 the short way, -1 the long way
    double mu;
    double tMinEnergy;  // flight time of the minimum-energy transfer
    double tParabolic;  // flight time of the parabolic transfer
    bool Hyperbolic() const { return t < tParabolic; }
};

/// Deterministic generator (splitmix64), the same sequence on every platform.
class CaseRandom {
public:
    explicit CaseRandom(uint64_t seed) : s_(seed) {}
    /// Uniform in [0, 1).
    double Uniform() {
        uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return (z >> 11) * 0x1.0p-53;
    }
    double Uniform(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
    double LogUniform(double lo, double hi) {
        return std::exp(Uniform(std::log(lo), std::log(hi)));
    }

private:
    uint64_t s_;
};

/// Lagrange's minimum-energy flight time and Euler's parabolic flight time between radii r1, r2
/// over the transfer angle dnu (above pi the long way).
inline void ReferenceTimes(double r1, double r2, double dnu, double mu, double* tMin,
                           double* tPar) {
    const double c = std::sqrt(r1 * r1 + r2 * r2 - 2 * r1 * r2 * std::cos(dnu));
    const double s = 0.5 * (r1 + r2 + c);
    const double beta = 2 * std::asin(std::sqrt((s - c) / s));
    const double am = 0.5 * s;
    const double sign = dnu > M_PI ? -1.0 : 1.0;
    *tMin = std::sqrt(am * am * am / mu) * (M_PI - sign * (beta - std::sin(beta)));
    *tPar = std::sqrt(2 / mu) / 3 * (std::pow(s, 1.5) - sign * std::pow(s - c, 1.5));
}

/// n cases from the seed; half about the Earth, half about the Sun.
inline std::vector<LambertCase> MakeLambertCases(int n, uint64_t seed) {
    CaseRandom rnd(seed);
    std::vector<LambertCase> cases;
    cases.reserve(n);
    for (int i = 0; i < n; ++i) {
        const bool sun = i % 2 == 1;
        const double mu = sun ? kMuSun : kMuEarth;
        const double rLo = sun ? 0.4 * kAU : 6.6e6, rHi = sun ? 5.2 * kAU : 4.3e7;
        const double r1 = rnd.LogUniform(rLo, rHi), r2 = rnd.LogUniform(rLo, rHi);
        const bool longWay = rnd.Uniform() < 0.5;
        const double deg = M_PI / 180;
        const double dnu =
            longWay ? rnd.Uniform(185 * deg, 355 * deg) : rnd.Uniform(5 * deg, 175 * deg);
        // A random plane: e1 uniform on the sphere, e2 a random unit vector normal to it. The
        // motion runs from e1 toward e2, so the long way puts r2 at -(2pi - dnu) from r1.
        const double cz = rnd.Uniform(-1, 1), ph = rnd.Uniform(0, PI2);
        const double sz = std::sqrt(1 - cz * cz);
        const VECTOR3 e1 = {sz * std::cos(ph), sz * std::sin(ph), cz};
        VECTOR3 q = {rnd.Uniform(-1, 1), rnd.Uniform(-1, 1), rnd.Uniform(-1, 1)};
        q = q - dotp(q, e1) * e1;
        const VECTOR3 e2 = unit(q);
        LambertCase k;
        k.r1 = r1 * e1;
        k.r2 = r2 * (std::cos(dnu) * e1 + std::sin(dnu) * e2);
        k.dir = longWay ? -1 : 1;
        k.mu = mu;
        ReferenceTimes(r1, r2, dnu, mu, &k.tMinEnergy, &k.tParabolic);
        k.t = k.tMinEnergy * rnd.LogUniform(0.1, 3.0);
        cases.push_back(k);
    }
    return cases;
}

/// A porkchop-like sweep: from each of nBase seeded cases, nStep cases whose flight time grows
/// by 0.1 % from one to the next.
inline std::vector<LambertCase> MakeLambertSweep(int nBase, int nStep, uint64_t seed) {
    std::vector<LambertCase> sweep;
    sweep.reserve(static_cast<size_t>(nBase) * nStep);
    for (const LambertCase& base : MakeLambertCases(nBase, seed)) {
        LambertCase k = base;
        for (int j = 0; j < nStep; ++j, k.t *= 1.001) sweep.push_back(k);
    }
    return sweep;
}

}  // namespace zaq::test
