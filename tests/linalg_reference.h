// Independent linear algebra to check the library against: Gaussian elimination with partial
// pivoting (no scaling) in long double on nested vectors, seeded test matrices, and a reader of
// a CMatrix's elements.
#pragma once

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <utility>
#include <vector>

#include "zaq/linalg.h"

namespace zaq::test {

using Dense = std::vector<std::vector<long double>>;

/// The elements of m in row-major order.
inline std::vector<double> Elements(const CMatrix& m) {
    std::vector<double> v;
    for (int k = 0; k < m.Rows() * m.Columns(); ++k) v.push_back(m[k]);
    return v;
}

/// Row-major values as a nested matrix.
inline Dense ToDense(const std::vector<double>& v, int rows, int columns) {
    Dense d(rows, std::vector<long double>(columns));
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) d[i][j] = v[j + i * columns];
    return d;
}

/// Reduces a to the identity by elimination, applying the same steps to b (so b becomes
/// inverse(a) b); returns det(a).
inline long double Eliminate(Dense a, Dense& b) {
    const size_t n = a.size();
    long double det = 1;
    for (size_t i = 0; i < n; ++i) {
        size_t p = i;
        for (size_t j = i + 1; j < n; ++j)
            if (std::fabs(a[j][i]) > std::fabs(a[p][i])) p = j;
        if (p != i) {
            std::swap(a[p], a[i]);
            std::swap(b[p], b[i]);
            det = -det;
        }
        const long double d = a[i][i];
        det *= d;
        if (d == 0) return 0;
        for (auto& e : a[i]) e /= d;
        for (auto& e : b[i]) e /= d;
        for (size_t j = 0; j < n; ++j) {
            if (j == i) continue;
            const long double f = a[j][i];
            for (size_t k = 0; k < n; ++k) a[j][k] -= f * a[i][k];
            for (size_t k = 0; k < b[j].size(); ++k) b[j][k] -= f * b[i][k];
        }
    }
    return det;
}

inline long double RefDet(const Dense& a) {
    Dense none(a.size());
    return Eliminate(a, none);
}

inline Dense RefInverse(const Dense& a) {
    Dense b(a.size(), std::vector<long double>(a.size(), 0));
    for (size_t i = 0; i < a.size(); ++i) b[i][i] = 1;
    Eliminate(a, b);
    return b;
}

/// A seeded, well-conditioned n x n matrix that still needs row exchanges: a diagonally
/// dominant matrix (entries in [-1, 1], n added to the diagonal) with its rows shuffled.
inline std::vector<double> RandomMatrix(int n, std::mt19937& rng) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), rng);
    std::vector<double> m(n * n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) m[j + order[i] * n] = u(rng) + (i == j ? n : 0);
    return m;
}

}  // namespace zaq::test
