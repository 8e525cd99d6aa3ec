#include "run/calendar.hpp"
#include "driver/release_setup.hpp"
#include "driver/run_state.hpp"
#include "driver/time_step.hpp"
#include "mercury/global_oxidants.hpp"

namespace orv {

namespace {

DepositionSwitches with_resistance(DepositionSwitches d) {
    d.RDEP = true;
    return d;
}

// The time step of the hour from the previous hour's fastest transport.
void choose_hour_time_step(RunLoop& run) {
    RunContext& ctx = run.ctx;
    if (ctx.hour_max_speed <= 0.0f) ctx.hour_max_speed = 1.2f;
    TimeStepInputs in;
    in.hour_max_speed = ctx.hour_max_speed;
    in.time_step_spacing = ctx.time_step_spacing;
    in.sampling_interval = smallest_sampling_interval(ctx.concentration_grids);
    in.data_interval = ctx.met.files.layout(ctx.current_met_grid, ctx.current_met_file).flags.data_interval;
    run.time_step = choose_time_step(ctx.setup, run.backward, in);
}

// The month's oxidant fields, when the month has changed.
void reload_oxidants(RunContext& ctx) {
    const CalendarDate d = tm2day(ctx.model_time, ctx.console);
    if (d.month == ctx.oxidant_month) return;
    ctx.oxidant_month = d.month;
    get_global_conc(ctx.global_chem, ctx.oxidant_month, ctx.hg_setup.RXN_CONC_DIR, ctx.console);
}

void start_hour(RunLoop& run) {
    RunContext& ctx = run.ctx;
    choose_hour_time_step(run);
    // The sub-grid around the particles (the sources when there are none),
    // for the previous hour's fastest transport.
    plan_met_subgrids(ctx, false);
    if (run.hour == 1) ctx.log.list(" NOTICE   main: Initial time step (min) ", whole_step_minutes(run.time_step));
    ctx.hour_max_speed = 0.0f;
    ctx.time_step_spacing = ctx.met.files.grid(ctx.current_met_grid, ctx.current_met_file).header[kGridSize];
    emsmat(ctx.dispersion.source_pollutant_matrix, ctx.met.files, ctx.model_time, ctx.current_met_file,
           ctx.location_count, ctx.numtyp, ctx.setup.EFILE, ctx.dispersion.emission_file, run.backward, ctx.msg());
    reload_oxidants(ctx);
    run.steps = steps_per_hour(run.time_step);
}

}  // namespace

const char* RunTiming::name(int32_t phase) {
    static const char* const names[kPhaseCount] = {"releases",   "advection", "dispersion and growth",
                                                   "receptors",  "chemistry", "deposition",
                                                   "summation",  "end of step", "hour start and end"};
    return phase >= 0 && phase < kPhaseCount ? names[phase] : "";
}

RunLoop::RunLoop(RunContext& c, RunTiming* t)
    : ctx(c),
      timing(t),
      clock(t),
      run_hours(c.control.run_hours),
      backward(c.control.backward),
      run_mode(distribution_mode(c.setup.INITD)),
      level_mass{c.level_diagnostics, 0.0f},
      release_switches(with_resistance(c.deposition)),
      advance{c.setup, c.control, c.deposition, c.vertical_grid, c.sigma_profile},
      release_advance{c.setup, c.control, release_switches, c.vertical_grid, c.sigma_profile},
      column{c.meteo_return_profile, c.sigma_profile, c.vertical_grid, c.control.model_top},
      deposition{c.hgsim, c.dirt, c.receptor_categories},
      grid_sizes(kMaxMetGrids, 0.0f) {
    split.split_on = c.split_enabled;
}

void run_hours(RunContext& ctx, RunTiming* timing) {
    warn_time_step_drift(ctx.setup, ctx.msg());
    RunLoop run(ctx, timing);
    for (run.hour = 1; run.hour <= run.run_hours; ++run.hour) {
        start_hour(run);
        run.clock.lap(RunTiming::kHourEnd);
        run_time_steps(run);
        end_hour(run);
        run.clock.lap(RunTiming::kHourEnd);
    }
}

}  // namespace orv
