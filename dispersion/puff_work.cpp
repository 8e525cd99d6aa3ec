#include "dispersion/puff_work.hpp"

#include <algorithm>

#include "common/run_stop.hpp"
#include "common/text_output.hpp"

namespace orv {

namespace {

[[noreturn]] void allocation_failed(std::string_view routine, TextOut& console) {
    console.list("*ERROR* ", routine, ": memory allocation");
    throw RunStop(kStopInput);
}

}  // namespace

void PuffWork::ensure(const ParticleArrays& p, int32_t n, std::string_view routine, TextOut& console) {
    const int64_t entries = std::max(p.maxpar, n);
    bool ok = true;
    if (keys.size() < n) ok = ok && keys.allocate(entries);
    if (group_mass.size() < p.maxdim) ok = ok && group_mass.allocate(p.maxdim);
    if (!ok) allocation_failed(routine, console);
}

void PuffWork::ensure_sort_records(const ParticleArrays& p, int32_t n, std::string_view routine, TextOut& console) {
    const int64_t entries = 2 * int64_t{std::max(p.maxpar, n)};
    bool ok = true;
    if (sort_records.size() < 2 * int64_t{n}) ok = ok && sort_records.allocate(entries);
    if (mass_records.size() < 2 * int64_t{n}) ok = ok && mass_records.allocate(entries);
    if (!ok) allocation_failed(routine, console);
}

float entry_mass(const ParticleArrays& p, int32_t i) {
    const float* m = p.particle_mass.data() + int64_t{i} * p.maxdim;
    float total = 0.0f;
    for (int32_t s = 0; s < p.maxdim; ++s) total += m[s];
    return total;
}

}  // namespace orv
