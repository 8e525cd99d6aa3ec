#pragma once
// A number in a message line: up to 7 significant digits, no trailing zeros
// ("1e+36", "-2", "0.1"), as the refusals of input values name them.

#include <cstdio>
#include <string>

namespace orv {

inline std::string number_text(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7g", v);
    return buf;
}

}  // namespace orv
