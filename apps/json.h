// The tool's JSON output: objects built with nlohmann::ordered_json (members keep the order they
// are written in), printed only when every number is finite. JSON has no NaN or infinity; an
// answer that would need one is refused rather than written as null.
#pragma once

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

namespace zaq::app {

using Json = nlohmann::ordered_json;

/// A three-vector (anything with members x, y and z) as a JSON array, each component divided by
/// scale (e.g. 1e3 for metres as kilometres).
template <class V>
Json JsonVector(const V& v, double scale = 1) {
    return Json::array({v.x / scale, v.y / scale, v.z / scale});
}

/// True when no number anywhere in j is a NaN or an infinity.
inline bool AllFinite(const Json& j) {
    if (j.is_number_float()) return std::isfinite(j.get<double>());
    if (j.is_structured())
        for (const Json& item : j)
            if (!AllFinite(item)) return false;
    return true;
}

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
