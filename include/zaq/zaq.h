// All of the library's public headers.
#pragma once

#include "zaq/adaptors.h"
#include "zaq/constants.h"
#include "zaq/flight.h"
#include "zaq/foundation.h"
#include "zaq/guidance.h"
#include "zaq/host.h"
#include "zaq/lambert.h"
#include "zaq/linalg.h"
#include "zaq/orbit.h"
#include "zaq/sol.h"
#include "zaq/solvers.h"
#include "zaq/vector3.h"
