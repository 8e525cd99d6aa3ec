#include "dispersion/puff_work.hpp"

#include <algorithm>

#include "common/run_stop.hpp"
#include "common/text_output.hpp"

namespace orv {

void PuffWork::ensure(const ParticleArrays& p, int32_t n, std::string_view routine, TextOut& console) {
    const int64_t entries = std::max(p.maxpar, n);
    bool ok = true;
    if (keys.size() < n) ok = ok && keys.allocate(entries);
    if (order.size() < n) ok = ok && order.allocate(entries);
    if (group_mass.size() < p.maxdim) ok = ok && group_mass.allocate(p.maxdim);
    if (!ok) {
        console.list("*ERROR* ", routine, ": memory allocation");
        throw RunStop(kStopInput);
    }
}

float entry_mass(const ParticleArrays& p, int32_t i) {
    const float* m = p.particle_mass.data() + int64_t{i} * p.maxdim;
    float total = 0.0f;
    for (int32_t s = 0; s < p.maxdim; ++s) total += m[s];
    return total;
}

}  // namespace orv
