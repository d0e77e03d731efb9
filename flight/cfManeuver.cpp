// Manoeuvres: a planned burn that loads its vessel's engine at ignition, predicts its cut-off by
// the rocket equation, and switches the engine off at that date.
#include "flight/Clock.h"
#include "foundation/Address.h"
#include "zaq/constants.h"
#include "zaq/flight.h"
#include "zaq/foundation.h"

using zaq::flight::kSameDate;

cfManeuver::cfManeuver(cfVessel* vessel, CFlight* flight) : pVessel(vessel), pFlight(flight) {}

void cfManeuver::SetCallback(Callback cb, void* data) {
    pCallback = cb;
    pUser = data;
}

void cfManeuver::SetThrust(int mode, VECTOR3 thrust, short ref) {
    nMode = mode;
    vThrust = thrust;
    idThrustRef = ref;
}

void cfManeuver::SetEngine(double force, double fuelRate) {
    fForce = force;
    fFuelRate = fuelRate;
}

bool cfManeuver::Attached(const char* func) const {
    if (pVessel && pFlight) return true;
    ZAQ_ERROR_THIS(func, "Maneuver not attached to vessel");
    return false;
}

void cfManeuver::Release() {
    // Deleted under its own callback: destroyed once its code is done with it.
    if (--nHold == 0 && bDetached) delete this;
}

bool cfManeuver::Report(int code) {
    Callback cb = pCallback;
    void* data = pUser;
    if (!cb) {
        cb = pFlight->GetMnrCallback();
        data = pFlight->GetMnrData();
    }
    if (cb) {
        CFlight::CallbackScope scope(pFlight);
        cb(data, code, this);
    }
    return !bDetached;
}

void cfManeuver::Ignition() {
    if (!Attached("cfManeuver::Ignition")) return;
    if (bBurning) {
        ZAQ_ERROR_THIS("cfManeuver::Ignition", "Maneuver allready under execution");
        return;
    }
    nHold++;
    fMass0 = pVessel->GetMass();
    if (Report(MNR_IGNITION)) {
        if (fForce > 0) pVessel->SetForce(fForce);
        if (fFuelRate > 0) pVessel->SetFuelRate(fFuelRate);
        pVessel->SetThrustVector(vThrust);
        pVessel->SetThrustMode(nMode, idThrustRef);
        const double t = pVessel->GetBurnTime();
        bBurning = true;
        // The flow in use: the vessel's own when the manoeuvre keeps it.
        fMass1 = fMass0 - t * pVessel->GetFuelRate();
        fCutMJD = fIgnMJD + t / zaq::kSecondsPerDay;
        Report(MNR_STARTED);
    }
    Release();
}

void cfManeuver::Shutdown() {
    if (!Attached("cfManeuver::Shutdown")) return;
    if (!bBurning) {
        ZAQ_ERROR_THIS("cfManeuver::Shutdown", "Maneuver isn't under execution");
        return;
    }
    nHold++;
    // A burn that ignites after its cut-off date (an ignition date more than a burn time in
    // the past, or a clock moved past the cut-off) is shut down at once: its velocity change is
    // lost, and the caller is told so.
    const double late = pFlight->GetMJD() - fCutMJD;
    if (late >= kSameDate) {
        otk::LogWrn(ErrorLog, "Maneuver 0x%llX missed: cut-off at MJD %.8f, shut down %.3f s late",
                    zaq::Addr(this), fCutMJD, late * zaq::kSecondsPerDay);
        if (!Report(MNR_MISSED)) {
            Release();
            return;
        }
    }
    pVessel->EngineOff();
    pVessel->nNextMnr++;
    bBurning = false;
    Report(MNR_SHUTDOWN);
    Release();
}
