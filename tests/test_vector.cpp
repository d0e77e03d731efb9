// CVector, CVectorInt and the vt functions.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "tests/capture_log.h"
#include "tests/tolerance.h"
#include "zaq/linalg.h"

using namespace zaq::test;

namespace {

std::vector<double> Values(const CVector& v) {
    return std::vector<double>(v.Read(), v.Read() + v.Size());
}

}  // namespace

TEST(Vector, OwnsAndResizesItsArray) {
    const double values[] = {1.5, -2, 3};
    CVector v(3, values);
    CVector copy(v);
    copy[0] = 9;
    EXPECT_EQ(Values(v), (std::vector<double>{1.5, -2, 3}));
    EXPECT_EQ(copy[0], 9);

    v.ReSize(3);
    EXPECT_EQ(Values(v), (std::vector<double>{1.5, -2, 3})) << "same size keeps the values";
    v.ReSize(4);
    EXPECT_EQ(Values(v), (std::vector<double>{0, 0, 0, 0}));
    v.ReSize(0);
    EXPECT_EQ(v.Read(), nullptr);

    EXPECT_TRUE(CVector().isNull());
    EXPECT_FALSE(CVector(3).isNull());
    EXPECT_EQ(Values(CVector(3)), (std::vector<double>{0, 0, 0}));

    CVector d;
    d.Define(3, 1.0, 2.0, 4.0);
    EXPECT_EQ(Values(d), (std::vector<double>{1, 2, 4}));
    double out[3] = {};
    d.Write(3, out);
    EXPECT_EQ(out[2], 4);
    d = CVector(1, values);
    EXPECT_EQ(Values(d), (std::vector<double>{1.5}));
}

TEST(Vector, ArithmeticAndComparison) {
    CVector a, b;
    a.Define(3, 1.0, 2.0, 3.0);
    b.Define(3, 0.5, -1.0, 4.0);
    EXPECT_EQ(Values(a + b), (std::vector<double>{1.5, 1, 7}));
    EXPECT_EQ(Values(a - b), (std::vector<double>{0.5, 3, -1}));
    EXPECT_EQ(Values(-a), (std::vector<double>{-1, -2, -3}));
    EXPECT_EQ(Values(a * 2.0), (std::vector<double>{2, 4, 6}));
    EXPECT_EQ(Values(a / 4.0), (std::vector<double>{0.25, 0.5, 0.75}));
    CVector c(a);
    c += b;
    c -= b;
    EXPECT_TRUE(c == a);
    c *= 3.0;
    c /= 3.0;
    EXPECT_FALSE(c != a);
    EXPECT_TRUE(a != CVector(2));
    c[1] = NAN;
    EXPECT_FALSE(c == c) << "NaN compares unequal";
}

TEST(Vector, VtFunctionsAgainstIndependentValues) {
    CVector a, b;
    a.Define(4, 1.0, -2.0, 2.0, 4.0);  // |a| = 5
    b.Define(4, 3.0, 0.0, 0.0, 4.0);   // |b| = 5
    EXPECT_EQ(vtDot(a, b), 19);
    EXPECT_EQ(vtSqrLen(a), 25);
    EXPECT_EQ(vtLength(b), 5);
    EXPECT_CLOSE(vtAngle(a, b), std::acos(19.0 / 25.0), 1e-15, 0);
    EXPECT_CLOSE(vtLength(vtUnit(a)), 1.0, 1e-15, 0);

    // The cosine of a vector with itself rounds to 1 + 2^-52 here; the angle must still be 0.
    CVector s;
    s.Define(3, 0.1, 0.1, 0.3);
    ASSERT_GT(vtDot(s, s) / (vtLength(s) * vtLength(s)), 1.0);
    EXPECT_EQ(vtAngle(s, s), 0.0);
    EXPECT_EQ(vtAngle(s, -s), M_PI);

    CVector n(a);
    n.Normalize();
    EXPECT_EQ(Values(n), (std::vector<double>{0.2, -0.4, 0.4, 0.8}));
    vtNormalize(b);
    EXPECT_EQ(Values(b), (std::vector<double>{0.6, 0, 0, 0.8}));

    CVector p;
    p.Define(2, 3.0, 4.0);
    EXPECT_EQ(Values(2.0 / p), (std::vector<double>{0.24, 0.32}));
    EXPECT_EQ(Values(vtInv(p)), (std::vector<double>{0.12, 0.16}));
    CVector q;
    q.Define(3, 0.0, 4.0, -1.0);
    vtScalarDiv(2, q);
    EXPECT_EQ(Values(q), (std::vector<double>{0, 0.5, -2}));
}

// Every size mismatch: one error line naming the function, the left operand unchanged, an empty
// result.
TEST(Vector, SizeMismatchesAreRefused) {
    CVector three(3), two(2);
    three.Define(3, 1.0, 2.0, 3.0);
    const std::string mismatch = "\"Cannot add/substract vectors with different size\"";
    struct Case {
        const char* func;
        bool withAddress;
        std::string reason;
        std::function<int()> run;  // returns the size of the result
    };
    double out[2];
    const std::vector<Case> cases = {
        {"CVector::operator +=", true, mismatch, [&] { return (three += two).Size(); }},
        {"CVector::operator -=", true, mismatch, [&] { return (three -= two).Size(); }},
        {"CVector::operator +", true, mismatch, [&] { return (three + two).Size(); }},
        {"CVector::operator -", true, mismatch, [&] { return (three - two).Size(); }},
        {"CVector::Write", false, "\"Size doesn't match\"",
         [&] {
             three.Write(2, out);
             return 0;
         }},
        {"vtDot", false, "\"Invalid Size\"", [&] { return static_cast<int>(vtDot(three, two)); }},
    };
    for (const Case& c : cases) {
        int size = -1;
        const auto lines = LogBodies(CaptureErrorLog([&] { size = c.run(); }));
        ASSERT_EQ(lines.size(), 1u) << c.func;
        const std::string prefix = c.withAddress ? "This=0x" + Hex(&three) + ", " : "";
        EXPECT_EQ(lines[0].find(prefix + "File=linalg/Vector.cpp, Line="), 0u) << lines[0];
        EXPECT_NE(lines[0].find(std::string(", Func=") + c.func + "(): " + c.reason),
                  std::string::npos)
            << lines[0];
        EXPECT_EQ(size, 0) << c.func;
        EXPECT_EQ(Values(three), (std::vector<double>{1, 2, 3})) << c.func;
    }
}

// The reference a failing compound assignment returns is shared: writes through it must not
// reach the next caller that gets it.
TEST(Vector, FailedCompoundAssignmentFallbackStaysEmpty) {
    CVector three(3), two(2);
    CaptureErrorLog([&] {
        CVector& bad = (three += two);
        bad.ReSize(5);
        bad[4] = 42;
        CVector& next = (three -= two);
        EXPECT_EQ(next.Size(), 0);
        EXPECT_EQ(next.Read(), nullptr);
        EXPECT_EQ((three + two).Size(), 0);
    });
    CVectorInt i3(3), i2(2);
    CaptureErrorLog([&] {
        (i3 += i2).Define(2, 7, 8);
        EXPECT_TRUE((i3 -= i2).isNull());
    });
}

TEST(Vector, PrintSplitsLongVectorsIntoBoundedLines) {
    CVector v(40);
    for (int i = 0; i < 40; ++i) v[i] = 1000.5 + i;
    const auto lines = LogBodies(CaptureStream([&](FILE* f) { v.Print(f, "Pos"); }));
    ASSERT_GT(lines.size(), 2u);
    EXPECT_EQ(lines[0].find("Pos Vector: [1000.5, 1001.5"), 0u) << lines[0];
    std::vector<double> printed;
    for (size_t k = 0; k < lines.size(); ++k) {
        const std::string& l = lines[k];
        if (k > 0) {
            EXPECT_EQ(l.find("...["), 0u) << l;
        }
        const std::string tail = k + 1 < lines.size() ? "]...\n" : "]\n";
        ASSERT_GE(l.size(), tail.size());
        EXPECT_EQ(l.substr(l.size() - tail.size()), tail) << l;
        EXPECT_LE(l.size(), 255u + tail.size());
        const size_t open = l.find('[') + 1;
        const std::string body = l.substr(open, l.rfind(']') - open);
        for (size_t p = 0; p < body.size();) {
            size_t used = 0;
            printed.push_back(std::stod(body.substr(p), &used));
            p += used + 2;
        }
    }
    EXPECT_EQ(printed, Values(v));

    const auto plain = LogBodies(CaptureStream([&](FILE* f) { CVector(1).Print(f, nullptr); }));
    EXPECT_EQ(plain, (std::vector<std::string>{"Vector: [0]\n"}));
    const std::string label(2000, 'L');
    const auto longLabel = LogBodies(CaptureStream([&](FILE* f) { v.Print(f, label.c_str()); }));
    for (const auto& l : longLabel) EXPECT_LE(l.size(), 260u);
}

TEST(VectorInt, IntegerTwin) {
    CVectorInt v;
    v.Define(2, 7, -7);
    EXPECT_EQ((v / 2)[0], 3);
    EXPECT_EQ((v / 2)[1], -3);
    CVectorInt w(v);
    w += v;
    w *= 2;
    EXPECT_EQ(w[1], -28);
    EXPECT_TRUE(v - v == CVectorInt(2));
    EXPECT_EQ((-v)[0], -7);

    CVectorInt one(1);
    const auto lines = LogBodies(CaptureErrorLog([&] { EXPECT_TRUE((v + one).isNull()); }));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("File=linalg/VectorInt.cpp"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("Func=CVectorInt::operator +(): \"Cannot add"), std::string::npos);

    const auto printed = LogBodies(CaptureStream([&](FILE* f) { v.Print(f, "n"); }));
    EXPECT_EQ(printed, (std::vector<std::string>{"n Vector: [7, -7]\n"}));
}
