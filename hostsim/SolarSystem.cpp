// The built-in solar system of the standalone host: the Sun, the planets and the Moon on ERFA
// ephemeris modules, Pluto and the major moons on mean elements, their physical data and
// rotation, and a few surface bases.
#include <erfa.h>
#include <erfam.h>

#include <cmath>
#include <string>

#include "hostsim/BodyRotation.h"
#include "hostsim/Ephemeris.h"
#include "hostsim/World.h"
#include "zaq/vector3.h"

namespace zaq::hostsim {
namespace {

using detail::IauRotation;

constexpr double kKm = 1e3;  // m
constexpr double kGM = 1e9;  // km^3/s^2 in m^3/s^2
constexpr double kDeg = ERFA_DD2R;
constexpr double kYear = 365.25;  // days

// Zonal coefficients as published, with the reference radius they go with.
struct Zonals {
    double refRadius;  // km; 0: none published here
    double j2, j3, j4;
};

struct PlanetData {
    const char* name;
    int plan94;     // planet number of ERFA's Plan94 (3: the Earth-Moon barycentre)
    double gm;      // km^3/s^2
    double radius;  // mean radius, km
    IauRotation rotation;
    Zonals zonals;
};

// GM: JPL DE440 (Park et al. 2021, AJ 161:105); for Mars, Jupiter, Saturn, Uranus and Neptune the
// planet alone, without the moons that are bodies of their own, from the JPL satellite solutions
// (Jacobson 2009, 2010, 2013, 2014; Iess et al. 2019).
// Mean radius: IAU WGCCRE 2015 report (Archinal et al. 2018, Celest. Mech. 130:22).
// Rotation: IAU WGCCRE 2009 report (Archinal et al. 2011, Celest. Mech. 109:101), without the
// periodic terms below 0.01 degrees (Mercury's librations, Jupiter's pole nutation).
// clang-format off
const PlanetData kPlanets[] = {
    {"Mercury", 1, 22031.868551, 2439.4,
     {281.0097, -0.0328, 61.4143, -0.0049, 329.5469, 6.1385025}, {0, 0, 0, 0}},
    {"Venus", 2, 324858.592, 6051.8,
     {272.76, 0, 67.16, 0, 160.20, -1.4813688}, {0, 0, 0, 0}},
    // Rotation from ERFA instead (EarthRotationAt). Zonals: EGM2008 (Pavlis et al. 2012),
    // reference radius 6378136.3 m.
    {"Earth", 3, 398600.435507, 6371.0084,
     {0, 0, 0, 0, 0, 0}, {6378.1363, 1.08262617e-3, -2.53241e-6, -1.61990e-6}},
    // Zonals: MRO120D (Konopliv et al. 2016, Icarus 274:253), reference radius 3396 km.
    {"Mars", 4, 42828.375, 3389.5,
     {317.68143, -0.1061, 52.88650, -0.0609, 176.630, 350.89198226},
     {3396.0, 1.9566e-3, 3.148e-5, -1.539e-5}},
    // Zonals: Juno (Iess et al. 2018, Nature 555:220), reference radius 71492 km.
    {"Jupiter", 5, 126686534.0, 69911.0,
     {268.056595, -0.006499, 64.495303, 0.002413, 284.95, 870.5360000},
     {71492.0, 14696.5063e-6, -0.0450e-6, -586.6085e-6}},
    // Zonals: Cassini Grand Finale (Iess et al. 2019, Science 364:eaat2965), radius 60330 km.
    {"Saturn", 6, 37931207.7, 58232.0,
     {40.589, -0.036, 83.537, -0.004, 38.90, 810.7939024},
     {60330.0, 16290.573e-6, 0.059e-6, -935.314e-6}},
    // Zonals: Jacobson 2014 (AJ 148:76), reference radius 25559 km; J3 not determined.
    {"Uranus", 7, 5793951.3, 25362.0,
     {257.311, 0, -15.175, 0, 203.81, -501.1600928},
     {25559.0, 3510.68e-6, 0.0, -34.17e-6}},
    // Zonals: Jacobson 2009 (AJ 137:4322), reference radius 25225 km; J3 not determined.
    {"Neptune", 8, 6835099.5, 24622.0,
     {299.36, 0, 43.46, 0, 253.18, 536.3128492, IauRotation::Neptune},
     {25225.0, 3408.43e-6, 0.0, -33.40e-6}},
};
// clang-format on

// Sun: GM DE440; radius IAU 2015 Resolution B3 nominal; rotation IAU WGCCRE 2009.
constexpr double kSunGM = 132712440041.279419;
constexpr double kSunRadius = 695700.0;
const IauRotation kSunRotation{286.13, 0, 63.87, 0, 84.176, 14.1844000};

// Moon: GM DE440; radius IAU WGCCRE 2015; rotation IAU WGCCRE 2009 (mean Earth/polar axis frame,
// with its periodic terms); zonals LP165P (Konopliv et al. 2001, Icarus 150:1), radius 1738 km.
constexpr double kMoonGM = 4902.800118;
constexpr double kMoonRadius = 1737.4;
const IauRotation kMoonRotation{269.9949, 0.0031,      66.5392,          0.0130,
                                38.3213,  13.17635815, IauRotation::Moon};
const Zonals kMoonZonals{1738.0, 2.0330e-4, 8.476e-6, -9.59e-6};

// Mean orbital elements of a moon referred to its local Laplace plane, the node measured from
// that plane's ascending node on the ICRF equator.
struct MoonData {
    const char* name;
    const char* parent;
    double gm, radius;           // km^3/s^2, mean radius km
    double epoch;                // MJD (TT) of the elements
    double a, e, w, M, i, node;  // km; deg
    double n;                    // rate of the mean longitude, deg/day
    double pw, pnode;            // precession periods of periapsis and node, years; 0: none
    double poleRa, poleDec;      // Laplace-plane pole, ICRF, deg
};

// Elements: JPL SSD planetary satellite mean elements (MAR080 at 1950 Jan 1.0 TT, JUP230 at 1997
// Jan 16.0 TT, SAT and NEP solutions at J2000). Charon: a circular orbit in Pluto's equator
// (Brozovic et al. 2015, Icarus 246:317) at the phase that puts Pluto's IAU prime meridian, the
// sub-Charon meridian, towards it. GM: JPL satellite solutions (Jacobson 2010, 2013, 2009;
// Stern et al. 2015 for Charon). Mean radius: IAU WGCCRE 2015 report.
const MoonData kMoons[] = {
    // name, parent, GM, radius, epoch, a, e, w, M, i, node, n, Pw, Pnode, pole RA, pole Dec
    {"Phobos", "Mars", 7.087e-4, 11.08, 33282.0, 9376.0, 0.0151, 150.057, 91.059, 1.075, 207.784,
     1128.8447569, 1.1316, 2.2617, 317.671, 52.893},
    {"Deimos", "Mars", 9.62e-5, 6.2, 33282.0, 23458.0, 0.0002, 260.729, 325.329, 1.788, 24.525,
     285.1618790, 27.3703, 54.5367, 316.657, 53.529},
    {"Io", "Jupiter", 5959.916, 1821.49, 50464.0, 421800.0, 0.0041, 84.129, 342.021, 0.036, 43.977,
     203.4889583, 1.625, 7.420, 268.057, 64.495},
    {"Europa", "Jupiter", 3202.739, 1560.8, 50464.0, 671100.0, 0.0094, 88.970, 171.016, 0.466,
     219.106, 101.3747242, 1.394, 30.184, 268.084, 64.506},
    {"Ganymede", "Jupiter", 9887.834, 2631.2, 50464.0, 1070400.0, 0.0013, 192.417, 317.540, 0.177,
     63.552, 50.3176072, 63.549, 132.654, 268.168, 64.543},
    {"Callisto", "Jupiter", 7179.289, 2410.3, 50464.0, 1882700.0, 0.0074, 52.643, 181.408, 0.192,
     298.848, 21.5710728, 205.75, 338.82, 268.639, 64.749},
    {"Mimas", "Saturn", 2.5035, 198.2, 51544.5, 185539.0, 0.0196, 332.499, 14.848, 1.574, 173.027,
     381.9944948, 0.493, 0.986, 40.589, 83.537},
    {"Titan", "Saturn", 8978.1383, 2574.73, 51544.5, 1221870.0, 0.0288, 180.532, 163.310, 0.306,
     28.060, 22.5769768, 703.0, 704.0, 40.589, 83.537},
    {"Triton", "Neptune", 1427.598, 1352.6, 51544.5, 354759.0, 0.0, 344.046, 264.775, 156.865,
     177.608, 61.2572638, 0.0, 688.0, 299.36, 43.46},
    {"Charon", "Pluto", 105.88, 606.0, 51544.5, 19596.0, 0.0, 0.0, 302.695, 0.0, 0.0, 56.3625225,
     0.0, 0.0, 132.993, -6.163},
};

// Pluto: heliocentric mean elements in the ecliptic and equinox of J2000 with their rates per
// Julian century (Standish, "Keplerian elements for approximate positions of the major planets",
// JPL, Table 1, 1800-2050); GM Stern et al. 2015 (Science 350:aad1815); radius Nimmo et al. 2017;
// rotation IAU WGCCRE 2009 (the pole on the side of positive rotation).
constexpr double kPlutoGM = 869.6;
constexpr double kPlutoRadius = 1188.3;
const IauRotation kPlutoRotation{132.993, 0, -6.163, 0, 302.695, 56.3625225};
struct MeanElements {
    double a, e, i, L, lp, node;  // au; deg
};
const MeanElements kPluto0{39.48211675,  0.24882730,   17.14001206,
                           238.92903833, 224.06891629, 110.30393684};
const MeanElements kPlutoRate{-0.00031596,  0.00005170,  0.00004818,
                              145.20780515, -0.04062942, -0.01183482};

// Surface bases: launch sites and the Apollo 11 landing site (geocentric/selenographic latitude
// and east longitude, degrees).
struct BaseData {
    const char* name;
    const char* body;
    double lat, lng;
};
const BaseData kBases[] = {
    {"Cape Canaveral", "Earth", 28.6083, -80.6041},  // launch complex 39A
    {"Baikonur", "Earth", 45.9203, 63.3422},         // site 1
    {"Kourou", "Earth", 5.2392, -52.7683},           // ELA-3
    {"Tranquility Base", "Moon", 0.67408, 23.47297},
};

// Zonal coefficients rescaled to the body's mean radius, the radius the host reports with them:
// J_n R_ref^n = J'_n R^n keeps the potential.
std::vector<double> JCoeff(const Zonals& z, double radius) {
    if (z.refRadius <= 0) return {};
    const double q = z.refRadius / radius;
    return {z.j2 * q * q, z.j3 * q * q * q, z.j4 * q * q * q * q};
}

// A body's ELEMENTS in the ecliptic of J2000 from its orbit plane and periapsis (right-handed
// ecliptic unit vectors h and p), size, eccentricity and mean anomaly (rad).
ELEMENTS EclipticElements(const VECTOR3& h, const VECTOR3& p, double a, double e, double M) {
    const VECTOR3 node = detail::EclipticNode(h);
    const double i = std::acos(std::fmax(-1.0, std::fmin(1.0, h.z)));
    const double O = std::atan2(node.y, node.x);
    const double w = std::atan2(dotp(CrossProduct(node, p), h), dotp(node, p));
    const double lp = NormalizeAngle(O + w);
    return ELEMENTS{a, e, i, NormalizeAngle(O), lp, NormalizeAngle(lp + M)};
}

// A moon's elements propagated to the MJD and turned into host elements about its parent, with
// the semi-major axis that gives the published mean motion for mu = G (M_parent + M_moon).
// Also gives the orbit normal and the mean direction of the moon (right-handed ecliptic).
ELEMENTS MoonElements(const MoonData& m, double parentGM, double mjd, VECTOR3& normal,
                      VECTOR3& meanDir) {
    const double dt = mjd - m.epoch;
    const double i = m.i * kDeg;
    // Periapsis advances; the node regresses on a prograde orbit and advances on a retrograde one.
    const double w = (m.w + (m.pw > 0 ? 360.0 / (m.pw * kYear) * dt : 0.0)) * kDeg;
    const double O =
        (m.node -
         (m.pnode > 0 ? std::copysign(360.0 / (m.pnode * kYear) * dt, std::cos(i)) : 0.0)) *
        kDeg;
    const double L = (m.node + m.w + m.M + m.n * dt) * kDeg;  // mean longitude
    const double M = L - (O + w);
    // Laplace-plane axes in ICRF: x on the plane's node on the equator, z on its pole.
    VECTOR3 z{}, x{};
    detail::EquatorAxes(m.poleRa * kDeg, m.poleDec * kDeg, z, x);
    const VECTOR3 y = CrossProduct(z, x);
    auto toEcliptic = [&](double u, double v, double s) {
        return detail::EquatorialToEcliptic(x * u + y * v + z * s);
    };
    const double cO = std::cos(O), sO = std::sin(O), cw = std::cos(w), sw = std::sin(w);
    const double ci = std::cos(i), si = std::sin(i);
    const VECTOR3 p =
        toEcliptic(cO * cw - sO * sw * ci, sO * cw + cO * sw * ci, sw * si);  // periapsis
    const VECTOR3 q =
        toEcliptic(-cO * sw - sO * cw * ci, -sO * sw + cO * cw * ci, cw * si);  // 90 deg ahead
    normal = CrossProduct(p, q);
    meanDir = p * std::cos(M) + q * std::sin(M);
    const double n = m.n * kDeg / ERFA_DAYSEC;
    const double a = std::cbrt((parentGM + m.gm) * kGM / (n * n));
    return EclipticElements(normal, p, a, m.e, NormalizeAngle(M));
}

// Pluto's heliocentric elements at the MJD.
ELEMENTS PlutoElements(double mjd) {
    const double T = (mjd - ERFA_DJM00) / ERFA_DJC;
    const double a = (kPluto0.a + kPlutoRate.a * T) * ERFA_DAU;
    const double e = kPluto0.e + kPlutoRate.e * T;
    const double i = (kPluto0.i + kPlutoRate.i * T) * kDeg;
    const double L = (kPluto0.L + kPlutoRate.L * T) * kDeg;
    const double lp = (kPluto0.lp + kPlutoRate.lp * T) * kDeg;
    const double O = (kPluto0.node + kPlutoRate.node * T) * kDeg;
    return ELEMENTS{a, e, i, NormalizeAngle(O), NormalizeAngle(lp), NormalizeAngle(L)};
}

OBJHANDLE Add(BodyDesc& d, double gm, double radius, const char* name) {
    d.name = name;
    d.mass = gm * kGM / kG;
    d.radius = radius * kKm;
    return AddBody(d);
}

}  // namespace

bool LoadSolarSystem(double mjd) {
    if (!std::isfinite(mjd)) return detail::Fail("LoadSolarSystem: the MJD is not finite");
    Reset();
    SetSimMJD(mjd);
    bool ok = true;

    BodyDesc sun;
    sun.rotation = detail::IauRotationAt(kSunRotation, mjd);
    sun.epoch = mjd;
    ok &= Add(sun, kSunGM, kSunRadius, "Sun") != nullptr;
    OBJHANDLE hSun = oapiGetGbodyByName("Sun");

    auto addMoons = [&](const char* planet) {
        const OBJHANDLE hp = oapiGetGbodyByName(planet);
        const double gmp = oapiGetMass(hp) * kG / kGM;
        VECTOR3 parentAxis{0, 0, 1};
        if (hp) {
            MATRIX3 R;
            oapiGetPlanetObliquityMatrix(hp, &R);
            parentAxis = {R.m12, R.m32, R.m22};
        }
        for (const MoonData& m : kMoons) {
            if (std::string(m.parent) != planet) continue;
            BodyDesc d;
            d.parent = hp;
            d.motion = Motion::Elements;
            d.epoch = mjd;
            VECTOR3 h{}, dir{};
            d.elements = MoonElements(m, gmp, mjd, h, dir);
            // Turning once per orbit about the orbit normal, the mean sub-planet meridian as
            // longitude 0; the pole is the one on the parent's north side, so a moon on a
            // retrograde orbit turns backwards (negative period).
            const double period = 360.0 / m.n * ERFA_DAYSEC;
            const bool prograde = dotp(h, parentAxis) >= 0;
            d.rotation =
                detail::RotationFromAxes(prograde ? h : -h, -dir, mjd, prograde ? period : -period);
            ok &= Add(d, m.gm, m.radius, m.name) != nullptr;
        }
    };

    for (const PlanetData& p : kPlanets) {
        const bool earth = p.plan94 == 3;
        BodyDesc d;
        d.parent = hSun;
        d.motion = Motion::Module;
        d.module = earth ? detail::MakeEarthEphemeris(kMoonGM / (p.gm + kMoonGM)).release()
                         : detail::MakePlanetEphemeris(p.plan94).release();
        d.rotation = earth ? detail::EarthRotationAt(mjd) : detail::IauRotationAt(p.rotation, mjd);
        d.jcoeff = JCoeff(p.zonals, p.radius);
        ok &= Add(d, p.gm, p.radius, p.name) != nullptr;
        if (earth) {
            BodyDesc moon;
            moon.parent = oapiGetGbodyByName("Earth");
            moon.motion = Motion::Module;
            moon.module = detail::MakeMoonEphemeris().release();
            moon.rotation = detail::IauRotationAt(kMoonRotation, mjd);
            moon.jcoeff = JCoeff(kMoonZonals, kMoonRadius);
            ok &= Add(moon, kMoonGM, kMoonRadius, "Moon") != nullptr;
        }
        addMoons(p.name);
    }

    BodyDesc pluto;
    pluto.parent = hSun;
    pluto.motion = Motion::Elements;
    pluto.elements = PlutoElements(mjd);
    pluto.epoch = mjd;
    pluto.rotation = detail::IauRotationAt(kPlutoRotation, mjd);
    ok &= Add(pluto, kPlutoGM, kPlutoRadius, "Pluto") != nullptr;
    addMoons("Pluto");

    for (const BaseData& b : kBases)
        ok &= AddBase(b.name, oapiGetGbodyByName(b.body), b.lng * kDeg, b.lat * kDeg) != nullptr;
    return ok;
}

}  // namespace zaq::hostsim
