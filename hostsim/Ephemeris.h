// Ephemeris modules of the built-in solar system on ERFA's analytical theories, and the frame
// conversions they share with the rest of the built-in system.
#pragma once

#include <memory>

#include "zaq/host.h"

namespace zaq::hostsim::detail {

/// Mean obliquity of J2000 (rad): the angle between the J2000 mean equator and the ecliptic.
double J2000Obliquity();
/// J2000 mean equatorial (right-handed) to ecliptic and equinox of J2000 (right-handed).
VECTOR3 EquatorialToEcliptic(const VECTOR3& v);
/// Ecliptic of J2000 (right-handed) to J2000 mean equatorial (right-handed).
VECTOR3 EclipticToEquatorial(const VECTOR3& v);

/// Heliocentric module of planet np of ERFA's Plan94 (1 Mercury, 2 Venus, 4 Mars ... 8 Neptune):
/// its one state serves as both the true and the barycentric pair (EPHEM_BARYISTRUE).
std::unique_ptr<CELBODY> MakePlanetEphemeris(int np);
/// Earth's heliocentric module: the Earth-Moon barycentre from Plan94 as the barycentric pair and
/// Earth's centre, the barycentre less moonRatio times the geocentric Moon, as the true pair.
/// moonRatio = m_Moon / (m_Earth + m_Moon).
std::unique_ptr<CELBODY> MakeEarthEphemeris(double moonRatio);
/// The Moon's geocentric module on ERFA's Moon98 (EPHEM_BARYISTRUE: it has no moons).
std::unique_ptr<CELBODY> MakeMoonEphemeris();

}  // namespace zaq::hostsim::detail
