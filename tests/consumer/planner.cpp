// A program built against the installed planning library: the 2026 Earth-Mars transfer, whose
// least departure energy the mission-design handbooks give as C3 11.1 km^2/s^2 for a departure on
// 14 November 2026 arriving 9 August 2027.
#include <cstdio>

#include "zaq/hostsim.h"
#include "zaq/plan.h"

int main() {
    zaq::plan::TransferRequest request;
    request.from = "Earth";
    request.to = "Mars";
    request.depart = zaq::hostsim::MjdFromUTC(2026, 11, 14);
    request.arrive = zaq::hostsim::MjdFromUTC(2027, 8, 9);
    const auto plan = zaq::plan::PlanTransfer(request);
    if (!plan.ok()) {
        std::fprintf(stderr, "no plan: %s\n", plan.error().c_str());
        return 1;
    }
    const double c3 = plan.value().arc.c3 / 1e6;
    std::printf("Earth -> Mars, %s to %s: C3 %.3f km^2/s^2\n",
                zaq::plan::DateText(request.depart).c_str(),
                zaq::plan::DateText(request.arrive).c_str(), c3);
    return c3 > 11.0 && c3 < 11.2 ? 0 : 1;
}
