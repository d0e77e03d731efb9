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
// iterate written; -98 for a degenerate input (zero radius, collinear positions where the method
// cannot join them, t <= 0, mu <= 0), with nothing written; -99 from LambertUN (see there).
// Only the sign of dir counts: dir > 0 the short way (transfer angle below pi), dir < 0 the long
// way; LambertUB and LambertUN return -98 for dir = 0. None allocates or logs.
namespace otk {

/// Gauss's method, successive substitution on the sector-to-triangle ratio y; the short way only,
/// elliptic transfers only. Returns -98 also when the iteration leaves the elliptic domain.
int LambertG(VECTOR3 r1, VECTOR3 r2, double t, double mu, double* y, VECTOR3* vel1, VECTOR3* vel2);

/// p-iteration: Newton steps on the semi-latus rectum p. Returns -98 also when a pass yields a
/// non-finite flight time.
int LambertPN(VECTOR3 r1, VECTOR3 r2, double t, double dir, double mu, double* p, VECTOR3* vel1,
              VECTOR3* vel2);

/// Universal variables, bisection on z. nRev = 0: the direct transfer. nRev = N > 0: N whole
/// revolutions before arrival; of the two such transfers it returns the long-period one (lower
/// z), or a negative count when the flight time is too short for N revolutions.
int LambertUB(VECTOR3 r1, VECTOR3 r2, double t, double dir, double mu, double* z, int nRev,
              VECTOR3* vel1, VECTOR3* vel2);

/// Universal variables, Newton steps on z for elliptic transfers; LambertUB (nRev 0) without a
/// start value and for hyperbolic transfers. -99 when the iteration reaches a negative y.
int LambertUN(VECTOR3 r1, VECTOR3 r2, double t, double dir, double mu, double* z, VECTOR3* vel1,
              VECTOR3* vel2);

/// Stumpff functions C(z) and S(z).
void CompCS(double* C, double* S, double z);

/// Derivatives dC/dz and dS/dz, and C(z) and S(z).
void Comp_dCdS(double* dC, double* dS, double* C, double* S, double z);

}  // namespace otk

/// Flight time (s) on the parabola about mu through two points at distances r1 and r2 (m) that
/// sweeps the angle dnu (rad; above pi the long way).
double ParabolicFlightTime(double r1, double r2, double dnu, double mu);
