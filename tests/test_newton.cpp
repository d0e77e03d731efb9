// Newton, Newton2, Broyden, BroydenUp and EvaluateJacobian: classic systems with known roots,
// iteration limits, callback failures and the verbose trace.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tests/capture_log.h"
#include "tests/tolerance.h"
#include "zaq/orbit.h"
#include "zaq/solvers.h"

using zaq::test::CaptureErrorLog;
using zaq::test::Hex;
using zaq::test::LogBodies;

namespace {

using Vec = std::vector<double>;

// A system F(x) = 0 with its analytic Jacobian (row-major), a start and the root.
struct System {
    const char* name;
    int n;
    std::function<void(const double* x, double* f)> F;
    std::function<void(const double* x, double* J)> J;
    Vec start, root;
    double tol;
    int lastIteration = -1;  // iteration argument of the latest residual call
    int calls = 0;           // residual and Jacobian calls
};

int Residual(void* ctx, int iteration, CVector& x, CVector& f) {
    auto* s = static_cast<System*>(ctx);
    f.ReSize(s->n);
    s->F(x.Read(), f.Write());
    s->lastIteration = iteration;
    ++s->calls;
    return 1;
}

int Jacobian(void* ctx, int, CVector& x, CMatrix& jac, CVector& f) {
    auto* s = static_cast<System*>(ctx);
    std::vector<double> J(s->n * s->n);
    s->J(x.Read(), J.data());
    for (int k = 0; k < s->n * s->n; ++k) jac[k] = J[k];
    f.ReSize(s->n);
    s->F(x.Read(), f.Write());
    ++s->calls;
    return 1;
}

int Residual2(void* ctx, CVector& x, CVector& f) {
    return Residual(ctx, 0, x, f);
}

int Jacobian2(void* ctx, CVector& x, CMatrix& jac, CVector& f) {
    return Jacobian(ctx, 0, x, jac, f);
}

CVector Make(const Vec& v) {
    return CVector(static_cast<int>(v.size()), v.data());
}

CVector Tol(const System& s) {
    return Make(Vec(s.n, s.tol));
}

// Gradient of Rosenbrock's function 100 (x1 - x0^2)^2 + (1 - x0)^2; zero at (1, 1).
System RosenbrockGradient() {
    return {"Rosenbrock gradient",
            2,
            [](const double* x, double* f) {
                f[0] = -400 * x[0] * (x[1] - x[0] * x[0]) - 2 * (1 - x[0]);
                f[1] = 200 * (x[1] - x[0] * x[0]);
            },
            [](const double* x, double* J) {
                J[0] = 1200 * x[0] * x[0] - 400 * x[1] + 2;
                J[1] = J[2] = -400 * x[0];
                J[3] = 200;
            },
            {-1.2, 1},
            {1, 1},
            1e-9};
}

// Powell's badly scaled function from its standard start (0, 1); the published root.
System PowellBadlyScaled() {
    return {"Powell badly scaled",
            2,
            [](const double* x, double* f) {
                f[0] = 1e4 * x[0] * x[1] - 1;
                f[1] = std::exp(-x[0]) + std::exp(-x[1]) - 1.0001;
            },
            [](const double* x, double* J) {
                J[0] = 1e4 * x[1];
                J[1] = 1e4 * x[0];
                J[2] = -std::exp(-x[0]);
                J[3] = -std::exp(-x[1]);
            },
            {0, 1},
            {1.098159329699759e-05, 9.106146739867318},
            1e-13};
}

// A trigonometric system built to vanish at (pi/6, pi/4, pi/3).
System Trigonometric() {
    auto g = [](const double* x, double* f) {
        f[0] = std::sin(x[0]) + std::cos(x[1]) + x[2];
        f[1] = x[0] + std::sin(x[1]) - std::cos(x[2]);
        f[2] = std::cos(x[0]) - x[1] + std::sin(x[2]);
    };
    const double r[3] = {M_PI / 6, M_PI / 4, M_PI / 3};
    double c[3];
    g(r, c);
    return {"Trigonometric (3 unknowns)",
            3,
            [g, c0 = c[0], c1 = c[1], c2 = c[2]](const double* x, double* f) {
                g(x, f);
                f[0] -= c0;
                f[1] -= c1;
                f[2] -= c2;
            },
            [](const double* x, double* J) {
                const double jac[9] = {std::cos(x[0]),
                                       -std::sin(x[1]),
                                       1,
                                       1,
                                       std::cos(x[1]),
                                       std::sin(x[2]),
                                       -std::sin(x[0]),
                                       -1,
                                       std::cos(x[2])};
                for (int k = 0; k < 9; ++k) J[k] = jac[k];
            },
            {0.4, 0.6, 0.9},
            {r[0], r[1], r[2]},
            1e-12};
}

// Kepler's equation and the true anomaly as one system in (E, nu) for M = 1, e = 0.7; the root
// comes from the library's own anomaly conversions.
constexpr double kM = 1.0, kEcc = 0.7;
System KeplerLike() {
    const double k = std::sqrt((1 + kEcc) / (1 - kEcc));
    const double E = otk::mna2eca(kM, kEcc);
    return {"Kepler-like (E, nu)",
            2,
            [k](const double* x, double* f) {
                f[0] = x[0] - kEcc * std::sin(x[0]) - kM;
                f[1] = x[1] - 2 * std::atan(k * std::tan(x[0] / 2));
            },
            [k](const double* x, double* J) {
                const double t = std::tan(x[0] / 2);
                J[0] = 1 - kEcc * std::cos(x[0]);
                J[1] = 0;
                J[2] = -k * (1 + t * t) / (1 + k * k * t * t);
                J[3] = 1;
            },
            {kM, kM},
            {E, otk::eca2tra(E, kEcc)},
            1e-12};
}

void ExpectAtRoot(const System& s, const CVector& x) {
    ASSERT_EQ(x.Size(), s.n);
    for (int i = 0; i < s.n; ++i)
        EXPECT_CLOSE(x[i], s.root[i], 1e-9, 1e-8) << s.name << " unknown " << i;
}

// Broyden's good update written out for two unknowns, for comparison: a difference Jacobian
// with relative steps h (absolute at 0), Cramer's rule for each step, `iterations` steps.
Vec ReferenceBroyden2(const System& s, int iterations, double h) {
    Vec x = s.start, f(2), g(2);
    double B[2][2];
    s.F(x.data(), f.data());
    for (int j = 0; j < 2; ++j) {
        Vec w = x;
        const double d = (x[j] != 0 ? x[j] : 1) * h;
        w[j] += d;
        s.F(w.data(), g.data());
        for (int i = 0; i < 2; ++i) B[i][j] = (g[i] - f[i]) / d;
    }
    for (int k = 0; k < iterations; ++k) {
        const double det = B[0][0] * B[1][1] - B[0][1] * B[1][0];
        const double dx[2] = {(-f[0] * B[1][1] + B[0][1] * f[1]) / det,
                              (-B[0][0] * f[1] + B[1][0] * f[0]) / det};
        const Vec x0 = x, f0 = f;
        x[0] += dx[0];
        x[1] += dx[1];
        s.F(x.data(), f.data());
        const double s0 = x[0] - x0[0], s1 = x[1] - x0[1], dd = s0 * s0 + s1 * s1;
        for (int i = 0; i < 2; ++i) {
            const double u = f[i] - f0[i] - (B[i][0] * s0 + B[i][1] * s1);
            B[i][0] += u * s0 / dd;
            B[i][1] += u * s1 / dd;
        }
    }
    return x;
}

}  // namespace

// Four classic systems with known roots, solved by Newton (analytic and difference Jacobian),
// Broyden and Newton2. Where a solver cannot reach the root its own rules say how it ends:
// Broyden stops at its 20-iteration hard limit on Rosenbrock's gradient and on Powell's
// function (where the updates need 28 iterations), at the point the written-out update reaches;
// Newton2's merit test allows only minute steps along Rosenbrock's curved valley, which ends as
// stagnation. The iteration counts are printed for the record.
TEST(Newton, ClassicSystemsReachTheirKnownRoots) {
    struct Expect {
        System s;
        int broyden, newton2;  // expected failure code, or 1 for "converges"
    } systems[] = {{RosenbrockGradient(), -1, -4},
                   {PowellBadlyScaled(), -1, 1},
                   {Trigonometric(), 1, 1},
                   {KeplerLike(), 1, 1}};
    for (const Expect& e : systems) {
        const System& proto = e.s;
        int counts[4];
        {
            System s = proto;
            CVector x = Make(s.start);
            counts[0] = Newton(&s, Residual, x, Tol(s), Jacobian, nullptr, 40, false);
            ExpectAtRoot(s, x);
        }
        {
            System s = proto;
            CVector x = Make(s.start);
            counts[1] = Newton(&s, Residual, x, Tol(s), nullptr, nullptr, 40, false);
            ExpectAtRoot(s, x);
        }
        CaptureErrorLog([&] {
            System s = proto;
            CVector x = Make(s.start), h = Make(Vec(s.n, 1e-7));
            counts[2] = Broyden(&s, Residual, x, Tol(s), nullptr, &h, 40, false, nullptr);
            if (e.broyden > 0) {
                ExpectAtRoot(s, x);
            } else {
                EXPECT_EQ(counts[2], e.broyden) << s.name;
                EXPECT_EQ(s.lastIteration, 20) << s.name;
                const Vec ref = ReferenceBroyden2(s, 20, 1e-7);
                for (int i = 0; i < 2; ++i) EXPECT_CLOSE(x[i], ref[i], 1e-12, 1e-9) << s.name;
            }
        });
        CaptureErrorLog([&] {
            System s = proto;
            CVector x = Make(s.start);
            counts[3] = Newton2(&s, Residual2, Jacobian2, x, s.tol, 10, 40, false);
            if (e.newton2 > 0)
                ExpectAtRoot(s, x);
            else
                EXPECT_EQ(counts[3], e.newton2) << s.name;
        });
        EXPECT_GT(counts[0], 0) << proto.name;
        EXPECT_GT(counts[1], 0) << proto.name;
        if (e.broyden > 0) {
            EXPECT_GT(counts[2], counts[0]) << proto.name;  // superlinear, not quadratic
        }
        if (e.newton2 > 0) {
            EXPECT_GT(counts[3], 0) << proto.name;
        }
        std::printf("%-28s Newton %2d  Newton(FD) %2d  Broyden %2d  Newton2 %2d\n", proto.name,
                    counts[0], counts[1], counts[2], counts[3]);
    }
    // With no iteration cap the written-out update reaches Powell's root: the limit, not the
    // update, stops Broyden there.
    const System p = PowellBadlyScaled();
    const Vec late = ReferenceBroyden2(p, 28, 1e-7);
    EXPECT_CLOSE(late[0], p.root[0], 1e-15, 1e-8);
    EXPECT_CLOSE(late[1], p.root[1], 1e-9, 1e-8);
}

// A linear system lands on its root in one exact Newton step; Broyden's updates of an exact
// Jacobian stay exact, so the Jacobian it hands out is A itself.
TEST(Newton, LinearSystemInOneStep) {
    const double A[9] = {4, -1, 2, 1, 5, -1, 2, 0, 3}, b[3] = {3, -2, 7};
    System s{"linear",
             3,
             [&](const double* x, double* f) {
                 for (int i = 0; i < 3; ++i)
                     f[i] = A[3 * i] * x[0] + A[3 * i + 1] * x[1] + A[3 * i + 2] * x[2] - b[i];
             },
             [&](const double*, double* J) {
                 for (int k = 0; k < 9; ++k) J[k] = A[k];
             },
             {0, 0, 0},
             {},
             1e-12};
    CVector x(3);
    EXPECT_EQ(Newton(&s, Residual, x, Tol(s), Jacobian, nullptr, 12, false), 1);
    // Cramer's rule for the root.
    auto det = [](const double* m) {
        return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
               m[2] * (m[3] * m[7] - m[4] * m[6]);
    };
    for (int j = 0; j < 3; ++j) {
        double Aj[9];
        for (int k = 0; k < 9; ++k) Aj[k] = k % 3 == j ? b[k / 3] : A[k];
        EXPECT_CLOSE(x[j], det(Aj) / det(A), 1e-14, 1e-13);
    }

    CVector y(3);
    CMatrix out;
    EXPECT_EQ(Broyden(&s, Residual, y, Tol(s), Jacobian, nullptr, 12, false, &out), 1);
    ASSERT_EQ(out.Rows(), 3);
    for (int k = 0; k < 9; ++k) EXPECT_CLOSE(out[k], A[k], 1e-14, 0);
}

// max counts from 1 and is checked before each iteration; the hard limits are 64 iterations for
// Newton and BroydenUp and 20 for Broyden. A zero tolerance never converges.
TEST(Newton, IterationLimits) {
    System s{"x - 1",
             1,
             [](const double* x, double* f) { f[0] = x[0] - 1; },
             [](const double*, double* J) { J[0] = 1; },
             {0},
             {1},
             0};
    CVector x(1), tol(1);

    // max = 1: no callback at all, the warning and the two labelled prints.
    std::string log = CaptureErrorLog(
        [&] { EXPECT_EQ(Newton(&s, Residual, x, tol, Jacobian, nullptr, 1, false), 0); });
    EXPECT_EQ(s.calls, 0);
    auto lines = LogBodies(log);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Newton: Aborted after reaching max (1) iterations in 1 dimensions");
    EXPECT_EQ(lines[1].rfind("Tolerance Vector: [0]", 0), 0u);
    EXPECT_EQ(lines[2].rfind("Error Vector: [0]", 0), 0u);

    // max = 12: eleven iterations, then 0.
    CaptureErrorLog(
        [&] { EXPECT_EQ(Newton(&s, Residual, x, tol, Jacobian, nullptr, 12, false), 0); });
    EXPECT_EQ(s.lastIteration, 11);

    struct Case {
        const char* solver;
        int lastIteration;
        const char* message;
    } cases[] = {
        {"Newton", 64, "Newton: No roots found with-in maximum number of iterations (32)"},
        {"Broyden", 20, "Broyden: No roots found with-in maximum number of iterations (32)"},
        {"BroydenUp", 64, "Broyden: No roots found with-in maximum number of iterations (32)"},
    };
    for (const Case& c : cases) {
        x.Null();
        CMatrix jac(1, 1);
        jac[0] = 1;
        int result = 0;
        log = CaptureErrorLog([&] {
            const std::string name = c.solver;
            if (name == "Newton") result = Newton(&s, Residual, x, tol, Jacobian, nullptr, 100, 0);
            if (name == "Broyden")
                result = Broyden(&s, Residual, x, tol, Jacobian, nullptr, 100, false, nullptr);
            if (name == "BroydenUp") result = BroydenUp(&s, Residual, jac, x, tol, nullptr, 100, 0);
        });
        EXPECT_EQ(result, -1) << c.solver;
        EXPECT_EQ(s.lastIteration, c.lastIteration) << c.solver;
        EXPECT_EQ(LogBodies(log).back(), c.message) << c.solver;
        // The root itself was reached at once; the steps after it are zero and leave x there.
        EXPECT_EQ(x[0], 1) << c.solver;
    }
}

// Newton2's trial step lengths on x^2 + 1 next to its minimum, where no step along the
// Newton direction reduces the residual; a step that can only be shortened to 1/16 every time
// ends as stagnation.
TEST(Newton, Newton2BacktrackingAndStagnation) {
    std::vector<double> trials;
    const double x0 = 1e-9;
    System s{"x^2 + 1",
             1,
             [&](const double* x, double* f) {
                 trials.push_back(x[0]);
                 f[0] = x[0] * x[0] + 1;
             },
             [](const double* x, double* J) { J[0] = 2 * x[0]; },
             {x0},
             {},
             1e-10};
    CVector x = Make(s.start);
    std::string log;
    log = CaptureErrorLog(
        [&] { EXPECT_EQ(Newton2(&s, Residual2, Jacobian2, x, 1e-10, 3, 10, 0), -5); });
    trials.erase(trials.begin());  // the residual that comes with the Jacobian
    const double dx = -(x0 * x0 + 1) / (2 * x0);
    const double expected[] = {1, 0.5, 0.25, 0.0625, 0.00390625, 1.52587890625e-05};
    ASSERT_EQ(trials.size(), 6u);
    for (int i = 0; i < 6; ++i) EXPECT_CLOSE((trials[i] - x0) / dx, expected[i], 0, 1e-12);
    EXPECT_EQ(x[0], x0);  // the last accepted point
    EXPECT_EQ(LogBodies(log).back(), "Newton: Newton direction isn't a descent direction.");

    // sign(x) |x|^0.1: the Newton step is -10 x, and only a sixteenth of it is accepted.
    System root{"x^0.1",
                1,
                [](const double* x, double* f) {
                    f[0] = std::copysign(std::pow(std::fabs(x[0]), 0.1), x[0]);
                },
                [](const double* x, double* J) { J[0] = 0.1 * std::pow(std::fabs(x[0]), -0.9); },
                {1},
                {},
                1e-10};
    CVector y = Make(root.start);
    log = CaptureErrorLog(
        [&] { EXPECT_EQ(Newton2(&root, Residual2, Jacobian2, y, 1e-10, 3, 10, 0), -4); });
    EXPECT_CLOSE(y[0], std::pow(1 - 0.0625 * 10, 3), 1e-15, 1e-12);  // three steps taken
    EXPECT_EQ(LogBodies(log).back(), "Newton: Root finding trapped in local minima. (No Roots)");

    // max <= 0 and the limit: -3.
    log = CaptureErrorLog(
        [&] { EXPECT_EQ(Newton2(&root, Residual2, Jacobian2, y, 1e-10, 3, 0, 0), -3); });
    EXPECT_EQ(LogBodies(log).back(), "Newton: Aborted after reaching max (0) iterations");
    y[0] = 1;
    log = CaptureErrorLog(
        [&] { EXPECT_EQ(Newton2(&root, Residual2, Jacobian2, y, 1e-10, 9, 2, 0), -3); });
    EXPECT_EQ(LogBodies(log).back(), "Newton: Aborted after reaching max (2) iterations");

    // A start exactly on the root converges in the first iteration instead of failing to
    // reduce a zero residual.
    System line{"x - 1",
                1,
                [](const double* x, double* f) { f[0] = x[0] - 1; },
                [](const double*, double* J) { J[0] = 1; },
                {1},
                {1},
                1e-10};
    CVector at = Make(line.start);
    EXPECT_EQ(Newton2(&line, Residual2, Jacobian2, at, 1e-10, 3, 10, false), 1);
    EXPECT_EQ(at[0], 1);
}

// Forward differences with relative steps; an unknown of exactly 0 gets the absolute step h.
TEST(Newton, EvaluateJacobian) {
    System s{"(x0^2, 3 x1)",
             2,
             [](const double* x, double* f) {
                 f[0] = x[0] * x[0];
                 f[1] = 3 * x[1];
             },
             nullptr,
             {},
             {},
             0};
    const double x0[2] = {2, 5};
    CVector x(2, x0), f;
    CMatrix jac(2, 2);
    ASSERT_EQ(EvaluateJacobian(&s, Residual, 0, x, jac, f, nullptr), 1);
    // d(x^2)/dx by a forward step of 2e-5 is 2x + step exactly, up to rounding.
    EXPECT_CLOSE(jac(0, 0), 4 + 2e-5, 1e-9, 0);
    EXPECT_CLOSE(jac(0, 1), 0, 1e-12, 0);
    EXPECT_CLOSE(jac(1, 0), 0, 1e-12, 0);
    EXPECT_CLOSE(jac(1, 1), 3, 1e-9, 0);
    EXPECT_CLOSE(f[0], 4, 0, 0);
    EXPECT_CLOSE(f[1], 15, 0, 0);

    // At -2 the step goes to -2.00002: the derivative is -4 - 2e-5, with its sign.
    x[0] = -2;
    ASSERT_EQ(EvaluateJacobian(&s, Residual, 0, x, jac, f, nullptr), 1);
    EXPECT_CLOSE(jac(0, 0), -4 - 2e-5, 1e-9, 0);

    // At 0 with h = 1e-3: the step is 1e-3 itself, the derivative of x^2 there is the step.
    x[0] = 0;
    x[1] = 0;
    CVector h(2);
    h[0] = h[1] = 1e-3;
    ASSERT_EQ(EvaluateJacobian(&s, Residual, 0, x, jac, f, &h), 1);
    EXPECT_CLOSE(jac(0, 0), 1e-3, 1e-15, 1e-12);
    EXPECT_CLOSE(jac(1, 1), 3, 1e-12, 0);
    EXPECT_EQ(x[0], 0);  // the point is left as it was
    EXPECT_EQ(x[1], 0);

    // A jac of the wrong shape is made 2 x 2; a step vector that is too short is refused.
    CMatrix small(1, 1);
    ASSERT_EQ(EvaluateJacobian(&s, Residual, 0, x, small, f, nullptr), 1);
    EXPECT_EQ(small.Rows(), 2);
    CVector shortH(1);
    shortH[0] = 1e-5;
    std::string log;
    log = CaptureErrorLog(
        [&] { EXPECT_EQ(EvaluateJacobian(&s, Residual, 0, x, jac, f, &shortH), 0); });
    EXPECT_NE(log.find("Step vector has 1 elements, 2 expected"), std::string::npos);
}

namespace {

// Residual callbacks that fail: at the start, or at the first new point.
int FailAlways(void*, int, CVector&, CVector&) {
    return -1;
}
int FailAfterStart(void* ctx, int iteration, CVector& x, CVector& f) {
    if (iteration > 0) return -1;
    return Residual(ctx, iteration, x, f);
}
int FailJacobian(void*, int, CVector&, CMatrix&, CVector&) {
    return 0;
}
int FailJacobian2(void*, CVector&, CMatrix&, CVector&) {
    return 0;
}
int FailResidual2(void*, CVector&, CVector&) {
    return -1;
}

}  // namespace

// Callback failures end every solver with its code and message; nothing is retried.
TEST(Newton, CallbackFailures) {
    System s = Trigonometric();
    const CVector tol = Tol(s);
    CVector x = Make(s.start), h = Make(Vec(3, 1e-7));
    auto last = [](const std::string& log) { return LogBodies(log).back(); };
    std::string log;

    log =
        CaptureErrorLog([&] { EXPECT_EQ(Newton(&s, FailAlways, x, tol, nullptr, &h, 12, 0), -1); });
    EXPECT_EQ(last(log), "Newton: Evaluation of Jacobian failed");
    EXPECT_NE(log.find("EvaluateJacobian: Evaluation of function (0x" +
                       Hex(reinterpret_cast<void*>(&FailAlways)) + ") failed (init)"),
              std::string::npos);
    log = CaptureErrorLog(
        [&] { EXPECT_EQ(Newton(&s, Residual, x, tol, FailJacobian, nullptr, 12, 0), -1); });
    EXPECT_EQ(last(log), "Newton: Evaluation of EvalJacobian(0x" +
                             Hex(reinterpret_cast<void*>(&FailJacobian)) + ") failed");
    // A residual failure at a new point ends without a message of its own.
    x = Make(s.start);
    log = CaptureErrorLog(
        [&] { EXPECT_EQ(Newton(&s, FailAfterStart, x, tol, nullptr, &h, 12, 0), -1); });
    EXPECT_EQ(log, "");
    EXPECT_NE(x[0], s.start[0]);  // the step was taken before the failing evaluation

    log = CaptureErrorLog(
        [&] { EXPECT_EQ(Broyden(&s, Residual, x, tol, nullptr, nullptr, 12, 0, nullptr), -1); });
    EXPECT_EQ(last(log), "Broyden: _h must be defined");
    log = CaptureErrorLog(
        [&] { EXPECT_EQ(Broyden(&s, FailAlways, x, tol, nullptr, &h, 12, 0, nullptr), -1); });
    EXPECT_EQ(last(log), "Broyden: Evaluation of Jacobian failed");
    log = CaptureErrorLog(
        [&] { EXPECT_EQ(Broyden(&s, Residual, x, tol, FailJacobian, &h, 12, 0, nullptr), -1); });
    EXPECT_EQ(last(log), "Broyden: Evaluation of EvalJacobian(0x" +
                             Hex(reinterpret_cast<void*>(&FailJacobian)) + ") failed");
    CMatrix jac(3, 3);
    jac.Identity();
    EXPECT_EQ(BroydenUp(&s, FailAlways, jac, x, tol, nullptr, 12, false), -1);

    log = CaptureErrorLog(
        [&] { EXPECT_EQ(Newton2(&s, Residual2, FailJacobian2, x, 1e-9, 3, 12, 0), -1); });
    EXPECT_EQ(last(log), "Newton: Evaluation of EvalJacobian(0x" +
                             Hex(reinterpret_cast<void*>(&FailJacobian2)) + ") failed");
    log = CaptureErrorLog(
        [&] { EXPECT_EQ(Newton2(&s, FailResidual2, Jacobian2, x, 1e-9, 3, 12, 0), -2); });
    EXPECT_EQ(last(log), "Newton: Evaluation of Function(0x" +
                             Hex(reinterpret_cast<void*>(&FailResidual2)) + ") failed");

    // A tolerance of the wrong size is refused before any evaluation.
    s.calls = 0;
    CVector shortTol(2);
    CaptureErrorLog(
        [&] { EXPECT_EQ(Newton(&s, Residual, x, shortTol, Jacobian, nullptr, 12, 0), -1); });
    EXPECT_EQ(s.calls, 0);
}

// A Jacobian with a zero row cannot be factorised: every solver ends with -1 at once.
TEST(Newton, ZeroRowJacobianEndsTheSolve) {
    System s{"zero row",
             2,
             [](const double* x, double* f) {
                 f[0] = 1;  // does not depend on x
                 f[1] = x[0] + x[1];
             },
             [](const double*, double* J) {
                 J[0] = J[1] = 0;
                 J[2] = J[3] = 1;
             },
             {1, 2},
             {},
             1e-9};
    const CVector tol = Tol(s);
    CVector x = Make(s.start), h = Make(Vec(2, 1e-6));
    std::string log = CaptureErrorLog([&] {
        EXPECT_EQ(Newton(&s, Residual, x, tol, Jacobian, nullptr, 12, false), -1);
        EXPECT_EQ(Newton(&s, Residual, x, tol, nullptr, nullptr, 12, false), -1);
        EXPECT_EQ(Broyden(&s, Residual, x, tol, nullptr, &h, 12, false, nullptr), -1);
        EXPECT_EQ(Newton2(&s, Residual2, Jacobian2, x, 1e-9, 3, 12, false), -1);
    });
    EXPECT_EQ(x[0], 1);  // no step was taken
    EXPECT_EQ(x[1], 2);
    EXPECT_NE(log.find("Singular Jacobian (a zero row), no step"), std::string::npos);
}

// BroydenUp updates the caller's matrix in place. Started from the identity it still reaches the
// root, and the matrix it leaves satisfies the secant condition of its last update:
// B (x[k-1] - x[k-2]) = f[k-1] - f[k-2] over the points it evaluated.
TEST(Newton, BroydenUpUpdatesTheCallersJacobian) {
    System s = KeplerLike();
    std::vector<Vec> xs, fs;
    const auto F = s.F;
    s.F = [&](const double* x, double* f) {
        F(x, f);
        xs.push_back({x[0], x[1]});
        fs.push_back({f[0], f[1]});
    };
    CVector x = Make(s.start);
    CMatrix jac(2, 2);
    jac.Identity();
    const int k = BroydenUp(&s, Residual, jac, x, Tol(s), nullptr, 40, false);
    ASSERT_GT(k, 1);
    ExpectAtRoot(s, x);
    ASSERT_EQ(static_cast<int>(xs.size()), k + 1);  // the start and one point per iteration
    for (int i = 0; i < 2; ++i) {
        const double dx0 = xs[k - 1][0] - xs[k - 2][0], dx1 = xs[k - 1][1] - xs[k - 2][1];
        EXPECT_CLOSE(jac(i, 0) * dx0 + jac(i, 1) * dx1, fs[k - 1][i] - fs[k - 2][i], 1e-15, 1e-9);
    }
}

// The verbose trace of Newton: start line, iteration header, the labelled prints and the
// success line, in order.
TEST(Newton, VerboseTrace) {
    System s = KeplerLike();
    CVector x = Make(s.start);
    int k = 0;
    const auto lines = LogBodies(
        CaptureErrorLog([&] { k = Newton(&s, Residual, x, Tol(s), Jacobian, nullptr, 20, true); }));
    ASSERT_GT(k, 0);
    const char* expected[] = {"--- Starting to process Newton Solution ---",
                              "---------------------- Iteration 1 ----------------------",
                              "Newton: Jacobian Matrix:",
                              "Jacobian: Principal Minors Vector:",
                              "Newton: Current Solution Vector:",
                              "Newton: Remaining Error Vector:",
                              "Newton: Step Vector:"};
    size_t at = 0;
    for (const char* e : expected) {
        while (at < lines.size() && lines[at].rfind(e, 0) != 0) ++at;
        EXPECT_LT(at, lines.size()) << e;
    }
    EXPECT_EQ(lines.back(), "Newton: Success in " + std::to_string(k) + " iterations");
}
