// The built-in solar system of the standalone host against published facts: seasons, eclipses,
// the Moon's distance, rotation of the bodies, and the consistency of the ephemeris modules.
#include <erfa.h>
#include <erfam.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "tests/tolerance.h"
#include "zaq/hostsim.h"
#include "zaq/vector3.h"

using namespace zaq::hostsim;

namespace {

constexpr double kDeg = ERFA_DD2R;

OBJHANDLE Body(const char* name) {
    OBJHANDLE h = oapiGetGbodyByName(name);
    EXPECT_NE(h, nullptr) << name;
    return h;
}

// Right-handed ecliptic position and velocity of a relative to b.
VECTOR3 Pos(OBJHANDLE a, OBJHANDLE b) {
    VECTOR3 p{};
    oapiGetRelativePos(a, b, &p);
    return SwapYZ(p);
}
VECTOR3 Vel(OBJHANDLE a, OBJHANDLE b) {
    VECTOR3 v{};
    oapiGetRelativeVel(a, b, &v);
    return SwapYZ(v);
}

// A body's rotation axis and prime-meridian axis (right-handed) now, from the obliquity matrix R
// and rotation angle t: the axis is R applied to local y, the meridian R Ry(t) applied to local x.
VECTOR3 SpinAxis(OBJHANDLE h) {
    MATRIX3 R{};
    oapiGetPlanetObliquityMatrix(h, &R);
    return {R.m12, R.m32, R.m22};
}
VECTOR3 MeridianAxis(OBJHANDLE h) {
    MATRIX3 R{};
    oapiGetPlanetObliquityMatrix(h, &R);
    const double t = oapiGetPlanetCurrentRotation(h);
    const MATRIX3 Ry{std::cos(t), 0, -std::sin(t), 0, 1, 0, std::sin(t), 0, std::cos(t)};
    const MATRIX3 Q = MatrixProduct(R, Ry);
    return {Q.m11, Q.m31, Q.m21};
}

// Right-handed ecliptic of J2000 to the mean equator and equinox of date (IAU 2006 precession
// with frame bias), through the J2000 equator with the IAU 1976 obliquity.
VECTOR3 EclipticToMeanOfDate(const VECTOR3& v, double mjd) {
    const double e = 84381.448 * ERFA_DAS2R;
    double q[3] = {v.x, std::cos(e) * v.y - std::sin(e) * v.z,
                   std::sin(e) * v.y + std::cos(e) * v.z};
    double rbp[3][3], out[3];
    eraPmat06(ERFA_DJM0, mjd, rbp);
    eraRxp(rbp, q, out);
    return {out[0], out[1], out[2]};
}

// Greenwich mean sidereal time (rad) at a TT MJD, UT1 taken as UTC.
double Gmst(double mjd) {
    double a1, a2, u1, u2;
    eraTttai(ERFA_DJM0, mjd, &a1, &a2);
    eraTaiutc(a1, a2, &u1, &u2);
    return eraGmst06(u1, u2, ERFA_DJM0, mjd);
}

double Deg(double rad) {
    return rad / kDeg;
}

}  // namespace

// Published instants (UTC, USNO / NASA eclipse predictions): March equinox 2026-03-20 14:46,
// June solstice 2026-06-21 08:24. At those instants the Sun's apparent geocentric longitude (true
// equinox of date) is 0 and 90 degrees, so Earth's geometric heliocentric longitude in the mean
// equinox of date is 180 and 270 degrees plus the annual aberration (20.496") less the nutation in
// longitude; less the general precession in longitude since J2000 (IAU 2006) it is the J2000 one.
TEST(SolarSystem, EarthLongitudeAtEquinoxAndSolstice) {
    struct Event {
        int month, day, hour, minute;
        double solarLongitude;
    } const events[] = {{3, 20, 14, 46, 0.0}, {6, 21, 8, 24, 90.0}};
    for (const Event& ev : events) {
        const double mjd = MjdFromUTC(2026, ev.month, ev.day, ev.hour, ev.minute, 0);
        ASSERT_TRUE(LoadSolarSystem(mjd));
        const VECTOR3 e = Pos(Body("Earth"), Body("Sun"));
        const double T = (mjd - ERFA_DJM00) / ERFA_DJC;
        const double precession = (5028.796195 * T + 1.1054348 * T * T) / 3600.0;
        double dpsi = 0, deps = 0;
        eraNut06a(ERFA_DJM0, mjd, &dpsi, &deps);
        const double expected =
            ev.solarLongitude + 180.0 + 20.496 / 3600.0 - Deg(dpsi) - precession;
        const double lon = Deg(eraAnp(std::atan2(e.y, e.x)));
        EXPECT_CLOSE(lon, expected, 0.01, 0) << "month " << ev.month;
        // Off the J2000 ecliptic by at most the ecliptic's own motion since then (47"/century).
        EXPECT_CLOSE(Deg(std::asin(e.z / Length(e))), 0.0, 0.005, 0);
    }
}

// Greatest eclipse (NASA, F. Espenak): total solar eclipse 2026-08-12 17:46 UTC, gamma 0.898;
// total lunar eclipse 2026-03-03 11:33 UTC, gamma -0.377. At the greatest eclipse the geocentric
// Moon is nearest the Sun's direction (or its opposite) and within 1 degree of it.
TEST(SolarSystem, EclipseGeometry) {
    auto separation = [](double mjd, bool lunar) {
        SetSimMJD(mjd);
        const double a =
            AngleBetween(Pos(Body("Moon"), Body("Earth")), Pos(Body("Sun"), Body("Earth")));
        return Deg(lunar ? M_PI - a : a);
    };
    const double solar = MjdFromUTC(2026, 8, 12, 17, 46, 0);
    const double lunar = MjdFromUTC(2026, 3, 3, 11, 33, 0);
    ASSERT_TRUE(LoadSolarSystem(solar));
    EXPECT_LT(separation(solar, false), 1.0);
    EXPECT_LT(separation(solar, false), separation(solar - 0.5 / 24, false));
    EXPECT_LT(separation(solar, false), separation(solar + 0.5 / 24, false));
    ASSERT_TRUE(LoadSolarSystem(lunar));
    EXPECT_LT(separation(lunar, true), 1.0);
    EXPECT_LT(separation(lunar, true), separation(lunar - 0.5 / 24, true));
    EXPECT_LT(separation(lunar, true), separation(lunar + 0.5 / 24, true));
}

// The Moon's geocentric distance keeps within 356,400 - 406,700 km (Meeus, Astronomical
// Algorithms, ch. 50); over a month it passes one perigee (below 370,400 km) and one apogee
// (above 404,000 km).
TEST(SolarSystem, MoonDistanceOverAMonth) {
    const double t0 = MjdFromUTC(2026, 1, 1);
    ASSERT_TRUE(LoadSolarSystem(t0));
    double lo = 1e30, hi = 0;
    for (int k = 0; k <= 32 * 8; ++k) {
        SetSimMJD(t0 + k / 8.0);
        const double d = Length(Pos(Body("Moon"), Body("Earth"))) / 1e3;
        lo = std::min(lo, d);
        hi = std::max(hi, d);
    }
    EXPECT_GT(lo, 356300.0);
    EXPECT_LT(hi, 406800.0);
    EXPECT_LT(lo, 370400.0);
    EXPECT_GT(hi, 404000.0);
}

TEST(SolarSystem, EarthModuleSplitsTheBarycentre) {
    const double mjd = MjdFromUTC(2026, 5, 1, 6, 0, 0);
    ASSERT_TRUE(LoadSolarSystem(mjd));
    OBJHANDLE earth = Body("Earth"), moon = Body("Moon");
    const double ratio = oapiGetMass(moon) / (oapiGetMass(earth) + oapiGetMass(moon));
    EXPECT_CLOSE(ratio, 1.0 / 82.300568, 0, 1e-6);  // DE440 Earth/Moon mass ratio 81.300568

    double e[12], m[12];
    std::fill(e, e + 12, 0.0);
    std::fill(m, m + 12, 0.0);
    ASSERT_EQ(oapiGetCelbodyInterface(earth)->clbkEphemeris(mjd, 0x0F, e), 0x0F);
    ASSERT_EQ(oapiGetCelbodyInterface(moon)->clbkEphemeris(mjd, 0x03, m) & 0x0F, 0x03);
    const VECTOR3 truePos{e[0], e[1], e[2]}, trueVel{e[3], e[4], e[5]};
    const VECTOR3 baryPos{e[6], e[7], e[8]}, baryVel{e[9], e[10], e[11]};
    const VECTOR3 moonPos{m[0], m[1], m[2]}, moonVel{m[3], m[4], m[5]};
    EXPECT_CLOSE(truePos, baryPos - moonPos * ratio, 1e-3, 0);
    EXPECT_CLOSE(trueVel, baryVel - moonVel * ratio, 1e-9, 0);
    // About 4,670 km between Earth's centre and the barycentre.
    EXPECT_CLOSE(Length(baryPos - truePos), 4670e3, 300e3, 0);

    // What the host reports is what the modules give.
    VECTOR3 p{}, v{};
    oapiGetRelativePos(moon, earth, &p);
    oapiGetRelativeVel(moon, earth, &v);
    EXPECT_CLOSE(p, moonPos, 1e-3, 0);  // composed through heliocentric states
    EXPECT_CLOSE(v, moonVel, 1e-9, 0);
    oapiGetRelativePos(earth, Body("Sun"), &p);
    EXPECT_CLOSE(p, truePos, 1e-3, 0);

    // Only what is asked for is written.
    double only[12];
    std::fill(only, only + 12, -7.0);
    EXPECT_EQ(oapiGetCelbodyInterface(earth)->clbkEphemeris(mjd, EPHEM_BARYPOS, only),
              EPHEM_BARYPOS);
    EXPECT_EQ(only[0], -7.0);
    EXPECT_EQ(only[9], -7.0);
    EXPECT_EQ(only[6], baryPos.x);
    const int moonBits = oapiGetCelbodyInterface(moon)->clbkEphemeris(mjd, EPHEM_TRUEPOS, only);
    EXPECT_EQ(moonBits & 0x0F, EPHEM_TRUEPOS);
    EXPECT_EQ(oapiGetCelbodyInterface(earth)->clbkEphemeris(mjd, 0x0F, nullptr), 0);
}

// Velocities are those of the theories, so they agree with the derivative of the positions to the
// theories' own velocity accuracy: for Plan94 three times its RMS velocity error against DE200
// (ERFA's notes), for Moon98 (velocity the derivative of its series) 1 cm/s.
TEST(SolarSystem, ModuleVelocitiesMatchFiniteDifferences) {
    const double mjd = MjdFromUTC(2026, 2, 1);
    ASSERT_TRUE(LoadSolarSystem(mjd));
    struct Case {
        const char* name;
        double tol;  // m/s
    } const cases[] = {{"Mercury", 1.3}, {"Venus", 2.6},    {"Earth", 2.4},
                       {"Mars", 6.0},    {"Jupiter", 23.0}, {"Saturn", 58.0},
                       {"Uranus", 49.0}, {"Neptune", 43.0}, {"Moon", 0.01}};
    const double h = 0.01;  // days
    for (const Case& c : cases) {
        CELBODY* cb = oapiGetCelbodyInterface(Body(c.name));
        ASSERT_NE(cb, nullptr) << c.name;
        for (int pair = 0; pair < 2; ++pair) {  // true, barycentric
            const int req = pair == 0 ? 0x03 : 0x0C, o = pair * 6;
            double r0[12], r1[12], r2[12];
            ASSERT_EQ(cb->clbkEphemeris(mjd, req, r0) & 0x0F, req) << c.name;
            cb->clbkEphemeris(mjd - h, req, r1);
            cb->clbkEphemeris(mjd + h, req, r2);
            const VECTOR3 fd =
                VECTOR3{r2[o] - r1[o], r2[o + 1] - r1[o + 1], r2[o + 2] - r1[o + 2]} /
                (2 * h * 86400.0);
            EXPECT_CLOSE((VECTOR3{r0[o + 3], r0[o + 4], r0[o + 5]}), fd, c.tol, 0)
                << c.name << (pair ? " barycentric" : " true");
        }
    }
}

// Earth's prime meridian is Greenwich: its right ascension in the mean equator and equinox of
// date is the Greenwich mean sidereal time, at the load date and days later; Cape Canaveral
// (28.6083 N, 80.6041 W) is where it belongs; the pole is 23.44 degrees from the ecliptic pole.
TEST(SolarSystem, EarthTurnsWithGreenwich) {
    const double mjd = MjdFromUTC(2026, 7, 4, 16, 20, 0);
    ASSERT_TRUE(LoadSolarSystem(mjd));
    OBJHANDLE earth = Body("Earth");
    EXPECT_CLOSE(Deg(AngleBetween(SpinAxis(earth), VECTOR3{0, 0, 1})), 23.44, 0.01, 0);
    for (double t : {mjd, mjd + 2.37}) {
        SetSimMJD(t);
        const VECTOR3 m = EclipticToMeanOfDate(MeridianAxis(earth), t);
        EXPECT_CLOSE(Deg(eraAnpm(std::atan2(m.y, m.x) - Gmst(t))), 0.0, 0.01, 0);
        EXPECT_CLOSE(Deg(std::asin(m.z)), 0.0, 0.01, 0);
        const VECTOR3 cape =
            EclipticToMeanOfDate(Pos(oapiGetObjectByName("Cape Canaveral"), earth), t);
        EXPECT_CLOSE(Deg(eraAnpm(std::atan2(cape.y, cape.x) - Gmst(t))), -80.6041, 0.01, 0);
        EXPECT_CLOSE(Deg(std::asin(cape.z / Length(cape))), 28.6083, 0.01, 0);
        EXPECT_CLOSE(Length(cape), oapiGetSize(earth), 1e-3, 0);
    }
}

// Axial tilt to the orbit and sidereal rotation period (NASA planetary fact sheets); a body that
// turns backwards has a negative period, its tilt then measured from the spin's angular momentum.
TEST(SolarSystem, PlanetTiltsAndRotationPeriods) {
    ASSERT_TRUE(LoadSolarSystem(MjdFromUTC(2026, 1, 1)));
    struct Case {
        const char* name;
        double tilt, hours;
    } const cases[] = {{"Mercury", 0.034, 1407.6}, {"Venus", 177.36, -5832.6},
                       {"Earth", 23.44, 23.9345},  {"Mars", 25.19, 24.6229},
                       {"Jupiter", 3.13, 9.9250},  {"Saturn", 26.73, 10.656},
                       {"Uranus", 97.77, -17.24},  {"Neptune", 28.32, 16.11}};
    OBJHANDLE sun = Body("Sun");
    for (const Case& c : cases) {
        OBJHANDLE h = Body(c.name);
        const double period = oapiGetPlanetPeriod(h);
        const VECTOR3 spin = SpinAxis(h) * (period < 0 ? -1.0 : 1.0);
        const VECTOR3 orbitNormal = CrossProduct(Pos(h, sun), Vel(h, sun));
        EXPECT_CLOSE(Deg(AngleBetween(spin, orbitNormal)), c.tilt, 0.05, 0) << c.name;
        EXPECT_CLOSE(period / 3600.0, c.hours, 0, 2e-4) << c.name;
        EXPECT_CLOSE(Length(SpinAxis(h)), 1.0, 1e-12, 0);
    }
    // The Sun's equator is inclined 7.25 degrees to the ecliptic; it turns in 25.38 days.
    EXPECT_CLOSE(Deg(AngleBetween(SpinAxis(sun), VECTOR3{0, 0, 1})), 7.25, 0.01, 0);
    EXPECT_CLOSE(oapiGetPlanetPeriod(sun) / 86400.0, 25.38, 0.01, 0);
}

// The Moon: its equator 1.54 degrees from the ecliptic (Cassini's laws), its prime meridian (the
// mean sub-Earth meridian) within the optical libration (8 degrees) of Earth's direction.
// The moons on mean elements: each turns with its orbit, longitude 0 towards its planet within
// its eccentricity's swing; each orbit lies at its published inclination to the planet's equator
// (JPL mean elements: inclination to the Laplace plane plus the plane's tilt).
TEST(SolarSystem, MoonsFaceTheirPlanets) {
    const double mjd = MjdFromUTC(2026, 4, 10);
    ASSERT_TRUE(LoadSolarSystem(mjd));
    OBJHANDLE moon = Body("Moon"), earth = Body("Earth");
    EXPECT_CLOSE(Deg(AngleBetween(SpinAxis(moon), VECTOR3{0, 0, 1})), 1.54, 0.05, 0);
    struct Case {
        const char* name;
        const char* parent;
        double e, incl, slack;  // eccentricity; inclination to the parent's equator, deg
    } const cases[] = {
        {"Phobos", "Mars", 0.0151, 1.08, 0.1},      {"Deimos", "Mars", 0.0002, 1.8, 0.9},
        {"Io", "Jupiter", 0.0041, 0.04, 0.05},      {"Europa", "Jupiter", 0.0094, 0.47, 0.05},
        {"Ganymede", "Jupiter", 0.0013, 0.18, 0.1}, {"Callisto", "Jupiter", 0.0074, 0.19, 0.4},
        {"Mimas", "Saturn", 0.0196, 1.57, 0.05},    {"Titan", "Saturn", 0.0288, 0.31, 0.7},
        {"Triton", "Neptune", 0.0, 156.9, 1.0},     {"Charon", "Pluto", 0.0, 0.0, 0.01}};
    for (double t : {mjd, mjd + 10.3}) {
        SetSimMJD(t);
        EXPECT_LT(Deg(AngleBetween(MeridianAxis(moon), Pos(earth, moon))), 8.0);
        for (const Case& c : cases) {
            OBJHANDLE h = Body(c.name), p = Body(c.parent);
            EXPECT_EQ(GetParent(h), p);
            EXPECT_LT(Deg(AngleBetween(MeridianAxis(h), Pos(p, h))), Deg(2 * c.e) + 0.2) << c.name;
            const VECTOR3 normal = CrossProduct(Pos(h, p), Vel(h, p));
            EXPECT_CLOSE(Deg(AngleBetween(normal, SpinAxis(p))), c.incl, c.slack, 0) << c.name;
        }
    }
}

TEST(SolarSystem, WorldContentsAndBadInput) {
    VesselDesc v;
    v.name = "Probe";
    v.mass = 100;
    ASSERT_TRUE(LoadSolarSystem(61000.0));
    v.gravityRef = Body("Earth");
    ASSERT_NE(AddVessel(v), nullptr);
    ASSERT_TRUE(LoadSolarSystem(61000.0));  // a reload starts afresh
    EXPECT_EQ(oapiGetVesselCount(), 0u);
    EXPECT_EQ(oapiGetGbodyCount(), 21u);
    EXPECT_EQ(oapiGetSimMJD(), 61000.0);
    EXPECT_EQ(oapiGetGbodyByIndex(0), Body("Sun"));
    EXPECT_EQ(GetParent(Body("Sun")), nullptr);
    EXPECT_EQ(GetParent(Body("Pluto")), Body("Sun"));
    EXPECT_EQ(GetParent(oapiGetObjectByName("Kourou")), nullptr);  // a base is no body
    EXPECT_EQ(oapiGetBaseCount(Body("Earth")), 3u);
    EXPECT_EQ(oapiGetBaseCount(Body("Moon")), 1u);
    EXPECT_NE(oapiGetObjectByName("Baikonur"), nullptr);
    EXPECT_NE(oapiGetObjectByName("Tranquility Base"), nullptr);
    // Modules exactly for the planets and the Moon.
    for (DWORD i = 0; i < oapiGetGbodyCount(); ++i) {
        OBJHANDLE h = oapiGetGbodyByIndex(static_cast<int>(i));
        char name[32];
        oapiGetObjectName(h, name, sizeof name);
        const std::string n = name;
        const bool moduled = n == "Mercury" || n == "Venus" || n == "Earth" || n == "Moon" ||
                             n == "Mars" || n == "Jupiter" || n == "Saturn" || n == "Uranus" ||
                             n == "Neptune";
        EXPECT_EQ(oapiGetCelbodyInterface(h) != nullptr, moduled) << n;
    }
    // Zonal coefficients, as published for the reference radius, rescaled to the mean radius.
    OBJHANDLE earth = Body("Earth");
    ASSERT_EQ(oapiGetPlanetJCoeffCount(earth), 3u);
    const double q = 6378136.3 / oapiGetSize(earth);
    EXPECT_CLOSE(oapiGetPlanetJCoeff(earth, 0), 1.0826e-3 * q * q, 1e-7, 0);
    EXPECT_GE(oapiGetPlanetJCoeffCount(Body("Moon")), 2u);
    EXPECT_GE(oapiGetPlanetJCoeffCount(Body("Mars")), 2u);
    EXPECT_GE(oapiGetPlanetJCoeffCount(Body("Jupiter")), 2u);
    EXPECT_GE(oapiGetPlanetJCoeffCount(Body("Saturn")), 2u);
    // Pluto's orbit: a = 39.48 au, e = 0.249, i = 17.14 degrees (ecliptic of J2000).
    const VECTOR3 r = Pos(Body("Pluto"), Body("Sun")), w = Vel(Body("Pluto"), Body("Sun"));
    const double mu = kG * (oapiGetMass(Body("Sun")) + oapiGetMass(Body("Pluto")));
    const double a = 1.0 / (2.0 / Length(r) - dotp(w, w) / mu);
    EXPECT_CLOSE(a / ERFA_DAU, 39.48, 0.01, 0);
    EXPECT_CLOSE(Deg(AngleBetween(CrossProduct(r, w), VECTOR3{0, 0, 1})), 17.14, 0.01, 0);

    EXPECT_FALSE(LoadSolarSystem(std::nan("")));
    EXPECT_NE(LastError().find("MJD"), std::string::npos);
    EXPECT_FALSE(LoadSolarSystem(INFINITY));
}

// Calendar conversions: 2026-03-20 is MJD 61119; TT - UTC is 69.184 s since 2017.
TEST(SolarSystem, UtcCalendarAndSimulationMjd) {
    EXPECT_CLOSE(MjdFromUTC(2026, 3, 20), 61119.0 + 69.184 / 86400.0, 1e-9, 0);
    EXPECT_CLOSE(MjdFromUTC(2000, 1, 1, 12, 0, 0), 51544.5 + 64.184 / 86400.0, 1e-9, 0);
    EXPECT_TRUE(std::isnan(MjdFromUTC(2026, 2, 30)));
    EXPECT_TRUE(std::isnan(MjdFromUTC(2026, 13, 1)));
    EXPECT_TRUE(std::isnan(MjdFromUTC(2026, 1, 1, 24, 0, 0)));
    EXPECT_TRUE(std::isnan(MjdFromUTC(2026, 1, 1, 0, 60, 0)));
    EXPECT_TRUE(std::isnan(MjdFromUTC(2026, 1, 1, 0, 0, NAN)));
    EXPECT_EQ(UTCText(MjdFromUTC(2026, 8, 12, 17, 46, 5)), "2026-08-12 17:46:05");
    EXPECT_EQ(UTCText(NAN), "");
}
