// zaq fly: a vessel flown from a parking orbit about a body through the full model (every body of
// the scenario pulling, zonal terms included), its events printed as they happen, its path
// written as CSV with a plot of altitude and of the orbit's plane.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "apps/commands.h"
#include "apps/json.h"
#include "apps/mission.h"
#include "apps/output.h"
#include "apps/solmodel.h"
#include "zaq/constants.h"
#include "zaq/flight.h"
#include "zaq/hostsim.h"
#include "zaq/vector3.h"

namespace zaq::app {
namespace {

constexpr const char* kCommand = "fly";
constexpr double kMaxDays = 3650;
constexpr double kMaxRows = 200000;  // rows of the CSV; longer flights keep every n-th step
constexpr double kDeg = 180.0 / M_PI;

struct FlyArgs {
    std::string body, alt, ecc, inc, start, days, out;
    bool json = false, plot = true;
};

// The body's equator: its pole and two directions in its plane, x along pole x ecliptic north
// (for Earth the vernal equinox, so that a node's longitude is its right ascension).
struct Equator {
    VECTOR3 x, y, pole;
};

Equator EquatorOf(CSol& sol, int csid, double mjd) {
    Equator e;
    e.pole = unit(sol.GetRotation(csid, mjd));
    const VECTOR3 node = CrossProduct(e.pole, _V(0, 0, 1));
    e.x = Length(node) > 1e-9 ? unit(node) : _V(1, 0, 0);
    e.y = CrossProduct(e.pole, e.x);
    return e;
}

// One condition met during the flight.
struct FlyEvent {
    std::string type;  // "periapsis", "apoapsis", "ascending node", "descending node", "reference"
    double mjd = 0;
    double alt = NAN;      // km above the mean radius
    double nodeLon = NAN;  // deg, the node's longitude along the equator from its x direction
    std::string from, to;  // of a reference change
};

// A condition reported inside a step, resolved once the step has ended.
struct Pending {
    int code = 0;
    VECTOR3 r0{}, v0{};  // the step's start
    double t0 = 0;
    VECTOR3 node{};  // the node on the step-start conic
    double nodeMjd = 0;
};

struct Flight {
    CFlight* flight = nullptr;
    cfVessel* vessel = nullptr;
    short body = -1;
    double radius = 0;  // m
    Equator equator;
    bool quiet = false;  // JSON: no event lines
    std::vector<Pending> pending;
    std::vector<FlyEvent> events;
};

const char* EventName(int code) {
    switch (code) {
        case EVENT_PERIAPSIS:
            return "periapsis";
        case EVENT_APOAPSIS:
            return "apoapsis";
        case EVENT_NODE_ASN:
            return "ascending node";
        default:
            return "descending node";
    }
}

void Announce(const Flight& f, const FlyEvent& e) {
    if (f.quiet) return;
    std::printf("  %s  %-16s", DateText(e.mjd).c_str(), e.type.c_str());
    if (e.type == "reference")
        std::printf("%s -> %s\n", e.from.c_str(), e.to.c_str());
    else if (std::isnan(e.nodeLon))
        std::printf("alt %.3f km\n", e.alt);
    else
        std::printf("alt %.3f km  node longitude %.4f deg\n", e.alt, e.nodeLon);
}

int OnEvent(void* data, cfEvent* e) {
    Pending p;
    p.code = e->GetTriggered();
    e->GetPreStepState(&p.r0, &p.v0, &p.t0);
    if (p.code & (EVENT_NODE_ASN | EVENT_NODE_DSN))
        e->GetStateVectors(&p.node, nullptr, &p.nodeMjd);
    static_cast<Flight*>(data)->pending.push_back(p);
    return 0;
}

int OnReference(void* data, CFlight* flight, cfVessel*, short from, short to) {
    Flight& f = *static_cast<Flight*>(data);
    FlyEvent e;
    e.type = "reference";
    e.mjd = flight->GetMJD();
    e.from = flight->GetName(from);
    e.to = flight->GetName(to);
    f.events.push_back(e);
    Announce(f, e);
    return 0;
}

// Resolves the conditions of the step that ended at mjd. A node is taken on the step-start conic;
// an apsis, where the radial rate changes sign, between the step's ends (on a nearly circular
// orbit the conic's own apsides lie anywhere).
void Resolve(Flight& f, double mjd) {
    const size_t first = f.events.size();
    const VECTOR3 r1 = f.vessel->GetPosition(), v1 = f.vessel->GetVelocity();
    for (const Pending& p : f.pending) {
        FlyEvent e;
        e.type = EventName(p.code);
        if (p.code & (EVENT_NODE_ASN | EVENT_NODE_DSN)) {
            e.mjd = p.nodeMjd;
            e.alt = (Length(p.node) - f.radius) / 1e3;
            const double lon =
                std::atan2(dotp(p.node, f.equator.y), dotp(p.node, f.equator.x)) * kDeg;
            e.nodeLon = lon < -1e-9 ? lon + 360 : std::fmax(lon, 0.0);
        } else {
            const double rv0 = dotp(p.r0, p.v0), rv1 = dotp(r1, v1);
            const double s = rv0 == rv1 ? 0 : rv0 / (rv0 - rv1);
            e.mjd = p.t0 + s * (mjd - p.t0);
            e.alt = (Length(p.r0) + s * (Length(r1) - Length(p.r0)) - f.radius) / 1e3;
        }
        f.events.push_back(e);
    }
    f.pending.clear();
    std::sort(f.events.begin() + first, f.events.end(),
              [](const FlyEvent& a, const FlyEvent& b) { return a.mjd < b.mjd; });
    for (size_t k = first; k < f.events.size(); ++k) Announce(f, f.events[k]);
}

// The smaller of the two scenario types the flight model steps that holds the body: the Sun,
// Earth and Moon; or these with Venus and Jupiter.
std::unique_ptr<CFlight> ScenarioFor(CSol& sol, const std::string& name, short* id) {
    for (int type : {4, 3}) {
        auto flight = std::make_unique<CFlight>(&sol, type);
        for (short i = 0; i < flight->GetCount(); ++i)
            if (name == flight->GetName(i)) {
                *id = i;
                return flight;
            }
    }
    return nullptr;
}

// The scenario's bodies, "Sun, Earth, Moon".
std::string BodyList(const CFlight& flight) {
    std::string list;
    for (short i = 0; i < flight.GetCount(); ++i)
        list += (i ? ", " : "") + std::string(flight.GetName(i));
    return list;
}

struct Row {
    double mjd;
    VECTOR3 r, v;
    double alt;
    short ref;
};

bool WriteCsv(const std::string& path, const std::vector<Row>& rows, const CFlight& flight) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    std::fprintf(f, "mjd,utc,x_km,y_km,z_km,vx_km_s,vy_km_s,vz_km_s,altitude_km,reference\n");
    for (const Row& w : rows)
        std::fprintf(f, "%.8f,%s,%.4f,%.4f,%.4f,%.7f,%.7f,%.7f,%.4f,%s\n", w.mjd,
                     DateText(w.mjd).c_str(), w.r.x / 1e3, w.r.y / 1e3, w.r.z / 1e3, w.v.x / 1e3,
                     w.v.y / 1e3, w.v.z / 1e3, w.alt, flight.GetName(w.ref));
    return std::fclose(f) == 0;
}

// Altitude over time beside the path seen from above the start orbit's plane (x towards its
// periapsis), with the body's outline.
bool Plot(const std::string& png, const std::vector<Row>& rows, const std::string& title,
          double radius, const VECTOR3& P, const VECTOR3& Q, std::string* why) {
    const double span = rows.back().mjd - rows.front().mjd;
    const bool hours = span <= 3;
    std::string s = "$path << EOD\n";
    char line[160];
    for (const Row& w : rows) {
        const double t = (w.mjd - rows.front().mjd) * (hours ? 24 : 1);
        std::snprintf(line, sizeof line, "%.6f %.4f %.3f %.3f\n", t, w.alt, dotp(w.r, P) / 1e3,
                      dotp(w.r, Q) / 1e3);
        s += line;
    }
    s += "EOD\n";
    s += "set terminal pngcairo size 1400,620 font ',11'\nset output " + GnuplotQuoted(png) + "\n";
    s += "set multiplot layout 1,2 title " + GnuplotQuoted(title) + "\nset key off\nset grid\n";
    s += std::string("set xlabel 'Time since start (") + (hours ? "hours" : "days") + ")'\n";
    s += "set ylabel 'Altitude above the mean radius (km)'\n";
    s += "plot $path using 1:2 with lines lw 1.5 lc rgb '#1f77b4'\n";
    s += "set size ratio -1\nset parametric\nset trange [0:2*pi]\n"
         "set xlabel 'Along the periapsis (km)'\nset ylabel 'In the plane (km)'\n";
    const std::string r = ValueText(radius / 1e3, 6);
    s += "plot " + r + "*cos(t), " + r + "*sin(t) with filledcurves lc rgb '#a6c8e0', ";
    s += "$path using 3:4 with lines lw 1 lc rgb '#d62728'\nunset multiplot\n";
    return RunGnuplot(s, why);
}

int RunFly(const FlyArgs& args, const Options& opts) {
    double alt = 0, ecc = 0, inc = 0, days = 0, start = 0;
    if (!NameArgument(kCommand, "BODY", args.body) || !NameArgument(kCommand, "--out", args.out) ||
        !NumberArgument(kCommand, "--alt", args.alt, 1e-3, 1e9, &alt) ||
        !NumberArgument(kCommand, "--ecc", args.ecc, 0, 0.99, &ecc) ||
        !NumberArgument(kCommand, "--inc", args.inc, 0, 180, &inc) ||
        !NumberArgument(kCommand, "--days", args.days, 1e-3, kMaxDays, &days) ||
        !DateArgument(kCommand, args.start, &start))
        return 2;
    if (!InEphemerisRange(start + days))
        return Fail(kCommand, "the flight runs past the built-in ephemerides (years 1000-3000)");
    if (!args.out.empty() && !IsFilePrefix(args.out))
        return Fail(kCommand, "--out '%s' names a directory, not a file prefix", args.out.c_str());
    if (!hostsim::LoadSolarSystem(start)) {
        std::fprintf(stderr, "zaq fly: %s\n", hostsim::LastError().c_str());
        return 1;
    }
    OBJHANDLE handle = oapiGetObjectByName(args.body.c_str());
    if (!handle) return Fail(kCommand, "unknown body '%s'", args.body.c_str());
    char name[64];
    oapiGetObjectName(handle, name, sizeof name);
    CSol sol;
    if (!SetupSolarModel(sol)) return Fail(kCommand, "the solar-system model could not be set up");
    const int csid = sol.GetId(handle);
    Flight f;
    std::unique_ptr<CFlight> flight = csid < 0 ? nullptr : ScenarioFor(sol, name, &f.body);
    if (!flight)
        return Fail(kCommand,
                    "the flight model steps vessels about the Sun, Venus, Earth, the Moon and "
                    "Jupiter, not '%s'",
                    name);

    // The parking orbit: periapsis at --alt above the mean radius, at the ascending node on the
    // body's equator.
    f.radius = oapiGetSize(handle);
    const double mu = kG * sol.GetMass(csid), rp = f.radius + alt * 1e3, a = rp / (1 - ecc);
    const double ra = a * (1 + ecc), soi = sol.GetData(csid, CSD_SOI);
    if (csid != 0 && soi > 0 && ra > soi)
        return Fail(kCommand,
                    "the apoapsis (%.0f km) lies beyond %s's sphere of influence (%.0f km)",
                    ra / 1e3, name, soi / 1e3);
    f.equator = EquatorOf(sol, csid, start);
    const Equator& eq = f.equator;
    const double vp = std::sqrt(mu * (1 + ecc) / rp), i = inc / kDeg;
    const VECTOR3 r0 = eq.x * rp, v0 = (eq.y * std::cos(i) + eq.pole * std::sin(i)) * vp;
    const double period = 2 * M_PI * std::sqrt(a * a * a / mu);

    f.flight = flight.get();
    f.quiet = args.json;
    if (!flight->SetStartMJD(start)) return Fail(kCommand, "the flight model could not start");
    flight->SetRefCallback(OnReference, &f);
    f.vessel = flight->CreateVessel(f.body, r0, v0, 1000);
    if (!f.vessel) return Fail(kCommand, "the flight model refused the vessel");
    const int watch = EVENT_PERIAPSIS | EVENT_APOAPSIS | EVENT_NODE_ASN | EVENT_NODE_DSN;
    cfEvent* events = f.vessel->AddEvent(watch | EVENT_SAMEREF, f.body, OnEvent, &f);
    if (!events) return Fail(kCommand, "the flight model refused the events");
    events->SetPlane(eq.pole);

    if (!args.json)
        std::printf(
            "%s: parking orbit %.3f x %.3f km, inclination %.3f deg to %s's equator, period "
            "%.3f min\nflying %g days from %s among %s\n",
            name, alt, (ra - f.radius) / 1e3, inc, name, period / 60, days, DateText(start).c_str(),
            BodyList(*flight).c_str());

    // Every step's end is a row (fewer on long flights).
    const double end = start + days, spacing = days / kMaxRows;
    std::vector<Row> rows{{start, r0, v0, alt, f.body}};
    Progress progress(kCommand);
    int steps = 0, refused = 0;
    while (flight->GetMJD() < end) {
        const double left = (end - flight->GetMJD()) * kSecondsPerDay, dt = flight->GetNextdT();
        if (left < 1e-6) break;
        if (dt < 1.0 || refused > 100) {
            progress.Done();
            return Fail(kCommand, "the flight stopped at %s: the step size collapsed",
                        DateText(flight->GetMJD()).c_str());
        }
        if (flight->Step(dt < left ? dt : left) == 0) {
            ++refused;
            continue;
        }
        refused = 0;
        ++steps;
        const double mjd = flight->GetMJD();
        if (!f.pending.empty()) {
            if (!args.json) progress.Done();
            Resolve(f, mjd);
        }
        const VECTOR3 r = f.vessel->GetPosition();
        const short ref = f.vessel->GetReference();
        const double altitude =
            (Length(r) - (ref == f.body ? f.radius : flight->GetRadius(ref))) / 1e3;
        if (mjd - rows.back().mjd >= spacing || mjd >= end)
            rows.push_back({mjd, r, f.vessel->GetVelocity(), altitude, ref});
        progress.Note("%5.1f%% (%.2f of %g days)", 100 * (mjd - start) / days, mjd - start, days);
    }
    progress.Done();

    const std::string prefix =
        OutputPath(opts, args.out.empty() ? std::string("fly-") + name : args.out);
    const std::string csv = prefix + ".csv", png = prefix + ".png";
    if (!WriteCsv(csv, rows, *flight)) return Fail(kCommand, "cannot write %s", csv.c_str());
    std::string why;
    const bool canPlot = args.plot && OnPath("gnuplot");
    char title[200];
    std::snprintf(title, sizeof title, "%s: %.0f x %.0f km, %.1f deg to the equator, from %s", name,
                  alt, (ra - f.radius) / 1e3, inc, DateText(start).c_str());
    bool plotted = false;
    if (args.plot && !canPlot)
        std::fprintf(stderr,
                     "zaq fly: gnuplot is not installed (apt-get install gnuplot-nox); no plot, "
                     "the CSV is written\n");
    else if (canPlot && !(plotted = Plot(png, rows, title, f.radius, unit(r0),
                                         unit(CrossProduct(CrossProduct(r0, v0), r0)), &why)))
        std::fprintf(stderr, "zaq fly: no plot: %s; the CSV is written\n", why.c_str());

    // The ascending node's drift along the equator, from the first to the last node.
    std::vector<const FlyEvent*> nodes;
    for (const FlyEvent& e : f.events)
        if (e.type == "ascending node") nodes.push_back(&e);
    double drift = NAN;
    if (nodes.size() >= 2) {  // each revolution turns the node by far less than half a turn
        double turn = 0;
        for (size_t k = 1; k < nodes.size(); ++k)
            turn += std::remainder(nodes[k]->nodeLon - nodes[k - 1]->nodeLon, 360.0);
        drift = turn / (nodes.back()->mjd - nodes.front()->mjd);
    }
    const int code = canPlot && !plotted ? 1 : 0;
    if (args.json) {
        Json j;
        j["body"] = name;
        j["bodies"] = BodyList(*flight);
        j["start_mjd"] = start;
        j["start_utc"] = DateText(start);
        j["days"] = days;
        j["orbit"] = {{"periapsis_alt_km", alt},   {"apoapsis_alt_km", (ra - f.radius) / 1e3},
                      {"eccentricity", ecc},       {"inclination_deg", inc},
                      {"period_min", period / 60}, {"mean_radius_km", f.radius / 1e3}};
        j["steps"] = steps;
        Json list = Json::array();
        for (const FlyEvent& e : f.events) {
            Json item = {{"type", e.type}, {"mjd", e.mjd}, {"utc", DateText(e.mjd)}};
            if (!std::isnan(e.alt)) item["alt_km"] = e.alt;
            if (!std::isnan(e.nodeLon)) item["node_longitude_deg"] = e.nodeLon;
            if (e.type == "reference") {
                item["from"] = e.from;
                item["to"] = e.to;
            }
            list.push_back(item);
        }
        j["events"] = list;
        if (!std::isnan(drift)) j["node_drift_deg_per_day"] = drift;
        j["csv"] = csv;
        if (plotted) j["png"] = png;
        const int printed = PrintJson(kCommand, j);
        return printed ? printed : code;
    }
    std::printf("%d steps, %zu events, %zu ascending nodes", steps, f.events.size(), nodes.size());
    if (!std::isnan(drift)) std::printf("; the node drifts %.4f deg/day", drift);
    std::printf("\nCSV: %s\n", csv.c_str());
    if (plotted) std::printf("Plot: %s\n", png.c_str());
    return code;
}

}  // namespace

void RegisterFly(CLI::App& app, Options& opts) {
    auto args = std::make_shared<FlyArgs>();
    CLI::App* cmd = app.add_subcommand(
        "fly",
        "Flies a vessel from a parking orbit about BODY through the full model: the events as "
        "they happen (apsides, nodes on the equator, reference changes), the path as CSV and a "
        "plot of altitude and of the orbit's plane as PNG (with gnuplot)");
    cmd->add_option("BODY", args->body, "Body the vessel orbits, e.g. Earth")->required();
    cmd->add_option("--alt", args->alt, "Periapsis altitude above the mean radius (km)")
        ->required();
    cmd->add_option("--ecc", args->ecc, "Eccentricity, 0 to 0.99 (default 0)");
    cmd->add_option("--inc", args->inc, "Inclination to the body's equator (deg)")->required();
    cmd->add_option("--start", args->start,
                    "Start: an MJD (TT) or UTC YYYY-MM-DD[THH:MM[:SS]] (default: now)");
    cmd->add_option("--days", args->days, "Length of the flight (days)")->required();
    cmd->add_option("--out", args->out,
                    "Output prefix: PREFIX.csv and PREFIX.png (default fly-BODY)");
    cmd->add_flag("--json", args->json, "Print the flight as one JSON object");
    cmd->add_flag("!--no-plot", args->plot, "Write the CSV only");
    cmd->callback([&opts, args] { opts.run = [&opts, args] { return RunFly(*args, opts); }; });
}

}  // namespace zaq::app
