// Lambert solvers: published cases, exact circular transfers, a seeded set of random transfers
// flown with an independent Kepler propagator, multi-revolution pairs, warm starts, degenerate
// input, the Stumpff functions and the parabolic flight time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "tests/lambert_cases.h"
#include "tests/tolerance.h"
#include "tests/two_body.h"
#include "zaq/lambert.h"
#include "zaq/vector3.h"

namespace {

using otk::LambertSolver;
using zaq::test::FlyTwoBody;
using zaq::test::kMuEarth;
using zaq::test::LambertCase;
using zaq::test::RefStumpff;
using zaq::test::TwoBodyState;
typedef long double ld;

// ---- the solvers behind one call ----------------------------------------------------------------

constexpr LambertSolver kG = LambertSolver::G, kPN = LambertSolver::PN, kUB = LambertSolver::UB,
                        kUN = LambertSolver::UN;
int Ix(LambertSolver s) {
    return static_cast<int>(s);
}
const char* Name(LambertSolver s) {
    static const char* const names[] = {"LambertG", "LambertPN", "LambertUB", "LambertUN"};
    return names[Ix(s)];
}
// Relative flight-time tolerance of each solver's stopping test (Gauss's method stops on y).
double TimeTol(LambertSolver s) {
    static const double tol[] = {1e-12, 1e-9, 1e-6, 1e-6};
    return tol[Ix(s)];
}

// The solver a name selects gives through the dispatch exactly what the direct call gives, the
// short way and the long way (where Gauss's method refuses without writing).
TEST(LambertDispatch, NameSelectsTheSolver) {
    const VECTOR3 r1 = {7e6, 0, 0}, r2 = {5e6, 6e6, 1e6}, marker = {1, 2, 3};
    for (double dir : {1.0, -1.0}) {
        const double t = dir > 0 ? 1000 : 5000;
        double w[] = {1, 1, 1, 1};  // a stored value: LambertUN takes its Newton path
        VECTOR3 v[] = {marker, marker, marker, marker};
        const int direct[] = {dir < 0 ? otk::kLambertDegenerate
                                      : otk::LambertG(r1, r2, t, kMuEarth, &w[0], &v[0], nullptr),
                              otk::LambertPN(r1, r2, t, dir, kMuEarth, &w[1], &v[1], nullptr),
                              otk::LambertUB(r1, r2, t, dir, kMuEarth, &w[2], 0, &v[2], nullptr),
                              otk::LambertUN(r1, r2, t, dir, kMuEarth, &w[3], &v[3], nullptr)};
        const char* const names[] = {"g", "Pn", "UB", "un"};
        for (int i = 0; i < 4; ++i) {
            LambertSolver s{};
            ASSERT_TRUE(otk::ParseLambertSolver(names[i], &s)) << names[i];
            EXPECT_STRCASEEQ(otk::LambertSolverName(s), names[i]);
            double ws = 1;
            VECTOR3 vs = marker;
            EXPECT_EQ(otk::Lambert(s, r1, r2, t, dir, kMuEarth, &ws, &vs, nullptr), direct[i]);
            EXPECT_EQ(ws, w[i]) << names[i] << " dir " << dir;
            EXPECT_CLOSE(vs, v[i], 0, 0);
        }
    }
    LambertSolver s{};
    for (const char* bad : {"", "GG", "P", "LambertG", "U B"})
        EXPECT_FALSE(otk::ParseLambertSolver(bad, &s)) << bad;
}

// ---- published cases --------------------------------------------------------------------------

// Curtis, Orbital Mechanics for Engineering Students, Example 5.2 (mu = 398600 km^3/s^2).
TEST(LambertPublished, CurtisExample5_2) {
    const VECTOR3 r1 = {5000e3, 10000e3, 2100e3}, r2 = {-14600e3, 2500e3, 7000e3};
    const VECTOR3 v1 = {-5992.5, 1925.4, 3245.6}, v2 = {-3312.5, -4196.6, -385.29};
    for (LambertSolver s : {kG, kPN, kUB, kUN}) {
        SCOPED_TRACE(Name(s));
        VECTOR3 a1{}, a2{};
        double w = s == kUN ? 1 : 0;  // LambertUN: its Newton path
        const int n = otk::Lambert(s, r1, r2, 3600, 1, 3.986e14, &w, &a1, &a2);
        if (s == kG) {  // a 100-degree transfer is beyond Gauss's method
            EXPECT_EQ(n, otk::kLambertDegenerate);
            continue;
        }
        ASSERT_GT(n, 0);
        // Printed to 0.1 m/s in each component (0.01 m/s in v2.z).
        EXPECT_CLOSE(a1, v1, 0.09, 0);
        EXPECT_CLOSE(a2, v2, 0.09, 0);
    }
}

// Vallado, Fundamentals of Astrodynamics and Applications, Example 7-5, both ways. The short-way
// values are printed one unit of the last digit (1 mm/s) away from the exact solution of the
// printed inputs; the long-way values agree to all digits.
TEST(LambertPublished, ValladoExample7_5) {
    const VECTOR3 r1 = {15945.34e3, 0, 0}, r2 = {12214.83899e3, 10249.46731e3, 0};
    const double t = 76 * 60, mu = 3.986004418e14;
    const VECTOR3 v1[] = {{2058.913, 2915.965, 0}, {-3811.158, -2003.854, 0}};
    const VECTOR3 v2[] = {{-3451.565, 910.315, 0}, {4207.569, 914.724, 0}};
    for (LambertSolver s : {kPN, kUB, kUN}) {
        for (int way = 0; way < 2; ++way) {
            SCOPED_TRACE(std::string(Name(s)) + (way ? " long way" : " short way"));
            VECTOR3 a1{}, a2{};
            double w = s == kUN ? 1 : 0;  // LambertUN: its Newton path
            ASSERT_GT(otk::Lambert(s, r1, r2, t, way ? -1 : 1, mu, &w, &a1, &a2), 0);
            // The universal-variable solvers stop at a flight-time error of 1e-6, worth a few
            // mm/s here.
            const double tol = s == kPN ? 0.0015 : 0.015;
            EXPECT_CLOSE(a1, v1[way], tol, 0);
            EXPECT_CLOSE(a2, v2[way], tol, 0);
        }
    }
    // Gauss's substitution contracts by a factor of about 0.58 per pass on this 40-degree arc:
    // after its 32 passes y still moves by 1e-8, short of the 1e-13 stopping test, so the count
    // comes back negated, with the last iterate written.
    VECTOR3 a1{}, a2{};
    double y = 0;
    EXPECT_EQ(otk::LambertG(r1, r2, t, mu, &y, &a1, &a2), -32);
    EXPECT_CLOSE(a1, v1[0], 0.0015, 0);
    EXPECT_CLOSE(a2, v2[0], 0.0015, 0);
}

// Arcs of a circular orbit, anticlockwise: 30 and 90 degrees the short way, 270 degrees the long
// way (its angular momentum opposite to r1 x r2). Gauss's method only converges on the shortest.
TEST(LambertExact, CircularArcs) {
    const double R = 7e6, v = std::sqrt(kMuEarth / R), period = PI2 * R / v;
    const VECTOR3 r1 = {R, 0, 0}, e1 = {0, v, 0};
    for (double deg : {30.0, 90.0, 270.0}) {
        const double th = deg * M_PI / 180, dir = deg < 180 ? 1 : -1, t = period * deg / 360;
        const VECTOR3 r2 = {R * std::cos(th), R * std::sin(th), 0};
        const VECTOR3 e2 = {-v * std::sin(th), v * std::cos(th), 0};
        for (LambertSolver s : {kG, kPN, kUB, kUN}) {
            if (s == kG && deg > 45) continue;
            SCOPED_TRACE(std::string(Name(s)) + " " + std::to_string(deg));
            VECTOR3 a1{}, a2{};
            double w = s == kUN ? 1 : 0;  // LambertUN with a stored value: its Newton path
            ASSERT_GT(otk::Lambert(s, r1, r2, t, dir, kMuEarth, &w, &a1, &a2), 0);
            const double tol = 2 * TimeTol(s) * v + 1e-7 * v;
            EXPECT_CLOSE(a1, e1, tol, 0);
            EXPECT_CLOSE(a2, e2, tol, 0);
        }
    }
}

// ---- the seeded random set --------------------------------------------------------------------

constexpr int kRandomCases = 10000;

struct Tally {
    int applicable = 0, converged = 0, wrong = 0;
    double worstRel = 0;  // largest |r(t) - r2| / |r2| of a converged case
    double worstTol = 0;  // the same error over the tolerance its stopping test implies
};

// Each solver's departure velocity, flown for t with the reference propagator, reaches r2 within
// the error that its stopping test allows: a flight-time error dt moves the arrival by |v2| dt
// and the arrival velocity by mu/r2^2 dt. Successes outside that are wrong arcs.
TEST(LambertRandom, DepartureVelocityReachesTarget) {
    const std::vector<LambertCase> cases = zaq::test::MakeLambertCases(kRandomCases, 20240607);
    Tally tally[4];
    int hyperbolic = 0;
    for (const LambertCase& k : cases) {
        hyperbolic += k.Hyperbolic();
        for (LambertSolver s : {kG, kPN, kUB, kUN}) {
            if (s == kG && k.dir < 0) continue;
            Tally& y = tally[Ix(s)];
            ++y.applicable;
            VECTOR3 v1{}, v2{};
            double w = s == kUN ? 1 : 0;  // LambertUN with a stored value: Newton when elliptic
            const int n = otk::Lambert(s, k.r1, k.r2, k.t, k.dir, k.mu, &w, &v1, &v2);
            if (n <= 0) {
                // The universal-variable bracket ends at z = -4pi^2 (a hyperbolic anomaly change
                // of 2pi): only fast hyperbolic transfers the long way lie beyond it.
                if (s == kUB || s == kUN) {
                    EXPECT_TRUE(k.Hyperbolic() && k.dir < 0) << Name(s) << " t=" << k.t;
                    EXPECT_NEAR(w, -39.47841760435743, 1e-9) << Name(s);
                }
                continue;
            }
            ++y.converged;
            const TwoBodyState end = FlyTwoBody(k.r1, v1, k.t, k.mu);
            const double r2 = Length(k.r2), dt = 2 * TimeTol(s) * k.t;
            const double tolR = 1e-7 * r2 + dt * Length(end.v);
            const double tolV = 1e-7 * Length(end.v) + dt * k.mu / (r2 * r2);
            const double err = Length(end.r - k.r2), errV = Length(end.v - v2);
            y.worstRel = std::max(y.worstRel, err / r2);
            y.worstTol = std::max(y.worstTol, std::max(err / tolR, errV / tolV));
            if (err > tolR || errV > tolV) {
                if (++y.wrong <= 3)
                    ADD_FAILURE() << Name(s) << " success with a wrong arc: t=" << k.t
                                  << " dir=" << k.dir << " |dr|=" << err << " tol=" << tolR
                                  << " |dv2|=" << errV << " tol=" << tolV;
            }
        }
    }
    std::cout << "random set: " << cases.size() << " cases, " << hyperbolic << " hyperbolic\n";
    for (LambertSolver s : {kG, kPN, kUB, kUN}) {
        const Tally& y = tally[Ix(s)];
        const double share = 100.0 * y.converged / y.applicable;
        char line[200];
        std::snprintf(line, sizeof line,
                      "%-9s converged %5d/%5d (%6.2f %%), worst |dr|/|r2| %.2e, worst "
                      "error/tolerance %.3f, wrong arcs %d",
                      Name(s), y.converged, y.applicable, share, y.worstRel, y.worstTol, y.wrong);
        std::cout << line << "\n";
        ::testing::Test::RecordProperty(std::string(Name(s)) + "_converged_percent",
                                        std::to_string(share));
        ::testing::Test::RecordProperty(std::string(Name(s)) + "_worst_dr_over_r2",
                                        std::to_string(y.worstRel));
        EXPECT_EQ(y.wrong, 0) << Name(s);
    }
    // The p-iteration solves every case; Gauss's method only short arcs flown in about the
    // minimum-energy time or less.
    EXPECT_EQ(tally[Ix(kPN)].converged, tally[Ix(kPN)].applicable);
    EXPECT_GT(tally[Ix(kG)].converged, tally[Ix(kG)].applicable / 20);
}

// ---- refinement ---------------------------------------------------------------------------------

// Every solver's successes on the random set, refined, agree with a long-double solution to
// 1e-12 of the speeds; unrefined, those that stop on the flight time (all but Gauss's) are off
// by far more.
TEST(LambertRefine, TakesEverySolverToDoublePrecision) {
    const std::vector<LambertCase> cases = zaq::test::MakeLambertCases(2000, 20240607);
    for (LambertSolver s : {kG, kPN, kUB, kUN}) {
        double worst[2] = {0, 0};  // before, after
        int refined = 0;
        for (const LambertCase& k : cases) {
            VECTOR3 v1{}, v2{}, e1{}, e2{};
            double w = 0;
            if (otk::Lambert(s, k.r1, k.r2, k.t, k.dir, k.mu, &w, &v1, &v2) <= 0) continue;
            ASSERT_TRUE(zaq::test::RefLambert(k.r1, k.r2, k.t, k.dir, k.mu, &e1, &e2));
            auto error = [&] {
                return std::max(Length(v1 - e1) / Length(e1), Length(v2 - e2) / Length(e2));
            };
            worst[0] = std::max(worst[0], error());
            ASSERT_GT(otk::LambertRefine(k.r1, k.r2, k.t, k.dir, k.mu, &v1, &v2), 0) << Name(s);
            worst[1] = std::max(worst[1], error());
            refined++;
        }
        std::cout << Name(s) << ": " << refined << " refined, worst relative velocity error "
                  << worst[0] << " -> " << worst[1] << "\n";
        EXPECT_TRUE(s == kG || worst[0] > 1e-10) << Name(s) << " " << worst[0];
        EXPECT_LT(worst[1], 1e-12) << Name(s);
    }
    VECTOR3 v{7e3, 0, 0};
    EXPECT_EQ(otk::LambertRefine({7e6, 0, 0}, {0, 7e6, 0}, 900, 1, kMuEarth, &v, nullptr),
              otk::kLambertDegenerate);
    EXPECT_EQ(v.x, 7e3);
}

// ---- whole revolutions --------------------------------------------------------------------------

// Lagrange's flight time on the ellipses through the two ends with N whole revolutions, along
// u in (-1, 1): a = a_m / (1 - u^2); u < 0 the ellipse whose arc sweeps the smaller eccentric-
// anomaly change, u > 0 the other. Also the semi-latus rectum of the ellipse at u.
struct LagrangeN {
    double r1, r2, c, s, am, mu, sinDnu, cosDnu;
    bool longWay;
    int N;
    LagrangeN(const LambertCase& k, int nRev) : mu(k.mu), longWay(k.dir < 0), N(nRev) {
        r1 = Length(k.r1), r2 = Length(k.r2);
        cosDnu = dotp(k.r1, k.r2) / (r1 * r2);
        sinDnu = Length(CrossProduct(k.r1, k.r2)) / (r1 * r2) * k.dir;
        c = Length(k.r2 - k.r1), s = 0.5 * (r1 + r2 + c), am = 0.5 * s;
    }
    void Angles(double u, double* a, double* al, double* be) const {
        *a = am / (1 - u * u);
        *al = 2 * std::asin(std::sqrt(s / (2 * *a)));
        *be = 2 * std::asin(std::sqrt((s - c) / (2 * *a)));
        if (longWay) *be = -*be;
        if (u > 0) *al = PI2 - *al;
    }
    double Time(double u) const {
        double a, al, be;
        Angles(u, &a, &al, &be);
        return std::sqrt(a * a * a / mu) * (PI2 * N + al - be - std::sin(al) + std::sin(be));
    }
    VECTOR3 Departure(double u, const VECTOR3& R1, const VECTOR3& R2) const {
        double a, al, be;
        Angles(u, &a, &al, &be);
        const double h = std::sin(0.5 * (al + be));
        const double p = 4 * a * (s - r1) * (s - r2) / (c * c) * h * h;
        const double f = 1 - r2 / p * (1 - cosDnu), g = r1 * r2 * sinDnu / std::sqrt(mu * p);
        return (R2 - f * R1) / g;
    }
};

// The N-revolution transfers of a seeded set, both solutions of each pair found on Lagrange's
// equation and checked with the propagator. LambertUB returns the lower-z one, which is the one
// with the larger semi-major axis; below the least N-revolution flight time it reports failure.
TEST(LambertMultiRev, LongPeriodSolutionOfEachPair) {
    const std::vector<LambertCase> base = zaq::test::MakeLambertCases(200, 77);
    zaq::test::CaseRandom rnd(78);
    const int grid = 2000;
    for (size_t i = 0; i < base.size(); ++i) {
        LambertCase k = base[i];
        const int N = 1 + i % 3;
        const LagrangeN lag(k, N);
        // The least flight time on the grid, then a flight time 5 % to 3 times above it.
        double tMin = INFINITY, uMin = 0;
        for (int j = 1; j < grid; ++j) {
            const double u = -1 + 2.0 * j / grid, tu = lag.Time(u);
            if (tu < tMin) tMin = tu, uMin = u;
        }
        SCOPED_TRACE("case " + std::to_string(i) + " N=" + std::to_string(N));
        k.t = tMin * rnd.LogUniform(1.05, 3);
        // One root on each side of the minimum, by bisection on u.
        double roots[2];
        for (int side = 0; side < 2; ++side) {
            double lo = side ? uMin : -1 + 1e-15, hi = side ? 1 - 1e-15 : uMin;
            for (int it = 0; it < 200; ++it) {
                const double mid = 0.5 * (lo + hi);
                ((lag.Time(mid) > k.t) == (side == 0) ? lo : hi) = mid;
            }
            roots[side] = 0.5 * (lo + hi);
        }
        VECTOR3 pair[2];
        double aPair[2];
        for (int side = 0; side < 2; ++side) {
            pair[side] = lag.Departure(roots[side], k.r1, k.r2);
            aPair[side] = lag.am / (1 - roots[side] * roots[side]);
            const TwoBodyState end = FlyTwoBody(k.r1, pair[side], k.t, k.mu);
            ASSERT_CLOSE(end.r, k.r2, 1e-7 * Length(k.r2), 0) << "pair member " << side;
        }
        EXPECT_GT(aPair[0], aPair[1]);

        VECTOR3 v1{}, v2{};
        double z = 0;
        const int n = otk::LambertUB(k.r1, k.r2, k.t, k.dir, k.mu, &z, N, &v1, &v2);
        ASSERT_GT(n, 0);
        EXPECT_GT(z, std::pow(PI2 * N, 2));
        EXPECT_LT(z, std::pow(PI2 * (N + 1), 2));
        const double tolV = 2e-6 * k.t * k.mu / (Length(k.r1) * Length(k.r2)) + 1e-7 * Length(v1);
        EXPECT_CLOSE(v1, pair[0], tolV, 0);
        EXPECT_FALSE(zaq::test::Near(v1, pair[1], tolV, 0));

        // Below the least flight time there is no N-revolution transfer.
        EXPECT_LT(otk::LambertUB(k.r1, k.r2, 0.95 * tMin, k.dir, k.mu, &z, N, &v1, &v2), 0);
    }
}

// ---- warm starts ----------------------------------------------------------------------------

// A second call with the value the first stored takes fewer passes, and so does a call on a
// neighbouring case (flight time 0.1 % longer) that starts from it.
TEST(LambertWarmStart, StoredValueSavesPasses) {
    const double R = 7e6, period = PI2 * std::sqrt(R * R * R / kMuEarth);
    const VECTOR3 r1 = {R, 0, 0}, r2 = {1.4 * R * std::cos(0.5), 1.4 * R * std::sin(0.5), 0.1 * R};
    for (LambertSolver s : {kG, kPN, kUN}) {
        for (double dir : {1.0, -1.0}) {
            if (s == kG && dir < 0) continue;
            SCOPED_TRACE(std::string(Name(s)) + (dir > 0 ? " short way" : " long way"));
            const double t = period * (dir > 0 ? 0.15 : 0.9);
            double w = 0;
            const int cold = otk::Lambert(s, r1, r2, t, dir, kMuEarth, &w, nullptr, nullptr);
            ASSERT_GT(cold, 1);
            const double stored = w;
            const int again = otk::Lambert(s, r1, r2, t, dir, kMuEarth, &w, nullptr, nullptr);
            EXPECT_GT(again, 0);
            EXPECT_LT(again, cold);
            w = stored;
            const int next =
                otk::Lambert(s, r1, r2, 1.001 * t, dir, kMuEarth, &w, nullptr, nullptr);
            EXPECT_GT(next, 0);
            EXPECT_LT(next, cold);
        }
    }
}

// LambertUN's Newton iteration starts from a stored elliptic z: the solution itself takes one
// pass, a neighbouring case a few, both fewer than the start at 2pi that any other stored value
// (here one beyond 4pi^2) gives; all three arcs agree.
TEST(LambertWarmStart, UniversalNewtonStartsFromTheStoredZ) {
    const double R = 7e6, period = PI2 * std::sqrt(R * R * R / kMuEarth);
    const VECTOR3 r1 = {R, 0, 0}, r2 = {1.4 * R * std::cos(2.0), 1.4 * R * std::sin(2.0), 0.1 * R};
    for (double dir : {1.0, -1.0}) {
        SCOPED_TRACE(dir);
        const double t = period * (dir > 0 ? 0.4 : 0.9);
        double z = 1e9;  // not an elliptic z: Newton from 2pi
        VECTOR3 vFar{}, vNear{}, vExact{};
        const int far = otk::LambertUN(r1, r2, t, dir, kMuEarth, &z, &vFar, nullptr);
        ASSERT_GT(far, 2);
        const double solution = z;
        EXPECT_EQ(otk::LambertUN(r1, r2, t, dir, kMuEarth, &z, &vExact, nullptr), 1);
        EXPECT_EQ(z, solution);
        double zNear = solution;
        const int near = otk::LambertUN(r1, r2, 1.001 * t, dir, kMuEarth, &zNear, &vNear, nullptr);
        EXPECT_GT(near, 0);
        EXPECT_LT(near, far);
        EXPECT_TRUE(zaq::test::Near(vExact, vFar, 0, 1e-5));
        EXPECT_FALSE(zaq::test::Near(vNear, vFar, 0, 1e-7));  // a different case
    }
}

// ---- degenerate input and the direction argument -----------------------------------------------

TEST(LambertDegenerate, ReportedWithoutWriting) {
    const VECTOR3 r1 = {7e6, 0, 0}, opposite = {-8e6, 0, 0}, same = {9e6, 0, 0};
    const VECTOR3 r2 = {0, 8e6, 0}, zero = {0, 0, 0};
    const VECTOR3 marker = {1, 2, 3};
    struct Bad {
        VECTOR3 a, b;
        double t, dir, mu;
    } bad[] = {
        {r1, opposite, 3000, 1, kMuEarth},  // collinear, opposite: the plane is undefined
        {r1, same, 3000, 1, kMuEarth},      // zero transfer angle
        {zero, r2, 3000, 1, kMuEarth},      // zero radius
        {r1, r2, 0, 1, kMuEarth},           // zero flight time
        {r1, r2, -5, 1, kMuEarth},          // negative flight time
        {r1, r2, 3000, 1, 0},               // no gravity
        {r1, r2, NAN, 1, kMuEarth},
    };
    for (LambertSolver s : {kG, kPN, kUB, kUN}) {
        for (const Bad& b : bad) {
            SCOPED_TRACE(std::string(Name(s)) + " t=" + std::to_string(b.t));
            VECTOR3 v1 = marker, v2 = marker;
            double w = 42;
            EXPECT_EQ(otk::Lambert(s, b.a, b.b, b.t, b.dir, b.mu, &w, &v1, &v2),
                      otk::kLambertDegenerate);
            EXPECT_EQ(w, 42);
            EXPECT_EQ(v1.x, marker.x);
            EXPECT_EQ(v2.z, marker.z);
        }
    }
    // The universal-variable solvers take the sense from the sign of dir alone; dir = 0 has none.
    double z = 0;
    EXPECT_EQ(otk::LambertUB(r1, r2, 3000, 0, kMuEarth, &z, 0, nullptr, nullptr),
              otk::kLambertDegenerate);
    EXPECT_EQ(otk::LambertUN(r1, r2, 3000, 0, kMuEarth, &z, nullptr, nullptr),
              otk::kLambertDegenerate);
    EXPECT_EQ(otk::LambertUB(r1, r2, 3000, 1, kMuEarth, &z, -1, nullptr, nullptr),
              otk::kLambertDegenerate);
    for (double dir : {1.0, -1.0}) {
        VECTOR3 unitDir{}, scaled{};
        ASSERT_GT(otk::LambertUB(r1, r2, 3000, dir, kMuEarth, &z, 0, &unitDir, nullptr), 0);
        ASSERT_GT(otk::LambertUB(r1, r2, 3000, 2.5 * dir, kMuEarth, &z, 0, &scaled, nullptr), 0);
        EXPECT_CLOSE(scaled, unitDir, 0, 1e-15);
    }
    // Without a start value LambertUN is the bisection.
    VECTOR3 un{}, ub{};
    double zn = 0, zb = 0;
    EXPECT_EQ(otk::LambertUN(r1, r2, 3000, -1, kMuEarth, nullptr, &un, nullptr),
              otk::LambertUB(r1, r2, 3000, -1, kMuEarth, &zb, 0, &ub, nullptr));
    EXPECT_CLOSE(un, ub, 0, 0);
    EXPECT_GT(otk::LambertUN(r1, r2, 3000, -1, kMuEarth, &zn, nullptr, nullptr), 0);
    EXPECT_EQ(zn, zb);
}

// ---- Stumpff functions and the parabolic flight time --------------------------------------------

// Against the long-double reference over the whole range, across the points where the
// evaluation changes form, and exactly at z = 0.
TEST(LambertStumpff, MatchReference) {
    double C, S, dC, dS;
    otk::CompCS(&C, &S, 0);
    EXPECT_EQ(C, 0.5);
    EXPECT_EQ(S, 1.0 / 6);
    const double zs[] = {1e-12, 1e-9,   2e-9, 1e-8, 1.1e-8, 1e-6,  1e-4, 0.01, 0.5,  0.999999,
                         1,     1.0001, 3,    10,   30,     39.47, 50,   150,  1000, 3000};
    for (double mag : zs) {
        for (double z : {mag, -mag}) {
            if (z < -300) continue;  // cosh beyond what the solvers use
            SCOPED_TRACE("z = " + std::to_string(z));
            ld rc, rs, rdc, rds;
            RefStumpff(z, &rc, &rs, &rdc, &rds);
            otk::Comp_dCdS(&dC, &dS, &C, &S, z);
            EXPECT_CLOSE(C, (double)rc, 1e-15 * std::fabs((double)rs), 1e-14);
            EXPECT_CLOSE(S, (double)rs, 1e-15 * std::fabs((double)rs), 1e-14);
            EXPECT_CLOSE(dC, (double)rdc, 1e-16, 1e-12);
            EXPECT_CLOSE(dS, (double)rds, 1e-16, 1e-12);
            double c2, s2;
            otk::CompCS(&c2, &s2, z);
            EXPECT_EQ(c2, C);
            EXPECT_EQ(s2, S);
        }
    }
}

// Barker's equation on parabolas through known true anomalies: t(nu) = sqrt(p^3/mu)/2 (D + D^3/3)
// from periapsis, D = tan(nu/2).
TEST(LambertParabola, FlightTimeMatchesBarker) {
    const double p = 9e6, mu = kMuEarth;
    auto tp = [&](double nu) {
        const double D = std::tan(nu / 2);
        return 0.5 * std::sqrt(p * p * p / mu) * (D + D * D * D / 3);
    };
    auto radius = [&](double nu) { return p / (1 + std::cos(nu)); };
    const double deg = M_PI / 180;
    const double arcs[][2] = {{-60, 30}, {20, 120}, {-100, 150}, {-150, 100}, {-170, 170}, {5, 9}};
    for (const auto& arc : arcs) {
        const double n1 = arc[0] * deg, n2 = arc[1] * deg;
        SCOPED_TRACE(std::to_string(arc[0]) + " to " + std::to_string(arc[1]));
        EXPECT_CLOSE(ParabolicFlightTime(radius(n1), radius(n2), n2 - n1, mu), tp(n2) - tp(n1), 0,
                     1e-12);
    }
    // The long way round is the longer flight.
    EXPECT_GT(ParabolicFlightTime(7e6, 9e6, 200 * deg, mu),
              ParabolicFlightTime(7e6, 9e6, 160 * deg, mu));
}

}  // namespace
