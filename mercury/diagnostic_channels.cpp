#include "mercury/diagnostic_channels.hpp"

#include <cstdio>

namespace orv {

namespace {

// The channels that have an output unit.
bool has_unit(int32_t c) {
    if (c <= 40) return c >= 0;
    if (c >= 50 && c <= 54) return true;
    if (c == 70 || c == 71) return true;
    if (c >= 99 && c <= 101) return true;
    if (c == 103) return true;
    if (c >= 105 && c <= 108) return true;
    if (c >= 111 && c <= 117) return true;
    if (c >= 121 && c <= 123) return true;
    if (c >= 125 && c <= 128) return true;
    return c == 135 || c == 228;
}

}  // namespace

float DiagnosticChannels::draw_channels(std::span<const int32_t> list) {
    const float r = draw();
    for (int32_t c : list) diagnostic_sampling_flags[c] = selects(c, r);
    return r;
}

TextOut* DiagnosticChannels::dump_file(int32_t c) {
    if (c < 0 || c >= kCount || channel_unit[c] <= 0) return nullptr;
    TextOut& f = file(c);
    if (!f.is_open()) {
        if (!console || !f.open("fort." + std::to_string(channel_unit[c]), "main", *console)) return nullptr;
    }
    return &f;
}

void DiagnosticChannels::close_all() {
    for (TextOut& f : *files) f.close();
}

std::string channel_file_name(int32_t c) {
    char name[16];
    std::snprintf(name, sizeof name, "hg_out.%03d", c);
    return name;
}

void initialise_diagnostic_channels(DiagnosticChannels& ch, TextOut& console) {
    ch.console = &console;
    ch.channel_probability.fill(-1.0f);
    ch.diagnostic_sampling_flags.fill(false);
    ch.channel_tag.fill(0);
    ch.nwrite.fill(0);
    for (int32_t c = 0; c < DiagnosticChannels::kCount; ++c) ch.channel_unit[c] = has_unit(c) ? 2000 + c : 0;
    ch.channel_probability[0] = 1.0f;
    ch.channel_probability[30] = 1.0f;
    ch.channel_unit[0] = 2000;
    ch.channel_unit[30] = 2030;
    ch.channel_draw = 0.0f;
    ch.generator.reset();
}

void dump_list(TextOut* out, std::span<const fmt::Value> items) {
    if (!out) return;
    std::string line = " ";
    bool after_value = false;
    for (const fmt::Value& v : items) append_list_item(line, v, after_value);
    out->line(line);
}

void dump_record(TextOut* out, const fmt::Format& f, std::span<const fmt::Value> items) {
    if (!out) return;
    std::string text;
    fmt::write(text, f, items);
    out->raw(text);
}

}  // namespace orv
