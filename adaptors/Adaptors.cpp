// Body, surface and frame adaptors: the host's left-handed body quantities made right-handed.
#include "zaq/adaptors.h"

#include <cmath>

#include "zaq/constants.h"
#include "zaq/foundation.h"
#include "zaq/orbit.h"
#include "zaq/vector3.h"

using zaq::kG;
using zaq::kSecondsPerDay;

namespace otk {

namespace {

constexpr double kSelfSOI = 1.49597870691e13;  // 100 AU: a body's sphere about itself

// R * Ry(theta), Ry the spin about the body's local y axis.
MATRIX3 SpunFrame(void* body, double theta) {
    MATRIX3 R;
    oapiGetPlanetObliquityMatrix(body, &R);
    const double c = std::cos(theta), s = std::sin(theta);
    const MATRIX3 Ry{c, 0, -s, 0, 1, 0, s, 0, c};
    return MatrixProduct(R, Ry);
}

// Point of longitude lng, latitude lat and radius r on the body at mjd.
VECTOR3 SurfacePoint(void* body, double mjd, double lng, double lat, double r) {
    const VECTOR3 A = RotationAxis(body);
    const VECTOR3 M = MeridianAxis(body, mjd);
    const VECTOR3 E = unit(CrossProduct(A, M));
    const double cl = std::cos(lat);
    return (M * (cl * std::cos(lng)) + E * (cl * std::sin(lng)) + A * std::sin(lat)) * r;
}

}  // namespace

void RH_oapiGetRelativePos(void* obj, void* ref, VECTOR3* out) {
    oapiGetRelativePos(obj, ref, out);
    if (out) *out = SwapYZ(*out);
}

void RH_oapiGetRelativeVel(void* obj, void* ref, VECTOR3* out) {
    oapiGetRelativeVel(obj, ref, out);
    if (out) *out = SwapYZ(*out);
}

void RH_oapiGetGlobalPos(void* obj, VECTOR3* out) {
    oapiGetGlobalPos(obj, out);
    if (out) *out = SwapYZ(*out);
}

void RH_oapiGetGlobalVel(void* obj, VECTOR3* out) {
    oapiGetGlobalVel(obj, out);
    if (out) *out = SwapYZ(*out);
}

VECTOR3 RotationAxis(void* body) {
    MATRIX3 R;
    oapiGetPlanetObliquityMatrix(body, &R);
    return VECTOR3{R.m12, R.m32, R.m22};
}

VECTOR3 SunTransit(void* body) {
    MATRIX3 R;
    oapiGetPlanetObliquityMatrix(body, &R);
    return VECTOR3{R.m11, R.m31, R.m21};
}

VECTOR3 MeridianAxis(void* body, double mjd) {
    // The rotation is extrapolated linearly from the current simulation time.
    const double theta = oapiGetPlanetCurrentRotation(body) +
                         PI2 * kSecondsPerDay * (mjd - oapiGetSimMJD()) / oapiGetPlanetPeriod(body);
    const MATRIX3 Q = SpunFrame(body, theta);
    return VECTOR3{Q.m11, Q.m31, Q.m21};
}

void GetLngLat(VECTOR3 pos, VECTOR3 rotAxis, VECTOR3 merAxis, double& lng, double& lat) {
    lng = AngleInPlane(pos, merAxis, CrossProduct(rotAxis, merAxis));
    if (lng > M_PI) lng -= PI2;
    lat = M_PI / 2 - AngleBetween(pos, rotAxis);
}

VECTOR3 VectorByLngLat(VECTOR3 rotAxis, VECTOR3 merAxis, double lng, double lat) {
    const VECTOR3 E = CrossProduct(rotAxis, merAxis);
    const double cl = std::cos(lat);
    return unit(merAxis) * (cl * std::cos(lng)) + unit(E) * (cl * std::sin(lng)) +
           unit(rotAxis) * std::sin(lat);
}

VECTOR3 GetBasePosition(void* base, double mjd) {
    double lng = 0, lat = 0, rad = 0;
    oapiGetBaseEquPos(base, &lng, &lat, &rad);
    const int nBody = static_cast<int>(oapiGetGbodyCount());
    for (int i = 0; i < nBody; ++i) {
        OBJHANDLE body = oapiGetGbodyByIndex(i);
        const int nBase = static_cast<int>(oapiGetBaseCount(body));
        for (int k = 0; k < nBase; ++k)
            if (oapiGetBaseByIndex(body, k) == base) return SurfacePoint(body, mjd, lng, lat, rad);
    }
    LogErr(ErrorLog, "GetBasePosition: Couldn't find a planet for a base");
    return VECTOR3{0, 0, 0};
}

VECTOR3 GetSurfaceLocation(void* body, double mjd, double lng, double lat) {
    return SurfacePoint(body, mjd, lng, lat, oapiGetSize(body));
}

VECTOR3 ConvertSurfaceLocation(void* body, double mjd, VECTOR3 pos, double posMjd) {
    const VECTOR3 A = RotationAxis(body);
    const VECTOR3 M1 = MeridianAxis(body, posMjd);
    const double lng = AngleInPlane(pos, M1, CrossProduct(A, M1));
    const double lat = M_PI / 2 - AngleBetween(pos, A);
    return SurfacePoint(body, mjd, lng, lat, Length(pos));
}

double GetHeading(void* body, VECTOR3& pos, VECTOR3& dir) {
    const VECTOR3 east = CrossProduct(RotationAxis(body), pos);
    const VECTOR3 north = CrossProduct(pos, east);
    return AngleInPlane(dir, north, east);
}

double CalculateSOI(void* body, void* ref) {
    if (body == ref) return kSelfSOI;
    const double mb = oapiGetMass(body), mr = oapiGetMass(ref);
    const double mu = kG * (mb + mr);
    VECTOR3 p, v;
    oapiGetRelativePos(body, ref, &p);
    oapiGetRelativeVel(body, ref, &v);
    const double r = Length(p), vv = Length(v);
    const double a = -mu * r / (r * vv * vv - 2.0 * mu);
    return a * std::pow(mb / mr, 0.4);
}

int CelBody_LH(CELBODY* cb, double mjd, int request, VECTOR3* pos, VECTOR3* vel) {
    double ret[12] = {0};
    const int flags = cb->clbkEphemeris(mjd, request, ret);
    VECTOR3 truePos{ret[0], ret[1], ret[2]}, trueVel{ret[3], ret[4], ret[5]};
    VECTOR3 baryPos{ret[6], ret[7], ret[8]}, baryVel{ret[9], ret[10], ret[11]};
    if (flags & EPHEM_POLAR) {
        if ((flags & EPHEM_TRUEPOS) && (flags & EPHEM_TRUEVEL))
            Polar2Cartesian_LH(&truePos, &trueVel);
        else if (flags & EPHEM_TRUEPOS)
            Polar2Cartesian_LH(&truePos, nullptr);
        if ((flags & EPHEM_BARYPOS) && (flags & EPHEM_BARYVEL))
            Polar2Cartesian_LH(&baryPos, &baryVel);
        else if (flags & EPHEM_BARYPOS)
            Polar2Cartesian_LH(&baryPos, nullptr);
    }
    const bool useTrue =
        (request & EPHEM_TRUEPOS) ? (flags & EPHEM_TRUEPOS) != 0 : (flags & EPHEM_BARYPOS) == 0;
    if (pos) *pos = useTrue ? truePos : baryPos;
    if (vel) *vel = useTrue ? trueVel : baryVel;
    return useTrue ? flags & (EPHEM_TRUEPOS | EPHEM_TRUEVEL)
                   : flags & (EPHEM_BARYPOS | EPHEM_BARYVEL);
}

int CelBody_RH(CELBODY* cb, double mjd, int request, VECTOR3* pos, VECTOR3* vel) {
    const int bits = CelBody_LH(cb, mjd, request, pos, vel);
    if (pos) *pos = SwapYZ(*pos);
    if (vel) *vel = SwapYZ(*vel);
    return bits;
}

double AllowedDisplacement(double acc, double precision, double dist, double gm) {
    return dist - dist * std::sqrt(gm / (acc * precision * dist * dist + gm));
}

}  // namespace otk
