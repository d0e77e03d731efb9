// Lambert solvers: Gauss's method, the p-iteration, and the universal-variable methods with
// bisection and with Newton steps; the Stumpff functions and the parabolic flight time.
//
// The solvers run inside searches that call them many times with slowly changing inputs, so they
// allocate nothing, report nothing, and spend as few transcendental calls per pass as they can:
// the transfer angle enters through its cosine and sine taken from the dot and cross products,
// and sines and cosines that follow from one another are derived rather than called again.
#include "zaq/lambert.h"

#include <cctype>
#include <cmath>

#include "foundation/FastMath.h"
#include "zaq/vector3.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double k4Pi2 = 39.47841760435743;    // 4 pi^2: z of one whole revolution
constexpr double k9x4Pi2 = 355.3057584392169;  // nine times 4 pi^2

constexpr int kCapG = 30, kPassesG = 32;
constexpr int kCapPN = 30, kPassesPN = 32;
constexpr int kCapUB = 40, kPassesUB = 42;
constexpr int kCapUN = 30, kPassesUN = 32;
constexpr int kRefineSteps = 4;

// The pass count n of a solver whose cap is `cap`: negated when above the cap.
inline int PassResult(int n, int cap) {
    return n > cap ? -n : n;
}

// True when a flight time and gravitational parameter allow a solution at all.
inline bool TimeAndMuValid(double t, double mu) {
    return t > 0 && std::isfinite(t) && mu > 0 && std::isfinite(mu);
}

// The geometry the solvers share: the radii and the cosine of the transfer angle (the angle
// between r1 and r2, in [0, pi]). False for a zero or non-finite radius and for a zero transfer
// angle, where no conic joins the two points in a finite time.
struct Ends {
    double r1, r2, c;
};

bool MakeEnds(const VECTOR3& r1, const VECTOR3& r2, Ends* e) {
    e->r1 = Length(r1);
    e->r2 = Length(r2);
    if (!(e->r1 > 0 && e->r2 > 0) || !std::isfinite(e->r1 * e->r2)) return false;
    e->c = dotp(r1, r2) / (e->r1 * e->r2);
    if (e->c > 1) e->c = 1;
    if (e->c < -1) e->c = -1;
    return e->c < 1;
}

// Sine of the transfer angle from the cross product, negative the long way (angle 2pi - dnu);
// zero for collinear positions.
inline double TransferSine(const VECTOR3& r1, const VECTOR3& r2, const Ends& e, bool longWay) {
    const double s = Length(CrossProduct(r1, r2)) / (e.r1 * e.r2);
    return longWay ? -s : s;
}

// Flight time on the parabola through the two ends, from the cosine of the transfer angle.
double ParabolicTime(double r1, double r2, double cosdnu, bool longWay, double mu) {
    const double chord = std::sqrt(std::fabs(r1 * r1 + r2 * r2 - 2 * r1 * r2 * cosdnu));
    const double m = 0.5 * (r1 + r2 + chord);
    const double d = std::fabs(m - chord);
    const double s = longWay ? -1.0 : 1.0;
    return std::sqrt(2 / (9 * mu)) * (m * std::sqrt(m) - s * d * std::sqrt(d));
}

// The velocities at both ends from the Lagrange coefficients f, g and gdot:
// v1 = (r2 - f r1)/g, v2 = (gdot r2 - r1)/g.
void WriteFG(const VECTOR3& r1, const VECTOR3& r2, double f, double g, double gdot, VECTOR3* vel1,
             VECTOR3* vel2) {
    const double ig = 1 / g;
    if (vel1) *vel1 = (r2 - f * r1) * ig;
    if (vel2) *vel2 = (gdot * r2 - r1) * ig;
}

// ---- Stumpff functions ------------------------------------------------------------------------
// C(z) = sum (-z)^k / (2k+2)!, S(z) = sum (-z)^k / (2k+3)!. Below |z| = 1 the series is summed
// (10 terms reach the double precision there); above, the closed forms. These lose digits to
// cancellation as z approaches 0 (S and the derivatives badly so: near |z| = 1e-6 the closed-form
// dS can come out with the wrong sign), but not for |z| >= 1.
constexpr double kSeriesLimit = 1.0;
constexpr int kTerms = 10;

constexpr double InvFactorial(int n) {
    double f = 1;
    for (int i = 2; i <= n; ++i) f *= i;
    return 1 / f;
}

struct Series {
    double c[kTerms], s[kTerms];
    constexpr Series() : c(), s() {
        double sign = 1;
        for (int k = 0; k < kTerms; ++k) {
            c[k] = sign * InvFactorial(2 * k + 2);
            s[k] = sign * InvFactorial(2 * k + 3);
            sign = -sign;
        }
    }
};
constexpr Series kSeries;

// The Stumpff functions at one z, with what a universal-variable pass needs besides them.
struct StumpffAt {
    double C, S;    // C(z), S(z)
    double dC, dS;  // dC/dz, dS/dz, when asked for
    double iSqC;    // 1/sqrt(C)
    double q;       // (1 - z S)/sqrt(C)
};

// Beyond the series the half-angle functions give everything from one sine-cosine pair (or one
// exponential) without cancellation in C: with z = w^2, C = 2 sin^2(w/2)/z, sin w =
// 2 sin(w/2) cos(w/2), sqrt(C) = sqrt(2) |sin(w/2)|/w and q = sqrt(2) cos(w/2) sgn(sin(w/2));
// with z = -w^2 the same with sinh and cosh. The derivatives follow from C and S:
// dC = (1 - z S - 2C)/(2z), dS = (C - 3S)/(2z), and from the series below |z| = 1.
inline void Stumpff(double z, bool derivatives, StumpffAt* f) {
    if (std::fabs(z) < kSeriesLimit) {
        double c = kSeries.c[kTerms - 1], s = kSeries.s[kTerms - 1];
        for (int k = kTerms - 2; k >= 0; --k) {
            c = c * z + kSeries.c[k];
            s = s * z + kSeries.s[k];
        }
        f->C = c;
        f->S = s;
        f->iSqC = 1 / std::sqrt(c);
        f->q = (1 - z * s) * f->iSqC;
        if (derivatives) {
            double dc = (kTerms - 1) * kSeries.c[kTerms - 1];
            double ds = (kTerms - 1) * kSeries.s[kTerms - 1];
            for (int k = kTerms - 2; k >= 1; --k) {
                dc = dc * z + k * kSeries.c[k];
                ds = ds * z + k * kSeries.s[k];
            }
            f->dC = dc;
            f->dS = ds;
        }
        return;
    }
    constexpr double kSqrt2 = 1.4142135623730951;
    const double iz = 1 / z;
    if (z > 0) {
        const double w = std::sqrt(z);
        double sh, ch;
        zaq::SinCos(0.5 * w, sh, ch);
        f->C = 2 * sh * sh * iz;
        f->S = (w - 2 * sh * ch) * w * iz * iz;  // 1/(z w) = w/z^2
        f->iSqC = w / (kSqrt2 * std::fabs(sh));
        f->q = sh < 0 ? -kSqrt2 * ch : kSqrt2 * ch;
    } else {
        const double w = std::sqrt(-z);
        const double e = std::exp(0.5 * w), ie = 1 / e;
        const double sh = 0.5 * (e - ie), ch = 0.5 * (e + ie);
        f->C = -2 * sh * sh * iz;
        f->S = (2 * sh * ch - w) * w * iz * iz;
        f->iSqC = w / (kSqrt2 * sh);
        f->q = kSqrt2 * ch;
    }
    if (derivatives) {
        f->dC = (1 - z * f->S - 2 * f->C) * 0.5 * iz;
        f->dS = (f->C - 3 * f->S) * 0.5 * iz;
    }
}

// Quantities of one universal-variable pass at z. y < 0 means that z lies outside the range
// where the transfer exists; t and the derivative are then not set.
struct UVPass {
    double y, x, t, dtdz;
};

// y = r1 + r2 - A (1 - z S)/sqrt(C), x = sqrt(y/C), t = (x^3 S + A sqrt(y))/sqrt(mu), and, when
// withDerivative, dt/dz = (x^3 (dS - 3 S dC/(2C)) + A/8 (3 S sqrt(y)/C + A/x))/sqrt(mu).
inline void UniversalPass(double z, double rsum, double A, double isqmu, bool withDerivative,
                          UVPass* u) {
    StumpffAt f;
    Stumpff(z, withDerivative, &f);
    u->y = rsum - A * f.q;
    if (u->y < 0) return;
    const double sqy = std::sqrt(u->y);
    u->x = sqy * f.iSqC;
    const double x3 = u->x * u->x * u->x;
    u->t = (x3 * f.S + A * sqy) * isqmu;
    if (withDerivative) {
        const double iC = f.iSqC * f.iSqC;
        u->dtdz =
            (x3 * (f.dS - 1.5 * f.S * f.dC * iC) + 0.125 * A * (3 * f.S * sqy * iC + A / u->x)) *
            isqmu;
    }
}

// Velocities of a universal-variable solution: f = 1 - y/r1, g = A sqrt(y/mu), gdot = 1 - y/r2.
void WriteUniversal(const VECTOR3& r1v, const VECTOR3& r2v, const Ends& e, double A, double y,
                    double mu, VECTOR3* vel1, VECTOR3* vel2) {
    if (!(y > 0)) return;  // no transfer at this z: nothing sensible to write
    WriteFG(r1v, r2v, 1 - y / e.r1, A * std::sqrt(y / mu), 1 - y / e.r2, vel1, vel2);
}

}  // namespace

namespace otk {

void CompCS(double* C, double* S, double z) {
    StumpffAt f;
    Stumpff(z, false, &f);
    *C = f.C;
    *S = f.S;
}

void Comp_dCdS(double* dC, double* dS, double* C, double* S, double z) {
    StumpffAt f;
    Stumpff(z, true, &f);
    *C = f.C;
    *S = f.S;
    *dC = f.dC;
    *dS = f.dS;
}

// ---- Gauss's method ---------------------------------------------------------------------------
// Successive substitution on the ratio y of sector to triangle, with x = sin^2(dE/4). The method
// covers elliptic transfers the short way; x outside (0, 1) means a hyperbolic (or degenerate)
// transfer, where the next pass would only produce non-finite values.
int LambertG(VECTOR3 r1v, VECTOR3 r2v, double t, double mu, double* py, VECTOR3* vel1,
             VECTOR3* vel2) {
    Ends e;
    if (!TimeAndMuValid(t, mu) || !MakeEnds(r1v, r2v, &e) || e.c <= -1) return kLambertDegenerate;
    const double s = TransferSine(r1v, r2v, e, false);
    if (!(s > 0)) return kLambertDegenerate;
    const double r1 = e.r1, r2 = e.r2, c = e.c;

    const double K = std::sqrt(2 * r1 * r2 * (1 + c));  // 2 sqrt(r1 r2) cos(dnu/2)
    const double l = (r1 + r2) / (2 * K) - 0.5;
    const double m = t * t * mu / (K * K * K);

    double y = (py && *py != 0) ? *py : 0.99;
    double x = 0;
    int n = 0;
    bool converged = false;
    while (n < kPassesG && !converged) {
        ++n;
        x = m / (y * y) - l;
        if (!(x > 0 && x < 1)) return kLambertDegenerate;
        // h = dE/2: cos h = 1 - 2x, sin h = 2 sqrt(x (1 - x)), (1 - cos h)/2 = x; 1/sin^3 h is
        // formed while acos runs.
        const double ch = 1 - 2 * x;
        const double sh2 = 4 * x * (1 - x), sh = std::sqrt(sh2);
        const double ish3 = 1 / (sh2 * sh);
        const double h = std::acos(ch);
        const double X = (2 * h - 2 * sh * ch) * ish3;  // (dE - sin dE)/sin^3 h
        const double yn = 1 + X * (l + x);
        converged = std::fabs(yn - y) < 1e-13 * std::fabs(y + yn);
        y = yn;
    }
    if (py) *py = y;

    const double omc = 1 - c;
    const double p = r1 * r2 * omc / (r1 + r2 - K * (1 - 2 * x));  // cos(dE/2) = 1 - 2x
    const double f = 1 - r2 / p * omc;
    const double g = r1 * r2 * s / std::sqrt(mu * p);
    const double gdot = 1 - r1 / p * omc;
    const double fdot = std::sqrt(mu / p) * (s / (1 + c)) * (omc / p - 1 / r1 - 1 / r2);
    if (vel1 || vel2) {
        const VECTOR3 v1 = (r2v - f * r1v) / g;
        if (vel1) *vel1 = v1;
        if (vel2) *vel2 = fdot * r1v + gdot * v1;
    }
    return PassResult(n, kCapG);
}

// ---- p-iteration ------------------------------------------------------------------------------
// Newton steps on the semi-latus rectum p. Between the two parabolic values p_lo < p_hi the
// transfer is elliptic, outside it hyperbolic; the short way needs p > p_lo, the long way
// 0 < p < p_hi, and a step beyond that bound is replaced by half the way to it.
int LambertPN(VECTOR3 r1v, VECTOR3 r2v, double t, double dir, double mu, double* pp, VECTOR3* vel1,
              VECTOR3* vel2) {
    const bool longWay = dir < 0;
    Ends e;
    if (!TimeAndMuValid(t, mu) || !MakeEnds(r1v, r2v, &e) || e.c <= -1) return kLambertDegenerate;
    const double s = TransferSine(r1v, r2v, e, longWay);
    if (s == 0) return kLambertDegenerate;
    const double r1 = e.r1, r2 = e.r2, c = e.c, omc = 1 - c;

    const double k = r1 * r2 * omc, l = r1 + r2, m = r1 * r2 * (1 + c);
    const double sq2m = std::sqrt(2 * m);
    const double pLo = k / (l + sq2m), pHi = k / (l - sq2m);
    const double q = 2 * m - l * l;  // -(chord^2)
    const double imk = 1 / (m * k);
    const double isqmu = 1 / std::sqrt(mu);
    const double r1r2s = r1 * r2 * s;
    const double kdot = 1 / r1 + 1 / r2;
    // fdot = sqrt(mu/p) tan(dnu/2) ((1 - cos dnu)/p - 1/r1 - 1/r2) has the sign of
    // s ((1 - c)/p - 1/r1 - 1/r2), since tan(dnu/2) = s/(1 + c).

    double p = 0.5 * (pLo + pHi);
    if (pp && *pp != 0) {
        const double p0 = *pp;
        const bool outside = longWay ? !(p0 < pHi && p0 > 0) : !(p0 > pLo && std::isfinite(p0));
        if (!outside) p = p0;
    }

    double f = 0, g = 0;
    int n = 0;
    while (n < kPassesPN) {
        ++n;
        const double ip = 1 / p, sqp = std::sqrt(p);
        const double ia = ((q * p + 2 * k * l) * p - k * k) * ip * imk;  // 1/a
        const double a = 1 / ia;
        f = 1 - r2 * ip * omc;
        g = r1r2s * isqmu / sqp;
        const double d = r1 * ia * (1 - f);  // 1 - cos dE, or 1 - cosh dF
        double tp, D;
        if (a > 0) {
            double cosE = 1 - d;
            if (cosE < -1) cosE = -1;
            if (cosE > 1) cosE = 1;
            double E = std::acos(cosE);
            double sinE = std::sqrt((1 - cosE) * (1 + cosE));
            if (s * (omc * ip - kdot) > 0) {
                E = 2 * kPi - E;
                sinE = -sinE;
            }
            const double sqa3 = a * std::sqrt(a) * isqmu;
            tp = g + sqa3 * (E - sinE);
            D = sqa3 * 2 * k * sinE * ip / (k - l * p);
        } else {
            const double dm = d < 0 ? -d : 0;  // cosh dF - 1
            const double sinhF = std::sqrt(dm * (dm + 2));
            const double F = std::log1p(dm + sinhF);
            const double sqa3 = -a * std::sqrt(-a) * isqmu;
            tp = g + sqa3 * (sinhF - F);
            D = -sqa3 * 2 * k * sinhF * ip / (k - l * p);
        }
        if (!std::isfinite(tp)) return kLambertDegenerate;
        // Stop on convergence, or at the cap with p, f and g of the last evaluated pass.
        if (std::fabs(tp - t) < 1e-9 * t || n == kPassesPN) break;
        const double dtdp =
            -0.5 * g * ip - 1.5 * a * (tp - g) * (q * p * p + k * k) * ip * ip * imk + D;
        double pn = p + (t - tp) / dtdp;
        if (longWay) {
            if (pn > pHi) pn = 0.5 * (p + pHi);
            if (!(pn > 0)) pn = 0.5 * p;  // p must stay positive
        } else if (!(pn > pLo)) {
            pn = 0.5 * (p + pLo);
        }
        p = pn;
    }
    if (pp) *pp = p;
    WriteFG(r1v, r2v, f, g, 1 - r1 / p * omc, vel1, vel2);
    return PassResult(n, kCapPN);
}

// ---- universal variables, bisection -----------------------------------------------------------
// Bisection on z over [-4pi^2, 4pi^2] for the direct transfer, where the flight time grows with
// z. With N > 0 whole revolutions the bracket is [(2pi N)^2, (2pi (N+1))^2]; there the flight
// time runs down from infinity at the lower end to a minimum and back up to infinity at the upper
// end, so a flight time above that minimum has two solutions. The bisection keeps to the branch
// of the lower end: a point where the time already rises (dt/dz > 0) or lies below the target is
// above the solution on that branch. The lower-z solution sweeps the smaller eccentric-anomaly
// change and spends its flight time mostly in its N revolutions: it is the long-period (larger
// semi-major axis) one of the pair. Below the minimum time there is no solution; the bisection
// closes in on the minimum and ends negated at its cap.
int LambertUB(VECTOR3 r1v, VECTOR3 r2v, double t, double dir, double mu, double* pz, int nRev,
              VECTOR3* vel1, VECTOR3* vel2) {
    Ends e;
    if (!TimeAndMuValid(t, mu) || nRev < 0 || !MakeEnds(r1v, r2v, &e)) return kLambertDegenerate;
    const double A = std::copysign(std::sqrt(e.r1 * e.r2 * (1 + e.c)), dir);
    if (A == 0 || !(dir > 0 || dir < 0)) return kLambertDegenerate;

    double lo = -k4Pi2, hi = k4Pi2;
    if (nRev > 0) {
        lo = PI2 * nRev * PI2 * nRev;
        hi = PI2 * (nRev + 1) * PI2 * (nRev + 1);
    }
    const double rsum = e.r1 + e.r2, isqmu = 1 / std::sqrt(mu), tol = 1e-6 * t;
    const bool multi = nRev > 0;
    UVPass u{};
    double z = 0;
    int n = 0;
    while (n < kPassesUB) {
        ++n;
        z = 0.5 * (lo + hi);
        UniversalPass(z, rsum, A, isqmu, multi, &u);
        if (u.y < 0) {
            lo = z;
            continue;
        }
        if (std::fabs(u.t - t) < tol) break;
        const bool below = multi ? (u.t < t || u.dtdz > 0) : (t < u.t);
        // Selects rather than branches: the side is a coin toss the predictor cannot learn.
        hi = below ? z : hi;
        lo = below ? lo : z;
    }
    if (pz) *pz = z;
    WriteUniversal(r1v, r2v, e, A, u.y, mu, vel1, vel2);
    return PassResult(n, kCapUB);
}

// ---- universal variables, Newton --------------------------------------------------------------
// Newton steps on z for elliptic transfers (0 < z < 4pi^2); a step below zero is replaced by a
// tenth of z, a step past 4pi^2 by nine parts 4pi^2 and one part z. Hyperbolic transfers and calls
// without a start value go to the bisection. The iteration starts from the stored value when that
// is an elliptic z (the warm start the in/out variable is for), otherwise at 2pi.
int LambertUN(VECTOR3 r1v, VECTOR3 r2v, double t, double dir, double mu, double* pz, VECTOR3* vel1,
              VECTOR3* vel2) {
    const bool longWay = dir < 0;
    Ends e;
    if (!TimeAndMuValid(t, mu) || !MakeEnds(r1v, r2v, &e)) return kLambertDegenerate;
    const double A = std::copysign(std::sqrt(e.r1 * e.r2 * (1 + e.c)), dir);
    if (A == 0 || !(dir > 0 || dir < 0)) return kLambertDegenerate;
    if (!pz || *pz == 0 || !(ParabolicTime(e.r1, e.r2, e.c, longWay, mu) < t))
        return LambertUB(r1v, r2v, t, dir, mu, pz, 0, vel1, vel2);

    const double rsum = e.r1 + e.r2, isqmu = 1 / std::sqrt(mu), tol = 1e-6 * t;
    UVPass u{};
    double z = *pz > 0 && *pz < k4Pi2 ? *pz : PI2;
    int n = 0;
    while (n < kPassesUN) {
        ++n;
        UniversalPass(z, rsum, A, isqmu, true, &u);
        if (u.y < 0) return kLambertNegativeY;
        if (std::fabs(u.t - t) < tol || n == kPassesUN) break;
        double zn = z + (t - u.t) / u.dtdz;
        if (!(zn >= 0)) zn = 0.1 * z;
        if (zn > k4Pi2) zn = 0.1 * (z + k9x4Pi2);
        z = zn;
    }
    *pz = z;
    WriteUniversal(r1v, r2v, e, A, u.y, mu, vel1, vel2);
    return PassResult(n, kCapUN);
}

// ---- refinement --------------------------------------------------------------------------------
// The solvers stop when the flight time is right to about 1e-9 (1e-6 for the universal-variable
// ones): their velocities are right to about that much. Newton steps on the universal-variable
// time equation, started from the solution's own z, take it to the precision of the arithmetic;
// the Stumpff series keep the time equation well conditioned near the parabola. The solution's
// universal anomaly follows from both ends: chi = sigma2 - sigma1 + alpha sqrt(mu) t with
// sigma = r.v/sqrt(mu) and alpha = 1/a, and z = alpha chi^2.
int LambertRefine(VECTOR3 r1v, VECTOR3 r2v, double t, double dir, double mu, VECTOR3* vel1,
                  VECTOR3* vel2) {
    Ends e;
    if (!vel1 || !vel2 || !TimeAndMuValid(t, mu) || !MakeEnds(r1v, r2v, &e))
        return kLambertDegenerate;
    const double A = std::copysign(std::sqrt(e.r1 * e.r2 * (1 + e.c)), dir);
    if (A == 0 || !(dir > 0 || dir < 0)) return kLambertDegenerate;
    const double sqmu = std::sqrt(mu), isqmu = 1 / sqmu, rsum = e.r1 + e.r2;
    const double alpha = 2 / e.r1 - dotp(*vel1, *vel1) / mu;
    const double chi = (dotp(r2v, *vel2) - dotp(r1v, *vel1)) * isqmu + alpha * sqmu * t;
    double z = alpha * chi * chi;
    if (!std::isfinite(z)) return kLambertDegenerate;
    UVPass u{};
    int n = 0;
    for (; n < kRefineSteps; ++n) {
        UniversalPass(z, rsum, A, isqmu, true, &u);
        if (!(u.y > 0) || !(u.dtdz != 0) || !std::isfinite(u.t)) return kLambertDegenerate;
        const double dz = (t - u.t) / u.dtdz;
        z += dz;
        // Newton's error squares with each step: after one of 1e-10 the next would be below the
        // rounding of the time equation.
        if (std::fabs(dz) <= 1e-10 * std::fmax(1.0, std::fabs(z))) break;
    }
    UniversalPass(z, rsum, A, isqmu, false, &u);
    if (!(u.y > 0)) return kLambertDegenerate;
    WriteUniversal(r1v, r2v, e, A, u.y, mu, vel1, vel2);
    return n < kRefineSteps ? n + 1 : -n;
}

// ---- one call for all four ----------------------------------------------------------------------

int Lambert(LambertSolver solver, VECTOR3 r1, VECTOR3 r2, double t, double dir, double mu,
            double* w, VECTOR3* vel1, VECTOR3* vel2) {
    switch (solver) {
        case LambertSolver::G:
            // Gauss's method joins the short way only.
            return dir < 0 ? kLambertDegenerate : LambertG(r1, r2, t, mu, w, vel1, vel2);
        case LambertSolver::PN:
            return LambertPN(r1, r2, t, dir, mu, w, vel1, vel2);
        case LambertSolver::UB:
            return LambertUB(r1, r2, t, dir, mu, w, 0, vel1, vel2);
        case LambertSolver::UN:
            return LambertUN(r1, r2, t, dir, mu, w, vel1, vel2);
    }
    return kLambertDegenerate;
}

const char* LambertSolverName(LambertSolver solver) {
    switch (solver) {
        case LambertSolver::G:
            return "G";
        case LambertSolver::PN:
            return "PN";
        case LambertSolver::UB:
            return "UB";
        case LambertSolver::UN:
            return "UN";
    }
    return "?";
}

bool ParseLambertSolver(const char* name, LambertSolver* solver) {
    if (!name) return false;
    constexpr LambertSolver kAll[] = {LambertSolver::G, LambertSolver::PN, LambertSolver::UB,
                                      LambertSolver::UN};
    for (LambertSolver s : kAll) {
        const char* a = name;
        const char* b = LambertSolverName(s);
        while (*a && std::toupper(static_cast<unsigned char>(*a)) == *b) ++a, ++b;
        if (*a == '\0' && *b == '\0') {
            *solver = s;
            return true;
        }
    }
    return false;
}

}  // namespace otk

double ParabolicFlightTime(double r1, double r2, double dnu, double mu) {
    return ParabolicTime(r1, r2, std::cos(dnu), dnu > kPi, mu);
}
