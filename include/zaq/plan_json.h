// The plans as JSON objects, the same for every caller (the zaq tool's --json, the Python
// package's to_dict): numbers in SI units unless a member's name says otherwise (_km, _deg,
// _days, ...), dates as MJD (TT) with their UTC text. Needs nlohmann-json.
#pragma once

#include <nlohmann/json.hpp>

#include "zaq/plan.h"

namespace zaq::plan {

/// Objects whose members keep the order they are written in.
using Json = nlohmann::ordered_json;

/// True when no number anywhere in j is a NaN or an infinity (JSON has neither).
bool AllFinite(const Json& j);

/// A date: {"mjd", "utc"}.
Json DateJson(double mjd);

/// A transfer plan: the arc, the ejection or ignition, and with an engine the finite burn and
/// its flown pass.
Json TransferJson(const TransferPlan& plan);

/// One transfer type's least-C3 cell of a grid (way 0 the short way, 1 the long way).
Json PorkchopMinimumJson(const PorkchopGrid& grid, int way);
/// A grid's summary: bodies, size, solver, ways, converged cells and each type's minimum.
Json PorkchopJson(const PorkchopGrid& grid);

/// One event of a flight.
Json FlyEventJson(const FlyEvent& event);
/// A flight's summary: its orbit (from the request), steps, events and the node's drift.
Json FlightJson(const FlightRecord& flight, const FlyRequest& request);

/// A body's state about its reference.
Json StateJson(const State& state);

}  // namespace zaq::plan
