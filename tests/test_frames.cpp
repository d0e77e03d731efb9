// Reference frames and rotations, checked against ERFA and independent formulas.
#include <erfa.h>
#include <erfam.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "tests/tolerance.h"
#include "zaq/orbit.h"

namespace {

constexpr double kMJD1900 = 15020.0, kMJD2100 = 88069.0;
constexpr double kJD0 = 2400000.5;  // JD of MJD 0

VECTOR3 Row(const double m[3][3], int i) {
    return {m[i][0], m[i][1], m[i][2]};
}

double MaxDiff(const MATRIX3& a, const double b[3][3]) {
    const double m[9] = {a.m11, a.m12, a.m13, a.m21, a.m22, a.m23, a.m31, a.m32, a.m33};
    double d = 0;
    for (int i = 0; i < 9; ++i) d = std::fmax(d, std::fabs(m[i] - b[i / 3][i % 3]));
    return d;
}

double AngleDiff(double a, double b) {
    return std::remainder(a - b, PI2);
}

// Active rotations of v about the z and x axes.
VECTOR3 TurnZ(const VECTOR3& v, double a) {
    return {v.x * std::cos(a) - v.y * std::sin(a), v.x * std::sin(a) + v.y * std::cos(a), v.z};
}
VECTOR3 TurnX(const VECTOR3& v, double a) {
    return {v.x, v.y * std::cos(a) - v.z * std::sin(a), v.y * std::sin(a) + v.z * std::cos(a)};
}

}  // namespace

TEST(Frames, ObliquityAndEquatorPrecessionMatchErfa) {
    for (double mjd = kMJD1900; mjd <= kMJD2100; mjd += 97.3)
        ASSERT_CLOSE(otk::ObliquityOfEcliptic(mjd), eraObl80(kJD0, mjd), 1e-12, 0) << mjd;
    double a1, a2, a3;
    otk::EquatorOfDate(51544.5, &a1, &a2, &a3);
    EXPECT_CLOSE(a1 - a3, M_PI, 1e-15, 0);
    EXPECT_EQ(a2, 0.0);
    const double eps0 = eraObl80(kJD0, 51544.5);
    for (double mjd = kMJD1900; mjd <= kMJD2100; mjd += 1234.5) {
        // IAU 1976 precession matrix P; J2000 ecliptic -> mean equator of date is P R1(-eps0).
        double p[3][3], r[3][3], pe[3][3];
        eraPmat76(kJD0, mjd, p);
        eraIr(r);
        eraRx(-eps0, r);
        eraRxr(p, r, pe);
        ASSERT_LT(MaxDiff(otk::EquatorOfDate(mjd), p), 1e-14) << mjd;
        ASSERT_LT(MaxDiff(otk::J2000EclToEqu(mjd), pe), 1e-14) << mjd;
        // The triad forms give the rows.
        VECTOR3 x, y, z;
        otk::EquatorOfDate(mjd, &x, &y, &z);
        ASSERT_CLOSE(x, Row(p, 0), 1e-14, 0);
        ASSERT_CLOSE(z, Row(p, 2), 1e-14, 0);
        otk::EquatorOfDate2(mjd, &x, &y, &z);
        ASSERT_CLOSE(y, Row(pe, 1), 1e-14, 0);
        ASSERT_CLOSE(z, Row(pe, 2), 1e-14, 0);
    }
}

TEST(Frames, EclipticPrecessionMatchesErfa) {
    double id[3][3];
    eraIr(id);
    EXPECT_LT(MaxDiff(otk::EclipticOfDate(51544.5), id), 1e-15);
    // J2000 ecliptic -> ecliptic of date, R1(eps) P R1(-eps0); the angle series are given to
    // about 1e-9 rad, which bounds the agreement.
    for (double mjd = kMJD1900; mjd <= kMJD2100; mjd += 1234.5) {
        double p[3][3], a[3][3], b[3][3], t[3][3], e[3][3];
        eraPmat76(kJD0, mjd, p);
        eraIr(a);
        eraIr(b);
        eraRx(-eraObl80(kJD0, 51544.5), a);
        eraRx(eraObl80(kJD0, mjd), b);
        eraRxr(p, a, t);
        eraRxr(b, t, e);
        ASSERT_LT(MaxDiff(otk::EclipticOfDate(mjd), e), 1e-9) << mjd;
    }
}

TEST(Frames, AxisRotationAndPerpendicular) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<VECTOR3> vs = {{-1, 0, 0}, {0, -2, 0}, {0, 0, -3}, {1, 0, 0}, {-1, -1, -1}};
    for (int i = 0; i < 200; ++i) {
        const VECTOR3 k = unit(VECTOR3{u(rng), u(rng), u(rng)}), v{u(rng), u(rng), u(rng)};
        const double a = 4 * u(rng);
        // Rodrigues: v cos a + (k x v) sin a + k (k.v)(1 - cos a).
        const VECTOR3 expected = v * std::cos(a) + CrossProduct(k, v) * std::sin(a) +
                                 k * (dotp(k, v) * (1 - std::cos(a)));
        ASSERT_CLOSE(mul(otk::_MRAxis(k, a), v), expected, 1e-15, 0);
        vs.push_back(v);
    }
    for (const VECTOR3& v : vs) {
        const VECTOR3 p = otk::Perpendicular(v);
        ASSERT_GT(Length(p), 1e-3 * Length(v)) << v.x << " " << v.y << " " << v.z;
        ASSERT_CLOSE(dotp(p, v), 0.0, 1e-15 * Length(p) * Length(v), 0);
    }
}

TEST(Frames, PerifocalBasisAndElements) {
    // A tilted orthonormal reference frame.
    const VECTOR3 X{std::cos(0.4), std::sin(0.4), 0};
    const VECTOR3 Z{std::sin(0.4) * std::sin(0.3), -std::cos(0.4) * std::sin(0.3), std::cos(0.3)};
    const VECTOR3 Y = CrossProduct(Z, X);
    for (double inc : {0.0, 0.3, 2.5})
        for (double lan : {0.0, 1.0, 4.0})
            for (double agp : {0.2, 5.9}) {
                VECTOR3 P, Q;
                otk::PQW(lan, inc, agp, X, Z, &P, &Q);
                // The x and y axes turned by agp about z, inc about x, lan about z.
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
                // Equatorial: the node is taken on X, so w is the longitude of periapsis.
                ASSERT_CLOSE(AngleDiff(O, inc == 0 ? 0 : lan), 0, 1e-14, 0);
                ASSERT_CLOSE(AngleDiff(w, inc == 0 ? lan + agp : agp), 0, 1e-14, 0);
                el.eccentricity = 0;
                otk::ExtElem(&el, nullptr, nullptr, &w, X, Z);
                EXPECT_EQ(w, 0.0);
            }
}

TEST(Frames, VelocityFrameAndPolarCoordinates) {
    const VECTOR3 pos{7e6, 1e6, -2e5}, vel{-1e3, 7.4e3, 300};
    const VECTOR3 x = otk::VFToGlobal({1, 0, 0}, pos, vel),
                  y = otk::VFToGlobal({0, 1, 0}, pos, vel);
    const VECTOR3 z = otk::VFToGlobal({0, 0, 1}, pos, vel);
    EXPECT_CLOSE(x, unit(vel), 1e-15, 0);
    EXPECT_CLOSE(y, unit(CrossProduct(pos, vel)), 1e-15, 0);
    EXPECT_CLOSE(CrossProduct(x, y), z, 1e-15, 0);  // right-handed, z toward the position
    EXPECT_GT(dotp(z, pos), 0.0);
    const VECTOR3 u{3.5, -2.0, 0.25};
    EXPECT_CLOSE(otk::GlobalToVF(otk::VFToGlobal(u, pos, vel), pos, vel), u, 1e-14, 0);

    VECTOR3 one{0, 0, 1};
    otk::Polar2Cartesian(&one, nullptr);
    EXPECT_CLOSE(one, (VECTOR3{149597870691.0, 0, 0}), 0, 0);
    // The velocity is the time derivative of the position (central difference).
    const VECTOR3 p0{2.1, -0.3, 1.4}, rate{0.017, 0.002, 3e-4};
    VECTOR3 p = p0, v = rate, pa = p0 + rate * 1e-3, pb = p0 - rate * 1e-3, pl = p0, vl = rate;
    otk::Polar2Cartesian(&p, &v);
    otk::Polar2Cartesian(&pa, nullptr);
    otk::Polar2Cartesian(&pb, nullptr);
    EXPECT_CLOSE(v, (pa - pb) / 2e-3, 0, 1e-9);
    otk::Polar2Cartesian_LH(&pl, &vl);
    EXPECT_CLOSE(pl, SwapYZ(p), 0, 0);
    EXPECT_CLOSE(vl, SwapYZ(v), 0, 0);
}

TEST(Frames, GeodeticLatitudeOnTheEarthEllipsoid) {
    double a, f;
    eraEform(ERFA_WGS84, &a, &f);
    const double ecc = std::sqrt(f * (2 - f));
    for (double h : {-1000.0, 0.0, 4e5, 3.6e6, 3.5786e7, 4e7})
        for (int k = -90; k <= 90; k += 3) {
            const double lat = k * M_PI / 180;
            double gc, r, lat2, h2, xyz[3], elong, phi, height;
            otk::gdl2gcl(lat, h, ecc, a, &gc, &r);
            otk::gcl2gdl(gc, r, ecc, a, &lat2, &h2);
            ASSERT_CLOSE(lat2, lat, 1e-14, 0) << h << " " << k;
            ASSERT_CLOSE(h2, h, 1e-7, 1e-15) << h << " " << k;
            // ERFA's closed-form geodetic -> Cartesian, and its inverse (good to about 1e-11
            // rad at geostationary height).
            ASSERT_EQ(eraGd2gc(ERFA_WGS84, 0.0, lat, h, xyz), 0);
            ASSERT_CLOSE(gc, std::atan2(xyz[2], xyz[0]), 1e-15, 0);
            ASSERT_CLOSE(r, std::hypot(xyz[0], xyz[2]), 0, 1e-15);
            ASSERT_EQ(eraGc2gd(ERFA_WGS84, xyz, &elong, &phi, &height), 0);
            ASSERT_CLOSE(lat2, phi, 1e-10, 0);
            ASSERT_CLOSE(h2, height, 1e-6, 0);
        }
}
