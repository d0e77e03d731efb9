// The solar-system model's ephemerides against the host's states, and its interpolation.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/sol_model.h"
#include "tests/tolerance.h"
#include "zaq/hostsim.h"
#include "zaq/zaq.h"

using namespace zaq::test;

TEST_F(Sol, EphemeridesAgreeWithTheHost) {
    OBJHANDLE hE = s.GetHandle(earth), hM = s.GetHandle(moon);
    const double t = kMjd + 3.3;
    zaq::hostsim::SetSimMJD(t);
    EXPECT_CLOSE(s.GetEphemTruePos(earth, t), HostPos(hE, s.GetHandle(0)), 1e-3, 0);
    // Earth's barycentric position lies off its centre by the Moon's share of their mass.
    const double ratio = oapiGetMass(hM) / (oapiGetMass(hE) + oapiGetMass(hM));
    const VECTOR3 offset = s.GetEphemBaryPos(earth, t) - s.GetEphemTruePos(earth, t);
    EXPECT_CLOSE(offset, HostPos(hM, hE) * ratio, 1e-3, 0);
    EXPECT_CLOSE(s.GetEphemBaryOffset(earth, t), offset, 1e-3, 0);
    VECTOR3 p, v, bp, bv;
    // Velocities against central differences of positions: a forward difference over the step
    // h = 1e-5 of a circular period is off by about |a| h / 2.
    for (int i : {earth, moon, s.GetId("Mars"), s.GetId("Jupiter")}) {
        for (bool bary : {false, true}) {
            SCOPED_TRACE(std::string(s.GetName(i)) + (bary ? " barycentric" : " true"));
            auto pos = [&](double d) {
                return bary ? s.GetEphemBaryPos(i, t + d / 86400)
                            : s.GetEphemTruePos(i, t + d / 86400);
            };
            ASSERT_TRUE(bary ? s.GetEphemBaryPosVel(i, t, &p, &v)
                             : s.GetEphemTruePosVel(i, t, &p, &v));
            const double r = Length(p), mu = s.GetGravityInfo(s.GetReference(i))->GM;
            const double h = 2 * M_PI * std::sqrt(r * r * r / mu) * 1e-5;
            const double acc = Length(pos(h) - pos(0) * 2 + pos(-h)) / (h * h);
            EXPECT_CLOSE(v, (pos(h) - pos(-h)) / (2 * h), 0.6 * acc * h, 0);
            if (i == moon) {
                // Its module is asked for the velocity: no difference error, and not zero.
                EXPECT_CLOSE(v, (pos(h) - pos(-h)) / (2 * h), 0, 1e-5);
                VECTOR3 hv;
                oapiGetRelativeVel(hM, hE, &hv);
                EXPECT_CLOSE(v, SwapYZ(hv), 1e-9, 0);
            }
        }
    }
    s.GetEphemTruePosVel(moon, t, &p, &v);
    s.GetEphemBaryPosVel(moon, t, &bp, &bv);
    EXPECT_CLOSE(bp, p, 0, 0);
    EXPECT_CLOSE(bv, v, 0, 0);
    // The star sits at the origin; Mars's moons do not move it noticeably.
    EXPECT_TRUE(s.GetEphemTruePosVel(0, t, &p, &v));
    EXPECT_TRUE(s.GetIpPosVel(0, t, &bp, &bv));
    for (const VECTOR3& x : {p, v, bp, bv, s.GetEphemBaryPos(0, t)})
        EXPECT_CLOSE(x, VECTOR3({0, 0, 0}), 0, 0);
    EXPECT_TRUE(s.GetEphemBaryOffset(s.GetId("Mars"), t, &p, &v));
    EXPECT_CLOSE(p, VECTOR3({0, 0, 0}), 0, 0);
    EXPECT_FALSE(s.GetEphemBaryOffset(s.GetId("Venus"), t, &p, &v));
}

// ---- interpolation ---------------------------------------------------------------------------

TEST_F(Sol, InterpolationFollowsTheEphemerisOverAMonth) {
    // The analysis samples its deviation 4.5 times per interval, which can miss the true peak by
    // 5 %. For the Moon it sweeps only two days of the month, at one phase: the Sun's tide, and
    // with it the fit's error, doubles from quadrature to new or full moon.
    const struct {
        const char* name;
        double factor;
    } cases[] = {{"Earth", 1.06}, {"Moon", 2.2}, {"Mars", 1.06}, {"Jupiter", 1.06}};
    for (const auto& c : cases) {
        const int i = s.GetId(c.name);
        double worst = 0;
        VECTOR3 p, v;
        for (double t = kMjd; t < kMjd + 30; t += 0.01) {
            ASSERT_TRUE(s.GetIpPosVel(i, t, &p, &v));
            worst = std::max(worst, Length(p - s.GetEphemBaryPos(i, t)));
        }
        EXPECT_LE(worst, c.factor * s.GetData(i, CSD_DEVIATION)) << c.name;
    }
}

TEST(SolInterpolation, RefillsOnlyWhenTheClockJumps) {
    KeplerWorld w;
    ASSERT_EQ(w.Setup(), 0);
    CSol& s = w.sol;
    KeplerModule* module = w.moon;
    const int i = s.GetId("Moon");
    const double step = 2 * M_PI / module->orbit.meanMotion / 720 / 86400;  // days
    VECTOR3 p, v, e, ev;
    // A refill asks for two samples; on a Keplerian module the fitted conic is the orbit itself.
    const int before = module->calls;
    double t = kMjd + 0.3;
    ASSERT_TRUE(s.GetIpPosVel(i, t, &p, &v));
    EXPECT_EQ(module->calls - before, 2);
    // Forward by less than half an interval per call: at most one new sample per call.
    for (int n = 0; n < 500; ++n) {
        const int calls = module->calls;
        t += 0.45 * step;
        ASSERT_TRUE(s.GetIpPosVel(i, t, &p, &v));
        EXPECT_LE(module->calls - calls, 1);
        module->orbit.PosVelByMJD(t, &e, &ev);
        EXPECT_CLOSE(p, e, 0, 1e-11);
        EXPECT_CLOSE(v, ev, 1e-6, 1e-9);
    }
    EXPECT_NEAR(module->calls - before, 2 + 500 * 0.45, 2);
    // Back within a quarter interval of the refill date: no sample; further back: a refill.
    const double t0 = t + 10 * step;
    for (const auto& [dt, samples] : {std::pair{0.0, 2}, {-0.2, 0}, {-0.3, 2}}) {
        const int calls = module->calls;
        ASSERT_TRUE(s.GetIpPosVel(i, t0 + dt * step, &p, nullptr));
        EXPECT_EQ(module->calls - calls, samples) << dt;
    }
}

TEST(SolInterpolation, FailedRefitsAreReportedAndRetried) {
    // A module stuck on one position gives two equal samples, through which no conic passes:
    // a refill and an advance fail with their messages, and once the module moves again the
    // next query refits instead of answering from the conic of another interval.
    KeplerWorld w;
    ASSERT_EQ(w.Setup(), 0);
    const int i = w.sol.GetId("Moon");
    const double step = 2 * M_PI / w.moon->orbit.meanMotion / 720 / 86400;
    VECTOR3 p, v;
    const struct {
        const char* path;
        double at;  // after a good interval at kMjd + 1, in intervals
        const char* text;
    } cases[] = {{"refill", 10, "ts=%g LambertPN Failed"},
                 {"advance", 1.2, "Update: GetObjectPosVel(idObj=%d, mjd=%g) LambertPN Failed"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(w.sol.GetIpPosVel(i, kMjd + 1, &p, &v)) << c.path;
        const double t = kMjd + 1 + c.at * step;
        w.moon->frozen = true;
        EXPECT_FALSE(w.sol.GetIpPosVel(i, t, &p, &v)) << c.path;
        w.moon->frozen = false;
        ASSERT_TRUE(w.sol.GetIpPosVel(i, t, &p, &v)) << c.path;
        EXPECT_CLOSE(p, w.moon->Pos(t), 0, 1e-11);
    }
    const std::string log = w.Log();
    char refill[80], advance[80];
    std::snprintf(refill, sizeof refill, "GetIpPosVel(idObj=%d, mjd=%g) ts=", i,
                  kMjd + 1 + 10 * step);
    std::snprintf(advance, sizeof advance,
                  "Update: GetObjectPosVel(idObj=%d, mjd=%g) LambertPN Failed", i, kMjd + 1 + step);
    EXPECT_NE(log.find(refill), std::string::npos) << refill;
    EXPECT_NE(log.find(advance), std::string::npos) << advance;
}

TEST(SolInterpolation, ATrueOnlyModuleIsMovedToItsBarycentre) {
    // Earth's module gives its centre when asked for the Earth-Moon barycentre: the model marks
    // it and adds the Moon's share of the pair's mass times the Moon's position.
    KeplerWorld w(true);
    ASSERT_EQ(w.Setup(), 0);
    const int earth = w.sol.GetId("Earth");
    EXPECT_TRUE(w.sol.GetObjectFlags(earth) & CS_FALSEPOS);
    const double share = w.mMoon / (w.mEarth + w.mMoon);
    auto bary = [&](double t) { return w.earth->Pos(t) + w.moon->Pos(t) * share; };
    const double t = kMjd + 3.3;
    EXPECT_CLOSE(w.sol.GetEphemBaryPos(earth, t), bary(t), 0, 1e-13);
    // An interpolation refilled at t passes through the barycentre there.
    VECTOR3 p, v;
    ASSERT_TRUE(w.sol.GetIpPosVel(earth, t, &p, &v));
    EXPECT_CLOSE(p, bary(t), 0, 1e-12);
}
