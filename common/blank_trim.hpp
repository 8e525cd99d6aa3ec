#pragma once
// Names and lines of the inputs come blank-padded to fixed lengths; these
// give them without the blanks (spaces only: tabs and other characters stay).

#include <string>
#include <string_view>

namespace orv {

// The text without its trailing blanks.
inline std::string trim_trailing_blanks(std::string_view s) {
    const size_t end = s.find_last_not_of(' ');
    return std::string(end == std::string_view::npos ? std::string_view() : s.substr(0, end + 1));
}

// The text without its leading and trailing blanks.
inline std::string trim_blanks(std::string_view s) {
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(s.substr(first, s.find_last_not_of(' ') - first + 1));
}

}  // namespace orv
