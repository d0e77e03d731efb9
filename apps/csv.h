// The tool's CSV files, written row by row as the rows come: numbers formatted with
// std::to_chars (the digits printf's "%.Nf" gives), a file made under a temporary name and
// renamed when complete, so that a failed run leaves no partial file. And the UTC text of the
// dates of a run, converted exactly only where it matters.
#pragma once

#include <cstdio>
#include <string>

namespace zaq::app {

/// A new empty file beside path, named path.XXXXXX, with the permissions any new file gets
/// (0666 less the umask, not mkstemp's 0600): its descriptor and name in *temp, or -1 with errno.
int CreateTemp(const std::string& path, std::string* temp);

class CsvFile {
public:
    /// Starts the file at path with the header line (without its line break). A path that names
    /// a device or pipe is written directly; one that names a directory fails.
    CsvFile(const std::string& path, const char* header);
    ~CsvFile();
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;

    /// x with `decimals` digits after the point.
    CsvFile& Number(double x, int decimals);
    CsvFile& Integer(long long n);
    CsvFile& Text(const std::string& text);
    /// An empty field.
    CsvFile& Blank();
    /// Ends the row.
    void EndRow();
    /// False (the reason in *why) once the file could not be started or a write has failed: a
    /// long run can stop before it computes rows that cannot be written.
    bool Good(std::string* why) const;
    /// Writes what is left and gives the file its name; false (the file removed) when anything
    /// failed, with the reason in *why.
    bool Close(std::string* why);

private:
    void Separate();
    void Flush();

    std::string path_, temp_;
    FILE* file_ = nullptr;
    std::string buffer_;
    bool rowStarted_ = false, failed_ = false;
    int error_ = 0;
};

/// "14-Nov-2026 00:00:00 UTC" of MJDs (TT) met in order: the difference of TT and UTC is taken
/// once per UTC day without a leap second, and the exact conversion is made near a whole second,
/// where the two could differ in the text.
class UtcTexts {
public:
    std::string operator()(double mjd);

private:
    double day_ = 0, offset_ = 0;  // the UTC day the offset (TT - UTC, days) holds for
    bool valid_ = false;
};

}  // namespace zaq::app
