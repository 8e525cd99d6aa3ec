#pragma once
// Namelist files: "&GROUP" (or "$GROUP", any case), then "item = value" pairs
// in any order and case, separated by commas, blanks or line ends, ended by
// "/", "&END" or "$END". Values take the free-format forms (quoted strings,
// Fortran real forms, r*v repeats, T/F); "!" starts a comment. Groups other
// than the one asked for are skipped.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/fortran_format.hpp"
#include "common/text_input.hpp"

namespace orv {

struct NamelistItem {
    std::string_view name;  // as written in the group, upper case
    fmt::Target target;
    int32_t length = 0;     // declared length of a text item (0 = any)
};

// Reads the group from the input. Throws InputError naming the item and its
// line on an unknown item or a bad value (a repeat count of 0, a real beyond
// the range of its type, Inf or NaN text included), and when the group or its
// closing "/" is missing. A quoted string may go on over several lines; the
// line ends are not part of it.
void read_namelist(TextInput& in, std::string_view group, std::span<const NamelistItem> items);

// The group in namelist form: "&GROUP", one " NAME = value," line per item, " /".
std::string write_namelist(std::string_view group, std::span<const NamelistItem> items);

}  // namespace orv
