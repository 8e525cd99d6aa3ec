#pragma once
// Everything the dispersion subsystem keeps for the whole run: the random
// walk's generator, the release state, the concentration array with its open
// files, the puff management work arrays and the particle files. One record,
// owned by the run context.

#include "dispersion/concentration_array.hpp"
#include "dispersion/concentration_output.hpp"
#include "dispersion/dispersion_random.hpp"
#include "dispersion/particle_files.hpp"
#include "dispersion/point_release.hpp"
#include "dispersion/puff_work.hpp"

namespace orv {

struct DispersionState {
    DispersionGenerator generator;
    PointReleaseState point_release;
    ConcentrationArray concentration;
    ConcentrationOutput concentration_output;
    PuffWork puff_work;
    ParticleFiles particle_files;
};

}  // namespace orv
