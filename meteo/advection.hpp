#pragma once
// Advection of one particle, horizontal puff or sampler over one time step
// by the mean wind, with a predictor-corrector integration: the wind at the
// start, a trial move, the wind at the trial position at the later time, and
// the mean of both. Positions are in the index space of the grid's window
// (1.0 = its first point); z is the internal coordinate (1 at the ground).

#include <cstdint>
#include <span>
#include <vector>

#include "meteo/field_view.hpp"
#include "meteo/met_at_particle.hpp"
#include "meteo/met_tables.hpp"
#include "meteo/vertical_grid.hpp"

namespace orv {

// The grid's fields in the slots of data times 1 ([0]) and 2 ([1]).
struct AdvectionFields {
    FieldView3D u[2], v[2], w[2];  // grid units per minute; internal coordinate per minute
    FieldView2D momentum_x[2], momentum_y[2];  // -u* components, grid units per minute
    FieldView3D pressure[2];       // hPa
    int32_t nx = 0;  // the window: the domain of the advection
    int32_t ny = 0;
    bool whole_grid = false;  // the window is the whole global grid: x wraps, y reflects
    WindStaggerOffsets stagger;  // of the grid's data source
    bool one_layout = false;  // u, v and w of both slots share one layout (cell offsets and levels)
};

// The step: model time t at its start, the data times t1, t2 of the two
// slots, and the step dt in minutes (negative in a backward run).
struct AdvectionStep {
    int32_t t = 0;
    int32_t t1 = 0;
    int32_t t2 = 0;
    float dt = 0.0f;
};

// What every routine needs of the run.
// A sampler's pressure surface over the window, per slot: its internal
// coordinate and the wind on it. Held across calls, so that a sampler step
// reuses the storage and allocates only when the window grows.
struct SamplerSurface {
    int32_t nx = 0, ny = 0;
    std::vector<float> zs[2], us[2], vs[2];
    FieldView2D view(std::vector<float>& a) { return FieldView2D{a.data(), nx, 1}; }
};

struct AdvectionSettings {
    const InternalVerticalGrid* grid = nullptr;
    std::span<const float> sigma;  // internal coordinate of levels 1..nlvl
    float model_top = 0.0f;         // m
    float tratio = 0.75f;           // largest move per sub-step, grid cells
};

// Real level index of a vertical position (the inverse of the level heights),
// held within 1..nlvl.
float level_index_of(const InternalVerticalGrid& g, float z, float model_top);

// Types 0 to 4: three-dimensional particles and puffs. Word 1 of `m` gets the
// level index of the last wind evaluation.
void advect_position_3d(const AdvectionFields& f, const AdvectionStep& st, const AdvectionSettings& s, float& x,
                        float& y, float& z, MetAtParticle& m);
// Type 5: horizontal only, with the friction-velocity pair.
void advect_position_2d(const AdvectionFields& f, const AdvectionStep& st, float& x, float& y);
// Type 6: a sampler that follows its pressure surface, or the prescribed
// velocity in words 16 and 17 of `m` when either is not 0.
void advect_sampler_position(const AdvectionFields& f, const AdvectionStep& st, const AdvectionSettings& s, float& x,
                             float& y, float& z, MetAtParticle& m, SamplerSurface& surface);

}  // namespace orv
