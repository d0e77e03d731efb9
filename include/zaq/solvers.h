// Numerical solvers: scalar root finders and minimisers, Newton and Broyden solvers for
// nonlinear systems, minimisers of functions of several variables and linear least squares.
#pragma once

#include "zaq/linalg.h"

// ---- scalar root finding and minimisation
// --------------------------------------------------------

/// Scalar callback: stores f(x) in *fx; a negative result means failure. ctx is passed through.
typedef int (*ScalarFunction)(void* ctx, double x, double* fx);

/// Minimum of f by Newton steps on central differences (step h), always downhill, each step at
/// most maxStep. Returns the iteration count with *x written once a step is below tol; -maxIter
/// at the limit (*x unchanged); -1 when f failed.
int FDNewton1DMin(void* ctx, ScalarFunction f, double tol, double maxStep, double h, double* x,
                  int maxIter);

/// Root of f in [lo, hi] by damped forward-difference Newton steps (difference step h, each step at
/// most maxStep when maxStep > 0). Returns the completed iterations (0 or more) with *x written
/// once |f| < tol; -maxIter at the limit; -1 when f failed.
int FDNewton1D(void* ctx, ScalarFunction f, double tol, double lo, double hi, double h, double* x,
               double maxStep, int maxIter);

/// Root of f in [x1, x2] by Ridders' method. Returns the iterations (1 when an end point is a
/// root); -1 without a bracket or when f is not monotone inside it; a negative count at the limit,
/// with *root = 0. The callback's result is not read.
int Ridders(void* ctx, ScalarFunction f, double x1, double x2, double tol, double* root,
            int maxIter);

/// Minimum of f by golden-section search in the bracket a, b, c (b between a and c, f(b) below
/// f(a) and f(c)) to the relative tolerance tol. Returns the iterations (0 or more) with *xmin
/// written; 0 with *xmin not written at the limit; -1 when f failed.
int Golden(void* ctx, ScalarFunction f, double a, double b, double c, double tol, double* xmin,
           int maxIter);

/// Least-squares line y = a + b * x. Returns 0, or -1 when the sizes differ or a or b is null.
int LineFit(CVector& x, CVector& y, double* a, double* b);

// ---- Newton and Broyden solvers for n equations in n unknowns ----------------------------------
// Convergence means |tol[k]| > |f[k]| for every component k of the newest residual (strict, so a
// zero tolerance never converges). The iteration limit `max` counts from 1 and is checked before
// each iteration: at most max - 1 iterations run (Newton2: at most max).

/// Residual callback: stores F(x) in f. iteration is 0 for the start and for Jacobian
/// evaluations, otherwise the iteration whose new point is evaluated. 1 or more is success; the
/// solvers fail on a negative result, EvaluateJacobian on any result below 1.
typedef int (*ResidualFunction)(void* ctx, int iteration, CVector& x, CVector& f);
/// Jacobian callback: fills the n x n Jacobian jac (row i = equation i, column j = unknown j) and
/// the residual f at x; called with iteration 0. A result below 1 is failure.
typedef int (*JacobianFunction)(void* ctx, int iteration, CVector& x, CMatrix& jac, CVector& f);
/// Newton2's residual callback (no iteration argument); a negative result is failure.
typedef int (*ResidualFunction2)(void* ctx, CVector& x, CVector& f);
/// Newton2's Jacobian callback (no iteration argument); a result below 1 is failure.
typedef int (*JacobianFunction2)(void* ctx, CVector& x, CMatrix& jac, CVector& f);

/// Full Newton steps from x (overwritten with the last point), with the Jacobian from J, or
/// without J by forward differences with relative steps h (1e-5 each when h is null). Returns
/// the iterations on success; 0 when max was reached; -1 on any failure (also a Jacobian with a
/// zero row, or after 64 iterations). verbose traces every iteration to the error log.
int Newton(void* ctx, ResidualFunction F, CVector& x, const CVector& tol, JacobianFunction J,
           CVector* h, int max, bool verbose);

/// Newton with backtracking step lengths 1, 0.5, 0.25, ... and stagnation detection. Returns the
/// iterations on success; -1 Jacobian failed (or has a zero row); -2 residual failed; -3 max
/// reached (or max <= 0); -4 stuckMax consecutive steps shorter than 0.07; -5 no descent.
int Newton2(void* ctx, ResidualFunction2 F2, JacobianFunction2 J2, CVector& x, double tol,
            int stuckMax, int max, bool verbose);

/// Newton start (Jacobian from J, or by differences with relative steps h; one of them is
/// required), then Broyden's rank-one updates. Returns the iterations on success, with the last
/// Jacobian copied into *jacOut when given; 0 when max was reached; -1 on any failure (also after
/// 20 iterations).
int Broyden(void* ctx, ResidualFunction F, CVector& x, const CVector& tol, JacobianFunction J,
            CVector* h, int max, bool verbose, CMatrix* jacOut);

/// Broyden's updates of the caller's Jacobian jac, which holds the last matrix on every return.
/// h is not used. Results as Broyden's, with a hard limit of 64 iterations.
int BroydenUp(void* ctx, ResidualFunction F, CMatrix& jac, CVector& x, const CVector& tol,
              CVector* h, int max, bool verbose);

/// Forward-difference Jacobian of F at x into jac (made n x n) with f = F(x): the step of
/// unknown j is x[j] * h[j] (h null: 1e-5), or h[j] itself when x[j] is 0. 1 on success, 0 on
/// failure.
int EvaluateJacobian(void* ctx, ResidualFunction F, int iteration, CVector& x, CMatrix& jac,
                     CVector& f, const CVector* h);

// ---- minimisation of functions of several variables and linear least squares ------------------

/// Objective callback: stores f(x) in *fx; a negative result is failure.
typedef int (*ObjectiveFunction)(void* ctx, const CVector& x, double* fx);
/// Basis callback: the values of the n basis functions at t.
typedef CVector (*BasisFunction)(double t);

/// Minimum of f by steepest descent with a secant line search, from x (replaced by the
/// solution) until f changes by less than f * tol. Traces every iteration to the error log.
/// 0 on success and also after 64 iterations; -1 when f failed.
int SteepestDescent(void* ctx, ObjectiveFunction f, CVector& x, double tol);

/// SteepestDescent with Fletcher-Reeves conjugate directions (restarted every 8 updates or when
/// the direction stops going downhill). Results as SteepestDescent's.
int ConjugateGradient(void* ctx, ObjectiveFunction f, CVector& x, double tol);

/// Least-squares coefficients of the basis functions fitting y at the abscissae t, through the
/// normal equations; coef is resized to the number of basis functions. 0; -1 for bad input
/// (sizes, null arguments) or a singular system.
int LinearLeastSquares(CVector& t, CVector& y, BasisFunction basis, CVector* coef);
