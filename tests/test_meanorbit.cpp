// Mean orbits against the conic orbit class, the time derivative of the position, the geometry of
// drifting elements and the records that must produce nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/tolerance.h"
#include "zaq/constants.h"
#include "zaq/orbit.h"
#include "zaq/vector3.h"

using zaq::kRadPerDeg;

namespace {

constexpr double kEpoch = 51544.5;
constexpr double kA = 1.5e11;

struct Elem {
    double e, i, node, agp, M, n;  // angles rad, n rad/day
};

// Rows x axis, pole, y axis of the right-handed frame with x axis X and pole Z.
MATRIX3 FrameRows(const VECTOR3& X, const VECTOR3& Z) {
    const VECTOR3 x = unit(X), y = unit(CrossProduct(Z, X)), z = CrossProduct(x, y);
    return {x.x, x.y, x.z, z.x, z.y, z.z, y.x, y.y, y.z};
}

// A record without rates. Mode 0 holds the mean longitude and the longitude of periapsis.
sMean Record(int mode, const Elem& el, const MATRIX3& frame) {
    sMean m{};
    m.valid = 1;
    m.mode = mode;
    m.epoch = kEpoch;
    m.a0 = kA;
    m.e0 = el.e;
    m.i0 = el.i;
    m.L0 = mode == 0 ? el.node + el.agp + el.M : el.M;
    m.w0 = mode == 0 ? el.node + el.agp : el.agp;
    m.node0 = el.node;
    m.n = el.n;
    m.frame = frame;
    return m;
}

// Rodrigues rotation of v by angle t about the unit axis k.
VECTOR3 Rotate(const VECTOR3& v, const VECTOR3& k, double t) {
    return v * std::cos(t) + CrossProduct(k, v) * std::sin(t) +
           k * (dotp(k, v) * (1 - std::cos(t)));
}

const Elem kCases[] = {
    {0.0167, 0.1 * kRadPerDeg, 349 * kRadPerDeg, 114 * kRadPerDeg, 357 * kRadPerDeg,
     0.9856 * kRadPerDeg},
    {0.7, 63.4 * kRadPerDeg, 20 * kRadPerDeg, 270 * kRadPerDeg, 200 * kRadPerDeg, 2.0},
    {0.0, 145 * kRadPerDeg, 100 * kRadPerDeg, 0.0, 10 * kRadPerDeg, 0.3},
    {0.95, 5 * kRadPerDeg, 300 * kRadPerDeg, 45 * kRadPerDeg, 0.5 * kRadPerDeg, 0.05},
};
const MATRIX3 kTilted = FrameRows({0.6, 0.8, 0.0}, {-0.3, 0.2, 0.9});

TEST(MeanOrbit, PeriodOfOneRevolutionPerDayIsOneDay) {
    sMean m{};
    m.n = PI2;
    EXPECT_CLOSE(GetMeanOrbitPeriod(&m), 86400.0, 0, 1e-15);
    m.n = 360.0 / 365.256363004 * kRadPerDeg;  // Earth's sidereal year
    EXPECT_CLOSE(GetMeanOrbitPeriod(&m), 365.256363004 * 86400.0, 0, 1e-14);
    EXPECT_TRUE(std::isnan(GetMeanOrbitPeriod(nullptr)));
}

// Both element models give the conic of the same elements; mode 0 as the host's element record
// (mean longitude, longitude of periapsis), mode 1 from the plain elements. The conic's mu gives
// the record's mean motion, and its m/s velocity is the record's m/day over 86400.
TEST(MeanOrbit, BothModesAgreeWithTheConicOrbit) {
    for (const Elem& el : kCases) {
        const double mu = std::pow(el.n / 86400.0, 2) * kA * kA * kA;
        COrbit c;
        c.ReferencePole({0.6, 0.8, 0.0}, {-0.3, 0.2, 0.9});
        const ELEMENTS host{kA, el.e, el.i, el.node, el.node + el.agp, el.node + el.agp + el.M};
        c.CreateFromElements(&host, mu, kEpoch);
        for (int mode = 0; mode < 2; ++mode) {
            sMean m = Record(mode, el, kTilted);
            for (double dt : {0.0, 0.37, 11.0, -40.0}) {
                VECTOR3 r, v, rc, vc, P, Q;
                double E;
                GetMeanOrbitPosVel(&m, kEpoch + dt, &r, &v, &E, &P, &Q);
                c.PosVelByMJD(kEpoch + dt, &rc, &vc);
                EXPECT_CLOSE(r, rc, 1e-3, 1e-11) << "mode " << mode << " e " << el.e;
                EXPECT_CLOSE(v, vc * 86400.0, 1e-9, 1e-10) << "mode " << mode << " e " << el.e;
                EXPECT_CLOSE(P, c.P, 1e-14, 0);
                EXPECT_CLOSE(Q, c.Q, 1e-14, 0);
                EXPECT_CLOSE(GetMeanOrbitPos(&m, kEpoch + dt), r, 0, 0);
                // Kepler's equation holds for the eccentric anomaly written out.
                const double M = std::remainder(E - el.e * std::sin(E) - el.M - el.n * dt, PI2);
                EXPECT_CLOSE(M, 0.0, 1e-11, 0);
            }
        }
    }
}

// Without rates the velocity is the time derivative of the position, here a central difference
// in days, on both sides of apoapsis (E above and below pi) and for a retrograde mean motion.
TEST(MeanOrbit, VelocityIsTheDerivativeOfThePosition) {
    for (Elem el : kCases) {
        for (double sign : {1.0, -1.0}) {
            el.n = sign * std::fabs(el.n);
            sMean m = Record(1, el, kTilted);
            const double h = 1e-4 * (1 - el.e) / std::fabs(el.n);  // short near a sharp periapsis
            for (double f : {0.0, 0.1, 0.45, 0.55, 0.9, 0.999}) {
                const double t = kEpoch + f * PI2 / std::fabs(el.n);
                VECTOR3 v;
                GetMeanOrbitPosVel(&m, t, nullptr, &v, nullptr, nullptr, nullptr);
                const VECTOR3 d =
                    (GetMeanOrbitPos(&m, t + h) - GetMeanOrbitPos(&m, t - h)) / (2 * h);
                EXPECT_CLOSE(v, d, 1e-3, 1e-5) << "e " << el.e << " n " << el.n << " f " << f;
            }
        }
    }
}

// Mode 1 regression rates (node and periapsis moving backwards while the mean longitude advances
// at n) are mode 0 advance rates of opposite sign, with the longitude of periapsis moving at the
// sum of both; a, e and i drift alike in both models.
TEST(MeanOrbit, RegressingModeEqualsAdvancingModeWithOppositeRates) {
    const Elem el = kCases[1];
    sMean m1 = Record(1, el, kTilted), m0 = Record(0, el, kTilted);
    m1.wRate = 0.01, m1.nodeRate = -0.004;
    m0.wRate = -(m1.wRate + m1.nodeRate), m0.nodeRate = -m1.nodeRate;
    for (sMean* m : {&m0, &m1}) m->aRate = 1e6, m->eRate = -1e-4, m->iRate = 2e-4;
    for (double dt : {0.0, 3.3, 150.0, -500.0}) {
        VECTOR3 r0, v0, r1, v1;
        GetMeanOrbitPosVel(&m0, kEpoch + dt, &r0, &v0, nullptr, nullptr, nullptr);
        GetMeanOrbitPosVel(&m1, kEpoch + dt, &r1, &v1, nullptr, nullptr, nullptr);
        EXPECT_CLOSE(r1, r0, 1e-3, 1e-10) << dt;
        EXPECT_CLOSE(v1, v0, 1e-6, 1e-10) << dt;
    }
}

// A node regressing at rate k with a fixed argument of periapsis (mode 1) turns the whole ellipse
// backwards about the pole while the mean anomaly runs at n + k; in mode 0 the node and the
// longitude of periapsis advancing together at k turn it forwards, the mean anomaly at n - k.
// Either way the position is that of the rateless orbit with that mean motion, rotated.
TEST(MeanOrbit, CommonNodeAndPeriapsisRatesTurnTheEllipseAboutThePole) {
    const Elem el = kCases[1];
    const VECTOR3 pole{kTilted.m21, kTilted.m22, kTilted.m23};
    const double k = 0.02;
    for (int mode = 0; mode < 2; ++mode) {
        sMean drift = Record(mode, el, kTilted);
        drift.nodeRate = k;
        drift.wRate = mode == 0 ? k : 0.0;
        Elem still = el;
        still.n = mode == 0 ? el.n - k : el.n + k;
        sMean frozen = Record(mode, still, kTilted);
        for (double dt : {1.0, 40.0, -75.0}) {
            const double turn = mode == 0 ? k * dt : -k * dt;
            EXPECT_CLOSE(GetMeanOrbitPos(&drift, kEpoch + dt),
                         Rotate(GetMeanOrbitPos(&frozen, kEpoch + dt), pole, turn), 1e-3, 1e-11)
                << "mode " << mode << " dt " << dt;
        }
    }
}

// With drifting elements the velocity is that of the two-body ellipse of the elements of the day
// (mean motion n); the true derivative of the position adds the motion of the ellipse itself.
// That difference is bounded by the rates times the sensitivities of the position:
// a rotation at rate w moves it by w r <= w a (1 + e); a change of the mean anomaly's rate by k by
// k |dr/dM| <= k a sqrt((1 + e) / (1 - e)); a by aRate r / a; e by eRate |dr/de| with
// |dE/de| <= 1 / (1 - e).
TEST(MeanOrbit, VelocityWithDriftIsTheOsculatingOneWithinTheRateTerms) {
    Elem el = kCases[1];
    el.e = 0.3;
    sMean m = Record(0, el, kTilted);
    m.wRate = 3e-4, m.nodeRate = -2e-4, m.iRate = 1e-4, m.aRate = 2e5, m.eRate = 1e-6;
    const double e = el.e, a = kA, h = 1e-4;
    const double rot = std::fabs(m.nodeRate) + std::fabs(m.wRate - m.nodeRate) + std::fabs(m.iRate);
    const double bound =
        rot * a * (1 + e) + std::fabs(m.wRate) * a * std::sqrt((1 + e) / (1 - e)) +
        std::fabs(m.aRate) * (1 + e) +
        std::fabs(m.eRate) * a * (2 + 1 / (1 - e) + (e + 1 / (1 - e)) / std::sqrt(1 - e * e));
    for (double dt : {0.5, 1.1, 2.0, 2.9}) {
        const double t = kEpoch + dt;
        VECTOR3 v;
        GetMeanOrbitPosVel(&m, t, nullptr, &v, nullptr, nullptr, nullptr);
        const VECTOR3 d = (GetMeanOrbitPos(&m, t + h) - GetMeanOrbitPos(&m, t - h)) / (2 * h);
        EXPECT_CLOSE(v, d, bound, 1e-6) << dt;
        EXPECT_LT(bound, 0.01 * Length(v));  // the bound is tight enough to catch a wrong velocity
    }
}

// The rows are x axis, pole, y axis: an equatorial orbit stays in the plane of rows 0 and 2 and
// moves from row 0 toward row 2; with the host's left-handed rows (identity) every vector is the
// right-handed one with y and z exchanged.
TEST(MeanOrbit, FrameRowsAreXAxisPoleAndYAxis) {
    const MATRIX3 ecl{1, 0, 0, 0, 0, 1, 0, 1, 0};
    sMean m = Record(0, {0.4, 0.0, 0.0, 0.0, 0.0, 1.0}, ecl);
    VECTOR3 r, v, P, Q;
    double E = -1;
    GetMeanOrbitPosVel(&m, kEpoch, &r, &v, &E, &P, &Q);
    EXPECT_CLOSE(r, (VECTOR3{kA * 0.6, 0, 0}), 1e-3, 0);  // periapsis a (1 - e) along row 0
    EXPECT_CLOSE(E, 0.0, 1e-15, 0);
    EXPECT_CLOSE(v, (VECTOR3{0, kA * std::sqrt(1.4 / 0.6), 0}), 1e-6, 1e-14);
    EXPECT_CLOSE(GetMeanOrbitPos(&m, kEpoch + 1.3).z, 0.0, 1e-3, 0);

    // Inclined 90 degrees with periapsis 90 degrees past the node: periapsis along the pole.
    m = Record(1, {0.4, 90 * kRadPerDeg, 0.0, 90 * kRadPerDeg, 0.0, 1.0},
               FrameRows({0, 1, 0}, {1, 0, 0}));
    GetMeanOrbitPosVel(&m, kEpoch, nullptr, nullptr, nullptr, &P, &Q);
    EXPECT_CLOSE(P, (VECTOR3{1, 0, 0}), 1e-15, 0);

    const Elem el = kCases[1];
    sMean rh = Record(1, el, ecl), lh = Record(1, el, {1, 0, 0, 0, 1, 0, 0, 0, 1});
    VECTOR3 rl, vl;
    GetMeanOrbitPosVel(&rh, kEpoch + 2, &r, &v, nullptr, nullptr, nullptr);
    GetMeanOrbitPosVel(&lh, kEpoch + 2, &rl, &vl, nullptr, nullptr, nullptr);
    EXPECT_CLOSE(rl, SwapYZ(r), 0, 0);
    EXPECT_CLOSE(vl, SwapYZ(v), 0, 0);
}

// Unusable records write nothing and give a zero position: invalid, unknown mode, no record,
// elements that have drifted off the ellipse, a date that is not a number.
TEST(MeanOrbit, UnusableRecordsWriteNothing) {
    const sMean good = Record(0, kCases[1], kTilted);
    sMean bad[5] = {good, good, good, good, good};
    bad[0].valid = 0;
    bad[1].mode = 2;
    bad[2].mode = -1;
    bad[3].eRate = 1e-3;   // e reaches 1 after 300 days
    bad[4].aRate = -1e10;  // a reaches 0 after 15 days
    const VECTOR3 mark{7, 8, 9};
    for (sMean* m : {&bad[0], &bad[1], &bad[2], &bad[3], &bad[4], static_cast<sMean*>(nullptr)}) {
        VECTOR3 r = mark, v = mark, P = mark, Q = mark;
        double E = 7;
        GetMeanOrbitPosVel(m, kEpoch + 400, &r, &v, &E, &P, &Q);
        EXPECT_CLOSE(r, mark, 0, 0);
        EXPECT_CLOSE(v, mark, 0, 0);
        EXPECT_CLOSE(P, mark, 0, 0);
        EXPECT_CLOSE(Q, mark, 0, 0);
        EXPECT_EQ(E, 7);
        EXPECT_CLOSE(GetMeanOrbitPos(m, kEpoch + 400), (VECTOR3{0, 0, 0}), 0, 0);
    }
    VECTOR3 r = mark;
    sMean m = good;
    GetMeanOrbitPosVel(&m, std::numeric_limits<double>::quiet_NaN(), &r, nullptr, nullptr, nullptr,
                       nullptr);
    EXPECT_CLOSE(r, mark, 0, 0);
    GetMeanOrbitPosVel(&m, kEpoch, nullptr, nullptr, nullptr, nullptr, nullptr);  // no outputs
    EXPECT_TRUE(std::isfinite(GetMeanOrbitPos(&bad[3], kEpoch + 100).x));  // e = 0.8: still usable
}

}  // namespace
