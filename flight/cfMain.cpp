// The scenario: construction on a CSol, allocation of its tables, the scenario types, and the
// callbacks with their built-in loggers. The unit goes on in cfClock.cpp (the clock, Goto and
// AutoStep), cfStep.cpp (the step routine) and cfDump.cpp (the contents dump).
#include <cstdio>
#include <memory>

#include "foundation/Address.h"
#include "foundation/Buffer.h"
#include "zaq/constants.h"
#include "zaq/flight.h"
#include "zaq/foundation.h"
#include "zaq/vector3.h"

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
