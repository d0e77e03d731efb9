// UTFormatInput on any text: 0 or a finite MJD; an accepted date printed by PrintUT reads back to
// the same second.
#include <cmath>

#include "fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using zaq::fuzz::Check;
    const std::string text = zaq::fuzz::Text(data, size);
    const double mjd = otk::UTFormatInput(text.c_str());
    Check(std::isfinite(mjd), "a non-finite date", text);
    // Beyond 1e8 days a double no longer resolves a second.
    if (mjd == 0.0 || std::fabs(mjd) > 1e8) return 0;
    const std::string printed = otk::PrintUT(mjd);
    const double again = otk::UTFormatInput(printed.c_str());
    Check(again != 0.0 && std::fabs(again - mjd) * 86400.0 < 1.0,
          ("PrintUT gave " + printed).c_str(), text);
    return 0;
}
