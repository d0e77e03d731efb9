// The standalone host's object store: the world of bodies, bases and vessels with the simulation
// clock and the host log, their states, and the zaq::hostsim functions that build the world. The
// host interface reads it in HostApi.cpp, the host vessel in HostVessel.cpp.
#include "hostsim/World.h"

#include <cmath>
#include <cstdio>

#include "zaq/constants.h"
#include "zaq/vector3.h"

namespace zaq::hostsim {
namespace detail {

World& W() {
    static World world;
    return world;
}

double RotationAngle(const Body* b, double mjd) {
    const Rotation& r = b->desc.rotation;
    double a = r.angle;
    if (r.period != 0.0) a += 2.0 * M_PI * (mjd - r.epoch) * kSecondsPerDay / r.period;
    a = std::fmod(a, 2.0 * M_PI);
    return a < 0 ? a + 2.0 * M_PI : a;
}

namespace {

// Rotation about the local y axis by the body's rotation angle (the host's spin convention).
VECTOR3 RotY(double theta, VECTOR3 v) {
    const double c = std::cos(theta), s = std::sin(theta);
    return {c * v.x - s * v.z, v.y, s * v.x + c * v.z};
}

// Two-body state from the host's element record: elliptic orbit about the parent, right-handed
// reference-plane coordinates turned into the host frame at the end.
void KeplerState(const Body* b, double mjd, VECTOR3& pos, VECTOR3& vel) {
    const ELEMENTS& el = b->desc.elements;
    const double mu = kG * (b->parent->desc.mass + b->desc.mass);
    const double a = el.a, e = el.e;
    const double n = std::sqrt(mu / (a * a * a));
    double M = std::fmod(el.L - el.omegab + n * (mjd - b->desc.epoch) * kSecondsPerDay, 2.0 * M_PI);
    double E = e < 0.8 ? M : M_PI;
    for (int k = 0; k < 50; ++k) {
        const double d = (E - e * std::sin(E) - M) / (1.0 - e * std::cos(E));
        E -= d;
        if (std::fabs(d) < 1e-15) break;
    }
    const double cE = std::cos(E), sE = std::sin(E), q = std::sqrt(1.0 - e * e);
    const double xp = a * (cE - e), yp = a * q * sE;
    const double rr = a * (1.0 - e * cE);
    const double vx = -std::sqrt(mu * a) / rr * sE, vy = std::sqrt(mu * a) / rr * q * cE;
    const double w = el.omegab - el.theta, O = el.theta, i = el.i;
    const double cw = std::cos(w), sw = std::sin(w), cO = std::cos(O), sO = std::sin(O);
    const double ci = std::cos(i), si = std::sin(i);
    const VECTOR3 P{cO * cw - sO * sw * ci, sO * cw + cO * sw * ci, sw * si};
    const VECTOR3 Q{-cO * sw - sO * cw * ci, -sO * sw + cO * cw * ci, cw * si};
    const VECTOR3 r = P * xp + Q * yp, v = P * vx + Q * vy;
    pos = SwapYZ(r);
    vel = SwapYZ(v);
}

// State of a body about its parent at the current simulation time.
void RelativeState(const Body* b, VECTOR3& pos, VECTOR3& vel) {
    const double mjd = W().mjd;
    switch (b->desc.motion) {
        case Motion::Fixed: {
            const double dt = (mjd - b->desc.epoch) * kSecondsPerDay;
            pos = b->desc.pos + b->desc.vel * dt;
            vel = b->desc.vel;
            return;
        }
        case Motion::Elements:
            KeplerState(b, mjd, pos, vel);
            return;
        case Motion::Module: {
            double ret[12] = {0};
            b->module->clbkEphemeris(mjd, EPHEM_TRUEPOS | EPHEM_TRUEVEL, ret);
            pos = {ret[0], ret[1], ret[2]};
            vel = {ret[3], ret[4], ret[5]};
            return;
        }
    }
}

void BodyGlobal(const Body* b, VECTOR3& pos, VECTOR3& vel) {
    pos = {0, 0, 0};
    vel = {0, 0, 0};
    for (; b; b = b->parent) {  // a root body is Fixed: its state is about the origin
        VECTOR3 p{}, v{};
        RelativeState(b, p, v);
        pos += p;
        vel += v;
    }
}

void ObjectGlobal(const Object* o, VECTOR3& pos, VECTOR3& vel) {
    switch (o->kind) {
        case Kind::Body:
            BodyGlobal(static_cast<const Body*>(o), pos, vel);
            return;
        case Kind::Base: {
            const Base* s = static_cast<const Base*>(o);
            const Body* b = s->body;
            BodyGlobal(b, pos, vel);
            const double th = RotationAngle(b, W().mjd);
            const double cl = std::cos(s->lat);
            const VECTOR3 local{s->radius * cl * std::cos(s->lng), s->radius * std::sin(s->lat),
                                s->radius * cl * std::sin(s->lng)};
            const VECTOR3 r = mul(b->desc.rotation.obliquity, RotY(th, local));
            pos += r;
            if (b->desc.rotation.period != 0.0) {
                // d/dt of Ry(theta) * local, rotated into the host frame.
                const double w = 2.0 * M_PI / b->desc.rotation.period;
                const double c = std::cos(th), sn = std::sin(th);
                const VECTOR3 d{w * (-sn * local.x - c * local.z), 0.0,
                                w * (c * local.x - sn * local.z)};
                vel += mul(b->desc.rotation.obliquity, d);
            }
            return;
        }
        case Kind::Vessel: {
            const Vessel* v = static_cast<const Vessel*>(o);
            BodyGlobal(v->gravityRef, pos, vel);
            pos += v->pos;
            vel += v->vel;
            return;
        }
    }
}

bool NameTaken(const std::string& name) {
    return oapiGetObjectByName(name.c_str()) != nullptr;
}

bool Finite(VECTOR3 v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace

bool Fail(const std::string& msg) {
    W().lastError = msg;
    oapiWriteLog(("hostsim: " + msg).c_str());
    return false;
}

Object* AsObject(const void* h) {
    if (!h || !W().handles.count(h)) return nullptr;
    return static_cast<Object*>(const_cast<void*>(h));
}
Body* AsBody(const void* h) {
    Object* o = AsObject(h);
    return o && o->kind == Kind::Body ? static_cast<Body*>(o) : nullptr;
}
Base* AsBase(const void* h) {
    Object* o = AsObject(h);
    return o && o->kind == Kind::Base ? static_cast<Base*>(o) : nullptr;
}
Vessel* AsVessel(const void* h) {
    Object* o = AsObject(h);
    return o && o->kind == Kind::Vessel ? static_cast<Vessel*>(o) : nullptr;
}
Thruster* AsThruster(const Vessel* v, const void* h) {
    if (!v || !h) return nullptr;
    for (const auto& t : v->thrusters)
        if (t.get() == h) return t.get();
    return nullptr;
}
Propellant* AsPropellant(const Vessel* v, const void* h) {
    if (!v || !h) return nullptr;
    for (const auto& p : v->propellants)
        if (p.get() == h) return p.get();
    return nullptr;
}

VECTOR3 GlobalPos(const Object* o) {
    VECTOR3 p{}, v{};
    ObjectGlobal(o, p, v);
    return p;
}
VECTOR3 GlobalVel(const Object* o) {
    VECTOR3 p{}, v{};
    ObjectGlobal(o, p, v);
    return v;
}

}  // namespace detail

using namespace detail;

MATRIX3 Identity() {
    return MATRIX3{1, 0, 0, 0, 1, 0, 0, 0, 1};
}

void Reset() {
    World& w = W();
    w.vessels.clear();
    w.bases.clear();
    w.bodies.clear();
    w.handles.clear();
    w.focus = nullptr;
    w.mjd = 51544.5;
    w.lastError.clear();
}

OBJHANDLE AddBody(const BodyDesc& desc) {
    World& w = W();
    std::unique_ptr<CELBODY> module(desc.module);  // owned from here on, whatever happens
    if (desc.name.empty()) return Fail("body without a name"), nullptr;
    if (NameTaken(desc.name)) return Fail("duplicate name '" + desc.name + "'"), nullptr;
    if (!(desc.mass > 0) || !std::isfinite(desc.mass))
        return Fail("body '" + desc.name + "' needs a positive mass"), nullptr;
    if (!(desc.radius >= 0) || !std::isfinite(desc.radius))
        return Fail("body '" + desc.name + "' has a bad radius"), nullptr;
    Body* parent = nullptr;
    if (desc.parent) {
        parent = AsBody(desc.parent);
        if (!parent) return Fail("body '" + desc.name + "' has an unknown parent"), nullptr;
    }
    if (desc.motion == Motion::Module && !module)
        return Fail("body '" + desc.name + "' has no ephemeris module"), nullptr;
    if (desc.motion != Motion::Fixed && !parent)
        return Fail("body '" + desc.name + "' moves about a parent it does not have"), nullptr;
    if (desc.motion == Motion::Elements &&
        !(desc.elements.a > 0 && desc.elements.e >= 0 && desc.elements.e < 1))
        return Fail("body '" + desc.name + "' needs an elliptic orbit (a > 0, 0 <= e < 1)"),
               nullptr;
    auto b = std::make_unique<Body>();
    b->name = desc.name;
    b->desc = desc;
    b->desc.module = nullptr;
    b->module = std::move(module);
    b->parent = parent;
    Body* raw = b.get();
    w.handles.insert(static_cast<Object*>(raw));
    w.bodies.push_back(std::move(b));
    return static_cast<Object*>(raw);
}

OBJHANDLE AddBase(const std::string& name, OBJHANDLE body, double lng, double lat, double radius) {
    Body* b = AsBody(body);
    if (name.empty()) return Fail("base without a name"), nullptr;
    if (!b) return Fail("base '" + name + "' on an unknown body"), nullptr;
    if (NameTaken(name)) return Fail("duplicate name '" + name + "'"), nullptr;
    if (!std::isfinite(lng) || !std::isfinite(lat) || !(radius >= 0))
        return Fail("base '" + name + "' has a bad position"), nullptr;
    auto s = std::make_unique<Base>();
    s->name = name;
    s->body = b;
    s->lng = lng;
    s->lat = lat;
    s->radius = radius > 0 ? radius : b->desc.radius;
    Base* raw = s.get();
    b->bases.push_back(raw);
    W().handles.insert(static_cast<Object*>(raw));
    W().bases.push_back(std::move(s));
    return static_cast<Object*>(raw);
}

OBJHANDLE AddVessel(const VesselDesc& desc) {
    if (desc.name.empty()) return Fail("vessel without a name"), nullptr;
    if (NameTaken(desc.name)) return Fail("duplicate name '" + desc.name + "'"), nullptr;
    Body* ref = AsBody(desc.gravityRef);
    if (!ref) return Fail("vessel '" + desc.name + "' needs a known gravity reference"), nullptr;
    if (desc.surfaceRef && !AsBody(desc.surfaceRef))
        return Fail("vessel '" + desc.name + "' has an unknown surface reference"), nullptr;
    if (!(desc.mass > 0) || !std::isfinite(desc.mass))
        return Fail("vessel '" + desc.name + "' needs a positive mass"), nullptr;
    if (!Finite(desc.pos) || !Finite(desc.vel))
        return Fail("vessel '" + desc.name + "' has a non-finite state"), nullptr;
    if (desc.dockCount < 0)
        return Fail("vessel '" + desc.name + "' has a negative port count"), nullptr;
    auto v = std::make_unique<Vessel>();
    v->name = desc.name;
    v->gravityRef = ref;
    v->surfaceRef = AsBody(desc.surfaceRef);
    v->pos = desc.pos;
    v->vel = desc.vel;
    v->mass = desc.mass;
    v->attitude = desc.attitude;
    for (const PropellantDesc& p : desc.propellants) {
        if (!(p.efficiency >= 0) || !(p.mass >= 0))
            return Fail("vessel '" + desc.name + "' has a bad propellant resource"), nullptr;
        v->propellants.push_back(std::make_unique<Propellant>(Propellant{p}));
    }
    for (const ThrusterDesc& t : desc.thrusters) {
        if (t.resource < -1 || t.resource >= static_cast<int>(v->propellants.size()))
            return Fail("vessel '" + desc.name + "' has a thruster on an unknown resource"),
                   nullptr;
        if (!(t.maxThrust >= 0) || !(t.isp >= 0))
            return Fail("vessel '" + desc.name + "' has a thruster with negative thrust or isp"),
                   nullptr;
        auto th = std::make_unique<Thruster>();
        th->desc = t;
        th->resource = t.resource >= 0 ? v->propellants[t.resource].get() : nullptr;
        v->thrusters.push_back(std::move(th));
    }
    for (const auto& g : desc.groups) {
        std::vector<Thruster*> members;
        for (int i : g.second) {
            if (i < 0 || i >= static_cast<int>(v->thrusters.size()))
                return Fail("vessel '" + desc.name + "' groups an unknown thruster"), nullptr;
            members.push_back(v->thrusters[i].get());
        }
        v->groups.emplace_back(g.first, std::move(members));
    }
    for (int k = 0; k < desc.dockCount; ++k) v->docks.push_back(std::make_unique<DockPort>());
    Vessel* raw = v.get();
    W().handles.insert(static_cast<Object*>(raw));
    W().vessels.push_back(std::move(v));
    return static_cast<Object*>(raw);
}

bool Dock(OBJHANDLE a, int pa, OBJHANDLE b, int pb) {
    Vessel* va = AsVessel(a);
    Vessel* vb = AsVessel(b);
    if (!va || !vb || va == vb) return Fail("docking needs two different vessels");
    if (pa < 0 || pa >= static_cast<int>(va->docks.size()) || pb < 0 ||
        pb >= static_cast<int>(vb->docks.size()))
        return Fail("docking port out of range");
    if (va->docks[pa]->docked || vb->docks[pb]->docked) return Fail("docking port in use");
    va->docks[pa]->docked = vb;
    vb->docks[pb]->docked = va;
    return true;
}

bool SetVesselState(OBJHANDLE vessel, OBJHANDLE ref, const VECTOR3& pos, const VECTOR3& vel) {
    Vessel* v = AsVessel(vessel);
    Body* b = AsBody(ref);
    if (!v || !b) return Fail("SetVesselState needs a vessel and a body");
    if (!Finite(pos) || !Finite(vel)) return Fail("SetVesselState: non-finite state");
    v->gravityRef = b;
    v->pos = pos;
    v->vel = vel;
    return true;
}

bool SetVesselMass(OBJHANDLE vessel, double mass) {
    Vessel* v = AsVessel(vessel);
    if (!v || !(mass > 0) || !std::isfinite(mass)) return Fail("SetVesselMass: bad vessel or mass");
    v->mass = mass;
    return true;
}

bool SetFocus(OBJHANDLE vessel) {
    if (vessel && !AsVessel(vessel)) return Fail("SetFocus: not a vessel");
    W().focus = AsVessel(vessel);
    return true;
}

THRUSTER_HANDLE GetThruster(OBJHANDLE vessel, int i) {
    Vessel* v = AsVessel(vessel);
    if (!v || i < 0 || i >= static_cast<int>(v->thrusters.size())) return nullptr;
    return v->thrusters[i].get();
}

PROPELLANT_HANDLE GetPropellant(OBJHANDLE vessel, int i) {
    Vessel* v = AsVessel(vessel);
    if (!v || i < 0 || i >= static_cast<int>(v->propellants.size())) return nullptr;
    return v->propellants[i].get();
}

void SetSimMJD(double mjd) {
    W().mjd = mjd;
}

bool SetLogFile(const char* path) {
    World& w = W();
    if (w.log) std::fclose(w.log);
    w.log = nullptr;
    if (!path || !*path) return true;
    w.log = std::fopen(path, "a");
    return w.log != nullptr;
}

const std::string& LastError() {
    return W().lastError;
}

OBJHANDLE GetParent(OBJHANDLE body) {
    const Body* b = AsBody(body);
    return b && b->parent ? static_cast<Object*>(b->parent) : nullptr;
}

}  // namespace zaq::hostsim
