#include "driver/release_setup.hpp"

#include <algorithm>

#include "common/blank_trim.hpp"
#include "common/run_stop.hpp"
#include "common/work_array.hpp"
#include "dispersion/concentration_sum.hpp"
#include "dispersion/puff_conversion.hpp"
#include "driver/sampler_setup.hpp"
#include "driver/setup_checks.hpp"
#include "driver/source_setup.hpp"
#include "meteo/grid_selection.hpp"
#include "run/particle_types.hpp"

namespace orv {

namespace {

// Every particle read onto the concentration grids, by the run's summation.
void sum_initial_particles(RunContext& ctx, const SamplingClock& clock) {
    const Settings& s = ctx.setup;
    ParticleArrays& p = ctx.particles;
    const SummationStep step{clock.dt_minutes, clock.model_time, ctx.control.model_top, s.KMSL};
    for (int32_t k = 0; k < p.particle_count; ++k) {
        SummationPoint at;
        at.lat = k < p.particle_lat.size() ? p.particle_lat[k] : 0.0f;
        at.lon = k < p.particle_lon.size() ? p.particle_lon[k] : 0.0f;
        at.terrain_height = ctx.met_at_particle.terrain_height;
        at.spacing_x = ctx.met_at_particle.grid_spacing_x;
        at.spacing_y = ctx.met_at_particle.grid_spacing_y;
        ConcentrationArray& conc = ctx.dispersion.concentration;
        if (s.ICHEM == 4) {
            metsum(ctx.concentration_grids, step, at, p, k, {}, ctx.time_step_spacing, conc, ctx.msg());
        } else if (s.CMASS == 0) {
            consum(ctx.concentration_grids, step, at, p, k, {}, ctx.time_step_spacing, conc, ctx.msg());
        } else {
            sum_particle_on_latlon_grids(ctx.concentration_grids, step, at, p, k, ctx.time_step_spacing, conc);
        }
    }
}

}  // namespace

void check_initial_particles(RunContext& ctx) {
    if (!particle_init_file_in_use(ctx.setup, ctx.console)) return;
    ParticleFiles& files = ctx.dispersion.particle_files;
    files.init_name = trim_trailing_blanks(ctx.setup.PINPF);
    if (!files.init.open(files.init_name)) {
        ctx.console.list("*ERROR* main: unable to open particle initialization file - ", files.init_name);
        throw RunStop(kStopInput);
    }
    check_particle_init_file(ctx.model_time, ctx.control.backward, ctx.current_met_file, ctx.particles,
                             ctx.control.model_top, ctx.met.files, files, ctx.msg());
}

void read_initial_particles(RunContext& ctx) {
    const Settings& s = ctx.setup;
    ctx.particle_init_reread = false;
    ParticleFiles& files = ctx.dispersion.particle_files;
    if (!files.init.is_open()) return;
    ParticleArrays& p = ctx.particles;
    allocate_or_stop(kAllocPrefix, "Particle lat/lon", p.particle_lat, p.maxpar, ctx.console);
    allocate_or_stop(kAllocPrefix, "Particle lat/lon", p.particle_lon, p.maxpar, ctx.console);
    ctx.met_at_particle.grid_spacing_x = 1000.0f * ctx.time_step_spacing;
    ctx.met_at_particle.grid_spacing_y = 1000.0f * ctx.time_step_spacing;
    parinp(ctx.model_time, ctx.current_met_file, p, ctx.control.model_top, s.NINIT, ctx.met.files, files, ctx.msg());

    // Without a concentration grid there is nothing to sum onto.
    if (!ctx.concentration_grids.empty()) {
        const SamplingClock clock{static_cast<float>(ctx.concentration_grids[0].interval), ctx.model_time, 0};
        ConcentrationArray& conc = ctx.dispersion.concentration;
        update_sampling_periods(ctx.concentration_grids, clock, conc, ctx.console);
        sum_initial_particles(ctx, clock);
        condsk(ctx.concentration_grids, ctx.dirt, s, ctx.met.files, ctx.current_met_grid, ctx.current_met_file,
               clock, conc, ctx.dispersion.concentration_output, ctx.msg());
        update_sampling_periods(ctx.concentration_grids, clock, conc, ctx.console);
    }
    compact_particle_list(p, s.KHMAX, 0.0f);
    ctx.particle_init_reread = files.init.is_open() && s.NINIT != 1;
}

void plan_met_subgrids(RunContext& ctx, bool with_sources) {
    const ParticleArrays& p = ctx.particles;
    const size_t particles = static_cast<size_t>(std::max(p.particle_count, 0));
    const size_t sources = (with_sources || particles == 0) ? static_cast<size_t>(ctx.location_count) : 0;
    std::vector<float>& x = ctx.subgrid_x;
    std::vector<float>& y = ctx.subgrid_y;
    std::vector<int32_t>& g = ctx.subgrid_grid;
    x.resize(particles + sources);
    y.resize(particles + sources);
    g.resize(particles + sources);
    std::copy_n(p.particle_x.data(), particles, x.begin());
    std::copy_n(p.particle_y.data(), particles, y.begin());
    std::copy_n(p.particle_grid.data(), particles, g.begin());
    for (size_t k = 0; k < sources; ++k) {
        const SourceLocation& loc = ctx.source_locations[k];
        x[particles + k] = loc.grid_x;
        y[particles + k] = loc.grid_y;
        g[particles + k] = loc.met_grid;
    }
    compute_met_subgrid_limits(ctx.met, ctx.setup.MGMIN, ctx.hour_max_speed, x, y, g);
}

void read_gridded_inventory(RunContext& ctx) {
    EmissionInventory& inv = ctx.dispersion.inventory;
    inv.ICHEM = ctx.setup.ICHEM;
    inv.control_rates.clear();
    for (const Pollutant& d : ctx.dirt) inv.control_rates.push_back(inventory_rate(d));
    emsini(ctx.source_locations, inv, ctx.msg());
    if (inv.present) emsdat(inv, ctx.msg());
}

void place_releases_on_meteorology(RunContext& ctx) {
    const AdvanceContext advance{ctx.setup, ctx.control, ctx.deposition, ctx.vertical_grid, ctx.sigma_profile};
    MetProbe probe{ctx.met,
                   advance,
                   AdvanceStep{ctx.model_time, ctx.control.backward ? -1.0f : 1.0f},
                   ctx.met_at_particle,
                   ctx.meteo_return_profile,
                   ctx.msg()};
    CurrentMet current{ctx.current_met_grid, ctx.current_met_file};
    place_sources_on_meteorology(ctx.source_locations, ctx.location_count, ctx.setup, ctx.control.model_top, probe,
                                 current);
    set_up_samplers(ctx.dispersion.samplers, ctx.setup, ctx.control.model_top, probe, current, ctx.met_at_particle);
    ctx.current_met_grid = current.grid;
    ctx.current_met_file = current.file;
}

void check_release_settings(RunContext& ctx) {
    Settings& s = ctx.setup;
    if (s.INITD == kParticle) s.FRMR = 0.0f;
    if (s.ICHEM != 4) return;
    const MetGridDefinition& g = ctx.met.files.grid(ctx.current_met_grid, ctx.current_met_file);
    const MetGridWindow& w = ctx.met.arrays.window(ctx.current_met_grid);
    const int32_t nx = w.nx > 0 ? w.nx : w.planned_nx;
    const int32_t ny = w.ny > 0 ? w.ny : w.planned_ny;
    if (nx != g.nx || ny != g.ny) {
        ctx.console.list("Configuration error, see MESSAGE file for more information");
        ctx.log.list("*ERROR* main: ICHEM=4 requires full grid meteo data");
        ctx.log.list(" Set MGMIN in SETUP.CFG namelist to a value > than: ", std::max(g.nx, g.ny));
        throw RunStop(kStopInput);
    }
}

}  // namespace orv
