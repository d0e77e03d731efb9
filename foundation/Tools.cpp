// Module lifecycle, the HTML error log, the error report and small utilities.
#include <sys/syscall.h>
#include <unistd.h>

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <ctime>

#include "foundation/Module.h"
#include "zaq/foundation.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#endif

FILE* ErrorLog = nullptr;

namespace {

const char kProductTitle[] = "ZAQ-SDK 0.1";
const char kLogFile[] = "ZAQ-SDK_Err.html";

int processCount = 0;
int threadCount = 0;

char banner[256];
char timeText[60];
long long timeValue = 0;
char message[1000];
char vectorText[512];

// Current local time in the C library's 24-character calendar form, line break removed.
void UpdateTimeText() {
    const time_t now = time(nullptr);
    timeValue = static_cast<long long>(now);
    if (!ctime_r(&now, timeText)) std::snprintf(timeText, sizeof timeText, "Error");
    void* end = std::memchr(timeText, '\n', sizeof timeText);
    void* cr = std::memchr(timeText, '\r', sizeof timeText);
    if (cr && (!end || cr < end)) end = cr;
    if (end) *static_cast<char*>(end) = '\0';
}

void WriteLine(FILE* file, const char* prefix, const char* suffix, const char* format,
               va_list args) {
    if (!file) return;
    UpdateTimeText();
    std::fprintf(file, prefix, timeText);
    // Longer messages are cut at the buffer's 999 characters.
    std::vsnprintf(message, sizeof message, format, args);
    std::fputs(message, file);
    std::fputs(suffix, file);
    std::fflush(file);
}

unsigned CurrentThreadId() {
    return static_cast<unsigned>(syscall(SYS_gettid));
}

}  // namespace

namespace otk {

#define ZAQ_LOG_ROUTINE(name, prefix, suffix)          \
    void name(FILE* file, const char* format, ...) {   \
        va_list args;                                  \
        va_start(args, format);                        \
        WriteLine(file, prefix, suffix, format, args); \
        va_end(args);                                  \
    }

ZAQ_LOG_ROUTINE(LogMsg, "<font color=Gray>(%s) </font>", "<br>\n")
ZAQ_LOG_ROUTINE(LogErr, "<font color=Gray>(%s) </font><font color=Red>[ERROR] ", "</font><br>\n")
ZAQ_LOG_ROUTINE(LogWrn, "<font color=Gray>(%s) </font><font color=Yellow>[WARNING] ",
                "</font><br>\n")
ZAQ_LOG_ROUTINE(LogOk, "<font color=Gray>(%s) </font><font color=#00FF00>", "</font><br>\n")
#undef ZAQ_LOG_ROUTINE

void ReportError(const void* self, const char* file, int line, const char* func, const char* reason,
                 ...) {
    if (!ErrorLog) return;
    if (!reason) {
        LogErr(ErrorLog, "File=%s, Line=%d, Func=%s()", file, line, func);
        return;
    }
    char text[900];
    va_list args;
    va_start(args, reason);
    std::vsnprintf(text, sizeof text, reason, args);
    va_end(args);
    if (self)
        LogErr(ErrorLog, "This=0x%llX, File=%s, Line=%d, Func=%s(): \"%s\"",
               static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(self)), file, line, func,
               text);
    else
        LogErr(ErrorLog, "File=%s, Line=%d, Func=%s(): \"%s\"", file, line, func, text);
}

const char* BuildBanner() {
    std::snprintf(banner, sizeof banner, "%s (SSE2 build), Date of Build: %s", kProductTitle,
                  __DATE__);
    return banner;
}

bool CheckSSE() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return true;
    return (d & (1u << 26)) == 0;
#else
    return false;  // answered as for a processor with SSE2
#endif
}

double CPUTime() {
#if defined(__x86_64__) || defined(__i386__)
    const unsigned long long t = __rdtsc();
#else
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const unsigned long long t =
        static_cast<unsigned long long>(ts.tv_sec) * 1000000000ull + ts.tv_nsec;
#endif
    const double hi = static_cast<double>(static_cast<uint32_t>(t >> 32));
    const double lo = static_cast<double>(static_cast<uint32_t>(t));
    return (hi * 4294967296.0 + lo) * 1e-6;
}

char* VectorStr(VECTOR3 v) {
    const double len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    std::snprintf(vectorText, sizeof vectorText, "[ %8.8g, %8.8g, %8.8g ]: %8.8g", v.x, v.y, v.z,
                  len);
    return vectorText;
}

double DoubleMin(int n, ...) {
    va_list args;
    va_start(args, n);
    double kept = n > 0 ? va_arg(args, double) : NAN;
    for (int i = 1; i < n; ++i) {
        const double x = va_arg(args, double);
        if (x < kept) kept = x;
    }
    va_end(args);
    return kept;
}

double DoubleMax(int n, ...) {
    va_list args;
    va_start(args, n);
    double kept = n > 0 ? va_arg(args, double) : NAN;
    for (int i = 1; i < n; ++i) {
        const double x = va_arg(args, double);
        if (x > kept) kept = x;
    }
    va_end(args);
    return kept;
}

namespace {
// Shell sort with gaps 1, 4, 13, 40, ...; swap(i, j) moves element i to j and partners along.
template <typename Less, typename Swap>
void ShellSort(int n, Less less, Swap swap) {
    if (n <= 0) return;
    int h = 1;
    while (h <= n) h = 3 * h + 1;
    while (h > 1) {
        h /= 3;
        for (int i = h; i < n; ++i)
            for (int j = i; j >= h && less(j, j - h); j -= h) swap(j, j - h);
    }
}

template <typename T>
void SortPlain(T* v, int n) {
    if (!v) return;
    ShellSort(
        n, [v](int a, int b) { return v[a] < v[b]; },
        [v](int a, int b) {
            T t = v[a];
            v[a] = v[b];
            v[b] = t;
        });
}
}  // namespace

void SortList_uint(unsigned int* v, int n) {
    SortPlain(v, n);
}
void SortList_double(double* v, int n) {
    SortPlain(v, n);
}

void SortList(double* v, int* keys, int n, int byKey) {
    if (!v || !keys) return;
    auto swap = [v, keys](int a, int b) {
        const double t = v[a];
        v[a] = v[b];
        v[b] = t;
        const int k = keys[a];
        keys[a] = keys[b];
        keys[b] = k;
    };
    if (byKey)
        ShellSort(
            n, [keys](int a, int b) { return keys[a] < keys[b]; }, swap);
    else
        ShellSort(
            n, [v](int a, int b) { return v[a] < v[b]; }, swap);
}

}  // namespace otk

// ---- module lifecycle ------------------------------------------------------

void OpenErrorLog() {
    if (ErrorLog) return;
    ErrorLog = std::fopen(kLogFile, "w+");
    if (!ErrorLog) {
        oapiWriteLog("[ZAQ][ERROR]: Unable to create output log");
        return;
    }
    std::fprintf(ErrorLog,
                 "<html><head><title>ZAQ-SDK Error Log</title></head><body bgcolor=0x000000 "
                 "text=0xFFFFFF>");
    std::fprintf(ErrorLog,
                 "<center><h2>ZAQ-SDK Error Log</h2>Contents of this file is deleted during "
                 "simulator shutdown if the simulator shutdown option<br>");
    std::fprintf(ErrorLog, "Extra->Debugging options->Shutdown options: is set to Respawn<br><br>");
    std::fprintf(ErrorLog, "%s </center><hr><br><br>", otk::BuildBanner());
    std::fflush(ErrorLog);
}

void CloseErrorLog() {
    if (processCount != 0 || !ErrorLog) return;
    std::fprintf(ErrorLog, "</body></html>");
    std::fclose(ErrorLog);
    ErrorLog = nullptr;
}

int ZaqModuleMain(void* /*module*/, unsigned long reason, void* /*reserved*/) {
    switch (reason) {
        case ZAQ_PROCESS_ATTACH:
            OpenErrorLog();
            ++processCount;
            if (ErrorLog) {
                otk::LogMsg(ErrorLog, "*** Module attached in new process (%u) ThreadId=%u ***",
                            static_cast<unsigned>(getpid()), CurrentThreadId());
                otk::LogMsg(ErrorLog, "Toolkit Date of Build %s", __DATE__);
            }
            break;
        case ZAQ_THREAD_ATTACH:
            ++threadCount;
            if (ErrorLog)
                otk::LogMsg(ErrorLog, "*** Module attached in new thread (%u) ***",
                            CurrentThreadId());
            break;
        case ZAQ_THREAD_DETACH:
            --threadCount;
            if (ErrorLog)
                otk::LogMsg(ErrorLog,
                            "*** Module detached from thread. (%d) Remains in threads ***",
                            threadCount);
            break;
        case ZAQ_PROCESS_DETACH:
            --processCount;
            if (ErrorLog)
                otk::LogMsg(ErrorLog,
                            "*** Module detached from process (%d) Remains in processes ***",
                            processCount);
            CloseErrorLog();
            break;
        default:
            break;
    }
    return 1;
}

// The shared library's load and unload are the process notifications.
__attribute__((constructor)) static void ZaqLoad() {
    ZaqModuleMain(nullptr, ZAQ_PROCESS_ATTACH, nullptr);
}
__attribute__((destructor)) static void ZaqUnload() {
    ZaqModuleMain(nullptr, ZAQ_PROCESS_DETACH, nullptr);
}
