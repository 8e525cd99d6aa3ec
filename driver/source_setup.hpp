#pragma once
// The starting locations on the meteorological grids: each location is
// placed on the first grid that holds it (a global cyclic grid holds every
// location), and the locations on no grid are dropped.

#include <cstdint>
#include <vector>

#include "common/messages.hpp"
#include "run/control_file.hpp"
#include "run/settings.hpp"
#include "mercury/diagnostic_channels.hpp"
#include "dispersion/emission_file.hpp"
#include "run/pollutants.hpp"
#include "meteo/advpnt.hpp"
#include "meteo/met_tables.hpp"

namespace orv {

// Places locations 1..count on grids 1..grid_count (their definitions at file
// 1): grid x, y, the internal coordinate of the release height and the grid
// number, with a console warning block for every grid a location misses. A
// cyclic grid sets MGMIN to the larger of its NX and NY. Then the placed
// locations move down in order and `count` becomes their number (the table
// keeps its size); none placed stops the run.
void place_sources(std::vector<SourceLocation>& locations, int32_t& count, const MeteoFiles& met,
                   const RunControl& run, Settings& s, TextOut& console);

// Grid x, y of a latitude and longitude on a grid of either kind.
void geo_to_met_grid(const MetGridDefinition& g, float lat, float lon, float& x, float& y);

// The source table of the emission file, preset from the locations and the
// pollutants (locations outer): the pollutant's release window (its end in
// whole minutes, summed in 64 bits), the location's grid, position and
// height, its own emission rate when positive (else the pollutant's), its
// second value, no heat release. Pollutants beyond the table stay empty.
void preset_source_pollutant_matrix(SourcePollutantMatrix& m, const std::vector<SourceLocation>& locations,
                                    int32_t count, const std::vector<Pollutant>& dirt, int32_t numtyp);

// What looking up the meteorology at a point needs: the advance's records,
// a step of one minute (backward in a backward run) at the start time, and
// where the values at the point go.
struct MetProbe {
    MeteoState& met;
    const AdvanceContext& advance;
    AdvanceStep step;
    MetAtParticle& at;
    std::span<ProfileRow> profile;
    Messages msg;
};

// The meteorological grid and file of the last point looked up.
struct CurrentMet {
    int32_t grid = 1;
    int32_t file = 1;
};

// The meteorology at a copy of the point (which therefore does not move);
// on success the current grid and file become those of the look-up.
AdvanceResult probe_met(MetProbe& probe, ParticlePosition point, CurrentMet& current, int32_t& grid_after);

// Each source looked up on the meteorology at the start time: a source whose
// data lie on another grid takes that grid; with KMSL 1 heights above sea
// level become heights above ground; the release coordinate follows the
// terrain. A source without data keeps its values.
void place_sources_on_meteorology(std::vector<SourceLocation>& locations, int32_t count, const Settings& s,
                                  float model_top, MetProbe& probe, CurrentMet& current);

// Diagnostic channel 33, when enabled: the latitude and longitude of every
// point of meteorological grid 1.
void dump_grid_positions(const MeteoFiles& met, DiagnosticChannels& channels);

}  // namespace orv
