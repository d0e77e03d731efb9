// zaq transfer: a Lambert transfer between two bodies of the built-in solar system and the burn
// that starts it from a circular parking orbit.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "apps/arguments.h"
#include "apps/commands.h"
#include "apps/json.h"
#include "apps/options.h"
#include "apps/output.h"
#include "zaq/plan.h"
#include "zaq/vector3.h"

namespace zaq::app {
namespace {

constexpr const char* kCommand = "transfer";
using plan::DateText;
using plan::ValueText;

struct TransferArgs {
    plan::TransferRequest request;
    std::string departText, arriveText;         // as typed
    double parkAlt = 300, periseleneAlt = 100;  // km
    plan::Engine engine;
    CLI::Option *thrust = nullptr, *isp = nullptr, *mass = nullptr, *periselene = nullptr;
    std::string plot;  // PNG of the flown trajectory
    std::string steering = "auto";
    bool json = false;
};

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

// The finite burn's rows.
void PrintBurn(const plan::LunarBurn& b) {
    const double dv = Length(b.thrust);
    std::printf("Finite burn of %s kN from %s t, flown with the Sun, Earth and Moon\n",
                ValueText(b.thrustN / 1e3, 4).c_str(), ValueText(b.mass / 1e3, 4).c_str());
    PrintRow("ignition", DateText(b.ignition), "MJD " + ValueText(b.ignition, -5));
    PrintRow("cut-off", DateText(b.cutoff), "MJD " + ValueText(b.cutoff, -5));
    PrintRow("burn delta-v", ValueText(dv / 1e3, 5) + " km/s",
             "burn time " + ValueText(b.burnTime, 4) + " s");
    PrintRow("gravity loss", ValueText(dv - b.impulsiveDv, 4) + " m/s",
             "against the impulsive " + ValueText(b.impulsiveDv / 1e3, 5) + " km/s");
    PrintRow("steering",
             b.steering == plan::Steering::Local ? "local (follows the velocity)"
                                                 : "fixed (inertial direction)",
             "lead " + ValueText(b.lead, 4) + " s ahead of the impulsive ignition");
    char propellant[40];
    std::snprintf(propellant, sizeof propellant, "%.0f kg", b.propellant);
    PrintRow("propellant", propellant);
    PrintRow("Moon's sphere", DateText(b.soiEntry), "MJD " + ValueText(b.soiEntry, -5));
    PrintRow("periselene", ValueText(b.periseleneAltitude / 1e3, 4) + " km",
             DateText(b.periselene) + " (" + std::to_string(b.flights) + " flights)");
}

void PrintTable(const plan::TransferPlan& p) {
    const plan::Arc& a = p.arc;
    const double tof = a.arrive - a.depart;
    if (p.lunar) {
        std::printf("%s -> %s about %s: least-dv ignition from a %s km circular orbit\n",
                    p.from.c_str(), p.to.c_str(), p.reference.c_str(),
                    Km(p.parkRadius - p.fromRadius).c_str());
        PrintRow("ignition", DateText(p.ignition), "MJD " + ValueText(p.ignition, -5));
        PrintRow("delta-v", Km(Length(a.vinfDepart)) + " km/s", KmVector(a.vinfDepart) + " km/s");
    } else {
        std::printf("%s -> %s about %s: Lambert %s%s, %s way\n", p.from.c_str(), p.to.c_str(),
                    p.reference.c_str(), otk::LambertSolverName(p.solver),
                    p.arc.refined ? " (refined)" : "", p.longWay ? "long" : "short");
        PrintRow("departure", DateText(a.depart), "MJD " + ValueText(a.depart, -5));
    }
    PrintRow("arrival", DateText(a.arrive), "MJD " + ValueText(a.arrive, -5));
    PrintRow("time of flight", ValueText(tof, 4) + " days");
    PrintRow("C3", ValueText(a.c3 / 1e6, 4) + " km^2/s^2");
    if (!p.lunar)
        PrintRow("v-inf departure", Km(Length(a.vinfDepart)) + " km/s",
                 KmVector(a.vinfDepart) + " km/s");
    PrintRow(p.lunar ? "speed at arrival" : "v-inf arrival", Km(Length(a.vinfArrive)) + " km/s",
             KmVector(a.vinfArrive) + " km/s (relative to " + p.to + ")");
    if (!p.lunar) {
        const plan::Ejection& e = p.ejection;
        std::printf("Ejection from a %s km circular orbit in %s's equatorial plane\n",
                    Km(p.parkRadius - p.fromRadius).c_str(), p.from.c_str());
        PrintRow("v-inf declination", ValueText(e.vinfDeclination * 180 / M_PI, 4) + " deg");
        PrintRow("burn true anomaly", ValueText(e.trueAnomaly * 180 / M_PI, 4) + " deg",
                 "at " + KmVector(e.position) + " km");
        PrintRow("delta-v", Km(Length(e.dv)) + " km/s", KmVector(e.dv) + " km/s");
        PrintRow("from inclined orbit", Km(Length(e.inclinedDv)) + " km/s",
                 "(inclination " + ValueText(std::fabs(e.vinfDeclination) * 180 / M_PI, 4) +
                     " deg, the asymptote in its plane)");
        if (p.engine) PrintRow("burn time", ValueText(e.burnTime, 4) + " s");
    }
    if (p.burn) PrintBurn(*p.burn);
    std::printf("Frame: ecliptic and equinox of J2000, right-handed, about %s.\n",
                p.reference.c_str());
}

// Draws the burn's track (kept by the plan) into png: about FROM and, beside it, about the Moon
// near the periselene, both in the plane of the Moon's orbit at the periselene (not rotating),
// with the Moon's path and its sphere of influence. False with a one-line reason.
bool PlotLunarBurn(const std::string& png, const plan::TransferPlan& plan, std::string* why) {
    const plan::LunarBurn& b = *plan.burn;
    if (b.track.size() < 2) {
        *why = "the flight was not kept";
        return false;
    }
    // The Moon at the periselene fixes the plane: x towards it, z along its orbit's normal.
    const plan::TrackPoint* peri = &b.track.front();
    for (const plan::TrackPoint& t : b.track)
        if (std::fabs(t.mjd - b.periselene) < std::fabs(peri->mjd - b.periselene)) peri = &t;
    const VECTOR3 X = unit(peri->moon), Z = unit(CrossProduct(b.track.front().moon, peri->moon)),
                  Y = CrossProduct(Z, X);
    // Every length in thousands of km.
    std::string s = "$track << EOD\n";
    char line[600];
    for (const plan::TrackPoint& t : b.track) {
        const VECTOR3 near = t.vessel - t.moon;  // about the Moon
        std::snprintf(line, sizeof line, "%.4f %.4f %.4f %.4f %.4f %.4f\n", dotp(t.vessel, X) / 1e6,
                      dotp(t.vessel, Y) / 1e6, dotp(t.moon, X) / 1e6, dotp(t.moon, Y) / 1e6,
                      dotp(near, X) / 1e6, dotp(near, Y) / 1e6);
        s += line;
    }
    s += "EOD\n";
    const VECTOR3 p = peri->vessel - peri->moon;
    const double mx = Length(peri->moon) / 1e6, px = dotp(p, X) / 1e6, py = dotp(p, Y) / 1e6;
    const double moonR = plan.toRadius / 1e6, earthR = plan.fromRadius / 1e6;
    const double soi = b.soiAtPeriselene;
    const std::string peLabel =
        "periselene " + ValueText(b.periseleneAltitude / 1e3, 4) + " km, " + DateText(b.periselene);
    s += "set multiplot layout 1,2 title " +
         GnuplotQuoted(plan.from + " -> " + plan.to + ": finite burn of " +
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
                  GnuplotQuoted("about " + plan.from).c_str(),
                  GnuplotQuoted(plan.to + " at the periselene").c_str(), mx,
                  GnuplotQuoted(plan.from).c_str(), earthR, earthR, mx, soi / 1e6, soi / 1e6,
                  GnuplotQuoted(plan.to + "'s sphere of influence").c_str());
    s += line;
    s += "$track using 3:4 with lines lw 2 lc rgb '#999999' title " +
         GnuplotQuoted(plan.to + "'s path") +
         ", $track using 1:2 with lines lw 1.5 lc rgb '#1f77b4' title 'flown trajectory'\n";
    // About the Moon near the periselene.
    const double span = std::fmax(8 * (moonR + b.periseleneAltitude / 1e6), 12);
    std::snprintf(line, sizeof line,
                  "unset label\nset title %s\nset xrange [%.4f:%.4f]\nset yrange [%.4f:%.4f]\n"
                  "set label 1 %s at %.6f,%.6f center point pt 7 ps 1.2 lc rgb '#d62728' "
                  "offset 0,-1.5\n"
                  "plot %.6f*cos(t), %.6f*sin(t) with filledcurves lc rgb '#bbbbbb' title %s, ",
                  GnuplotQuoted("about " + plan.to + " near the periselene").c_str(), -span, span,
                  -span, span, GnuplotQuoted(peLabel).c_str(), px, py, moonR, moonR,
                  GnuplotQuoted(plan.to).c_str());
    s += line;
    s += "$track using 5:6 with lines lw 1.5 lc rgb '#1f77b4' title 'flown trajectory'\n"
         "unset multiplot\n";
    return RenderPng(png, 1500, 700, s, why);
}

int RunTransfer(TransferArgs& args, const Options& opts, plan::SolarModel& model) {
    // gnuplot reads its script line by line: a line break in the path is refused by Name.
    if (!args.plot.empty() && !IsFilePrefix(args.plot))
        return Fail(kCommand, "--plot '%s' names a directory, not a file", args.plot.c_str());
    plan::TransferRequest& r = args.request;
    if (!(r.arrive > r.depart))
        return Fail(kCommand, "the arrival (%s) must come after the departure (%s)",
                    args.arriveText.c_str(), args.departText.c_str());
    const int engineParts = !!args.thrust->count() + !!args.isp->count() + !!args.mass->count();
    if (engineParts != 0 && engineParts != 3)
        return Fail(kCommand, "an engine needs --thrust, --isp and --mass, all above 0");
    if (engineParts == 3) r.engine = args.engine;
    r.parkAltitude = args.parkAlt * 1e3;
    r.periseleneAltitude = args.periseleneAlt * 1e3;
    r.keepTrack = !args.plot.empty();
    r.steering = args.steering == "fixed"   ? plan::Steering::Fixed
                 : args.steering == "local" ? plan::Steering::Local
                                            : plan::Steering::Auto;
    Progress progress(kCommand);
    auto planned = plan::PlanTransfer(
        r,
        [&](const plan::Progress& p) {
            progress.Note("aim-point correction %d: periselene %.1f km", static_cast<int>(p.done),
                          p.value / 1e3);
        },
        &model);
    progress.Done();
    if (!planned.ok()) return Fail(kCommand, "%s", planned.error().c_str());
    const plan::TransferPlan& plan = planned.value();
    if (args.periselene->count() && !plan.burn)
        return Fail(kCommand, "--periselene-alt needs TO about FROM and an engine");
    if (!args.plot.empty() && !plan.burn)
        return Fail(kCommand,
                    "--plot draws a flown trajectory: it needs TO about FROM and an engine");
    if (plan.retrograde)
        std::fprintf(stderr,
                     "zaq transfer: note: this arc is retrograde about %s; the %s way runs with "
                     "%s's motion\n",
                     plan.reference.c_str(), plan.longWay ? "short" : "long", plan.from.c_str());
    // The plan is printed whatever becomes of the plot; a plot that fails gives exit code 1.
    const std::string png = OutputPath(opts, args.plot);
    const bool canPlot = !args.plot.empty() && OnPath("gnuplot");
    if (!args.plot.empty() && !canPlot)
        std::fprintf(stderr,
                     "zaq transfer: gnuplot is not installed (apt-get install gnuplot-nox); no "
                     "plot\n");
    std::string why;
    const bool plotted = canPlot && PlotLunarBurn(png, plan, &why);
    if (canPlot && !plotted) std::fprintf(stderr, "zaq transfer: no plot: %s\n", why.c_str());
    const int code = canPlot && !plotted ? 1 : 0;
    if (args.json) {
        Json j = plan::TransferJson(plan);
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
    plan::TransferRequest& r = args->request;
    CLI::App* cmd = app.add_subcommand(
        "transfer",
        "Plan a transfer: the Lambert arc from FROM to TO about the body both move about, and "
        "the departure burn from a circular parking orbit (for TO about FROM, e.g. Earth -> "
        "Moon: the least-dv ignition)");
    AddBodies(cmd, kCommand, &r.from, &r.to, "Destination body, e.g. Mars or Moon");
    cmd->add_option("--depart", r.depart,
                    "Departure date: an MJD (TT) or UTC YYYY-MM-DD[THH:MM[:SS]]; for TO about "
                    "FROM the earliest ignition (five minutes later)")
        ->required()
        ->transform(Date(kCommand, &args->departText))
        ->type_name("DATE");
    cmd->add_option("--arrive", r.arrive, "Arrival date, as --depart")
        ->required()
        ->transform(Date(kCommand, &args->arriveText))
        ->type_name("DATE");
    cmd->add_option("--park-alt", args->parkAlt, "Parking-orbit altitude in km (default 300)")
        ->transform(Number(kCommand, "--park-alt", 0, plan::kMaxParkAltitude / 1e3));
    cmd->add_option("--solver", r.solver,
                    "Lambert solver: G, PN, UB or UN (default UN); TO about FROM always uses PN")
        ->transform(Solver(kCommand))
        ->type_name("SOLVER");
    cmd->add_flag("--long", r.longWay, "Take the long way (transfer angle above 180 deg)");
    args->thrust =
        cmd->add_option("--thrust", args->engine.thrust, "Engine thrust in N, for the burn time")
            ->transform(Number(kCommand, "--thrust", plan::kThrustRange[0], plan::kThrustRange[1]));
    args->isp = cmd->add_option("--isp", args->engine.isp, "Engine specific impulse in s")
                    ->transform(Number(kCommand, "--isp", plan::kIspRange[0], plan::kIspRange[1]));
    args->mass =
        cmd->add_option("--mass", args->engine.mass, "Vessel mass at ignition in kg")
            ->transform(Number(kCommand, "--mass", plan::kMassRange[0], plan::kMassRange[1]));
    args->periselene =
        cmd->add_option("--periselene-alt", args->periseleneAlt,
                        "For TO about FROM with an engine: the periselene altitude in km of the "
                        "finite burn's flown pass (default 100)")
            ->transform(
                Number(kCommand, "--periselene-alt", 0, plan::kMaxPeriseleneAltitude / 1e3));
    cmd->add_option("--steering", args->steering,
                    "For TO about FROM with an engine: the finite burn held fixed in space, held "
                    "along the velocity (local), or whichever spends less (auto, the default)")
        ->check(OneOf(kCommand, "--steering", {"fixed", "local", "auto"}))
        ->type_name("fixed|local|auto");
    AddIntegrator(cmd, kCommand, &r.integrator);
    cmd->add_option("--plot", args->plot,
                    "For TO about FROM with an engine: a PNG of the flown trajectory, the Moon's "
                    "path and sphere of influence and the periselene (with gnuplot)")
        ->check(Name(kCommand, "--plot"));
    cmd->add_flag("--json", args->json, "Print the plan as one JSON object");
    cmd->callback([&opts, args] {
        opts.run = [&opts, args](plan::SolarModel& model) {
            return RunTransfer(*args, opts, model);
        };
    });
}

}  // namespace zaq::app
