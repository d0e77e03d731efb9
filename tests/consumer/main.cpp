#include <cstdio>

#include "zaq/hostsim.h"
#include "zaq/zaq.h"

int main() {
    zaq::hostsim::Reset();
    std::printf("%s\n", otk::BuildBanner());
    return oapiGetGbodyCount() == 0 ? 0 : 1;
}
