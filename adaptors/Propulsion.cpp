// Propulsion of a host vessel's thruster groups and of its docked assembly.
#include <cmath>
#include <memory>
#include <vector>

#include "zaq/adaptors.h"
#include "zaq/foundation.h"
#include "zaq/vector3.h"

namespace otk {

namespace {

// Sums over the thrusters of group g: vacuum thrust, thrust at ambient pressure, exhaust
// velocity, and the thrust-weighted direction (vessel axes).
struct GroupSums {
    int count = 0;
    double max0 = 0.0, max = 0.0, isp = 0.0;
    VECTOR3 dir{0, 0, 0};
};

GroupSums SumGroup(VESSEL* v, THGROUP_TYPE g) {
    GroupSums s;
    if (!v) return s;
    s.count = static_cast<int>(v->GetGroupThrusterCount(g));
    for (int i = 0; i < s.count; ++i) {
        THRUSTER_HANDLE th = v->GetGroupThruster(g, i);
        VECTOR3 d;
        v->GetThrusterDir(th, d);
        const double f0 = v->GetThrusterMax0(th);
        if (Length(d) > 0) s.dir += unit(d) * f0;
        s.max0 += f0;
        s.max += v->GetThrusterMax(th);
        s.isp += GetISP(v, th);
    }
    return s;
}

double RocketBurnTime(double dv, double mass, double thrust, double ve) {
    return mass * ve / thrust * (1.0 - std::exp(-dv / ve));
}

// The velocity change of burning for `time`; a burn that would use up the whole mass
// (thrust * time >= mass * ve) has no finite answer and is reported.
double RocketDeltaV(double time, double mass, double thrust, double ve, const char* func) {
    const double left = 1.0 - thrust * time / (mass * ve);
    if (!(left > 0.0)) {
        ZAQ_ERROR(func, "Burn time exceeds the mass of the vessel");
        return NAN;
    }
    return -ve * std::log(left);
}

}  // namespace

double GetISP(VESSEL* v, void* thruster) {
    if (!v || !thruster) return 0.0;
    PROPELLANT_HANDLE r = v->GetThrusterResource(thruster);
    const double isp = v->GetThrusterIsp0(thruster);
    return r ? isp * v->GetPropellantEfficiency(r) : isp;
}

double GetThrusterGroupFlowRate(VESSEL* v, THGROUP_TYPE g) {
    if (!v) return 0.0;
    double flow = 0.0;
    const int n = static_cast<int>(v->GetGroupThrusterCount(g));
    for (int i = 0; i < n; ++i) {
        THRUSTER_HANDLE th = v->GetGroupThruster(g, i);
        const double isp = GetISP(v, th);
        if (isp > 0.0) flow += v->GetThrusterMax(th) / isp;
    }
    return flow;
}

double GetThrusterGroupISP(VESSEL* v, THGROUP_TYPE g) {
    const double flow = GetThrusterGroupFlowRate(v, g);
    // Without thrust there is no mean exhaust velocity: 0 rather than 0/0.
    return flow > 0.0 ? SumGroup(v, g).max / flow : 0.0;
}

VECTOR3 GetThrusterGroupDir_LH(VESSEL* v, THGROUP_TYPE g) {
    const GroupSums s = SumGroup(v, g);
    // A group without thrusters or without thrust has no direction: the zero vector.
    return s.max0 > 0.0 ? s.dir / s.max0 : VECTOR3{0, 0, 0};
}

VECTOR3 GetThrusterGroupThrustVector_LH(VESSEL* v, THGROUP_TYPE g) {
    const GroupSums s = SumGroup(v, g);
    VECTOR3 global{0, 0, 0};
    if (v) v->GlobalRot(s.dir, global);
    return global;
}

void** GetSuperStructure(VESSEL* v, int& count) {
    count = 0;
    if (!v) return nullptr;
    const int n = static_cast<int>(oapiGetVesselCount());
    if (n <= 0) return nullptr;
    void** list = new void*[n]();
    list[0] = v->GetHandle();
    count = 1;
    // Depth-first walk over the docking graph; each vessel is stored once, so a ring ends.
    std::vector<VESSEL*> stack{v};
    std::vector<UINT> port{0};
    while (!stack.empty()) {
        VESSEL* cur = stack.back();
        UINT& k = port.back();
        if (k >= cur->DockCount()) {
            stack.pop_back();
            port.pop_back();
            continue;
        }
        DOCKHANDLE d = cur->GetDockHandle(k++);
        OBJHANDLE h = d ? cur->GetDockStatus(d) : nullptr;
        if (!h) continue;
        bool known = false;
        for (int i = 0; i < count && !known; ++i) known = list[i] == h;
        if (known || count >= n) continue;
        list[count++] = h;
        if (VESSEL* next = oapiGetVesselInterface(h)) {
            stack.push_back(next);
            port.push_back(0);
        }
    }
    return list;
}

double GetSuperStructureMass(VESSEL* v) {
    if (!v) return 0.0;
    int count = 0;
    const std::unique_ptr<void*[]> list(GetSuperStructure(v, count));
    if (!list) return v->GetMass();
    double mass = 0.0;
    for (int i = 0; i < count; ++i) mass += oapiGetMass(list[i]);
    return mass;
}

double BurnTimeBydV(double dv, double mass, double thrust, double flowRate) {
    return RocketBurnTime(dv, mass, thrust, thrust / flowRate);
}

double dVByBurnTime(double time, double mass, double thrust, double flowRate) {
    return RocketDeltaV(time, mass, thrust, thrust / flowRate, "dVByBurnTime");
}

double BurnTimeBydV(double dv, VESSEL* v, THGROUP_TYPE g) {
    const GroupSums s = SumGroup(v, g);
    if (s.count == 0 || s.max == 0.0 || s.isp == 0.0 || dv == 0.0) return 0.0;
    const double ve = s.isp / s.count;  // the plain mean of the exhaust velocities
    return RocketBurnTime(dv, GetSuperStructureMass(v), s.max, ve);
}

double dVByBurnTime(double time, VESSEL* v, THGROUP_TYPE g) {
    const GroupSums s = SumGroup(v, g);
    if (s.count == 0 || s.max == 0.0 || s.isp == 0.0 || time == 0.0) return 0.0;
    const double ve = s.isp / s.count;
    return RocketDeltaV(time, GetSuperStructureMass(v), s.max, ve, "dVByBurnTime");
}

double GetThrusterGroupAcceleration(VESSEL* v, THGROUP_TYPE g) {
    const double mass = GetSuperStructureMass(v);
    // No vessel or no mass: no acceleration rather than a division by zero.
    return mass > 0.0 ? SumGroup(v, g).max0 / mass : 0.0;
}

void* GetTarget(void* body, void* current, int direction) {
    std::vector<void*> list;
    const int nBase = static_cast<int>(oapiGetBaseCount(body));
    const int nVessel = static_cast<int>(oapiGetVesselCount());
    list.reserve(nBase + nVessel + oapiGetGbodyCount());
    for (int k = 0; k < nBase; ++k) list.push_back(oapiGetBaseByIndex(body, k));
    VESSEL* focus = oapiGetFocusInterface();
    for (int i = 0; i < nVessel; ++i) {
        OBJHANDLE h = oapiGetVesselByIndex(i);
        VESSEL* v = oapiGetVesselInterface(h);
        if (!v || v == focus) continue;
        if (v->GetGravityRef() == body || v->GetSurfaceRef() == body) list.push_back(h);
    }
    if (list.empty()) return nullptr;
    const int n = static_cast<int>(list.size());
    for (int j = 0; current && j < n; ++j) {
        if (list[j] != current) continue;
        if (direction < 0) return list[j == 0 ? n - 1 : j - 1];
        return list[j == n - 1 ? 0 : j + 1];
    }
    return list[0];
}

}  // namespace otk
