// zaq porkchop: a departure-date x time-of-flight grid of Lambert transfers between two bodies,
// written as CSV with a contour plot of C3 rendered by gnuplot.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "apps/commands.h"
#include "apps/mission.h"
#include "zaq/constants.h"
#include "zaq/foundation.h"
#include "zaq/hostsim.h"
#include "zaq/vector3.h"

namespace zaq::app {
namespace {

constexpr const char* kCommand = "porkchop";
constexpr int kMaxGrid = 1000;
constexpr double kPlotClip = 100;  // C3 (km^2/s^2) above which the plot saturates

struct PorkchopArgs {
    std::string from, to, solver = "UN", out;
    std::vector<std::string> departRange, tofRange;
    int grid = 41;
    bool longWay = false, plot = true;
};

// What the grid keeps of a cell's arc.
struct Cell {
    double depart = 0, tof = 0;
    double c3 = 0, vinfDepart = 0, vinfArrive = 0;  // m^2/s^2, m/s
    int status = 0;                                 // the solver's result
    bool ok = false;
};

// True when `name` is an executable file in a directory of PATH.
bool OnPath(const char* name) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string dirs = path;
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? end : end - start);
        if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return true;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return false;
}

bool WriteCsv(const std::string& path, const std::vector<Cell>& cells) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    std::fprintf(f,
                 "depart_mjd,depart_utc,tof_days,arrive_mjd,c3_km2_s2,vinf_depart_km_s,"
                 "vinf_arrive_km_s,status\n");
    for (const Cell& c : cells) {
        std::fprintf(f, "%.6f,%s,%.6f,%.6f,", c.depart, DateText(c.depart).c_str(), c.tof,
                     c.depart + c.tof);
        if (c.ok)
            std::fprintf(f, "%.6f,%.6f,%.6f,", c.c3 / 1e6, c.vinfDepart / 1e3, c.vinfArrive / 1e3);
        else
            std::fprintf(f, ",,,");
        std::fprintf(f, "%d\n", c.status);
    }
    return std::fclose(f) == 0;
}

// Seconds since 1970 (gnuplot's time axis) of an MJD (TT), on the UTC scale.
double PlotTime(double mjd) {
    return (hostsim::UtcMjd(mjd) - 40587.0) * kSecondsPerDay;
}

// A path as a gnuplot single-quoted string: a quote inside is doubled, so a name such as
// "Bob's run" stays one string instead of ending it early (and running what follows).
std::string GnuplotQuoted(const std::string& path) {
    std::string quoted = "'";
    for (char ch : path) {
        if (ch == '\'') quoted += '\'';
        quoted += ch;
    }
    return quoted + "'";
}

// Writes the grid as gnuplot data (one block per departure date) and renders the PNG.
bool Plot(const std::string& png, const std::string& dataPath, const std::vector<Cell>& cells,
          int n, const Cell& best, const BodyPair& pair, std::string* why) {
    FILE* data = std::fopen(dataPath.c_str(), "w");
    if (!data) {
        *why = "cannot write " + dataPath;
        return false;
    }
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const Cell& c = cells[static_cast<size_t>(i) * n + j];
            const double c3 = c.ok ? std::fmin(c.c3 / 1e6, kPlotClip) : NAN;
            std::fprintf(data, "%.0f %.6f %.6f\n", PlotTime(c.depart), c.tof, c3);
        }
        std::fprintf(data, "\n");
    }
    std::fclose(data);

    // A gnuplot that stops early must not take the tool down with a broken pipe.
    std::signal(SIGPIPE, SIG_IGN);
    FILE* gp = popen("gnuplot", "w");
    if (!gp) {
        std::remove(dataPath.c_str());
        *why = "cannot start gnuplot";
        return false;
    }
    const double bestC3 = best.c3 / 1e6;
    std::fprintf(gp, "set terminal pngcairo size 1100,800 font ',11'\n");
    std::fprintf(gp, "set output %s\n", GnuplotQuoted(png).c_str());
    std::fprintf(gp, "set title 'C3 (km^2/s^2) of %s -> %s transfers about %s'\n",
                 pair.fromName.c_str(), pair.toName.c_str(), pair.refName.c_str());
    std::fprintf(gp,
                 "set xdata time\nset timefmt '%%s'\nset format x '%%Y-%%m-%%d'\n"
                 "set xtics rotate by -30\n");
    std::fprintf(gp, "set xlabel 'Departure date'\nset ylabel 'Time of flight (days)'\n");
    std::fprintf(gp, "set xrange [%.0f:%.0f]\nset yrange [%.6f:%.6f]\n",
                 PlotTime(cells.front().depart), PlotTime(cells.back().depart), cells.front().tof,
                 cells.back().tof);
    std::fprintf(gp, "set view map\nset pm3d map\nset pm3d at b\nunset surface\n");
    std::fprintf(gp, "set contour base\nset cntrparam levels discrete ");
    // Contours at fixed steps above the minimum.
    const double steps[] = {1, 2, 4, 7, 10, 15, 25, 40, 60};
    for (size_t k = 0; k < sizeof steps / sizeof steps[0]; ++k)
        std::fprintf(gp, "%s%.2f", k ? "," : "", bestC3 + steps[k]);
    std::fprintf(gp, "\nset cntrlabel onecolor font ',9'\nset cblabel 'C3 (km^2/s^2)'\n");
    std::fprintf(gp, "set cbrange [%.3f:%.3f]\n", bestC3, std::fmin(bestC3 + 60, kPlotClip));
    std::fprintf(gp, "set key off\n");
    std::fprintf(gp,
                 "set label 1 'min C3 %.2f' at %.0f,%.6f,%.6f front point pt 7 ps 1.5 "
                 "lc rgb 'white' offset 1,1 tc rgb 'white'\n",
                 bestC3, PlotTime(best.depart), best.tof, bestC3);
    std::fprintf(gp, "splot %s using 1:2:3 with pm3d, '' using 1:2:3 with lines lc rgb 'black'\n",
                 GnuplotQuoted(dataPath).c_str());
    const int status = pclose(gp);
    std::remove(dataPath.c_str());
    if (status != 0) {
        *why = "gnuplot failed";
        return false;
    }
    return true;
}

// An output prefix must end in a file name: "/" or "dir/" would write "/.csv", "." "..csv".
bool IsFilePrefix(const std::string& prefix) {
    const std::string last = prefix.substr(prefix.find_last_of('/') + 1);
    return !last.empty() && last != "." && last != "..";
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
    if (!SolverArgument(kCommand, args.solver, args.longWay, &solver)) return 2;
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
    const auto start = std::chrono::steady_clock::now();
    bool progress = false;
    int converged = 0;
    const Cell* best = nullptr;
    for (int i = 0; i < n; ++i) {
        const double depart = d1 + (d2 - d1) * i / (n - 1);
        double warm = 0;  // each column starts cold and carries the solver's variable along
        for (int j = 0; j < n; ++j) {
            Cell& c = cells[static_cast<size_t>(i) * n + j];
            c.depart = depart;
            c.tof = t1 + (t2 - t1) * j / (n - 1);
            Arc arc;
            c.ok = SolveArc(pair, depart, depart + c.tof, solver, args.longWay, &warm, &arc);
            if (!c.ok && warm != 0) {  // the neighbour's value may lead astray: once more cold
                warm = 0;
                c.ok = SolveArc(pair, depart, depart + c.tof, solver, args.longWay, &warm, &arc);
            }
            c.status = arc.status;
            c.c3 = arc.c3;
            c.vinfDepart = Length(arc.vinfDepart);
            c.vinfArrive = Length(arc.vinfArrive);
            if (!c.ok) {
                warm = 0;
                continue;
            }
            ++converged;
            if (!best || c.c3 < best->c3) best = &c;
        }
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (elapsed > 1.0 || progress) {
            progress = true;
            std::fprintf(stderr, "\rzaq porkchop: %3d%% (%d/%d cells)", 100 * (i + 1) / n,
                         (i + 1) * n, n * n);
            std::fflush(stderr);
        }
    }
    if (progress) std::fprintf(stderr, "\n");
    if (!best) return Fail(kCommand, "the Lambert solver converged on no cell of the grid");

    const std::string prefix = OutputPath(
        opts, args.out.empty() ? "porkchop-" + pair.fromName + "-" + pair.toName : args.out);
    const std::string csv = prefix + ".csv", png = prefix + ".png";
    if (!WriteCsv(csv, cells)) return Fail(kCommand, "cannot write %s", csv.c_str());
    std::printf("%s -> %s about %s: %d x %d grid, Lambert %s, %s way, %d of %d cells converged\n",
                pair.fromName.c_str(), pair.toName.c_str(), pair.refName.c_str(), n, n,
                otk::LambertSolverName(solver), args.longWay ? "long" : "short", converged, n * n);
    std::printf(
        "Minimum C3 %s km^2/s^2: depart %s, time of flight %s days, arrive %s,\n"
        "  v-inf departure %s km/s, arrival %s km/s\n",
        ValueText(best->c3 / 1e6, 4).c_str(), DateText(best->depart).c_str(),
        ValueText(best->tof, 4).c_str(), DateText(best->depart + best->tof).c_str(),
        ValueText(best->vinfDepart / 1e3, 4).c_str(), ValueText(best->vinfArrive / 1e3, 4).c_str());
    std::printf("CSV: %s\n", csv.c_str());
    if (!args.plot) return 0;
    if (!OnPath("gnuplot")) {
        std::fprintf(stderr,
                     "zaq porkchop: gnuplot is not installed (apt-get install gnuplot-nox); no "
                     "plot, the CSV is written\n");
        return 0;
    }
    if (!Plot(png, prefix + ".dat", cells, n, *best, pair, &why)) {
        std::fprintf(stderr, "zaq porkchop: no plot: %s; the CSV is written\n", why.c_str());
        return 1;
    }
    std::printf("Plot: %s\n", png.c_str());
    return 0;
}

}  // namespace

void RegisterPorkchop(CLI::App& app, Options& opts) {
    auto args = std::make_shared<PorkchopArgs>();
    CLI::App* cmd = app.add_subcommand(
        "porkchop",
        "A departure-date x time-of-flight grid of Lambert transfers from FROM to TO: C3 and "
        "arrival v-inf as CSV (empty numbers where the solver did not converge) and a C3 "
        "contour plot as PNG (with gnuplot)");
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
    cmd->add_flag("--long", args->longWay, "Take the long way (transfer angle above 180 deg)");
    cmd->add_option("--out", args->out,
                    "Output prefix: PREFIX.csv and PREFIX.png (default porkchop-FROM-TO)");
    cmd->add_flag("!--no-plot", args->plot, "Write the CSV only");
    cmd->callback([&opts, args] { opts.run = [&opts, args] { return RunPorkchop(*args, opts); }; });
}

}  // namespace zaq::app
