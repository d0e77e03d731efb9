// The vessel: state, engine, gravity sources, the acceleration model and the eight-stage
// Runge-Kutta-Fehlberg 5(6) step, and the stabilized mode on a conic through a body's centre.
#include <cmath>

#include "foundation/Address.h"
#include "foundation/Buffer.h"
#include "zaq/constants.h"
#include "zaq/flight.h"
#include "zaq/foundation.h"
#include "zaq/vector3.h"

using zaq::kG;
using zaq::kSecondsPerDay;

namespace {

// Fehlberg's fifth-order pair with sixth-order error estimate. Row i holds a(i+1, 1..i): the
// coefficients that form the state of stage i+1 from stages 1..i.
constexpr double kA[8][7] = {
    {0, 0, 0, 0, 0, 0, 0},
    {1.0 / 6, 0, 0, 0, 0, 0, 0},
    {4.0 / 75, 16.0 / 75, 0, 0, 0, 0, 0},
    {5.0 / 6, -8.0 / 3, 5.0 / 2, 0, 0, 0, 0},
    {-8.0 / 5, 144.0 / 25, -4.0, 16.0 / 25, 0, 0, 0},
    {361.0 / 320, -18.0 / 5, 407.0 / 128, -11.0 / 80, 55.0 / 128, 0, 0},
    {-11.0 / 640, 0, 11.0 / 256, -11.0 / 160, 11.0 / 256, 0, 0},
    {93.0 / 640, -18.0 / 5, 803.0 / 256, -11.0 / 160, 99.0 / 256, 0, 1.0},
};
// Fifth-order weights (the update); the sixth-order row differs from it by 5/66 on stages 1, 6
// (minus) and 7, 8 (plus), which is all the error estimate uses.
constexpr double kB[6] = {31.0 / 384, 0, 1125.0 / 2816, 9.0 / 32, 125.0 / 768, 5.0 / 66};
constexpr double kErr = 5.0 / 66;

// Fehlberg's seventh-order pair with eighth-order error estimate, 13 stages (NASA TR R-287),
// in the same layout. The eighth-order row is taken (local extrapolation); it differs from the
// seventh-order one by 41/840 on stages 1, 11 (minus) and 12, 13 (plus).
constexpr double kA78[13][12] = {
    {},
    {2.0 / 27},
    {1.0 / 36, 1.0 / 12},
    {1.0 / 24, 0, 1.0 / 8},
    {5.0 / 12, 0, -25.0 / 16, 25.0 / 16},
    {1.0 / 20, 0, 0, 1.0 / 4, 1.0 / 5},
    {-25.0 / 108, 0, 0, 125.0 / 108, -65.0 / 27, 125.0 / 54},
    {31.0 / 300, 0, 0, 0, 61.0 / 225, -2.0 / 9, 13.0 / 900},
    {2.0, 0, 0, -53.0 / 6, 704.0 / 45, -107.0 / 9, 67.0 / 90, 3.0},
    {-91.0 / 108, 0, 0, 23.0 / 108, -976.0 / 135, 311.0 / 54, -19.0 / 60, 17.0 / 6, -1.0 / 12},
    {2383.0 / 4100, 0, 0, -341.0 / 164, 4496.0 / 1025, -301.0 / 82, 2133.0 / 4100, 45.0 / 82,
     45.0 / 164, 18.0 / 41},
    {3.0 / 205, 0, 0, 0, 0, -6.0 / 41, -3.0 / 205, -3.0 / 41, 3.0 / 41, 6.0 / 41, 0},
    {-1777.0 / 4100, 0, 0, -341.0 / 164, 4496.0 / 1025, -289.0 / 82, 2193.0 / 4100, 51.0 / 82,
     33.0 / 164, 12.0 / 41, 0, 1.0},
};
constexpr double kErr78 = 41.0 / 840;

// h times the weighted sum of stages 1..6 of x, stage 1 being x1.
[[gnu::always_inline]] inline VECTOR3 WeightedSum(const VECTOR3& x1, const VECTOR3* rest,
                                                  double h) {
    VECTOR3 s = x1 * kB[0];
    for (int j = 1; j < 6; j++) s += rest[j - 1] * kB[j];
    return s * h;
}

// h times the 7(8) pair's eighth-order sum of x over stages 1..13, stage 1 being x1 (weight 0):
// 34/105, 9/35, 9/35, 9/280, 9/280 on stages 6..10 and 41/840 on stages 12 and 13.
[[gnu::always_inline]] inline VECTOR3 WeightedSum78(const VECTOR3* rest, double h) {
    const VECTOR3 s = rest[4] * (34.0 / 105) + (rest[5] + rest[6]) * (9.0 / 35) +
                      (rest[7] + rest[8]) * (9.0 / 280) + (rest[10] + rest[11]) * kErr78;
    return s * h;
}

// The field of one body at x (cfVessel::Field), inlined into the stage loop.
[[gnu::always_inline]] inline VECTOR3 BodyField(const sGravity& g, double mu, const VECTOR3& x,
                                                bool pointMass) {
    // The root and the reciprocal of the squared distance are formed side by side: the stages
    // wait for this value, and a division after the root would double the wait.
    const double r2 = dotp(x, x), rho = std::sqrt(r2), inv2 = 1.0 / r2, inv = rho * inv2;
    const double m3 = mu * inv * inv2;
    // A limit radius that is not a number fails every comparison and drops its term.
    if (pointMass || g.nJ <= 0 || !(rho <= g.limitRadius[0])) return x * -m3;
    // Zonal terms of the potential mu/rho (1 - sum Jn (R/rho)^n Pn(u)), u the sine of the
    // latitude over the rotation axis p: a = -mu/rho^2 ((1 + H) x/rho + G (p - u x/rho)) with
    // H = -sum (n+1) Jn q^n Pn(u) and G = sum Jn q^n Pn'(u), q = R/rho. Signed u keeps the odd
    // terms odd, and no division by cos(latitude) is needed over the poles.
    const VECTOR3& p = g.rotationAxis;
    const double u = dotp(p, x) * inv, w = u * u, q = g.radius * inv;
    const double j2 = g.J[0] * q * q;
    double G = 3.0 * j2 * u;
    double H = -j2 * (4.5 * w - 1.5);
    if (g.nJ > 1 && rho <= g.limitRadius[1]) {
        const double j3 = g.J[1] * q * q * q;
        G += (7.5 * w - 1.5) * j3;
        H -= (10.0 * w - 6.0) * j3 * u;
    }
    if (g.nJ > 2 && rho <= g.limitRadius[2]) {
        const double j4 = g.J[2] * q * q * q * q;
        G += (17.5 * w - 7.5) * j4 * u;
        H -= ((21.875 * w - 18.75) * w + 1.875) * j4;
    }
    return (x * (1.0 + H - G * u) + p * (G * rho)) * -m3;
}

// Takes entry i out of a table of n, moving the later entries down.
template <typename T>
T* TakeOut(T** table, int& n, int i) {
    T* x = table[i];
    for (int j = i; j < n - 1; j++) table[j] = table[j + 1];
    table[--n] = nullptr;
    return x;
}

template <typename T>
int IndexOf(T* const* table, int n, const T* x) {
    for (int i = 0; i < n; i++)
        if (table[i] == x) return i;
    return -1;
}

}  // namespace

bool cfVessel::Missing(const char* func, const void* x) const {
    ZAQ_ERROR_THIS(func, "Failed to delete event 0x%llX Event doesn't exist", zaq::Addr(x));
    return false;
}

cfVessel::cfVessel(int slots, CFlight* flight)
    : pFlight(flight),
      pOrbit(zaq::NewOwned<COrbit>()),
      pSource(zaq::NewBuffer<short>(slots > 0 ? slots : 1)),
      nSlots(slots > 0 ? slots : 0) {
    if (!pSource) nSlots = 0;
    for (int i = 0; i < nSlots; i++) pSource[i] = -1;
}

cfVessel::~cfVessel() {
    for (int i = 0; i < nEvent; i++) delete pEvent[i];
    for (int i = 0; i < nMnr; i++) delete pMnr[i];
}

// ---- events ------------------------------------------------------------------------------------

cfEvent* cfVessel::AddEvent(cfEvent* e) {
    if (!e) {
        ZAQ_ERROR_THIS("cfVessel::AddEvent", "Null Pointer");
        return nullptr;
    }
    if (nEvent >= nMaxEvent) {
        ZAQ_ERROR_THIS("cfVessel::AddEvent", "Can not add more events");
        return nullptr;
    }
    if (pEvent[nEvent]) {
        ZAQ_ERROR_THIS("cfVessel::AddEvent", "pEvent[index] is not NULL");
        return nullptr;
    }
    e->pVessel = this;
    e->pFlight = pFlight;
    if (!e->pCallback) e->SetCallback(pFlight->GetTrjCallback(), pFlight->GetTrjData());
    // Fed from the next step's start on, not in the rest of a step that is running.
    e->bArmed = e->bDue = false;
    pEvent[nEvent++] = e;
    return e;
}

cfEvent* cfVessel::AddEvent(int type, short ref, cfEvent::Callback cb, void* data) {
    if (nEvent >= nMaxEvent) {
        ZAQ_ERROR_THIS("cfVessel::AddEvent", "Can not add more events");
        return nullptr;
    }
    cfEvent* e = new (std::nothrow) cfEvent(type, ref, cb, data);
    if (!e) {
        ZAQ_ERROR_THIS("cfVessel::AddEvent", "Memory Allocation Failed");
        return nullptr;
    }
    if (!AddEvent(e)) {
        delete e;
        return nullptr;
    }
    return e;
}

cfEvent* cfVessel::GetEvent(int i) const {
    if (i < 0 || i >= nEvent) {
        ZAQ_ERROR_THIS("cfVessel::GetEvent", "index out of range");
        return nullptr;
    }
    return pEvent[i];
}

void cfVessel::RemoveEvent(int i) {
    cfEvent* e = TakeOut(pEvent, nEvent, i);
    // An event whose callback is running is destroyed when its code lets go of it.
    if (e->nHold > 0)
        e->bDetached = true;
    else
        delete e;
}

bool cfVessel::DeleteEvent(cfEvent* e) {
    const int i = IndexOf(pEvent, nEvent, e);
    if (i < 0) return Missing("cfVessel::DeleteEvent", e);
    RemoveEvent(i);
    return true;
}

void cfVessel::DeleteAllEvents() {
    while (nEvent > 0) RemoveEvent(nEvent - 1);
}

void cfVessel::CopyEventsFrom(const cfVessel* other) {
    if (!other) return;
    for (int i = 0; i < other->nEvent; i++) {
        const cfEvent* o = other->pEvent[i];
        cfEvent* e = AddEvent(o->nType, o->idRefEvent, o->pCallback, o->pClass);
        if (!e) continue;
        e->vPlane = o->vPlane;
        e->fValue = o->fValue;
    }
}

void cfVessel::FeedEvents(bool post) {
    if (nEvent == 0) return;
    const double mjd = post ? fMJD1 : fMJD0;
    if (nState == 2) pOrbit->PosVelByMJD(mjd, &vPos, &vVel);
    // Callbacks may delete or add events of this vessel, so each round takes the first due
    // event of the table as it is now; events added meanwhile are not due. At the step end only
    // the events that received the step start are due.
    for (int i = 0; i < nEvent; i++) pEvent[i]->bDue = !post || pEvent[i]->bArmed;
    for (;;) {
        cfEvent* e = nullptr;
        for (int i = 0; i < nEvent && !e; i++)
            if (pEvent[i]->bDue) e = pEvent[i];
        if (!e) break;
        e->bDue = e->bArmed = false;
        const short ref = e->idRefEvent;
        const bool own = ref == idRef;
        if (!own && (!e->bCrossRef || !pFlight->IsValid(ref) || !pFlight->IsValid(idRef))) continue;
        const VECTOR3 r = own ? vPos : GetIpPos(ref), v = own ? vVel : GetIpVel(ref);
        e->Hold();
        if (post) {
            e->PostStep(r, v, mjd);
        } else {
            e->PreStep(r, v, mjd);
            e->bArmed = true;
        }
        e->Release();
    }
}

// ---- manoeuvres --------------------------------------------------------------------------------

cfManeuver* cfVessel::AddManeuver() {
    if (nMnr >= nMaxMnr) {
        ZAQ_ERROR_THIS("cfVessel::AddManeuver", "Can not add more maneuvers");
        return nullptr;
    }
    if (pMnr[nMnr]) {
        ZAQ_ERROR_THIS("cfVessel::AddManeuver", "pMnr[index] is not NULL");
        return nullptr;
    }
    cfManeuver* m = new (std::nothrow) cfManeuver(this, pFlight);
    if (!m) {
        ZAQ_ERROR_THIS("cfVessel::AddManeuver", "Memory Allocation Failed");
        return nullptr;
    }
    pMnr[nMnr++] = m;
    return m;
}

cfManeuver* cfVessel::AddManeuver(int mode, double mjd, VECTOR3 thrust, short ref, double force,
                                  double fuelRate) {
    cfManeuver* m = AddManeuver();
    if (!m) return nullptr;
    m->SetThrust(mode, thrust, ref);
    m->SetIgnitionMJD(mjd);
    m->SetEngine(force, fuelRate);
    return m;
}

cfManeuver* cfVessel::GetNextManeuver() const {
    return nNextMnr >= 0 && nNextMnr < nMnr ? pMnr[nNextMnr] : nullptr;
}

cfManeuver* cfVessel::GetManeuver(int i) const {
    if (i < 0 || i >= nMnr) {
        ZAQ_ERROR_THIS("cfVessel::GetManeuver", "index out of range");
        return nullptr;
    }
    return pMnr[i];
}

void cfVessel::RemoveManeuver(int i) {
    cfManeuver* m = TakeOut(pMnr, nMnr, i);
    // The next manoeuvre stays the same one when a finished one before it goes.
    if (i < nNextMnr) nNextMnr--;
    // A cancelled burn has no shutdown to come.
    if (m->bBurning) {
        EngineOff();
        m->bBurning = false;
    }
    if (m->nHold > 0)
        m->bDetached = true;
    else
        delete m;
}

bool cfVessel::DeleteManeuver(cfManeuver* m) {
    const int i = IndexOf(pMnr, nMnr, m);
    if (i < 0) return Missing("cfVessel::DeleteManeuver", m);
    RemoveManeuver(i);
    return true;
}

void cfVessel::DeleteAllManeuvers() {
    while (nMnr > 0) RemoveManeuver(nMnr - 1);
    nNextMnr = 0;
}

// ---- gravity sources ---------------------------------------------------------------------------

void cfVessel::AddSource(int slot, short cfid) {
    if (slot < 0 || slot >= nSlots) {
        ZAQ_ERROR("cfVessel::AddSource", "Index out of range");
        return;
    }
    // A slot read by the acceleration model must name an object of the scenario.
    if (cfid != -1 && !pFlight->IsValid(cfid)) {
        ZAQ_ERROR("cfVessel::AddSource", "Invalid CFID");
        return;
    }
    pSource[slot] = cfid;
}

int cfVessel::AddSource(short cfid) {
    if (!pFlight->IsValid(cfid)) {
        ZAQ_ERROR("cfVessel::AddSource", "Invalid CFID");
        return -1;
    }
    for (int i = 0; i < nSlots; i++)
        if (pSource[i] == cfid) return i;
    for (int i = 0; i < nSlots; i++)
        if (pSource[i] == -1) {
            pSource[i] = cfid;
            return i;
        }
    ZAQ_ERROR("cfVessel::AddSource", "Unable to add gravity source");
    return -1;
}

void cfVessel::ClearSources() {
    // Every slot, not only the counted ones: a slot set past the count (AddSource(slot, id)
    // before InitSources) would otherwise come back at the next InitSources, which each step
    // runs.
    for (int i = 0; i < nSlots; i++) pSource[i] = -1;
    nSources = 0;
}

void cfVessel::InitSources() {
    // The acceleration model reads slots 0..nSources-1, so sources are kept without gaps.
    int n = 0;
    for (int i = 0; i < nSlots; i++)
        if (pSource[i] != -1) {
            const short s = pSource[i];
            pSource[i] = -1;
            pSource[n++] = s;
        }
    nSources = n;
}

short cfVessel::GetSource(int i) const {
    if (i < 0 || i >= nSources) {
        ZAQ_ERROR("cfVessel::GetSource", "Index out of range");
        return -1;
    }
    return pSource[i];
}

bool cfVessel::HasForeignSource() const {
    for (int i = 0; i < nSources; i++)
        if (pSource[i] != idRef) return true;
    return false;
}

// ---- state and engine --------------------------------------------------------------------------

void cfVessel::SetPosVel(short ref, const VECTOR3& pos, const VECTOR3& vel) {
    idRef = ref;
    vPos = pos;
    vVel = vel;
}

void cfVessel::SetThrustSpecs(double mass, double force, double fuelRate) {
    fMass = mass;
    fForce = force;
    fFuelRate = fuelRate;
}

void cfVessel::SetThrustVector(const VECTOR3& t) {
    vThrust = t;
    fDV = Length(t);
}

void cfVessel::SetThrustMode(int mode, short ref) {
    if (nState == 2) {
        otk::LogErr(ErrorLog, "Can't apply thrust in stabilized mode");
        return;
    }
    nThrustMode = mode;
    idThrustRef = ref;
    if (mode & THRUST_ACCLOCAL) vDVLocal = {0, 0, 0};
    if (mode & THRUST_ACCGLOBAL) vDVGlobal = {0, 0, 0};
}

VECTOR3 cfVessel::GetDVAccumulation(int which) const {
    if (which == 0) return vDVGlobal;
    if (which == 1) return vDVLocal;
    return {0, 0, 0};
}

double cfVessel::GetBurnTime() const {
    if (fDV == 0) return 0;
    // Without propellant flow the mass stays: the limit of the rocket equation, m dv / F. An
    // engine without thrust never gives the change; it is not burned for.
    if (fForce <= 0) return 0;
    if (fFuelRate <= 0) return fMass * fDV / fForce;
    const double ve = fForce / fFuelRate;
    return fMass * (1.0 - std::exp(-fDV / ve)) / fFuelRate;
}

VECTOR3 cfVessel::GetIpPos(short id) const {
    if (id == idRef) return vPos;
    return vPos + pFlight->GetGlobalPos(idRef) - pFlight->GetGlobalPos(id);
}

VECTOR3 cfVessel::GetIpVel(short id) const {
    if (id == idRef) return vVel;
    return vVel + pFlight->GetGlobalVel(idRef) - pFlight->GetGlobalVel(id);
}

bool cfVessel::GetEphemPosVel(short id, VECTOR3* pos, VECTOR3* vel) const {
    if (id != idRef) {
        otk::LogErr(ErrorLog, "cfVessel::GetEphemPos Function Call Not Implemented");
        return false;
    }
    if (pos) *pos = vPos;
    if (vel) *vel = vVel;
    return true;
}

void cfVessel::Restart() {
    // A burn running at the restart ends there: left on, the engine would go on thrusting
    // through the coast up to the manoeuvre's ignition, which then burns it a second time.
    if (nThrustMode != 0) {
        otk::LogErr(ErrorLog, "SetStartMJD(): Thrust Active");
        EngineOff();
    }
    // Every manoeuvre is pending again.
    for (int i = 0; i < nMnr; i++) pMnr[i]->bBurning = false;
    nNextMnr = 0;
    nState = 1;
    fTruncation = -1;
}

// ---- acceleration model ------------------------------------------------------------------------

VECTOR3 cfVessel::Field(const sGravity& g, double mu, const VECTOR3& x, bool pointMass) {
    return BodyField(g, mu, x, pointMass);
}

// Inlined into every stage: the field of the sources is most of the cost of a step.
[[gnu::always_inline]] inline VECTOR3 cfVessel::Acceleration(const VECTOR3& r, const VECTOR3& v,
                                                             double tau, int stage) {
    const bool pointMass = step.pointMass;
    VECTOR3 a{0, 0, 0};
    for (int i = 0; i < nSources; i++) {
        const short s = pSource[i];
        const sGravity& g = *step.gravity[s];
        if (s == idRef) {
            a += BodyField(g, g.GM, r, pointMass);
        } else {
            // The body's pull on the vessel less its pull on the reference body.
            const VECTOR3 d = step.globalPos[idRef] - step.globalPos[s];
            a += BodyField(g, -g.GM, d, pointMass);
            a += BodyField(g, g.GM, d + r, pointMass);
        }
    }
    if (nThrustMode == 0) return a;
    return a + Thrust(r, v, tau, stage);
}

VECTOR3 cfVessel::Thrust(const VECTOR3& r, const VECTOR3& v, double tau, int stage) {
    VECTOR3 thrGlobal{0, 0, 0}, thrLocal{0, 0, 0};
    // A thrust vector of zero length has no direction: no thrust acceleration.
    if ((nThrustMode & (THRUST_GLOBAL | THRUST_LOCAL)) && fDV > 0) {
        const double k = fForce / ((fMass - fFuelRate * tau) * fDV);
        // The local orbital frame: along the velocity, v x (r x v), and the orbit normal r x v.
        const VECTOR3 h = CrossProduct(r, v);
        const VECTOR3 vx = unit(v), hz = unit(h), ey = unit(CrossProduct(v, h));
        if (nThrustMode & THRUST_LOCAL) {
            thrLocal = vThrust * k;
            thrGlobal = (vx * vThrust.x + ey * vThrust.y + hz * vThrust.z) * k;
        } else {
            thrGlobal = vThrust * k;
            if (nThrustMode & THRUST_ACCLOCAL)
                thrLocal = {dotp(vx, thrGlobal), dotp(ey, thrGlobal), dotp(hz, thrGlobal)};
        }
    }
    vThrLocal[stage - 1] = thrLocal;
    vThrGlobal[stage - 1] = thrGlobal;
    return thrGlobal;
}

// ---- one step ----------------------------------------------------------------------------------

void cfVessel::BeginStep(double mjd0, double seconds) {
    if (nState == 0) return;
    InitSources();
    fMJD0 = mjd0;
    fDT = seconds;
    fMJD1 = fMJD0 + fDT / kSecondsPerDay;
}

void cfVessel::PreStep() {
    FeedEvents(false);
}

void cfVessel::PostStep() {
    FeedEvents(true);
}

template <int N>
[[gnu::always_inline]] inline void cfVessel::Stage(int stage, const double (&A)[N][N - 1],
                                                   const double* node) {
    const double h = fDT;
    if (stage == 1) {
        vStagePos = vPos;
        vStageVel = vVel;
    }
    const int i = stage - 1;
    vStageAcc[i] = Acceleration(vStagePos, vStageVel, node[i] * h, stage);
    if (stage == N) return;  // the last stage's state is never formed
    // State of stage i+2 (1-based stage+1) from stages 1..stage: stage 1's velocity is vVel.
    const double* a = A[stage];
    VECTOR3 dp = vVel * a[0], dv = vStageAcc[0] * a[0];
    for (int j = 1; j <= i; j++) {
        dp += vStageVels[j - 1] * a[j];
        dv += vStageAcc[j] * a[j];
    }
    vStagePos = vPos + dp * h;
    vStageVel = vVel + dv * h;
    vStageVels[i] = vStageVel;
}

void cfVessel::RKF56(int stage) {
    if (stage < 1 || stage > 7) {
        otk::LogErr(ErrorLog, "RKF56: Invalid stage");
        return;
    }
    Stage(stage, kA, kStageNode);
}

void cfVessel::RKF56() {
    for (int stage = 1; stage <= 7; stage++) Stage(stage, kA, kStageNode);
}

void cfVessel::RKF78(int stage) {
    if (stage < 1 || stage > 13) {
        otk::LogErr(ErrorLog, "RKF78: Invalid stage");
        return;
    }
    Stage(stage, kA78, kStageNode78);
}

void cfVessel::RKF78() {
    for (int stage = 1; stage <= 13; stage++) Stage(stage, kA78, kStageNode78);
}

double cfVessel::ComputeTruncation() {
    VECTOR3 e;
    double w;
    if (step.integrator == CF_RKF78) {
        // Eighth- minus seventh-order position: h 41/840 (v12 + v13 - v1 - v11).
        e = vVel + vStageVels[9] - vStageVels[10] - vStageVels[11];
        w = kErr78;
    } else {
        // Sixth- minus fifth-order position: h 5/66 (v7 + v8 - v1 - v6).
        e = vVel + vStageVels[4] - vStageVels[5] - vStageVels[6];
        w = kErr;
    }
    fTruncation = std::fabs(fDT * w) * Length(e);
    return fTruncation;
}

void cfVessel::EndStep(int method) {
    if (method != 5 && method != 8) {
        otk::LogErr(ErrorLog, "End(): Invalid Method");
        return;
    }
    if (nState == 2) {
        pOrbit->PosVelByMJD(fMJD1, &vPos, &vVel);
        return;
    }
    if (nState != 1) return;
    const double h = fDT;
    const bool eighth = method == 8;
    const VECTOR3 pos =
        vPos + (eighth ? WeightedSum78(vStageVels, h) : WeightedSum(vVel, vStageVels, h));
    const VECTOR3 vel = vVel + (eighth ? WeightedSum78(vStageAcc + 1, h)
                                       : WeightedSum(vStageAcc[0], vStageAcc + 1, h));
    // A state past the range of doubles (a vessel sent off at absurd speeds) is not taken: the
    // vessel keeps its last state and is disabled, with a report.
    if (!std::isfinite(dotp(pos, pos) + dotp(vel, vel))) {
        otk::LogErr(ErrorLog, "Vessel 0x%llX: the state is no longer finite, vessel disabled",
                    zaq::Addr(this));
        nState = 0;
        return;
    }
    vPos = pos;
    vVel = vel;
    if (nThrustMode & THRUST_ACCLOCAL)
        vDVLocal +=
            eighth ? WeightedSum78(vThrLocal + 1, h) : WeightedSum(vThrLocal[0], vThrLocal + 1, h);
    if (nThrustMode & THRUST_ACCGLOBAL)
        vDVGlobal += eighth ? WeightedSum78(vThrGlobal + 1, h)
                            : WeightedSum(vThrGlobal[0], vThrGlobal + 1, h);
    if (nThrustMode != 0) fMass -= fFuelRate * h;
}

int cfVessel::Stabilize() {
    if (nThrustMode != 0) {
        otk::LogErr(ErrorLog, "Can't enable stabilization while engines are active");
        return 0;
    }
    if (nState == 2) {
        otk::LogWrn(ErrorLog, "Vessel allready in stabilized mode");
        return 0;
    }
    if (nState == 0) {
        otk::LogErr(ErrorLog, "Can not stabilize disabled vessel");
        return -1;
    }
    const double mjd = pFlight->GetMJD();
    pOrbit->CreateFromStateVectors(vPos, vVel, kG * pFlight->GetMass(idRef), mjd);
    double f = pOrbit->TrAByRadius(Length(vPos));
    if (f < 0) f = M_PI;  // a rounding error past apoapsis: the vessel is there
    const bool forward = pFlight->GetDirection() > 0;
    double t = pOrbit->TimeToTrA(forward ? f : PI2 - f);
    if (pOrbit->Ecc() < 1.0) {
        const double period = PI2 / pOrbit->meanMotion;
        if (t < 0 && forward) t += period;
        if (t > 0 && !forward) t -= period;
    }
    // A vessel that falls straight at the centre (no angular momentum) has no conic to ride,
    // nor has one whose state is not a number: rather than carry it along a state that is not a
    // number, it is disabled and reported.
    VECTOR3 p, v;
    if (std::isfinite(t)) pOrbit->PosVelByMJD(mjd + t / kSecondsPerDay, &p, &v);
    if (!std::isfinite(t) || !std::isfinite(dotp(p, p) + dotp(v, v))) {
        otk::LogErr(ErrorLog,
                    "Can't stabilize: no conic through the centre region, vessel disabled");
        nState = 0;
        return -1;
    }
    fStabEnd = mjd + t / kSecondsPerDay;
    nState = 2;
    return 0;
}
