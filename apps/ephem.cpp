// zaq ephem: the state of a body relative to a reference at a date, on the built-in solar system.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "apps/arguments.h"
#include "apps/commands.h"
#include "apps/json.h"
#include "apps/options.h"
#include "apps/output.h"
#include "zaq/hostsim.h"
#include "zaq/plan.h"
#include "zaq/vector3.h"

namespace zaq::app {
namespace {

constexpr const char* kCommand = "ephem";

struct EphemArgs {
    plan::EphemerisRequest request;
    bool json = false;
};

void PrintVector(const char* label, const VECTOR3& v, const char* unitName, int decimals) {
    std::printf("%-9s x = %.*f  y = %.*f  z = %.*f %s\n", label, decimals, v.x, decimals, v.y,
                decimals, v.z, unitName);
}

int RunEphem(EphemArgs& args) {
    plan::EphemerisRequest& r = args.request;
    if (std::isnan(r.mjd)) r.mjd = ParseDate("");  // now
    if (!r.ref.empty() && r.ref == r.body)
        return Fail(kCommand, "BODY and --ref are the same (%s)", r.ref.c_str());
    auto found = plan::Ephemeris(r);
    if (!found.ok()) return Fail(kCommand, "%s", found.error().c_str());
    const plan::State& s = found.value();
    const VECTOR3 pos = s.position / 1e3, vel = s.velocity / 1e3;  // km, km/s
    const std::string utc = hostsim::UTCText(s.mjd);
    if (args.json) {
        const Json j = plan::StateJson(s);
        return PrintJson(kCommand, j);
    }
    std::printf("%s relative to %s at MJD %.6f TT (%s UTC)\n", r.body.c_str(), s.ref.c_str(), s.mjd,
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
    plan::EphemerisRequest& r = args->request;
    CLI::App* cmd = app.add_subcommand(
        "ephem",
        "State of a body relative to a reference at a date: ecliptic and equinox of "
        "J2000, right-handed, km and km/s");
    cmd->add_option("BODY", r.body, "Body (or base) name, e.g. Moon")
        ->required()
        ->check(Name(kCommand, "BODY"));
    cmd->add_option("--date", r.mjd,
                    "Date: an MJD (TT) or UTC calendar text YYYY-MM-DD[THH:MM[:SS]] "
                    "(default: now)")
        ->transform(Date(kCommand))
        ->type_name("DATE");
    cmd->add_option("--ref", r.ref, "Reference body (default: the body's parent, a base's body)")
        ->check(Name(kCommand, "--ref"));
    cmd->add_flag("--json", args->json, "Print the state as one JSON object");
    cmd->callback(
        [&opts, args] { opts.run = [args](plan::SolarModel&) { return RunEphem(*args); }; });
}

}  // namespace zaq::app
