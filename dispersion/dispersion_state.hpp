#pragma once
// Everything the dispersion subsystem keeps for the whole run: the random
// walk's generator, the release state, the concentration array with its open
// files. One record, owned by the run context.

#include "dispersion/concentration_array.hpp"
#include "dispersion/concentration_output.hpp"
#include "dispersion/dispersion_random.hpp"
#include "dispersion/point_release.hpp"

namespace orv {

struct DispersionState {
    DispersionGenerator generator;
    PointReleaseState point_release;
    ConcentrationArray concentration;
    ConcentrationOutput concentration_output;
};

}  // namespace orv
