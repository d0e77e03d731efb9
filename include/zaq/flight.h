// Flight propagation: a scenario of celestial objects taken from a CSol, the vessels propagated
// through their gravity with an eight-stage Runge-Kutta-Fehlberg 5(6) integrator, and the clock
// that advances them. Vectors are right-handed, m and m/s; absolute times are MJD, spans seconds.
#pragma once

#include <memory>

#include "zaq/host.h"
#include "zaq/orbit.h"
#include "zaq/sol.h"

class CFlight;
class cfVessel;
class cfEvent;
class cfManeuver;

/// Index of a celestial object inside one CFlight; 0 is the root body, -1 none.
typedef short CFID;

// The vessels' integrators (CFlight::SetIntegrator).
constexpr int CF_RKF56 = 56;  ///< Runge-Kutta-Fehlberg 5(6), 8 stages, the fifth order taken
constexpr int CF_RKF78 = 78;  ///< Runge-Kutta-Fehlberg 7(8), 13 stages, the eighth order taken

// Scenario option bits (CFlight::SetOption).
constexpr int CF_POINTMASS = 0x01;     ///< every body is a point mass: no zonal terms
constexpr int CF_NOTRUNCATION = 0x02;  ///< every step is refused after its stages

// Thrust mode bits (cfVessel::SetThrustMode).
constexpr int THRUST_GLOBAL = 0x01;     ///< the thrust vector is given in the reference frame
constexpr int THRUST_LOCAL = 0x02;      ///< ... in the local orbital frame (v, v x (r x v), r x v)
constexpr int THRUST_ACCLOCAL = 0x10;   ///< accumulate the local-frame velocity change
constexpr int THRUST_ACCGLOBAL = 0x20;  ///< accumulate the reference-frame velocity change

// Object flags of CelObject::InitFlags besides the CSol flags 0x01 and 0x02.
constexpr int CFO_ROOT = 0x20;

/// The record of one celestial object of a scenario, filled from its CSol body.
struct CelObject {
    double BaryDispl;  ///< barycentre displacement, m
    double mass;       ///< kg
    double InnCutOff;  ///< inner cutoff, m
    double OutCutOff;  ///< outer cutoff, m
    double IBoundry;   ///< interpolation (Earth) or barycentre effect distance, m
    double OBoundry;   ///< interpolation (Earth) or barycentre tidal limit, m
    double dTLinear;   ///< span over which a straight line holds, s
    double SgLinear;   ///< sagitta, m
    double radius;     ///< m
    double boundry;    ///< sphere-of-influence radius, m (SetSOIOverride replaces it)
    double deviation;  ///< largest interpolation deviation, m
    int firstMinor;    ///< index into the minor list of this object's first child
    int nMinors;       ///< number of children
    int InitFlags;     ///< CS_EPHEMERIS, CS_ELLIPTIC from CSol; CFO_ROOT for the root
    int CSIdObj;       ///< CSol index of the object
    int CSIdRef;       ///< CSol index of its reference body; -1 for the root
    void* handle;      ///< host object
    sGravity gravity;  ///< copy of the CSol gravity record
    char name[24];
};

// Event type bits (cfEvent::GetEventType) and the trigger codes reported while a callback runs
// (cfEvent::GetTriggered). The ignition, shutdown and reference codes are known to the built-in
// event logger for derived events; the base class never reports them.
constexpr int EVENT_PERIAPSIS = 0x01;
constexpr int EVENT_APOAPSIS = 0x02;
constexpr int EVENT_NODE_ASN = 0x04;      ///< crossing the plane upwards along its normal
constexpr int EVENT_NODE_DSN = 0x08;      ///< crossing the plane downwards
constexpr int EVENT_DISTANCE_ASN = 0x10;  ///< the distance rising through the value
constexpr int EVENT_DISTANCE_DSN = 0x20;  ///< the distance falling through the value
constexpr int EVENT_ANGLE = 0x40;         ///< the angle from the direction passing the value
constexpr int EVENT_IGNITION = 0x100;
constexpr int EVENT_SHUTDOWN = 0x200;
constexpr int EVENT_REF_EXIT = 0x1000;
constexpr int EVENT_REF_ENTER = 0x2000;
constexpr int EVENT_SAMEREF = 0x10000;  ///< silent while the vessel's reference is another body
constexpr int EVENT_INRANGE = 0x20000;  ///< silent in steps that start beyond the value

// Manoeuvre callback codes, in the order they occur.
constexpr int MNR_IGNITION = 0x100;  ///< at ignition, before the engine is loaded
constexpr int MNR_SHUTDOWN = 0x200;  ///< after shutdown
constexpr int MNR_STARTED = 0x400;   ///< after ignition, once the cut-off date is known
constexpr int MNR_MISSED = 0x800;    ///< before a shutdown that comes after the cut-off date

/// A geometric condition watched on one vessel during forward steps. When it is met inside a
/// step the callback runs; inside it GetStateVectors gives the state at the condition on the
/// conic osculating at the step start. Callers may derive from it.
class cfEvent {
public:
    typedef int (*Callback)(void*, cfEvent*);

    cfEvent();
    cfEvent(int type, short ref, Callback cb, void* data);
    /// Copies every member; the copy is attached to the same vessel but not held by it.
    cfEvent(const cfEvent& other);
    cfEvent& operator=(const cfEvent& other);

    /// Stores the state at the step start (relative to the event's reference body).
    virtual void PreStep(const VECTOR3& pos, const VECTOR3& vel, double mjd);
    /// Tests the conditions of the step that ends with this state and reports those met.
    virtual void PostStep(const VECTOR3& pos, const VECTOR3& vel, double mjd);
    /// The state at the condition being reported; each output may be null.
    virtual void GetStateVectors(VECTOR3* pos, VECTOR3* vel, double* mjd) const;
    // Derived events are owned and deleted through this class.
    virtual ~cfEvent() = default;

    void SetPlane(VECTOR3 plane) { vPlane = plane; }
    VECTOR3 GetPlane() const { return vPlane; }
    void SetAngle(VECTOR3 plane, double angle);
    void SetDistance(double d) { fValue = d; }
    double GetDistance() const { return fValue; }
    int GetEventType() const { return nType; }
    int GetTriggered() const { return nTriggered; }
    short GetReference() const { return idRefEvent; }
    cfVessel* GetVessel() const { return pVessel; }
    CFlight* GetFlight() const { return pFlight; }
    Callback GetCallback() const { return pCallback; }
    void* GetClassPointer() const { return pClass; }
    void SetCallback(Callback cb, void* data);
    void GetPreStepState(VECTOR3* pos, VECTOR3* vel, double* mjd) const;
    void* GetOAPIHandle() const;

protected:
    cfVessel* pVessel;
    CFlight* pFlight;
    Callback pCallback;
    void* pClass;
    VECTOR3 vPrePos, vPreVel;
    VECTOR3 vPlane;
    double fPreMJD;
    double fPostMJD;
    double fValue;
    short idRefEvent;
    int nType;
    int nTriggered;
    bool bCrossRef;

    /// Reports code through the callback; false once the event has been deleted meanwhile.
    bool Report(int code);

private:
    friend class cfVessel;  // attaches events, feeds them and defers their release

    // While its own code runs a callback an event is held: deleting it then only detaches it
    // from its vessel, and the last release destroys it.
    void Hold() { nHold++; }
    void Release();
    int nHold = 0;
    bool bDetached = false;
    bool bArmed = false;  // fed the state of the current step's start
    bool bDue = false;    // still to be fed in the vessel's current round
};

/// A planned engine burn of a vessel: at its ignition date it loads the vessel's engine and
/// predicts the cut-off date by the rocket equation; at that date it switches the engine off and
/// the vessel moves on to its next manoeuvre.
class cfManeuver {
public:
    typedef int (*Callback)(void*, int, cfManeuver*);

    cfManeuver(cfVessel* vessel, CFlight* flight);
    cfManeuver(const cfManeuver&) = delete;
    cfManeuver& operator=(const cfManeuver&) = delete;

    /// Loads the vessel's engine and sets the cut-off date (called by CFlight::Step).
    void Ignition();
    /// Switches the vessel's engine off and moves it to its next manoeuvre.
    void Shutdown();

    /// The manoeuvre's own callback; without one the scenario's manoeuvre callback runs.
    void SetCallback(Callback cb, void* data);
    Callback GetCallback() const { return pCallback; }
    void* GetUserData() const { return pUser; }
    void SetThrust(int mode, VECTOR3 thrust, short ref);
    void SetEngine(double force, double fuelRate);
    void SetIgnitionMJD(double mjd) { fIgnMJD = mjd; }
    double GetIgnitionMJD() const { return fIgnMJD; }
    double GetCutoffMJD() const { return fCutMJD; }
    VECTOR3 GetThrustVector() const { return vThrust; }
    int GetThrustMode() const { return nMode; }
    short GetThrustReference() const { return idThrustRef; }
    double GetForce() const { return fForce; }
    double GetFuelRate() const { return fFuelRate; }
    bool IsBurning() const { return bBurning; }
    /// Vessel mass at ignition and the mass predicted at cut-off, kg.
    double GetIgnitionMass() const { return fMass0; }
    double GetCutoffMass() const { return fMass1; }
    cfVessel* GetVessel() const { return pVessel; }
    CFlight* GetFlight() const { return pFlight; }

private:
    friend class cfVessel;  // owns manoeuvres and defers their release

    bool Attached(const char* func) const;
    /// Calls the callback; false once the manoeuvre has been deleted meanwhile.
    bool Report(int code);
    void Release();

    cfVessel* pVessel;
    CFlight* pFlight;
    Callback pCallback = nullptr;
    void* pUser = nullptr;
    short idThrustRef = -1;
    VECTOR3 vThrust{0, 0, 0};
    double fIgnMJD = 0;
    double fFuelRate = 0;
    double fForce = 0;
    int nMode = 0;
    bool bBurning = false;
    double fMass0 = 0;
    double fMass1 = 0;
    double fCutMJD = 0;
    int nHold = 0;
    bool bDetached = false;
};

/// A point mass propagated inside a CFlight: its state relative to a reference body, its mass
/// and engine, its gravity sources and the working storage of one integration step.
class cfVessel {
public:
    cfVessel(int nSlots, CFlight* flight);
    ~cfVessel();
    cfVessel(const cfVessel&) = delete;
    cfVessel& operator=(const cfVessel&) = delete;

    // ---- gravity sources ----
    /// Puts cfid (a valid CFID, or -1 to free the slot) into the slot.
    void AddSource(int slot, short cfid);
    /// The slot holding cfid, else the first free slot given to it; -1 when full.
    int AddSource(short cfid);
    void ClearSources();
    /// Counts the sources; sources in later slots move down to close gaps, keeping their order.
    void InitSources();
    short GetSource(int i) const;
    int GetSourceCount() const { return nSources; }
    /// True when a source other than the reference body attracts the vessel.
    bool HasForeignSource() const;

    // ---- state and engine ----
    void SetPosVel(short ref, const VECTOR3& pos, const VECTOR3& vel);
    void SetMass(double m) { fMass = m; }
    double GetMass() const { return fMass; }
    void SetForce(double f) { fForce = f; }
    double GetForce() const { return fForce; }
    void SetFuelRate(double r) { fFuelRate = r; }
    double GetFuelRate() const { return fFuelRate; }
    void SetThrustSpecs(double mass, double force, double fuelRate);
    void SetThrustVector(const VECTOR3& t);
    VECTOR3 GetThrustVector() const { return vThrust; }
    void SetThrustMode(int mode, short ref);
    int GetThrustMode() const { return nThrustMode; }
    short GetThrustReference() const { return idThrustRef; }
    VECTOR3 GetPosition() const { return vPos; }
    VECTOR3 GetVelocity() const { return vVel; }
    short GetReference() const { return idRef; }
    int GetState() const { return nState; }
    double GetTruncation() const { return fTruncation; }
    /// 0: reference-frame accumulation, 1: local-frame accumulation, else zero.
    VECTOR3 GetDVAccumulation(int which) const;
    /// Burn time of the thrust vector's velocity change by the rocket equation, s.
    double GetBurnTime() const;
    /// Position relative to object id from the scenario's current global positions.
    VECTOR3 GetIpPos(short id) const;
    VECTOR3 GetIpVel(short id) const;
    /// The state when id is the reference; other bodies are not supported.
    bool GetEphemPosVel(short id, VECTOR3* pos, VECTOR3* vel) const;

    // ---- events (up to 8, fed in table order) ----
    /// A new event of the type about body ref; a null cb takes the scenario's trajectory
    /// callback and its user pointer.
    cfEvent* AddEvent(int type, short ref, cfEvent::Callback cb, void* data);
    /// Adopts an event the caller created with new (a derived one, typically); the vessel owns
    /// and deletes it from then on. Null when the table is full: the caller keeps it.
    cfEvent* AddEvent(cfEvent* event);
    cfEvent* GetEvent(int i) const;
    int GetEventCount() const { return nEvent; }
    /// Removes and destroys the event; one whose callback is running is destroyed when that
    /// callback has returned, and reports nothing more.
    bool DeleteEvent(cfEvent* e);
    void DeleteAllEvents();
    /// Adds events like other's: type, reference, callback, user pointer, plane and value.
    void CopyEventsFrom(const cfVessel* other);

    // ---- manoeuvres (up to 8, executed in table order) ----
    cfManeuver* AddManeuver();
    cfManeuver* AddManeuver(int mode, double mjd, VECTOR3 thrust, short ref, double force,
                            double fuelRate);
    cfManeuver* GetNextManeuver() const;
    int GetNextManeuverIndex() const { return nNextMnr; }
    cfManeuver* GetManeuver(int i) const;
    int GetManeuverCount() const { return nMnr; }
    /// Removes and destroys the manoeuvre; a burning one switches the engine off first.
    bool DeleteManeuver(cfManeuver* m);
    void DeleteAllManeuvers();

    // ---- one step, driven by CFlight in this order ----
    void SetGlobalPositions(const VECTOR3* global) { step.globalPos = global; }
    /// Counts the sources and takes the step's dates (vessels that are not disabled).
    void BeginStep(double mjd0, double seconds);
    /// Hands the step-start state to the vessel's events.
    void PreStep();
    /// Stage i (1..7): acceleration at the stage state, then the next stage's state.
    void RKF56(int stage);
    /// The same for the 7(8) pair, stages 1..13.
    void RKF78(int stage);
    /// Norm of the position error estimate of the step, m (of the scenario's integrator).
    double ComputeTruncation();
    /// Takes the fifth-order solution (method 5) or the 7(8) pair's eighth-order one (method 8),
    /// or the conic's state while stabilized.
    void EndStep(int method = 5);
    /// Hands the step-end state to the vessel's events.
    void PostStep();
    /// Puts the vessel on the conic through its reference body's centre region; 0 or -1.
    int Stabilize();
    double GetStabilizationEnd() const { return fStabEnd; }
    /// Returns a stabilized vessel to integration.
    void Resume() { nState = 1; }
    /// Clock restart: back to integration, to the first manoeuvre, without truncation error.
    void Restart();

    /// Field of one body at x from its centre: point mass with zonal terms inside their limit
    /// radii. The indirect term uses mu = -GM.
    static VECTOR3 Field(const sGravity& g, double mu, const VECTOR3& x, bool pointMass);

    /// Stage times of the step as fractions of its length, stages 1 to 8.
    static constexpr double kStageNode[8] = {0.0,     1.0 / 6, 4.0 / 15, 2.0 / 3,
                                             4.0 / 5, 1.0,     0.0,      1.0};
    /// The 7(8) pair's stage times, stages 1 to 13.
    static constexpr double kStageNode78[13] = {0.0,     2.0 / 27, 1.0 / 9, 1.0 / 6, 5.0 / 12,
                                                1.0 / 2, 5.0 / 6,  1.0 / 6, 2.0 / 3, 1.0 / 3,
                                                1.0,     0.0,      1.0};

private:
    friend class CFlight;  // hands over the step view, checks the vessel's own allocations,
                           // runs its stages in a row

    /// What its scenario shows the integrator of a step, read-only, by CFID: every object's
    /// position about the root at the stage being run and its gravity record (GM, zonal terms);
    /// and whether every body counts as a point mass (CF_POINTMASS).
    struct StepView {
        const VECTOR3* globalPos = nullptr;
        const sGravity* const* gravity = nullptr;
        bool pointMass = false;
        int integrator = CF_RKF56;
    };

    /// Every stage in a row, for a step in which the vessel reads no body's position.
    void RKF56();
    void RKF78();

    friend class cfManeuver;  // moves the vessel on to its next manoeuvre

    VECTOR3 Acceleration(const VECTOR3& r, const VECTOR3& v, double tau, int stage);
    /// The engine's acceleration at stage (1..7), kept for the velocity-change accumulators.
    VECTOR3 Thrust(const VECTOR3& r, const VECTOR3& v, double tau, int stage);
    /// Stage `stage` (1-based, known valid) of the pair with coefficient rows A and nodes.
    template <int N>
    void Stage(int stage, const double (&A)[N][N - 1], const double* node);
    /// Feeds every event the step-start (post false) or step-end state.
    void FeedEvents(bool post);
    /// Removes table entry i, moving the later ones down.
    void RemoveEvent(int i);
    void RemoveManeuver(int i);
    /// The report of a delete that found nothing to delete; false.
    bool Missing(const char* func, const void* x) const;
    void EngineOff() {
        nThrustMode = 0;
        idThrustRef = -1;
    }

    CFlight* pFlight;
    cfEvent* pEvent[8] = {};
    cfManeuver* pMnr[8] = {};
    std::unique_ptr<COrbit> pOrbit;
    short idRef = -1;
    short idThrustRef = -1;
    std::unique_ptr<short[]> pSource;
    int nThrustMode = 0;
    int nMaxEvent = 8, nEvent = 0;
    int nSlots;
    int nSources = 0;
    int nMaxMnr = 8, nMnr = 0;
    int nNextMnr = 0;
    int nState = 1;
    double fMJD0 = 0, fMJD1 = 0;
    double fDT = 0;
    double fTruncation = -1;
    double fMass = 1;
    double fForce = 0;
    double fFuelRate = 0;
    double fDV = 0;
    double fStabEnd = 0;
    VECTOR3 vDVLocal{0, 0, 0};
    VECTOR3 vDVGlobal{0, 0, 0};
    VECTOR3 vThrust{0, 0, 0};
    VECTOR3 vPos{0, 0, 0}, vVel{0, 0, 0};
    StepView step;
    VECTOR3 vStagePos{0, 0, 0}, vStageVel{0, 0, 0};
    // Stage storage for up to 13 stages (the 5(6) pair uses the first 7).
    VECTOR3 vStageAcc[13] = {};   // k1..
    VECTOR3 vStageVels[13] = {};  // v2..
    VECTOR3 vThrLocal[13] = {};
    VECTOR3 vThrGlobal[13] = {};
};

/// A propagation scenario: celestial objects from a CSol, up to 64 vessels and their clock.
class CFlight {
public:
    typedef int (*TrjCallback)(void*, cfEvent*);
    typedef int (*RefCallback)(void*, CFlight*, cfVessel*, short, short);
    typedef int (*MnrCallback)(void*, int, cfManeuver*);

    /// A scenario of the given type (0..6) on sol; the caller keeps sol alive.
    CFlight(CSol* sol, int scenario);
    ~CFlight();
    CFlight(const CFlight&) = delete;
    CFlight& operator=(const CFlight&) = delete;
    CSol* GetSol() const { return pSol; }

    // ---- objects ----
    short AddObject(int csid);
    short AddObject(const char* name);
    short GetReference(short id) const;
    int GetCSId(short id) const;
    double GetMass(short id) const;
    double GetRadius(short id) const;
    int GetMinorCount(short id) const;
    const char* GetName(short id) const;
    double GetSOI(short id) const;
    void SetSOIOverride(short id, double r);
    short GetMinor(short id, int i) const;
    /// First object whose name begins with name; -1 when none or name has 24+ characters.
    short GetId(const char* name) const;
    short GetId(int csid) const;
    short GetId(void* handle) const;
    bool IsValid(short id) const { return id >= 0 && id < nObj; }
    void* GetOAPIHandle(short id) const;
    VECTOR3 GetGlobalPos(short id) const { return pGlobalPos[id]; }
    VECTOR3 GetGlobalVel(short id) const { return pGlobalVel[id]; }
    /// The object's boundary; 100 AU for the root, 0 for anything else that is not an object.
    double GetObjectBoundry(short id) const;
    /// The object's gravity record (null for an invalid CFID).
    const sGravity* GetGravity(short id) const;
    int GetCount() const { return nObj; }
    int GetVesselCount() const { return nVes; }
    int GetScenario() const { return nScenario; }
    /// CFIDs of the default bodies; -1 where the scenario type did not load them.
    short GetSunId() const { return idSun; }
    short GetEarthId() const { return idEarth; }
    short GetMoonId() const { return idMoon; }
    short GetJupiterId() const { return idJupiter; }
    short GetVenusId() const { return idVenus; }

    int SetOption(int bits) { return nOptions |= bits; }
    int ClearOption(int bits) { return nOptions &= ~bits; }
    int GetOptions() const { return nOptions; }
    /// The vessels' integrator, CF_RKF56 (the default) or CF_RKF78; another value is refused
    /// with a report and the integrator kept. The truncation limit means the same for both.
    void SetIntegrator(int integrator);
    int GetIntegrator() const { return nIntegrator; }
    /// +1 or -1: the sign of the last Step.
    double GetDirection() const { return fDirection; }

    // ---- vessels ----
    cfVessel* CreateVessel();
    cfVessel* CreateVessel(short ref, VECTOR3 pos, VECTOR3 vel, double mass);
    cfVessel* CreateVessel(VESSEL* v);
    cfVessel* GetVessel(int i) const;
    bool DeleteVessel(cfVessel* v);
    bool IsValidVessel(const cfVessel* v) const;

    // ---- clock and stepping ----
    bool SetStartMJD(double mjd);
    void SetCurrentMJD(double mjd);
    double GetMJD() const;
    double GetStartMJD() const { return fStartMJD; }
    double GetTimeSinceBegin() const { return fTime; }
    double GetPrevStep() const { return fPrevStep; }
    void SetTruncationLimit(double m) { fTruncLimit = m; }
    double GetTruncationLimit() const { return fTruncLimit; }
    void SetSafetyLimit(double mjd) { fSafetyLimit = mjd; }
    /// Bounds the work: once n steps (taken or refused) have been tried since the scenario was
    /// made, Step refuses with an error and Goto and AutoStep end with -1; 0 for no bound.
    void SetStepLimit(long n) { nStepLimit = n > 0 ? n : 0; }
    /// Steps tried since the scenario was made, taken or refused.
    long GetStepCount() const { return nStepCount; }
    /// Proposed length of the next step, s (never negative).
    double GetNextdT();
    /// One step of dt seconds (negative: backwards); the step made, or 0.
    double Step(double dt);
    /// Steps forwards to mjd; 0 on arrival, -1 on failure, or the abort code.
    int Goto(double mjd);
    /// One step of the proposed length; 0, -1 or the abort code.
    int AutoStep();
    /// Stops a running Goto or AutoStep after the current step with code (1 when code <= 0).
    void Abort(int code);

    // ---- callbacks (their user pointers default to the scenario itself) ----
    /// The callback that events added later without one receive; default DefEventTrj.
    void SetTrjCallback(TrjCallback fn, void* data);
    /// Called after a vessel's reference changed; default DefEventRef; null: silent.
    void SetRefCallback(RefCallback fn, void* data);
    /// Called by manoeuvres without a callback of their own; default DefEventMnr.
    void SetMnrCallback(MnrCallback fn, void* data);
    TrjCallback GetTrjCallback() const { return fnTrj; }
    void* GetTrjData() const { return pTrjData; }
    RefCallback GetRefCallback() const { return fnRef; }
    void* GetRefData() const { return pRefData; }
    MnrCallback GetMnrCallback() const { return fnMnr; }
    void* GetMnrData() const { return pMnrData; }
    /// The built-in event logger: one log line per reported condition.
    static int DefEventTrj(void* data, cfEvent* e);
    /// The built-in reference-change logger.
    static int DefEventRef(void* data, CFlight* flight, cfVessel* v, short from, short to);
    /// The built-in manoeuvre logger: ignition and shutdown lines.
    static int DefEventMnr(void* data, int code, cfManeuver* m);

    /// Writes the scenario's configuration, objects and vessels as an HTML page to path.
    void Dump(const char* path) const;

private:
    friend class cfEvent;     // callbacks mark the scenario as inside a callback
    friend class cfManeuver;  // likewise

    // Counts the callbacks running: a vessel cannot be deleted under its own callback.
    struct CallbackScope {
        explicit CallbackScope(CFlight* f) : flight(f) {
            if (flight) flight->nCallbacks++;
        }
        ~CallbackScope() {
            if (flight) flight->nCallbacks--;
        }
        CFlight* flight;
    };

    /// The record of a valid CFID; otherwise the report under func and null.
    const CelObject* Checked(short id, const char* func) const;
    void Allocate(int n);
    int AutoLoadScenario(int type);
    bool InitScenario();
    /// The view of the step that the vessels' integrator reads.
    cfVessel::StepView View() const;
    bool FillStates(VECTOR3* pos, VECTOR3* vel, double mjd);
    void Compose(const VECTOR3* pos, const VECTOR3* vel);
    bool StepRoutine(double h);
    void RunStage(int stage);
    /// The 7(8) pair's stages with the bodies where each stage needs them.
    bool RunStages78(bool bodiesRead);
    void LunarReferenceChange();
    double ScheduleManeuvers(double days);
    /// True, with a report under func, while a callback of this scenario runs.
    bool InsideCallback(const char* func);
    /// True, with a report under func, for a date that is not a finite number or lies beyond the
    /// clock's range.
    bool BadDate(double mjd, const char* func);

    CSol* pSol = nullptr;
    std::unique_ptr<std::unique_ptr<cfVessel>[]> pVessel;
    std::unique_ptr<cfVessel*[]> pActive;
    std::unique_ptr<std::unique_ptr<CelObject>[]> pCelObject;
    TrjCallback fnTrj = DefEventTrj;
    RefCallback fnRef = DefEventRef;
    MnrCallback fnMnr = DefEventMnr;
    void* pTrjData = this;
    void* pRefData = this;
    void* pMnrData = this;
    double fMoonMassRatio = 0.0123;
    double fStartMJD = 0;
    double fTime = 0;
    double fLastDT = 0;
    double fPrevStep = 0;
    double fTruncLimit = 0.05;
    double fSafetyLimit = 0;
    double fDirection = 1;
    double fStepMJD0 = 0, fStepMJD1 = 0;
    double fStepDays = 0, fStepSec = 0;
    int csSun = -1, csJupiter = -1, csVenus = -1, csEarth = -1, csMoon = -1;
    int nScenario = 0;
    int nOptions = 0;
    int nIntegrator = CF_RKF56;
    int nMaxVes = 0;
    int nMaxObj = 0;
    int nVes = 0;
    int nObj = 0;
    int nActive = 0;
    int nAbort = 0;
    int nCallbacks = 0;
    long nStepCount = 0, nStepLimit = 0;
    short idSun = -1, idJupiter = -1, idVenus = -1, idEarth = -1, idMoon = -1;
    bool bInitialized = false;
    bool bFirstStep = true;
    bool bStepping = false;
    bool bParentsFirst = false;  // every object's reference precedes it in the table
    char cConfig[32] = {};
    std::unique_ptr<short[]> pMinor;
    std::unique_ptr<short[]> pRefId;
    std::unique_ptr<const sGravity*[]> pGravity;  // each object's record, for the step view
    // One block of 9 nMaxObj vectors carved into the eight state arrays.
    std::unique_ptr<VECTOR3[]> pStateBlock;
    VECTOR3* pStartPos = nullptr;
    VECTOR3* pStartVel = nullptr;
    VECTOR3* pEndPos = nullptr;
    VECTOR3* pEndVel = nullptr;
    VECTOR3* pGlobalPos = nullptr;
    VECTOR3* pGlobalVel = nullptr;
    VECTOR3* pStagePos = nullptr;
    VECTOR3* pStageVel = nullptr;
};
