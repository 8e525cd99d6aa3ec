#include "driver/split_control.hpp"

#include <algorithm>
#include <cmath>

#include "common/fortran_format.hpp"

namespace orv {

namespace {

constexpr float kToleranceStep = 0.5f;

// FRHS and the merge factor one step wider, neither beyond FRHMAX.
void widen_merge(Settings& s) {
    s.FRHS = std::min(s.FRHS + kToleranceStep, s.FRHMAX);
    s.merge_factor = std::min(s.merge_factor + kToleranceStep, s.FRHMAX);
}

}  // namespace

float split_factor_for_grids(const std::vector<ConcentrationGrid>& grids, int32_t MAXPAR) {
    int32_t a = 0;
    int32_t b = 0;
    for (const ConcentrationGrid& g : grids) {
        a = std::max(a, g.lon_points);
        b = std::max(b, g.lat_points);
    }
    const float ratio = 5.0f * static_cast<float>(a) * static_cast<float>(b) / static_cast<float>(MAXPAR);
    return std::max(std::sqrt(ratio), 1.1f);
}

void control_split_and_merge(SplitControl& control, int32_t split_status, const std::vector<ConcentrationGrid>& grids,
                             Settings& s, bool& split_enabled, TextOut& log) {
    if (control.split_on) {
        if (split_status <= 0) return;
        split_enabled = false;
        control.split_on = false;
        log.list(" NOTICE   main: split stopped array limit reached");
        if (s.FRHMAX > s.FRHS) {
            widen_merge(s);
            log.list(" NOTICE   main: merge increased FRHS=", s.FRHS);
            if (s.SPLITF == 1.0f) {
                s.SPLITF = split_factor_for_grids(grids, s.MAXPAR);
                log.list(" NOTICE   main: split changed SPLITF=", s.SPLITF);
            }
        }
        return;
    }
    if (split_status == 0) {
        split_enabled = true;
        control.split_on = true;
        log.list(" NOTICE   main: split turned on; FRHS=", s.FRHS);
    } else if (split_status == 2 && s.FRHS < s.FRHMAX) {
        log.list(" NOTICE   main: split turned on/off; FRHS=", s.FRHS);
        widen_merge(s);
    }
}

bool particle_dump_due(int32_t hour, int32_t& NDUMP, int32_t NCYCL) {
    if (NDUMP <= 0 || hour != NDUMP) return false;
    NDUMP = NCYCL == 0 ? 0 : NDUMP + NCYCL;
    return true;
}

void write_progress(int32_t hour, int32_t run_hours, TextOut& console) {
    static const fmt::Format line("(1X, A, F5.1)");
    const float percent = run_hours > 0 ? 100.0f * static_cast<float>(hour) / static_cast<float>(run_hours) : 100.0f;
    console.raw(fmt::write(line, "Percent complete: ", percent));
}

}  // namespace orv
