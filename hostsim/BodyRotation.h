// Body rotation of the built-in solar system: IAU rotation elements, Earth's rotation from ERFA,
// and the host's rotation record (obliquity matrix, angle, epoch, period) built from them.
#pragma once

#include "zaq/hostsim.h"

namespace zaq::hostsim::detail {

/// IAU rotation elements: pole right ascension and declination (ICRF, deg, and their rates per
/// Julian century T from J2000) and prime meridian W = w0 + wdot d (deg, deg/day, d days from
/// J2000). W decreases for a body turning backwards about this pole (wdot < 0).
struct IauRotation {
    enum Terms { None, Moon, Neptune };  ///< the periodic terms the body's elements carry
    double ra0, raRate, dec0, decRate, w0, wdot;
    Terms terms = None;
};

/// Unit pole (ICRF) of right ascension ra and declination dec (rad), and the ascending node of the
/// plane it is the pole of on the ICRF equator (right ascension ra + 90 degrees).
void EquatorAxes(double ra, double dec, VECTOR3& pole, VECTOR3& node);
/// Ascending node on the ecliptic of the plane with this pole (right-handed ecliptic, unit); the
/// x axis when the plane is the ecliptic.
VECTOR3 EclipticNode(const VECTOR3& pole);

/// Pole and prime-meridian directions (unit vectors, right-handed ecliptic of J2000) of a body on
/// IAU elements at a TT MJD.
void IauAxes(const IauRotation& r, double mjd, VECTOR3& pole, VECTOR3& meridian);

/// The host rotation of a body whose pole and prime meridian (right-handed ecliptic of J2000)
/// point as given at MJD epoch, turning about the pole with sidereal period `period` seconds
/// (negative: turning backwards). The frame at angle 0 has its x axis on the ascending node of the
/// body's equator on the ecliptic and its y axis on the pole.
Rotation RotationFromAxes(const VECTOR3& pole, const VECTOR3& meridian, double epoch,
                          double period);

/// Rotation of a body on IAU elements, fixed at MJD epoch (period 360 / wdot days).
Rotation IauRotationAt(const IauRotation& r, double epoch);

/// Earth's rotation at MJD epoch (TT): the celestial intermediate pole and the Greenwich meridian
/// from ERFA's IAU 2006/2000A celestial-to-terrestrial matrix, one stellar day per turn.
Rotation EarthRotationAt(double epoch);

}  // namespace zaq::hostsim::detail
