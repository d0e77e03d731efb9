// Adaptors between the host's bodies, bases and vessels and the library's right-handed frame:
// state vectors, body axes, surface locations, headings, spheres of influence, ephemeris
// modules, and the propulsion of a vessel's thruster groups and docked assembly.
#pragma once

#include "zaq/host.h"

namespace otk {

// ---- body, surface and frame adaptors (right-handed unless the name ends in _LH) ----

/// Position of obj relative to ref.
void RH_oapiGetRelativePos(void* obj, void* ref, VECTOR3* out);
/// Velocity of obj relative to ref.
void RH_oapiGetRelativeVel(void* obj, void* ref, VECTOR3* out);
void RH_oapiGetGlobalPos(void* obj, VECTOR3* out);
void RH_oapiGetGlobalVel(void* obj, VECTOR3* out);
/// Unit spin (north) axis of a body.
VECTOR3 RotationAxis(void* body);
/// The body's local first axis at rotation angle 0.
VECTOR3 SunTransit(void* body);
/// Direction from the body's centre through longitude 0, latitude 0 at mjd.
VECTOR3 MeridianAxis(void* body, double mjd);
/// Longitude in (-pi, pi] and latitude of the direction pos.
void GetLngLat(VECTOR3 pos, VECTOR3 rotAxis, VECTOR3 merAxis, double& lng, double& lat);
/// Unit direction of (lng, lat).
VECTOR3 VectorByLngLat(VECTOR3 rotAxis, VECTOR3 merAxis, double lng, double lat);
/// Base position relative to its body's centre at mjd; zero (and a log line) for no base.
VECTOR3 GetBasePosition(void* base, double mjd);
/// Point at the body's mean radius at (lng, lat) at mjd.
VECTOR3 GetSurfaceLocation(void* body, double mjd, double lng, double lat);
/// Where the surface point that is at pos at posMjd is at mjd.
VECTOR3 ConvertSurfaceLocation(void* body, double mjd, VECTOR3 pos, double posMjd);
/// Heading of dir at pos over the body, in [0, 2pi): 0 north, pi/2 east.
double GetHeading(void* body, VECTOR3& pos, VECTOR3& dir);
/// Sphere-of-influence radius of body about ref (m); 100 AU for a body about itself.
double CalculateSOI(void* body, void* ref);
/// One position/velocity pair of the ephemeris module, host frame; returns 0x01/0x02 bits
/// for the true pair or 0x04/0x08 bits for the barycentric pair.
int CelBody_LH(CELBODY* cb, double mjd, int request, VECTOR3* pos, VECTOR3* vel);
/// CelBody_LH, right-handed.
int CelBody_RH(CELBODY* cb, double mjd, int request, VECTOR3* pos, VECTOR3* vel);
/// How far a point mass gm at dist may move before its pull changes by precision * acc (m).
double AllowedDisplacement(double acc, double precision, double dist, double gm);

// ---- propulsion of a host vessel ----

/// Exhaust velocity of one thruster, its propellant's efficiency applied.
double GetISP(VESSEL* v, void* thruster);
/// Mass flow of the group at full thrust (kg/s).
double GetThrusterGroupFlowRate(VESSEL* v, THGROUP_TYPE g);
/// Thrust-weighted exhaust velocity of the group (m/s).
double GetThrusterGroupISP(VESSEL* v, THGROUP_TYPE g);
/// Mean thrust direction in vessel axes (host handedness).
VECTOR3 GetThrusterGroupDir_LH(VESSEL* v, THGROUP_TYPE g);
/// Total thrust vector in the host's global frame (N).
VECTOR3 GetThrusterGroupThrustVector_LH(VESSEL* v, THGROUP_TYPE g);
/// New array (release with delete[]) of v and every vessel docked to it; count = entries.
void** GetSuperStructure(VESSEL* v, int& count);
/// Total mass of v's docked assembly (kg).
double GetSuperStructureMass(VESSEL* v);
/// Burn time for dv with mass, thrust and mass flow (rocket equation).
double BurnTimeBydV(double dv, double mass, double thrust, double flowRate);
/// Velocity change of a burn of time with mass, thrust and mass flow.
double dVByBurnTime(double time, double mass, double thrust, double flowRate);
/// Burn time for dv of group g on v's assembly.
double BurnTimeBydV(double dv, VESSEL* v, THGROUP_TYPE g);
/// Velocity change of a burn of time by group g on v's assembly.
double dVByBurnTime(double time, VESSEL* v, THGROUP_TYPE g);
/// Vacuum thrust of the group over the assembly's mass (m/s^2).
double GetThrusterGroupAcceleration(VESSEL* v, THGROUP_TYPE g);
/// The target after (direction >= 0) or before current among body's bases and the vessels
/// about it other than the focus; the first when current is null or unknown; null if none.
void* GetTarget(void* body, void* current, int direction);

}  // namespace otk
