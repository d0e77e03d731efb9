// Internal model of the standalone host's world, shared by the object store (World.cpp), the host
// interface functions (HostApi.cpp) and the host vessel (HostVessel.cpp).
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "zaq/hostsim.h"

namespace zaq::hostsim::detail {

enum class Kind { Body, Base, Vessel };

struct Object {
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    Kind kind;
    std::string name;
};

struct Body;

struct Base : Object {
    Base() : Object(Kind::Base) {}
    Body* body = nullptr;
    double lng = 0, lat = 0, radius = 0;
};

struct Body : Object {
    Body() : Object(Kind::Body) {}
    BodyDesc desc;
    std::unique_ptr<CELBODY> module;
    Body* parent = nullptr;
    std::vector<Base*> bases;
};

struct Propellant {
    PropellantDesc desc;
};

struct Thruster {
    ThrusterDesc desc;
    Propellant* resource = nullptr;
};

struct Vessel;

struct DockPort {
    Vessel* docked = nullptr;
};

struct Vessel : Object {
    Vessel() : Object(Kind::Vessel), iface(static_cast<Object*>(this)) {}
    VESSEL iface;
    Body* gravityRef = nullptr;
    Body* surfaceRef = nullptr;
    VECTOR3 pos{0, 0, 0}, vel{0, 0, 0};
    double mass = 0;
    MATRIX3 attitude = Identity();
    std::vector<std::unique_ptr<Propellant>> propellants;
    std::vector<std::unique_ptr<Thruster>> thrusters;
    std::vector<std::pair<THGROUP_TYPE, std::vector<Thruster*>>> groups;
    std::vector<std::unique_ptr<DockPort>> docks;
};

// The world: every object the host holds, the simulation MJD, the focus vessel and the log.
struct World {
    std::vector<std::unique_ptr<Body>> bodies;
    std::vector<std::unique_ptr<Base>> bases;
    std::vector<std::unique_ptr<Vessel>> vessels;
    std::unordered_set<const void*> handles;
    Vessel* focus = nullptr;
    double mjd = 51544.5;
    std::string lastError;
    FILE* log = nullptr;  // null: stderr
};

// The one world of the process.
World& W();

// Lookups that accept any handle and answer null for what the world does not hold.
Body* AsBody(const void* h);
Base* AsBase(const void* h);
Vessel* AsVessel(const void* h);
Object* AsObject(const void* h);
Thruster* AsThruster(const Vessel* v, const void* h);
Propellant* AsPropellant(const Vessel* v, const void* h);

// Records msg as the last error and writes it to the host log; returns false.
bool Fail(const std::string& msg);

// A body's rotation angle at mjd, in [0, 2 pi).
double RotationAngle(const Body* b, double mjd);

// States in the host frame at the current simulation MJD.
VECTOR3 GlobalPos(const Object* o);
VECTOR3 GlobalVel(const Object* o);

}  // namespace zaq::hostsim::detail
