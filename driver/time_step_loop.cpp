#include <algorithm>

#include "dispersion/concentration_sum.hpp"
#include "dispersion/emission_release.hpp"
#include "dispersion/mass_totals.hpp"
#include "dispersion/resuspension.hpp"
#include "driver/particle_net.hpp"
#include "driver/run_state.hpp"
#include "driver/time_step.hpp"

namespace orv {

namespace {

// The release height of every particle the emission file's sources added
// (entries first..last-1): the meteorology is looked up at the source, over
// a ground at 0, without moving the particle, then the plume rise is added.
void place_emission_releases(RunLoop& run, int32_t first, int32_t last) {
    RunContext& ctx = run.ctx;
    ParticleArrays& p = ctx.particles;
    const float top = ctx.control.model_top;
    const AdvanceStep step{ctx.model_time, run.time_step};
    PlumeRiseSums sums;
    for (int32_t i = first; i < last; ++i) {
        ctx.met_at_particle.terrain_height = 0.0f;
        ParticlePosition probe{p.particle_x[i], p.particle_y[i], emission_release_probe_z(p, i, top),
                               ctx.current_met_grid, ctx.setup.INITD};
        const AdvanceResult r = advpnt(ctx.met, run.release_advance, step, probe, ctx.met_at_particle,
                                       ctx.meteo_return_profile, ctx.msg());
        // A look-up that found no data leaves the current grid as it was.
        if (probe.grid > 0) ctx.current_met_grid = probe.grid;
        if (r.file > 0) ctx.current_met_file = r.file;
        emission_release_height(p, i, r.status == 0, ctx.met_at_particle, probe.z, top, sums);
    }
    if (sums.count > 0 && run.step == 1) write_plume_rise_notice(sums, ctx.log);
}

// New particles and puffs of the step, then the samplers and resuspension.
void release(RunLoop& run) {
    RunContext& ctx = run.ctx;
    Settings& s = ctx.setup;
    ParticleArrays& p = ctx.particles;
    DispersionState& d = ctx.dispersion;
    int32_t limit = 0;
    if (d.inventory.present) {
        emsgrd(ctx.source_locations, ctx.dirt, s, run.time_step, ctx.model_time, ctx.met.files, p, d.inventory,
               ctx.msg());
    } else if (d.emission_file.efile_active) {
        const int32_t before = p.particle_count;
        limit = emstmp(d.source_pollutant_matrix, ctx.location_count, ctx.numtyp, s, run.time_step, ctx.model_time,
                       p, ctx.msg());
        place_emission_releases(run, before, p.particle_count);
    } else {
        limit = emspnt_hg(ctx.source_locations, ctx.dirt, s, run.time_step, ctx.model_time, p, d.point_release,
                          ctx.log);
    }
    if (limit == 1) ctx.particle_limit_flag = 1;
    run.level_mass.clear();
    if (d.samplers.sampler_flag) lagems(d.samplers, ctx.model_time, p, ctx.log);
    if (ctx.deposition.SDEP)
        depsus(ctx.concentration_grids, ctx.dirt, s, ctx.met.files, ctx.met.arrays, ctx.current_met_grid,
               ctx.current_met_file, run.time_step, d.concentration, p, ctx.msg());
    if (ctx.channels.enabled(kMassTotalsChannel)) PUFF_OUT(1, ctx.model_time, p, ctx.channels, ctx.console);
}

// Every value of grid `to` raised to the value of grid `from` where larger.
void raise_to(ConcentrationArray& conc, int32_t to, int32_t from) {
    const int64_t block = conc.plane_size() * conc.nlev * conc.npol;
    float* t = conc.values.data() + conc.offset(1, 1, 1, 1, to);
    const float* f = conc.values.data() + conc.offset(1, 1, 1, 1, from);
    for (int64_t k = 0; k < block; ++k) t[k] = std::max(t[k], f[k]);
}

// The samplers the particle loop has moved take the concentrations of the
// whole step.
void sample(RunLoop& run) {
    RunContext& ctx = run.ctx;
    LagrangianSamplers& ls = ctx.dispersion.samplers;
    if (!ls.sampler_flag) return;
    const SummationStep step{run.time_step, ctx.model_time, ctx.control.model_top, ctx.setup.KMSL};
    sum_visited_samplers(ls, ctx.concentration_grids, step, ctx.particles, ctx.dispersion.concentration, ctx.msg());
}

void end_step(RunLoop& run) {
    RunContext& ctx = run.ctx;
    stop_on_non_finite_mass_total(run.level_mass, run.date, ctx.msg());
    stop_on_non_finite_particle(ctx.particles, run.date, ctx.msg());
    DispersionState& d = ctx.dispersion;
    ConcentrationArray& conc = d.concentration;
    for (const RunContext::MaximumGrid& m : ctx.maximum_grids) raise_to(conc, m.grid, m.twin);
    if (ctx.deposition.CDEP) decay_concentration_grids(ctx.concentration_grids, ctx.dirt, run.time_step, conc);
    ctx.model_time += whole_step_minutes(run.time_step);
    const SamplingClock clock{run.time_step, ctx.model_time, run.forecast_hour};
    condsk(ctx.concentration_grids, ctx.dirt, ctx.setup, ctx.met.files, ctx.current_met_grid, ctx.current_met_file,
           clock, conc, d.concentration_output, ctx.msg());
    if (d.samplers.sampler_flag)
        update_lagrangian_samplers(d.samplers, ctx.model_time, run.time_step, ctx.particles, ctx.control.model_top,
                                   ctx.met.files, ctx.current_met_file, ctx.console);
    update_sampling_periods(ctx.concentration_grids, clock, conc, ctx.console);
    ctx.log.list(" NOTICE   main: ", run.hour, ctx.model_time, ctx.particles.particle_count,
                 run.level_mass.step_mass_total);
}

}  // namespace

void run_time_steps(RunLoop& run) {
    RunContext& ctx = run.ctx;
    for (run.step = 1; run.step <= run.steps; ++run.step) {
        release(run);
        run.date = tm2day(ctx.model_time, ctx.console);
        run.clock.lap(RunTiming::kRelease);
        move_particles(run, ctx.particles.particle_count);
        sample(run);
        if (ctx.channels.enabled(kMassTotalsChannel)) PUFF_OUT(2, ctx.model_time, ctx.particles, ctx.channels,
                                                               ctx.console);
        end_step(run);
        run.clock.lap(RunTiming::kEndOfStep);
    }
}

}  // namespace orv
