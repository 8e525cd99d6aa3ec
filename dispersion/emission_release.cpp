#include "dispersion/emission_release.hpp"

#include <algorithm>
#include <cmath>

#include "common/math_constants.hpp"
#include "common/run_stop.hpp"
#include "common/clamped_int.hpp"
#include "run/particle_types.hpp"

namespace orv {

namespace {

// A release k is made when k mod kProcessCount equals kProcessRank; the model
// runs as one process.
constexpr int32_t kProcessCount = 1;
constexpr int32_t kProcessRank = 0;

bool window_open(const SourcePollutantRecord& r, float dt_minutes, int32_t now) {
    if (dt_minutes > 0.0f) return r.start_minute <= now && now < r.stop_minute;
    return r.start_minute >= now && now > r.stop_minute;
}

int32_t window_minutes(const SourcePollutantRecord& r) {
    return clamp_to_int32(std::llabs(int64_t{r.stop_minute} - int64_t{r.start_minute}));
}

// Releases per source slot and step.
int32_t releases_per_step(const SourcePollutantMatrix& m, int32_t nsrc, int32_t numtyp, int32_t maxdim,
                          const Settings& s, float dt_minutes) {
    const int32_t mode = distribution_mode(s.INITD);
    if (is_vertical_puff(mode)) return 1;
    const float hstep = std::fabs(dt_minutes) / 60.0f;
    float longest = 0.0f;
    for (int32_t j = 1; j <= numtyp; ++j)
        for (int32_t i = 1; i <= nsrc; ++i)
            longest = std::max({longest, static_cast<float>(window_minutes(m.at(i, j))) / 60.0f, hstep});
    int32_t share = s.NUMPAR / nsrc;
    if (maxdim == 1) share /= numtyp;
    const int32_t per_hour = nearest_clamped(static_cast<float>(share) / longest);
    return std::max(truncate_clamped(hstep * static_cast<float>(per_hour)), kProcessCount);
}

// Whether release loop k of slot i releases this step.
bool slot_active(const SourcePollutantMatrix& m, int32_t i, int32_t k, int32_t maxdim, int32_t numtyp,
                 float dt_minutes, int32_t now) {
    if (maxdim == 1) return window_open(m.at(i, k), dt_minutes, now);
    for (int32_t j = 1; j <= numtyp; ++j)
        if (window_open(m.at(i, j), dt_minutes, now)) return true;
    return false;
}

struct ReleaseStep {
    float dt_minutes;
    int32_t now;
    int32_t count;          // releases per slot
    float steps_per_hour;   // at least 1
};

// Writes new entry q for release loop k of slot i.
void place_release(const SourcePollutantMatrix& m, int32_t i, int32_t k, int32_t numtyp, const Settings& s,
                   const ReleaseStep& st, ParticleArrays& p, int32_t q) {
    const SourcePollutantRecord& r = m.at(i, k);
    p.particle_sort_key[q] = q + 1;
    p.particle_x[q] = r.grid_x;
    p.particle_y[q] = r.grid_y;
    p.particle_z[q] = r.release_height;  // metres: placed by the driver after the plume rise
    p.particle_turb_u[q] = 0.0f;
    p.particle_turb_v[q] = 0.0f;
    p.particle_sigma_h[q] = r.source_area > 0.0f ? std::sqrt(r.source_area / kPi) / kTopHat : 0.0f;
    p.particle_hdwp[q] = s.INITD;
    p.particle_pollutant[q] = k;
    p.particle_grid[q] = r.met_grid;
    if (p.maxdim == 1) {
        p.mass(0, q) = r.emission_rate / st.steps_per_hour / static_cast<float>(st.count);
    } else {
        for (int32_t j = 1; j <= numtyp; ++j) {
            const SourcePollutantRecord& rj = m.at(i, j);
            p.mass(j - 1, q) = window_open(rj, st.dt_minutes, st.now)
                                   ? rj.emission_rate / st.steps_per_hour / static_cast<float>(st.count)
                                   : 0.0f;
        }
    }
    // The plume-rise inputs travel to the driver in the vertical spread and age.
    if (r.heat_release > 0.0f) {
        p.particle_sigma_z[q] = r.heat_release;
        p.particle_age[q] = window_minutes(r);
    } else {
        p.particle_sigma_z[q] = 0.0f;
        p.particle_age[q] = 0;
    }
}

}  // namespace

int32_t emstmp(const SourcePollutantMatrix& m, int32_t nsrc, int32_t numtyp, const Settings& s, float dt_minutes,
               int32_t model_time, ParticleArrays& p, Messages msg) {
    const int32_t maxdim = std::max(p.maxdim, 0);
    if (maxdim != 1 && maxdim != numtyp) {
        msg.log.list("*ERROR*: emstmp - max mass dimension other than 1 or numtyp");
        msg.log.list(" maxdim = ", maxdim, "   numtyp = ", numtyp);
        msg.console.line("Abnormal termination (emstmp) - see MESSAGE file");
        throw RunStop::plain();
    }
    // Only the slots and pollutants the table holds release.
    nsrc = std::min(nsrc, m.slots);
    numtyp = std::min(numtyp, m.pollutants);
    if (nsrc < 1 || numtyp < 1) return 0;

    const ReleaseStep st{dt_minutes, model_time, releases_per_step(m, nsrc, numtyp, maxdim, s, dt_minutes),
                         std::max(std::fabs(60.0f / dt_minutes), 1.0f)};
    const int32_t loops = maxdim == 1 ? numtyp : 1;
    int64_t released = 0;
    for (int32_t i = 1; i <= nsrc; ++i) {
        for (int32_t k = 1; k <= loops; ++k) {
            if (!slot_active(m, i, k, maxdim, numtyp, dt_minutes, model_time)) continue;
            for (int32_t r = 1; r <= st.count; ++r) {
                ++released;
                if (released % kProcessCount != kProcessRank) continue;
                if (p.particle_count + 1 > p.maxpar) {
                    p.particle_count = p.maxpar;
                    msg.log.list("Warning: emstmp - exceeding puff limit");
                    return 1;
                }
                const int32_t q = p.particle_count;
                p.particle_count = q + 1;
                place_release(m, i, k, numtyp, s, st, p, q);
            }
        }
    }
    return 0;
}

float compute_plume_rise(int32_t window_minutes, float heat_release, float stability, float wind_speed,
                         float friction_velocity, float mixed_layer_depth) {
    const float flux = 7.6e-7f * heat_release;
    float rise = 0.0f;
    float cap = 0.0f;
    if (stability <= 0.0f) {
        rise = 1.3f * flux / (wind_speed * friction_velocity * friction_velocity);
        cap = 0.75f * mixed_layer_depth;
    } else if (wind_speed > 0.5f) {
        rise = 2.6f * std::pow(flux / (wind_speed * stability), 0.333333f);
        cap = 2.0f * mixed_layer_depth;
    } else {
        rise = 5.3f * std::pow(flux, 0.25f) / std::pow(stability, 0.375f);
        cap = 2.0f * mixed_layer_depth;
    }
    if (window_minutes >= 1440) cap = 3000.0f;
    // Calm air gives an unbounded rise (or none that can be computed): the cap holds.
    if (!(rise < cap)) return cap;
    return rise;
}

float compute_plume_rise(int32_t window_minutes, float heat_release, const MetAtParticle& met) {
    return compute_plume_rise(window_minutes, heat_release, met.stability_2, met.wind_speed_10m,
                              met.friction_velocity, met.mixed_layer_depth);
}

void emission_release_height(ParticleArrays& p, int32_t i, bool met_found, const MetAtParticle& met, float z_probe,
                             float model_top, PlumeRiseSums& sums) {
    const float height = p.particle_z[i];
    const float heat = p.particle_sigma_z[i];
    const int32_t window = p.particle_age[i];
    p.particle_sigma_z[i] = 0.0f;
    p.particle_age[i] = 0;
    if (!met_found) {
        p.particle_z[i] = z_probe;
        return;
    }
    const float column = model_top - met.terrain_height;
    if (heat > 0.0f) {
        const float rise = compute_plume_rise(window, heat, met);
        p.particle_z[i] = std::max(0.0f, 1.0f - (height + rise) / column);
        sums.count += 1;
        sums.mixed_layer_depth += met.mixed_layer_depth;
        sums.rise += rise;
    } else {
        p.particle_z[i] = 1.0f - height / column;
    }
}

void write_plume_rise_notice(const PlumeRiseSums& sums, TextOut& log) {
    if (sums.count <= 0) return;
    const double n = sums.count;
    log.list(" NOTICE emrise: (mixd,rise) - ", nearest_clamped(static_cast<float>(sums.mixed_layer_depth / n)),
             nearest_clamped(static_cast<float>(sums.rise / n)));
}

}  // namespace orv
