#include "dispersion/mass_totals.hpp"

#include <string>
#include <vector>

#include "common/fortran_format.hpp"
#include "common/run_stop.hpp"

namespace orv {

void PUFF_OUT(int32_t checkpoint, int32_t model_time, ParticleArrays& p, DiagnosticChannels& channels,
              TextOut& console) {
    static const fmt::Format kLine("(I5, I12, I8, 999ES16.7)");
    // The sums per slot go to the arrays' own work column.
    if (p.mass_total.size() < p.maxdim) allocate_or_stop(kAllocPrefix, "mass_total in PUFF_OUT", p.mass_total, p.maxdim,
                                                         console);
    // Sums over many entries are taken in double precision, so that the line
    // shows the mass the arrays hold rather than the rounding of a long
    // single-precision sum, which depends on the order of the entries.
    float* totals = p.mass_total.data();
    int32_t positive = 0;
    double grand_sum = 0.0;
    for (int32_t s = 0; s < p.maxdim; ++s) {
        double slot = 0.0;
        for (int32_t i = 0; i < p.particle_count; ++i) slot += p.mass(s, i);
        totals[s] = static_cast<float>(slot);
        grand_sum += slot;
    }
    for (int32_t i = 0; i < p.particle_count; ++i) {
        float sum = 0.0f;
        for (int32_t s = 0; s < p.maxdim; ++s) sum += p.mass(s, i);
        if (sum > 0.0f) ++positive;
    }
    const float grand = static_cast<float>(grand_sum);

    std::vector<fmt::Value> items{fmt::Value(checkpoint), fmt::Value(model_time), fmt::Value(positive)};
    for (int32_t s = 0; s < p.maxdim; ++s) items.emplace_back(totals[s]);
    items.emplace_back(grand);
    std::string line;
    fmt::write(line, kLine, items);
    TextOut& out = channels.file(kMassTotalsChannel);
    if (!out.is_open()) {
        const std::string name = "fort." + std::to_string(2000 + kMassTotalsChannel);
        if (!out.open(name, "PUFF_OUT", console)) {
            console.list("*ERROR* PUFF_OUT: cannot open ", name);
            throw RunStop(kStopInput);
        }
    }
    out.raw(line);
}

}  // namespace orv
