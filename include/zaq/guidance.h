// Guidance: the thrust vector of a finite engine burn that, once the engine is cut off, leaves a
// vessel on the conic that reaches an aim point at a given date. Vectors are right-handed, m and
// m/s, relative to the reference body; dates MJD.
#pragma once

#include "zaq/flight.h"
#include "zaq/host.h"
#include "zaq/linalg.h"
#include "zaq/sol.h"

// Attitude-mode bits (LambertAP::SetAttitudeMode).
constexpr int LAP_LOCAL = 0x01;   ///< thrust and residual in the local orbital frame
constexpr int LAP_GLOBAL = 0x02;  ///< thrust and residual in the reference frame
constexpr int LAP_AIM = 0x10;     ///< the aim-point residual; always set

/// Lambert aim-point guidance. Every trial burn is flown through the caller's CFlight with the
/// vessel's real mass, thrust and propellant flow; the residual is the velocity a Lambert arc
/// from the cut-off point to the aim point requires less the velocity the vessel has there. The
/// object does not own the flight, the vessel or the solar system.
class LambertAP {
public:
    LambertAP();
    LambertAP(const LambertAP&) = default;
    LambertAP& operator=(const LambertAP&) = default;

    // ---- setup, in this order before ProcessCase ----
    /// The scenario and the vessel flown in the trials (a stepped scenario, type 3 or 4).
    void SetCFlight(CFlight* flight, cfVessel* vessel);
    void SetThrustSpecs(double mass, double thrust, double fuelRate);
    /// Mass, thrust and propellant flow of a host vessel's thruster group.
    void SetThrustSpecs(VESSEL* v, THGROUP_TYPE group);
    /// The state at ignition relative to the body of CSol index csid, and its date.
    void SetIgnitionState(int csid, const VECTOR3& pos, const VECTOR3& vel, double mjd);
    /// The same with the reference body given by its host handle.
    void SetIgnitionState(void* handle, const VECTOR3& pos, const VECTOR3& vel, double mjd);
    void SetLambertAimPoint(VECTOR3 aim, double mjd);
    void SetTolerance(double tol) { fTolerance = tol; }
    double GetTolerance() const { return fTolerance; }
    /// 0 silent, 1 the success line, 2 warnings (default), 3 and more the solver trace.
    void SetVerbose(int level) { nVerbose = level; }
    /// LAP_LOCAL or LAP_GLOBAL; LAP_AIM is added.
    void SetAttitudeMode(int mode) { nAttitude = mode | LAP_AIM; }
    int GetAttitudeMode() const { return nAttitude; }

    /// Solves for the thrust vector, from initialDv when it is given, not zero and at most
    /// 50 km/s, else from a Lambert arc. 0 on success, -1 on failure (the thrust vector is then
    /// kept). The flight, vessel and solar system are released either way.
    int ProcessCase(const VECTOR3* initialDv);

    // ---- results ----
    VECTOR3 GetThrustVector() const { return vThrust; }
    VECTOR3 GetEncounterVelocity() const { return vEncounter; }
    /// Burn time of the last residual evaluation, s.
    double GetBurnTime() const { return fBurnTime; }
    /// All three outputs are required.
    void GetCutOffState(VECTOR3* pos, VECTOR3* vel, double* mjd) const;
    void GetIgnitionState(VECTOR3* pos, VECTOR3* vel, double* mjd) const;
    /// Residual and Jacobian evaluations of the last ProcessCase.
    int GetResidualCount() const { return nResiduals; }
    int GetJacobianCount() const { return nJacobians; }
    CFlight* GetFlight() const { return pFlight; }
    cfVessel* GetVessel() const { return pVessel; }

private:
    /// +1 when target lies less than half a turn ahead of r in the sense of motion, else -1.
    double DirectionOfMotion(VECTOR3 r, VECTOR3 v, VECTOR3 target);
    /// Components of g in the local orbital frame of (r, v): v, v x (r x v), r x v.
    VECTOR3 rhGlobalToVF(const VECTOR3& g, const VECTOR3& r, const VECTOR3& v);
    int CallBack(int iteration, CVector& x, CVector& f);
    int CreateJacobian(CVector& x, CMatrix& J, CVector& f);
    static int CallBackW(void* self, int iteration, CVector& x, CVector& f);
    static int CallBackJW(void* self, int iteration, CVector& x, CMatrix& J, CVector& f);

    /// Loads the engine, the ignition state and the thrust mode into v.
    void Load(cfVessel* v, const VECTOR3& thrust);
    /// The residual at the vessel's cut-off state (reads the cut-off date from the flight);
    /// false when no Lambert arc joins the cut-off point to the aim point.
    bool Residual(const cfVessel* v, VECTOR3* f);
    double Mu() const;
    void Release();

    VECTOR3 vIgnPos, vIgnVel;
    VECTOR3 vAim;
    VECTOR3 vThrust;
    VECTOR3 vCutPos, vCutVel;
    VECTOR3 vEncounter;
    VECTOR3 vRequired;
    double fAimMJD;
    double fIgnMJD;
    double fCutMJD;
    double fFuelRate;
    double fMass;
    double fThrust;
    double fBurnTime;
    double fTolerance;
    int nAttitude;
    int nVerbose;
    int nResiduals;
    int nJacobians;
    short idRef;
    CSol* pSol;
    CFlight* pFlight;
    cfVessel* pVessel;
};
