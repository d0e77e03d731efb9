// The benchmarks' solar-system model: the standalone host's solar system at a date and a CSol set
// up from a scratch copy of the installation's Config/, which is removed once Setup has read it
// and written its quick-load list.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>

#include "zaq/hostsim.h"
#include "zaq/sol.h"

namespace zaq::bench {

inline void SetupSol(CSol& sol, double mjd, double displacementSpeed) {
    namespace fs = std::filesystem;
    const fs::path home = fs::current_path();
    char name[] = "/tmp/zaq_bench_XXXXXX";
    if (!mkdtemp(name)) std::abort();
    const fs::path dir = name;
    fs::copy(fs::path(__FILE__).parent_path().parent_path() / "data/Config", dir / "Config");
    fs::current_path(dir);
    if (!hostsim::LoadSolarSystem(mjd) ||
        sol.Setup("Config/Sol.cfg", displacementSpeed, nullptr) != 0)
        std::abort();
    fs::current_path(home);
    fs::remove_all(dir);
}

}  // namespace zaq::bench
