#pragma once
// The control input: the file "CONTROL" (unit 74), or answers typed at the
// console (unit 5) that are copied to "STARTUP" (unit 71) in control-file form
// so that the run can be repeated from that file.
//
// Every reader presets its defaults before a record is read: a value that a
// record leaves out keeps its default.

#include <cstdint>
#include <initializer_list>
#include <istream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/fortran_format.hpp"
#include "common/text_input.hpp"
#include "common/text_output.hpp"
#include "common/work_array.hpp"

namespace orv {

inline constexpr int32_t kControlFileUnit = 74;
inline constexpr int32_t kKeyboardUnit = 5;

// The fixed fields of the STARTUP copy and the keyboard prompts.
namespace layout {
extern const fmt::Format I1;
extern const fmt::Format I2z;  // two digits with leading zeros
extern const fmt::Format I3;
extern const fmt::Format I4z;
extern const fmt::Format F10_1;
extern const fmt::Format F10_3;
extern const fmt::Format E10_3;
extern const fmt::Format ES16_8;  // nine significant digits: a 32-bit real read back unchanged
extern const fmt::Format A4;
extern const fmt::Format grid_prompt;  // " Enter grid #", number, text
}  // namespace layout

// One value echoed to STARTUP in its fixed field (a format such as "(I3)").
struct EchoField {
    fmt::Value value;
    const fmt::Format& layout;
};

class ControlInput {
public:
    // Opens the control file when it exists, else the keyboard (standard
    // input) with "STARTUP" for the copy. `keyboard` is the stream read in
    // keyboard mode (standard input in a run); the prompts, and the messages
    // of the readers of the control input, go to `console`.
    void open(std::string_view run_suffix, std::istream& keyboard, TextOut& console);
    int32_t unit() const { return unit_; }
    TextOut& console() const { return *console_; }
    bool keyboard() const { return unit_ == kKeyboardUnit; }
    const std::string& name() const { return in_.name(); }
    void close();

    // Free-format read of one record (the first values of the line; a record
    // may continue on further lines). Bad input stops the run with a message
    // naming the routine, the record and the line.
    void list_targets(std::string_view routine, std::string_view what, std::span<const fmt::Target> targets);
    template <typename... Args>
    void list(std::string_view routine, std::string_view what, Args&... args) {
        const fmt::Target t[] = {fmt::Target(args)...};
        list_targets(routine, what, std::span<const fmt::Target>(t, sizeof...(Args)));
    }

    // One line of up to 5 blank- or comma-separated fields, with the comment
    // rules of the control file: a '#' in column 2 makes an empty line, a
    // '#' elsewhere (but in column 1) ends the line before it. Returns the
    // number of values the line gave (the targets beyond keep their values).
    size_t field_targets(std::string_view routine, std::string_view what, std::span<const fmt::Target> targets);
    template <typename... Args>
    size_t fields(std::string_view routine, std::string_view what, Args&... args) {
        const fmt::Target t[] = {fmt::Target(args)...};
        return field_targets(routine, what, std::span<const fmt::Target>(t, sizeof...(Args)));
    }

    // The next line as it stands, cut at column 80.
    std::string_view raw_line(std::string_view routine, std::string_view what) { return next_line(routine, what); }

    // A whole line (80 characters) with leading and trailing blanks removed.
    std::string whole_line(std::string_view routine, std::string_view what);

    // Stops the run with code 900 after "*ERROR* <routine>: <why>" naming the
    // control input and the line last read: a value read whole but refused.
    [[noreturn]] void refuse(std::string_view routine, const std::string& why);

    // Keyboard mode only: copies the values to STARTUP, each in its fixed
    // field; a value that does not fit its field, or would run into the value
    // before it, is written in free format instead.
    void echo(std::initializer_list<EchoField> fields);
    void echo_text(std::string_view text);
    // Keyboard mode only: copies the values to STARTUP as one free-format line.
    template <typename... Args>
    void echo_list(const Args&... args) {
        if (keyboard()) echo_text(list_line(args...));
    }

private:
    [[noreturn]] void fail(std::string_view routine, std::string_view what, const std::string& why);
    std::string_view next_line(std::string_view routine, std::string_view what);

    int32_t unit_ = 0;
    TextOut* console_ = nullptr;
    TextInput in_;
    TextOut startup_;
};

// The values of a date line: year, month, day, hour, minute.
inline constexpr size_t kDateValues = 5;

// Why a start line with month 0 (counted from the run start) that gives only
// `given` values cannot be taken: the values left out would default to the
// run start's, which is then added to them once more. `what` names the line
// ("release start of pollutant HG0").
std::string relative_start_refusal(std::string_view what, size_t given);

// Adds one default record to a table that grows with the records read (a
// count read from the input never sizes a table by itself). A failed
// allocation stops the run with the table's allocation label.
template <typename T>
void grow_table(std::vector<T>& table, std::string_view label, TextOut& console) {
    grow_or_stop(kAllocPrefix, label, console, [&] { table.emplace_back(); });
}

// Keyboard prompts: a prompt line, then the current values on one line.
template <typename... Args>
void prompt(const ControlInput& ctl, std::string_view text, const Args&... current) {
    if (!ctl.keyboard()) return;
    ctl.console().list(text);
    if constexpr (sizeof...(Args) > 0) ctl.console().list(current...);
}

// Keyboard prompt for a directory or file line of grid g: " Enter grid #",
// the number in 2 columns and the text, then the current value after a blank.
void prompt_grid(const ControlInput& ctl, int32_t g, std::string_view text, std::string_view current);

}  // namespace orv
