#include "driver/orvcalc.hpp"

#include <iostream>
#include <memory>
#include <new>

#include "common/run_stop.hpp"
#include "common/text_output.hpp"
#include "run/calendar.hpp"
#include "driver/concentration_setup.hpp"
#include "driver/mercury_setup.hpp"
#include "driver/meteo_setup.hpp"
#include "driver/pollutant_setup.hpp"
#include "driver/release_setup.hpp"
#include "driver/run_context.hpp"
#include "driver/run_end.hpp"
#include "driver/run_loop.hpp"
#include "run/settings.hpp"
#include "driver/settings_echo.hpp"
#include "driver/setup_checks.hpp"
#include "driver/source_setup.hpp"
#include "driver/startup.hpp"

namespace orv {

namespace {

// The control input up to the pollutants, the meteorology, the sources on
// the grids, the pollutant table, the receptors and the mercury arrays.
void set_up_sources_and_pollutants(RunContext& ctx, std::istream& keyboard) {
    tminit();
    read_run_control(ctx, keyboard);
    set_up_meteorology(ctx);
    set_up_vertical_grid(ctx);
    fix_run_start(ctx);
    ctx.time_step_spacing = first_time_step_spacing(ctx.met.files);
    dump_grid_positions(ctx.met.files, ctx.channels);
    place_sources(ctx.source_locations, ctx.location_count, ctx.met.files, ctx.control, ctx.setup, ctx.console);
    // The release and concentration routines take the table's size for the
    // number of sources: the dropped locations go.
    ctx.source_locations.resize(static_cast<size_t>(ctx.location_count));
    read_pollutant_definitions(ctx);
    if (ctx.setup.EFILE.find_first_not_of(' ') != std::string::npos) {
        preset_source_pollutant_matrix(ctx.dispersion.source_pollutant_matrix, ctx.source_locations,
                                       ctx.location_count, ctx.dirt, ctx.numtyp);
        ctx.dispersion.emission_file.ICHEM = ctx.setup.ICHEM;
        ctx.dispersion.emission_file.entered_model_top = ctx.control.entered_model_top;
    }
    read_receptors_and_ceps(ctx);
    allocate_mercury_arrays(ctx);
    set_up_size_distribution(ctx);
}

// The concentration grids, the deposition records and switches, the
// concentration files, the receptor sums and the split limit.
void set_up_grids_and_deposition(RunContext& ctx) {
    read_concentration_grids(ctx);
    set_up_deposition(ctx);
    open_concentration_files(ctx);
    allocate_receptor_sums(ctx);
    ctx.puff_split_limit = puff_split_limit(ctx.setup, ctx.location_count, ctx.dirt[0]);
}

// CONC.CFG, the start month's oxidant fields (read at set-up, so that a bad
// field stops the run before the calculation starts) and the configuration
// report.
void echo_settings(RunContext& ctx) {
    write_conc_cfg(ctx);
    load_global_oxidants(ctx);
    write_configuration_report(ctx.setup, ctx.vertical_grid, ctx.dirt[0], ctx.met.files.layout(1, 1).flags,
                               ctx.msg());
}

// The gridded inventory, initial particles, the first sub-grid, the sources
// and samplers on the meteorology and the last checks.
void prepare_releases(RunContext& ctx) {
    read_gridded_inventory(ctx);
    read_initial_particles(ctx);
    ctx.hour_max_speed = 1.2f;
    plan_met_subgrids(ctx, true);
    place_releases_on_meteorology(ctx);
    check_release_settings(ctx);
}

void run(RunContext& ctx, int argc, const char* const* argv, std::istream& keyboard) {
    set_up_run(ctx, argc, argv, keyboard);
    run_hours(ctx);
    end_run(ctx);
}

}  // namespace

void set_up_run(RunContext& ctx, int argc, const char* const* argv, std::istream& keyboard) {
    start_up(ctx, argc > 1 ? argv[1] : "");
    const SettingsFiles files = read_run_settings(ctx.run_suffix, ctx.setup, ctx.hg_setup, ctx.hgsim, ctx.console);
    refuse_settings_the_run_cannot_use(ctx.setup, ctx.hg_setup, files, ctx.console);
    allocate_particle_arrays(ctx.particles, ctx.setup.MAXPAR, ctx.setup.MAXDIM, ctx.console);
    set_up_sources_and_pollutants(ctx, keyboard);
    set_up_grids_and_deposition(ctx);
    check_initial_particles(ctx);
    echo_settings(ctx);
    prepare_releases(ctx);
}

int32_t run_orvcalc(int argc, const char* const* argv) { return run_orvcalc(argc, argv, std::cin, std::cout); }

int32_t run_orvcalc(int argc, const char* const* argv, std::istream& keyboard, std::ostream& console) {
    int32_t status = 0;
    auto ctx = std::make_unique<RunContext>();
    ctx->console.attach(console);
    try {
        run(*ctx, argc, argv, keyboard);
    } catch (const RunStop& stop) {
        status = stop.code();
    } catch (const std::bad_alloc&) {
        ctx->console.list("ERROR orvcalc: memory allocation - out of memory");
        status = kStopInput;
    } catch (const std::exception& e) {
        ctx->console.list("*ERROR* orvcalc: ", std::string(e.what()));
        status = kStopPlain;
    }
    // After a stop the files are closed here; what they hold so far is kept.
    try {
        close_run_files(*ctx);
    } catch (const RunStop& stop) {
        if (status == 0) status = stop.code();
    }
    ctx.reset();
    console.flush();
    return status;
}

}  // namespace orv
