// The planning layer: every plan's refusals of bad requests, and the owner of the solar-system
// model (its scratch directory, the working directory, the quick-load list and the library's log).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "zaq/foundation.h"
#include "zaq/hostsim.h"
#include "zaq/plan.h"
#include "zaq/sol.h"

namespace fs = std::filesystem;
using namespace zaq::plan;

namespace {

std::string Slurp(const fs::path& path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// Requests that a plan honours; each case of the table spoils one member.
TransferRequest Mars() {
    TransferRequest r;
    r.from = "Earth", r.to = "Mars";
    r.depart = zaq::hostsim::MjdFromUTC(2026, 11, 14), r.arrive = r.depart + 268;
    return r;
}
TransferRequest Moon() {
    TransferRequest r = Mars();
    r.to = "Moon", r.arrive = r.depart + 3;
    r.engine = Engine{1e5, 450, 4e4};
    return r;
}
PorkchopRequest Grid() {
    PorkchopRequest r;
    r.from = "Earth", r.to = "Mars";
    r.departFirst = zaq::hostsim::MjdFromUTC(2026, 10, 1), r.departLast = r.departFirst + 60;
    r.tofShortest = 150 * 86400.0, r.tofLongest = 330 * 86400.0, r.grid = 3;
    return r;
}
FlyRequest Station() {
    FlyRequest r;
    r.body = "Earth", r.periapsisAltitude = 400e3, r.inclination = 0.9;
    r.start = zaq::hostsim::MjdFromUTC(2026, 1, 1), r.duration = 3600;
    return r;
}

template <class Request, class Plan>
std::function<std::string()> Refusal(Request request, const std::function<void(Request&)>& spoil,
                                     Plan plan) {
    return [=] {
        Request r = request;
        spoil(r);
        const auto result = plan(r);
        return result.ok() ? std::string("(planned)") : result.error();
    };
}

}  // namespace

// Every plan refuses what it cannot plan with one line that names the fault; a caller gets the
// same refusals whichever way it asks (the tool's own words come before, from its options).
TEST(Plan, RefusesBadRequestsWithOneLine) {
    auto transfer = [](const TransferRequest& r) { return PlanTransfer(r); };
    auto grid = [](const PorkchopRequest& r) { return Porkchop(r); };
    auto fly = [](const FlyRequest& r) { return Fly(r); };
    using T = TransferRequest;
    using P = PorkchopRequest;
    using F = FlyRequest;
    const std::pair<std::function<std::string()>, const char*> cases[] = {
        {Refusal<T>(
             Mars(), [](T& r) { r.depart = NAN; }, transfer),
         "the departure (MJD nan)"},
        {Refusal<T>(
             Mars(), [](T& r) { r.arrive = 5e5; }, transfer),
         "the arrival (MJD 500000"},
        {Refusal<T>(
             Mars(), [](T& r) { r.arrive = r.depart; }, transfer),
         "must come after"},
        {Refusal<T>(
             Mars(), [](T& r) { r.solver = otk::LambertSolver(7); }, transfer),
         "unknown Lambert solver"},
        {Refusal<T>(
             Mars(), [](T& r) { r.solver = otk::LambertSolver::G, r.longWay = true; }, transfer),
         "G joins the short way only"},
        {Refusal<T>(
             Mars(), [](T& r) { r.parkAltitude = NAN; }, transfer),
         "above 0 km"},
        {Refusal<T>(
             Mars(), [](T& r) { r.parkAltitude = 2e12; }, transfer),
         "and 1e+09 km"},
        {Refusal<T>(
             Mars(), [](T& r) { r.parkAltitude = 2e9; }, transfer),
         "inside Earth's sphere of influence"},
        {Refusal<T>(
             Moon(), [](T& r) { r.periseleneAltitude = -1; }, transfer),
         "periselene altitude must be above 0 km"},
        {Refusal<T>(
             Moon(), [](T& r) { r.periseleneAltitude = 6e7; }, transfer),
         "and 50000 km"},
        {Refusal<T>(
             Moon(), [](T& r) { r.engine->thrust = INFINITY; }, transfer),
         "the thrust"},
        {Refusal<T>(
             Moon(), [](T& r) { r.engine->isp = 0; }, transfer),
         "specific impulse"},
        {Refusal<T>(
             Moon(), [](T& r) { r.engine->mass = 1e-300; }, transfer),
         "the mass"},
        {Refusal<T>(
             Moon(), [](T& r) { r.ignitionLead = 1.5; }, transfer),
         "ignition lead"},
        {Refusal<T>(
             Moon(), [](T& r) { r.engine->thrust = 2000; }, transfer),
         "needs more thrust"},
        {Refusal<T>(
             Moon(), [](T& r) { r.maxSteps = 0; }, transfer),
         "bound on the plan's steps"},
        {Refusal<T>(
             Moon(), [](T& r) { r.maxSteps = 2000; }, transfer),
         "more than 2000 integration steps"},
        {Refusal<T>(
             Moon(),
             [](T& r) {
                 r.engine = Engine{1, 440, 1e10};
             },
             transfer),
         "would burn for"},
        {Refusal<T>(
             Mars(), [](T& r) { r.to = "Vulcan"; }, transfer),
         "unknown body 'Vulcan'"},
        {Refusal<T>(
             Mars(), [](T& r) { r.from = "Cape Canaveral"; }, transfer),
         "unknown body"},
        {Refusal<T>(
             Mars(), [](T& r) { r.to = "Earth"; }, transfer),
         "the same body (Earth)"},
        {Refusal<T>(
             Mars(), [](T& r) { r.from = "Sun"; }, transfer),
         "Sun is the root body"},
        {Refusal<T>(
             Mars(), [](T& r) { r.to = "Phobos"; }, transfer),
         "not move about a common"},
        {Refusal<P>(
             Grid(), [](P& r) { r.departLast = r.departFirst - 1; }, grid),
         "run forward"},
        {Refusal<P>(
             Grid(), [](P& r) { r.tofShortest = 0; }, grid),
         "must be positive"},
        {Refusal<P>(
             Grid(), [](P& r) { r.tofLongest = NAN; }, grid),
         "must be positive"},
        {Refusal<P>(
             Grid(), [](P& r) { r.tofLongest = 2e6 * 86400; }, grid),
         "and 1e+06 days"},
        {Refusal<P>(
             Grid(), [](P& r) { r.departFirst = r.departLast = 417000; }, grid),
         "arrivals run past"},
        {Refusal<P>(
             Grid(), [](P& r) { r.grid = 1001; }, grid),
         "between 2 and 1000 cells"},
        {Refusal<P>(
             Grid(), [](P& r) { r.ways = Ways(9); }, grid),
         "unknown transfer type"},
        {Refusal<P>(
             Grid(), [](P& r) { r.solver = otk::LambertSolver::G, r.ways = Ways::Both; }, grid),
         "G joins the short way only"},
        {Refusal<P>(
             Grid(), [](P& r) { r.to = "Moon"; }, grid),
         "Moon moves about Earth"},
        {Refusal<F>(
             Station(), [](F& r) { r.periapsisAltitude = 0.5; }, fly),
         "periapsis altitude"},
        {Refusal<F>(
             Station(), [](F& r) { r.eccentricity = NAN; }, fly),
         "eccentricity"},
        {Refusal<F>(
             Station(), [](F& r) { r.inclination = 4; }, fly),
         "and 180 deg"},
        {Refusal<F>(
             Station(), [](F& r) { r.duration = 10; }, fly),
         "between 0.001 and 3650"},
        {Refusal<F>(
             Station(), [](F& r) { r.start = 417151.5, r.duration = 86400; }, fly),
         "runs past"},
        {Refusal<F>(
             Station(), [](F& r) { r.body = "Mars"; }, fly),
         "not 'Mars'"},
        {Refusal<F>(
             Station(), [](F& r) { r.body = "Vul\033can"; }, fly),
         "'Vul\\x1Bcan'"},
        {Refusal<F>(
             Station(), [](F& r) { r.eccentricity = 0.99; }, fly),
         "beyond Earth's sphere of influence"},
        {[] {
             return Ephemeris({"Moon", "Nowhere", 61000}).error();
         },
         "reference 'Nowhere'"},
        {[] {
             return Ephemeris({"Sun", "", 61000}).error();
         },
         "its reference are the same"},
        {[] {
             return Ephemeris({"Moon", "", 1e300}).error();
         },
         "(MJD 1e+300) is outside the built-in"},
    };
    for (const auto& [run, reason] : cases) {
        const std::string error = run();
        EXPECT_NE(error.find(reason), std::string::npos) << "wanted '" << reason << "': " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

// A flight's progress climbs to its total and never past it. The flight is one the request fuzzer
// found (values as it draws them): its last step's end, told in seconds from dates, lay a rounding
// past the duration.
TEST(Plan, AFlightsProgressEndsAtItsTotal) {
    const auto drawn = [](double lo, double hi, int u) { return lo + (hi - lo) * (u / 65535.0); };
    FlyRequest r;
    r.body = "Moon", r.periapsisAltitude = drawn(-1e5, 1e8, 131);
    r.eccentricity = drawn(-0.1, 1.1, 32767), r.inclination = drawn(-4, 4, 45055);
    r.start = zaq::hostsim::MjdFromUTC(2026, 9, 17) + drawn(-400, 800, 263);
    r.duration = drawn(-86400, 172800, 22273), r.integrator = Integrator::RKF56;
    double last = -1;
    const auto flown = Fly(r, [&](const Progress& p) {
        EXPECT_GE(p.done, last);
        EXPECT_LE(p.done, p.total);
        last = p.done;
    });
    ASSERT_TRUE(flown.ok()) << flown.error();
    EXPECT_NEAR(last, r.duration, 1e-5);
}

// The owner of the model: the directory it makes holds a copy of Config/ with the quick-load list,
// the model it sets up there is the one the system file gives (Setup logs no error), the working
// directory is the caller's afterwards, and the directory goes with the owner.
TEST(Plan, SolarModelSetsUpInItsOwnDirectory) {
    const fs::path home = fs::current_path();
    std::string dir;
    std::string written;  // the list a model set up from the system file writes
    {
        ASSERT_TRUE(zaq::hostsim::LoadSolarSystem(61000));
        auto model = SolarModel::Open(ZAQ_SOURCE_DIR "/data").value();
        dir = model->Directory();
        fs::remove(fs::path(dir) / "Config/CSConf.cfg");
        auto fresh = model->SetUp();  // copies Config/ and the shipped list
        ASSERT_TRUE(fresh.ok()) << fresh.error();
        EXPECT_EQ(fs::current_path(), home);
        fs::remove(fs::path(dir) / "Config/CSConf.cfg");
        CSol fromSystemFile;
        ASSERT_EQ(chdir(dir.c_str()), 0);
        ASSERT_EQ(fromSystemFile.Setup("Config/Sol.cfg", 1.0, nullptr), 0);
        ASSERT_EQ(chdir(home.c_str()), 0);
        std::istringstream list(Slurp(fs::path(dir) / "Config/CSConf.cfg"));
        for (std::string ref, body, line; std::getline(list, line);) {
            std::istringstream(line) >> ref >> body;
            written += ref + " " + body + "\n";
        }
    }
    EXPECT_FALSE(fs::exists(dir));
    // The shipped list names the bodies and references of that model in its order (the model
    // measures the deviations itself).
    EXPECT_EQ(Slurp(ZAQ_SOURCE_DIR "/data/CSConf.cfg"), written);

    auto bare = SolarModel::Open("/nonexistent").value();
    EXPECT_FALSE(bare->SetUp().ok());
    EXPECT_EQ(fs::current_path(), home);
}

// The library's log follows the owner: what it held is carried over, the file it left is
// removed, and a log kept in the directory outlives the owner alone there. (The test's log starts
// in a file of its own: the test programs share their working directory.)
TEST(Plan, SolarModelTakesAndKeepsTheLog) {
    FILE* const shared = ErrorLog;
    const std::string before =
        (fs::temp_directory_path() / ("zaq_plan_log_" + std::to_string(getpid()))).string();
    ErrorLog = std::fopen(before.c_str(), "w+");
    ASSERT_EQ(LogPath(), before);
    otk::LogMsg(ErrorLog, "written before the move");
    std::string dir, log;
    {
        auto model = SolarModel::Open().value();
        ASSERT_TRUE(model->TakeLog().ok());
        dir = model->Directory(), log = LogPath();
        EXPECT_EQ(log, dir + "/ZAQ-SDK_Err.html");
        EXPECT_FALSE(fs::exists(before));
        model->KeepLog();
    }
    EXPECT_NE(Slurp(log).find("written before the move"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    {
        auto model = SolarModel::Open().value();
        EXPECT_FALSE(model->TakeLog("/nonexistent/dir/log.html").ok());
        ASSERT_TRUE(model->TakeLog(before).ok());
    }
    EXPECT_EQ(LogPath(), before);
    EXPECT_FALSE(fs::exists(log));
    std::fclose(ErrorLog);
    ErrorLog = shared;
    fs::remove(before);
    fs::remove_all(dir);
}
