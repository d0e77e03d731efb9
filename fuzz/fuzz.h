// Shared by the fuzz targets: the input as a C string or as a stream of choices and numbers,
// and a check that stops the run with a finding (libFuzzer saves the input; the replay driver
// reports the file).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "zaq/foundation.h"
#include "zaq/host.h"

namespace zaq::fuzz {

/// The fuzzer's bytes as text (cut at the first NUL, as a C caller would pass them); the error
/// log is silenced, since millions of warnings would only fill the disk.
inline std::string Text(const uint8_t* data, size_t size) {
    ErrorLog = nullptr;
    return std::string(reinterpret_cast<const char*>(data), size).c_str();
}

/// Aborts with a message when a property does not hold.
inline void Check(bool holds, const char* what, const std::string& input) {
    if (holds) return;
    std::fprintf(stderr, "finding: %s for input '%s'\n", what, input.c_str());
    std::abort();
}

// The fuzzer's bytes, read from the front; zeros once they run out.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : p_(data), n_(size) {}
    uint8_t Byte() {
        if (n_ == 0) return 0;
        --n_;
        return *p_++;
    }
    bool Empty() const { return n_ == 0; }
    int Pick(int n) { return n > 0 ? Byte() % n : 0; }
    // A number of the given scale, or one of the values a careless caller passes.
    double Number(double scale) {
        switch (Pick(12)) {
            case 0:
                return 0.0;
            case 1:
                return NAN;
            case 2:
                return INFINITY;
            case 3:
                return -INFINITY;
            case 4:
                return 1e300;
            case 5:
                return -1e300;
            case 6:
                return 1e-300;
            case 7: {
                double x = 0;
                for (int i = 0; i < 8; ++i) reinterpret_cast<uint8_t*>(&x)[i] = Byte();
                return x;
            }
            default:
                return scale * (static_cast<int>(Byte()) - 128) / 16.0;
        }
    }
    VECTOR3 Vector(double scale) { return {Number(scale), Number(scale), Number(scale)}; }
    /// A value between lo and hi (two bytes' resolution), now and then one a careless caller
    /// passes instead: not a number, infinite, huge, zero or any bit pattern.
    double Within(double lo, double hi) {
        if (Pick(8) == 0) return Number(hi);
        const int high = Byte();  // read in this order whatever the compiler
        const double u = (high * 256 + Byte()) / 65535.0;
        return lo + (hi - lo) * u;
    }

private:
    const uint8_t* p_;
    size_t n_;
};

}  // namespace zaq::fuzz
