// The tool's date argument on any text: NaN or a finite MJD; an accepted calendar date is the
// same UTC day when the host converts the MJD back.
#include <cmath>

#include "apps/arguments.h"
#include "fuzz/fuzz.h"
#include "zaq/hostsim.h"
#include "zaq/plan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using zaq::fuzz::Check;
    const std::string text = zaq::fuzz::Text(data, size);
    if (text.empty()) return 0;  // now
    const double mjd = zaq::app::ParseDate(text);
    Check(std::isnan(mjd) || std::isfinite(mjd), "an infinite date", text);
    if (std::isnan(mjd) || text.size() < 10 || text[4] != '-') return 0;
    // Calendar text: only digits, separators and a fraction; the day the host prints back.
    for (size_t i = 0; i < text.size(); ++i)
        Check(i == 4 || i == 7 || std::string("+- eExX").find(text[i]) == std::string::npos,
              "a sign, blank or exponent accepted", text);
    // The host prints whole seconds, rounded: the day is that of the date without its fraction.
    // A fraction of nines may round up to the next whole second, never further.
    const double whole = zaq::app::ParseDate(text.substr(0, text.find('.')));
    Check(whole <= mjd && mjd <= whole + 1.0 / 86400 + 1e-9, "a fraction moved it", text);
    const std::string utc = zaq::hostsim::UTCText(whole);
    Check(utc.compare(0, 10, text, 0, 10) == 0, ("the host reads " + utc).c_str(), text);
    (void)zaq::plan::InEphemerides(mjd);
    return 0;
}
