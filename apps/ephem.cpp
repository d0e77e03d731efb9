// zaq ephem: the state of a body relative to a reference at a date, on the built-in solar system.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "apps/commands.h"
#include "apps/json.h"
#include "apps/mission.h"
#include "zaq/hostsim.h"
#include "zaq/vector3.h"

namespace zaq::app {
namespace {

struct EphemArgs {
    std::string body, ref, date;
    bool json = false;
};

void PrintVector(const char* label, const VECTOR3& v, const char* unitName, int decimals) {
    std::printf("%-9s x = %.*f  y = %.*f  z = %.*f %s\n", label, decimals, v.x, decimals, v.y,
                decimals, v.z, unitName);
}

int RunEphem(const EphemArgs& args) {
    double mjd = 0;
    if (!NameArgument("ephem", "BODY", args.body) || !NameArgument("ephem", "--ref", args.ref) ||
        !DateArgument("ephem", args.date, &mjd))
        return 2;
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
    if (ref == body) return Fail("ephem", "BODY and --ref are the same (%s)", refName);

    VECTOR3 pos{}, vel{};
    oapiGetRelativePos(body, ref, &pos);
    oapiGetRelativeVel(body, ref, &vel);
    pos = SwapYZ(pos) / 1e3;  // right-handed, km
    vel = SwapYZ(vel) / 1e3;  // km/s
    const std::string utc = hostsim::UTCText(mjd);
    if (args.json) {
        const Json j = {{"body", args.body},
                        {"ref", refName},
                        {"mjd_tt", mjd},
                        {"utc", utc},
                        {"frame", "ecliptic and equinox of J2000, right-handed"},
                        {"position_km", {pos.x, pos.y, pos.z}},
                        {"velocity_km_s", {vel.x, vel.y, vel.z}},
                        {"distance_km", Length(pos)},
                        {"speed_km_s", Length(vel)}};
        return PrintJson("ephem", j);
    }
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
    cmd->add_flag("--json", args->json, "Print the state as one JSON object");
    cmd->callback([&opts, args] { opts.run = [args] { return RunEphem(*args); }; });
}

}  // namespace zaq::app
