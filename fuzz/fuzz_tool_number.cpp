// The tool's number argument and name checks on any text: an accepted number is finite and
// written as a plain decimal; the shown form of a name has no control character left.
#include <cmath>

#include "apps/arguments.h"
#include "fuzz/fuzz.h"
#include "zaq/plan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using zaq::fuzz::Check;
    const std::string text = zaq::fuzz::Text(data, size);
    double value = 0;
    if (zaq::app::ParseNumber(text, &value)) {
        Check(std::isfinite(value), "a non-finite number", text);
        Check(text.find_first_not_of("0123456789+-.eE") == std::string::npos,
              "a number with other characters", text);
    }
    const std::string shown = zaq::plan::Shown(text);
    Check(!zaq::app::HasControlChars(shown), "a control character shown", text);
    Check(zaq::app::HasControlChars(text) == (shown != text), "shown text changed", text);
    return 0;
}
