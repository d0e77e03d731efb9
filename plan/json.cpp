// The plans as JSON objects: what the zaq tool prints with --json and the Python package returns
// as dicts, built in one place.
#include <cmath>

#include "zaq/constants.h"
#include "zaq/hostsim.h"
#include "zaq/plan_json.h"
#include "zaq/vector3.h"

namespace zaq::plan {
namespace {

constexpr double kDeg = 180.0 / M_PI;
constexpr const char* kWayName[2] = {"short", "long"};
constexpr const char* kTypeName[2] = {"I", "II"};

// A three-vector as a JSON array, each component divided by scale (1e3: metres as kilometres).
Json JsonVector(const VECTOR3& v, double scale = 1) {
    return Json::array({v.x / scale, v.y / scale, v.z / scale});
}

}  // namespace

bool AllFinite(const Json& j) {
    if (j.is_number_float()) return std::isfinite(j.get<double>());
    if (j.is_structured())
        for (const Json& item : j)
            if (!AllFinite(item)) return false;
    return true;
}

Json DateJson(double mjd) {
    return {{"mjd", mjd}, {"utc", DateText(mjd)}};
}

Json TransferJson(const TransferPlan& p) {
    const Arc& a = p.arc;
    Json j = {{"from", p.from},
              {"to", p.to},
              {"reference", p.reference},
              {"mu", p.mu},
              {"kind", p.lunar ? "ignition" : "lambert"}};
    if (!p.lunar) {
        j["solver"] = otk::LambertSolverName(p.solver);
        j["way"] = p.longWay ? "long" : "short";
        j["status"] = a.status;
        j["refined"] = a.refined;
    }
    j["depart"] = DateJson(a.depart);
    j["arrive"] = DateJson(a.arrive);
    j["tof_days"] = a.arrive - a.depart;
    j["c3_km2_s2"] = a.c3 / 1e6;
    if (!p.lunar) {  // a lunar plan has the burn (dv) instead
        j["vinf_depart_km_s"] = JsonVector(a.vinfDepart, 1e3);
        j["vinf_depart_mag_km_s"] = Length(a.vinfDepart) / 1e3;
    }
    j["vinf_arrive_km_s"] = JsonVector(a.vinfArrive, 1e3);
    j["vinf_arrive_mag_km_s"] = Length(a.vinfArrive) / 1e3;
    j["arc"] = {{"r1_m", JsonVector(a.r1)},
                {"v1_m_s", JsonVector(a.vDepart)},
                {"r2_m", JsonVector(a.r2)},
                {"v2_m_s", JsonVector(a.vArrive)}};
    j["park_alt_km"] = (p.parkRadius - p.fromRadius) / 1e3;
    if (p.lunar) {
        j["ignition"] = DateJson(p.ignition);
        j["dv_km_s"] = JsonVector(a.vinfDepart, 1e3);
        j["dv_mag_km_s"] = Length(a.vinfDepart) / 1e3;
    } else {
        const Ejection& e = p.ejection;
        Json ej = {{"true_anomaly_deg", e.trueAnomaly * kDeg},
                   {"position_m", JsonVector(e.position)},
                   {"dv_km_s", JsonVector(e.dv, 1e3)},
                   {"dv_mag_km_s", Length(e.dv) / 1e3},
                   {"vinf_declination_deg", e.vinfDeclination * kDeg},
                   {"dv_inclined_mag_km_s", Length(e.inclinedDv) / 1e3}};
        if (p.engine) ej["burn_time_s"] = e.burnTime;
        j["ejection"] = ej;
    }
    if (const auto& b = p.burn) {
        const double dv = Length(b->thrust);
        j["finite_burn"] = {
            {"dv_m_s", dv},
            {"burn_time_s", b->burnTime},
            {"gravity_loss_m_s", dv - b->impulsiveDv},
            {"steering", b->steering == Steering::Local ? "local" : "fixed"},
            {"lead_s", b->lead},
            {"propellant_kg", b->propellant},
            {"ignition_mjd", b->ignition},
            {"cutoff_mjd", b->cutoff},
            {"thrust_vector_m_s", JsonVector(b->thrust)},
            {"thrust_frame", b->steering == Steering::Local ? "local" : "reference"},
            {"ignition_position_m", JsonVector(b->r)},
            {"ignition_velocity_m_s", JsonVector(b->v)},
            {"thrust_n", b->thrustN},
            {"flow_kg_s", b->flow},
            {"mass_kg", b->mass}};
        j["flown"] = {{"soi_entry_mjd", b->soiEntry},
                      {"periselene_alt_km", b->periseleneAltitude / 1e3},
                      {"periselene_mjd", b->periselene},
                      {"flights", b->flights}};
    }
    return j;
}

Json PorkchopMinimumJson(const PorkchopGrid& grid, int way) {
    const PorkchopCell& c = grid.cells[grid.best[way]];
    const PorkchopLeg& l = c.leg[way];
    return {{"way", kWayName[way]},
            {"type", kTypeName[way]},
            {"c3_km2_s2", l.c3 / 1e6},
            {"depart_mjd", c.depart},
            {"depart_utc", DateText(c.depart)},
            {"tof_days", c.tof / kSecondsPerDay},
            {"arrive_mjd", c.arrive},
            {"arrive_utc", DateText(c.arrive)},
            {"vinf_depart_km_s", l.vinfDepart / 1e3},
            {"vinf_arrive_km_s", l.vinfArrive / 1e3}};
}

Json PorkchopJson(const PorkchopGrid& grid) {
    const bool both = grid.ways[0] && grid.ways[1];
    Json j = {{"from", grid.from},
              {"to", grid.to},
              {"about", grid.reference},
              {"grid", grid.grid},
              {"solver", otk::LambertSolverName(grid.solver)},
              {"way", both           ? "both"
                      : grid.ways[1] ? "long"
                                     : "short"},
              {"cells", grid.grid * grid.grid},
              {"converged", grid.converged}};
    Json minima = Json::array();
    for (int w = 0; w < 2; ++w)
        if (grid.best[w] >= 0) minima.push_back(PorkchopMinimumJson(grid, w));
    j["minima"] = minima;
    return j;
}

Json FlyEventJson(const FlyEvent& e) {
    Json item = {{"type", e.type}, {"mjd", e.mjd}, {"utc", DateText(e.mjd)}};
    if (!std::isnan(e.altitude)) item["alt_km"] = e.altitude / 1e3;
    if (!std::isnan(e.nodeLongitude)) item["node_longitude_deg"] = e.nodeLongitude * kDeg;
    if (e.type == "reference") {
        item["from"] = e.from;
        item["to"] = e.to;
    }
    return item;
}

Json FlightJson(const FlightRecord& f, const FlyRequest& r) {
    std::string bodies;
    for (const std::string& name : f.bodies) bodies += (bodies.empty() ? "" : ", ") + name;
    Json j;
    j["body"] = f.body;
    j["bodies"] = bodies;
    j["start_mjd"] = f.start;
    j["start_utc"] = DateText(f.start);
    j["days"] = r.duration / kSecondsPerDay;
    j["orbit"] = {{"periapsis_alt_km", r.periapsisAltitude / 1e3},
                  {"apoapsis_alt_km", f.apoapsisAltitude / 1e3},
                  {"eccentricity", r.eccentricity},
                  {"inclination_deg", r.inclination * kDeg},
                  {"period_min", f.period / 60},
                  {"mean_radius_km", f.radius / 1e3}};
    j["steps"] = f.steps;
    Json list = Json::array();
    for (const FlyEvent& e : f.events) list.push_back(FlyEventJson(e));
    j["events"] = list;
    const double drift = f.nodeDrift * kDeg * kSecondsPerDay;  // deg/day
    if (!std::isnan(drift)) j["node_drift_deg_per_day"] = drift;
    return j;
}

Json StateJson(const State& s) {
    const VECTOR3 pos = s.position / 1e3, vel = s.velocity / 1e3;  // km, km/s
    return {{"body", s.body},
            {"ref", s.ref},
            {"mjd_tt", s.mjd},
            {"utc", hostsim::UTCText(s.mjd)},
            {"frame", "ecliptic and equinox of J2000, right-handed"},
            {"position_km", {pos.x, pos.y, pos.z}},
            {"velocity_km_s", {vel.x, vel.y, vel.z}},
            {"distance_km", Length(pos)},
            {"speed_km_s", Length(vel)}};
}

}  // namespace zaq::plan
