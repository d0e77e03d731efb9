// Events, manoeuvres, the Earth-Moon reference change, callbacks and the contents dump, judged
// by the analytic conic, the rocket equation and the orbital energy.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/capture_log.h"
#include "tests/integrators.h"
#include "tests/sol_dir.h"
#include "tests/tolerance.h"
#include "tests/two_body.h"
#include "zaq/constants.h"
#include "zaq/flight.h"
#include "zaq/vector3.h"

namespace {

using zaq::test::CaptureErrorLog;
using zaq::test::kSolMjd;
constexpr double kDay = zaq::kSecondsPerDay;

int Count(const std::string& s, const std::string& text) {
    int n = 0;
    for (size_t p = s.find(text); p != std::string::npos; p = s.find(text, p + 1)) n++;
    return n;
}
int Push(void* codes, int code) {
    static_cast<std::vector<int>*>(codes)->push_back(code);
    return 0;
}

// An event that also shows the end date of the step it tests, and reports codes of its own.
class Probe : public cfEvent {
public:
    using cfEvent::cfEvent;
    double PostMJD() const { return fPostMJD; }
    void Fire(int code) { Report(code); }
};

// What event callbacks saw, and an action run inside each callback.
struct Recorder {
    struct Seen {
        const cfEvent* event;
        VECTOR3 r, v;
        double mjd, pre, post;
    };
    std::vector<Seen> seen;
    std::function<void(cfEvent*)> action;
    static int Callback(void* self, cfEvent* e) {
        Seen s{e, {0, 0, 0}, {0, 0, 0}, 0, 0, NAN};
        VECTOR3 r0, v0;
        e->GetPreStepState(&r0, &v0, &s.pre);
        if (auto* p = dynamic_cast<Probe*>(e)) s.post = p->PostMJD();
        e->GetStateVectors(&s.r, &s.v, &s.mjd);
        static_cast<Recorder*>(self)->seen.push_back(s);
        if (static_cast<Recorder*>(self)->action) static_cast<Recorder*>(self)->action(e);
        return 0;
    }
};

// A Kepler orbit about a point-mass Earth, inclined by inc to Earth's equator, its periapsis
// the angle w past the ascending node; times run from a periapsis passage.
struct Conic {
    double mu, a, e, n;
    VECTOR3 P, Q;
    Conic(const CFlight& f, double a_, double e_, double inc, double w) : a(a_), e(e_) {
        const VECTOR3 p = f.GetGravity(f.GetEarthId())->rotationAxis;
        const VECTOR3 x = unit(otk::Perpendicular(p)), y = CrossProduct(p, x);
        const VECTOR3 up = y * std::cos(inc) + p * std::sin(inc);
        mu = zaq::kG * f.GetMass(f.GetEarthId());
        n = std::sqrt(mu / (a * a * a));
        P = x * std::cos(w) + up * std::sin(w);
        Q = up * std::cos(w) - x * std::sin(w);
    }
    double Period() const { return PI2 / n; }
    zaq::test::TwoBodyState State(double nu) const {
        const double p = a * (1 - e * e), r = p / (1 + e * std::cos(nu)), s = std::sqrt(mu / p);
        return {(P * std::cos(nu) + Q * std::sin(nu)) * r,
                (Q * (e + std::cos(nu)) - P * std::sin(nu)) * s};
    }
    double Time(double nu) const {
        const double E = 2 * std::atan2(std::sqrt(1 - e) * std::sin(nu / 2),
                                        std::sqrt(1 + e) * std::cos(nu / 2));
        return NormalizeAngle(E - e * std::sin(E)) / n;
    }
};

class Events : public zaq::test::SolDirTest, public ::testing::WithParamInterface<int> {
protected:
    // A type 4 scenario at the model's date with point-mass bodies and the test's integrator.
    std::unique_ptr<CFlight> Start() {
        auto f = std::make_unique<CFlight>(sol_, 4);
        f->SetIntegrator(GetParam());
        EXPECT_TRUE(f->SetStartMJD(kSolMjd));
        f->SetOption(CF_POINTMASS);
        return f;
    }
    // A vessel of 1000 kg at true anomaly nu of the conic, attracted by Earth alone.
    static cfVessel* Fly(CFlight& f, const Conic& c, double nu) {
        const zaq::test::TwoBodyState s = c.State(nu);
        cfVessel* v = f.CreateVessel(f.GetEarthId(), s.r, s.v, 1000);
        v->ClearSources();
        v->AddSource(f.GetEarthId());
        v->InitSources();
        return v;
    }
};

TEST_P(Events, EachPassageOfTheConicIsReportedOnceWithItsState) {
    auto f = Start();
    const double nu0 = 0.3, w = 1.0, D = 1.2e7, e = 0.2;
    const Conic c(*f, D, e, 0.5, w);
    cfVessel* v = Fly(*f, c, nu0);
    const double nuD = std::acos(-e);  // where r = a
    const struct {
        int type;
        double nu;  // anomaly of the condition; NAN: never reported
        double value;
    } kinds[] = {{EVENT_PERIAPSIS, 0, 0},
                 {EVENT_APOAPSIS, M_PI, 0},
                 {EVENT_NODE_ASN, PI2 - w, 0},
                 {EVENT_NODE_DSN, M_PI - w, 0},
                 {EVENT_DISTANCE_ASN, nuD, D},
                 {EVENT_DISTANCE_DSN, PI2 - nuD, D},
                 // only the periapsis lies inside the range a
                 {EVENT_PERIAPSIS | EVENT_APOAPSIS | EVENT_INRANGE, 0, D},
                 {EVENT_PERIAPSIS | EVENT_NODE_ASN | EVENT_SAMEREF, NAN, 0}};
    Recorder rec;
    std::vector<cfEvent*> events;
    for (const auto& k : kinds) {
        const short ref = std::isnan(k.nu) ? f->GetMoonId() : f->GetEarthId();
        events.push_back(v->AddEvent(new Probe(k.type, ref, Recorder::Callback, &rec)));
        events.back()->SetAngle(f->GetGravity(f->GetEarthId())->rotationAxis, k.value);
    }
    EXPECT_EQ(v->GetEventCount(), 8);
    EXPECT_EQ(v->AddEvent(EVENT_APOAPSIS, 0, nullptr, nullptr), nullptr);

    const double t0 = c.Time(nu0), T = c.Period(), revolutions = 3;
    ASSERT_EQ(f->Goto(kSolMjd + revolutions * T / kDay), 0);
    for (size_t i = 0; i < events.size(); i++) {
        const double nu = kinds[i].nu, tk = c.Time(nu);
        int reports = 0;
        for (const Recorder::Seen& s : rec.seen) {
            if (s.event != events[i]) continue;
            reports++;
            // The nearest analytic passage, in seconds from the periapsis before the start.
            const double tau = (s.mjd - kSolMjd) * kDay + t0;
            const double expected = tk + std::round((tau - tk) / T) * T;
            EXPECT_NEAR(tau, expected, 1.0) << kinds[i].type;
            EXPECT_TRUE(zaq::test::Near(s.r, c.State(nu).r, 2.0)) << kinds[i].type;
            EXPECT_TRUE(zaq::test::Near(s.v, c.State(nu).v, 2e-3)) << kinds[i].type;
            EXPECT_LE((s.pre - kSolMjd) * kDay + t0, expected + 1e-3);
            EXPECT_GE((s.post - kSolMjd) * kDay + t0, expected - 1e-3);
        }
        EXPECT_EQ(reports, std::isnan(nu) ? 0 : revolutions) << kinds[i].type;
    }
}

TEST_P(Events, BurnsFollowTheRocketEquationAndAddTheirEnergy) {
    // Two prograde burns of 100 m/s each with 1000 N and 1 kg/s from 1000 kg, the second at the
    // cut-off of the first: set on the manoeuvres, or left to the vessel's own engine.
    const struct { double force, rate; } cases[] = {{1000, 1}, {0, 0}};
    const double t1 = 1000 * (1 - std::exp(-0.1));  // m0 (1 - e^(-dv/ve)) / rate
    for (const auto& k : cases) {
        auto f = Start();
        const Conic c(*f, 7e6, 0, 0.3, 0);
        cfVessel* v = Fly(*f, c, 0);
        if (k.force == 0) v->SetThrustSpecs(1000, 1000, 1);
        const double ign = kSolMjd + 100 / kDay;
        const int mode = THRUST_LOCAL | THRUST_ACCLOCAL;
        cfManeuver* m = v->AddManeuver(mode, ign, {100, 0, 0}, -1, k.force, k.rate);
        cfManeuver* m2 = v->AddManeuver(mode, ign + t1 / kDay, {100, 0, 0}, -1, k.force, k.rate);
        std::vector<int> codes;
        m->SetCallback([](void* p, int c, cfManeuver*) { return Push(p, c); }, &codes);
        auto energy = [&] {
            return dotp(v->GetVelocity(), v->GetVelocity()) / 2 - c.mu / Length(v->GetPosition());
        };
        const double e0 = energy();
        const std::string log = CaptureErrorLog([&] {
            EXPECT_NEAR(f->Step(600), 100, 1e-6);  // ends on the ignition
            EXPECT_NEAR(f->Step(-50), -50, 1e-9);  // backwards: nothing ignites
            EXPECT_FALSE(m->IsBurning());
            EXPECT_EQ(v->GetThrustMode(), 0);
            ASSERT_EQ(f->Goto(ign + 400 / kDay), 0);
        });
        EXPECT_EQ(codes, (std::vector<int>{MNR_IGNITION, MNR_STARTED, MNR_SHUTDOWN}));
        // The second manoeuvre reports through the scenario's logger.
        EXPECT_EQ(Count(log, "Engine Ignition: cfManeuver=0x" + zaq::test::Hex(m2)), 1);
        EXPECT_EQ(Count(log, "Engine Shutdown: cfManeuver=0x" + zaq::test::Hex(m2)), 1);
        EXPECT_NEAR((m->GetCutoffMJD() - ign) * kDay, t1, 1e-6);
        EXPECT_NEAR(m2->GetIgnitionMass(), 1000 * std::exp(-0.1), 1e-6);
        EXPECT_NEAR(v->GetMass(), 1000 * std::exp(-0.2), 1e-6);
        EXPECT_TRUE(zaq::test::Near(v->GetDVAccumulation(1), {100, 0, 0}, 1e-6));
        EXPECT_EQ(v->GetNextManeuverIndex(), 2);
        EXPECT_EQ(v->GetThrustMode(), 0);
        EXPECT_TRUE(v->DeleteManeuver(m));  // a finished one: the next stays the next
        EXPECT_EQ(v->GetNextManeuverIndex(), 1);
        // Thrust along the velocity adds v dv per unit dv: an impulse of 200 m/s adds
        // v0 200 + 200^2/2. Over the finite burns of T = 2 t1 the climb turns the path upwards,
        // gamma ~ a t^2 / r, and gravity takes g a^2 T^4 / (12 r) of it back (a = F/m0).
        const double r = 7e6, v0 = std::sqrt(c.mu / r), g0 = c.mu / (r * r), T = 2 * t1;
        const double loss = g0 * std::pow(T, 4) / (12 * r);
        EXPECT_CLOSE(energy() - e0, v0 * 200 + 200 * 200 / 2.0 - loss, 0, 2e-6);
        // Without propellant flow the mass stays and the change takes m dv / F.
        v->SetFuelRate(0);
        EXPECT_NEAR(v->GetBurnTime(), v->GetMass() * 100 / 1000, 1e-9);
    }
}

TEST_P(Events, OneGotoFliesBurnsThatCutAStepToAFragment) {
    // Ignitions 0.2 s and 50 s after the start: the first step ends on the ignition, the next
    // proposal must still be a real step, and the burn ends by the rocket equation.
    for (double lead : {0.2, 50.0}) {
        auto f = Start();
        cfVessel* v = Fly(*f, Conic(*f, 7e6, 0, 0.3, 0), 0);
        v->AddManeuver(THRUST_LOCAL | THRUST_ACCLOCAL, kSolMjd + lead / kDay, {100, 0, 0}, -1, 1000,
                       1);
        EXPECT_EQ(f->Goto(kSolMjd + 400 / kDay), 0) << lead;
        EXPECT_NEAR(v->GetMass(), 1000 * std::exp(-0.1), 1e-6) << lead;
    }
}

TEST_P(Events, VesselsPassBetweenEarthAndMoonOnceAcrossTheBoundary) {
    auto f = Start();
    const short earth = f->GetEarthId(), moon = f->GetMoonId();
    const int csMoon = f->GetCSId(moon);
    VECTOR3 mp, mv;
    ASSERT_TRUE(sol_->GetEphemTruePosVel(csMoon, kSolMjd, &mp, &mv));
    const double B = f->GetSOI(moon), devMoon = sol_->GetData(csMoon, CSD_DEVIATION),
                 devEarth = sol_->GetData(f->GetCSId(earth), CSD_DEVIATION);
    const VECTOR3 out = unit(CrossProduct(mp, mv));  // off the Moon, across its path
    const struct {
        short ref;
        double distance;  // from the Moon's centre
        short expected;
    } cases[] = {{earth, 1e7, moon},
                 {earth, B - devEarth - 1e3, moon},
                 {earth, B - devEarth / 2, earth},
                 {moon, B + devMoon / 2, moon},
                 {moon, B + devMoon + 1e3, earth}};
    for (const auto& k : cases) {
        auto g = Start();
        // At rest beside the Moon.
        VECTOR3 r = out * k.distance, w{0, 0, 0};
        if (k.ref == earth) r += mp, w += mv;
        cfVessel* v = g->CreateVessel(k.ref, r, w, 1);
        struct Seen {
            int calls;
            short from, to;
            VECTOR3 r, w;
        } seen{0, -1, -1, {}, {}};
        g->SetRefCallback(
            [](void* s, CFlight*, cfVessel* x, short from, short to) {
                Seen& p = *static_cast<Seen*>(s);
                p = {p.calls + 1, from, to, x->GetPosition(), x->GetVelocity()};
                return 0;
            },
            &seen);
        for (int i = 0; i < 5; i++) ASSERT_EQ(g->Step(60), 60);
        EXPECT_EQ(v->GetReference(), k.expected) << k.distance;
        const bool moved = k.expected != k.ref;
        EXPECT_EQ(seen.calls, moved ? 1 : 0) << k.distance;
        if (!moved) continue;
        EXPECT_EQ(seen.from, k.ref);
        EXPECT_EQ(seen.to, k.expected);
        // Moved before the first step, by the Moon's exact state.
        const double s = k.ref == moon ? 1 : -1;
        EXPECT_TRUE(zaq::test::Near(seen.r, r + mp * s, 1e-6, 1e-15));
        EXPECT_TRUE(zaq::test::Near(seen.w, w + mv * s, 1e-9));
    }
}

TEST_P(Events, CallbacksMayAbortOrDeleteTheirOwnEvents) {
    cfVessel* v = nullptr;
    CFlight* f = nullptr;
    const struct {
        const char* name;
        std::function<void(cfEvent*)> action;
        int code;            // Goto's result
        int reports;         // of the event; -1: every passage
        int left;            // events left on the vessel
        const char* logged;  // and how often, once or three times a passage
        int logs;
    } cases[] = {
        {"abort", [&](cfEvent*) { f->Abort(7); }, 7, 1, 1, "", 0},
        {"abort 0", [&](cfEvent*) { f->Abort(0); }, 1, 1, 1, "", 0},
        {"delete itself",
         [&](cfEvent* e) {
             v->DeleteEvent(e);
             VECTOR3 r{0, 0, 0};
             e->GetStateVectors(&r, nullptr, nullptr);
             EXPECT_GT(Length(r), 1e6);
         },
         0, 1, 0, "", 0},
        {"delete all", [&](cfEvent*) { v->DeleteAllEvents(); }, 0, 1, 0, "", 0},
        {"delete the vessel or step",
         [&](cfEvent*) { EXPECT_FALSE(f->DeleteVessel(v) || f->Step(10) || f->Goto(0) != -1); }, 0,
         -1, 1, "inside a callback", 18},
        {"angle", nullptr, 0, -1, 1, "EVENT_ANGLE not yet implemented", 6},
    };
    for (const auto& k : cases) {
        auto scenario = Start();
        f = scenario.get();
        const Conic c(*f, 1.2e7, 0.2, 0.5, 1.0);
        v = Fly(*f, c, 0.3);
        Recorder rec{{}, k.action};
        const bool angle = std::string(k.name) == "angle";
        cfEvent* e = v->AddEvent(angle ? EVENT_ANGLE : EVENT_PERIAPSIS | EVENT_APOAPSIS,
                                 f->GetEarthId(), Recorder::Callback, &rec);
        e->SetAngle(c.P, M_PI / 2);  // reached twice a revolution, as the apsides are
        f->Abort(5);                 // not stepping: no effect
        const double end = kSolMjd + 3 * c.Period() / kDay;
        const std::string log = CaptureErrorLog([&] { EXPECT_EQ(f->Goto(end), k.code); });
        EXPECT_EQ(int(rec.seen.size()), k.reports > 0 ? k.reports : 6) << k.name;
        EXPECT_EQ(v->GetEventCount(), k.left) << k.name;
        EXPECT_EQ(k.code != 0, f->GetMJD() < end - 1e-9) << k.name;
        if (*k.logged) {
            EXPECT_EQ(Count(log, k.logged), k.logs) << k.name;
        }
    }
}

TEST_P(Events, TablesReportMisuseAndTheDumpListsTheScenario) {
    auto f = Start();
    cfVessel* v = f->CreateVessel(f->GetEarthId(), {7e6, 0, 0}, {0, 7.5e3, 0}, 1);
    cfManeuver* m = v->AddManeuver(THRUST_GLOBAL, kSolMjd - 1, {1, 0, 0}, -1, 1, 1);
    for (int i = 1; i < 8; i++) v->AddManeuver(0, kSolMjd + 10, {0, 0, 0}, -1, 0, 0);
    cfEvent loose(EVENT_PERIAPSIS, 0, nullptr, nullptr);
    Probe* fired = static_cast<Probe*>(v->AddEvent(new Probe(EVENT_PERIAPSIS, 1, nullptr, 0)));
    fired->PreStep({7e6, 0, 0}, {0, 8e3, 0}, kSolMjd);  // at periapsis
    fired->SetDistance(5e3);
    const std::pair<std::string, std::function<void()>> failures[] = {
        {"Can not add more maneuvers", [&] { EXPECT_EQ(v->AddManeuver(), nullptr); }},
        {"Failed to delete event 0x" + zaq::test::Hex(&loose) + " Event doesn't exist",
         [&] { EXPECT_FALSE(v->DeleteEvent(&loose)); }},
        {"No event callback assigned",
         [&] {
             loose.PostStep({1, 0, 0}, {0, 1, 0}, 1);
         }},
        {"Func=CFlight::Dump()", [&] { f->Dump("no/such/dir/dump.html"); }},
        {"EVENT: Periapis PeD = 7e+06", [&] { fired->Fire(EVENT_PERIAPSIS); }},
        {"EVENT: Distance-Dsn Dst=5000", [&] { fired->Fire(EVENT_DISTANCE_DSN); }},
        {"[ERROR] EVENT: Reference Change (Exit)", [&] { fired->Fire(EVENT_REF_EXIT); }},
        {"EVENT: Vessel(0x" + zaq::test::Hex(v) + ") Reference Change From Earth to Moon",
         [&] { CFlight::DefEventRef(nullptr, f.get(), v, f->GetEarthId(), f->GetMoonId()); }},
        // An ignition a day late: the cut-off has passed, the burn ends at once, no step back.
        {"Maneuver allready under execution",
         [&] {
             m->Ignition();
             m->Ignition();
             EXPECT_EQ(f->Step(60), 60);
             EXPECT_FALSE(m->IsBurning());
             EXPECT_EQ(v->GetNextManeuverIndex(), 1);
         }},
    };
    for (const auto& c : failures)
        EXPECT_EQ(Count(CaptureErrorLog(c.second), c.first), 1) << c.first;

    f->Dump("flight.html");
    std::stringstream text;
    text << std::ifstream("flight.html").rdbuf();
    const std::string s = text.str();
    const std::pair<std::string, int> expected[] = {
        {"--- CFlight Configuration " + std::string(75, '-') + "<br>", 1},
        {"Number of Objects = 3 <br>Number of Vessels = 1 <br>", 1},
        {"ObjId=0, RefId=-1<br>ObjId=1, RefId=0<br>ObjId=2, RefId=1<br><br>", 1},
        {"OBJECT: ", 3},
        {"Reference:  N/A<br>", 1},
        {"Name:      Moon<br>Reference: Earth<br>InitFlags:  OPT_EPHEMERIS, <br>", 1},
        {"Minor Body List:<br>Index 0:  2<br>J2=", 1},
        {"Reference: Earth<br>IdRef:\t\t1<br>nSources:\t3<br>nEvents:\t1<br>", 1},
        {"Sources: 0,1,2,<br><br><br></body></html>", 1},
    };
    for (const auto& e : expected) EXPECT_EQ(Count(s, e.first), e.second) << e.first;
}

TEST_P(Events, RestartsAndLateIgnitionsBurnNothingTwiceOrSilently) {
    // A burn interrupted by a restart and flown again from the same start ends where the burn
    // flown once does: the engine is off from the restart to the ignition, and both manoeuvres
    // are pending again.
    VECTOR3 end[2];
    double mass[2];
    for (int restart = 0; restart < 2; restart++) {
        auto f = Start();
        cfVessel* v = Fly(*f, Conic(*f, 7e6, 0, 0.3, 0), 0);
        const VECTOR3 r = v->GetPosition(), w = v->GetVelocity();
        const double ign = kSolMjd + 100 / kDay;
        v->AddManeuver(THRUST_LOCAL, ign, {100, 0, 0}, -1, 1000, 1);
        v->AddManeuver(THRUST_LOCAL, ign + 1000 / kDay, {50, 0, 0}, -1, 1000, 1);
        if (restart) {
            ASSERT_EQ(f->Goto(ign + 50 / kDay), 0);
            ASSERT_TRUE(v->GetManeuver(0)->IsBurning());
            const std::string log = CaptureErrorLog([&] { EXPECT_TRUE(f->SetStartMJD(kSolMjd)); });
            EXPECT_EQ(Count(log, "SetStartMJD(): Thrust Active"), 1);
            EXPECT_EQ(v->GetThrustMode(), 0);
            v->SetPosVel(f->GetEarthId(), r, w);
            v->SetMass(1000);
        }
        ASSERT_EQ(f->Goto(ign + 2000 / kDay), 0);
        EXPECT_EQ(v->GetNextManeuverIndex(), 2);
        end[restart] = v->GetPosition();
        mass[restart] = v->GetMass();
    }
    EXPECT_TRUE(zaq::test::Near(end[1], end[0], 1e-6));
    EXPECT_NEAR(mass[1], mass[0], 1e-9);

    // An ignition date more than a burn time in the past: nothing burns, and both the log and
    // the manoeuvre's callback say so before the shutdown.
    auto f = Start();
    cfVessel* v = Fly(*f, Conic(*f, 7e6, 0, 0.3, 0), 0);
    cfManeuver* m = v->AddManeuver(THRUST_LOCAL, kSolMjd - 1, {100, 0, 0}, -1, 1000, 1);
    std::vector<int> codes;
    m->SetCallback([](void* p, int c, cfManeuver*) { return Push(p, c); }, &codes);
    const std::string log = CaptureErrorLog([&] { ASSERT_EQ(f->Goto(kSolMjd + 0.01), 0); });
    EXPECT_EQ(codes, (std::vector<int>{MNR_IGNITION, MNR_STARTED, MNR_MISSED, MNR_SHUTDOWN}));
    EXPECT_EQ(Count(log, "[WARNING] Maneuver 0x" + zaq::test::Hex(m) + " missed"), 1);
    EXPECT_EQ(v->GetMass(), 1000);
}

TEST_P(Events, APeriselenePassageIsSeenFromAVesselOfEarth) {
    // A fly-by 3000 km from the Moon's centre, ten minutes before periselene, flown with Earth
    // as the vessel's reference (the Moon's sphere shrunk so that the vessel stays there): the
    // periselene event's date and state agree with a two-body flight about the Moon.
    auto f = Start();
    const short earth = f->GetEarthId(), moon = f->GetMoonId();
    f->SetSOIOverride(moon, 1.0);
    const double mu = zaq::kG * f->GetMass(moon), rp = 3e6, vp = 1.2 * std::sqrt(2 * mu / rp);
    VECTOR3 mp, mv;  // the Moon about Earth as the flight has it
    ASSERT_TRUE(sol_->GetIpPosVel(f->GetCSId(moon), kSolMjd, &mp, &mv));
    const VECTOR3 x = unit(mp), y = unit(CrossProduct(CrossProduct(mp, mv), mp));
    const zaq::test::TwoBodyState s = zaq::test::FlyTwoBody(x * rp, y * vp, -600, mu);
    cfVessel* v = f->CreateVessel(earth, s.r + mp, s.v + mv, 1);
    Recorder rec;
    v->AddEvent(new Probe(EVENT_PERIAPSIS, moon, Recorder::Callback, &rec));
    ASSERT_EQ(f->Goto(kSolMjd + 1200 / kDay), 0);
    EXPECT_EQ(v->GetReference(), earth);
    ASSERT_EQ(rec.seen.size(), 1u);
    // Earth's tide adds some 0.03 m/s in ten minutes, which turns the line of apsides by about
    // 1e-5 rad: the distance, speed and date of the passage hold closer than its direction.
    EXPECT_NEAR((rec.seen[0].mjd - kSolMjd) * kDay, 600, 0.1);
    EXPECT_NEAR(Length(rec.seen[0].r), rp, 10.0);
    EXPECT_NEAR(Length(rec.seen[0].v), vp, 0.03);
    EXPECT_LT(AngleBetween(rec.seen[0].r, x), 3e-5);
}

TEST_P(Events, AnOverriddenSphereMovesTheReferenceChange) {
    // A vessel closing on the Moon at 1 km/s enters the Moon's frame where its distance falls
    // below the sphere less Earth's deviation: the Moon's own sphere, and a smaller one set.
    for (double sphere : {0.0, 3e7}) {
        auto f = Start();
        const short earth = f->GetEarthId(), moon = f->GetMoonId();
        if (sphere > 0) f->SetSOIOverride(moon, sphere);
        const double B = f->GetSOI(moon);
        const double threshold = B - sol_->GetData(f->GetCSId(earth), CSD_DEVIATION);
        VECTOR3 mp, mv;
        ASSERT_TRUE(sol_->GetEphemTruePosVel(f->GetCSId(moon), kSolMjd, &mp, &mv));
        const VECTOR3 out = unit(CrossProduct(mp, mv));
        cfVessel* v = f->CreateVessel(earth, mp + out * (B + 2e5), mv - out * 1e3, 1);
        double entered = 0;
        f->SetRefCallback(
            [](void* d, CFlight*, cfVessel* x, short, short) {
                *static_cast<double*>(d) = Length(x->GetPosition());
                return 0;
            },
            &entered);
        for (int i = 0; i < 100 && v->GetReference() == earth; i++) ASSERT_EQ(f->Step(60), 60);
        EXPECT_EQ(v->GetReference(), moon) << sphere;
        // Inside the threshold by less than a step's travel.
        EXPECT_LT(entered, threshold) << sphere;
        EXPECT_GT(entered, threshold - 70e3) << sphere;
    }
}

INSTANTIATE_TEST_SUITE_P(Integrators, Events, zaq::test::Integrators(), zaq::test::IntegratorName);

}  // namespace
