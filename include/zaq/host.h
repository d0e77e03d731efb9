// The host simulator's published interface, as the library uses it.
// Host vectors are left-handed: host (x, y, z) = right-handed (x, z, y).
// libzaq leaves these functions unresolved: the simulator that loads the library provides them, or
// a program links the standalone host (zaq::hostsim, include/zaq/hostsim.h) to run on its own.
#pragma once

#include <cstdint>

typedef unsigned int DWORD;
typedef unsigned int UINT;

/// Host 3-vector of doubles.
struct VECTOR3 {
    double x, y, z;
};

/// Host 3x3 matrix of doubles, row-major: m12 is row 1, column 2.
struct MATRIX3 {
    double m11, m12, m13, m21, m22, m23, m31, m32, m33;
};

inline VECTOR3 _V(double x, double y, double z) {
    return VECTOR3{x, y, z};
}

typedef void* OBJHANDLE;
typedef void* THRUSTER_HANDLE;
typedef void* PROPELLANT_HANDLE;
typedef void* DOCKHANDLE;

/// Thruster group identifiers.
enum THGROUP_TYPE {
    THGROUP_MAIN,
    THGROUP_RETRO,
    THGROUP_HOVER,
    THGROUP_ATT_PITCHUP,
    THGROUP_ATT_PITCHDOWN,
    THGROUP_ATT_YAWLEFT,
    THGROUP_ATT_YAWRIGHT,
    THGROUP_ATT_BANKLEFT,
    THGROUP_ATT_BANKRIGHT,
    THGROUP_ATT_RIGHT,
    THGROUP_ATT_LEFT,
    THGROUP_ATT_UP,
    THGROUP_ATT_DOWN,
    THGROUP_ATT_FORWARD,
    THGROUP_ATT_BACK,
    THGROUP_USER = 0x40
};

/// Host Keplerian element record: semi-major axis (m), eccentricity, inclination, longitude of
/// the ascending node, longitude of periapsis, mean longitude at the epoch (rad).
struct ELEMENTS {
    double a, e, i, theta, omegab, L;
};

// Request and result bits of the ephemeris call.
#define EPHEM_TRUEPOS 0x01
#define EPHEM_TRUEVEL 0x02
#define EPHEM_BARYPOS 0x04
#define EPHEM_BARYVEL 0x08
#define EPHEM_BARYISTRUE 0x10
#define EPHEM_PARENTBARY 0x20
#define EPHEM_POLAR 0x40

/// A celestial body's ephemeris module.
class CELBODY {
public:
    virtual ~CELBODY() = default;
    /// Fills ret[0..11] (true position, true velocity, barycentric position, barycentric
    /// velocity; host frame, relative to the parent) as req asks; returns the bits it filled.
    virtual int clbkEphemeris(double mjd, int req, double* ret) = 0;
};

/// A host vessel, as the library reads it.
class VESSEL {
public:
    explicit VESSEL(OBJHANDLE hVessel);
    OBJHANDLE GetHandle() const;
    const char* GetName() const;
    OBJHANDLE GetGravityRef() const;
    /// Body the vessel is landed on or flying over; null when in free space.
    OBJHANDLE GetSurfaceRef() const;
    double GetMass() const;
    void GetGlobalPos(VECTOR3& pos) const;
    void GetGlobalVel(VECTOR3& vel) const;
    void GetRelativePos(OBJHANDLE hRef, VECTOR3& pos) const;
    void GetRelativeVel(OBJHANDLE hRef, VECTOR3& vel) const;
    /// Rotates rloc from vessel axes into the global frame.
    void GlobalRot(const VECTOR3& rloc, VECTOR3& rglob) const;
    UINT DockCount() const;
    DOCKHANDLE GetDockHandle(UINT n) const;
    /// Handle of the vessel docked at the port; null when free.
    OBJHANDLE GetDockStatus(DOCKHANDLE hDock) const;
    DWORD GetGroupThrusterCount(THGROUP_TYPE thgt) const;
    THRUSTER_HANDLE GetGroupThruster(THGROUP_TYPE thgt, DWORD n) const;
    /// Thrust at the current ambient pressure (N).
    double GetThrusterMax(THRUSTER_HANDLE th) const;
    /// Vacuum thrust (N).
    double GetThrusterMax0(THRUSTER_HANDLE th) const;
    /// Vacuum exhaust velocity (m/s).
    double GetThrusterIsp0(THRUSTER_HANDLE th) const;
    PROPELLANT_HANDLE GetThrusterResource(THRUSTER_HANDLE th) const;
    double GetPropellantEfficiency(PROPELLANT_HANDLE ph) const;
    double GetPropellantMass(PROPELLANT_HANDLE ph) const;
    /// Thrust direction in vessel axes.
    void GetThrusterDir(THRUSTER_HANDLE th, VECTOR3& dir) const;

private:
    OBJHANDLE hObj;
};

// Bodies and objects.
DWORD oapiGetGbodyCount();
OBJHANDLE oapiGetGbodyByIndex(int index);
OBJHANDLE oapiGetGbodyByName(const char* name);
/// Any object (body, base or vessel) by name; null when unknown.
OBJHANDLE oapiGetObjectByName(const char* name);
/// Copies the object's name into name (at most n bytes, always terminated).
void oapiGetObjectName(OBJHANDLE hObj, char* name, int n);
double oapiGetMass(OBJHANDLE hObj);
/// Mean radius (m).
double oapiGetSize(OBJHANDLE hObj);

// State.
void oapiGetRelativePos(OBJHANDLE hObj, OBJHANDLE hRef, VECTOR3* pos);
void oapiGetRelativeVel(OBJHANDLE hObj, OBJHANDLE hRef, VECTOR3* vel);
void oapiGetGlobalPos(OBJHANDLE hObj, VECTOR3* pos);
void oapiGetGlobalVel(OBJHANDLE hObj, VECTOR3* vel);
double oapiGetSimMJD();

// Rotation.
/// Rotation from the body's frame at rotation angle 0 to the host frame.
void oapiGetPlanetObliquityMatrix(OBJHANDLE hPlanet, MATRIX3* mat);
/// Rotation angle now (rad, [0, 2pi)).
double oapiGetPlanetCurrentRotation(OBJHANDLE hPlanet);
/// Sidereal rotation period (s).
double oapiGetPlanetPeriod(OBJHANDLE hPlanet);
DWORD oapiGetPlanetJCoeffCount(OBJHANDLE hPlanet);
/// Zonal coefficient J(n+2); index 0 is J2.
double oapiGetPlanetJCoeff(OBJHANDLE hPlanet, DWORD n);

// Ephemeris.
/// The body's ephemeris module; null when it has none.
CELBODY* oapiGetCelbodyInterface(OBJHANDLE hBody);

// Bases.
DWORD oapiGetBaseCount(OBJHANDLE hPlanet);
OBJHANDLE oapiGetBaseByIndex(OBJHANDLE hPlanet, int index);
/// Base longitude and latitude (rad) and radius (m); rad may be null.
void oapiGetBaseEquPos(OBJHANDLE hBase, double* lng, double* lat, double* rad = nullptr);

// Vessels.
DWORD oapiGetVesselCount();
OBJHANDLE oapiGetVesselByIndex(int index);
/// Interface of a vessel handle; null for anything that is not a vessel.
VESSEL* oapiGetVesselInterface(OBJHANDLE hVessel);
VESSEL* oapiGetFocusInterface();

// Log.
/// Writes one line to the host's log.
void oapiWriteLog(const char* line);
