// Escape and ejection burns, the Lambert ignition search and great-circle geometry, checked
// against closed-form conics, an independent Lambert solver and spherical trigonometry.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/capture_log.h"
#include "tests/tolerance.h"
#include "zaq/adaptors.h"
#include "zaq/constants.h"
#include "zaq/hostsim.h"
#include "zaq/lambert.h"
#include "zaq/orbit.h"

using zaq::kRadPerDeg;

using zaq::test::CaptureErrorLog;

namespace {

constexpr double kMuEarth = 3.986004418e14;
constexpr double kPark = 6378137.0 + 300e3;  // 300 km parking orbit

// Circular orbit of radius r in the plane with normal (0, -sin tilt, cos tilt), at x at mjd.
COrbit Circular(double r, double mjd, double tilt = 0) {
    COrbit o;
    const double v = std::sqrt(kMuEarth / r);
    o.CreateFromStateVectors({r, 0, 0}, {0, v * std::cos(tilt), v * std::sin(tilt)}, kMuEarth, mjd);
    return o;
}

// Outgoing asymptote of a hyperbola.
VECTOR3 Asymptote(COrbit& h) {
    const double nu = std::acos(-1 / h.Ecc());
    return h.P * std::cos(nu) + h.Q * std::sin(nu);
}

}  // namespace

// A tangential burn at the periapsis of the escape hyperbola costs sqrt(vinf^2 + 2 mu/r) -
// sqrt(mu/r); both searches must find it for every direction of vinf in the plane, including
// those whose search bracket passes 2pi.
TEST(Escape, BurnMatchesTangentialPeriapsisBurn) {
    COrbit park = Circular(kPark, 61000);
    const double vinf = 3000;
    const double analytic =
        std::sqrt(vinf * vinf + 2 * kMuEarth / kPark) - std::sqrt(kMuEarth / kPark);
    for (double angle = 0; angle < 360; angle += 25) {
        VECTOR3 v{vinf * std::cos(angle * kRadPerDeg), vinf * std::sin(angle * kRadPerDeg), 0};
        SCOPED_TRACE(angle);
        VECTOR3 dv{};
        COrbit escape;
        const double nu = EjectPosition(&park, v, kMuEarth, &dv, &escape);
        EXPECT_GE(nu, 0);
        EXPECT_LE(nu, PI2);
        EXPECT_TRUE(zaq::test::Near(Length(dv), analytic, 0, 1e-3));
        // The burn is along the orbit velocity at the burn point.
        EXPECT_LT(AngleBetween(dv, park.VelByTrA(nu)), 0.5 * kRadPerDeg);
        EXPECT_LT(AngleBetween(Asymptote(escape), v), 0.1 * kRadPerDeg);
        EXPECT_TRUE(zaq::test::Near(escape.EscapeVelocity(), vinf, 1e-6, 1e-9));

        VECTOR3 dv2{};
        const double nu2 = EscapeIgnTrA(&park, v, kMuEarth, &dv2);
        EXPECT_GE(nu2, 0);
        EXPECT_LE(nu2, PI2);
        EXPECT_TRUE(zaq::test::Near(Length(dv2), analytic, 0, 1e-3));
        // Both find the same point: the periapsis of the escape hyperbola lies there.
        EXPECT_LT(std::fabs(std::remainder(nu2 - nu, PI2)), 1 * kRadPerDeg);
    }
}

// For an inclined vinf the burn leaves the plane, and it can only cost more than the coplanar one.
TEST(Escape, OutOfPlaneExcessCostsMore) {
    COrbit park = Circular(kPark, 0);
    VECTOR3 v{3000 * std::cos(20 * kRadPerDeg), 0, 3000 * std::sin(20 * kRadPerDeg)};
    VECTOR3 dv{};
    COrbit escape;
    EjectPosition(&park, v, kMuEarth, &dv, &escape);
    const double coplanar = std::sqrt(9e6 + 2 * kMuEarth / kPark) - std::sqrt(kMuEarth / kPark);
    EXPECT_GT(Length(dv), coplanar);
    EXPECT_LT(AngleBetween(Asymptote(escape), v), 0.1 * kRadPerDeg);
}

namespace {

// The Lambert burn from the parking orbit at ignition x to target at arrival, by the
// universal-variable solver (independent of the search's own solver).
VECTOR3 LambertBurn(COrbit& park, VECTOR3 target, double x, double arrival) {
    VECTOR3 r, v, v1;
    park.PosVelByMJD(x, &r, &v);
    const double dir = dotp(CrossProduct(r, target), park.W) >= 0 ? 1 : -1;
    EXPECT_GT(
        otk::LambertUB(r, target, (arrival - x) * 86400, dir, kMuEarth, nullptr, 0, &v1, nullptr),
        0);
    return v1 - v;
}

}  // namespace

// A trans-lunar injection: a target at the Moon's distance half a degree out of the parking plane,
// reached three days later. The ignition found is the least-dv one nearby, and its dv is the
// Lambert departure velocity minus the orbit velocity at that date.
TEST(Ignition, LeastDvTransLunarInjection) {
    const double mjd = 61000, arrival = mjd + 3;
    COrbit park = Circular(kPark, mjd);
    VECTOR3 pos = park.Position(), vel = park.Velocity();
    VECTOR3 target =
        VECTOR3{std::cos(130 * kRadPerDeg), std::sin(130 * kRadPerDeg) * std::cos(0.5 * kRadPerDeg),
                std::sin(130 * kRadPerDeg) * std::sin(0.5 * kRadPerDeg)} *
        384400e3;
    VECTOR3 dv{};
    double x = 0;
    const std::string log =
        CaptureErrorLog([&] { x = FindLAPIgnMJD(pos, vel, target, mjd, arrival, kMuEarth, &dv); });
    ASSERT_GT(x, mjd + 5.0 / 1440) << log;
    EXPECT_LT(x, mjd + 5.0 / 1440 + park.OPe() / 86400);
    EXPECT_NE(log.find("FindLAPIgnMJD done in"), std::string::npos) << log;
    // Hohmann-like: about 3.1 km/s from 300 km.
    EXPECT_GT(Length(dv), 3000);
    EXPECT_LT(Length(dv), 3200);
    EXPECT_TRUE(zaq::test::Near(dv, LambertBurn(park, target, x, arrival), 0.01));
    // No ignition within half an hour either side does better.
    const double best = Length(dv);
    for (int k = -30; k <= 30; k += 3) {
        if (k == 0) continue;
        EXPECT_GE(Length(LambertBurn(park, target, x + k / 1440.0, arrival)), best - 1e-3) << k;
    }
}

TEST(Ignition, TargetOffThePlaneIsRefused) {
    const double mjd = 61000;
    COrbit park = Circular(kPark, mjd);
    VECTOR3 pos = park.Position(), vel = park.Velocity();
    auto tilted = [](double deg) {
        return VECTOR3{-std::cos(deg * kRadPerDeg), 0, std::sin(deg * kRadPerDeg)} * 384400e3;
    };
    VECTOR3 off = tilted(30), near = tilted(19);
    double x = 1;
    std::string log =
        CaptureErrorLog([&] { x = FindLAPIgnMJD(pos, vel, off, mjd, mjd + 3, kMuEarth, nullptr); });
    EXPECT_EQ(x, 0);
    EXPECT_NE(log.find("FindLAPIgnMJD() Aborted due to bad orbit alignment > 20deg"),
              std::string::npos)
        << log;
    log = CaptureErrorLog(
        [&] { x = FindLAPIgnMJD(pos, vel, near, mjd, mjd + 3, kMuEarth, nullptr); });
    EXPECT_GT(x, mjd) << log;
    // An arrival before any possible ignition fails cleanly.
    log = CaptureErrorLog(
        [&] { x = FindLAPIgnMJD(pos, vel, near, mjd, mjd - 1, kMuEarth, nullptr); });
    EXPECT_EQ(x, 0);
    EXPECT_NE(log.find("FindLAPIgnMJD Failed"), std::string::npos) << log;
}

// The vessel form starts 35 % of the burn time earlier than the impulsive ignition.
TEST(Ignition, FiniteBurnStartsEarlier) {
    using namespace zaq::hostsim;
    Reset();
    BodyDesc b;
    b.name = "Earth";
    b.mass = kMuEarth / kG;
    b.radius = 6378137;
    OBJHANDLE earth = AddBody(b);
    VesselDesc v;
    v.name = "Stage";
    v.gravityRef = earth;
    v.pos = {kPark, 0, 0};
    v.mass = 20000;
    v.thrusters = {{{0, 0, 1}, 100e3, 4400, -1}};
    v.groups = {{THGROUP_MAIN, {0}}};
    OBJHANDLE stage = AddVessel(v);
    ASSERT_TRUE(stage) << LastError();
    VESSEL* vessel = oapiGetVesselInterface(stage);

    const double mjd = 61000;
    COrbit park = Circular(kPark, mjd);
    VECTOR3 pos = park.Position(), vel = park.Velocity();
    VECTOR3 target = VECTOR3{-0.8, 0.6, 0} * 384400e3;
    VECTOR3 dv1{}, dv2{};
    double plain = 0, finite = 0;
    CaptureErrorLog([&] {
        plain = FindLAPIgnMJD(pos, vel, target, mjd, mjd + 3, kMuEarth, &dv1);
        finite =
            FindLAPIgnMJD(pos, vel, target, mjd, mjd + 3, kMuEarth, vessel, THGROUP_MAIN, &dv2);
    });
    ASSERT_GT(plain, 0);
    // Rocket equation: t = m ve / F (1 - exp(-dv / ve)).
    const double burn = 20000 * 4400 / 100e3 * (1 - std::exp(-Length(dv1) / 4400));
    EXPECT_TRUE(zaq::test::Near((plain - finite) * 86400, 0.35 * burn, 1e-3));
    EXPECT_TRUE(zaq::test::Near(dv2, dv1, 1e-6));
}

// A conic of periapsis rp and eccentricity e, at true anomaly nu inbound: the distance there and
// the time to periapsis give back nu, e and a.
TEST(ConicThroughPoint, ComputeOrbitParamsRecoversKnownConics) {
    const double rp = 7000e3;
    for (double e : {0.1, 0.5, 0.9, 1.3, 2.0}) {
        for (double nuDeg : {200.0, 250.0, 300.0, 340.0}) {
            const double nu = nuDeg * kRadPerDeg;
            if (e > 1 && std::cos(nu) <= -1 / e) continue;  // beyond the asymptote
            SCOPED_TRACE(testing::Message() << "e=" << e << " nu=" << nuDeg);
            const double a = rp / (1 - e), p = rp * (1 + e);
            const double r = p / (1 + e * std::cos(nu));
            // Time to periapsis from Kepler's equation, written out here.
            double pet = 0;
            if (e < 1) {
                const double E = 2 * std::atan(std::sqrt((1 - e) / (1 + e)) * std::tan(nu / 2));
                double M = E - e * std::sin(E);
                if (M < 0) M += PI2;
                pet = std::sqrt(a * a * a / kMuEarth) * (PI2 - M);
            } else {
                const double H = 2 * std::atanh(std::sqrt((e - 1) / (e + 1)) * std::tan(nu / 2));
                pet = std::sqrt(-a * a * a / kMuEarth) * std::fabs(e * std::sinh(H) - H);
            }
            double tra = 0, ecc = 0, sma = 0;
            std::string log;
            bool ok = false;
            log = CaptureErrorLog(
                [&] { ok = ComputeOrbitParams(r, pet, rp, kMuEarth, &tra, &ecc, &sma); });
            EXPECT_TRUE(ok) << log;
            EXPECT_TRUE(zaq::test::Near(tra, nu, 1e-5));
            EXPECT_TRUE(zaq::test::Near(ecc, e, 1e-5));
            EXPECT_TRUE(zaq::test::Near(sma, a, 0, 1e-4));
        }
    }
    double tra = 1, ecc = 1, sma = 1;
    const std::string log = CaptureErrorLog(
        [&] { EXPECT_FALSE(ComputeOrbitParams(8e6, -1, rp, kMuEarth, &tra, &ecc, &sma)); });
    EXPECT_EQ(tra, 0);
    EXPECT_EQ(ecc, 0);
    EXPECT_EQ(sma, 0);
    EXPECT_NE(log.find("ComputeOrbitParams: PeT is negative (-1) Aborting..."), std::string::npos)
        << log;
}

// FindVelocity against the state of the same conic built by COrbit from its elements.
TEST(ConicThroughPoint, FindVelocityMatchesTheConic) {
    const double rp = 7000e3;
    for (double e : {0.2, 0.7, 1.5}) {
        for (double nuDeg : {30.0, 120.0, 250.0, 330.0}) {
            const double nu = nuDeg * kRadPerDeg;
            if (e > 1 && std::cos(nu) <= -1 / e) continue;
            SCOPED_TRACE(testing::Message() << "e=" << e << " nu=" << nuDeg);
            const double a = rp / (1 - e);
            COrbit o;
            o.CreateFromElements(a, e, 0.3, 0.4, 0.5, otk::tra2mna(nu, e), kMuEarth, 0);
            VECTOR3 pos = o.Position(), normal = o.W * 3.0;
            EXPECT_TRUE(zaq::test::Near(FindVelocity(normal, pos, nu, rp, kMuEarth), o.Velocity(),
                                        0, 1e-9));
        }
    }
}

namespace {
// Latitude/longitude of a unit vector about the z axis.
void LatLng(const VECTOR3& v, double& lat, double& lng) {
    lat = std::asin(v.z / Length(v));
    lng = std::atan2(v.y, v.x);
}
VECTOR3 FromLatLng(double lat, double lng) {
    return {std::cos(lat) * std::cos(lng), std::cos(lat) * std::sin(lng), std::sin(lat)};
}
}  // namespace

// Great-circle travel against the destination-point and final-bearing formulas of spherical
// trigonometry.
TEST(Sphere, GreatCircleTravelMatchesSphericalTrigonometry) {
    VECTOR3 axis{0, 0, 1};
    for (double lat1 : {-50.0, 0.0, 28.5, 70.0})
        for (double hdg : {0.0, 45.0, 90.0, 200.0, 315.0})
            for (double d : {0.0, 0.1, 1.0, 2.5}) {
                SCOPED_TRACE(testing::Message() << lat1 << " " << hdg << " " << d);
                const double p1 = lat1 * kRadPerDeg, l1 = 0.3, t = hdg * kRadPerDeg;
                VECTOR3 start = FromLatLng(p1, l1) * 6.4e6;
                const double p2 = std::asin(std::sin(p1) * std::cos(d) +
                                            std::cos(p1) * std::sin(d) * std::cos(t));
                const double l2 = l1 + std::atan2(std::sin(t) * std::sin(d) * std::cos(p1),
                                                  std::cos(d) - std::sin(p1) * std::sin(p2));
                // Final heading: the reverse bearing from the end point, turned round.
                const double back = std::atan2(
                    std::sin(l1 - l2) * std::cos(p1),
                    std::cos(p2) * std::sin(p1) - std::sin(p2) * std::cos(p1) * std::cos(l1 - l2));
                VECTOR3 end{};
                double endHeading = 0;
                GetSphericalPosHed(axis, start, t, d, &end, &endHeading);
                EXPECT_TRUE(zaq::test::Near(end, FromLatLng(p2, l2), 1e-12));
                // No travel keeps the start heading; otherwise the reverse bearing turned round.
                const double expected = d == 0 ? t : back + M_PI;
                EXPECT_LT(std::fabs(std::remainder(endHeading - expected, PI2)), 1e-9);
            }
    // Due east along the equator stays on it, heading east.
    VECTOR3 start{1, 0, 0}, end{};
    double h = 0, lat = 1, lng = 0;
    GetSphericalPosHed(axis, start, M_PI / 2, 1.0, &end, &h);
    LatLng(end, lat, lng);
    EXPECT_NEAR(lat, 0, 1e-15);
    EXPECT_NEAR(lng, 1.0, 1e-15);
    EXPECT_NEAR(h, M_PI / 2, 1e-15);
}

TEST(Sphere, HeadingRangesAndRotations) {
    VECTOR3 axis{0, 0, 1};
    // |tan c / tan dist| > 1 (c = 80 deg from the pole, 10 deg of travel): every heading.
    VECTOR3 lowLat = FromLatLng(10 * kRadPerDeg, 0);
    double lo = -1, hi = -1;
    EXPECT_TRUE(GetRangeOfRotationByHeading(axis, lowLat, 10 * kRadPerDeg, 1.0, &lo, &hi));
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, PI2);
    // From the equator, short travel: the arrival headings lie within the range found, and the
    // range is symmetric about north-south travel (headings 0 and pi are reachable, pi/2 too).
    VECTOR3 eq = FromLatLng(0, 0);
    GetRangeOfRotationByHeading(axis, eq, 10 * kRadPerDeg, 0, &lo, &hi);
    EXPECT_GE(lo, 0);
    EXPECT_LE(hi, PI2);
    // No rotation when |sin a sin b'| exceeds |sin c|.
    double r1 = -1, r2 = -1;
    VECTOR3 p = FromLatLng(80 * kRadPerDeg, 0);  // c = 10 deg
    EXPECT_EQ(GetRotationByHeading(axis, p, M_PI / 2, M_PI / 2, &r1, &r2), 0);
    EXPECT_EQ(r1, -1);
    // Solutions found lie in [0, 2pi].
    const int n = GetRotationByHeading(axis, eq, 0.5, 2.0, &r1, &r2);
    EXPECT_GE(n, 1);
    EXPECT_GE(r1, 0);
    EXPECT_LE(r1, PI2);
}
