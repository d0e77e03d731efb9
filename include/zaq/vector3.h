// Inline 3-vector and 3x3-matrix helpers on the host's VECTOR3 and MATRIX3.
#pragma once

#include <cmath>

#include "zaq/host.h"

constexpr double PI2 = 6.283185307179586;

inline VECTOR3 operator+(const VECTOR3& a, const VECTOR3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline VECTOR3 operator-(const VECTOR3& a, const VECTOR3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline VECTOR3 operator-(const VECTOR3& a) {
    return {-a.x, -a.y, -a.z};
}
inline VECTOR3 operator*(const VECTOR3& a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline VECTOR3 operator*(double s, const VECTOR3& a) {
    return {a.x * s, a.y * s, a.z * s};
}
inline VECTOR3 operator/(const VECTOR3& a, double s) {
    return {a.x / s, a.y / s, a.z / s};
}
inline VECTOR3& operator+=(VECTOR3& a, const VECTOR3& b) {
    return a = a + b;
}
inline VECTOR3& operator-=(VECTOR3& a, const VECTOR3& b) {
    return a = a - b;
}
inline VECTOR3& operator*=(VECTOR3& a, double s) {
    return a = a * s;
}

/// Scalar product.
inline double dotp(const VECTOR3& a, const VECTOR3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
/// a x b.
inline VECTOR3 CrossProduct(const VECTOR3& a, const VECTOR3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(const VECTOR3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}
/// v / |v|.
inline VECTOR3 unit(const VECTOR3& v) {
    return v / Length(v);
}
/// Exchanges y and z: turns a host (left-handed) vector right-handed and back.
inline VECTOR3 SwapYZ(const VECTOR3& v) {
    return {v.x, v.z, v.y};
}

/// x taken into [0, 2pi]: above 2pi fmod(x, 2pi), below 0 2pi - fmod(-x, 2pi); 2pi stays 2pi.
inline double NormalizeAngle(double x) {
    if (x > PI2) return std::fmod(x, PI2);
    if (x < 0) return PI2 - std::fmod(-x, PI2);
    return x;
}

/// Angle between a and b in [0, pi].
inline double AngleBetween(const VECTOR3& a, const VECTOR3& b) {
    const double c = dotp(a, b) / (Length(a) * Length(b));
    if (c >= 1.0) return 0.0;
    if (c <= -1.0) return M_PI;
    return std::acos(c);
}

/// Angle of v in the plane of x (0) and y (pi/2), in [0, 2pi).
inline double AngleInPlane(const VECTOR3& v, const VECTOR3& x, const VECTOR3& y) {
    const double a = std::atan2(dotp(v, y) / Length(y), dotp(v, x) / Length(x));
    return a < 0 ? a + PI2 : a;
}

/// unit(a) cos t + unit(b) sin t.
inline VECTOR3 RotateToward(const VECTOR3& a, const VECTOR3& b, double t) {
    return unit(a) * std::cos(t) + unit(b) * std::sin(t);
}

/// The 3x3 product A B.
inline MATRIX3 MatrixProduct(const MATRIX3& A, const MATRIX3& B) {
    return {A.m11 * B.m11 + A.m12 * B.m21 + A.m13 * B.m31,
            A.m11 * B.m12 + A.m12 * B.m22 + A.m13 * B.m32,
            A.m11 * B.m13 + A.m12 * B.m23 + A.m13 * B.m33,
            A.m21 * B.m11 + A.m22 * B.m21 + A.m23 * B.m31,
            A.m21 * B.m12 + A.m22 * B.m22 + A.m23 * B.m32,
            A.m21 * B.m13 + A.m22 * B.m23 + A.m23 * B.m33,
            A.m31 * B.m11 + A.m32 * B.m21 + A.m33 * B.m31,
            A.m31 * B.m12 + A.m32 * B.m22 + A.m33 * B.m32,
            A.m31 * B.m13 + A.m32 * B.m23 + A.m33 * B.m33};
}

/// A v.
inline VECTOR3 mul(const MATRIX3& A, const VECTOR3& v) {
    return {A.m11 * v.x + A.m12 * v.y + A.m13 * v.z, A.m21 * v.x + A.m22 * v.y + A.m23 * v.z,
            A.m31 * v.x + A.m32 * v.y + A.m33 * v.z};
}

/// A^T v.
inline VECTOR3 tmul(const MATRIX3& A, const VECTOR3& v) {
    return {A.m11 * v.x + A.m21 * v.y + A.m31 * v.z, A.m12 * v.x + A.m22 * v.y + A.m32 * v.z,
            A.m13 * v.x + A.m23 * v.y + A.m33 * v.z};
}
