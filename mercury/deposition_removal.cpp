// Removal of the deposition step: the mass each species loses over the time
// step at its total rate, split over the deposition paths in proportion to
// their rates, the same removal for a cep of each land-use category, and a
// last scaling that keeps the removed and remaining masses equal to the
// masses on entry.

#include <bit>
#include <cmath>
#include <cstdint>

#include "mercury/deposition_stages.hpp"
#include "run/land_use.hpp"

namespace orv::deposition {

namespace {

// The mass removed from m at rate beta (per minute) over dt minutes: linear
// while beta dt stays below 0.01, else exponential, never more than m.
float removed_mass(float m, float beta, float dt) {
    if (beta == 0.0f) return 0.0f;
    const float x = beta * dt;
    if (x < 0.01f) return dt * m * beta;
    const float r = m * (1.0f - std::exp(-x));
    return r > m ? m : r;
}

bool same_bits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

// The removal of species p for a cep of each land-use category: the puff's
// rate with its land-use averaged dry rates replaced by those of the category
// alone.
void cep_removal(StepContext& s, int32_t p) {
    DepositionWorkspace& ws = s.ws;
    MercuryArrays& a = s.arrays;
    const int32_t npath = ws.npath;
    // The wet rates do not depend on the category. Taking the rate as the sum
    // of its paths keeps it from falling below 0 by rounding and makes the
    // paths add up to it.
    float wet = 0.0f;
    for (int32_t path = 3; path <= npath; ++path) wet += ws.zpbeta(p, path);
    TextOut* out = s.firing(s.channel(28));
    if (ws.nland < 1) return;
    // Rows of species p: the rates by path, and by path and category.
    const float* paths = &ws.zpbeta(p, 0);
    const int64_t next_path = ws.zpbeta.stride(2);
    float* const rates_of_category = &ws.zpbetalnd(p, 0, 1);
    const int64_t next_rate = ws.zpbetalnd.stride(2);
    const int64_t next_rate_category = ws.zpbetalnd.stride(3);
    float* const deposits_of_category = &a.zcepdep(p, 0, 1);
    const int64_t next_deposit = a.zcepdep.stride(2);
    const int64_t next_deposit_category = a.zcepdep.stride(3);
    const float mc = ws.zsmass(p);
    const float dt = s.dt;
    const int32_t nland = ws.nland;

    // The rate of each category; the wet paths and, for a category without
    // removal, its zero deposits.
    float betas[kLandCategories + 1];
    bool any = false;
    {
        float* rate = rates_of_category;
        float* deposit = deposits_of_category;
        for (int32_t l = 1; l <= nland; ++l, rate += next_rate_category, deposit += next_deposit_category) {
            const float beta = wet + rate[next_rate] + rate[2 * next_rate];
            betas[l] = beta;
            for (int32_t path = 3; path <= npath; ++path) rate[path * next_rate] = paths[path * next_path];
            if (beta == 0.0f) {
                for (int32_t path = 0; path <= npath; ++path) deposit[path * next_deposit] = 0.0f;
            } else {
                any = true;
            }
        }
    }

    // The removal of the categories with a rate. A category with the rates
    // of the last one computed (every category without dry rates of its own)
    // removes the same masses.
    const float* twin = nullptr;
    float twin_rates[3] = {0.0f, 0.0f, 0.0f};
    float twin_removed = 0.0f;
    float rc = 0.0f;     // of the last category
    float left = 0.0f;   // of the last category that removes
    if (any) {
        float* rate = rates_of_category;
        float* deposit = deposits_of_category;
        for (int32_t l = 1; l <= nland; ++l, rate += next_rate_category, deposit += next_deposit_category) {
            const float beta = betas[l];
            if (beta == 0.0f) {
                rc = 0.0f;
                continue;
            }
            const float rates[3] = {wet, rate[next_rate], rate[2 * next_rate]};
            const bool repeat = twin && same_bits(rates[0], twin_rates[0]) && same_bits(rates[1], twin_rates[1]) &&
                                same_bits(rates[2], twin_rates[2]);
            // A cep category deposits at its own rate, also in the exponential range.
            rc = repeat ? twin_removed : removed_mass(mc, beta, dt);
            left = mc - rc;
            rate[0] = beta;
            for (int32_t path = 0; path <= npath; ++path) {
                const int64_t at = path * next_deposit;
                deposit[at] = repeat ? twin[at] : rc * rate[path * next_rate] / beta;
            }
            if (!repeat) {
                twin = deposit;
                twin_rates[0] = rates[0];
                twin_rates[1] = rates[1];
                twin_rates[2] = rates[2];
                twin_removed = rc;
            }
            if (out) out->list("cep removal: species, category, rate, mass, removed =", p, l, beta, mc, rc);
        }
    }
    const float beta = betas[nland];
    ws.zbeta(p) = beta;
    ws.zbetatot(p) = beta;
    ws.zinitmass(p) = mc;
    ws.zcdept(p) = rc;
    ws.zctotremv(p) = rc;
    if (any) ws.zcmass(p) = left;
}

}  // namespace

void remove_deposited_mass(StepContext& s) {
    DepositionWorkspace& ws = s.ws;
    MercuryArrays& a = s.arrays;
    const int32_t npath = ws.npath;
    const int32_t deposit_slots = a.step_deposit.range(1).hi;
    for (int32_t p = 1; p <= ws.maxdim; ++p) {
        const float beta = ws.zbeta(p);
        ws.zbetatot(p) = beta;
        ws.zsbetatot(p) = beta;
        ws.zsbeta(p) = beta;
        const float m = a.depelm_mass(p);
        ws.zsmass(p) = m;
        ws.zinitmass(p) = m;

        const float r = removed_mass(m, beta, s.dt);
        a.depelm_mass(p) = m - r;
        ws.ztotremovd(p) = r;
        if (p <= deposit_slots) a.step_deposit(p) = r;

        ws.zpbeta(p, 0) = beta;
        for (int32_t path = 0; path <= npath; ++path) a.zdep(p, path) = beta == 0.0f ? 0.0f : r * ws.zpbeta(p, path) / beta;
        for (int32_t c : {s.channel(28), s.channel(228)}) {
            if (TextOut* out = s.firing(c)) {
                out->list("removal: species, rate, dt, mass, removed, left =", p, beta, s.dt, m, r, a.depelm_mass(p));
            }
        }
        cep_removal(s, p);
    }

    double removed = 0.0;
    double entry = 0.0;
    double left = 0.0;
    for (int32_t p = 1; p <= ws.maxdim; ++p) {
        removed += ws.ztotremovd(p);
        entry += ws.savemass(p);
        left += a.depelm_mass(p);
    }
    if (removed > 1000.0) s.console.list(static_cast<float>(removed));

    // Keep the books: what is removed plus what is left equals what came in.
    const double sum = left + removed;
    const float f = sum != 0.0 ? static_cast<float>(entry / sum) : 1.0f;
    // A factor of exactly 1 leaves every value as it is.
    if (f == 1.0f) return;
    for (int32_t p = 1; p <= ws.maxdim; ++p) {
        ws.ztotremovd(p) *= f;
        if (p <= deposit_slots) a.step_deposit(p) *= f;
        ws.zcdept(p) *= f;
        for (int32_t path = 0; path <= npath; ++path) a.zdep(p, path) *= f;
    }
    for (int32_t l = 1; l <= ws.nland; ++l) {
        for (int32_t path = 0; path <= npath; ++path) {
            float* species = &a.zcepdep(1, path, l);
            for (int32_t p = 0; p < ws.maxdim; ++p) species[p] *= f;
        }
    }
}

}  // namespace orv::deposition
