#pragma once
// Line sources for the text readers, and the free-format ("list-directed")
// reader that takes values from them.
//
// A file is read into memory whole; the console (or a pipe) is read one line
// at a time, only when a read needs it. Trailing carriage returns are dropped.

#include <cstdint>
#include <istream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/fortran_format.hpp"

namespace orv {

class TextInput {
public:
    TextInput() = default;
    // Reads the whole file. Returns false when it is not a regular file or
    // cannot be opened.
    bool open(const std::string& path);
    // Reads lines from a stream as they are asked for (keyboard input).
    void attach(std::istream& s, std::string name);
    bool is_open() const { return open_; }
    void close();

    // The next line, or false at the end of the input.
    bool next_line(std::string_view& line);
    const std::string& name() const { return name_; }
    int64_t line_number() const { return line_no_; }

private:
    bool open_ = false;
    std::string name_;
    std::string data_;
    size_t pos_ = 0;
    std::istream* stream_ = nullptr;
    std::string current_;
    int64_t line_no_ = 0;
};

// One free-format read statement: values are separated by blanks, commas or
// tabs; a quoted string may hold separators and doubled quotes; "r*v" repeats
// a value and "r*" gives r null values; a null value leaves its item as it
// was; "/" ends the read and leaves the remaining items as they were. The read
// takes as many lines as it needs and drops the rest of its last line.
// Throws InputError on a malformed value and at the end of the input.
void list_read(TextInput& in, std::span<const fmt::Target> targets);

template <typename... Args>
void list_read(TextInput& in, Args&... args) {
    const fmt::Target targets[] = {fmt::Target(args)...};
    list_read(in, std::span<const fmt::Target>(targets, sizeof...(Args)));
}

// Assigns one free-format value token (already cut from its line, quotes
// included for text) to a target. Throws InputError when it does not fit.
void assign_list_value(std::string_view token, const fmt::Target& target);

}  // namespace orv
