#include "run/particle_arrays.hpp"

#include <algorithm>

namespace orv {

void allocate_particle_arrays(ParticleArrays& p, int32_t maxpar, int32_t maxdim, TextOut& console) {
    const int64_t n = std::max(maxpar, 0);
    const int64_t d = std::max(maxdim, 0);
    p.maxpar = static_cast<int32_t>(n);
    p.maxdim = static_cast<int32_t>(d);
    p.particle_count = 0;
    const std::string_view pre = kAllocPrefix;

    allocate_or_stop(pre, "Particle position", p.particle_x, n, console);
    allocate_or_stop(pre, "Particle position", p.particle_y, n, console);
    allocate_or_stop(pre, "Particle position", p.particle_z, n, console);

    allocate_or_stop(pre, "Particle sigma", p.particle_sigma_h, n, console);
    allocate_or_stop(pre, "Particle sigma", p.particle_turb_u, n, console);
    allocate_or_stop(pre, "Particle sigma", p.particle_turb_v, n, console);
    allocate_or_stop(pre, "Particle sigma", p.particle_sigma_z, n, console);

    allocate_or_stop(pre, "Particle mass", p.particle_mass, d * n, console);  // zeroed masses

    allocate_or_stop(pre, "Particle characteristics", p.particle_age, n, console);
    allocate_or_stop(pre, "Particle characteristics", p.particle_hdwp, n, console);
    allocate_or_stop(pre, "Particle characteristics", p.particle_pollutant, n, console);

    allocate_or_stop(pre, "Particle grid and sort", p.particle_grid, n, console);
    allocate_or_stop(pre, "Particle grid and sort", p.particle_sort_key, n, console);

    allocate_or_stop(pre, "mass_total", p.mass_total, d, console);
}

}  // namespace orv
