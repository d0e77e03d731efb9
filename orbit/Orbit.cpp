// The conic orbit: construction, elements, and time, anomaly and position queries.
#include "zaq/orbit.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "zaq/constants.h"
#include "zaq/foundation.h"
#include "zaq/vector3.h"

using zaq::kDegPerRad;
using zaq::kG;
using zaq::kSecondsPerDay;

namespace {

// The orbital members come first, laid out exactly as otk::sElements.
static_assert(offsetof(COrbit, P) == offsetof(otk::sElements, P), "layout");
static_assert(offsetof(COrbit, velocityScale) == offsetof(otk::sElements, velocityScale), "layout");
static_assert(offsetof(COrbit, equinox) == sizeof(otk::sElements), "layout");
static_assert(std::is_trivially_copyable<COrbit>::value, "COrbit is copied as plain data");

// Whole revolutions in an angle x, as the relative anomaly functions count them.
double Revolutions(double x) {
    return x > 0 ? std::floor(x / PI2) : -std::floor(-x / PI2) - 1.0;
}

// Forward difference b - a of two wrapped angles, in [0, 2pi]. Next to a whole turn the
// wrapped difference cannot tell no advance from a full revolution (and rounding in the wrap
// may land on either side); the remainder of the unwrapped span can, so an exact multiple of a
// revolution is counted once.
double ForwardDiff(double a, double b, double remainder) {
    constexpr double kTurnEps = 1e-9;
    double d = b > a ? b - a : PI2 - (a - b);
    if (d < kTurnEps && remainder > M_PI) d += PI2;
    if (d > PI2 - kTurnEps && remainder < M_PI) d -= PI2;
    return d;
}

}  // namespace

COrbit::COrbit()
    : P{0, 0, 0},
      Q{0, 0, 0},
      W{0, 0, 0},
      mu(0),
      meanAnomaly(0),
      eccAnomaly(0),
      meanMotion(0),
      semiMajor(0),
      semiMinor(0),
      semiLatus(0),
      eccentricity(0),
      epoch(0),
      velocityScale(0),
      equinox{1, 0, 0},
      auxiliary{0, 1, 0},
      pole{0, 0, 1} {}

// The orbital members are laid out as otk::sElements (checked above), so one copy moves them.
COrbit::COrbit(const otk::sElements& el) : COrbit() {
    std::memcpy(this, &el, sizeof el);
}

COrbit::COrbit(VECTOR3 pos, VECTOR3 vel, double mu_, double mjd) : COrbit() {
    CreateFromStateVectors(pos, vel, mu_, mjd);
}

COrbit::COrbit(void* obj, void* ref) : COrbit() {
    Create(obj, ref);
}

// Anomalies at the epoch and the members that follow from a, p, e, mu and the triad.
void COrbit::FinishFromTrA(double nu) {
    eccAnomaly = otk::tra2eca(nu, eccentricity);
    meanAnomaly = otk::eca2mna(eccAnomaly, eccentricity);
    SetDerived();
}

void COrbit::SetDerived() {
    meanMotion = std::sqrt(mu / std::fabs(semiMajor * semiMajor * semiMajor));
    semiMinor = std::sqrt(std::fabs(semiMajor * semiLatus));
    velocityScale = std::sqrt(mu / semiLatus);
    W = CrossProduct(P, Q);
}

void COrbit::CreateFromStateVectors(const VECTOR3& r, const VECTOR3& v, double mu_, double mjd) {
    epoch = mjd;
    mu = mu_;
    const double rl = Length(r), v2 = dotp(v, v), rv = dotp(r, v);
    const VECTOR3 ev = (r * (v2 - mu / rl) - v * rv) / mu;
    const VECTOR3 h = CrossProduct(r, v);
    Q = unit(CrossProduct(h, ev));
    eccentricity = Length(ev);
    semiLatus = dotp(h, h) / mu;
    bool circular = false;
    if (eccentricity < 1e-7) {
        // Circular: the periapsis is put where the longitude of periapsis is zero in the fixed
        // frame, at angle -node from the node. An orbit in the x-y plane has no node; its
        // periapsis is put on the x axis.
        circular = true;
        eccentricity = 0.0;
        const double hxy = std::hypot(h.x, h.y);
        if (hxy <= 1e-12 * Length(h)) {
            P = VECTOR3{1, 0, 0};
        } else {
            const VECTOR3 N{-h.y / hxy, h.x / hxy, 0};
            const VECTOR3 M = unit(CrossProduct(h, N));
            P = unit(N * N.x - M * N.y);
        }
        Q = unit(CrossProduct(h, P));
        semiMajor = semiLatus;
    } else {
        P = ev / eccentricity;
        semiMajor = semiLatus / (1.0 - eccentricity * eccentricity);
    }
    const double c = dotp(r, P) / rl;
    double nu = c >= 1.0 ? 0.0 : c <= -1.0 ? M_PI : std::acos(c);
    // The sign of r.v tells the half of the orbit, except where it vanishes (at an apsis, or
    // anywhere on a circle): there the side of the periapsis line, r.Q, tells it.
    const bool rvTells = !circular && std::fabs(rv) >= 1e-9 * rl * std::sqrt(v2);
    if (rvTells ? rv < 0 : dotp(r, Q) < 0) nu = PI2 - nu;
    FinishFromTrA(nu);
}

void COrbit::CreateFrom2Pos(const VECTOR3& r1, const VECTOR3& r2, double p, double mu_,
                            double mjd) {
    semiLatus = p;
    mu = mu_;
    epoch = mjd;
    const double dth = AngleBetween(r1, r2);
    const double R1 = Length(r1), R2 = Length(r2), cd = std::cos(dth);
    const double k = R1 * R2 * (1.0 - cd), l = R1 + R2, m = R1 * R2 * (1.0 + cd);
    semiMajor = m * k * p / ((2.0 * m - l * l) * p * p + 2.0 * k * l * p - k * k);
    const double f = 1.0 - (R2 / p) * (1.0 - cd);
    const double g = R1 * R2 * std::sin(dth) / std::sqrt(mu * p);
    const VECTOR3 v1 = (r2 - r1 * f) / g;
    P = unit(r1 * (dotp(v1, v1) - mu / R1) - v1 * dotp(r1, v1));
    W = unit(CrossProduct(r1, v1));
    Q = unit(CrossProduct(W, P));
    const double nu = AngleInPlane(r1, P, Q);
    eccentricity = std::sqrt(1.0 - p / semiMajor);
    FinishFromTrA(nu);
}

void COrbit::CreateFromElements(double a, double e, double inc, double lan, double agp, double mna,
                                double mu_, double mjd) {
    otk::PQW(lan, inc, agp, equinox, pole, &P, &Q);
    semiMajor = a;
    eccentricity = e;
    meanAnomaly = mna;
    eccAnomaly = otk::mna2eca(mna, e);
    semiLatus = (1.0 - e * e) * a;
    mu = mu_;
    epoch = mjd;
    SetDerived();
}

// The standalone host's record holds the mean longitude L = longitude of periapsis + mean
// anomaly, with angles measured in the reference plane about its pole, so the mean anomaly
// at the epoch is L - omegab and the frame is passed with its pole.
void COrbit::CreateFromElements(const ELEMENTS* el, double mu_, double mjd) {
    const double agp = NormalizeAngle(el->omegab - el->theta);
    const double mna = NormalizeAngle(el->L - el->omegab);
    CreateFromElements(el->a, el->e, el->i, el->theta, agp, mna, mu_, mjd);
}

void COrbit::CreateCircular(const VECTOR3& pos, const VECTOR3& normal, double mu_, double mjd) {
    const VECTOR3 vel = unit(CrossProduct(normal, pos)) * std::sqrt(mu_ / Length(pos));
    CreateFromStateVectors(pos, vel, mu_, mjd);
}

void COrbit::EscapeOrbit(const VECTOR3& pos, const VECTOR3& vinf, double mu_, double mjd,
                         double dir) {
    mu = mu_;
    epoch = mjd;
    const double a = -mu / dotp(vinf, vinf);
    semiMajor = a;
    const double R = Length(pos);
    VECTOR3 N = CrossProduct(pos, vinf);
    double theta = PI2 - AngleBetween(pos, vinf);
    if (dir < 0) {
        theta = AngleBetween(pos, vinf);
        N = -N;
    }
    const double s = std::sin(theta), K = (std::cos(theta) - 1.0) * 2.0 * a * R;
    const double Rs = R * s;
    const double e =
        std::sqrt((Rs * Rs - Rs * std::sqrt(Rs * Rs + 2.0 * K) + K) / (2.0 * a * a) + 1.0);
    eccentricity = e;
    semiLatus = (1.0 - e * e) * a;
    double cnu = (semiLatus - R) / (e * R);
    cnu = cnu > 1.0 ? 1.0 : cnu < -1.0 ? -1.0 : cnu;
    double nu = std::acos(cnu);
    if (std::acos(1.0 / e) + M_PI > theta) nu = PI2 - nu;
    const VECTOR3 T = CrossProduct(N, pos);
    P = RotateToward(pos, T, PI2 - nu);
    Q = unit(CrossProduct(N, P));
    FinishFromTrA(nu);
}

// The normal pos x peri makes the motion run from pos towards the periapsis, so pos lies in
// the second half of the orbit: its true anomaly is 2pi minus the angle from the periapsis
// (and the plain angle when dir < 0 reverses the motion). This keeps Position() == pos.
void COrbit::ApproachOrbit(const VECTOR3& pos, const VECTOR3& peri, double mu_, double mjd,
                           double dir) {
    mu = mu_;
    epoch = mjd;
    P = unit(peri);
    const double rp = Length(peri), R = Length(pos);
    const double angle = AngleBetween(pos, P);
    VECTOR3 N = CrossProduct(pos, P);
    double nu = PI2 - angle;
    if (dir < 0) {
        N = -N;
        nu = angle;
    }
    Q = unit(CrossProduct(N, P));
    const double e = (rp - R) / (R * std::cos(angle) - rp);
    eccentricity = e;
    semiMajor = rp / (1.0 - e);
    semiLatus = (1.0 - e * e) * semiMajor;
    FinishFromTrA(nu);
}

void COrbit::Create(void* obj, void* ref) {
    VECTOR3 r, v;
    oapiGetRelativePos(obj, ref, &r);
    oapiGetRelativeVel(obj, ref, &v);
    CreateFromStateVectors(SwapYZ(r), SwapYZ(v), kG * (oapiGetMass(obj) + oapiGetMass(ref)),
                           oapiGetSimMJD());
}

void COrbit::Create(VESSEL* vessel) {
    OBJHANDLE ref = vessel->GetGravityRef();
    VECTOR3 r, v;
    vessel->GetRelativePos(ref, r);
    vessel->GetRelativeVel(ref, v);
    CreateFromStateVectors(SwapYZ(r), SwapYZ(v), kG * oapiGetMass(ref), oapiGetSimMJD());
}

void COrbit::ReferencePole(VECTOR3 X, VECTOR3 Z) {
    equinox = unit(X);
    auxiliary = unit(CrossProduct(Z, X));
    pole = CrossProduct(equinox, auxiliary);
}

void COrbit::Print(FILE* f, const char* label) const {
    if (label) otk::LogMsg(f, "%s Orbit:", label);
    otk::LogMsg(f, "SMa=%g", SMa());
    otk::LogMsg(f, "Ecc=%g", Ecc());
    otk::LogMsg(f, "PeD=%g", PeD());
    otk::LogMsg(f, "ApD=%g", ApD());
    otk::LogMsg(f, "OPe=%g", OPe());
    otk::LogMsg(f, "TrA=%g", TrA() * kDegPerRad);
    otk::LogMsg(f, "Inc=%g", Inc() * kDegPerRad);
    otk::LogMsg(f, "LAN=%g", LAN() * kDegPerRad);
    otk::LogMsg(f, "LPe=%g", LPe() * kDegPerRad);
}

// ---- elements ----

double COrbit::TrA() const {
    return otk::eca2tra(eccAnomaly, eccentricity);
}
double COrbit::FpA() const {
    return otk::eca2fpa(eccAnomaly, eccentricity);
}
double COrbit::OPe() const {
    return PI2 / meanMotion;
}
double COrbit::PeD() const {
    return (1.0 - eccentricity) * semiMajor;
}
double COrbit::ApD() const {
    return (1.0 + eccentricity) * semiMajor;
}
double COrbit::Rad() const {
    return RadiusByEcA(eccAnomaly);
}
double COrbit::Vel() const {
    return std::sqrt(2.0 * mu / Rad() - mu / semiMajor);
}
double COrbit::PeV() const {
    return std::sqrt(2.0 * mu / (semiMajor * (1.0 - eccentricity)) - mu / semiMajor);
}
double COrbit::EscapeVelocity() const {
    return eccentricity < 1.0 ? -1.0 : std::sqrt(-mu / semiMajor);
}
double COrbit::ImpactParameter() const {
    return std::sqrt(std::fabs(semiMajor) * semiLatus);
}
double COrbit::PeT() const {
    const double M = meanAnomaly;
    return (M < 0 ? -M : PI2 - M) / meanMotion;
}
double COrbit::ApT() const {
    const double M = meanAnomaly;
    return (M < M_PI ? M_PI - M : 3.0 * M_PI - M) / meanMotion;
}
double COrbit::PeMJD() const {
    return MJDByEcA(0.0);
}
double COrbit::Inc() const {
    return AngleBetween(pole, W);
}

double COrbit::Inc2() const {
    VECTOR3 N = CrossProduct(pole, W);
    if (AngleBetween(N, Q) < M_PI / 2) N = -N;
    return AngleInPlane(W, pole, CrossProduct(N, pole));
}

double COrbit::LAN() const {
    const VECTOR3 N = CrossProduct(pole, W);
    const double l = std::atan2(dotp(N, auxiliary), dotp(N, equinox));
    return l < 0 ? l + PI2 : l;
}

double COrbit::AgP() const {
    const VECTOR3 N = CrossProduct(pole, W);
    const double m = std::atan2(dotp(N, Q), dotp(N, P));
    return m >= 0 ? PI2 - m : -m;
}

double COrbit::LPe() const {
    return NormalizeAngle(LAN() + AgP());
}
double COrbit::MnL() const {
    return NormalizeAngle(LPe() + meanAnomaly);
}
double COrbit::TrL() const {
    return NormalizeAngle(TrA() + LPe());
}

double COrbit::MaxTrA() const {
    return eccentricity > 1.0 ? std::acos(-1.0 / eccentricity) - 1e-9 : PI2;
}

double COrbit::MaxNrA() const {
    if (eccentricity <= 1.0) return PI2;
    const double e = eccentricity;
    return otk::eca2nra(otk::tra2eca(std::acos(-1.0 / e) - 1e-9, e), e);
}

VECTOR3 COrbit::Position() {
    return PosByEcA(eccAnomaly);
}
VECTOR3 COrbit::Velocity() {
    return VelByEcA(eccAnomaly);
}

// ---- queries ----

double COrbit::MnAByTime(double t) const {
    const double M = meanMotion * t + meanAnomaly;
    return eccentricity > 1.0 ? M : NormalizeAngle(M);
}
double COrbit::EcAByTime(double t) const {
    return otk::mna2eca(MnAByTime(t), eccentricity);
}
double COrbit::TrAByTime(double t) const {
    return otk::mna2tra(MnAByTime(t), eccentricity);
}
double COrbit::MnAByMJD(double mjd) const {
    return MnAByTime((mjd - epoch) * kSecondsPerDay);
}
double COrbit::EcAByMJD(double mjd) const {
    return EcAByTime((mjd - epoch) * kSecondsPerDay);
}
double COrbit::TrAByMJD(double mjd) const {
    return TrAByTime((mjd - epoch) * kSecondsPerDay);
}

double COrbit::TimeToMnA(double M) const {
    if (eccentricity > 1.0) return (M - meanAnomaly) / meanMotion;
    double d = M > meanAnomaly ? M - meanAnomaly : PI2 - (meanAnomaly - M);
    if (d > M_PI) d -= PI2;
    return d / meanMotion;
}
double COrbit::TimeToTrA(double nu) const {
    return TimeToMnA(otk::tra2mna(nu, eccentricity));
}
double COrbit::TimeToEcA(double E) const {
    return TimeToMnA(otk::eca2mna(E, eccentricity));
}
double COrbit::MJDByMnA(double M) const {
    return epoch + TimeToMnA(M) / kSecondsPerDay;
}
double COrbit::MJDByEcA(double E) const {
    return epoch + TimeToEcA(E) / kSecondsPerDay;
}
double COrbit::MJDByTrA(double nu) const {
    return epoch + TimeToTrA(nu) / kSecondsPerDay;
}

VECTOR3 COrbit::PosAt(double cE, double sE) const {
    return P * ((cE - eccentricity) * semiMajor) + Q * (semiMinor * sE);
}

VECTOR3 COrbit::VelAt(double nu) const {
    const double s = velocityScale;
    return Q * (s * (std::cos(nu) + eccentricity)) - P * (s * std::sin(nu));
}

VECTOR3 COrbit::PosAtEcA(double E) const {
    if (eccentricity < 1.0) return PosAt(std::cos(E), std::sin(E));
    return PosAt(std::cosh(E), std::sinh(E));
}

VECTOR3 COrbit::PosByEcA(double E) {
    return PosAtEcA(E);
}
VECTOR3 COrbit::PosByTrA(double nu) {
    return PosByEcA(otk::tra2eca(nu, eccentricity));
}
VECTOR3 COrbit::VelByTrA(double nu) {
    return VelAt(nu);
}
VECTOR3 COrbit::VelByEcA(double E) {
    return VelAt(otk::eca2tra(E, eccentricity));
}
VECTOR3 COrbit::PosByMJD(double mjd) {
    return PosByEcA(EcAByMJD(mjd));
}
VECTOR3 COrbit::VelByMJD(double mjd) {
    return VelAt(TrAByMJD(mjd));
}

void COrbit::PosVelByMJD(double mjd, VECTOR3* pos, VECTOR3* vel) const {
    const double E = EcAByMJD(mjd);
    const double nu = otk::eca2tra(E, eccentricity);
    if (pos) {
        if (eccentricity > 1.0)
            *pos = PosAt(std::cosh(E), std::sinh(E));
        else
            *pos = PosAt(std::cos(E), std::sin(E));
    }
    if (vel) *vel = VelAt(nu);
}

void COrbit::PosVelByMJD(double mjd, VECTOR3* pos, VECTOR3* vel, otk::sAnomaly& near) const {
    otk::mna2eca(MnAByMJD(mjd), eccentricity, near);
    const double s = near.sinE, c = near.cosE;
    if (pos) *pos = PosAt(c, s);
    if (!vel) return;
    // The derivative of the position by the anomaly times the anomaly's rate: on the ellipse
    // dE/dt = n / (1 - e cos E), on the hyperbola dH/dt = n / (e cosh H - 1).
    if (eccentricity < 1.0) {
        const double k = meanMotion / (1.0 - eccentricity * c);
        *vel = Q * (k * semiMinor * c) - P * (k * semiMajor * s);
    } else {
        const double k = meanMotion / (eccentricity * c - 1.0);
        *vel = Q * (k * semiMinor * c) + P * (k * semiMajor * s);
    }
}

double COrbit::RelTrAByTime(double t) const {
    const double x = meanMotion * t;
    if (x == 0.0) return 0.0;
    const double k = Revolutions(x);
    const double M0 = NormalizeAngle(meanAnomaly), M1 = NormalizeAngle(meanAnomaly + x);
    const double nu0 = otk::mna2tra(M0, eccentricity), nu1 = otk::mna2tra(M1, eccentricity);
    return k * PI2 + ForwardDiff(nu0, nu1, x - k * PI2);
}

double COrbit::TimeToRelTrA(double dnu) const {
    if (dnu == 0.0) return 0.0;
    const double k = Revolutions(dnu);
    const double nu0 = otk::eca2tra(eccAnomaly, eccentricity);
    const double nu1 = NormalizeAngle(nu0 + dnu);
    const double M1 = otk::tra2mna(nu1, eccentricity);
    return (k * PI2 + ForwardDiff(meanAnomaly, M1, dnu - k * PI2)) / meanMotion;
}

double COrbit::MJDByRelTrA(double dnu) const {
    return epoch + TimeToRelTrA(dnu) / kSecondsPerDay;
}
double COrbit::RelTrAByMJD(double mjd) const {
    return RelTrAByTime((mjd - epoch) * kSecondsPerDay);
}

double COrbit::TrAOfProjection(VECTOR3 v) const {
    return NormalizeAngle(std::atan2(dotp(v, Q), dotp(v, P)));
}

double COrbit::TrAOfAscendingNode(VECTOR3 z) const {
    const VECTOR3 N = CrossProduct(z, W);
    return NormalizeAngle(std::atan2(dotp(N, Q), dotp(N, P)));
}

double COrbit::Heading(double nu, VECTOR3& z) const {
    const VECTOR3 r = PosAtEcA(otk::tra2eca(nu, eccentricity));
    const VECTOR3 v = VelAt(nu);
    const VECTOR3 east = CrossProduct(z, r);
    const VECTOR3 north = CrossProduct(r, east);
    return AngleInPlane(v, north, east);
}

double COrbit::FlightPathAngle(double nu) const {
    return otk::eca2fpa(otk::tra2eca(nu, eccentricity), eccentricity);
}

double COrbit::TrAByRadius(double r) const {
    const double e = eccentricity, a = semiMajor;
    if (r > (1.0 - e) * a && (e > 1.0 || r < (1.0 + e) * a))
        return std::acos((semiLatus - r) / (r * e));
    return -1.0;
}

double COrbit::RadiusByTrA(double nu) const {
    return semiLatus / (1.0 + eccentricity * std::cos(nu));
}

double COrbit::RadiusByEcA(double E) const {
    const double e = eccentricity;
    return e < 1.0 ? (1.0 - e * std::cos(E)) * semiMajor : (1.0 - e * std::cosh(E)) * semiMajor;
}
