#pragma once
// The state of one model run: created by main and passed by reference to
// every step of the run. Each member is filled by the set-up step named in
// its comment and lives until the end of the run.

#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "dispersion/dispersion_state.hpp"
#include "run/concentration_grids.hpp"
#include "run/control_file.hpp"
#include "run/control_input.hpp"
#include "run/particle_arrays.hpp"
#include "run/pollutants.hpp"
#include "driver/receptor_outputs.hpp"
#include "run/settings.hpp"
#include "mercury/diagnostic_channels.hpp"
#include "mercury/global_oxidants.hpp"
#include "mercury/mercury_arrays.hpp"
#include "mercury/mercury_chemistry.hpp"
#include "mercury/oxidants_at_puff.hpp"
#include "mercury/puff_deposition.hpp"
#include "mercury/receptor_tables.hpp"
#include "mercury/size_distribution.hpp"
#include "meteo/met_at_particle.hpp"
#include "meteo/meteo_state.hpp"
#include "meteo/vertical_grid.hpp"

namespace orv {

// The run start as resolved by the meteorological set-up (a start month of 0
// in the control input takes the start from the data). Later code reads this,
// never the start as typed.
struct RunStart {
    int32_t year = 0;  // as the control input gives it (2 or 4 digits)
    int32_t month = 0;
    int32_t day = 0;
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t model_time = 0;  // the same in accumulated minutes
};

struct RunContext {
    // ---- start-up and settings ----
    std::string run_suffix;      // from the command line; empty when none
    // The console: standard output unless main is given another stream. Every
    // output file reports a failed write to it, so it is declared before them
    // all and outlives them.
    TextOut console{std::cout};
    TextOut log;                 // the message log, MESSAGE
    Messages msg() { return {console, log}; }
    DiagnosticChannels channels;
    Settings setup;
    HgSetup hg_setup;
    Hgsim hgsim;
    ParticleArrays particles;
    int32_t process_count = 1;  // the model runs as one process (the release code reads it)

    // ---- control input, meteorology and sources ----
    ControlInput control_input;
    RunControl control;
    // Starting locations; entries 1..location_count are the sources on a
    // meteorological grid (the table keeps the size the control input gave).
    std::vector<SourceLocation> source_locations;
    int32_t location_count = 0;
    RunStart start;
    MeteoState met;  // the data files, surface files and sub-grid arrays
    InternalVerticalGrid vertical_grid;
    std::vector<float> sigma_profile;              // nlvl: 1 - z(k) / model_top
    std::vector<ProfileRow> meteo_return_profile;  // nlvl rows at the current particle
    std::vector<float> level_diagnostics;          // nlvl: per-level mass sums
    MetAtParticle met_at_particle;
    int32_t model_time = 0;          // accumulated minutes
    float time_step_spacing = 0.0f;  // km
    int32_t current_met_grid = 1;    // grid and file of the last particle advanced
    int32_t current_met_file = 1;
    float hour_max_speed = 1.2f;     // km per minute
    // Work arrays of the sub-grid planning: the particle and source positions.
    std::vector<float> subgrid_x;
    std::vector<float> subgrid_y;
    std::vector<int32_t> subgrid_grid;

    // ---- pollutants ----
    int32_t numtyp = 1;
    int32_t pollutant_entry_count = 1;  // numtyp, or the locations with ICHEM 1
    // max(pollutant entries, MAXDIM, 1) records; records beyond the entries
    // read keep the padding defaults (see padding_pollutant()).
    std::vector<Pollutant> dirt;
    DepositionSwitches deposition;

    // ---- receptors, ceps and mercury ----
    CategorySelection receptor_selection;
    CategorySelection cep_selection;
    int32_t ndivmax = 0;
    ReceptorTables receptors;
    CepTables ceps;
    ReceptorCategories receptor_categories;
    MercuryArrays mercury;             // with step_deposit (same extent as dirt)
    ReceptorOutputs receptor_outputs;  // recpmass, cepflux, pathtot_puff, zfrvdptot
    SizeDistribution sizes;
    MercuryChemistryWorkspace chemistry_work;
    DepositionWorkspace deposition_work;
    OxidantValuesAtPuff oxidants;
    GlobalChemGrid global_chem;
    int32_t oxidant_month = 0;

    // ---- concentration grids ----
    std::vector<ConcentrationGrid> concentration_grids;
    // Each maximum grid (from 1) with the grid it takes its values from.
    struct MaximumGrid {
        int32_t grid = 0;
        int32_t twin = 0;
    };
    std::vector<MaximumGrid> maximum_grids;
    int32_t puff_split_limit = 0;

    // ---- particle files and run end ----
    bool particle_init_reread = false;  // the hour ends read the initialisation file again
    bool split_enabled = true;          // puff splitting on (the split control may turn it off)
    int32_t particle_limit_flag = 0;    // 1 once a release found the particle arrays full

    DispersionState dispersion;  // generator, releases, concentration array and files
};

}  // namespace orv
