#pragma once
// Everything the dispersion subsystem keeps for the whole run: the random
// walk's generator, the release state of every kind of source (the control
// file's, the emission file's with its source table, the gridded inventory),
// the samplers, the species conversion table, the concentration array with
// its open files, the puff management work arrays and the particle files.
// One record, owned by the run context.

#include "dispersion/concentration_array.hpp"
#include "dispersion/concentration_output.hpp"
#include "dispersion/dispersion_random.hpp"
#include "dispersion/emission_file.hpp"
#include "dispersion/emission_inventory.hpp"
#include "dispersion/lagrangian_samplers.hpp"
#include "dispersion/particle_files.hpp"
#include "dispersion/point_release.hpp"
#include "dispersion/puff_work.hpp"
#include "dispersion/first_order_conversion.hpp"

namespace orv {

struct DispersionState {
    DispersionGenerator generator;
    PointReleaseState point_release;
    SourcePollutantMatrix source_pollutant_matrix;
    EmissionFileState emission_file;
    EmissionInventory inventory;
    LagrangianSamplers samplers;
    ReactionTable reactions;
    ConcentrationArray concentration;
    ConcentrationOutput concentration_output;
    PuffWork puff_work;
    ParticleFiles particle_files;
};

}  // namespace orv
