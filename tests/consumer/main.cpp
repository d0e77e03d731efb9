// A program built against the installed package: the library's orbit of the Moon, read through
// the host functions that the standalone host provides.
#include <cstdio>

#include "zaq/hostsim.h"
#include "zaq/zaq.h"

int main() {
    if (!zaq::hostsim::LoadSolarSystem(zaq::hostsim::MjdFromUTC(2026, 12, 8))) return 1;
    COrbit moon;
    moon.Create(oapiGetGbodyByName("Moon"), oapiGetGbodyByName("Earth"));
    std::printf("%s\nMoon about Earth: a = %.0f km\n", otk::BuildBanner(), moon.SMa() / 1e3);
    return moon.SMa() > 3.6e8 && moon.SMa() < 4.0e8 ? 0 : 1;
}
