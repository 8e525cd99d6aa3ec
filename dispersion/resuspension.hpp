#pragma once
// Two surface sources: resuspension of deposited mass from the deposition
// grid as new particles or puffs, and the wind-driven emission of a dust
// source particle.

#include <cstdint>
#include <vector>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "dispersion/concentration_array.hpp"
#include "run/concentration_grids.hpp"
#include "run/control_file.hpp"
#include "run/particle_arrays.hpp"
#include "run/pollutants.hpp"
#include "run/settings.hpp"
#include "meteo/met_subgrid_arrays.hpp"
#include "meteo/met_tables.hpp"

namespace orv {

// One step's resuspension (dt_minutes negative backward) on meteorological
// grid kg at time index kt. The deposition grid is the first concentration
// grid with a level of height 0 (its last such level); every cell of it with
// a deposit of a pollutant with DOSUS releases part of the deposit, by the
// pollutant's SRATE and the first surface flux field of the sub-grid at the
// nearest grid point (data time 2). With ICHEM 4 the cells are the points of
// the meteorological grid. A cell whose nearest point lies outside the loaded
// sub-grid, or whose resuspension comes to nothing, releases nothing. No
// deposition grid stops the run; full particle arrays end the call.
void depsus(const std::vector<ConcentrationGrid>& grids, const std::vector<Pollutant>& dirt, const Settings& s,
            const MeteoFiles& met, MetSubgridArrays& arrays, int32_t kg, int32_t kt, float dt_minutes,
            ConcentrationArray& conc, ParticleArrays& p, Messages msg);

// The dust emitted by entry i, a dust source (its first mass negative), in
// the wind `speed` (the particle speed the driver gives) without rain: its
// first mass becomes |mass| x flux x 3600 x the area of the first starting
// location, whose height sets the roughness term. Without flux the mass
// becomes 0 and the entry ends (grid 0).
void compute_surface_emission_flux(float P10F, const SourceLocation& first_location, float speed, float rain,
                                   ParticleArrays& p, int32_t i);

// The flux itself (0 when the roughness term is not positive, the wind does
// not exceed its threshold, or it rains), capped at 0.001.
float surface_emission_flux(float P10F, float source_height, float speed, float rain);

}  // namespace orv
