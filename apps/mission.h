// Pieces the planning commands share: dates, body look-up, states from the ephemeris modules and
// the Lambert arc between two bodies about the body they both move about.
#pragma once

#include <string>

#include "apps/arguments.h"
#include "zaq/host.h"
#include "zaq/lambert.h"

namespace zaq::app {

/// Writes "zaq COMMAND: <message>" as one line on stderr and returns exit code 2.
int Fail(const char* command, const char* format, ...) __attribute__((format(printf, 2, 3)));
/// A date argument as an MJD within the ephemerides; otherwise the one-line error and false.
bool DateArgument(const char* command, const std::string& text, double* mjd);
/// The number given to `option` when it lies within [lo, hi]; otherwise the one-line error and
/// false. Empty text leaves value as it is.
bool NumberArgument(const char* command, const char* option, const std::string& text, double lo,
                    double hi, double* value);
/// A name (of a body, a solver, a file) without control characters, which would reach file names
/// and messages; otherwise the one-line error and false.
bool NameArgument(const char* command, const char* what, const std::string& text);
/// A date as the library formats it, "20-Nov-2026 00:00:00 UTC", of an MJD (TT).
std::string DateText(double mjd);
/// otk::ValueToText(x, digits), copied out of its shared buffer.
std::string ValueText(double x, int digits);
/// A body's parent, a base's body; the root body is its own reference.
OBJHANDLE DefaultReference(OBJHANDLE obj);
/// State of body relative to ref at mjd, right-handed (m, m/s); from the body's ephemeris
/// module when ref is its parent, otherwise from the host at that date.
void StateAbout(OBJHANDLE body, OBJHANDLE ref, double mjd, VECTOR3* pos, VECTOR3* vel);

using otk::LambertSolver;
/// The --solver argument ("G", "PN", "UB" or "UN", any case) with --long; otherwise the one-line
/// error and false.
bool SolverArgument(const char* command, const std::string& name, bool longWay,
                    LambertSolver* solver);

/// The two ends of a transfer and the body whose gravity shapes it.
struct BodyPair {
    OBJHANDLE from = nullptr, to = nullptr, ref = nullptr;
    std::string fromName, toName, refName;
    double mu = 0;       ///< GM of ref (m^3/s^2)
    bool lunar = false;  ///< TO moves about FROM (ref is FROM): a departure from a parking orbit
};
/// Looks up both bodies (after the solar system is loaded). False with a one-line reason for an
/// unknown name, the same body twice, a departure from the root body (no parking orbit about a
/// star) or bodies without a common reference.
bool ResolvePair(const std::string& from, const std::string& to, BodyPair* pair, std::string* why);

/// A Lambert arc from FROM's position at depart to TO's position at arrive, about ref.
struct Arc {
    double depart = 0, arrive = 0;       ///< MJD
    VECTOR3 r1{}, v1{};                  ///< FROM at depart
    VECTOR3 r2{}, v2{};                  ///< TO at arrive
    VECTOR3 vDepart{}, vArrive{};        ///< velocities on the arc at both ends
    VECTOR3 vinfDepart{}, vinfArrive{};  ///< excess velocities: arc minus body
    double c3 = 0;                       ///< |vinfDepart|^2 (m^2/s^2)
    int status = 0;                      ///< the solver's result
    bool refined = false;                ///< a universal-variable arc sharpened by p-iteration
};
/// Solves the arc with the chosen solver (the short way unless longWay); arcs of the
/// universal-variable solvers are then sharpened by p-iteration. warm carries the solver's
/// iteration variable between calls (null: none). False when the solver fails; arc
/// then holds the states and the status.
bool SolveArc(const BodyPair& pair, double depart, double arrive, LambertSolver solver,
              bool longWay, double* warm, Arc* arc);

}  // namespace zaq::app
