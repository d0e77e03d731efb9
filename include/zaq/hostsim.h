// The standalone host: an in-process implementation of the host interface (host.h) with a
// world of bodies, bases and vessels that callers build here. Vectors are in the host's
// left-handed frame (y towards the reference plane's north), metres, m/s, kg, seconds, MJD.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "zaq/constants.h"
#include "zaq/host.h"

namespace zaq::hostsim {

using zaq::kG;  ///< the host's gravitational constant: a body's mass is its GM / kG

/// MATRIX3 identity.
MATRIX3 Identity();

/// A body's rotation: the frame at rotation angle 0 and a uniform spin about its local y axis.
struct Rotation {
    MATRIX3 obliquity = Identity();  ///< body frame at angle 0 -> host frame
    double period = 0.0;             ///< sidereal period, s; 0 for a body that does not turn
    double angle = 0.0;              ///< rotation angle at the epoch, rad
    double epoch = 51544.5;          ///< MJD of that angle
};

/// How a body moves about its parent.
enum class Motion {
    Fixed,     ///< state at `epoch`, moving in a straight line (pos + vel * dt)
    Elements,  ///< Keplerian elements at `epoch` about the parent, mu = G (M_parent + M_body)
    Module     ///< the body's CELBODY module (true position and velocity about the parent)
};

struct BodyDesc {
    std::string name;
    double mass = 0.0;           ///< kg, > 0
    double radius = 0.0;         ///< mean radius, m, >= 0
    OBJHANDLE parent = nullptr;  ///< null only for a body at the origin
    Rotation rotation;
    std::vector<double> jcoeff;  ///< J2, J3, ...
    Motion motion = Motion::Fixed;
    VECTOR3 pos{0, 0, 0};  ///< Fixed: position about the parent at `epoch`
    VECTOR3 vel{0, 0, 0};  ///< Fixed: velocity about the parent
    /// Elements: a, e (< 1), i, theta (node), omegab (longitude of periapsis), L (mean longitude
    /// = omegab + mean anomaly), angles measured in the host's reference plane (x-z) from x.
    ELEMENTS elements{0, 0, 0, 0, 0, 0};
    double epoch = 51544.5;     ///< MJD at which pos/vel or elements hold
    CELBODY* module = nullptr;  ///< Module: owned by the world from AddBody on
};

struct PropellantDesc {
    double maxMass = 0.0;
    double mass = 0.0;
    double efficiency = 1.0;  ///< multiplies the exhaust velocity of thrusters fed by it
};

struct ThrusterDesc {
    VECTOR3 dir{0, 0, 1};    ///< thrust direction in vessel axes
    double maxThrust = 0.0;  ///< vacuum thrust, N
    double isp = 0.0;        ///< vacuum exhaust velocity, m/s
    int resource = -1;       ///< index into VesselDesc::propellants, -1 for none
};

struct VesselDesc {
    std::string name;
    OBJHANDLE gravityRef = nullptr;  ///< required: a body
    OBJHANDLE surfaceRef = nullptr;
    VECTOR3 pos{0, 0, 0};  ///< about gravityRef, held fixed relative to it
    VECTOR3 vel{0, 0, 0};
    double mass = 0.0;              ///< total mass, kg, > 0
    MATRIX3 attitude = Identity();  ///< vessel axes -> global frame
    std::vector<PropellantDesc> propellants;
    std::vector<ThrusterDesc> thrusters;
    /// Thruster groups: a group type and the indices of its thrusters.
    std::vector<std::pair<THGROUP_TYPE, std::vector<int>>> groups;
    int dockCount = 0;  ///< number of docking ports
};

/// Empties the world: no bodies, bases or vessels; the simulation MJD becomes 51544.5.
void Reset();
/// Adds a body; null (and LastError) for an empty or duplicate name, a bad mass or radius, an
/// unknown parent, or a module body without a module.
OBJHANDLE AddBody(const BodyDesc& desc);
/// Adds a surface base; radius 0 takes the body's mean radius.
OBJHANDLE AddBase(const std::string& name, OBJHANDLE body, double lng, double lat,
                  double radius = 0.0);
/// Adds a vessel; null (and LastError) for bad input.
OBJHANDLE AddVessel(const VesselDesc& desc);
/// Docks port pa of a to port pb of b; false for bad handles, ports or an occupied port.
bool Dock(OBJHANDLE a, int pa, OBJHANDLE b, int pb);
/// Sets a vessel's state about a (new) gravity reference.
bool SetVesselState(OBJHANDLE vessel, OBJHANDLE ref, const VECTOR3& pos, const VECTOR3& vel);
/// Sets a vessel's total mass.
bool SetVesselMass(OBJHANDLE vessel, double mass);
/// Makes the vessel the focus (null clears it).
bool SetFocus(OBJHANDLE vessel);
/// Thruster i of a vessel, in VesselDesc::thrusters order; null when out of range.
THRUSTER_HANDLE GetThruster(OBJHANDLE vessel, int i);
/// Propellant resource i of a vessel; null when out of range.
PROPELLANT_HANDLE GetPropellant(OBJHANDLE vessel, int i);
void SetSimMJD(double mjd);
/// Sends the host log to a file (appended), or to stderr when path is null or empty.
bool SetLogFile(const char* path);
/// Text of the last world-builder error.
const std::string& LastError();
/// The body a body moves about; null for the root body and for anything that is not a body.
OBJHANDLE GetParent(OBJHANDLE body);

// ---- the built-in solar system ------------------------------------------------------------

/// Resets the world to the real solar system at simulation MJD `mjd` (read as TT): the Sun at the
/// origin, the eight planets and the Moon on ERFA ephemeris modules, Pluto and the major moons on
/// mean elements, physical data, rotation and a few surface bases. Vessels are gone afterwards.
/// False (and LastError) for a non-finite MJD.
bool LoadSolarSystem(double mjd);
/// MJD (TT) of a UTC calendar instant; NaN for an invalid date or time of day.
double MjdFromUTC(int year, int month, int day, int hour = 0, int minute = 0, double second = 0);
/// "YYYY-MM-DD HH:MM:SS" (UTC, whole seconds) of an MJD (TT); empty when ERFA cannot convert it.
std::string UTCText(double mjd);
/// The UTC day count (an MJD on the UTC scale) of an MJD (TT); NaN when ERFA cannot convert it.
double UtcMjd(double mjd);

}  // namespace zaq::hostsim
