// A Lambert transfer between two bodies of the built-in solar system and the burn that starts it
// from a circular parking orbit.
#include <cmath>

#include "plan/internal.h"
#include "zaq/adaptors.h"
#include "zaq/constants.h"
#include "zaq/hostsim.h"
#include "zaq/lambert.h"
#include "zaq/orbit.h"
#include "zaq/vector3.h"

namespace zaq::plan {
namespace {

using namespace detail;
using otk::LambertSolver;

Check CheckRequest(const TransferRequest& r) {
    if (auto c = CheckDate("the departure", r.depart)) return c;
    if (auto c = CheckDate("the arrival", r.arrive)) return c;
    if (!(r.arrive > r.depart))
        return Refusal("the arrival (%s) must come after the departure (%s)",
                       DateText(r.arrive).c_str(), DateText(r.depart).c_str());
    if (auto c = CheckSolver(r.solver, r.longWay)) return c;
    if (!(r.parkAltitude > 0)) return Refusal("the parking-orbit altitude must be above 0 km");
    if (auto c = CheckRange("the parking-orbit altitude", r.parkAltitude, 0, kMaxParkAltitude, 1e3,
                            "km"))
        return c;
    if (!(r.periseleneAltitude > 0)) return Refusal("the periselene altitude must be above 0 km");
    if (auto c = CheckRange("the periselene altitude", r.periseleneAltitude, 0,
                            kMaxPeriseleneAltitude, 1e3, "km"))
        return c;
    if (!(r.maxSteps > 0)) return Refusal("the bound on the plan's steps must be above 0");
    if (r.engine) {
        const Engine& e = *r.engine;
        if (auto c = CheckRange("the thrust", e.thrust, kThrustRange[0], kThrustRange[1], 1, "N"))
            return c;
        if (auto c = CheckRange("the specific impulse", e.isp, kIspRange[0], kIspRange[1], 1, "s"))
            return c;
        if (auto c = CheckRange("the mass", e.mass, kMassRange[0], kMassRange[1], 1, "kg"))
            return c;
    }
    if (std::isnan(r.ignitionLead)) return std::nullopt;  // searched
    return CheckRange("the ignition lead", r.ignitionLead, 0, 1, 1, "of the burn time");
}

// A body's sphere of influence about its parent (Laplace's radius a (m / M)^(2/5)) at mjd.
double SphereOfInfluence(OBJHANDLE body, double mjd) {
    OBJHANDLE parent = hostsim::GetParent(body);
    VECTOR3 pos{}, vel{};
    StateAbout(body, parent, mjd, &pos, &vel);
    return Length(pos) * std::pow(oapiGetMass(body) / oapiGetMass(parent), 0.4);
}

// Two bodies about a common reference: the ejection onto the departure asymptote from a circular
// orbit in FROM's equatorial plane.
void PlanEjection(const TransferRequest& request, OBJHANDLE from, TransferPlan& plan) {
    const double mu = oapiGetMass(from) * kG;
    const VECTOR3 axis = otk::RotationAxis(from);
    Ejection& e = plan.ejection;
    COrbit park = ParkingOrbit(axis, plan.parkRadius, mu, plan.arc.depart), escape;
    VECTOR3 vinf = plan.arc.vinfDepart;
    e.trueAnomaly = EjectPosition(&park, vinf, mu, &e.dv, &escape);
    e.position = park.PosByTrA(e.trueAnomaly);
    e.vinfDeclination = M_PI / 2 - AngleBetween(vinf, axis);
    // For comparison: the least-inclined parking orbit whose plane holds the asymptote (its
    // inclination equals the declination), where the burn is tangential.
    const VECTOR3 u = unit(vinf), across = axis - u * dotp(axis, u);
    // An asymptote along the axis lies in every polar plane: any one will do.
    const VECTOR3 normal = Length(across) > 1e-12 ? unit(across) : unit(otk::Perpendicular(u));
    COrbit inclined = ParkingOrbit(normal, plan.parkRadius, mu, plan.arc.depart);
    EjectPosition(&inclined, vinf, mu, &e.inclinedDv, nullptr);
    if (const auto& engine = request.engine)
        e.burnTime = otk::BurnTimeBydV(Length(e.dv), engine->mass, engine->thrust,
                                       engine->thrust / (engine->isp * kStandardGravity));
}

// TO about FROM: the least-dv ignition from a circular orbit whose plane holds TO's arrival
// position (and TO's motion there), then the arc from the ignition point.
bool PlanIgnition(const BodyPair& pair, double depart, double arrive, TransferPlan& plan) {
    Arc& arc = plan.arc;
    const double mu = pair.mu;
    StateAbout(pair.to, pair.from, arrive, &arc.r2, &arc.v2);
    COrbit park = ParkingOrbit(unit(CrossProduct(arc.r2, arc.v2)), plan.parkRadius, mu, depart);
    VECTOR3 dv{};
    plan.ignition = LeastDvIgnition(park, arc.r2, depart, arrive, mu, &dv);
    if (plan.ignition == 0) return false;
    arc.depart = plan.ignition;
    arc.arrive = arrive;
    park.PosVelByMJD(plan.ignition, &arc.r1, &arc.v1);
    arc.vDepart = arc.v1 + dv;
    arc.vinfDepart = dv;  // the burn
    // The arc flown to arrival gives the velocity there.
    COrbit flown(arc.r1, arc.vDepart, mu, plan.ignition);
    flown.PosVelByMJD(arrive, nullptr, &arc.vArrive);
    arc.vinfArrive = arc.vArrive - arc.v2;
    arc.c3 = dotp(arc.vDepart, arc.vDepart) - 2 * mu / Length(arc.r1);
    return true;
}

}  // namespace

Result<TransferPlan> PlanTransfer(const TransferRequest& request, const ProgressFn& progress,
                                  SolarModel* model) {
    if (auto refused = CheckRequest(request)) return *refused;
    const double depart = request.depart, arrive = request.arrive;
    if (!hostsim::LoadSolarSystem(depart)) return Error{hostsim::LastError()};
    auto resolved = ResolvePair(request.from, request.to);
    if (!resolved.ok()) return Error{resolved.error()};
    const BodyPair& pair = resolved.value();
    TransferPlan plan;
    plan.from = pair.fromName;
    plan.to = pair.toName;
    plan.reference = pair.refName;
    plan.mu = pair.mu;
    plan.lunar = pair.lunar;
    plan.solver = request.solver;
    plan.longWay = request.longWay;
    plan.engine = request.engine.has_value();
    plan.depart = depart;
    plan.fromRadius = oapiGetSize(pair.from);
    plan.toRadius = oapiGetSize(pair.to);
    plan.parkRadius = plan.fromRadius + request.parkAltitude;
    const double soi = SphereOfInfluence(pair.from, depart);
    if (!(plan.parkRadius < soi))
        return Refusal("the parking orbit must lie inside %s's sphere of influence (%.0f km)",
                       pair.fromName.c_str(), (soi - plan.fromRadius) / 1e3);
    if (!pair.lunar) {
        Arc& a = plan.arc;
        ArcEnds(pair, depart, arrive, &a);
        if (!SolveArc(pair, request.solver, request.longWay, nullptr, &a))
            return Refusal("Lambert solver %s did not converge (result %d)",
                           otk::LambertSolverName(request.solver), a.status);
        // A transfer angle past 180 deg makes the short way run against the planets' motion.
        plan.retrograde = dotp(CrossProduct(a.r1, a.vDepart), CrossProduct(a.r1, a.v1)) < 0;
        PlanEjection(request, pair.from, plan);
        return plan;
    }
    if (!PlanIgnition(pair, depart, arrive, plan))
        return Error{Refusal("no ignition from a %g km orbit about %s reaches %s at %s",
                             request.parkAltitude / 1e3, pair.fromName.c_str(), pair.toName.c_str(),
                             DateText(arrive).c_str())
                         .reason +
                     SeeLog(model)};
    if (!request.engine) return plan;
    const Arc& a = plan.arc;
    COrbit park = ParkingOrbit(unit(CrossProduct(a.r2, a.v2)), plan.parkRadius, pair.mu, depart);
    auto burn = PlanLunarBurn(request, pair, park, plan.ignition, a.vinfDepart, progress, model);
    if (!burn.ok()) return Error{burn.error()};
    plan.burn = std::move(burn.value());
    if (request.keepTrack)
        plan.burn->soiAtPeriselene = SphereOfInfluence(pair.to, plan.burn->periselene);
    return plan;
}

}  // namespace zaq::plan
