// zaq transfer: a Lambert transfer between two bodies of the built-in solar system and the burn
// that starts it from a circular parking orbit.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "apps/commands.h"
#include "apps/json.h"
#include "apps/lunar.h"
#include "apps/mission.h"
#include "apps/output.h"
#include "zaq/adaptors.h"
#include "zaq/constants.h"
#include "zaq/foundation.h"
#include "zaq/hostsim.h"
#include "zaq/lambert.h"
#include "zaq/orbit.h"
#include "zaq/vector3.h"

namespace zaq::app {
namespace {

constexpr const char* kCommand = "transfer";
constexpr double kStandardGravity = 9.80665;  // m/s^2, converts a specific impulse to m/s

// What the options accept: a parking orbit above 0 km (and inside FROM's sphere of influence,
// checked once the bodies are known), and an engine from a thruster of a milli-newton on a
// one-kilogram probe to a heavy launcher, whose burn times stay finite and above 0.
constexpr double kMaxParkAlt = 1e9;              // km
constexpr double kThrustRange[2] = {1e-3, 1e9};  // N
constexpr double kIspRange[2] = {1, 1e6};        // s
constexpr double kMassRange[2] = {1, 1e10};      // kg

struct TransferArgs {
    std::string from, to, depart, arrive, solver = "UN";
    bool longWay = false, json = false;
    std::string parkAlt = "300", thrust, isp, mass;  // km; N, s, kg of the engine, all or none
    std::string periseleneAlt;                       // km; a finite burn to a moon of FROM
    std::string plot;                                // PNG of the flown trajectory
};

struct Engine {
    double thrust = 0, isp = 0, mass = 0;
};

// Everything the plan reports.
struct Plan {
    BodyPair pair;
    LambertSolver solver = LambertSolver::UN;
    bool longWay = false;
    Arc arc;                // the Lambert arc (for a lunar plan: from the ignition point)
    double parkRadius = 0;  // m
    // Departure from a circular orbit about FROM's equator (two bodies about a common reference).
    double ejectTrA = 0;  // rad
    VECTOR3 ejectDv{}, ejectPos{};
    VECTOR3 inclinedDv{};        // the burn from the least-inclined orbit holding the asymptote
    double vinfDeclination = 0;  // of the departure excess velocity above FROM's equator (rad)
    bool engine = false;
    double burnTime = 0;  // s
    // Departure to a body about FROM (the ignition search).
    double ignition = 0;  // MJD
    LunarBurn burn;       // with an engine: the finite burn, flown
};

// The circular parking orbit of radius r with angular momentum along normal.
COrbit ParkingOrbit(const VECTOR3& normal, double r, double mu, double mjd) {
    COrbit park;
    park.CreateCircular(unit(otk::Perpendicular(normal)) * r, normal, mu, mjd);
    return park;
}

// Two bodies about a common reference: the ejection onto the departure asymptote from a circular
// orbit in FROM's equatorial plane.
void PlanEjection(const Engine& engine, Plan& plan) {
    const double mu = oapiGetMass(plan.pair.from) * kG;
    const VECTOR3 axis = otk::RotationAxis(plan.pair.from);
    COrbit park = ParkingOrbit(axis, plan.parkRadius, mu, plan.arc.depart), escape;
    VECTOR3 vinf = plan.arc.vinfDepart;
    plan.ejectTrA = EjectPosition(&park, vinf, mu, &plan.ejectDv, &escape);
    plan.ejectPos = park.PosByTrA(plan.ejectTrA);
    plan.vinfDeclination = M_PI / 2 - AngleBetween(vinf, axis);
    // For comparison: the least-inclined parking orbit whose plane holds the asymptote (its
    // inclination equals the declination), where the burn is tangential.
    const VECTOR3 u = unit(vinf), across = axis - u * dotp(axis, u);
    // An asymptote along the axis lies in every polar plane: any one will do.
    const VECTOR3 normal = Length(across) > 1e-12 ? unit(across) : unit(otk::Perpendicular(u));
    COrbit inclined = ParkingOrbit(normal, plan.parkRadius, mu, plan.arc.depart);
    EjectPosition(&inclined, vinf, mu, &plan.inclinedDv, nullptr);
    if (plan.engine)
        plan.burnTime = otk::BurnTimeBydV(Length(plan.ejectDv), engine.mass, engine.thrust,
                                          engine.thrust / (engine.isp * kStandardGravity));
}

// TO about FROM: the least-dv ignition from a circular orbit whose plane holds TO's arrival
// position (and TO's motion there), then the arc from the ignition point.
bool PlanIgnition(Plan& plan, double depart, double arrive) {
    Arc& arc = plan.arc;
    const double mu = plan.pair.mu;
    StateAbout(plan.pair.to, plan.pair.from, arrive, &arc.r2, &arc.v2);
    const VECTOR3 normal = unit(CrossProduct(arc.r2, arc.v2));
    COrbit park = ParkingOrbit(normal, plan.parkRadius, mu, depart);
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

std::string Km(double metres) {
    return ValueText(metres / 1e3, 4);
}
std::string KmVector(const VECTOR3& v) {
    return "[" + Km(v.x) + ", " + Km(v.y) + ", " + Km(v.z) + "]";
}

void PrintRow(const char* label, const std::string& value, const std::string& extra = "") {
    std::printf("  %-20s %s%s%s\n", label, value.c_str(), extra.empty() ? "" : "   ",
                extra.c_str());
}

void PrintTable(const Plan& p) {
    const Arc& a = p.arc;
    const double tof = a.arrive - a.depart;
    if (p.pair.lunar) {
        std::printf("%s -> %s about %s: least-dv ignition from a %s km circular orbit\n",
                    p.pair.fromName.c_str(), p.pair.toName.c_str(), p.pair.refName.c_str(),
                    Km(p.parkRadius - oapiGetSize(p.pair.from)).c_str());
        PrintRow("ignition", DateText(p.ignition), "MJD " + ValueText(p.ignition, -5));
        PrintRow("delta-v", Km(Length(a.vinfDepart)) + " km/s", KmVector(a.vinfDepart) + " km/s");
    } else {
        std::printf("%s -> %s about %s: Lambert %s%s, %s way\n", p.pair.fromName.c_str(),
                    p.pair.toName.c_str(), p.pair.refName.c_str(), otk::LambertSolverName(p.solver),
                    p.arc.refined ? " (refined by PN)" : "", p.longWay ? "long" : "short");
        PrintRow("departure", DateText(a.depart), "MJD " + ValueText(a.depart, -5));
    }
    PrintRow("arrival", DateText(a.arrive), "MJD " + ValueText(a.arrive, -5));
    PrintRow("time of flight", ValueText(tof, 4) + " days");
    if (!p.pair.lunar) {
        PrintRow("C3", ValueText(a.c3 / 1e6, 4) + " km^2/s^2");
        PrintRow("v-inf departure", Km(Length(a.vinfDepart)) + " km/s",
                 KmVector(a.vinfDepart) + " km/s");
    } else {
        PrintRow("C3", ValueText(a.c3 / 1e6, 4) + " km^2/s^2");
    }
    PrintRow(p.pair.lunar ? "speed at arrival" : "v-inf arrival",
             Km(Length(a.vinfArrive)) + " km/s",
             KmVector(a.vinfArrive) + " km/s (relative to " + p.pair.toName + ")");
    if (!p.pair.lunar) {
        std::printf("Ejection from a %s km circular orbit in %s's equatorial plane\n",
                    Km(p.parkRadius - oapiGetSize(p.pair.from)).c_str(), p.pair.fromName.c_str());
        PrintRow("v-inf declination", ValueText(p.vinfDeclination * 180 / M_PI, 4) + " deg");
        PrintRow("burn true anomaly", ValueText(p.ejectTrA * 180 / M_PI, 4) + " deg",
                 "at " + KmVector(p.ejectPos) + " km");
        PrintRow("delta-v", Km(Length(p.ejectDv)) + " km/s", KmVector(p.ejectDv) + " km/s");
        PrintRow("from inclined orbit", Km(Length(p.inclinedDv)) + " km/s",
                 "(inclination " + ValueText(std::fabs(p.vinfDeclination) * 180 / M_PI, 4) +
                     " deg, the asymptote in its plane)");
        if (p.engine) PrintRow("burn time", ValueText(p.burnTime, 4) + " s");
    }
    if (p.pair.lunar && p.engine) PrintLunarBurn(p.burn, PrintRow);
    std::printf("Frame: ecliptic and equinox of J2000, right-handed, about %s.\n",
                p.pair.refName.c_str());
}

Json DateJson(double mjd) {
    return {{"mjd", mjd}, {"utc", DateText(mjd)}};
}

// The plan as one JSON object (numbers in SI units unless the name says otherwise).
Json PlanJson(const Plan& p) {
    const Arc& a = p.arc;
    Json j = {{"from", p.pair.fromName},
              {"to", p.pair.toName},
              {"reference", p.pair.refName},
              {"mu", p.pair.mu},
              {"kind", p.pair.lunar ? "ignition" : "lambert"}};
    if (!p.pair.lunar) {
        j["solver"] = otk::LambertSolverName(p.solver);
        j["way"] = p.longWay ? "long" : "short";
        j["status"] = a.status;
        j["refined"] = a.refined;
    }
    j["depart"] = DateJson(a.depart);
    j["arrive"] = DateJson(a.arrive);
    j["tof_days"] = a.arrive - a.depart;
    j["c3_km2_s2"] = a.c3 / 1e6;
    if (!p.pair.lunar) {  // a lunar plan has the burn (dv) instead
        j["vinf_depart_km_s"] = JsonVector(a.vinfDepart, 1e3);
        j["vinf_depart_mag_km_s"] = Length(a.vinfDepart) / 1e3;
    }
    j["vinf_arrive_km_s"] = JsonVector(a.vinfArrive, 1e3);
    j["vinf_arrive_mag_km_s"] = Length(a.vinfArrive) / 1e3;
    j["arc"] = {{"r1_m", JsonVector(a.r1)},
                {"v1_m_s", JsonVector(a.vDepart)},
                {"r2_m", JsonVector(a.r2)},
                {"v2_m_s", JsonVector(a.vArrive)}};
    j["park_alt_km"] = (p.parkRadius - oapiGetSize(p.pair.from)) / 1e3;
    if (p.pair.lunar) {
        j["ignition"] = DateJson(p.ignition);
        j["dv_km_s"] = JsonVector(a.vinfDepart, 1e3);
        j["dv_mag_km_s"] = Length(a.vinfDepart) / 1e3;
    } else {
        Json e = {{"true_anomaly_deg", p.ejectTrA * 180 / M_PI},
                  {"position_m", JsonVector(p.ejectPos)},
                  {"dv_km_s", JsonVector(p.ejectDv, 1e3)},
                  {"dv_mag_km_s", Length(p.ejectDv) / 1e3},
                  {"vinf_declination_deg", p.vinfDeclination * 180 / M_PI},
                  {"dv_inclined_mag_km_s", Length(p.inclinedDv) / 1e3}};
        if (p.engine) e["burn_time_s"] = p.burnTime;
        j["ejection"] = e;
    }
    if (p.pair.lunar && p.engine) AddLunarBurnJson(p.burn, j);
    return j;
}

// FROM's sphere of influence about its parent (Laplace's radius a (m / M)^(2/5)) at mjd.
double SphereOfInfluence(OBJHANDLE body, double mjd) {
    OBJHANDLE parent = hostsim::GetParent(body);
    VECTOR3 pos{}, vel{};
    StateAbout(body, parent, mjd, &pos, &vel);
    return Length(pos) * std::pow(oapiGetMass(body) / oapiGetMass(parent), 0.4);
}

// Draws the burn's track (kept by the plan) into png: about FROM and, beside it, about the Moon
// near the periselene, both in the plane of the Moon's orbit at the periselene (not rotating),
// with the Moon's path and its sphere of influence of radius soi (m). False with a one-line
// reason.
bool PlotLunarBurn(const std::string& png, const BodyPair& pair, const LunarBurn& b, double soi,
                   std::string* why) {
    if (b.track.size() < 2) {
        *why = "the flight was not kept";
        return false;
    }
    // The Moon at the periselene fixes the plane: x towards it, z along its orbit's normal.
    const TrackPoint* peri = &b.track.front();
    for (const TrackPoint& t : b.track)
        if (std::fabs(t.mjd - b.periselene) < std::fabs(peri->mjd - b.periselene)) peri = &t;
    const VECTOR3 X = unit(peri->moon), Z = unit(CrossProduct(b.track.front().moon, peri->moon)),
                  Y = CrossProduct(Z, X);
    // Every length in thousands of km.
    std::string s = "$track << EOD\n";
    char line[600];
    for (const TrackPoint& t : b.track) {
        const VECTOR3 near = t.vessel - t.moon;  // about the Moon
        std::snprintf(line, sizeof line, "%.4f %.4f %.4f %.4f %.4f %.4f\n", dotp(t.vessel, X) / 1e6,
                      dotp(t.vessel, Y) / 1e6, dotp(t.moon, X) / 1e6, dotp(t.moon, Y) / 1e6,
                      dotp(near, X) / 1e6, dotp(near, Y) / 1e6);
        s += line;
    }
    s += "EOD\n";
    const VECTOR3 p = peri->vessel - peri->moon;
    const double mx = Length(peri->moon) / 1e6, px = dotp(p, X) / 1e6, py = dotp(p, Y) / 1e6;
    const double moonR = oapiGetSize(pair.to) / 1e6, earthR = oapiGetSize(pair.from) / 1e6;
    const std::string peLabel =
        "periselene " + ValueText(b.periseleneAlt / 1e3, 4) + " km, " + DateText(b.periselene);
    s += "set terminal pngcairo size 1500,700 font ',11'\nset output " + GnuplotQuoted(png) + "\n";
    s += "set multiplot layout 1,2 title " +
         GnuplotQuoted(pair.fromName + " -> " + pair.toName + ": finite burn of " +
                       ValueText(b.thrustN / 1e3, 4) + " kN from " + ValueText(b.mass / 1e3, 4) +
                       " t, flown; in the plane of the Moon's orbit at the periselene (not "
                       "rotating, x towards the Moon then)") +
         "\n";
    s += "set key top left box opaque\nset grid\nset size ratio -1\nset parametric\n"
         "set trange [0:2*pi]\nset xlabel 'x (1000 km)'\nset ylabel 'y (1000 km)'\n";
    // About FROM: the Moon at the periselene and its sphere of influence.
    std::snprintf(line, sizeof line,
                  "set title %s\n"
                  "set label 1 %s at %.4f,0 point pt 7 ps 1.2 lc rgb '#d62728' offset 1,1.2\n"
                  "set label 2 %s at 0,0 center offset 0,-1.2\n"
                  "plot %.6f*cos(t), %.6f*sin(t) with filledcurves lc rgb '#4a7ebb' notitle, "
                  "%.4f+%.4f*cos(t), %.4f*sin(t) with lines dt 2 lc rgb '#555555' title %s, ",
                  GnuplotQuoted("about " + pair.fromName).c_str(),
                  GnuplotQuoted(pair.toName + " at the periselene").c_str(), mx,
                  GnuplotQuoted(pair.fromName).c_str(), earthR, earthR, mx, soi / 1e6, soi / 1e6,
                  GnuplotQuoted(pair.toName + "'s sphere of influence").c_str());
    s += line;
    s += "$track using 3:4 with lines lw 2 lc rgb '#999999' title " +
         GnuplotQuoted(pair.toName + "'s path") +
         ", $track using 1:2 with lines lw 1.5 lc rgb '#1f77b4' title 'flown trajectory'\n";
    // About the Moon near the periselene.
    const double span = std::fmax(8 * (moonR + b.periseleneAlt / 1e6), 12);
    std::snprintf(line, sizeof line,
                  "unset label\nset title %s\nset xrange [%.4f:%.4f]\nset yrange [%.4f:%.4f]\n"
                  "set label 1 %s at %.6f,%.6f center point pt 7 ps 1.2 lc rgb '#d62728' "
                  "offset 0,-1.5\n"
                  "plot %.6f*cos(t), %.6f*sin(t) with filledcurves lc rgb '#bbbbbb' title %s, ",
                  GnuplotQuoted("about " + pair.toName + " near the periselene").c_str(), -span,
                  span, -span, span, GnuplotQuoted(peLabel).c_str(), px, py, moonR, moonR,
                  GnuplotQuoted(pair.toName).c_str());
    s += line;
    s += "$track using 5:6 with lines lw 1.5 lc rgb '#1f77b4' title 'flown trajectory'\n"
         "unset multiplot\n";
    return RunGnuplot(s, why);
}

int RunTransfer(const TransferArgs& args, const Options& opts) {
    double depart = 0, arrive = 0, parkAlt = 0;
    Engine engine;
    if (!NameArgument(kCommand, "FROM", args.from) || !NameArgument(kCommand, "TO", args.to) ||
        !DateArgument(kCommand, args.depart, &depart) ||
        !DateArgument(kCommand, args.arrive, &arrive) ||
        !NumberArgument(kCommand, "--park-alt", args.parkAlt, 0, kMaxParkAlt, &parkAlt) ||
        !NumberArgument(kCommand, "--thrust", args.thrust, kThrustRange[0], kThrustRange[1],
                        &engine.thrust) ||
        !NumberArgument(kCommand, "--isp", args.isp, kIspRange[0], kIspRange[1], &engine.isp) ||
        !NumberArgument(kCommand, "--mass", args.mass, kMassRange[0], kMassRange[1],
                        &engine.mass) ||
        !NameArgument(kCommand, "--plot", args.plot))
        return 2;
    // gnuplot reads its script line by line: a line break in the path is refused above.
    if (!args.plot.empty() && !IsFilePrefix(args.plot))
        return Fail(kCommand, "--plot '%s' names a directory, not a file", args.plot.c_str());
    if (!(arrive > depart))
        return Fail(kCommand, "the arrival (%s) must come after the departure (%s)",
                    args.arrive.c_str(), args.depart.c_str());
    Plan plan;
    if (!SolverArgument(kCommand, args.solver, args.longWay, &plan.solver)) return 2;
    if (!(parkAlt > 0)) return Fail(kCommand, "the parking-orbit altitude must be above 0 km");
    double periseleneAlt = 100;  // km
    if (!NumberArgument(kCommand, "--periselene-alt", args.periseleneAlt, 0, kMaxPeriseleneAlt,
                        &periseleneAlt))
        return 2;
    if (!(periseleneAlt > 0)) return Fail(kCommand, "the periselene altitude must be above 0 km");
    const int engineParts = !args.thrust.empty() + !args.isp.empty() + !args.mass.empty();
    plan.engine = engineParts == 3;
    if (engineParts != 0 && !plan.engine)
        return Fail(kCommand, "an engine needs --thrust, --isp and --mass, all above 0");
    plan.longWay = args.longWay;

    if (!hostsim::LoadSolarSystem(depart)) {
        std::fprintf(stderr, "zaq transfer: %s\n", hostsim::LastError().c_str());
        return 1;
    }
    std::string why;
    if (!ResolvePair(args.from, args.to, &plan.pair, &why))
        return Fail(kCommand, "%s", why.c_str());
    plan.parkRadius = oapiGetSize(plan.pair.from) + parkAlt * 1e3;
    const double soi = SphereOfInfluence(plan.pair.from, depart);
    if (!(plan.parkRadius < soi))
        return Fail(kCommand,
                    "the parking orbit must lie inside %s's sphere of influence (%.0f km)",
                    plan.pair.fromName.c_str(), (soi - oapiGetSize(plan.pair.from)) / 1e3);
    if (!args.periseleneAlt.empty() && !(plan.pair.lunar && plan.engine))
        return Fail(kCommand, "--periselene-alt needs TO about FROM and an engine");
    if (!args.plot.empty() && !(plan.pair.lunar && plan.engine))
        return Fail(kCommand,
                    "--plot draws a flown trajectory: it needs TO about FROM and an engine");
    if (plan.pair.lunar) {
        if (!PlanIgnition(plan, depart, arrive))
            return Fail(kCommand,
                        "no ignition from a %g km orbit about %s reaches %s at %s (see "
                        "ZAQ-SDK_Err.html)",
                        parkAlt, plan.pair.fromName.c_str(), plan.pair.toName.c_str(),
                        DateText(arrive).c_str());
        const Arc& a = plan.arc;
        COrbit park =
            ParkingOrbit(unit(CrossProduct(a.r2, a.v2)), plan.parkRadius, plan.pair.mu, depart);
        if (plan.engine &&
            !PlanLunarBurn(plan.pair, park, depart, plan.ignition, a.vinfDepart, arrive,
                           engine.thrust, engine.thrust / (engine.isp * kStandardGravity),
                           engine.mass, periseleneAlt * 1e3, &plan.burn, &why, !args.plot.empty()))
            return Fail(kCommand, "%s", why.c_str());
    } else {
        if (!SolveArc(plan.pair, depart, arrive, plan.solver, plan.longWay, nullptr, &plan.arc))
            return Fail(kCommand, "Lambert solver %s did not converge (result %d)",
                        otk::LambertSolverName(plan.solver), plan.arc.status);
        // A transfer angle past 180 deg makes the short way run against the planets' motion.
        const Arc& a = plan.arc;
        if (dotp(CrossProduct(a.r1, a.vDepart), CrossProduct(a.r1, a.v1)) < 0)
            std::fprintf(stderr,
                         "zaq transfer: note: this arc is retrograde about %s; the %s way "
                         "runs with %s's motion\n",
                         plan.pair.refName.c_str(), plan.longWay ? "short" : "long",
                         plan.pair.fromName.c_str());
        PlanEjection(engine, plan);
    }
    // The plan is printed whatever becomes of the plot; a plot that fails gives exit code 1.
    const std::string png = OutputPath(opts, args.plot);
    const bool canPlot = !args.plot.empty() && OnPath("gnuplot");
    if (!args.plot.empty() && !canPlot)
        std::fprintf(stderr,
                     "zaq transfer: gnuplot is not installed (apt-get install gnuplot-nox); no "
                     "plot\n");
    const bool plotted =
        canPlot && PlotLunarBurn(png, plan.pair, plan.burn,
                                 SphereOfInfluence(plan.pair.to, plan.burn.periselene), &why);
    if (canPlot && !plotted) std::fprintf(stderr, "zaq transfer: no plot: %s\n", why.c_str());
    const int code = canPlot && !plotted ? 1 : 0;
    if (args.json) {
        Json j = PlanJson(plan);
        if (plotted) j["png"] = png;
        const int printed = PrintJson(kCommand, j);
        return printed ? printed : code;
    }
    PrintTable(plan);
    if (plotted) std::printf("Plot: %s\n", png.c_str());
    return code;
}

}  // namespace

void RegisterTransfer(CLI::App& app, Options& opts) {
    auto args = std::make_shared<TransferArgs>();
    CLI::App* cmd = app.add_subcommand(
        "transfer",
        "Plan a transfer: the Lambert arc from FROM to TO about the body both move about, and "
        "the departure burn from a circular parking orbit (for TO about FROM, e.g. Earth -> "
        "Moon: the least-dv ignition)");
    cmd->add_option("FROM", args->from, "Departure body, e.g. Earth")->required();
    cmd->add_option("TO", args->to, "Destination body, e.g. Mars or Moon")->required();
    cmd->add_option("--depart", args->depart,
                    "Departure date: an MJD (TT) or UTC YYYY-MM-DD[THH:MM[:SS]]; for TO about "
                    "FROM the earliest ignition (five minutes later)")
        ->required();
    cmd->add_option("--arrive", args->arrive, "Arrival date, as --depart")->required();
    cmd->add_option("--park-alt", args->parkAlt, "Parking-orbit altitude in km (default 300)");
    cmd->add_option("--solver", args->solver,
                    "Lambert solver: G, PN, UB or UN (default UN); TO about FROM always uses PN");
    cmd->add_flag("--long", args->longWay, "Take the long way (transfer angle above 180 deg)");
    cmd->add_option("--thrust", args->thrust, "Engine thrust in N, for the burn time");
    cmd->add_option("--isp", args->isp, "Engine specific impulse in s");
    cmd->add_option("--mass", args->mass, "Vessel mass at ignition in kg");
    cmd->add_option("--periselene-alt", args->periseleneAlt,
                    "For TO about FROM with an engine: the periselene altitude in km of the "
                    "finite burn's flown pass (default 100)");
    cmd->add_option("--plot", args->plot,
                    "For TO about FROM with an engine: a PNG of the flown trajectory, the Moon's "
                    "path and sphere of influence and the periselene (with gnuplot)");
    cmd->add_flag("--json", args->json, "Print the plan as one JSON object");
    cmd->callback([&opts, args] { opts.run = [&opts, args] { return RunTransfer(*args, opts); }; });
}

}  // namespace zaq::app
