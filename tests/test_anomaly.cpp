// Anomaly conversions and the solvers of Kepler's equation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/tolerance.h"
#include "zaq/foundation.h"
#include "zaq/orbit.h"

namespace {

constexpr double kDeg = M_PI / 180.0;

// Runs f with ErrorLog on a scratch stream and returns what was written.
template <typename F>
std::string CaptureErrorLog(F f) {
    FILE* saved = ErrorLog;
    FILE* tmp = std::tmpfile();
    ErrorLog = tmp;
    f();
    ErrorLog = saved;
    std::string s;
    std::rewind(tmp);
    for (int c; (c = std::fgetc(tmp)) != EOF;) s += static_cast<char>(c);
    std::fclose(tmp);
    return s;
}

// Angle difference wrapped into (-pi, pi].
double AngleDiff(double a, double b) {
    return std::remainder(a - b, PI2);
}

// Position and velocity directions on the conic at eccentric anomaly E (perifocal frame,
// a = 1 for an ellipse, |a| = 1 for a hyperbola), straight from the parametric form.
void ConicState(double E, double e, VECTOR3* r, VECTOR3* v) {
    if (e < 1.0) {
        const double b = std::sqrt(1 - e * e);
        *r = {std::cos(E) - e, b * std::sin(E), 0};
        *v = {-std::sin(E), b * std::cos(E), 0};  // d/dE
    } else {
        const double b = std::sqrt(e * e - 1);
        *r = {e - std::cosh(E), b * std::sinh(E), 0};
        *v = {-std::sinh(E), b * std::cosh(E), 0};
    }
}

// Grid of eccentricities 0 .. 0.99 and anomalies over [0, 2pi).
std::vector<double> EllipticE() {
    std::vector<double> v;
    for (int i = 0; i <= 99; ++i) v.push_back(0.01 * i);
    return v;
}
constexpr int kAnomalies = 720;
double GridAngle(int k) {
    return PI2 * k / kAnomalies;
}

}  // namespace

// ---- Published cases -------------------------------------------------------------------

TEST(KeplerPublished, TextbookExamples) {
    // Vallado, Fundamentals of Astrodynamics and Applications, Example 2-1: M = 235.4 deg,
    // e = 0.4 gives E = 220.512074767522 deg.
    EXPECT_CLOSE(otk::mna2eca(235.4 * kDeg, 0.4) / kDeg, 220.512074767522, 5e-13, 0);
    // Example 2-2 (hyperbola): M = 235.4 deg taken as radians 4.1085..., e = 2.4 gives
    // H = 1.601376144 (printed to nine decimals).
    EXPECT_CLOSE(otk::mna2eca(235.4 * kDeg, 2.4), 1.601376144, 1e-9, 0);

    // Curtis, Orbital Mechanics for Engineering Students, Examples 3.1 and 3.2: perigee 9600 km,
    // apogee 21000 km. At 120 deg true anomaly E = 1.7281 rad and Me = 1.3601 rad; at
    // Me = 3.6029 rad, E = 3.4794 rad and the true anomaly is 193.2 deg.
    const double e = (21000.0 - 9600.0) / (21000.0 + 9600.0);
    EXPECT_CLOSE(otk::tra2eca(120 * kDeg, e), 1.7281, 5e-5, 0);
    EXPECT_CLOSE(otk::tra2mna(120 * kDeg, e), 1.3601, 5e-5, 0);
    EXPECT_CLOSE(otk::mna2eca(3.6029, e), 3.4794, 5e-5, 0);
    EXPECT_CLOSE(otk::mna2tra(3.6029, e) / kDeg, 193.2, 0.05, 0);

    // Curtis Example 3.5: perigee 6678 km at 15 km/s about the Earth (mu 398600 km^3/s^2).
    // At 100 deg true anomaly Mh = 11.279 rad; at Mh = 40.690 rad, F = 3.4631 rad and the
    // true anomaly is 107.78 deg.
    const double h = 6678.0 * 15.0, eh = h * h / (398600.0 * 6678.0) - 1.0;
    EXPECT_CLOSE(otk::tra2mna(100 * kDeg, eh), 11.279, 5e-4, 0);
    EXPECT_CLOSE(otk::mna2eca(40.690, eh), 3.4631, 5e-5, 0);
    EXPECT_CLOSE(otk::mna2tra(40.690, eh) / kDeg, 107.78, 5e-3, 0);
}

// ---- Round trips over the elliptic grid ----------------------------------------------------

TEST(KeplerRoundTrip, MeanEccentricMeanOnEllipses) {
    for (double e : EllipticE())
        for (int k = 0; k < kAnomalies; ++k) {
            const double M = GridAngle(k);
            const double E = otk::mna2eca(M, e);
            ASSERT_CLOSE(otk::eca2mna(E, e), M, 1e-12, 0) << "e=" << e << " M=" << M;
            // The solution follows M: it stays in the same half of the orbit.
            if (k != kAnomalies / 2) {
                ASSERT_EQ(E > M_PI, M > M_PI) << "e=" << e << " M=" << M;
            }
        }
}

TEST(KeplerRoundTrip, TrueEccentricTrueOnEllipses) {
    for (double e : EllipticE())
        for (int k = 0; k < kAnomalies; ++k) {
            const double nu = GridAngle(k);
            const double E = otk::tra2eca(nu, e);
            ASSERT_CLOSE(otk::eca2tra(E, e), nu, 1e-12, 0) << "e=" << e << " nu=" << nu;
            // Independent: the angle of the point (a cos E - ae, b sin E) seen from the focus.
            VECTOR3 r, v;
            ConicState(E, e, &r, &v);
            ASSERT_CLOSE(AngleDiff(std::atan2(r.y, r.x), nu), 0.0, 1e-12, 0);
        }
    // Close to periapsis the conversions keep their relative precision.
    for (double nu : {1e-9, 1e-6, 1e-3}) {
        const double E = otk::tra2eca(nu, 0.99);
        EXPECT_CLOSE(E, 2 * std::atan(std::sqrt(0.01 / 1.99) * std::tan(nu / 2)), 0, 1e-14);
        EXPECT_CLOSE(otk::eca2tra(E, 0.99), nu, 0, 1e-14);
        EXPECT_CLOSE(otk::mna2tra(otk::tra2mna(nu, 0.99), 0.99), nu, 0, 1e-9);
    }
}

TEST(KeplerRoundTrip, NormalAndFlightPathAnglesOnEllipses) {
    for (double e : EllipticE()) {
        if (e == 0.0) continue;
        for (int k = 0; k < kAnomalies; ++k) {
            const double E = GridAngle(k);
            VECTOR3 r, v;
            ConicState(E, e, &r, &v);
            // Flight-path angle from the state: sin g = r.v / (|r| |v|).
            const double g = otk::eca2fpa(E, e);
            ASSERT_CLOSE(g, std::asin(dotp(r, v) / (Length(r) * Length(v))), 1e-12, 0);
            // The normal anomaly is the true anomaly minus the flight-path angle.
            const double n = otk::eca2nra(E, e);
            ASSERT_CLOSE(AngleDiff(n, otk::eca2tra(E, e) - g), 0.0, 1e-12, 0);
            ASSERT_CLOSE(AngleDiff(otk::nra2eca(n, e), E), 0.0, 1e-11, 0) << e << " " << E;
            // fpa -> eca returns a point with the same angle: the first quarter for g >= 0,
            // its mirror image before periapsis for g < 0.
            const double Eg = otk::fpa2eca(g, e);
            ASSERT_CLOSE(otk::eca2fpa(Eg, e), g, 1e-12, 0) << e << " " << E;
            if (g >= 0) {
                ASSERT_LE(Eg, M_PI / 2 + 1e-12);
            } else {
                ASSERT_GE(Eg, 3 * M_PI / 2 - 1e-12);
            }
        }
    }
}

// ---- Hyperbolas ---------------------------------------------------------------------------

TEST(KeplerRoundTrip, Hyperbolas) {
    for (double e = 1.05; e <= 10.0; e += 0.15) {
        // Mean -> hyperbolic -> mean, both signs, small to large.
        for (double m = 1e-6; m < 60; m *= 1.7)
            for (double M : {m, -m}) {
                const double H = otk::mna2eca(M, e);
                ASSERT_CLOSE(otk::eca2mna(H, e), M, 1e-12, 1e-14) << "e=" << e << " M=" << M;
                ASSERT_EQ(H < 0, M < 0);
            }
        // True -> hyperbolic -> true inside the asymptotes (nu in [0, 2pi)).
        const double nuMax = std::acos(-1.0 / e);
        for (int k = 0; k < 200; ++k) {
            const double s = -0.99 + 1.98 * k / 199, nu = s >= 0 ? s * nuMax : PI2 + s * nuMax;
            const double H = otk::tra2eca(nu, e);
            ASSERT_CLOSE(AngleDiff(otk::eca2tra(H, e), nu), 0.0, 1e-12, 0) << e << " " << nu;
            VECTOR3 r, v;
            ConicState(H, e, &r, &v);
            ASSERT_CLOSE(AngleDiff(std::atan2(r.y, r.x), nu), 0.0, 1e-12, 0);
            const double g = otk::eca2fpa(H, e);
            ASSERT_CLOSE(g, std::asin(dotp(r, v) / (Length(r) * Length(v))), 1e-12, 0);
            ASSERT_CLOSE(otk::fpa2eca(g, e), H, 1e-10, 1e-12);
            const double n = otk::eca2nra(H, e);
            ASSERT_CLOSE(AngleDiff(n, nu - g), 0.0, 1e-12, 0);
            ASSERT_CLOSE(otk::nra2eca(n, e), H, 1e-10, 1e-12);
        }
    }
}

TEST(KeplerHyperbolic, BranchRulesAndLimits) {
    // e = 1 takes the hyperbolic solver (the first step from H = 0 is clamped), true -> eccentric
    // takes the elliptic formula and gives 0.
    const double H = otk::mna2eca(0.5, 1.0);
    EXPECT_CLOSE(std::sinh(H) - H, 0.5, 1e-13, 0);
    EXPECT_EQ(otk::tra2eca(1.0, 1.0), 0.0);
    // Before periapsis the hyperbolic anomaly is negative.
    EXPECT_LT(otk::tra2eca(1.5 * M_PI + 0.5, 1.5), 0.0);
    // Beyond the asymptotes there is no point: NaN, as for a flight-path angle of 90 deg or more.
    EXPECT_TRUE(std::isnan(otk::tra2eca(M_PI * 0.9, 1.5)));
    EXPECT_TRUE(std::isnan(otk::nra2eca(M_PI * 0.75, 3.0)));
    EXPECT_TRUE(std::isnan(otk::fpa2eca(2.0, 3.0)));
    // Each clamped step moves at most 1: after 22 steps a huge M leaves H at 22.
    EXPECT_EQ(otk::mna2eca(1e30, 2.0), 22.0);
}

// ---- Solver rules -------------------------------------------------------------------------

TEST(KeplerSolvers, ExactStartsAndSpecialEccentricities) {
    for (double M : {0.0, 0.3, 3.0, 5.5, 40.0}) EXPECT_EQ(otk::mna2eca(M, 0.0), M);
    for (double e : {0.1, 0.5, 0.9, 0.99}) EXPECT_CLOSE(otk::mna2eca(M_PI, e), M_PI, 1e-15, 0);
    // M is not reduced: the solution follows it into later revolutions.
    EXPECT_CLOSE(otk::mna2eca(1.0 + 3 * PI2, 0.7), otk::mna2eca(1.0, 0.7) + 3 * PI2, 1e-12, 0);
    for (double E : {-1.0, 0.5, 4.0}) {
        EXPECT_EQ(otk::eca2tra(E, 0.0), E);
        EXPECT_EQ(otk::eca2mna(E, 0.0), E);
        EXPECT_EQ(otk::tra2mna(E, 0.0), E);
        EXPECT_EQ(otk::eca2fpa(E, 0.0), 0.0);
        EXPECT_EQ(otk::fpa2eca(E, 0.0), 0.0);
    }
    const double e = 0.6;
    EXPECT_GT(otk::tra2eca(1.5 * M_PI, e), M_PI);
    EXPECT_LT(otk::tra2eca(1.5 * M_PI, e), PI2);
    // A flight-path angle above the ellipse's largest, asin(e), has no point.
    EXPECT_TRUE(std::isnan(otk::fpa2eca(std::asin(e) + 0.01, e)));
}

TEST(KeplerSolvers, RefinementFromAStartValue) {
    const double e = 0.8, M = 2.0;
    const double E = otk::mna2eca(M, e);
    // An exact start is returned as it is.
    EXPECT_EQ(otk::mna2eca(M, e, E), E);
    // A nearby start converges to the same root.
    EXPECT_CLOSE(otk::mna2eca(M, e, E + 0.05), E, 1e-12, 0);
    EXPECT_CLOSE(otk::eca2mna(otk::mna2eca(M, e, E - 0.2), e), M, 1e-12, 0);
    // A poor start (residual above 0.5) or a start that is not a number gives solver A's
    // result exactly; so does a hyperbola.
    EXPECT_EQ(otk::mna2eca(M, e, E + 2.0), E);
    EXPECT_EQ(otk::mna2eca(M, e, std::nan("")), E);
    EXPECT_EQ(otk::mna2eca(3.0, 1.5, 0.0), otk::mna2eca(3.0, 1.5));
}

TEST(KeplerSolvers, SequenceSolverAlongOrbits) {
    // Along orbits of several eccentricities, over many revolutions, the sequence solver
    // agrees with the single solver and satisfies Kepler's equation.
    const int n = 5000;
    std::vector<double> M(n), E(n);
    for (double e : {0.0, 0.3, 0.7, 0.95, 0.99}) {
        for (int k = 0; k < n; ++k) M[k] = 0.1 + k * PI2 / 997;
        otk::mna2eca(n, e, M.data(), E.data());
        for (int k = 0; k < n; ++k) {
            ASSERT_CLOSE(otk::eca2mna(E[k], e), M[k], 1e-12, 1e-15) << e << " " << k;
            // Both stop at a residual of 1e-14, which allows 1e-12 in E where 1 - e cos E = 0.01.
            ASSERT_CLOSE(E[k], otk::mna2eca(M[k], e), 3e-12, 0) << e << " " << k;
        }
    }
}

TEST(KeplerSolvers, SequenceSolverWritesOnlyWhatItMay) {
    const double M[3] = {0.5, 0.6, 0.7};
    double E[3] = {-1, -1, -1};
    std::string log = CaptureErrorLog([&] { otk::mna2eca(1, 0.5, M, E); });
    EXPECT_EQ(log, "");
    EXPECT_EQ(E[0], otk::mna2eca(0.5, 0.5));
    EXPECT_EQ(E[1], -1);
    // Nothing to solve, nothing written.
    log = CaptureErrorLog([&] { otk::mna2eca(0, 0.5, M, E); });
    EXPECT_EQ(log, "");
    EXPECT_EQ(E[1], -1);
    // A hyperbola: one error line, nothing written.
    for (double e : {1.0, 2.0}) {
        E[0] = -1;
        log = CaptureErrorLog([&] { otk::mna2eca(3, e, M, E); });
        EXPECT_NE(log.find("Func=otk::mna2eca(): \"Function doesn't support hyperbolic "
                           "orbits\""),
                  std::string::npos)
            << log;
        EXPECT_EQ(log.find("<br>"), log.rfind("<br>"));  // one line
        EXPECT_EQ(E[0], -1);
    }
}
