// LUD: factorisation statuses, pivoting, solves and copies; GaussJordan.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/capture_log.h"
#include "tests/linalg_reference.h"
#include "tests/tolerance.h"
#include "zaq/linalg.h"

using namespace zaq::test;

namespace {

std::vector<double> Factors(const LUD& lud) {
    CMatrix m;
    lud.GetMatrix(m);
    return Elements(m);
}

}  // namespace

TEST(LUD, PivotingAndZeroPivots) {
    const double swap[] = {0, 1, 1, 0};
    const LUD s(CMatrix(2, 2, swap));
    EXPECT_EQ(s.GetStatus(), 0);
    EXPECT_EQ(s.Det(), -1);
    EXPECT_EQ(Factors(s), (std::vector<double>{1, 0, 0, 1}));

    // Rank 1: the scaled candidates of the first column tie and the first row stays; the
    // second pivot is 0 and becomes 1e-30.
    const double rank1[] = {1, 2, 2, 4};
    const LUD r(CMatrix(2, 2, rank1));
    EXPECT_TRUE(r.isOk());
    EXPECT_EQ(Factors(r), (std::vector<double>{1, 2, 2, 1e-30}));
    EXPECT_EQ(r.Det(), 1e-30);

    // Row scaling decides the pivot: unscaled, 10 would win; scaled, 10/10000 loses to 2/2.
    const double scaled[] = {10, 10000, 2, 1};
    const LUD p(CMatrix(2, 2, scaled));
    EXPECT_EQ(Factors(p), (std::vector<double>{2, 1, 5, 9995}));
    EXPECT_EQ(p.Det(), -19990);
}

// Refused factorisations and solves: status, message and what is left behind.
TEST(LUD, StatusesAndMessages) {
    const double zeroRow[] = {1, 2, 0, 0};
    const double good[] = {2, 1, 1, 3};
    const CMatrix z(2, 2, zeroRow), g(2, 2, good), wide(2, 3);
    struct Case {
        const CMatrix* m;
        int status;
        const char* reason;
        int afterwards;  // GetStatus() after the refusal
    };
    const std::vector<Case> cases = {
        {&z, 3, "Can't do LU Decomposition for singular matrix", -1},
        {&wide, 2, "Can't do LU Decomposition for non-square Matrix", 2},
        {nullptr, 4, "NULL POINTER", 4},
    };
    for (const Case& c : cases) {
        LUD lud(g);  // an earlier, valid factorisation
        std::vector<std::string> lines;
        lines = LogBodies(CaptureErrorLog([&] { EXPECT_EQ(lud.ComputeLUD(c.m), c.status); }));
        ASSERT_EQ(lines.size(), 1u) << c.reason;
        EXPECT_EQ(lines[0].find("This=0x" + Hex(&lud) + ", File=linalg/LUD.cpp"), 0u) << lines[0];
        EXPECT_NE(lines[0].find(std::string("Func=LUD::ComputeLUD(): \"") + c.reason + "\""),
                  std::string::npos)
            << lines[0];
        EXPECT_EQ(lud.GetStatus(), c.afterwards);
        EXPECT_FALSE(lud.isOk());
        // Whatever arrays remain belong to another matrix: no solve, no determinant.
        double b[2] = {1, 1};
        CVector vb(2, b), vx;
        CMatrix mb(2, 1), mx;
        lines = LogBodies(CaptureErrorLog([&] {
            EXPECT_FALSE(lud.Solve(b, b));
            EXPECT_FALSE(lud.Solve(vb, vx));
            EXPECT_FALSE(lud.Solve(mb, mx));
            EXPECT_EQ(lud.Det(), 0);
        }));
        ASSERT_EQ(lines.size(), 4u);
        for (const auto& l : lines)
            EXPECT_NE(l.find("\"No LU Decomposition present\""), std::string::npos) << l;
        EXPECT_EQ(Factors(lud), std::vector<double>{});
        EXPECT_EQ(LogBodies(CaptureStream([&](FILE* f) { lud.Print(f); })),
                  std::vector<std::string>{"LU Decomposition doesn't exist"});
    }
    EXPECT_EQ(LUD().GetStatus(), -1);
}

TEST(LUD, SolvesAndTheirRefusals) {
    std::mt19937 rng(11);
    const std::vector<double> v = RandomMatrix(5, rng);
    const CMatrix a(5, 5, v.data());
    const LUD lud(a);
    ASSERT_TRUE(lud.isOk());

    // b = 0 gives x = 0 exactly.
    CVector zero(5), x;
    ASSERT_TRUE(lud.Solve(zero, x));
    EXPECT_TRUE(x == CVector(5));

    // In place: x may be b, for vectors and matrices; with B = I the result is the inverse.
    CVector b(5);
    for (int i = 0; i < 5; ++i) b[i] = 1.0 - i;
    CVector ax;
    ASSERT_TRUE(mtMul(ax, a, b));
    ASSERT_TRUE(lud.Solve(ax, ax));
    for (int i = 0; i < 5; ++i) EXPECT_CLOSE(ax[i], b[i], 1e-14, 1e-14);
    CMatrix inv(5, 5);
    inv.Identity();
    ASSERT_TRUE(lud.Solve(inv, inv));
    const auto ref = RefInverse(ToDense(v, 5, 5));
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j)
            EXPECT_CLOSE(inv(i, j), static_cast<double>(ref[i][j]), 1e-14, 1e-12);

    CVector four(4), out(2);
    CMatrix rows4(4, 2), mout(1, 1);
    const auto lines = LogBodies(CaptureErrorLog([&] {
        EXPECT_FALSE(lud.Solve(four, out));
        EXPECT_FALSE(lud.Solve(rows4, mout));
    }));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("Func=LUD::Solve(): \"Size of input vector is incorrect\""),
              std::string::npos);
    EXPECT_NE(lines[1].find("Func=LUD::Solve(): \"Incorrect number of rows in input matrix\""),
              std::string::npos);
    EXPECT_EQ(out.Size(), 2);
    EXPECT_EQ(mout.Rows(), 1);
}

TEST(LUD, CopiesOwnTheirArrays) {
    const double m[] = {4, 1, 2, 3};
    LUD copy;
    {
        const LUD original{CMatrix(2, 2, m)};
        copy = original;
        LUD second(original);
        EXPECT_EQ(Factors(second), Factors(original));
    }  // the original's arrays are gone; the copy's must not be
    EXPECT_TRUE(copy.isOk());
    EXPECT_EQ(copy.Det(), 10);
    copy = copy;
    EXPECT_EQ(copy.Det(), 10);
    const auto printed = LogBodies(CaptureStream([&](FILE* f) { copy.Print(f); }));
    EXPECT_EQ(printed, (std::vector<std::string>{"LU Decomposition Matrix:", "Row 0: [4, 1]\n",
                                                 "Row 1: [0.5, 2.5]\n"}));
}

TEST(GaussJordan, InvertsAndSolvesInPlace) {
    const double d[] = {2, 0, 0, 4};
    CMatrix a(2, 2, d);
    EXPECT_EQ(GaussJordanInverse(a), 0);
    EXPECT_EQ(Elements(a), (std::vector<double>{0.5, 0, 0, 0.25}));

    std::mt19937 rng(5);
    for (int n : {1, 3, 8}) {
        const std::vector<double> v = RandomMatrix(n, rng);
        CMatrix m(n, n, v.data()), b(n, 2);
        for (int i = 0; i < n; ++i) {
            b(i, 0) = 1.0;
            b(i, 1) = i;
        }
        const CMatrix rhs(b);
        ASSERT_EQ(GaussJordan(m, b), 0);
        const auto inv = RefInverse(ToDense(v, n, n));
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < 2; ++c) {
                long double x = 0;
                for (int j = 0; j < n; ++j) x += inv[i][j] * rhs(j, c);
                EXPECT_CLOSE(b(i, c), static_cast<double>(x), 1e-13, 1e-12) << "n=" << n;
            }
    }

    const double singular[] = {1, 2, 2, 4};
    CMatrix s(2, 2, singular);
    auto lines = LogBodies(CaptureErrorLog([&] { EXPECT_EQ(GaussJordanInverse(s), -1); }));
    EXPECT_EQ(lines, std::vector<std::string>{"GaussJordan: Singular Matrix"});
    CMatrix wide(2, 3), b3(3, 1);
    lines = LogBodies(CaptureErrorLog([&] { EXPECT_EQ(GaussJordan(wide, b3), -1); }));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("Func=GaussJordan(): \"Invalid Size\""), std::string::npos);
}
