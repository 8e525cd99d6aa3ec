#include <bit>
#include <cstdint>
#include <span>

#include "common/run_stop.hpp"
#include "dispersion/concentration_sum.hpp"
#include "meteo/grid_projection.hpp"
#include "dispersion/puff_growth.hpp"
#include "dispersion/random_walk.hpp"
#include "dispersion/resuspension.hpp"
#include "dispersion/first_order_conversion.hpp"
#include "driver/deposition_booking.hpp"
#include "driver/puff_geometry.hpp"
#include "driver/run_state.hpp"
#include "driver/time_step.hpp"
#include "mercury/footprints.hpp"
#include "run/particle_types.hpp"

namespace orv {

namespace {

constexpr float kSlowestSpeed = 0.06f;  // km per minute

// What the particle loop knows of the particle being handled.
struct Particle {
    int32_t i = 0;     // entry, from 0
    int32_t mode = 0;  // distribution mode of its type code
    float lat = 0.0f;
    float lon = 0.0f;
    int32_t level = 1;  // internal level at the particle
    float height = 0.0f;  // centre above sea level, m
    std::span<float> mass;
    // The position the advance converted to latitude and longitude (into
    // lat, lon), on grid `geo_grid` at file `geo_file`; geo_grid 0 when none.
    float geo_x = 0.0f;
    float geo_y = 0.0f;
    int32_t geo_grid = 0;
    int32_t geo_file = 0;
};

bool same_bits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

// Latitude and longitude of the particle's position on the current grid,
// taken over from the advance when it converted exactly that position.
void particle_geo(const RunContext& ctx, Particle& q, float x, float y) {
    if (q.geo_grid != 0 && q.geo_grid == ctx.current_met_grid && q.geo_file == ctx.current_met_file &&
        same_bits(x, q.geo_x) && same_bits(y, q.geo_y))
        return;
    met_grid_to_geo(ctx.met.files.grid(ctx.current_met_grid, ctx.current_met_file), x, y, q.lat, q.lon);
}

// Moves the particle with the wind and records the hour's fastest transport.
// False when it has no meteorology or has ended.
bool advance(RunLoop& run, Particle& q) {
    RunContext& ctx = run.ctx;
    ParticleArrays& p = ctx.particles;
    const int32_t i = q.i;
    ParticlePosition pos{p.particle_x[i], p.particle_y[i], p.particle_z[i], p.particle_grid[i], p.particle_hdwp[i]};
    const AdvanceResult r = advpnt(ctx.met, run.advance, AdvanceStep{ctx.model_time, run.time_step}, pos,
                                   ctx.met_at_particle, ctx.meteo_return_profile, ctx.msg());
    p.particle_x[i] = pos.x;
    p.particle_y[i] = pos.y;
    p.particle_z[i] = pos.z;
    p.particle_grid[i] = pos.grid;
    if (r.file > 0) ctx.current_met_file = r.file;
    if (r.status != 0) return false;
    q.lat = ctx.met_at_particle.lat;
    q.lon = ctx.met_at_particle.lon;
    q.geo_x = pos.x;
    q.geo_y = pos.y;
    q.geo_grid = pos.grid;
    q.geo_file = r.file;
    run.forecast_hour = r.forecast_hour;
    // The speed in km per minute, on the grid of the particle handled before
    // (a backward run moves as fast as a forward one).
    const float speed = std::fabs(r.speed) *
                        ctx.met.files.grid(ctx.current_met_grid, ctx.current_met_file).header[kGridSize];
    if (ctx.setup.ICHEM == 3 && p.mass(0, i) < 0.0f)
        compute_surface_emission_flux(ctx.setup.P10F, ctx.source_locations[0], speed, ctx.met_at_particle.rain, p, i);
    if (p.particle_grid[i] == 0) return false;
    ctx.current_met_grid = p.particle_grid[i];
    ctx.hour_max_speed = std::max({ctx.hour_max_speed, speed, kSlowestSpeed});
    return true;
}

// Ageing, turbulent displacement and puff growth. Samplers keep their own clock.
void disperse(RunLoop& run, Particle& q) {
    RunContext& ctx = run.ctx;
    ParticleArrays& p = ctx.particles;
    if (q.mode != kSampler) p.particle_age[q.i] = aged(p.particle_age[q.i], run.time_step);
    compute_particle_dispersion_step(ctx.setup, ctx.met_at_particle, run.column, run.time_step, p, q.i,
                                     ctx.dispersion.generator);
    compute_puff_growth_step(ctx.setup, ctx.met_at_particle, run.column, run.time_step, p, q.i);
}

// The receptors and ceps the puff touches, the land use under it, the
// species conversion and the oxidants at the puff.
LandUseMix touch_receptors(RunLoop& run, Particle& q, bool& any_cep_touched) {
    RunContext& ctx = run.ctx;
    ParticleArrays& p = ctx.particles;
    MercuryArrays& m = ctx.mercury;
    const int32_t i = q.i;
    particle_geo(ctx, q, p.particle_x[i], p.particle_y[i]);
    flag_touched_receptors(p.particle_hdwp[i], q.lat, q.lon, p.particle_sigma_h[i], ctx.receptors,
                           std::span<float>(m.pfrac.data(), static_cast<size_t>(m.pfrac.size())), ctx.channels);
    MetAtParticle& met = ctx.met_at_particle;
    check_met_land_use(met.land_use, m.nland, q.lat, q.lon, ctx.msg());
    const LandUseMix mix = mix_land_use(m, ctx.receptor_categories, met.land_use);

    const std::span<float> cepres(m.cepres.data(), static_cast<size_t>(m.cepres.size()));
    ceptest(p.particle_hdwp[i], q.lat, q.lon, p.particle_sigma_h[i], ctx.ceps, cepres, ctx.channels, ctx.console);
    any_cep_touched = false;
    for (float w : cepres) any_cep_touched = any_cep_touched || w > 0.0f;

    if (ctx.setup.ICHEM == 2) chem02(ctx.dirt, run.time_step, p, i, ctx.dispersion.reactions, ctx.msg());

    const float top = ctx.control.model_top;
    q.height = top - (top - met.terrain_height) * p.particle_z[i];
    q.level = particle_level(met.level_index, ctx.vertical_grid.nlvl);
    const OxidantPoint at{ctx.model_time, q.lat, q.lon, q.height};
    compute_oxidants_at_point(1, at, ctx.meteo_return_profile[static_cast<size_t>(q.level - 1)], ctx.global_chem,
                              ctx.met.surface, ctx.msg(), ctx.channels, ctx.oxidants);
    return mix;
}

// The puff's geometry and its mercury chemistry. False when the puff has
// no volume: chemistry and deposition leave it as it is.
bool chemistry(RunLoop& run, Particle& q, PuffGeometry& g) {
    RunContext& ctx = run.ctx;
    ParticleArrays& p = ctx.particles;
    const int32_t i = q.i;
    if (!is_vertical_puff(q.mode)) {
        ctx.console.list("trying to calc puffvol for particle");
        ctx.log.list("*ERROR* main: only Gaussian and top-hat puffs have a volume - type ", p.particle_hdwp[i]);
        throw RunStop(kStopInput);
    }
    const MetAtParticle& met = ctx.met_at_particle;
    g = puff_geometry(p.particle_z[i], p.particle_sigma_z[i], p.particle_sigma_h[i], ctx.control.model_top,
                      met.terrain_height, ctx.vertical_grid.surface_layer_height);
    if (!(g.puffvol > 0.0f)) {
        if (!run.empty_volume_noticed) {
            ctx.log.list(" NOTICE   main: puff without volume, chemistry and deposition skipped - ", i + 1);
            run.empty_volume_noticed = true;
        }
        return false;
    }
    const ProfileRow& row = ctx.meteo_return_profile[static_cast<size_t>(q.level - 1)];
    PuffChemistryConditions c;
    c.relative_humidity = row.humidity;
    c.temperature = row.temperature;
    c.radiation = met.solar_flux;
    c.puffvol = g.puffvol;
    c.aerosol_water = g.near_surface_flag;
    c.time_step = run.time_step;
    c.distribution = 1;
    compute_puff_mercury_chemistry(1, c, ctx.hgsim, ctx.oxidants, q.mass, ctx.chemistry_work, ctx.sizes,
                                   ctx.channels, ctx.console);
    return true;
}

// The cloud layer, the mercury deposition step with the puff's settling,
// and the booking of the deposited mass.
void deposit(RunLoop& run, Particle& q, PuffGeometry& g, const LandUseMix& mix, bool any_cep_touched) {
    RunContext& ctx = run.ctx;
    ParticleArrays& p = ctx.particles;
    MercuryArrays& m = ctx.mercury;
    const MetAtParticle& met = ctx.met_at_particle;
    const int32_t i = q.i;

    DepositionArguments a;
    a.cloud = cloud_layer(g, met.rain, ctx.meteo_return_profile, ctx.sigma_profile, ctx.hgsim);
    if (met.rain > 0.0f) ctx.channels.draw();  // the cloud dump's draw

    m.puff_descent = 0.0f;
    for (int32_t o = 1; o <= m.maxdim; ++o) m.depelm_mass(o) = q.mass[static_cast<size_t>(o - 1)];
    if (ctx.deposition.CDEP) {
        a.call = DepositionCall{1,        ctx.model_time, run.date.year,   run.date.month,
                                run.date.day, run.date.hour, run.date.minute, run.time_step};
        a.puff = DepositionPuff{q.lat,
                                q.lon,
                                q.height,
                                1,
                                g.puff_bottom_height,
                                g.puff_top_height,
                                g.puff_depth,
                                g.puffvol,
                                g.near_surface_flag};
        a.met = deposition_met(met, ctx.meteo_return_profile[static_cast<size_t>(q.level - 1)],
                               ctx.meteo_return_profile[0], ctx.vertical_grid.surface_layer_height);
        compute_puff_mercury_deposition(a, run.deposition, ctx.oxidants, m, ctx.sizes, ctx.deposition_work,
                                        ctx.channels, ctx.msg());
    } else {
        m.step_deposit.zero();
    }
    for (int32_t o = 1; o <= m.maxdim; ++o) q.mass[static_cast<size_t>(o - 1)] = m.depelm_mass(o);
    apply_puff_descent(g, m.puff_descent, p.particle_z[i], p.particle_sigma_z[i]);
    if (!ctx.deposition.CDEP) return;
    book_deposition(m, ctx.receptor_categories,
                    PuffDeposition{met.land_use, mix.receptor_weight_sum, any_cep_touched, p.particle_sigma_h[i]},
                    ctx.receptor_outputs);
}

// The particle's mass onto the concentration grids (and its sampler), the
// level sums, and the end of a particle whose mass is gone.
void sum(RunLoop& run, Particle& q) {
    RunContext& ctx = run.ctx;
    ParticleArrays& p = ctx.particles;
    const Settings& s = ctx.setup;
    const MetAtParticle& met = ctx.met_at_particle;
    MercuryArrays& m = ctx.mercury;
    const int32_t i = q.i;
    if (s.ICHEM == 7) m.step_deposit.zero();

    const SummationStep step{run.time_step, ctx.model_time, ctx.control.model_top, s.KMSL};
    SummationPoint at;
    at.lat = met.lat;
    at.lon = met.lon;
    at.terrain_height = met.terrain_height;
    at.spacing_x = met.grid_spacing_x;
    at.spacing_y = met.grid_spacing_y;
    const std::span<const float> deposited(m.step_deposit.data(), static_cast<size_t>(m.step_deposit.size()));
    DispersionState& d = ctx.dispersion;
    if (s.ICHEM == 4)
        metsum(ctx.concentration_grids, step, at, p, i, deposited, ctx.time_step_spacing, d.concentration, ctx.msg());
    else if (s.CMASS == 0)
        consum(ctx.concentration_grids, step, at, p, i, deposited, ctx.time_step_spacing, d.concentration, ctx.msg());
    else
        sum_particle_on_latlon_grids(ctx.concentration_grids, step, at, p, i, ctx.time_step_spacing,
                                     d.concentration);
    if (q.mode == kSampler) {
        if (d.samplers.sampler_flag) visit_sampler(d.samplers, p, i, at);
        return;
    }

    float total = 0.0f;
    for (float v : q.mass) total += v;
    const LevelSpan span = particle_level_span(ctx.vertical_grid, ctx.control.model_top, run.run_mode,
                                               p.particle_z[i], p.particle_sigma_z[i], q.level);
    add_level_mass(run.level_mass, span, total);
    if (total == 0.0f) p.particle_grid[i] = 0;
}

void handle_particle(RunLoop& run, Particle& q) {
    PhaseClock& clock = run.clock;
    if (!advance(run, q)) {
        clock.lap(RunTiming::kAdvection);
        return;
    }
    clock.lap(RunTiming::kAdvection);
    disperse(run, q);
    clock.lap(RunTiming::kDispersion);
    bool any_cep_touched = false;
    const LandUseMix mix = touch_receptors(run, q, any_cep_touched);
    clock.lap(RunTiming::kReceptors);
    if (q.mode != kSampler) {
        PuffGeometry g;
        const bool has_volume = chemistry(run, q, g);
        clock.lap(RunTiming::kChemistry);
        if (has_volume)
            deposit(run, q, g, mix, any_cep_touched);
        else
            run.ctx.mercury.step_deposit.zero();  // nothing deposited
        clock.lap(RunTiming::kDeposition);
    }
    sum(run, q);
    clock.lap(RunTiming::kSummation);
}

}  // namespace

void move_particles(RunLoop& run, int32_t count) {
    ParticleArrays& p = run.ctx.particles;
    const int32_t maxdim = p.maxdim;
    for (int32_t k = 0; k < count; ++k) {
        const int32_t i = p.particle_sort_key[k] - 1;
        if (i < 0 || i >= p.particle_count) continue;
        if (p.particle_grid[i] == 0) continue;
        Particle q;
        q.i = i;
        q.mode = distribution_mode(p.particle_hdwp[i]);
        q.mass = std::span<float>(p.particle_mass.data() + int64_t{i} * maxdim, static_cast<size_t>(maxdim));
        handle_particle(run, q);
        if (run.timing) ++run.timing->puff_steps;
    }
}

}  // namespace orv
