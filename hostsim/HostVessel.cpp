// The host vessel (host.h's VESSEL) of the standalone host: a vessel's state, docking ports,
// thruster groups, thrusters and propellant resources, read from the world of World.cpp.
#include <vector>

#include "hostsim/World.h"
#include "zaq/host.h"
#include "zaq/vector3.h"

using namespace zaq::hostsim::detail;

VESSEL::VESSEL(OBJHANDLE hVessel) : hObj(hVessel) {}

OBJHANDLE VESSEL::GetHandle() const {
    return hObj;
}

const char* VESSEL::GetName() const {
    const Vessel* v = AsVessel(hObj);
    return v ? v->name.c_str() : "";
}

OBJHANDLE VESSEL::GetGravityRef() const {
    const Vessel* v = AsVessel(hObj);
    return v ? static_cast<Object*>(v->gravityRef) : nullptr;
}

OBJHANDLE VESSEL::GetSurfaceRef() const {
    const Vessel* v = AsVessel(hObj);
    return v && v->surfaceRef ? static_cast<Object*>(v->surfaceRef) : nullptr;
}

double VESSEL::GetMass() const {
    return oapiGetMass(hObj);
}
void VESSEL::GetGlobalPos(VECTOR3& pos) const {
    oapiGetGlobalPos(hObj, &pos);
}
void VESSEL::GetGlobalVel(VECTOR3& vel) const {
    oapiGetGlobalVel(hObj, &vel);
}
void VESSEL::GetRelativePos(OBJHANDLE hRef, VECTOR3& pos) const {
    oapiGetRelativePos(hObj, hRef, &pos);
}
void VESSEL::GetRelativeVel(OBJHANDLE hRef, VECTOR3& vel) const {
    oapiGetRelativeVel(hObj, hRef, &vel);
}

void VESSEL::GlobalRot(const VECTOR3& rloc, VECTOR3& rglob) const {
    const Vessel* v = AsVessel(hObj);
    rglob = v ? mul(v->attitude, rloc) : rloc;
}

UINT VESSEL::DockCount() const {
    const Vessel* v = AsVessel(hObj);
    return v ? static_cast<UINT>(v->docks.size()) : 0;
}

DOCKHANDLE VESSEL::GetDockHandle(UINT n) const {
    const Vessel* v = AsVessel(hObj);
    return v && n < v->docks.size() ? v->docks[n].get() : nullptr;
}

OBJHANDLE VESSEL::GetDockStatus(DOCKHANDLE hDock) const {
    const Vessel* v = AsVessel(hObj);
    if (!v) return nullptr;
    for (const auto& d : v->docks)
        if (d.get() == hDock) return d->docked ? static_cast<Object*>(d->docked) : nullptr;
    return nullptr;
}

namespace {
const std::vector<Thruster*>* Group(const Vessel* v, THGROUP_TYPE g) {
    if (!v) return nullptr;
    for (const auto& grp : v->groups)
        if (grp.first == g) return &grp.second;
    return nullptr;
}
}  // namespace

DWORD VESSEL::GetGroupThrusterCount(THGROUP_TYPE thgt) const {
    const auto* g = Group(AsVessel(hObj), thgt);
    return g ? static_cast<DWORD>(g->size()) : 0;
}

THRUSTER_HANDLE VESSEL::GetGroupThruster(THGROUP_TYPE thgt, DWORD n) const {
    const auto* g = Group(AsVessel(hObj), thgt);
    return g && n < g->size() ? (*g)[n] : nullptr;
}

// The standalone host has no atmosphere: thrust at ambient pressure is the vacuum thrust.
double VESSEL::GetThrusterMax(THRUSTER_HANDLE th) const {
    return GetThrusterMax0(th);
}

double VESSEL::GetThrusterMax0(THRUSTER_HANDLE th) const {
    const Thruster* t = AsThruster(AsVessel(hObj), th);
    return t ? t->desc.maxThrust : 0.0;
}

double VESSEL::GetThrusterIsp0(THRUSTER_HANDLE th) const {
    const Thruster* t = AsThruster(AsVessel(hObj), th);
    return t ? t->desc.isp : 0.0;
}

PROPELLANT_HANDLE VESSEL::GetThrusterResource(THRUSTER_HANDLE th) const {
    const Thruster* t = AsThruster(AsVessel(hObj), th);
    return t ? t->resource : nullptr;
}

double VESSEL::GetPropellantEfficiency(PROPELLANT_HANDLE ph) const {
    const Propellant* p = AsPropellant(AsVessel(hObj), ph);
    return p ? p->desc.efficiency : 0.0;
}

double VESSEL::GetPropellantMass(PROPELLANT_HANDLE ph) const {
    const Propellant* p = AsPropellant(AsVessel(hObj), ph);
    return p ? p->desc.mass : 0.0;
}

void VESSEL::GetThrusterDir(THRUSTER_HANDLE th, VECTOR3& dir) const {
    const Thruster* t = AsThruster(AsVessel(hObj), th);
    dir = t ? t->desc.dir : VECTOR3{0, 0, 0};
}
