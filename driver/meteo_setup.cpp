#include "driver/meteo_setup.hpp"

#include "common/run_stop.hpp"
#include "common/work_array.hpp"
#include "driver/setup_checks.hpp"
#include "meteo/met_setup.hpp"
#include "run/calendar.hpp"
#include "run/input_checks.hpp"

namespace orv {

namespace {

template <typename T>
void size_or_stop(std::vector<T>& v, int64_t n, std::string_view label, TextOut& console) {
    grow_or_stop(kAllocPrefix, label, console, [&] { v.assign(static_cast<size_t>(std::max<int64_t>(n, 0)), T{}); });
}

// Gives a record with start_* fields the run's start.
template <typename Record>
void take_run_start(Record& r, const RunStart& s) {
    r.start_year = s.year;
    r.start_month = s.month;
    r.start_day = s.day;
    r.start_hour = s.hour;
    r.start_minute = s.minute;
}

}  // namespace

void read_run_control(RunContext& ctx, std::istream& keyboard) {
    RunControl& run = ctx.control;
    open_control_file(ctx.control_input, ctx.run_suffix, keyboard, ctx.console, run);
    // The table grows with the location lines read; every location takes the
    // run start of record 1.
    runset(ctx.control_input, ctx.source_locations, run);
    check_source_locations(ctx.control_input.name(), ctx.source_locations, ctx.setup,
                           location_rate_use(ctx.setup, run.backward, ctx.console), ctx.console);
    ctx.location_count = static_cast<int32_t>(ctx.source_locations.size());
    if (ctx.location_count < 1) {
        ctx.console.list("*ERROR* main: all source points off all meteo grids!");
        throw RunStop(kStopInput);
    }
}

void set_up_meteorology(RunContext& ctx) {
    RunControl& run = ctx.control;
    SourceLocation& first = ctx.source_locations[0];
    metini(ctx.setup, run, first, ctx.msg(), ctx.met.files);
    ctx.log.list(" NOTICE   main: number meteo grids and times - ", run.grid_count, run.time_count);
}

void fix_run_start(RunContext& ctx) {
    const SourceLocation& first = ctx.source_locations[0];
    RunStart& s = ctx.start;
    s.year = first.start_year;
    s.month = first.start_month;
    s.day = first.start_day;
    s.hour = first.start_hour;
    s.minute = first.start_minute;
    s.model_time = tm2min(s.year, s.month, s.day, s.hour, s.minute, ctx.console);
    take_run_start(ctx.control, s);
    ctx.model_time = s.model_time;
    for (SourceLocation& loc : ctx.source_locations) take_run_start(loc, s);
}

void set_up_vertical_grid(RunContext& ctx) {
    ctx.vertical_grid = set_internal_vertical_grid(ctx.met.files, ctx.control.grid_count, ctx.control.entered_model_top,
                                                   ctx.console);
    const int32_t nlvl = ctx.vertical_grid.nlvl;
    size_or_stop(ctx.sigma_profile, nlvl, "Sigma profile", ctx.console);
    size_or_stop(ctx.meteo_return_profile, nlvl, "Meteo return profile", ctx.console);
    size_or_stop(ctx.level_diagnostics, nlvl, "Level diagnostic information", ctx.console);
    for (int32_t k = 1; k <= nlvl; ++k)
        ctx.sigma_profile[static_cast<size_t>(k - 1)] = 1.0f - ctx.vertical_grid.height(k) / ctx.control.model_top;
}

float first_time_step_spacing(const MeteoFiles& met) { return met.grid(1, 1).header[kGridSize]; }

}  // namespace orv
