// Module utilities: the HTML error log, the logging routines, the error report, processor
// utilities and small numeric and text helpers.
#pragma once

#include <cstdio>

#include "zaq/host.h"

/// Stream of the open HTML error log "ZAQ-SDK_Err.html"; null while no log is open.
extern FILE* ErrorLog;

#define ZAQ_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))

namespace otk {

// Logging routines: one HTML line each on `file` (nothing when file is null), flushed at once.
void LogMsg(FILE* file, const char* format, ...) ZAQ_PRINTF(2, 3);
void LogErr(FILE* file, const char* format, ...) ZAQ_PRINTF(2, 3);
void LogWrn(FILE* file, const char* format, ...) ZAQ_PRINTF(2, 3);
void LogOk(FILE* file, const char* format, ...) ZAQ_PRINTF(2, 3);

/// One error line on ErrorLog: "This=0x%X, File=%s, Line=%d, Func=%s(): %s" when self is not
/// null, else without "This="; the reason is formatted and put inside double quotes. A null
/// reason gives the form without a reason.
void ReportError(const void* self, const char* file, int line, const char* func, const char* reason,
                 ...) ZAQ_PRINTF(5, 6);

/// Library title, build type and build date: "<title> (SSE2 build), Date of Build: <date>".
const char* BuildBanner();

/// True when the processor does NOT report SSE2 (bit 26 of CPUID function 1, EDX).
bool CheckSSE();
/// Time-stamp counter in millions of cycles; a relative clock.
double CPUTime();

/// "[ x, y, z ]: length" in a static 512-byte buffer, valid until the next call.
char* VectorStr(VECTOR3 v);
/// Smallest of n double arguments; a NaN after the first never replaces the kept value.
double DoubleMin(int n, ...);
/// Largest of n double arguments; a NaN after the first never replaces the kept value.
double DoubleMax(int n, ...);
/// Ascending Shell sort in place.
void SortList_uint(unsigned int* v, int n);
void SortList_double(double* v, int n);
/// Sorts the pairs (v[i], keys[i]) ascending by keys when byKey != 0, otherwise by v.
void SortList(double* v, int* keys, int n, int byKey);

// ---- Text formatting and parsing ---------------------------------------------------------------
// Returned texts live in static buffers, valid until the next call writing the same buffer:
// elapsed-time text (30 bytes) PrintGET and PrintDate; value text (30) ValueToText and
// AngleToText; clock text (30) MJDToClock, and PrintUT through it; duration text (30)
// TimeToClock; date text (48) PrintUT; plain number text (30) PrintDate. The micro and degree
// signs are the Windows-1252 bytes 0xB5 and 0xB0.

/// refMjd plus the elapsed time "[-]h:m:s" or "[-]d:h:m:s" in days (plus 1 us away from refMjd);
/// a sign in front applies to the whole time, as PrintGET writes it. Fields are unsigned decimals,
/// minutes and seconds below 60 (hours below 24 after days). 0 and a warning on ErrorLog for
/// anything else (a sign inside, text after the time, hexadecimal, infinity, NaN).
double GETFormatInput(double refMjd, const char* text);
/// Elapsed time from refMjd to mjd: "[-]H:MM:SS[.d] suffix", or "[-]Dd HH:MM:SS[.d]" withDays
/// (no suffix); decimals 0..2. " ! ERROR !" out of range; a suffix that does not fit is cut.
const char* PrintGET(const char* suffix, double mjd, double refMjd, bool withDays, int decimals);
/// Sets the countdown reference (the zero of ground elapsed time) to mjd when mode is 1 or 2.
void StartCountDown(int mode, double mjd);
/// x with a magnitude prefix (T G M k m micro) to `digits` significant digits; digits 0 or 1 no
/// decimals, -k exactly k decimals without prefix; exponent form from 16 integer digits; "NAN".
const char* ValueToText(double x, int digits);
/// An angle in degrees rounded to |decimals| decimals, followed by the degree sign.
const char* AngleToText(double degrees, int decimals);
/// Time of day of an MJD, "HH:MM:SS"; "! ERROR !" for a non-finite MJD.
char* MJDToClock(double mjd);
/// A duration in seconds, "HH:MM:SS.ss" (a minus sign in front when negative).
char* TimeToClock(double seconds);
/// Gregorian date and time of an MJD, "20-Jun-2010 12:00:00"; "! ERROR !" out of range.
const char* PrintUT(double mjd);
/// MJD of "day-Mon-year[ h:m:s]" ("-", "/", ":" or blanks between fields), plus 1 us. The month
/// word is an abbreviation of a month's name of 3-7 letters ("Jun", "June", "Sept"), the day one
/// of that month, the year at most 9 digits, hour below 24, minute and second below 60. 0 and a
/// warning on ErrorLog for a malformed text: other fields, signs, text after the last field.
double UTFormatInput(const char* text);
/// A typed value: "GET h:m:s", "UT date", a date (two "-"), an elapsed time (two ":"), or a
/// signed decimal with an optional unit of one or two letters whose first gives the factor (d h
/// k M G a u m f N, see the docs; another letter, such as the s of "10s", leaves the number).
/// 0 and a warning on ErrorLog for anything else ("1,5", "12kmh", "0x10").
double TextToValue(const char* text);
/// An MJD by mode: 1 elapsed time, 2 elapsed time with days, 3 UT date, other "%0.4f".
const char* PrintDate(int mode, double mjd, int decimals);
/// Writes label (when not null) and the three rows "[%9.9f, %9.9f, %9.9f]" as log lines.
void PrintMatrix(FILE* file, const MATRIX3& m, const char* label);

}  // namespace otk

// The three forms of the error report. `func` is the qualified function name as a literal
// ("CVector::Write"); the reason is a printf format whose text the log shows in double quotes.
#define ZAQ_ERROR_THIS(func, ...) ::otk::ReportError(this, __FILE__, __LINE__, func, __VA_ARGS__)
#define ZAQ_ERROR(func, ...) ::otk::ReportError(nullptr, __FILE__, __LINE__, func, __VA_ARGS__)
#define ZAQ_ERROR_NOREASON(func) ::otk::ReportError(nullptr, __FILE__, __LINE__, func, nullptr)
