// Lambert's problem: four solvers, the Stumpff functions of the universal-variable methods and the
// parabolic flight time.
#pragma once

#include "zaq/host.h"

// ---- Lambert solvers ----------------------------------------------------------------------------
// Each solver finds the conic about a body of parameter mu (m^3/s^2) that leads from position r1
// to position r2 (m) in the flight time t (s), and writes the velocities at both ends (m/s) to
// vel1 and vel2 when they are not null. The in/out pointer carries the iteration variable between
// calls (null or a stored 0: no start value) and holds the final value on return. Results: the
// pass count on success; the pass count negated past the cap (30, 40 for LambertUB), with the last
// iterate written; kLambertDegenerate for a degenerate input (zero radius, collinear positions
// where the method cannot join them, t <= 0, mu <= 0), with nothing written; kLambertNegativeY
// from LambertUN (see there). Only the sign of dir counts: dir > 0 the short way (transfer angle
// below pi), dir < 0 the long way; LambertUB and LambertUN return kLambertDegenerate for dir = 0.
// None allocates or logs.
namespace otk {

/// The solver cannot proceed: degenerate input; nothing is written.
constexpr int kLambertDegenerate = -98;
/// LambertUN's Newton iteration reached a negative y; nothing is written.
constexpr int kLambertNegativeY = -99;

/// Gauss's method, successive substitution on the sector-to-triangle ratio y; the short way only,
/// elliptic transfers only. Returns kLambertDegenerate also when the iteration leaves the elliptic
/// domain.
int LambertG(VECTOR3 r1, VECTOR3 r2, double t, double mu, double* y, VECTOR3* vel1, VECTOR3* vel2);

/// p-iteration: Newton steps on the semi-latus rectum p. Returns kLambertDegenerate also when a
/// pass yields a non-finite flight time.
int LambertPN(VECTOR3 r1, VECTOR3 r2, double t, double dir, double mu, double* p, VECTOR3* vel1,
              VECTOR3* vel2);

/// Universal variables, bisection on z. nRev = 0: the direct transfer. nRev = N > 0: N whole
/// revolutions before arrival; of the two such transfers it returns the long-period one (lower
/// z), or a negative count when the flight time is too short for N revolutions.
int LambertUB(VECTOR3 r1, VECTOR3 r2, double t, double dir, double mu, double* z, int nRev,
              VECTOR3* vel1, VECTOR3* vel2);

/// Universal variables, Newton steps on z for elliptic transfers; LambertUB (nRev 0) without a
/// start value and for hyperbolic transfers. Returns kLambertNegativeY when the iteration reaches
/// a negative y.
int LambertUN(VECTOR3 r1, VECTOR3 r2, double t, double dir, double mu, double* z, VECTOR3* vel1,
              VECTOR3* vel2);

/// Takes a solution another solver found (vel1, vel2 at both ends, in/out) to the precision of
/// double arithmetic with Newton steps on the universal-variable flight-time equation, and writes
/// both velocities again. Returns the steps taken (1 to 4); negated when the last step still
/// moved; kLambertDegenerate (nothing written) for degenerate input, a null velocity or a start
/// that is no transfer. The solvers above stay as they are: this is the caller's choice.
int LambertRefine(VECTOR3 r1, VECTOR3 r2, double t, double dir, double mu, VECTOR3* vel1,
                  VECTOR3* vel2);

/// The four solvers behind one call, for callers that let the user or a table choose.
enum class LambertSolver { G, PN, UB, UN };

/// Solves with `solver`: LambertG (short way only: kLambertDegenerate for dir < 0, nothing
/// written), LambertPN, LambertUB with no whole revolutions, or LambertUN; w is the solver's
/// in/out iteration variable (y, p or z). Allocates nothing.
int Lambert(LambertSolver solver, VECTOR3 r1, VECTOR3 r2, double t, double dir, double mu,
            double* w, VECTOR3* vel1, VECTOR3* vel2);

/// "G", "PN", "UB" or "UN".
const char* LambertSolverName(LambertSolver solver);

/// The solver of a name as LambertSolverName gives it, in any case; false for anything else.
bool ParseLambertSolver(const char* name, LambertSolver* solver);

/// Stumpff functions C(z) and S(z).
void CompCS(double* C, double* S, double z);

/// Derivatives dC/dz and dS/dz, and C(z) and S(z).
void Comp_dCdS(double* dC, double* dS, double* C, double* S, double z);

}  // namespace otk

/// Flight time (s) on the parabola about mu through two points at distances r1 and r2 (m) that
/// sweeps the angle dnu (rad; above pi the long way).
double ParabolicFlightTime(double r1, double r2, double dnu, double mu);

// ---- escape, ejection and transfer geometry -----------------------------------------------------
// Burn planning about a parking orbit and great-circle geometry on a sphere. Positions in m,
// velocities in m/s, angles in rad, mu in m^3/s^2.

class COrbit;

/// True anomaly on orbit of the impulsive burn onto the escape hyperbola with excess velocity
/// vinf that costs least (golden-section search), or -1; dv (optional) receives the burn.
double EscapeIgnTrA(COrbit* orbit, VECTOR3& vinf, double mu, VECTOR3* dv);

/// True anomaly of the ejection burn by a direct halving search in [0, 2pi]; dv (optional) the
/// burn; escape (optional) receives the escape hyperbola from that point.
double EjectPosition(COrbit* orbit, VECTOR3& vinf, double mu, VECTOR3* dv, COrbit* escape);

/// Ignition MJD on the orbit of (pos, vel) at mjd for the least-dv Lambert arc that reaches target
/// at arrivalMjd, no earlier than five minutes after mjd; 0 on failure or when target lies more
/// than 20 deg off the orbit plane. dv (optional) receives the burn at the returned date.
double FindLAPIgnMJD(VECTOR3& pos, VECTOR3& vel, VECTOR3& target, double mjd, double arrivalMjd,
                     double mu, VECTOR3* dv);

/// FindLAPIgnMJD with the ignition moved earlier by 35 % of the burn time of thruster group
/// `group` of `vessel`; dv is the impulsive burn.
double FindLAPIgnMJD(VECTOR3& pos, VECTOR3& vel, VECTOR3& target, double mjd, double arrivalMjd,
                     double mu, VESSEL* vessel, THGROUP_TYPE group, VECTOR3* dv);

/// True anomaly, eccentricity and semi-major axis at distance r of the conic with periapsis
/// distance rp reached pet seconds later; outputs optional. False (logged) without a match.
bool ComputeOrbitParams(double r, double pet, double rp, double mu, double* tra, double* ecc,
                        double* sma);

/// Velocity at pos, true anomaly tra, on the conic of periapsis distance rp whose angular
/// momentum points along normal.
VECTOR3 FindVelocity(VECTOR3& normal, VECTOR3& pos, double tra, double rp, double mu);

/// End point (unit vector) and arrival heading of great-circle travel over the angle dist from
/// start with the start heading (0 north, pi/2 east) on the sphere with pole axis.
void GetSphericalPosHed(VECTOR3& axis, VECTOR3& start, double heading, double dist, VECTOR3* end,
                        double* endHeading);

/// Range [lo, hi] of arrival headings of travel over dist from pos, and whether heading lies
/// inside it.
bool GetRangeOfRotationByHeading(VECTOR3& axis, VECTOR3& pos, double dist, double heading,
                                 double* lo, double* hi);

/// The rotations rot1, rot2 that solve the heading relation for angles a and b at pos; returns
/// how many (0, 1 or 2).
int GetRotationByHeading(VECTOR3& axis, VECTOR3& pos, double a, double b, double* rot1,
                         double* rot2);
