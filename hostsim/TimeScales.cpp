// UTC calendar dates to and from the simulation MJD, which the standalone host reads as TT.
#include <erfa.h>
#include <erfam.h>

#include <cmath>
#include <cstdio>

#include "zaq/hostsim.h"

namespace zaq::hostsim {

double MjdFromUTC(int year, int month, int day, int hour, int minute, double second) {
    double u1 = 0, u2 = 0, a1 = 0, a2 = 0, t1 = 0, t2 = 0;
    if (!std::isfinite(second) ||
        eraDtf2d("UTC", year, month, day, hour, minute, second, &u1, &u2) < 0)
        return std::nan("");
    if (eraUtctai(u1, u2, &a1, &a2) < 0 || eraTaitt(a1, a2, &t1, &t2) != 0) return std::nan("");
    return (t1 - ERFA_DJM0) + t2;
}

namespace {
// An MJD (TT) as a two-part UTC Julian date.
bool TTToUTC(double mjd, double* u1, double* u2) {
    double a1 = 0, a2 = 0;
    return std::isfinite(mjd) && eraTttai(ERFA_DJM0, mjd, &a1, &a2) == 0 &&
           eraTaiutc(a1, a2, u1, u2) >= 0;
}
}  // namespace

double UtcMjd(double mjd) {
    double u1 = 0, u2 = 0;
    if (!TTToUTC(mjd, &u1, &u2)) return std::nan("");
    return (u1 - ERFA_DJM0) + u2;
}

std::string UTCText(double mjd) {
    double u1 = 0, u2 = 0;
    int y = 0, mo = 0, d = 0, hmsf[4] = {0, 0, 0, 0};
    if (!TTToUTC(mjd, &u1, &u2) || eraD2dtf("UTC", 0, u1, u2, &y, &mo, &d, hmsf) < 0)
        return std::string();
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, hmsf[0], hmsf[1],
                  hmsf[2]);
    return text;
}

}  // namespace zaq::hostsim
