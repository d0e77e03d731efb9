// The solar-system model's owner: its scratch directory, the Config/ copy, the library's error
// log, and the data root.
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "plan/internal.h"
#include "zaq/foundation.h"
#include "zaq/plan.h"
#include "zaq/sol.h"

namespace fs = std::filesystem;

namespace zaq::plan {
namespace {

constexpr char kLogName[] = "ZAQ-SDK_Err.html";
constexpr char kQuickLoad[] = "CSConf.cfg";

// The working directory as it is, entered again when the guard goes (by descriptor, so that
// even a directory renamed meanwhile is found).
class WorkingDirectory {
public:
    WorkingDirectory() : fd_(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~WorkingDirectory() {
        if (fd_ < 0) return;
        if (fchdir(fd_) != 0) std::perror("zaq: cannot return to the working directory");
        close(fd_);
    }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;
    bool Saved() const { return fd_ >= 0; }

private:
    int fd_;
};

// The descriptor of an open stream as a path that opens it, even when its file is gone.
std::string DescriptorPath(FILE* f) {
    return "/proc/self/fd/" + std::to_string(fileno(f));
}

// The file an open stream writes to; empty when that is no file any more (its directory was
// removed) or not one at all.
std::string FileOf(FILE* f) {
    if (!f) return "";
    std::error_code ec;
    const std::string path = fs::read_symlink(DescriptorPath(f), ec).string();
    return ec || path.empty() || path[0] != '/' || path.find(" (deleted)") != std::string::npos
               ? ""
               : path;
}

}  // namespace

std::string DataRoot() {
    if (const char* env = std::getenv("ZAQ_ROOT"); env && *env) return env;
    // ZAQ_INSTALLED_DATA: the installed data directory relative to the installed library.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&DataRoot), &info) && info.dli_fname) {
        std::error_code ec;
        const fs::path installed =
            fs::path(info.dli_fname).parent_path() / ZAQ_INSTALLED_DATA / "Config";
        if (fs::is_directory(installed, ec)) return installed.parent_path().lexically_normal();
    }
    return ZAQ_SOURCE_DATA;  // a library used from its build tree
}

std::string LogPath() {
    return FileOf(ErrorLog);
}

Result<std::unique_ptr<SolarModel>> SolarModel::Open(const std::string& root) {
    std::error_code ec;
    const fs::path tmp = fs::temp_directory_path(ec);
    std::string dir = ((ec ? fs::path("/tmp") : tmp) / "zaq-XXXXXX").string();
    if (!mkdtemp(dir.data()))
        return Error{"cannot make a scratch directory (" + dir + ") for the solar-system model"};
    std::unique_ptr<SolarModel> model(new SolarModel);
    model->dir_ = fs::canonical(dir, ec).string();  // as the log's path will name it
    if (ec) model->dir_ = dir;
    model->root_ = fs::absolute(root.empty() ? DataRoot() : root, ec).lexically_normal().string();
    return model;
}

SolarModel::~SolarModel() {
    sol_.reset();
    std::error_code ec;
    const std::string log = LogPath();
    const bool logHere = fs::path(log).parent_path() == fs::path(dir_);
    if (!(keepLog_ && logHere)) {
        fs::remove_all(dir_, ec);
        return;
    }
    for (const auto& e : fs::directory_iterator(dir_, ec))
        if (e.path() != fs::path(log)) fs::remove_all(e.path(), ec);
}

Result<CSol*> SolarModel::SetUp(double displacementSpeed) {
    const fs::path config = fs::path(dir_) / "Config", source = fs::path(root_) / "Config";
    std::error_code ec;
    if (!copied_) {
        // A copy, not links: Setup writes its quick-load list there, never into the data root.
        // The root's own list serves when it has one, else the list shipped beside Config/.
        fs::create_directory(config, ec);
        for (const auto& e : fs::directory_iterator(source, ec))
            if (e.is_regular_file()) fs::copy_file(e.path(), config / e.path().filename(), ec);
        if (!fs::exists(config / kQuickLoad))
            fs::copy_file(fs::path(root_) / kQuickLoad, config / kQuickLoad, ec);
        copied_ = true;
    }
    sol_.reset();
    auto sol = std::make_unique<CSol>();
    int rc = -1;
    {
        WorkingDirectory back;
        if (back.Saved() && chdir(dir_.c_str()) == 0)
            rc = sol->Setup("Config/Sol.cfg", displacementSpeed, nullptr);
    }
    if (rc != 0) return Error{"the solar-system model could not be set up"};
    sol_ = std::move(sol);
    return sol_.get();
}

Result<void> SolarModel::TakeLog(const std::string& path) {
    if (!ErrorLog) return {};
    std::error_code ec;
    const std::string target =
        fs::absolute(path.empty() ? fs::path(dir_) / kLogName : fs::path(path), ec)
            .lexically_normal()
            .string();
    const std::string before = FileOf(ErrorLog);
    if (before == target) return {};
    // What the log holds so far, read through its own descriptor (its file may be gone).
    std::fflush(ErrorLog);
    FILE* out = std::fopen(target.c_str(), "w+");
    if (!out) return Error{"cannot write the library's log to '" + Shown(target) + "'"};
    if (FILE* in = std::fopen(DescriptorPath(ErrorLog).c_str(), "rb")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, in)) > 0;) std::fwrite(buf, 1, n, out);
        std::fclose(in);
    }
    std::fflush(out);
    FILE* previous = ErrorLog;
    ErrorLog = out;
    std::fclose(previous);
    if (!before.empty()) std::remove(before.c_str());
    return {};
}

namespace detail {

Result<CSol*> SetUpModel(SolarModel*& model, std::unique_ptr<SolarModel>& own) {
    if (!model) {
        auto opened = SolarModel::Open();
        if (!opened.ok()) return Error{opened.error()};
        own = std::move(opened.value());
        model = own.get();
    }
    return model->SetUp();
}

}  // namespace detail
}  // namespace zaq::plan
