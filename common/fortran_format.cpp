#include "common/fortran_format.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "common/run_stop.hpp"

namespace orv::fmt {

// ---------------------------------------------------------------- parsing

namespace {

// Limits of what a format may ask for. Formats are program text, but nothing
// in one may make the formatter read past a buffer, recurse or loop without
// end, or build a record of unbounded length.
constexpr int32_t kMaxDecimals = 100;         // d of Fw.d, Ew.d, ESw.d, Dw.d, Gw.d
constexpr int32_t kMaxExponentDigits = 9;      // e of Ew.dEe
constexpr int kMaxGroupDepth = 15;             // nested parentheses inside the outer pair
constexpr int64_t kMaxRepeatProduct = 1000000;  // repeat counts multiplied over the nesting
constexpr int32_t kMaxRecordLength = 1 << 24;  // columns of one record, read or written
constexpr int kMaxLoopDepth = 32;              // run-time group stack (a repeated descriptor adds one level)

class Parser {
public:
    explicit Parser(std::string_view s) : s_(s) {}

    std::vector<Step> run(size_t& revert, bool& has_data) {
        skip_blanks();
        bool outer = !at_end() && s_[pos_] == '(';
        if (outer) ++pos_;
        list(outer ? ')' : '\0', 0);
        if (outer) expect(')');
        skip_blanks();
        if (!at_end()) fail("text after the closing parenthesis");
        revert = last_top_group_;
        has_data = has_data_;
        return std::move(steps_);
    }

private:
    [[noreturn]] void fail(const char* what) const {
        throw std::invalid_argument("format \"" + std::string(s_) + "\": " + what);
    }
    bool at_end() const { return pos_ >= s_.size(); }
    void skip_blanks() {
        while (!at_end() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
    }
    void expect(char c) {
        skip_blanks();
        if (at_end() || s_[pos_] != c) fail("missing parenthesis");
        ++pos_;
    }
    bool digit() const { return !at_end() && s_[pos_] >= '0' && s_[pos_] <= '9'; }
    int32_t number() {
        skip_blanks();
        if (!digit()) fail("number expected");
        int32_t v = 0;
        while (digit()) {
            v = v * 10 + (s_[pos_] - '0');
            if (v > 1000000) fail("number too large");
            ++pos_;
        }
        return v;
    }
    char upper() const {
        char c = s_[pos_];
        return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    }

    void list(char close, int depth) {
        if (depth > kMaxGroupDepth) fail("groups nested too deeply");
        for (;;) {
            skip_blanks();
            if (at_end()) {
                if (close) fail("missing parenthesis");
                return;
            }
            if (s_[pos_] == close) return;
            if (s_[pos_] == ',') { ++pos_; continue; }
            item(depth);
        }
    }

    void item(int depth) {
        skip_blanks();
        int32_t repeat = -1;
        if (digit()) repeat = number();
        skip_blanks();
        if (at_end()) fail("descriptor expected");
        char c = upper();
        const int64_t outer = weight_;
        if (repeat > 1) {
            weight_ *= repeat;
            if (weight_ > kMaxRepeatProduct) fail("repeat counts too large");
        }
        if (c == '(') {
            ++pos_;
            size_t open = steps_.size();
            if (depth == 0) last_top_group_ = open;
            steps_.push_back(Step{Op::Open, repeat < 0 ? 1 : repeat});
            list(')', depth + 1);
            expect(')');
            weight_ = outer;
            steps_.push_back(Step{Op::Close, static_cast<int32_t>(open)});
            return;
        }
        if (c == '\'' || c == '"') {
            char q = s_[pos_++];
            std::string text;
            for (;;) {
                if (at_end()) fail("unterminated literal");
                if (s_[pos_] == q) {
                    if (pos_ + 1 < s_.size() && s_[pos_ + 1] == q) {
                        text += q;
                        pos_ += 2;
                        continue;
                    }
                    ++pos_;
                    break;
                }
                text += s_[pos_++];
            }
            Step st{Op::Literal};
            st.text = std::move(text);
            steps_.push_back(std::move(st));
            weight_ = outer;
            return;
        }
        if (c == '/') {
            ++pos_;
            for (int32_t k = 0; k < (repeat < 0 ? 1 : repeat); ++k) steps_.push_back(Step{Op::Slash});
            weight_ = outer;
            return;
        }
        if (c == 'X') {
            ++pos_;
            steps_.push_back(Step{Op::Skip, repeat < 0 ? 1 : repeat});
            weight_ = outer;
            return;
        }
        if (c == 'T') {
            ++pos_;
            skip_blanks();
            Op op = Op::Tab;
            if (!at_end() && upper() == 'L') { op = Op::Back; ++pos_; }
            else if (!at_end() && upper() == 'R') { op = Op::Skip; ++pos_; }
            steps_.push_back(Step{op, number()});
            weight_ = outer;
            return;
        }
        Step st{Op::Int};
        ++pos_;
        switch (c) {
            case 'I': st.op = Op::Int; break;
            case 'F': st.op = Op::Fixed; break;
            case 'D': st.op = Op::Exp; break;
            case 'G': st.op = Op::General; break;
            case 'A': st.op = Op::Chars; break;
            case 'L': st.op = Op::Logical; break;
            case 'E':
                st.op = Op::Exp;
                if (!at_end() && upper() == 'S') { st.op = Op::Sci; ++pos_; }
                break;
            default: fail("unknown descriptor");
        }
        st.d = -1;
        skip_blanks();
        if (digit()) {
            st.w = number();
            skip_blanks();
            if (!at_end() && s_[pos_] == '.') {
                ++pos_;
                st.d = number();
                skip_blanks();
                if (!at_end() && upper() == 'E' && (st.op == Op::Exp || st.op == Op::Sci || st.op == Op::General)) {
                    ++pos_;
                    st.e = number();
                }
            }
        } else if (st.op != Op::Chars) {
            fail("width expected");
        }
        if (st.op == Op::Int && st.d < 0) st.d = -1;
        if ((st.op == Op::Fixed || st.op == Op::Exp || st.op == Op::Sci || st.op == Op::General) && st.d < 0)
            fail("decimal count expected");
        if (st.d > kMaxDecimals) fail("too many decimals");
        if (st.e > kMaxExponentDigits) fail("too many exponent digits");
        weight_ = outer;
        has_data_ = true;
        if (repeat > 1) {
            size_t open = steps_.size();
            steps_.push_back(Step{Op::Open, repeat});
            steps_.push_back(st);
            steps_.push_back(Step{Op::Close, static_cast<int32_t>(open)});
        } else {
            steps_.push_back(st);
        }
    }

    std::string_view s_;
    size_t pos_ = 0;
    std::vector<Step> steps_;
    size_t last_top_group_ = 0;
    bool has_data_ = false;
    int64_t weight_ = 1;  // product of the repeat counts around the current item
};

}  // namespace

Format::Format(std::string_view spec) {
    Parser p(spec);
    steps_ = p.run(revert_, has_data_);
}

// ---------------------------------------------------------------- output fields

namespace {

// The decimals and exponent digits of one real field, checked before a
// buffer is sized by them.
void check_real_field(int32_t w, int32_t d, int32_t e) {
    if (w < 0 || w > kMaxRecordLength) throw std::invalid_argument("field width out of range");
    if (d < 0 || d > kMaxDecimals) throw std::invalid_argument("decimal count out of range");
    if (e < 0 || e > kMaxExponentDigits) throw std::invalid_argument("exponent digit count out of range");
}

std::string stars(int32_t w) { return std::string(static_cast<size_t>(w < 0 ? 0 : w), '*'); }

std::string right(std::string_view s, int32_t w) {
    if (static_cast<int32_t>(s.size()) > w) return stars(w);
    return std::string(static_cast<size_t>(w) - s.size(), ' ') + std::string(s);
}

// Decimal digits and exponent of |v| rounded to `digits` significant digits:
// |v| ~ 0.DIGITS x 10^exp10. Zero gives all zeros and exponent 0.
void significant(double v, int32_t digits, std::string& out, int32_t& exp10) {
    v = std::fabs(v);
    if (v == 0.0) {
        out.assign(static_cast<size_t>(digits), '0');
        exp10 = 0;
        return;
    }
    char buf[512];
    int n = std::snprintf(buf, sizeof buf, "%.*e", digits - 1, v);
    // buf: d[.ddd]e[+-]xx
    out.clear();
    int i = 0;
    for (; i < n && buf[i] != 'e'; ++i)
        if (buf[i] != '.') out += buf[i];
    exp10 = std::atoi(buf + i + 1) + 1;
}

}  // namespace

std::string format_int(int64_t v, int32_t w, int32_t m) {
    if (w < 0 || w > kMaxRecordLength || m > kMaxRecordLength) throw std::invalid_argument("field width out of range");
    if (m == 0 && v == 0) return std::string(static_cast<size_t>(w), ' ');
    std::string digits = std::to_string(v < 0 ? -(v + 1) + 1ULL : static_cast<uint64_t>(v));
    if (m > 0 && static_cast<int32_t>(digits.size()) < m)
        digits.insert(0, static_cast<size_t>(m) - digits.size(), '0');
    if (v < 0) digits.insert(0, 1, '-');
    return right(digits, w);
}

std::string format_fixed(double v, int32_t w, int32_t d) {
    check_real_field(w, d, 0);
    if (std::isnan(v)) return right("NaN", w);
    if (std::isinf(v)) return right(v < 0 ? "-Inf" : "Inf", w);
    if (std::fabs(v) >= 1e300) return stars(w);
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", d, v);
    std::string s(buf);
    if (d == 0) s += '.';
    if (static_cast<int32_t>(s.size()) > w) {
        // Drop the optional leading zero before the decimal point.
        size_t z = (s[0] == '-') ? 1 : 0;
        if (s.size() > z + 1 && s[z] == '0' && s[z + 1] == '.') s.erase(z, 1);
    }
    return right(s, w);
}

std::string format_exp(double v, int32_t w, int32_t d, int32_t e, bool scientific) {
    check_real_field(w, d, e);
    if (std::isnan(v)) return right("NaN", w);
    if (std::isinf(v)) return right(v < 0 ? "-Inf" : "Inf", w);
    std::string digits;
    int32_t exp10 = 0;
    significant(v, scientific ? d + 1 : d, digits, exp10);
    int32_t shown = scientific ? exp10 - 1 : exp10;
    if (v == 0.0) shown = 0;
    std::string mant;
    if (std::signbit(v) && v != 0.0) mant += '-';
    if (scientific) {
        mant += digits[0];
        mant += '.';
        mant.append(digits, 1, std::string::npos);
    } else {
        mant += "0.";
        mant += digits;
    }
    int32_t ae = shown < 0 ? -shown : shown;
    std::string ex;
    if (e > 0) {
        std::string ed = std::to_string(ae);
        if (static_cast<int32_t>(ed.size()) > e) return stars(w);
        ex = std::string("E") + (shown < 0 ? '-' : '+') + std::string(static_cast<size_t>(e) - ed.size(), '0') + ed;
    } else if (ae <= 99) {
        char b[8];
        std::snprintf(b, sizeof b, "E%c%02d", shown < 0 ? '-' : '+', ae);
        ex = b;
    } else if (ae <= 999) {
        char b[8];
        std::snprintf(b, sizeof b, "%c%03d", shown < 0 ? '-' : '+', ae);
        ex = b;
    } else {
        return stars(w);
    }
    std::string s = mant + ex;
    if (static_cast<int32_t>(s.size()) > w && !scientific) {
        size_t z = (s[0] == '-') ? 1 : 0;
        s.erase(z, 1);  // the optional leading zero
    }
    return right(s, w);
}

std::string format_general(double v, int32_t w, int32_t d, int32_t e) {
    check_real_field(w, d, e);
    if (std::isnan(v) || std::isinf(v)) return format_fixed(v, w, d);
    int32_t n = e > 0 ? e + 2 : 4;  // blanks standing in for the exponent
    if (v == 0.0) {
        if (w - n < 1) return stars(w);
        return format_fixed(v, w - n, d > 0 ? d - 1 : 0) + std::string(static_cast<size_t>(n), ' ');
    }
    std::string digits;
    int32_t k = 0;
    significant(v, d, digits, k);
    if (k >= 0 && k <= d) {
        if (w - n < 1) return stars(w);
        return format_fixed(v, w - n, d - k) + std::string(static_cast<size_t>(n), ' ');
    }
    return format_exp(v, w, d, e, false);
}

// ---------------------------------------------------------------- running a format

namespace {

// The groups a read or write is inside, innermost last, each with the
// repeats it has left.
class GroupStack {
public:
    // At an opening parenthesis (steps[pc]): enters the group, or passes
    // over it when its repeat count is zero. Moves pc past what it took.
    void open(const std::vector<Step>& steps, size_t& pc) {
        if (depth_ == kMaxLoopDepth) throw std::invalid_argument("format nested too deeply");
        stack_[depth_++] = Loop{pc, steps[pc].w};
        if (steps[pc].w <= 0) {  // a zero repeat skips the group
            int32_t level = 0;
            while (++pc < steps.size()) {
                if (steps[pc].op == Op::Open) ++level;
                if (steps[pc].op == Op::Close && level-- == 0) break;
            }
            --depth_;
        }
        ++pc;
    }
    // At a closing parenthesis: back to the group's start while repeats
    // remain, else on past it.
    void close(size_t& pc) {
        Loop& l = stack_[depth_ - 1];
        if (--l.left > 0) {
            pc = l.open + 1;
        } else {
            --depth_;
            ++pc;
        }
    }
    void clear() { depth_ = 0; }

private:
    struct Loop {
        size_t open;
        int32_t left;
    };
    Loop stack_[kMaxLoopDepth];
    int depth_ = 0;
};

}  // namespace

// ---------------------------------------------------------------- writing

namespace {

class RecordOut {
public:
    explicit RecordOut(std::string& out) : out_(out) {}
    void put(std::string_view s) {
        if (static_cast<int64_t>(pos_) + static_cast<int64_t>(s.size()) > kMaxRecordLength)
            throw std::invalid_argument("format record too long");
        if (pos_ > static_cast<int32_t>(rec_.size())) rec_.append(static_cast<size_t>(pos_) - rec_.size(), ' ');
        if (pos_ == static_cast<int32_t>(rec_.size())) {
            rec_.append(s);
        } else {
            rec_.replace(static_cast<size_t>(pos_), std::min(s.size(), rec_.size() - static_cast<size_t>(pos_)), s);
        }
        pos_ += static_cast<int32_t>(s.size());
    }
    void move(int32_t delta) {
        int64_t p = static_cast<int64_t>(pos_) + delta;
        if (p > kMaxRecordLength) throw std::invalid_argument("format record too long");
        pos_ = static_cast<int32_t>(std::max<int64_t>(0, p));
    }
    void tab(int32_t col) { pos_ = std::max(0, col - 1); }
    void end_record() {
        out_ += rec_;
        out_ += '\n';
        rec_.clear();
        pos_ = 0;
    }

private:
    std::string& out_;
    std::string rec_;
    int32_t pos_ = 0;
};

// Text under Aw: the leftmost w characters, or right-adjusted in w columns;
// plain A (w = 0) writes it as it stands.
std::string chars(std::string_view s, int32_t w) {
    if (w <= 0) return std::string(s);
    if (static_cast<int32_t>(s.size()) >= w) return std::string(s.substr(0, static_cast<size_t>(w)));
    return std::string(static_cast<size_t>(w) - s.size(), ' ') + std::string(s);
}

std::string edit(const Step& st, const Value& v) {
    using K = Value::Kind;
    switch (st.op) {
        case Op::Int:
            if (v.kind == K::Int) return format_int(v.i, st.w, st.d);
            if (v.kind == K::Float || v.kind == K::Double) {
                // A real under an integer descriptor: its whole part, or
                // asterisks when that has no integer value.
                if (!(std::fabs(v.r) < 9.0e18)) return stars(st.w);
                return format_int(static_cast<int64_t>(v.r), st.w, st.d);
            }
            break;
        case Op::Fixed:
            if (v.kind == K::Float || v.kind == K::Double) return format_fixed(v.r, st.w, st.d);
            if (v.kind == K::Int) return format_fixed(static_cast<double>(v.i), st.w, st.d);
            break;
        case Op::Exp:
        case Op::Sci:
            if (v.kind == K::Float || v.kind == K::Double) return format_exp(v.r, st.w, st.d, st.e, st.op == Op::Sci);
            if (v.kind == K::Int) return format_exp(static_cast<double>(v.i), st.w, st.d, st.e, st.op == Op::Sci);
            break;
        case Op::General:
            if (v.kind == K::Float || v.kind == K::Double) return format_general(v.r, st.w, st.d, st.e);
            if (v.kind == K::Int) return format_int(v.i, st.w);
            if (v.kind == K::Bool) return right(v.i ? "T" : "F", st.w);
            if (v.kind == K::Text) return chars(v.s, st.w);  // as Aw
            break;
        case Op::Chars:
            if (v.kind == K::Text) return chars(v.s, st.w);
            break;
        case Op::Logical:
            if (v.kind == K::Bool || v.kind == K::Int) return right(v.i ? "T" : "F", st.w);
            break;
        default: break;
    }
    throw std::invalid_argument("format descriptor does not match the item's type");
}

}  // namespace

void write(std::string& out, const Format& f, std::span<const Value> items) {
    const auto& steps = f.steps();
    RecordOut rec(out);
    size_t next = 0;
    if (!f.has_data() && !items.empty()) throw std::invalid_argument("format has no data descriptor");
    GroupStack groups;
    size_t pc = 0;
    size_t next_at_reversion = items.size();  // none yet
    for (;;) {
        if (pc == steps.size()) {
            if (next >= items.size()) break;
            // Items remain: new record, revert to the last top-level group,
            // which must take at least one item each time round.
            if (next == next_at_reversion)
                throw std::invalid_argument("format reverts to a part that takes no item");
            next_at_reversion = next;
            rec.end_record();
            pc = f.reversion_point();
            groups.clear();
            continue;
        }
        const Step& st = steps[pc];
        switch (st.op) {
            case Op::Open: groups.open(steps, pc); break;
            case Op::Close: groups.close(pc); break;
            case Op::Literal: rec.put(st.text); ++pc; break;
            case Op::Skip: rec.move(st.w); ++pc; break;
            case Op::Back: rec.move(-st.w); ++pc; break;
            case Op::Tab: rec.tab(st.w); ++pc; break;
            case Op::Slash: rec.end_record(); ++pc; break;
            default:
                if (next >= items.size()) {
                    rec.end_record();
                    return;
                }
                rec.put(edit(st, items[next++]));
                ++pc;
                break;
        }
    }
    rec.end_record();
}

// ---------------------------------------------------------------- reading fields

namespace {

[[noreturn]] void bad_field(const char* kind, std::string_view field) {
    throw InputError(std::string("bad ") + kind + " value '" + shown_value(field) + "'");
}

[[noreturn]] void out_of_range(const char* type, std::string_view field) {
    throw InputError("real value '" + shown_value(field) + "' beyond the range of a " + type + " real");
}

// Builds "[-]digits[.digits]e<exp>" from a Fortran real field, applying the
// implied decimal count when the field has no point. Returns false for an
// all-blank field.
bool normalise_real(std::string_view field, int32_t d, char* buf, size_t cap, size_t& len) {
    size_t i = 0, n = field.size();
    auto skip = [&] { while (i < n && (field[i] == ' ' || field[i] == '\t')) ++i; };
    len = 0;
    skip();
    if (i == n) return false;
    bool neg = false;
    if (field[i] == '+' || field[i] == '-') { neg = field[i] == '-'; ++i; }
    if (neg) buf[len++] = '-';
    bool point = false, any = false;
    for (; i < n; ++i) {
        char c = field[i];
        if (c == ' ' || c == '\t') continue;
        if (c >= '0' && c <= '9') {
            if (len + 8 >= cap) bad_field("real", field);
            buf[len++] = c;
            any = true;
        } else if (c == '.' && !point) {
            point = true;
            buf[len++] = '.';
        } else {
            break;
        }
    }
    if (!any) bad_field("real", field);
    long ex = 0;
    if (i < n) {
        char c = field[i];
        bool letter = c == 'E' || c == 'e' || c == 'D' || c == 'd' || c == 'Q' || c == 'q';
        if (!letter && c != '+' && c != '-') bad_field("real", field);
        if (letter) ++i;
        skip();
        bool eneg = false;
        if (i < n && (field[i] == '+' || field[i] == '-')) { eneg = field[i] == '-'; ++i; }
        bool edig = false;
        for (; i < n; ++i) {
            char e = field[i];
            if (e == ' ' || e == '\t') continue;
            if (e < '0' || e > '9') bad_field("real", field);
            ex = ex * 10 + (e - '0');
            if (ex > 100000) ex = 100000;
            edig = true;
        }
        if (!edig) bad_field("real", field);
        if (eneg) ex = -ex;
    }
    if (!point) ex -= d;
    buf[len++] = 'e';
    auto r = std::to_chars(buf + len, buf + cap, ex);
    len = static_cast<size_t>(r.ptr - buf);
    return true;
}

}  // namespace

std::string shown_value(std::string_view text) {
    constexpr size_t kShown = 40;
    if (text.size() <= kShown) return std::string(text);
    return std::string(text.substr(0, kShown)) + "...";
}

int32_t parse_int_field(std::string_view field) {
    size_t i = 0, n = field.size();
    while (i < n && (field[i] == ' ' || field[i] == '\t')) ++i;
    if (i == n) return 0;
    bool neg = false;
    if (field[i] == '+' || field[i] == '-') { neg = field[i] == '-'; ++i; }
    int64_t v = 0;
    bool any = false;
    for (; i < n; ++i) {
        char c = field[i];
        if (c == ' ' || c == '\t') continue;
        if (c < '0' || c > '9') bad_field("integer", field);
        v = v * 10 + (c - '0');
        if (v > 2147483648LL) bad_field("integer", field);
        any = true;
    }
    if (!any) bad_field("integer", field);
    if (neg) v = -v;
    if (v > 2147483647LL) bad_field("integer", field);
    return static_cast<int32_t>(v);
}

double parse_real_field(std::string_view field, int32_t d) {
    char buf[128];
    size_t len = 0;
    if (!normalise_real(field, d, buf, sizeof buf, len)) return 0.0;
    double v = 0.0;
    auto r = std::from_chars(buf, buf + len, v);
    if (r.ec == std::errc::result_out_of_range) {
        // Beyond the range of the type: refused; below it: zero.
        bool neg = buf[0] == '-';
        if (std::strtod(buf, nullptr) != 0.0) out_of_range("64-bit", field);
        return neg ? -0.0 : 0.0;
    }
    if (r.ec != std::errc() || !std::isfinite(v)) bad_field("real", field);
    return v;
}

float parse_float_field(std::string_view field, int32_t d) {
    char buf[128];
    size_t len = 0;
    if (!normalise_real(field, d, buf, sizeof buf, len)) return 0.0f;
    float v = 0.0f;
    auto r = std::from_chars(buf, buf + len, v);
    if (r.ec == std::errc::result_out_of_range) {
        bool neg = buf[0] == '-';
        if (std::isinf(std::strtof(buf, nullptr))) out_of_range("32-bit", field);
        return neg ? -0.0f : 0.0f;
    }
    if (r.ec != std::errc() || !std::isfinite(v)) bad_field("real", field);
    return v;
}

bool parse_logical_field(std::string_view field) {
    size_t i = 0;
    while (i < field.size() && field[i] == ' ') ++i;
    if (i < field.size() && field[i] == '.') ++i;
    if (i < field.size()) {
        char c = field[i];
        if (c == 'T' || c == 't') return true;
        if (c == 'F' || c == 'f') return false;
    }
    bad_field("logical", field);
}

// ---------------------------------------------------------------- reading records

void read(std::string_view record, const Format& f, std::span<const Target> targets) {
    const auto& steps = f.steps();
    size_t next = 0;
    int64_t pos = 0;
    GroupStack groups;
    size_t pc = 0;
    const int64_t n = static_cast<int64_t>(record.size());
    // Moves the column; a position far past the record's end has no use.
    auto advance = [&](int64_t w) {
        pos += w;
        if (pos > n + kMaxRecordLength) throw std::invalid_argument("format record too long");
    };
    auto field = [&](int32_t w) -> std::string_view {
        std::string_view s;
        if (pos < n) s = record.substr(static_cast<size_t>(pos), static_cast<size_t>(std::min<int64_t>(w, n - pos)));
        advance(w);
        return s;  // columns past the end of the record read as blanks
    };
    while (next < targets.size()) {
        if (pc == steps.size()) throw InputError("record too short for the items of the read");
        const Step& st = steps[pc];
        switch (st.op) {
            case Op::Open: groups.open(steps, pc); break;
            case Op::Close: groups.close(pc); break;
            case Op::Skip: advance(st.w); ++pc; break;
            case Op::Back: pos = std::max<int64_t>(0, pos - st.w); ++pc; break;
            case Op::Tab: pos = std::max(0, st.w - 1); ++pc; break;
            case Op::Literal: advance(static_cast<int64_t>(st.text.size())); ++pc; break;
            case Op::Slash: throw InputError("record too short for the items of the read");
            default: {
                const Target& t = targets[next++];
                using K = Target::Kind;
                if (st.op == Op::Chars) {
                    if (t.kind != K::Text) throw std::invalid_argument("A descriptor needs a text target");
                    int32_t w = st.w > 0 ? st.w : static_cast<int32_t>(std::max<int64_t>(0, n - pos));
                    std::string_view s = field(w);
                    std::string& out = *static_cast<std::string*>(t.p);
                    out.assign(s);
                    out.append(static_cast<size_t>(w) - s.size(), ' ');
                } else if (st.op == Op::Logical) {
                    std::string_view s = field(st.w);
                    if (t.kind != K::Bool) throw std::invalid_argument("L descriptor needs a logical target");
                    *static_cast<bool*>(t.p) = parse_logical_field(s);
                } else {
                    std::string_view s = field(st.w);
                    int32_t d = st.op == Op::Int ? 0 : st.d;
                    switch (t.kind) {
                        case K::Int:
                            if (st.op != Op::Int && st.op != Op::General)
                                throw std::invalid_argument("integer target needs an I descriptor");
                            *static_cast<int32_t*>(t.p) = parse_int_field(s);
                            break;
                        case K::Float: *static_cast<float*>(t.p) = parse_float_field(s, d); break;
                        case K::Double: *static_cast<double*>(t.p) = parse_real_field(s, d); break;
                        default: throw std::invalid_argument("numeric descriptor needs a numeric target");
                    }
                }
                ++pc;
                break;
            }
        }
    }
}

}  // namespace orv::fmt
