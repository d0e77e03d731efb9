#include "apps/mission.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "zaq/adaptors.h"
#include "zaq/constants.h"
#include "zaq/foundation.h"
#include "zaq/hostsim.h"
#include "zaq/lambert.h"
#include "zaq/vector3.h"

namespace zaq::app {

std::string DateText(double mjd) {
    return std::string(otk::PrintUT(hostsim::UtcMjd(mjd))) + " UTC";
}

std::string ValueText(double x, int digits) {
    return otk::ValueToText(x, digits);
}

int Fail(const char* command, const char* format, ...) {
    std::fprintf(stderr, "zaq %s: ", command);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fprintf(stderr, "\n");
    return 2;
}

bool DateArgument(const char* command, const std::string& text, double* mjd) {
    *mjd = ParseDate(text);
    if (std::isnan(*mjd)) {
        Fail(command, "malformed date '%s' (an MJD, or YYYY-MM-DD[THH:MM[:SS]] UTC)",
             Shown(text).c_str());
        return false;
    }
    if (!InEphemerisRange(*mjd)) {
        Fail(command, "date '%s' is outside the built-in ephemerides (years 1000-3000)",
             Shown(text).c_str());
        return false;
    }
    return true;
}

bool NumberArgument(const char* command, const char* option, const std::string& text, double lo,
                    double hi, double* value) {
    if (text.empty()) return true;
    double v = 0;
    if (!ParseNumber(text, &v)) {
        Fail(command, "%s: '%s' is not a number", option, Shown(text).c_str());
        return false;
    }
    if (!(v >= lo && v <= hi)) {
        Fail(command, "%s must lie between %g and %g", option, lo, hi);
        return false;
    }
    *value = v;
    return true;
}

bool NameArgument(const char* command, const char* what, const std::string& text) {
    if (!HasControlChars(text)) return true;
    const bool lineBreak = text.find_first_of("\r\n") != std::string::npos;
    Fail(command, "%s '%s' holds a %s", what, Shown(text).c_str(),
         lineBreak ? "line break" : "control character");
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

bool SolverArgument(const char* command, const std::string& name, bool longWay,
                    LambertSolver* solver) {
    if (!otk::ParseLambertSolver(name.c_str(), solver)) {
        Fail(command, "unknown Lambert solver '%s' (G, PN, UB or UN)", Shown(name).c_str());
        return false;
    }
    if (*solver == LambertSolver::G && longWay) {
        Fail(command, "Lambert solver G joins the short way only");
        return false;
    }
    return true;
}

namespace {
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
}  // namespace

bool ResolvePair(const std::string& from, const std::string& to, BodyPair* pair, std::string* why) {
    BodyPair p;
    p.from = oapiGetObjectByName(from.c_str());
    p.to = oapiGetObjectByName(to.c_str());
    for (auto [obj, name] : {std::pair{p.from, &from}, std::pair{p.to, &to}})
        if (!obj || !IsBody(obj)) {
            *why = "unknown body '" + Shown(*name) + "'";
            return false;
        }
    p.fromName = NameOf(p.from);
    p.toName = NameOf(p.to);
    if (p.from == p.to) {
        *why = "FROM and TO are the same body (" + p.fromName + ")";
        return false;
    }
    OBJHANDLE fromParent = hostsim::GetParent(p.from), toParent = hostsim::GetParent(p.to);
    if (!fromParent) {
        *why = p.fromName +
               " is the root body: a departure starts from an orbit about a planet "
               "or moon";
        return false;
    }
    if (toParent == p.from) {
        p.ref = p.from;
        p.lunar = true;
    } else if (fromParent && fromParent == toParent) {
        p.ref = fromParent;
    } else {
        *why = p.fromName + " and " + p.toName +
               " do not move about a common body (a transfer needs both about the same body, "
               "or TO about FROM)";
        return false;
    }
    p.refName = NameOf(p.ref);
    p.mu = oapiGetMass(p.ref) * zaq::kG;
    *pair = p;
    return true;
}

bool SolveArc(const BodyPair& pair, double depart, double arrive, LambertSolver solver,
              bool longWay, double* warm, Arc* arc) {
    Arc a;
    a.depart = depart;
    a.arrive = arrive;
    StateAbout(pair.from, pair.ref, depart, &a.r1, &a.v1);
    StateAbout(pair.to, pair.ref, arrive, &a.r2, &a.v2);
    const double t = (arrive - depart) * zaq::kSecondsPerDay;
    const double dir = longWay ? -1.0 : 1.0;
    a.status = otk::Lambert(solver, a.r1, a.r2, t, dir, pair.mu, warm, &a.vDepart, &a.vArrive);
    const bool ok = a.status > 0;
    // The universal-variable solvers stop once the flight time is within 1e-6 of t: over an
    // interplanetary arc that is tens of seconds, hundreds of kilometres at arrival. Newton
    // steps on the semi-latus rectum of their arc take it to the p-iteration's precision.
    if (ok && (solver == LambertSolver::UB || solver == LambertSolver::UN)) {
        const VECTOR3 h = CrossProduct(a.r1, a.vDepart);
        double p = dotp(h, h) / pair.mu;
        VECTOR3 v1{}, v2{};
        if (otk::LambertPN(a.r1, a.r2, t, dir, pair.mu, &p, &v1, &v2) > 0) {
            a.vDepart = v1;
            a.vArrive = v2;
            a.refined = true;
        }
    }
    if (ok) {
        a.vinfDepart = a.vDepart - a.v1;
        a.vinfArrive = a.vArrive - a.v2;
        a.c3 = dotp(a.vinfDepart, a.vinfDepart);
    }
    *arc = a;
    return ok;
}

}  // namespace zaq::app
