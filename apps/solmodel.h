// The library's solar-system model built from the data root's Config/ (header-only: the
// planning code is also built into programs other than the tool).
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "zaq/sol.h"

namespace zaq::app {

/// Sets up sol from Config/Sol.cfg of the current directory (the data root, after the host's
/// solar system is loaded). Setting up writes a quick-load list beside the configuration, so it
/// runs in a scratch directory that links to the files: nothing lands in the data root.
inline bool SetupSolarModel(CSol& sol) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::string dir = (fs::temp_directory_path(ec) / "zaq_model_XXXXXX").string();
    if (ec || !mkdtemp(dir.data())) return false;
    const fs::path back = fs::current_path(ec), config = fs::path(dir) / "Config";
    bool ok = !ec && fs::create_directory(config, ec);
    for (const auto& e : fs::directory_iterator("Config", ec))
        if (ok && e.is_regular_file())
            fs::create_symlink(fs::absolute(e.path()), config / e.path().filename(), ec);
    ok = ok && !ec;
    if (ok) {
        fs::current_path(dir, ec);
        ok = !ec && sol.Setup("Config/Sol.cfg", 1.0, nullptr) == 0;
        fs::current_path(back, ec);
    }
    fs::remove_all(dir, ec);
    return ok;
}

}  // namespace zaq::app
