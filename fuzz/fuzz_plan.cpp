// The planning layer's requests as a program might send them: well-formed structs whose values are
// anything from sensible to absurd (dates, altitudes, engines, grids, names of bodies that do not
// exist). The input is one request (a transfer, with or without an engine and then perhaps flown
// again with errors; a porkchop grid; a flight; an ephemeris). A plan either succeeds with finite
// numbers or fails with a one-line reason; its progress stays within what it announced. The
// work of one input is bounded by the request itself: the finite-burn plan's step bound is at
// most 30,000, a grid at most 12 x 12 cells, a flight at most two days. ZAQ_FUZZ_SHOW=1 prints
// each plan's outcome (to check what a seed reaches).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz/fuzz.h"
#include "zaq/hostsim.h"
#include "zaq/plan.h"

namespace plan = zaq::plan;
using zaq::fuzz::Bytes;

namespace {

constexpr long kMaxSteps = 30000;
constexpr int kMaxGrid = 12;
constexpr double kMaxFlyDays = 2;
constexpr double kDay = 86400;

// One input's run: the bytes and the input shown in a finding.
struct Run {
    Bytes in;
    std::string shown;
    void Check(bool holds, const char* what) const { zaq::fuzz::Check(holds, what, shown); }
};

// The model every plan of the run shares (its scratch directory made once).
plan::SolarModel* Model() {
    static std::unique_ptr<plan::SolarModel> model = [] {
        auto opened = plan::SolarModel::Open();
        if (!opened.ok()) std::abort();
        return std::move(opened).value();
    }();
    return model.get();
}

bool Finite(const VECTOR3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// NaN stands for "none" in some results; infinity never does.
bool FiniteOrNone(double x) {
    return !std::isinf(x);
}

std::string Body(Bytes& in) {
    static const char* const names[] = {"Earth",   "Moon",   "Mars", "Venus", "Sun",
                                        "Jupiter", "Phobos", "Io",   "",      "Vulcan"};
    return names[in.Pick(10)];
}

// A date about the plans' epoch, now and then a careless one.
double Date(Bytes& in) {
    static const double epoch = zaq::hostsim::MjdFromUTC(2026, 9, 17);
    return epoch + in.Within(-400, 800);
}

// A refusal or a failure: one line, said, with no full stop at its end.
template <class T>
void CheckReason(const Run& r, const plan::Result<T>& result) {
    if (std::getenv("ZAQ_FUZZ_SHOW"))
        std::fprintf(stderr, "  %s\n", result.ok() ? "ok" : result.error().c_str());
    if (result.ok()) return;
    const std::string& why = result.error();
    r.Check(!why.empty(), "a failure without a reason");
    r.Check(why.find('\n') == std::string::npos, "a reason of more than one line");
    r.Check(why.back() != '.', "a reason ending in a full stop");
}

void Transfer(Run& r) {
    Bytes& in = r.in;
    plan::TransferRequest q;
    q.from = Body(in), q.to = Body(in);
    q.depart = Date(in);
    q.arrive = q.depart + in.Within(-2, 400);
    q.parkAltitude = in.Within(-1e5, 2e6);
    q.solver = static_cast<otk::LambertSolver>(in.Pick(4));
    q.longWay = in.Pick(2);
    const bool lunarEngine = in.Pick(2);
    if (lunarEngine) {
        // Mostly the Earth-Moon pair, since only a body about FROM takes an engine's burn.
        if (in.Pick(4)) q.from = "Earth", q.to = "Moon", q.arrive = q.depart + in.Within(1, 6);
        q.engine = plan::Engine{in.Within(1e-3, 2e6), in.Within(1, 5000), in.Within(1, 2e5)};
        q.periseleneAltitude = in.Within(-1e5, 5e6);
        if (in.Pick(3) == 0) q.ignitionLead = in.Within(-0.5, 1.5);
        q.steering = static_cast<plan::Steering>(in.Pick(3));
        q.integrator = in.Pick(2) ? plan::Integrator::RKF78 : plan::Integrator::RKF56;
        q.keepTrack = in.Pick(2);
        q.maxSteps = in.Pick(16) == 0 ? in.Pick(3) - 1 : 1 + in.Pick(256) * (kMaxSteps / 256);
    }
    // Told once a flight of the aim-point correction, of each steering tried.
    int told = 0;
    const auto progress = [&](const plan::Progress& p) {
        told++;
        r.Check(p.done >= 1 && p.done <= p.total, "progress beyond its announced total");
    };
    const auto result = plan::PlanTransfer(q, progress, Model());
    CheckReason(r, result);
    if (!result.ok()) return;
    const plan::TransferPlan& p = result.value();
    r.Check(std::isfinite(p.arc.c3) && Finite(p.arc.vDepart) && Finite(p.arc.vArrive),
            "an arc that is not finite");
    if (!p.lunar) r.Check(Finite(p.ejection.dv), "an ejection that is not finite");
    if (p.lunar) r.Check(std::isfinite(p.ignition), "an ignition date that is not finite");
    if (!p.burn) return;
    const plan::LunarBurn& b = *p.burn;
    r.Check(std::isfinite(b.ignition) && b.cutoff > b.ignition && Finite(b.thrust) &&
                std::isfinite(b.propellant) && b.propellant > 0 && b.propellant < b.mass,
            "a finite burn that is not finite or not a burn");
    r.Check(std::fabs(b.periseleneAltitude - q.periseleneAltitude) < 1e3,
            "a flown periselene away from the one asked for");
    r.Check(told >= b.flights, "a flight without its progress report");
    // The planned burn flown again with the errors of the input.
    plan::BurnErrors e;
    e.thrustScale = in.Within(0, 2), e.ispScale = in.Within(0, 2);
    e.pointing[0] = in.Within(-0.2, 0.2), e.pointing[1] = in.Within(-0.2, 0.2);
    e.ignitionShift = in.Within(-600, 600);
    const auto pass = plan::Refly(p, e, Model());
    CheckReason(r, pass);
    if (pass.ok())
        r.Check(FiniteOrNone(pass.value().soiEntry) && FiniteOrNone(pass.value().periselene) &&
                    FiniteOrNone(pass.value().periseleneAltitude),
                "a flown pass with an infinite date or altitude");
}

void Porkchop(Run& r) {
    Bytes& in = r.in;
    plan::PorkchopRequest q;
    q.from = Body(in), q.to = Body(in);
    q.departFirst = Date(in);
    q.departLast = q.departFirst + in.Within(-10, 200);
    q.tofShortest = in.Within(-1, 300) * kDay;
    q.tofLongest = q.tofShortest + in.Within(-1, 300) * kDay;
    q.grid = in.Pick(kMaxGrid + 2) - 1;
    q.solver = static_cast<otk::LambertSolver>(in.Pick(4));
    q.ways = static_cast<plan::Ways>(in.Pick(4));
    int told = 0;
    const auto result = plan::Porkchop(q, [&](const plan::Progress& p) {
        told++;
        r.Check(p.done == told && p.done <= p.total, "progress beyond its announced total");
    });
    CheckReason(r, result);
    if (!result.ok()) return;
    const plan::PorkchopGrid& g = result.value();
    r.Check(g.cells.size() == size_t(g.grid) * g.grid && told == g.grid, "a grid of another size");
    int converged = 0;
    for (const plan::PorkchopCell& c : g.cells) {
        for (const plan::PorkchopLeg& leg : c.leg)
            if (leg.ok)
                r.Check(std::isfinite(leg.c3) && std::isfinite(leg.vinfDepart) &&
                            std::isfinite(leg.vinfArrive),
                        "a converged cell that is not finite");
        converged += c.leg[0].ok || c.leg[1].ok;
    }
    r.Check(converged == g.converged, "a count of converged cells that is not theirs");
    for (int best : g.best)
        r.Check(best >= -1 && best < int(g.cells.size()), "a best cell out of the grid");
}

void Fly(Run& r) {
    Bytes& in = r.in;
    plan::FlyRequest q;
    q.body = Body(in);
    q.periapsisAltitude = in.Within(-1e5, 1e8);
    q.eccentricity = in.Within(-0.1, 1.1);
    q.inclination = in.Within(-4, 4);
    q.start = Date(in);
    q.duration = in.Within(-kDay, kMaxFlyDays * kDay);
    // A longer flight that would be flown is shortened; one refused stays as it is.
    if (q.duration > kMaxFlyDays * kDay && q.duration <= plan::kFlyDurationRange[1])
        q.duration = kDay;
    q.sampleInterval = in.Pick(2) ? 0 : in.Within(-60, 4000);
    q.integrator = in.Pick(2) ? plan::Integrator::RKF78 : plan::Integrator::RKF56;
    q.keepEvents = in.Pick(2);
    double lastDone = -1;
    const auto result = plan::Fly(
        q,
        [&](const plan::Progress& p) {
            r.Check(p.done >= lastDone && p.done <= p.total, "progress going back or past its end");
            lastDone = p.done;
        },
        Model());
    CheckReason(r, result);
    if (!result.ok()) return;
    const plan::FlightRecord& f = result.value();
    double last = -INFINITY;
    for (const plan::FlightSample& s : f.samples) {
        r.Check(Finite(s.r) && Finite(s.v) && std::isfinite(s.altitude),
                "a sample that is not finite");
        r.Check(s.mjd >= last && s.mjd <= q.start + q.duration / kDay + 1e-9,
                "samples out of order or beyond the flight");
        r.Check(s.reference >= 0 && s.reference < int(f.bodies.size()), "a sample about no body");
        last = s.mjd;
    }
    for (const plan::FlyEvent& e : f.events)
        r.Check(e.mjd >= q.start - 1e-9 && e.mjd <= q.start + q.duration / kDay + 1e-9 &&
                    FiniteOrNone(e.altitude),
                "an event out of the flight");
    r.Check(FiniteOrNone(f.nodeDrift) && std::isfinite(f.period), "a flight's orbit not finite");
}

void Ephemeris(Run& r) {
    plan::EphemerisRequest q;
    q.body = Body(r.in), q.ref = r.in.Pick(3) ? Body(r.in) : "";
    q.mjd = Date(r.in);
    const auto result = plan::Ephemeris(q);
    CheckReason(r, result);
    if (result.ok())
        r.Check(Finite(result.value().position) && Finite(result.value().velocity),
                "a state that is not finite");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ErrorLog = nullptr;
    Run r{Bytes(data, size), {}};
    for (size_t i = 0; i < size && i < 64; ++i) {
        static const char hex[] = "0123456789abcdef";
        r.shown += hex[data[i] >> 4];
        r.shown += hex[data[i] & 15];
    }
    switch (r.in.Pick(4)) {
        case 0:
            Transfer(r);
            break;
        case 1:
            Porkchop(r);
            break;
        case 2:
            Fly(r);
            break;
        default:
            Ephemeris(r);
            break;
    }
    return 0;
}
