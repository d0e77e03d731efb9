// The tool's arguments as typed: dates, numbers and names. Every parser takes any text and
// refuses what is not exactly the documented form.
#pragma once

#include <string>

namespace zaq::app {

/// An MJD (TT) from a number (the MJD itself, as a plain decimal) or UTC calendar text
/// "YYYY-MM-DD[THH:MM[:SS[.fff]]]"; empty text is now. NaN when malformed or not an instant of
/// UTC (second 60 exists only at the end of a day with a leap second).
double ParseDate(const std::string& text);
/// A plain decimal number as the whole text, with an optional sign and exponent ("300", "-1.5",
/// "2e4"); false for anything else, hexadecimal, infinity and NaN included.
bool ParseNumber(const std::string& text, double* value);
/// True when text holds a control character (a byte below 0x20, or 0x7F).
bool HasControlChars(const std::string& text);
/// True when an output prefix ends in a file name: "/" or "dir/" would write "/.csv", "."
/// "..csv".
bool IsFilePrefix(const std::string& prefix);

}  // namespace zaq::app
