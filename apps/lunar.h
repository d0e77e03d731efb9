// A departure from a parking orbit to a body that moves about the departure body (Earth to the
// Moon): the least-dv impulsive ignition, and the finite burn that a stage of given thrust and
// propellant flow flies to pass the Moon at a chosen periselene, corrected by flying it through
// the scenario of the Sun, Earth and Moon.
#pragma once

#include <string>
#include <vector>

#include "apps/json.h"
#include "apps/mission.h"
#include "zaq/host.h"
#include "zaq/orbit.h"

namespace zaq::app {

/// The highest periselene a plan may ask for, km (the Moon's sphere of influence is some 66000).
constexpr double kMaxPeriseleneAlt = 50000;

/// The ignition MJD on the parking orbit, no earlier than five minutes after depart, of the
/// least-dv impulsive Lambert burn to target at arrive (about mu); 0 when no Lambert arc joins
/// the orbit to target. The orbit is scanned over a revolution for the best bracket, which is
/// then refined; trials where the Lambert arc is degenerate (a half turn) are stepped around.
/// dv (optional) receives the burn.
double LeastDvIgnition(COrbit& park, const VECTOR3& target, double depart, double arrive, double mu,
                       VECTOR3* dv);

/// A point of the flown trajectory: the vessel and the Moon about FROM (m, right-handed).
struct TrackPoint {
    double mjd = 0;
    VECTOR3 vessel{}, moon{};
};

/// The finite burn and how its flight passes the Moon.
struct LunarBurn {
    double ignition = 0, cutoff = 0;  ///< MJD
    VECTOR3 r{}, v{};                 ///< parking-orbit state at ignition about FROM
    VECTOR3 thrust{};                 ///< burn vector (its length the burn's dv), reference frame
    double burnTime = 0;              ///< s
    double impulsiveDv = 0;           ///< the least-dv impulsive burn to the same aim point, m/s
    double thrustN = 0, flow = 0, mass = 0;
    double soiEntry = 0;            ///< MJD of the passage into the Moon's sphere of influence
    double periseleneAlt = 0;       ///< m above the Moon's mean radius
    double periselene = 0;          ///< MJD
    int corrections = 0;            ///< flights of the aim-point correction
    std::vector<TrackPoint> track;  ///< the flight to a day past the periselene, when asked for
};

/// Plans the finite burn from the parking orbit park about pair.from whose flight passes pair.to
/// at periseleneAlt (m) near arrive; impulsiveIgnition and impulsiveDv are LeastDvIgnition's
/// answer for depart. The engine is thrust (N) and propellant flow (kg/s) on a vessel of mass
/// (kg). With withTrack the planned burn is flown once more and its track kept. False with a
/// one-line reason.
bool PlanLunarBurn(const BodyPair& pair, COrbit& park, double depart, double impulsiveIgnition,
                   const VECTOR3& impulsiveDv, double arrive, double thrust, double flow,
                   double mass, double periseleneAlt, LunarBurn* burn, std::string* why,
                   bool withTrack = false);

/// The plan's rows for the text table, each written by row(label, value, extra).
void PrintLunarBurn(const LunarBurn& burn,
                    void (*row)(const char*, const std::string&, const std::string&));
/// Adds the plan's members "finite_burn" and "flown" to the JSON object j.
void AddLunarBurnJson(const LunarBurn& burn, Json& j);

}  // namespace zaq::app
