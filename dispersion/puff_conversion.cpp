#include "dispersion/puff_conversion.hpp"

#include <cstdlib>

#include "dispersion/puff_work.hpp"
#include "run/particle_types.hpp"

namespace orv {

namespace {

// Converts the entries of codes `a` and `b` that have reached the age;
// returns how many remain unconverted.
int32_t convert(ParticleArrays& p, int32_t a, int32_t b, int32_t conversion_age, bool to_puff) {
    int32_t waiting = 0;
    for (int32_t i = 0; i < p.particle_count; ++i) {
        const int32_t code = p.particle_hdwp[i];
        if (code != a && code != b) continue;
        if (p.particle_age[i] < conversion_age) {
            ++waiting;
            continue;
        }
        p.particle_turb_u[i] = 0.0f;
        p.particle_turb_v[i] = 0.0f;
        p.particle_sigma_z[i] = 0.0f;
        p.particle_hdwp[i] = to_puff ? code % 100 : kParticle;
    }
    return waiting;
}

}  // namespace

void parpuf(ParticleArrays& p, int32_t conversion_age, TextOut& log) {
    const int32_t waiting = convert(p, kParticleToGaussianPuff, kParticleToTopHatPuff, conversion_age, true);
    if (waiting > 0) log.list(" NOTICE parpuf: ", waiting, " unconverted particles");
}

void pufpar(ParticleArrays& p, int32_t conversion_age, TextOut& log) {
    const int32_t waiting = convert(p, kGaussianPuffToParticle, kTopHatPuffToParticle, conversion_age, false);
    if (waiting > 0) log.list(" NOTICE pufpar: ", waiting, " unconverted puffs");
}

namespace {

void move_entry(ParticleArrays& p, int32_t from, int32_t to) {
    for (int32_t s = 0; s < p.maxdim; ++s) p.mass(s, to) = p.mass(s, from);
    p.particle_x[to] = p.particle_x[from];
    p.particle_y[to] = p.particle_y[from];
    p.particle_z[to] = p.particle_z[from];
    p.particle_sigma_h[to] = p.particle_sigma_h[from];
    p.particle_turb_u[to] = p.particle_turb_u[from];
    p.particle_turb_v[to] = p.particle_turb_v[from];
    p.particle_sigma_z[to] = p.particle_sigma_z[from];
    p.particle_hdwp[to] = p.particle_hdwp[from];
    p.particle_age[to] = p.particle_age[from];
    p.particle_pollutant[to] = p.particle_pollutant[from];
    p.particle_grid[to] = p.particle_grid[from];
}

}  // namespace

void compact_particle_list(ParticleArrays& p, int32_t KHMAX, float minimum_mass) {
    int32_t kept = 0;
    for (int32_t i = 0; i < p.particle_count; ++i) {
        const bool ended = p.particle_grid[i] == 0;
        const bool too_old = std::llabs(int64_t{p.particle_age[i]}) / 60 >= KHMAX;
        const bool exhausted = p.particle_hdwp[i] != kSampler && entry_mass(p, i) <= minimum_mass;
        if (ended || too_old || exhausted) continue;
        if (kept != i) move_entry(p, i, kept);
        p.particle_sort_key[kept] = kept + 1;
        ++kept;
    }
    p.particle_count = kept;
}

}  // namespace orv
