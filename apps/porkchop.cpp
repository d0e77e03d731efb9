// zaq porkchop: a departure-date x time-of-flight grid of Lambert transfers between two bodies,
// the short way (type I), the long way (type II) or both, written as CSV with a contour plot of
// C3 rendered by gnuplot.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "apps/commands.h"
#include "apps/json.h"
#include "apps/mission.h"
#include "apps/output.h"
#include "zaq/constants.h"
#include "zaq/foundation.h"
#include "zaq/hostsim.h"
#include "zaq/vector3.h"

namespace zaq::app {
namespace {

constexpr const char* kCommand = "porkchop";
constexpr int kMaxGrid = 1000;
constexpr double kPlotClip = 100;  // C3 (km^2/s^2) that no colour range passes

struct PorkchopArgs {
    std::string from, to, solver = "UN", out, way;
    std::vector<std::string> departRange, tofRange;
    int grid = 41;
    bool longWay = false, plot = true, json = false;
};

// The two transfer types: index 0 the short way (type I), 1 the long way (type II).
constexpr const char* kWayName[2] = {"short", "long"};
constexpr const char* kTypeName[2] = {"I", "II"};

// What the grid keeps of one arc.
struct Leg {
    double c3 = 0, vinfDepart = 0, vinfArrive = 0;  // m^2/s^2, m/s
    int status = 0;                                 // the solver's result
    bool ok = false;
};

// A cell: both legs, and which of the computed ones gives the lower C3 (-1: none converged).
struct Cell {
    double depart = 0, tof = 0;
    Leg leg[2];
    int way = -1;
    int shown = 0;  // the leg the CSV reports: the chosen one, else the first computed
};

bool WriteCsv(const std::string& path, const std::vector<Cell>& cells) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    std::fprintf(f,
                 "depart_mjd,depart_utc,tof_days,arrive_mjd,c3_km2_s2,vinf_depart_km_s,"
                 "vinf_arrive_km_s,status,way\n");
    for (const Cell& c : cells) {
        const Leg& l = c.leg[c.shown];
        std::fprintf(f, "%.6f,%s,%.6f,%.6f,", c.depart, DateText(c.depart).c_str(), c.tof,
                     c.depart + c.tof);
        if (l.ok)
            std::fprintf(f, "%.6f,%.6f,%.6f,", l.c3 / 1e6, l.vinfDepart / 1e3, l.vinfArrive / 1e3);
        else
            std::fprintf(f, ",,,");
        std::fprintf(f, "%d,%s\n", l.status, c.way < 0 ? "" : kWayName[c.way]);
    }
    return std::fclose(f) == 0;
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
bool Plot(const std::string& png, const std::vector<Cell>& cells, int n, const Cell* const best[2],
          const BodyPair& pair, const char* way, std::string* why) {
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
            std::snprintf(line, sizeof line, "%.0f %.6f %.6f\n", PlotTime(c.depart), c.tof,
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
    s += "set terminal pngcairo size 1100,800 font ',11'\nset output " + GnuplotQuoted(png) + "\n";
    s += "set title 'C3 (km^2/s^2) of " + pair.fromName + " -> " + pair.toName +
         " transfers about " + pair.refName + ", " + way + "'\n";
    s += "set xdata time\nset timefmt '%s'\nset format x '%Y-%m-%d'\nset xtics rotate by -30\n";
    s += "set xlabel 'Departure date'\nset ylabel 'Time of flight (days)'\n";
    std::snprintf(line, sizeof line,
                  "set xrange [%.0f:%.0f]\nset yrange [%.6f:%.6f]\nset cbrange [%.3f:%.3f]\n",
                  PlotTime(cells.front().depart), PlotTime(cells.back().depart), cells.front().tof,
                  cells.back().tof, lo, hi);
    s += line;
    s += "set palette rgb 33,13,10\nset cblabel 'C3 (km^2/s^2)'\nset key off\n"
         "set style textbox opaque noborder\n";
    for (int w = 0; w < 2; ++w) {
        if (!best[w]) continue;
        std::snprintf(line, sizeof line,
                      "set label %d 'type %s min %.2f' at %.0f,%.6f front point pt 7 ps 1.6 "
                      "lc rgb 'black' offset 1,%s boxed tc rgb 'black'\n",
                      w + 1, kTypeName[w], best[w]->leg[w].c3 / 1e6, PlotTime(best[w]->depart),
                      best[w]->tof, w ? "1" : "-1");
        s += line;
    }
    s += "plot $grid using 1:2:3 with image, $contours using 1:2 with lines lw 1.2 lc rgb 'black', "
         "$contours using 1:2:(sprintf('%g', $3)) every 30::10 with labels boxed font ',9'\n";
    return RunGnuplot(s, why);
}

// One minimum as the JSON summary lists it.
Json MinimumJson(const Cell& c, int w) {
    const Leg& l = c.leg[w];
    return {{"way", kWayName[w]},
            {"type", kTypeName[w]},
            {"c3_km2_s2", l.c3 / 1e6},
            {"depart_mjd", c.depart},
            {"depart_utc", DateText(c.depart)},
            {"tof_days", c.tof},
            {"arrive_mjd", c.depart + c.tof},
            {"arrive_utc", DateText(c.depart + c.tof)},
            {"vinf_depart_km_s", l.vinfDepart / 1e3},
            {"vinf_arrive_km_s", l.vinfArrive / 1e3}};
}

// The --way argument with --long (an alias of --way long) as the legs to compute; Gauss's
// solver joins the short way only, so it defaults to that.
bool WaysArgument(const PorkchopArgs& args, LambertSolver solver, bool ways[2]) {
    std::string way = args.way;
    if (args.longWay) {
        if (!way.empty() && way != "long") {
            Fail(kCommand, "--long asks for --way long, not '%s'", Shown(way).c_str());
            return false;
        }
        way = "long";
    }
    if (way.empty()) way = solver == LambertSolver::G ? "short" : "both";
    if (way != "short" && way != "long" && way != "both") {
        Fail(kCommand, "--way must be short, long or both, not '%s'", Shown(way).c_str());
        return false;
    }
    ways[0] = way != "long";
    ways[1] = way != "short";
    return true;
}

int RunPorkchop(const PorkchopArgs& args, const Options& opts) {
    double d1 = 0, d2 = 0, t1 = 0, t2 = 0;
    // Past a million days every arrival lies beyond the ephemerides; signs are checked below.
    const double maxTof = 1e6;
    if (!NameArgument(kCommand, "FROM", args.from) || !NameArgument(kCommand, "TO", args.to) ||
        !NameArgument(kCommand, "--out", args.out) ||
        !DateArgument(kCommand, args.departRange[0], &d1) ||
        !DateArgument(kCommand, args.departRange[1], &d2) ||
        !NumberArgument(kCommand, "--tof-range", args.tofRange[0], -maxTof, maxTof, &t1) ||
        !NumberArgument(kCommand, "--tof-range", args.tofRange[1], -maxTof, maxTof, &t2))
        return 2;
    if (!(d2 >= d1)) return Fail(kCommand, "the departure range must run forward (D2 after D1)");
    if (!(t1 > 0) || !(t2 >= t1))
        return Fail(kCommand, "the time-of-flight range must be positive and run forward (days)");
    if (!InEphemerisRange(d2 + t2))
        return Fail(kCommand, "arrivals run past the built-in ephemerides (years 1000-3000)");
    if (args.grid < 2 || args.grid > kMaxGrid)
        return Fail(kCommand, "--grid must lie between 2 and %d", kMaxGrid);
    LambertSolver solver = LambertSolver::UN;
    bool ways[2] = {true, true};
    if (!SolverArgument(kCommand, args.solver, false, &solver) ||
        !WaysArgument(args, solver, ways) ||
        !SolverArgument(kCommand, args.solver, ways[1], &solver))
        return 2;
    const char* wayText = ways[0] && ways[1] ? "both ways" : ways[1] ? "long way" : "short way";
    // gnuplot reads its script line by line: a line break in a path (refused with the other
    // control characters above) would start a command.
    if (!args.out.empty() && !IsFilePrefix(args.out))
        return Fail(kCommand, "--out '%s' names a directory, not a file prefix", args.out.c_str());
    if (!hostsim::LoadSolarSystem(d1)) {
        std::fprintf(stderr, "zaq porkchop: %s\n", hostsim::LastError().c_str());
        return 1;
    }
    BodyPair pair;
    std::string why;
    if (!ResolvePair(args.from, args.to, &pair, &why)) return Fail(kCommand, "%s", why.c_str());
    if (pair.lunar)
        return Fail(kCommand,
                    "%s moves about %s: a porkchop grid needs two bodies about a common body "
                    "(plan the departure with zaq transfer)",
                    pair.toName.c_str(), pair.fromName.c_str());

    const int n = args.grid;
    std::vector<Cell> cells(static_cast<size_t>(n) * n);
    Progress progress(kCommand);
    int converged = 0;
    const Cell* best[2] = {nullptr, nullptr};
    for (int i = 0; i < n; ++i) {
        const double depart = d1 + (d2 - d1) * i / (n - 1);
        // Each column starts cold and carries the solver's variable along, one per way.
        double warm[2] = {0, 0};
        for (int j = 0; j < n; ++j) {
            Cell& c = cells[static_cast<size_t>(i) * n + j];
            c.depart = depart;
            c.tof = t1 + (t2 - t1) * j / (n - 1);
            c.shown = ways[0] ? 0 : 1;
            for (int w = 0; w < 2; ++w) {
                if (!ways[w]) continue;
                Leg& l = c.leg[w];
                Arc arc;
                l.ok = SolveArc(pair, depart, depart + c.tof, solver, w == 1, &warm[w], &arc);
                if (!l.ok && warm[w] != 0) {  // the neighbour's value may lead astray: once cold
                    warm[w] = 0;
                    l.ok = SolveArc(pair, depart, depart + c.tof, solver, w == 1, &warm[w], &arc);
                }
                l.status = arc.status;
                l.c3 = arc.c3;
                l.vinfDepart = Length(arc.vinfDepart);
                l.vinfArrive = Length(arc.vinfArrive);
                if (!l.ok) {
                    warm[w] = 0;
                    continue;
                }
                if (c.way < 0 || l.c3 < c.leg[c.way].c3) c.way = w;
                if (!best[w] || l.c3 < best[w]->leg[w].c3) best[w] = &c;
            }
            if (c.way >= 0) {
                c.shown = c.way;
                ++converged;
            }
        }
        progress.Note("%3d%% (%d/%d cells)", 100 * (i + 1) / n, (i + 1) * n, n * n);
    }
    progress.Done();
    if (!best[0] && !best[1])
        return Fail(kCommand, "the Lambert solver converged on no cell of the grid");

    const std::string prefix = OutputPath(
        opts, args.out.empty() ? "porkchop-" + pair.fromName + "-" + pair.toName : args.out);
    const std::string csv = prefix + ".csv", png = prefix + ".png";
    if (!WriteCsv(csv, cells)) return Fail(kCommand, "cannot write %s", csv.c_str());
    const bool canPlot = args.plot && OnPath("gnuplot");
    if (args.plot && !canPlot)
        std::fprintf(stderr,
                     "zaq porkchop: gnuplot is not installed (apt-get install gnuplot-nox); no "
                     "plot, the CSV is written\n");
    const bool plotted = canPlot && Plot(png, cells, n, best, pair, wayText, &why);
    if (canPlot && !plotted)
        std::fprintf(stderr, "zaq porkchop: no plot: %s; the CSV is written\n", why.c_str());
    const int code = canPlot && !plotted ? 1 : 0;

    if (args.json) {
        Json j = {{"from", pair.fromName},
                  {"to", pair.toName},
                  {"about", pair.refName},
                  {"grid", n},
                  {"solver", otk::LambertSolverName(solver)},
                  {"way", ways[0] && ways[1] ? "both"
                          : ways[1]          ? "long"
                                             : "short"},
                  {"cells", n * n},
                  {"converged", converged}};
        Json minima = Json::array();
        for (int w = 0; w < 2; ++w)
            if (best[w]) minima.push_back(MinimumJson(*best[w], w));
        j["minima"] = minima;
        j["csv"] = csv;
        if (plotted) j["png"] = png;
        const int printed = PrintJson(kCommand, j);
        return printed ? printed : code;
    }
    std::printf("%s -> %s about %s: %d x %d grid, Lambert %s, %s, %d of %d cells converged\n",
                pair.fromName.c_str(), pair.toName.c_str(), pair.refName.c_str(), n, n,
                otk::LambertSolverName(solver), wayText, converged, n * n);
    for (int w = 0; w < 2; ++w) {
        if (!best[w]) continue;
        const Cell& c = *best[w];
        const Leg& l = c.leg[w];
        std::printf(
            "Minimum C3, %s way (type %s): %s km^2/s^2: depart %s, time of flight %s days, "
            "arrive %s,\n  v-inf departure %s km/s, arrival %s km/s\n",
            kWayName[w], kTypeName[w], ValueText(l.c3 / 1e6, 4).c_str(), DateText(c.depart).c_str(),
            ValueText(c.tof, 4).c_str(), DateText(c.depart + c.tof).c_str(),
            ValueText(l.vinfDepart / 1e3, 4).c_str(), ValueText(l.vinfArrive / 1e3, 4).c_str());
    }
    std::printf("CSV: %s\n", csv.c_str());
    if (plotted) std::printf("Plot: %s\n", png.c_str());
    return code;
}

}  // namespace

void RegisterPorkchop(CLI::App& app, Options& opts) {
    auto args = std::make_shared<PorkchopArgs>();
    CLI::App* cmd = app.add_subcommand(
        "porkchop",
        "A departure-date x time-of-flight grid of Lambert transfers from FROM to TO: C3 and "
        "arrival v-inf as CSV (empty numbers where the solver did not converge; with both ways "
        "each cell holds the lower C3) and a C3 contour plot as PNG (with gnuplot)");
    cmd->add_option("FROM", args->from, "Departure body, e.g. Earth")->required();
    cmd->add_option("TO", args->to, "Destination body about the same body, e.g. Mars")->required();
    cmd->add_option("--depart-range", args->departRange,
                    "First and last departure date: MJDs (TT) or UTC YYYY-MM-DD[THH:MM[:SS]]")
        ->expected(2)
        ->required();
    cmd->add_option("--tof-range", args->tofRange, "Shortest and longest time of flight (days)")
        ->expected(2)
        ->required();
    cmd->add_option("--grid", args->grid, "Cells along each axis (default 41)");
    cmd->add_option("--solver", args->solver, "Lambert solver: G, PN, UB or UN (default UN)");
    cmd->add_option("--way", args->way,
                    "Transfer type: short (type I, angle below 180 deg), long (type II) or both "
                    "(default both; short with solver G)");
    cmd->add_flag("--long", args->longWay, "The long way only: the same as --way long");
    cmd->add_option("--out", args->out,
                    "Output prefix: PREFIX.csv and PREFIX.png (default porkchop-FROM-TO)");
    cmd->add_flag("!--no-plot", args->plot, "Write the CSV only");
    cmd->add_flag("--json", args->json, "Print the summary as one JSON object");
    cmd->callback([&opts, args] { opts.run = [&opts, args] { return RunPorkchop(*args, opts); }; });
}

}  // namespace zaq::app
