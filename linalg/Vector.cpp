// CVector: the dynamic vector of doubles, and the vt functions.
#include <cmath>

#include "linalg/BasicVector.h"
#include "linalg/Internal.h"
#include "zaq/foundation.h"
#include "zaq/linalg.h"

namespace zaq::linalg {

template <>
const VectorNames kVectorNames<CVector> = {
    {__FILE__, __LINE__},   "CVector::ReSize",     "CVector::Write",     "CVector::operator +=",
    "CVector::operator -=", "CVector::operator +", "CVector::operator -"};

CVector& SharedEmptyVector() {
    return SharedEmpty<CVector>();
}

CVector& SharedWorkVector() {
    static CVector work;
    return work;
}

}  // namespace zaq::linalg

// All shared members, compiled here once.
template class zaq::BasicVector<double, CVector>;

void CVector::Normalize() {
    *this /= vtLength(*this);
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
