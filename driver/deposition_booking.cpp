#include "driver/deposition_booking.hpp"

#include <algorithm>

#include "common/math_constants.hpp"
#include "common/run_stop.hpp"
#include "run/particle_types.hpp"

namespace orv {

namespace {


int32_t receptor_total(const ReceptorCategories& c) { return static_cast<int32_t>(c.receptor_land_category.size()); }
int32_t cep_total(const ReceptorCategories& c) { return static_cast<int32_t>(c.cep_code.size()); }

// Deposition velocity under the puff, weighted by the receptors and the rest
// of the puff on its own category; never below 0.
float weighted_velocity(const IndexedArray<float>& v, int32_t o, const MercuryArrays& m,
                        const ReceptorCategories& c, const PuffDeposition& puff) {
    float sum = 0.0f;
    const int32_t n = receptor_total(c);
    for (int32_t r = 1; r <= n; ++r) sum += m.pfrac(r) * v(o, c.receptor_land_category[static_cast<size_t>(r - 1)]);
    sum += (1.0f - puff.receptor_weight_sum) * v(o, puff.land_use);
    return std::max(sum, 0.0f);
}

void book_receptors(const MercuryArrays& m, const ReceptorCategories& c, int32_t o, float gas, float particle,
                    ReceptorOutputs& out) {
    const int32_t n = receptor_total(c);
    for (int32_t r = 1; r <= n; ++r) {
        const float w = m.pfrac(r);
        const int32_t cat = c.receptor_land_category[static_cast<size_t>(r - 1)];
        if (gas > 0.0f) out.recpmass(o, 1, r) += std::min(1.0f, w * m.zvdgas(o, cat) / gas) * m.zdep(o, 1);
        if (particle > 0.0f) out.recpmass(o, 2, r) += std::min(1.0f, w * m.zvdprt(o, cat) / particle) * m.zdep(o, 2);
        for (int32_t p = 3; p <= m.npath; ++p) out.recpmass(o, p, r) += w * m.zdep(o, p);
    }
}

void book_ceps(const MercuryArrays& m, const ReceptorCategories& c, int32_t o, float area, ReceptorOutputs& out) {
    const int32_t n = cep_total(c);
    for (int32_t k = 1; k <= n; ++k) {
        const float w = m.cepres(k);
        if (w == 0.0f) continue;
        const int32_t code = c.cep_code[static_cast<size_t>(k - 1)];
        for (int32_t p = 1; p <= m.npath; ++p) out.cepflux(o, p, k) += m.zcepdep(o, p, code) * w / area;
    }
}

}  // namespace

void check_met_land_use(int32_t category, int32_t nland, float lat, float lon, Messages msg) {
    if (category >= 1 && category <= nland) return;
    msg.log.list("*ERROR* main: land-use category outside 1 to NLAND - ", category, nland);
    msg.log.list("        at latitude and longitude - ", lat, lon);
    msg.log.flush();
    msg.console.list("*ERROR* main: land-use category outside 1 to NLAND - ", category, nland);
    msg.console.list("        at latitude and longitude - ", lat, lon);
    throw RunStop(kStopInput);
}

LandUseMix mix_land_use(MercuryArrays& m, const ReceptorCategories& categories, int32_t& land_use) {
    LandUseMix mix;
    mix.met_category = land_use;
    const int32_t n = receptor_total(categories);
    float sum = 0.0f;
    for (int32_t r = 1; r <= n; ++r) {
        const float w = m.pfrac(r);
        if (w > 0.5f) land_use = categories.receptor_land_category[static_cast<size_t>(r - 1)];
        sum += w;
    }
    mix.receptor_weight_sum = sum;
    if (sum > 1.0f)
        for (int32_t r = 1; r <= n; ++r) m.pfrac(r) /= sum;

    m.fracland.zero();
    float normalised = 0.0f;
    for (int32_t r = 1; r <= n; ++r) {
        const float w = m.pfrac(r);
        m.fracland(categories.receptor_land_category[static_cast<size_t>(r - 1)]) += w;
        normalised += w;
    }
    float& own = m.fracland(mix.met_category);
    own = std::max(0.0f, own + 1.0f - normalised);
    return mix;
}

void book_deposition(const MercuryArrays& m, const ReceptorCategories& categories, const PuffDeposition& puff,
                     ReceptorOutputs& out) {
    const float radius = kTopHat * puff.sigma_h;
    const float area = kCepPi * radius * radius;
    for (int32_t o = 1; o <= m.maxdim; ++o) {
        for (int32_t p = 1; p <= m.npath; ++p) out.pathtot_puff(o, p) += m.zdep(o, p);
        const float gas = weighted_velocity(m.zvdgas, o, m, categories, puff);
        const float particle = weighted_velocity(m.zvdprt, o, m, categories, puff);
        out.zfrvdptot_gas(o) = gas;
        out.zfrvdptot_prt(o) = particle;
        if (puff.receptor_weight_sum > 0.0f) book_receptors(m, categories, o, gas, particle, out);
        if (puff.any_cep_touched && area > 0.0f) book_ceps(m, categories, o, area, out);
    }
}

}  // namespace orv
