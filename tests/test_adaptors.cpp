// Body axes, surface points, headings, spheres of influence and ephemeris modules, on small
// worlds built here and on the built-in solar system.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "tests/host_world.h"
#include "tests/tolerance.h"
#include "zaq/adaptors.h"
#include "zaq/constants.h"
#include "zaq/foundation.h"
#include "zaq/hostsim.h"
#include "zaq/vector3.h"

using zaq::kAU;
using zaq::kRadPerDeg;
using zaq::test::Body;

using namespace zaq::hostsim;

namespace {

// A body whose frame is turned by arbitrary angles, spinning once in 10 hours.
struct TiltedWorld : zaq::test::HostWorld {
    OBJHANDLE body{};
    TiltedWorld() : HostWorld(60000.0) {}
    void SetUp() override {
        HostWorld::SetUp();
        BodyDesc b = Body("Tilted", 5e24, 6e6);
        const double a = 0.4, c = 1.1;  // about host x, then about host y
        const MATRIX3 rx{1, 0, 0, 0, std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a)};
        const MATRIX3 ry{std::cos(c), 0, std::sin(c), 0, 1, 0, -std::sin(c), 0, std::cos(c)};
        b.rotation.obliquity = MatrixProduct(ry, rx);
        b.rotation.period = 36000;
        b.rotation.angle = 0.7;  // on the fixture's date
        body = AddBody(b);
        ASSERT_NE(body, nullptr);
    }
};

}  // namespace

TEST_F(TiltedWorld, AxesAreOrthonormalAndTurnWithTheBody) {
    const VECTOR3 A = otk::RotationAxis(body);
    const VECTOR3 M = otk::MeridianAxis(body, 60000.0);
    EXPECT_CLOSE(Length(A), 1.0, 1e-15, 0);
    EXPECT_CLOSE(Length(M), 1.0, 1e-15, 0);
    EXPECT_CLOSE(dotp(A, M), 0.0, 1e-15, 0);
    EXPECT_CLOSE(dotp(otk::SunTransit(body), A), 0.0, 1e-15, 0);
    // One sidereal period later the meridian is back; a quarter later it points east.
    EXPECT_CLOSE(otk::MeridianAxis(body, 60000.0 + 36000.0 / 86400), M, 1e-9, 0);
    const VECTOR3 east = unit(CrossProduct(A, M));
    EXPECT_CLOSE(otk::MeridianAxis(body, 60000.0 + 9000.0 / 86400), east, 1e-9, 0);
    // At rotation angle 0 the meridian is the sun-transit axis.
    SetSimMJD(60000.0 - 0.7 / PI2 * 36000.0 / 86400);
    EXPECT_CLOSE(otk::MeridianAxis(body, oapiGetSimMJD()), otk::SunTransit(body), 1e-9, 0);
}

TEST_F(TiltedWorld, SurfacePointsAgreeWithTheHostsBases) {
    OBJHANDLE base = AddBase("Site", body, -1.2, 0.5, 6.1e6);
    for (double mjd : {60000.0, 60000.3, 60123.77}) {
        SetSimMJD(mjd);
        VECTOR3 host;
        otk::RH_oapiGetRelativePos(base, body, &host);
        EXPECT_CLOSE(otk::GetBasePosition(base, mjd), host, 1e-6, 0);
        // Asked for another date, the base is where the host puts it then.
        SetSimMJD(mjd - 0.1);
        EXPECT_CLOSE(otk::GetBasePosition(base, mjd), host, 1e-6, 0);
        SetSimMJD(mjd);
    }
    const VECTOR3 p = otk::GetSurfaceLocation(body, 60000.2, 2.0, -0.3);
    EXPECT_CLOSE(Length(p), 6e6, 1e-6, 0);
    double lng, lat;
    otk::GetLngLat(p, otk::RotationAxis(body), otk::MeridianAxis(body, 60000.2), lng, lat);
    EXPECT_CLOSE(lng, 2.0, 1e-12, 0);
    EXPECT_CLOSE(lat, -0.3, 1e-12, 0);
    // The same ground point a day later: at the same longitude and latitude then.
    const VECTOR3 q = otk::ConvertSurfaceLocation(body, 60001.2, p, 60000.2);
    EXPECT_CLOSE(q, otk::GetSurfaceLocation(body, 60001.2, 2.0, -0.3), 1e-6, 0);
}

TEST_F(TiltedWorld, LongitudeLatitudeRoundTrips) {
    const VECTOR3 A = otk::RotationAxis(body), M = otk::MeridianAxis(body, 60000.0);
    for (double lng = -3.1; lng < 3.14; lng += 0.37)
        for (double lat = -1.5; lat < 1.55; lat += 0.29) {
            double l2, b2;
            otk::GetLngLat(otk::VectorByLngLat(A, M * 3.0, lng, lat) * 5.0, A, M, l2, b2);
            EXPECT_CLOSE(l2, lng, 1e-12, 0);
            EXPECT_CLOSE(b2, lat, 1e-12, 0);
        }
    double lng, lat;
    otk::GetLngLat(otk::VectorByLngLat(A, M, -1e-9, 0), A, M, lng, lat);
    EXPECT_CLOSE(lng, -1e-9, 1e-15, 0);  // just west of the meridian: below 0, not below 2 pi
    otk::GetLngLat(M * -1.0, A, M, lng, lat);
    EXPECT_CLOSE(lng, M_PI, 1e-15, 0);
}

TEST_F(TiltedWorld, HeadingsFromTheSurfaceDirections) {
    const double mjd = 60000.0;
    for (double lat : {0.0, 0.6, -1.0}) {
        const double lng = 0.8;
        const VECTOR3 p = otk::GetSurfaceLocation(body, mjd, lng, lat);
        const VECTOR3 east = otk::GetSurfaceLocation(body, mjd, lng + 1e-6, lat) - p;
        const VECTOR3 north = otk::GetSurfaceLocation(body, mjd, lng, lat + 1e-6) - p;
        VECTOR3 pos = p;
        VECTOR3 dir = east;
        EXPECT_CLOSE(otk::GetHeading(body, pos, dir), M_PI / 2, 1e-6, 0);
        dir = north;
        const double h = otk::GetHeading(body, pos, dir);
        EXPECT_TRUE(h < 1e-6 || h > PI2 - 1e-6) << h;
        dir = unit(north) * -1.0 - unit(east);  // south-west
        EXPECT_CLOSE(otk::GetHeading(body, pos, dir), 225 * kRadPerDeg, 1e-5, 0);
    }
}

TEST(SphereOfInfluence, LaplaceRadiusOnACircularOrbit) {
    Reset();
    OBJHANDLE star = AddBody(Body("Star", 2e30));
    const double r = 1.5e11, mu = kG * (2e30 + 6e24);
    OBJHANDLE planet = AddBody(Body("Planet", 6e24, 0, star, {r, 0, 0}, {0, 0, std::sqrt(mu / r)}));
    EXPECT_CLOSE(otk::CalculateSOI(planet, star), r * std::pow(6e24 / 2e30, 0.4), 0, 1e-12);
    EXPECT_EQ(otk::CalculateSOI(planet, planet), 1.49597870691e13);
    EXPECT_EQ(otk::CalculateSOI(nullptr, nullptr), 1.49597870691e13);
}

TEST(AllowedDisplacement, ShiftChangesThePullByThePrecision) {
    for (double dist : {1e7, 4e8, 1.5e11}) {
        const double gm = 4e14, acc = 1e-3, prec = 1e-5;
        const double x = otk::AllowedDisplacement(acc, prec, dist, gm);
        EXPECT_GT(x, 0);
        EXPECT_CLOSE(gm / ((dist - x) * (dist - x)) - gm / (dist * dist), prec * acc, 0, 1e-6);
    }
}

namespace {

// An ephemeris module that answers in polar form: (longitude, latitude, distance in AU) and
// their rates, for the pairs its bits say.
class PolarModule : public CELBODY {
public:
    explicit PolarModule(int bits) : bits_(bits) {}
    int clbkEphemeris(double, int, double* ret) override {
        const double t[6] = {0.5, 0.2, 1.5, 1e-7, -2e-8, 3e-9};
        const double b[6] = {-2.0, -0.1, 0.98, 2e-7, 1e-8, -1e-9};
        for (int i = 0; i < 6; ++i) {
            ret[i] = t[i];
            ret[6 + i] = b[i];
        }
        return bits_;
    }

private:
    int bits_;
};

// Right-handed Cartesian position and velocity of a polar state, by the chain rule.
void PolarToCartesian(const double* s, VECTOR3& pos, VECTOR3& vel) {
    const double l = s[0], b = s[1], r = s[2] * kAU;
    const double dl = s[3], db = s[4], dr = s[5] * kAU;
    pos = {r * std::cos(b) * std::cos(l), r * std::cos(b) * std::sin(l), r * std::sin(b)};
    vel = {dr * std::cos(b) * std::cos(l) - r * std::sin(b) * db * std::cos(l) -
               r * std::cos(b) * std::sin(l) * dl,
           dr * std::cos(b) * std::sin(l) - r * std::sin(b) * db * std::sin(l) +
               r * std::cos(b) * std::cos(l) * dl,
           dr * std::sin(b) + r * std::cos(b) * db};
}

}  // namespace

TEST(CelBody, PolarModulesGiveCartesianStates) {
    const double t[6] = {0.5, 0.2, 1.5, 1e-7, -2e-8, 3e-9};
    const double b[6] = {-2.0, -0.1, 0.98, 2e-7, 1e-8, -1e-9};
    VECTOR3 tp, tv, bp, bv;
    PolarToCartesian(t, tp, tv);
    PolarToCartesian(b, bp, bv);

    PolarModule baryOnly(0x44);  // barycentric position only
    VECTOR3 pos{}, vel{};
    EXPECT_EQ(otk::CelBody_LH(&baryOnly, 60000, EPHEM_TRUEPOS, &pos, &vel), EPHEM_BARYPOS);
    EXPECT_CLOSE(pos, SwapYZ(bp), 1e-3, 1e-14);
    EXPECT_EQ(otk::CelBody_RH(&baryOnly, 60000, EPHEM_BARYPOS, &pos, nullptr), EPHEM_BARYPOS);
    EXPECT_CLOSE(pos, bp, 1e-3, 1e-14);

    PolarModule full(0x47);  // true pair and barycentric position
    EXPECT_EQ(otk::CelBody_LH(&full, 60000, EPHEM_TRUEPOS | EPHEM_TRUEVEL, &pos, &vel), 0x03);
    EXPECT_CLOSE(pos, SwapYZ(tp), 1e-3, 1e-14);
    EXPECT_CLOSE(vel, SwapYZ(tv), 1e-12, 1e-12);
    EXPECT_EQ(otk::CelBody_RH(&full, 60000, EPHEM_BARYPOS, &pos, &vel), EPHEM_BARYPOS);
    EXPECT_CLOSE(pos, bp, 1e-3, 1e-14);
    EXPECT_EQ(otk::CelBody_RH(&full, 60000, EPHEM_BARYPOS, nullptr, nullptr), EPHEM_BARYPOS);
}

TEST(Adaptors, BaseOfNoBodyIsReported) {
    Reset();
    FILE* saved = ErrorLog;
    FILE* tmp = std::tmpfile();
    ErrorLog = tmp;
    const VECTOR3 p = otk::GetBasePosition(reinterpret_cast<void*>(0x40), 60000);
    ErrorLog = saved;
    std::rewind(tmp);
    char line[512] = {0};
    ASSERT_TRUE(std::fgets(line, sizeof line, tmp));
    std::fclose(tmp);
    EXPECT_NE(std::string(line).find("[ERROR] GetBasePosition: Couldn't find a planet for a base"),
              std::string::npos);
    EXPECT_CLOSE(p, (VECTOR3{0, 0, 0}), 0, 0);
}

// The adaptors on the built-in solar system, against published values.
TEST(SolarSystemAdaptors, EarthAndMoonFacts) {
    ASSERT_TRUE(LoadSolarSystem(61000.0));
    OBJHANDLE earth = oapiGetGbodyByName("Earth");
    OBJHANDLE moon = oapiGetGbodyByName("Moon");
    OBJHANDLE sun = oapiGetGbodyByName("Sun");
    ASSERT_TRUE(earth && moon && sun);
    // The Earth's axis is 23.44 degrees from the ecliptic pole.
    EXPECT_CLOSE(AngleBetween(otk::RotationAxis(earth), VECTOR3{0, 0, 1}) / kRadPerDeg, 23.44, 0.01,
                 0);
    // The prime meridian turns by 360.9856 degrees per day.
    const VECTOR3 A = otk::RotationAxis(earth);
    const VECTOR3 m0 = otk::MeridianAxis(earth, 61000.0);
    const VECTOR3 m1 = otk::MeridianAxis(earth, 61000.1);
    const double turned = AngleInPlane(m1, m0, CrossProduct(A, m0)) / kRadPerDeg;
    EXPECT_CLOSE(turned * 10, 360.9856, 0.0005, 0);
    // Cape Canaveral: latitude 28.5 N at the Earth's radius.
    OBJHANDLE cape = oapiGetObjectByName("Cape Canaveral");
    ASSERT_NE(cape, nullptr);
    const VECTOR3 p = otk::GetBasePosition(cape, 61000.0);
    EXPECT_CLOSE(Length(p), oapiGetSize(earth), 1.0, 0);
    double lng, lat;
    otk::GetLngLat(p, A, m0, lng, lat);
    EXPECT_CLOSE(lat / kRadPerDeg, 28.5, 0.2, 0);
    EXPECT_CLOSE(lng / kRadPerDeg, -80.6, 0.3, 0);
    // Due-east motion on the equator heads 90 degrees.
    VECTOR3 eq = otk::GetSurfaceLocation(earth, 61000.0, 0.3, 0.0);
    VECTOR3 east = CrossProduct(A, eq);
    EXPECT_CLOSE(otk::GetHeading(earth, eq, east), M_PI / 2, 1e-12, 0);
    // Spheres of influence: Earth about the Sun 0.92-0.93 million km, the Moon about 66000 km.
    const double soiEarth = otk::CalculateSOI(earth, sun);
    EXPECT_GT(soiEarth, 0.92e9);
    EXPECT_LT(soiEarth, 0.93e9);
    EXPECT_CLOSE(otk::CalculateSOI(moon, earth), 66.1e6, 2e6, 0);
}
