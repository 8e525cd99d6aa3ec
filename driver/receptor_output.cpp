#include "driver/receptor_output.hpp"

#include <cmath>
#include <cstdlib>
#include <string>

#include "common/blank_trim.hpp"
#include "common/fortran_format.hpp"
#include "common/number_text.hpp"
#include "common/run_stop.hpp"

namespace orv {

namespace {

const fmt::Format& line_layout() {
    static const fmt::Format f("(1X, A7, 2X, 2I5, 2X, A4, 5I8, 999ES15.6)");
    return f;
}

// The label items of one line; the values follow.
void start_line(std::vector<fmt::Value>& items, const ReceptorOutputBlock& b, int32_t path, std::string_view id) {
    items.clear();
    items.emplace_back(std::string_view("1_puff"));
    items.emplace_back(path);
    items.emplace_back(b.output_count);
    items.emplace_back(id);
    items.emplace_back(b.date.year);
    items.emplace_back(b.date.month);
    items.emplace_back(b.date.day);
    items.emplace_back(b.date.hour);
    items.emplace_back(b.date.minute);
}

void put_line(TextOut& out, std::string& text, const std::vector<fmt::Value>& items) {
    text.clear();
    fmt::write(text, line_layout(), items);
    out.raw(text);
}

int32_t extent(const IndexedArray<float>& a, int dim) { return static_cast<int32_t>(a.range(dim).count()); }

std::string_view pollutant_label(const std::vector<Pollutant>& dirt, int32_t o) {
    return static_cast<size_t>(o) <= dirt.size() ? std::string_view(dirt[static_cast<size_t>(o - 1)].pollutant_id)
                                                 : std::string_view("????");
}

[[noreturn]] void non_finite_deposition(const ReceptorOutputBlock& b, const std::vector<Pollutant>& dirt, int32_t o,
                                        int32_t p, const std::string& where, float value, std::string_view file,
                                        Messages msg) {
    const CalendarDate& d = b.date;
    const std::string line = "*ERROR* main: deposition " + number_text(value) + " of pollutant " +
                             std::to_string(o) + " (" + trim_trailing_blanks(pollutant_label(dirt, o)) +
                             "), path " + std::to_string(p) + ", " + where +
                             ", is not a finite number: the output of " + std::to_string(d.year) + " " +
                             std::to_string(d.month) + " " + std::to_string(d.day) + " " + std::to_string(d.hour) +
                             " " + std::to_string(d.minute) + " is not written - " + std::string(file);
    msg.console.list(line);
    msg.log.list(line);
    throw RunStop(kStopInput);
}

}  // namespace

bool receptor_output_due(int32_t model_time, int32_t sampling_start, int32_t dep_delta) {
    if (dep_delta == 0) return false;
    const int64_t t = std::llabs(int64_t{model_time} - sampling_start);
    return t % std::llabs(int64_t{dep_delta}) == 0;
}

void write_receptor_outputs(const ReceptorOutputBlock& block, const std::vector<Pollutant>& dirt,
                            ReceptorOutputs& sums, TextOut& recpmass, TextOut& cepflux) {
    const int32_t receptors = extent(sums.recpmass, 3);
    const int32_t ceps = extent(sums.cepflux, 3);
    std::vector<fmt::Value> items;
    items.reserve(static_cast<size_t>(10 + std::max(receptors + 1, ceps)));
    std::string text;
    for (int32_t o = 1; o <= block.maxdim; ++o) {
        const std::string_view id = pollutant_label(dirt, o);
        for (int32_t p = 1; p <= block.npath; ++p) {
            start_line(items, block, p, id);
            items.emplace_back(sums.pathtot_puff(o, p));
            for (int32_t r = 1; r <= receptors; ++r) items.emplace_back(sums.recpmass(o, p, r));
            put_line(recpmass, text, items);
        }
        for (int32_t p = 1; p <= block.npath; ++p) {
            start_line(items, block, p, id);
            for (int32_t c = 1; c <= ceps; ++c) items.emplace_back(sums.cepflux(o, p, c));
            put_line(cepflux, text, items);
        }
    }
    sums.pathtot_puff.zero();
    sums.recpmass.zero();
    sums.cepflux.zero();
}

void stop_on_non_finite_deposition(const ReceptorOutputBlock& block, const std::vector<Pollutant>& dirt,
                                   const ReceptorOutputs& sums, Messages msg) {
    const int32_t receptors = extent(sums.recpmass, 3);
    const int32_t ceps = extent(sums.cepflux, 3);
    for (int32_t o = 1; o <= block.maxdim; ++o) {
        for (int32_t p = 1; p <= block.npath; ++p) {
            if (!std::isfinite(sums.pathtot_puff(o, p)))
                non_finite_deposition(block, dirt, o, p, "path total", sums.pathtot_puff(o, p), "recpmass.out", msg);
            for (int32_t r = 1; r <= receptors; ++r)
                if (!std::isfinite(sums.recpmass(o, p, r)))
                    non_finite_deposition(block, dirt, o, p, "receptor " + std::to_string(r), sums.recpmass(o, p, r),
                                          "recpmass.out", msg);
            for (int32_t c = 1; c <= ceps; ++c)
                if (!std::isfinite(sums.cepflux(o, p, c)))
                    non_finite_deposition(block, dirt, o, p, "cep " + std::to_string(c), sums.cepflux(o, p, c),
                                          "cepflux.out", msg);
        }
    }
}

void write_level_mass_table(std::span<const float> level_diagnostics, float step_mass_total,
                            std::span<const float> sigma_profile, float model_top, TextOut& log) {
    if (!(step_mass_total > 0.0f)) return;
    static const fmt::Format header("(55X, A6, A8, A6)");
    static const fmt::Format row("(55X, I6, F8.1, F6.2)");
    log.put(header, "Index", "Height", "%Mass");
    const size_t nlvl = std::min(level_diagnostics.size(), sigma_profile.size());
    for (size_t k = nlvl; k >= 1; --k) {
        const float percent = level_diagnostics[k - 1] * 100.0f / step_mass_total;
        if (!(percent > 0.0f)) continue;
        const float height = (1.0f - sigma_profile[k - 1]) * model_top;
        log.put(row, static_cast<int32_t>(k), height, percent);
    }
}

}  // namespace orv
