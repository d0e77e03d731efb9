// Trajectory events: periapsis, apoapsis, plane crossings, distance and angle conditions tested
// between the start and the end of a step, and the state at the condition on the conic that
// osculates at the step start.
#include <cmath>

#include "zaq/constants.h"
#include "zaq/flight.h"
#include "zaq/foundation.h"
#include "zaq/vector3.h"

cfEvent::cfEvent() : cfEvent(0, -1, nullptr, nullptr) {}

cfEvent::cfEvent(int type, short ref, Callback cb, void* data)
    : pVessel(nullptr),
      pFlight(nullptr),
      pCallback(cb),
      pClass(data),
      vPrePos{0, 0, 0},
      vPreVel{0, 0, 0},
      vPlane{0, 0, 0},
      fPreMJD(0),
      fPostMJD(0),
      fValue(0),
      idRefEvent(ref),
      nType(type),
      nTriggered(0),
      bCrossRef((type & EVENT_SAMEREF) == 0) {}

cfEvent::cfEvent(const cfEvent& o)
    : pVessel(o.pVessel),
      pFlight(o.pFlight),
      pCallback(o.pCallback),
      pClass(o.pClass),
      vPrePos(o.vPrePos),
      vPreVel(o.vPreVel),
      vPlane(o.vPlane),
      fPreMJD(o.fPreMJD),
      fPostMJD(o.fPostMJD),
      fValue(o.fValue),
      idRefEvent(o.idRefEvent),
      nType(o.nType),
      nTriggered(o.nTriggered),
      bCrossRef(o.bCrossRef) {}

cfEvent& cfEvent::operator=(const cfEvent& o) {
    // The table bookkeeping (held, detached, armed) belongs to this object, not to its value.
    pVessel = o.pVessel;
    pFlight = o.pFlight;
    pCallback = o.pCallback;
    pClass = o.pClass;
    vPrePos = o.vPrePos;
    vPreVel = o.vPreVel;
    vPlane = o.vPlane;
    fPreMJD = o.fPreMJD;
    fPostMJD = o.fPostMJD;
    fValue = o.fValue;
    idRefEvent = o.idRefEvent;
    nType = o.nType;
    nTriggered = o.nTriggered;
    bCrossRef = o.bCrossRef;
    return *this;
}

void cfEvent::SetAngle(VECTOR3 plane, double angle) {
    vPlane = plane;
    fValue = angle;
}

void cfEvent::SetCallback(Callback cb, void* data) {
    pCallback = cb;
    pClass = data;
}

void cfEvent::GetPreStepState(VECTOR3* pos, VECTOR3* vel, double* mjd) const {
    if (!pos || !vel || !mjd) {
        ZAQ_ERROR_THIS("cfEvent::GetPreStepState", "Null Pointer");
        return;
    }
    *pos = vPrePos;
    *vel = vPreVel;
    *mjd = fPreMJD;
}

void* cfEvent::GetOAPIHandle() const {
    return pFlight ? pFlight->GetOAPIHandle(idRefEvent) : nullptr;
}

void cfEvent::Release() {
    if (--nHold == 0 && bDetached) delete this;
}

bool cfEvent::Report(int code) {
    if (!pCallback) return !bDetached;
    // The callback may delete this event: it stays alive until released, and reports no more.
    Hold();
    nTriggered = code;
    {
        CFlight::CallbackScope scope(pFlight);
        pCallback(pClass, this);
    }
    nTriggered = 0;
    const bool attached = !bDetached;
    Release();
    return attached;
}

void cfEvent::PreStep(const VECTOR3& pos, const VECTOR3& vel, double mjd) {
    vPrePos = pos;
    vPreVel = vel;
    fPreMJD = mjd;
}

void cfEvent::PostStep(const VECTOR3& r1, const VECTOR3& v1, double mjd) {
    fPostMJD = mjd;
    if (!pCallback) {
        ZAQ_ERROR_THIS("cfEvent::PostStep", "No event callback assigned");
        return;
    }
    const VECTOR3 &r0 = vPrePos, &v0 = vPreVel;
    if ((nType & EVENT_INRANGE) && Length(r0) > fValue) return;
    nTriggered = 0;
    // Backwards in time the step's end comes first: the rates change sign and the radii swap.
    const double s = mjd >= fPreMJD ? 1.0 : -1.0;
    const double rv0 = s * dotp(r0, v0), rv1 = s * dotp(r1, v1);
    const double n0 = s * dotp(vPlane, r0), n1 = s * dotp(vPlane, r1);
    const double d0 = s > 0 ? Length(r0) : Length(r1), d1 = s > 0 ? Length(r1) : Length(r0);
    const double D = fValue;
    const struct {
        int code;
        bool met;
    } tests[] = {
        {EVENT_ANGLE, (AngleBetween(vPlane, r1) - D) * (AngleBetween(vPlane, r0) - D) < 0},
        {EVENT_PERIAPSIS, rv0 <= 0 && rv1 >= 0},
        {EVENT_APOAPSIS, rv0 >= 0 && rv1 <= 0},
        {EVENT_NODE_DSN, n0 >= 0 && n1 <= 0},
        {EVENT_NODE_ASN, n0 <= 0 && n1 >= 0},
        {EVENT_DISTANCE_ASN, d0 <= D && d1 >= D},
        {EVENT_DISTANCE_DSN, d0 >= D && d1 <= D},
    };
    for (const auto& t : tests)
        if ((nType & t.code) && t.met && !Report(t.code)) return;
}

void cfEvent::GetStateVectors(VECTOR3* pos, VECTOR3* vel, double* mjd) const {
    if (nType == 0 || nTriggered == 0 || !pFlight) return;
    if (nTriggered == EVENT_ANGLE) {
        ZAQ_ERROR("cfEvent::GetStateVectors", "EVENT_ANGLE not yet implemented");
        return;
    }
    COrbit o;
    o.CreateFromStateVectors(vPrePos, vPreVel, zaq::kG * pFlight->GetMass(idRefEvent), fPreMJD);
    const bool ellipse = o.Ecc() < 1.0;
    double E;
    switch (nTriggered) {
        case EVENT_PERIAPSIS:
            E = 0;
            break;
        case EVENT_APOAPSIS:
            E = M_PI;
            break;
        case EVENT_NODE_ASN:
        case EVENT_NODE_DSN: {
            double nu = o.TrAOfAscendingNode(vPlane);
            if (nTriggered == EVENT_NODE_DSN) nu = std::fmod(nu + M_PI, PI2);
            if (pos) *pos = o.PosByTrA(nu);
            if (vel) *vel = o.VelByTrA(nu);
            if (mjd) *mjd = o.MJDByTrA(nu);
            return;
        }
        case EVENT_DISTANCE_ASN:
        case EVENT_DISTANCE_DSN: {
            const double a = o.SMa(), e = o.Ecc();
            double x = (a - fValue) / (a * e);
            // The step-start conic may just miss the distance that the integrated path reached
            // (or be a circle): take its nearest point rather than an undefined anomaly.
            if (std::isnan(x) || (ellipse && x > 1) || (!ellipse && x < 1)) x = 1;
            if (ellipse && x < -1) x = -1;
            E = ellipse ? std::acos(x) : std::log(x + std::sqrt(x * x - 1));
            if (nTriggered == EVENT_DISTANCE_DSN) E = ellipse ? PI2 - E : -E;
            break;
        }
        default:
            return;
    }
    if (pos) *pos = o.PosByEcA(E);
    if (vel) *vel = o.VelByEcA(E);
    if (mjd) *mjd = o.MJDByEcA(E);
}
