#include <cstdlib>

#include "common/blank_trim.hpp"
#include "common/run_stop.hpp"
#include "common/clamped_int.hpp"
#include "dispersion/particle_files.hpp"
#include "dispersion/puff_conversion.hpp"
#include "dispersion/puff_merge.hpp"
#include "dispersion/puff_split.hpp"
#include "driver/receptor_output.hpp"
#include "driver/run_state.hpp"
#include "run/particle_types.hpp"

namespace orv {

namespace {

constexpr float kMergeDistance = 0.015f;  // vertical tolerance of the mass-based merge
constexpr float kMergeSpread = 0.15f;     // its sigma tolerance
// A run type that the merging passes over; INITD cannot take it (the settings
// check refuses it), so that test never holds.
constexpr int32_t kUnmergedType = 109;

// The receptor sums every DEP_DELTA minutes from the first grid's sampling
// start (the run start without a grid), and every sixth hour the level table.
void write_hour_outputs(RunLoop& run) {
    RunContext& ctx = run.ctx;
    const int32_t start =
        ctx.concentration_grids.empty() ? ctx.start.model_time : ctx.concentration_grids[0].start_minute;
    if (receptor_output_due(ctx.model_time, start, ctx.hgsim.dep_delta)) {
        ++run.output_count;
        const ReceptorOutputBlock block{run.output_count, tm2day(ctx.model_time, ctx.console), ctx.mercury.maxdim,
                                        ctx.hgsim.npath};
        stop_on_non_finite_deposition(block, ctx.dirt, ctx.receptor_outputs, ctx.msg());
        write_receptor_outputs(block, ctx.dirt, ctx.receptor_outputs, ctx.channels.file(50), ctx.channels.file(51));
    }
    if (run.hour % 6 == 0)
        write_level_mass_table(run.level_mass.level_diagnostics, run.level_mass.step_mass_total, ctx.sigma_profile,
                               ctx.control.model_top, ctx.log);
}

MergeFactors merge_factors(float horizontal, float vertical, float sigma, float mass_limit, float model_top) {
    MergeFactors f;
    f.horizontal = horizontal;
    f.vertical = vertical;
    f.sigma = sigma;
    f.mass_limit = mass_limit;
    f.model_top = model_top;
    return f;
}

// Conversion by age, splitting with its control, merging, compaction.
void manage_puffs(RunLoop& run) {
    RunContext& ctx = run.ctx;
    Settings& s = ctx.setup;
    ParticleArrays& p = ctx.particles;
    PuffWork& work = ctx.dispersion.puff_work;
    const float top = ctx.control.model_top;
    const int32_t initd = s.INITD;
    for (int32_t g = 1; g <= kMaxMetGrids; ++g)
        run.grid_sizes[static_cast<size_t>(g - 1)] = ctx.met.files.grid(g, ctx.current_met_file).header[kGridSize];

    const int32_t conversion_age = clamp_to_int32(std::llabs(int64_t{s.CONAGE} * 60));
    if (initd == kParticleToGaussianPuff || initd == kParticleToTopHatPuff) parpuf(p, conversion_age, ctx.log);
    if (initd == kGaussianPuffToParticle || initd == kTopHatPuffToParticle) pufpar(p, conversion_age, ctx.log);

    if (initd > kParticle && run.hour % s.KSPL == 0) {
        split_puffs_vertically(p, ctx.sigma_profile, ctx.puff_split_limit);
        const int32_t status =
            pufsph(p, run.grid_sizes, ctx.puff_split_limit, ctx.time_step_spacing, s.SPLITF, work, ctx.log);
        control_split_and_merge(run.split, status, ctx.concentration_grids, s, ctx.split_enabled, ctx.log);
    }
    const bool merging = initd > kParticle && initd != kUnmergedType;
    if (merging && p.particle_count > s.MAXPAR / 10) {
        compact_particle_list(p, s.KHMAX, 0.0f);
        const MergeFactors f = merge_factors(s.FRHS, s.FRVS, s.FRTS, 0.0f, top);
        pufsrt(f, p, run.grid_sizes, work, ctx.console);
        pufmrg(f, p, run.grid_sizes, work, ctx.console);
    }
    compact_particle_list(p, s.KHMAX, 0.0f);
    if (merging && p.particle_count > s.MAXPAR / 4 && run.hour % s.KRND == 0) {
        const MassLevels levels = pufmin(p, run.level_mass.step_mass_total, s.FRME, s.FRMR, work, ctx.console);
        const MergeFactors f = merge_factors(s.merge_factor, kMergeDistance, kMergeSpread, levels.m1, top);
        pufsrt(f, p, run.grid_sizes, work, ctx.console);
        pufmrg(f, p, run.grid_sizes, work, ctx.console);
        compact_particle_list(p, s.KHMAX, levels.m2);
    }
}

// The particle dump when due (appended to the open file), and the particles
// of the initialisation file that are due.
void dump_and_reread(RunLoop& run) {
    RunContext& ctx = run.ctx;
    Settings& s = ctx.setup;
    ParticleFiles& files = ctx.dispersion.particle_files;
    if (particle_dump_due(run.hour, s.NDUMP, s.NCYCL)) {
        if (!files.dump.is_open()) {
            files.dump_name = trim_trailing_blanks(s.POUTF);
            if (!files.dump.open(files.dump_name, "parout", ctx.console)) {
                ctx.console.list("*ERROR* main: unable to open particle dump file - ", files.dump_name);
                ctx.log.list("*ERROR* main: unable to open particle dump file - ", files.dump_name);
                throw RunStop(kStopInput);
            }
        }
        parout(ctx.model_time, ctx.particles, ctx.control.model_top, ctx.met.files, ctx.current_met_file, files,
               ctx.msg());
    }
    if (ctx.particle_init_reread) {
        parinp(ctx.model_time, ctx.current_met_file, ctx.particles, ctx.control.model_top, s.NINIT, ctx.met.files,
               files, ctx.msg());
        ctx.particle_init_reread = files.init.is_open();
    }
}

}  // namespace

void end_hour(RunLoop& run) {
    write_hour_outputs(run);
    manage_puffs(run);
    write_progress(run.hour, run.run_hours, run.ctx.console);
    dump_and_reread(run);
}

}  // namespace orv
