// The body record of the solar-system model (internal), shared by the files of its unit csMain:
// configuration and accessors (csMain.cpp), ephemerides and interpolation (csEphemeris.cpp), the
// system analysis (csAnalysis.cpp) and the contents dump (csDump.cpp).
#pragma once

#include <memory>

#include "zaq/host.h"
#include "zaq/orbit.h"
#include "zaq/sol.h"
#include "zaq/vector3.h"

namespace zaq::sol {

constexpr int kNameSize = 24;  // host names fetched with a limit of 23
inline const VECTOR3 kZero{0, 0, 0};

}  // namespace zaq::sol

/// One body of the table.
struct CSol::Body {
    std::unique_ptr<COrbit> conic;  // about the reference; refitted by the interpolation; null
                                    // for the star
    bool ipValid;                   // the interpolation interval holds data
    void* handle;
    void* refHandle;
    VECTOR3 rotAxis;
    int nMinor;
    int firstMinor;  // position of the first minor in the minor table
    int reference;   // -1 for the star
    int flags;
    double soi, baryDispl, deviation, mass, flattening, radius, GM;
    char name[zaq::sol::kNameSize];
    double samples;  // interpolation steps per orbit
    double t0, t1;   // interpolation interval
    VECTOR3 pos0, pos1;
    otk::sAnomaly anomaly;  // the last interpolated query's solution, the next one's start
    double boundary, outerCutoff, innerCutoff, bcEffect, bcTidal, ipEffect, ipTidal, sagitta, dTMax;
    CELBODY* module;  // the host's ephemeris module, null when none
};
