// Lambert aim-point guidance: the thrust vector of a finite burn is solved with Broyden's method
// (Newton's as the fallback) on the residual "Lambert velocity at cut-off less flown velocity at
// cut-off", each trial burn flown through the caller's scenario, the Jacobian by four vessels
// flown side by side.
#include <cmath>

#include "zaq/adaptors.h"
#include "zaq/constants.h"
#include "zaq/foundation.h"
#include "zaq/guidance.h"
#include "zaq/lambert.h"
#include "zaq/orbit.h"
#include "zaq/solvers.h"
#include "zaq/vector3.h"

using zaq::kSecondsPerDay;

namespace {

constexpr double kJacobianStep = 0.01;   // m/s, forward difference of each thrust component
constexpr double kMaxInitialDv = 50000;  // m/s; a longer initial guess is replaced
constexpr double kAdjustAngle = 165 * zaq::kRadPerDeg;  // near-opposite aim points
constexpr double kAdjustStep = 30 * zaq::kRadPerDeg;
constexpr double kTruncationLimit = 1e-6;  // m
constexpr int kMaxIterations = 12;

VECTOR3 FromCVector(const CVector& x) {
    return {x[0], x[1], x[2]};
}
void ToCVector(const VECTOR3& v, CVector& x) {
    x[0] = v.x;
    x[1] = v.y;
    x[2] = v.z;
}

}  // namespace

LambertAP::LambertAP()
    : vIgnPos{0, 0, 0},
      vIgnVel{0, 0, 0},
      vAim{0, 0, 0},
      vThrust{0, 0, 0},
      vCutPos{0, 0, 0},
      vCutVel{0, 0, 0},
      vEncounter{0, 0, 0},
      vRequired{0, 0, 0},
      fAimMJD(0),
      fIgnMJD(0),
      fCutMJD(0),
      fFuelRate(0),
      fMass(0),
      fThrust(0),
      fBurnTime(0),
      fTolerance(0.01),
      nAttitude(LAP_AIM | LAP_GLOBAL),
      nVerbose(2),
      nResiduals(0),
      nJacobians(0),
      idRef(-1),
      pSol(nullptr),
      pFlight(nullptr),
      pVessel(nullptr) {}

// ---- setup -------------------------------------------------------------------------------------

void LambertAP::SetCFlight(CFlight* flight, cfVessel* vessel) {
    pFlight = flight;
    pVessel = vessel;
}

void LambertAP::SetThrustSpecs(double mass, double thrust, double fuelRate) {
    fMass = mass;
    fThrust = thrust;
    fFuelRate = fuelRate;
}

void LambertAP::SetThrustSpecs(VESSEL* v, THGROUP_TYPE group) {
    fMass = v->GetMass();
    fThrust = Length(otk::GetThrusterGroupThrustVector_LH(v, group));
    fFuelRate = otk::GetThrusterGroupFlowRate(v, group);
}

void LambertAP::SetIgnitionState(int csid, const VECTOR3& pos, const VECTOR3& vel, double mjd) {
    if (!pFlight || !pVessel) {
        ZAQ_ERROR_THIS("LambertAP::SetIgnitionState", "Invalid configuration");
        return;
    }
    pSol = pFlight->GetSol();
    if (!pSol) {
        ZAQ_ERROR_THIS("LambertAP::SetIgnitionState", "CFlight has invalid CSol");
        return;
    }
    vIgnPos = pos;
    vIgnVel = vel;
    fIgnMJD = mjd;
    idRef = pFlight->GetId(csid);
    if (idRef == -1) ZAQ_ERROR_THIS("LambertAP::SetIgnitionState", "Reference doesn't exist");
}

void LambertAP::SetIgnitionState(void* handle, const VECTOR3& pos, const VECTOR3& vel, double mjd) {
    if (!pFlight || !pVessel) {
        ZAQ_ERROR_THIS("LambertAP::SetIgnitionState", "Invalid configuration");
        return;
    }
    if (!pFlight->GetSol()) {
        ZAQ_ERROR_THIS("LambertAP::SetIgnitionState", "CFlight has invalid CSol");
        return;
    }
    SetIgnitionState(pFlight->GetSol()->GetId(handle), pos, vel, mjd);
}

void LambertAP::SetLambertAimPoint(VECTOR3 aim, double mjd) {
    vAim = aim;
    fAimMJD = mjd;
}

namespace {

// A state handed out through three required outputs; false (reported) when one is null.
bool HandOut(const void* self, const char* func, const VECTOR3& r, const VECTOR3& v, double mjd,
             VECTOR3* pos, VECTOR3* vel, double* date) {
    if (!pos || !vel || !date) {
        ::otk::ReportError(self, __FILE__, __LINE__, func, "Null Pointer");
        return false;
    }
    *pos = r;
    *vel = v;
    *date = mjd;
    return true;
}

}  // namespace

void LambertAP::GetCutOffState(VECTOR3* pos, VECTOR3* vel, double* mjd) const {
    HandOut(this, "LambertAP::GetCutOffState", vCutPos, vCutVel, fCutMJD, pos, vel, mjd);
}

void LambertAP::GetIgnitionState(VECTOR3* pos, VECTOR3* vel, double* mjd) const {
    HandOut(this, "LambertAP::GetIgnitionState", vIgnPos, vIgnVel, fIgnMJD, pos, vel, mjd);
}

// ---- geometry ----------------------------------------------------------------------------------

double LambertAP::DirectionOfMotion(VECTOR3 r, VECTOR3 v, VECTOR3 target) {
    const VECTOR3 h = CrossProduct(r, v), u = CrossProduct(h, r);
    return AngleInPlane(target, r, u) > M_PI ? -1.0 : 1.0;
}

// The frame in which the flight applies a local thrust vector (thrust mode 2), so that the
// residual and the thrust vector are expressed alike.
VECTOR3 LambertAP::rhGlobalToVF(const VECTOR3& g, const VECTOR3& r, const VECTOR3& v) {
    const VECTOR3 h = CrossProduct(r, v);
    const VECTOR3 x = unit(v), y = unit(CrossProduct(v, h)), z = unit(h);
    return {dotp(g, x), dotp(g, y), dotp(g, z)};
}

double LambertAP::Mu() const {
    return zaq::kG * pFlight->GetMass(idRef);
}

// ---- residual and Jacobian ---------------------------------------------------------------------

void LambertAP::Load(cfVessel* v, const VECTOR3& thrust) {
    v->SetThrustSpecs(fMass, fThrust, fFuelRate);
    v->SetThrustVector(thrust);
    v->SetPosVel(idRef, vIgnPos, vIgnVel);
    if (nAttitude & LAP_GLOBAL) v->SetThrustMode(THRUST_GLOBAL, -1);
    if (nAttitude & LAP_LOCAL) v->SetThrustMode(THRUST_LOCAL, -1);
}

bool LambertAP::Residual(const cfVessel* v, VECTOR3* f) {
    fCutMJD = pFlight->GetMJD();
    vCutPos = v->GetPosition();
    vCutVel = v->GetVelocity();
    const double tof = (fAimMJD - fCutMJD) * kSecondsPerDay;
    // A failed solve writes nothing: the evaluation fails rather than reuse the velocities of an
    // earlier trial.
    if (otk::LambertPN(vCutPos, vAim, tof, DirectionOfMotion(vCutPos, vCutVel, vAim), Mu(), nullptr,
                       &vRequired, &vEncounter) < 0)
        return false;
    if (nAttitude & LAP_LOCAL)
        *f = rhGlobalToVF(vRequired, vCutPos, vCutVel) - rhGlobalToVF(vCutVel, vCutPos, vCutVel);
    else
        *f = vRequired - vCutVel;
    return true;
}

int LambertAP::CallBack(int, CVector& x, CVector& f) {
    nResiduals++;
    pFlight->SetStartMJD(fIgnMJD);
    Load(pVessel, FromCVector(x));
    fBurnTime = pVessel->GetBurnTime();
    const int flown = pFlight->Goto(fIgnMJD + fBurnTime / kSecondsPerDay);
    pVessel->SetThrustMode(0, -1);
    if (!(nAttitude & LAP_AIM)) {
        ZAQ_ERROR_THIS("LambertAP::CallBack", "Invalid OpMode");
        return 0;
    }
    VECTOR3 r;
    if (flown != 0 || !Residual(pVessel, &r)) return -1;
    ToCVector(r, f);
    return 1;
}

int LambertAP::CreateJacobian(CVector& x, CMatrix& J, CVector& f) {
    nJacobians++;
    const VECTOR3 t = FromCVector(x);
    pFlight->SetStartMJD(fIgnMJD);
    cfVessel* v[4] = {pVessel, nullptr, nullptr, nullptr};
    double cut[4];
    int order[4];
    bool ok = true;
    for (int k = 0; k < 4; k++) {
        if (k > 0) {
            v[k] = pFlight->CreateVessel();
            if (!v[k]) {
                ok = false;
                break;
            }
            // The trial vessels feel the same bodies as the vessel they stand for.
            v[k]->ClearSources();
            for (int i = 0; i < pVessel->GetSourceCount(); i++)
                v[k]->AddSource(pVessel->GetSource(i));
            v[k]->InitSources();
        }
        VECTOR3 d{0, 0, 0};
        if (k == 1) d.x = kJacobianStep;
        if (k == 2) d.y = kJacobianStep;
        if (k == 3) d.z = kJacobianStep;
        Load(v[k], t + d);
        cut[k] = fIgnMJD + v[k]->GetBurnTime() / kSecondsPerDay;
        order[k] = k;
    }
    VECTOR3 g[4];
    if (ok) {
        otk::SortList(cut, order, 4, 0);
        if (!(nAttitude & LAP_AIM)) {
            ZAQ_ERROR_THIS("LambertAP::CreateJacobian", "Invalid OpMode");
            ok = false;
        }
        for (int k = 0; ok && k < 4; k++) {
            cfVessel* w = v[order[k]];
            // Burns of equal length end together: the clock is already there.
            if (cut[k] > pFlight->GetMJD()) ok = pFlight->Goto(cut[k]) == 0;
            w->SetThrustMode(0, -1);
            ok = ok && Residual(w, &g[order[k]]);
        }
    }
    // Every path leaves the engines off and only the configured vessel in the scenario.
    for (int k = 0; k < 4; k++)
        if (v[k]) v[k]->SetThrustMode(0, -1);
    for (int k = 1; k < 4; k++)
        if (v[k]) pFlight->DeleteVessel(v[k]);
    if (!ok) return 0;
    J.ReSize(3, 3);
    for (int k = 0; k < 3; k++) {
        const VECTOR3 col = (g[k + 1] - g[0]) / kJacobianStep;
        J(0, k) = col.x;
        J(1, k) = col.y;
        J(2, k) = col.z;
    }
    ToCVector(g[0], f);
    return 1;
}

int LambertAP::CallBackW(void* self, int iteration, CVector& x, CVector& f) {
    return static_cast<LambertAP*>(self)->CallBack(iteration, x, f);
}

int LambertAP::CallBackJW(void* self, int, CVector& x, CMatrix& J, CVector& f) {
    return static_cast<LambertAP*>(self)->CreateJacobian(x, J, f);
}

// ---- the solution ------------------------------------------------------------------------------

void LambertAP::Release() {
    pFlight = nullptr;
    pVessel = nullptr;
    pSol = nullptr;
}

int LambertAP::ProcessCase(const VECTOR3* initialDv) {
    if (!pFlight || !pVessel || !pSol || !pFlight->IsValid(idRef)) {
        ZAQ_ERROR_THIS("LambertAP::ProcessCase", "Configuration not valid");
        return -1;
    }
    if (nAttitude & LAP_LOCAL) otk::LogWrn(ErrorLog, "Relative thrust mode in LambertAP");
    if (pFlight->GetVesselCount() > 1 && nVerbose > 1)
        otk::LogWrn(ErrorLog, "There is more than one vessel in LambertAP");
    pFlight->SetTruncationLimit(kTruncationLimit);
    nResiduals = nJacobians = 0;

    VECTOR3 x0{0, 0, 0};
    bool guessed = false;
    if (initialDv && Length(*initialDv) > 0) {
        x0 = *initialDv;
        guessed = Length(x0) <= kMaxInitialDv;
        if (!guessed && nVerbose > 1)
            otk::LogWrn(ErrorLog, "Initial LambertAP input velocity %g m/s. Auto override...",
                        Length(x0));
    }
    bool solvable = true;
    if (!guessed) {
        VECTOR3 r = vIgnPos, v = vIgnVel;
        const double mu = Mu(), T = (fAimMJD - fIgnMJD) * kSecondsPerDay;
        // Near a half turn the Lambert arc's plane is ill-defined: start from a point further on.
        const double angle = AngleBetween(r, vAim);
        if (angle > kAdjustAngle) {
            if (nVerbose > 1)
                otk::LogWrn(ErrorLog, "LambertAP: Adjusting Transfer Angle. Initial=%.2f",
                            angle / zaq::kRadPerDeg);
            COrbit conic(r, v, mu, fIgnMJD);
            const double nu = NormalizeAngle(conic.TrA() + kAdjustStep);
            const double at = nu < PI2 ? nu : 0.0;  // [0, 2pi)
            r = conic.PosByTrA(at);
            v = conic.VelByTrA(at);
        }
        const double d = DirectionOfMotion(r, v, vAim);
        if (d < 0 && nVerbose > 1)
            otk::LogWrn(ErrorLog, "LambertAP: Direction of Motion is Negative");
        VECTOR3 v1{0, 0, 0};
        // Without an arc there is no guess to start from: the case fails with its report.
        solvable = otk::LambertUB(r, vAim, T, d, mu, nullptr, 0, &v1, nullptr) > 0;
        x0 = nAttitude & LAP_LOCAL ? rhGlobalToVF(v1, r, v) - rhGlobalToVF(v, r, v) : v1 - v;
    }

    CVector x(3), tol(3);
    tol[0] = tol[1] = tol[2] = fTolerance;
    int n = 0;
    if (solvable) {
        ToCVector(x0, x);
        n = Broyden(this, CallBackW, x, tol, CallBackJW, nullptr, kMaxIterations, nVerbose > 2,
                    nullptr);
        if (n < 1) {
            ToCVector(x0, x);
            n = Newton(this, CallBackW, x, tol, CallBackJW, nullptr, kMaxIterations, nVerbose > 2);
        }
    }
    if (pVessel->GetThrustMode() != 0) otk::LogErr(ErrorLog, "LambertAP: thrust left on");
    Release();

    if (n > 0) {
        vThrust = FromCVector(x);
        if (nVerbose > 0)
            otk::LogOk(ErrorLog,
                       "LambertAP: Guidance solution complited with %d iterations mode 0x%X. "
                       "Tolerance %f [m/s]",
                       n, nAttitude, fTolerance);
        return 0;
    }
    otk::LogErr(ErrorLog, "LambertAP: Failed to process guidance solution.");
    otk::LogMsg(ErrorLog, "LambertAP: Tolerance     = %.6f", fTolerance);
    otk::LogMsg(ErrorLog, "LambertAP: Vs. Mass      = %.6f", fMass);
    otk::LogMsg(ErrorLog, "LambertAP: Vs. FuelRate  = %.6f", fFuelRate);
    otk::LogMsg(ErrorLog, "LambertAP: Vs. Thrust    = %.6f", fThrust);
    otk::LogMsg(ErrorLog, "LambertAP: Time Of Ign.  = %.6f", fIgnMJD);
    otk::LogMsg(ErrorLog, "LambertAP: Time Of LAP   = %.6f", fAimMJD);
    otk::LogMsg(ErrorLog, "LambertAP: TransferAngle = %g [deg]",
                AngleBetween(vIgnPos, vAim) / zaq::kRadPerDeg);
    otk::LogMsg(ErrorLog, "LambertAP: OutOfPlane    = %g [deg]",
                90 - AngleBetween(CrossProduct(vIgnPos, vIgnVel), vAim) / zaq::kRadPerDeg);
    otk::LogMsg(ErrorLog, "LambertAP: Initial _dv   = %s", otk::VectorStr(x0));
    otk::LogMsg(ErrorLog, "LambertAP: AimPoint _tgt = %s", otk::VectorStr(vAim));
    x.Print(ErrorLog, "LambertAP: _Solution");
    return -1;
}
