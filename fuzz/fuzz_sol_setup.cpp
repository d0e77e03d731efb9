// CSol::Setup over a Config/ tree written from the fuzzer's bytes, on the built-in solar system.
// The input is a set of files, each starting with a line "@@ NAME": NAME "CSConf" is the
// quick-load list, "Sol" the system file, any other NAME the body file Config/NAME.cfg. A
// successful Setup gives a table whose references all precede their bodies, and a table set up
// from the system file (each body once) is set up again, the same, from the quick-load list it
// wrote.
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz/fuzz.h"
#include "zaq/hostsim.h"
#include "zaq/sol.h"

namespace fs = std::filesystem;

namespace {

// A private working directory for the run, entered once and removed at exit.
fs::path& WorkDir() {
    static fs::path dir;
    return dir;
}

void RemoveWorkDir() {
    std::error_code ec;
    fs::remove_all(WorkDir(), ec);
}

void Prepare() {
    static bool done = false;
    if (done) return;
    done = true;
    char name[] = "/tmp/zaq_fuzz_sol_XXXXXX";
    if (!mkdtemp(name)) std::abort();
    WorkDir() = name;
    fs::current_path(WorkDir());
    std::atexit(RemoveWorkDir);
    zaq::hostsim::LoadSolarSystem(zaq::hostsim::MjdFromUTC(2024, 1, 1));
}

// A file name made of letters, digits and "_" only; empty for anything else.
std::string FileName(const std::string& name) {
    if (name.empty() || name.size() > 40) return "";
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return "";
    return name;
}

// Writes the files of the input into a fresh Config/.
void WriteTree(const std::string& input) {
    std::error_code ec;
    fs::remove_all("Config", ec);
    fs::create_directory("Config");
    std::ofstream file;
    size_t at = 0;
    while (at < input.size()) {
        size_t end = input.find('\n', at);
        if (end == std::string::npos) end = input.size();
        const std::string line = input.substr(at, end - at);
        if (line.compare(0, 3, "@@ ") == 0) {
            file.close();
            const std::string name = FileName(line.substr(3));
            if (!name.empty()) file.open("Config/" + name + ".cfg", std::ios::binary);
        } else if (file.is_open()) {
            file << line << (end < input.size() ? "\n" : "");
        }
        at = end + 1;
    }
}

struct Row {
    std::string name;
    int reference;
};

std::vector<Row> Table(const CSol& sol) {
    std::vector<Row> rows;
    for (int i = 0; i < sol.GetCount(); ++i) rows.push_back({sol.GetName(i), sol.GetReference(i)});
    return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using zaq::fuzz::Check;
    Prepare();
    ErrorLog = nullptr;
    const std::string input(reinterpret_cast<const char*>(data), size);
    WriteTree(input);
    const bool listGiven = fs::exists("Config/CSConf.cfg");
    CSol sol;
    const int rc = sol.Setup("Config/Sol.cfg", 0.1, nullptr);
    Check(rc == 0 || rc == 1, "a result other than 0 or 1", input);
    if (rc != 0) return 0;
    const std::vector<Row> rows = Table(sol);
    Check(!rows.empty() && rows[0].reference == -1, "no star at index 0", input);
    bool repeats = false;
    for (size_t i = 1; i < rows.size(); ++i) {
        Check(rows[i].reference >= 0 && rows[i].reference < static_cast<int>(i),
              "a reference that does not precede its body", input);
        for (size_t k = 0; k < i; ++k) repeats = repeats || rows[k].name == rows[i].name;
    }
    // A body listed twice is in the table twice, as the files say; the list read back takes the
    // first entry as the reference of the minors of both.
    if (listGiven || repeats) return 0;
    CSol again;
    Check(again.Setup("Config/Sol.cfg", 0.1, nullptr) == 0, "the written list fails", input);
    const std::vector<Row> reread = Table(again);
    bool same = reread.size() == rows.size();
    for (size_t i = 0; same && i < rows.size(); ++i)
        same = reread[i].name == rows[i].name && reread[i].reference == rows[i].reference;
    Check(same, "the written list gives another table", input);
    return 0;
}
