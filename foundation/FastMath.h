// Sine and cosine of one angle together, for the hot loops of the Kepler and Lambert solvers
// (internal). The argument is reduced by multiples of pi/2 with a three-part pi/2, exact for
// |x| < 1e5, and both functions come from their minimax polynomials on [-pi/4, pi/4]: the results
// lie within an ulp of the library's (two beyond a few thousand radians) at a fraction of the
// cost of two library calls. Larger or non-finite arguments go to the library.
#pragma once

#include <cmath>

namespace zaq {

inline void SinCos(double x, double& s, double& c) {
    if (!(std::fabs(x) < 1e5)) {
        s = std::sin(x);
        c = std::cos(x);
        return;
    }
    // k = round(x / (pi/2)) by the 1.5 * 2^52 shift, exact for these magnitudes.
    constexpr double kShift = 6755399441055744.0;
    const double k = (x * 0.63661977236758134308 + kShift) - kShift;
    // pi/2 in three parts of 33 bits each: k times each part is exact.
    const double r = ((x - k * 1.57079632673412561417e+00) - k * 6.07710050630396597660e-11) -
                     k * 2.02226624871116645580e-21;
    // The polynomials in z = r^2 are evaluated in pairs of terms (Estrin's scheme) to keep the
    // dependency chain short: the solvers wait for these values.
    const double z = r * r, z2 = z * z, z4 = z2 * z2;
    const double s01 = -1.66666666666666324348e-01 + z * 8.33333333332248946124e-03;
    const double s23 = -1.98412698298579493134e-04 + z * 2.75573137070700676789e-06;
    const double s45 = -2.50507602534068634195e-08 + z * 1.58969099521155010221e-10;
    const double sr = r + (z * r) * ((s01 + z2 * s23) + z4 * s45);
    const double c01 = 4.16666666666666019037e-02 + z * -1.38888888888741095749e-03;
    const double c23 = 2.48015872894767294178e-05 + z * -2.75573143513906633035e-07;
    const double c45 = 2.08757232129817482790e-09 + z * -1.13596475577881948265e-11;
    const double pc = z * ((c01 + z2 * c23) + z4 * c45);
    const double hz = 0.5 * z, w = 1.0 - hz;
    const double cr = w + (((1.0 - w) - hz) + z * pc);
    switch (static_cast<long long>(k) & 3) {
        case 0:
            s = sr;
            c = cr;
            break;
        case 1:
            s = cr;
            c = -sr;
            break;
        case 2:
            s = -sr;
            c = -cr;
            break;
        default:
            s = -cr;
            c = sr;
            break;
    }
}

}  // namespace zaq
