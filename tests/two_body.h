// An independent two-body reference for the tests: the Stumpff functions and a universal-variable
// Kepler propagator, in long double and written apart from the library's own Kepler and Lambert
// code, so that they can judge it.
#pragma once

#include <algorithm>
#include <cmath>

#include "zaq/vector3.h"

namespace zaq::test {

/// Stumpff functions C(z), S(z) and, when asked for, dC/dz and dS/dz: series below |z| = 0.1,
/// closed forms above.
inline void RefStumpff(long double z, long double* C, long double* S, long double* dC = nullptr,
                       long double* dS = nullptr) {
    typedef long double ld;
    if (std::fabs(z) < 0.1L) {
        ld c = 0, s = 0, dc = 0, ds = 0, fc = 2, fs = 6, zk = 1, zk1 = 0;  // (2k+2)!, (2k+3)!
        for (int k = 0; k < 12; ++k) {
            const ld sign = (k % 2) ? -1 : 1;
            c += sign * zk / fc;
            s += sign * zk / fs;
            dc += sign * k * zk1 / fc;
            ds += sign * k * zk1 / fs;
            zk1 = zk;
            zk *= z;
            fc *= (2 * k + 3) * (2 * k + 4);
            fs *= (2 * k + 4) * (2 * k + 5);
        }
        *C = c, *S = s;
        if (dC) *dC = dc, *dS = ds;
        return;
    }
    if (z > 0) {
        const ld w = std::sqrt(z);
        *C = (1 - std::cos(w)) / z;
        *S = (w - std::sin(w)) / (z * w);
    } else {
        const ld w = std::sqrt(-z);
        *C = (std::cosh(w) - 1) / -z;
        *S = (std::sinh(w) - w) / (-z * w);
    }
    if (dC) *dC = (1 - z * *S - 2 * *C) / (2 * z), *dS = (*C - 3 * *S) / (2 * z);
}

struct TwoBodyState {
    VECTOR3 r, v;
};

/// Position and velocity after dt (either sign) from (r0, v0) about mu: Kepler's equation in the
/// universal anomaly chi, whose flight time grows monotonically with chi (dt/dchi = r), solved by
/// Newton steps kept inside a shrinking bracket. Elliptic spans are first reduced below one
/// period; a negative span is flown forward with the velocity reversed (time reversal).
inline TwoBodyState FlyTwoBody(const VECTOR3& r0, const VECTOR3& v0, double dt, double mu) {
    typedef long double ld;
    if (dt < 0) {
        TwoBodyState back = FlyTwoBody(r0, -v0, -dt, mu);
        back.v = -back.v;
        return back;
    }
    const ld R0 = std::sqrt((ld)r0.x * r0.x + (ld)r0.y * r0.y + (ld)r0.z * r0.z);
    const ld V2 = (ld)v0.x * v0.x + (ld)v0.y * v0.y + (ld)v0.z * v0.z;
    const ld RV = (ld)r0.x * v0.x + (ld)r0.y * v0.y + (ld)r0.z * v0.z;
    const ld sqmu = std::sqrt((ld)mu);
    const ld alpha = 2 / R0 - V2 / mu;
    ld t = dt, hi;
    if (alpha > 0) {
        const ld period = 2 * M_PIl / (sqmu * alpha * std::sqrt(alpha));
        t = std::fmod(t, period);
        hi = 2 * M_PIl / std::sqrt(alpha);
    } else {
        hi = 2 * sqmu * t / R0;
    }
    ld C, S, r = R0;
    auto F = [&](ld chi) {
        const ld z = alpha * chi * chi;
        RefStumpff(z, &C, &S);
        r = RV / sqmu * chi * (1 - z * S) + (1 - alpha * R0) * chi * chi * C + R0;
        return RV / sqmu * chi * chi * C + (1 - alpha * R0) * chi * chi * chi * S + R0 * chi -
               sqmu * t;
    };
    for (int i = 0; i < 400 && F(hi) < 0; ++i) hi *= 2;
    ld lo = 0, chi = std::min(hi / 2, sqmu * t / R0);
    for (int i = 0; i < 200; ++i) {
        const ld f = F(chi);
        if (f > 0)
            hi = chi;
        else
            lo = chi;
        ld next = chi - f / r;
        if (!(next > lo && next < hi)) next = 0.5L * (lo + hi);
        const bool done = std::fabs(next - chi) <= 1e-17L * hi;
        chi = next;
        if (done) break;
    }
    F(chi);
    const ld z = alpha * chi * chi;
    const ld f = 1 - chi * chi / R0 * C, g = t - chi * chi * chi / sqmu * S;
    const ld fd = sqmu / (r * R0) * (z * chi * S - chi), gd = 1 - chi * chi / r * C;
    TwoBodyState s;
    s.r = {(double)(f * r0.x + g * v0.x), (double)(f * r0.y + g * v0.y),
           (double)(f * r0.z + g * v0.z)};
    s.v = {(double)(fd * r0.x + gd * v0.x), (double)(fd * r0.y + gd * v0.y),
           (double)(fd * r0.z + gd * v0.z)};
    return s;
}

/// The velocities at both ends of the direct transfer from r1 to r2 in t about mu (dir > 0 the
/// short way), in long double: bisection on the universal variable z, along which the flight
/// time grows, down to the last place of a long double. False when no z in the bracket fits.
inline bool RefLambert(const VECTOR3& r1, const VECTOR3& r2, double t, double dir, double mu,
                       VECTOR3* v1, VECTOR3* v2) {
    typedef long double ld;
    const ld R1 = std::sqrt((ld)r1.x * r1.x + (ld)r1.y * r1.y + (ld)r1.z * r1.z);
    const ld R2 = std::sqrt((ld)r2.x * r2.x + (ld)r2.y * r2.y + (ld)r2.z * r2.z);
    const ld c = ((ld)r1.x * r2.x + (ld)r1.y * r2.y + (ld)r1.z * r2.z) / (R1 * R2);
    const ld A = std::copysign(std::sqrt(R1 * R2 * (1 + c)), (ld)dir), sqmu = std::sqrt((ld)mu);
    auto y = [&](ld z) {
        ld C, S;
        RefStumpff(z, &C, &S);
        return R1 + R2 + A * (z * S - 1) / std::sqrt(C);
    };
    auto time = [&](ld z) {  // -1 where y < 0: shorter than any flight
        ld C, S;
        RefStumpff(z, &C, &S);
        const ld Y = y(z);
        if (Y < 0) return ld(-1);
        const ld x = std::sqrt(Y / C);
        return (x * x * x * S + A * std::sqrt(Y)) / sqmu;
    };
    // Below -2000 the two terms of t cancel away; the time grows without bound toward 4 pi^2.
    ld lo = -2000, hi = 4 * M_PIl * M_PIl * (1 - 1e-7L);
    if (!(time(lo) < t && time(hi) > t)) return false;
    for (ld mid = 0.5L * (lo + hi); mid > lo && mid < hi; mid = 0.5L * (lo + hi))
        (time(mid) < t ? lo : hi) = mid;
    const ld Y = y(lo), f = 1 - Y / R1, g = A * std::sqrt(Y / mu), gd = 1 - Y / R2;
    const ld a[3] = {r1.x, r1.y, r1.z}, b[3] = {r2.x, r2.y, r2.z};
    double out1[3], out2[3];
    for (int i = 0; i < 3; ++i) {
        out1[i] = (double)((b[i] - f * a[i]) / g);
        out2[i] = (double)((gd * b[i] - a[i]) / g);
    }
    *v1 = {out1[0], out1[1], out1[2]};
    *v2 = {out2[0], out2[1], out2[2]};
    return true;
}

}  // namespace zaq::test
