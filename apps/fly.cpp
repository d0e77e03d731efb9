// zaq fly: a vessel flown from a parking orbit about a body through the full model (every body of
// the scenario pulling, zonal terms included), its events printed as they happen, its path
// written as CSV with a plot of altitude and of the orbit's plane.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "apps/arguments.h"
#include "apps/commands.h"
#include "apps/csv.h"
#include "apps/json.h"
#include "apps/options.h"
#include "apps/output.h"
#include "zaq/constants.h"
#include "zaq/plan.h"
#include "zaq/vector3.h"

namespace zaq::app {
namespace {

constexpr const char* kCommand = "fly";
constexpr double kDeg = 180.0 / M_PI;
using plan::DateText;
using plan::ValueText;

struct FlyArgs {
    plan::FlyRequest request;
    double alt = NAN, inc = NAN, days = NAN;  // km, deg, days as given
    double sample = NAN;                      // s between rows; NaN: by the flight's length
    std::string out;
    bool json = false, plot = true;
};

void Announce(const plan::FlyEvent& e) {
    std::printf("  %s  %-16s", DateText(e.mjd).c_str(), e.type.c_str());
    if (e.type == "reference")
        std::printf("%s -> %s\n", e.from.c_str(), e.to.c_str());
    else if (std::isnan(e.nodeLongitude))
        std::printf("alt %.3f km\n", e.altitude / 1e3);
    else
        std::printf("alt %.3f km  node longitude %.4f deg\n", e.altitude / 1e3,
                    e.nodeLongitude * kDeg);
}

// The scenario's bodies, "Sun, Earth, Moon".
std::string BodyList(const plan::FlightRecord& flight) {
    std::string list;
    for (const std::string& name : flight.bodies) list += (list.empty() ? "" : ", ") + name;
    return list;
}

// Altitude over time beside the path seen from above the start orbit's plane (x towards its
// periapsis), with the body's outline, from the data file the flight wrote (time in hours or
// days, altitude, the two in-plane coordinates; km).
bool Plot(const std::string& png, const std::string& data, bool hours, const std::string& title,
          double radius, std::string* why) {
    const std::string path = GnuplotQuoted(data);
    std::string s = "set datafile separator ','\n";
    s += "set multiplot layout 1,2 title " + GnuplotQuoted(title) + "\nset key off\nset grid\n";
    s += std::string("set xlabel 'Time since start (") + (hours ? "hours" : "days") + ")'\n";
    s += "set ylabel 'Altitude above the mean radius (km)'\n";
    s += "plot " + path + " using 1:2 with lines lw 1.5 lc rgb '#1f77b4'\n";
    s += "set size ratio -1\nset parametric\nset trange [0:2*pi]\n"
         "set xlabel 'Along the periapsis (km)'\nset ylabel 'In the plane (km)'\n";
    const std::string r = ValueText(radius / 1e3, 6);
    s += "plot " + r + "*cos(t), " + r + "*sin(t) with filledcurves lc rgb '#a6c8e0', ";
    s += path + " using 3:4 with lines lw 1 lc rgb '#d62728'\nunset multiplot\n";
    return RenderPng(png, 1400, 620, s, why);
}

int RunFly(FlyArgs& args, const Options& opts, plan::SolarModel& model) {
    if (!args.out.empty() && !IsFilePrefix(args.out))
        return Fail(kCommand, "--out '%s' names a directory, not a file prefix", args.out.c_str());
    plan::FlyRequest& r = args.request;
    const double alt = args.alt, inc = args.inc, days = args.days;
    r.periapsisAltitude = alt * 1e3;
    r.inclination = inc / kDeg;
    r.duration = days * kSecondsPerDay;
    if (std::isnan(r.start)) r.start = ParseDate("");  // now
    // One row a step for flights up to a day, else one a minute, unless asked.
    r.sampleInterval = !std::isnan(args.sample) ? args.sample : days <= 1 ? 0 : 60;
    r.keepEvents = args.json;  // the text announces them as they come
    // The path goes to the CSV as it is flown, and to the plot's data in the scratch directory:
    // a flight of years needs no memory for it.
    const std::string prefix = OutputPath(opts, args.out.empty() ? "fly-" + r.body : args.out);
    const std::string csv = prefix + ".csv", png = prefix + ".png";
    const std::string plotData = model.Directory() + "/path.csv";
    CsvFile rows(csv, "mjd,utc,x_km,y_km,z_km,vx_km_s,vy_km_s,vz_km_s,altitude_km,reference");
    std::unique_ptr<CsvFile> points;
    if (args.plot) points = std::make_unique<CsvFile>(plotData, "#t,altitude_km,x_km,y_km");
    std::string why;
    if (!rows.Good(&why)) return Fail(kCommand, "cannot write %s: %s", csv.c_str(), why.c_str());
    const bool hours = days <= 3;
    std::vector<std::string> bodies;
    VECTOR3 P{}, Q{};  // the start orbit's plane: along its periapsis, and 90 deg ahead
    UtcTexts utc;
    auto sink = [&](const plan::FlightSample& w) {
        rows.Number(w.mjd, 8).Text(utc(w.mjd));
        for (double x : {w.r.x, w.r.y, w.r.z}) rows.Number(x / 1e3, 4);
        for (double x : {w.v.x, w.v.y, w.v.z}) rows.Number(x / 1e3, 7);
        rows.Number(w.altitude / 1e3, 4).Text(bodies[w.reference]);
        rows.EndRow();
        if (!points) return;
        points->Number((w.mjd - r.start) * (hours ? 24 : 1), 6).Number(w.altitude / 1e3, 4);
        points->Number(dotp(w.r, P) / 1e3, 3).Number(dotp(w.r, Q) / 1e3, 3);
        points->EndRow();
    };
    size_t events = 0, nodes = 0;
    // The flight's events as they happen (the header once the orbit is known), and its progress.
    Progress progress(kCommand);
    auto planned = plan::Fly(
        r,
        [&](const plan::Progress& p) {
            const plan::FlightRecord& f = *p.flight;
            if (p.done == 0) {
                bodies = f.bodies;
                P = unit(f.r0);
                Q = unit(CrossProduct(CrossProduct(f.r0, f.v0), f.r0));
            }
            if (!args.json && p.done == 0)
                std::printf(
                    "%s: parking orbit %.3f x %.3f km, inclination %.3f deg to %s's equator, "
                    "period %.3f min\nflying %g days from %s among %s\n",
                    f.body.c_str(), alt, f.apoapsisAltitude / 1e3, inc, f.body.c_str(),
                    f.period / 60, days, DateText(f.start).c_str(), BodyList(f).c_str());
            // Without --json the record holds only the events met since the last call.
            if (!args.json && !f.events.empty()) {
                progress.Done();
                for (const plan::FlyEvent& e : f.events) {
                    Announce(e);
                    nodes += e.type == "ascending node";
                }
                events += f.events.size();
            }
            const double flown = p.done / kSecondsPerDay;
            progress.Note("%5.1f%% (%.2f of %g days)", 100 * flown / days, flown, days);
        },
        &model, sink);
    progress.Done();
    if (!planned.ok()) return Fail(kCommand, "%s", planned.error().c_str());
    const plan::FlightRecord& f = planned.value();
    if (!rows.Close(&why)) return Fail(kCommand, "cannot write %s: %s", csv.c_str(), why.c_str());
    const bool canPlot = args.plot && OnPath("gnuplot");
    char title[200];
    std::snprintf(title, sizeof title, "%s: %.0f x %.0f km, %.1f deg to the equator, from %s",
                  f.body.c_str(), alt, f.apoapsisAltitude / 1e3, inc, DateText(f.start).c_str());
    bool plotted = false;
    if (args.plot && !canPlot)
        std::fprintf(stderr,
                     "zaq fly: gnuplot is not installed (apt-get install gnuplot-nox); no plot, "
                     "the CSV is written\n");
    else if (canPlot && !(points->Close(&why) &&
                          (plotted = Plot(png, plotData, hours, title, f.radius, &why))))
        std::fprintf(stderr, "zaq fly: no plot: %s; the CSV is written\n", why.c_str());
    const double drift = f.nodeDrift * kDeg * kSecondsPerDay;  // deg/day
    const int code = canPlot && !plotted ? 1 : 0;
    if (args.json) {
        Json j = plan::FlightJson(f, r);
        j["csv"] = csv;
        if (plotted) j["png"] = png;
        const int printed = PrintJson(kCommand, j);
        return printed ? printed : code;
    }
    std::printf("%d steps, %zu events, %zu ascending nodes", f.steps, events, nodes);
    if (!std::isnan(drift)) std::printf("; the node drifts %.4f deg/day", drift);
    std::printf("\nCSV: %s\n", csv.c_str());
    if (plotted) std::printf("Plot: %s\n", png.c_str());
    return code;
}

}  // namespace

void RegisterFly(CLI::App& app, Options& opts) {
    auto args = std::make_shared<FlyArgs>();
    plan::FlyRequest& r = args->request;
    CLI::App* cmd = app.add_subcommand(
        "fly",
        "Flies a vessel from a parking orbit about BODY through the full model: the events as "
        "they happen (apsides, nodes on the equator, reference changes), the path as CSV and a "
        "plot of altitude and of the orbit's plane as PNG (with gnuplot)");
    cmd->add_option("BODY", r.body, "Body the vessel orbits, e.g. Earth")
        ->required()
        ->check(Name(kCommand, "BODY"));
    cmd->add_option("--alt", args->alt, "Periapsis altitude above the mean radius (km)")
        ->required()
        ->transform(Number(kCommand, "--alt", plan::kFlyAltitudeRange[0] / 1e3,
                           plan::kFlyAltitudeRange[1] / 1e3));
    cmd->add_option("--ecc", r.eccentricity, "Eccentricity, 0 to 0.99 (default 0)")
        ->transform(Number(kCommand, "--ecc", 0, plan::kMaxEccentricity));
    cmd->add_option("--inc", args->inc, "Inclination to the body's equator (deg)")
        ->required()
        ->transform(Number(kCommand, "--inc", 0, 180));
    cmd->add_option("--start", r.start,
                    "Start: an MJD (TT) or UTC YYYY-MM-DD[THH:MM[:SS]] (default: now)")
        ->transform(Date(kCommand))
        ->type_name("DATE");
    cmd->add_option("--sample", args->sample,
                    "Seconds between CSV rows and plot points: one at the first step's end in each "
                    "interval; 0 every step (default: every step for a flight of up to a day, else "
                    "60)")
        ->transform(Number(kCommand, "--sample", 0, plan::kFlyDurationRange[1]));
    cmd->add_option("--days", args->days, "Length of the flight (days)")
        ->required()
        ->transform(Number(kCommand, "--days", plan::kFlyDurationRange[0] / kSecondsPerDay,
                           plan::kFlyDurationRange[1] / kSecondsPerDay));
    AddIntegrator(cmd, kCommand, &r.integrator);
    cmd->add_option("--out", args->out,
                    "Output prefix: PREFIX.csv and PREFIX.png (default fly-BODY)")
        ->check(Name(kCommand, "--out"));
    cmd->add_flag("--json", args->json, "Print the flight as one JSON object");
    cmd->add_flag("!--no-plot", args->plot, "Write the CSV only");
    cmd->callback([&opts, args] {
        opts.run = [&opts, args](plan::SolarModel& model) { return RunFly(*args, opts, model); };
    });
}

}  // namespace zaq::app
