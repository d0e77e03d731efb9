#include "apps/arguments.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "zaq/hostsim.h"

namespace zaq::app {
namespace {

// Exactly n decimal digits at c, as a number; false for anything else (a sign included).
bool Digits(const char* c, int n, int* value) {
    int v = 0;
    for (int i = 0; i < n; ++i) {
        if (c[i] < '0' || c[i] > '9') return false;
        v = v * 10 + (c[i] - '0');
    }
    *value = v;
    return true;
}

// The first day after y-mo-d that the calendar has: the next day, the first of the next month
// or of the next year. NaN when none is valid.
double NextDay(int y, int mo, int d) {
    double next = hostsim::MjdFromUTC(y, mo, d + 1);
    if (std::isnan(next)) next = hostsim::MjdFromUTC(y, mo + 1, 1);
    if (std::isnan(next)) next = hostsim::MjdFromUTC(y + 1, 1, 1);
    return next;
}

// "YYYY-MM-DD[THH:MM[:SS[.fff]]]" as an MJD (TT); NaN when the text is not of that form or not
// an instant of that UTC day.
double CalendarDate(const char* c) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    if (!Digits(c, 4, &y) || c[4] != '-' || !Digits(c + 5, 2, &mo) || c[7] != '-' ||
        !Digits(c + 8, 2, &d))
        return std::nan("");
    c += 10;
    if (*c == '\0') return hostsim::MjdFromUTC(y, mo, d);
    if (c[0] != 'T' || !Digits(c + 1, 2, &h) || c[3] != ':' || !Digits(c + 4, 2, &mi))
        return std::nan("");
    c += 6;
    double s = 0;
    if (*c == ':') {
        int whole = 0;
        if (!Digits(c + 1, 2, &whole)) return std::nan("");
        s = whole;
        c += 3;
        if (*c == '.') {
            const char* fraction = c;
            for (++c; *c >= '0' && *c <= '9'; ++c) {
            }
            if (c == fraction + 1) return std::nan("");
            s += std::strtod(fraction, nullptr);
        }
    }
    if (*c != '\0') return std::nan("");
    // The calendar takes hours 0-23 and minutes 0-59. Second 60 exists only in the last minute
    // of a day that ends with a leap second; anywhere else it would silently run into the next
    // minute or day.
    const double mjd = hostsim::MjdFromUTC(y, mo, d, h, mi, s);
    if (s >= 60 && (h != 23 || mi != 59 || !(mjd < NextDay(y, mo, d)))) return std::nan("");
    return mjd;
}

}  // namespace

double ParseDate(const std::string& text) {
    if (text.empty()) {
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        if (!gmtime_r(&now, &utc)) return std::nan("");
        return hostsim::MjdFromUTC(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour,
                                   utc.tm_min, utc.tm_sec);
    }
    // Calendar text begins with four digits and a hyphen; anything else must be a number.
    if (text.size() > 4 && text[4] == '-') return CalendarDate(text.c_str());
    double mjd = 0;
    return ParseNumber(text, &mjd) ? mjd : std::nan("");
}

bool ParseNumber(const std::string& text, double* value) {
    const char* c = text.c_str();
    const char* digits = c + (*c == '+' || *c == '-');
    // strtod would also read leading blanks, hexadecimal, "inf" and "nan".
    const bool plain = (*digits >= '0' && *digits <= '9') ||
                       (*digits == '.' && digits[1] >= '0' && digits[1] <= '9');
    if (!plain || text.find_first_of("xX") != std::string::npos || std::strlen(c) != text.size())
        return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(c, &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
    *value = v;
    return true;
}

bool HasControlChars(const std::string& text) {
    for (unsigned char ch : text)
        if (ch < 0x20 || ch == 0x7F) return true;
    return false;
}

bool IsFilePrefix(const std::string& prefix) {
    const std::string last = prefix.substr(prefix.find_last_of('/') + 1);
    return !last.empty() && last != "." && last != "..";
}

}  // namespace zaq::app
