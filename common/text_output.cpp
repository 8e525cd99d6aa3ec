#include "common/text_output.hpp"

#include <iostream>

namespace orv {

void append_list_item(std::string& line, const fmt::Value& v, bool& after_value) {
    using K = fmt::Value::Kind;
    switch (v.kind) {
        case K::Int: line += fmt::format_int(v.i, 12); break;
        case K::Float:
        case K::Double: line += fmt::format_general(v.r, 15, 7); break;
        case K::Text:
            // A number or logical value is kept apart from the text after it.
            if (after_value) line += ' ';
            line += v.s;
            break;
        case K::Bool:
            if (!line.empty() && line.back() != ' ') line += ' ';
            line += v.i ? 'T' : 'F';
            break;
    }
    after_value = v.kind != K::Text;
}

bool TextOut::open(const std::string& path) {
    auto f = std::make_unique<std::ofstream>(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!*f) return false;
    owned_ = std::move(f);
    out_ = owned_.get();
    path_ = path;
    return true;
}

void TextOut::close() {
    if (owned_) owned_->close();
    owned_.reset();
    out_ = nullptr;
}

void TextOut::line(std::string_view s) {
    if (!out_) return;
    out_->write(s.data(), static_cast<std::streamsize>(s.size()));
    out_->put('\n');
}

void TextOut::raw(std::string_view s) {
    if (out_) out_->write(s.data(), static_cast<std::streamsize>(s.size()));
}

void TextOut::flush() {
    if (out_) out_->flush();
}

}  // namespace orv
