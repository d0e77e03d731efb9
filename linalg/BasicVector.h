// The members of zaq::BasicVector, the one body of CVector and CVectorInt. Only the two vector
// units include this: each defines its kVectorNames and then instantiates the template for its
// class, so that every vector function is compiled once per element type.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <functional>

#include "linalg/Internal.h"
#include "zaq/foundation.h"
#include "zaq/linalg.h"

namespace zaq::linalg {

inline constexpr char kSizeMismatch[] = "Cannot add/substract vectors with different size";

/// What the error reports of one vector class name: its source unit with a line there (where
/// the unit defines this table) and its function names.
struct VectorNames {
    struct {
        const char* file;
        int line;
    } source;
    const char* reSize;
    const char* write;
    const char* addAssign;
    const char* subtractAssign;
    const char* add;
    const char* subtract;
};

/// Defined by each vector unit for its own class.
template <typename Self>
extern const VectorNames kVectorNames;

/// Reports reason under Self's unit and the function that names picks (self null: the form
/// without address).
template <typename Self>
void ReportVectorError(const void* self, const char* VectorNames::*func, const char* reason) {
    const VectorNames& names = kVectorNames<Self>;
    otk::ReportError(self, names.source.file, names.source.line, names.*func, reason);
}

/// into[i] = op(into[i], v[i]) when the sizes agree; otherwise reports the mismatch for the
/// vector at self under func, changes nothing and returns false.
template <typename Self, typename Op>
bool CombineChecked(const void* self, Self& into, const Self& v, Op op,
                    const char* VectorNames::*func) {
    if (Combine(into.Size(), into.Write(), v.Size(), v.Read(), op)) return true;
    ReportVectorError<Self>(self, func, kSizeMismatch);
    return false;
}

/// The fallback of Self's failing compound assignments. A caller may write through the
/// reference against the rules; so that such a write never reaches a later caller, the object
/// is emptied again every time it is handed out.
template <typename Self>
Self& SharedEmpty() {
    static Self empty;
    empty.ReSize(0);
    return empty;
}

/// Element formats of Print (fields of 32 bytes).
inline void FormatElement(char* field, double e) {
    std::snprintf(field, 32, "%g", e);
}
inline void FormatElement(char* field, int e) {
    std::snprintf(field, 32, "%d", e);
}

}  // namespace zaq::linalg

namespace zaq {

template <typename T, typename Self>
BasicVector<T, Self>::BasicVector() = default;

template <typename T, typename Self>
BasicVector<T, Self>::BasicVector(int n) : BasicVector() {
    ReSize(n);
}

template <typename T, typename Self>
BasicVector<T, Self>::BasicVector(int n, const T* values) : BasicVector() {
    Read(n, values);
}

template <typename T, typename Self>
BasicVector<T, Self>::BasicVector(const BasicVector& v) : BasicVector() {
    Read(v.size, v.data.get());
}

template <typename T, typename Self>
BasicVector<T, Self>::~BasicVector() {
    // Left empty: a module-wide vector read during unload after its destruction finds no array.
    data.reset();
    size = 0;
}

template <typename T, typename Self>
void BasicVector<T, Self>::ReSize(int n) {
    if (!linalg::ResizeArray(size, data, n))
        linalg::ReportVectorError<Self>(this, &linalg::VectorNames::reSize,
                                        "Memory Allocation Fail");
}

template <typename T, typename Self>
void BasicVector<T, Self>::Read(int n, const T* values) {
    ReSize(n);
    if (values) linalg::CopyArray(data.get(), values, size);
}

template <typename T, typename Self>
void BasicVector<T, Self>::Define(int n, const T* values) {
    Read(n, values);
}

template <typename T, typename Self>
void BasicVector<T, Self>::Define(int n, ...) {
    ReSize(n);
    va_list args;
    va_start(args, n);
    for (int i = 0; i < size; ++i) data[i] = va_arg(args, T);
    va_end(args);
}

template <typename T, typename Self>
void BasicVector<T, Self>::Write(int n, T* out) const {
    if (n == size)
        linalg::CopyArray(out, data.get(), size);
    else
        linalg::ReportVectorError<Self>(nullptr, &linalg::VectorNames::write, "Size doesn't match");
}

template <typename T, typename Self>
void BasicVector<T, Self>::Null() {
    linalg::Apply(size, data.get(), [](T) { return T(0); });
}

template <typename T, typename Self>
void BasicVector<T, Self>::Print(FILE* file, const char* label) const {
    linalg::PrintElements(file, label, size,
                          [this](int i, char* field) { linalg::FormatElement(field, data[i]); });
}

template <typename T, typename Self>
Self& BasicVector<T, Self>::operator+=(const Self& v) {
    Self& self = static_cast<Self&>(*this);
    if (linalg::CombineChecked(this, self, v, std::plus<>(), &linalg::VectorNames::addAssign))
        return self;
    return linalg::SharedEmpty<Self>();
}

template <typename T, typename Self>
Self& BasicVector<T, Self>::operator-=(const Self& v) {
    Self& self = static_cast<Self&>(*this);
    if (linalg::CombineChecked(this, self, v, std::minus<>(), &linalg::VectorNames::subtractAssign))
        return self;
    return linalg::SharedEmpty<Self>();
}

template <typename T, typename Self>
Self& BasicVector<T, Self>::operator*=(const T& x) {
    linalg::Apply(size, data.get(), [x](T e) { return e * x; });
    return static_cast<Self&>(*this);
}

template <typename T, typename Self>
Self& BasicVector<T, Self>::operator/=(const T& x) {
    linalg::Apply(size, data.get(), [x](T e) { return e / x; });
    return static_cast<Self&>(*this);
}

template <typename T, typename Self>
BasicVector<T, Self>& BasicVector<T, Self>::operator=(const BasicVector& v) {
    if (this != &v) Read(v.size, v.data.get());
    return *this;
}

template <typename T, typename Self>
bool BasicVector<T, Self>::operator==(const Self& v) const {
    return linalg::EqualArrays(size, data.get(), v.size, v.data.get());
}

template <typename T, typename Self>
bool BasicVector<T, Self>::operator!=(const Self& v) const {
    return !(*this == v);
}

template <typename T, typename Self>
Self BasicVector<T, Self>::operator+(const Self& v) const {
    Self out(static_cast<const Self&>(*this));
    if (linalg::CombineChecked(this, out, v, std::plus<>(), &linalg::VectorNames::add)) return out;
    return Self();
}

template <typename T, typename Self>
Self BasicVector<T, Self>::operator-(const Self& v) const {
    Self out(static_cast<const Self&>(*this));
    if (linalg::CombineChecked(this, out, v, std::minus<>(), &linalg::VectorNames::subtract))
        return out;
    return Self();
}

template <typename T, typename Self>
Self BasicVector<T, Self>::operator-() const {
    return *this * T(-1);
}

template <typename T, typename Self>
Self BasicVector<T, Self>::operator*(const T& x) const {
    Self out(static_cast<const Self&>(*this));
    out *= x;
    return out;
}

template <typename T, typename Self>
Self BasicVector<T, Self>::operator/(const T& x) const {
    Self out(static_cast<const Self&>(*this));
    out /= x;
    return out;
}

}  // namespace zaq
