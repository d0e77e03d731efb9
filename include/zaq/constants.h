// Constants shared by the library and the standalone host: the host's gravitational constant,
// the astronomical unit, the day and the degree.
#pragma once

namespace zaq {

/// Gravitational constant of the host, m^3 kg^-1 s^-2: a body's mu is G times its host mass.
constexpr double kG = 6.67259e-11;
/// Astronomical unit, m.
constexpr double kAU = 149597870691.0;
/// Seconds per day: MJD spans times this are seconds.
constexpr double kSecondsPerDay = 86400.0;
/// Degrees per radian.
constexpr double kDegPerRad = 57.29577951308232;
/// Radians per degree.
constexpr double kRadPerDeg = 0.017453292519943295;

}  // namespace zaq
