// The planning layer (library zaq_plan): requests in, plans out, on the standalone host's
// built-in solar system. Requests and results are plain structs in SI units (m, m/s, kg, N, s,
// rad) with dates as MJD (TT); vectors are right-handed, in the ecliptic and equinox of J2000,
// about the body a result names. Every function returns its result or a one-line reason in a
// Result; nothing here prints, exits, writes files or reads text. Requests are checked here, so
// every caller (the zaq tool, the Python package, a C++ program) gets the same refusals.
#pragma once

#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "zaq/host.h"
#include "zaq/lambert.h"

class CSol;

namespace zaq::plan {

// ---- results -----------------------------------------------------------------------------------

/// Why a request was refused or a plan failed: one line, no trailing full stop.
struct Error {
    std::string reason;
};

/// A plan's answer: its value, or the reason there is none. value() of a failed result throws
/// std::bad_optional_access; ask ok() first.
template <class T>
class Result {
public:
    // Both implicit: a plan returns its value or an Error.
    Result(T value) : value_(std::move(value)) {}
    Result(Error error) : error_(std::move(error.reason)) {}
    bool ok() const { return value_.has_value(); }
    const T& value() const& { return value_.value(); }
    T& value() & { return value_.value(); }
    T value() && { return std::move(value_).value(); }
    /// The reason; empty when ok().
    const std::string& error() const { return error_; }

private:
    std::optional<T> value_;
    std::string error_;
};

/// A result that carries no value.
template <>
class Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error.reason)), ok_(false) {}
    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }

private:
    std::string error_;
    bool ok_ = true;
};

/// What a long plan has done so far, told to its progress callback: `done` of `total`, in the
/// units each plan names, and for some plans a value of the moment or the record so far.
struct FlightRecord;
struct Progress {
    double done = 0, total = 0;
    double value = NAN;
    const FlightRecord* flight = nullptr;
};
using ProgressFn = std::function<void(const Progress&)>;

// ---- the model and its directory ---------------------------------------------------------------

/// The directory that holds Config/: $ZAQ_ROOT when set, else the installed data (share/zaq
/// beside the installed library), else the source tree's data/.
std::string DataRoot();

/// Where the library's error log ("ZAQ-SDK_Err.html") is being written now, as an absolute
/// path; empty when the library keeps no log.
std::string LogPath();

/// The library's solar-system model (CSol) and the scratch directory it is set up in: a fresh
/// directory under $TMPDIR that receives a copy of the data root's Config/ (with the model's
/// quick-load list: the root's own, else the one shipped beside Config/) and, when asked, the
/// library's error log. Every change of the working directory is undone before a call returns,
/// and the directory goes with the object (all but a log that is to be kept).
class SolarModel {
public:
    /// A model over root (empty: DataRoot()); the directory is made now, the model set up by
    /// SetUp. Fails when no scratch directory can be made.
    static Result<std::unique_ptr<SolarModel>> Open(const std::string& root = "");
    ~SolarModel();
    SolarModel(const SolarModel&) = delete;
    SolarModel& operator=(const SolarModel&) = delete;

    /// Sets the model up on the host's bodies as they are now (after hostsim::LoadSolarSystem):
    /// CSol::Setup with the reflex-speed threshold displacementSpeed (m/s), run inside the
    /// directory. A model set up before is replaced.
    Result<CSol*> SetUp(double displacementSpeed = 1.0);
    /// The model of the last successful SetUp; null before.
    CSol* Sol() const { return sol_.get(); }
    /// The data root and the scratch directory (absolute paths).
    const std::string& Root() const { return root_; }
    const std::string& Directory() const { return dir_; }

    /// Moves the library's error log, what it holds so far and what follows, to path (empty:
    /// "ZAQ-SDK_Err.html" in the directory); the file it was written to before is removed.
    Result<void> TakeLog(const std::string& path = "");
    /// Keeps a log that lies in the directory when the model goes: the directory then stays,
    /// holding the log alone.
    void KeepLog() { keepLog_ = true; }

private:
    SolarModel() = default;
    std::string root_, dir_;
    std::unique_ptr<CSol> sol_;
    bool copied_ = false, keepLog_ = false;
};

// ---- dates and names in messages
// -------------------------------------------------------------------

/// True when mjd (TT) lies within the built-in ephemerides: from 1000-01-01 to the end of 3000
/// (UTC).
bool InEphemerides(double mjd);
/// A date as the library writes it, "20-Nov-2026 00:00:00 UTC", of an MJD (TT).
std::string DateText(double mjd);
/// x to `digits` significant digits with a magnitude prefix, or -k: k decimals (as the library's
/// ValueToText writes it).
std::string ValueText(double x, int digits);
/// text with each control character written as \xHH, for quoting a name in a message.
std::string Shown(const std::string& text);

// ---- limits of the requests (in the units of the request members) -------------------------------

constexpr double kMaxParkAltitude = 1e12;           ///< m
constexpr double kMaxPeriseleneAltitude = 5e7;      ///< m (the Moon's sphere: some 6.6e7)
constexpr double kThrustRange[2] = {1e-3, 1e9};     ///< N
constexpr double kIspRange[2] = {1, 1e6};           ///< s
constexpr double kMassRange[2] = {1, 1e10};         ///< kg
constexpr double kMaxTimeOfFlight = 1e6 * 86400;    ///< s
constexpr int kGridRange[2] = {2, 1000};            ///< cells along an axis
constexpr double kFlyAltitudeRange[2] = {1, 1e12};  ///< m
constexpr double kMaxEccentricity = 0.99;           ///< of a flown orbit
constexpr double kFlyDurationRange[2] = {86.4, 3650 * 86400.0};  ///< s

// ---- transfers -------------------------------------------------------------------------------

/// A stage that flies a finite burn.
struct Engine {
    double thrust = 0;  ///< N
    double isp = 0;     ///< specific impulse, s (exhaust velocity isp * 9.80665 m/s^2)
    double mass = 0;    ///< at ignition, kg
};

/// The vessels' integrator of a flight: Runge-Kutta-Fehlberg 5(6) or 7(8) (CF_RKF56, CF_RKF78).
enum class Integrator { RKF56, RKF78 };

/// How a finite burn points: held fixed in the reference frame, or held in the local orbital
/// frame (along the velocity as the burn turns it).
enum class Steering { Auto, Fixed, Local };

/// A transfer from FROM to TO: both about a common body (a Lambert arc and the ejection from a
/// circular parking orbit in FROM's equatorial plane), or TO about FROM (the least-dv ignition
/// from a circular parking orbit whose plane holds TO's arrival position; with an engine, the
/// finite burn flown with the full model to the periselene asked for).
struct TransferRequest {
    std::string from, to;
    double depart = NAN;  ///< MJD; for TO about FROM the earliest ignition is five minutes later
    double arrive = NAN;  ///< MJD
    double parkAltitude = 300e3;                         ///< m above FROM's mean radius
    otk::LambertSolver solver = otk::LambertSolver::UN;  ///< for two bodies about a common one
    bool longWay = false;                                ///< transfer angle above 180 deg
    std::optional<Engine> engine;
    double periseleneAltitude = 100e3;  ///< m above TO's mean radius (TO about FROM, engine)
    /// The finite burn starts ahead of the impulsive ignition by this part of its burn time; NaN
    /// (the default): the lead that spends the least dv, searched.
    double ignitionLead = NAN;
    /// How the finite burn points: Auto takes whichever of the two spends less.
    Steering steering = Steering::Auto;
    /// The integrator of the finite burn's flights: its guidance's and the flown pass's.
    Integrator integrator = Integrator::RKF78;
    bool keepTrack = false;  ///< keep the flown path of the finite burn (for a plot)
    /// The bound on the work of the finite burn's plan: integration steps of all its flights.
    long maxSteps = 1000000;
};

/// A Lambert arc from FROM at depart to TO at arrive, about the reference.
struct Arc {
    double depart = 0, arrive = 0;       ///< MJD
    VECTOR3 r1{}, v1{};                  ///< FROM at depart (for TO about FROM: the ignition point)
    VECTOR3 r2{}, v2{};                  ///< TO at arrive
    VECTOR3 vDepart{}, vArrive{};        ///< on the arc at both ends
    VECTOR3 vinfDepart{}, vinfArrive{};  ///< arc minus body (for TO about FROM: the burn)
    double c3 = 0;                       ///< m^2/s^2
    int status = 0;                      ///< the Lambert solver's result
    bool refined = false;                ///< a universal-variable arc sharpened by p-iteration
};

/// The burn from the circular parking orbit in FROM's equatorial plane onto the departure
/// asymptote.
struct Ejection {
    double trueAnomaly = 0;      ///< rad, of the burn point on the parking orbit
    VECTOR3 position{}, dv{};    ///< burn point about FROM, m; the burn, m/s
    VECTOR3 inclinedDv{};        ///< the burn from the least-inclined orbit holding the asymptote
    double vinfDeclination = 0;  ///< of the asymptote above FROM's equator, rad
    double burnTime = NAN;       ///< s, with an engine
};

/// A point of a flown path: the vessel and TO about FROM (m).
struct TrackPoint {
    double mjd = 0;
    VECTOR3 vessel{}, moon{};
};

/// The finite burn to a body that moves about FROM, and how its flight passes that body.
struct LunarBurn {
    double ignition = 0, cutoff = 0;  ///< MJD
    VECTOR3 r{}, v{};                 ///< parking-orbit state at ignition about FROM
    /// Burn vector, its length the burn's dv (m/s): in the reference frame when fixed, in the
    /// local orbital frame at ignition (velocity, v x (r x v), r x v) when local.
    VECTOR3 thrust{};
    Steering steering = Steering::Fixed;        ///< Fixed or Local
    Integrator integrator = Integrator::RKF78;  ///< of its flights
    double lead = 0;         ///< s the burn starts ahead of the impulsive ignition
    double burnTime = 0;     ///< s
    double propellant = 0;   ///< kg burnt
    double impulsiveDv = 0;  ///< the least-dv impulsive burn to the same aim point, m/s
    double thrustN = 0, flow = 0, mass = 0;  ///< the engine: N, kg/s, kg
    double soiEntry = 0;                     ///< MJD of the passage into TO's sphere of influence
    double periseleneAltitude = 0;           ///< m above TO's mean radius
    double periselene = 0;                   ///< MJD
    int flights = 0;                         ///< flights of the aim-point correction
    std::vector<TrackPoint> track;           ///< to a day past the periselene, when asked for
    double soiAtPeriselene = 0;              ///< TO's sphere of influence then (m), with the track
};

struct TransferPlan {
    std::string from, to, reference;  ///< names; the reference is the body the arc is about
    double mu = 0;                    ///< GM of the reference, m^3/s^2
    bool lunar = false;               ///< TO moves about FROM: an ignition, no ejection
    otk::LambertSolver solver = otk::LambertSolver::UN;
    bool longWay = false;
    bool engine = false;  ///< the request had an engine
    double depart = 0;    ///< MJD, the request's departure
    Arc arc;
    double parkRadius = 0;                ///< m
    double fromRadius = 0, toRadius = 0;  ///< mean radii, m
    Ejection ejection;                    ///< two bodies about a common one
    bool retrograde = false;        ///< the arc runs against FROM's motion about the reference
    double ignition = 0;            ///< MJD of the least-dv impulsive burn (TO about FROM)
    std::optional<LunarBurn> burn;  ///< TO about FROM with an engine
};

/// The long-plan callback of a lunar plan with an engine is told once per flight of the
/// aim-point correction: done flights of at most total, value the periselene altitude (m).
Result<TransferPlan> PlanTransfer(const TransferRequest& request, const ProgressFn& progress = {},
                                  SolarModel* model = nullptr);

/// What a dispersed engine does to a planned finite burn.
struct BurnErrors {
    double thrustScale = 1;  ///< the thrust is this many times the planned
    double ispScale = 1;     ///< the specific impulse likewise
    /// Pointing errors, rad: towards the orbit's normal, then across (normal x thrust).
    double pointing[2] = {0, 0};
    double ignitionShift = 0;  ///< s, the burn starts this much later on the parking orbit
};

/// How a flight passes the body it was aimed at. A pass below the surface has hitSurface set and
/// no periselene (NaN).
struct FlownPass {
    double soiEntry = NAN;            ///< MJD of the entry into the body's sphere; NaN: none
    double periselene = NAN;          ///< MJD
    double periseleneAltitude = NAN;  ///< m above the mean radius
    bool hitSurface = false;
};

/// Flies the finite burn of a lunar plan again through the full model with the errors given: the
/// dispersed engine burns for the planned burn time (cut-off by the clock), so that without errors
/// the flight is the plan's own. Refuses a plan without a finite burn and errors that leave no
/// burn (scales not above 0, a burn that would spend the whole mass).
Result<FlownPass> Refly(const TransferPlan& plan, const BurnErrors& errors,
                        SolarModel* model = nullptr);

// ---- porkchop grids
// ------------------------------------------------------------------------------

/// Which transfer types a grid holds: the short way (type I), the long way (type II) or both;
/// Auto is both, or the short way alone for Gauss's solver (which joins only that).
enum class Ways { Auto, Short, Long, Both };

/// A departure-date x time-of-flight grid of Lambert transfers between two bodies about a common
/// body, grid x grid cells from the first to the last of each range.
struct PorkchopRequest {
    std::string from, to;
    double departFirst = NAN, departLast = NAN;  ///< MJD
    double tofShortest = NAN, tofLongest = NAN;  ///< s
    int grid = 41;
    otk::LambertSolver solver = otk::LambertSolver::UN;
    Ways ways = Ways::Auto;
};

/// One transfer type of a cell.
struct PorkchopLeg {
    double c3 = 0, vinfDepart = 0, vinfArrive = 0;  ///< m^2/s^2, m/s
    int status = 0;                                 ///< the solver's result
    bool ok = false;                                ///< the solver converged
};

struct PorkchopCell {
    double depart = 0, arrive = 0;     ///< MJD
    double tof = 0;                    ///< s
    std::array<PorkchopLeg, 2> leg{};  ///< 0 the short way, 1 the long way
    int way = -1;                      ///< the computed leg with the lower C3; -1 none
    int shown = 0;                     ///< that one, else the first computed
};

struct PorkchopGrid {
    std::string from, to, reference;
    int grid = 0;
    otk::LambertSolver solver = otk::LambertSolver::UN;
    std::array<bool, 2> ways{};       ///< the legs computed
    std::vector<PorkchopCell> cells;  ///< departure-major: cell (i, j) at i * grid + j
    int converged = 0;                ///< cells with at least one leg
    std::array<int, 2> best{-1, -1};  ///< each type's least-C3 cell; -1 none
};

/// The progress callback is told once per departure column: done columns of total.
Result<PorkchopGrid> Porkchop(const PorkchopRequest& request, const ProgressFn& progress = {});

// ---- flights ------------------------------------------------------------------------------------

/// A vessel flown through the full model (every body of the scenario pulling, zonal terms
/// included) from a parking orbit about body: periapsis at the ascending node on the body's
/// equator.
struct FlyRequest {
    std::string body;
    double periapsisAltitude = NAN;  ///< m above the mean radius
    double eccentricity = 0;
    double inclination = NAN;  ///< to the body's equator, rad
    double start = NAN;        ///< MJD
    double duration = NAN;     ///< s
    /// s between samples: one at the first step's end in each such interval; 0 every step's end
    /// (without a sample sink at most 200,000 samples, spread over the flight).
    double sampleInterval = 0;
    Integrator integrator = Integrator::RKF78;
    /// Keep the events in the record; false: the record holds only the events met since the
    /// progress callback was last told (a long flight then needs no memory for them).
    bool keepEvents = true;
};

/// A condition met during the flight.
struct FlyEvent {
    std::string
        type;  ///< "periapsis", "apoapsis", "ascending node", "descending node", "reference"
    double mjd = 0;
    double altitude = NAN;       ///< m above the mean radius
    double nodeLongitude = NAN;  ///< rad along the equator (for Earth the right ascension)
    std::string from, to;        ///< of a reference change
};

/// The state at the end of a step (or at the start).
struct FlightSample {
    double mjd = 0;
    VECTOR3 r{}, v{};     ///< about the reference, m, m/s
    double altitude = 0;  ///< m above the reference's mean radius
    int reference = 0;    ///< index into FlightRecord::bodies
};

struct FlightRecord {
    std::string body;
    std::vector<std::string> bodies;  ///< of the scenario, e.g. Sun, Earth, Moon
    double start = 0, duration = 0;   ///< MJD, s
    double apoapsisAltitude = 0;      ///< m
    double period = 0;                ///< s
    double radius = 0;                ///< the body's mean radius, m
    VECTOR3 r0{}, v0{};               ///< the start about the body
    int steps = 0;
    std::vector<FlyEvent> events;
    std::vector<FlightSample> samples;  ///< every step's end, fewer on long flights
    double nodeDrift = NAN;             ///< rad/s of the ascending node, first to last
};

/// Receives the samples of a flight as they are taken.
using SampleFn = std::function<void(const FlightSample&)>;

/// The progress callback is told once before the first step and after every step: done of total
/// seconds, `flight` the record so far (the orbit, the scenario's bodies, the events met). With a
/// sink the samples go to it as they are taken and the record keeps none (a long flight then
/// needs no memory for its path).
Result<FlightRecord> Fly(const FlyRequest& request, const ProgressFn& progress = {},
                         SolarModel* model = nullptr, const SampleFn& sink = {});

// ---- ephemerides
// ---------------------------------------------------------------------------------

/// The state of a body (or base) about a reference: an empty ref is the body's parent, a base's
/// body.
struct EphemerisRequest {
    std::string body, ref;
    double mjd = NAN;
};

struct State {
    std::string body, ref;
    double mjd = 0;
    VECTOR3 position{}, velocity{};  ///< m, m/s
};

Result<State> Ephemeris(const EphemerisRequest& request);

}  // namespace zaq::plan
