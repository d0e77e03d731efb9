// The compiled part of the Python package zaq: the planning layer's functions and the core's
// Lambert solvers and conics over NumPy arrays. Refusals and failures raise ValueError with the
// plan's one-line reason. The library is used by one thread at a time: every call takes one lock
// and lets go of Python's while it works, so other Python threads run meanwhile.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <memory>
#include <mutex>
#include <string>

#include "zaq/hostsim.h"
#include "zaq/lambert.h"
#include "zaq/orbit.h"
#include "zaq/plan.h"
#include "zaq/plan_json.h"
#include "zaq/vector3.h"

namespace py = pybind11;
using namespace zaq;

namespace {

using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;

std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}

// The one model of the process (its scratch directory holds the library's log); closed at exit.
std::unique_ptr<plan::SolarModel>& ModelSlot() {
    static std::unique_ptr<plan::SolarModel> model;
    return model;
}

plan::SolarModel* Model() {
    auto& model = ModelSlot();
    if (!model) {
        auto opened = plan::SolarModel::Open();
        if (!opened.ok()) throw py::value_error(opened.error());
        model = std::move(opened.value());
    }
    return model.get();
}

// The value of a plan's result, or ValueError with its reason.
template <class T>
T Take(plan::Result<T>&& r) {
    if (!r.ok()) throw py::value_error(r.error());
    return std::move(r).value();
}

// Runs f with the GIL released and the library's lock held.
template <class F>
auto Locked(F&& f) {
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> lock(Lock());
    return f();
}

VECTOR3 Row(const double* p) {
    return {p[0], p[1], p[2]};
}
void PutRow(double* p, const VECTOR3& v) {
    p[0] = v.x, p[1] = v.y, p[2] = v.z;
}

// An (n, 3) array of vectors; n checked when given.
py::ssize_t Rows(const Array& a, const char* what, py::ssize_t n = -1) {
    if (a.ndim() != 2 || a.shape(1) != 3)
        throw py::value_error(std::string(what) + " must have shape (N, 3)");
    if (n >= 0 && a.shape(0) != n)
        throw py::value_error(std::string(what) + " must have as many rows as the other inputs");
    return a.shape(0);
}

Array Vectors(py::ssize_t n) {
    return Array({n, py::ssize_t(3)});
}

py::object JsonObject(const plan::Json& j) {
    return py::module_::import("json").attr("loads")(
        j.dump(-1, ' ', false, plan::Json::error_handler_t::replace));
}

py::dict BurnState(const plan::TransferPlan& p) {
    const plan::LunarBurn& b = *p.burn;
    auto vec = [](const VECTOR3& v) { return py::make_tuple(v.x, v.y, v.z); };
    py::dict d;
    d["from"] = p.from, d["to"] = p.to, d["depart"] = p.depart, d["arrive"] = p.arc.arrive;
    d["to_radius"] = p.toRadius, d["ignition"] = b.ignition, d["r"] = vec(b.r), d["v"] = vec(b.v);
    d["thrust"] = vec(b.thrust), d["burn_time"] = b.burnTime, d["thrust_n"] = b.thrustN;
    d["flow"] = b.flow, d["mass"] = b.mass;
    d["local"] = b.steering == plan::Steering::Local;
    d["integrator"] = b.integrator == plan::Integrator::RKF56 ? "rkf56" : "rkf78";
    return d;
}

plan::TransferPlan PlanFromState(const py::dict& d) {
    auto vec = [&](const char* k) {
        const auto t = d[k].cast<py::tuple>();
        return VECTOR3{t[0].cast<double>(), t[1].cast<double>(), t[2].cast<double>()};
    };
    plan::TransferPlan p;
    p.from = d["from"].cast<std::string>(), p.to = d["to"].cast<std::string>();
    p.depart = d["depart"].cast<double>(), p.arc.arrive = d["arrive"].cast<double>();
    p.toRadius = d["to_radius"].cast<double>();
    plan::LunarBurn b;
    b.ignition = d["ignition"].cast<double>(), b.r = vec("r"), b.v = vec("v");
    b.thrust = vec("thrust"), b.burnTime = d["burn_time"].cast<double>();
    b.thrustN = d["thrust_n"].cast<double>(), b.flow = d["flow"].cast<double>();
    b.mass = d["mass"].cast<double>();
    b.steering = d["local"].cast<bool>() ? plan::Steering::Local : plan::Steering::Fixed;
    // A state written before the integrator was kept: its burn flew with the 5(6) pair.
    const bool rkf78 = d.contains("integrator") && d["integrator"].cast<std::string>() == "rkf78";
    b.integrator = rkf78 ? plan::Integrator::RKF78 : plan::Integrator::RKF56;
    p.burn = b;
    return p;
}

otk::LambertSolver Solver(const std::string& name) {
    otk::LambertSolver s;
    if (!otk::ParseLambertSolver(name.c_str(), &s))
        throw py::value_error("unknown Lambert solver '" + plan::Shown(name) +
                              "' (G, PN, UB or UN)");
    return s;
}

}  // namespace

PYBIND11_MODULE(_zaq, m) {
    m.doc() = "ZAQ-SDK's planning layer and Lambert solvers (the compiled part of zaq)";

    m.def("mjd_from_utc", &hostsim::MjdFromUTC, "MJD (TT) of a UTC instant; NaN when invalid",
          py::arg("year"), py::arg("month"), py::arg("day"), py::arg("hour") = 0,
          py::arg("minute") = 0, py::arg("second") = 0.0);
    m.def("utc_text", &hostsim::UTCText, "UTC text of an MJD (TT)");
    m.def("take_log", [] {
        auto taken = Model()->TakeLog();
        if (!taken.ok()) throw py::value_error(taken.error());
    });
    m.def("log_path", &plan::LogPath);
    m.def("close", [] { ModelSlot().reset(); });

    m.def(
        "ephem",
        [](const std::string& body, const std::string& ref, const Array& mjd) {
            const py::ssize_t n = mjd.size();
            Array r = Vectors(n), v = Vectors(n);
            const double* t = mjd.data();
            double *pr = r.mutable_data(), *pv = v.mutable_data();
            std::string error;
            Locked([&] {
                for (py::ssize_t i = 0; i < n && error.empty(); ++i) {
                    auto s = plan::Ephemeris({body, ref, t[i]});
                    if (!s.ok()) {
                        error = s.error();
                        break;
                    }
                    PutRow(pr + 3 * i, s.value().position);
                    PutRow(pv + 3 * i, s.value().velocity);
                }
                return 0;
            });
            if (!error.empty()) throw py::value_error(error);
            return py::make_tuple(r, v);
        },
        py::arg("body"), py::arg("ref"), py::arg("mjd"));

    m.def(
        "lambert",
        [](const Array& r1, const Array& r2, const Array& tof, double mu, double dir, int revs,
           const std::string& solverName) {
            const py::ssize_t n = Rows(r1, "r1");
            Rows(r2, "r2", n);
            if (tof.size() != n)
                throw py::value_error("tof must have as many rows as the other inputs");
            if (revs < 0) throw py::value_error("revs must not be negative");
            const otk::LambertSolver solver = Solver(solverName);
            if (revs > 0 && solver != otk::LambertSolver::UB)
                throw py::value_error("whole revolutions need the solver UB");
            Array v1 = Vectors(n), v2 = Vectors(n);
            py::array_t<bool> ok(n);
            const double *a = r1.data(), *b = r2.data(), *t = tof.data();
            double *p1 = v1.mutable_data(), *p2 = v2.mutable_data();
            bool* good = ok.mutable_data();
            Locked([&] {
                for (py::ssize_t i = 0; i < n; ++i) {
                    const VECTOR3 x = Row(a + 3 * i), y = Row(b + 3 * i);
                    VECTOR3 u{NAN, NAN, NAN}, w{NAN, NAN, NAN};
                    double iter = 0;
                    const int rc = revs > 0
                                       ? otk::LambertUB(x, y, t[i], dir, mu, &iter, revs, &u, &w)
                                       : otk::Lambert(solver, x, y, t[i], dir, mu, &iter, &u, &w);
                    good[i] = rc > 0 && otk::LambertRefine(x, y, t[i], dir, mu, &u, &w) > 0;
                    if (!good[i]) u = w = {NAN, NAN, NAN};
                    PutRow(p1 + 3 * i, u);
                    PutRow(p2 + 3 * i, w);
                }
                return 0;
            });
            return py::make_tuple(v1, v2, ok);
        },
        py::arg("r1"), py::arg("r2"), py::arg("tof"), py::arg("mu"), py::arg("dir"),
        py::arg("revs"), py::arg("solver"));

    m.def("orbit_from_elements", [](double a, double e, double inc, double raan, double argp,
                                    double nu, double mu, double epoch) {
        COrbit o;
        o.CreateFromElements(a, e, inc, raan, argp, otk::tra2mna(nu, e), mu, epoch);
        VECTOR3 r, v;
        o.PosVelByMJD(epoch, &r, &v);
        return py::make_tuple(py::make_tuple(r.x, r.y, r.z), py::make_tuple(v.x, v.y, v.z));
    });
    m.def("orbit_elements", [](const Array& r, const Array& v, double mu, double epoch) {
        const COrbit o(Row(r.data()), Row(v.data()), mu, epoch);
        py::dict d;
        d["a"] = o.SMa(), d["e"] = o.Ecc(), d["inc"] = o.Inc(), d["raan"] = o.LAN();
        d["argp"] = o.AgP(), d["nu"] = o.TrA(), d["M"] = o.MnA(), d["p"] = o.Par();
        d["periapsis"] = o.PeD(), d["apoapsis"] = o.ApD(), d["period"] = o.OPe();
        d["epoch"] = o.Epoch();
        return d;
    });
    m.def("orbit_states",
          [](const Array& r, const Array& v, double mu, double epoch, const Array& mjd) {
              const COrbit o(Row(r.data()), Row(v.data()), mu, epoch);
              const py::ssize_t n = mjd.size();
              Array pr = Vectors(n), pv = Vectors(n);
              for (py::ssize_t i = 0; i < n; ++i) {
                  VECTOR3 x, w;
                  o.PosVelByMJD(mjd.data()[i], &x, &w);
                  PutRow(pr.mutable_data() + 3 * i, x);
                  PutRow(pv.mutable_data() + 3 * i, w);
              }
              return py::make_tuple(pr, pv);
          });

    m.def("plan_transfer", [](const std::string& from, const std::string& to, double depart,
                              double arrive, double parkAlt, bool longWay,
                              const std::string& solver, py::object engine, double periseleneAlt,
                              const std::string& steering) {
        plan::TransferRequest r;
        r.from = from, r.to = to, r.depart = depart, r.arrive = arrive;
        r.parkAltitude = parkAlt, r.longWay = longWay, r.solver = Solver(solver);
        r.periseleneAltitude = periseleneAlt;
        if (steering == "fixed")
            r.steering = plan::Steering::Fixed;
        else if (steering == "local")
            r.steering = plan::Steering::Local;
        else if (steering != "auto")
            throw py::value_error("steering must be 'fixed', 'local' or 'auto', not '" +
                                  plan::Shown(steering) + "'");
        if (!engine.is_none()) {
            const auto t = engine.cast<py::tuple>();
            r.engine = plan::Engine{t[0].cast<double>(), t[1].cast<double>(), t[2].cast<double>()};
        }
        auto planned = Locked([&] { return plan::PlanTransfer(r, {}, Model()); });
        const plan::TransferPlan p = Take(std::move(planned));
        return py::make_tuple(JsonObject(plan::TransferJson(p)),
                              p.burn ? py::object(BurnState(p)) : py::none());
    });
    m.def("refly", [](const py::dict& state, double thrustScale, double ispScale, double pitch,
                      double yaw, double shift) {
        const plan::TransferPlan p = PlanFromState(state);
        plan::BurnErrors e;
        e.thrustScale = thrustScale, e.ispScale = ispScale, e.pointing[0] = pitch;
        e.pointing[1] = yaw, e.ignitionShift = shift;
        auto flown = Locked([&] { return plan::Refly(p, e, Model()); });
        const plan::FlownPass f = Take(std::move(flown));
        py::dict d;
        d["periselene_alt_km"] = f.periseleneAltitude / 1e3;
        d["periselene_mjd"] = f.periselene;
        d["soi_entry_mjd"] = f.soiEntry;
        d["hit_moon"] = f.hitSurface;
        return d;
    });

    m.def("porkchop", [](const std::string& from, const std::string& to, double d0, double d1,
                         double t0, double t1, int grid, const std::string& way,
                         const std::string& solver) {
        plan::PorkchopRequest r;
        r.from = from, r.to = to, r.departFirst = d0, r.departLast = d1;
        r.tofShortest = t0, r.tofLongest = t1, r.grid = grid, r.solver = Solver(solver);
        if (way == "short")
            r.ways = plan::Ways::Short;
        else if (way == "long")
            r.ways = plan::Ways::Long;
        else if (way == "both")
            r.ways = plan::Ways::Both;
        else
            throw py::value_error("way must be 'short', 'long' or 'both', not '" +
                                  plan::Shown(way) + "'");
        auto made = Locked([&] { return plan::Porkchop(r); });
        const plan::PorkchopGrid g = Take(std::move(made));
        const py::ssize_t n = g.grid;
        Array depart(n), tof(n), c3({n, n}), vd({n, n}), va({n, n});
        py::array_t<int> ways({n, n});
        for (py::ssize_t i = 0; i < n; ++i)
            for (py::ssize_t j = 0; j < n; ++j) {
                const plan::PorkchopCell& c = g.cells[i * n + j];
                depart.mutable_data()[i] = c.depart;
                tof.mutable_data()[j] = c.tof;
                const bool any = c.way >= 0;
                const plan::PorkchopLeg& l = c.leg[any ? c.way : 0];
                c3.mutable_at(j, i) = any ? l.c3 : NAN;
                vd.mutable_at(j, i) = any ? l.vinfDepart : NAN;
                va.mutable_at(j, i) = any ? l.vinfArrive : NAN;
                ways.mutable_at(j, i) = c.way;
            }
        py::dict d;
        d["depart_mjd"] = depart, d["tof"] = tof, d["c3"] = c3, d["vinf_depart"] = vd;
        d["vinf_arrive"] = va, d["way"] = ways, d["summary"] = JsonObject(plan::PorkchopJson(g));
        return d;
    });

    m.def("fly", [](const std::string& body, double alt, double ecc, double inc, double start,
                    double duration) {
        plan::FlyRequest r;
        r.body = body, r.periapsisAltitude = alt, r.eccentricity = ecc, r.inclination = inc;
        r.start = start, r.duration = duration;
        auto flown = Locked([&] { return plan::Fly(r, {}, Model()); });
        const plan::FlightRecord f = Take(std::move(flown));
        const py::ssize_t n = f.samples.size();
        Array mjd(n), pr = Vectors(n), pv = Vectors(n), alts(n);
        py::list refs;
        for (py::ssize_t i = 0; i < n; ++i) {
            const plan::FlightSample& s = f.samples[i];
            mjd.mutable_data()[i] = s.mjd;
            PutRow(pr.mutable_data() + 3 * i, s.r);
            PutRow(pv.mutable_data() + 3 * i, s.v);
            alts.mutable_data()[i] = s.altitude;
            refs.append(f.bodies[s.reference]);
        }
        py::dict d;
        d["mjd"] = mjd, d["r"] = pr, d["v"] = pv, d["altitude"] = alts, d["reference"] = refs;
        d["summary"] = JsonObject(plan::FlightJson(f, r));
        return d;
    });
}
