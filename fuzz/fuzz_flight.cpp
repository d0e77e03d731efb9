// The flight interface driven as a program might misuse it: the input is a sequence of calls on
// one scenario (of any type) on the built-in solar system: vessels with degenerate states, events
// and manoeuvres of every kind, callbacks that delete their own event, another vessel's
// manoeuvre or the vessel, or abort; steps, Goto and AutoStep with any span, NaN and infinity;
// restarts, clock moves and the dump. After every call the tables stay within their limits and
// the clock has moved only as asked; after every step a vessel whose state was finite is finite
// still. The work of
// one input is bounded: at most 48 calls, and Goto at most 0.05 days ahead.
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzz.h"
#include "zaq/flight.h"
#include "zaq/hostsim.h"
#include "zaq/sol.h"

namespace fs = std::filesystem;
using zaq::fuzz::Bytes;
using zaq::fuzz::Check;

namespace {

constexpr int kMaxCalls = 48;
constexpr double kMaxGotoDays = 0.05;

// The model and two host vessels, set up once in a private directory.
struct World {
    double mjd = 0;
    CSol sol;
    OBJHANDLE earthVessel = nullptr, marsVessel = nullptr;
};

World& Model() {
    static World* world = [] {
        char name[] = "/tmp/zaq_fuzz_flight_XXXXXX";
        if (!mkdtemp(name)) std::abort();
        static const fs::path dir = name;
        // The host installation's files in the source tree, beside this file's folder.
        const fs::path data = fs::path(__FILE__).parent_path().parent_path() / "data";
        fs::copy(data / "Config", dir / "Config", fs::copy_options::recursive);
        fs::current_path(dir);
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(dir, ec);
        });
        auto* w = new World;
        w->mjd = zaq::hostsim::MjdFromUTC(2026, 9, 17);
        zaq::hostsim::LoadSolarSystem(w->mjd);
        ErrorLog = nullptr;
        if (w->sol.Setup("Config/Sol.cfg", 1.0, nullptr) != 0) std::abort();
        zaq::hostsim::VesselDesc d;
        d.name = "leo", d.gravityRef = oapiGetGbodyByName("Earth"), d.mass = 1000;
        d.pos = {6.8e6, 0, 0}, d.vel = {0, 0, 7.6e3};
        w->earthVessel = zaq::hostsim::AddVessel(d);
        d.name = "rover", d.gravityRef = oapiGetGbodyByName("Mars");
        w->marsVessel = zaq::hostsim::AddVessel(d);
        return w;
    }();
    return *world;
}

// One input's run: the scenario, the bytes, and what the checks compare against.
struct Run {
    CFlight* flight;
    Bytes* in;
    const std::string* input;
};

bool Finite(const VECTOR3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

cfVessel* AnyVessel(Run& r) {
    const int n = r.flight->GetVesselCount();
    return n > 0 ? r.flight->GetVessel(r.in->Pick(n)) : nullptr;
}

// What a callback does, as the input says; the library refuses what it must refuse.
void Misbehave(Run& r, cfVessel* own, cfEvent* event) {
    switch (r.in->Pick(7)) {
        case 0:
            if (own && event) own->DeleteEvent(event);
            break;
        case 1:
            r.flight->Abort(r.in->Pick(5) - 2);
            break;
        case 2:
            if (cfVessel* v = AnyVessel(r))
                if (v->GetManeuverCount() > 0) v->DeleteManeuver(v->GetManeuver(0));
            break;
        case 3:
            if (own) r.flight->DeleteVessel(own);
            break;
        case 4:
            r.flight->Step(10);
            break;
        case 5:
            if (event) {
                VECTOR3 p, v;
                double mjd;
                event->GetStateVectors(&p, &v, &mjd);
            }
            break;
        default:
            break;
    }
}

int OnEvent(void* data, cfEvent* e) {
    Misbehave(*static_cast<Run*>(data), e->GetVessel(), e);
    return 0;
}

int OnManeuver(void* data, int, cfManeuver* m) {
    Misbehave(*static_cast<Run*>(data), m->GetVessel(), nullptr);
    return 0;
}

int OnReference(void* data, CFlight*, cfVessel* v, short, short) {
    Misbehave(*static_cast<Run*>(data), v, nullptr);
    return 0;
}

void CheckTables(Run& r) {
    const CFlight& f = *r.flight;
    Check(f.GetVesselCount() >= 0 && f.GetVesselCount() <= 64, "vessel count", *r.input);
    for (int i = 0; i < f.GetVesselCount(); ++i) {
        const cfVessel* v = f.GetVessel(i);
        Check(v != nullptr, "a null vessel in the table", *r.input);
        Check(v->GetEventCount() >= 0 && v->GetEventCount() <= 8, "event count", *r.input);
        Check(v->GetManeuverCount() >= 0 && v->GetManeuverCount() <= 8, "manoeuvre count",
              *r.input);
        Check(v->GetNextManeuverIndex() >= 0 &&
                  v->GetNextManeuverIndex() <= v->GetManeuverCount() + 8,
              "next manoeuvre index", *r.input);
        Check(v->GetSourceCount() >= 0 && v->GetSourceCount() <= f.GetCount(), "source count",
              *r.input);
    }
}

// The vessels whose state and engine are finite now.
std::vector<const cfVessel*> FiniteVessels(const CFlight& f) {
    std::vector<const cfVessel*> out;
    for (int i = 0; i < f.GetVesselCount(); ++i) {
        const cfVessel* v = f.GetVessel(i);
        // The engine counts too: a flow that is not a number reaches the mass in a step.
        if (Finite(v->GetPosition()) && Finite(v->GetVelocity()) && std::isfinite(v->GetMass()) &&
            std::isfinite(v->GetForce()) && std::isfinite(v->GetFuelRate()) &&
            Finite(v->GetThrustVector()))
            out.push_back(v);
    }
    return out;
}

void CheckStillFinite(Run& r, const std::vector<const cfVessel*>& before) {
    for (const cfVessel* v : before) {
        if (!r.flight->IsValidVessel(v)) continue;  // deleted meanwhile
        Check(Finite(v->GetPosition()) && Finite(v->GetVelocity()) && std::isfinite(v->GetMass()),
              "a finite vessel state became non-finite", *r.input);
    }
}

void Call(Run& r, World& w) {
    CFlight& f = *r.flight;
    Bytes& in = *r.in;
    const double before = f.GetMJD();
    const std::vector<const cfVessel*> finite = FiniteVessels(f);
    const int call = in.Pick(16);
    switch (call) {
        case 0: {  // a vessel from a state: about a body of the table or not
            const short ref = static_cast<short>(in.Pick(f.GetCount() + 2) - 1);
            const double scale = in.Pick(2) ? 1e5 : 1e3;
            const VECTOR3 pos = in.Vector(scale) + VECTOR3{6.8e6, 0, 0},
                          vel = in.Vector(scale / 100);
            f.CreateVessel(ref, pos, vel, in.Number(100));
            break;
        }
        case 1:
            if (in.Pick(3) == 0) {
                f.CreateVessel(static_cast<VESSEL*>(nullptr));
            } else if (in.Pick(2)) {
                VESSEL host(in.Pick(2) ? w.earthVessel : w.marsVessel);
                f.CreateVessel(&host);
            } else {
                f.CreateVessel();
            }
            break;
        case 2:
            if (cfVessel* v = AnyVessel(r)) {
                static const int kTypes[] = {
                    EVENT_PERIAPSIS, EVENT_APOAPSIS,     EVENT_NODE_ASN,
                    EVENT_NODE_DSN,  EVENT_DISTANCE_ASN, EVENT_DISTANCE_DSN,
                    EVENT_ANGLE,     EVENT_SAMEREF,      EVENT_INRANGE};
                int type = 0;
                for (int k = in.Pick(4); k >= 0; --k) type |= kTypes[in.Pick(9)];
                const short ref = static_cast<short>(in.Pick(f.GetCount() + 2) - 1);
                cfEvent* e = v->AddEvent(type, ref, in.Pick(4) ? OnEvent : nullptr, &r);
                const VECTOR3 axis = in.Vector(1);
                if (e) e->SetAngle(axis, in.Number(1e6));
            }
            break;
        case 3:
            if (cfVessel* v = AnyVessel(r)) {
                const int mode = in.Pick(64);
                const double ign = before + in.Number(0.001);
                const VECTOR3 thrust = in.Vector(10);
                const double force = in.Number(1e3), flow = in.Number(1);
                cfManeuver* m = v->AddManeuver(mode, ign, thrust, -1, force, flow);
                if (m && in.Pick(2)) m->SetCallback(OnManeuver, &r);
            }
            break;
        case 4: {
            const double dt = in.Number(100);
            const double made = f.Step(dt);
            if (std::getenv("ZAQ_FUZZ_TRACE")) std::fprintf(stderr, "Step(%a) = %a\n", dt, made);
            Check(made == 0 ||
                      (std::isfinite(dt) && (made > 0) == (dt > 0) &&
                       std::fabs(made) <= std::fabs(dt) * (1 + 1e-15) + 1e-300),  // days and back
                  "a step other than asked", *r.input);
            break;
        }
        case 5: {
            double ahead = in.Number(0.01);
            if (std::isfinite(ahead)) ahead = std::fmod(ahead, kMaxGotoDays);
            const double target = before + ahead;
            const int rc = f.Goto(target);
            if (!std::isfinite(target) || target < before)
                Check(rc != 0, "Goto took a bad date", *r.input);
            // Arrival within the clock's resolution at that date (a few units of its last place).
            if (rc == 0 && std::isfinite(target))
                Check(std::fabs(f.GetMJD() - target) <
                          std::max(1e-9, 16 * DBL_EPSILON * std::fabs(target)),
                      "Goto arrived elsewhere", *r.input);
            Check(f.GetMJD() >= before, "Goto went backwards", *r.input);
            break;
        }
        case 6:
            f.AutoStep();
            Check(f.GetMJD() >= before, "AutoStep went backwards", *r.input);
            break;
        case 7: {
            const double start = in.Pick(4) ? w.mjd + in.Number(0.01) : in.Number(1e5);
            const bool ok = f.SetStartMJD(start);
            if (!std::isfinite(start))
                Check(!ok && f.GetMJD() == before, "a non-finite start taken", *r.input);
            break;
        }
        case 8: {
            const double mjd = before + in.Number(0.001);
            f.SetCurrentMJD(mjd);
            if (!std::isfinite(mjd))
                Check(f.GetMJD() == before, "a non-finite clock taken", *r.input);
            break;
        }
        case 9:
            if (cfVessel* v = AnyVessel(r)) f.DeleteVessel(v);
            break;
        case 10:
            if (cfVessel* v = AnyVessel(r)) {
                if (v->GetEventCount() > 0)
                    v->DeleteEvent(v->GetEvent(in.Pick(v->GetEventCount())));
                if (in.Pick(2) && v->GetManeuverCount() > 0)
                    v->DeleteManeuver(v->GetManeuver(in.Pick(v->GetManeuverCount())));
            }
            break;
        case 11:
            f.Dump(in.Pick(4) ? "flight.html" : "no/such/dir/flight.html");
            break;
        case 12:
            if (in.Pick(2))
                f.SetOption(in.Pick(4));
            else
                f.ClearOption(in.Pick(4));
            break;
        case 13:
            switch (in.Pick(3)) {
                case 0:
                    f.SetTruncationLimit(in.Number(0.01));
                    break;
                case 1:
                    f.SetSafetyLimit(in.Pick(2) ? 0 : before + in.Number(0.001));
                    break;
                default: {
                    const short body = static_cast<short>(in.Pick(f.GetCount() + 1));
                    f.SetSOIOverride(body, in.Number(1e6));
                }
            }
            break;
        case 14:
            if (cfVessel* v = AnyVessel(r)) {
                switch (in.Pick(4)) {
                    case 0: {
                        const double mass = in.Number(100), force = in.Number(100);
                        v->SetThrustSpecs(mass, force, in.Number(1));
                        break;
                    }
                    case 1:
                        v->SetThrustVector(in.Vector(10));
                        v->SetThrustMode(in.Pick(64), -1);
                        break;
                    case 2:
                        v->ClearSources();
                        for (int k = in.Pick(4); k > 0; --k)
                            v->AddSource(static_cast<short>(in.Pick(f.GetCount())));
                        v->InitSources();
                        break;
                    default: {
                        const VECTOR3 pos = in.Vector(1e6), vel = in.Vector(1e3);
                        v->SetPosVel(v->GetReference(), pos, vel);
                    }
                }
            }
            break;
        default:
            f.SetRefCallback(in.Pick(2) ? OnReference : nullptr, &r);
            f.SetTrjCallback(in.Pick(2) ? OnEvent : nullptr, &r);
            f.SetMnrCallback(in.Pick(2) ? OnManeuver : nullptr, &r);
    }
    // ZAQ_FUZZ_TRACE=1 shows the calls and the vessels after each (to read a finding).
    static const bool trace = std::getenv("ZAQ_FUZZ_TRACE") != nullptr;
    if (trace) {
        std::fprintf(stderr, "call %d: mjd %.9f -> %.9f\n", call, before, f.GetMJD());
        for (int i = 0; i < f.GetVesselCount(); ++i) {
            const cfVessel* v = f.GetVessel(i);
            const VECTOR3 p = v->GetPosition(), u = v->GetVelocity();
            std::fprintf(stderr, "  vessel %d ref %d state %d m %g r (%g %g %g) v (%g %g %g)\n", i,
                         v->GetReference(), v->GetState(), v->GetMass(), p.x, p.y, p.z, u.x, u.y,
                         u.z);
        }
    }
    CheckTables(r);
    // Stepping never makes a finite state non-finite (the setters take what they are given).
    if (call >= 4 && call <= 6) CheckStillFinite(r, finite);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    World& w = Model();
    ErrorLog = nullptr;
    Bytes in(data, size);
    const std::string input(reinterpret_cast<const char*>(data), size);
    CFlight flight(&w.sol, in.Pick(8));
    Run run{&flight, &in, &input};
    flight.SetStartMJD(w.mjd);
    for (int call = 0; call < kMaxCalls && !in.Empty(); ++call) Call(run, w);
    return 0;
}
