#pragma once
// Text output: free-format ("list-directed") lines and formatted records, to
// the console or to a text file.
//
// A free-format line begins with one blank; integers take 12 columns, reals a
// 15-column general format (G15.7), text is written as it stands and logical
// values as T or F; a text item that follows a number or a logical value is
// set off from it by one blank. Every message of the system is written this
// way.

#include <fstream>
#include <iostream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "common/fortran_format.hpp"

namespace orv {

// Appends one free-format item to a line being built. `after_value` tells
// whether the item before was a number or a logical value (false at the start
// of a line); it is updated for the next item.
void append_list_item(std::string& line, const fmt::Value& v, bool& after_value);

template <typename... Args>
std::string list_line(const Args&... args) {
    std::string line = " ";
    bool after_value = false;
    (append_list_item(line, fmt::Value(args), after_value), ...);
    return line;
}

class TextOut {
public:
    TextOut() = default;
    // Opens (creating or emptying) the file. Returns false when it cannot be opened.
    bool open(const std::string& path);
    // Writes to a stream the caller owns (the console, or a test's buffer).
    void attach(std::ostream& s) {
        owned_.reset();
        out_ = &s;
    }
    bool is_open() const { return out_ != nullptr; }
    void close();
    const std::string& path() const { return path_; }

    template <typename... Args>
    void list(const Args&... args) {
        line(list_line(args...));
    }
    template <typename... Args>
    void put(const fmt::Format& f, const Args&... args) {
        raw(fmt::write(f, args...));
    }
    void line(std::string_view s);
    void raw(std::string_view s);
    void flush();

private:
    std::unique_ptr<std::ofstream> owned_;
    std::ostream* out_ = nullptr;
    std::string path_;
};

// A line written to the console exactly as given (a formatted record).
inline void console_line(std::string_view s) {
    std::cout.write(s.data(), static_cast<std::streamsize>(s.size()));
    std::cout.put('\n');
}

// The console: standard output.
template <typename... Args>
void console(const Args&... args) {
    TextOut out;
    out.attach(std::cout);
    out.list(args...);
}

}  // namespace orv
