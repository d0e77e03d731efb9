// Anomaly conversions and the solvers of Kepler's equation.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/tolerance.h"
#include "zaq/constants.h"
#include "zaq/foundation.h"
#include "zaq/orbit.h"

using zaq::kRadPerDeg;

namespace {

// Runs f with ErrorLog on a scratch stream and returns what was written.
template <typename F>
std::string CaptureErrorLog(F f) {
    FILE *saved = ErrorLog, *tmp = std::tmpfile();
    ErrorLog = tmp;
    f();
    ErrorLog = saved;
    std::string s;
    std::rewind(tmp);
    for (int c; (c = std::fgetc(tmp)) != EOF;) s += static_cast<char>(c);
    std::fclose(tmp);
    return s;
}

double AngleDiff(double a, double b) {
    return std::remainder(a - b, PI2);
}

// Position and d/dE of the position on the conic with |a| = 1 at eccentric (hyperbolic)
// anomaly E, perifocal frame, straight from the parametric form.
void ConicState(double E, double e, VECTOR3* r, VECTOR3* v) {
    if (e < 1.0) {
        const double b = std::sqrt(1 - e * e);
        *r = {std::cos(E) - e, b * std::sin(E), 0};
        *v = {-std::sin(E), b * std::cos(E), 0};
    } else {
        const double b = std::sqrt(e * e - 1);
        *r = {e - std::cosh(E), b * std::sinh(E), 0};
        *v = {-std::sinh(E), b * std::cosh(E), 0};
    }
}

// True anomaly and flight-path angle of that point, from the vectors.
double TrueAnomaly(const VECTOR3& r) {
    return std::atan2(r.y, r.x);
}
double FlightPath(const VECTOR3& r, const VECTOR3& v) {
    return std::asin(dotp(r, v) / (Length(r) * Length(v)));
}

}  // namespace

TEST(Kepler, PublishedExamples) {
    // Vallado, Fundamentals of Astrodynamics and Applications, Example 2-1: M = 235.4 deg,
    // e = 0.4 gives E = 220.512074767522 deg; Example 2-2: the same M (in radians) with e = 2.4
    // gives H = 1.601376144.
    EXPECT_CLOSE(otk::mna2eca(235.4 * kRadPerDeg, 0.4) / kRadPerDeg, 220.512074767522, 5e-13, 0);
    EXPECT_CLOSE(otk::mna2eca(235.4 * kRadPerDeg, 2.4), 1.601376144, 1e-9, 0);
    // Curtis, Orbital Mechanics for Engineering Students, Examples 3.1 and 3.2: perigee 9600 km,
    // apogee 21000 km. At 120 deg E = 1.7281 rad and Me = 1.3601 rad; Me = 3.6029 rad gives
    // E = 3.4794 rad and 193.2 deg.
    const double e = (21000.0 - 9600.0) / (21000.0 + 9600.0);
    EXPECT_CLOSE(otk::tra2eca(120 * kRadPerDeg, e), 1.7281, 5e-5, 0);
    EXPECT_CLOSE(otk::tra2mna(120 * kRadPerDeg, e), 1.3601, 5e-5, 0);
    EXPECT_CLOSE(otk::mna2eca(3.6029, e), 3.4794, 5e-5, 0);
    EXPECT_CLOSE(otk::mna2tra(3.6029, e) / kRadPerDeg, 193.2, 0.05, 0);
    // Curtis Example 3.5: perigee 6678 km at 15 km/s (mu 398600 km^3/s^2). At 100 deg
    // Mh = 11.279 rad; Mh = 40.690 rad gives F = 3.4631 rad and 107.78 deg.
    const double h = 6678.0 * 15.0, eh = h * h / (398600.0 * 6678.0) - 1.0;
    EXPECT_CLOSE(otk::tra2mna(100 * kRadPerDeg, eh), 11.279, 5e-4, 0);
    EXPECT_CLOSE(otk::mna2eca(40.690, eh), 3.4631, 5e-5, 0);
    EXPECT_CLOSE(otk::mna2tra(40.690, eh) / kRadPerDeg, 107.78, 5e-3, 0);
}

TEST(Kepler, EllipticGridRoundTripsAndGeometry) {
    for (int i = 0; i <= 99; ++i) {
        const double e = 0.01 * i;
        for (int k = 0; k < 720; ++k) {
            const double x = PI2 * k / 720;
            // Mean -> eccentric -> mean; the solution stays in the half of the orbit of M.
            const double E = otk::mna2eca(x, e);
            ASSERT_CLOSE(otk::eca2mna(E, e), x, 1e-12, 0) << e << " " << x;
            if (k != 360) {
                ASSERT_EQ(E > M_PI, x > M_PI) << e << " " << x;
            }
            // True -> eccentric -> true, and the true anomaly of the point at E.
            ASSERT_CLOSE(otk::eca2tra(otk::tra2eca(x, e), e), x, 1e-12, 0) << e << " " << x;
            VECTOR3 r, v;
            ConicState(x, e, &r, &v);
            ASSERT_CLOSE(AngleDiff(otk::eca2tra(x, e), TrueAnomaly(r)), 0, 1e-12, 0);
            if (e == 0) continue;
            // Flight-path angle of the point; normal anomaly = true anomaly - flight-path angle.
            const double g = otk::eca2fpa(x, e), n = otk::eca2nra(x, e);
            ASSERT_CLOSE(g, FlightPath(r, v), 1e-12, 0) << e << " " << x;
            ASSERT_CLOSE(AngleDiff(n, TrueAnomaly(r) - g), 0, 1e-12, 0) << e << " " << x;
            ASSERT_CLOSE(AngleDiff(otk::nra2eca(n, e), x), 0, 1e-11, 0) << e << " " << x;
            // A flight-path angle maps to the first quarter, or for g < 0 to its mirror image
            // before periapsis, with the same angle.
            const double Eg = otk::fpa2eca(g, e);
            ASSERT_CLOSE(otk::eca2fpa(Eg, e), g, 1e-12, 0) << e << " " << x;
            ASSERT_TRUE(g >= 0 ? Eg <= M_PI / 2 + 1e-12 : Eg >= 1.5 * M_PI - 1e-12);
        }
    }
    // Near periapsis the conversions keep their relative precision.
    for (double nu : {1e-9, 1e-6, 1e-3}) {
        const double E = otk::tra2eca(nu, 0.99);
        EXPECT_CLOSE(E, 2 * std::atan(std::sqrt(0.01 / 1.99) * std::tan(nu / 2)), 0, 1e-14);
        EXPECT_CLOSE(otk::eca2tra(E, 0.99), nu, 0, 1e-14);
    }
}

TEST(Kepler, HyperbolicRoundTripsAndGeometry) {
    for (double e = 1.05; e <= 10.0; e += 0.15) {
        for (double m = 1e-6; m < 60; m *= 1.7)
            for (double M : {m, -m}) {
                const double H = otk::mna2eca(M, e);
                ASSERT_CLOSE(otk::eca2mna(H, e), M, 1e-12, 1e-14) << e << " " << M;
            }
        // True anomalies inside the asymptotes, 2pi - |nu| before periapsis.
        const double nuMax = std::acos(-1.0 / e);
        for (int k = 0; k < 200; ++k) {
            const double s = -0.99 + 1.98 * k / 199, nu = s >= 0 ? s * nuMax : PI2 + s * nuMax;
            const double H = otk::tra2eca(nu, e);
            ASSERT_EQ(H<0, nu> M_PI);
            VECTOR3 r, v;
            ConicState(H, e, &r, &v);
            ASSERT_CLOSE(AngleDiff(TrueAnomaly(r), nu), 0, 1e-12, 0) << e << " " << nu;
            ASSERT_CLOSE(AngleDiff(otk::eca2tra(H, e), nu), 0, 1e-12, 0) << e << " " << nu;
            const double g = otk::eca2fpa(H, e), n = otk::eca2nra(H, e);
            ASSERT_CLOSE(g, FlightPath(r, v), 1e-12, 0);
            ASSERT_CLOSE(AngleDiff(n, nu - g), 0, 1e-12, 0);
            ASSERT_CLOSE(otk::fpa2eca(g, e), H, 1e-10, 1e-12);
            ASSERT_CLOSE(otk::nra2eca(n, e), H, 1e-10, 1e-12);
        }
    }
    // Beyond the asymptotes, or beyond 90 deg, there is no point.
    EXPECT_TRUE(std::isnan(otk::tra2eca(M_PI * 0.9, 1.5)));
    EXPECT_TRUE(std::isnan(otk::nra2eca(M_PI * 0.75, 3.0)));
    EXPECT_TRUE(std::isnan(otk::fpa2eca(2.0, 3.0)));
    EXPECT_TRUE(std::isnan(otk::fpa2eca(std::asin(0.6) + 0.01, 0.6)));  // above the ellipse's
}

TEST(Kepler, SolverRules) {
    // e = 0: the start is exact. M = pi: the start is a solution. M is not reduced.
    for (double M : {0.0, 3.0, 40.0}) EXPECT_EQ(otk::mna2eca(M, 0.0), M);
    for (double e : {0.5, 0.99}) EXPECT_CLOSE(otk::mna2eca(M_PI, e), M_PI, 1e-15, 0);
    EXPECT_CLOSE(otk::mna2eca(1 + 3 * PI2, 0.7), otk::mna2eca(1, 0.7) + 3 * PI2, 1e-12, 0);
    // e = 1 takes the hyperbolic solver (its first infinite step clamped to 1), true ->
    // eccentric the elliptic formula.
    const double H = otk::mna2eca(0.5, 1.0);
    EXPECT_CLOSE(std::sinh(H) - H, 0.5, 1e-13, 0);
    EXPECT_EQ(otk::tra2eca(1.0, 1.0), 0.0);
    // Steps of at most 1, at most 22 of them.
    EXPECT_EQ(otk::mna2eca(1e30, 2.0), 22.0);

    // Refinement from a start value: an exact start comes back unchanged, a nearby one
    // converges, a poor one (residual above 0.5), NaN or a hyperbola is solver A's result.
    const double e = 0.8, M = 2.0, E = otk::mna2eca(M, e);
    EXPECT_EQ(otk::mna2eca(M, e, E), E);
    EXPECT_CLOSE(otk::eca2mna(otk::mna2eca(M, e, E - 0.2), e), M, 1e-12, 0);
    EXPECT_EQ(otk::mna2eca(M, e, E + 2.0), E);
    EXPECT_EQ(otk::mna2eca(M, e, std::nan("")), E);
    EXPECT_EQ(otk::mna2eca(3.0, 1.5, 0.0), otk::mna2eca(3.0, 1.5));
}

TEST(Kepler, SequenceSolver) {
    // Along orbits over many revolutions the sequence agrees with the single solver; both
    // stop at a residual of 1e-14, which allows 1e-12 in E where 1 - e cos E = 0.01.
    const int n = 5000;
    std::vector<double> M(n), E(n);
    for (double e : {0.0, 0.3, 0.7, 0.95, 0.99}) {
        for (int k = 0; k < n; ++k) M[k] = 0.1 + k * PI2 / 997;
        otk::mna2eca(n, e, M.data(), E.data());
        for (int k = 0; k < n; ++k) {
            ASSERT_CLOSE(otk::eca2mna(E[k], e), M[k], 1e-12, 1e-15) << e << " " << k;
            ASSERT_CLOSE(E[k], otk::mna2eca(M[k], e), 3e-12, 0) << e << " " << k;
            // The residual in extended precision: the stopping tolerance, plus the rounding of
            // M - E and of the few steps' sum E += d (an ulp or so each), although the sine and
            // cosine are carried through many steps.
            const long double res = e * std::sin(static_cast<long double>(E[k])) + M[k] - E[k];
            ASSERT_LE(std::fabs(static_cast<double>(res)), 1e-14 + 4 * DBL_EPSILON * (M[k] + E[k]))
                << e << " " << k;
        }
    }
    // n = 1 fills one element, n = 0 none; a hyperbola logs one error line and writes nothing.
    double out[2] = {-1, -1};
    EXPECT_EQ(CaptureErrorLog([&] {
                  otk::mna2eca(1, 0.5, M.data(), out);
                  otk::mna2eca(0, 0.5, M.data(), out + 1);
              }),
              "");
    EXPECT_EQ(out[0], otk::mna2eca(M[0], 0.5));
    EXPECT_EQ(out[1], -1);
    for (double e : {1.0, 2.0}) {
        const std::string log = CaptureErrorLog([&] { otk::mna2eca(2, e, M.data(), out + 1); });
        EXPECT_NE(log.find("Func=otk::mna2eca(): \"Function doesn't support hyperbolic orbits\""),
                  std::string::npos)
            << log;
        EXPECT_EQ(log.find("<br>"), log.rfind("<br>"));  // one line
        EXPECT_EQ(out[1], -1);
    }
}
