// The mx functions of the unit Matrix (results by value, computed by the mt functions on a
// module-wide work object) and the frame rotations.
#include <cmath>

#include "linalg/Internal.h"
#include "zaq/linalg.h"

using namespace zaq::linalg;

namespace {

// The module-wide work and fallback matrices of the mx functions.
CMatrix& SharedWorkMatrix() {
    static CMatrix work;
    return work;
}

const CMatrix& SharedEmptyMatrix() {
    static const CMatrix empty;
    return empty;
}

// Runs compute(work) on the shared work object; a copy of it on success, of the shared empty
// object on failure.
template <typename Compute>
CMatrix MatrixResult(Compute compute) {
    CMatrix& work = SharedWorkMatrix();
    return compute(work) ? CMatrix(work) : CMatrix(SharedEmptyMatrix());
}

template <typename Compute>
CVector VectorResult(Compute compute) {
    CVector& work = SharedWorkVector();
    return compute(work) ? CVector(work) : CVector(SharedEmptyVector());
}

}  // namespace

CMatrix mxSubMatrix(const CMatrix& a, int r, int c) {
    return MatrixResult([&](CMatrix& w) { return mtSubMatrix(w, a, r, c); });
}

CMatrix mxInv(const CMatrix& a) {
    return MatrixResult([&](CMatrix& w) { return mtInv(w, a); });
}

CMatrix mxTranspose(const CMatrix& a) {
    return MatrixResult([&](CMatrix& w) { return mtTranspose(w, a); });
}

CMatrix mxSolve(const CMatrix& a, const CMatrix& b) {
    return MatrixResult([&](CMatrix& w) { return mtSolve(w, a, b); });
}

CMatrix mxAdd(const CMatrix& a, const CMatrix& b) {
    return MatrixResult([&](CMatrix& w) { return mtAdd(w, a, b); });
}

CMatrix mxSub(const CMatrix& a, const CMatrix& b) {
    return MatrixResult([&](CMatrix& w) { return mtSub(w, a, b); });
}

CMatrix mxMul(const CMatrix& a, const CMatrix& b) {
    return MatrixResult([&](CMatrix& w) { return mtMul(w, a, b); });
}

CMatrix mxMul(const CMatrix& a, const double& x) {
    return MatrixResult([&](CMatrix& w) { return mtMul(w, a, x); });
}

CMatrix mxMul(const CVector& v, const CVector& w) {
    return MatrixResult([&](CMatrix& out) { return mtMul(out, v, w); });
}

CMatrix mxTpMul(const CVector& v) {
    return MatrixResult([&](CMatrix& w) { return mtTpMul(w, v); });
}

CVector mxSolve(const CMatrix& a, const CVector& v) {
    return VectorResult([&](CVector& w) { return mtSolve(w, a, v); });
}

CVector mxMul(const CMatrix& a, const CVector& v) {
    return VectorResult([&](CVector& w) { return mtMul(w, a, v); });
}

CVector mxMul(const CVector& v, const CMatrix& a) {
    return VectorResult([&](CVector& w) { return mtMul(w, v, a); });
}

// ---- frame rotations --------------------------------------------------------

CMatrix mxRotX(double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    const double m[9] = {1, 0, 0, 0, c, s, 0, -s, c};
    return CMatrix(3, 3, m);
}

CMatrix mxRotY(double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    const double m[9] = {c, 0, -s, 0, 1, 0, s, 0, c};
    return CMatrix(3, 3, m);
}

CMatrix mxRotZ(double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    const double m[9] = {c, s, 0, -s, c, 0, 0, 0, 1};
    return CMatrix(3, 3, m);
}
