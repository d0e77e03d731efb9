// SteepestDescent, ConjugateGradient (with their difference gradient and secant line search)
// and LinearLeastSquares.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tests/capture_log.h"
#include "tests/tolerance.h"
#include "zaq/solvers.h"

using zaq::test::CaptureErrorLog;
using zaq::test::LogBodies;

namespace {

// A quadratic bowl 1 + sum w[i] (x[i] - c[i])^2 with its minimum 1 at c; counts evaluations.
struct Bowl {
    std::vector<double> w, c;
    int calls = 0;
    int failAfter = -1;  // fail from this evaluation on (-1: never)
};

int BowlValue(void* ctx, const CVector& x, double* fx) {
    auto* b = static_cast<Bowl*>(ctx);
    if (b->failAfter >= 0 && b->calls >= b->failAfter) return -1;
    ++b->calls;
    double f = 1;
    for (int i = 0; i < x.Size(); ++i) f += b->w[i] * (x[i] - b->c[i]) * (x[i] - b->c[i]);
    *fx = f;
    return 1;
}

// Runs ConjugateGradient (cg) or SteepestDescent with the error log captured into *lines.
int Minimise(bool cg, void* ctx, ObjectiveFunction f, CVector& x, double tol,
             std::vector<std::string>* lines) {
    int result = 1;
    *lines = LogBodies(CaptureErrorLog([&] {
        result = cg ? ConjugateGradient(ctx, f, x, tol) : SteepestDescent(ctx, f, x, tol);
    }));
    return result;
}

// The iteration count of the minimiser's success line "... after %d iterations, fmin=%g"; -1
// without one.
int SuccessIterations(bool cg, const std::vector<std::string>& lines) {
    const std::string prefix = cg ? "CG Success after " : "SteepestDescent Success after ";
    for (const std::string& l : lines)
        if (l.rfind(prefix, 0) == 0) return std::stoi(l.substr(prefix.size()));
    return -1;
}

}  // namespace

// The round bowl of the classic example: both minimisers end at (1, -2) with a success line.
TEST(Minimise, RoundBowl) {
    for (bool cg : {false, true}) {
        Bowl b{{1, 1}, {1, -2}};
        CVector x(2);
        std::vector<std::string> lines;
        EXPECT_EQ(Minimise(cg, &b, BowlValue, x, 1e-10, &lines), 0);
        EXPECT_CLOSE(x[0], 1, 1e-5, 0) << cg;
        EXPECT_CLOSE(x[1], -2, 1e-5, 0) << cg;
        EXPECT_GE(SuccessIterations(cg, lines), 0);
        EXPECT_EQ(lines.front().rfind("InitialSolution Vector: [0, 0]", 0), 0u);
    }
}

// On an elongated bowl steepest descent zigzags; conjugate directions need fewer iterations.
// Both end where the line search can no longer resolve the derivative (changes below 1e-4),
// within about 1e-6 of the minimum value.
TEST(Minimise, ConjugateGradientBeatsSteepestDescentOnAnElongatedBowl) {
    int iterations[2], calls[2];
    for (bool cg : {false, true}) {
        Bowl b{{1, 25}, {3, -1}};
        CVector x(2);
        std::vector<std::string> lines;
        EXPECT_EQ(Minimise(cg, &b, BowlValue, x, 1e-6, &lines), 0);
        double f = 0;
        BowlValue(&b, x, &f);
        EXPECT_CLOSE(f, 1, 1e-6, 0) << cg;
        EXPECT_CLOSE(x[0], 3, 1e-3, 0) << cg;
        EXPECT_CLOSE(x[1], -1, 1e-3, 0) << cg;
        iterations[cg] = SuccessIterations(cg, lines);
        calls[cg] = b.calls;
    }
    std::printf("SteepestDescent %d iterations (%d evaluations), ConjugateGradient %d (%d)\n",
                iterations[0], calls[0], iterations[1], calls[1]);
    EXPECT_GE(iterations[1], 0);
    EXPECT_LT(iterations[1], iterations[0]);
    EXPECT_LT(calls[1], calls[0]);
}

// A failing objective ends either minimiser with its message and -1: at the start before any
// line search, or inside the line search.
TEST(Minimise, ObjectiveFailures) {
    for (bool cg : {false, true}) {
        Bowl b{{1, 1}, {1, -2}};
        b.failAfter = 0;
        CVector x(2);
        std::vector<std::string> lines;
        EXPECT_EQ(Minimise(cg, &b, BowlValue, x, 1e-6, &lines), -1);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0], "Gradient: Fail");
        EXPECT_EQ(lines[1], cg ? "ConjugateGradient: Failed" : "SteepestDescent: Failed");

        // Failing inside the first line search (after the start gradient's 3 evaluations).
        Bowl late{{1, 1}, {1, -2}};
        late.failAfter = 4;
        EXPECT_EQ(Minimise(cg, &late, BowlValue, x, 1e-6, &lines), -1);
        EXPECT_EQ(lines[lines.size() - 2].rfind("LineMin: function (0x", 0), 0u);
        EXPECT_EQ(lines.back(), cg ? "ConjugateGradient: Failed" : "SteepestDescent: Failed");
    }
}

namespace {

// x0^2 - 1, which is exactly 0 at the start x0 = 1.
int ZeroAtStart(void*, const CVector& x, double* fx) {
    *fx = x[0] * x[0] - 1;
    return 1;
}

}  // namespace

// The line search judges its Newton trials by |phi|: from a start where the objective is 0 no
// trial can be better, so all five overshoot, the search reports no descent and the minimiser
// ends with success where it started.
TEST(Minimise, LineSearchWithoutDescent) {
    CVector x(1);
    x[0] = 1;
    std::vector<std::string> lines;
    EXPECT_EQ(Minimise(false, nullptr, ZeroAtStart, x, 1e-6, &lines), 0);
    EXPECT_EQ(x[0], 1);
    int overshoots = 0;
    for (const std::string& l : lines) overshoots += l.rfind("Overshoot reduce step size", 0) == 0;
    EXPECT_EQ(overshoots, 5);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "SecLineMin: Not a descent direction"),
              lines.end());
    EXPECT_EQ(SuccessIterations(false, lines), 0);
}

namespace {

// The polynomial basis 1, t, ..., t^(N-1).
template <int N>
CVector Powers(double t) {
    CVector v(N);
    double p = 1;
    for (int k = 0; k < N; ++k, p *= t) v[k] = p;
    return v;
}

}  // namespace

// Noiseless samples of a polynomial give back its coefficients.
TEST(LinearLeastSquares, RecoversPolynomialCoefficients) {
    const double t3[] = {0, 1, 2}, y3[] = {1, 3, 5};
    CVector t(3, t3), y(3, y3), coef;
    ASSERT_EQ(LinearLeastSquares(t, y, Powers<2>, &coef), 0);
    ASSERT_EQ(coef.Size(), 2);
    EXPECT_CLOSE(coef[0], 1, 1e-14, 0);
    EXPECT_CLOSE(coef[1], 2, 1e-14, 0);

    const double c[4] = {0.5, -1.25, 0.75, 0.125};
    const int m = 25;
    t.ReSize(m);
    y.ReSize(m);
    for (int j = 0; j < m; ++j) {
        t[j] = -2 + 4.0 * j / (m - 1);
        y[j] = c[0] + t[j] * (c[1] + t[j] * (c[2] + t[j] * c[3]));
    }
    ASSERT_EQ(LinearLeastSquares(t, y, Powers<4>, &coef), 0);
    ASSERT_EQ(coef.Size(), 4);
    for (int k = 0; k < 4; ++k) EXPECT_CLOSE(coef[k], c[k], 1e-12, 0) << k;
}

// Seeded Gaussian noise of sigma 0.05 on a quadratic: each coefficient lies within four standard
// errors sigma sqrt((X^T X)^-1)_kk of the truth, the residual is orthogonal to every basis
// function, and the residual variance estimates sigma^2.
TEST(LinearLeastSquares, NoisyDataWithinStatisticalExpectation) {
    const double c[3] = {2, -0.5, 0.3}, sigma = 0.05;
    const int m = 200;
    std::mt19937 rng(20261208);
    std::normal_distribution<double> noise(0, sigma);
    CVector t(m), y(m), coef;
    for (int j = 0; j < m; ++j) {
        t[j] = -1 + 3.0 * j / (m - 1);
        y[j] = c[0] + c[1] * t[j] + c[2] * t[j] * t[j] + noise(rng);
    }
    ASSERT_EQ(LinearLeastSquares(t, y, Powers<3>, &coef), 0);

    // Covariance of the estimate: sigma^2 (X^T X)^-1, inverted by GaussJordanInverse.
    CMatrix xtx(3, 3);
    for (int j = 0; j < m; ++j)
        for (int k = 0; k < 3; ++k)
            for (int l = 0; l < 3; ++l) xtx(k, l) += std::pow(t[j], k) * std::pow(t[j], l);
    ASSERT_EQ(GaussJordanInverse(xtx), 0);
    for (int k = 0; k < 3; ++k)
        EXPECT_CLOSE(coef[k], c[k], 4 * sigma * std::sqrt(xtx(k, k)), 0) << k;

    double rss = 0, orth[3] = {0, 0, 0};
    for (int j = 0; j < m; ++j) {
        const double r = y[j] - (coef[0] + coef[1] * t[j] + coef[2] * t[j] * t[j]);
        rss += r * r;
        for (int k = 0; k < 3; ++k) orth[k] += r * std::pow(t[j], k);
    }
    for (int k = 0; k < 3; ++k) EXPECT_CLOSE(orth[k], 0, 1e-10, 0) << k;
    // rss / sigma^2 is chi-square with m - 3 = 197 degrees of freedom: mean 197, sd about 20.
    EXPECT_CLOSE(rss / (sigma * sigma), m - 3, 4 * std::sqrt(2.0 * (m - 3)), 0);
}

// Fewer independent samples than basis functions, and malformed input: -1.
TEST(LinearLeastSquares, SingularAndMalformedInput) {
    const double t2[] = {0, 1}, y2[] = {1, 2};
    CVector t(2, t2), y(2, y2), coef;
    int result = 0;
    auto lines =
        LogBodies(CaptureErrorLog([&] { result = LinearLeastSquares(t, y, Powers<3>, &coef); }));
    EXPECT_EQ(result, -1);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "GaussJordan: Singular Matrix"), lines.end());
    ASSERT_EQ(coef.Size(), 3);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(coef[k], 0);

    CVector shortY(1);
    CVector empty;
    CaptureErrorLog([&] {
        EXPECT_EQ(LinearLeastSquares(t, shortY, Powers<2>, &coef), -1);
        EXPECT_EQ(LinearLeastSquares(empty, empty, Powers<2>, &coef), -1);
        EXPECT_EQ(LinearLeastSquares(t, y, Powers<2>, nullptr), -1);
    });
}
