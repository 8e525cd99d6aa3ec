#include "run/control_input.hpp"

#include <charconv>

#include "common/optional_input.hpp"
#include "common/run_stop.hpp"

namespace orv {

namespace layout {
const fmt::Format I1("(I1)");
const fmt::Format I2z("(I2.2)");
const fmt::Format I3("(I3)");
const fmt::Format I4z("(I4.4)");
const fmt::Format F10_1("(F10.1)");
const fmt::Format F10_3("(F10.3)");
const fmt::Format E10_3("(E10.3)");
const fmt::Format ES16_8("(ES16.8)");
const fmt::Format A4("(A4)");
const fmt::Format grid_prompt("(A,I2,A)");
}  // namespace layout

void ControlInput::open(std::string_view run_suffix, std::istream& keyboard, TextOut& console) {
    console_ = &console;
    std::string name = run_suffix.empty() ? std::string("CONTROL") : "CONTROL." + std::string(run_suffix);
    // Something other than a readable file at the name stops the run: the
    // keyboard is only for a directory without a control file.
    const InputState state = input_state(name);
    if (state != InputState::absent) {
        if (state == InputState::unreadable || !in_.open(name))
            unreadable_input_stop(name, "main", console, kStopInput);
        unit_ = kControlFileUnit;
        return;
    }
    unit_ = kKeyboardUnit;
    in_.attach(keyboard, "keyboard input");
    if (!startup_.open("STARTUP", "main", console)) {
        console.list("*ERROR* main: unable to create file - STARTUP");
        throw RunStop(kStopInput);
    }
}

void ControlInput::close() {
    in_.close();
    startup_.close();
    unit_ = 0;
}

void ControlInput::fail(std::string_view routine, std::string_view what, const std::string& why) {
    input_stop(routine, in_.name(), in_.line_number(), why + " reading " + std::string(what), *console_);
}

void ControlInput::refuse(std::string_view routine, const std::string& why) {
    input_stop(routine, in_.name(), in_.line_number(), why, *console_);
}

void ControlInput::list_targets(std::string_view routine, std::string_view what, std::span<const fmt::Target> targets) {
    try {
        list_read(in_, targets);
    } catch (const InputError& e) {
        fail(routine, what, e.what());
    }
}

std::string_view ControlInput::next_line(std::string_view routine, std::string_view what) {
    std::string_view line;
    if (!in_.next_line(line)) fail(routine, what, "end of file");
    return line.substr(0, 80);
}

size_t ControlInput::field_targets(std::string_view routine, std::string_view what,
                                   std::span<const fmt::Target> targets) {
    std::string_view line = next_line(routine, what);
    // A field must start before the end column: column 80, or the column
    // before a '#' (0-based, exclusive bound below).
    size_t end = 79;
    size_t hash = line.find('#');
    if (hash != std::string_view::npos && hash > 0) {
        if (hash == 1) return 0;  // '#' in column 2: nothing is read
        end = hash - 1;
    }
    size_t pos = 0, assigned = 0, given = 0;
    auto separator = [](char c) { return c == ' ' || c == '\t' || c == ','; };
    while (assigned < targets.size() && assigned < 5) {
        while (pos < line.size() && separator(line[pos])) ++pos;
        if (pos >= line.size() || pos >= end) break;
        size_t start = pos;
        // The field runs to the next blank or comma, past a '#' if need be.
        while (pos < line.size() && !separator(line[pos])) ++pos;
        std::string_view token = line.substr(start, pos - start);
        // A slash ends a free-format read: the value before it (if any) is
        // taken, and a field that begins with one leaves its value unchanged.
        token = token.substr(0, token.find('/'));
        try {
            if (!token.empty()) {
                assign_list_value(token, targets[assigned]);
                ++given;
            }
        } catch (const InputError& e) {
            fail(routine, what, e.what());
        }
        ++assigned;
    }
    return given;
}

std::string ControlInput::whole_line(std::string_view routine, std::string_view what) {
    std::string_view line = next_line(routine, what);
    size_t b = line.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    size_t e = line.find_last_not_of(" \t");
    return std::string(line.substr(b, e - b + 1));
}

namespace {

std::string free_form(const fmt::Value& v) {
    using K = fmt::Value::Kind;
    char buf[64];
    switch (v.kind) {
        case K::Int: return std::to_string(v.i);
        case K::Float: {
            auto r = std::to_chars(buf, buf + sizeof buf, static_cast<float>(v.r));
            return std::string(buf, r.ptr);
        }
        case K::Double: {
            auto r = std::to_chars(buf, buf + sizeof buf, v.r);
            return std::string(buf, r.ptr);
        }
        case K::Text: return std::string(v.s);
        case K::Bool: return v.i ? "T" : "F";
    }
    return {};
}

}  // namespace

void ControlInput::echo(std::initializer_list<EchoField> fields) {
    if (!keyboard()) return;
    std::string line;
    bool first = true;
    for (const EchoField& f : fields) {
        std::string s = fmt::write(f.layout, f.value);
        s.pop_back();
        bool overflow = s.find('*') != std::string::npos && f.value.kind != fmt::Value::Kind::Text;
        if (overflow || (!first && (s.empty() || s[0] != ' '))) s = " " + free_form(f.value);
        line += s;
        first = false;
    }
    startup_.line(line);
}

void ControlInput::echo_text(std::string_view text) {
    if (keyboard()) startup_.line(text);
}

std::string relative_start_refusal(std::string_view what, size_t given) {
    return "relative " + std::string(what) + " (month 0) with " + std::to_string(given) + " of its " +
           std::to_string(kDateValues) + " values: a start counted from the run start needs year, month, day, hour "
           "and minute";
}

void prompt_grid(const ControlInput& ctl, int32_t g, std::string_view text, std::string_view current) {
    if (!ctl.keyboard()) return;
    std::string p = fmt::write(layout::grid_prompt, " Enter grid #", g, text);
    p.pop_back();
    ctl.console().line(p);
    ctl.console().list(current);
}

}  // namespace orv
