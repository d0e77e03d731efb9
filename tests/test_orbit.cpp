// The conic orbit against independent two-body formulas, published cases and round trips.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "tests/tolerance.h"
#include "tests/two_body.h"
#include "zaq/constants.h"
#include "zaq/hostsim.h"
#include "zaq/orbit.h"
#include "zaq/vector3.h"

using zaq::kRadPerDeg;

namespace {

constexpr double kMuEarth = 3.986004418e14;

// State from classical elements (true anomaly), perifocal frame rotated by 3-1-3 angles.
void StateFromElements(double a, double e, double i, double lan, double agp, double nu, double mu,
                       VECTOR3& r, VECTOR3& v) {
    const double p = a * (1 - e * e);
    const double rr = p / (1 + e * std::cos(nu));
    const double rp[2] = {rr * std::cos(nu), rr * std::sin(nu)};
    const double vp[2] = {-std::sqrt(mu / p) * std::sin(nu),
                          std::sqrt(mu / p) * (e + std::cos(nu))};
    const double cO = std::cos(lan), sO = std::sin(lan), cw = std::cos(agp), sw = std::sin(agp);
    const double ci = std::cos(i), si = std::sin(i);
    const VECTOR3 Px{cO * cw - sO * sw * ci, sO * cw + cO * sw * ci, sw * si};
    const VECTOR3 Qx{-cO * sw - sO * cw * ci, -sO * sw + cO * cw * ci, cw * si};
    r = Px * rp[0] + Qx * rp[1];
    v = Px * vp[0] + Qx * vp[1];
}

struct RandomOrbit {
    double a, e, i, lan, agp, nu;
};

RandomOrbit Draw(std::mt19937_64& rng) {
    std::uniform_real_distribution<double> u(0, 1);
    RandomOrbit o;
    const int kind = static_cast<int>(u(rng) * 4);
    if (kind == 0)
        o.e = 1e-9 * u(rng);  // near-circular
    else if (kind == 1)
        o.e = 0.99 * u(rng);  // ellipse
    else
        o.e = 1.0 + 1e-3 + 19 * u(rng) * u(rng);  // hyperbola, e up to 20
    const double rp = 6.6e6 + 4e7 * u(rng);
    o.a = rp / (1 - o.e);
    const int plane = static_cast<int>(u(rng) * 5);
    o.i = plane == 0 ? 0.0 : plane == 1 ? M_PI : plane == 2 ? M_PI / 2 : M_PI * u(rng);
    o.lan = PI2 * u(rng);
    o.agp = PI2 * u(rng);
    if (o.e > 1) {
        const double nmax = std::acos(-1 / o.e) * 0.98;
        o.nu = (2 * u(rng) - 1) * nmax;
    } else {
        o.nu = PI2 * u(rng);
    }
    return o;
}

}  // namespace

TEST(COrbitState, RandomStatesRoundTrip) {
    std::mt19937_64 rng(20261208);
    int hyperbolas = 0;
    for (int n = 0; n < 12000; ++n) {
        const RandomOrbit o = Draw(rng);
        VECTOR3 r, v;
        StateFromElements(o.a, o.e, o.i, o.lan, o.agp, o.nu, kMuEarth, r, v);
        COrbit orb(r, v, kMuEarth, 60000.0);
        ASSERT_CLOSE(orb.Position(), r, 0, 1e-9) << n << " e=" << o.e << " i=" << o.i;
        ASSERT_CLOSE(orb.Velocity(), v, 0, 1e-9) << n << " e=" << o.e << " i=" << o.i;
        ASSERT_CLOSE(orb.Ecc(), o.e < 1e-7 ? 0.0 : o.e, 1e-9, 0);
        ASSERT_CLOSE(orb.Inc(), o.i, 1e-7, 0);
        ASSERT_CLOSE(Length(CrossProduct(orb.P, orb.Q) - orb.W), 0.0, 1e-12, 0);
        hyperbolas += o.e > 1;
    }
    EXPECT_GT(hyperbolas, 4000);
}

// Curtis, "Orbital Mechanics for Engineering Students", Example 4.3.
TEST(COrbitState, CurtisExample4_3) {
    const double mu = 398600e9;
    COrbit o(VECTOR3{-6045e3, -3490e3, 2500e3}, VECTOR3{-3.457e3, 6.618e3, 2.533e3}, mu, 0);
    // The book rounds its intermediate results to four or five digits.
    EXPECT_CLOSE(std::sqrt(o.Par() * mu) / 1e6, 58310, 2, 0);  // h, km^2/s
    EXPECT_CLOSE(o.Inc() / kRadPerDeg, 153.2, 0.05, 0);
    EXPECT_CLOSE(o.LAN() / kRadPerDeg, 255.3, 0.05, 0);
    EXPECT_CLOSE(o.Ecc(), 0.1712, 0.00005, 0);
    EXPECT_CLOSE(o.AgP() / kRadPerDeg, 20.07, 0.005, 0);
    EXPECT_CLOSE(o.TrA() / kRadPerDeg, 28.45, 0.005, 0);
    EXPECT_CLOSE(o.SMa() / 1e3, 8788, 0.5, 0);
    EXPECT_CLOSE(o.OPe() / 3600, 2.278, 0.001, 0);
}

// Vallado, "Fundamentals of Astrodynamics and Applications", Example 2-5.
TEST(COrbitState, ValladoExample2_5) {
    const double mu = 398600.4418e9;
    COrbit o(VECTOR3{6524.834e3, 6862.875e3, 6448.296e3},
             VECTOR3{4.901327e3, 5.533756e3, -1.976341e3}, mu, 0);
    // Printed to the precision of the book's working (about 1e-6 relative).
    EXPECT_CLOSE(o.Par() / 1e3, 11067.790, 0.01, 0);
    EXPECT_CLOSE(o.SMa() / 1e3, 36127.343, 0.01, 0);
    EXPECT_CLOSE(o.Ecc(), 0.832853, 5e-7, 0);
    EXPECT_CLOSE(o.Inc() / kRadPerDeg, 87.870, 0.001, 0);
    EXPECT_CLOSE(o.LAN() / kRadPerDeg, 227.898, 0.0005, 0);
    EXPECT_CLOSE(o.AgP() / kRadPerDeg, 53.38, 0.005, 0);
    EXPECT_CLOSE(o.TrA() / kRadPerDeg, 92.335, 0.0005, 0);
}

TEST(COrbitState, ApsesCirclesAndFrames) {
    // At periapsis r.v = 0: TrA 0 (or 2pi), M 0; at apoapsis TrA pi.
    VECTOR3 r, v;
    StateFromElements(8e6, 0.3, 0.5, 1.0, 2.0, 0.0, kMuEarth, r, v);
    COrbit peri(r, v, kMuEarth, 0);
    EXPECT_TRUE(peri.TrA() < 1e-9 || peri.TrA() > PI2 - 1e-9) << peri.TrA();
    EXPECT_CLOSE(std::sin(peri.MnA()), 0.0, 1e-9, 0);
    StateFromElements(8e6, 0.3, 0.5, 1.0, 2.0, M_PI, kMuEarth, r, v);
    EXPECT_CLOSE(COrbit(r, v, kMuEarth, 0).TrA(), M_PI, 1e-9, 0);

    // Circular and inclined: the longitude of periapsis is zero; every point reproduces.
    for (double nu = 0.1; nu < PI2; nu += 0.7) {
        StateFromElements(7e6, 0.0, 0.9, 2.5, 0.0, nu, kMuEarth, r, v);
        COrbit c(r, v, kMuEarth, 0);
        EXPECT_EQ(c.Ecc(), 0.0);
        EXPECT_EQ(c.SMa(), c.Par());
        EXPECT_TRUE(c.LPe() < 1e-9 || c.LPe() > PI2 - 1e-9) << c.LPe();
        EXPECT_CLOSE(c.Position(), r, 0, 1e-12);
    }
    // Circular in the x-y plane, both senses: periapsis on x.
    for (double s : {1.0, -1.0}) {
        COrbit c;
        c.CreateCircular(VECTOR3{-3e6, 6e6, 0}, VECTOR3{0, 0, s}, kMuEarth, 0);
        EXPECT_CLOSE(c.P, (VECTOR3{1, 0, 0}), 1e-15, 0);
        EXPECT_CLOSE(c.Position(), (VECTOR3{-3e6, 6e6, 0}), 0, 1e-12);
        EXPECT_CLOSE(c.W, (VECTOR3{0, 0, s}), 1e-15, 0);
    }
    // A reference frame given with a tilted pole still comes out orthonormal.
    COrbit f;
    f.ReferencePole(VECTOR3{2, 0, 0}, VECTOR3{0.3, 0.1, 1});
    EXPECT_CLOSE(f.Equinox(), (VECTOR3{1, 0, 0}), 0, 0);
    EXPECT_CLOSE(Length(f.Auxiliary()), 1.0, 1e-15, 0);
    EXPECT_CLOSE(dotp(f.Pole(), f.Auxiliary()), 0.0, 1e-15, 0);
    EXPECT_CLOSE(dotp(f.Pole(), f.Equinox()), 0.0, 1e-15, 0);
}

TEST(COrbitElements, ElementsRoundTripInAnyFrame) {
    COrbit o;
    o.CreateFromElements(9e6, 0.2, 0.7, 4.0, 1.3, 2.2, kMuEarth, 100);
    EXPECT_CLOSE(o.Inc(), 0.7, 1e-12, 0);
    EXPECT_CLOSE(o.LAN(), 4.0, 1e-12, 0);
    EXPECT_CLOSE(o.AgP(), 1.3, 1e-12, 0);
    EXPECT_CLOSE(o.MnA(), 2.2, 0, 0);
    EXPECT_CLOSE(o.MnL(), NormalizeAngle(4.0 + 1.3 + 2.2), 1e-12, 0);
    EXPECT_CLOSE(o.PeMJD(), 100 + o.TimeToMnA(0) / 86400, 1e-12, 0);
    o.CreateFromElements(9e6, 0.2, 0.7, 4.0, 0.0, 2.2, kMuEarth, 100);
    EXPECT_CLOSE(o.AgP(), PI2, 1e-12, 0);  // periapsis at the node reads 2 pi

    // In a turned frame the same construction measures the same angles.
    COrbit t;
    t.ReferencePole(VECTOR3{0, 1, 0}, VECTOR3{1, 0, 0});
    t.CreateFromElements(9e6, 0.2, 0.7, 4.0, 1.3, 2.2, kMuEarth, 100);
    EXPECT_CLOSE(t.Inc(), 0.7, 1e-12, 0);
    EXPECT_CLOSE(t.LAN(), 4.0, 1e-12, 0);
    EXPECT_CLOSE(t.AgP(), 1.3, 1e-12, 0);
    // A retrograde orbit: Inc2 is measured towards the node side.
    t.CreateFromElements(9e6, 0.2, 2.5, 1.0, 1.3, 2.2, kMuEarth, 100);
    EXPECT_CLOSE(t.Inc(), 2.5, 1e-12, 0);
    EXPECT_GE(t.Inc2(), 0.0);
    EXPECT_LT(t.Inc2(), PI2);

    // The sElements record is the first thirteen members.
    otk::sElements el;
    std::memcpy(&el, &o, sizeof el);
    COrbit copy(el);
    EXPECT_CLOSE(copy.Position(), o.Position(), 0, 0);
    EXPECT_EQ(copy.Epoch(), 100);
}

TEST(COrbitElements, HostRecordReproducesTheHostsState) {
    using namespace zaq::hostsim;
    Reset();
    SetSimMJD(60010.0);
    BodyDesc s;
    s.name = "Star";
    s.mass = 2e30;
    OBJHANDLE star = AddBody(s);
    BodyDesc b;
    b.name = "World";
    b.mass = 6e24;
    b.parent = star;
    b.motion = Motion::Elements;
    b.elements = {1.5e11, 0.2, 0.3, 1.1, 2.9, 4.0};
    b.epoch = 60000.0;
    OBJHANDLE world = AddBody(b);
    ASSERT_NE(world, nullptr);
    COrbit o;
    const double mu = kG * (2e30 + 6e24);
    o.CreateFromElements(&b.elements, mu, 60000.0);
    VECTOR3 r, v;
    o.PosVelByMJD(60010.0, &r, &v);
    VECTOR3 hr, hv;
    oapiGetRelativePos(world, star, &hr);
    oapiGetRelativeVel(world, star, &hv);
    EXPECT_CLOSE(r, SwapYZ(hr), 0, 1e-10);
    EXPECT_CLOSE(v, SwapYZ(hv), 0, 1e-10);

    // From host objects: both masses for a body, the reference alone for a vessel.
    COrbit fromHost(world, star);
    EXPECT_CLOSE(fromHost.mu, mu, 0, 1e-15);
    EXPECT_CLOSE(fromHost.Position(), SwapYZ(hr), 0, 1e-12);
    VesselDesc vd;
    vd.name = "Probe";
    vd.gravityRef = world;
    vd.pos = {7e6, 1e5, 0};
    vd.vel = {0, 100, 7600};
    vd.mass = 1e3;
    VESSEL* probe = oapiGetVesselInterface(AddVessel(vd));
    COrbit vo;
    vo.Create(probe);
    EXPECT_CLOSE(vo.mu, kG * 6e24, 0, 1e-15);
    EXPECT_CLOSE(vo.Position(), (VECTOR3{7e6, 0, 1e5}), 0, 1e-12);
    EXPECT_CLOSE(vo.Velocity(), (VECTOR3{0, 7600, 100}), 0, 1e-12);
}

TEST(COrbitQueries, PropagationAgreesWithUniversalVariables) {
    std::mt19937_64 rng(77);
    std::uniform_real_distribution<double> u(0, 1);
    for (int n = 0; n < 400; ++n) {
        const RandomOrbit o = Draw(rng);
        VECTOR3 r0, v0;
        StateFromElements(o.a, o.e, o.i, o.lan, o.agp, o.nu, kMuEarth, r0, v0);
        COrbit orb(r0, v0, kMuEarth, 58000.0);
        // Ellipses over many periods; hyperbolas over a few hours either way.
        const double span = o.e < 1 ? orb.OPe() * 50 * u(rng) : 2e4 * (2 * u(rng) - 1);
        VECTOR3 r, v;
        orb.PosVelByMJD(58000.0 + span / 86400, &r, &v);
        const zaq::test::TwoBodyState ref =
            zaq::test::FlyTwoBody(r0, v0, (58000.0 + span / 86400 - 58000.0) * 86400, kMuEarth);
        EXPECT_CLOSE(r, ref.r, 0, 1e-8) << n << " e=" << o.e;
        EXPECT_CLOSE(v, ref.v, 0, 1e-8) << n << " e=" << o.e;
        EXPECT_CLOSE(orb.PosByMJD(58000.0 + span / 86400), r, 0, 1e-12);
    }
}

// Queries along a sequence of dates, each Kepler solve started from the last one, agree with the
// plain queries: small steps either way, jumps over fractions and many periods, a hyperbola.
TEST(COrbitQueries, WarmStartedSequenceMatchesThePlainQueries) {
    const double steps[] = {1e-5, 1e-5, -3e-5, 2e-3, 0.37, 7.2, -5.9, 1e-5};  // periods
    otk::sAnomaly near;  // carried from one conic to the next, the hyperbola's to an ellipse
    for (double e : {0.0, 0.0167, 0.3, 0.9, 1.5, 0.3}) {
        COrbit o;
        o.CreateFromElements(e < 1 ? 1e7 : -1e7, e, 0.2, 0.3, 0.4, 1.0, kMuEarth, 60000);
        double mjd = 60000;
        for (int n = 0; n < 400; ++n) {
            mjd += steps[n % 8] * o.OPe() / 86400;
            VECTOR3 r, v, rw, vw;
            o.PosVelByMJD(mjd, &r, &v);
            o.PosVelByMJD(mjd, &rw, &vw, near);
            ASSERT_CLOSE(rw, r, 0, 1e-12) << "e=" << e << " n=" << n;
            ASSERT_CLOSE(vw, v, 0, 1e-12) << "e=" << e << " n=" << n;
        }
    }
    // A propagator's pace: thousands of small steps in a row, each start turned by its step.
    for (double e : {0.0167, 0.055, 0.6}) {
        COrbit o;
        o.CreateFromElements(3.8e8, e, 0.1, 0.2, 0.3, 2.0, kMuEarth, 60000);
        otk::sAnomaly run;
        for (int n = 1; n <= 3000; ++n) {
            const double mjd = 60000 + n * 1e-4 * o.OPe() / 86400;
            VECTOR3 r, v, rw, vw;
            o.PosVelByMJD(mjd, &r, &v);
            o.PosVelByMJD(mjd, &rw, &vw, run);
            ASSERT_CLOSE(rw, r, 0, 1e-13) << "e=" << e << " n=" << n;
            ASSERT_CLOSE(vw, v, 0, 1e-13) << "e=" << e << " n=" << n;
        }
    }
}

TEST(COrbitQueries, TimesToAnomalies) {
    COrbit o;
    o.CreateFromElements(1e7, 0.4, 0.2, 0.3, 0.4, 1.0, kMuEarth, 0);
    const double T = o.OPe();
    EXPECT_EQ(o.TimeToMnA(1.0), 0.0);
    EXPECT_CLOSE(o.TimeToMnA(1.0 + M_PI), T / 2, 1e-6, 0);
    EXPECT_LT(o.TimeToMnA(1.0 + M_PI + 1e-6), 0.0);
    EXPECT_CLOSE(o.MnAByTime(T), 1.0, 1e-12, 0);
    EXPECT_CLOSE(o.MJDByEcA(o.EcA()), o.Epoch(), 1e-15, 0);
    EXPECT_CLOSE(o.PosByEcA(0), o.P * (0.6 * 1e7), 1e-6, 0);
    EXPECT_CLOSE(o.VelByTrA(0), o.Q * (o.velocityScale * 1.4), 1e-9, 0);
    VECTOR3 r{1, 2, 3};
    o.PosVelByMJD(0, nullptr, &r);
    EXPECT_CLOSE(r, o.Velocity(), 1e-9, 0);
    // Periapsis and apoapsis times agree with the anomaly queries.
    EXPECT_CLOSE(o.PeT(), o.TimeToMnA(0) + (o.TimeToMnA(0) < 0 ? T : 0), 1e-6, 0);
    EXPECT_CLOSE(o.TrAByTime(o.ApT()), M_PI, 1e-9, 0);
    // Hyperbolic mean anomaly keeps growing.
    COrbit h;
    h.CreateFromElements(-1e7, 1.5, 0.2, 0.3, 0.4, 0.5, kMuEarth, 0);
    EXPECT_CLOSE(h.MnAByTime(1e5), 0.5 + h.meanMotion * 1e5, 1e-9, 0);
    EXPECT_EQ(h.MaxTrA(), std::acos(-1 / 1.5) - 1e-9);
    EXPECT_EQ(o.MaxTrA(), PI2);
    EXPECT_EQ(o.MaxNrA(), PI2);
    EXPECT_EQ(o.EscapeVelocity(), -1.0);
    EXPECT_CLOSE(h.EscapeVelocity(), std::sqrt(kMuEarth / 1e7), 1e-9, 0);
}

TEST(COrbitQueries, RelativeAnomaliesCountWholeRevolutionsOnce) {
    COrbit o;
    o.CreateFromElements(1e7, 0.3, 0.2, 0.3, 0.4, 5.5, kMuEarth, 0);
    const double T = o.OPe();
    EXPECT_EQ(o.RelTrAByTime(0), 0.0);
    EXPECT_EQ(o.TimeToRelTrA(0), 0.0);
    for (int k = -3; k <= 3; ++k) {
        if (k == 0) continue;
        EXPECT_CLOSE(o.TimeToRelTrA(k * PI2), k * T, 1e-6, 0) << k;
        EXPECT_CLOSE(o.RelTrAByTime(k * T), k * PI2, 1e-9, 0) << k;
    }
    // 1.5 periods: one turn plus the advance of half a period.
    const double half = o.RelTrAByTime(T / 2);
    EXPECT_CLOSE(o.RelTrAByTime(1.5 * T), PI2 + half, 1e-9, 0);
    EXPECT_LT(o.RelTrAByTime(-0.3 * T), 0.0);
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-5, 5);
    for (int n = 0; n < 200; ++n) {
        const double t = u(rng) * T;
        EXPECT_CLOSE(o.TimeToRelTrA(o.RelTrAByTime(t)), t, 1e-6, 0) << t / T;
    }
}

TEST(COrbitQueries, RadiusHeadingProjection) {
    COrbit o;
    o.CreateFromElements(1e7, 0.3, 0.0, 0.0, 0.5, 1.0, kMuEarth, 0);
    EXPECT_EQ(o.TrAByRadius(o.PeD()), -1.0);
    EXPECT_EQ(o.TrAByRadius(o.ApD()), -1.0);
    const double nu = o.TrAByRadius(1.1e7);
    EXPECT_GT(nu, 0);
    EXPECT_LT(nu, M_PI);
    EXPECT_CLOSE(o.RadiusByTrA(nu), 1.1e7, 1e-6, 0);
    EXPECT_CLOSE(Length(o.PosByTrA(nu)), 1.1e7, 1e-6, 0);
    COrbit h;
    h.CreateFromElements(-1e7, 2.0, 0.1, 0, 0, 0, kMuEarth, 0);
    EXPECT_GT(h.TrAByRadius(1e12), 0.0);
    COrbit c;
    c.CreateCircular(VECTOR3{7e6, 0, 0}, VECTOR3{0, 0, 1}, kMuEarth, 0);
    EXPECT_EQ(c.TrAByRadius(7e6), -1.0);
    // A prograde equatorial orbit heads due east everywhere.
    VECTOR3 z{0, 0, 1};
    for (double t = 0.2; t < PI2; t += 0.9) EXPECT_CLOSE(o.Heading(t, z), M_PI / 2, 1e-12, 0);
    // Flight-path angle from the state: asin(r.v / (|r||v|)).
    const VECTOR3 r = o.PosByTrA(2.0), v = o.VelByTrA(2.0);
    EXPECT_CLOSE(o.FlightPathAngle(2.0), std::asin(dotp(r, v) / (Length(r) * Length(v))), 1e-12, 0);
    EXPECT_CLOSE(o.TrAOfProjection(r + VECTOR3{0, 0, 5e6}), 2.0, 1e-12, 0);
    // The ascending node on a plane tilted about x lies on the x axis.
    COrbit inc;
    inc.CreateFromElements(1e7, 0.1, 0.5, 0.0, 0.7, 0, kMuEarth, 0);
    const double nodeNu = inc.TrAOfAscendingNode(VECTOR3{0, 0, 1});
    EXPECT_CLOSE(unit(inc.PosByTrA(nodeNu)), (VECTOR3{1, 0, 0}), 1e-12, 0);
}

TEST(COrbitBuilders, EscapeOrbitLeavesAlongTheExcessVelocity) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int n = 0; n < 200; ++n) {
        const VECTOR3 pos{6.7e6 * u(rng), 6.7e6 * u(rng), 6.7e6 * u(rng)};
        const VECTOR3 vinf{3e3 * u(rng), 3e3 * u(rng), 3e3 * u(rng)};
        for (double dir : {1.0, -1.0}) {
            COrbit o;
            o.EscapeOrbit(pos, vinf, kMuEarth, 0, dir);
            EXPECT_CLOSE(o.Position(), pos, 0, 1e-9) << n;
            EXPECT_CLOSE(o.EscapeVelocity(), Length(vinf), 0, 1e-12);
            // The outgoing asymptote: the velocity at the largest true anomaly.
            const VECTOR3 out = unit(o.VelByTrA(o.MaxTrA()));
            EXPECT_LT(AngleBetween(out, vinf), 1e-3) << n << " dir " << dir;
            // The orbit leaves: the epoch point is not past the asymptote.
            EXPECT_LT(o.TrA() < M_PI ? o.TrA() : o.TrA() - PI2, o.MaxTrA());
        }
    }
}

TEST(COrbitBuilders, ApproachAndTwoPositionOrbitsPassThroughTheirPoints) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int n = 0; n < 200; ++n) {
        const VECTOR3 peri = unit(VECTOR3{u(rng), u(rng), u(rng)}) * 7e6;
        const VECTOR3 pos = unit(VECTOR3{u(rng), u(rng), u(rng)}) * (8e6 + 1e8 * (u(rng) + 1));
        // A conic with that periapsis reaches pos only if pos projects inside the periapsis.
        const bool reachable = dotp(pos, unit(peri)) < 7e6;
        for (double dir : {1.0, -1.0}) {
            if (!reachable) break;
            COrbit o;
            o.ApproachOrbit(pos, peri, kMuEarth, 0, dir);
            EXPECT_CLOSE(o.Position(), pos, 0, 1e-9) << n << " dir " << dir;
            EXPECT_CLOSE(o.PosByTrA(0), peri, 0, 1e-9);
            EXPECT_CLOSE(o.PeD(), 7e6, 0, 1e-12);
        }
        const VECTOR3 r1 = pos, r2 = unit(VECTOR3{u(rng), u(rng), u(rng)}) * 1.5e7;
        COrbit t;
        // Any p above the minimum of the chord geometry gives a conic through both points.
        const double p = 2e7 * (1.1 + u(rng));
        t.CreateFrom2Pos(r1, r2, p, kMuEarth, 0);
        EXPECT_CLOSE(t.Position(), r1, 0, 1e-9) << n;
        EXPECT_CLOSE(dotp(r2, t.W), 0.0, 1e-6 * Length(r2), 0);
        EXPECT_CLOSE(t.RadiusByTrA(t.TrAOfProjection(r2)), Length(r2), 0, 1e-9);
    }
}

TEST(COrbitPrint, NineLinesWithoutLabel) {
    COrbit o;
    o.CreateFromElements(1e7, 0.3, 0.2, 0.3, 0.4, 1.0, kMuEarth, 0);
    FILE* f = std::tmpfile();
    o.Print(f, nullptr);
    o.Print(f, "Probe");
    std::rewind(f);
    char line[512];
    int n = 0;
    std::string all;
    while (std::fgets(line, sizeof line, f)) ++n, all += line;
    std::fclose(f);
    EXPECT_EQ(n, 19);
    EXPECT_NE(all.find("</font>SMa=1e+07<br>"), std::string::npos) << all;
    EXPECT_NE(all.find("</font>Probe Orbit:<br>"), std::string::npos);
    EXPECT_NE(all.find("</font>Ecc=0.3<br>"), std::string::npos);
}
