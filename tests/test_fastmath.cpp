// The solvers' joint sine and cosine against the C library over the angles they meet.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "foundation/FastMath.h"

namespace {

// Distance in units in the last place between two doubles of the same sign.
int64_t Ulps(double a, double b) {
    int64_t x, y;
    std::memcpy(&x, &a, 8);
    std::memcpy(&y, &b, 8);
    if (x < 0) x = INT64_MIN - x;
    if (y < 0) y = INT64_MIN - y;
    return x > y ? x - y : y - x;
}

// Within `ulps` where the value is not tiny, within 2^-53 absolutely near the zeros.
void ExpectClose(double x, int64_t ulps = 1) {
    double s = 0, c = 0;
    zaq::SinCos(x, s, c);
    for (auto [got, want] : {std::pair{s, std::sin(x)}, std::pair{c, std::cos(x)}}) {
        if (std::fabs(want) > 1e-3)
            EXPECT_LE(Ulps(got, want), ulps) << "x = " << x;
        else
            EXPECT_LE(std::fabs(got - want), 1.2e-16) << "x = " << x;
    }
}

}  // namespace

// An ulp over the angles of orbits (a few revolutions), two far out, where the reduced angle
// carries the rounding of the reduction.
TEST(SinCos, WithinAnUlpOfTheLibrary) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> wide(-1e5, 1e5), orbit(-20, 20), tiny(-1e-6, 1e-6);
    for (int i = 0; i < 200000; ++i) {
        ExpectClose(wide(rng), 2);
        ExpectClose(orbit(rng));
        ExpectClose(tiny(rng));
    }
    // Around the quadrant boundaries, where the reduction switches polynomials.
    for (int k = -64; k <= 64; ++k)
        for (double d : {-1e-9, -1e-15, 0.0, 1e-15, 1e-9}) ExpectClose(k * M_PI / 4 + d);
    ExpectClose(0.0);
    ExpectClose(-0.0);
}

TEST(SinCos, LargeAndNonFiniteArgumentsGoToTheLibrary) {
    for (double x : {1e5, -3e7, 1e300}) {
        double s = 0, c = 0;
        zaq::SinCos(x, s, c);
        EXPECT_EQ(s, std::sin(x));
        EXPECT_EQ(c, std::cos(x));
    }
    double s = 0, c = 0;
    zaq::SinCos(NAN, s, c);
    EXPECT_TRUE(std::isnan(s) && std::isnan(c));
    zaq::SinCos(INFINITY, s, c);
    EXPECT_TRUE(std::isnan(s) && std::isnan(c));
}
