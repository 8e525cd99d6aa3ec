#pragma once
// A number in a message line: the fewest digits that read back as the same
// value ("1e+36", "-2", "0.1", "1.0000001e+20"), so that a refused value is
// never shown equal to the limit it broke.

#include <charconv>
#include <cmath>
#include <string>

namespace orv {

inline std::string number_text(double v) {
    char buf[40];
    // Most values come from single-precision inputs: their shortest form is
    // that of the float, not of its exact double expansion.
    const float f = static_cast<float>(v);
    const bool is_float = std::isfinite(v) ? static_cast<double>(f) == v : true;
    const auto r = is_float ? std::to_chars(buf, buf + sizeof buf, f) : std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

}  // namespace orv
