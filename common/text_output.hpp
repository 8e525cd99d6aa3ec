#pragma once
// Text output: free-format ("list-directed") lines and formatted records, to
// a text file or to a stream the caller owns (the run's console).
//
// A free-format line begins with one blank; integers take 12 columns, reals a
// 15-column general format (G15.7), text is written as it stands and logical
// values as T or F; a text item that follows a number or a logical value is
// set off from it by one blank. Every message of the system is written this
// way.

#include <fstream>
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

// A text file or a stream. Every write, flush and close of a file is checked:
// a failure (a full disk, a file system error) is written to the console the
// file was opened with and stops the run through output_stop. Streams
// attached by the caller (the console itself, a test's buffer) are not
// checked, so reporting a failure never reports another.
class TextOut {
public:
    TextOut() = default;
    // Writes to a stream the caller owns (see attach).
    explicit TextOut(std::ostream& s) : out_(&s) {}
    // Closes a file still open; a failure found here is reported, never thrown.
    ~TextOut();
    TextOut(TextOut&& o) noexcept;
    TextOut& operator=(TextOut&& o) noexcept;
    TextOut(const TextOut&) = delete;
    TextOut& operator=(const TextOut&) = delete;

    // Opens (creating or emptying) the file. A failed write is reported to
    // `console`, naming `routine` and the file; the console must outlive this
    // file (the run's console outlives every file of the run). Returns false
    // when the file cannot be opened.
    bool open(const std::string& path, std::string_view routine, TextOut& console);
    // Writes to a stream the caller owns (the console, or a test's buffer).
    void attach(std::ostream& s) {
        discard();
        out_ = &s;
    }
    bool is_open() const { return out_ != nullptr; }
    // Flushes and closes the file; a failure stops the run.
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
    // A file whose stream has failed stops the run (once).
    void check() {
        if (owned_ && owned_->fail()) fail();
    }
    void fail();
    // Closes without throwing: a failure is only reported.
    void discard() noexcept;

    std::unique_ptr<std::ofstream> owned_;
    std::ostream* out_ = nullptr;
    std::string path_;
    std::string routine_;
    TextOut* console_ = nullptr;  // where a failed write is reported; set by open
    bool failed_ = false;         // the failure has been reported
};

}  // namespace orv
