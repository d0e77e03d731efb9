// One-dimensional root finders and minimisers, and the least-squares line.
#include <cmath>

#include "foundation/Address.h"
#include "zaq/foundation.h"
#include "zaq/solvers.h"

using zaq::Addr;

int FDNewton1DMin(void* ctx, ScalarFunction f, double tol, double maxStep, double h, double* x,
                  int maxIter) {
    double at = *x;
    for (int i = 0; i < maxIter; ++i) {
        double f0 = 0, fp = 0, fm = 0;
        if (f(ctx, at, &f0) < 0 || f(ctx, at + h, &fp) < 0 || f(ctx, at - h, &fm) < 0) {
            otk::LogErr(ErrorLog, "FDNewton1DMin: Evaluation of function(0x%llX) failed.", Addr(f));
            return -1;
        }
        const double d1 = (fp - fm) / (2.0 * h);
        const double d2 = (fp - 2.0 * f0 + fm) / (h * h);
        double step = std::fabs(d1 / d2);
        if (!(step < maxStep)) step = maxStep;  // also a NaN step from a flat stretch
        at = d1 > 0 ? at - step : at + step;
        if (step < tol) {
            *x = at;
            return i + 1;
        }
    }
    return -maxIter;
}

int FDNewton1D(void* ctx, ScalarFunction f, double tol, double lo, double hi, double h, double* x,
               double maxStep, int maxIter) {
    double at = *x;
    if (at <= lo || at >= hi) at = 0.5 * (lo + hi);
    double prev = 0;  // residual of the previous point; 0 when there is none to compare with
    double step = 0, fx = 0, d1 = 0;
    auto eval = [&](double where, double* value) {
        if (f(ctx, where, value) >= 0) return true;
        otk::LogErr(ErrorLog, "FDNewton1D: Evaluation of function(0x%llX) failed.", Addr(f));
        return false;
    };
    for (int i = 0; i < maxIter; ++i) {
        if (!eval(at, &fx)) return -1;
        if (prev != 0 && std::fabs(prev) < std::fabs(fx)) {
            otk::LogWrn(ErrorLog, "FDNewton1D: Solution got worse");
            at += 0.5 * step;  // half way back
            if (!eval(at, &fx)) return -1;
            if (std::fabs(prev) < std::fabs(fx)) {
                at += 0.4 * step;  // a tenth of the step from the previous point
                if (!eval(at, &fx)) return -1;
            }
        }
        double f1 = 0;
        if (!eval(at + h, &f1)) return -1;
        d1 = (f1 - fx) / h;
        step = fx / d1;
        prev = fx;
        if (maxStep > 0 && std::fabs(step) > maxStep) step = std::copysign(maxStep, step);
        if (std::fabs(fx) < tol) {
            *x = at;
            return i;
        }
        at -= step;
        if (at + h > hi) {
            at = hi - h;
            prev = 0;
            otk::LogWrn(ErrorLog, "FDNewton1D: Bracket hit");
        }
        if (at < lo) {
            at = lo;
            prev = 0;
            otk::LogWrn(ErrorLog, "FDNewton1D: Bracket hit");
        }
    }
    otk::LogErr(ErrorLog,
                "Maximum number of iterations (%d) reached in FDNewton1D. Tol=%g, f0=%g, d1=%g",
                maxIter, tol, fx, d1);
    return -maxIter;
}

namespace {
// True when a and b have opposite signs (the sign of b applied to |a| changes a).
bool SignsDiffer(double a, double b) {
    return std::copysign(a, b) != a;
}
}  // namespace

int Ridders(void* ctx, ScalarFunction f, double x1, double x2, double tol, double* root,
            int maxIter) {
    double f1 = 0, f2 = 0;
    f(ctx, x1, &f1);
    f(ctx, x2, &f2);
    if (!((f1 > 0 && f2 < 0) || (f1 < 0 && f2 > 0))) {
        if (f1 == 0) {
            *root = x1;
            return 1;
        }
        if (f2 == 0) {
            *root = x2;
            return 1;
        }
        return -1;
    }
    double a = 0;
    int i = 1;
    for (; i < maxIter; ++i) {
        const double xm = 0.5 * (x1 + x2);
        double fm = 0;
        f(ctx, xm, &fm);
        // A midpoint value outside the end values means f is not monotone in the bracket.
        if (fm < std::fmin(f1, f2) || fm > std::fmax(f1, f2)) return -1;
        const double s = std::sqrt(fm * fm - f1 * f2);
        if (s == 0) {
            *root = a;
            return i;
        }
        const double xn = xm + (xm - x1) * (f1 >= f2 ? 1.0 : -1.0) * fm / s;
        if (std::fabs(xn - a) <= tol) {
            *root = a;
            return i;
        }
        a = xn;
        double fn = 0;
        f(ctx, a, &fn);
        if (fn == 0) {
            *root = a;
            return i;
        }
        if (SignsDiffer(fm, fn)) {
            x1 = xm;
            f1 = fm;
            x2 = a;
            f2 = fn;
        } else if (SignsDiffer(f1, fn)) {
            x2 = a;
            f2 = fn;
        } else if (SignsDiffer(f2, fn)) {
            x1 = a;
            f1 = fn;
        }
        if (std::fabs(x2 - x1) <= tol) {
            *root = a;
            return i;
        }
    }
    otk::LogErr(ErrorLog, "Ridders: Max iterations reached");
    *root = 0;
    return -i;
}

int Golden(void* ctx, ScalarFunction f, double a, double b, double c, double tol, double* xmin,
           int maxIter) {
    constexpr double R = 0.61803399, C = 0.38196601;
    double x0 = a, x1, x2, x3 = c;
    if (std::fabs(c - b) > std::fabs(b - a)) {
        x1 = b;
        x2 = b + C * (c - b);
    } else {
        x2 = b;
        x1 = b - C * (b - a);
    }
    double f1 = 0, f2 = 0;
    if (f(ctx, x1, &f1) < 0 || f(ctx, x2, &f2) < 0) return -1;
    for (int i = 0;; ++i) {
        if (std::fabs(x3 - x0) <= tol * (std::fabs(x1) + std::fabs(x2))) {
            *xmin = f2 > f1 ? x1 : x2;
            return i;
        }
        if (i == maxIter) return 0;
        if (f1 > f2) {
            x0 = x1;
            x1 = x2;
            x2 = R * x2 + C * x3;
            f1 = f2;
            if (f(ctx, x2, &f2) < 0) return -1;
        } else {
            x3 = x2;
            x2 = x1;
            x1 = R * x1 + C * x0;
            f2 = f1;
            if (f(ctx, x1, &f1) < 0) return -1;
        }
    }
}

int LineFit(CVector& x, CVector& y, double* a, double* b) {
    if (x.Size() != y.Size() || !a || !b) return -1;
    const int n = x.Size();
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int i = 0; i < n; ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    const double d = sx * sx - n * sxx;
    *b = (sy * sx - n * sxy) / d;
    *a = (sxy * sx - sxx * sy) / d;
    return 0;
}
