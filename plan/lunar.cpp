// A departure from a parking orbit to a body that moves about the departure body (Earth to the
// Moon): the least-dv impulsive ignition, and the finite burn that a stage of given thrust and
// propellant flow flies to pass the Moon at a chosen periselene, corrected by flying it through
// the scenario of the Sun, Earth and Moon.
#include <cmath>
#include <memory>
#include <utility>

#include "plan/internal.h"
#include "zaq/adaptors.h"
#include "zaq/constants.h"
#include "zaq/flight.h"
#include "zaq/guidance.h"
#include "zaq/hostsim.h"
#include "zaq/lambert.h"
#include "zaq/sol.h"
#include "zaq/solvers.h"
#include "zaq/vector3.h"

namespace zaq::plan::detail {
namespace {

constexpr int kScanPoints = 90;         // samples of one revolution of the parking orbit
constexpr double kStepAround = 1.0;     // s, the nudge past a degenerate Lambert trial
constexpr double kGuidanceTol = 1e-4;   // m/s: at the Moon some 0.2 km per 1e-4 m/s
constexpr double kTruncation = 1e-4;    // m per step of the flights of the plan
constexpr double kPeriseleneTol = 500;  // m, the aim-point correction's goal
constexpr int kMaxFlights = 10;
constexpr double kMaxBurnCost = 2;    // a finite burn's dv against the impulsive one's, at most
constexpr size_t kMaxTrack = 100000;  // points of a flown track
constexpr char kNoBurn[] = "no finite burn of this engine reaches the Moon at the arrival date";
constexpr char kNoPass[] =
    "the flown trajectory does not pass the Moon within two days of the arrival";
constexpr double kTrackAfter = 1.0;  // days flown past the periselene for the track

// ---- the least-dv impulsive ignition ----

struct IgnitionSearch {
    COrbit* park;
    VECTOR3 target;
    double earliest, arrive, mu;
};

// The burn onto the Lambert arc at s seconds after the earliest ignition; false when there is
// no arc (a degenerate half turn, or no time left).
bool BurnAt(const IgnitionSearch& s, double sec, VECTOR3* dv) {
    const double mjd = s.earliest + sec / kSecondsPerDay;
    VECTOR3 r, v, v1;
    s.park->PosVelByMJD(mjd, &r, &v);
    const double T = (s.arrive - mjd) * kSecondsPerDay;
    // The long way when the short one would run against the orbit's motion.
    const double dir = AngleBetween(CrossProduct(r, s.target), s.park->W) > M_PI / 2 ? -1 : 1;
    if (!(T > 0) || otk::LambertPN(r, s.target, T, dir, s.mu, nullptr, &v1, nullptr) <= 0)
        return false;
    *dv = v1 - v;
    return true;
}

// The burn at sec, or where that trial is degenerate the mean of the nearest good trials on
// either side (the cost is continuous through a half turn; only its Lambert solve is not).
bool BurnAround(const IgnitionSearch& s, double sec, VECTOR3* dv) {
    if (BurnAt(s, sec, dv)) return true;
    for (double d = kStepAround; d < 100; d *= 2) {
        VECTOR3 a, b;
        const bool before = BurnAt(s, sec - d, &a), after = BurnAt(s, sec + d, &b);
        if (before || after) {
            *dv = before && after ? (a + b) * 0.5 : before ? a : b;
            return true;
        }
    }
    return false;
}

int IgnitionCost(void* ctx, double sec, double* f) {
    VECTOR3 dv;
    if (!BurnAround(*static_cast<IgnitionSearch*>(ctx), sec, &dv)) return -1;
    *f = Length(dv);
    return 0;
}

// ---- the flights ----

// What a flight sees of the Moon: the passage into its sphere and the periselene.
struct Pass {
    short moon = -1;
    double soiEntry = 0;
    bool inside = false;  // the periselene was met with the Moon as reference
    double closest = INFINITY;
    VECTOR3 r{}, v{};
    double mjd = 0;
};

int OnPeriapsis(void* data, cfEvent* e) {
    Pass& p = *static_cast<Pass*>(data);
    VECTOR3 r, v;
    double mjd = 0;
    e->GetStateVectors(&r, &v, &mjd);
    // Passes of the Moon's periapsis while Earth's reference holds the vessel are only kept
    // as a closest approach; the one inside its sphere ends the flight.
    const bool inside = e->GetVessel()->GetReference() == p.moon;
    if (inside || Length(r) < p.closest) {
        p.closest = Length(r);
        p.r = r;
        p.v = v;
        p.mjd = mjd;
        p.inside = inside;
    }
    if (inside) e->GetFlight()->Abort(2);
    return 0;
}

int OnReference(void* data, CFlight* f, cfVessel*, short, short to) {
    Pass& p = *static_cast<Pass*>(data);
    if (to == p.moon && p.soiEntry == 0) p.soiEntry = f->GetMJD();
    return 0;
}

// The impact parameter vector of the hyperbola about mu through periapsis state (r, v), and the
// direction S of its incoming asymptote.
VECTOR3 ImpactVector(const VECTOR3& r, const VECTOR3& v, double mu, VECTOR3* S) {
    const VECTOR3 P = unit(r), Q = unit(v);
    const double vinf2 = dotp(v, v) - 2 * mu / Length(r);
    if (!(vinf2 > 0)) {  // bound to the Moon: the straight-line pass
        *S = Q;
        return r;
    }
    const double e = 1 + Length(r) * vinf2 / mu, s = std::sqrt(1 - 1 / (e * e));
    *S = P / e + Q * s;
    return (P * s - Q / e) * (Length(CrossProduct(r, v)) / std::sqrt(vinf2));
}

struct Setting {
    CSol* sol;
    int csEarth;
    double ignition, arrive, thrust, flow, mass;
    VECTOR3 r, v;
    Steering steering = Steering::Fixed;
    int integrator = CF_RKF78;  // of the guidance's flights and of the flown pass
    long* stepsLeft = nullptr;  // the plan's budget of integration steps, shared by its flights
};

// A flight of the plan: its steps are charged to the plan's budget when it ends.
struct Charge {
    long* left;
    void operator()(CFlight* f) const {
        if (left) *left -= f->GetStepCount();
        delete f;
    }
};
using PlanFlight = std::unique_ptr<CFlight, Charge>;

// The manoeuvre's thrust mode of a steering.
int ThrustMode(Steering steering) {
    return steering == Steering::Local ? THRUST_LOCAL : THRUST_GLOBAL;
}

// g in the local orbital frame of (r, v): velocity, v x (r x v), r x v.
VECTOR3 LocalFrame(const VECTOR3& g, const VECTOR3& r, const VECTOR3& v) {
    const VECTOR3 h = CrossProduct(r, v);
    return {dotp(g, unit(v)), dotp(g, unit(CrossProduct(v, h))), dotp(g, unit(h))};
}

PlanFlight Scenario(const Setting& s, cfVessel** vessel) {
    PlanFlight f(new CFlight(s.sol, 4), Charge{s.stepsLeft});
    // A spent budget still lets a flight try one step, which it refuses.
    if (s.stepsLeft) f->SetStepLimit(std::max(*s.stepsLeft, 1L));
    f->SetIntegrator(s.integrator);
    f->SetStartMJD(s.ignition);
    *vessel = f->CreateVessel(f->GetEarthId(), s.r, s.v, s.mass);
    return f;
}

// The burn that reaches aim at the arrival from the Earth-centred conic at cut-off.
bool SolveBurn(const Setting& s, const VECTOR3& aim, const VECTOR3& guess, LambertAP* g) {
    cfVessel* vessel = nullptr;
    auto f = Scenario(s, &vessel);
    g->SetCFlight(f.get(), vessel);
    g->SetThrustSpecs(s.mass, s.thrust, s.flow);
    g->SetIgnitionState(s.csEarth, s.r, s.v, s.ignition);
    g->SetLambertAimPoint(aim, s.arrive);
    g->SetTolerance(kGuidanceTol);
    g->SetAttitudeMode(s.steering == Steering::Local ? LAP_LOCAL : LAP_GLOBAL);
    g->SetVerbose(1);
    return g->ProcessCase(&guess) == 0;
}

// Flies the burn as a manoeuvre through the scenario until the periselene. The burn is flown
// to its cut-off on its own: a step the clock shortens to end on the cut-off would otherwise
// set the length of the next one, and a very short one stops the flight.
Pass FlyBurn(const Setting& s, const VECTOR3& thrust, double cutoff) {
    cfVessel* vessel = nullptr;
    auto f = Scenario(s, &vessel);
    Pass p;
    p.moon = f->GetMoonId();
    f->SetTruncationLimit(kTruncation);
    f->SetRefCallback(OnReference, &p);
    vessel->AddManeuver(ThrustMode(s.steering), s.ignition, thrust, -1, s.thrust, s.flow);
    vessel->AddEvent(EVENT_PERIAPSIS, p.moon, OnPeriapsis, &p);
    if (f->Goto(cutoff) == 0) f->Goto(s.arrive + 2);
    if (!p.inside) return p;
    // The event gives the periselene of the conic that osculated at the start of its step, which
    // the Earth's pull has moved since: the flight steps on to where r.v = 0 (Newton steps with
    // d(r.v)/dt = v^2 - mu/r), from the end of that step.
    const double mu = kG * f->GetMass(p.moon);
    f->SetTruncationLimit(1.0);
    for (int i = 0; i < 8; i++) {
        const VECTOR3 r = vessel->GetPosition(), v = vessel->GetVelocity();
        const double dt = -dotp(r, v) / (dotp(v, v) - mu / Length(r));
        if (!(std::fabs(dt) < 3600) || f->Step(dt) == 0) break;
        p.r = vessel->GetPosition();
        p.v = vessel->GetVelocity();
        p.mjd = f->GetMJD();
        if (std::fabs(dt) < 1e-3) break;
    }
    return p;
}

// The burn flown once more from ignition to end, the end of every step kept.
std::vector<TrackPoint> Track(const Setting& s, const VECTOR3& thrust, double cutoff, double end) {
    cfVessel* vessel = nullptr;
    auto f = Scenario(s, &vessel);
    f->SetTruncationLimit(kTruncation);
    vessel->AddManeuver(ThrustMode(s.steering), s.ignition, thrust, -1, s.thrust, s.flow);
    const short earth = f->GetEarthId(), moon = f->GetMoonId();
    std::vector<TrackPoint> track;
    auto keep = [&] {
        const VECTOR3 r = vessel->GetIpPos(earth);
        track.push_back({f->GetMJD(), r, r - vessel->GetIpPos(moon)});
    };
    // The burn to its cut-off on its own, as FlyBurn does (the bodies are placed from the first
    // step on, so the track starts there).
    if (f->Goto(cutoff) != 0) return track;
    keep();
    while (f->GetMJD() < end && track.size() < kMaxTrack && f->AutoStep() == 0) keep();
    return track;
}

// ---- the ignition lead ----
// The burn is centred on the impulsive ignition by starting it a part of its burn time ahead; the
// part that spends the least dv is searched for each steering, every trial a LambertAP solve from
// the last trial's burn.

struct LeadSearch {
    Setting base;  // all but the ignition and its state
    COrbit* park;
    double impulsive, burnTime, earliest;  // MJD, s, MJD
    VECTOR3 aim, guess;
    LambertAP* g;
};

Setting SettingAt(const LeadSearch& ls, double lead) {
    Setting s = ls.base;
    s.ignition = ls.impulsive - lead * ls.burnTime / kSecondsPerDay;
    if (s.ignition < ls.earliest) s.ignition += ls.park->OPe() / kSecondsPerDay;
    ls.park->PosVelByMJD(s.ignition, &s.r, &s.v);
    return s;
}

// A lead whose trial finds no burn costs without bound, so that the search turns away from it.
int LeadCost(void* ctx, double lead, double* dv) {
    LeadSearch& ls = *static_cast<LeadSearch*>(ctx);
    if (!SolveBurn(SettingAt(ls, lead), ls.aim, ls.guess, ls.g)) {
        *dv = INFINITY;
        return 0;
    }
    ls.guess = ls.g->GetThrustVector();
    *dv = Length(ls.guess);
    return 0;
}

// The least-dv lead in [0, kMaxLead], from a bracket about half the burn time; -1 when no trial
// reaches the aim point. dv receives its burn's dv.
double BestLead(LeadSearch& ls, double* dv) {
    constexpr double kMaxLead = 1.2, kStep = 0.25, kTol = 0.004;
    double x[3] = {0.5 - kStep, 0.5, 0.5 + kStep}, f[3];
    for (int i = 0; i < 3; i++) LeadCost(&ls, x[i], &f[i]);
    // Walk the bracket downhill until its middle is the least, or a bound is reached.
    for (int walk = 0; walk < 6 && !(f[1] <= f[0] && f[1] <= f[2]); walk++) {
        const int dir = f[0] < f[2] ? -1 : 1;
        const double next = x[1 + dir] + dir * kStep;
        if (next < 0 || next > kMaxLead) break;
        if (dir < 0) {
            x[2] = x[1], f[2] = f[1], x[1] = x[0], f[1] = f[0], x[0] = next;
            LeadCost(&ls, x[0], &f[0]);
        } else {
            x[0] = x[1], f[0] = f[1], x[1] = x[2], f[1] = f[2], x[2] = next;
            LeadCost(&ls, x[2], &f[2]);
        }
    }
    const int least = f[0] < f[1] ? (f[0] < f[2] ? 0 : 2) : (f[1] < f[2] ? 1 : 2);
    if (!std::isfinite(f[least])) return -1;
    double lead = x[least];
    // Golden sections when the middle is the least of a bracket, from the last trial's burn.
    if (least == 1 && std::isfinite(f[0] + f[2]) &&
        Golden(&ls, LeadCost, x[0], x[1], x[2], kTol, &lead, 40) <= 0)
        lead = x[1];
    LeadCost(&ls, lead, dv);
    return std::isfinite(*dv) ? lead : -1;
}

}  // namespace

double LeastDvIgnition(COrbit& park, const VECTOR3& target, double depart, double arrive, double mu,
                       VECTOR3* dv) {
    IgnitionSearch s{&park, target, depart + kIgnitionDelay, arrive, mu};
    // A little more than one revolution, so that the least sample has a neighbour either side.
    const double step = park.OPe() / kScanPoints;
    double cost[kScanPoints + 2];
    int best = -1;
    for (int i = 0; i < kScanPoints + 2; i++) {
        if (IgnitionCost(&s, i * step, &cost[i]) < 0) cost[i] = INFINITY;
        if (i > 0 && i <= kScanPoints && (best < 0 || cost[i] < cost[best])) best = i;
    }
    if (!std::isfinite(cost[best])) return 0;
    double sec = best * step;
    if (Golden(&s, IgnitionCost, (best - 1) * step, sec, (best + 1) * step, 1e-9, &sec, 100) < 0)
        return 0;
    VECTOR3 burn;
    if (!BurnAround(s, sec, &burn)) return 0;
    if (dv) *dv = burn;
    return s.earliest + sec / kSecondsPerDay;
}

Result<LunarBurn> PlanLunarBurn(const TransferRequest& request, const BodyPair& pair, COrbit& park,
                                double impulsive, const VECTOR3& impulsiveDv,
                                const ProgressFn& progress, SolarModel* model) {
    // An engine whose burn would outlast the flight cannot make it: refused before any trial.
    const Engine& stage = *request.engine;
    const double stageFlow = stage.thrust / (stage.isp * kStandardGravity);
    const double impulsiveBurn =
        otk::BurnTimeBydV(Length(impulsiveDv), stage.mass, stage.thrust, stageFlow);
    const double flight = (request.arrive - impulsive) * kSecondsPerDay;
    if (!(impulsiveBurn < flight))
        return Refusal(
            "this engine would burn for %.3g s, longer than the %.3g s from the "
            "ignition to the arrival: it needs more thrust for its mass",
            impulsiveBurn, flight);
    std::unique_ptr<SolarModel> own;
    auto setUp = SetUpModel(model, own);
    if (!setUp.ok()) return Error{setUp.error() + SeeLog(model)};
    CSol& sol = *setUp.value();
    const Engine& engine = *request.engine;
    const double depart = request.depart, arrive = request.arrive;
    const double thrust = engine.thrust, mass = engine.mass;
    const double flow = engine.thrust / (engine.isp * kStandardGravity);
    const int csEarth = sol.GetId(pair.from), csMoon = sol.GetId(pair.to);
    const double muEarth = kG * sol.GetMass(csEarth), muMoon = kG * sol.GetMass(csMoon);
    const double radius = oapiGetSize(pair.to), rpGoal = radius + request.periseleneAltitude;
    VECTOR3 moon, moonVel;
    sol.GetEphemTruePosVel(csMoon, arrive, &moon, &moonVel);

    // The impulsive arc to the Moon's centre gives the approach: the pass is aimed off the
    // centre by the patched-conic impact parameter, on the side that makes it prograde about the
    // Moon (its angular momentum along the transfer's).
    VECTOR3 r1{}, v1{}, vArrive{};
    park.PosVelByMJD(impulsive, &r1, &v1);
    COrbit(r1, v1 + impulsiveDv, muEarth, impulsive).PosVelByMJD(arrive, nullptr, &vArrive);
    const VECTOR3 vinf = vArrive - moonVel, side = unit(CrossProduct(vinf, CrossProduct(r1, v1)));
    const double b = rpGoal * std::sqrt(1 + 2 * muMoon / (rpGoal * dotp(vinf, vinf)));
    VECTOR3 offset = side * b;

    // The burn's lead and steering: those asked for, else the least-dv ones.
    long stepsLeft = request.maxSteps;
    const double burnTime = otk::BurnTimeBydV(Length(impulsiveDv), mass, thrust, flow);
    LambertAP g;
    LeadSearch ls{{&sol,
                   csEarth,
                   0,
                   arrive,
                   thrust,
                   flow,
                   mass,
                   {},
                   {},
                   Steering::Fixed,
                   FlightIntegrator(request.integrator),
                   &stepsLeft},
                  &park,
                  impulsive,
                  burnTime,
                  depart + kIgnitionDelay,
                  moon + offset,
                  {},
                  &g};
    // Each steering's least-dv lead (or the lead asked for), the cheaper steering first.
    struct Choice {
        Steering steering;
        double lead, dv;
        VECTOR3 guess;
    };
    std::vector<Choice> choices;
    for (Steering mode : {Steering::Fixed, Steering::Local}) {
        if (request.steering != Steering::Auto && request.steering != mode) continue;
        ls.base.steering = mode;
        const Setting at =
            SettingAt(ls, std::isnan(request.ignitionLead) ? 0.5 : request.ignitionLead);
        ls.guess = mode == Steering::Local ? LocalFrame(impulsiveDv, at.r, at.v) : impulsiveDv;
        double dv = INFINITY, x = request.ignitionLead;
        if (std::isnan(x))
            x = BestLead(ls, &dv);
        else
            LeadCost(&ls, x, &dv);
        if (x >= 0 && std::isfinite(dv)) choices.push_back({mode, x, dv, ls.guess});
    }
    if (choices.size() == 2 && choices[1].dv < choices[0].dv) std::swap(choices[0], choices[1]);

    // The aim-point correction: the burn flown, its miss moving the aim point, until the flown
    // periselene is the one asked for. A steering that cannot get there leaves it to the other.
    std::string failure = kNoBurn + SeeLog(model);
    std::string costly;  // a steering's burn that reaches the Moon too dearly says why
    Setting s{};
    Pass pass;
    double cutoff = 0, lead = 0;
    int flights = 0;
    bool reached = false;
    Steering steering = Steering::Fixed;
    for (size_t k = 0; k < choices.size() && !reached; k++) {
        const Choice& c = choices[k];
        ls.base.steering = steering = c.steering;
        s = SettingAt(ls, lead = c.lead);
        VECTOR3 aimOffset = offset, guess = c.guess;
        for (flights = 0; flights < kMaxFlights; flights++) {
            if (!SolveBurn(s, moon + aimOffset, guess, &g)) {
                failure = kNoBurn + SeeLog(model);
                break;
            }
            guess = g.GetThrustVector();
            if (Length(guess) > kMaxBurnCost * Length(impulsiveDv)) {
                costly = "the finite burn of this engine that reaches the Moon costs " +
                         ValueText(Length(guess) / 1e3, 4) + " km/s, more than twice the " +
                         "impulsive " + ValueText(Length(impulsiveDv) / 1e3, 4) +
                         " km/s: it needs more thrust for its mass";
                failure = costly;
                break;
            }
            VECTOR3 rc, vc;
            g.GetCutOffState(&rc, &vc, &cutoff);
            pass = FlyBurn(s, guess, cutoff);
            if (pass.closest == INFINITY) {
                failure = kNoPass;
                break;
            }
            const double rp = Length(pass.r);
            if (progress)
                progress({double(flights + 1), double(kMaxFlights), rp - radius, nullptr});
            if (pass.inside && std::fabs(rp - rpGoal) < kPeriseleneTol) {
                reached = true;
                offset = aimOffset;
                break;
            }
            failure =
                "the flown trajectory could not be brought to the periselene asked for "
                "(closest " +
                ValueText((rp - radius) / 1e3, 4) + " km)";
            // The miss of the flown pass moves the aim point by as much (the aim offset is the
            // impact parameter of the straight-line pass).
            VECTOR3 S;
            const VECTOR3 B = ImpactVector(pass.r, pass.v, muMoon, &S);
            const double vinf2 = dotp(pass.v, pass.v) - 2 * muMoon / rp;
            const double bGoal =
                vinf2 > 0 ? rpGoal * std::sqrt(1 + 2 * muMoon / (rpGoal * vinf2)) : b;
            aimOffset += unit(side - S * dotp(side, S)) * bGoal - B;
        }
    }
    if (!reached && stepsLeft <= 0)
        return Refusal(
            "the plan's flights took more than %ld integration steps without reaching "
            "the periselene asked for",
            request.maxSteps);
    if (!reached) return Error{costly.empty() ? failure : costly};
    LunarBurn out;
    out.ignition = s.ignition;
    out.r = s.r;
    out.v = s.v;
    out.cutoff = cutoff;
    out.thrust = g.GetThrustVector();
    out.steering = steering;
    out.integrator = request.integrator;
    out.lead = lead * burnTime;
    out.burnTime = g.GetBurnTime();
    out.propellant = flow * out.burnTime;
    VECTOR3 impulsiveAim{};
    LeastDvIgnition(park, moon + offset, depart, arrive, muEarth, &impulsiveAim);
    out.impulsiveDv = Length(impulsiveAim);
    out.thrustN = thrust;
    out.flow = flow;
    out.mass = mass;
    out.soiEntry = pass.soiEntry;
    out.periseleneAltitude = Length(pass.r) - radius;
    out.periselene = pass.mjd;
    out.flights = flights + 1;
    // The track flies the pass once more and a day on: its work is bounded by the pass's.
    s.stepsLeft = nullptr;
    if (request.keepTrack) out.track = Track(s, out.thrust, cutoff, pass.mjd + kTrackAfter);
    return out;
}

}  // namespace zaq::plan::detail

namespace zaq::plan {

Result<FlownPass> Refly(const TransferPlan& plan, const BurnErrors& errors, SolarModel* model) {
    using namespace detail;
    if (!plan.burn) return Error{"the plan has no finite burn to fly again"};
    const LunarBurn& b = *plan.burn;
    for (double x : {errors.thrustScale, errors.ispScale})
        if (!(x > 0 && std::isfinite(x)))
            return Refusal("the thrust and specific-impulse scales must be numbers above 0");
    for (double x : {errors.pointing[0], errors.pointing[1], errors.ignitionShift})
        if (!std::isfinite(x)) return Refusal("the pointing errors and the shift must be numbers");
    if (std::fabs(errors.pointing[0]) >= M_PI / 2 || std::fabs(errors.pointing[1]) >= M_PI / 2)
        return Refusal("a pointing error must lie within 90 degrees");
    if (std::fabs(errors.ignitionShift) > 86400)
        return Refusal("the ignition shift must lie within a day");
    if (!hostsim::LoadSolarSystem(plan.depart)) return Error{hostsim::LastError()};
    std::unique_ptr<SolarModel> own;
    auto setUp = SetUpModel(model, own);
    if (!setUp.ok()) return Error{setUp.error() + SeeLog(model)};
    CSol& sol = *setUp.value();
    const int csEarth = sol.GetId(plan.from.c_str());
    const double muEarth = kG * sol.GetMass(csEarth);

    // The same burn time with the dispersed engine: the velocity change it then gives.
    const double thrust = b.thrustN * errors.thrustScale;
    const double flow = b.flow * errors.thrustScale / errors.ispScale;
    const double spent = flow * b.burnTime;
    if (!(spent < b.mass)) return Refusal("the dispersed engine would spend the whole mass");
    const double dv = thrust / flow * std::log(b.mass / (b.mass - spent));
    // The planned direction turned by the pointing errors, towards the orbit's normal first (in
    // the local frame its third axis).
    const VECTOR3 u = unit(b.thrust);
    const VECTOR3 h = b.steering == Steering::Local ? VECTOR3{0, 0, 1} : CrossProduct(b.r, b.v);
    const VECTOR3 n1 = unit(h - u * dotp(h, u)), n2 = CrossProduct(n1, u);
    const VECTOR3 d =
        unit(u + n1 * std::tan(errors.pointing[0]) + n2 * std::tan(errors.pointing[1]));

    Setting s{&sol,
              csEarth,
              b.ignition + errors.ignitionShift / kSecondsPerDay,
              plan.arc.arrive,
              thrust,
              flow,
              b.mass,
              b.r,
              b.v,
              b.steering,
              FlightIntegrator(b.integrator)};
    if (errors.ignitionShift != 0)
        COrbit(b.r, b.v, muEarth, b.ignition).PosVelByMJD(s.ignition, &s.r, &s.v);
    const Pass pass = FlyBurn(s, d * dv, s.ignition + b.burnTime / kSecondsPerDay);
    if (pass.closest == INFINITY) return Error{kNoPass};
    FlownPass out;
    if (pass.soiEntry > 0) out.soiEntry = pass.soiEntry;
    const double altitude = Length(pass.r) - plan.toRadius;
    if (altitude < 0) {
        out.hitSurface = true;
        return out;
    }
    out.periselene = pass.mjd;
    out.periseleneAltitude = altitude;
    return out;
}

}  // namespace zaq::plan
