// Text formatting and parsing: elapsed times, calendar dates, clock times, values with unit or
// magnitude suffixes, angles and matrices. Results live in static buffers shared as listed below;
// every write is bounded by its buffer's size.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zaq/constants.h"
#include "zaq/foundation.h"

using zaq::kAU;
using zaq::kSecondsPerDay;

namespace {

// Countdown reference (MJD): the zero of ground elapsed time.
double countdownRef = 0.0;

char elapsedText[30];   // PrintGET, and PrintDate through it and for its error text
char valueText[30];     // ValueToText, AngleToText
char clockText[30];     // MJDToClock
char durationText[30];  // TimeToClock
char dateText[48];      // PrintUT
char numberText[30];    // PrintDate: "%0.4f" and "NAN"

const char kError[] = "! ERROR !";
const char kMicroSign[] = "\xB5";   // Windows-1252
const char kDegreeSign[] = "\xB0";  // Windows-1252
const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kMonthsLower[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                      "jul", "aug", "sep", "oct", "nov", "dec"};
const double kMicrosecondDays = 1.1574074074074074e-11;

// Unit letters of typed values and their factors: days and hours to seconds, kilo, mega, giga,
// astronomical units, micro, milli, feet and nautical miles to metres.
struct UnitFactor {
    char letter;
    double factor;
};
const UnitFactor kUnits[] = {{'d', kSecondsPerDay},
                             {'D', kSecondsPerDay},
                             {'h', 3600.0},
                             {'H', 3600.0},
                             {'k', 1000.0},
                             {'K', 1000.0},
                             {'M', 1e6},
                             {'G', 1e9},
                             {'g', 1e9},
                             {'a', kAU},
                             {'A', kAU},
                             {'u', 1e-6},
                             {'U', 1e-6},
                             {'m', 0.001},
                             {'f', 0.3048},
                             {'N', 1852.0}};

// Longest text the parsers accept.
const size_t kMaxInput = 30;

// Writes a followed by b into buffer, cut at the buffer's size.
template <size_t N>
const char* Put(char (&buffer)[N], const char* a, const char* b = "") {
    const size_t na = strnlen(a, N - 1);
    const size_t nb = strnlen(b, N - 1 - na);
    std::memcpy(buffer, a, na);
    std::memcpy(buffer + na, b, nb);
    buffer[na + nb] = '\0';
    return buffer;
}

// Splits r >= 0 seconds exactly into whole hours, whole minutes and the remaining seconds.
void SplitHms(double r, double& hours, double& minutes, double& seconds) {
    seconds = std::fmod(r, 60.0);
    const double totalMinutes = std::nearbyint((r - seconds) / 60.0);
    minutes = std::fmod(totalMinutes, 60.0);
    hours = std::nearbyint((totalMinutes - minutes) / 60.0);
}

// When the seconds printed with `decimals` decimals would read 60, they become 0 and the minute
// (and hour) is carried, so that 59.9996 s never shows as "60".
void CarrySeconds(double& hours, double& minutes, double& seconds, int decimals) {
    char text[40];
    std::snprintf(text, sizeof text, "%.*f", decimals, seconds);
    if (std::atof(text) < 60.0) return;
    seconds = 0.0;
    minutes += 1.0;
    if (minutes >= 60.0) {
        minutes = 0.0;
        hours += 1.0;
    }
}

// a / b rounded toward minus infinity (b > 0).
long long FloorDiv(long long a, long long b) {
    return a / b - ((a % b != 0) && (a < 0));
}

}  // namespace

namespace otk {

double GETFormatInput(double refMjd, const char* text) {
    if (!text) return 0.0;
    const size_t len = std::strlen(text);
    if (len == 0 || len > kMaxInput) return 0.0;
    char work[kMaxInput + 1];
    std::memcpy(work, text, len + 1);
    int colons = 0;
    for (char* c = work; *c; ++c)
        if (*c == ':') {
            *c = ' ';
            ++colons;
        }
    double f[4] = {0.0, 0.0, 0.0, 0.0};
    double seconds = 0.0;
    if (colons == 2) {
        if (std::sscanf(work, "%lg %lg %lg", &f[0], &f[1], &f[2]) != 3) return 0.0;
        seconds = f[0] * 3600.0 + f[1] * 60.0 + f[2];
    } else if (colons == 3) {
        if (std::sscanf(work, "%lg %lg %lg %lg", &f[0], &f[1], &f[2], &f[3]) != 4) return 0.0;
        seconds = f[0] * kSecondsPerDay + f[1] * 3600.0 + f[2] * 60.0 + f[3];
    } else {
        return 0.0;
    }
    // The added microsecond keeps a time typed on a whole second from printing one second short.
    const double mjd = refMjd + (seconds + 1e-6) / kSecondsPerDay;
    return std::isfinite(mjd) ? mjd : 0.0;
}

const char* PrintGET(const char* suffix, double mjd, double refMjd, bool withDays, int decimals) {
    if (decimals < 0 || decimals > 2) decimals = 0;
    if (!suffix) suffix = "";
    if (mjd == 0.0) {
        static const char* const kZero[3] = {"0:00:00 ", "0:00:00.0 ", "0:00:00.00 "};
        return Put(elapsedText, kZero[decimals], suffix);
    }
    const double t = (mjd - refMjd) * kSecondsPerDay;
    const double r = std::fabs(t);
    if (!(r <= 1e20) || mjd < 0.0) return Put(elapsedText, " ! ERROR !");
    // A time less than 0.1 ms before the reference shows no minus.
    const char* sign = (t + 1e-4 < 0.0) ? "-" : "";

    double hours, minutes, seconds;
    SplitHms(r, hours, minutes, seconds);
    CarrySeconds(hours, minutes, seconds, 3);
    // Milliseconds, then cut (not rounded again) to the requested decimals.
    char ms[40];
    std::snprintf(ms, sizeof ms, "%0.3f", seconds);
    static const int kKeep[3] = {1, 3, 4};
    const bool oneDigit = ms[1] == '.';
    const int keep = kKeep[decimals] + (oneDigit ? 0 : 1);
    char sec[8];
    std::snprintf(sec, sizeof sec, "%s%.*s", oneDigit ? "0" : "", keep, ms);

    char time[96];
    if (withDays) {
        const double h = std::fmod(hours, 24.0);
        const double days = std::nearbyint((hours - h) / 24.0);
        std::snprintf(time, sizeof time, "%s%0.0fd %02.0f:%02.0f:%s", sign, days, h, minutes, sec);
    } else {
        std::snprintf(time, sizeof time, "%s%0.0f:%02.0f:%s ", sign, hours, minutes, sec);
    }
    // The time must be whole; a suffix that does not fit is cut.
    if (std::strlen(time) >= sizeof elapsedText) return Put(elapsedText, " ! ERROR !");
    return Put(elapsedText, time, withDays ? "" : suffix);
}

void StartCountDown(int mode, double mjd) {
    if (mode == 1 || mode == 2) countdownRef = mjd;
}

const char* ValueToText(double x, int digits) {
    std::memset(valueText, 0, sizeof valueText);
    if (std::isnan(x)) return Put(valueText, "NAN");
    // More than 20 digits or decimals mean nothing for a double and would not fit the buffer.
    if (digits > 20) digits = 20;
    if (digits < -20) digits = -20;
    const double f = std::floor(std::log10(std::fabs(x))) + 1.0;  // integer digits
    int p = digits > 0 ? digits - 1 : digits;
    if (f > 15.0) {
        // Exponent form, the whole exponent kept; 16 decimals are all a double holds.
        std::snprintf(valueText, sizeof valueText, "%1.*e", std::min(std::max(p, 0), 16), x);
        return valueText;
    }
    if (p < 1) {
        // At most 15 integer digits: a cut only drops decimals.
        std::snprintf(valueText, sizeof valueText, "%1.*f", -p, x);
        return valueText;
    }
    const char* prefix = "";
    if (f > 12.0) {
        x /= 1e12;
        prefix = "T";
    } else if (f > 9.0) {
        x /= 1e9;
        prefix = "G";
    } else if (f > 6.0) {
        x /= 1e6;
        prefix = "M";
    } else if (f > 4.0) {
        x /= 1e3;
        prefix = "k";
    } else if (f < -7.0) {
        x = 0.0;
    } else if (f < -4.0) {
        x *= 1e6;
        prefix = kMicroSign;
    } else if (f < -1.0) {
        x *= 1e3;
        prefix = "m";
    }
    static const double kThresholds[5] = {9.9999999999999, 99.999999999999, 999.99999999999,
                                          9999.9999999999, 99999.999999999};
    for (double threshold : kThresholds)
        if (std::fabs(x) >= threshold) --p;
    std::snprintf(valueText, sizeof valueText, "%1.*f%s", std::max(p, 0), x, prefix);
    return valueText;
}

const char* AngleToText(double degrees, int decimals) {
    if (std::isnan(degrees)) return Put(valueText, "NAN");
    if (std::isinf(degrees)) return Put(valueText, kError);
    decimals = decimals < 0 ? (decimals < -15 ? 15 : -decimals) : std::min(decimals, 15);
    const double s = std::pow(10.0, decimals);
    double a = std::floor(std::fabs(degrees) * s + 0.5) / s;
    if (a >= 360.0) a = 0.0;
    // The sign comes back only on a non-zero result: no "-0.000".
    if (degrees < 0.0 && a != 0.0) a = -a;
    std::snprintf(valueText, sizeof valueText, "%1.*f%s", decimals, a, kDegreeSign);
    return valueText;
}

char* MJDToClock(double mjd) {
    double sod = std::fabs((mjd - std::floor(mjd)) * kSecondsPerDay);
    if (!(sod <= 1e20)) {
        Put(clockText, kError);
        return clockText;
    }
    // Just below midnight the product can round up to a whole day; it stays in the same day.
    if (sod >= kSecondsPerDay) sod = std::nextafter(kSecondsPerDay, 0.0);
    double hours, minutes, seconds;
    SplitHms(sod, hours, minutes, seconds);
    std::snprintf(clockText, sizeof clockText, "%02.0f:%02.0f:%02.0f", hours, minutes,
                  std::floor(seconds));
    return clockText;
}

char* TimeToClock(double seconds) {
    if (!(std::fabs(seconds) <= 1e20)) {
        Put(durationText, kError);
        return durationText;
    }
    // A negative duration is its magnitude behind a minus sign.
    double h, m, s;
    SplitHms(std::fabs(seconds), h, m, s);
    CarrySeconds(h, m, s, 2);
    std::snprintf(durationText, sizeof durationText, "%s%02.0f:%02.0f:%05.2f",
                  seconds < 0.0 ? "-" : "", h, m, s);
    return durationText;
}

const char* PrintUT(double mjd) {
    // Beyond 1e17 days the calendar arithmetic would leave 64-bit integers.
    if (!(std::fabs(mjd) <= 1e17)) return Put(dateText, kError);
    // Julian day number of floor(mjd + 2400001), taken in integers: the date then follows the same
    // floor(mjd) as the clock, even a fraction of a microsecond before midnight.
    const long long jdn = static_cast<long long>(std::floor(mjd)) + 2400001;
    // Julian day number to Gregorian date; floor divisions keep it right before the epoch.
    const long long a = jdn + 32044;
    const long long b = FloorDiv(4 * a + 3, 146097);
    const long long c = a - FloorDiv(146097 * b, 4);
    const long long d = (4 * c + 3) / 1461;
    const long long e = c - (1461 * d) / 4;
    const long long m = (5 * e + 2) / 153;
    const int day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
    const int month = static_cast<int>(m + 3 - 12 * (m / 10));
    const long long year = 100 * b + d - 4800 + m / 10;
    std::snprintf(dateText, sizeof dateText, "%d-%s-%lld %s", day, kMonths[month - 1], year,
                  MJDToClock(mjd));
    return dateText;
}

double UTFormatInput(const char* text) {
    if (!text) {
        LogWrn(ErrorLog, "NULL string passed in UTFormatInput()");
        return 0.0;
    }
    const size_t len = std::strlen(text);
    if (len < 8 || len > kMaxInput) {
        LogWrn(ErrorLog, "Invalid Date Format in UTFormatInput()");
        return 0.0;
    }
    char work[kMaxInput + 1];
    std::memcpy(work, text, len + 1);
    for (char* c = work; *c; ++c)
        if (*c == '-' || *c == '/' || *c == ':') *c = ' ';
    int day = 0, year = 0;
    char word[8] = {0};  // the month word: at most 7 characters
    double hour = 0.0, minute = 0.0, second = 0.0;
    const int n =
        std::sscanf(work, "%d %7s %d %lg %lg %lg", &day, word, &year, &hour, &minute, &second);
    int month = 0;
    for (char* c = word; *c; ++c)
        *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    for (int i = 0; i < 12; ++i)
        if (std::strncmp(word, kMonthsLower[i], 3) == 0) month = i + 1;
    // A month word that names no month, or a non-finite time, is refused like a malformed text.
    if ((n != 3 && n != 6) || month == 0 || !std::isfinite(hour) || !std::isfinite(minute) ||
        !std::isfinite(second)) {
        LogWrn(ErrorLog, "Invalid Date Format in UTFormatInput()");
        return 0.0;
    }
    // Julian day number (integer arithmetic, wide enough for any typed day and year).
    const long long am = (14 - month) / 12;
    const long long y = static_cast<long long>(year) + 4800 - am;
    const long long mm = month + 12 * am - 3;
    const long long jdn = day + (153 * mm + 2) / 5 + 365 * y + FloorDiv(y, 4) - FloorDiv(y, 100) +
                          FloorDiv(y, 400) - 32045;
    // The day's fraction with its microsecond is added to the whole MJD in one rounding; where
    // the MJD's resolution is coarser than that microsecond, one more unit keeps the result from
    // falling below the typed time.
    const double whole = static_cast<double>(jdn - 2400001);
    const double fraction =
        hour / 24.0 + minute / 1440.0 + second / kSecondsPerDay + kMicrosecondDays;
    double mjd = whole + fraction;
    if (mjd - whole < fraction) mjd = std::nextafter(mjd, INFINITY);
    return mjd;
}

double TextToValue(const char* text) {
    if (!text) return 0.0;
    if (std::strncmp(text, "GET ", 4) == 0) return GETFormatInput(countdownRef, text + 4);
    if (std::strncmp(text, "UT ", 3) == 0) return UTFormatInput(text + 3);
    int dashes = 0, colons = 0;
    for (const char* c = text; *c; ++c) {
        dashes += *c == '-';
        colons += *c == ':';
    }
    if (dashes == 2) return UTFormatInput(text);
    if (colons == 2) return GETFormatInput(countdownRef, text);

    const size_t len = std::strlen(text);
    if (len == 0 || len > kMaxInput) return 0.0;
    // The unit letter is the last character, or the one before it in a two-letter unit.
    char unit = text[len - 1];
    if (len > 2 && !std::isdigit(static_cast<unsigned char>(text[len - 2]))) unit = text[len - 2];
    double factor = 0.0;
    for (const UnitFactor& u : kUnits)
        if (u.letter == unit) factor = u.factor;
    char number[kMaxInput + 1];
    std::memcpy(number, text, len + 1);
    if (factor != 0.0)
        number[len - 1] = '\0';
    else
        factor = 1.0;
    const double value = std::atof(number) * factor;
    return std::isfinite(value) ? value : 0.0;
}

const char* PrintDate(int mode, double mjd, int decimals) {
    if (decimals < 0 || decimals > 2) decimals = 0;
    if (std::isnan(mjd)) return Put(numberText, "NAN");
    if (mjd > 1e20 || mjd < 0.0) return Put(elapsedText, kError);
    switch (mode) {
        case 1:
            return PrintGET("", mjd, countdownRef, false, decimals);
        case 2:
            return PrintGET("", mjd, countdownRef, true, decimals);
        case 3:
            return PrintUT(mjd);
        default:
            std::snprintf(numberText, sizeof numberText, "%0.4f", mjd);
            return numberText;
    }
}

void PrintMatrix(FILE* file, const MATRIX3& m, const char* label) {
    if (label) LogMsg(file, "%s", label);
    LogMsg(file, "[%9.9f, %9.9f, %9.9f]", m.m11, m.m12, m.m13);
    LogMsg(file, "[%9.9f, %9.9f, %9.9f]", m.m21, m.m22, m.m23);
    LogMsg(file, "[%9.9f, %9.9f, %9.9f]", m.m31, m.m32, m.m33);
}

}  // namespace otk
