// Reference frames and rotations: perifocal bases, the velocity frame, polar to Cartesian
// conversion, IAU 1976 obliquity and precession, elementary rotations, geodetic latitude.
#include <cmath>

#include "zaq/constants.h"
#include "zaq/orbit.h"

using zaq::kAU;

namespace {

constexpr double kArcSec = 4.84813681109536e-6;  // radians per arc second
constexpr double kMJDJ2000 = 51544.5;
constexpr double kDaysPerCentury = 36525.0;
// Mean obliquity of J2000, 23 deg 26' 21.448" (IAU 1976).
constexpr double kObliquityJ2000 = 84381.448 * kArcSec;

inline double Centuries(double mjd) {
    return (mjd - kMJDJ2000) / kDaysPerCentury;
}

// Frame rotation about x: [[1, 0, 0], [0, c, s], [0, -s, c]].
MATRIX3 R1(double a) {
    const double c = std::cos(a), s = std::sin(a);
    return {1, 0, 0, 0, c, s, 0, -s, c};
}

// Frame rotation about z: [[c, s, 0], [-s, c, 0], [0, 0, 1]].
MATRIX3 R3(double a) {
    const double c = std::cos(a), s = std::sin(a);
    return {c, s, 0, -s, c, 0, 0, 0, 1};
}

// R3(a3) R1(a2) R3(a1).
MATRIX3 EulerZXZ(double a1, double a2, double a3) {
    return MatrixProduct(R3(a3), MatrixProduct(R1(a2), R3(a1)));
}

// Turns the axes u and v by a within their plane: u' = u cos a + v sin a, v' = v cos a - u sin a.
void RotateAxisPair(double a, VECTOR3& u, VECTOR3& v) {
    const double c = std::cos(a), s = std::sin(a);
    const VECTOR3 un = u * c + v * s;
    v = v * c - u * s;
    u = un;
}

// The unit axes rotated by RotateZ(a1), RotateX(a2), RotateZ(a3), after RotateX(a0) first.
void RotatedAxes(double a0, double a1, double a2, double a3, VECTOR3* x, VECTOR3* y, VECTOR3* z) {
    VECTOR3 ax{1, 0, 0}, ay{0, 1, 0}, az{0, 0, 1};
    otk::RotateX(a0, ax, ay, az);
    otk::RotateZ(a1, ax, ay, az);
    otk::RotateX(a2, ax, ay, az);
    otk::RotateZ(a3, ax, ay, az);
    if (x) *x = ax;
    if (y) *y = ay;
    if (z) *z = az;
}

// The angle forms of EquatorOfDate and EclipticOfDate.
using DateAngles = void (*)(double mjd, double* a1, double* a2, double* a3);

MATRIX3 DateMatrix(DateAngles angles, double mjd) {
    double a1, a2, a3;
    angles(mjd, &a1, &a2, &a3);
    return EulerZXZ(a1, a2, a3);
}

void DateAxes(DateAngles angles, double mjd, double a0, VECTOR3* x, VECTOR3* y, VECTOR3* z) {
    double a1, a2, a3;
    angles(mjd, &a1, &a2, &a3);
    RotatedAxes(a0, a1, a2, a3, x, y, z);
}

// IAU 1976 precession angles zeta, z, theta in radians.
void PrecessionAngles(double mjd, double* zeta, double* z, double* theta) {
    const double T = Centuries(mjd);
    *zeta = ((0.017998 * T + 0.30188) * T + 2306.2181) * T * kArcSec;
    *z = ((0.018203 * T + 1.09468) * T + 2306.2181) * T * kArcSec;
    *theta = ((-0.041833 * T - 0.42665) * T + 2004.3109) * T * kArcSec;
}

// The three velocity-frame axes of (pos, vel): prograde, orbit normal, in-plane toward pos.
void VelocityFrame(const VECTOR3& pos, const VECTOR3& vel, VECTOR3* x, VECTOR3* y, VECTOR3* z) {
    const VECTOR3 h = CrossProduct(pos, vel);
    *x = unit(vel);
    *y = unit(h);
    *z = unit(CrossProduct(vel, h));
}

}  // namespace

namespace otk {

void PQW(double lan, double inc, double agp, const VECTOR3& X, const VECTOR3& Z, VECTOR3* P,
         VECTOR3* Q) {
    const VECTOR3 Y = CrossProduct(Z, X);
    const double cO = std::cos(lan), sO = std::sin(lan);
    const double ci = std::cos(inc), si = std::sin(inc);
    const double cw = std::cos(agp), sw = std::sin(agp);
    if (P) *P = X * (cO * cw - sO * sw * ci) + Y * (sO * cw + cO * sw * ci) + Z * (sw * si);
    if (Q) *Q = X * (-cO * sw - sO * cw * ci) + Y * (cO * cw * ci - sO * sw) + Z * (cw * si);
}

void ExtElem(sElements* el, double* inc, double* lan, double* agp, const VECTOR3& X,
             const VECTOR3& Z) {
    const VECTOR3 Y = CrossProduct(Z, X);
    const double i = AngleBetween(Z, el->W);
    VECTOR3 N = CrossProduct(Z, el->W);
    double O = 0.0;
    if (i > 1e-9)
        O = AngleInPlane(N, X, Y);
    else
        N = X;  // equatorial: the node is taken on the x axis
    // Measured from the node toward periapsis; a periapsis exactly at the node gives 2pi.
    const double w = el->eccentricity > 1e-9 ? PI2 - AngleInPlane(N, el->P, el->Q) : 0.0;
    if (inc) *inc = i;
    if (lan) *lan = O;
    if (agp) *agp = w;
}

VECTOR3 VFToGlobal(const VECTOR3& vf, const VECTOR3& pos, const VECTOR3& vel) {
    VECTOR3 x, y, z;
    VelocityFrame(pos, vel, &x, &y, &z);
    return x * vf.x + y * vf.y + z * vf.z;
}

VECTOR3 GlobalToVF(const VECTOR3& g, const VECTOR3& pos, const VECTOR3& vel) {
    VECTOR3 x, y, z;
    VelocityFrame(pos, vel, &x, &y, &z);
    return {dotp(g, x), dotp(g, y), dotp(g, z)};
}

void Polar2Cartesian(VECTOR3* pos, VECTOR3* vel) {
    if (!pos) return;
    const double lon = pos->x, lat = pos->y, R = pos->z * kAU;
    const double cl = std::cos(lon), sl = std::sin(lon);
    const double cb = std::cos(lat), sb = std::sin(lat);
    *pos = {R * cb * cl, R * cb * sl, R * sb};
    if (vel) {
        const double u = vel->z * kAU, v = vel->y * R, m = vel->x * R * cb;
        *vel = {cb * cl * u - sb * cl * v - sl * m, cb * sl * u - sb * sl * v + cl * m,
                sb * u + cb * v};
    }
}

void Polar2Cartesian_LH(VECTOR3* pos, VECTOR3* vel) {
    if (!pos) return;
    Polar2Cartesian(pos, vel);
    *pos = SwapYZ(*pos);
    if (vel) *vel = SwapYZ(*vel);
}

double ObliquityOfEcliptic(double mjd) {
    const double T = Centuries(mjd);
    return kObliquityJ2000 +
           ((8.789672038515888e-9 * T - 2.8604007185462624e-9) * T - 0.00022696552481142927) * T;
}

// The matrix R3(-z - pi/2) R1(theta) R3(pi/2 - zeta) equals the IAU 1976 precession matrix
// R3(-z) R2(theta) R3(-zeta): rows are the mean equator-of-date axes in J2000 coordinates.
void EquatorOfDate(double mjd, double* a1, double* a2, double* a3) {
    double zeta, z, theta;
    PrecessionAngles(mjd, &zeta, &z, &theta);
    if (a1) *a1 = M_PI / 2 - zeta;
    if (a2) *a2 = theta;
    if (a3) *a3 = -z - M_PI / 2;
}

void EclipticOfDate(double mjd, double* a1, double* a2, double* a3) {
    const double T = Centuries(mjd);
    const double Pi = (1.714301e-7 * T - 0.004216952) * T + 3.052168683;
    const double pi = ((2.90888e-10 * T - 1.600854e-7) * T + 0.0002278765) * T;
    const double p = ((-2.90888e-11 * T + 5.38691e-6) * T + 0.024381748) * T;
    if (a1) *a1 = Pi;
    if (a2) *a2 = pi;
    if (a3) *a3 = -p - Pi;
}

MATRIX3 EquatorOfDate(double mjd) {
    return DateMatrix(EquatorOfDate, mjd);
}

MATRIX3 EclipticOfDate(double mjd) {
    return DateMatrix(EclipticOfDate, mjd);
}

void EquatorOfDate(double mjd, VECTOR3* x, VECTOR3* y, VECTOR3* z) {
    DateAxes(EquatorOfDate, mjd, 0.0, x, y, z);
}

void EclipticOfDate(double mjd, VECTOR3* x, VECTOR3* y, VECTOR3* z) {
    DateAxes(EclipticOfDate, mjd, 0.0, x, y, z);
}

void EquatorOfDate2(double mjd, VECTOR3* x, VECTOR3* y, VECTOR3* z) {
    DateAxes(EquatorOfDate, mjd, -kObliquityJ2000, x, y, z);
}

MATRIX3 J2000EclToEqu(double mjd) {
    return MatrixProduct(EquatorOfDate(mjd), R1(-kObliquityJ2000));
}

void RotateX(double a, VECTOR3& x, VECTOR3& y, VECTOR3& z) {
    (void)x;
    RotateAxisPair(a, y, z);
}

void RotateZ(double a, VECTOR3& x, VECTOR3& y, VECTOR3& z) {
    (void)z;
    RotateAxisPair(a, x, y);
}

MATRIX3 _MRAxis(const VECTOR3& axis, double a) {
    const double x = axis.x, y = axis.y, z = axis.z;
    const double c = std::cos(a), s = std::sin(a), k = 1.0 - c;
    return {(1 - x * x) * c + x * x, x * y * k - s * z,       x * z * k + s * y,
            x * y * k + s * z,       (1 - y * y) * c + y * y, y * z * k - s * x,
            x * z * k - s * y,       y * z * k + s * x,       (1 - z * z) * c + z * z};
}

void gcl2gdl(double gcLat, double radius, double ecc, double eqRadius, double* gdLat,
             double* height) {
    // Fixed-point iteration on k = tan(geodetic) / tan(geocentric) in units of eqRadius.
    const double x = std::cos(gcLat) * radius / eqRadius, z = std::sin(gcLat) * radius / eqRadius;
    const double e2 = ecc * ecc, w = (1.0 - e2) * z * z;
    double k = 1.0, t = std::sqrt(x * x + w);
    for (int i = 0; i < 64; ++i) {
        const double u = 1.0 + e2 * k / t;
        t = std::sqrt(u * u * w + x * x);
        const bool done = std::fabs(k / u - 1.0) <= 1e-14;
        k = u;
        if (done) break;
    }
    if (gdLat) *gdLat = std::atan2(z * k, x);
    if (height) *height = (z * z * k + x * x - t) * eqRadius / std::sqrt(z * z * k * k + x * x);
}

void gdl2gcl(double gdLat, double height, double ecc, double eqRadius, double* gcLat,
             double* radius) {
    const double s = std::sin(gdLat), e2 = ecc * ecc;
    const double n = eqRadius / std::sqrt(1.0 - e2 * s * s);
    const double z = ((1.0 - e2) * n + height) * s, x = (n + height) * std::cos(gdLat);
    if (gcLat) *gcLat = std::atan2(z, x);
    if (radius) *radius = std::sqrt(x * x + z * z);
}

VECTOR3 Perpendicular(VECTOR3 v) {
    VECTOR3 r;
    if (v.x <= v.y && v.x <= v.z)
        r = {0, v.z, -v.y};
    else if (v.y <= v.z)
        r = {v.z, 0, -v.x};
    else
        r = {v.y, -v.x, 0};
    if (r.x != 0.0 || r.y != 0.0 || r.z != 0.0) return r;
    // v lies on an axis along its negative direction (e.g. (-1, 0, 0)), where the rule above
    // gives the zero vector: cross with the axis of v's smallest magnitude instead.
    const double ax = std::fabs(v.x), ay = std::fabs(v.y), az = std::fabs(v.z);
    if (ax <= ay && ax <= az) return {0, v.z, -v.y};
    if (ay <= az) return {v.z, 0, -v.x};
    return {v.y, -v.x, 0};
}

}  // namespace otk
