// Mean orbits: ellipses whose elements drift linearly in time.
#include <cmath>
#include <cstddef>

#include "zaq/constants.h"
#include "zaq/orbit.h"
#include "zaq/vector3.h"

// Callers share the record by layout: two 32-bit ints, thirteen elements and rates, two
// reserved doubles, then the frame.
static_assert(offsetof(sMean, epoch) == 8 && offsetof(sMean, nodeRate) == 104 &&
                  offsetof(sMean, reserved) == 112 && offsetof(sMean, frame) == 128 &&
                  sizeof(sMean) == 128 + 9 * sizeof(double),
              "sMean layout");

double GetMeanOrbitPeriod(sMean* m) {
    if (!m) return std::nan("");
    return PI2 / m->n * zaq::kSecondsPerDay;
}

void GetMeanOrbitPosVel(sMean* m, double mjd, VECTOR3* pos, VECTOR3* vel, double* eca, VECTOR3* P,
                        VECTOR3* Q) {
    if (!m || !m->valid || (m->mode != 0 && m->mode != 1)) return;
    const double dt = mjd - m->epoch;
    double M, node, agp;
    if (m->mode == 0) {
        const double L = m->L0 + m->n * dt;
        const double lpe = m->w0 + m->wRate * dt;  // longitude of periapsis
        node = m->node0 + m->nodeRate * dt;
        agp = lpe - node;
        M = L - lpe;
    } else {
        // Node and periapsis regress; the mean longitude node + agp + M advances at n.
        M = m->L0 + (m->n + m->wRate + m->nodeRate) * dt;
        node = m->node0 - m->nodeRate * dt;
        agp = m->w0 - m->wRate * dt;
    }
    M = NormalizeAngle(M);
    node = NormalizeAngle(node);
    agp = NormalizeAngle(agp);
    const double inc = NormalizeAngle(m->i0 + m->iRate * dt);
    const double e = m->e0 + m->eRate * dt, a = m->a0 + m->aRate * dt;
    if (!(e >= 0 && e < 1) || !(a > 0)) return;  // drifted off an ellipse

    const double E = otk::mna2eca(M, e);
    const double cw = std::cos(agp), sw = std::sin(agp), cn = std::cos(node), sn = std::sin(node),
                 ci = std::cos(inc), si = std::sin(inc);
    // Perifocal axes in the orbit's own frame, then in the caller's: x along row 0, y along
    // row 2, the pole along row 1.
    const VECTOR3 p{cw * cn - sw * sn * ci, cw * sn + sw * cn * ci, sw * si};
    const VECTOR3 q{-sw * cn - cw * sn * ci, cw * cn * ci - sw * sn, cw * si};
    const MATRIX3& f = m->frame;
    const VECTOR3 r0{f.m11, f.m12, f.m13}, r1{f.m21, f.m22, f.m23}, r2{f.m31, f.m32, f.m33};
    const VECTOR3 Pv = r0 * p.x + r2 * p.y + r1 * p.z;
    const VECTOR3 Qv = r0 * q.x + r2 * q.y + r1 * q.z;

    const double cE = std::cos(E), sE = std::sin(E), rootOneMinusE2 = std::sqrt(1 - e * e);
    if (pos) *pos = Pv * (a * (cE - e)) + Qv * (a * rootOneMinusE2 * sE);
    if (vel) {
        // The true anomaly's cosine and sine, the sine signed by the half of the orbit.
        const double k = 1 - e * cE;
        const double cnu = (cE - e) / k, snu = rootOneMinusE2 * sE / k;
        const double s = a * m->n / rootOneMinusE2;
        *vel = Qv * (s * (cnu + e)) - Pv * (s * snu);
    }
    if (eca) *eca = E;
    if (P) *P = Pv;
    if (Q) *Q = Qv;
}

VECTOR3 GetMeanOrbitPos(sMean* m, double mjd) {
    VECTOR3 pos{0, 0, 0};
    GetMeanOrbitPosVel(m, mjd, &pos, nullptr, nullptr, nullptr, nullptr);
    return pos;
}
