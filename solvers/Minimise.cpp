// Minimisers of a function of several variables (steepest descent and Fletcher-Reeves conjugate
// gradients on a finite-difference gradient with a secant line search) and linear least squares
// through the normal equations.
#include <cmath>

#include "foundation/Address.h"
#include "zaq/foundation.h"
#include "zaq/solvers.h"

using zaq::Addr;

namespace {

// Absolute difference step: the square root of twice the double-precision machine epsilon.
constexpr double kStep = 2.1073424255447017e-08;
// Step of the fallback second difference of the line search (about the fourth root of epsilon).
constexpr double kCurvatureStep = 1e-4;
constexpr int kLineSearchIterations = 24;
constexpr int kMaxIterations = 64;
constexpr int kRestartAfter = 7;  // Fletcher-Reeves updates before a forced restart
const char kDashes[] = "---------------------------";

// *f0 = f(x) and g = the negative forward-difference gradient at x (the steepest-descent
// direction). 0, or -1 after "Gradient: Fail".
int Gradient(void* ctx, ObjectiveFunction f, CVector x, double h, double* f0, CVector& g) {
    if (f(ctx, x, f0) < 0) {
        otk::LogErr(ErrorLog, "Gradient: Fail");
        return -1;
    }
    const int n = x.Size();
    g.ReSize(n);
    for (int i = 0; i < n; ++i) {
        const double s = x[i];
        x[i] = s + h;
        double fi = 0;
        if (f(ctx, x, &fi) < 0) {
            otk::LogErr(ErrorLog, "Gradient: Fail");
            return -1;
        }
        g[i] = -(fi - *f0) / h;
        x[i] = s;
    }
    return 0;
}

// Line search for a zero of the derivative of phi(a) = f(x0 + a d) from a = 0: Newton steps on
// phi until the derivative has been seen on both sides of zero, then secant steps between the
// latest positive and negative derivatives. *alpha and *slope receive the step with the smallest
// derivative seen. 0: take the step; 1: stop, converged or no progress; -1: f failed.
int SecLineMin(void* ctx, ObjectiveFunction f, const CVector& x0, const CVector& d, double h,
               double* alpha, double* slope, int maxIter) {
    const int n = x0.Size();
    CVector w(n);
    auto phi = [&](double a, double* value) {
        for (int i = 0; i < n; ++i) w[i] = x0[i] + a * d[i];
        if (f(ctx, w, value) >= 0) return true;
        otk::LogErr(ErrorLog, "LineMin: function (0x%llX) evaluation failed", Addr(f));
        return false;
    };
    double a = 0, fc = 0;
    if (!phi(a, &fc)) return -1;
    double bestA = 0, bestD = 0, first = 0, prev = 0;
    double dPos = 0, aPos = 0, dNeg = 0, aNeg = 0;  // derivative 0: that side not seen yet
    double divisor = 3;                             // overshoot divisor, never reset
    int stalls = 0, worsenings = 0;
    auto finish = [&](int result) {
        *alpha = bestA;
        *slope = bestD;
        return result;
    };
    for (int it = 1; it <= maxIter; ++it) {
        double fp = 0, fm = 0;
        if (!phi(a + h, &fp) || !phi(a - h, &fm)) return -1;
        const double d1 = (fp - fm) / (2 * h);
        if (it == 1 || std::fabs(d1) < std::fabs(bestD)) {
            bestA = a;
            bestD = d1;
        }
        otk::LogMsg(ErrorLog, "a=%g, d1=%g", a, d1);
        if (it == 1)
            first = d1;
        else if (std::fabs(d1) < std::fabs(0.001 * first))
            return finish(0);
        if (std::fabs(prev - d1) < 1e-4)
            ++stalls;
        else if (std::fabs(d1) > std::fabs(prev))
            ++worsenings;
        if (stalls > 1) {
            otk::LogWrn(ErrorLog, "SecLineMin: No Progress, Aborting...");
            return finish(1);
        }
        if (worsenings > 3) {
            otk::LogWrn(ErrorLog, "SecLineMin: No Progress, Accept current");
            return finish(0);
        }
        if (d1 >= 0) {
            dPos = d1;
            aPos = a;
        } else {
            dNeg = d1;
            aNeg = a;
        }
        prev = d1;
        if (dPos != 0 && dNeg != 0) {
            a = aPos + (aPos - aNeg) * dPos / (dNeg - dPos);  // zero of the secant
            continue;
        }
        // Newton step on phi, against the derivative, shortened while it overshoots.
        double d2 = (fp - 2 * fc + fm) / (h * h);
        double s = std::fabs(d1 / d2);
        if (!std::isfinite(s)) {
            // Near a minimum the second difference over h (about 2e-8) is lost in rounding and
            // would send the trials to infinity; the curvature is taken over a step near the
            // optimum for second differences instead.
            const double H = kCurvatureStep;
            double fpw = 0, fmw = 0;
            if (!phi(a + H, &fpw) || !phi(a - H, &fmw)) return -1;
            d2 = (fpw - 2 * fc + fmw) / (H * H);
            s = std::fabs(d1 / d2);
            if (!std::isfinite(s)) {
                otk::LogWrn(ErrorLog, "SecLineMin: No curvature, Aborting...");
                return finish(1);
            }
        }
        const double dir = d1 > 0 ? -1.0 : 1.0;
        a += dir * s;
        bool taken = false;
        for (int trial = 0; trial < 5 && !taken; ++trial) {
            double fn = 0;
            if (!phi(a, &fn)) return -1;
            if (std::fabs(fn) < std::fabs(fc)) {
                fc = fn;
                taken = true;
            } else if (std::fabs(fn) < 2 * std::fabs(fc)) {
                fc = fn;
                otk::LogMsg(ErrorLog, "Accepting a bad step");
                taken = true;
            } else {
                a += dir * (s / divisor - s);
                s /= divisor;
                divisor *= 3;
                otk::LogMsg(ErrorLog, "Overshoot reduce step size down to %g", s);
            }
        }
        if (!taken) {
            otk::LogWrn(ErrorLog, "SecLineMin: Not a descent direction");
            return finish(1);
        }
    }
    return finish(0);
}

// The texts that tell the two minimisers apart in the log.
struct MinimiserTexts {
    const char* start;    // the objective at the start
    const char* current;  // the objective after a step
    const char* success;
    const char* failed;
    const char* maxReached;
};

// Steepest descent, or with `conjugate` Fletcher-Reeves conjugate gradients restarted after
// kRestartAfter updates or when the direction stops going downhill.
int Minimise(void* ctx, ObjectiveFunction f, CVector& x, double tol, bool conjugate,
             const MinimiserTexts& text) {
    if (!f || x.Size() < 1) {
        ZAQ_ERROR(conjugate ? "ConjugateGradient" : "SteepestDescent",
                  "An objective and at least one unknown are required");
        return -1;
    }
    double fmin = 0;
    CVector g, D, step;
    if (Gradient(ctx, f, x, kStep, &fmin, g) < 0) {
        otk::LogErr(ErrorLog, "%s", text.failed);
        return -1;
    }
    x.Print(ErrorLog, "InitialSolution");
    g.Print(ErrorLog, "SteepestDescent");
    otk::LogMsg(ErrorLog, text.start, fmin);
    otk::LogMsg(ErrorLog, kDashes);
    D = g;
    double gg = vtDot(g, g), previous = fmin;
    int updates = 0;
    for (int k = 0; k < kMaxIterations; ++k) {
        double a = 0, slope = 0;
        const int search = SecLineMin(ctx, f, x, D, kStep, &a, &slope, kLineSearchIterations);
        if (search < 0) {
            otk::LogErr(ErrorLog, "%s", text.failed);
            return -1;
        }
        bool done = search == 1;
        if (!done) {
            step = D * a;
            x += step;
            if (Gradient(ctx, f, x, kStep, &fmin, g) < 0) {
                otk::LogErr(ErrorLog, "%s", text.failed);
                return -1;
            }
            step.Print(ErrorLog, "Step");
            x.Print(ErrorLog, "CurrSolution");
            g.Print(ErrorLog, "SteepestDescent");
            otk::LogMsg(ErrorLog, text.current, fmin);
            otk::LogMsg(ErrorLog, kDashes);
            done = k > 0 && std::fabs(fmin - previous) < fmin * tol;
        }
        if (done) {
            otk::LogOk(ErrorLog, text.success, k, fmin);
            x.Print(ErrorLog, "Solution");
            return 0;
        }
        previous = fmin;
        if (!conjugate) {
            D = g;
            continue;
        }
        const double ggNew = vtDot(g, g);
        const double beta = ggNew / gg;
        gg = ggNew;
        for (int i = 0; i < D.Size(); ++i) D[i] = g[i] + beta * D[i];
        if (++updates > kRestartAfter || vtDot(g, D) < 0) {
            D = g;
            updates = 0;
        }
    }
    otk::LogErr(ErrorLog, "%s", text.maxReached);
    return 0;
}

}  // namespace

int SteepestDescent(void* ctx, ObjectiveFunction f, CVector& x, double tol) {
    static const MinimiserTexts text = {
        "f0(x0)=%g", "fmin(x)=%g", "SteepestDescent Success after %d iterations, fmin=%g",
        "SteepestDescent: Failed", "SteepestDescent: Max iterations reached"};
    return Minimise(ctx, f, x, tol, false, text);
}

int ConjugateGradient(void* ctx, ObjectiveFunction f, CVector& x, double tol) {
    static const MinimiserTexts text = {
        "fmin=%g at x0", "fmin=%g", "CG Success after %d iterations, fmin=%g",
        "ConjugateGradient: Failed", "ConjugateGradient: Max iterations reached"};
    return Minimise(ctx, f, x, tol, true, text);
}

int LinearLeastSquares(CVector& t, CVector& y, BasisFunction basis, CVector* coef) {
    if (!basis || !coef || t.Size() < 1 || t.Size() != y.Size()) {
        ZAQ_ERROR("LinearLeastSquares",
                  "Samples missing or of different sizes, or a null basis or output");
        return -1;
    }
    CVector phi = basis(t[0]);
    const int n = phi.Size();
    coef->ReSize(n);
    if (n < 1) {
        ZAQ_ERROR("LinearLeastSquares", "The basis has no functions");
        return -1;
    }
    CMatrix A(n, n), B(n, 1);
    for (int j = 0; j < t.Size(); ++j) {
        if (j > 0) phi = basis(t[j]);
        if (phi.Size() != n) {
            ZAQ_ERROR("LinearLeastSquares", "The basis gave %d values at sample %d, %d expected",
                      phi.Size(), j, n);
            return -1;
        }
        for (int k = 0; k < n; ++k) {
            for (int l = 0; l <= k; ++l) A(k, l) += phi[k] * phi[l];
            B(k, 0) += y[j] * phi[k];
        }
    }
    for (int k = 0; k < n; ++k)
        for (int l = k + 1; l < n; ++l) A(k, l) = A(l, k);
    // A singular system (fewer independent samples than basis functions) has no unique fit:
    // GaussJordan logs it, and the coefficients stay 0 with the failure returned.
    if (GaussJordan(A, B) < 0) return -1;
    for (int k = 0; k < n; ++k) (*coef)[k] = B(k, 0);
    return 0;
}
