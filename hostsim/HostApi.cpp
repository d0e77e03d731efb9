// The host interface functions (host.h) of the standalone host: the oapi* queries, answered from
// the world of World.cpp.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "hostsim/World.h"
#include "zaq/host.h"
#include "zaq/vector3.h"

using namespace zaq::hostsim;
using namespace zaq::hostsim::detail;

DWORD oapiGetGbodyCount() {
    return static_cast<DWORD>(W().bodies.size());
}

OBJHANDLE oapiGetGbodyByIndex(int index) {
    if (index < 0 || index >= static_cast<int>(W().bodies.size())) return nullptr;
    return static_cast<Object*>(W().bodies[index].get());
}

OBJHANDLE oapiGetGbodyByName(const char* name) {
    if (!name) return nullptr;
    for (const auto& b : W().bodies)
        if (b->name == name) return static_cast<Object*>(b.get());
    return nullptr;
}

OBJHANDLE oapiGetObjectByName(const char* name) {
    if (!name) return nullptr;
    if (OBJHANDLE h = oapiGetGbodyByName(name)) return h;
    for (const auto& s : W().bases)
        if (s->name == name) return static_cast<Object*>(s.get());
    for (const auto& v : W().vessels)
        if (v->name == name) return static_cast<Object*>(v.get());
    return nullptr;
}

void oapiGetObjectName(OBJHANDLE hObj, char* name, int n) {
    if (!name || n <= 0) return;
    const Object* o = AsObject(hObj);
    const std::string s = o ? o->name : std::string();
    const size_t len = std::min(s.size(), static_cast<size_t>(n - 1));
    std::memcpy(name, s.data(), len);
    name[len] = '\0';
}

double oapiGetMass(OBJHANDLE hObj) {
    if (const Body* b = AsBody(hObj)) return b->desc.mass;
    if (const Vessel* v = AsVessel(hObj)) return v->mass;
    return 0.0;
}

double oapiGetSize(OBJHANDLE hObj) {
    if (const Body* b = AsBody(hObj)) return b->desc.radius;
    return 0.0;
}

void oapiGetRelativePos(OBJHANDLE hObj, OBJHANDLE hRef, VECTOR3* pos) {
    if (!pos) return;
    const Object* o = AsObject(hObj);
    const Object* r = AsObject(hRef);
    *pos = o && r ? GlobalPos(o) - GlobalPos(r) : VECTOR3{0, 0, 0};
}

void oapiGetRelativeVel(OBJHANDLE hObj, OBJHANDLE hRef, VECTOR3* vel) {
    if (!vel) return;
    const Object* o = AsObject(hObj);
    const Object* r = AsObject(hRef);
    *vel = o && r ? GlobalVel(o) - GlobalVel(r) : VECTOR3{0, 0, 0};
}

void oapiGetGlobalPos(OBJHANDLE hObj, VECTOR3* pos) {
    if (!pos) return;
    const Object* o = AsObject(hObj);
    *pos = o ? GlobalPos(o) : VECTOR3{0, 0, 0};
}

void oapiGetGlobalVel(OBJHANDLE hObj, VECTOR3* vel) {
    if (!vel) return;
    const Object* o = AsObject(hObj);
    *vel = o ? GlobalVel(o) : VECTOR3{0, 0, 0};
}

double oapiGetSimMJD() {
    return W().mjd;
}

void oapiGetPlanetObliquityMatrix(OBJHANDLE hPlanet, MATRIX3* mat) {
    if (!mat) return;
    const Body* b = AsBody(hPlanet);
    *mat = b ? b->desc.rotation.obliquity : Identity();
}

double oapiGetPlanetCurrentRotation(OBJHANDLE hPlanet) {
    const Body* b = AsBody(hPlanet);
    return b ? RotationAngle(b, W().mjd) : 0.0;
}

double oapiGetPlanetPeriod(OBJHANDLE hPlanet) {
    const Body* b = AsBody(hPlanet);
    return b ? b->desc.rotation.period : 0.0;
}

DWORD oapiGetPlanetJCoeffCount(OBJHANDLE hPlanet) {
    const Body* b = AsBody(hPlanet);
    return b ? static_cast<DWORD>(b->desc.jcoeff.size()) : 0;
}

double oapiGetPlanetJCoeff(OBJHANDLE hPlanet, DWORD n) {
    const Body* b = AsBody(hPlanet);
    return b && n < b->desc.jcoeff.size() ? b->desc.jcoeff[n] : 0.0;
}

CELBODY* oapiGetCelbodyInterface(OBJHANDLE hBody) {
    const Body* b = AsBody(hBody);
    return b ? b->module.get() : nullptr;
}

DWORD oapiGetBaseCount(OBJHANDLE hPlanet) {
    const Body* b = AsBody(hPlanet);
    return b ? static_cast<DWORD>(b->bases.size()) : 0;
}

OBJHANDLE oapiGetBaseByIndex(OBJHANDLE hPlanet, int index) {
    const Body* b = AsBody(hPlanet);
    if (!b || index < 0 || index >= static_cast<int>(b->bases.size())) return nullptr;
    return static_cast<Object*>(b->bases[index]);
}

void oapiGetBaseEquPos(OBJHANDLE hBase, double* lng, double* lat, double* rad) {
    const Base* s = AsBase(hBase);
    if (lng) *lng = s ? s->lng : 0.0;
    if (lat) *lat = s ? s->lat : 0.0;
    if (rad) *rad = s ? s->radius : 0.0;
}

DWORD oapiGetVesselCount() {
    return static_cast<DWORD>(W().vessels.size());
}

OBJHANDLE oapiGetVesselByIndex(int index) {
    if (index < 0 || index >= static_cast<int>(W().vessels.size())) return nullptr;
    return static_cast<Object*>(W().vessels[index].get());
}

VESSEL* oapiGetVesselInterface(OBJHANDLE hVessel) {
    Vessel* v = AsVessel(hVessel);
    return v ? &v->iface : nullptr;
}

VESSEL* oapiGetFocusInterface() {
    return W().focus ? &W().focus->iface : nullptr;
}

void oapiWriteLog(const char* line) {
    FILE* f = W().log ? W().log : stderr;
    std::fprintf(f, "%s\n", line ? line : "");
    std::fflush(f);
}
