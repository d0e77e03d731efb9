#include "apps/csv.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "zaq/foundation.h"
#include "zaq/hostsim.h"
#include "zaq/plan.h"

namespace zaq::app {
namespace {

constexpr size_t kFlushAt = 1 << 16;

// The kind of file at path: 0 none or a regular file, 'd' a directory, 's' a device or pipe.
char Kind(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return 0;
    return S_ISDIR(st.st_mode) ? 'd' : 's';
}

}  // namespace

int CreateTemp(const std::string& path, std::string* temp) {
    std::string name = path + ".XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) return -1;
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd, 0666 & ~mask) != 0) {
        const int error = errno;
        close(fd);
        std::remove(name.c_str());
        errno = error;
        return -1;
    }
    *temp = name;
    return fd;
}

CsvFile::CsvFile(const std::string& path, const char* header) : path_(path) {
    const char kind = Kind(path);
    if (kind == 'd') {
        errno = EISDIR;
    } else if (kind == 's') {
        file_ = std::fopen(path.c_str(), "w");
    } else {
        const int fd = CreateTemp(path, &temp_);
        if (fd >= 0) {
            file_ = fdopen(fd, "w");
            if (!file_) close(fd);
        }
    }
    if (!file_) {
        failed_ = true;
        error_ = errno;
        return;
    }
    buffer_.reserve(kFlushAt + 512);
    buffer_ += header;
    buffer_ += '\n';
}

CsvFile::~CsvFile() {
    if (file_) std::fclose(file_);
    if (!temp_.empty()) std::remove(temp_.c_str());
}

void CsvFile::Separate() {
    if (rowStarted_) buffer_ += ',';
    rowStarted_ = true;
}

CsvFile& CsvFile::Number(double x, int decimals) {
    Separate();
    char text[400];
    const auto r = std::to_chars(text, text + sizeof text, x, std::chars_format::fixed, decimals);
    buffer_.append(text, r.ec == std::errc() ? r.ptr : text);
    return *this;
}

CsvFile& CsvFile::Integer(long long n) {
    Separate();
    char text[24];
    const auto r = std::to_chars(text, text + sizeof text, n);
    buffer_.append(text, r.ptr);
    return *this;
}

CsvFile& CsvFile::Text(const std::string& text) {
    Separate();
    buffer_ += text;
    return *this;
}

CsvFile& CsvFile::Blank() {
    Separate();
    return *this;
}

void CsvFile::EndRow() {
    buffer_ += '\n';
    rowStarted_ = false;
    if (buffer_.size() >= kFlushAt) Flush();
}

void CsvFile::Flush() {
    if (failed_ || buffer_.empty()) return;
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
        failed_ = true;
        error_ = errno;
    }
    buffer_.clear();
}

bool CsvFile::Good(std::string* why) const {
    if (failed_ && why) *why = error_ ? std::strerror(error_) : "write error";
    return !failed_;
}

bool CsvFile::Close(std::string* why) {
    Flush();
    if (file_ && std::fflush(file_) != 0 && !failed_) failed_ = true, error_ = errno;
    if (file_ && std::fclose(file_) != 0 && !failed_) failed_ = true, error_ = errno;
    file_ = nullptr;
    if (!failed_ && !temp_.empty()) {
        if (std::rename(temp_.c_str(), path_.c_str()) == 0)
            temp_.clear();
        else
            failed_ = true, error_ = errno;
    }
    return Good(why);
}

std::string UtcTexts::operator()(double mjd) {
    double utc = mjd - offset_;
    const double second = (utc - std::floor(utc)) * kSecondsPerDay;
    const bool nearWhole = std::fabs(second - std::round(second)) < 1e-4;
    if (!valid_ || std::floor(utc) != day_ || nearWhole) {
        utc = hostsim::UtcMjd(mjd);
        const double day = std::floor(utc);
        if (std::isfinite(utc) && (!valid_ || day != day_)) {
            // A day whose end has another offset holds a leap second: no offset is kept for it.
            const double end = day + 1 + (mjd - utc) - 1e-6;
            valid_ = std::fabs((end - hostsim::UtcMjd(end)) - (mjd - utc)) < 1e-10;
            day_ = day;
            offset_ = mjd - utc;
        }
    }
    return std::string(otk::PrintUT(utc)) + " UTC";
}

}  // namespace zaq::app
