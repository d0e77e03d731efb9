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
