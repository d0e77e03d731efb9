// The scenario's step routine: the bodies moved through their interpolated ephemerides stage by
// stage while the vessels integrate, the step accepted or refused on their truncation errors,
// the Earth-Moon reference change, and the steps cut to end on ignitions and cut-offs. Part of
// the unit cfMain.
#include "flight/Clock.h"
#include "zaq/constants.h"
#include "zaq/flight.h"
#include "zaq/foundation.h"
#include "zaq/vector3.h"

using zaq::kSecondsPerDay;
using zaq::flight::kSameDate;

bool CFlight::FillStates(VECTOR3* pos, VECTOR3* vel, double mjd) {
    for (int j = 1; j < nObj; j++)
        if (!pSol->GetIpPosVel(pCelObject[j]->CSIdObj, mjd, pos + j, vel ? vel + j : nullptr)) {
            // A body without a state cannot be stepped through; stop the running loop.
            ZAQ_ERROR_THIS("CFlight::Step", "Ephemeris of %s failed", pCelObject[j]->name);
            nAbort = -1;
            return false;
        }
    return true;
}

void CFlight::Compose(const VECTOR3* pos, const VECTOR3* vel) {
    pGlobalPos[0] = {0, 0, 0};
    if (vel) pGlobalVel[0] = {0, 0, 0};
    // The parent's ephemeris is the Earth-Moon barycentre, which lies on the line to the Moon at
    // the Moon's share of the pair's mass, m/(M + m) = ratio/(1 + ratio), from Earth's centre.
    // (The ratio m/M itself would put Earth some 57 km off its centre.)
    const double moonShare = fMoonMassRatio / (1.0 + fMoonMassRatio);
    for (int j = 1; j < nObj; j++) {
        const short p = pRefId[j];
        if (j == idMoon) {
            // Move the barycentre to Earth's centre before the Moon is placed on it.
            pGlobalPos[p] -= pos[j] * moonShare;
            if (vel) pGlobalVel[p] -= vel[j] * moonShare;
        }
        pGlobalPos[j] = pGlobalPos[p] + pos[j];
        if (vel) pGlobalVel[j] = pGlobalVel[p] + vel[j];
    }
}

cfVessel::StepView CFlight::View() const {
    return {pGlobalPos, pGravity.get(), (nOptions & CF_POINTMASS) != 0, nIntegrator};
}

void CFlight::RunStage(int stage) {
    for (int i = 0; i < nActive; i++) pActive[i]->RKF56(stage);
}

bool CFlight::RunStages78(bool bodiesRead) {
    if (!bodiesRead) {
        for (int i = 0; i < nActive; i++) pActive[i]->RKF78();
        if (!FillStates(pEndPos, pEndVel, fStepMJD1)) return false;
        if (!bParentsFirst) {
            Compose(pEndPos, nullptr);
            Compose(pStartPos, nullptr);
        }
        return true;
    }
    // Each stage with the bodies at its node: the step's start and end from their arrays, the
    // others from the ephemerides; the start again at the end, where a refused step leaves them.
    if (!FillStates(pEndPos, pEndVel, fStepMJD1)) return false;
    double placed = 0;  // the node the bodies stand at
    for (int s = 1; s <= 13; s++) {
        const double node = cfVessel::kStageNode78[s - 1];
        if (node != placed || s == 1) {
            if (node == 0) {
                Compose(pStartPos, nullptr);
            } else if (node == 1) {
                Compose(pEndPos, nullptr);
            } else {
                if (!FillStates(pStagePos, nullptr, fStepMJD0 + node * fStepDays)) return false;
                Compose(pStagePos, nullptr);
            }
            placed = node;
        }
        for (int i = 0; i < nActive; i++) pActive[i]->RKF78(s);
    }
    Compose(pStartPos, nullptr);
    return true;
}

bool CFlight::StepRoutine(double h) {
    const double mjd = GetMJD();
    if (bFirstStep) {
        if (!FillStates(pStartPos, pStartVel, mjd)) return false;
        Compose(pStartPos, pStartVel);
        LunarReferenceChange();
    }
    fStepSec = h;
    bFirstStep = false;
    fStepDays = h / kSecondsPerDay;
    fStepMJD0 = mjd;
    fStepMJD1 = fStepMJD0 + fStepDays;

    // Vessels deep inside their reference body ride a conic instead; one that cannot (its
    // engine is on) is integrated rather than left standing while the clock moves on.
    nActive = 0;
    for (int i = 0; i < nVes; i++) {
        cfVessel* v = pVessel[i].get();
        if (v->GetState() != 1) continue;
        const short ref = v->GetReference();
        if (!IsValid(ref)) {
            ZAQ_ERROR_THIS("CFlight::Step", "Invalid Reference");
            continue;
        }
        if (Length(v->GetPosition()) < pCelObject[ref]->radius / 3) v->Stabilize();
        if (v->GetState() == 1) pActive[nActive++] = v;
    }

    pGlobalPos[0] = pGlobalVel[0] = {0, 0, 0};
    for (int i = 0; i < nVes; i++) pVessel[i]->BeginStep(fStepMJD0, h);
    if (h > 0)
        for (int i = 0; i < nVes; i++)
            if (pVessel[i]->GetState() != 0) pVessel[i]->PreStep();
    // Taken after the events' pre-step calls, which may still change the options.
    const cfVessel::StepView view = View();
    for (int i = 0; i < nActive; i++) pActive[i]->step = view;

    // The bodies' positions inside the step reach only vessels attracted by a body other than
    // their reference; when there is none, the intermediate stages need no ephemeris.
    bool bodiesRead = false;
    for (int i = 0; i < nActive; i++) bodiesRead = bodiesRead || pActive[i]->HasForeignSource();

    // Without them each vessel runs its seven stages in a row, and the bodies' positions at
    // stages 6 and 7 (the step's end and start) reach nobody: they are composed only where a
    // step that stops here leaves them, at its start when it is refused and at its end when
    // not. That needs every parent composed before its children, so that a composition does
    // not depend on what the table held before it.
    if (nIntegrator == CF_RKF78) {
        if (!RunStages78(bodiesRead)) return false;
    } else if (bodiesRead) {
        if (!FillStates(pEndPos, pEndVel, fStepMJD1)) return false;
        RunStage(1);
        for (int s = 2; s <= 5; s++) {
            const double t = fStepMJD0 + cfVessel::kStageNode[s - 1] * fStepDays;
            if (!FillStates(pStagePos, nullptr, t)) return false;
            Compose(pStagePos, nullptr);
            RunStage(s);
        }
        Compose(pEndPos, nullptr);
        RunStage(6);
        Compose(pStartPos, nullptr);
        RunStage(7);
    } else {
        // The step-end ephemerides follow the stages here: nothing in the stages waits for them,
        // and the processor works them off while the stages wait for their roots and divisions.
        for (int i = 0; i < nActive; i++) pActive[i]->RKF56();
        if (!FillStates(pEndPos, pEndVel, fStepMJD1)) return false;
        if (!bParentsFirst) {
            Compose(pEndPos, nullptr);
            Compose(pStartPos, nullptr);
        }
    }
    const bool startComposed = bodiesRead || !bParentsFirst;

    if (nOptions & CF_NOTRUNCATION) {
        otk::LogWrn(ErrorLog, "Truncation Error Computation disabled");
        nAbort = -1;
        if (!startComposed) Compose(pStartPos, nullptr);
        return false;
    }
    bool accept = true;
    // An error that is not a number (a state gone non-finite) refuses the step like a large one.
    for (int i = 0; i < nActive; i++)
        if (!(pActive[i]->ComputeTruncation() <= fTruncLimit)) accept = false;
    if (!accept) {
        if (!startComposed) Compose(pStartPos, nullptr);
        return false;
    }

    const int method = nIntegrator == CF_RKF78 ? 8 : 5;
    for (int i = 0; i < nActive; i++) pActive[i]->EndStep(method);
    for (int i = 0; i < nVes; i++)
        if (pVessel[i]->GetState() == 2) pVessel[i]->EndStep(method);
    Compose(pEndPos, pEndVel);
    if (h > 0)
        for (int i = 0; i < nVes; i++)
            if (pVessel[i]->GetState() != 0) pVessel[i]->PostStep();
    for (int j = 1; j < nObj; j++) {
        pStartPos[j] = pEndPos[j];
        pStartVel[j] = pEndVel[j];
    }
    return true;
}

void CFlight::LunarReferenceChange() {
    if (idEarth < 0 || idMoon < 0) return;
    const CelObject* moon = pCelObject[idMoon].get();
    const short parent = pRefId[idMoon];
    const double mjd = GetMJD();
    for (int i = 0; i < nVes; i++) {
        cfVessel* v = pVessel[i].get();
        if (!v) {
            ZAQ_ERROR_THIS("CFlight::LunarReferenceChange", "Null Pointer");
            continue;
        }
        const short ref = v->GetReference();
        if (ref == -1) {
            ZAQ_ERROR_THIS("CFlight::LunarReferenceChange", "Invalid Reference");
            continue;
        }
        VECTOR3 r = v->GetPosition(), w = v->GetVelocity();
        // Leaving needs the Moon's deviation beyond its boundary, entering Earth's inside it:
        // a vessel near the boundary does not switch back and forth.
        short to;
        double sign;
        if (ref == idMoon && Length(r) > moon->boundry + moon->deviation) {
            to = parent;
            sign = 1;
        } else if (ref == idEarth && Length(pGlobalPos[idEarth] + r - pGlobalPos[idMoon]) <
                                         moon->boundry - pCelObject[idEarth]->deviation) {
            to = idMoon;
            sign = -1;
        } else {
            continue;
        }
        VECTOR3 p, u;
        if (!pSol->GetEphemTruePosVel(moon->CSIdObj, mjd, &p, &u)) {
            ZAQ_ERROR_THIS("CFlight::LunarReferenceChange", "Ephemeris of %s failed", moon->name);
            continue;
        }
        v->SetPosVel(to, r + p * sign, w + u * sign);
        if (fnRef) {
            CallbackScope scope(this);
            fnRef(pRefData, this, v, ref, to);
        }
    }
}

double CFlight::ScheduleManeuvers(double days) {
    const double mjd = GetMJD();
    for (int i = 0; i < nVes; i++) {
        cfVessel* v = pVessel[i].get();
        // A cut-off may be followed at once by the next ignition, so the vessel's table is read
        // again after every ignition and shutdown (whose callbacks may also change it); a
        // manoeuvre ignites and shuts down once, so the passes are bounded.
        for (int pass = 0; pass <= 2 * v->nMaxMnr; pass++) {
            cfManeuver* m = v->GetNextManeuver();
            if (!m) break;
            if (!m->IsBurning()) {
                const double wait = m->GetIgnitionMJD() - mjd;
                if (wait >= kSameDate) {
                    if (wait < days) days = wait;
                    break;
                }
                m->Ignition();
                continue;
            }
            // A cut-off already passed (a late ignition) shuts down now, not in a step back.
            const double left = m->GetCutoffMJD() - mjd;
            if (left >= kSameDate) {
                if (left < days) days = left;
                break;
            }
            m->Shutdown();
        }
    }
    return days;
}
