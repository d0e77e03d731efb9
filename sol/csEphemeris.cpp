// The solar-system model's ephemerides: true and barycentric states from the host's modules or
// the bodies' conics, barycentre offsets, and the interpolated state from a conic refitted
// between host samples. Part of the unit csMain (sol/Internal.h).
#include <cmath>

#include "sol/Internal.h"
#include "zaq/adaptors.h"
#include "zaq/constants.h"
#include "zaq/foundation.h"
#include "zaq/lambert.h"
#include "zaq/orbit.h"
#include "zaq/sol.h"
#include "zaq/vector3.h"

using zaq::kSecondsPerDay;
using zaq::sol::kZero;

namespace {

constexpr int kEphemPos = EPHEM_TRUEPOS | EPHEM_BARYPOS;

}  // namespace

// The star has no conic and no orbit: its queries answer with the origin (zero vectors,
// success). A conic body whose conic could not be built answers the same way.

int CSol::Sample(int i, double mjd, int request, VECTOR3* pos, VECTOR3* vel) const {
    CELBODY* cb = pBody[i].module;
    if (!cb) {
        if (pos) *pos = kZero;
        if (vel) *vel = kZero;
        return 0;
    }
    return otk::CelBody_RH(cb, mjd, request, pos, vel);
}

// Position from the module; a body with minors whose module gave the other kind of position
// is moved by its barycentre offset.
VECTOR3 CSol::EphemPos(int i, double mjd, bool bary) {
    Body& b = pBody[i];
    if (b.flags & CS_ELLIPTIC) return b.conic ? b.conic->PosByMJD(mjd) : kZero;
    if (!(b.flags & CS_EPHEMERIS)) return kZero;
    VECTOR3 p;
    const int bits = Sample(i, mjd, bary ? EPHEM_BARYPOS : EPHEM_TRUEPOS, &p, nullptr);
    if (b.nMinor > 0 && !bary && (bits & EPHEM_BARYPOS)) p -= GetEphemBaryOffset(i, mjd);
    if (b.nMinor > 0 && bary && (bits & EPHEM_TRUEPOS)) {
        b.flags |= CS_FALSEPOS;
        p += GetEphemBaryOffset(i, mjd);
    }
    return p;
}

VECTOR3 CSol::GetEphemTruePos(int i, double mjd) {
    return EphemPos(i, mjd, false);
}

VECTOR3 CSol::GetEphemBaryPos(int i, double mjd) {
    return EphemPos(i, mjd, true);
}

// Position from the module and velocity from a forward difference over 1e-5 of the period of a
// circular orbit at the body's distance.
bool CSol::StateByDifference(int i, double mjd, bool bary, VECTOR3* pos, VECTOR3* vel) {
    Body& b = pBody[i];
    const int request = bary ? EPHEM_BARYPOS : EPHEM_TRUEPOS;
    VECTOR3 p0, p1;
    if (!(Sample(i, mjd, request, &p0, nullptr) & kEphemPos)) return false;
    const double r = Length(p0);
    const double step = PI2 * std::sqrt(r * r * r / b.GM) * 1e-5;
    const double mjd1 = mjd + step / kSecondsPerDay;
    const int bits = Sample(i, mjd1, request, &p1, nullptr);
    // The span the two dates really lie apart, after rounding to the MJD's precision.
    const double dt = (mjd1 - mjd) * kSecondsPerDay;
    if (!(bits & kEphemPos) || !(dt > 0)) return false;
    if (b.nMinor > 0) {
        if (!bary && (bits & EPHEM_BARYPOS)) {
            p0 -= GetEphemBaryOffset(i, mjd);
            p1 -= GetEphemBaryOffset(i, mjd1);
        } else if (bary && (bits & EPHEM_TRUEPOS)) {
            b.flags |= CS_FALSEPOS;
            p0 += GetEphemBaryOffset(i, mjd);
            p1 += GetEphemBaryOffset(i, mjd1);
        }
    }
    *pos = p0;
    *vel = (p1 - p0) / dt;
    return true;
}

bool CSol::EphemState(int i, double mjd, bool bary, VECTOR3* pos, VECTOR3* vel) {
    Body& b = pBody[i];
    if (b.reference < 0) {
        *pos = kZero;
        if (vel) *vel = kZero;
        return true;
    }
    if (b.flags & CS_ELLIPTIC) {
        if (!b.conic) return false;
        b.conic->PosVelByMJD(mjd, pos, vel);
        return true;
    }
    if (!vel) {
        *pos = EphemPos(i, mjd, bary);
        return true;
    }
    if (!(b.flags & CS_EPHEMERIS)) return false;
    // The Moon's module is asked for position and velocity (both kinds of state): asked for the
    // position alone it need not fill the velocity, and a zero velocity would then pass into
    // the Moon's frame. A module that still gives no velocity falls back on differences.
    const int moonBits = i == moonId ? Sample(i, mjd, EPHEM_TRUEPOS | EPHEM_TRUEVEL, pos, vel) : 0;
    if (moonBits & (EPHEM_TRUEVEL | EPHEM_BARYVEL)) return true;
    return StateByDifference(i, mjd, bary, pos, vel);
}

bool CSol::GetEphemTruePosVel(int i, double mjd, VECTOR3* pos, VECTOR3* vel) {
    return EphemState(i, mjd, false, pos, vel);
}

bool CSol::GetEphemBaryPosVel(int i, double mjd, VECTOR3* pos, VECTOR3* vel) {
    return EphemState(i, mjd, true, pos, vel);
}

VECTOR3 CSol::GetEphemBaryOffset(int i, double mjd) {
    const Body& b = pBody[i];
    if (b.nMinor == 0) return kZero;
    double mass = b.mass;
    VECTOR3 sum = kZero;
    for (int k = 0; k < b.nMinor; ++k) {
        const int j = pMinor[b.firstMinor + k];
        if (!(pBody[j].flags & CS_BARYDISPL)) continue;
        sum += GetEphemBaryPos(j, mjd) * pBody[j].mass;
        if (!(pBody[j].flags & CS_PARENTBARY)) mass += pBody[j].mass;
    }
    return sum / mass;
}

bool CSol::GetEphemBaryOffset(int i, double mjd, VECTOR3* pos, VECTOR3* vel) {
    const Body& b = pBody[i];
    *pos = *vel = kZero;
    if (b.nMinor == 0) return false;
    double mass = b.mass;
    for (int k = 0; k < b.nMinor; ++k) {
        const int j = pMinor[b.firstMinor + k];
        if (!(pBody[j].flags & CS_BARYDISPL)) continue;
        VECTOR3 p = kZero, v = kZero;
        GetEphemBaryPosVel(j, mjd, &p, &v);
        *pos += p * pBody[j].mass;
        *vel += v * pBody[j].mass;
        if (!(pBody[j].flags & CS_PARENTBARY)) mass += pBody[j].mass;
    }
    *pos = *pos / mass;
    *vel = *vel / mass;
    return true;
}

// One interpolation sample: the barycentric position for a body with minors, else the true one.
VECTOR3 CSol::IpSample(int i, double mjd) {
    const Body& b = pBody[i];
    VECTOR3 p;
    Sample(i, mjd, b.nMinor > 0 ? EPHEM_BARYPOS : EPHEM_TRUEPOS, &p, nullptr);
    if (b.flags & CS_FALSEPOS) p += GetEphemBaryOffset(i, mjd);
    return p;
}

// Fits the conic through pos0 at t0 and pos1 at t1; on failure the conic stays as it was.
bool CSol::Refit(int i) {
    Body& b = pBody[i];
    double p = b.conic->semiLatus;  // start value; the conic keeps its own on failure
    VECTOR3 v0;
    const double span = (b.t1 - b.t0) * kSecondsPerDay;
    if (otk::LambertPN(b.pos0, b.pos1, span, 1.0, b.GM, &p, &v0, nullptr) <= 0) return false;
    b.conic->CreateFromStateVectors(b.pos0, v0, b.GM, b.t0);
    b.ipValid = true;
    return true;
}

bool CSol::GetIpPosVel(int i, double mjd, VECTOR3* pos, VECTOR3* vel) {
    Body& b = pBody[i];
    if (b.reference < 0) {
        *pos = kZero;
        if (vel) *vel = kZero;
        return true;
    }
    if (!b.conic) return false;
    if (!(b.flags & CS_ELLIPTIC)) {
        const double span = b.t1 - b.t0;
        bool refill = !b.ipValid, advance = false;
        if (b.ipValid) {
            if (mjd <= b.t1)
                refill = mjd < b.t0 && b.t0 - mjd > 0.25 * span;
            else if (mjd - b.t1 < 0.5 * span)
                advance = true;
            else
                refill = true;
        }
        if (refill || advance) {
            const double step = PI2 / (b.conic->meanMotion * b.samples);  // s
            if (refill) {
                b.t0 = mjd;
                b.t1 = mjd + step / kSecondsPerDay;
                b.pos0 = IpSample(i, b.t0);
            } else {
                b.t0 = b.t1;
                b.t1 += step / kSecondsPerDay;
                b.pos0 = b.pos1;
            }
            b.pos1 = IpSample(i, b.t1);
            if (!Refit(i)) {
                // The stored interval no longer matches the conic: the next call refits again
                // instead of answering from a conic of another interval.
                b.ipValid = false;
                if (refill) {
                    otk::LogErr(log, "GetIpPosVel(idObj=%d, mjd=%g) ts=%g LambertPN Failed", i,
                                b.t0, step);
                    otk::LogMsg(log, "BaryPos=%s", otk::VectorStr(GetEphemBaryPos(i, b.t0)));
                    otk::LogMsg(log, "Pos0=%s", otk::VectorStr(b.pos0));
                    otk::LogMsg(log, "Pos1=%s", otk::VectorStr(b.pos1));
                } else {
                    otk::LogErr(log, "Update: GetObjectPosVel(idObj=%d, mjd=%g) LambertPN Failed",
                                i, b.t0);
                }
                return false;
            }
        }
    }
    // Successive queries lie close together: each Kepler solve starts from the last one.
    b.conic->PosVelByMJD(mjd, pos, vel, b.anomaly);
    return true;
}
