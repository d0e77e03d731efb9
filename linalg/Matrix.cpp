// CMatrix: the dynamic row-major matrix with its cached LU factorisation and the mt functions
// (result into an output argument). The unit goes on in MatrixValues.cpp (the mx functions).
#include <climits>
#include <cmath>
#include <cstdarg>
#include <utility>

#include "linalg/Internal.h"
#include "zaq/foundation.h"
#include "zaq/linalg.h"

using namespace zaq::linalg;

namespace {

// What an out-of-range operator() refers to: reset to NaN on every such access, so that a write
// through it lands here and a read sees NaN, never memory outside the matrix.
double outOfRange = NAN;

bool SameShape(const CMatrix& a, const CMatrix& b) {
    return a.Rows() == b.Rows() && a.Columns() == b.Columns();
}

}  // namespace

namespace zaq::linalg {

void PrintRow(FILE* file, int i, const double* row, int n, const char* format) {
    // One element takes at most 13 characters in "%g" or "%10.6g", 15 with its separator.
    constexpr size_t kElement = 16;
    PrintLine line;
    line.Set("Row %d: [", i);
    for (int k = 0; k < n; ++k) {
        if (line.Room() < kElement) {
            otk::LogMsg(file, "%s]...\n", line.Text());
            line.Set("...[");
        }
        line.Append(format, row[k]);
        if (k != n - 1) line.Append(", ");
    }
    otk::LogMsg(file, "%s]\n", line.Text());
}

}  // namespace zaq::linalg

// ---- construction, shape and element access --------------------------------

CMatrix::CMatrix() = default;

CMatrix::CMatrix(int rows, int columns) : CMatrix() {
    ReSize(rows, columns);
}

CMatrix::CMatrix(int rows, int columns, const double* values) : CMatrix(rows, columns) {
    if (values) CopyArray(data.get(), values, count);
}

CMatrix::CMatrix(const CMatrix& m) : CMatrix() {
    Assign(m);
}

CMatrix::CMatrix(const CMatrix* m) : CMatrix() {
    Assign(m);
}

CMatrix::~CMatrix() {
    data.reset();
    lud.reset();
    columns = rows = count = 0;
    modified = true;
}

void CMatrix::ReSize(int newRows, int newColumns) {
    // A negative count means no rows (or columns): the shape is kept non-negative so that the
    // element count always matches the array.
    if (newRows < 0) newRows = 0;
    if (newColumns < 0) newColumns = 0;
    if (newRows == rows && newColumns == columns) return;
    data.reset();  // the old array goes before the new one is taken
    const long long n = static_cast<long long>(newRows) * newColumns;
    if (n > 0 && n <= INT_MAX) data = zaq::NewBuffer<double>(n);
    rows = newRows;
    columns = newColumns;
    count = static_cast<int>(n);
    if (n > 0 && !data) {
        ZAQ_ERROR_THIS("CMatrix::ReSize", "Memory Allocation Fail");
        rows = columns = count = 0;
    }
    Modified();
}

void CMatrix::ReSize(const CMatrix& m) {
    ReSize(m.rows, m.columns);
}

void CMatrix::ReSize(const CMatrix* m) {
    if (m) ReSize(m->rows, m->columns);
}

CMatrix& CMatrix::operator=(const CMatrix& m) {
    Assign(m);
    return *this;
}

void CMatrix::Assign(const CMatrix& m) {
    ReSize(m);
    if (&m != this) CopyArray(data.get(), m.data.get(), count);
    Modified();
}

void CMatrix::Assign(const CMatrix* m) {
    if (m) Assign(*m);
}

bool CMatrix::InRange(int i, int j) const {
    if (i >= 0 && j >= 0 && i < rows && j < columns) return true;
    otk::LogErr(ErrorLog, "Matrix 0x%llX (%d by %d) Element out of range", Addr(this), rows,
                columns);
    outOfRange = NAN;
    return false;
}

double& CMatrix::operator()(int i, int j) {
    if (!InRange(i, j)) return outOfRange;
    modified = true;
    return data[j + i * columns];
}

double CMatrix::operator()(int i, int j) const {
    return InRange(i, j) ? data[j + i * columns] : outOfRange;
}

// ---- rows and columns -------------------------------------------------------

bool CMatrix::IndexOk(int k, int limit, const char* func) const {
    if (k >= 0 && k < limit) return true;
    ZAQ_ERROR_THIS(func, "Input out of limits ");
    return false;
}

void CMatrix::Row(int i, const double* values) {
    if (!values || !IndexOk(i, rows, "CMatrix::Row")) return;
    CopyArray(data.get() + i * columns, values, columns);
    Modified();
}

void CMatrix::Row(int i, const CVector& v) {
    if (v.Size() != columns) {
        ZAQ_ERROR_THIS("CMatrix::Row", "Invalid Size");
        return;
    }
    Row(i, v.Read());
}

void CMatrix::Row(int i, ...) {
    if (!IndexOk(i, rows, "CMatrix::Row")) return;
    va_list args;
    va_start(args, i);
    for (int j = 0; j < columns; ++j) data[j + i * columns] = va_arg(args, double);
    va_end(args);
    Modified();
}

void CMatrix::Column(int j, const double* values) {
    if (!values || !IndexOk(j, columns, "CMatrix::Column")) return;
    for (int i = 0; i < rows; ++i) data[j + i * columns] = values[i];
    Modified();
}

void CMatrix::Column(int j, const CVector& v) {
    if (v.Size() != rows) {
        ZAQ_ERROR_THIS("CMatrix::Column", "Invalid Size");
        return;
    }
    Column(j, v.Read());
}

void CMatrix::Column(int j, ...) {
    if (!IndexOk(j, columns, "CMatrix::Column")) return;
    va_list args;
    va_start(args, j);
    for (int i = 0; i < rows; ++i) data[j + i * columns] = va_arg(args, double);
    va_end(args);
    Modified();
}

void CMatrix::SwapRow(int i, CVector& v) {
    if (v.Size() != columns) {
        ZAQ_ERROR_THIS("CMatrix::SwapRow", "Invalid Vector Size");
        return;
    }
    if (!IndexOk(i, rows, "CMatrix::SwapRow")) return;
    for (int j = 0; j < columns; ++j) std::swap(data[j + i * columns], v[j]);
    Modified();
}

void CMatrix::SwapColumn(int j, CVector& v) {
    if (v.Size() != rows) {
        ZAQ_ERROR_THIS("CMatrix::SwapColumn", "Invalid vector size");
        return;
    }
    if (!IndexOk(j, columns, "CMatrix::SwapColumn")) return;
    for (int i = 0; i < rows; ++i) std::swap(data[j + i * columns], v[i]);
    Modified();
}

void CMatrix::GetRow(int i, double* out) const {
    if (out && IndexOk(i, rows, "CMatrix::GetRow"))
        CopyArray(out, data.get() + i * columns, columns);
}

CVector CMatrix::GetRow(int i) const {
    if (!IndexOk(i, rows, "CMatrix::GetRow")) return CVector();
    return CVector(columns, data.get() + i * columns);
}

void CMatrix::GetColumn(int j, double* out) const {
    if (!out || !IndexOk(j, columns, "CMatrix::GetColumn")) return;
    for (int i = 0; i < rows; ++i) out[i] = data[j + i * columns];
}

CVector CMatrix::GetColumn(int j) const {
    if (!IndexOk(j, columns, "CMatrix::GetColumn")) return CVector();
    CVector out(rows);
    GetColumn(j, out.Write());
    return out;
}

// ---- whole-matrix members ---------------------------------------------------

void CMatrix::Zero() {
    for (int k = 0; k < count; ++k) data[k] = 0.0;
    Modified();
}

void CMatrix::Identity() {
    if (!isSqr()) {
        ZAQ_ERROR_THIS("CMatrix::Identity", "Can not load identity into non-square Matrix");
        return;
    }
    Zero();
    for (int i = 0; i < rows; ++i) data[i + i * columns] = 1.0;
}

void CMatrix::Round() {
    for (int k = 0; k < count; ++k)
        if (std::fabs(data[k]) < 1e-13) data[k] = 0.0;
    Modified();
}

void CMatrix::Print(FILE* file, const char* label) const {
    if (!data) {
        if (label)
            otk::LogWrn(file, "%s Matrix 0x%llX is Null", label, Addr(this));
        else
            otk::LogWrn(file, "Matrix 0x%llX is Null", Addr(this));
        return;
    }
    if (label) otk::LogMsg(file, "%s Matrix:", label);
    for (int i = 0; i < rows; ++i) PrintRow(file, i, data.get() + i * columns, columns, "%10.6g");
}

LUD* CMatrix::GetLUD() const {
    if (!lud)
        lud = zaq::NewOwned<LUD>(this);  // factorises at once
    else if (modified)
        lud->ComputeLUD(this);
    modified = false;
    return lud.get();
}

bool CMatrix::HasLUD() const {
    return lud && !modified && lud->isOk();
}

bool CMatrix::GetLUDMatrix(CMatrix& out) const {
    if (!HasLUD()) GetLUD();
    if (!lud || !lud->isOk()) return false;
    lud->GetMatrix(out);
    return true;
}

bool CMatrix::isPositiveDefinite() const {
    CVector minors;
    if (!mtPrincipalMinors(minors, *this)) return false;
    for (int k = 0; k < minors.Size(); ++k)
        if (minors[k] < 0.0) return false;
    return true;
}

// ---- the mt family ----------------------------------------------------------

double mtDet(const CMatrix& a) {
    if (!a.isSqr()) {
        otk::LogErr(ErrorLog, "mtDet(0x%llX), Matrix isn't square", Addr(&a));
        return 0.0;
    }
    if (a.Rows() == 1) return a[0];
    if (a.Rows() == 2) return a[3] * a[0] - a[2] * a[1];
    const LUD* lu = a.GetLUD();
    return lu ? lu->Det() : 0.0;
}

bool mtAddIdentity(CMatrix& a, double x) {
    if (!a.isSqr()) {
        otk::LogErr(ErrorLog, "mtAddIdentity(0x%llX) Must be square matrix", Addr(&a));
        return false;
    }
    for (int i = 0; i < a.Rows(); ++i) a(i, i) += x;
    return true;
}

bool mtMul(CMatrix& a, double x) {
    return mtMul(a, a, x);
}

bool mtMul(CMatrix& out, const CMatrix& a, double x) {
    out.ReSize(a);
    const int n = a.Rows() * a.Columns();
    for (int k = 0; k < n; ++k) out[k] = a[k] * x;
    return true;
}

bool mtMul(CVector& out, const CMatrix& a, const CVector& v) {
    if (&out == &v) {
        otk::LogErr(ErrorLog, "mtMul(_0x%llX, 0x%llX, _0x%llX), Input and Output can't be the same",
                    Addr(&out), Addr(&a), Addr(&v));
        return false;
    }
    if (a.Columns() != v.Size()) {
        otk::LogErr(ErrorLog, "mtMul(_0x%llX, 0x%llX, _0x%llX), Invalid Size", Addr(&out), Addr(&a),
                    Addr(&v));
        return false;
    }
    const int n = a.Columns();
    out.ReSize(a.Rows());
    for (int i = 0; i < a.Rows(); ++i) {
        double sum = 0.0;
        for (int k = 0; k < n; ++k) sum += a[k + i * n] * v[k];
        out[i] = sum;
    }
    return true;
}

bool mtMul(CVector& out, const CVector& v, const CMatrix& a) {
    if (&out == &v) {
        otk::LogErr(ErrorLog, "mtMul(_0x%llX, _0x%llX, 0x%llX), Input and Output can't be the same",
                    Addr(&out), Addr(&v), Addr(&a));
        return false;
    }
    if (a.Rows() != v.Size()) {
        otk::LogErr(ErrorLog, "mtMul(_0x%llX, _0x%llX, 0x%llX), Invalid Size", Addr(&out), Addr(&v),
                    Addr(&a));
        return false;
    }
    const int n = a.Columns();
    out.ReSize(n);
    for (int i = 0; i < n; ++i) {
        double sum = 0.0;
        for (int k = 0; k < a.Rows(); ++k) sum += v[k] * a[i + k * n];
        out[i] = sum;
    }
    return true;
}

bool mtMul(CMatrix& out, const CMatrix& a, const CMatrix& b) {
    if (&out == &a || &out == &b) {
        otk::LogErr(ErrorLog, "mtMul(0x%llX, 0x%llX, 0x%llX), Input and Output can't be the same",
                    Addr(&out), Addr(&a), Addr(&b));
        return false;
    }
    if (a.Columns() != b.Rows()) {
        otk::LogErr(ErrorLog, "mtMul(0x%llX, 0x%llX, 0x%llX), Invalid Size", Addr(&out), Addr(&a),
                    Addr(&b));
        return false;
    }
    const int n = a.Columns(), m = b.Columns();
    out.ReSize(a.Rows(), m);
    for (int i = 0; i < a.Rows(); ++i)
        for (int j = 0; j < m; ++j) {
            double sum = 0.0;
            for (int k = 0; k < n; ++k) sum += a[k + i * n] * b[j + k * m];
            out[j + i * m] = sum;
        }
    return true;
}

bool mtMul(CMatrix& out, const CVector& a, const CVector& b) {
    // The outer product of sizes n and m is n x m (a gives the rows, b the columns).
    out.ReSize(a.Size(), b.Size());
    for (int i = 0; i < out.Rows(); ++i)
        for (int j = 0; j < out.Columns(); ++j) out[j + i * out.Columns()] = a[i] * b[j];
    return true;
}

bool mtTpMul(CMatrix& out, const CVector& v) {
    const int n = v.Size();
    out.ReSize(n, n);
    for (int i = 0; i < out.Rows(); ++i)
        for (int j = 0; j <= i; ++j) out[j + i * n] = out[i + j * n] = v[i] * v[j];
    return true;
}

bool mtAdd(CMatrix& out, const CMatrix& a, const CMatrix& b) {
    if (!SameShape(a, b)) {
        otk::LogErr(ErrorLog, "mtAdd(0x%llX, 0x%llX, 0x%llX), Invalid Size", Addr(&out), Addr(&a),
                    Addr(&b));
        return false;
    }
    out.ReSize(a);
    for (int k = 0; k < a.Rows() * a.Columns(); ++k) out[k] = a[k] + b[k];
    return true;
}

bool mtAdd(CMatrix& a, const CMatrix& b) {
    if (!SameShape(a, b)) {
        otk::LogErr(ErrorLog, "mtAdd(0x%llX, 0x%llX), Invalid Size", Addr(&a), Addr(&b));
        return false;
    }
    for (int k = 0; k < a.Rows() * a.Columns(); ++k) a[k] += b[k];
    return true;
}

bool mtSub(CMatrix& out, const CMatrix& a, const CMatrix& b) {
    if (!SameShape(a, b)) {
        otk::LogErr(ErrorLog, "mtSub(0x%llX, 0x%llX, 0x%llX), Invalid Size", Addr(&out), Addr(&a),
                    Addr(&b));
        return false;
    }
    out.ReSize(a);
    for (int k = 0; k < a.Rows() * a.Columns(); ++k) out[k] = a[k] - b[k];
    return true;
}

bool mtSub(CMatrix& a, const CMatrix& b) {
    if (!SameShape(a, b)) {
        otk::LogErr(ErrorLog, "mtSub(0x%llX, 0x%llX), Invalid Size", Addr(&a), Addr(&b));
        return false;
    }
    if (&a == &b) {
        otk::LogErr(ErrorLog, "mtSub(0x%llX, 0x%llX), Input and Output can't be the same", Addr(&a),
                    Addr(&b));
        return false;
    }
    for (int k = 0; k < a.Rows() * a.Columns(); ++k) a[k] -= b[k];
    return true;
}

bool mtTranspose(CMatrix& out, const CMatrix& a) {
    if (&out == &a) {
        otk::LogErr(ErrorLog,
                    "mtTranspose(0x%llX, 0x%llX), Matrices 'out' and 'in' can't be the same matrix",
                    Addr(&out), Addr(&a));
        return false;
    }
    out.ReSize(a.Columns(), a.Rows());
    for (int i = 0; i < out.Rows(); ++i)
        for (int j = 0; j < out.Columns(); ++j) out[j + i * out.Columns()] = a[i + j * a.Columns()];
    return true;
}

namespace {

bool RefuseSameMatrix(const CMatrix& out, const CMatrix& a) {
    if (&out != &a) return false;
    otk::LogErr(ErrorLog,
                "mtSubMatrix(0x%llX, 0x%llX,...), Matrices 'out' and 'in' can't be the same matrix",
                Addr(&out), Addr(&a));
    return true;
}

}  // namespace

bool mtSubMatrix(CMatrix& out, const CMatrix& a, int r, int c) {
    if (RefuseSameMatrix(out, a)) return false;
    if (a.Rows() < 2 || a.Columns() < 2) {
        otk::LogErr(ErrorLog,
                    "mtSubMatrix(0x%llX, 0x%llX,...), The last row or column can't be deleted",
                    Addr(&out), Addr(&a));
        return false;
    }
    // A row or column outside the matrix would make the copy overrun the output.
    if (r < 0 || r >= a.Rows() || c < 0 || c >= a.Columns()) {
        otk::LogErr(ErrorLog, "mtSubMatrix(0x%llX, 0x%llX,...), Input out of limits", Addr(&out),
                    Addr(&a));
        return false;
    }
    out.ReSize(a.Rows() - 1, a.Columns() - 1);
    int k = 0;
    for (int i = 0; i < a.Rows(); ++i)
        for (int j = 0; j < a.Columns(); ++j)
            if (i != r && j != c) out[k++] = a[j + i * a.Columns()];
    return true;
}

bool mtUpperLeft(CMatrix& out, const CMatrix& a, int r, int c) {
    if (RefuseSameMatrix(out, a)) return false;
    if (r < 0 || c < 0 || r > a.Rows() || c > a.Columns()) {
        otk::LogErr(ErrorLog, "mtSubMatrix(0x%llX, 0x%llX,...), Invalid Size", Addr(&out),
                    Addr(&a));
        return false;
    }
    out.ReSize(r, c);
    for (int i = 0; i < r; ++i)
        for (int j = 0; j < c; ++j) out[j + i * c] = a[j + i * a.Columns()];
    return true;
}

bool mtInv(CMatrix& out, const CMatrix& a) {
    if (&out == &a) {
        otk::LogErr(ErrorLog,
                    "mtInv(0x%llX, 0x%llX), Matrices 'out' and 'in' can't be the same matrix",
                    Addr(&out), Addr(&a));
        return false;
    }
    out.ReSize(a);
    out.Identity();
    const LUD* lu = a.GetLUD();
    return lu && lu->Solve(out, out);
}

bool mtSolve(CVector& x, const CMatrix& a, const CVector& b) {
    if (&x == &b) {
        otk::LogErr(ErrorLog,
                    "mtSolve(_0x%llX, 0x%llX, _0x%llX), Input and Output can't be the same",
                    Addr(&x), Addr(&a), Addr(&b));
        return false;
    }
    x.ReSize(b.Size());
    const LUD* lu = a.GetLUD();
    return lu && lu->Solve(b, x);
}

bool mtSolve(CMatrix& x, const CMatrix& a, const CMatrix& b) {
    if (&x == &a || &x == &b || &a == &b) {
        otk::LogErr(ErrorLog,
                    "mtSolve(0x%llX, 0x%llX, 0x%llX), Matrices can't refer into the same matrix",
                    Addr(&x), Addr(&a), Addr(&b));
        return false;
    }
    const LUD* lu = a.GetLUD();
    return lu && lu->Solve(b, x);
}

bool mtPrincipalMinors(CVector& d, const CMatrix& a) {
    if (!a.isSqr()) {
        otk::LogErr(ErrorLog, "mtPrincipalMinor(0x%llX, 0x%llX), Matrix isn't square", Addr(&d),
                    Addr(&a));
        return false;
    }
    // A 0 x 0 matrix has no leading minors: d is emptied.
    const int n = a.Rows();
    d.ReSize(n);
    if (n == 0) return true;
    d[0] = a[0];
    if (n > 1) d[1] = a[n + 1] * a[0] - a[n] * a[1];
    CMatrix block;
    for (int k = 3; k < n; ++k) {
        mtUpperLeft(block, a, k, k);
        d[k - 1] = mtDet(block);
    }
    d[n - 1] = mtDet(a);
    return true;
}
