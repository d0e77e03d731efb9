// Ephemeris modules of the built-in solar system on ERFA's Plan94 and Moon98.
//
// The simulation MJD is taken as TT and handed to ERFA as the two-part Julian date
// (2400000.5, MJD); Plan94 asks for TDB, which differs from TT by less than 2 ms.
#include "hostsim/Ephemeris.h"

#include <erfa.h>
#include <erfam.h>

#include <cmath>

#include "zaq/vector3.h"

namespace zaq::hostsim::detail {
namespace {

// ERFA's results are in au and au/day of its own astronomical unit (ERFA_DAU, IAU 2012:
// 149597870700 m); converting with the same constant returns Moon98's kilometres exactly. The
// library's 149597870691 m differs by 6e-11, far below the theories' accuracy.
constexpr double kMetresPerAU = ERFA_DAU;
constexpr double kMpsPerAUPerDay = ERFA_DAU / ERFA_DAYSEC;

// An ERFA position/velocity pair (J2000 equatorial, au, au/day) in the host frame, m and m/s.
void ToHost(const double pv[2][3], VECTOR3& pos, VECTOR3& vel) {
    pos = SwapYZ(EquatorialToEcliptic(VECTOR3{pv[0][0], pv[0][1], pv[0][2]})) * kMetresPerAU;
    vel = SwapYZ(EquatorialToEcliptic(VECTOR3{pv[1][0], pv[1][1], pv[1][2]})) * kMpsPerAUPerDay;
}

void Put(double* dst, const VECTOR3& v) {
    dst[0] = v.x;
    dst[1] = v.y;
    dst[2] = v.z;
}

// Writes the requested parts of the true and barycentric pairs; returns the bits written.
int Fill(int req, const VECTOR3& tp, const VECTOR3& tv, const VECTOR3& bp, const VECTOR3& bv,
         double* ret) {
    int got = 0;
    if (req & EPHEM_TRUEPOS) Put(ret, tp), got |= EPHEM_TRUEPOS;
    if (req & EPHEM_TRUEVEL) Put(ret + 3, tv), got |= EPHEM_TRUEVEL;
    if (req & EPHEM_BARYPOS) Put(ret + 6, bp), got |= EPHEM_BARYPOS;
    if (req & EPHEM_BARYVEL) Put(ret + 9, bv), got |= EPHEM_BARYVEL;
    return got;
}

// Plan94 state of planet np at a TT MJD; false when the theory fails (bad np, no convergence).
bool Plan94(int np, double mjd, VECTOR3& pos, VECTOR3& vel) {
    double pv[2][3];
    if (!std::isfinite(mjd)) return false;
    const int status = eraPlan94(ERFA_DJM0, mjd, np, pv);
    if (status < 0 || status > 1) return false;  // 1 is a warning: outside the years 1000-3000
    ToHost(pv, pos, vel);
    return true;
}

void Moon98(double mjd, VECTOR3& pos, VECTOR3& vel) {
    double pv[2][3];
    eraMoon98(ERFA_DJM0, mjd, pv);  // GCRS, the J2000 mean equator to within 23 mas
    ToHost(pv, pos, vel);
}

class PlanetEphemeris : public CELBODY {
public:
    explicit PlanetEphemeris(int np) : np_(np) {}
    int clbkEphemeris(double mjd, int req, double* ret) override {
        VECTOR3 p{}, v{};
        if (!ret || !Plan94(np_, mjd, p, v)) return 0;
        return Fill(req, p, v, p, v, ret) | EPHEM_BARYISTRUE;
    }

private:
    int np_;
};

class EarthEphemeris : public CELBODY {
public:
    explicit EarthEphemeris(double moonRatio) : k_(moonRatio) {}
    int clbkEphemeris(double mjd, int req, double* ret) override {
        VECTOR3 bp{}, bv{}, mp{}, mv{};
        if (!ret || !Plan94(3, mjd, bp, bv)) return 0;
        Moon98(mjd, mp, mv);
        return Fill(req, bp - mp * k_, bv - mv * k_, bp, bv, ret);
    }

private:
    double k_;
};

class MoonEphemeris : public CELBODY {
public:
    int clbkEphemeris(double mjd, int req, double* ret) override {
        if (!ret || !std::isfinite(mjd)) return 0;
        VECTOR3 p{}, v{};
        Moon98(mjd, p, v);
        return Fill(req, p, v, p, v, ret) | EPHEM_BARYISTRUE;
    }
};

}  // namespace

// ERFA's IAU 1976 mean obliquity at J2000, 84381.448 arcsec: the obliquity Plan94's J2000 frame
// and the ecliptic of J2000 go with.
double J2000Obliquity() {
    static const double eps = eraObl80(ERFA_DJ00, 0.0);
    return eps;
}

VECTOR3 EquatorialToEcliptic(const VECTOR3& v) {
    const double c = std::cos(J2000Obliquity()), s = std::sin(J2000Obliquity());
    return {v.x, c * v.y + s * v.z, -s * v.y + c * v.z};
}

VECTOR3 EclipticToEquatorial(const VECTOR3& v) {
    const double c = std::cos(J2000Obliquity()), s = std::sin(J2000Obliquity());
    return {v.x, c * v.y - s * v.z, s * v.y + c * v.z};
}

std::unique_ptr<CELBODY> MakePlanetEphemeris(int np) {
    return std::make_unique<PlanetEphemeris>(np);
}

std::unique_ptr<CELBODY> MakeEarthEphemeris(double moonRatio) {
    return std::make_unique<EarthEphemeris>(moonRatio);
}

std::unique_ptr<CELBODY> MakeMoonEphemeris() {
    return std::make_unique<MoonEphemeris>();
}

}  // namespace zaq::hostsim::detail
