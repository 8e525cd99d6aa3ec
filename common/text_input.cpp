#include "common/text_input.hpp"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/run_stop.hpp"

namespace orv {

bool TextInput::open(const std::string& path) {
    close();
    // Only a regular file is read: a pipe would wait for a writer, and a
    // folder reports a size it cannot fill.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream f(path, std::ios::in | std::ios::binary);
    if (!f) return false;
    // Room for the whole file at once (a monthly oxidant file is tens of
    // megabytes), then read in blocks until the end.
    data_.clear();
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec) data_.reserve(static_cast<size_t>(size));
    char block[1 << 16];
    while (f.read(block, sizeof block) || f.gcount() > 0) data_.append(block, static_cast<size_t>(f.gcount()));
    name_ = path;
    open_ = true;
    return true;
}

void TextInput::attach(std::istream& s, std::string name) {
    close();
    stream_ = &s;
    name_ = std::move(name);
    open_ = true;
}

void TextInput::close() {
    open_ = false;
    data_.clear();
    pos_ = 0;
    stream_ = nullptr;
    line_no_ = 0;
}

bool TextInput::next_line(std::string_view& line) {
    if (!open_) return false;
    if (stream_) {
        if (!std::getline(*stream_, current_)) return false;
        if (!current_.empty() && current_.back() == '\r') current_.pop_back();
        line = current_;
    } else {
        if (pos_ >= data_.size()) return false;
        size_t end = data_.find('\n', pos_);
        if (end == std::string::npos) end = data_.size();
        line = std::string_view(data_).substr(pos_, end - pos_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos_ = end + 1;
    }
    ++line_no_;
    return true;
}

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool ends_token(char c) { return is_blank(c) || c == ',' || c == '/'; }

// Removes the quotes of a quoted token and undoubles inner quotes.
std::string unquote(std::string_view t) {
    char q = t.front();
    std::string out;
    for (size_t i = 1; i < t.size(); ++i) {
        if (t[i] == q) {
            if (i + 1 < t.size() && t[i + 1] == q) {
                out += q;
                ++i;
                continue;
            }
            break;
        }
        out += t[i];
    }
    return out;
}

}  // namespace

void assign_list_value(std::string_view token, const fmt::Target& t) {
    using K = fmt::Target::Kind;
    switch (t.kind) {
        case K::Int: {
            // An integer item takes only an integer form.
            for (char c : token)
                if (!((c >= '0' && c <= '9') || c == '+' || c == '-'))
                    throw InputError("bad integer value '" + fmt::shown_value(token) + "'");
            *static_cast<int32_t*>(t.p) = fmt::parse_int_field(token);
            break;
        }
        case K::Float:
            if (!token.empty() && (token.front() == '\'' || token.front() == '"'))
                throw InputError("bad real value " + fmt::shown_value(token));
            *static_cast<float*>(t.p) = fmt::parse_float_field(token, 0);
            break;
        case K::Double:
            if (!token.empty() && (token.front() == '\'' || token.front() == '"'))
                throw InputError("bad real value " + fmt::shown_value(token));
            *static_cast<double*>(t.p) = fmt::parse_real_field(token, 0);
            break;
        case K::Text:
            if (!token.empty() && (token.front() == '\'' || token.front() == '"'))
                *static_cast<std::string*>(t.p) = unquote(token);
            else
                *static_cast<std::string*>(t.p) = std::string(token);
            break;
        case K::Bool:
            *static_cast<bool*>(t.p) = fmt::parse_logical_field(token);
            break;
    }
}

void list_read(TextInput& in, std::span<const fmt::Target> targets) {
    std::string_view line;
    bool have_line = false;
    size_t pos = 0;
    bool value_needs_separator = false;  // a value was read and no comma has followed it yet
    size_t next = 0;
    int64_t repeat_left = 0;
    std::string repeat_token;  // empty = repeated null
    std::string quoted;

    auto fetch = [&]() {
        if (!in.next_line(line)) throw InputError("end of file");
        have_line = true;
        pos = 0;
    };

    while (next < targets.size()) {
        if (repeat_left > 0) {
            if (!repeat_token.empty()) assign_list_value(repeat_token, targets[next]);
            ++next;
            --repeat_left;
            continue;
        }
        if (!have_line) fetch();
        while (pos < line.size() && is_blank(line[pos])) ++pos;
        if (pos >= line.size()) {
            have_line = false;  // the end of a record separates like a blank
            continue;
        }
        char c = line[pos];
        if (c == ',') {
            ++pos;
            if (value_needs_separator) {
                value_needs_separator = false;
            } else {
                ++next;  // null value: the item keeps its value
            }
            continue;
        }
        if (c == '/') return;  // the rest of the items keep their values
        // A value token.
        std::string_view token;
        if (c == '\'' || c == '"') {
            quoted.assign(1, c);
            size_t i = pos + 1;
            for (;;) {
                if (i >= line.size()) {
                    // A quoted string goes on in the next line.
                    fetch();
                    i = 0;
                    continue;
                }
                if (line[i] == c) {
                    if (i + 1 < line.size() && line[i + 1] == c) {
                        quoted += c;
                        quoted += c;
                        i += 2;
                        continue;
                    }
                    quoted += c;
                    ++i;
                    break;
                }
                quoted += line[i++];
            }
            pos = i;
            token = quoted;
        } else {
            size_t start = pos;
            while (pos < line.size() && !ends_token(line[pos])) ++pos;
            token = line.substr(start, pos - start);
            size_t star = token.find('*');
            if (star != std::string_view::npos && star > 0 &&
                token.substr(0, star).find_first_not_of("0123456789") == std::string_view::npos) {
                int64_t r = 0;
                for (char d : token.substr(0, star)) r = std::min<int64_t>(r * 10 + (d - '0'), 1000000000);
                if (r < 1) throw InputError("bad repeat count '" + fmt::shown_value(token) + "'");
                std::string_view rest = token.substr(star + 1);
                if (!rest.empty() && (rest.front() == '\'' || rest.front() == '"')) {
                    // r*'text': the quoted part may hold blanks; take it whole.
                    size_t i = pos - rest.size() + 1;
                    quoted.assign(1, rest.front());
                    while (i < line.size()) {
                        if (line[i] == rest.front()) {
                            if (i + 1 < line.size() && line[i + 1] == rest.front()) {
                                quoted += line[i];
                                quoted += line[i];
                                i += 2;
                                continue;
                            }
                            quoted += line[i++];
                            break;
                        }
                        quoted += line[i++];
                    }
                    pos = i;
                    repeat_token = quoted;
                } else {
                    repeat_token = std::string(rest);
                }
                repeat_left = r;
                value_needs_separator = true;
                continue;
            }
        }
        assign_list_value(token, targets[next]);
        ++next;
        value_needs_separator = true;
    }
}

}  // namespace orv
