// A departure-date x time-of-flight grid of Lambert transfers between two bodies, the short way
// (type I), the long way (type II) or both.
#include <cmath>

#include "plan/internal.h"
#include "zaq/constants.h"
#include "zaq/hostsim.h"
#include "zaq/vector3.h"

namespace zaq::plan {
namespace {

using namespace detail;

Check CheckRequest(const PorkchopRequest& r, const std::array<bool, 2>& ways) {
    if (auto c = CheckDate("the first departure", r.departFirst)) return c;
    if (auto c = CheckDate("the last departure", r.departLast)) return c;
    if (!(r.departLast >= r.departFirst))
        return Refusal("the departure range must run forward (D2 after D1)");
    if (!(r.tofShortest > 0) || !(r.tofLongest >= r.tofShortest))
        return Refusal("the time-of-flight range must be positive and run forward (days)");
    if (auto c = CheckRange("the longest time of flight", r.tofLongest, 0, kMaxTimeOfFlight,
                            kSecondsPerDay, "days"))
        return c;
    if (!InEphemerides(r.departLast + r.tofLongest / kSecondsPerDay))
        return Refusal("arrivals run past the built-in ephemerides (years 1000-3000)");
    if (!(r.grid >= kGridRange[0] && r.grid <= kGridRange[1]))
        return Refusal("the grid must have between %d and %d cells along each axis", kGridRange[0],
                       kGridRange[1]);
    if (r.ways < Ways::Auto || r.ways > Ways::Both) return Refusal("unknown transfer type");
    return CheckSolver(r.solver, ways[1]);
}

// Solves both legs of a cell from its arc's ends; warm carries each way's iteration variable
// down the column.
void SolveCell(const BodyPair& pair, otk::LambertSolver solver, const std::array<bool, 2>& ways,
               const Arc& ends, double warm[2], PorkchopCell& c) {
    for (int w = 0; w < 2; ++w) {
        if (!ways[w]) continue;
        PorkchopLeg& l = c.leg[w];
        Arc arc = ends;
        l.ok = SolveArc(pair, solver, w == 1, &warm[w], &arc);
        if (!l.ok && warm[w] != 0) {  // the neighbour's value may lead astray: once cold
            warm[w] = 0;
            arc = ends;
            l.ok = SolveArc(pair, solver, w == 1, &warm[w], &arc);
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
    }
}

}  // namespace

Result<PorkchopGrid> Porkchop(const PorkchopRequest& request, const ProgressFn& progress) {
    // Gauss's solver joins the short way only, so that is what it computes unless told.
    const Ways ways = request.ways != Ways::Auto                ? request.ways
                      : request.solver == otk::LambertSolver::G ? Ways::Short
                                                                : Ways::Both;
    PorkchopGrid grid;
    grid.ways = {ways != Ways::Long, ways != Ways::Short};
    if (auto refused = CheckRequest(request, grid.ways)) return *refused;
    const double d1 = request.departFirst, d2 = request.departLast;
    const double t1 = request.tofShortest / kSecondsPerDay,
                 t2 = request.tofLongest / kSecondsPerDay;
    if (!hostsim::LoadSolarSystem(d1)) return Error{hostsim::LastError()};
    auto resolved = ResolvePair(request.from, request.to);
    if (!resolved.ok()) return Error{resolved.error()};
    const BodyPair& pair = resolved.value();
    if (pair.lunar)
        return Refusal(
            "%s moves about %s: a porkchop grid needs two bodies about a common body (plan the "
            "departure with zaq transfer)",
            pair.toName.c_str(), pair.fromName.c_str());

    const int n = request.grid;
    grid.from = pair.fromName;
    grid.to = pair.toName;
    grid.reference = pair.refName;
    grid.grid = n;
    grid.solver = request.solver;
    grid.cells.resize(static_cast<size_t>(n) * n);
    for (int i = 0; i < n; ++i) {
        const double depart = d1 + (d2 - d1) * i / (n - 1);
        // Each column starts cold and carries the solver's variable along, one per way; the
        // departure body's state is the column's, the arrival body's the cell's.
        double warm[2] = {0, 0};
        Arc ends;
        ends.depart = depart;
        StateAbout(pair.from, pair.ref, depart, &ends.r1, &ends.v1);
        for (int j = 0; j < n; ++j) {
            const size_t k = static_cast<size_t>(i) * n + j;
            PorkchopCell& c = grid.cells[k];
            const double tof = t1 + (t2 - t1) * j / (n - 1);
            c.depart = depart;
            c.arrive = depart + tof;
            c.tof = tof * kSecondsPerDay;
            c.shown = grid.ways[0] ? 0 : 1;
            ends.arrive = c.arrive;
            StateAbout(pair.to, pair.ref, c.arrive, &ends.r2, &ends.v2);
            SolveCell(pair, request.solver, grid.ways, ends, warm, c);
            for (int w = 0; w < 2; ++w)
                if (c.leg[w].ok &&
                    (grid.best[w] < 0 || c.leg[w].c3 < grid.cells[grid.best[w]].leg[w].c3))
                    grid.best[w] = static_cast<int>(k);
            if (c.way >= 0) {
                c.shown = c.way;
                ++grid.converged;
            }
        }
        if (progress) progress({double(i + 1), double(n)});
    }
    if (grid.best[0] < 0 && grid.best[1] < 0)
        return Refusal("the Lambert solver converged on no cell of the grid");
    return grid;
}

}  // namespace zaq::plan
