#pragma once
// Fortran-style edit-descriptor formats: compiled once, then used to write
// records (strings) or to read fixed-column records.
//
// Descriptors: Iw, Iw.m, Fw.d, Ew.d[Ee], ESw.d[Ee], Dw.d, Gw.d, Aw, A, Lw, nX,
// Tn, TLn, TRn, '/', quoted literals, nested groups with repeat counts.
// Output follows the Fortran rules: a value that does not fit fills its field
// with asterisks; E gives a 0.ddd mantissa, ES a d.ddd one; when items remain
// at the end of the format a new record starts and the format reverts to its
// last top-level group.
// Input follows the Fortran rules too: blanks inside a numeric field are
// ignored and an all-blank field reads 0; a real field without a decimal point
// takes the implied one of w.d; D exponents and a bare signed exponent are
// accepted; a short record is padded with blanks.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv::fmt {

enum class Op : uint8_t {
    Int,       // I
    Fixed,     // F
    Exp,       // E or D
    Sci,       // ES
    General,   // G
    Chars,     // A
    Logical,   // L
    Skip,      // nX / TRn
    Back,      // TLn
    Tab,       // Tn
    Literal,   // quoted string
    Slash,     // end of record
    Open,      // group start: repeat in w
    Close,     // group end: index of its Open in w
};

struct Step {
    Step(Op o, int32_t width = 0) : op(o), w(width) {}
    Op op;
    int32_t w = 0;  // width (0 = none), repeat for Open, target for Close, columns for X/T
    int32_t d = 0;  // decimals, or minimum digits for I (-1 = none)
    int32_t e = 0;  // exponent digits (0 = default)
    std::string text;  // literal
};

class Format {
public:
    // Parses "(...)" (the outer parentheses may be left out). Throws
    // std::invalid_argument on a malformed format (formats are program text)
    // and on one beyond the formatter's limits: more than 100 decimals or 9
    // exponent digits, groups nested more than 15 deep, repeat counts whose
    // product over the nesting passes 10^6.
    explicit Format(std::string_view spec);

    const std::vector<Step>& steps() const { return steps_; }
    size_t reversion_point() const { return revert_; }
    bool has_data() const { return has_data_; }

private:
    std::vector<Step> steps_;
    size_t revert_ = 0;
    bool has_data_ = false;
};

// One output item. Strings are referenced, not copied.
struct Value {
    enum class Kind : uint8_t { Int, Float, Double, Text, Bool } kind;
    int64_t i = 0;
    double r = 0.0;
    std::string_view s;

    Value(int32_t v) : kind(Kind::Int), i(v) {}
    Value(int64_t v) : kind(Kind::Int), i(v) {}
    Value(float v) : kind(Kind::Float), r(v) {}
    Value(double v) : kind(Kind::Double), r(v) {}
    Value(std::string_view v) : kind(Kind::Text), s(v) {}
    Value(const std::string& v) : kind(Kind::Text), s(v) {}
    Value(const char* v) : kind(Kind::Text), s(v) {}
    Value(bool v) : kind(Kind::Bool), i(v ? 1 : 0) {}
};

// Writes the items with the format and appends the records to `out`, each
// ended by '\n'. Throws std::invalid_argument when an item does not suit its
// descriptor, when items remain but the part of the format reverted to takes
// none, and when a record would pass 2^24 columns.
void write(std::string& out, const Format& f, std::span<const Value> items);

template <typename... Args>
std::string write(const Format& f, const Args&... args) {
    const Value items[] = {Value(args)..., Value(0)};
    std::string out;
    write(out, f, std::span<const Value>(items, sizeof...(Args)));
    return out;
}

// Same, for an array of one type (each element one item).
template <typename T>
void write_array(std::string& out, const Format& f, std::span<const T> values) {
    std::vector<Value> items;
    items.reserve(values.size());
    for (const T& v : values) items.emplace_back(v);
    write(out, f, items);
}

// Single-field formatting helpers, the building blocks of write(); they return
// exactly w characters (asterisks when the value does not fit).
std::string format_int(int64_t v, int32_t w, int32_t m = -1);
std::string format_fixed(double v, int32_t w, int32_t d);
std::string format_exp(double v, int32_t w, int32_t d, int32_t e = 0, bool scientific = false);
std::string format_general(double v, int32_t w, int32_t d, int32_t e = 0);

// ---- reading ----

// One input target.
struct Target {
    enum class Kind : uint8_t { Int, Float, Double, Text, Bool } kind;
    void* p;
    Target(int32_t& v) : kind(Kind::Int), p(&v) {}
    Target(float& v) : kind(Kind::Float), p(&v) {}
    Target(double& v) : kind(Kind::Double), p(&v) {}
    Target(std::string& v) : kind(Kind::Text), p(&v) {}
    Target(bool& v) : kind(Kind::Bool), p(&v) {}
};

// Reads the targets from one record with the format. A '/' or a reversion
// past the record's end is an error here (a fixed-column read of one line).
// Throws orv::InputError naming the field on a malformed value.
void read(std::string_view record, const Format& f, std::span<const Target> targets);

template <typename... Args>
void read(std::string_view record, const Format& f, Args&... args) {
    const Target targets[] = {Target(args)...};
    read(record, f, std::span<const Target>(targets, sizeof...(Args)));
}

// A value's text as an error message shows it: at most 40 characters, then
// "..." (a damaged file may hold a field of any length).
std::string shown_value(std::string_view text);

// Field parsers with the Fortran input rules, for callers that cut their own
// columns. `d` is the implied decimal count of a real field. A real beyond
// the range of its type (1e39 for a 32-bit real) throws orv::InputError, as
// does any text that is not a number (Inf and NaN included); a real below the
// range reads as zero.
int32_t parse_int_field(std::string_view field);
double parse_real_field(std::string_view field, int32_t d);
float parse_float_field(std::string_view field, int32_t d);
bool parse_logical_field(std::string_view field);

}  // namespace orv::fmt
