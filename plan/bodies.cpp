// Checks of a request, text for messages, body look-up, states and the Lambert arc.
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "plan/internal.h"
#include "zaq/adaptors.h"
#include "zaq/constants.h"
#include "zaq/flight.h"
#include "zaq/foundation.h"
#include "zaq/hostsim.h"
#include "zaq/lambert.h"
#include "zaq/vector3.h"

namespace zaq::plan {

bool InEphemerides(double mjd) {
    static const double first = hostsim::MjdFromUTC(1000, 1, 1);
    static const double end = hostsim::MjdFromUTC(3001, 1, 1);
    return mjd >= first && mjd < end;
}

std::string DateText(double mjd) {
    return std::string(otk::PrintUT(hostsim::UtcMjd(mjd))) + " UTC";
}

std::string ValueText(double x, int digits) {
    return otk::ValueToText(x, digits);
}

std::string Shown(const std::string& text) {
    std::string shown;
    for (unsigned char ch : text) {
        if (ch < 0x20 || ch == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", ch);
            shown += escaped;
        } else {
            shown += static_cast<char>(ch);
        }
    }
    return shown;
}

namespace detail {

Error Refusal(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return {text};
}

Check CheckDate(const char* what, double mjd) {
    if (InEphemerides(mjd)) return std::nullopt;
    return Refusal("%s (MJD %.12g) is outside the built-in ephemerides (years 1000-3000)", what,
                   mjd);
}

Check CheckRange(const char* what, double x, double lo, double hi, double scale, const char* unit) {
    if (x >= lo && x <= hi) return std::nullopt;
    return Refusal("%s must lie between %g and %g%s%s", what, lo / scale, hi / scale,
                   *unit ? " " : "", unit);
}

Check CheckSolver(otk::LambertSolver solver, bool longWay) {
    if (otk::LambertSolverName(solver)[0] == '?') return Refusal("unknown Lambert solver");
    if (solver == otk::LambertSolver::G && longWay)
        return Refusal("Lambert solver G joins the short way only");
    return std::nullopt;
}

std::string SeeLog(SolarModel* model) {
    const std::string log = LogPath();
    if (model && !model->Directory().empty() && log.rfind(model->Directory() + "/", 0) == 0)
        model->KeepLog();
    return " (see " + (log.empty() ? std::string("ZAQ-SDK_Err.html") : log) + ")";
}

std::string NameOf(OBJHANDLE obj) {
    char name[64] = "";
    oapiGetObjectName(obj, name, sizeof name);
    return name;
}

bool IsBody(OBJHANDLE obj) {
    for (DWORD i = 0; i < oapiGetGbodyCount(); ++i)
        if (oapiGetGbodyByIndex(static_cast<int>(i)) == obj) return true;
    return false;
}

OBJHANDLE DefaultReference(OBJHANDLE obj) {
    if (OBJHANDLE parent = hostsim::GetParent(obj)) return parent;
    for (DWORD i = 0; i < oapiGetGbodyCount(); ++i) {
        OBJHANDLE b = oapiGetGbodyByIndex(static_cast<int>(i));
        for (DWORD k = 0; k < oapiGetBaseCount(b); ++k)
            if (oapiGetBaseByIndex(b, static_cast<int>(k)) == obj) return b;
    }
    return obj;
}

void StateAbout(OBJHANDLE body, OBJHANDLE ref, double mjd, VECTOR3* pos, VECTOR3* vel) {
    CELBODY* module = oapiGetCelbodyInterface(body);
    if (module && hostsim::GetParent(body) == ref &&
        otk::CelBody_RH(module, mjd, EPHEM_TRUEPOS | EPHEM_TRUEVEL, pos, vel) ==
            (EPHEM_TRUEPOS | EPHEM_TRUEVEL))
        return;
    hostsim::SetSimMJD(mjd);
    otk::RH_oapiGetRelativePos(body, ref, pos);
    otk::RH_oapiGetRelativeVel(body, ref, vel);
}

Result<BodyPair> ResolvePair(const std::string& from, const std::string& to) {
    BodyPair p;
    p.from = oapiGetObjectByName(from.c_str());
    p.to = oapiGetObjectByName(to.c_str());
    for (auto [obj, name] : {std::pair{p.from, &from}, std::pair{p.to, &to}})
        if (!obj || !IsBody(obj)) return Error{"unknown body '" + Shown(*name) + "'"};
    p.fromName = NameOf(p.from);
    p.toName = NameOf(p.to);
    if (p.from == p.to) return Error{"FROM and TO are the same body (" + p.fromName + ")"};
    OBJHANDLE fromParent = hostsim::GetParent(p.from), toParent = hostsim::GetParent(p.to);
    if (!fromParent)
        return Error{p.fromName +
                     " is the root body: a departure starts from an orbit about a planet or moon"};
    if (toParent == p.from) {
        p.ref = p.from;
        p.lunar = true;
    } else if (fromParent == toParent) {
        p.ref = fromParent;
    } else {
        return Error{p.fromName + " and " + p.toName +
                     " do not move about a common body (a transfer needs both about the same "
                     "body, or TO about FROM)"};
    }
    p.refName = NameOf(p.ref);
    p.mu = oapiGetMass(p.ref) * zaq::kG;
    return p;
}

void ArcEnds(const BodyPair& pair, double depart, double arrive, Arc* arc) {
    arc->depart = depart;
    arc->arrive = arrive;
    StateAbout(pair.from, pair.ref, depart, &arc->r1, &arc->v1);
    StateAbout(pair.to, pair.ref, arrive, &arc->r2, &arc->v2);
}

bool SolveArc(const BodyPair& pair, otk::LambertSolver solver, bool longWay, double* warm,
              Arc* arc) {
    Arc& a = *arc;
    const double t = (a.arrive - a.depart) * zaq::kSecondsPerDay;
    const double dir = longWay ? -1.0 : 1.0;
    a.status = otk::Lambert(solver, a.r1, a.r2, t, dir, pair.mu, warm, &a.vDepart, &a.vArrive);
    const bool ok = a.status > 0;
    // The solvers stop once the flight time is within 1e-9 of t (1e-6 for the universal-variable
    // ones: over an interplanetary arc tens of seconds, hundreds of kilometres at arrival).
    // Newton steps on the universal-variable time equation take the arc to double precision.
    a.refined = ok && otk::LambertRefine(a.r1, a.r2, t, dir, pair.mu, &a.vDepart, &a.vArrive) > 0;
    if (ok) {
        a.vinfDepart = a.vDepart - a.v1;
        a.vinfArrive = a.vArrive - a.v2;
        a.c3 = dotp(a.vinfDepart, a.vinfDepart);
    }
    return ok;
}

int FlightIntegrator(Integrator integrator) {
    return integrator == Integrator::RKF56 ? CF_RKF56 : CF_RKF78;
}

COrbit ParkingOrbit(const VECTOR3& normal, double r, double mu, double mjd) {
    COrbit park;
    park.CreateCircular(unit(otk::Perpendicular(normal)) * r, normal, mu, mjd);
    return park;
}

}  // namespace detail
}  // namespace zaq::plan
