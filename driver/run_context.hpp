#pragma once
// The state of one model run: created by main and passed by reference to
// every step of the run.

#include <cstdint>
#include <string>
#include <vector>

#include "common/text_output.hpp"
#include "dispersion/dispersion_state.hpp"
#include "driver/concentration_grids.hpp"
#include "driver/control_file.hpp"
#include "driver/control_input.hpp"
#include "driver/particle_arrays.hpp"
#include "driver/pollutants.hpp"
#include "driver/settings.hpp"
#include "mercury/diagnostic_channels.hpp"
#include "meteo/meteo_state.hpp"

namespace orv {

struct RunContext {
    std::string run_suffix;  // from the command line; empty when none
    TextOut log;             // the message log, MESSAGE
    DiagnosticChannels channels;

    Settings setup;
    HgSetup hg_setup;
    Hgsim hgsim;

    ParticleArrays particles;

    ControlInput control_input;
    RunControl control;
    std::vector<SourceLocation> source_locations;
    MeteoState met;  // the data files, surface files and sub-grid arrays
    int32_t model_time = 0;          // accumulated minutes
    float time_step_spacing = 0.0f;  // km

    int32_t numtyp = 1;
    int32_t pollutant_entry_count = 1;
    std::vector<Pollutant> dirt;
    DepositionSwitches deposition;

    std::vector<ConcentrationGrid> concentration_grids;
    int32_t last_average_grid = 0;
    int32_t last_snapshot_grid = 0;
    int32_t last_maximum_grid = 0;

    DispersionState dispersion;  // generator, releases, concentration array and files
};

}  // namespace orv
