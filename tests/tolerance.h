// Combined absolute/relative tolerance checks for numerical tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include "zaq/host.h"

namespace zaq::test {

/// |actual - expected| <= abs + rel * |expected|.
inline ::testing::AssertionResult Near(double actual, double expected, double abs,
                                       double rel = 0.0) {
    const double tol = abs + rel * std::fabs(expected);
    const double err = std::fabs(actual - expected);
    if (err <= tol) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "actual " << actual << " expected " << expected
                                         << " error " << err << " > tolerance " << tol;
}

/// Component-wise on 3-vectors, the relative part scaled by |expected|.
inline ::testing::AssertionResult Near(const VECTOR3& a, const VECTOR3& e, double abs,
                                       double rel = 0.0) {
    const double scale = std::sqrt(e.x * e.x + e.y * e.y + e.z * e.z);
    const double tol = abs + rel * scale;
    const double err = std::sqrt((a.x - e.x) * (a.x - e.x) + (a.y - e.y) * (a.y - e.y) +
                                 (a.z - e.z) * (a.z - e.z));
    if (err <= tol) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "actual (" << a.x << ", " << a.y << ", " << a.z << ") expected (" << e.x << ", "
           << e.y << ", " << e.z << ") error " << err << " > tolerance " << tol;
}

}  // namespace zaq::test

#define EXPECT_CLOSE(actual, expected, abs, rel) \
    EXPECT_TRUE(::zaq::test::Near((actual), (expected), (abs), (rel)))
#define ASSERT_CLOSE(actual, expected, abs, rel) \
    ASSERT_TRUE(::zaq::test::Near((actual), (expected), (abs), (rel)))
