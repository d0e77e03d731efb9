// zaq porkchop: a departure-date x time-of-flight grid of Lambert transfers between two bodies,
// the short way (type I), the long way (type II) or both, written as CSV with a contour plot of
// C3 rendered by gnuplot.
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
#include "zaq/hostsim.h"
#include "zaq/plan.h"

namespace zaq::app {
namespace {

constexpr const char* kCommand = "porkchop";
constexpr double kPlotClip = 100;  // C3 (km^2/s^2) that no colour range passes
using plan::DateText;
using plan::ValueText;

struct PorkchopArgs {
    plan::PorkchopRequest request;
    std::vector<double> departRange, tofRange;  // MJD, days
    std::string out, way;
    bool longWay = false, plot = true, json = false;
};

// The two transfer types: index 0 the short way (type I), 1 the long way (type II).
constexpr const char* kWayName[2] = {"short", "long"};
constexpr const char* kTypeName[2] = {"I", "II"};

using Cell = plan::PorkchopCell;
using Leg = plan::PorkchopLeg;

double TofDays(const Cell& c) {
    return c.tof / kSecondsPerDay;
}

// The grid as CSV, a row a cell (departure-major); false with the reason in *why.
bool WriteCsv(const std::string& path, const std::vector<Cell>& cells, std::string* why) {
    CsvFile f(path,
              "depart_mjd,depart_utc,tof_days,arrive_mjd,c3_km2_s2,vinf_depart_km_s,"
              "vinf_arrive_km_s,status,way");
    UtcTexts utc;
    std::string departText;
    double departed = NAN;  // a column's departure: its UTC text is made once
    for (const Cell& c : cells) {
        const Leg& l = c.leg[c.shown];
        if (c.depart != departed) departText = utc(departed = c.depart);
        f.Number(c.depart, 6).Text(departText).Number(TofDays(c), 6).Number(c.arrive, 6);
        if (l.ok)
            f.Number(l.c3 / 1e6, 6).Number(l.vinfDepart / 1e3, 6).Number(l.vinfArrive / 1e3, 6);
        else
            f.Blank().Blank().Blank();
        f.Integer(l.status).Text(c.way < 0 ? "" : kWayName[c.way]);
        f.EndRow();
    }
    return f.Close(why);
}

// Seconds since 1970 (gnuplot's time axis) of an MJD (TT), on the UTC scale.
double PlotTime(double mjd) {
    return (hostsim::UtcMjd(mjd) - 40587.0) * kSecondsPerDay;
}

// Contour levels a reader can name: 1, 1.5, 2, 2.5, 3, 4, 5, 6, 8 times a power of ten, from the
// first above lo up to hi, at most eight of them (every other one past that).
std::vector<double> ContourLevels(double lo, double hi) {
    const double steps[] = {1, 1.5, 2, 2.5, 3, 4, 5, 6, 8};
    std::vector<double> levels;
    for (double decade = std::pow(10, std::floor(std::log10(lo > 0.1 ? lo : 0.1))); decade <= hi;
         decade *= 10)
        for (double s : steps)
            if (s * decade > lo && s * decade <= hi) levels.push_back(s * decade);
    while (levels.size() > 8) {
        std::vector<double> every;
        for (size_t k = 0; k < levels.size(); k += 2) every.push_back(levels[k]);
        levels.swap(every);
    }
    return levels;
}

// The grid's C3 contours over a colour map of the lower C3; cells above the colour range stay
// blank, and the least C3 of each type is marked.
bool Plot(const std::string& png, const plan::PorkchopGrid& grid, const Cell* const best[2],
          const char* way, std::string* why) {
    const std::vector<Cell>& cells = grid.cells;
    const int n = grid.grid;
    double lowest = INFINITY;
    for (int w = 0; w < 2; ++w)
        if (best[w]) lowest = std::fmin(lowest, best[w]->leg[w].c3 / 1e6);
    const double lo = std::floor(lowest);
    const double hi = std::fmin(kPlotClip, std::fmax(3 * lowest, lowest + 20));
    std::string s = "$grid << EOD\n";
    char line[400];
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const Cell& c = cells[static_cast<size_t>(i) * n + j];
            const double c3 = c.way < 0 ? NAN : c.leg[c.way].c3 / 1e6;
            std::snprintf(line, sizeof line, "%.0f %.6f %.6f\n", PlotTime(c.depart), TofDays(c),
                          c3 <= hi ? c3 : NAN);
            s += line;
        }
        s += "\n";
    }
    s += "EOD\n";
    // The contours are traced into a table first (before the time axis, which would write its
    // dates there) and drawn over the colour map in two dimensions, labelled every 30 points.
    s += "set contour base\nunset surface\nset cntrparam levels discrete ";
    const std::vector<double> levels = ContourLevels(lowest, hi);
    for (size_t k = 0; k < levels.size(); ++k) s += (k ? "," : "") + ValueText(levels[k], 4);
    s += "\nset table $contours\nsplot $grid using 1:2:3\nunset table\nunset contour\n";
    s += "set title 'C3 (km^2/s^2) of " + grid.from + " -> " + grid.to + " transfers about " +
         grid.reference + ", " + way + "'\n";
    s += "set xdata time\nset timefmt '%s'\nset format x '%Y-%m-%d'\nset xtics rotate by -30\n";
    s += "set xlabel 'Departure date'\nset ylabel 'Time of flight (days)'\n";
    std::snprintf(line, sizeof line,
                  "set xrange [%.0f:%.0f]\nset yrange [%.6f:%.6f]\nset cbrange [%.3f:%.3f]\n",
                  PlotTime(cells.front().depart), PlotTime(cells.back().depart),
                  TofDays(cells.front()), TofDays(cells.back()), lo, hi);
    s += line;
    s += "set palette rgb 33,13,10\nset cblabel 'C3 (km^2/s^2)'\nset key off\n"
         "set style textbox opaque noborder\n";
    for (int w = 0; w < 2; ++w) {
        if (!best[w]) continue;
        std::snprintf(line, sizeof line,
                      "set label %d 'type %s min %.2f' at %.0f,%.6f front point pt 7 ps 1.6 "
                      "lc rgb 'black' offset 1,%s boxed tc rgb 'black'\n",
                      w + 1, kTypeName[w], best[w]->leg[w].c3 / 1e6, PlotTime(best[w]->depart),
                      TofDays(*best[w]), w ? "1" : "-1");
        s += line;
    }
    s += "plot $grid using 1:2:3 with image, $contours using 1:2 with lines lw 1.2 lc rgb 'black', "
         "$contours using 1:2:(sprintf('%g', $3)) every 30::10 with labels boxed font ',9'\n";
    return RenderPng(png, 1100, 800, s, why);
}

// The --way argument with --long (an alias of --way long); Auto when neither is given.
bool WaysArgument(const PorkchopArgs& args, plan::Ways* ways) {
    std::string way = args.way;
    if (args.longWay) {
        if (!way.empty() && way != "long") {
            Fail(kCommand, "--long asks for --way long, not '%s'", plan::Shown(way).c_str());
            return false;
        }
        way = "long";
    }
    *ways = way == "short"  ? plan::Ways::Short
            : way == "long" ? plan::Ways::Long
            : way == "both" ? plan::Ways::Both
                            : plan::Ways::Auto;
    return true;
}

int RunPorkchop(PorkchopArgs& args, const Options& opts) {
    // gnuplot reads its script line by line: a line break in a path (refused with the other
    // control characters by Name) would start a command.
    plan::PorkchopRequest& r = args.request;
    if (!args.out.empty() && !IsFilePrefix(args.out))
        return Fail(kCommand, "--out '%s' names a directory, not a file prefix", args.out.c_str());
    if (!WaysArgument(args, &r.ways)) return 2;
    r.departFirst = args.departRange[0];
    r.departLast = args.departRange[1];
    r.tofShortest = args.tofRange[0] * kSecondsPerDay;
    r.tofLongest = args.tofRange[1] * kSecondsPerDay;
    Progress progress(kCommand);
    auto planned = plan::Porkchop(r, [&](const plan::Progress& p) {
        const int i = static_cast<int>(p.done), n = static_cast<int>(p.total);
        progress.Note("%3d%% (%d/%d cells)", 100 * i / n, i * n, n * n);
    });
    progress.Done();
    if (!planned.ok()) return Fail(kCommand, "%s", planned.error().c_str());
    const plan::PorkchopGrid& grid = planned.value();
    const int n = grid.grid;
    const Cell* best[2] = {nullptr, nullptr};
    for (int w = 0; w < 2; ++w)
        if (grid.best[w] >= 0) best[w] = &grid.cells[grid.best[w]];
    const bool both = grid.ways[0] && grid.ways[1];
    const char* wayText = both ? "both ways" : grid.ways[1] ? "long way" : "short way";

    const std::string prefix =
        OutputPath(opts, args.out.empty() ? "porkchop-" + grid.from + "-" + grid.to : args.out);
    const std::string csv = prefix + ".csv", png = prefix + ".png";
    std::string why;
    if (!WriteCsv(csv, grid.cells, &why))
        return Fail(kCommand, "cannot write %s: %s", csv.c_str(), why.c_str());
    const bool canPlot = args.plot && OnPath("gnuplot");
    if (args.plot && !canPlot)
        std::fprintf(stderr,
                     "zaq porkchop: gnuplot is not installed (apt-get install gnuplot-nox); no "
                     "plot, the CSV is written\n");
    const bool plotted = canPlot && Plot(png, grid, best, wayText, &why);
    if (canPlot && !plotted)
        std::fprintf(stderr, "zaq porkchop: no plot: %s; the CSV is written\n", why.c_str());
    const int code = canPlot && !plotted ? 1 : 0;

    const char* solver = otk::LambertSolverName(grid.solver);
    if (args.json) {
        Json j = plan::PorkchopJson(grid);
        j["csv"] = csv;
        if (plotted) j["png"] = png;
        const int printed = PrintJson(kCommand, j);
        return printed ? printed : code;
    }
    std::printf("%s -> %s about %s: %d x %d grid, Lambert %s, %s, %d of %d cells converged\n",
                grid.from.c_str(), grid.to.c_str(), grid.reference.c_str(), n, n, solver, wayText,
                grid.converged, n * n);
    for (int w = 0; w < 2; ++w) {
        if (!best[w]) continue;
        const Cell& c = *best[w];
        const Leg& l = c.leg[w];
        std::printf(
            "Minimum C3, %s way (type %s): %s km^2/s^2: depart %s, time of flight %s days, "
            "arrive %s,\n  v-inf departure %s km/s, arrival %s km/s\n",
            kWayName[w], kTypeName[w], ValueText(l.c3 / 1e6, 4).c_str(), DateText(c.depart).c_str(),
            ValueText(TofDays(c), 4).c_str(), DateText(c.arrive).c_str(),
            ValueText(l.vinfDepart / 1e3, 4).c_str(), ValueText(l.vinfArrive / 1e3, 4).c_str());
    }
    std::printf("CSV: %s\n", csv.c_str());
    if (plotted) std::printf("Plot: %s\n", png.c_str());
    return code;
}

}  // namespace

void RegisterPorkchop(CLI::App& app, Options& opts) {
    auto args = std::make_shared<PorkchopArgs>();
    plan::PorkchopRequest& r = args->request;
    // Past a million days every arrival lies beyond the ephemerides; signs are checked by the
    // plan.
    const double maxTof = plan::kMaxTimeOfFlight / kSecondsPerDay;
    CLI::App* cmd = app.add_subcommand(
        "porkchop",
        "A departure-date x time-of-flight grid of Lambert transfers from FROM to TO: C3 and "
        "arrival v-inf as CSV (empty numbers where the solver did not converge; with both ways "
        "each cell holds the lower C3) and a C3 contour plot as PNG (with gnuplot)");
    AddBodies(cmd, kCommand, &r.from, &r.to, "Destination body about the same body, e.g. Mars");
    cmd->add_option("--depart-range", args->departRange,
                    "First and last departure date: MJDs (TT) or UTC YYYY-MM-DD[THH:MM[:SS]]")
        ->expected(2)
        ->required()
        ->transform(Date(kCommand))
        ->type_name("DATE");
    cmd->add_option("--tof-range", args->tofRange, "Shortest and longest time of flight (days)")
        ->expected(2)
        ->required()
        ->transform(Number(kCommand, "--tof-range", -maxTof, maxTof));
    cmd->add_option("--grid", r.grid, "Cells along each axis (default 41)")
        ->check(Count(kCommand, "--grid", plan::kGridRange[0], plan::kGridRange[1]));
    cmd->add_option("--solver", r.solver, "Lambert solver: G, PN, UB or UN (default UN)")
        ->transform(Solver(kCommand))
        ->type_name("SOLVER");
    cmd->add_option("--way", args->way,
                    "Transfer type: short (type I, angle below 180 deg), long (type II) or both "
                    "(default both; short with solver G)")
        ->check(OneOf(kCommand, "--way", {"short", "long", "both"}));
    cmd->add_flag("--long", args->longWay, "The long way only: the same as --way long");
    cmd->add_option("--out", args->out,
                    "Output prefix: PREFIX.csv and PREFIX.png (default porkchop-FROM-TO)")
        ->check(Name(kCommand, "--out"));
    cmd->add_flag("!--no-plot", args->plot, "Write the CSV only");
    cmd->add_flag("--json", args->json, "Print the summary as one JSON object");
    cmd->callback([&opts, args] {
        opts.run = [&opts, args](plan::SolarModel&) { return RunPorkchop(*args, opts); };
    });
}

}  // namespace zaq::app
