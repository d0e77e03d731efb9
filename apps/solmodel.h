// The library's solar-system model built from the data root's Config/.
#pragma once

#include "zaq/sol.h"

namespace zaq::app {

/// Sets up sol from Config/Sol.cfg of the current directory (the data root, after the host's
/// solar system is loaded). Setting up writes a quick-load list beside the configuration, so it
/// runs in a scratch directory that links to the files: nothing lands in the data root.
bool SetupSolarModel(CSol& sol);

}  // namespace zaq::app
