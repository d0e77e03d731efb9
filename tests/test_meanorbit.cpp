// Mean orbits against COrbit built from the same elements, against their own time derivative,
// and across the two element models.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/tolerance.h"
#include "zaq/orbit.h"

using zaq::test::Near;

namespace {

constexpr MATRIX3 kDefaultFrame = {1, 0, 0, 0, 0, 1, 0, 1, 0};  // x, pole, y

// A Mars-like ellipse in mode 0: n in rad/day.
sMean Mode0() {
    sMean m{};
    m.valid = 1;
    m.mode = 0;
    m.epoch = 51544.5;
    m.a0 = 2.279e11;
    m.e0 = 0.0934;
    m.i0 = 0.0323;
    m.node0 = 0.865;  // longitude of the node
    m.w0 = 5.865;     // longitude of periapsis
    m.L0 = 6.204;     // mean longitude
    m.n = PI2 / 686.98;
    m.frame = kDefaultFrame;
    return m;
}

double MuOf(const sMean& m) {
    const double n = m.n / 86400;  // rad/s
    return m.a0 * m.a0 * m.a0 * n * n;
}

}  // namespace

TEST(MeanOrbit, PeriodOfTheMeanMotion) {
    sMean m = Mode0();
    m.n = PI2;
    EXPECT_DOUBLE_EQ(GetMeanOrbitPeriod(&m), 86400.0);
    m.n = PI2 / 686.98;
    EXPECT_TRUE(Near(GetMeanOrbitPeriod(&m), 686.98 * 86400, 0, 1e-15));
}

// With constant elements the mean orbit is the conic: the same position, velocity (per day),
// perifocal axes and eccentric anomaly as COrbit at the epoch and 100 days later.
TEST(MeanOrbit, AgreesWithTheConicOfItsElements) {
    sMean m = Mode0();
    COrbit o;
    o.CreateFromElements(m.a0, m.e0, m.i0, m.node0, NormalizeAngle(m.w0 - m.node0),
                         NormalizeAngle(m.L0 - m.w0), MuOf(m), m.epoch);
    for (double days : {0.0, 100.0, 500.0}) {
        SCOPED_TRACE(days);
        VECTOR3 pos{}, vel{}, P{}, Q{}, cpos{}, cvel{};
        double E = 0;
        GetMeanOrbitPosVel(&m, m.epoch + days, &pos, &vel, &E, &P, &Q);
        o.PosVelByMJD(m.epoch + days, &cpos, &cvel);
        EXPECT_TRUE(Near(pos, cpos, 0, 1e-11));
        EXPECT_TRUE(Near(vel, cvel * 86400.0, 0, 1e-11));
        EXPECT_TRUE(Near(P, o.P, 1e-14));
        EXPECT_TRUE(Near(Q, o.Q, 1e-14));
        if (days == 0) {
            EXPECT_NEAR(E, o.EcA(), 1e-13);
        }
        EXPECT_TRUE(Near(GetMeanOrbitPos(&m, m.epoch + days), pos, 0, 0));
    }
}

// The velocity is the time derivative of the position in metres per day (constant elements:
// the drift terms are not part of the velocity).
TEST(MeanOrbit, VelocityIsTheDerivativeOfPosition) {
    for (double e : {0.0, 0.3, 0.9}) {
        sMean m = Mode0();
        m.e0 = e;
        for (double days = 0; days < 700; days += 37) {
            const double h = 1e-3;
            VECTOR3 vel{};
            GetMeanOrbitPosVel(&m, m.epoch + days, nullptr, &vel, nullptr, nullptr, nullptr);
            const VECTOR3 diff = (GetMeanOrbitPos(&m, m.epoch + days + h) -
                                  GetMeanOrbitPos(&m, m.epoch + days - h)) /
                                 (2 * h);
            EXPECT_TRUE(Near(vel, diff, 0, 1e-6)) << "e=" << e << " day " << days;
        }
    }
}

// Mode 1 with regressing node and periapsis describes the same drift as mode 0 with the rates
// of the node and of the longitude of periapsis: node rate -nodeRate, periapsis-longitude rate
// -(wRate + nodeRate), the mean longitude advancing at n in both.
TEST(MeanOrbit, BothElementModelsDescribeTheSameDrift) {
    sMean m1 = Mode0();
    m1.mode = 1;
    m1.w0 = NormalizeAngle(5.865 - 0.865);  // argument of periapsis
    m1.L0 = NormalizeAngle(6.204 - 5.865);  // mean anomaly
    m1.wRate = 2e-4;
    m1.nodeRate = 3e-4;
    m1.aRate = 1e3;
    m1.eRate = 1e-7;
    m1.iRate = 1e-6;
    sMean m0 = Mode0();
    m0.wRate = -(m1.wRate + m1.nodeRate);
    m0.nodeRate = -m1.nodeRate;
    m0.aRate = m1.aRate;
    m0.eRate = m1.eRate;
    m0.iRate = m1.iRate;
    for (double days : {0.0, 37.0, 400.0, -250.0})
        EXPECT_TRUE(Near(GetMeanOrbitPos(&m1, m1.epoch + days),
                         GetMeanOrbitPos(&m0, m0.epoch + days), 0, 1e-12))
            << days;
    // The drift is real: the orbit 400 days on is not the constant-element one.
    sMean fixed = Mode0();
    EXPECT_FALSE(Near(GetMeanOrbitPos(&m0, m0.epoch + 400),
                      GetMeanOrbitPos(&fixed, fixed.epoch + 400), 0, 1e-4));
}

// The frame rows are x axis, pole, y axis: a rotated frame rotates the result, and an orbit of
// inclination 0 lies in the plane of rows 0 and 2.
TEST(MeanOrbit, FrameRowsPlaceTheOrbit) {
    sMean m = Mode0();
    m.i0 = 0;
    const VECTOR3 flat = GetMeanOrbitPos(&m, m.epoch + 10);
    EXPECT_EQ(flat.z, 0.0);
    // Rows: x axis, pole, y axis of a frame turned 30 deg about x and 50 deg about the pole.
    m.i0 = 0.4;
    const VECTOR3 in = GetMeanOrbitPos(&m, m.epoch + 10);
    const double a = 30 * M_PI / 180, b = 50 * M_PI / 180;
    const VECTOR3 x{std::cos(b), std::sin(b), 0};
    const VECTOR3 y0{-std::sin(b), std::cos(b), 0};
    const VECTOR3 y = y0 * std::cos(a) + VECTOR3{0, 0, 1} * std::sin(a);
    const VECTOR3 pole = CrossProduct(x, y);
    m.frame = {x.x, x.y, x.z, pole.x, pole.y, pole.z, y.x, y.y, y.z};
    const VECTOR3 out = GetMeanOrbitPos(&m, m.epoch + 10);
    EXPECT_TRUE(Near(out, x * in.x + y * in.y + pole * in.z, 0, 1e-14));
}

TEST(MeanOrbit, UnusableRecordsWriteNothing) {
    const VECTOR3 marker{1, 2, 3};
    sMean bad[4] = {Mode0(), Mode0(), Mode0(), Mode0()};
    bad[0].valid = 0;
    bad[1].mode = 2;
    bad[2].eRate = 1e-3;  // e passes 1 after about 900 days
    bad[3].aRate = -1e9;  // a passes 0
    for (sMean& m : bad) {
        VECTOR3 pos = marker, vel = marker, P = marker, Q = marker;
        double E = 7;
        GetMeanOrbitPosVel(&m, m.epoch + 1000, &pos, &vel, &E, &P, &Q);
        EXPECT_TRUE(Near(pos, marker, 0) && Near(vel, marker, 0) && Near(P, marker, 0) &&
                    Near(Q, marker, 0));
        EXPECT_EQ(E, 7);
        EXPECT_TRUE(Near(GetMeanOrbitPos(&m, m.epoch + 1000), VECTOR3{0, 0, 0}, 0));
    }
    GetMeanOrbitPosVel(nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
    sMean m = Mode0();
    GetMeanOrbitPosVel(&m, m.epoch, nullptr, nullptr, nullptr, nullptr, nullptr);  // no outputs
    EXPECT_TRUE(std::isnan(GetMeanOrbitPeriod(nullptr)));
}
