// Newton and Broyden solvers for systems of nonlinear equations, and the forward-difference
// Jacobian.
//
// Two points the iteration rules leave open are settled here:
// - A Jacobian with a zero row cannot be factorised, so the linear solve of a Newton or Broyden
//   step fails. The solve then ends with -1: a zero step would only evaluate the same point
//   again until the iteration limit.
// - An unknown that is exactly 0 has no relative difference step; it is given the absolute step
//   h[j] (the relative step times 1) instead of a zero step and a division by zero.
#include <cmath>

#include "foundation/Address.h"
#include "zaq/foundation.h"
#include "zaq/solvers.h"

using zaq::Addr;

namespace {

constexpr double kDefaultStep = 1e-5;  // relative difference step without h
constexpr int kNewtonHardLimit = 64;
constexpr int kBroydenHardLimit = 20;

// The checks every solver makes on entry: a residual callback, at least one unknown, and one
// tolerance per unknown.
bool SystemOk(const char* func, bool haveF, int n, const CVector& tol) {
    if (!haveF) {
        ZAQ_ERROR(func, "No residual function");
        return false;
    }
    if (n < 1) {
        ZAQ_ERROR(func, "No unknowns");
        return false;
    }
    if (tol.Size() != n) {
        ZAQ_ERROR(func, "Tolerance has %d elements, %d expected", tol.Size(), n);
        return false;
    }
    return true;
}

// True when a callback left n residuals (and an n x n Jacobian); reported otherwise.
bool Sized(const char* func, const CVector& f, int n, const CMatrix* jac = nullptr) {
    if (f.Size() == n && (!jac || (jac->Rows() == n && jac->Columns() == n))) return true;
    ZAQ_ERROR(func, "Callback returned a residual or Jacobian of the wrong size (%d unknowns)", n);
    return false;
}

// |tol[k]| > |f[k]| for every k (strict: a zero tolerance never converges).
bool Converged(const CVector& f, const CVector& tol) {
    for (int k = 0; k < f.Size(); ++k)
        if (!(std::fabs(tol[k]) > std::fabs(f[k]))) return false;
    return true;
}

bool Converged(const CVector& f, double tol) {
    for (int k = 0; k < f.Size(); ++k)
        if (!(std::fabs(tol) > std::fabs(f[k]))) return false;
    return true;
}

// dx solves jac dx = -f through jac's cached factorisation. A Jacobian with a zero row does not
// factorise: reported, false (the solver ends with -1).
bool NewtonStep(const char* func, const CMatrix& jac, const CVector& f, CVector& dx) {
    if (mtSolve(dx, jac, -f)) return true;
    ZAQ_ERROR(func, "Singular Jacobian (a zero row), no step");
    return false;
}

// The verbose trace of the Jacobian, its leading principal minors, the point and the residual.
void TraceState(const char* jacLabel, const char* xLabel, const char* fLabel, const CMatrix& jac,
                const CVector& x, const CVector& f) {
    CVector minors;
    jac.Print(ErrorLog, jacLabel);
    mtPrincipalMinors(minors, jac);
    minors.Print(ErrorLog, "Jacobian: Principal Minors");
    x.Print(ErrorLog, xLabel);
    f.Print(ErrorLog, fLabel);
}

// Broyden's iteration from the Jacobian B and the residual f at x; B is updated in place.
int BroydenIterate(void* ctx, ResidualFunction F, CMatrix& B, CVector& f, CVector& x,
                   const CVector& tol, int max, bool verbose, int hardLimit, CMatrix* jacOut) {
    const int n = x.Size();
    CVector dx(n), f0(n), x0(n), u(n), Bdx(n);
    CMatrix update(n, n);
    for (int k = 1;; ++k) {
        if (k >= max) {
            otk::LogWrn(ErrorLog, "Broyden: Aborted after reaching max iterations");
            return 0;
        }
        if (verbose) {
            otk::LogMsg(ErrorLog, "------------------------------------------------");
            TraceState("Broyden: Jacobian", "Broyden: Current Solution", "Broyden: Remaining Error",
                       B, x, f);
        }
        if (!NewtonStep("Broyden", B, f, dx)) return -1;
        f0 = f;
        x0 = x;
        x += dx;
        if (verbose) dx.Print(ErrorLog, "Broyden: Step");
        if (F(ctx, k, x, f) < 0 || !Sized("Broyden", f, n)) return -1;
        for (int i = 0; i < n; ++i) dx[i] = x[i] - x0[i];
        if (Converged(f, tol)) {
            if (verbose) otk::LogOk(ErrorLog, "Broyden: Success in %d iterations", k);
            if (jacOut) *jacOut = B;
            return k;
        }
        // Broyden's good update B += (df - B dx) dx^T / (dx . dx). A step too small to move x
        // carries no secant information and would fill B with NaN: B is kept as it is.
        const double dd = vtDot(dx, dx);
        if (dd > 0) {
            mtMul(Bdx, B, dx);
            for (int i = 0; i < n; ++i) u[i] = (f[i] - f0[i]) - Bdx[i];
            mtMul(update, u, dx);
            mtMul(update, 1.0 / dd);
            mtAdd(B, update);
        }
        if (k >= hardLimit) {
            otk::LogErr(ErrorLog,
                        "Broyden: No roots found with-in maximum number of iterations (32)");
            return -1;
        }
    }
}

}  // namespace

int EvaluateJacobian(void* ctx, ResidualFunction F, int iteration, CVector& x, CMatrix& jac,
                     CVector& f, const CVector* h) {
    const int n = x.Size();
    if (!F) {
        ZAQ_ERROR("EvaluateJacobian", "No residual function");
        return 0;
    }
    if (h && h->Size() < n) {
        ZAQ_ERROR("EvaluateJacobian", "Step vector has %d elements, %d expected", h->Size(), n);
        return 0;
    }
    if (F(ctx, iteration, x, f) < 1) {
        otk::LogErr(ErrorLog, "EvaluateJacobian: Evaluation of function (0x%llX) failed (init)",
                    Addr(F));
        return 0;
    }
    if (!Sized("EvaluateJacobian", f, n)) return 0;
    jac.ReSize(n, n);
    CVector w(x), g(n);
    for (int j = 0; j < n; ++j) {
        const double s = x[j];
        const double rel = h ? (*h)[j] : kDefaultStep;
        const double d = (s != 0 ? s : 1.0) * rel;
        if (d == 0) {
            ZAQ_ERROR("EvaluateJacobian", "Zero difference step for unknown %d", j);
            return 0;
        }
        w[j] = s + d;
        if (F(ctx, iteration, w, g) < 1) {
            otk::LogErr(ErrorLog, "EvaluateJacobian: Evaluation of function (0x%llX) failed",
                        Addr(F));
            return 0;
        }
        if (!Sized("EvaluateJacobian", g, n)) return 0;
        w[j] = s;
        for (int i = 0; i < n; ++i) jac(i, j) = (g[i] - f[i]) / d;
    }
    return 1;
}

int Newton(void* ctx, ResidualFunction F, CVector& x, const CVector& tol, JacobianFunction J,
           CVector* h, int max, bool verbose) {
    const int n = x.Size();
    if (!SystemOk("Newton", F != nullptr, n, tol)) return -1;
    if (verbose) otk::LogMsg(ErrorLog, "--- Starting to process Newton Solution ---");
    CMatrix jac(n, n);
    CVector f(n), dx(n);
    for (int k = 1;; ++k) {
        if (k >= max) {
            otk::LogWrn(ErrorLog,
                        "Newton: Aborted after reaching max (%d) iterations in %d dimensions", max,
                        n);
            tol.Print(ErrorLog, "Tolerance");
            f.Print(ErrorLog, "Error");
            return 0;
        }
        if (J) {
            if (J(ctx, 0, x, jac, f) < 1) {
                otk::LogErr(ErrorLog, "Newton: Evaluation of EvalJacobian(0x%llX) failed", Addr(J));
                return -1;
            }
            if (!Sized("Newton", f, n, &jac)) return -1;
        } else if (!EvaluateJacobian(ctx, F, 0, x, jac, f, h)) {
            otk::LogErr(ErrorLog, "Newton: Evaluation of Jacobian failed");
            return -1;
        }
        if (verbose) {
            otk::LogMsg(ErrorLog, "---------------------- Iteration %d ----------------------", k);
            TraceState("Newton: Jacobian", "Newton: Current Solution", "Newton: Remaining Error",
                       jac, x, f);
        }
        if (!NewtonStep("Newton", jac, f, dx)) return -1;
        x += dx;
        if (verbose) dx.Print(ErrorLog, "Newton: Step");
        if (F(ctx, k, x, f) < 0 || !Sized("Newton", f, n)) return -1;
        if (Converged(f, tol)) {
            if (verbose) otk::LogOk(ErrorLog, "Newton: Success in %d iterations", k);
            return k;
        }
        if (k >= kNewtonHardLimit) {
            otk::LogErr(ErrorLog,
                        "Newton: No roots found with-in maximum number of iterations (32)");
            return -1;
        }
    }
}

int Broyden(void* ctx, ResidualFunction F, CVector& x, const CVector& tol, JacobianFunction J,
            CVector* h, int max, bool verbose, CMatrix* jacOut) {
    const int n = x.Size();
    if (!SystemOk("Broyden", F != nullptr, n, tol)) return -1;
    if (verbose) otk::LogMsg(ErrorLog, "--- Starting to process Broyden Solution ---");
    CMatrix B(n, n);
    CVector f(n);
    if (J) {
        if (J(ctx, 0, x, B, f) < 1) {
            otk::LogErr(ErrorLog, "Broyden: Evaluation of EvalJacobian(0x%llX) failed", Addr(J));
            return -1;
        }
        if (!Sized("Broyden", f, n, &B)) return -1;
    } else if (h) {
        if (!EvaluateJacobian(ctx, F, 0, x, B, f, h)) {
            otk::LogErr(ErrorLog, "Broyden: Evaluation of Jacobian failed");
            return -1;
        }
    } else {
        otk::LogErr(ErrorLog, "Broyden: _h must be defined");
        return -1;
    }
    return BroydenIterate(ctx, F, B, f, x, tol, max, verbose, kBroydenHardLimit, jacOut);
}

int BroydenUp(void* ctx, ResidualFunction F, CMatrix& jac, CVector& x, const CVector& tol,
              CVector* /*h: not used*/, int max, bool verbose) {
    const int n = x.Size();
    if (!SystemOk("BroydenUp", F != nullptr, n, tol)) return -1;
    if (jac.Rows() != n || jac.Columns() != n) {
        ZAQ_ERROR("BroydenUp", "Jacobian is %d x %d, %d x %d expected", jac.Rows(), jac.Columns(),
                  n, n);
        return -1;
    }
    if (verbose) otk::LogMsg(ErrorLog, "--- Starting to process Broyden Update Solution ---");
    CVector f(n);
    if (F(ctx, 0, x, f) < 0 || !Sized("BroydenUp", f, n)) return -1;
    return BroydenIterate(ctx, F, jac, f, x, tol, max, verbose, kNewtonHardLimit, nullptr);
}

int Newton2(void* ctx, ResidualFunction2 F2, JacobianFunction2 J2, CVector& x, double tol,
            int stuckMax, int max, bool verbose) {
    const int n = x.Size();
    if (!F2 || !J2 || n < 1) {
        ZAQ_ERROR("Newton2", "Both callbacks and at least one unknown are required");
        return J2 && !F2 ? -2 : -1;
    }
    if (verbose) otk::LogMsg(ErrorLog, "--- Starting to process Newton2 Solution ---");
    if (max <= 0) {
        otk::LogErr(ErrorLog, "Newton: Aborted after reaching max (%d) iterations", max);
        return -3;
    }
    CMatrix jac(n, n);
    CVector f(n), dx(n), trial(n);
    int stuck = 0;
    for (int k = 1;; ++k) {
        if (verbose)
            otk::LogMsg(ErrorLog, "---------------------- Iteration %d ----------------------", k);
        if (J2(ctx, x, jac, f) < 1) {
            otk::LogErr(ErrorLog, "Newton: Evaluation of EvalJacobian(0x%llX) failed", Addr(J2));
            return -1;
        }
        if (!Sized("Newton2", f, n, &jac) || !NewtonStep("Newton2", jac, f, dx)) return -1;
        const double r0 = vtLength(f);
        // Backtracking: 1, 0.5, 0.25, 0.0625, 0.00390625, 1.52587890625e-05, then give up. A
        // trial point with a zero residual is a root and always accepted (also when r0 is 0).
        double lambda = 1;
        for (;;) {
            for (int i = 0; i < n; ++i) trial[i] = x[i] + lambda * dx[i];
            if (F2(ctx, trial, f) < 0) {
                otk::LogErr(ErrorLog, "Newton: Evaluation of Function(0x%llX) failed", Addr(F2));
                return -2;
            }
            if (!Sized("Newton2", f, n)) return -2;
            const double r = vtLength(f);
            if (r < (1 - lambda / 4) * r0 || r == 0) break;
            lambda = lambda * lambda < 0.5 ? lambda * lambda : 0.5;
            if (lambda < 1e-6) {
                otk::LogErr(ErrorLog, "Newton: Newton direction isn't a descent direction.");
                return -5;
            }
        }
        dx *= lambda;
        x += dx;
        if (lambda < 0.07) {
            if (++stuck >= stuckMax) {
                otk::LogErr(ErrorLog, "Newton: Root finding trapped in local minima. (No Roots)");
                return -4;
            }
        } else {
            stuck = 0;
        }
        if (verbose) {
            if (lambda < 0.07)
                otk::LogErr(ErrorLog, "%.3fx Newton Step", lambda);
            else if (lambda < 0.26)
                otk::LogWrn(ErrorLog, "%.3fx Newton Step", lambda);
            else if (lambda < 0.9)
                otk::LogMsg(ErrorLog, "%.3fx Newton Step", lambda);
            else
                otk::LogOk(ErrorLog, "(Full Newton step)");
            dx.Print(ErrorLog, "Newton: Step");
            f.Print(ErrorLog, "Newton: Remaining Error");
            x.Print(ErrorLog, "Newton: Current Solution");
            jac.Print(ErrorLog, "Newton: Jacobian");
        }
        if (Converged(f, tol)) {
            if (verbose) otk::LogOk(ErrorLog, "Newton: Success in %d iterations", k);
            return k;
        }
        if (k >= max) {
            otk::LogErr(ErrorLog, "Newton: Aborted after reaching max (%d) iterations", max);
            return -3;
        }
    }
}
