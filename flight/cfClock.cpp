// The scenario's clock: its time base, the step-size proposal from the vessels' truncation
// errors, one step with its manoeuvre dates, and the loops Goto and AutoStep. Part of the unit
// cfMain.
#include <cfloat>
#include <cmath>

#include "flight/Clock.h"
#include "foundation/Address.h"
#include "zaq/constants.h"
#include "zaq/flight.h"
#include "zaq/foundation.h"

using zaq::kSecondsPerDay;
using zaq::flight::kSameDate;

namespace {

// The clock's range, days either side of MJD 0: there a double of seconds since the start still
// resolves a tenth of a second.
constexpr double kMaxMJD = 1e9;
// 256^(1/6): the 7(8) pair's rule (limit/(256 e))^(1/6) settles where the 5(6) rule does, at an
// error of 1/256 of the limit.
constexpr double kRoot6Of256 = 2.5198420997897464;

}  // namespace

// A date or span that is not a finite number would leave the clock, and every state integrated
// from it, not a number; a date beyond a few million years would leave the clock unable to
// resolve a step (seconds since the start, in a double), so that Goto could never arrive. Both
// are refused with a report under func.
bool CFlight::BadDate(double mjd, const char* func) {
    if (!std::isfinite(mjd)) {
        ZAQ_ERROR_THIS(func, "MJD is not a finite number");
        return true;
    }
    if (std::fabs(mjd) > kMaxMJD) {
        ZAQ_ERROR_THIS(func, "MJD %g lies outside the clock's range (%g days)", mjd, kMaxMJD);
        return true;
    }
    return false;
}

bool CFlight::SetStartMJD(double mjd) {
    if (BadDate(mjd, "CFlight::SetStartMJD")) return false;
    fStartMJD = mjd;
    fTime = 0;
    fLastDT = 0;
    bFirstStep = true;
    for (int i = 0; i < nVes; i++) pVessel[i]->Restart();
    return bInitialized ? true : InitScenario();
}

void CFlight::SetCurrentMJD(double mjd) {
    if (BadDate(mjd, "CFlight::SetCurrentMJD")) return;
    fTime = (mjd - fStartMJD) * kSecondsPerDay;
    // The bodies' states are those of the old date: the next step rebuilds them at the new one.
    bFirstStep = true;
}

double CFlight::GetMJD() const {
    return fTime / kSecondsPerDay + fStartMJD;
}

double CFlight::GetNextdT() {
    if (fLastDT == 0) return 20.0;
    double e = -1;
    bool integrated = false;
    double m = 1e99;
    for (int i = 0; i < nVes; i++) {
        const cfVessel* v = pVessel[i].get();
        if (v->GetState() == 1) {
            integrated = true;
            // A vessel whose error is not a number (its state is not finite) refuses every step:
            // no proposal would get past it.
            if (std::isnan(v->GetTruncation())) {
                otk::LogErr(ErrorLog, "CFlight::GetNextdT() Vessel 0x%llX has no finite state",
                            zaq::Addr(v));
                nAbort = -1;
                return 0;
            }
            if (v->GetTruncation() > e) e = v->GetTruncation();
        } else if (v->GetState() == 2) {
            const double left = v->GetStabilizationEnd() - GetMJD();
            if (left < m) m = left;
        }
    }
    if (integrated) {
        if (e < 0) {
            otk::LogErr(ErrorLog, "No truncation error available");
            nAbort = -1;
            return 20.0;
        }
        // The 5(6) pair's rule, 0.25 (limit/e)^(1/4), settles where the error is 1/256 of the
        // limit; the 7(8) pair's exponent follows its order, aiming at the same share.
        double f = nIntegrator == CF_RKF78 ? std::pow(fTruncLimit / e, 1.0 / 6) / kRoot6Of256
                                           : 0.25 * std::sqrt(std::sqrt(fTruncLimit / e));
        if (f < 0.05) f = 0.05;
        if (f > 3.0) f = 3.0;
        return std::fabs(f * fLastDT);
    }
    if (m < 0 || m > 1e6) {
        otk::LogErr(ErrorLog, "CFlight:GetNextdT() Fail, Max = %g, nVes=%d, mjd=%.5f", m, nVes,
                    GetMJD());
        return 0;
    }
    return m * kSecondsPerDay;
}

// A callback runs in the middle of a step: stepping again from there would overwrite the state
// the running step still works on.
bool CFlight::InsideCallback(const char* func) {
    if (nCallbacks == 0) return false;
    ZAQ_ERROR_THIS(func, "Can't step inside a callback");
    return true;
}

double CFlight::Step(double dt) {
    if (InsideCallback("CFlight::Step")) return 0;
    if (dt == 0) {
        ZAQ_ERROR_THIS("CFlight::Step", "dT is Zero");
        return 0;
    }
    if (!std::isfinite(dt)) {
        ZAQ_ERROR_THIS("CFlight::Step", "dT is not a finite number");
        return 0;
    }
    if (BadDate(GetMJD() + dt / kSecondsPerDay, "CFlight::Step")) return 0;
    fDirection = dt > 0 ? 1.0 : -1.0;
    double days = dt / kSecondsPerDay;
    bool cut = false;
    if (dt > 0) {
        const double m = ScheduleManeuvers(1e12);
        cut = days > m;
        if (cut) days = m;
    }
    const double h = days * kSecondsPerDay;
    // A step cut short to end on an ignition or a cut-off says nothing about the step size the
    // error allows: the next proposal scales the step that was asked for. Scaling the fragment
    // instead would fall below Goto's one-second floor and end a Goto inside every burn whose
    // ignition or cut-off lies a fraction of a second into a step.
    fLastDT = cut ? dt : h;
    if (nScenario != 3 && nScenario != 4) {
        ZAQ_ERROR_THIS("CFlight::Step", "Unknown Scenario");
        return 0;
    }
    // Without SetStartMJD there is no time base and no body state to step from.
    if (!bInitialized) {
        ZAQ_ERROR_THIS("CFlight::Step", "Scenario uninitialized");
        return 0;
    }
    if (nStepLimit > 0 && nStepCount >= nStepLimit) {
        ZAQ_ERROR_THIS("CFlight::Step", "The limit of %ld steps is reached", nStepLimit);
        nAbort = -1;
        return 0;
    }
    nStepCount++;
    if (!StepRoutine(h)) return 0;
    fPrevStep = h;
    fTime += h;
    // A step proposed to end on a return date may stop a rounding error short of it.
    const double mjd = GetMJD();
    for (int i = 0; i < nVes; i++) {
        cfVessel* v = pVessel[i].get();
        if (v->GetState() != 2) continue;
        const double end = v->GetStabilizationEnd();
        if (fDirection > 0 ? end <= mjd + kSameDate : end >= mjd - kSameDate) v->Resume();
    }
    LunarReferenceChange();
    return h;
}

int CFlight::Goto(double mjd) {
    if (InsideCallback("CFlight::Goto")) return -1;
    if (BadDate(mjd, "CFlight::Goto")) return -1;
    // A code left by a step made outside Goto (a refused step, a failed ephemeris) belongs to
    // that step: this run starts clean.
    nAbort = 0;
    if (fSafetyLimit != 0 && mjd > fSafetyLimit) {
        otk::LogErr(ErrorLog, "Goto(MJD): Maximum time reached");
        return -1;
    }
    fLastDT = 0;
    double r = (mjd - GetMJD()) * kSecondsPerDay;
    if (r < 0) {
        otk::LogErr(ErrorLog, "Negative dT");
        return -1;
    }
    // The clock cannot come closer to mjd than a few units of its last place: a remainder below
    // that is arrival, not a step to take.
    const double resolution = 8.0 * DBL_EPSILON * std::fabs(mjd) * kSecondsPerDay;
    const double arrived = resolution > 1e-12 ? resolution : 1e-12;
    bStepping = true;
    while (std::fabs(r) > arrived && nAbort == 0) {
        const double e = GetNextdT();
        // Written so that a proposal that is not a number (a vessel's error) ends here too.
        if (!(std::fabs(e) >= 1.0)) {
            otk::LogErr(ErrorLog, "CFlight::Goto(%.6f) dT()=%g[s] Aborting...", mjd, e);
            bStepping = false;
            return -1;
        }
        Step(std::fabs(r) > std::fabs(e) ? e : r);
        r = (mjd - GetMJD()) * kSecondsPerDay;
    }
    bStepping = false;
    const int code = nAbort;
    nAbort = 0;
    return code;
}

int CFlight::AutoStep() {
    if (InsideCallback("CFlight::AutoStep")) return -1;
    nAbort = 0;
    const double e = GetNextdT();
    // Written so that a proposal that is not a number (a vessel's error) ends here too.
    if (!(std::fabs(e) >= 1.0)) {
        otk::LogErr(ErrorLog, "CFlight::AutoStep() dT=%g[s] < 1.0  Aborting...", e);
        return -1;
    }
    bStepping = true;
    Step(e);
    bStepping = false;
    const int code = nAbort;
    nAbort = 0;
    return code;
}

void CFlight::Abort(int code) {
    if (bStepping) nAbort = code > 0 ? code : 1;
}

void CFlight::SetIntegrator(int integrator) {
    if (integrator != CF_RKF56 && integrator != CF_RKF78) {
        ZAQ_ERROR_THIS("CFlight::SetIntegrator", "Unknown integrator %d", integrator);
        return;
    }
    nIntegrator = integrator;
}
