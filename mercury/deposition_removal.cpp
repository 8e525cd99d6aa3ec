// Removal of the deposition step: the mass each species loses over the time
// step at its total rate, split over the deposition paths in proportion to
// their rates, the same removal for a cep of each land-use category, and a
// last scaling that keeps the removed and remaining masses equal to the
// masses on entry.

#include <cmath>

#include "mercury/deposition_stages.hpp"

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
    for (int32_t l = 1; l <= ws.nland; ++l) {
        const float beta = wet + ws.zpbetalnd(p, 1, l) + ws.zpbetalnd(p, 2, l);
        ws.zbeta(p) = beta;
        ws.zbetatot(p) = beta;
        const float mc = ws.zsmass(p);
        ws.zinitmass(p) = mc;
        for (int32_t path = 3; path <= npath; ++path) ws.zpbetalnd(p, path, l) = ws.zpbeta(p, path);
        if (beta == 0.0f) {
            ws.zcdept(p) = 0.0f;
            ws.zctotremv(p) = 0.0f;
            for (int32_t path = 0; path <= npath; ++path) a.zcepdep(p, path, l) = 0.0f;
            continue;
        }
        // A cep category deposits at its own rate, also in the exponential range.
        const float rc = removed_mass(mc, beta, s.dt);
        ws.zcmass(p) = mc - rc;
        ws.zcdept(p) = rc;
        ws.zctotremv(p) = rc;
        ws.zpbetalnd(p, 0, l) = beta;
        for (int32_t path = 0; path <= npath; ++path) a.zcepdep(p, path, l) = rc * ws.zpbetalnd(p, path, l) / beta;
        if (out) out->list("cep removal: species, category, rate, mass, removed =", p, l, beta, mc, rc);
    }
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
    for (int32_t p = 1; p <= ws.maxdim; ++p) {
        ws.ztotremovd(p) *= f;
        if (p <= deposit_slots) a.step_deposit(p) *= f;
        ws.zcdept(p) *= f;
        for (int32_t path = 0; path <= npath; ++path) {
            a.zdep(p, path) *= f;
            for (int32_t l = 1; l <= ws.nland; ++l) a.zcepdep(p, path, l) *= f;
        }
    }
}

}  // namespace orv::deposition
