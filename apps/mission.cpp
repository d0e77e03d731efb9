#include "apps/mission.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "zaq/adaptors.h"
#include "zaq/constants.h"
#include "zaq/foundation.h"
#include "zaq/hostsim.h"
#include "zaq/lambert.h"
#include "zaq/vector3.h"

namespace zaq::app {

// The built-in planetary theory holds within a millennium of J2000 (about the years 1000-3000).
constexpr double kFirstMjd = 51544.5 - 365250.0;
constexpr double kLastMjd = 51544.5 + 365250.0;

double ParseDate(const std::string& text) {
    if (text.empty()) {
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        if (!gmtime_r(&now, &utc)) return std::nan("");
        return hostsim::MjdFromUTC(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour,
                                   utc.tm_min, utc.tm_sec);
    }
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, used = 0;
    const char* c = text.c_str();
    if (std::sscanf(c, "%5d-%2d-%2d%n", &y, &mo, &d, &used) == 3 && used == 10) {
        const char* rest = c + used;
        int more = 0;
        if (*rest == '\0') return hostsim::MjdFromUTC(y, mo, d);
        if (std::sscanf(rest, "T%2d:%2d%n", &h, &mi, &more) == 2 && more == 6) {
            rest += more;
            if (*rest == '\0') return hostsim::MjdFromUTC(y, mo, d, h, mi, 0);
            if (*rest == ':' && rest[1] >= '0' && rest[1] <= '9') {
                char* end = nullptr;
                const double s = std::strtod(rest + 1, &end);
                if (*end == '\0') return hostsim::MjdFromUTC(y, mo, d, h, mi, s);
            }
        }
        return std::nan("");
    }
    char* end = nullptr;
    errno = 0;
    const double mjd = std::strtod(c, &end);
    if (end == c || *end != '\0' || errno == ERANGE || !std::isfinite(mjd)) return std::nan("");
    return mjd;
}

std::string DateText(double mjd) {
    return std::string(otk::PrintUT(hostsim::UtcMjd(mjd))) + " UTC";
}

std::string ValueText(double x, int digits) {
    return otk::ValueToText(x, digits);
}

bool InEphemerisRange(double mjd) {
    return mjd >= kFirstMjd && mjd <= kLastMjd;
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
        Fail(command, "malformed date '%s' (an MJD, or YYYY-MM-DD[THH:MM[:SS]] UTC)", text.c_str());
        return false;
    }
    if (!InEphemerisRange(*mjd)) {
        Fail(command, "date '%s' is outside the built-in ephemerides (years 1000-3000)",
             text.c_str());
        return false;
    }
    return true;
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
        Fail(command, "unknown Lambert solver '%s' (G, PN, UB or UN)", name.c_str());
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
            *why = "unknown body '" + *name + "'";
            return false;
        }
    p.fromName = NameOf(p.from);
    p.toName = NameOf(p.to);
    if (p.from == p.to) {
        *why = "FROM and TO are the same body (" + p.fromName + ")";
        return false;
    }
    OBJHANDLE fromParent = hostsim::GetParent(p.from), toParent = hostsim::GetParent(p.to);
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
