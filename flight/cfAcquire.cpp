// Queries of a scenario's objects and vessels.
#include <cstring>

#include "zaq/constants.h"
#include "zaq/flight.h"
#include "zaq/foundation.h"

const CelObject* CFlight::Checked(short id, const char* func) const {
    if (IsValid(id)) return pCelObject[id].get();
    ZAQ_ERROR_THIS(func, "Invalid CFID");
    return nullptr;
}

short CFlight::GetReference(short id) const {
    return Checked(id, "CFlight::GetReference") ? pRefId[id] : -1;
}

int CFlight::GetCSId(short id) const {
    const CelObject* o = Checked(id, "CFlight::GetCSId");
    return o ? o->CSIdObj : -1;
}

double CFlight::GetMass(short id) const {
    const CelObject* o = Checked(id, "CFlight::GetMass");
    return o ? o->mass : 0;
}

double CFlight::GetRadius(short id) const {
    const CelObject* o = Checked(id, "CFlight::GetRadius");
    return o ? o->radius : 0;
}

int CFlight::GetMinorCount(short id) const {
    const CelObject* o = Checked(id, "CFlight::GetMinorCount");
    return o ? o->nMinors : 0;
}

const char* CFlight::GetName(short id) const {
    const CelObject* o = Checked(id, "CFlight::GetName");
    return o ? o->name : nullptr;
}

double CFlight::GetSOI(short id) const {
    const CelObject* o = Checked(id, "CFlight::GetSOI");
    return o ? o->boundry : 0;
}

void CFlight::SetSOIOverride(short id, double r) {
    if (Checked(id, "CFlight::SetSOIOverride")) pCelObject[id]->boundry = r;
}

const sGravity* CFlight::GetGravity(short id) const {
    const CelObject* o = Checked(id, "CFlight::GetGravity");
    return o ? &o->gravity : nullptr;
}

short CFlight::GetMinor(short id, int i) const {
    const CelObject* o = Checked(id, "CFlight::GetMinor");
    if (!o) return -1;
    if (i < 0 || i >= o->nMinors) {
        ZAQ_ERROR_THIS("CFlight::GetMinor", "Index out of range");
        return -1;
    }
    const int k = o->firstMinor + i;
    if (k < 0 || k >= nObj) {
        ZAQ_ERROR_THIS("CFlight::GetMinor", "Failure");
        return -1;
    }
    return pMinor[k];
}

short CFlight::GetId(const char* name) const {
    if (!name) return -1;
    const size_t n = std::strlen(name);
    if (n > 23) return -1;
    for (int i = 0; i < nObj; i++)
        if (std::strncmp(pCelObject[i]->name, name, n) == 0) return static_cast<short>(i);
    return -1;
}

short CFlight::GetId(int csid) const {
    for (int i = 0; i < nObj; i++)
        if (pCelObject[i]->CSIdObj == csid) return static_cast<short>(i);
    return -1;
}

short CFlight::GetId(void* handle) const {
    for (int i = 0; i < nObj; i++)
        if (pCelObject[i]->handle == handle) return static_cast<short>(i);
    return -1;
}

void* CFlight::GetOAPIHandle(short id) const {
    if (!IsValid(id)) return nullptr;
    return pSol->GetHandle(pCelObject[id]->CSIdObj);
}

double CFlight::GetObjectBoundry(short id) const {
    if (id == 0) return 100.0 * zaq::kAU;
    if (id > 0 && id < nObj) return pCelObject[id]->boundry;
    return 0;
}

cfVessel* CFlight::GetVessel(int i) const {
    if (i < 0 || i >= nVes) {
        ZAQ_ERROR_THIS("CFlight::GetVessel", "Index out of range");
        return nullptr;
    }
    return pVessel[i].get();
}

bool CFlight::IsValidVessel(const cfVessel* v) const {
    // A free slot holds null, which is no vessel.
    if (!v) return false;
    for (int i = 0; i < nVes; i++)
        if (pVessel[i].get() == v) return true;
    return false;
}
