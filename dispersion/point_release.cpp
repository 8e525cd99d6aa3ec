#include "dispersion/point_release.hpp"

#include <algorithm>
#include <cmath>

#include "common/clamped_int.hpp"
#include "common/math_constants.hpp"
#include "run/particle_types.hpp"

namespace orv {

namespace {

// A release k is made when k mod kProcessCount equals kProcessRank; the model
// runs as one process.
constexpr int32_t kProcessCount = 1;
constexpr int32_t kProcessRank = 0;

// Consecutive locations at one position: only the last of a run releases,
// from its own height to that of the one before it. Returns the number of
// locations that release.
int32_t pair_line_sources(std::vector<SourceLocation>& loc) {
    const size_t n = loc.size();
    loc[0].release_z_partner = loc[0].release_z;
    auto same = [](float a, float b) { return std::trunc(a * 10000.0f) == std::trunc(b * 10000.0f); };
    for (size_t k = 0; k + 1 < n; ++k) {
        if (same(loc[k].grid_x, loc[k + 1].grid_x) && same(loc[k].grid_y, loc[k + 1].grid_y)) {
            loc[k + 1].release_z_partner = loc[k].release_z;
            loc[k].release_z_partner = 0.0f;
        } else {
            loc[k + 1].release_z_partner = loc[k + 1].release_z;
        }
    }
    if (n == 1) return 1;
    int32_t effective = 0;
    for (const SourceLocation& l : loc)
        if (l.release_z_partner != 0.0f) ++effective;
    return effective;
}

// Releases per location and step.
int32_t releases_per_step(const std::vector<Pollutant>& dirt, const Settings& s, float dt_minutes,
                          int32_t effective) {
    const int32_t mode = distribution_mode(s.INITD);
    if (is_vertical_puff(mode)) return 1;
    const float hstep = std::fabs(dt_minutes) / 60.0f;
    float hours = 0.0f;
    const size_t last = s.ICHEM == 1 ? std::min<size_t>(1, dirt.size()) : dirt.size();
    for (size_t j = 0; j < last; ++j) hours += std::max(std::fabs(dirt[j].emission_hours), hstep);
    const int32_t per_hour = nearest_clamped(static_cast<float>(s.NUMPAR / effective) / hours);
    return std::max(kProcessCount, truncate_clamped(static_cast<float>(per_hour) * hstep));
}

struct ReleaseStep {
    float dt_minutes;
    int32_t t;
    int32_t now;
    int32_t count;  // releases per location
};

// Writes one new entry at index q for release r (1-based) of location a.
void place_release(const SourceLocation& a, const Settings& s, int32_t r, int32_t count, ParticleArrays& p,
                   int32_t q) {
    p.particle_sort_key[q] = q + 1;
    p.particle_x[q] = a.grid_x;
    p.particle_y[q] = a.grid_y;
    p.particle_turb_u[q] = 0.0f;
    p.particle_turb_v[q] = 0.0f;
    p.particle_sigma_h[q] = a.source_area > 0.0f ? std::sqrt(a.source_area / kPi) / kTopHat : 0.0f;
    const float span = std::fabs(a.release_z_partner - a.release_z);
    const int32_t mode = distribution_mode(s.INITD);
    if (span == 0.0f) {
        p.particle_z[q] = a.release_z;
        p.particle_sigma_z[q] = 0.0f;
    } else {
        const float lowest = std::max(a.release_z, a.release_z_partner);
        if (is_vertical_puff(mode)) {
            p.particle_sigma_z[q] = (span / kTopHat) * 0.5f;
            p.particle_z[q] = lowest - span * 0.5f;
        } else {
            p.particle_sigma_z[q] = 0.0f;
            p.particle_z[q] = lowest - static_cast<float>(r) * span / static_cast<float>(count);
        }
    }
    p.particle_hdwp[q] = s.INITD;
    p.particle_age[q] = 0;
    p.particle_pollutant[q] = 1;
    p.particle_grid[q] = a.met_grid;
}

void fill_release_mass(const SourceLocation& a, const std::vector<Pollutant>& dirt, const ReleaseStep& st,
                       size_t first, size_t last, PointReleaseState& state, ParticleArrays& p, int32_t q,
                       TextOut& log) {
    const int32_t slots = p.maxdim;
    for (int32_t k = 0; k < slots; ++k) p.mass(k, q) = 0.0f;
    bool filled_last = false;
    for (size_t j = first; j < last; ++j) {
        const Pollutant& d = dirt[j];
        if (!release_window(d, st.dt_minutes, st.now).on()) continue;
        const int32_t slot = std::min(static_cast<int32_t>(j) + 1, slots);
        if (slot < 1) continue;
        if (slot == slots) {
            if (filled_last && !state.slot_warning_written) {
                log.list("WARNING emspnt_hg: more pollutants than mass slots (MAXDIM) - "
                         "later pollutants replace earlier ones in the last slot");
                state.slot_warning_written = true;
            }
            filled_last = true;
        }
        const float rate = a.source_rate != 0.0f ? a.source_rate : d.emission_rate;
        const float hours = std::fabs(d.emission_hours);
        const float f = std::max(hours * 60.0f / std::fabs(st.dt_minutes), 1.0f);
        p.mass(slot - 1, q) = rate * hours / f * state.fraction[j] / static_cast<float>(st.count);
    }
}

}  // namespace

ReleaseWindow release_window(const Pollutant& d, float dt_minutes, int32_t model_time) {
    const int32_t t = static_cast<int32_t>(dt_minutes);
    ReleaseWindow w;
    if (t >= 1) {
        w.elapsed = model_time - d.release_start_minute;
        w.length = std::max(truncate_clamped(d.emission_hours * 60.0f), t);
    } else {
        w.elapsed = d.release_start_minute - model_time;
        w.length = truncate_clamped(std::max(std::fabs(d.emission_hours * 60.0f), std::fabs(dt_minutes)));
    }
    return w;
}

bool release_fractions(const std::vector<Pollutant>& dirt, float dt_minutes, int32_t model_time,
                       std::vector<float>& fraction) {
    const int32_t t = static_cast<int32_t>(dt_minutes);
    fraction.assign(dirt.size(), 1.0f);
    bool any_on = false;
    for (size_t j = 0; j < dirt.size(); ++j) {
        const ReleaseWindow w = release_window(dirt[j], dt_minutes, model_time);
        if (!w.on()) continue;
        any_on = true;
        if (w.length - w.elapsed < std::abs(t))
            fraction[j] = static_cast<float>(w.length - w.elapsed) / std::fabs(dt_minutes);
    }
    return any_on;
}

void apply_release_cycle(std::vector<Pollutant>& dirt, const Settings& s, float dt_minutes, int32_t model_time) {
    const int32_t t = static_cast<int32_t>(dt_minutes);
    for (Pollutant& d : dirt) {
        const ReleaseWindow w = release_window(d, dt_minutes, model_time);
        const int32_t end =
            t >= 1 ? t + model_time - d.release_start_minute : -t - model_time + d.release_start_minute;
        if (w.length > end) continue;
        int32_t shift = nearest_clamped(std::fabs(s.QCYCLE * 60.0f));
        if (d.emission_hours < 0.0f) shift = -shift;
        d.release_start_minute += shift;
    }
}

int32_t emspnt_hg(std::vector<SourceLocation>& locations, std::vector<Pollutant>& dirt, const Settings& s,
                  float dt_minutes, int32_t model_time, ParticleArrays& p, PointReleaseState& state, TextOut& log) {
    int32_t limit = 0;
    const int32_t t = static_cast<int32_t>(dt_minutes);
    const bool any_on = release_fractions(dirt, dt_minutes, model_time, state.fraction);
    if (any_on && !state.emitting) log.list(" NOTICE emspnt_hg: emissions started");
    if (!any_on && state.emitting) log.list(" NOTICE emspnt_hg: emissions terminated");
    state.emitting = any_on;
    if (!any_on) return limit;

    // Without a releasing location nothing is released (the share per
    // location would divide by zero), but the release periods still cycle.
    const int32_t effective = locations.empty() ? 0 : pair_line_sources(locations);
    if (effective > 0) {
        const ReleaseStep st{dt_minutes, t, model_time, releases_per_step(dirt, s, dt_minutes, effective)};
        int64_t released = 0;
        for (size_t a = 0; a < locations.size() && limit == 0; ++a) {
            const SourceLocation& loc = locations[a];
            if (loc.release_z_partner == 0.0f) continue;
            size_t first = 0, last = dirt.size();
            if (s.ICHEM == 1) {
                if (a >= dirt.size()) continue;
                first = a;
                last = a + 1;
            }
            for (int32_t r = 1; r <= st.count; ++r) {
                ++released;
                if (released % kProcessCount != kProcessRank) continue;
                if (p.particle_count + 1 > p.maxpar) {
                    p.particle_count = p.maxpar;
                    log.list("Warning: emspnt_hg - exceeding puff limit");
                    limit = 1;
                    break;
                }
                const int32_t q = p.particle_count;
                p.particle_count = q + 1;
                place_release(loc, s, r, st.count, p, q);
                fill_release_mass(loc, dirt, st, first, last, state, p, q, log);
            }
        }
    }
    apply_release_cycle(dirt, s, dt_minutes, model_time);
    return limit;
}

}  // namespace orv
