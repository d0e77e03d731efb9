// What the flight clock takes for one instant.
#pragma once

namespace zaq::flight {

/// Two dates closer than this (days, about a millisecond) are the same instant to the clock.
constexpr double kSameDate = 1e-8;

}  // namespace zaq::flight
