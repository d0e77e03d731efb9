// Small standalone-host worlds for tests: a fixture base that starts every test from an empty
// world at a chosen date, and builders for the bodies and vessels the tests put into it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "zaq/hostsim.h"

namespace zaq::test {

/// Fixture base: each test starts from an empty world at simulation MJD `mjd`. A derived
/// fixture that builds more calls HostWorld::SetUp() first.
class HostWorld : public ::testing::Test {
protected:
    explicit HostWorld(double mjd = 51544.5) : mjd_(mjd) {}
    void SetUp() override {
        hostsim::Reset();
        hostsim::SetSimMJD(mjd_);
    }

private:
    double mjd_;
};

/// d named `name`, at `pos` and moving with `vel` about its reference: the fields bodies and
/// vessels share.
template <class Desc>
Desc Placed(Desc d, const std::string& name, const VECTOR3& pos, const VECTOR3& vel) {
    d.name = name;
    d.pos = pos;
    d.vel = vel;
    return d;
}

/// A body of `mass` (kg) and mean radius (m) about `parent` (none: the root), at `pos` and
/// moving with `vel` about it. Its state and its rotation hold at the world's current date.
inline hostsim::BodyDesc Body(const std::string& name, double mass, double radius = 0.0,
                              OBJHANDLE parent = nullptr, const VECTOR3& pos = {0, 0, 0},
                              const VECTOR3& vel = {0, 0, 0}) {
    hostsim::BodyDesc b;
    b.mass = mass;
    b.radius = radius;
    b.parent = parent;
    b.epoch = b.rotation.epoch = oapiGetSimMJD();
    return Placed(b, name, pos, vel);
}

/// A body on the Keplerian elements `el` about `parent`, holding at the world's current date.
inline hostsim::BodyDesc Orbiting(const std::string& name, double mass, double radius,
                                  OBJHANDLE parent, const ELEMENTS& el) {
    hostsim::BodyDesc b = Body(name, mass, radius, parent);
    b.motion = hostsim::Motion::Elements;
    b.elements = el;
    return b;
}

/// A vessel of total `mass` (kg) with `docks` docking ports, at `pos` with `vel` about
/// `gravityRef`.
inline hostsim::VesselDesc Vessel(const std::string& name, OBJHANDLE gravityRef, double mass,
                                  int docks = 0, const VECTOR3& pos = {0, 0, 0},
                                  const VECTOR3& vel = {0, 0, 0}) {
    hostsim::VesselDesc v;
    v.gravityRef = gravityRef;
    v.mass = mass;
    v.dockCount = docks;
    return Placed(v, name, pos, vel);
}

}  // namespace zaq::test
