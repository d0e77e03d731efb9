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

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

const char* SkipBlanks(const char* c) {
    while (*c == ' ' || *c == '\t') ++c;
    return c;
}

// An unsigned decimal number at p: digits with an optional fraction and exponent ("12", "0.5",
// "3e1"). No sign, hexadecimal, infinity or NaN: the C library would read those too, and a typed
// time or value never means them. Returns the end of the number, or null when no finite number
// starts at p.
const char* ReadDecimal(const char* p, double* value) {
    const char* c = p;
    int digits = 0;
    for (; IsDigit(*c); ++c) ++digits;
    if (*c == '.')
        for (++c; IsDigit(*c); ++c) ++digits;
    if (digits == 0) return nullptr;
    if (*c == 'e' || *c == 'E') {
        const char* e = c + 1;
        if (*e == '+' || *e == '-') ++e;
        if (IsDigit(*e)) {
            while (IsDigit(*e)) ++e;
            c = e;
        }
    }
    char number[kMaxInput + 1];
    const size_t n = static_cast<size_t>(c - p);
    if (n > kMaxInput) return nullptr;
    std::memcpy(number, p, n);
    number[n] = '\0';
    *value = std::strtod(number, nullptr);
    return std::isfinite(*value) ? c : nullptr;
}

// A whole number of at most 9 digits at p (so that it fits an int); the end, or null.
const char* ReadWhole(const char* p, int* value) {
    const char* c = p;
    long long v = 0;
    for (; IsDigit(*c); ++c) {
        if (c - p == 9) return nullptr;
        v = v * 10 + (*c - '0');
    }
    *value = static_cast<int>(v);
    return c == p ? nullptr : c;
}

// Splits text at blanks into at most n fields; the number of fields, or n + 1 when there are
// more. The fields point into text, which gets a terminator after each.
int SplitFields(char* text, char** fields, int n) {
    int count = 0;
    for (char* c = text; *c;) {
        while (*c == ' ' || *c == '\t') *c++ = '\0';
        if (!*c) break;
        if (count == n) return n + 1;
        fields[count++] = c;
        while (*c && *c != ' ' && *c != '\t') ++c;
    }
    return count;
}

// Days of a month of the proleptic Gregorian calendar.
int DaysInMonth(long long year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return kDays[month - 1] + (month == 2 && leap);
}

// The month (1-12) of a typed month word: its first three letters name the month, and the word
// must be an abbreviation of that month's name ("Jun", "June", "Sept"), so that "Janitor" names
// none; 0 for none.
int MonthOfWord(const char* word) {
    static const char* const kNames[12] = {"january",   "february", "march",    "april",
                                           "may",       "june",     "july",     "august",
                                           "september", "october",  "november", "december"};
    const size_t len = std::strlen(word);
    if (len < 3 || len > 7) return 0;  // a longer word does not fit the 7-character month field
    for (int i = 0; i < 12; ++i) {
        size_t k = 0;
        while (k < len && std::tolower(static_cast<unsigned char>(word[k])) == kNames[i][k]) ++k;
        if (k == len) return i + 1;
    }
    return 0;
}

}  // namespace

namespace otk {

double GETFormatInput(double refMjd, const char* text) {
    // "[-]h:m:s" or "[-]d:h:m:s": every field an unsigned decimal, minutes and seconds (and the
    // hours after days) below 60 (24); blanks may stand around the fields. A sign in front
    // belongs to the whole time, as PrintGET writes a negative one ("-1:30:00" is -1.5 h).
    // Anything else (more or fewer fields, a sign inside, text after the time) is refused.
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
    char* c = work + (SkipBlanks(work) - work);
    const double sign = *c == '-' ? -1.0 : 1.0;
    if (*c == '-' || *c == '+') ++c;
    char* fields[4];
    const int n = (colons == 2 || colons == 3) ? SplitFields(c, fields, 4) : 0;
    static const double kUnit[4] = {kSecondsPerDay, 3600.0, 60.0, 1.0};
    static const double kLimit[4] = {INFINITY, 24.0, 60.0, 60.0};
    double seconds = 0.0;
    bool ok = n == colons + 1;
    for (int i = 0; ok && i < n; ++i) {
        const int slot = i + 4 - n;  // the days' slot is used only by the four-field form
        double f = 0.0;
        const char* end = ReadDecimal(fields[i], &f);
        ok = end && !*end && (i == 0 || f < kLimit[slot]);
        seconds += f * kUnit[slot];
    }
    // The added microsecond keeps a time typed on a whole second from printing one second short;
    // it goes away from the reference, so that a negative time keeps that too.
    const double mjd = refMjd + sign * (seconds + 1e-6) / kSecondsPerDay;
    if (!ok || !std::isfinite(mjd)) {
        LogWrn(ErrorLog, "Invalid Time Format in GETFormatInput()");
        return 0.0;
    }
    return mjd;
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
    // "%02.0f:%02.0f:%02.0f" of three whole numbers below 100, written digit by digit: dates are
    // formatted by the hundred thousand in a run's CSV.
    char* p = clockText;
    for (double x : {hours, minutes, std::floor(seconds)}) {
        const int n = static_cast<int>(x);
        if (p != clockText) *p++ = ':';
        *p++ = static_cast<char>('0' + n / 10);
        *p++ = static_cast<char>('0' + n % 10);
    }
    *p = '\0';
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
    // "%d-%s-%lld %s", written piece by piece.
    char digits[24];
    char* p = dateText;
    auto put = [&](long long n) {
        if (n < 0) *p++ = '-';
        unsigned long long u = n < 0 ? 0ull - static_cast<unsigned long long>(n) : n;
        int k = 0;
        do digits[k++] = static_cast<char>('0' + u % 10);
        while ((u /= 10) != 0);
        while (k > 0) *p++ = digits[--k];
    };
    put(day);
    *p++ = '-';
    for (const char* q = kMonths[month - 1]; *q;) *p++ = *q++;
    *p++ = '-';
    put(year);
    *p++ = ' ';
    for (const char* q = MJDToClock(mjd); *q;) *p++ = *q++;
    *p = '\0';
    return dateText;
}

double UTFormatInput(const char* text) {
    if (!text) {
        LogWrn(ErrorLog, "NULL string passed in UTFormatInput()");
        return 0.0;
    }
    // "day month year" or "day month year hour minute second", the fields apart by blanks, "-",
    // "/" or ":". The day and year are whole numbers (at most 9 digits for the year), the time
    // fields unsigned decimals; the day must exist in that month, the hour lie below 24, minute
    // and second below 60. A sign (a "-" in front is a separator, and so would silently vanish),
    // a month word that is not an abbreviation of a month's name, or text after the last field
    // is refused.
    const size_t len = std::strlen(text);
    char work[kMaxInput + 1];
    char* fields[6];
    int n = 0;
    if (len >= 8 && len <= kMaxInput) {
        std::memcpy(work, text, len + 1);
        // A "-" at the start of a field (after a blank or another separator) is a sign.
        bool sign = !IsDigit(*SkipBlanks(text));
        for (size_t i = 1; i < len; ++i)
            sign = sign || (text[i] == '-' && std::strchr(" \t-/:", text[i - 1]));
        for (char* c = work; *c; ++c)
            if (*c == '-' || *c == '/' || *c == ':') *c = ' ';
        n = sign ? 0 : SplitFields(work, fields, 6);
    }
    int day = 0, year = 0;
    double time[3] = {0.0, 0.0, 0.0};  // hour, minute, second
    static const double kLimit[3] = {24.0, 60.0, 60.0};
    bool ok = n == 3 || n == 6;
    if (ok) {
        const char* endDay = ReadWhole(fields[0], &day);
        const char* endYear = ReadWhole(fields[2], &year);
        ok = endDay && !*endDay && endYear && !*endYear;
    }
    const int month = ok ? MonthOfWord(fields[1]) : 0;
    ok = ok && month != 0 && day >= 1 && day <= DaysInMonth(year, month);
    for (int i = 0; ok && i + 3 < n; ++i) {
        const char* end = ReadDecimal(fields[i + 3], &time[i]);
        ok = end && !*end && time[i] < kLimit[i];
    }
    if (!ok) {
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
        time[0] / 24.0 + time[1] / 1440.0 + time[2] / kSecondsPerDay + kMicrosecondDays;
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

    // A number, signed or not, and an optional unit of one or two letters ("12km", "5NM", "3 d");
    // blanks may stand around them. The unit's first letter gives the factor; a letter that the
    // table does not name leaves the number as it is ("10s"). Anything else, such as "1,5" or a
    // number followed by more text, is refused.
    const size_t len = std::strlen(text);
    double value = 0.0;
    const char* c = SkipBlanks(text);
    const double sign = *c == '-' ? -1.0 : 1.0;
    if (*c == '-' || *c == '+') ++c;
    c = len <= kMaxInput ? ReadDecimal(c, &value) : nullptr;
    double factor = 1.0;
    if (c) {
        c = SkipBlanks(c);
        const char* unit = c;
        while (c - unit < 2 && std::isalpha(static_cast<unsigned char>(*c))) ++c;
        for (const UnitFactor& u : kUnits)
            if (c != unit && u.letter == *unit) factor = u.factor;
        c = SkipBlanks(c);
    }
    value *= sign * factor;
    if (!c || *c || !std::isfinite(value)) {
        LogWrn(ErrorLog, "Invalid Value in TextToValue()");
        return 0.0;
    }
    return value;
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
