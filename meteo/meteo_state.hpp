#pragma once
// The meteorological state of a run: the grid and file tables of the data,
// the surface files, the sub-grid arrays with each grid's window, and the
// once-per-run switches of the meteorological notices. The run context holds
// one; every meteorological routine works on it.

#include <array>
#include <cstdint>

#include "meteo/advection.hpp"
#include "meteo/met_subgrid_arrays.hpp"
#include "meteo/met_tables.hpp"
#include "meteo/surface_files.hpp"

namespace orv {

// Notices and warnings written once per run.
struct MeteoNotices {
    bool metpos_warned = false;  // the first "no data" warning of the grid selection
    std::array<bool, 4> extrapolation{};  // one per vertical coordinate type
    bool surface_pressure_below_levels = false;
};

struct MeteoState {
    MeteoFiles files;
    SurfaceFiles surface;  // shared by the sub-grid set-up and the mercury steps
    MetSubgridArrays arrays;
    MeteoNotices notices;
    SamplerSurface sampler_surface;  // work space of the sampler advection
};

}  // namespace orv
