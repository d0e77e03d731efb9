// Linear algebra: dynamic vectors and matrices with size-checked operations, a cached LU
// factorisation and Gauss-Jordan elimination. Failures write one line to the error log and
// return a defined fallback; nothing is thrown.
#pragma once

#include <cstdio>
#include <memory>

class CMatrix;
class LUD;

namespace zaq {

/// What CVector (T = double) and CVectorInt (T = int) share: an array of T that the vector owns
/// and its size-checked operations. Self is the vector class itself. The library defines the
/// members for those two classes only.
template <typename T, typename Self>
class BasicVector {
public:
    /// Empty: size 0, no array.
    BasicVector();
    /// n elements, all 0.
    explicit BasicVector(int n);
    /// n elements copied from values.
    BasicVector(int n, const T* values);
    /// Copies duplicate the array.
    BasicVector(const BasicVector& v);

    /// Keeps the values when n is the current size; otherwise n zeros (no array for n <= 0).
    void ReSize(int n);
    /// ReSize(n), then copies n values.
    void Read(int n, const T* values);
    /// The same as Read(n, values).
    void Define(int n, const T* values);
    /// ReSize(n), then takes n further T arguments as the elements.
    void Define(int n, ...);
    /// The array (null when empty).
    const T* Read() const { return data.get(); }
    T* Write() { return data.get(); }
    /// Copies all elements to out when n equals the size; otherwise reports and copies nothing.
    void Write(int n, T* out) const;
    int Size() const { return size; }
    /// True when the size is 0.
    bool isNull() const { return size == 0; }
    /// Element i, unchecked.
    T& operator[](int i) { return data[i]; }
    T operator[](int i) const { return data[i]; }
    /// Sets every element to 0.
    void Null();
    /// Writes the elements as log lines on file, split into lines of about 128 characters.
    void Print(FILE* file, const char* label) const;

    /// On a size mismatch these report and return the shared empty vector, this unchanged.
    Self& operator+=(const Self& v);
    Self& operator-=(const Self& v);
    Self& operator*=(const T& x);
    Self& operator/=(const T& x);
    bool operator==(const Self& v) const;
    bool operator!=(const Self& v) const;
    /// On a size mismatch these report and return an empty vector.
    Self operator+(const Self& v) const;
    Self operator-(const Self& v) const;
    Self operator-() const;
    Self operator*(const T& x) const;
    Self operator/(const T& x) const;

protected:
    /// Resizes only when the sizes differ, then copies the elements.
    BasicVector& operator=(const BasicVector& v);
    /// A BasicVector exists only as the base of its Self.
    ~BasicVector();

private:
    int size = 0;
    std::unique_ptr<T[]> data;
};

}  // namespace zaq

/// Heap-allocated vector of doubles. The vector owns its array; copies (construction and
/// assignment) duplicate it.
class CVector : public zaq::BasicVector<double, CVector> {
public:
    using BasicVector::BasicVector;
    /// Divides every element by the vector's length (NaN elements for a zero vector).
    void Normalize();
};

/// Heap-allocated vector of ints: CVector's twin without Normalize; division truncates.
class CVectorInt : public zaq::BasicVector<int, CVectorInt> {
public:
    using BasicVector::BasicVector;
};

/// Sum of the products of corresponding elements; 0 (reported) on a size mismatch.
double vtDot(const CVector& a, const CVector& b);
/// Sum of squares.
double vtSqrLen(const CVector& a);
double vtLength(const CVector& a);
/// Angle between a and b in [0, pi].
double vtAngle(const CVector& a, const CVector& b);
void vtNormalize(CVector& a);
CVector vtUnit(const CVector& a);
/// a / |a|^2: the inverse of a under reflection in the unit sphere.
CVector vtInv(const CVector& a);
/// s a / |a|^2.
CVector operator/(const double& s, const CVector& a);
/// Replaces every non-zero element e of a by s / e; zeros stay 0.
void vtScalarDiv(double s, CVector& a);

/// Row-major matrix of doubles with its own cached LU factorisation.
class CMatrix {
public:
    CMatrix();
    /// rows x columns zeros.
    CMatrix(int rows, int columns);
    /// rows x columns values in row-major order.
    CMatrix(int rows, int columns, const double* values);
    /// Same shape and elements, no factorisation.
    CMatrix(const CMatrix& m);
    explicit CMatrix(const CMatrix* m);
    ~CMatrix();

    /// Keeps the elements when the shape is unchanged; otherwise zeros of the new shape.
    void ReSize(int rows, int columns);
    void ReSize(const CMatrix& m);
    void ReSize(const CMatrix* m);
    CMatrix& operator=(const CMatrix& m);
    void Assign(const CMatrix& m);
    void Assign(const CMatrix* m);
    int Rows() const { return rows; }
    int Columns() const { return columns; }
    bool isSqr() const { return rows == columns; }
    /// True when the matrix holds no elements.
    bool isNull() const { return data == nullptr; }

    /// Element (i, j), marks the matrix modified. Out of range: reported, and the reference is
    /// to a scratch value set to NaN, never to memory outside the array.
    double& operator()(int i, int j);
    /// Element (i, j); out of range: reported, NaN.
    double operator()(int i, int j) const;
    /// Element k of the row-major array, unchecked; marks the matrix modified.
    double& operator[](int k) {
        modified = true;
        return data[k];
    }
    double operator[](int k) const { return data[k]; }

    // Rows and columns. A bad index or size is reported and nothing is written.
    void Row(int i, const double* values);
    void Row(int i, const CVector& v);
    /// Row i from `columns` further double arguments.
    void Row(int i, ...);
    void Column(int j, const double* values);
    void Column(int j, const CVector& v);
    /// Column j from `rows` further double arguments.
    void Column(int j, ...);
    /// Exchanges row i with the contents of v.
    void SwapRow(int i, CVector& v);
    /// Exchanges column j with the contents of v.
    void SwapColumn(int j, CVector& v);
    void GetRow(int i, double* out) const;
    CVector GetRow(int i) const;
    void GetColumn(int j, double* out) const;
    CVector GetColumn(int j) const;

    void Zero();
    /// Square matrices only: the identity.
    void Identity();
    /// Sets every element of magnitude below 1e-13 to exactly 0.
    void Round();
    /// Writes the matrix as log lines on file, one line per row.
    void Print(FILE* file, const char* label) const;
    /// The matrix's factorisation, computed on first demand and again only after a change;
    /// owned by the matrix. Check LUD::isOk before use. Null when it cannot be allocated.
    LUD* GetLUD() const;
    /// True when a current, valid factorisation is at hand (computes nothing).
    bool HasLUD() const;
    /// The combined L and U factors into out; false when the matrix cannot be factorised.
    bool GetLUDMatrix(CMatrix& out) const;
    /// True unless a leading principal minor is negative.
    bool isPositiveDefinite() const;

private:
    void Modified() const { modified = true; }
    bool InRange(int i, int j) const;
    bool IndexOk(int k, int limit, const char* func) const;

    int columns = 0;
    int rows = 0;
    int count = 0;
    mutable std::unique_ptr<LUD> lud;
    mutable bool modified = true;
    std::unique_ptr<double[]> data;
};

// The mt family writes into its first argument and returns false after logging the reason; the
// output is left unchanged on failure unless stated.

/// Determinant (0 for a non-square matrix).
double mtDet(const CMatrix& a);
/// Adds x to every diagonal element of a square matrix.
bool mtAddIdentity(CMatrix& a, double x);
bool mtMul(CMatrix& a, double x);
/// out = a x (out may be a).
bool mtMul(CMatrix& out, const CMatrix& a, double x);
/// out = a v.
bool mtMul(CVector& out, const CMatrix& a, const CVector& v);
/// out = v a.
bool mtMul(CVector& out, const CVector& v, const CMatrix& a);
/// out = a b.
bool mtMul(CMatrix& out, const CMatrix& a, const CMatrix& b);
/// Outer product: out is a.Size() x b.Size(), out(i, j) = a[i] b[j].
bool mtMul(CMatrix& out, const CVector& a, const CVector& b);
/// out = v v^T.
bool mtTpMul(CMatrix& out, const CVector& v);
/// out = a + b (out may be a or b).
bool mtAdd(CMatrix& out, const CMatrix& a, const CMatrix& b);
/// a += b.
bool mtAdd(CMatrix& a, const CMatrix& b);
/// out = a - b.
bool mtSub(CMatrix& out, const CMatrix& a, const CMatrix& b);
/// a -= b (a must not be b).
bool mtSub(CMatrix& a, const CMatrix& b);
bool mtTranspose(CMatrix& out, const CMatrix& a);
/// out = a without row r and column c.
bool mtSubMatrix(CMatrix& out, const CMatrix& a, int r, int c);
/// out = the upper-left r x c block of a.
bool mtUpperLeft(CMatrix& out, const CMatrix& a, int r, int c);
/// out = inverse of a through a's factorisation.
bool mtInv(CMatrix& out, const CMatrix& a);
/// Solves a x = b through a's factorisation (x must not be b).
bool mtSolve(CVector& x, const CMatrix& a, const CVector& b);
/// Solves a X = B column by column (x, a, b distinct objects).
bool mtSolve(CMatrix& x, const CMatrix& a, const CMatrix& b);
/// d[k] = determinant of the leading (k+1) x (k+1) block of the square matrix a.
bool mtPrincipalMinors(CVector& d, const CMatrix& a);

// The mx family returns its mt counterpart's result by value; an empty object on failure.
CMatrix mxSubMatrix(const CMatrix& a, int r, int c);
CMatrix mxInv(const CMatrix& a);
CMatrix mxTranspose(const CMatrix& a);
CMatrix mxSolve(const CMatrix& a, const CMatrix& b);
CMatrix mxAdd(const CMatrix& a, const CMatrix& b);
CMatrix mxSub(const CMatrix& a, const CMatrix& b);
CMatrix mxMul(const CMatrix& a, const CMatrix& b);
CMatrix mxMul(const CMatrix& a, const double& x);
/// Outer product.
CMatrix mxMul(const CVector& v, const CVector& w);
CMatrix mxTpMul(const CVector& v);
CVector mxSolve(const CMatrix& a, const CVector& v);
CVector mxMul(const CMatrix& a, const CVector& v);
CVector mxMul(const CVector& v, const CMatrix& a);

// Frame rotations by an angle in radians: coordinates in axes turned by +angle about the axis.
CMatrix mxRotX(double angle);
CMatrix mxRotY(double angle);
CMatrix mxRotZ(double angle);

/// LU factorisation with implicit row scaling and partial pivoting of a square matrix.
class LUD {
public:
    /// No decomposition (status -1).
    LUD();
    explicit LUD(const CMatrix& m);
    explicit LUD(const CMatrix* m);
    /// Deep copy: each object owns its own arrays.
    LUD(const LUD& other);
    LUD& operator=(const LUD& other);
    ~LUD();

    /// Factorises m; returns and stores the status: 0 done, 1 allocation failed, 2 not square,
    /// 3 a zero row (singular), 4 null matrix.
    int ComputeLUD(const CMatrix* m);
    /// The status, or -1 when the factor arrays are missing.
    int GetStatus() const;
    bool isOk() const { return GetStatus() == 0; }
    /// Determinant; 0 (reported) without a current decomposition.
    double Det() const;
    /// Solves A x = b for n values; x may be b.
    bool Solve(const double* b, double* x) const;
    /// x is resized to n; x may be b.
    bool Solve(const CVector& b, CVector& x) const;
    /// Solves A X = B column by column; x may be b.
    bool Solve(const CMatrix& b, CMatrix& x) const;
    /// out = the combined factors (L below the diagonal, U on and above it).
    void GetMatrix(CMatrix& out) const;
    void Print(FILE* file) const;

private:
    double Get(int i, int j) const { return lu[j + i * size]; }
    void Set(int i, int j, double v) { lu[j + i * size] = v; }
    /// Fresh arrays for order n; false (reported under func, arrays released) when that fails.
    bool Allocate(int n, const char* func);
    void Free();
    bool Present(const char* func) const;

    int size = 0;
    int count = 0;
    std::unique_ptr<double[]> lu;
    std::unique_ptr<int[]> index;
    std::unique_ptr<double[]> scale;
    double parity = 1.0;
    int status = -1;
};

/// Replaces the n x n matrix a by its inverse and b (n rows) by the solution of a X = b, by
/// elimination with full pivoting; 0, or -1 for a singular or misshapen system.
int GaussJordan(CMatrix& a, CMatrix& b);
/// Replaces a by its inverse; 0, or -1 as GaussJordan.
int GaussJordanInverse(CMatrix& a);
