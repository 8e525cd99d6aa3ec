#include "common/namelist.hpp"

#include <charconv>
#include <string>
#include <vector>

#include "common/run_stop.hpp"

namespace orv {

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

bool is_sep(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\n' || c == '\r'; }

// The whole input as one text with comments removed (outside quotes); each
// record ends with '\n'. A quoted string may go on over several records.
std::string gather(TextInput& in) {
    std::string text;
    std::string_view line;
    char quote = 0;
    while (in.next_line(line)) {
        for (char c : line) {
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '\'' || c == '"') {
                quote = c;
            } else if (c == '!') {
                break;
            }
            text += c;
        }
        text += '\n';
    }
    return text;
}

class Scanner {
public:
    explicit Scanner(const std::string& t) : t_(t) {}
    bool at_end() const { return p_ >= t_.size(); }
    void skip_seps() {
        while (!at_end() && is_sep(t_[p_])) ++p_;
    }
    char peek() const { return t_[p_]; }
    void advance(size_t n = 1) { p_ += n; }
    // A name: letters, digits, underscores, percent signs.
    std::string_view word() {
        size_t s = p_;
        while (!at_end()) {
            char c = t_[p_];
            bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                      c == '%';
            if (!ok) break;
            ++p_;
        }
        return std::string_view(t_).substr(s, p_ - s);
    }
    // The record (line) number of the scan position, counted from 1.
    int64_t line() const {
        int64_t n = 1;
        for (size_t i = 0; i < p_ && i < t_.size(); ++i)
            if (t_[i] == '\n') ++n;
        return n;
    }
    // One value token: a quoted string (possibly preceded by r*) or a run of
    // characters up to a separator, "/" or "=".
    std::string_view value() {
        size_t s = p_;
        while (!at_end()) {
            char c = t_[p_];
            if (c == '\'' || c == '"') {
                ++p_;
                for (;;) {
                    if (at_end()) throw InputError("unterminated quoted string");
                    if (t_[p_] == c) {
                        if (p_ + 1 < t_.size() && t_[p_ + 1] == c) { p_ += 2; continue; }
                        ++p_;
                        break;
                    }
                    ++p_;
                }
                break;
            }
            if (is_sep(c) || c == '/' || c == '=' || c == '&' || c == '$') break;
            ++p_;
        }
        return std::string_view(t_).substr(s, p_ - s);
    }

private:
    const std::string& t_;
    size_t p_ = 0;
};

}  // namespace

void read_namelist(TextInput& in, std::string_view group, std::span<const NamelistItem> items) {
    std::string text = gather(in);
    Scanner sc(text);
    auto error = [&](const std::string& what) { return InputError(what + " on line " + std::to_string(sc.line())); };
    // Find the group.
    for (;;) {
        sc.skip_seps();
        if (sc.at_end()) throw InputError("group &" + std::string(group) + " not found");
        char c = sc.peek();
        sc.advance();
        if (c == '&' || c == '$') {
            std::string_view w = sc.word();
            if (same_name(w, group)) break;
        }
    }
    std::string current = "(none)";
    std::string value;
    for (;;) {
        sc.skip_seps();
        if (sc.at_end()) throw InputError("no closing / after item " + current);
        char c = sc.peek();
        if (c == '/') return;
        if (c == '&' || c == '$') {
            sc.advance();
            std::string_view w = sc.word();
            if (same_name(w, "END")) return;
            throw error("no closing / after item " + current);
        }
        std::string_view name = sc.word();
        bool letter = !name.empty() && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
        if (!letter) {
            if (current == "(none)") throw error("item name expected");
            throw error("bad value for item " + current);
        }
        current = fmt::shown_value(name);
        for (char& ch : current) ch = upper(ch);
        const NamelistItem* item = nullptr;
        for (const auto& it : items)
            if (same_name(it.name, name)) item = &it;
        if (!item) throw error("unknown item " + current);
        while (!sc.at_end() && (sc.peek() == ' ' || sc.peek() == '\t')) sc.advance();
        if (sc.at_end() || sc.peek() != '=') throw error("'=' expected after item " + current);
        sc.advance();
        // Skip blanks and line ends, but not a comma: "name = ," is a null value.
        while (!sc.at_end() && (sc.peek() == ' ' || sc.peek() == '\t' || sc.peek() == '\n')) sc.advance();
        if (sc.at_end()) throw error("no value for item " + current);
        if (sc.peek() == ',' || sc.peek() == '/') continue;  // null value
        std::string_view tok = sc.value();
        if (tok.empty()) throw error("bad value for item " + current);
        // r*v repeats: a scalar takes the value (r*: null); r is 1 or more.
        size_t star = tok.find('*');
        if (star != std::string_view::npos && star > 0 && tok.front() != '\'' && tok.front() != '"' &&
            tok.substr(0, star).find_first_not_of("0123456789") == std::string_view::npos) {
            if (tok.substr(0, star).find_first_not_of('0') == std::string_view::npos)
                throw error("bad repeat count " + fmt::shown_value(tok) + " for item " + current);
            tok = tok.substr(star + 1);
            if (tok.empty()) continue;
        }
        // A record end inside a quoted string is not part of the string.
        value.assign(tok);
        std::erase(value, '\n');
        try {
            assign_list_value(value, item->target);
        } catch (const InputError&) {
            throw error("bad value " + fmt::shown_value(value) + " for item " + current);
        }
        if (item->target.kind == fmt::Target::Kind::Text && item->length > 0) {
            auto& s = *static_cast<std::string*>(item->target.p);
            if (static_cast<int32_t>(s.size()) > item->length) s.resize(static_cast<size_t>(item->length));
        }
    }
}

std::string write_namelist(std::string_view group, std::span<const NamelistItem> items) {
    std::string out = "&" + std::string(group) + "\n";
    for (const auto& it : items) {
        out += " ";
        out += it.name;
        out += " = ";
        using K = fmt::Target::Kind;
        switch (it.target.kind) {
            case K::Int: out += std::to_string(*static_cast<const int32_t*>(it.target.p)); break;
            case K::Float:
            case K::Double: {
                char buf[64];
                double v = it.target.kind == K::Float ? *static_cast<const float*>(it.target.p)
                                                      : *static_cast<const double*>(it.target.p);
                std::to_chars_result r = it.target.kind == K::Float
                                             ? std::to_chars(buf, buf + sizeof buf, static_cast<float>(v))
                                             : std::to_chars(buf, buf + sizeof buf, v);
                std::string s(buf, r.ptr);
                if (s.find_first_of(".eEni") == std::string::npos) s += ".0";
                out += s;
                break;
            }
            case K::Text: {
                std::string s = *static_cast<const std::string*>(it.target.p);
                while (!s.empty() && s.back() == ' ') s.pop_back();
                out += '\'';
                for (char c : s) {
                    out += c;
                    if (c == '\'') out += '\'';
                }
                out += '\'';
                break;
            }
            case K::Bool: out += *static_cast<const bool*>(it.target.p) ? "T" : "F"; break;
        }
        out += ",\n";
    }
    out += " /\n";
    return out;
}

}  // namespace orv
