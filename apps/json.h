// The tool's JSON output: the plans' JSON objects (members keep the order they are written in),
// printed only when every number is finite. JSON has no NaN or infinity; an
// answer that would need one is refused rather than written as null.
#pragma once

#include <cstdio>
#include <string>

#include "zaq/plan_json.h"

namespace zaq::app {

using plan::AllFinite;
using plan::Json;

/// The text of j, indented by two; names are escaped (quotes, backslashes and control bytes),
/// bytes that are not UTF-8 become U+FFFD. Empty when a number is not finite.
inline std::string JsonText(const Json& j) {
    if (!AllFinite(j)) return "";
    return j.dump(2, ' ', false, Json::error_handler_t::replace);
}

/// Prints j on stdout and returns 0; when a number is not finite, prints nothing there, writes
/// "zaq COMMAND: ..." as one line on stderr and returns exit code 2.
inline int PrintJson(const char* command, const Json& j) {
    const std::string text = JsonText(j);
    if (text.empty()) {
        std::fprintf(stderr, "zaq %s: the answer holds a number that is not finite; no JSON\n",
                     command);
        return 2;
    }
    std::printf("%s\n", text.c_str());
    return 0;
}

}  // namespace zaq::app
