#include "common/text_output.hpp"

#include <utility>

#include "common/run_stop.hpp"

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

TextOut::~TextOut() { discard(); }

TextOut::TextOut(TextOut&& o) noexcept
    : owned_(std::move(o.owned_)),
      out_(std::exchange(o.out_, nullptr)),
      path_(std::move(o.path_)),
      routine_(std::move(o.routine_)),
      console_(o.console_),
      failed_(o.failed_) {}

TextOut& TextOut::operator=(TextOut&& o) noexcept {
    if (this != &o) {
        discard();
        owned_ = std::move(o.owned_);
        out_ = std::exchange(o.out_, nullptr);
        path_ = std::move(o.path_);
        routine_ = std::move(o.routine_);
        console_ = o.console_;
        failed_ = o.failed_;
    }
    return *this;
}

bool TextOut::open(const std::string& path, std::string_view routine, TextOut& console) {
    discard();
    auto f = std::make_unique<std::ofstream>(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!*f) return false;
    owned_ = std::move(f);
    out_ = owned_.get();
    path_ = path;
    routine_ = std::string(routine);
    console_ = &console;
    failed_ = false;
    return true;
}

void TextOut::close() {
    out_ = nullptr;
    if (!owned_) return;
    owned_->close();  // flushes; fails when the flush or the close fails
    const bool ok = !owned_->fail();
    owned_.reset();
    if (!ok && !failed_) {
        failed_ = true;
        output_stop(routine_, path_, *console_);
    }
}

void TextOut::discard() noexcept {
    out_ = nullptr;
    if (!owned_) return;
    try {
        owned_->close();
        if (owned_->fail() && !failed_) {
            failed_ = true;
            report_output_failure(routine_, path_, *console_);
        }
    } catch (...) {
    }
    owned_.reset();
}

void TextOut::fail() {
    if (failed_) return;
    failed_ = true;
    output_stop(routine_, path_, *console_);
}

void TextOut::line(std::string_view s) {
    if (!out_) return;
    out_->write(s.data(), static_cast<std::streamsize>(s.size()));
    out_->put('\n');
    check();
}

void TextOut::raw(std::string_view s) {
    if (!out_) return;
    out_->write(s.data(), static_cast<std::streamsize>(s.size()));
    check();
}

void TextOut::flush() {
    if (!out_) return;
    out_->flush();
    check();
}

}  // namespace orv
