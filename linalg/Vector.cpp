// CVector: the dynamic vector of doubles, and the vt functions.
#include <cmath>
#include <cstdarg>
#include <functional>

#include "linalg/Internal.h"
#include "zaq/foundation.h"
#include "zaq/linalg.h"

using namespace zaq::linalg;

namespace {
const char kMismatch[] = "Cannot add/substract vectors with different size";
}  // namespace

namespace zaq::linalg {

// A failing compound assignment returns this object by reference, and a caller may write
// through that reference against the rules. So that such a write never reaches a later caller,
// the object is emptied again every time it is handed out.
CVector& SharedEmptyVector() {
    static CVector empty;
    empty.ReSize(0);
    return empty;
}

CVector& SharedWorkVector() {
    static CVector work;
    return work;
}

}  // namespace zaq::linalg

CVector::CVector() : size(0), data(nullptr) {}

CVector::CVector(int n) : CVector() {
    ReSize(n);
}

CVector::CVector(int n, const double* values) : CVector() {
    Read(n, values);
}

CVector::CVector(const CVector& v) : CVector() {
    Read(v.size, v.data);
}

CVector::~CVector() {
    delete[] data;
    data = nullptr;
    size = 0;
}

void CVector::ReSize(int n) {
    if (!ResizeArray(size, data, n)) ZAQ_ERROR_THIS("CVector::ReSize", "Memory Allocation Fail");
}

void CVector::Read(int n, const double* values) {
    if (!AssignArray(size, data, n, values))
        ZAQ_ERROR_THIS("CVector::ReSize", "Memory Allocation Fail");
}

void CVector::Define(int n, const double* values) {
    Read(n, values);
}

void CVector::Define(int n, ...) {
    ReSize(n);
    va_list args;
    va_start(args, n);
    for (int i = 0; i < size; ++i) data[i] = va_arg(args, double);
    va_end(args);
}

void CVector::Write(int n, double* out) const {
    if (n == size)
        CopyArray(out, data, size);
    else
        ZAQ_ERROR("CVector::Write", "Size doesn't match");
}

void CVector::Null() {
    Apply(size, data, [](double) { return 0.0; });
}

void CVector::Normalize() {
    *this /= vtLength(*this);
}

void CVector::Print(FILE* file, const char* label) const {
    PrintElements(file, label, size,
                  [this](int i, char* field) { std::snprintf(field, 32, "%g", data[i]); });
}

CVector& CVector::operator+=(const CVector& v) {
    if (Combine(size, data, v.size, v.data, std::plus<>())) return *this;
    ZAQ_ERROR_THIS("CVector::operator +=", kMismatch);
    return SharedEmptyVector();
}

CVector& CVector::operator-=(const CVector& v) {
    if (Combine(size, data, v.size, v.data, std::minus<>())) return *this;
    ZAQ_ERROR_THIS("CVector::operator -=", kMismatch);
    return SharedEmptyVector();
}

CVector& CVector::operator*=(const double& x) {
    Apply(size, data, [x](double e) { return e * x; });
    return *this;
}

CVector& CVector::operator/=(const double& x) {
    Apply(size, data, [x](double e) { return e / x; });
    return *this;
}

CVector& CVector::operator=(const CVector& v) {
    if (this != &v) Read(v.size, v.data);
    return *this;
}

bool CVector::operator==(const CVector& v) const {
    return EqualArrays(size, data, v.size, v.data);
}

bool CVector::operator!=(const CVector& v) const {
    return !(*this == v);
}

CVector CVector::operator+(const CVector& v) const {
    CVector out(*this);
    if (Combine(out.size, out.data, v.size, v.data, std::plus<>())) return out;
    ZAQ_ERROR_THIS("CVector::operator +", kMismatch);
    return CVector();
}

CVector CVector::operator-(const CVector& v) const {
    CVector out(*this);
    if (Combine(out.size, out.data, v.size, v.data, std::minus<>())) return out;
    ZAQ_ERROR_THIS("CVector::operator -", kMismatch);
    return CVector();
}

CVector CVector::operator-() const {
    return *this * -1.0;
}

CVector CVector::operator*(const double& x) const {
    return CVector(*this) *= x;
}

CVector CVector::operator/(const double& x) const {
    return CVector(*this) /= x;
}

// ---- vt functions ----------------------------------------------------------

double vtDot(const CVector& a, const CVector& b) {
    if (a.Size() != b.Size()) {
        ZAQ_ERROR("vtDot", "Invalid Size");
        return 0.0;
    }
    const double* x = a.Read();
    const double* y = b.Read();
    double sum = 0.0;
    for (int i = 0; i < a.Size(); ++i) sum += x[i] * y[i];
    return sum;
}

double vtSqrLen(const CVector& a) {
    const double* x = a.Read();
    double sum = 0.0;
    for (int i = 0; i < a.Size(); ++i) sum += x[i] * x[i];
    return sum;
}

double vtLength(const CVector& a) {
    return std::sqrt(vtSqrLen(a));
}

double vtAngle(const CVector& a, const CVector& b) {
    const double c = vtDot(a, b) / (vtLength(b) * vtLength(a));
    if (c <= -1.0) return M_PI;
    if (c >= 1.0) return 0.0;
    return std::acos(c);
}

void vtNormalize(CVector& a) {
    a /= vtLength(a);
}

CVector vtUnit(const CVector& a) {
    return a / vtLength(a);
}

CVector vtInv(const CVector& a) {
    return a / vtSqrLen(a);
}

CVector operator/(const double& s, const CVector& a) {
    return vtInv(a) * s;
}

void vtScalarDiv(double s, CVector& a) {
    double* x = a.Write();
    for (int i = 0; i < a.Size(); ++i)
        if (x[i] != 0.0) x[i] = s / x[i];
}
