// Text formatting and parsing: elapsed times, dates, clocks, values, angles and matrices.
#include <erfa.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "tests/tolerance.h"
#include "zaq/foundation.h"

namespace {

const char* const kMon[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Runs f with ErrorLog on a scratch stream; returns how many log lines contain `text`.
template <typename F>
int CountLogged(const char* text, F f) {
    FILE* saved = ErrorLog;
    ErrorLog = std::tmpfile();
    f();
    std::rewind(ErrorLog);
    int n = 0;
    char line[512];
    while (std::fgets(line, sizeof line, ErrorLog))
        if (std::strstr(line, text)) ++n;
    std::fclose(ErrorLog);
    ErrorLog = saved;
    return n;
}

// "day-Mon-year HH:MM:SS" of an ERFA calendar date and a second of the day.
std::string DateText(int y, int m, int d, int sod) {
    char s[64];
    std::snprintf(s, sizeof s, "%d-%s-%d %02d:%02d:%02d", d, kMon[m - 1], y, sod / 3600,
                  sod / 60 % 60, sod % 60);
    return s;
}

}  // namespace

TEST(ElapsedTime, ParseAndPrint) {
    EXPECT_DOUBLE_EQ(otk::GETFormatInput(100.0, "1:00:00"), 100.0 + (3600.0 + 1e-6) / 86400.0);
    EXPECT_DOUBLE_EQ(otk::GETFormatInput(0.0, "2:03:04:05"),
                     (2 * 86400.0 + 3 * 3600.0 + 4 * 60.0 + 5.0 + 1e-6) / 86400.0);
    for (const char* bad :
         {"1:00", "1:2:3:4:5", "", "1::", "nan:0:0", "1:00:00                        ", "x:y:z"})
        EXPECT_EQ(otk::GETFormatInput(100.0, bad), 0.0) << bad;
    EXPECT_EQ(otk::GETFormatInput(100.0, nullptr), 0.0);

    const double r = 51544.0;
    EXPECT_STREQ(otk::PrintGET("GET", r + 1.5, r, false, 0), "36:00:00 GET");
    EXPECT_STREQ(otk::PrintGET("GET", r + 1.5, r, true, 0), "1d 12:00:00");
    EXPECT_STREQ(otk::PrintGET("s", r + 65.25 / 86400, r, false, 1), "0:01:05.2 s");
    EXPECT_STREQ(otk::PrintGET("s", r + 65.25 / 86400, r, false, 2), "0:01:05.25 s");
    EXPECT_STREQ(otk::PrintGET("s", r - 3723.0 / 86400, r, false, 7), "-1:02:03 s");
    EXPECT_STREQ(otk::PrintGET("s", r - 3723.0 / 86400, r, true, 1), "-0d 01:02:03.0");
    EXPECT_STREQ(otk::PrintGET("x", 0.0, r, true, 2), "0:00:00.00 x");
    // Less than 0.1 ms before the reference shows no minus.
    EXPECT_STREQ(otk::PrintGET("", r - 5e-5 / 86400, r, false, 0), "0:00:00 ");
    // Seconds that round to 60 carry into the minute; 9.9996 s is 10, not 01.
    EXPECT_STREQ(otk::PrintGET("", r + 59.9996 / 86400, r, false, 1), "0:01:00.0 ");
    EXPECT_STREQ(otk::PrintGET("", r + 9.9996 / 86400, r, false, 0), "0:00:10 ");
    EXPECT_STREQ(otk::PrintGET("", r + 59.97 / 86400, r, false, 1), "0:00:59.9 ");
    for (double bad : {-1.0, double(NAN), double(INFINITY), 2e15})
        EXPECT_STREQ(otk::PrintGET("", bad, r, false, 0), " ! ERROR !") << bad;

    // Whole-second times typed and printed again give the same text.
    std::mt19937 rng(7);
    for (int i = 0; i < 500; ++i) {
        const long t = std::uniform_int_distribution<long>(0, 5000000)(rng);
        char typed[32];
        std::snprintf(typed, sizeof typed, "%ld:%02ld:%02ld", t / 3600, t / 60 % 60, t % 60);
        EXPECT_EQ(std::string(otk::PrintGET("", otk::GETFormatInput(r, typed), r, false, 0)),
                  std::string(typed) + " ");
    }
}

// A negative time reads as PrintGET writes it, the sign for the whole time; signs inside, text
// after the time, minutes or seconds of 60 and forms the C library alone reads are refused.
TEST(ElapsedTime, SignsAndMalformedFields) {
    const double r = 51544.0;
    EXPECT_DOUBLE_EQ(otk::GETFormatInput(r, "-1:30:00"), r - (5400.0 + 1e-6) / 86400.0);
    EXPECT_STREQ(otk::PrintGET("", otk::GETFormatInput(r, "-1:30:00"), r, false, 0), "-1:30:00 ");
    EXPECT_DOUBLE_EQ(otk::GETFormatInput(r, " +0:00:30 "), r + (30.0 + 1e-6) / 86400.0);
    const char* const bad[] = {"1:-30:00",   "--1:00:00",  "1:00:00junk", "0:60:00", "0:00:60",
                               "1:24:00:00", "0x10:00:00", "1:2:inf",     "1 2:3:4", "-:1:2"};
    const int warned = CountLogged("[WARNING] Invalid Time Format in GETFormatInput()", [&] {
        for (const char* text : bad) EXPECT_EQ(otk::GETFormatInput(r, text), 0.0) << text;
    });
    EXPECT_EQ(warned, static_cast<int>(std::size(bad)));
}

TEST(ElapsedTime, LongTextsStayInTheBuffer) {
    const std::string suffix(60, 'S');
    const char* s = otk::PrintGET(suffix.c_str(), 2.0, 1.0, false, 2);
    EXPECT_EQ(std::string(s), "24:00:00.00 " + suffix.substr(0, 29 - 12));
    // More than 99999 days.
    EXPECT_STREQ(otk::PrintGET("", 1e9 + 0.5, 0.5, true, 2), "1000000000d 00:00:00.00");
    EXPECT_STREQ(otk::PrintGET("GET", 1e9 + 0.5, 0.5, false, 2), "24000000000:00:00.00 GET");
    // The time itself too long for the buffer is the error text, never a cut number.
    EXPECT_STREQ(otk::PrintGET("", 0.5, 1.1e15, true, 2), " ! ERROR !");
}

TEST(ValueText, MagnitudePrefixesAndForms) {
    EXPECT_STREQ(otk::ValueToText(12345.678, 4), "12.35k");
    EXPECT_STREQ(otk::ValueToText(0.0042, 3), "4.20m");
    EXPECT_STREQ(otk::ValueToText(3.14159, -2), "3.14");
    EXPECT_STREQ(otk::ValueToText(2.5e13, 3), "25.0T");
    EXPECT_STREQ(otk::ValueToText(-7.25e9, 3), "-7.25G");
    EXPECT_STREQ(otk::ValueToText(4.2e6, 2), "4.2M");
    EXPECT_STREQ(otk::ValueToText(3.3e-6, 2), "3.3\xB5");
    EXPECT_STREQ(otk::ValueToText(1e-9, 3), "0.00");
    EXPECT_STREQ(otk::ValueToText(725.0, 1), "725");
    EXPECT_STREQ(otk::ValueToText(NAN, 3), "NAN");
    // Exponent form from 16 integer digits: the whole exponent, no line break.
    EXPECT_STREQ(otk::ValueToText(1.234e20, 4), "1.234e+20");
    EXPECT_STREQ(otk::ValueToText(-6.02214076e300, 9), "-6.02214076e+300");
    EXPECT_STREQ(otk::ValueToText(1.5e16, INT_MAX), "1.5000000000000000e+16");
    EXPECT_STREQ(otk::ValueToText(INFINITY, 3), "inf");
    // Too many decimals for the 30-byte buffer: only decimals are cut.
    EXPECT_STREQ(otk::ValueToText(-123456789012345.0, -40), "-123456789012345.000000000000");

    EXPECT_STREQ(otk::AngleToText(359.9996, 3), "0.000\xB0");
    EXPECT_STREQ(otk::AngleToText(12.3456, 2), "12.35\xB0");
    EXPECT_STREQ(otk::AngleToText(-45.25, 1), "-45.3\xB0");
    EXPECT_STREQ(otk::AngleToText(-0.0001, 3), "0.000\xB0");
    EXPECT_STREQ(otk::AngleToText(NAN, 3), "NAN");
    EXPECT_STREQ(otk::AngleToText(INFINITY, 3), "! ERROR !");
    EXPECT_EQ(otk::AngleToText(1.0, 1), otk::ValueToText(1.0, 1));  // one shared buffer
}

TEST(Clock, TimeOfDayAndDuration) {
    EXPECT_STREQ(otk::MJDToClock(55367.75), "18:00:00");
    EXPECT_STREQ(otk::MJDToClock(-0.25), "18:00:00");
    EXPECT_STREQ(otk::MJDToClock(55367.0 + 86399.9 / 86400), "23:59:59");
    EXPECT_STREQ(otk::MJDToClock(-1e-17), "23:59:59");
    EXPECT_STREQ(otk::MJDToClock(NAN), "! ERROR !");
    EXPECT_STREQ(otk::TimeToClock(3725.5), "01:02:05.50");
    EXPECT_STREQ(otk::TimeToClock(-3725.5), "-01:02:05.50");
    EXPECT_STREQ(otk::TimeToClock(3599.999), "01:00:00.00");
    EXPECT_STREQ(otk::TimeToClock(360000.0), "100:00:00.00");
    EXPECT_STREQ(otk::TimeToClock(INFINITY), "! ERROR !");
}

TEST(Calendar, DatesAndErrors) {
    EXPECT_STREQ(otk::PrintUT(55367.5), "20-Jun-2010 12:00:00");
    EXPECT_STREQ(otk::PrintUT(-2400000.5), "24-Nov--4713 12:00:00");  // Julian day 0
    EXPECT_STREQ(otk::PrintUT(1e21), "! ERROR !");
    EXPECT_STREQ(otk::PrintUT(NAN), "! ERROR !");
    // Before year -4800 the Gregorian 400-year cycle still holds.
    for (double mjd : {-3000000.25, -5000000.75, -1e9}) {
        std::string later = otk::PrintUT(mjd + 20 * 146097.0);
        std::string early = otk::PrintUT(mjd);
        const size_t a = later.find('-', later.find('-') + 1) + 1;
        const size_t b = early.find('-', early.find('-') + 1) + 1;
        EXPECT_EQ(early.substr(0, b), later.substr(0, a));
        EXPECT_EQ(std::stoll(early.substr(b)), std::stoll(later.substr(a)) - 8000) << early;
    }

    EXPECT_DOUBLE_EQ(otk::UTFormatInput("20-Jun-2010 12:00:00"), 55367.5 + 1.1574074074074074e-11);
    EXPECT_DOUBLE_EQ(otk::UTFormatInput("20/jun/2010"), 55367.0 + 1.1574074074074074e-11);
    EXPECT_DOUBLE_EQ(otk::UTFormatInput("1-Sept-2000"), otk::UTFormatInput("1-sep-2000"));
    EXPECT_DOUBLE_EQ(otk::UTFormatInput("20-JUNE-2010"), 55367.0 + 1.1574074074074074e-11);
    const int warned = CountLogged("[WARNING] Invalid Date Format in UTFormatInput()", [] {
        for (const char* bad :
             {"1-September-2000", "20-06-2010", "20-xyz-2010", "20-Jun-2010 12:00", "2-Jun",
              "20-Jun-2010 12:00:00:00:00:00:0", "20-Jun-2010 nan:00:00", "-1e-5", "        "})
            EXPECT_EQ(otk::UTFormatInput(bad), 0.0) << bad;
        EXPECT_EQ(otk::TextToValue("-1e-5"), 0.0);
    });
    EXPECT_EQ(warned, 10);
    EXPECT_EQ(CountLogged("[WARNING] NULL string passed in UTFormatInput()",
                          [] { EXPECT_EQ(otk::UTFormatInput(nullptr), 0.0); }),
              1);
}

// Text that only looks like a date is refused with the warning: trailing junk, a month word that
// abbreviates no month, signs (a leading "-" is a separator), fields out of range, a year past
// nine digits. Real dates at the edges of their fields are read.
TEST(Calendar, RefusesWhatIsNotADate) {
    const char* const bad[] = {
        "20-Jun-2010 junk",     "20-Janitor-2010",      "-5-Jun-2010",
        "+5-Jun-2010",          "20-Jun-+2010",         "99-Jun-2010",
        "31-Apr-2010",          "29-Feb-2100",          "20-Jun-99999999999",
        "20-Jun-2010 24:00:00", "20-Jun-2010 12:60:00", "20-Jun-2010 12:00:60",
        "20-Jun-2010 -1:00:00", "20-Jun-2010 0x1:0:0",  "20-Jun-2010 1:0:inf"};
    const int warned = CountLogged("[WARNING] Invalid Date Format in UTFormatInput()", [&] {
        for (const char* text : bad) EXPECT_EQ(otk::UTFormatInput(text), 0.0) << text;
    });
    EXPECT_EQ(warned, static_cast<int>(std::size(bad)));
    EXPECT_DOUBLE_EQ(otk::UTFormatInput("29-Feb-2000 23:59:59.5"), 51603.0 + 86399.5 / 86400.0);
    EXPECT_GT(otk::UTFormatInput("31-Dec-999999999"), 3.6e11);  // nine digits of year still fit
}

// Dates typed in any of the separators and cases agree with ERFA's calendar, are never below
// the typed time, and print back as typed; PrintUT of arbitrary MJDs agrees with ERFA too.
TEST(Calendar, AgreesWithErfaFrom1600To2400) {
    std::mt19937 rng(20100620);
    std::uniform_int_distribution<int> year(1600, 2400), month(1, 12), day(1, 31), sod(0, 86399),
        sep(0, 2);
    const char seps[] = "-/:";
    int checked = 0;
    while (checked < 10000) {
        const int y = year(rng), m = month(rng), d = day(rng), s = sod(rng);
        double djm0, djm;
        if (eraCal2jd(y, m, d, &djm0, &djm) != 0) continue;  // 31 April and the like
        ++checked;
        const double expected = djm + s / 86400.0;
        std::string mon = kMon[m - 1];
        if (checked % 3 == 1) mon[0] = static_cast<char>(mon[0] + 'a' - 'A');
        char typed[40];
        std::snprintf(typed, sizeof typed, "%d%c%s%c%d %02d:%02d:%02d", d, seps[sep(rng)],
                      mon.c_str(), seps[sep(rng)], y, s / 3600, s / 60 % 60, s % 60);
        const double mjd = otk::UTFormatInput(typed);
        ASSERT_GE(mjd, expected) << typed;
        ASSERT_CLOSE(mjd, expected + 1e-6 / 86400, 3e-11, 0.0) << typed;
        ASSERT_EQ(std::string(otk::PrintUT(mjd)), DateText(y, m, d, s)) << typed;

        // An MJD half a second into a second of the day, decoded by ERFA.
        const double any = std::floor(djm) + (sod(rng) + 0.5) / 86400.0;
        int ey, em, ed;
        double fd;
        ASSERT_EQ(eraJd2cal(djm0, any, &ey, &em, &ed, &fd), 0);
        ASSERT_EQ(std::string(otk::PrintUT(any)),
                  DateText(ey, em, ed, static_cast<int>(std::floor(fd * 86400.0))));
    }
}

TEST(TypedValue, UnitLettersAndForms) {
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"12km", 12000.0},
        {"3d", 259200.0},
        {"2D", 172800.0},
        {"2h", 7200.0},
        {"1.5H", 5400.0},
        {"4K", 4000.0},
        {"5M", 5e6},
        {"6G", 6e9},
        {"7g", 7e9},
        {"2au", 299195741382.0},
        {"1A", 149597870691.0},
        {"9u", 9e-6},
        {"3U", 3e-6},
        {"10m", 0.01},
        {"100ft", 30.48},
        {"5NM", 9260.0},
        {"42", 42.0},
        {"1e5", 1e5},
        {"-2.5", -2.5},
        {"5e-3m", 5e-6},
        {"7x", 7.0},
        {"", 0.0},
        {"nan", 0.0},
        {"1e999", 0.0},
        {"1234567890123456789012345678901", 0.0},
        // A unit the table does not name leaves the number; anything but a unit after it, or a
        // decimal comma, is refused.
        {"10s", 10.0},
        {" 3 km ", 3000.0},
        {"+4k", 4000.0},
        {"1,5", 0.0},
        {"12kmh", 0.0},
        {"0x10", 0.0},
        {"5 5", 0.0},
        {"inf", 0.0},
    };
    for (const Case& c : cases)
        EXPECT_CLOSE(otk::TextToValue(c.text), c.value, 0.0, 1e-15) << c.text;
    EXPECT_EQ(otk::TextToValue(nullptr), 0.0);

    otk::StartCountDown(1, 100.0);
    otk::StartCountDown(3, 999.0);  // ignored
    const double hour = (3600.0 + 1e-6) / 86400.0;
    EXPECT_DOUBLE_EQ(otk::TextToValue("GET 1:00:00"), 100.0 + hour);
    EXPECT_DOUBLE_EQ(otk::TextToValue("1:00:00"), 100.0 + hour);
    otk::StartCountDown(2, 200.0);
    EXPECT_DOUBLE_EQ(otk::TextToValue("GET 0:1:00:00"), 200.0 + hour);
    EXPECT_DOUBLE_EQ(otk::TextToValue("UT 20-Jun-2010 12:00:00"),
                     otk::UTFormatInput("20-Jun-2010 12:00:00"));
    EXPECT_DOUBLE_EQ(otk::TextToValue("20-Jun-2010"), 55367.0 + 1.1574074074074074e-11);
}

TEST(PrintDate, ModesAndSharedBuffers) {
    otk::StartCountDown(1, 51544.0);
    EXPECT_STREQ(otk::PrintDate(1, 51545.5, 1), "36:00:00.0 ");
    EXPECT_STREQ(otk::PrintDate(2, 51545.5, 9), "1d 12:00:00");
    EXPECT_STREQ(otk::PrintDate(3, 55367.5, 0), "20-Jun-2010 12:00:00");
    EXPECT_STREQ(otk::PrintDate(0, 1e20, 0), "100000000000000000000.0000");
    EXPECT_STREQ(otk::PrintDate(7, NAN, 0), "NAN");
    EXPECT_STREQ(otk::PrintDate(1, -1.0, 0), "! ERROR !");
    EXPECT_STREQ(otk::PrintDate(0, INFINITY, 0), "! ERROR !");
    // The buffers are shared as documented.
    EXPECT_EQ(otk::PrintDate(1, 51545.0, 0), otk::PrintGET("", 1.0, 0.0, false, 0));
    EXPECT_EQ(otk::PrintDate(1, -1.0, 0), otk::PrintGET("", 1.0, 0.0, false, 0));
    EXPECT_EQ(otk::PrintDate(0, 1.0, 0), otk::PrintDate(0, NAN, 0));
    EXPECT_NE(otk::PrintDate(0, 1.0, 0), otk::PrintGET("", 1.0, 0.0, false, 0));
    EXPECT_EQ(otk::PrintDate(3, 1.0, 0), otk::PrintUT(2.0));
}

TEST(PrintMatrix, LabelAndRows) {
    FILE* f = std::tmpfile();
    otk::PrintMatrix(f, MATRIX3{1, 2, 3, 4, 5, 6, 7, 8, -0.5}, "R:");
    otk::PrintMatrix(f, MATRIX3{}, nullptr);
    std::rewind(f);
    std::string s;
    char line[512];
    while (std::fgets(line, sizeof line, f)) s += std::strstr(line, "</font>") + 7;
    std::fclose(f);
    EXPECT_EQ(s,
              "R:<br>\n[1.000000000, 2.000000000, 3.000000000]<br>\n"
              "[4.000000000, 5.000000000, 6.000000000]<br>\n"
              "[7.000000000, 8.000000000, -0.500000000]<br>\n"
              "[0.000000000, 0.000000000, 0.000000000]<br>\n"
              "[0.000000000, 0.000000000, 0.000000000]<br>\n"
              "[0.000000000, 0.000000000, 0.000000000]<br>\n");
}

// Random and cut inputs: parsers give finite numbers, printers stay inside their buffers (the
// sanitizer build checks every write).
TEST(Fuzz, RandomAndTruncatedTexts) {
    FILE* saved = ErrorLog;
    ErrorLog = nullptr;
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> byte(1, 255), length(0, 40), pick(0, 99);
    const std::string seeds[] = {
        "20-Jun-2010 12:00:00",     "GET 1:02:03:04", "UT 1/sep/1999", "12km", "1:00:00", "-1e-5",
        "31-Decemberxx-99999999999"};
    const char alphabet[] = "0123456789-/: .eEkmMdDhHnaNfuUGgTjunsept\xB5\xFF";
    for (int i = 0; i < 6000; ++i) {
        std::string s;
        if (pick(rng) < 40) {
            const int n = length(rng);
            for (int k = 0; k < n; ++k) s += static_cast<char>(byte(rng));
        } else {
            s = seeds[pick(rng) % 7];
            for (int k = pick(rng) % 4; k > 0; --k)
                s[pick(rng) % s.size()] = alphabet[pick(rng) % (sizeof alphabet - 1)];
            s.resize(std::min<size_t>(s.size(), length(rng)));
        }
        ASSERT_TRUE(std::isfinite(otk::GETFormatInput(1.0, s.c_str()))) << s;
        ASSERT_TRUE(std::isfinite(otk::UTFormatInput(s.c_str()))) << s;
        ASSERT_TRUE(std::isfinite(otk::TextToValue(s.c_str()))) << s;

        const unsigned long long bits = (static_cast<unsigned long long>(rng()) << 32) | rng();
        double any;
        std::memcpy(&any, &bits, sizeof any);
        const double scaled = std::ldexp(1.0, pick(rng) - 30) * (pick(rng) - 50);
        for (double x : {any, scaled, -scaled}) {
            const int n = static_cast<int>(rng());
            EXPECT_LT(std::strlen(otk::PrintGET(s.c_str(), x, -x, n & 1, n % 4)), 30u);
            EXPECT_LT(std::strlen(otk::ValueToText(x, n % 50)), 30u);
            EXPECT_LT(std::strlen(otk::ValueToText(x, n)), 30u);
            EXPECT_LT(std::strlen(otk::AngleToText(x, n)), 30u);
            EXPECT_LT(std::strlen(otk::MJDToClock(x)), 30u);
            EXPECT_LT(std::strlen(otk::TimeToClock(x)), 30u);
            EXPECT_LT(std::strlen(otk::PrintUT(x)), 48u);
            EXPECT_LT(std::strlen(otk::PrintDate(n % 5, x, n)), n % 5 == 3 ? 48u : 30u);
        }
    }
    ErrorLog = saved;
}
