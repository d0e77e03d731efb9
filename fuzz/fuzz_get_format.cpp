// GETFormatInput on any text: 0 or a finite MJD; an accepted time printed by PrintGET reads back
// to the same time within the printed centisecond.
#include <cmath>
#include <cstring>

#include "fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using zaq::fuzz::Check;
    const std::string text = zaq::fuzz::Text(data, size);
    const double ref = 60000.0;
    const double mjd = otk::GETFormatInput(ref, text.c_str());
    Check(std::isfinite(mjd), "a non-finite time", text);
    const double seconds = (mjd - ref) * 86400.0;
    if (mjd == 0.0 || std::fabs(seconds) > 1e7) return 0;
    const std::string printed = otk::PrintGET("", mjd, ref, false, 2);
    const double again = otk::GETFormatInput(ref, printed.c_str());
    Check(std::fabs((again - mjd) * 86400.0) < 0.011, ("PrintGET gave " + printed).c_str(), text);
    return 0;
}
