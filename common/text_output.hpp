#pragma once
// Text output: free-format ("list-directed") lines and formatted records, to
// a text file or to a stream the caller owns (the run's console).
//
// A free-format line begins with one blank; integers take 12 columns, reals a
// 15-column general format (G15.7), text is written as it stands and logical
// values as T or F. Every message of the system is written this way.

#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "common/fortran_format.hpp"

namespace orv {

// Appends one free-format item to a line being built.
void append_list_item(std::string& line, const fmt::Value& v);

template <typename... Args>
std::string list_line(const Args&... args) {
    std::string line = " ";
    (append_list_item(line, fmt::Value(args)), ...);
    return line;
}

class TextOut {
public:
    TextOut() = default;
    // Writes to a stream the caller owns (see attach).
    explicit TextOut(std::ostream& s) : out_(&s) {}
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

}  // namespace orv
