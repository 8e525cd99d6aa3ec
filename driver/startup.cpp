#include "driver/startup.hpp"

#include "common/run_stop.hpp"

namespace orv {

namespace {

void open_or_stop(TextOut& out, const std::string& name, TextOut& console) {
    if (!out.open(name, "main", console)) {
        console.list("*ERROR* main: unable to create file - ", name);
        throw RunStop(kStopInput);
    }
}

}  // namespace

std::string run_suffix_from_argument(std::string_view argument) {
    std::string_view held = argument.substr(0, 80);
    size_t blank = held.find(' ');
    if (blank == std::string_view::npos) {
        // Shorter than 80: the blank padding ends it. A full 80 characters
        // without a blank has no usable length.
        if (held.size() == 80) return {};
        return std::string(held);
    }
    return std::string(held.substr(0, blank));
}

void start_up(RunContext& ctx, std::string_view argument) {
    // An option such as --help is no file-name suffix: refused before any
    // file is created.
    const std::string suffix = run_suffix_from_argument(argument);
    if (!suffix.empty() && suffix.front() == '-') {
        ctx.console.list("usage: orvcalc [suffix]  (the suffix names CONTROL.suffix, SETUP.suffix and MESSAGE.suffix;"
                         " it may not begin with -)");
        throw RunStop::plain();
    }
    DiagnosticChannels& ch = ctx.channels;
    initialise_diagnostic_channels(ch, ctx.console);
    for (int32_t c = 0; c < DiagnosticChannels::kCount; ++c) {
        if (ch.channel_probability[c] > 0.0f) {
            open_or_stop(ch.file(c), channel_file_name(c), ctx.console);
        }
        ch.nwrite[c] = 0;
    }
    static const char* const receptor_files[5] = {"recpmass.out", "cepflux.out", "cepconc.out", "recpmet.out",
                                                  "cepmet.out"};
    for (int32_t k = 0; k < 5; ++k) {
        ch.channel_unit[50 + k] = 2050 + k;
        open_or_stop(ch.file(50 + k), receptor_files[k], ctx.console);
    }
    ctx.run_suffix = suffix;
    open_or_stop(ctx.log, ctx.run_suffix.empty() ? std::string("MESSAGE") : "MESSAGE." + ctx.run_suffix, ctx.console);
    ctx.console.list("ORVANTE49 (Oct 2008) - Initialization " + ctx.run_suffix);
}

}  // namespace orv
