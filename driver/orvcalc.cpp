#include "driver/orvcalc.hpp"

#include <iostream>
#include <memory>
#include <new>

#include "common/run_stop.hpp"
#include "common/text_output.hpp"
#include "common/work_array.hpp"
#include "driver/calendar.hpp"
#include "driver/run_context.hpp"
#include "driver/settings.hpp"
#include "driver/startup.hpp"
#include "meteo/met_setup.hpp"

namespace orv {

namespace {

// Sizes a table of records, stopping the run with the allocation message of
// its label when the memory cannot be had.
template <typename T>
void allocate_records(std::vector<T>& v, int64_t n, std::string_view label) {
    try {
        v.assign(static_cast<size_t>(std::max<int64_t>(n, 0)), T{});
    } catch (const std::bad_alloc&) {
        allocation_stop(kAllocPrefix, label);
    } catch (const std::length_error&) {
        allocation_stop(kAllocPrefix, label);
    }
}

// The control input, records 1 to 8: start, locations, run length, vertical
// motion, model top and the meteorological files.
void read_run_control(RunContext& ctx, std::istream& keyboard) {
    open_control_file(ctx.control_input, ctx.run_suffix, keyboard, ctx.control);
    allocate_records(ctx.source_locations, ctx.control.location_count, "Source location array");
    if (!ctx.source_locations.empty()) {
        SourceLocation& first = ctx.source_locations[0];
        first.start_year = ctx.control.start_year;
        first.start_month = ctx.control.start_month;
        first.start_day = ctx.control.start_day;
        first.start_hour = ctx.control.start_hour;
        first.start_minute = ctx.control.start_minute;
    }
    runset(ctx.control_input, ctx.source_locations, ctx.control);
}

// Opens every meteorological file and reads its index records; the start
// time comes from the data when the control input gives month 0.
void set_up_meteorology(RunContext& ctx) {
    RunControl& run = ctx.control;
    SourceLocation none;
    SourceLocation& first = ctx.source_locations.empty() ? none : ctx.source_locations[0];
    metini(ctx.setup, run, first, ctx.log, ctx.met.files);
    ctx.log.list(" NOTICE   main: number meteo grids and times - ", run.grid_count, run.time_count);
    ctx.model_time =
        tm2min(first.start_year, first.start_month, first.start_day, first.start_hour, first.start_minute);
    for (size_t i = 1; i < ctx.source_locations.size(); ++i) {
        SourceLocation& loc = ctx.source_locations[i];
        loc.start_year = first.start_year;
        loc.start_month = first.start_month;
        loc.start_day = first.start_day;
        loc.start_hour = first.start_hour;
        loc.start_minute = first.start_minute;
    }
    ctx.time_step_spacing = ctx.met.files.grid(1, 1).header[kGridSize];
}

// The pollutant entries (records 9 and 10).
void read_pollutants(RunContext& ctx) {
    ctx.numtyp = read_pollutant_count(ctx.control_input);
    int32_t locations = static_cast<int32_t>(ctx.source_locations.size());
    ctx.pollutant_entry_count = ctx.setup.ICHEM == 1 ? locations : ctx.numtyp;
    allocate_records(ctx.dirt, ctx.pollutant_entry_count, "Pollutant description");
    const SourceLocation start = ctx.source_locations.empty() ? SourceLocation{} : ctx.source_locations[0];
    read_pollutant_emissions(ctx.control_input, ctx.dirt, ctx.numtyp, start.start_year, start.start_month,
                             start.start_day, start.start_hour, ctx.control.backward);
    if (ctx.setup.MAXDIM > ctx.numtyp) console("WARNING: namelist file (maxdim) > control file (numtyp)");
    write_ichem_notice(ctx.setup);
}

// The concentration grids and the deposition block, the last records.
void read_grids_and_deposition(RunContext& ctx) {
    int32_t n = read_concentration_grid_count(ctx.control_input);
    allocate_records(ctx.concentration_grids, n, "Concentration grid structure");
    const SourceLocation start = ctx.source_locations.empty() ? SourceLocation{} : ctx.source_locations[0];
    conset(ctx.control_input, ctx.concentration_grids, ctx.control.model_top, ctx.time_step_spacing,
           ctx.setup.CPACK, start.lat, start.lon, start.start_year, start.start_month, start.start_day,
           start.start_hour, ctx.control.backward);
    for (size_t g = 0; g < ctx.concentration_grids.size(); ++g) {
        int32_t type = ctx.concentration_grids[g].sampling_type;
        if (type == 0) ctx.last_average_grid = static_cast<int32_t>(g + 1);
        if (type == 1) ctx.last_snapshot_grid = static_cast<int32_t>(g + 1);
        if (type == 2) ctx.last_maximum_grid = static_cast<int32_t>(g + 1);
    }
    depset(ctx.control_input, ctx.dirt, ctx.numtyp, ctx.deposition);
}

void run(RunContext& ctx, int argc, const char* const* argv, std::istream& keyboard) {
    start_up(ctx, argc > 1 ? argv[1] : "");
    read_run_settings(ctx.run_suffix, ctx.setup, ctx.hg_setup, ctx.hgsim);
    allocate_particle_arrays(ctx.particles, ctx.setup.MAXPAR, ctx.setup.MAXDIM);
    tminit();
    read_run_control(ctx, keyboard);
    set_up_meteorology(ctx);
    read_pollutants(ctx);
    read_grids_and_deposition(ctx);
    console("*ERROR* main: set-up complete, but particle transport is not built yet - the run cannot go on");
    throw RunStop::plain();
}

}  // namespace

int32_t run_orvcalc(int argc, const char* const* argv) { return run_orvcalc(argc, argv, std::cin); }

int32_t run_orvcalc(int argc, const char* const* argv, std::istream& keyboard) {
    int32_t status = 0;
    auto ctx = std::make_unique<RunContext>();
    try {
        run(*ctx, argc, argv, keyboard);
    } catch (const RunStop& stop) {
        status = stop.code();
    } catch (const std::bad_alloc&) {
        console("ERROR orvcalc: memory allocation - out of memory");
        status = kStopInput;
    } catch (const std::exception& e) {
        console("*ERROR* orvcalc: ", std::string(e.what()));
        status = kStopPlain;
    }
    ctx.reset();  // closes every file
    std::cout.flush();
    return status;
}

}  // namespace orv
