// A vessel flown from a parking orbit about a body through the full model (every body of the
// scenario pulling, zonal terms included): its path, the events met and the node's drift.
#include <algorithm>
#include <cmath>
#include <memory>

#include "plan/internal.h"
#include "zaq/constants.h"
#include "zaq/flight.h"
#include "zaq/hostsim.h"
#include "zaq/orbit.h"
#include "zaq/sol.h"
#include "zaq/vector3.h"

namespace zaq::plan {
namespace {

using namespace detail;

constexpr double kMaxSamples = 200000;  // longer flights keep every n-th step

Check CheckRequest(const FlyRequest& r) {
    if (auto c = CheckRange("the periapsis altitude", r.periapsisAltitude, kFlyAltitudeRange[0],
                            kFlyAltitudeRange[1], 1e3, "km"))
        return c;
    if (auto c = CheckRange("the eccentricity", r.eccentricity, 0, kMaxEccentricity, 1, ""))
        return c;
    if (auto c = CheckRange("the inclination", r.inclination, 0, M_PI, kRadPerDeg, "deg")) return c;
    if (auto c = CheckRange("the flight's duration", r.duration, kFlyDurationRange[0],
                            kFlyDurationRange[1], kSecondsPerDay, "days"))
        return c;
    if (auto c = CheckDate("the start", r.start)) return c;
    if (!(r.sampleInterval >= 0 && r.sampleInterval <= r.duration))
        return Refusal("the sample interval must lie between 0 and the flight's duration");
    if (!InEphemerides(r.start + r.duration / kSecondsPerDay))
        return Refusal("the flight runs past the built-in ephemerides (years 1000-3000)");
    return std::nullopt;
}

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

// A condition reported inside a step, resolved once the step has ended.
struct Pending {
    int code = 0;
    VECTOR3 r0{}, v0{};  // the step's start
    double t0 = 0;
    VECTOR3 node{};  // the node on the step-start conic
    double nodeMjd = 0;
};

struct Flight {
    cfVessel* vessel = nullptr;
    short body = -1;
    double radius = 0, mu = 0;  // m, m^3/s^2
    Equator equator;
    std::vector<Pending> pending;
    FlightRecord* record = nullptr;  // its events grow as they are met
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
    f.record->events.push_back(e);
    return 0;
}

// The path of a step between its end states: the conic of its start, corrected by the cubic
// that takes the conic's drift from the vessel's path (nothing at the start) to the end state.
// The drift is small and smooth, so the path between the ends keeps the integrator's accuracy
// far better than a cubic through the states themselves.
class StepPath {
public:
    StepPath(const Pending& p, const VECTOR3& r1, const VECTOR3& v1, double mu, double h)
        : conic_(p.r0, p.v0, mu, p.t0), t0_(p.t0), h_(h) {
        VECTOR3 r, v;
        conic_.PosVelByMJD(t0_ + h_ / kSecondsPerDay, &r, &v);
        d1_ = r1 - r, w1_ = v1 - v;
    }
    // The position at the fraction s of the step, its velocity into *v.
    VECTOR3 At(double s, VECTOR3* v) const {
        VECTOR3 r;
        conic_.PosVelByMJD(t0_ + s * h_ / kSecondsPerDay, &r, v);
        const double s2 = s * s, s3 = s2 * s;
        *v += ((6 * s - 6 * s2) / h_) * d1_ + (3 * s2 - 2 * s) * w1_;
        return r + (3 * s2 - 2 * s3) * d1_ + ((s3 - s2) * h_) * w1_;
    }

private:
    mutable COrbit conic_;
    double t0_, h_;
    VECTOR3 d1_{}, w1_{};
};

// The fraction of the step where g(position, velocity) on the step's path changes sign:
// regula falsi (Illinois) between the ends, whose states the cubic keeps; -1 when g has the same
// sign at both ends.
template <class G>
double StepRoot(const StepPath& path, const Pending& p, const VECTOR3& r1, const VECTOR3& v1, G g) {
    double a = 0, b = 1, ga = g(p.r0, p.v0), gb = g(r1, v1);
    if (ga == 0) return 0;
    if (!(ga * gb <= 0)) return -1;
    double s = 1;
    for (int i = 0, side = 0; i < 60 && b - a > 1e-12 && gb != 0; ++i) {
        s = (a * gb - b * ga) / (gb - ga);
        VECTOR3 v;
        const VECTOR3 r = path.At(s, &v);
        const double gs = g(r, v);
        if (gs == 0) break;
        if ((gs < 0) == (ga < 0)) {
            a = s, ga = gs;
            if (side == -1) gb /= 2;
            side = -1;
        } else {
            b = s, gb = gs;
            if (side == 1) ga /= 2;
            side = 1;
        }
    }
    return s;
}

// Resolves the conditions of the step that ended at mjd on the step's path: an apsis where the
// radial rate changes sign, a node where the height above the equator does (on a nearly circular
// orbit the conic's own apsides lie anywhere, and over a long step the oblateness moves the vessel
// off the step-start conic). A condition the ends do not bracket keeps the step-start conic's node,
// or the apsis where the radial rate's straight line between the ends crosses zero, held to the
// step.
void Resolve(Flight& f, double mjd) {
    std::vector<FlyEvent>& events = f.record->events;
    const size_t first = events.size();
    const VECTOR3 r1 = f.vessel->GetPosition(), v1 = f.vessel->GetVelocity();
    const VECTOR3 pole = f.equator.pole;
    for (const Pending& p : f.pending) {
        FlyEvent e;
        e.type = EventName(p.code);
        const double h = (mjd - p.t0) * kSecondsPerDay;
        VECTOR3 r = p.r0, v;
        if (p.code & (EVENT_NODE_ASN | EVENT_NODE_DSN)) {
            const auto height = [&](const VECTOR3& x, const VECTOR3&) { return dotp(x, pole); };
            double s = -1;
            if (h > 0) {
                const StepPath path(p, r1, v1, f.mu, h);
                s = StepRoot(path, p, r1, v1, height);
                if (s >= 0) r = path.At(s, &v);
            }
            if (s < 0) r = p.node;
            e.mjd = s >= 0 ? p.t0 + s * (mjd - p.t0) : p.nodeMjd;
            const double lon = std::atan2(dotp(r, f.equator.y), dotp(r, f.equator.x));
            e.nodeLongitude = lon < -1e-9 * kRadPerDeg ? lon + 2 * M_PI : std::fmax(lon, 0.0);
        } else if (h > 0) {
            const auto rate = [](const VECTOR3& x, const VECTOR3& w) { return dotp(x, w); };
            const StepPath path(p, r1, v1, f.mu, h);
            double s = StepRoot(path, p, r1, v1, rate);
            if (s < 0) {
                const double g0 = dotp(p.r0, p.v0), g1 = dotp(r1, v1);
                s = std::clamp(g0 / (g0 - g1), 0.0, 1.0);
            }
            r = path.At(s, &v);
            e.mjd = p.t0 + s * (mjd - p.t0);
        } else {
            e.mjd = p.t0;
        }
        e.altitude = Length(r) - f.radius;
        events.push_back(e);
    }
    f.pending.clear();
    std::sort(events.begin() + first, events.end(),
              [](const FlyEvent& a, const FlyEvent& b) { return a.mjd < b.mjd; });
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

// The ascending node's drift along the equator (rad/s), from the first to the last node met; NaN
// with fewer than two.
struct NodeDrift {
    double first = NAN, last = NAN, lastLongitude = 0, turn = 0;
    void Add(const FlyEvent& e) {
        if (e.type != "ascending node") return;
        // Each revolution turns the node by far less than half a turn.
        if (!std::isnan(last)) turn += std::remainder(e.nodeLongitude - lastLongitude, 2 * M_PI);
        if (std::isnan(first)) first = e.mjd;
        last = e.mjd;
        lastLongitude = e.nodeLongitude;
    }
    double Rate() const { return first == last ? NAN : turn / ((last - first) * kSecondsPerDay); }
};

}  // namespace

Result<FlightRecord> Fly(const FlyRequest& request, const ProgressFn& progress, SolarModel* model,
                         const SampleFn& sink) {
    if (auto refused = CheckRequest(request)) return *refused;
    const double start = request.start, days = request.duration / kSecondsPerDay;
    if (!hostsim::LoadSolarSystem(start)) return Error{hostsim::LastError()};
    OBJHANDLE handle = oapiGetObjectByName(request.body.c_str());
    if (!handle) return Error{"unknown body '" + Shown(request.body) + "'"};
    FlightRecord out;
    out.body = NameOf(handle);
    const char* name = out.body.c_str();
    std::unique_ptr<SolarModel> own;
    auto setUp = SetUpModel(model, own);
    if (!setUp.ok()) return Error{setUp.error()};
    CSol& sol = *setUp.value();
    const int csid = sol.GetId(handle);
    Flight f;
    std::unique_ptr<CFlight> flight = csid < 0 ? nullptr : ScenarioFor(sol, name, &f.body);
    if (!flight)
        return Refusal(
            "the flight model steps vessels about the Sun, Venus, Earth, the Moon and Jupiter, "
            "not '%s'",
            name);

    // The parking orbit: periapsis at the altitude asked for, at the ascending node on the
    // body's equator.
    const double ecc = request.eccentricity;
    f.radius = oapiGetSize(handle);
    const double mu = f.mu = kG * sol.GetMass(csid), rp = f.radius + request.periapsisAltitude;
    const double a = rp / (1 - ecc), ra = a * (1 + ecc), soi = sol.GetData(csid, CSD_SOI);
    if (csid != 0 && soi > 0 && ra > soi)
        return Refusal("the apoapsis (%.0f km) lies beyond %s's sphere of influence (%.0f km)",
                       ra / 1e3, name, soi / 1e3);
    f.equator = EquatorOf(sol, csid, start);
    const Equator& eq = f.equator;
    const double vp = std::sqrt(mu * (1 + ecc) / rp), i = request.inclination;
    const VECTOR3 r0 = eq.x * rp, v0 = (eq.y * std::cos(i) + eq.pole * std::sin(i)) * vp;
    for (short k = 0; k < flight->GetCount(); ++k) out.bodies.push_back(flight->GetName(k));
    out.start = start;
    out.duration = request.duration;
    out.apoapsisAltitude = ra - f.radius;
    out.period = 2 * M_PI * std::sqrt(a * a * a / mu);
    out.radius = f.radius;
    out.r0 = r0;
    out.v0 = v0;

    f.record = &out;
    flight->SetIntegrator(FlightIntegrator(request.integrator));
    if (!flight->SetStartMJD(start)) return Refusal("the flight model could not start");
    flight->SetRefCallback(OnReference, &f);
    f.vessel = flight->CreateVessel(f.body, r0, v0, 1000);
    if (!f.vessel) return Refusal("the flight model refused the vessel");
    const int watch = EVENT_PERIAPSIS | EVENT_APOAPSIS | EVENT_NODE_ASN | EVENT_NODE_DSN;
    cfEvent* events = f.vessel->AddEvent(watch | EVENT_SAMEREF, f.body, OnEvent, &f);
    if (!events) return Refusal("the flight model refused the events");
    events->SetPlane(eq.pole);

    // Every step's end is a sample (fewer on long flights).
    const double end = start + days;
    const double spacing = request.sampleInterval > 0 ? request.sampleInterval / kSecondsPerDay
                           : sink                     ? 0
                                                      : days / kMaxSamples;
    double last = start;  // the last sample's date
    auto take = [&](const FlightSample& w) {
        last = w.mjd;
        if (sink)
            sink(w);
        else
            out.samples.push_back(w);
    };
    if (progress) progress({0, out.duration, NAN, &out});
    take({start, r0, v0, request.periapsisAltitude, f.body});
    int refused = 0;
    NodeDrift drift;
    size_t told = 0;  // events already added to the drift
    while (flight->GetMJD() < end) {
        const double left = (end - flight->GetMJD()) * kSecondsPerDay, dt = flight->GetNextdT();
        if (left < 1e-6) break;
        if (dt < 1.0 || refused > 100)
            return Refusal("the flight stopped at %s: the step size collapsed",
                           DateText(flight->GetMJD()).c_str());
        if (flight->Step(dt < left ? dt : left) == 0) {
            ++refused;
            continue;
        }
        refused = 0;
        ++out.steps;
        const double mjd = flight->GetMJD();
        if (!f.pending.empty()) Resolve(f, mjd);
        const VECTOR3 r = f.vessel->GetPosition();
        const short ref = f.vessel->GetReference();
        const double altitude = Length(r) - (ref == f.body ? f.radius : flight->GetRadius(ref));
        // Samples at the first step's end in each interval (the intervals counted from the start).
        if (spacing == 0 || mjd >= end ||
            std::floor((mjd - start) / spacing) > std::floor((last - start) / spacing))
            take({mjd, r, f.vessel->GetVelocity(), altitude, ref});
        for (size_t k = told; k < out.events.size(); ++k) drift.Add(out.events[k]);
        told = out.events.size();
        // Seconds from dates: the last step's end may lie a rounding past the duration.
        if (progress)
            progress(
                {std::min((mjd - start) * kSecondsPerDay, out.duration), out.duration, NAN, &out});
        if (!request.keepEvents) out.events.clear(), told = 0;
    }
    out.nodeDrift = drift.Rate();
    return out;
}

}  // namespace zaq::plan
