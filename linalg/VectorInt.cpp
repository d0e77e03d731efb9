// CVectorInt: the dynamic vector of ints. Scalar division truncates toward zero; callers never
// divide by 0.
#include <cstdarg>
#include <functional>

#include "linalg/Internal.h"
#include "zaq/foundation.h"
#include "zaq/linalg.h"

using namespace zaq::linalg;

namespace {

const char kMismatch[] = "Cannot add/substract vectors with different size";

// The fallback of the failing compound assignments, emptied again every time it is handed out
// so that a write through an earlier returned reference never reaches a later caller.
CVectorInt& SharedEmptyIntVector() {
    static CVectorInt empty;
    empty.ReSize(0);
    return empty;
}

}  // namespace

CVectorInt::CVectorInt() : size(0), data(nullptr) {}

CVectorInt::CVectorInt(int n) : CVectorInt() {
    ReSize(n);
}

CVectorInt::CVectorInt(int n, const int* values) : CVectorInt() {
    Read(n, values);
}

CVectorInt::CVectorInt(const CVectorInt& v) : CVectorInt() {
    Read(v.size, v.data);
}

CVectorInt::~CVectorInt() {
    delete[] data;
    data = nullptr;
    size = 0;
}

void CVectorInt::ReSize(int n) {
    if (!ResizeArray(size, data, n)) ZAQ_ERROR_THIS("CVectorInt::ReSize", "Memory Allocation Fail");
}

void CVectorInt::Read(int n, const int* values) {
    if (!AssignArray(size, data, n, values))
        ZAQ_ERROR_THIS("CVectorInt::ReSize", "Memory Allocation Fail");
}

void CVectorInt::Define(int n, const int* values) {
    Read(n, values);
}

void CVectorInt::Define(int n, ...) {
    ReSize(n);
    va_list args;
    va_start(args, n);
    for (int i = 0; i < size; ++i) data[i] = va_arg(args, int);
    va_end(args);
}

void CVectorInt::Write(int n, int* out) const {
    if (n == size)
        CopyArray(out, data, size);
    else
        ZAQ_ERROR("CVectorInt::Write", "Size doesn't match");
}

void CVectorInt::Null() {
    Apply(size, data, [](int) { return 0; });
}

void CVectorInt::Print(FILE* file, const char* label) const {
    PrintElements(file, label, size,
                  [this](int i, char* field) { std::snprintf(field, 32, "%d", data[i]); });
}

CVectorInt& CVectorInt::operator+=(const CVectorInt& v) {
    if (Combine(size, data, v.size, v.data, std::plus<>())) return *this;
    ZAQ_ERROR_THIS("CVectorInt::operator +=", kMismatch);
    return SharedEmptyIntVector();
}

CVectorInt& CVectorInt::operator-=(const CVectorInt& v) {
    if (Combine(size, data, v.size, v.data, std::minus<>())) return *this;
    ZAQ_ERROR_THIS("CVectorInt::operator -=", kMismatch);
    return SharedEmptyIntVector();
}

CVectorInt& CVectorInt::operator*=(const int& x) {
    Apply(size, data, [x](int e) { return e * x; });
    return *this;
}

CVectorInt& CVectorInt::operator/=(const int& x) {
    Apply(size, data, [x](int e) { return e / x; });
    return *this;
}

CVectorInt& CVectorInt::operator=(const CVectorInt& v) {
    if (this != &v) Read(v.size, v.data);
    return *this;
}

bool CVectorInt::operator==(const CVectorInt& v) const {
    return EqualArrays(size, data, v.size, v.data);
}

bool CVectorInt::operator!=(const CVectorInt& v) const {
    return !(*this == v);
}

CVectorInt CVectorInt::operator+(const CVectorInt& v) const {
    CVectorInt out(*this);
    if (Combine(out.size, out.data, v.size, v.data, std::plus<>())) return out;
    ZAQ_ERROR_THIS("CVectorInt::operator +", kMismatch);
    return CVectorInt();
}

CVectorInt CVectorInt::operator-(const CVectorInt& v) const {
    CVectorInt out(*this);
    if (Combine(out.size, out.data, v.size, v.data, std::minus<>())) return out;
    ZAQ_ERROR_THIS("CVectorInt::operator -", kMismatch);
    return CVectorInt();
}

CVectorInt CVectorInt::operator-() const {
    return *this * -1;
}

CVectorInt CVectorInt::operator*(const int& x) const {
    return CVectorInt(*this) *= x;
}

CVectorInt CVectorInt::operator/(const int& x) const {
    return CVectorInt(*this) /= x;
}
