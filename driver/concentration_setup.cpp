#include "driver/concentration_setup.hpp"

#include <algorithm>
#include <cmath>

#include "common/run_stop.hpp"
#include "common/work_array.hpp"
#include "run/input_checks.hpp"
#include "run/particle_types.hpp"

namespace orv {

void read_concentration_grids(RunContext& ctx) {
    const int32_t n = read_concentration_grid_count(ctx.control_input);
    ctx.concentration_grids.clear();
    for (int32_t g = 0; g < n; ++g) grow_table(ctx.concentration_grids, "Concentration grid structure", ctx.console);
    const SourceLocation& first = ctx.source_locations[0];
    const RunStart& t = ctx.start;
    const RunStartDate start{t.year, t.month, t.day, t.hour, ctx.control.backward};
    conset(ctx.control_input, ctx.concentration_grids, start, first, ctx.control.model_top, ctx.setup.CPACK,
           ctx.time_step_spacing);
    check_concentration_grids(ctx.control_input.name(), ctx.concentration_grids, ctx.setup, ctx.console);

    ctx.maximum_grids.clear();
    for (int32_t g = 1; g <= static_cast<int32_t>(ctx.concentration_grids.size()); ++g) {
        const int32_t twin = maximum_grid_twin(ctx.concentration_grids, g);
        if (twin > 0) ctx.maximum_grids.push_back({g, twin});
    }

    int32_t min_lon = 0, min_lat = 0;
    if (ctx.setup.ICHEM == 4) {
        const MetGridDefinition& g = ctx.met.files.grid(1, 1);
        min_lon = g.nx;
        min_lat = g.ny;
        if (ctx.control.grid_count > 1) {
            ctx.console.list(" *ERROR* main: ichem=4 option only supports one meteo grid");
            throw RunStop(kStopInput);
        }
    }
    allocate_concentration_array(ctx.dispersion.concentration, ctx.concentration_grids, ctx.pollutant_entry_count,
                                 ctx.console, "STD Concentration array", min_lon, min_lat);
}

void open_concentration_files(RunContext& ctx) {
    conini(ctx.source_locations, ctx.concentration_grids, ctx.dirt, ctx.numtyp, ctx.setup.CPACK, ctx.met.files,
           ctx.dispersion.concentration_output, ctx.msg());
}

int32_t puff_split_limit(const Settings& s, int32_t locations, const Pollutant& first) {
    const int32_t mode = distribution_mode(s.INITD);
    if (is_horizontal_puff(mode)) return s.MAXPAR / 2;
    if (!is_vertical_puff(mode)) return s.MAXPAR;
    // In 64 bits from the magnitude of the hours: a backward run has the
    // limit of the forward run, and no product wraps.
    const double releases = std::trunc(static_cast<double>(locations) * 60.0 * std::fabs(double{first.emission_hours}));
    if (!(releases < static_cast<double>(s.MAXPAR))) return 1;
    const int64_t limit = int64_t{s.MAXPAR} - static_cast<int64_t>(releases);
    return static_cast<int32_t>(std::clamp<int64_t>(limit, 1, std::max(s.MAXPAR, 1)));
}

}  // namespace orv
