// TextToValue on any text: 0 or a finite value, the same as the parser its form leads to.
#include <cmath>
#include <cstring>

#include "fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using zaq::fuzz::Check;
    const std::string text = zaq::fuzz::Text(data, size);
    otk::StartCountDown(1, 60000.0);
    const double value = otk::TextToValue(text.c_str());
    Check(std::isfinite(value), "a non-finite value", text);
    if (text.compare(0, 3, "UT ") == 0)
        Check(value == otk::UTFormatInput(text.c_str() + 3), "UT text not read as a date", text);
    return 0;
}
