// Reference frames and rotations, checked against ERFA and independent formulas.
#include <erfa.h>
#include <erfam.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tests/tolerance.h"
#include "zaq/orbit.h"

namespace {

constexpr double kMJD1900 = 15020.0, kMJD2100 = 88069.0;  // 1900 Jan 0.5, 2100 Jan 1.0
constexpr double kJD0 = 2400000.5;                        // JD of MJD 0

double MaxDiff(const MATRIX3& a, const double b[3][3]) {
    const double m[9] = {a.m11, a.m12, a.m13, a.m21, a.m22, a.m23, a.m31, a.m32, a.m33};
    double d = 0;
    for (int i = 0; i < 9; ++i) d = std::fmax(d, std::fabs(m[i] - b[i / 3][i % 3]));
    return d;
}

MATRIX3 FromErfa(const double r[3][3]) {
    return {r[0][0], r[0][1], r[0][2], r[1][0], r[1][1], r[1][2], r[2][0], r[2][1], r[2][2]};
}

// Rows of a matrix as vectors.
VECTOR3 Row(const MATRIX3& m, int i) {
    if (i == 0) return {m.m11, m.m12, m.m13};
    if (i == 1) return {m.m21, m.m22, m.m23};
    return {m.m31, m.m32, m.m33};
}

double AngleDiff(double a, double b) {
    return std::remainder(a - b, PI2);
}

// Active rotation of v by a about the z axis / x axis.
VECTOR3 TurnZ(const VECTOR3& v, double a) {
    return {v.x * std::cos(a) - v.y * std::sin(a), v.x * std::sin(a) + v.y * std::cos(a), v.z};
}
VECTOR3 TurnX(const VECTOR3& v, double a) {
    return {v.x, v.y * std::cos(a) - v.z * std::sin(a), v.y * std::sin(a) + v.z * std::cos(a)};
}

}  // namespace

// ---- Obliquity and precession (IAU 1976) ---------------------------------------------------

TEST(Precession, ObliquityMatchesErfaOver1900To2100) {
    for (double mjd = kMJD1900; mjd <= kMJD2100; mjd += 97.3)
        ASSERT_CLOSE(otk::ObliquityOfEcliptic(mjd), eraObl80(kJD0, mjd), 1e-12, 0) << mjd;
    // 23 deg 26' 21.448" at J2000.
    EXPECT_CLOSE(otk::ObliquityOfEcliptic(51544.5), (23 + 26 / 60.0 + 21.448 / 3600) * M_PI / 180,
                 1e-15, 0);
}

TEST(Precession, EquatorOfDateIsTheIau1976PrecessionMatrix) {
    double a1, a2, a3;
    otk::EquatorOfDate(51544.5, &a1, &a2, &a3);
    EXPECT_CLOSE(a1, M_PI / 2, 1e-15, 0);
    EXPECT_CLOSE(a2, 0.0, 1e-15, 0);
    EXPECT_CLOSE(a3, -M_PI / 2, 1e-15, 0);
    const double eps0 = eraObl80(kJD0, 51544.5);
    for (double mjd = kMJD1900; mjd <= kMJD2100; mjd += 1234.5) {
        double p[3][3], r1[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, pe[3][3];
        eraPmat76(kJD0, mjd, p);
        const MATRIX3 m = otk::EquatorOfDate(mjd);
        ASSERT_LT(MaxDiff(m, p), 1e-14) << mjd;
        // Ecliptic of J2000 -> mean equator of date: P R1(-eps0).
        eraRx(-eps0, r1);
        eraRxr(p, r1, pe);
        ASSERT_LT(MaxDiff(otk::J2000EclToEqu(mjd), pe), 1e-14) << mjd;
        // The triad forms are the rows of the matrices.
        VECTOR3 x, y, z;
        otk::EquatorOfDate(mjd, &x, &y, &z);
        ASSERT_CLOSE(x, Row(m, 0), 1e-15, 0);
        ASSERT_CLOSE(y, Row(m, 1), 1e-15, 0);
        ASSERT_CLOSE(z, Row(m, 2), 1e-15, 0);
        otk::EquatorOfDate2(mjd, &x, &y, &z);
        const MATRIX3 e2q = FromErfa(pe);
        ASSERT_CLOSE(x, Row(e2q, 0), 1e-14, 0);
        ASSERT_CLOSE(y, Row(e2q, 1), 1e-14, 0);
        ASSERT_CLOSE(z, Row(e2q, 2), 1e-14, 0);
    }
}

TEST(Precession, EclipticOfDateFollowsErfaPrecession) {
    double a1, a2, a3;
    otk::EclipticOfDate(51544.5, &a1, &a2, &a3);
    EXPECT_EQ(a1, 3.052168683);
    EXPECT_EQ(a2, 0.0);
    EXPECT_EQ(a3, -3.052168683);
    const MATRIX3 id = otk::EclipticOfDate(51544.5);
    const double eye[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    EXPECT_LT(MaxDiff(id, eye), 1e-15);
    // Ecliptic of J2000 -> ecliptic of date from ERFA: R1(eps) P R1(-eps0). The angle series
    // are given to about 1e-9 rad, which bounds the agreement.
    const double eps0 = eraObl80(kJD0, 51544.5);
    for (double mjd = kMJD1900; mjd <= kMJD2100; mjd += 1234.5) {
        double p[3][3], a[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, b[3][3], t[3][3], e[3][3];
        eraPmat76(kJD0, mjd, p);
        eraCr(a, b);
        eraRx(-eps0, a);
        eraRx(eraObl80(kJD0, mjd), b);
        eraRxr(p, a, t);
        eraRxr(b, t, e);
        const MATRIX3 m = otk::EclipticOfDate(mjd);
        ASSERT_LT(MaxDiff(m, e), 1e-9) << mjd;
        VECTOR3 x, y, z;
        otk::EclipticOfDate(mjd, &x, &y, &z);
        ASSERT_CLOSE(x, Row(m, 0), 1e-15, 0);
        ASSERT_CLOSE(z, Row(m, 2), 1e-15, 0);
    }
}

// ---- Rotations ------------------------------------------------------------------------------

TEST(Rotations, AxisRotationIsRodrigues) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int i = 0; i < 200; ++i) {
        const VECTOR3 axis = unit(VECTOR3{u(rng), u(rng), u(rng)});
        const VECTOR3 v{u(rng), u(rng), u(rng)};
        const double a = 4 * u(rng);
        // Rodrigues: v cos a + (k x v) sin a + k (k.v)(1 - cos a).
        const VECTOR3 expected = v * std::cos(a) + CrossProduct(axis, v) * std::sin(a) +
                                 axis * (dotp(axis, v) * (1 - std::cos(a)));
        ASSERT_CLOSE(mul(otk::_MRAxis(axis, a), v), expected, 1e-15, 0);
    }
}

TEST(Rotations, PerpendicularIsNeverZeroForANonZeroVector) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> u(-5, 5);
    std::vector<VECTOR3> vs = {{-1, 0, 0}, {0, -2, 0}, {0, 0, -3},   {1, 0, 0}, {0, 1, 0},
                               {0, 0, 1},  {1, 1, 1},  {-1, -1, -1}, {2, -7, 2}};
    for (int i = 0; i < 100; ++i) vs.push_back({u(rng), u(rng), u(rng)});
    for (const VECTOR3& v : vs) {
        const VECTOR3 p = otk::Perpendicular(v);
        ASSERT_GT(Length(p), 1e-3 * Length(v)) << v.x << " " << v.y << " " << v.z;
        ASSERT_CLOSE(dotp(p, v), 0.0, 1e-15 * Length(p) * Length(v), 0);
    }
    const VECTOR3 zero = otk::Perpendicular({0, 0, 0});
    EXPECT_EQ(Length(zero), 0.0);
}

// ---- Orbit bases ---------------------------------------------------------------------------

TEST(OrbitFrames, PerifocalBasisAndElementsRoundTrip) {
    // A tilted orthonormal reference frame.
    const double fa = 0.4, fb = 0.3;
    const VECTOR3 X{std::cos(fa), std::sin(fa), 0};
    const VECTOR3 Z{std::sin(fa) * std::sin(fb), -std::cos(fa) * std::sin(fb), std::cos(fb)};
    const VECTOR3 Y = CrossProduct(Z, X);
    for (double inc : {0.0, 0.3, 1.2, 2.5})
        for (double lan : {0.0, 1.0, 4.0})
            for (double agp : {0.2, 2.0, 5.9}) {
                VECTOR3 P, Q;
                otk::PQW(lan, inc, agp, X, Z, &P, &Q);
                // Independent: rotate the x and y axes by agp about z, inc about x, lan about
                // z, then express them in the frame (X, Y, Z).
                const VECTOR3 p = TurnZ(TurnX(TurnZ({1, 0, 0}, agp), inc), lan);
                const VECTOR3 q = TurnZ(TurnX(TurnZ({0, 1, 0}, agp), inc), lan);
                ASSERT_CLOSE(P, X * p.x + Y * p.y + Z * p.z, 1e-15, 0);
                ASSERT_CLOSE(Q, X * q.x + Y * q.y + Z * q.z, 1e-15, 0);

                otk::sElements el{};
                el.P = P;
                el.Q = Q;
                el.W = CrossProduct(P, Q);
                el.eccentricity = 0.3;
                double i, O, w;
                otk::ExtElem(&el, &i, &O, &w, X, Z);
                ASSERT_CLOSE(i, inc, 1e-14, 0);
                if (inc == 0.0) {
                    // Equatorial: no node; the node is put on X and w is the longitude of
                    // periapsis.
                    EXPECT_EQ(O, 0.0);
                    ASSERT_CLOSE(AngleDiff(w, lan + agp), 0.0, 1e-14, 0);
                } else {
                    ASSERT_CLOSE(AngleDiff(O, lan), 0.0, 1e-14, 0);
                    ASSERT_CLOSE(AngleDiff(w, agp), 0.0, 1e-14, 0);
                }
                el.eccentricity = 0.0;
                otk::ExtElem(&el, nullptr, nullptr, &w, X, Z);
                EXPECT_EQ(w, 0.0);
            }
    // A periapsis exactly at the node reads 2pi.
    VECTOR3 P, Q;
    otk::PQW(0.5, 0.5, 0.0, {1, 0, 0}, {0, 0, 1}, &P, &Q);
    otk::sElements el{};
    el.P = P;
    el.Q = Q;
    el.W = CrossProduct(P, Q);
    el.eccentricity = 0.1;
    double w = 0;
    otk::ExtElem(&el, nullptr, nullptr, &w, {1, 0, 0}, {0, 0, 1});
    EXPECT_CLOSE(AngleDiff(w, 0.0), 0.0, 1e-15, 0);
    EXPECT_GT(w, 0.0);
}

TEST(OrbitFrames, VelocityFrame) {
    const VECTOR3 pos{7e6, 1e6, -2e5}, vel{-1e3, 7.4e3, 300};
    const VECTOR3 x = otk::VFToGlobal({1, 0, 0}, pos, vel);
    const VECTOR3 y = otk::VFToGlobal({0, 1, 0}, pos, vel);
    const VECTOR3 z = otk::VFToGlobal({0, 0, 1}, pos, vel);
    EXPECT_CLOSE(x, unit(vel), 1e-15, 0);
    EXPECT_CLOSE(y, unit(CrossProduct(pos, vel)), 1e-15, 0);
    // z lies in the orbit plane, across the velocity, toward the position's side.
    EXPECT_CLOSE(dotp(z, vel), 0.0, 1e-12, 0);
    EXPECT_CLOSE(dotp(z, y), 0.0, 1e-15, 0);
    EXPECT_GT(dotp(z, pos), 0.0);
    EXPECT_CLOSE(CrossProduct(x, y), z, 1e-15, 0);  // right-handed
    const VECTOR3 u{3.5, -2.0, 0.25};
    EXPECT_CLOSE(otk::GlobalToVF(otk::VFToGlobal(u, pos, vel), pos, vel), u, 1e-14, 0);
}

TEST(OrbitFrames, PolarToCartesian) {
    VECTOR3 pos{0, 0, 1};
    otk::Polar2Cartesian(&pos, nullptr);
    EXPECT_EQ(pos.x, 149597870691.0);
    EXPECT_EQ(pos.y, 0.0);
    EXPECT_EQ(pos.z, 0.0);
    // The velocity is the time derivative of the position (central difference).
    const VECTOR3 p0{2.1, -0.3, 1.4}, rate{0.017, 0.002, 3e-4};
    VECTOR3 p = p0, v = rate;
    otk::Polar2Cartesian(&p, &v);
    const double dt = 1e-3;
    VECTOR3 pa = p0 + rate * dt, pb = p0 - rate * dt;
    otk::Polar2Cartesian(&pa, nullptr);
    otk::Polar2Cartesian(&pb, nullptr);
    EXPECT_CLOSE(v, (pa - pb) / (2 * dt), 0, 1e-9);
    EXPECT_CLOSE(Length(p), 1.4 * 149597870691.0, 0, 1e-15);
    VECTOR3 pl = p0, vl = rate;
    otk::Polar2Cartesian_LH(&pl, &vl);
    EXPECT_CLOSE(pl, SwapYZ(p), 0, 1e-15);
    EXPECT_CLOSE(vl, SwapYZ(v), 0, 1e-15);
}

// ---- Geodetic latitude ---------------------------------------------------------------------

TEST(Geodetic, RoundTripsAndErfaOnTheEarthEllipsoid) {
    double a, f;
    eraEform(ERFA_WGS84, &a, &f);
    const double ecc = std::sqrt(f * (2 - f));
    for (double h : {-1000.0, 0.0, 1.0, 4e5, 3.6e6, 3.5786e7, 4e7})
        for (int k = -90; k <= 90; k += 3) {
            const double lat = k * M_PI / 180;
            double gc, r, lat2, h2;
            otk::gdl2gcl(lat, h, ecc, a, &gc, &r);
            otk::gcl2gdl(gc, r, ecc, a, &lat2, &h2);
            ASSERT_CLOSE(lat2, lat, 1e-14, 0) << h << " " << k;
            ASSERT_CLOSE(h2, h, 1e-7, 1e-15) << h << " " << k;
            // ERFA's closed-form geodetic -> Cartesian conversion.
            double xyz[3];
            ASSERT_EQ(eraGd2gc(ERFA_WGS84, 0.0, lat, h, xyz), 0);
            ASSERT_CLOSE(gc, std::atan2(xyz[2], xyz[0]), 1e-15, 0);
            ASSERT_CLOSE(r, std::hypot(xyz[0], xyz[2]), 0, 1e-15);
            // ERFA's inverse, accurate to about 1e-11 rad at geostationary height.
            double elong, phi, height;
            ASSERT_EQ(eraGc2gd(ERFA_WGS84, xyz, &elong, &phi, &height), 0);
            ASSERT_CLOSE(lat2, phi, 1e-10, 0);
            ASSERT_CLOSE(h2, height, 1e-6, 0);
        }
    // Outputs are optional.
    double only;
    otk::gdl2gcl(0.5, 100, ecc, a, nullptr, &only);
    otk::gcl2gdl(0.5, a, ecc, a, &only, nullptr);
    EXPECT_GT(only, 0.5);  // geodetic latitude exceeds geocentric in the north
}
