// Adding celestial objects and vessels to a scenario, and its initialisation: the reference
// table and the minor-body list.
#include <cstdio>
#include <memory>
#include <utility>

#include "foundation/Address.h"
#include "foundation/Buffer.h"
#include "zaq/flight.h"
#include "zaq/foundation.h"
#include "zaq/vector3.h"

short CFlight::AddObject(int csid) {
    const char* func = "CFlight::AddObject";
    if (bInitialized) {
        ZAQ_ERROR_THIS(func, "Scenario allready initialized. Can't add new objects");
        return -1;
    }
    if (nObj >= nMaxObj) {
        ZAQ_ERROR_THIS(func, "Too many celestial objects in a scenario");
        return -1;
    }
    if (!pSol->Exists(csid)) {
        ZAQ_ERROR_THIS(func, "Object CSId=%d doesn't exist", csid);
        return -1;
    }
    const char* name = pSol->GetName(csid);
    if (!name) {
        ZAQ_ERROR_THIS(func, "Object Name Missing");
        return -1;
    }
    const int ref = pSol->GetReference(csid);
    if ((ref == -1) != (nObj == 0)) {
        ZAQ_ERROR_THIS(func, "Sun is not the first one being added in CFlight");
        return -1;
    }
    const int flags =
        (pSol->GetObjectFlags(csid) & (CS_EPHEMERIS | CS_ELLIPTIC)) | (ref == -1 ? CFO_ROOT : 0);
    if (flags == 0) {
        ZAQ_ERROR_THIS(func, "Object Missing Initialization Flags");
        return -1;
    }
    if (ref != -1 && !pSol->GetElements(csid)) {
        ZAQ_ERROR_THIS(func, "Object Missing Oscullating Elements");
        return -1;
    }
    const sGravity* gravity = pSol->GetGravityInfo(csid);
    if (!gravity) {
        ZAQ_ERROR_THIS(func, "Object Missing Gravity Parameters");
        return -1;
    }
    std::unique_ptr<CelObject> o = zaq::NewOwned<CelObject>();
    if (!o) {
        ZAQ_ERROR_THIS(func, "Memory Allocation Failed");
        return -1;
    }
    const bool earth = csid == csEarth;
    o->BaryDispl = pSol->GetData(csid, CSD_BARYDISPL);
    o->mass = pSol->GetMass(csid);
    o->InnCutOff = pSol->GetData(csid, CSD_INNERCUTOFF);
    o->OutCutOff = pSol->GetData(csid, CSD_OUTERCUTOFF);
    o->IBoundry = pSol->GetData(csid, earth ? CSD_IPEFFECT : CSD_BCEFFECT);
    o->OBoundry = pSol->GetData(csid, earth ? CSD_IPTIDAL : CSD_BCTIDAL);
    o->dTLinear = pSol->GetData(csid, CSD_DTMAX);
    o->SgLinear = pSol->GetData(csid, CSD_SAGITTA);
    o->radius = pSol->GetData(csid, CSD_RADIUS);
    o->boundry = pSol->GetData(csid, CSD_BOUNDARY);
    o->deviation = pSol->GetData(csid, CSD_DEVIATION);
    o->InitFlags = flags;
    o->CSIdObj = csid;
    o->CSIdRef = ref;
    o->handle = pSol->GetHandle(csid);
    o->gravity = *gravity;
    std::snprintf(o->name, 23, "%s", name);
    pGravity[nObj] = &o->gravity;
    pCelObject[nObj] = std::move(o);
    return static_cast<short>(nObj++);
}

short CFlight::AddObject(const char* name) {
    if (bInitialized) {
        ZAQ_ERROR_THIS("CFlight::AddObject",
                       "Scenario allready initialized. Can't add new objects");
        return -1;
    }
    if (!pSol) {
        ZAQ_ERROR_THIS("CFlight::AddObject", "Invalid CSol Input parameter");
        return -1;
    }
    const int csid = name ? pSol->GetId(name) : -1;
    if (csid == -1) {
        otk::LogErr(ErrorLog, "No object exists by name '%s'", name ? name : "");
        return -1;
    }
    return AddObject(csid);
}

bool CFlight::InitScenario() {
    const char* func = "CFlight::InitScenario";
    if (bInitialized) {
        ZAQ_ERROR_THIS(func, "Scenario allready initialized");
        return false;
    }
    if (!pCelObject || !pMinor || !pRefId) {
        ZAQ_ERROR_THIS(func, "Data tables are unallocated");
        return false;
    }
    for (int i = 0; i < nObj; i++)
        if (!pCelObject[i]) {
            ZAQ_ERROR_THIS(func, "Error in pCelObject");
            return false;
        }
    for (int i = 1; i < nObj; i++)
        for (int j = 0; j < nObj; j++)
            if (pCelObject[j]->CSIdObj == pCelObject[i]->CSIdRef) {
                pRefId[i] = static_cast<short>(j);
                break;
            }
    if (nObj > 0) pRefId[0] = -1;
    bParentsFirst = true;
    for (int i = 1; i < nObj; i++) bParentsFirst = bParentsFirst && pRefId[i] < i;
    int k = 0;
    for (int j = 0; j < nObj; j++) {
        pCelObject[j]->firstMinor = k;
        pCelObject[j]->nMinors = 0;
        for (int m = j; m < nObj; m++)
            if (pRefId[m] == j) {
                pMinor[k++] = static_cast<short>(m);
                pCelObject[j]->nMinors++;
            }
    }
    bInitialized = true;
    return true;
}

// ---- vessels -----------------------------------------------------------------------------------

cfVessel* CFlight::CreateVessel() {
    const char* func = "CFlight::CreateVessel";
    if (!bInitialized) {
        ZAQ_ERROR_THIS(func, "Can't create a vessel when scenario is uninitialized");
        return nullptr;
    }
    if (nVes >= nMaxVes) {
        ZAQ_ERROR_THIS(func, "Out of space");
        return nullptr;
    }
    if (pVessel[nVes]) {
        ZAQ_ERROR_THIS(func, "pVessel[nVes] is not NULL");
        return nullptr;
    }
    std::unique_ptr<cfVessel> made = zaq::NewOwned<cfVessel>(nObj, this);
    if (!made || !made->pSource || !made->pOrbit) {
        made.reset();
        ZAQ_ERROR_THIS(func, "Failed to create a vessel, Ship==NULL");
        return nullptr;
    }
    cfVessel* v = made.get();
    v->step = View();  // for stages run outside a step of the scenario
    pVessel[nVes++] = std::move(made);
    switch (nScenario) {
        case 1:
            v->AddSource(0, 0);
            break;
        case 3:
            v->AddSource(0, idSun);
            v->AddSource(1, idVenus);
            v->AddSource(2, idJupiter);
            v->AddSource(3, idEarth);
            v->AddSource(4, idMoon);
            break;
        case 4:
            v->AddSource(0, idSun);
            v->AddSource(1, idEarth);
            v->AddSource(2, idMoon);
            break;
        default:
            return nullptr;  // the vessel stays in the table without sources
    }
    v->InitSources();
    return v;
}

cfVessel* CFlight::CreateVessel(short ref, VECTOR3 pos, VECTOR3 vel, double mass) {
    cfVessel* v = CreateVessel();
    if (!v) return nullptr;
    v->SetPosVel(ref, pos, vel);
    v->SetMass(mass);
    return v;
}

cfVessel* CFlight::CreateVessel(VESSEL* hv) {
    // The host vessel and its reference are checked before a vessel enters the table: a failed
    // creation leaves the table as it was, not a vessel without a reference that every step
    // would report.
    if (!hv) {
        otk::LogErr(ErrorLog, "Failed to create a vessel");
        return nullptr;
    }
    void* href = hv->GetGravityRef();
    const int csid = pSol ? pSol->GetId(href) : -1;
    if (csid < 0) {
        otk::LogErr(ErrorLog,
                    "CFlight::CreateVessel(0x%llX), Vessel's reference 0x%llX doesn't found from "
                    "CSol",
                    zaq::Addr(hv), zaq::Addr(href));
        return nullptr;
    }
    const short ref = GetId(csid);
    if (ref == -1) {
        ZAQ_ERROR_THIS("CFlight::CreateVessel", "Vessel's reference doesn't exist in CFlight");
        return nullptr;
    }
    const int before = nVes;
    cfVessel* v = CreateVessel();
    if (!v) {
        // Scenario types without sources leave their new vessel in the table; this one failed.
        if (nVes > before) pVessel[--nVes].reset();
        otk::LogErr(ErrorLog, "Failed to create a vessel");
        return nullptr;
    }
    VECTOR3 pos, vel;
    hv->GetRelativePos(href, pos);
    hv->GetRelativeVel(href, vel);
    v->SetPosVel(ref, SwapYZ(pos), SwapYZ(vel));
    v->SetMass(hv->GetMass());
    return v;
}

bool CFlight::DeleteVessel(cfVessel* v) {
    // The code that called the callback still works on the vessel and its tables.
    if (nCallbacks > 0 && IsValidVessel(v)) {
        ZAQ_ERROR_THIS("CFlight::DeleteVessel", "Can't delete a vessel inside a callback");
        return false;
    }
    for (int i = 0; i < nVes; i++) {
        if (pVessel[i].get() != v) continue;
        std::unique_ptr<cfVessel> gone = std::move(pVessel[i]);
        for (int j = i; j < nVes - 1; j++) pVessel[j] = std::move(pVessel[j + 1]);
        nVes--;
        return true;  // the vessel goes with `gone`, the table already without it
    }
    return false;
}
