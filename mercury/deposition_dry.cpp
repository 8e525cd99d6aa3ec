// Dry deposition of the deposition step: velocities per size range, land-use
// category and species for the categories under the puff, its receptors and
// its ceps; their averages over the land use and the dry removal rates; or,
// for a puff that does not reach the surface, its settling aloft; and the
// distance the puff settles over the step.

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

#include "mercury/deposition_stages.hpp"
#include "mercury/dry_deposition_velocity.hpp"
#include "run/land_use.hpp"

namespace orv::deposition {

namespace {

bool in_land(const DepositionWorkspace& ws, int32_t category) { return category >= 1 && category <= ws.nland; }

// Whether the velocities of a category were computed in this call. The
// velocities of the others are 0, and their terms in the sums below are 0
// too, so the loops leave them out without changing any sum.
bool computed(const DepositionWorkspace& ws, int32_t l) { return ws.lndexist(l) || ws.cepexist(l); }

// The categories present under the puff: its own, those with a share of the
// land use, those of its weighted receptors; and those of its weighted ceps.
void mark_present_categories(StepContext& s) {
    DepositionWorkspace& ws = s.ws;
    const MercuryArrays& a = s.arrays;
    if (in_land(ws, s.args.met.land_use)) ws.lndexist(s.args.met.land_use) = true;
    for (int32_t l = 1; l <= ws.nland && l <= a.fracland.range(1).hi; ++l) {
        if (a.fracland(l) > 0.0f) ws.lndexist(l) = true;
    }
    const std::vector<int32_t>& rc = s.run.categories.receptor_land_category;
    for (int32_t r = 1; r <= a.pfrac.range(1).hi && static_cast<size_t>(r) <= rc.size(); ++r) {
        const int32_t l = rc[static_cast<size_t>(r - 1)];
        if (a.pfrac(r) > 0.0f && in_land(ws, l)) ws.lndexist(l) = true;
    }
    const std::vector<int32_t>& cc = s.run.categories.cep_code;
    for (int32_t c = 1; c <= a.cepres.range(1).hi && static_cast<size_t>(c) <= cc.size(); ++c) {
        const int32_t l = cc[static_cast<size_t>(c - 1)];
        if (a.cepres(c) > 0.0f && in_land(ws, l)) ws.cepexist(l) = true;
    }
}

bool any_positive(const IndexedArray<float>& v) {
    for (int32_t i = 1; i <= v.range(1).hi; ++i) {
        if (v(i) > 0.0f) return true;
    }
    return false;
}

// The draw of the velocity dump channel (25, or 125 for call id 2); it fires
// in at most five calls of a run, and only for a puff over a receptor and a
// cep.
bool draw_velocity_channel(StepContext& s, int32_t c) {
    DiagnosticChannels& ch = s.ch;
    ch.diagnostic_sampling_flags[c] = false;
    const float r = ch.draw();
    ch.channel_tag[c] = static_cast<int32_t>(std::lround((r - 0.5f) * 1.0e8f));
    bool on = ch.selects(c, r) && any_positive(s.arrays.pfrac) && any_positive(s.arrays.cepres);
    if (on) ++ch.nwrite[c];
    if (ch.nwrite[c] > 5) on = false;
    ch.diagnostic_sampling_flags[c] = on;
    return on;
}

DepositionSurface surface_of(const StepContext& s) {
    DepositionSurface sf;
    sf.ubar = s.args.met.wind_speed_10m;
    sf.lat = s.args.puff.lat;
    sf.month = s.args.call.month;
    sf.z = s.args.met.surface_layer_height;
    sf.ustar = s.args.met.friction_velocity;
    sf.psi = s.args.met.stability;
    sf.solar = s.args.met.solar_flux;
    sf.air_density = s.args.met.air_density * 1000.0f;
    sf.temperature = s.args.met.surface_temperature;
    return sf;
}

// Zeroes the four velocity tables: only the rows of the categories an
// earlier call filled hold values. The rows this call writes whole are left
// to it: for a species with resistances, the land-use rows of a category it
// computes and the cep rows of a category with a cep. Called once the
// categories of this call are marked.
void clear_velocity_rows(StepContext& s) {
    DepositionWorkspace& ws = s.ws;
    const size_t ranges = static_cast<size_t>(ws.nrange) + 1;
    for (int32_t l = 1; l <= ws.nland; ++l) {
        if (!ws.velocity_rows(l)) continue;
        for (int32_t nd = 1; nd <= ws.maxdim; ++nd) {
            const Pollutant* pol = s.pollutant(nd);
            const bool written = pol && pol->DORES;
            if (!(written && computed(ws, l))) {
                std::fill_n(&ws.z_vdland(0, l, nd), ranges, 0.0f);
                std::fill_n(&ws.z_vgland(0, l, nd), ranges, 0.0f);
            }
            if (!(written && ws.cepexist(l))) {
                std::fill_n(&ws.z_vdcep(0, l, nd), ranges, 0.0f);
                std::fill_n(&ws.z_vgcep(0, l, nd), ranges, 0.0f);
            }
        }
        ws.velocity_rows(l) = false;
    }
}

// The water cases (2 and 3) taken by the categories computed in this call.
using CasesUsed = std::array<bool, 4>;
CasesUsed cases_used(const DepositionWorkspace& ws) {
    CasesUsed used{};
    for (int32_t l = 1; l <= ws.nland; ++l) {
        if (computed(ws, l)) used[static_cast<size_t>(water_case(l))] = true;
    }
    return used;
}

bool same_bits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

// The transfer terms of every species with resistances, size range and water
// case of a category computed in this call. A species whose SHAPE and GPMOL
// equal those of an earlier one takes that one's terms: they are computed
// from the same values.
void transfer_terms(StepContext& s, const DepositionSurface& sf, const SurfaceTerms& st, const CasesUsed& used) {
    DepositionWorkspace& ws = s.ws;
    if (!used[2] && !used[3]) return;
    for (int32_t c = 2; c <= 3; ++c) {
        if (!used[c]) continue;
        for (int32_t r = 1; r <= ws.nrange; ++r) {
            const float d = ws.xpd(c, r);
            if (d > 0.0f) ws.diffusion(r, c) = particle_diffusion(sf, st, d, c == 3);
        }
    }
    for (int32_t nd = 1; nd <= ws.maxdim; ++nd) {
        const Pollutant* pol = s.pollutant(nd);
        if (!pol || !pol->DORES) continue;
        const float shape = shape_factor(s, nd);
        ws.shape(nd) = shape;
        int32_t twin = 0;
        for (int32_t e = 1; e < nd && twin == 0; ++e) {
            const Pollutant* other = s.pollutant(e);
            if (other && other->DORES && same_bits(ws.shape(e), shape) && same_bits(other->GPMOL, pol->GPMOL)) twin = e;
        }
        const TransferTerms gas = twin == 0 ? gas_transfer(sf, st, *pol) : TransferTerms{};
        for (int32_t c = 2; c <= 3; ++c) {
            if (!used[c]) continue;
            for (int32_t r = 0; r <= ws.nrange; ++r) {
                if (twin != 0) {
                    ws.transfer(r, c, nd) = ws.transfer(r, c, twin);
                    continue;
                }
                const float d = r == 0 ? 0.0f : ws.xpd(c, r);
                ws.transfer(r, c, nd) =
                    d > 0.0f ? particle_transfer(sf, st, ws.diffusion(r, c), ws.unshaped_settling(c, r) / shape) : gas;
            }
        }
    }
}

// Velocities of one species over one category.
void species_velocities(StepContext& s, const DepositionSurface& sf, const SurfaceTerms& st, bool dump, int32_t l,
                        int32_t nd) {
    DepositionWorkspace& ws = s.ws;
    const Pollutant* pol = s.pollutant(nd);
    if (!pol || !pol->DORES) return;
    const bool cep = ws.cepexist(l);
    TextOut* f = dump ? s.ch.dump_file(s.channel(25)) : nullptr;
    // The rows of the category and species run over the size ranges.
    float* const vd_land = &ws.z_vdland(0, l, nd);
    float* const vg_land = &ws.z_vgland(0, l, nd);
    float* const vd_cep = &ws.z_vdcep(0, l, nd);
    float* const vg_cep = &ws.z_vgcep(0, l, nd);
    const auto store = [&](int32_t r, float vd, float vg) {
        vd_land[r] = std::max(0.0f, vd);
        vg_land[r] = std::max(0.0f, vg);
        if (cep) {
            vd_cep[r] = vd_land[r];
            vg_cep[r] = vg_land[r];
        }
    };

    const int32_t c = water_case(l);
    const AerodynamicTerms& a = ws.aerodynamic(l);
    DepositionTarget t;
    t.pollutant = nd;
    t.land_use = l;
    t.z0 = s.arrays.genrough(l);
    const TransferTerms* const transfer = &ws.transfer(0, c, nd);
    // The whole record of terms only for a call that writes it.
    const auto velocity = [&](int32_t r) {
        const TransferTerms& tr = transfer[r];
        const bool record = draw_velocity_record(s.ch);
        if (!dump && !record)
            return assemble_dry_deposition_velocity(sf, st, a, tr, *pol, t, ws.water_zeros, s.console);
        const DryDepositionTerms terms =
            assemble_dry_deposition_terms(sf, st, a, tr, *pol, t, ws.water_zeros, s.console);
        write_velocity_records(dump, record, sf, *pol, t, terms, s.ch);
        return terms.vd;
    };
    const float vd_gas = velocity(0);
    store(0, vd_gas, 0.0f);
    if (f) f->list("land use, species, size range, d, vs, vs dry, vd =", l, nd, 0, 0.0f, 0.0f, 0.0f, vd_gas);

    const float shape = ws.shape(nd);
    // Diameters and settling of the case, and settling before growth, by size range.
    const float* const diameter = &ws.xpd(c, 0);
    const int64_t next_diameter = ws.xpd.stride(2);
    const float* const settling = &ws.unshaped_settling(c, 0);
    const float* const settling_dry = &ws.unshaped_settling(1, 0);
    const int64_t next_settling = ws.unshaped_settling.stride(2);
    const bool before_growth = water_like_category(l) || dump;
    const int32_t nrange = ws.nrange;
    for (int32_t r = 1; r <= nrange; ++r) {
        t.diameter = diameter[r * next_diameter];
        t.settling = settling[r * next_settling] / shape;
        // Only the transfer over water and the dump take the settling of the
        // particles before growth.
        t.extra_transfer = before_growth ? settling_dry[r * next_settling] / shape : 0.0f;
        const float vd = velocity(r);
        store(r, vd, t.settling);
        if (f) {
            f->list("land use, species, size range, d, vs, vs dry, vd =", l, nd, r, t.diameter, t.settling,
                    t.extra_transfer, vd);
        }
    }
}

}  // namespace

void dry_deposition_velocities(StepContext& s) {
    DepositionWorkspace& ws = s.ws;
    s.arrays.zvdgas.zero();
    s.arrays.zvdprt.zero();
    ws.zvdgascep.zero();
    ws.zvdgasprt.zero();
    mark_present_categories(s);
    clear_velocity_rows(s);
    for (int32_t l = 1; l <= ws.nland; ++l) ws.velocity_rows(l) = computed(ws, l);

    const int32_t c25 = s.channel(25);
    const bool dump = c25 > 0 && draw_velocity_channel(s, c25);
    const DepositionSurface sf = surface_of(s);
    // Settling of the grown particles of the water cases the categories take
    // and, for the transfer over water and the dump, of the particles before
    // growth (rows not needed keep the values of an earlier call).
    const CasesUsed used = cases_used(ws);
    const bool before_growth = used[3] || dump;
    const int32_t n = s.args.puff.size_distribution;
    const float rho_p = s.run.hgsim.pden * 1.0e6f;
    for (int32_t r = 1; r <= ws.nrange; ++r) {
        if (before_growth) {
            ws.unshaped_settling(1, r) = unshaped_settling_velocity(s.sizes.pd(n, r), rho_p, sf.air_density);
        }
        for (int32_t c = 2; c <= 3; ++c) {
            if (!used[static_cast<size_t>(c)]) continue;
            ws.unshaped_settling(c, r) = unshaped_settling_velocity(ws.xpd(c, r), rho_p, sf.air_density);
        }
    }
    const SurfaceTerms st = surface_terms(sf);
    transfer_terms(s, sf, st, used);
    for (int32_t l = 1; l <= ws.nland; ++l) {
        if (!computed(ws, l)) continue;
        ws.aerodynamic(l) = aerodynamic_terms(sf, st, l, s.arrays.genrough(l));
        for (int32_t nd = 1; nd <= ws.maxdim; ++nd) species_velocities(s, sf, st, dump, l, nd);
    }
}

void average_velocities_and_dry_rates(StepContext& s) {
    DepositionWorkspace& ws = s.ws;
    MercuryArrays& a = s.arrays;
    const int32_t nrange = ws.nrange;

    // The computed categories with their water case and share of the land
    // use, in increasing order as the sums below take them.
    struct Category {
        int32_t l;
        int32_t c;
        float frac;
    };
    Category present[kLandCategories];
    int32_t count = 0;
    for (int32_t l = 1; l <= ws.nland; ++l) {
        if (computed(ws, l)) present[count++] = {l, water_case(l), a.fracland(l)};
    }
    const Category* const end = present + count;

    // Averages over the land use under the puff.
    for (int32_t p = 1; p <= ws.maxdim; ++p) {
        float vd = 0.0f;
        float vg = 0.0f;
        for (int32_t j = 0; j <= nrange; ++j) {
            for (const Category* g = present; g != end; ++g) {
                const float share = ws.xzmfracp(g->c, p, j);
                vd += ws.z_vdland(j, g->l, p) * g->frac * share;
                vg += ws.z_vgland(j, g->l, p) * g->frac * share;
            }
        }
        ws.zvdavg(p) = vd;
        ws.zvgavg(p) = vg;
        ws.zvd(p) = vd;
        ws.zvg(p) = vg;
    }

    // Velocities per category, for the receptor booking.
    const int64_t next_range = ws.xzmfracp.stride(3);
    for (int32_t p = 1; p <= ws.maxdim; ++p) {
        for (const Category* g = present; g != end; ++g) {
            const float* share = &ws.xzmfracp(g->c, p, 0);
            const float* land = &ws.z_vdland(0, g->l, p);
            const float* cep = &ws.z_vdcep(0, g->l, p);
            a.zvdgas(p, g->l) = share[0] * land[0];
            ws.zvdgascep(p, g->l) = share[0] * cep[0];
            float prt = a.zvdprt(p, g->l);
            float prt_cep = ws.zvdgasprt(p, g->l);
            for (int32_t j = 1; j <= nrange; ++j) {
                prt += share[j * next_range] * land[j];
                prt_cep += share[j * next_range] * cep[j];
            }
            a.zvdprt(p, g->l) = prt;
            ws.zvdgasprt(p, g->l) = prt_cep;
        }
    }

    // Mass-weighted means of the puff.
    float total = 0.0f;
    for (int32_t p = 1; p <= ws.maxdim; ++p) total += a.depelm_mass(p);
    float vg_mean = 0.0f;
    float vd_mean = 0.0f;
    if (total != 0.0f) {
        for (int32_t p = 1; p <= ws.maxdim; ++p) {
            vg_mean += ws.zvg(p) * a.depelm_mass(p);
            vd_mean += ws.zvd(p) * a.depelm_mass(p);
        }
        vg_mean /= total;
        vd_mean /= total;
    }
    ws.settling_mean = vg_mean;
    if (TextOut* f = s.firing(s.channel(27))) f->list("settling and deposition means =", vg_mean, vd_mean);

    // Dry removal rates per minute.
    const float depth = ws.depth;
    for (int32_t p = 1; p <= ws.maxdim; ++p) {
        if (!(ws.zvd(p) > 0.0f)) continue;
        ws.zbeta(p) = ws.zvd(p) * 60.0f / depth;
        float gas = ws.zpbeta(p, 1);
        float particles = ws.zpbeta(p, 2);
        for (const Category* g = present; g != end; ++g) {
            const float* share = &ws.xzmfracp(g->c, p, 0);
            const float* land = &ws.z_vdland(0, g->l, p);
            const float* cep = &ws.z_vdcep(0, g->l, p);
            const float frac = g->frac;
            gas += frac * 60.0f * share[0] * land[0] / depth;
            ws.zpbetalnd(p, 1, g->l) = 60.0f * share[0] * cep[0] / depth;
            float particles_cep = ws.zpbetalnd(p, 2, g->l);
            for (int32_t j = 1; j <= nrange; ++j) {
                particles += frac * 60.0f * share[j * next_range] * land[j] / depth;
                particles_cep += 60.0f * share[j * next_range] * cep[j] / depth;
            }
            ws.zpbetalnd(p, 2, g->l) = particles_cep;
        }
        ws.zpbeta(p, 1) = gas;
        ws.zpbeta(p, 2) = particles;
    }
}

void settling_aloft(StepContext& s) {
    DepositionWorkspace& ws = s.ws;
    MercuryArrays& a = s.arrays;
    const float rho_p = ws.xdroplet(1) ? 1.0e6f : 1.0e6f * s.run.hgsim.pden;
    const float rho_a = 1000.0f * s.args.met.air_density;
    const float lambda = 6.53e-8f * 1200.0f / rho_a;
    const float shape = shape_factor(s, 3);
    for (int32_t j = 1; j <= ws.nrange; ++j) {
        const float d = ws.xpd(1, j);
        const float v0 = (rho_p - rho_a) * 9.801f * d * d / 0.32202f;
        const float slip = slip_correction(d, lambda);
        ws.vg_aloft(j) = v0 * slip / shape;
    }

    float total = 0.0f;
    for (int32_t p = 1; p <= ws.maxdim; ++p) {
        a.avgvg_spec(p) = 0.0f;
        total += a.depelm_mass(p);
    }
    float mean = 0.0f;
    if (total != 0.0f) {
        for (int32_t p = 1; p <= ws.maxdim; ++p) {
            for (int32_t j = 1; j <= ws.nrange; ++j) mean += ws.vg_aloft(j) * ws.xzmfracp(1, p, j) * a.depelm_mass(p);
        }
        mean /= total;
    }
    ws.settling_mean = mean;
    if (s.args.call.call_id == 1) {
        for (int32_t p = 1; p <= ws.maxdim; ++p) a.avgvg_spec(p) = mean;
    } else if (s.args.call.call_id == 2) {
        for (int32_t p = 1; p <= ws.maxdim; ++p) {
            if (a.depelm_mass(p) == 0.0f) continue;
            float v = 0.0f;
            for (int32_t j = 1; j <= ws.nrange; ++j) v += ws.vg_aloft(j) * ws.xzmfracp(1, p, j);
            a.avgvg_spec(p) = v;
        }
    }
}

void settle_puff(StepContext& s) {
    DepositionWorkspace& ws = s.ws;
    const float v = ws.settling_mean;
    if (!(v > 0.0f)) {
        s.arrays.puff_descent = 0.0f;
        return;
    }
    const float displacement = v * 60.0f * s.dt;
    if (s.args.call.call_id == 1) {
        ws.bottom = std::max(ws.bottom - displacement, 0.0f);
        ws.top = std::max(ws.top - displacement, 0.0f);
        ws.depth = std::max(ws.top - ws.bottom, 1.0f);
    }
    s.arrays.puff_descent = displacement;
}

}  // namespace orv::deposition
