// Anomaly conversions and the solvers of Kepler's equation.
//
// The closed-form conversions are evaluated in half-angle and arc-tangent forms: they give the
// same angles as the arc-cosine expressions of the textbooks but keep full precision near
// periapsis and apoapsis, where an arc cosine of a value close to +-1 loses half the digits.
#include <cmath>
#include <limits>

#include "foundation/FastMath.h"
#include "zaq/foundation.h"
#include "zaq/orbit.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Newton iteration limits and residual tolerances of the three Kepler solvers.
constexpr int kMaxSteps = 22;
constexpr int kMaxStepsRefine = 18;
constexpr double kTol = 1e-14;
constexpr double kTolRefine = 1e-12;
constexpr double kPoorStart = 0.5;
// The warm-started solver iterates without divisions while each round shrinks the error at
// least fourfold, until the error left is below kNearTol.
constexpr double kNearShrink = 0.25;
constexpr double kNearTol = 1e-17;
// A warm-started solution turns the start's sine and cosine by the step instead of evaluating
// them afresh, kRotations times in a row at most, so that their rounding errors cannot add up.
constexpr int kRotations = 16;
// How far sin^2 + cos^2 of a start may lie from 1: the rounding of that many rotations.
constexpr double kOnCircle = 1e-14;

inline double Clamp1(double d) {
    return d > 1.0 ? 1.0 : (d < -1.0 ? -1.0 : d);
}

// sin h and 1 - cos h for |h| <= 1 from their Taylor series, truncated where the next term is
// below 1e-17 in three ranges of |h|: the first Newton steps are large, the last ones tiny.
[[gnu::always_inline]] inline void SinVers(double h, double& sh, double& vh) {
    const double h2 = h * h;
    if (h2 <= 1e-6) {
        sh = h - h * h2 * (1.0 / 6);
        vh = h2 * (0.5 - h2 * (1.0 / 24));
        return;
    }
    // Pairs of terms are evaluated side by side to shorten the dependency chain.
    const double h4 = h2 * h2;
    const double s01 = 1.0 - h2 * (1.0 / 6), s23 = 1.0 / 120 - h2 * (1.0 / 5040);
    const double v01 = 0.5 - h2 * (1.0 / 24), v23 = 1.0 / 720 - h2 * (1.0 / 40320);
    if (h2 <= 1e-4) {  // the first step along a finely sampled orbit
        sh = h * (s01 + h4 * (1.0 / 120));
        vh = h2 * (v01 + h4 * (1.0 / 720));
        return;
    }
    if (h2 <= 1.0 / 64) {
        sh = h * (s01 + h4 * (s23 + h4 * (1.0 / 362880)));
        vh = h2 * (v01 + h4 * (v23 + h4 * (1.0 / 3628800)));
        return;
    }
    const double s45 = 1.0 / 362880 - h2 * (1.0 / 39916800);
    const double s67 = 1.0 / 6227020800 - h2 * (1.0 / 1307674368000);
    const double v45 = 1.0 / 3628800 - h2 * (1.0 / 479001600);
    const double v67 = 1.0 / 87178291200 - h2 * (1.0 / 20922789888000);
    const double h8 = h4 * h4;
    sh = h * ((s01 + h4 * s23) + h8 * ((s45 + h4 * s67) + h8 * (1.0 / 355687428096000)));
    vh = h2 * ((v01 + h4 * v23) + h8 * ((v45 + h4 * v67) + h8 * (1.0 / 6402373705728000)));
}

// An eccentric anomaly E with e sin and e cos of the angle, the terms of the residual of
// Kepler's equation and of its derivative. A Newton step d turns them by d with the
// angle-addition formulas and the series above instead of two new transcendental calls.
// Rounding E + d to a double loses a little of the step; that remainder is kept in lo, so
// (es, ec) belong exactly to E + lo and the residual is taken at that angle, while E itself
// advances by E += d as a plain Newton iteration does. A step above 1 rad, or the 64th update
// in a row (their rounding errors add up), evaluates the sine and cosine afresh.
struct Anomaly {
    double e, E, es, ec, lo = 0.0;
    int updates = 0;

    Anomaly(double x, double ecc) : e(ecc), E(x) { Fresh(); }
    // From an angle whose sine and cosine are known already.
    Anomaly(double x, double ecc, double s, double c) : e(ecc), E(x), es(ecc * s), ec(ecc * c) {}

    void Fresh() {
        double s, c;
        zaq::SinCos(E, s, c);
        es = e * s;
        ec = e * c;
        lo = 0.0;
        updates = 0;
    }

    // The residual e sin E + (M - E) and its derivative 1 - e cos E.
    double Residual(double M) const { return es + ((M - E) - lo); }
    double Slope() const { return 1.0 - ec; }

    [[gnu::always_inline]] void Advance(double d) {
        const double x = E + d;
        // Two-sum: the rounding error of E + d, formed beside the rotation.
        const double dd = x - E;
        const double err = (E - (x - dd)) + (d - dd);
        E = x;
        if (std::fabs(d) > 1.0 || ++updates > 64) {
            Fresh();
            return;
        }
        lo += err;
        double sh, vh;
        SinVers(d, sh, vh);
        const double esNew = es + (ec * sh - es * vh);
        ec -= es * sh + ec * vh;
        es = esNew;
    }
};

// Newton iteration with clamped steps on the residual, until |f| <= tol or maxSteps steps; the
// last residual.
inline double NewtonElliptic(double M, Anomaly& a, double tol, int maxSteps) {
    double f = a.Residual(M);
    for (int n = 0; std::fabs(f) > tol && n < maxSteps; ++n) {
        a.Advance(Clamp1(f / a.Slope()));
        f = a.Residual(M);
    }
    return f;
}

// Solver A on an ellipse: start M + e sin M, reached from sin M and cos M by one update.
inline Anomaly SolveElliptic(double M, double e) {
    Anomaly a(M, e);
    a.Advance(a.es);
    a.updates = 0;
    NewtonElliptic(M, a, kTol, kMaxSteps);
    return a;
}

// Hyperbolic Kepler equation M = e sinh H - H from H = 0 with clamped steps. One exponential
// per step gives both sinh H and cosh H.
double SolveHyperbolic(double M, double e) {
    double H = 0.0;
    double f = M;  // M - e sinh 0 + 0
    double ch = 1.0;
    for (int n = 0; std::fabs(f) > kTol && n < kMaxSteps; ++n) {
        // At H = 0 with e = 1 the derivative is 0: the infinite step is clamped to +-1.
        H += Clamp1(f / (e * ch - 1.0));
        const double x = std::exp(H), r = 1.0 / x;
        ch = 0.5 * (x + r);
        f = M - e * (0.5 * (x - r)) + H;
    }
    return H;
}

}  // namespace

namespace otk {

double mna2eca(double M, double e) {
    if (e < 1.0) return SolveElliptic(M, e).E;
    return SolveHyperbolic(M, e);
}

double mna2eca(double M, double e, double E0) {
    if (e >= 1.0) return mna2eca(M, e);
    Anomaly a(E0, e);
    const double f = a.Residual(M);
    // A start that is too poor (or not a number) falls back to the full solver.
    if (!(std::fabs(f) <= kPoorStart)) return mna2eca(M, e);
    if (std::fabs(f) <= kTolRefine) return E0;
    NewtonElliptic(M, a, kTolRefine, kMaxStepsRefine);
    return a.E;
}

void mna2eca(double M, double e, sAnomaly& near) {
    // The start is read out first and the solution written back field by field: a structure
    // returned and copied over the start would be read back through stores it cannot forward.
    double E0 = near.E;
    const double s0 = near.sinE, c0 = near.cosE;
    const int rotations = near.rotations;
    near.rotations = 0;
    if (!(e < 1.0)) {
        near.E = SolveHyperbolic(M, e);
        near.sinE = std::sinh(near.E);
        near.cosE = std::cosh(near.E);
        return;
    }
    // The start taken to the turn of M; its sine and cosine stay as they are.
    if (!(std::fabs(M - E0) <= M_PI)) E0 += PI2 * std::nearbyint((M - E0) / PI2);
    // With d = E - E0, es = e sin E0 and ec = e cos E0 Kepler's equation reads
    // d (1 - ec) = f0 - es (1 - cos d) + ec (sin d - d), f0 = es + M - E0 the residual at the
    // start. Iterated on d from the Newton step, every round shrinks the error at least by the
    // factor shrink, about e |d| / (1 - ec): from a close start (the last date of a propagation)
    // two or three rounds without a division give the solution to rounding.
    const double es = e * s0, ec = e * c0;
    const double f0 = es + (M - E0), inv = 1.0 / (1.0 - ec);
    double d = f0 * inv;
    const double shrink = (std::fabs(es) + std::fabs(d)) * std::fabs(d) * inv;
    // Only a point of the circle is a start: not a hyperbolic anomaly left by an earlier conic.
    const bool onCircle = std::fabs(s0 * s0 + c0 * c0 - 1.0) <= kOnCircle;
    if (onCircle && shrink <= kNearShrink) {
        for (int n = 0; n < kMaxSteps; ++n) {
            double sd, vd;
            SinVers(d, sd, vd);
            const double next = (f0 - es * vd + ec * (sd - d)) * inv;
            const double change = next - d;
            d = next;
            if (std::fabs(change) * shrink <= kNearTol) break;
        }
        near.E = E0 + d;
        if (rotations < kRotations) {
            // The angle-addition formulas: a few products where a sine and cosine would cost a
            // range reduction and two polynomials.
            double sd, vd;
            SinVers(d, sd, vd);
            near.sinE = s0 + (c0 * sd - s0 * vd);
            near.cosE = c0 - (s0 * sd + c0 * vd);
            near.rotations = rotations + 1;
            return;
        }
    } else {
        // A start too far for that (or none): Newton's method from it, or the plain solver. The
        // step of the last residual is taken as well, for the solution to rounding.
        Anomaly a(E0, e, s0, c0);
        if (!onCircle || !(std::fabs(f0) <= kPoorStart)) a = SolveElliptic(M, e);
        const double f = NewtonElliptic(M, a, kTol, kMaxSteps);
        near.E = a.E + (a.lo + f / a.Slope());
    }
    // Sine and cosine afresh, so that the next start carries no rounding of its own.
    zaq::SinCos(near.E, near.sinE, near.cosE);
}

void mna2eca(int n, double e, const double* M, double* E) {
    if (!(e < 1.0)) {
        ZAQ_ERROR("otk::mna2eca", "Function doesn't support hyperbolic orbits");
        return;
    }
    if (n < 1) return;  // nothing to solve
    if (!M || !E) {
        ZAQ_ERROR("otk::mna2eca", "Null array");
        return;
    }
    Anomaly a = SolveElliptic(M[0], e);
    E[0] = a.E;
    // Each further element starts from the previous solution, whose sine and cosine are
    // already known, with plain (unclamped) Newton steps.
    for (int k = 1; k < n; ++k) {
        double f = a.Residual(M[k]);
        for (int i = 0; std::fabs(f) > kTol && i < kMaxSteps; ++i) {
            a.Advance(f / a.Slope());
            f = a.Residual(M[k]);
        }
        E[k] = a.E;
    }
}

double tra2eca(double nu, double e) {
    // tan(nu'/2) of the angle nu' in [0, pi] with the same cosine as nu.
    const double t = std::fabs(std::tan(0.5 * nu));
    if (e > 1.0) {
        // tanh(H/2) = sqrt((e-1)/(e+1)) tan(nu/2); beyond the asymptotes atanh gives NaN.
        const double H = 2.0 * std::atanh(std::sqrt((e - 1.0) / (e + 1.0)) * t);
        return nu > M_PI ? -H : H;
    }
    // tan(E/2) = sqrt((1-e)/(1+e)) tan(nu/2); e = 1 gives 0.
    const double E = 2.0 * std::atan(std::sqrt((1.0 - e) / (1.0 + e)) * t);
    return nu > M_PI ? PI2 - E : E;
}

double eca2mna(double E, double e) {
    if (e == 0.0) return E;
    if (e < 1.0) return E - e * std::sin(E);
    return e * std::sinh(E) - E;
}

double eca2tra(double E, double e) {
    if (e == 0.0) return E;
    if (e < 1.0) {
        // Mirrored by E > pi only: a negative E gives the angle of |E|.
        const double nu =
            2.0 * std::atan(std::sqrt((1.0 + e) / (1.0 - e)) * std::fabs(std::tan(0.5 * E)));
        return E > M_PI ? PI2 - nu : nu;
    }
    const double nu =
        2.0 * std::atan(std::sqrt((e + 1.0) / (e - 1.0)) * std::tanh(0.5 * std::fabs(E)));
    return E < 0.0 ? PI2 - nu : nu;
}

double mna2tra(double M, double e) {
    return eca2tra(mna2eca(M, e), e);
}

double tra2mna(double nu, double e) {
    if (e == 0.0) return nu;
    return eca2mna(tra2eca(nu, e), e);
}

double eca2nra(double E, double e) {
    if (e < 1.0) {
        // The outward normal of the ellipse at E points along (sqrt(1-e^2) cos E, sin E).
        const double n = std::atan2(std::fabs(std::sin(E)), std::sqrt(1.0 - e * e) * std::cos(E));
        return E > M_PI ? PI2 - n : n;
    }
    // On the hyperbola along (sqrt(e^2-1), tanh H) (scaled by cosh H to stay finite).
    const double n = std::atan2(std::fabs(std::tanh(E)), std::sqrt(e * e - 1.0));
    return E < 0.0 ? PI2 - n : n;
}

double nra2eca(double n, double e) {
    const double s = std::fabs(std::sin(n)), c = std::cos(n);
    if (e < 1.0) {
        // tan E = sqrt(1-e^2) tan n.
        const double E = std::atan2(std::sqrt(1.0 - e * e) * s, c);
        return n > M_PI ? PI2 - E : E;
    }
    // tanh H = sqrt(e^2-1) tan n; a normal pointing backward (cos n < 0) or beyond the
    // asymptotes is outside the hyperbola's range.
    if (c < 0.0) return kNaN;
    const double H = std::atanh(std::sqrt(e * e - 1.0) * s / c);
    return n > M_PI ? -H : H;
}

double eca2fpa(double E, double e) {
    if (e == 0.0) return 0.0;
    if (e < 1.0) {
        // tan g = e sin E / sqrt(1-e^2); negative in the second half.
        const double g = std::atan2(e * std::fabs(std::sin(E)), std::sqrt(1.0 - e * e));
        return E > M_PI ? -g : g;
    }
    const double g = std::atan2(e * std::fabs(std::sinh(E)), std::sqrt(e * e - 1.0));
    return E < 0.0 ? -g : g;
}

double fpa2eca(double g, double e) {
    if (e == 0.0) return 0.0;
    const double s = std::sin(std::fabs(g)), c = std::cos(std::fabs(g));
    // A flight-path angle beyond +-90 degrees is outside every conic.
    if (c < 0.0) return kNaN;
    if (e < 1.0) {
        // sin E = sqrt(1-e^2) sin g / (e cos g), cos E = sqrt(e^2 - sin^2 g) / (e cos g): the
        // point in the first quarter; NaN when |g| is above the orbit's largest angle, asin e,
        // except for the rounding of sin g at that largest angle itself (E = pi/2).
        double d = (e - s) * (e + s);
        if (d < 0.0 && d > -4 * std::numeric_limits<double>::epsilon() * e * e) d = 0.0;
        const double E = std::atan2(std::sqrt(1.0 - e * e) * s, std::sqrt(d));
        // A negative angle lies before periapsis: of the two candidates pi + E and 2pi - E we
        // return the mirror image 2pi - E, so that eca2fpa(fpa2eca(g, e), e) == g and the
        // result matches the sign convention of the hyperbolic branch (-H).
        return g < 0.0 ? PI2 - E : E;
    }
    // sinh H = sqrt(e^2-1) tan g / e.
    const double H = std::asinh(std::sqrt(e * e - 1.0) * s / (e * c));
    return g < 0.0 ? -H : H;
}

}  // namespace otk
