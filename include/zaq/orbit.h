// Orbital mechanics: anomaly conversions and Kepler's equation, reference frames and rotations.
#pragma once

#include <cstdint>
#include <cstdio>
#include <limits>

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
/// An eccentric anomaly with its sine and cosine: a solution of Kepler's equation kept to start
/// the next solve at a nearby mean anomaly. E not a number: no solution kept.
struct sAnomaly {
    double E = std::numeric_limits<double>::quiet_NaN();
    double sinE = 0, cosE = 1;
    int rotations = 0;  ///< solutions in a row whose sine and cosine were turned, not evaluated
};
/// Kepler's equation (e < 1) from a nearby solution near (a whole number of turns away from the
/// answer does not matter), which becomes the solution at M with its sine and cosine, to
/// rounding. A start that is too poor, not a number or no point of the circle (a hyperbolic
/// anomaly) falls back to the plain solver. With e >= 1 the hyperbolic anomaly H with sinh H and
/// cosh H.
void mna2eca(double M, double e, sAnomaly& near);
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

/// A two-body conic (ellipse or hyperbola) anchored at an epoch, in a reference frame of three
/// unit axes against which inclination, node and periapsis longitudes are measured.
/// Vectors are right-handed; lengths m, speeds m/s, angles rad, spans s, dates MJD.
class COrbit {
public:
    // The orbital members: the layout of otk::sElements.
    VECTOR3 P, Q, W;
    double mu, meanAnomaly, eccAnomaly, meanMotion, semiMajor, semiMinor, semiLatus, eccentricity,
        epoch, velocityScale;
    // The reference frame.
    VECTOR3 equinox, auxiliary, pole;

    /// Default frame; the orbit itself is unset until a Create call.
    COrbit();
    COrbit(const COrbit&) = default;
    COrbit& operator=(const COrbit&) = default;
    /// The orbital members of el with the default frame.
    explicit COrbit(const otk::sElements& el);
    COrbit(VECTOR3 pos, VECTOR3 vel, double mu, double mjd);
    /// The orbit of host object obj about host object ref now.
    COrbit(void* obj, void* ref);
    ~COrbit() = default;

    // ---- builders: they replace the orbital members and keep the frame ----
    void CreateFromStateVectors(const VECTOR3& pos, const VECTOR3& vel, double mu, double mjd);
    /// The conic of semi-latus rectum p through r1 (the epoch point) and r2.
    void CreateFrom2Pos(const VECTOR3& r1, const VECTOR3& r2, double p, double mu, double mjd);
    /// From a, e, inclination, node longitude, argument of periapsis and mean anomaly.
    void CreateFromElements(double a, double e, double inc, double lan, double agp, double mna,
                            double mu, double mjd);
    /// From the host's element record (mean longitude L = longitude of periapsis + M).
    void CreateFromElements(const ELEMENTS* el, double mu, double mjd);
    /// The circular orbit through pos whose angular momentum points along normal.
    void CreateCircular(const VECTOR3& pos, const VECTOR3& normal, double mu, double mjd);
    /// The hyperbola through pos that leaves with excess velocity vinf; dir < 0 reverses the
    /// sense of motion.
    void EscapeOrbit(const VECTOR3& pos, const VECTOR3& vinf, double mu, double mjd, double dir);
    /// The conic through pos with periapsis along peri at |peri|, moving towards periapsis;
    /// dir < 0 reverses the sense of motion.
    void ApproachOrbit(const VECTOR3& pos, const VECTOR3& peri, double mu, double mjd, double dir);
    /// The orbit of host object obj about ref now, mu from both masses.
    void Create(void* obj, void* ref);
    /// The orbit of a host vessel about its gravity reference now, mu from the reference alone.
    void Create(VESSEL* v);
    /// Sets the reference frame: equinox = unit(X), pole re-derived perpendicular to it.
    void ReferencePole(VECTOR3 X, VECTOR3 Z);
    /// Writes the main elements to f as log lines.
    void Print(FILE* f, const char* label) const;

    // ---- elements ----
    double SMa() const { return semiMajor; }
    double SMi() const { return semiMinor; }
    double Par() const { return semiLatus; }
    double Ecc() const { return eccentricity; }
    double MnA() const { return meanAnomaly; }
    double EcA() const { return eccAnomaly; }
    double Epoch() const { return epoch; }
    /// True anomaly at the epoch.
    double TrA() const;
    /// Flight-path angle at the epoch.
    double FpA() const;
    /// Orbital period (s).
    double OPe() const;
    /// Periapsis distance.
    double PeD() const;
    /// Apoapsis distance (negative for a hyperbola).
    double ApD() const;
    /// Distance at the epoch.
    double Rad() const;
    /// Speed at the epoch.
    double Vel() const;
    /// Speed at periapsis.
    double PeV() const;
    /// Hyperbolic excess speed; -1 for an ellipse.
    double EscapeVelocity() const;
    double ImpactParameter() const;
    /// Time (s) to the next periapsis.
    double PeT() const;
    /// Time (s) to the next apoapsis.
    double ApT() const;
    /// MJD of the nearest periapsis, past or future.
    double PeMJD() const;
    /// Inclination in [0, pi].
    double Inc() const;
    /// Inclination in [0, 2pi), measured towards the node side.
    double Inc2() const;
    /// Longitude of the ascending node.
    double LAN() const;
    /// Argument of periapsis (2pi for a periapsis at the node).
    double AgP() const;
    /// Longitude of periapsis.
    double LPe() const;
    /// Mean longitude at the epoch.
    double MnL() const;
    /// True longitude at the epoch.
    double TrL() const;
    /// Largest true anomaly of a hyperbola (just inside the asymptote); 2pi for an ellipse.
    double MaxTrA() const;
    /// Largest normal anomaly of a hyperbola; 2pi for an ellipse.
    double MaxNrA() const;
    /// Position at the epoch.
    VECTOR3 Position();
    /// Velocity at the epoch.
    VECTOR3 Velocity();
    VECTOR3 Equinox() { return equinox; }
    VECTOR3 Auxiliary() { return auxiliary; }
    VECTOR3 Pole() { return pole; }

    // ---- time, anomaly and position queries (t in s from the epoch) ----
    /// Mean anomaly t seconds after the epoch, wrapped into [0, 2pi] unless e > 1.
    double MnAByTime(double t) const;
    double EcAByTime(double t) const;
    double TrAByTime(double t) const;
    double MnAByMJD(double mjd) const;
    double EcAByMJD(double mjd) const;
    double TrAByMJD(double mjd) const;
    /// Time from the epoch to the nearest passage of mean anomaly M.
    double TimeToMnA(double M) const;
    double TimeToTrA(double nu) const;
    double TimeToEcA(double E) const;
    double MJDByMnA(double M) const;
    double MJDByEcA(double E) const;
    double MJDByTrA(double nu) const;
    VECTOR3 PosByEcA(double E);
    VECTOR3 PosByTrA(double nu);
    VECTOR3 VelByTrA(double nu);
    VECTOR3 VelByEcA(double E);
    VECTOR3 PosByMJD(double mjd);
    VECTOR3 VelByMJD(double mjd);
    /// Position and velocity at mjd with one Kepler solve; either pointer may be null.
    void PosVelByMJD(double mjd, VECTOR3* pos, VECTOR3* vel) const;
    /// The same for a caller that queries the conic at a sequence of nearby dates: Kepler's
    /// equation starts from near, the solution of an earlier query, and near becomes the
    /// solution at mjd. The velocity comes from the eccentric anomaly directly.
    void PosVelByMJD(double mjd, VECTOR3* pos, VECTOR3* vel, otk::sAnomaly& near) const;
    /// Time for the true anomaly to advance by dnu (whole revolutions included).
    double TimeToRelTrA(double dnu) const;
    /// True-anomaly advance over t seconds, whole revolutions included.
    double RelTrAByTime(double t) const;
    double MJDByRelTrA(double dnu) const;
    double RelTrAByMJD(double mjd) const;
    /// True anomaly of the projection of v onto the orbit plane.
    double TrAOfProjection(VECTOR3 v) const;
    /// True anomaly of the ascending node on the plane whose pole is z.
    double TrAOfAscendingNode(VECTOR3 z) const;
    /// Compass heading of the velocity at nu about the pole z: 0 towards z, pi/2 east.
    double Heading(double nu, VECTOR3& z) const;
    double FlightPathAngle(double nu) const;
    /// Outbound true anomaly (0..pi) at distance r, or -1 when the orbit never gets there.
    double TrAByRadius(double r) const;
    double RadiusByTrA(double nu) const;
    double RadiusByEcA(double E) const;

private:
    void SetDerived();  // anomalies from the epoch true anomaly set by the builder
    void FinishFromTrA(double nu);
    VECTOR3 PosAt(double cE, double sE) const;
    VECTOR3 PosAtEcA(double E) const;
    VECTOR3 VelAt(double nu) const;
};

// ---- mean orbits ------------------------------------------------------------------------------
// A Keplerian ellipse whose elements drift linearly in time, filled in by the caller and shared
// by layout. Angles in rad, rates per day, a in m; velocities come out in m per day.

struct sMean {
    int32_t valid;  ///< non-zero when the record may be used
    int32_t mode;   ///< 0: L0 mean longitude, w0 longitude of periapsis; 1: L0 mean anomaly,
                    ///< w0 argument of periapsis, node and periapsis regressing at their rates
    double epoch;   ///< MJD of the elements
    double a0, e0, i0, L0, w0;
    double wRate;  ///< rate of w0 (mode 1: its regression rate)
    double node0;  ///< longitude of the ascending node
    double n;      ///< mean motion (rad/day)
    double aRate, eRate, iRate;
    double nodeRate;  ///< rate of the node (mode 1: its regression rate)
    double reserved[2];
    MATRIX3 frame;  ///< rows: reference x axis, pole, reference y axis
};

/// Period in seconds, 2pi/n days.
double GetMeanOrbitPeriod(sMean* m);
/// Position, velocity, eccentric anomaly and perifocal unit vectors P and Q at mjd; each output
/// may be null. Writes nothing for an unusable record (not valid, unknown mode, or elements that
/// have drifted off an ellipse: e outside [0, 1) or a <= 0).
void GetMeanOrbitPosVel(sMean* m, double mjd, VECTOR3* pos, VECTOR3* vel, double* eca, VECTOR3* P,
                        VECTOR3* Q);
/// Position at mjd; the zero vector for an unusable record.
VECTOR3 GetMeanOrbitPos(sMean* m, double mjd);
