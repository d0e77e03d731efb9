// Pieces the plans share: the checks of a request, body look-up, states from the ephemeris
// modules, the Lambert arc between two bodies and the least-dv ignition from a parking orbit.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "zaq/host.h"
#include "zaq/orbit.h"
#include "zaq/plan.h"

namespace zaq::plan::detail {

/// The first failed check of a request; none when all pass.
using Check = std::optional<Error>;

/// A refusal whose reason is formatted as printf does.
Error Refusal(const char* format, ...) __attribute__((format(printf, 1, 2)));
/// Refuses a date (MJD) outside the built-in ephemerides; `what` names it ("the departure").
Check CheckDate(const char* what, double mjd);
/// Refuses x outside [lo, hi] (NaN included): "<what> must lie between <lo> and <hi> <unit>",
/// the bounds divided by scale.
Check CheckRange(const char* what, double x, double lo, double hi, double scale, const char* unit);
/// Refuses a solver that is none of the four, and Gauss's solver for the long way.
Check CheckSolver(otk::LambertSolver solver, bool longWay);
/// " (see <log>)": where the library's error log is now; a model holding that log keeps it.
std::string SeeLog(SolarModel* model);

/// The name the host gives obj.
std::string NameOf(OBJHANDLE obj);
/// True when obj is a gravitating body (not a base or vessel).
bool IsBody(OBJHANDLE obj);
/// A body's parent, a base's body; the root body is its own reference.
OBJHANDLE DefaultReference(OBJHANDLE obj);
/// State of body relative to ref at mjd, right-handed (m, m/s); from the body's ephemeris
/// module when ref is its parent, otherwise from the host at that date.
void StateAbout(OBJHANDLE body, OBJHANDLE ref, double mjd, VECTOR3* pos, VECTOR3* vel);

/// The two ends of a transfer and the body whose gravity shapes it.
struct BodyPair {
    OBJHANDLE from = nullptr, to = nullptr, ref = nullptr;
    std::string fromName, toName, refName;
    double mu = 0;       ///< GM of ref (m^3/s^2)
    bool lunar = false;  ///< TO moves about FROM (ref is FROM): a departure from a parking orbit
};
/// Looks up both bodies (after the solar system is loaded); refuses an unknown name, the same
/// body twice, a departure from the root body (no parking orbit about a star) and bodies
/// without a common reference.
Result<BodyPair> ResolvePair(const std::string& from, const std::string& to);

/// The two ends of an arc: FROM at depart and TO at arrive about pair.ref, with their dates.
void ArcEnds(const BodyPair& pair, double depart, double arrive, Arc* arc);
/// Solves the arc whose ends arc holds with the chosen solver (the short way unless longWay),
/// refined to double precision; warm carries the solver's iteration variable between calls
/// (null: none). False when the solver fails; arc then holds the status.
bool SolveArc(const BodyPair& pair, otk::LambertSolver solver, bool longWay, double* warm,
              Arc* arc);

/// The circular orbit of radius r about mu with angular momentum along normal.
COrbit ParkingOrbit(const VECTOR3& normal, double r, double mu, double mjd);
/// The ignition MJD on the parking orbit, no earlier than five minutes after depart, of the
/// least-dv impulsive Lambert burn to target at arrive (about mu); 0 when no Lambert arc joins
/// the orbit to target. dv (optional) receives the burn.
double LeastDvIgnition(COrbit& park, const VECTOR3& target, double depart, double arrive, double mu,
                       VECTOR3* dv);
/// The earliest ignition after a departure date (days).
constexpr double kIgnitionDelay = 5.0 / 1440;

/// The finite burn from park whose flight passes pair.to at request.periseleneAltitude near the
/// arrival; impulsive is the least-dv ignition's date and dv. Sets the model up (model, else one
/// of its own over the data root).
Result<LunarBurn> PlanLunarBurn(const TransferRequest& request, const BodyPair& pair, COrbit& park,
                                double impulsive, const VECTOR3& dv, const ProgressFn& progress,
                                SolarModel* model);

/// Sets up the caller's model, else one of its own over the data root (kept in own); model then
/// points to the one set up.
Result<CSol*> SetUpModel(SolarModel*& model, std::unique_ptr<SolarModel>& own);

/// The flight model's constant for an integrator.
int FlightIntegrator(Integrator integrator);

/// The exhaust velocity of a specific impulse (s), m/s.
constexpr double kStandardGravity = 9.80665;

}  // namespace zaq::plan::detail
