// One-dimensional solvers: Ridders, Golden, FDNewton1DMin, FDNewton1D and LineFit, on functions
// with known roots and minima, with their limits and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/capture_log.h"
#include "tests/tolerance.h"
#include "zaq/solvers.h"

using zaq::test::CaptureErrorLog;
using zaq::test::Hex;
using zaq::test::LogBodies;

namespace {

// A scalar function with a record of the points it was evaluated at; it fails (-1) at points
// for which `fails` says so.
struct Fn {
    explicit Fn(
        std::function<double(double)> f_,
        std::function<bool(double)> fails_ = [](double) { return false; })
        : f(std::move(f_)), fails(std::move(fails_)) {}
    std::function<double(double)> f;
    std::function<bool(double)> fails;
    std::vector<double> at;
};

int Eval(void* ctx, double x, double* fx) {
    auto* fn = static_cast<Fn*>(ctx);
    fn->at.push_back(x);
    if (fn->fails(x)) return -1;
    *fx = fn->f(x);
    return 1;
}

std::string Address(ScalarFunction f) {
    return "0x" + Hex(reinterpret_cast<void*>(f));
}

}  // namespace

TEST(Ridders, RootsBracketsAndLimits) {
    Fn sq{[](double x) { return x * x - 2; }};
    double root = -1;
    const int it = Ridders(&sq, Eval, 0, 2, 1e-12, &root, 40);
    EXPECT_GE(it, 1);
    EXPECT_LE(it, 6);  // Ridders converges quadratically
    EXPECT_CLOSE(root, std::sqrt(2.0), 1e-12, 0);

    // Kepler's equation E - 0.5 sin E = 1 is monotone in E: a root in [0, pi].
    Fn kepler{[](double E) { return E - 0.5 * std::sin(E) - 1; }};
    ASSERT_GE(Ridders(&kepler, Eval, 0, M_PI, 1e-13, &root, 40), 1);
    EXPECT_CLOSE(root - 0.5 * std::sin(root), 1, 1e-12, 0);

    // No sign change: -1; an end point on the root: that end point and 1, after only the two end
    // evaluations.
    EXPECT_EQ(Ridders(&sq, Eval, 2, 3, 1e-12, &root, 40), -1);
    Fn cube{[](double x) { return x * x * x - 8; }};
    root = 0;
    EXPECT_EQ(Ridders(&cube, Eval, 2, 5, 1e-12, &root, 40), 1);
    EXPECT_EQ(root, 2);
    EXPECT_EQ(cube.at.size(), 2u);
    EXPECT_EQ(Ridders(&cube, Eval, 0, 2, 1e-12, &root, 40), 1);
    EXPECT_EQ(root, 2);

    // A bracket whose midpoint value lies outside the end values: not monotone, -1.
    Fn bump{[](double x) { return x < 0.9 ? 10 * std::sin(M_PI * x) - 1 : 1; }};
    EXPECT_EQ(Ridders(&bump, Eval, 0, 1, 1e-12, &root, 40), -1);

    // The limit: -maxIter, the root set to 0 and the message.
    root = 5;
    int result = 0;
    const auto lines =
        LogBodies(CaptureErrorLog([&] { result = Ridders(&sq, Eval, 0, 2, 1e-300, &root, 2); }));
    EXPECT_EQ(result, -2);
    EXPECT_EQ(root, 0);
    EXPECT_EQ(lines, std::vector<std::string>{"Ridders: Max iterations reached"});
    CaptureErrorLog([&] { EXPECT_EQ(Ridders(&sq, Eval, 0, 2, 1e-300, &root, 0), -1); });
}

TEST(Golden, MinimaLimitsAndFailures) {
    Fn bowl{[](double x) { return (x - 1) * (x - 1); }};
    double xmin = 0;
    const int it = Golden(&bowl, Eval, 0, 0.5, 3, 1e-8, &xmin, 100);
    EXPECT_GT(it, 0);
    // The bracket shrinks by 0.618 per evaluation: about log(tol * 2 / 3) / log(0.618) of them.
    EXPECT_LE(it, 45);
    EXPECT_CLOSE(xmin, 1, 1e-7, 0);
    EXPECT_EQ(static_cast<int>(bowl.at.size()), it + 2);  // one evaluation per iteration

    // A reversed bracket (c < b < a) and a function with a transcendental minimum:
    // x e^x has its minimum at x = -1.
    Fn xe{[](double x) { return x * std::exp(x); }};
    ASSERT_GT(Golden(&xe, Eval, 0, -0.5, -4, 1e-9, &xmin, 100), 0);
    EXPECT_CLOSE(xmin, -1, 1e-7, 0);

    // A bracket that is already narrow enough: 0 iterations, *xmin written.
    xmin = 7;
    EXPECT_EQ(Golden(&bowl, Eval, 0.999, 1, 1.001, 1e-2, &xmin, 100), 0);
    EXPECT_CLOSE(xmin, 1, 1e-3, 0);
    // The limit: 0 with *xmin not written.
    xmin = 7;
    EXPECT_EQ(Golden(&bowl, Eval, 0, 0.5, 3, 1e-12, &xmin, 5), 0);
    EXPECT_EQ(xmin, 7);
    // A failing evaluation: -1.
    Fn failing{[](double x) { return x * x; }, [](double x) { return x < -0.3; }};
    EXPECT_EQ(Golden(&failing, Eval, -1, 0.1, 2, 1e-8, &xmin, 100), -1);
}

TEST(FDNewton1DMin, MinimaStepLimitsAndFailures) {
    // (x - 3)^2 from 0 with steps of at most 0.5: six clamped steps to 3, then Newton steps
    // shorter than the clamp; every iteration evaluates x, x + h, x - h.
    Fn bowl{[](double x) { return (x - 3) * (x - 3); }};
    double x = 0;
    const int it = FDNewton1DMin(&bowl, Eval, 1e-9, 0.5, 1e-4, &x, 32);
    ASSERT_GT(it, 0);
    EXPECT_CLOSE(x, 3, 1e-9, 0);
    for (int i = 0; i < 6; ++i) EXPECT_CLOSE(bowl.at[3 * i], 0.5 * i, 1e-12, 0) << i;

    // The minimum of the ignition-search kind: cos x near pi (days-sized steps and tolerances).
    Fn c{[](double t) { return std::cos(t); }};
    x = 2.5;
    ASSERT_GT(FDNewton1DMin(&c, Eval, 1e-6, 0.006944444444444444 * 100, 1e-5, &x, 32), 0);
    EXPECT_CLOSE(x, M_PI, 1e-6, 0);

    // The limit: -maxIter with *x unchanged.
    x = 0;
    EXPECT_EQ(FDNewton1DMin(&bowl, Eval, 1e-9, 0.5, 1e-4, &x, 3), -3);
    EXPECT_EQ(x, 0);

    // A failing evaluation: -1 and the message with the callback's address.
    Fn failing{[](double t) { return (t - 3) * (t - 3); }, [](double t) { return t > 0.7; }};
    x = 0;
    int result = 0;
    const auto lines = LogBodies(
        CaptureErrorLog([&] { result = FDNewton1DMin(&failing, Eval, 1e-9, 0.5, 1e-4, &x, 32); }));
    EXPECT_EQ(result, -1);
    EXPECT_EQ(lines, std::vector<std::string>{"FDNewton1DMin: Evaluation of function(" +
                                              Address(Eval) + ") failed."});
}

TEST(FDNewton1D, RootsBracketHitsLimitsAndFailures) {
    // The cube root of 2 in [0, 3] from 1.
    Fn cube{[](double x) { return x * x * x - 2; }};
    double x = 1;
    ASSERT_GE(FDNewton1D(&cube, Eval, 1e-12, 0, 3, 1e-7, &x, 0, 40), 1);
    EXPECT_CLOSE(x, std::cbrt(2.0), 1e-9, 0);

    // A start outside the bracket begins at its middle; one already on the root returns 0.
    x = 10;
    cube.at.clear();
    ASSERT_GE(FDNewton1D(&cube, Eval, 1e-12, 0, 3, 1e-7, &x, 0, 40), 1);
    EXPECT_EQ(cube.at.front(), 1.5);
    x = std::cbrt(2.0);
    EXPECT_EQ(FDNewton1D(&cube, Eval, 1e-12, 0, 3, 1e-7, &x, 0, 40), 0);

    // atan(x - 2): from 4.5 in [1, 5] the Newton step overshoots far below lo and is placed on
    // lo; from 0.0001 in [0, 3] far beyond hi and is placed at hi - h; each with the warning.
    // With maxStep 1 the second start walks to the root in steps of 1 without a hit. The third
    // evaluation is the point after the first step.
    struct Case {
        double start, lo, hi, maxStep, second;
        bool hit;
    } cases[] = {
        {4.5, 1, 5, 0, 1, true}, {1e-4, 0, 3, 0, 3 - 1e-7, true}, {1e-4, 0, 3, 1, 1 + 1e-4, false}};
    int result = 0;
    std::vector<std::string> lines;
    for (const Case& c : cases) {
        Fn at([](double t) { return std::atan(t - 2); });
        x = c.start;
        lines = LogBodies(CaptureErrorLog(
            [&] { result = FDNewton1D(&at, Eval, 1e-12, c.lo, c.hi, 1e-7, &x, c.maxStep, 40); }));
        ASSERT_GE(result, 1) << c.start;
        EXPECT_CLOSE(x, 2, 1e-11, 0);
        EXPECT_CLOSE(at.at[2], c.second, 1e-15, 0) << c.start;
        const bool hit = !lines.empty() && lines.front() == "FDNewton1D: Bracket hit";
        EXPECT_EQ(hit, c.hit) << c.start;
    }

    // The limit: -maxIter and the message.
    x = 1;
    lines = LogBodies(
        CaptureErrorLog([&] { result = FDNewton1D(&cube, Eval, 1e-300, 0, 3, 1e-7, &x, 0, 3); }));
    EXPECT_EQ(result, -3);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("Maximum number of iterations (3) reached in FDNewton1D. Tol=", 0),
              0u);

    // A failing evaluation: -1 and the message.
    Fn failing{[](double t) { return t - 2; }, [](double t) { return t > 1.5; }};
    x = 1;
    lines = LogBodies(CaptureErrorLog(
        [&] { result = FDNewton1D(&failing, Eval, 1e-12, 0, 3, 1e-7, &x, 0, 40); }));
    EXPECT_EQ(result, -1);
    EXPECT_EQ(lines.back(), "FDNewton1D: Evaluation of function(" + Address(Eval) + ") failed.");
}

TEST(LineFit, StraightLines) {
    const double x3[] = {0, 1, 2}, y3[] = {1, 3, 5};
    CVector x(3, x3), y(3, y3);
    double a = 0, b = 0;
    ASSERT_EQ(LineFit(x, y, &a, &b), 0);
    EXPECT_CLOSE(a, 1, 1e-14, 0);
    EXPECT_CLOSE(b, 2, 1e-14, 0);

    // Points off a line: the fit of (0,0), (1,1), (2,1), (3,3) is the textbook
    // b = (n Sxy - Sx Sy) / (n Sxx - Sx^2) = (4*12 - 6*5) / (4*14 - 36) = 0.9 and
    // a = (Sy - b Sx) / n = (5 - 0.9*6) / 4 = -0.1.
    const double x4[] = {0, 1, 2, 3}, y4[] = {0, 1, 1, 3};
    CVector u(4, x4), v(4, y4);
    ASSERT_EQ(LineFit(u, v, &a, &b), 0);
    EXPECT_CLOSE(b, 0.9, 1e-14, 0);
    EXPECT_CLOSE(a, -0.1, 1e-14, 0);

    EXPECT_EQ(LineFit(x, v, &a, &b), -1);
    EXPECT_EQ(LineFit(x, y, nullptr, &b), -1);
}
