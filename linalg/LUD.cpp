// LUD: LU factorisation with implicit row scaling and partial pivoting, its solves and
// determinant; GaussJordan and GaussJordanInverse.
#include <cmath>
#include <utility>
#include <vector>

#include "linalg/Internal.h"
#include "zaq/foundation.h"
#include "zaq/linalg.h"

using namespace zaq::linalg;

namespace {
// Replaces an exactly zero pivot, so that a matrix singular only in a later column still
// factorises and its determinant comes out tiny rather than as an error.
constexpr double kTinyPivot = 1e-30;
}  // namespace

LUD::LUD() = default;

LUD::LUD(const CMatrix& m) : LUD() {
    status = ComputeLUD(&m);
}

LUD::LUD(const CMatrix* m) : LUD() {
    status = ComputeLUD(m);
}

// Copies are deep: each LUD owns its own arrays, so that neither copy can release or overwrite
// the other's factors.
LUD::LUD(const LUD& other) : LUD() {
    *this = other;
}

LUD& LUD::operator=(const LUD& other) {
    if (this == &other) return *this;
    Free();
    size = other.size;
    count = other.count;
    parity = other.parity;
    status = other.status;
    if (!other.lu || !other.index || !other.scale) return *this;
    if (!Allocate(size, "LUD::operator =")) {
        status = 1;
        return *this;
    }
    CopyArray(lu.get(), other.lu.get(), count);
    CopyArray(index.get(), other.index.get(), size);
    CopyArray(scale.get(), other.scale.get(), size);
    return *this;
}

LUD::~LUD() {
    Free();
}

bool LUD::Allocate(int n, const char* func) {
    Free();
    size = n;
    count = n * n;
    lu = zaq::NewBuffer<double>(count);
    index = zaq::NewBuffer<int>(n);
    scale = zaq::NewBuffer<double>(n);
    if (lu && index && scale) return true;
    ZAQ_ERROR_THIS(func, "Memory Allocation Fail");
    Free();
    return false;
}

void LUD::Free() {
    lu.reset();
    index.reset();
    scale.reset();
}

int LUD::ComputeLUD(const CMatrix* m) {
    if (!m) {
        ZAQ_ERROR_THIS("LUD::ComputeLUD", "NULL POINTER");
        return status = 4;
    }
    if (!m->isSqr()) {
        ZAQ_ERROR_THIS("LUD::ComputeLUD", "Can't do LU Decomposition for non-square Matrix");
        return status = 2;
    }
    const int n = m->Rows();
    if ((n != size || !index) && !Allocate(n, "LUD::ComputeLUD")) return status = 1;
    for (int k = 0; k < count; ++k) lu[k] = (*m)[k];
    parity = 1.0;

    // Implicit scaling: each row is measured by its largest magnitude.
    for (int i = 0; i < n; ++i) {
        double r = 0.0;
        for (int j = 0; j < n; ++j) r = std::fmax(r, std::fabs(Get(i, j)));
        if (r == 0.0) {
            ZAQ_ERROR_THIS("LUD::ComputeLUD", "Can't do LU Decomposition for singular matrix");
            Free();
            return status = 3;
        }
        scale[i] = 1.0 / r;
    }

    for (int i = 0; i < n; ++i) {
        // Pivot: the largest scaled candidate of column i; the lowest row wins ties.
        int p = i;
        double best = std::fabs(Get(i, i)) * scale[i];
        for (int j = i + 1; j < n; ++j) {
            const double v = std::fabs(Get(j, i)) * scale[j];
            if (v > best) {
                best = v;
                p = j;
            }
        }
        if (p != i) {
            for (int k = 0; k < n; ++k) std::swap(lu[k + p * n], lu[k + i * n]);
            parity = -parity;
            scale[p] = scale[i];
        }
        index[i] = p;
        double d = Get(i, i);
        if (d == 0.0) {
            d = kTinyPivot;
            Set(i, i, d);
        }
        for (int j = i + 1; j < n; ++j) {
            const double f = Get(j, i) / d;
            Set(j, i, f);
            for (int k = i + 1; k < n; ++k) lu[k + j * n] -= Get(i, k) * f;
        }
    }
    return status = 0;
}

int LUD::GetStatus() const {
    return lu && scale && index ? status : -1;
}

// The solves and the determinant need a current factorisation. Arrays kept from an earlier
// factorisation after a refused one (not square, no matrix) belong to another matrix, so a
// status other than 0 counts as no decomposition.
bool LUD::Present(const char* func) const {
    if (isOk()) return true;
    ZAQ_ERROR_THIS(func, "No LU Decomposition present");
    return false;
}

double LUD::Det() const {
    if (!Present("LUD::Det")) return 0.0;
    double d = parity;
    for (int i = 0; i < size; ++i) d *= Get(i, i);
    return d;
}

bool LUD::Solve(const double* b, double* x) const {
    if (!Present("LUD::Solve")) return false;
    const int n = size;
    if (n > 0 && (!b || !x)) {
        ZAQ_ERROR_THIS("LUD::Solve", "NULL POINTER");
        return false;
    }
    if (x != b) CopyArray(x, b, n);
    // Forward substitution with the recorded exchanges; leading zeros of the right-hand side
    // are skipped.
    int first = -1;
    for (int i = 0; i < n; ++i) {
        const int p = index[i];
        double s = x[p];
        x[p] = x[i];
        if (first >= 0)
            for (int j = first; j < i; ++j) s -= Get(i, j) * x[j];
        else if (s != 0.0)
            first = i;
        x[i] = s;
    }
    for (int i = n - 1; i >= 0; --i) {
        double s = x[i];
        for (int j = i + 1; j < n; ++j) s -= Get(i, j) * x[j];
        x[i] = s / Get(i, i);
    }
    return true;
}

bool LUD::Solve(const CVector& b, CVector& x) const {
    if (!Present("LUD::Solve")) return false;
    if (b.Size() != size) {
        ZAQ_ERROR_THIS("LUD::Solve", "Size of input vector is incorrect");
        return false;
    }
    x.ReSize(size);
    return Solve(b.Read(), x.Write());
}

bool LUD::Solve(const CMatrix& b, CMatrix& x) const {
    if (!Present("LUD::Solve")) return false;
    if (b.Rows() != size) {
        ZAQ_ERROR_THIS("LUD::Solve", "Incorrect number of rows in input matrix");
        return false;
    }
    if (&x != &b) x.ReSize(size, b.Columns());
    // Column by column through the scale array, free after the factorisation.
    for (int c = 0; c < b.Columns(); ++c) {
        for (int i = 0; i < size; ++i) scale[i] = b(i, c);
        if (!Solve(scale.get(), scale.get())) return false;
        for (int i = 0; i < size; ++i) x(i, c) = scale[i];
    }
    return true;
}

void LUD::GetMatrix(CMatrix& out) const {
    if (!isOk()) return;
    out.ReSize(size, size);
    for (int k = 0; k < count; ++k) out[k] = lu[k];
}

void LUD::Print(FILE* file) const {
    if (!isOk()) {
        otk::LogErr(file, "LU Decomposition doesn't exist");
        return;
    }
    otk::LogMsg(file, "LU Decomposition Matrix:");
    for (int i = 0; i < size; ++i) PrintRow(file, i, lu.get() + i * size, size, "%g");
}

// ---- Gauss-Jordan -------------------------------------------------------------

namespace {

void SwapRows(CMatrix& m, int r, int s) {
    for (int k = 0; k < m.Columns(); ++k) std::swap(m(r, k), m(s, k));
}

// row l of m -= t * row c of m.
void SubtractRow(CMatrix& m, int l, int c, double t) {
    for (int k = 0; k < m.Columns(); ++k) m(l, k) -= m(c, k) * t;
}

}  // namespace

int GaussJordan(CMatrix& a, CMatrix& b) {
    const int n = a.Rows();
    // A misshapen system would be reduced against elements that do not exist.
    if (!a.isSqr() || b.Rows() != n) {
        ZAQ_ERROR("GaussJordan", "Invalid Size");
        return -1;
    }
    std::vector<int> used(n, 0), pivotRow(n), pivotColumn(n);
    for (int i = 0; i < n; ++i) {
        // Full pivoting: the largest remaining element; on ties the last one in row-then-column
        // order wins.
        double best = 0.0;
        int r = -1, c = -1;
        for (int j = 0; j < n; ++j) {
            if (used[j] == 1) continue;
            for (int k = 0; k < n; ++k)
                if (used[k] == 0 && std::fabs(a(j, k)) >= best) {
                    best = std::fabs(a(j, k));
                    r = j;
                    c = k;
                }
        }
        // No candidate at all happens only when every remaining element is NaN.
        if (c >= 0) {
            ++used[c];
            if (r != c) {
                SwapRows(a, r, c);
                SwapRows(b, r, c);
            }
            pivotRow[i] = r;
            pivotColumn[i] = c;
        }
        if (c < 0 || a(c, c) == 0.0) {
            otk::LogErr(ErrorLog, "GaussJordan: Singular Matrix");
            return -1;
        }
        const double v = 1.0 / a(c, c);
        a(c, c) = 1.0;
        for (int k = 0; k < n; ++k) a(c, k) *= v;
        for (int k = 0; k < b.Columns(); ++k) b(c, k) *= v;
        for (int l = 0; l < n; ++l) {
            if (l == c) continue;
            const double t = a(l, c);
            a(l, c) = 0.0;
            SubtractRow(a, l, c, t);
            SubtractRow(b, l, c, t);
        }
    }
    for (int l = n - 1; l >= 0; --l)
        if (pivotRow[l] != pivotColumn[l])
            for (int k = 0; k < n; ++k) std::swap(a(k, pivotRow[l]), a(k, pivotColumn[l]));
    return 0;
}

int GaussJordanInverse(CMatrix& a) {
    CMatrix b(a.Rows(), 0);
    return GaussJordan(a, b);
}
