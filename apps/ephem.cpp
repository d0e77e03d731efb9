// zaq ephem: the state of a body relative to a reference at a date, on the built-in solar system.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "apps/commands.h"
#include "zaq/hostsim.h"
#include "zaq/vector3.h"

namespace zaq::app {
namespace {

struct EphemArgs {
    std::string body, ref, date;
};

// The built-in planetary theory holds within a millennium of J2000 (about the years 1000-3000).
constexpr double kFirstMjd = 51544.5 - 365250.0;
constexpr double kLastMjd = 51544.5 + 365250.0;

// A date as an MJD (TT): a number is the simulation MJD itself; calendar text "YYYY-MM-DD",
// "YYYY-MM-DDTHH:MM" or "YYYY-MM-DDTHH:MM:SS[.s]" is UTC; empty text is now. NaN when malformed.
double ParseDate(const std::string& text) {
    if (text.empty()) {
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        if (!gmtime_r(&now, &utc)) return std::nan("");
        return hostsim::MjdFromUTC(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour,
                                   utc.tm_min, utc.tm_sec);
    }
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, used = 0;
    double s = 0;
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
                s = std::strtod(rest + 1, &end);
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

// A body's parent, a base's body; the root body is its own reference.
OBJHANDLE DefaultReference(OBJHANDLE obj) {
    if (OBJHANDLE parent = hostsim::GetParent(obj)) return parent;
    for (DWORD i = 0; i < oapiGetGbodyCount(); ++i) {
        OBJHANDLE b = oapiGetGbodyByIndex(static_cast<int>(i));
        for (DWORD k = 0; k < oapiGetBaseCount(b); ++k)
            if (oapiGetBaseByIndex(b, static_cast<int>(k)) == obj) return b;
    }
    return obj;
}

void PrintVector(const char* label, const VECTOR3& v, const char* unitName, int decimals) {
    std::printf("%-9s x = %.*f  y = %.*f  z = %.*f %s\n", label, decimals, v.x, decimals, v.y,
                decimals, v.z, unitName);
}

int RunEphem(const EphemArgs& args) {
    const double mjd = ParseDate(args.date);
    if (std::isnan(mjd)) {
        std::fprintf(stderr,
                     "zaq ephem: malformed date '%s' (an MJD, or YYYY-MM-DD[THH:MM[:SS]] UTC)\n",
                     args.date.c_str());
        return 2;
    }
    if (mjd < kFirstMjd || mjd > kLastMjd) {
        std::fprintf(stderr,
                     "zaq ephem: MJD %.6f is outside the built-in ephemerides (years 1000-3000)\n",
                     mjd);
        return 2;
    }
    if (!hostsim::LoadSolarSystem(mjd)) {
        std::fprintf(stderr, "zaq ephem: %s\n", hostsim::LastError().c_str());
        return 1;
    }
    OBJHANDLE body = oapiGetObjectByName(args.body.c_str());
    if (!body) {
        std::fprintf(stderr, "zaq ephem: unknown body '%s'\n", args.body.c_str());
        return 2;
    }
    OBJHANDLE ref =
        args.ref.empty() ? DefaultReference(body) : oapiGetObjectByName(args.ref.c_str());
    if (!ref) {
        std::fprintf(stderr, "zaq ephem: unknown reference '%s'\n", args.ref.c_str());
        return 2;
    }
    char refName[64];
    oapiGetObjectName(ref, refName, sizeof refName);

    VECTOR3 pos{}, vel{};
    oapiGetRelativePos(body, ref, &pos);
    oapiGetRelativeVel(body, ref, &vel);
    pos = SwapYZ(pos) / 1e3;  // right-handed, km
    vel = SwapYZ(vel) / 1e3;  // km/s
    const std::string utc = hostsim::UTCText(mjd);
    std::printf("%s relative to %s at MJD %.6f TT (%s UTC)\n", args.body.c_str(), refName, mjd,
                utc.empty() ? "?" : utc.c_str());
    std::printf("frame: ecliptic and equinox of J2000, right-handed\n");
    PrintVector("position", pos, "km", 3);
    PrintVector("velocity", vel, "km/s", 6);
    std::printf("distance  %.3f km\n", Length(pos));
    std::printf("speed     %.6f km/s\n", Length(vel));
    return 0;
}

}  // namespace

void RegisterEphem(CLI::App& app, Options& opts) {
    auto args = std::make_shared<EphemArgs>();
    CLI::App* cmd = app.add_subcommand(
        "ephem",
        "State of a body relative to a reference at a date: ecliptic and equinox of "
        "J2000, right-handed, km and km/s");
    cmd->add_option("BODY", args->body, "Body (or base) name, e.g. Moon")->required();
    cmd->add_option("--date", args->date,
                    "Date: an MJD (TT) or UTC calendar text YYYY-MM-DD[THH:MM[:SS]] "
                    "(default: now)");
    cmd->add_option("--ref", args->ref,
                    "Reference body (default: the body's parent, a base's body)");
    cmd->callback([&opts, args] { opts.run = [args] { return RunEphem(*args); }; });
}

}  // namespace zaq::app
