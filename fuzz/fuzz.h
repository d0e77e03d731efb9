// Shared by the fuzz targets: the input as a C string, and a check that stops the run with a
// finding (libFuzzer saves the input; the replay driver reports the file).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "zaq/foundation.h"

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

}  // namespace zaq::fuzz
