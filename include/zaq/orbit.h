// Orbital mechanics: anomaly conversions and Kepler's equation, reference frames and rotations.
#pragma once

#include "zaq/host.h"
#include "zaq/vector3.h"

namespace otk {

/// The orbital members of a conic orbit, in this order (lengths m, angles rad, epoch MJD).
struct sElements {
    VECTOR3 P;             ///< unit vector from the focus toward periapsis
    VECTOR3 Q;             ///< unit vector 90 degrees ahead of P in the direction of motion
    VECTOR3 W;             ///< unit orbit normal, P x Q
    double mu;             ///< gravitational parameter of the central body
    double meanAnomaly;    ///< mean anomaly at the epoch
    double eccAnomaly;     ///< eccentric (hyperbolic when e > 1) anomaly at the epoch
    double meanMotion;     ///< sqrt(mu / |a|^3), rad/s
    double semiMajor;      ///< a; negative for a hyperbola
    double semiMinor;      ///< sqrt(|a p|)
    double semiLatus;      ///< p
    double eccentricity;   ///< e
    double epoch;          ///< MJD at which the anomalies hold
    double velocityScale;  ///< sqrt(mu / p)
};

// ---- Anomaly conversions -------------------------------------------------------------------
// Angle, eccentricity -> angle, radians. mna mean, eca eccentric (hyperbolic anomaly H on a
// hyperbola), tra true, nra normal anomaly (direction of the outward normal), fpa flight-path
// angle. Elliptic angles lie in [0, 2pi]; H and the hyperbolic mean anomaly are signed, the
// hyperbolic true and normal anomalies are 2pi - |angle| before periapsis.

/// Kepler's equation, mean -> eccentric anomaly (e < 1) or hyperbolic anomaly (e >= 1).
double mna2eca(double M, double e);
/// Kepler's equation refined from a nearby start value E0 (e.g. the previous solution).
double mna2eca(double M, double e, double E0);
/// Kepler's equation for a sequence M[0..n-1] (e < 1 only), each solve starting from the
/// previous solution; with e >= 1 reports an error and writes nothing.
void mna2eca(int n, double e, const double* M, double* E);
double tra2eca(double nu, double e);
double eca2mna(double E, double e);
double eca2tra(double E, double e);
double mna2tra(double M, double e);
double tra2mna(double nu, double e);
double eca2nra(double E, double e);
double nra2eca(double n, double e);
/// Flight-path angle in (-pi/2, pi/2), positive while the distance grows.
double eca2fpa(double E, double e);
/// Eccentric anomaly for a flight-path angle; a negative angle gives the point before periapsis.
double fpa2eca(double g, double e);

// ---- Reference frames and rotations --------------------------------------------------------

/// Perifocal unit vectors P and Q of the orbit (lan, inc, agp) in the frame with x axis X and
/// pole Z; either output may be null.
void PQW(double lan, double inc, double agp, const VECTOR3& X, const VECTOR3& Z, VECTOR3* P,
         VECTOR3* Q);
/// Inclination, node longitude and argument of periapsis of el against the frame (X, Z); any
/// output may be null.
void ExtElem(sElements* el, double* inc, double* lan, double* agp, const VECTOR3& X,
             const VECTOR3& Z);
/// A vector given in the velocity frame of (pos, vel) (x prograde, y orbit normal, z in the
/// plane toward the position side) -> global.
VECTOR3 VFToGlobal(const VECTOR3& vf, const VECTOR3& pos, const VECTOR3& vel);
/// Global -> velocity frame of (pos, vel).
VECTOR3 GlobalToVF(const VECTOR3& g, const VECTOR3& pos, const VECTOR3& vel);
/// In place: (longitude, latitude, distance in AU) and their rates -> Cartesian metres,
/// right-handed; vel may be null.
void Polar2Cartesian(VECTOR3* pos, VECTOR3* vel);
/// As Polar2Cartesian, in the host's left-handed frame.
void Polar2Cartesian_LH(VECTOR3* pos, VECTOR3* vel);
/// Mean obliquity of the ecliptic (IAU 1976) at an MJD.
double ObliquityOfEcliptic(double mjd);
/// The three angles of the equator-of-date rotation (IAU 1976 precession).
void EquatorOfDate(double mjd, double* a1, double* a2, double* a3);
/// The three angles of the ecliptic-of-date rotation.
void EclipticOfDate(double mjd, double* a1, double* a2, double* a3);
/// R3(a3) R1(a2) R3(a1) of the equator-of-date angles.
MATRIX3 EquatorOfDate(double mjd);
/// R3(a3) R1(a2) R3(a1) of the ecliptic-of-date angles.
MATRIX3 EclipticOfDate(double mjd);
/// The unit axes rotated by the equator-of-date angles (all outputs required).
void EquatorOfDate(double mjd, VECTOR3* x, VECTOR3* y, VECTOR3* z);
/// The unit axes rotated by the ecliptic-of-date angles (all outputs required).
void EclipticOfDate(double mjd, VECTOR3* x, VECTOR3* y, VECTOR3* z);
/// The equator-of-date axes starting from the J2000 ecliptic (all outputs required).
void EquatorOfDate2(double mjd, VECTOR3* x, VECTOR3* y, VECTOR3* z);
/// J2000 ecliptic -> mean equator of date.
MATRIX3 J2000EclToEqu(double mjd);
/// Rotates the triad of axes (x, y, z) in place by a about x.
void RotateX(double a, VECTOR3& x, VECTOR3& y, VECTOR3& z);
/// Rotates the triad of axes (x, y, z) in place by a about z.
void RotateZ(double a, VECTOR3& x, VECTOR3& y, VECTOR3& z);
/// Right-handed rotation by a about a unit axis.
MATRIX3 _MRAxis(const VECTOR3& axis, double a);
/// Geocentric latitude and radius -> geodetic latitude and height over the ellipsoid with
/// eccentricity ecc and equatorial radius eqRadius; either output may be null.
void gcl2gdl(double gcLat, double radius, double ecc, double eqRadius, double* gdLat,
             double* height);
/// Geodetic latitude and height -> geocentric latitude and radius; either output may be null.
void gdl2gcl(double gdLat, double height, double ecc, double eqRadius, double* gcLat,
             double* radius);
/// A non-zero vector perpendicular to v (not normalised) when v is not zero.
VECTOR3 Perpendicular(VECTOR3 v);

}  // namespace otk
