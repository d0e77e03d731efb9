// Body rotation of the built-in solar system.
#include "hostsim/BodyRotation.h"

#include <erfa.h>
#include <erfam.h>

#include <cmath>

#include "hostsim/Ephemeris.h"
#include "zaq/vector3.h"

namespace zaq::hostsim::detail {
namespace {

constexpr double kDeg = ERFA_DD2R;

// Earth's rotation rate, deg per day (IAU WGCCRE 2009 report, Archinal et al. 2011): one turn in
// 86164.0989 s, the stellar day of the Earth rotation angle.
constexpr double kEarthRate = 360.9856235;

// The periodic terms of the Moon's elements (same report), added to ra, dec and W in degrees.
void MoonTerms(double d, double& ra, double& dec, double& w) {
    const double E[14] = {0,
                          125.045 - 0.0529921 * d,
                          250.089 - 0.1059842 * d,
                          260.008 + 13.0120009 * d,
                          176.625 + 13.3407154 * d,
                          357.529 + 0.9856003 * d,
                          311.589 + 26.4057084 * d,
                          134.963 + 13.0649930 * d,
                          276.617 + 0.3287146 * d,
                          34.226 + 1.7484877 * d,
                          15.134 - 0.1589763 * d,
                          119.743 + 0.0036096 * d,
                          239.961 + 0.1643573 * d,
                          25.053 + 12.9590088 * d};
    auto s = [&](int k) { return std::sin(E[k] * kDeg); };
    auto c = [&](int k) { return std::cos(E[k] * kDeg); };
    ra += -3.8787 * s(1) - 0.1204 * s(2) + 0.0700 * s(3) - 0.0172 * s(4) + 0.0072 * s(6) -
          0.0052 * s(10) + 0.0043 * s(13);
    dec += 1.5419 * c(1) + 0.0239 * c(2) - 0.0278 * c(3) + 0.0068 * c(4) - 0.0029 * c(6) +
           0.0009 * c(7) + 0.0008 * c(10) - 0.0009 * c(13);
    w += -1.4e-12 * d * d + 3.5610 * s(1) + 0.1208 * s(2) - 0.0642 * s(3) + 0.0158 * s(4) +
         0.0252 * s(5) - 0.0066 * s(6) - 0.0047 * s(7) - 0.0046 * s(8) + 0.0028 * s(9) +
         0.0052 * s(10) + 0.0040 * s(11) + 0.0019 * s(12) - 0.0044 * s(13);
}

}  // namespace

void EquatorAxes(double ra, double dec, VECTOR3& pole, VECTOR3& node) {
    pole = {std::cos(dec) * std::cos(ra), std::cos(dec) * std::sin(ra), std::sin(dec)};
    node = {-std::sin(ra), std::cos(ra), 0.0};
}

VECTOR3 EclipticNode(const VECTOR3& pole) {
    const VECTOR3 node{-pole.y, pole.x, 0.0};  // ecliptic north x pole
    return Length(node) > 1e-12 ? unit(node) : VECTOR3{1, 0, 0};
}

void IauAxes(const IauRotation& r, double mjd, VECTOR3& pole, VECTOR3& meridian) {
    const double d = mjd - ERFA_DJM00, T = d / ERFA_DJC;
    double ra = r.ra0 + r.raRate * T, dec = r.dec0 + r.decRate * T, w = r.w0 + r.wdot * d;
    if (r.terms == IauRotation::Moon) MoonTerms(d, ra, dec, w);
    if (r.terms == IauRotation::Neptune) {
        const double N = (357.85 + 52.316 * T) * kDeg;
        ra += 0.70 * std::sin(N);
        dec -= 0.51 * std::cos(N);
        w -= 0.48 * std::sin(N);
    }
    // W is measured from the ascending node of the body's equator on the ICRF equator, at right
    // ascension ra + 90 degrees, towards east.
    VECTOR3 p{}, node{};
    EquatorAxes(ra * kDeg, dec * kDeg, p, node);
    const VECTOR3 east = CrossProduct(p, node);
    const double wr = std::fmod(w, 360.0) * kDeg;
    pole = EquatorialToEcliptic(p);
    meridian = EquatorialToEcliptic(node * std::cos(wr) + east * std::sin(wr));
}

Rotation RotationFromAxes(const VECTOR3& pole, const VECTOR3& meridian, double epoch,
                          double period) {
    const VECTOR3 a = unit(pole);
    const VECTOR3 m = unit(meridian - a * dotp(a, meridian));
    const VECTOR3 node = EclipticNode(a);
    const VECTOR3 east = CrossProduct(a, node);
    // Host-frame images of the body's local x (node), y (pole) and z (90 degrees east of node).
    const VECTOR3 hx = SwapYZ(node), hy = SwapYZ(a), hz = SwapYZ(east);
    Rotation r;
    r.obliquity = MATRIX3{hx.x, hy.x, hz.x, hx.y, hy.y, hz.y, hx.z, hy.z, hz.z};
    r.angle = std::atan2(dotp(m, east), dotp(m, node));
    if (r.angle < 0) r.angle += PI2;
    r.epoch = epoch;
    r.period = period;
    return r;
}

Rotation IauRotationAt(const IauRotation& r, double epoch) {
    VECTOR3 pole{}, meridian{};
    IauAxes(r, epoch, pole, meridian);
    return RotationFromAxes(pole, meridian, epoch, 360.0 / r.wdot * ERFA_DAYSEC);
}

Rotation EarthRotationAt(double epoch) {
    // UT1 is taken as UTC (|UT1 - UTC| < 0.9 s, 0.004 degrees of rotation); UTC follows from TT
    // through ERFA's leap-second table. Where that table does not reach, TT - UT1 = 69.184 s.
    double tai1 = 0, tai2 = 0, ut1 = 0, ut2 = 0;
    if (eraTttai(ERFA_DJM0, epoch, &tai1, &tai2) != 0 || eraTaiutc(tai1, tai2, &ut1, &ut2) < 0) {
        ut1 = ERFA_DJM0;
        ut2 = epoch - 69.184 / ERFA_DAYSEC;
    }
    double rc2t[3][3];
    eraC2t06a(ERFA_DJM0, epoch, ut1, ut2, 0.0, 0.0, rc2t);
    // Rows of the celestial-to-terrestrial matrix: the terrestrial axes in GCRS coordinates.
    const VECTOR3 greenwich{rc2t[0][0], rc2t[0][1], rc2t[0][2]};
    const VECTOR3 pole{rc2t[2][0], rc2t[2][1], rc2t[2][2]};
    return RotationFromAxes(EquatorialToEcliptic(pole), EquatorialToEcliptic(greenwich), epoch,
                            360.0 / kEarthRate * ERFA_DAYSEC);
}

}  // namespace zaq::hostsim::detail
