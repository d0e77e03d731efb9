// CMatrix, its cached factorisation, the mt and mx families and the frame rotations.
#include <gtest/gtest.h>

#include <cmath>
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

std::string State(const CMatrix& m) {
    std::string s = std::to_string(m.Rows()) + "x" + std::to_string(m.Columns()) + ":";
    for (double e : Elements(m)) s += std::to_string(e) + ",";
    return s;
}

std::string State(const CVector& v) {
    std::string s = std::to_string(v.Size()) + ":";
    for (int i = 0; i < v.Size(); ++i) s += std::to_string(v[i]) + ",";
    return s;
}

// Every "%s" of format replaced by the next address in upper-case hexadecimal.
std::string Fill(std::string format, const std::vector<const void*>& addresses) {
    for (const void* p : addresses) format.replace(format.find("%s"), 2, Hex(p));
    return format;
}

// |a - b| <= tol elementwise, with b given row-major.
void ExpectMatrix(const CMatrix& a, int rows, int columns, const std::vector<double>& b,
                  double tol) {
    ASSERT_EQ(a.Rows(), rows);
    ASSERT_EQ(a.Columns(), columns);
    for (int k = 0; k < rows * columns; ++k) EXPECT_CLOSE(a[k], b[k], tol, 0) << "element " << k;
}

// The self-test matrices of the solar-system contents dump.
const double kA[] = {-1, 5, 2, 1, 4, -2, 9, 2, 1, 2, 3, -4, 3, 3, 3, -3};
const double kB[] = {1, 8, 3, 2, 2, 2, -2, 2, 3, 2, 1, 1, 7, 6, 5, 4};

}  // namespace

TEST(Matrix, ShapeRowsAndColumns) {
    CMatrix m(2, 3);
    EXPECT_EQ(m.Rows(), 2);
    EXPECT_EQ(m.Columns(), 3);
    EXPECT_EQ(Elements(m), std::vector<double>(6, 0.0));
    EXPECT_FALSE(m.isSqr());
    EXPECT_TRUE(CMatrix().isNull());
    EXPECT_TRUE(CMatrix(-2, 3).isNull()) << "a negative count gives no rows";

    m.Row(0, 1.0, 2.0, 3.0);
    CVector r;
    r.Define(3, 4.0, 5.0, 6.0);
    m.Row(1, r);
    EXPECT_EQ(Elements(m), (std::vector<double>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(State(m.GetColumn(1)), State(CVector(2, std::vector<double>{2, 5}.data())));
    EXPECT_EQ(State(m.GetRow(1)), State(r));
    CVector c;
    c.Define(2, -1.0, -2.0);
    m.SwapColumn(2, c);
    EXPECT_EQ(Elements(m), (std::vector<double>{1, 2, -1, 4, 5, -2}));
    EXPECT_EQ(c[0], 3);
    m.ReSize(2, 3);
    EXPECT_EQ(m[5], -2) << "same shape keeps the elements";
    m.ReSize(3, 2);
    EXPECT_EQ(Elements(m), std::vector<double>(6, 0.0));
    m.Column(1, 7.0, 8.0, 9.0);
    EXPECT_EQ(Elements(m), (std::vector<double>{0, 7, 0, 8, 0, 9}));

    CMatrix copy(m);
    copy(0, 0) = 5;
    EXPECT_EQ(m(0, 0), 0) << "copies are independent";
}

// Refused row and column operations: one report each, nothing written.
TEST(Matrix, RowAndColumnRefusals) {
    CMatrix m(3, 2);
    CVector two(2), three(3);
    struct Case {
        const char* func;
        const char* reason;
        std::function<void()> run;
    };
    const std::vector<Case> cases = {
        {"CMatrix::Column", "Input out of limits ", [&] { m.Column(2, 1.0, 2.0, 3.0); }},
        {"CMatrix::Row", "Input out of limits ", [&] { m.Row(3, 1.0, 2.0); }},
        {"CMatrix::Row", "Invalid Size", [&] { m.Row(0, three); }},
        {"CMatrix::Column", "Invalid Size", [&] { m.Column(0, two); }},
        {"CMatrix::SwapRow", "Invalid Vector Size", [&] { m.SwapRow(0, three); }},
        {"CMatrix::SwapColumn", "Invalid vector size", [&] { m.SwapColumn(0, two); }},
        {"CMatrix::SwapRow", "Input out of limits ", [&] { m.SwapRow(-1, two); }},
        {"CMatrix::GetRow", "Input out of limits ", [&] { EXPECT_TRUE(m.GetRow(3).isNull()); }},
        {"CMatrix::Identity", "Can not load identity into non-square Matrix",
         [&] { m.Identity(); }},
    };
    for (const Case& c : cases) {
        const auto lines = LogBodies(CaptureErrorLog(c.run));
        ASSERT_EQ(lines.size(), 1u) << c.func << " " << c.reason;
        EXPECT_EQ(lines[0].find("This=0x" + Hex(&m) + ", File=linalg/Matrix.cpp"), 0u) << lines[0];
        EXPECT_NE(lines[0].find(std::string("Func=") + c.func + "(): \"" + c.reason + "\""),
                  std::string::npos)
            << lines[0];
        EXPECT_EQ(Elements(m), std::vector<double>(6, 0.0)) << c.func;
        EXPECT_EQ(State(two) + State(three), "2:0.000000,0.000000,3:0.000000,0.000000,0.000000,");
    }
}

TEST(Matrix, ElementAccessOutOfRangeStaysInsideTheArray) {
    const double v[] = {1, 2, 3, 4, 5, 6};
    CMatrix m(2, 3, v);
    const CMatrix& cm = m;
    for (auto [i, j] : std::vector<std::pair<int, int>>{{2, 0}, {0, 3}, {-1, 0}, {0, -1}}) {
        const auto lines = LogBodies(CaptureErrorLog([&] {
            m(i, j) = 99;
            EXPECT_TRUE(std::isnan(m(i, j)));
            EXPECT_TRUE(std::isnan(cm(i, j)));
        }));
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[0], "Matrix 0x" + Hex(&m) + " (2 by 3) Element out of range");
        EXPECT_EQ(Elements(m), std::vector<double>(v, v + 6));
    }
}

// Every refusal of the mt family: its message with the arguments' addresses, the result false
// (0 for mtDet), and every object (outputs included) left as it was.
TEST(Matrix, MtFamilyRefusalsLeaveTheOutputUnchanged) {
    const double v6[] = {1, 2, 3, 4, 5, 6};
    const double v9[] = {2, 1, 0, 1, 3, 1, 0, 1, 4};
    CMatrix a23(2, 3, v6), a32(3, 2, v6), a33(3, 3, v9), b33(3, 3, v9), out(2, 2), row(1, 3);
    out(0, 1) = 9;
    CVector v2(2), v3(3), vout(1);
    vout[0] = 7;
    const auto snapshot = [&] {
        return State(a23) + State(a32) + State(a33) + State(b33) + State(out) + State(row) +
               State(v2) + State(v3) + State(vout);
    };
    struct Case {
        std::string format;
        std::vector<const void*> addresses;
        std::function<double()> run;
    };
    const char* alias = "Input and Output can't be the same";
    const std::string notSame = "Matrices 'out' and 'in' can't be the same matrix";
    const std::vector<Case> cases = {
        {"mtDet(0x%s), Matrix isn't square", {&a23}, [&] { return mtDet(a23); }},
        {"mtAddIdentity(0x%s) Must be square matrix",
         {&a23},
         [&] { return mtAddIdentity(a23, 1); }},
        {std::string("mtMul(_0x%s, 0x%s, _0x%s), ") + alias,
         {&v3, &a33, &v3},
         [&] { return mtMul(v3, a33, v3); }},
        {"mtMul(_0x%s, 0x%s, _0x%s), Invalid Size",
         {&vout, &a23, &v2},
         [&] { return mtMul(vout, a23, v2); }},
        {std::string("mtMul(_0x%s, _0x%s, 0x%s), ") + alias,
         {&v2, &v2, &a23},
         [&] { return mtMul(v2, v2, a23); }},
        {"mtMul(_0x%s, _0x%s, 0x%s), Invalid Size",
         {&vout, &v3, &a23},
         [&] { return mtMul(vout, v3, a23); }},
        {std::string("mtMul(0x%s, 0x%s, 0x%s), ") + alias,
         {&a33, &a33, &b33},
         [&] { return mtMul(a33, a33, b33); }},
        {std::string("mtMul(0x%s, 0x%s, 0x%s), ") + alias,
         {&a33, &a32, &a33},
         [&] { return mtMul(a33, a32, a33); }},
        {"mtMul(0x%s, 0x%s, 0x%s), Invalid Size",
         {&out, &a23, &a23},
         [&] { return mtMul(out, a23, a23); }},
        {"mtAdd(0x%s, 0x%s, 0x%s), Invalid Size",
         {&out, &a23, &a32},
         [&] { return mtAdd(out, a23, a32); }},
        {"mtAdd(0x%s, 0x%s), Invalid Size", {&a23, &a32}, [&] { return mtAdd(a23, a32); }},
        {"mtSub(0x%s, 0x%s, 0x%s), Invalid Size",
         {&out, &a23, &a33},
         [&] { return mtSub(out, a23, a33); }},
        {"mtSub(0x%s, 0x%s), Invalid Size", {&a23, &a33}, [&] { return mtSub(a23, a33); }},
        {std::string("mtSub(0x%s, 0x%s), ") + alias, {&a23, &a23}, [&] { return mtSub(a23, a23); }},
        {"mtTranspose(0x%s, 0x%s), " + notSame,
         {&a23, &a23},
         [&] { return mtTranspose(a23, a23); }},
        {"mtSubMatrix(0x%s, 0x%s,...), " + notSame,
         {&a33, &a33},
         [&] { return mtSubMatrix(a33, a33, 0, 0); }},
        {"mtSubMatrix(0x%s, 0x%s,...), The last row or column can't be deleted",
         {&out, &row},
         [&] { return mtSubMatrix(out, row, 0, 0); }},
        {"mtSubMatrix(0x%s, 0x%s,...), Input out of limits",
         {&out, &a33},
         [&] { return mtSubMatrix(out, a33, 3, 0); }},
        {"mtSubMatrix(0x%s, 0x%s,...), " + notSame,
         {&a33, &a33},
         [&] { return mtUpperLeft(a33, a33, 1, 1); }},
        {"mtSubMatrix(0x%s, 0x%s,...), Invalid Size",
         {&out, &a23},
         [&] { return mtUpperLeft(out, a23, 3, 1); }},
        {"mtInv(0x%s, 0x%s), " + notSame, {&a33, &a33}, [&] { return mtInv(a33, a33); }},
        {std::string("mtSolve(_0x%s, 0x%s, _0x%s), ") + alias,
         {&v3, &a33, &v3},
         [&] { return mtSolve(v3, a33, v3); }},
        {"mtSolve(0x%s, 0x%s, 0x%s), Matrices can't refer into the same matrix",
         {&a33, &a33, &b33},
         [&] { return mtSolve(a33, a33, b33); }},
        {"mtSolve(0x%s, 0x%s, 0x%s), Matrices can't refer into the same matrix",
         {&b33, &a33, &b33},
         [&] { return mtSolve(b33, a33, b33); }},
        {"mtSolve(0x%s, 0x%s, 0x%s), Matrices can't refer into the same matrix",
         {&out, &a33, &a33},
         [&] { return mtSolve(out, a33, a33); }},
        {"mtPrincipalMinor(0x%s, 0x%s), Matrix isn't square",
         {&vout, &a23},
         [&] { return mtPrincipalMinors(vout, a23); }},
    };
    for (const Case& c : cases) {
        const std::string before = snapshot();
        double result = 1;
        const auto lines = LogBodies(CaptureErrorLog([&] { result = c.run(); }));
        const std::string expected = Fill(c.format, c.addresses);
        EXPECT_EQ(lines, std::vector<std::string>{expected});
        EXPECT_EQ(result, 0) << expected;
        EXPECT_EQ(snapshot(), before) << expected;
    }
    // The value-returning wrappers give an empty object after the same message.
    const auto lines = LogBodies(CaptureErrorLog([&] {
        EXPECT_TRUE(mxMul(a23, a23).isNull());
        EXPECT_EQ(mxMul(a23, v2).Size(), 0);
        EXPECT_TRUE(mxSubMatrix(row, 0, 0).isNull());
    }));
    EXPECT_EQ(lines.size(), 3u);
}

TEST(Matrix, MtFamilyResults) {
    const double v6[] = {1, 2, 3, 4, 5, 6};
    CMatrix a(2, 3, v6), b(3, 2, v6), c;
    ASSERT_TRUE(mtMul(c, a, b));
    ExpectMatrix(c, 2, 2, {22, 28, 49, 64}, 0);
    CVector x, y, z;
    x.Define(3, 1.0, 0.0, -1.0);
    y.Define(2, 2.0, 1.0);
    ASSERT_TRUE(mtMul(z, a, x));
    EXPECT_EQ(State(z), State(mxMul(a, x)));
    EXPECT_EQ(z[0], -2);
    EXPECT_EQ(z[1], -2);
    ASSERT_TRUE(mtMul(z, y, a));  // y^T a
    EXPECT_EQ(Elements(CMatrix(1, 3, z.Read())), (std::vector<double>{6, 9, 12}));
    ExpectMatrix(mxMul(y, x), 2, 3, {2, 0, -2, 1, 0, -1}, 0);
    ExpectMatrix(mxTpMul(y), 2, 2, {4, 2, 2, 1}, 0);
    ExpectMatrix(mxTranspose(a), 3, 2, {1, 4, 2, 5, 3, 6}, 0);
    ExpectMatrix(mxMul(a, 0.5), 2, 3, {0.5, 1, 1.5, 2, 2.5, 3}, 0);
    ExpectMatrix(mxSub(a, a), 2, 3, std::vector<double>(6, 0.0), 0);
    CMatrix d(a);
    ASSERT_TRUE(mtAdd(d, d));
    ExpectMatrix(d, 2, 3, {2, 4, 6, 8, 10, 12}, 0);
    ASSERT_TRUE(mtAdd(d, a, d));
    ExpectMatrix(d, 2, 3, {3, 6, 9, 12, 15, 18}, 0);
    ASSERT_TRUE(mtSub(d, a));
    ASSERT_TRUE(mtMul(d, 0.5));
    ExpectMatrix(d, 2, 3, {v6, v6 + 6}, 0);

    const double v9[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    const CMatrix m(3, 3, v9);
    ExpectMatrix(mxSubMatrix(m, 2, 2), 2, 2, {1, 2, 4, 5}, 0);
    ExpectMatrix(mxSubMatrix(m, 0, 0), 2, 2, {5, 6, 8, 9}, 0);
    ExpectMatrix(mxSubMatrix(m, 1, 0), 2, 2, {2, 3, 8, 9}, 0);
    ASSERT_TRUE(mtUpperLeft(d, m, 2, 3));
    ExpectMatrix(d, 2, 3, {v6, v6 + 6}, 0);
    CMatrix e(m);
    ASSERT_TRUE(mtAddIdentity(e, 10));
    ExpectMatrix(e, 3, 3, {11, 2, 3, 4, 15, 6, 7, 8, 19}, 0);

    // Products against independent identities on random shapes: (PQ)^T = Q^T P^T.
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-2, 2);
    std::vector<double> p(15), q(20);
    for (double& t : p) t = u(rng);
    for (double& t : q) t = u(rng);
    const CMatrix P(3, 5, p.data()), Q(5, 4, q.data());
    const CMatrix lhs = mxTranspose(mxMul(P, Q)), rhs = mxMul(mxTranspose(Q), mxTranspose(P));
    ExpectMatrix(lhs, 4, 3, Elements(rhs), 1e-14);
}

TEST(Matrix, TwoByTwoDeterminantNeedsNoFactorisation) {
    const double v[] = {4, 3, 6, 3};
    const CMatrix m(2, 2, v);
    EXPECT_EQ(mtDet(m), -6);
    EXPECT_FALSE(m.HasLUD());
    const double one[] = {-2.5};
    EXPECT_EQ(mtDet(CMatrix(1, 1, one)), -2.5);
}

// Determinants, inverses and solves of seeded well-conditioned matrices against an independent
// elimination in long double.
TEST(Matrix, RandomSystemsAgreeWithIndependentElimination) {
    std::mt19937 rng(20240601);
    for (int n = 1; n <= 12; ++n) {
        const std::vector<double> values = RandomMatrix(n, rng);
        const CMatrix a(n, n, values.data());
        const auto dense = ToDense(values, n, n);
        const double det = static_cast<double>(RefDet(dense));
        EXPECT_CLOSE(mtDet(a), det, 0, 1e-10) << "n=" << n;

        const auto inv = RefInverse(dense);
        const CMatrix ia = mxInv(a);
        CMatrix gj(a);
        ASSERT_EQ(GaussJordanInverse(gj), 0);
        CVector b(n), x;
        for (int i = 0; i < n; ++i) b[i] = i + 1.0;
        ASSERT_TRUE(mtSolve(x, a, b));
        CMatrix bm(n, 2), xm;
        bm.Column(0, b);
        bm.Column(1, a.GetColumn(0));
        ASSERT_TRUE(mtSolve(xm, a, bm));
        ASSERT_EQ(ia.Rows(), n);
        double scale = 0;
        for (const auto& r : inv)
            for (long double e : r) scale = std::fmax(scale, std::fabs(static_cast<double>(e)));
        for (int i = 0; i < n; ++i) {
            long double xi = 0;
            for (int j = 0; j < n; ++j) {
                const double expected = static_cast<double>(inv[i][j]);
                EXPECT_CLOSE(ia(i, j), expected, 1e-10 * scale, 0) << "n=" << n;
                EXPECT_CLOSE(gj(i, j), expected, 1e-10 * scale, 0) << "n=" << n;
                xi += inv[i][j] * b[j];
            }
            EXPECT_CLOSE(x[i], static_cast<double>(xi), 1e-10 * scale * n * n, 1e-10);
            EXPECT_CLOSE(xm(i, 0), x[i], 1e-15, 1e-14);
            // A x = column 0 of A is solved by the first unit vector.
            EXPECT_CLOSE(xm(i, 1), i == 0 ? 1.0 : 0.0, 1e-12, 0);
        }
        CMatrix product = mxMul(a, ia);
        product.Round();
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                EXPECT_CLOSE(product(i, j), i == j ? 1.0 : 0.0, 1e-13, 0) << "n=" << n;
    }
}

TEST(Matrix, SelfTestMatricesInvertToIdentities) {
    const CMatrix A(4, 4, kA), B(4, 4, kB);
    const CMatrix C = mxMul(B, A);
    for (const CMatrix* m : {&A, &B, &C}) {
        CMatrix inv, product;
        ASSERT_TRUE(mtInv(inv, *m));
        ASSERT_TRUE(mtMul(product, *m, inv));
        product.Round();
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                // Off the diagonal rounding leaves exact zeros.
                if (i != j) {
                    EXPECT_EQ(product(i, j), 0.0);
                } else {
                    EXPECT_CLOSE(product(i, j), 1.0, 1e-13, 0);
                }
            }
    }
    const double detA = static_cast<double>(RefDet(ToDense({kA, kA + 16}, 4, 4)));
    const double detB = static_cast<double>(RefDet(ToDense({kB, kB + 16}, 4, 4)));
    EXPECT_CLOSE(mtDet(A), detA, 0, 1e-13);
    EXPECT_CLOSE(mtDet(B), detB, 0, 1e-13);
    EXPECT_CLOSE(mtDet(C), detA * detB, 0, 1e-12);
}

TEST(Matrix, SingularInputs) {
    // A zero row: no factorisation; the inverse fails and leaves the identity in its output.
    const double zeroRow[] = {1, 2, 3, 0, 0, 0, 4, 5, 6};
    const CMatrix z(3, 3, zeroRow);
    CMatrix out;
    const auto lines = LogBodies(CaptureErrorLog([&] {
        EXPECT_FALSE(mtInv(out, z));
        EXPECT_TRUE(mxInv(z).isNull());
        EXPECT_EQ(mtDet(z), 0);
    }));
    ExpectMatrix(out, 3, 3, {1, 0, 0, 0, 1, 0, 0, 0, 1}, 0);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[0].find("LUD::ComputeLUD(): \"Can't do LU Decomposition for singular matrix\""),
              std::string::npos);
    for (int k : {1, 2, 3})
        EXPECT_NE(lines[k].find("\"No LU Decomposition present\""), std::string::npos) << lines[k];

    // Rank-deficient without a zero row: the zero pivot becomes 1e-30, nothing is reported and
    // the inverse comes out huge.
    const double rank2[] = {1, 2, 3, 2, 4, 6, 1, 1, 1};
    const CMatrix r(3, 3, rank2);
    const auto quiet = CaptureErrorLog([&] {
        EXPECT_LT(std::fabs(mtDet(r)), 1e-29);
        EXPECT_TRUE(mtInv(out, r));
    });
    EXPECT_EQ(quiet, "");
    double largest = 0;
    for (double e : Elements(out)) largest = std::fmax(largest, std::fabs(e));
    EXPECT_GT(largest, 1e20);

    // Nearly singular but regular: still solved to the accuracy its conditioning allows.
    const double near[] = {1, 1, 0, 1, 1 + 1e-9, 0, 0, 0, 1};
    EXPECT_CLOSE(mtDet(CMatrix(3, 3, near)), 1e-9, 0, 1e-6);
}

TEST(Matrix, FactorisationIsCachedUntilAnElementChanges) {
    // A factorisation of another matrix is planted in a's own LUD. As long as a is unchanged,
    // GetLUD must hand it back untouched, so determinants and solves show b's values; after
    // one element write they must show a's again.
    const double va[] = {2, 1, 0, 1, 3, 1, 0, 1, 4};  // det 18
    const double vb[] = {1, 0, 0, 0, 2, 0, 0, 0, 5};  // det 10
    CMatrix a(3, 3, va);
    const CMatrix b(3, 3, vb);
    EXPECT_FALSE(a.HasLUD());
    LUD* lud = a.GetLUD();
    ASSERT_TRUE(a.HasLUD());
    EXPECT_CLOSE(mtDet(a), 18, 0, 1e-14);
    ASSERT_EQ(lud->ComputeLUD(&b), 0);
    CVector rhs, x;
    rhs.Define(3, 1.0, 2.0, 5.0);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(a.GetLUD(), lud);
        EXPECT_CLOSE(mtDet(a), 10, 0, 1e-14);
        ASSERT_TRUE(mtSolve(x, a, rhs));
        EXPECT_EQ(State(x), "3:1.000000,1.000000,1.000000,");
    }
    EXPECT_FALSE(CMatrix(a).HasLUD()) << "a copy starts without a factorisation";
    a(1, 1) = 3;  // the same value, but written
    EXPECT_FALSE(a.HasLUD());
    EXPECT_CLOSE(mtDet(a), 18, 0, 1e-14);
    EXPECT_EQ(a.GetLUD(), lud);
    CMatrix lu;
    ASSERT_TRUE(a.GetLUDMatrix(lu));
    EXPECT_EQ(lu(0, 0), 2);
}

TEST(Matrix, PrincipalMinorsAndPositiveDefiniteness) {
    CMatrix i2(2, 2);
    i2.Identity();
    EXPECT_TRUE(i2.isPositiveDefinite());
    const double indefinite[] = {1, 2, 2, 1};
    EXPECT_FALSE(CMatrix(2, 2, indefinite).isPositiveDefinite());

    std::mt19937 rng(3);
    const std::vector<double> v = RandomMatrix(6, rng);
    CVector d;
    ASSERT_TRUE(mtPrincipalMinors(d, CMatrix(6, 6, v.data())));
    ASSERT_EQ(d.Size(), 6);
    for (int k = 1; k <= 6; ++k) {
        std::vector<double> block;
        for (int i = 0; i < k; ++i)
            for (int j = 0; j < k; ++j) block.push_back(v[j + i * 6]);
        const double expected = static_cast<double>(RefDet(ToDense(block, k, k)));
        EXPECT_CLOSE(d[k - 1], expected, 1e-12, 1e-10) << "k=" << k;
    }
    ASSERT_TRUE(mtPrincipalMinors(d, CMatrix()));
    EXPECT_EQ(d.Size(), 0);
}

TEST(Matrix, FrameRotations) {
    CMatrix z = mxRotZ(M_PI / 2);
    z.Round();
    ExpectMatrix(z, 3, 3, {0, 1, 0, -1, 0, 0, 0, 0, 1}, 0);
    // The x axis seen from axes turned +90 degrees about z lies along -y.
    CVector ex;
    ex.Define(3, 1.0, 0.0, 0.0);
    const CVector seen = mxMul(z, ex);
    EXPECT_EQ(State(seen), "3:0.000000,-1.000000,0.000000,");
    for (auto rot : {mxRotX, mxRotY, mxRotZ}) {
        const CMatrix r = rot(0.3);
        ExpectMatrix(mxMul(r, mxTranspose(r)), 3, 3, {1, 0, 0, 0, 1, 0, 0, 0, 1}, 1e-15);
        ExpectMatrix(mxMul(rot(0.3), rot(0.4)), 3, 3, Elements(rot(0.7)), 1e-15);
        EXPECT_CLOSE(mtDet(r), 1.0, 1e-15, 0);
    }
    ExpectMatrix(mxRotX(0.5), 3, 3,
                 {1, 0, 0, 0, std::cos(0.5), std::sin(0.5), 0, -std::sin(0.5), std::cos(0.5)}, 0);
    ExpectMatrix(mxRotY(0.5), 3, 3,
                 {std::cos(0.5), 0, -std::sin(0.5), 0, 1, 0, std::sin(0.5), 0, std::cos(0.5)}, 0);
}

TEST(Matrix, PrintKeepsRowsWithinTheLineBuffer) {
    CMatrix wide(2, 40);
    for (int k = 0; k < 80; ++k) wide[k] = -1.234567e+300 * (k + 1);
    const auto lines = LogBodies(CaptureStream([&](FILE* f) { wide.Print(f, "W"); }));
    ASSERT_GT(lines.size(), 3u);
    EXPECT_EQ(lines[0], "W Matrix:");
    EXPECT_EQ(lines[1].find("Row 0: [-1.23457e+300, -2.46913e+300"), 0u) << lines[1];
    int printed = 0;
    for (size_t k = 1; k < lines.size(); ++k) {
        EXPECT_LE(lines[k].size(), 255u + 5u) << lines[k];
        for (char ch : lines[k]) printed += ch == 'e';
    }
    EXPECT_EQ(printed, 80);

    const double v[] = {1, -0.5};
    const auto small =
        LogBodies(CaptureStream([&](FILE* f) { CMatrix(1, 2, v).Print(f, nullptr); }));
    EXPECT_EQ(small, (std::vector<std::string>{"Row 0: [         1,       -0.5]\n"}));
    CMatrix null;
    const auto none = LogBodies(CaptureStream([&](FILE* f) { null.Print(f, "N"); }));
    EXPECT_EQ(none, (std::vector<std::string>{"N Matrix 0x" + Hex(&null) + " is Null"}));
}
