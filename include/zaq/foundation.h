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
void ReportError(const void* self, const char* file, int line, const char* func,
                 const char* reason, ...) ZAQ_PRINTF(5, 6);

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

}  // namespace otk

// The three forms of the error report. `func` is the qualified function name as a literal
// ("CVector::Write"); the reason is a printf format whose text the log shows in double quotes.
#define ZAQ_ERROR_THIS(func, ...) ::otk::ReportError(this, __FILE__, __LINE__, func, __VA_ARGS__)
#define ZAQ_ERROR(func, ...) ::otk::ReportError(nullptr, __FILE__, __LINE__, func, __VA_ARGS__)
#define ZAQ_ERROR_NOREASON(func) ::otk::ReportError(nullptr, __FILE__, __LINE__, func, nullptr)
