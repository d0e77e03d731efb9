// The benchmarks' solar-system model: the standalone host's solar system at a date and the model
// set up over the data root by its owner, so that a benchmark runs from any directory.
#pragma once

#include <cstdlib>
#include <memory>

#include "zaq/hostsim.h"
#include "zaq/plan.h"

namespace zaq::bench {

inline std::unique_ptr<plan::SolarModel> SetupSol(double mjd, double displacementSpeed) {
    if (!hostsim::LoadSolarSystem(mjd)) std::abort();
    auto opened = plan::SolarModel::Open();
    if (!opened.ok() || !opened.value()->SetUp(displacementSpeed).ok()) std::abort();
    return std::move(opened.value());
}

}  // namespace zaq::bench
