// Flight tests run once with each of the vessels' integrators: the fixture's parameter.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "zaq/flight.h"

namespace zaq::test {

/// Both integrators, named in the tests' names.
inline auto Integrators() {
    return ::testing::Values(CF_RKF56, CF_RKF78);
}
inline std::string IntegratorName(const ::testing::TestParamInfo<int>& info) {
    return info.param == CF_RKF78 ? "RKF78" : "RKF56";
}

}  // namespace zaq::test
