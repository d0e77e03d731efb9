// The scenario: construction on a CSol, allocation of its tables, the scenario types, and the
// clock: the step routine that moves the bodies through their ephemerides stage by stage while
// the vessels integrate, step-size control, Goto and AutoStep.
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "flight/Clock.h"
#include "foundation/Address.h"
#include "foundation/Buffer.h"
#include "zaq/constants.h"
#include "zaq/flight.h"
#include "zaq/foundation.h"
#include "zaq/vector3.h"

using zaq::kSecondsPerDay;
using zaq::flight::kSameDate;

namespace {

constexpr int kMaxVessels = 64;

}  // namespace

CFlight::CFlight(CSol* sol, int scenario) : pSol(sol), nScenario(scenario) {
    if (!sol) {
        ZAQ_ERROR_THIS("CFlight::CFlight", "Invalid CSol Input parameter");
        return;
    }
    csSun = sol->GetId("Sun");
    csJupiter = sol->GetId("Jupiter");
    csVenus = sol->GetId("Venus");
    csEarth = sol->GetId("Earth");
    csMoon = sol->GetId("Moon");
    if (csSun < 0 || csJupiter < 0 || csVenus < 0 || csEarth < 0 || csMoon < 0)
        ZAQ_ERROR_THIS("CFlight::CFlight", "Failed to acquire default planets");
    AutoLoadScenario(scenario);
    pVessel = zaq::NewBuffer<std::unique_ptr<cfVessel>>(kMaxVessels);
    pActive = zaq::NewBuffer<cfVessel*>(kMaxVessels);
    if (!pVessel || !pActive) {
        ZAQ_ERROR_THIS("CFlight::CFlight", "Memory Allocation Failed");
        pVessel.reset();
        pActive.reset();
    } else {
        nMaxVes = kMaxVessels;
    }
    std::snprintf(cConfig, sizeof cConfig, "%s", "Config/Sol.cfg");
}

CFlight::~CFlight() {
    // The vessels go first, while the objects their events may ask about are still there.
    for (int i = 0; pVessel && i < nMaxVes; i++) pVessel[i].reset();
}

void CFlight::Allocate(int n) {
    if (pCelObject) {
        ZAQ_ERROR_THIS("CFlight::Allocate", "Allready allocated");
        return;
    }
    otk::LogMsg(ErrorLog, "Space Allocated for %d celestial objects", n);
    if (n < 0) n = 0;
    pCelObject = zaq::NewBuffer<std::unique_ptr<CelObject>>(n);
    pRefId = zaq::NewBuffer<short>(n);
    pMinor = zaq::NewBuffer<short>(n);
    pGravity = zaq::NewBuffer<const sGravity*>(n);
    pStateBlock = zaq::NewBuffer<VECTOR3>(9 * static_cast<long long>(n));
    if (!pCelObject || !pRefId || !pMinor || !pGravity || !pStateBlock) {
        ZAQ_ERROR_THIS("CFlight::Allocate", "Memory Allocation Failed");
        pCelObject.reset();
        pRefId.reset();
        pMinor.reset();
        pGravity.reset();
        pStateBlock.reset();
        return;
    }
    nMaxObj = n;
    VECTOR3** arrays[] = {&pStartPos,  &pStartVel,  &pEndPos,   &pEndVel,
                          &pGlobalPos, &pGlobalVel, &pStagePos, &pStageVel};
    for (int i = 0; i < 8; i++) *arrays[i] = pStateBlock.get() + static_cast<size_t>(i) * n;
}

int CFlight::AutoLoadScenario(int type) {
    if (nObj > 0) {
        otk::LogErr(ErrorLog, "CFlight::AutoLoadScenario() Scenario Allready exists");
        return -1;
    }
    // Further bodies of the larger types; one that CSol lacks is reported by AddObject.
    static const char* const kType5[] = {"Mercury", "Mars", "Saturn", "Phobos", "Deimos"};
    static const char* const kType6[] = {"Mercury", "Mars",   "Saturn",   "Uranus",   "Neptune",
                                         "Io",      "Europa", "Callisto", "Ganymede", "Titan",
                                         "Triton",  "Pluto",  "Charon",   "Phobos",   "Deimos"};
    const char* const* extra = nullptr;
    int nExtra = 0;
    switch (type) {
        case 0:
        case 2:
            Allocate(pSol->GetCount());
            return 0;
        case 1:
            Allocate(2);
            return 0;
        case 3:
            Allocate(8);
            break;
        case 4:
            Allocate(4);
            break;
        case 5:
            Allocate(16);
            extra = kType5;
            nExtra = 5;
            break;
        case 6:
            Allocate(pSol->GetCount() < 32 ? pSol->GetCount() : 32);
            extra = kType6;
            nExtra = 15;
            break;
        default:
            ZAQ_ERROR_THIS("CFlight::AutoLoadScenario", "Failed to declare a scenario");
            return -1;
    }
    idSun = AddObject(csSun);
    if (type != 4) {
        idJupiter = AddObject(csJupiter);
        idVenus = AddObject(csVenus);
    }
    idEarth = AddObject(csEarth);
    idMoon = AddObject(csMoon);
    if (idSun < 0 || idEarth < 0 || idMoon < 0 || (type != 4 && (idJupiter < 0 || idVenus < 0))) {
        ZAQ_ERROR_THIS("CFlight::AutoLoadScenario", "AutoLoadScenario(): Failed Load Object");
        return -1;
    }
    for (int i = 0; i < nExtra; i++) AddObject(extra[i]);
    return nObj;
}

// ---- clock -------------------------------------------------------------------------------------

// A date or span that is not a finite number would leave the clock, and every state integrated
// from it, not a number: it is refused with a report under func.
bool CFlight::NonFinite(double x, const char* func, const char* what) {
    if (std::isfinite(x)) return false;
    ZAQ_ERROR_THIS(func, "%s is not a finite number", what);
    return true;
}

bool CFlight::SetStartMJD(double mjd) {
    if (NonFinite(mjd, "CFlight::SetStartMJD", "MJD")) return false;
    fStartMJD = mjd;
    fTime = 0;
    fLastDT = 0;
    bFirstStep = true;
    for (int i = 0; i < nVes; i++) pVessel[i]->Restart();
    return bInitialized ? true : InitScenario();
}

void CFlight::SetCurrentMJD(double mjd) {
    if (NonFinite(mjd, "CFlight::SetCurrentMJD", "MJD")) return;
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
        double f = 0.25 * std::sqrt(std::sqrt(fTruncLimit / e));
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
    if (NonFinite(dt, "CFlight::Step", "dT")) return 0;
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
    if (NonFinite(mjd, "CFlight::Goto", "MJD")) return -1;
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

// ---- the step routine --------------------------------------------------------------------------

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
    return {pGlobalPos, pGravity.get(), (nOptions & CF_POINTMASS) != 0};
}

void CFlight::RunStage(int stage) {
    for (int i = 0; i < nActive; i++) pActive[i]->RKF56(stage);
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
    if (bodiesRead) {
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

    for (int i = 0; i < nActive; i++) pActive[i]->EndStep(5);
    for (int i = 0; i < nVes; i++)
        if (pVessel[i]->GetState() == 2) pVessel[i]->EndStep(5);
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

// ---- callbacks ---------------------------------------------------------------------------------

void CFlight::SetTrjCallback(TrjCallback fn, void* data) {
    fnTrj = fn;
    pTrjData = data;
}

void CFlight::SetRefCallback(RefCallback fn, void* data) {
    fnRef = fn;
    pRefData = data;
}

void CFlight::SetMnrCallback(MnrCallback fn, void* data) {
    fnMnr = fn;
    pMnrData = data;
}

int CFlight::DefEventTrj(void*, cfEvent* e) {
    static const struct {
        int code;
        void (*log)(FILE*, const char*, ...);
        const char* text;  // formats the distance where it has a number
    } lines[] = {{EVENT_PERIAPSIS, otk::LogMsg, "EVENT: Periapis PeD = %g"},
                 {EVENT_APOAPSIS, otk::LogMsg, "EVENT: Apoapis"},
                 {EVENT_NODE_ASN, otk::LogMsg, "EVENT: Node-Asn"},
                 {EVENT_NODE_DSN, otk::LogMsg, "EVENT: Node-Dsn"},
                 {EVENT_DISTANCE_ASN, otk::LogMsg, "EVENT: Distance-Asn Dst=%g"},
                 {EVENT_DISTANCE_DSN, otk::LogMsg, "EVENT: Distance-Dsn Dst=%g"},
                 {EVENT_IGNITION, otk::LogErr, "EVENT: Ignition"},
                 {EVENT_SHUTDOWN, otk::LogErr, "EVENT: Shutdown"},
                 {EVENT_REF_EXIT, otk::LogErr, "EVENT: Reference Change (Exit)"},
                 {EVENT_REF_ENTER, otk::LogErr, "EVENT: Reference Change (Enter)"}};
    if (!e) return 0;
    const int code = e->GetTriggered();
    double value = e->GetDistance();
    if (code == EVENT_PERIAPSIS) {
        VECTOR3 pos{0, 0, 0};
        e->GetStateVectors(&pos, nullptr, nullptr);
        value = Length(pos);
    }
    for (const auto& l : lines)
        if (l.code == code) l.log(ErrorLog, l.text, value);
    return 0;
}

int CFlight::DefEventRef(void*, CFlight* flight, cfVessel* v, short from, short to) {
    const char* a = flight && flight->IsValid(from) ? flight->GetName(from) : nullptr;
    const char* b = flight && flight->IsValid(to) ? flight->GetName(to) : nullptr;
    if (!a || !b) {
        ZAQ_ERROR("CFlight::DefEventRef", "CFlight object missing a name");
        return 0;
    }
    otk::LogMsg(ErrorLog, "EVENT: Vessel(0x%llX) Reference Change From %s to %s", zaq::Addr(v), a,
                b);
    return 0;
}

int CFlight::DefEventMnr(void*, int code, cfManeuver* m) {
    if (code == MNR_IGNITION)
        otk::LogMsg(ErrorLog, "Engine Ignition: cfManeuver=0x%llX", zaq::Addr(m));
    else if (code == MNR_SHUTDOWN)
        otk::LogMsg(ErrorLog, "Engine Shutdown: cfManeuver=0x%llX", zaq::Addr(m));
    return 0;
}

// ---- contents dump -----------------------------------------------------------------------------

namespace {

// A line of the dump built piece by piece in a fixed buffer: a piece that does not fit whole is
// left out, with everything after it, so a long list is cut rather than written past the end.
struct DumpLine {
    char text[256] = "";
    size_t used = 0;
    bool full = false;
    void Add(const char* piece) {
        const size_t n = std::strlen(piece);
        if (full || used + n >= sizeof text) {
            full = true;
            return;
        }
        std::memcpy(text + used, piece, n + 1);
        used += n;
    }
};

}  // namespace

void CFlight::Dump(const char* path) const {
    FILE* f = path ? std::fopen(path, "w+") : nullptr;
    if (!f) {
        ZAQ_ERROR_NOREASON("CFlight::Dump");
        return;
    }
    auto name = [&](short id) { return IsValid(id) ? pCelObject[id]->name : "N/A"; };
    auto header = [&](const char* title) { std::fprintf(f, "<br><br>%s<br><br><br>", title); };
    std::fprintf(f,
                 "<html><head><title>CFlight</title></head><body bgcolor=0x000000 "
                 "text=0xFFFFFF><center><h2>CFlight Contents Dump</h2></center><hr><br><br><br>");
    std::fprintf(f, "--- CFlight Configuration %s<br>", std::string(75, '-').c_str());
    std::fprintf(f, "Number of Objects = %d <br>Number of Vessels = %d <br>", GetCount(),
                 GetVesselCount());

    header("--- Reference Table ---");
    for (int i = 0; i < nObj; i++) std::fprintf(f, "ObjId=%d, RefId=%d<br>", i, i ? pRefId[i] : -1);

    header("--- Celestial Objects ---");
    for (int i = 0; i < nObj; i++) {
        const CelObject* o = pCelObject[i].get();
        std::fprintf(f, "OBJECT: %d   <br>Name:      %s<br>", i, o->name);
        if (i == 0)
            std::fprintf(f, "Reference:  N/A<br>");
        else
            std::fprintf(f, "Reference: %s<br>", name(pRefId[i]));
        static const struct {
            int bits;
            const char* text;
        } flags[] = {{0x01, " OPT_EPHEMERIS, "},
                     {0x02, " OPT_ELLIPTIC, "},
                     {0x04, " OPT_HASMINORS, "},
                     {0x0C, " OPT_HASBC, "},
                     {0x40, " OPT_EFFECTING, "}};
        DumpLine line;
        for (const auto& fl : flags)
            if ((o->InitFlags & fl.bits) == fl.bits) line.Add(fl.text);
        std::fprintf(f, "InitFlags: %s<br>", line.text);
        std::fprintf(f, "CSIdObj:\t%d<br>CSIdRef:\t%d<br>", o->CSIdObj, o->CSIdRef);
        const struct {
            const char* label;
            double value;
        } fields[] = {{"boundry", o->boundry},     {"dTLinear", o->dTLinear},
                      {"SgLinear", o->SgLinear},   {"BaryDispl", o->BaryDispl},
                      {"InnCutOff", o->InnCutOff}, {"OutCutOff", o->OutCutOff},
                      {"IBoundry", o->IBoundry},   {"OBoundry", o->OBoundry}};
        for (const auto& fd : fields) std::fprintf(f, "%s:\t%f<br>", fd.label, fd.value);
        const struct {
            const char* label;
            const VECTOR3* array;
        } states[] = {{"GlobalPos", pGlobalPos}, {"GlobalVel", pGlobalVel},
                      {"RelatPos0", pStartPos},  {"RelatVel0", pStartVel},
                      {"RelatPos1", pEndPos},    {"RelatVel1", pEndVel}};
        for (const auto& st : states)
            std::fprintf(f, "%s:\t%s<br>", st.label, otk::VectorStr(st.array[i]));
        std::fprintf(f, "Mass:\t\t%g<br>nMinors:   %d<br>J-Coeffs:  %d<br>", o->mass, o->nMinors,
                     o->gravity.nJ);
        std::fprintf(f, "Minor Body List:<br>");
        for (int k = 0; k < o->nMinors && o->firstMinor + k < nObj; k++)
            std::fprintf(f, "Index %d:  %d<br>", k, pMinor[o->firstMinor + k]);
        // The record holds at most eight coefficients, whatever count the host gave.
        const int nJ = o->gravity.nJ < 8 ? o->gravity.nJ : 8;
        for (int k = 0; k < nJ; k++)
            std::fprintf(f, "J%d=%f<br>R%d=%g<br>", k + 2, o->gravity.J[k], k + 2,
                         o->gravity.limitRadius[k]);
        std::fprintf(f, "<br><br>");
    }

    header("--- Vessel Information ---");
    for (int i = 0; i < nVes; i++) {
        const cfVessel* v = pVessel[i].get();
        if (!v) {
            ZAQ_ERROR_THIS("CFlight::Dump", "Vessel pointer null");
            continue;
        }
        std::fprintf(f, "Reference: %s<br>IdRef:\t\t%d<br>", name(v->GetReference()),
                     v->GetReference());
        std::fprintf(f, "nSources:\t%d<br>nEvents:\t%d<br>", v->GetSourceCount(),
                     v->GetEventCount());
        std::fprintf(f, "Mass:\t\t%g<br>FuelRate:\t%g<br>Thrust:\t%g<br>ThrMode:   %d<br>",
                     v->GetMass(), v->GetFuelRate(), v->GetForce(), v->GetThrustMode());
        std::fprintf(f, "RelatPos:\t%s<br>", otk::VectorStr(v->GetPosition()));
        std::fprintf(f, "RelatVel:\t%s<br>", otk::VectorStr(v->GetVelocity()));
        DumpLine line;
        for (int k = 0; k < v->GetSourceCount(); k++) {
            char item[16];
            std::snprintf(item, sizeof item, "%d,", v->GetSource(k));
            line.Add(item);
        }
        std::fprintf(f, "Sources: %s<br><br><br>", line.text);
    }
    std::fprintf(f, "</body></html>");
    std::fclose(f);
}
