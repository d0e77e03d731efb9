// Helpers shared by the linear-algebra units (internal): array resizing, the module-wide fallback
// and work objects, and the bounded print lines.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "foundation/Address.h"
#include "foundation/Buffer.h"
#include "zaq/foundation.h"
#include "zaq/linalg.h"

namespace zaq::linalg {

using zaq::Addr;

/// The resize rule of the vectors: same size keeps the values; otherwise the array is replaced
/// by n zeros (none for n <= 0). Returns false when the allocation failed; the vector is then
/// left empty (size 0).
template <typename T>
bool ResizeArray(int& size, std::unique_ptr<T[]>& data, int n) {
    if (n == size) return true;
    data.reset();  // the old array goes before the new one is taken
    if (n > 0) data = NewBuffer<T>(n);
    size = n;
    if (n > 0 && !data) {
        size = 0;
        return false;
    }
    return true;
}

template <typename T>
void CopyArray(T* out, const T* in, int n) {
    for (int i = 0; i < n; ++i) out[i] = in[i];
}

// Element loops of zaq::BasicVector, the body of CVector and CVectorInt.

/// data[i] = op(data[i], other[i]) when the sizes agree; false (nothing changed) otherwise.
template <typename T, typename Op>
bool Combine(int size, T* data, int otherSize, const T* other, Op op) {
    if (otherSize != size) return false;
    for (int i = 0; i < size; ++i) data[i] = op(data[i], other[i]);
    return true;
}

/// data[i] = op(data[i]).
template <typename T, typename Op>
void Apply(int size, T* data, Op op) {
    for (int i = 0; i < size; ++i) data[i] = op(data[i]);
}

template <typename T>
bool EqualArrays(int size, const T* data, int otherSize, const T* other) {
    if (otherSize != size) return false;
    for (int i = 0; i < size; ++i)
        if (!(data[i] == other[i])) return false;
    return true;
}

// Module-wide objects. Each is a function-local static: it exists from its first use and is
// destroyed when the module unloads.

/// The shared empty vector: SharedEmpty<CVector>() (see BasicVector.h).
CVector& SharedEmptyVector();
/// The shared work vector of the vector-valued matrix wrappers.
CVector& SharedWorkVector();

/// One log line built in a 256-byte buffer. Appends never pass the buffer: text that would not
/// fit is cut.
class PrintLine {
public:
    ZAQ_PRINTF(2, 3) void Set(const char* format, ...) {
        length = 0;
        text[0] = '\0';
        va_list args;
        va_start(args, format);
        Add(format, args);
        va_end(args);
    }
    ZAQ_PRINTF(2, 3) void Append(const char* format, ...) {
        va_list args;
        va_start(args, format);
        Add(format, args);
        va_end(args);
    }
    size_t Length() const { return length; }
    /// Characters that can still be appended.
    size_t Room() const { return sizeof text - 1 - length; }
    const char* Text() const { return text; }

private:
    void Add(const char* format, va_list args) {
        const int n = std::vsnprintf(text + length, sizeof text - length, format, args);
        if (n > 0) length += static_cast<size_t>(n) < Room() ? static_cast<size_t>(n) : Room();
    }
    char text[256] = "";
    size_t length = 0;
};

/// Prints elements the way the vectors do: "label Vector: [e0, e1, ...]" split after the
/// element that takes the line past 128 characters, continuation lines starting with "...[".
/// format(i, field) writes element i into a 32-byte field.
template <typename Format>
void PrintElements(FILE* file, const char* label, int n, Format format) {
    PrintLine line;
    // Labels are cut so that the start of the line leaves room for the elements.
    if (label)
        line.Set("%.190s Vector: [", label);
    else
        line.Set("Vector: [");
    char field[32];
    for (int i = 0; i < n; ++i) {
        format(i, field);
        line.Append("%s", field);
        if (i != n - 1) line.Append(", ");
        if (line.Length() > 128) {
            otk::LogMsg(file, "%s]...\n", line.Text());
            line.Set("...[");
        }
    }
    otk::LogMsg(file, "%s]\n", line.Text());
}

/// Prints one matrix row as "Row i: [e0, e1, ...]", each element in `format`. A row too long
/// for one 256-byte line goes on in continuation lines "...[" instead of passing the buffer.
void PrintRow(FILE* file, int i, const double* row, int n, const char* format);

}  // namespace zaq::linalg
