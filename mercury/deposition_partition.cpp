// Cloud water and gas partition of the deposition step: the liquid water of
// four water cases (the humidity at the puff, at the lowest level, 0.95, and
// rain water), the equilibrium of the divalent mercury in each case with
// liquid water, Henry's law for the elemental mercury, and the shares of each
// species in the gas, in the droplets and on the particles per size range.

#include <algorithm>

#include "mercury/deposition_stages.hpp"
#include "mercury/liquid_water.hpp"

namespace orv::deposition {

namespace {

constexpr double kGasConstant = 0.0820575;  // litre atm per mol and K
constexpr double kHenryHg0 = 0.11;          // dimensionless, elemental mercury

// Liquid water, diameters and volume fractions of the cases.
void water_of_cases(StepContext& s) {
    DepositionWorkspace& ws = s.ws;
    const SizeDistribution& sd = s.sizes;
    const int32_t n = s.args.puff.size_distribution;
    for (int32_t c = 1; c <= 4; ++c) {
        ws.xliquid(c) = 0.0;
        ws.xpd(c, 0) = 0.0f;
        ws.xvolfrac(c, 0) = 0.0f;
        for (int32_t r = 1; r <= ws.nrange; ++r) {
            ws.xpd(c, r) = sd.pd(n, r);
            ws.xvolfrac(c, r) = sd.volfrac(n, r);
        }
    }
    ws.xrh_calc(1) = s.args.met.rh_puff;
    ws.xrh_calc(2) = s.args.met.rh_surface;
    ws.xrh_calc(3) = 0.95f;
    ws.xrh_calc(4) = 1.0f;

    const Hgsim& hg = s.run.hgsim;
    for (int32_t c = 1; c <= 3; ++c) {
        float liquid = 0.0f;
        lwc_estm(s.args.call.call_id, hg, n, c, ws.xrh_calc(c), s.args.puff.near_surface_flag, liquid, s.sizes, s.ch,
                 s.console);
        ws.xliquid(c) = liquid;
        ws.xdroplet(c) = liquid > 0.0f;
        ws.XW(c) = liquid / 1000.0;
        for (int32_t r = 1; r <= ws.nrange; ++r) {
            ws.xpd(c, r) = sd.pd_wet(n, r);
            ws.xvolfrac(c, r) = sd.volfrac_wet(n, r);
        }
        if (TextOut* f = s.firing(s.channel(23))) {
            f->list("lwc_estm: call id, case, method_lwc, rh, aerosol water, pden, pcon, liquid =",
                    s.args.call.call_id, c, hg.method_lwc, ws.xrh_calc(c), s.args.puff.near_surface_flag, hg.pden,
                    hg.pcon, liquid);
        }
    }
    const float rain = s.args.met.RAIN;
    if (rain > 0.0f) {
        ws.xliquid(4) = rain * 1.0e6f / 300.0f;
        ws.xdroplet(4) = true;
    } else {
        ws.xliquid(4) = 0.0;
        ws.xdroplet(4) = false;
    }
    for (int32_t c = 1; c <= 4; ++c) ws.XW(c) = ws.xliquid(c) / 1000.0;
}

void dump_findroot(StepContext& s, const FindrootInput& in, const FindrootResult* out) {
    TextOut* f = s.firing(s.channel(22));
    if (!f) return;
    if (!out) {
        f->list("just_before_findroot");
        f->list("dump_of_input_argument_variables: ");
    } else {
        f->list("back_from_findroot");
        f->list("dump_of_all_argument_variables: ");
    }
    DumpItems d;
    d.add(s.args.call.call_id).add(in.ph).add(in.temperature).add(in.so2).add(in.hg2tot).add(in.yy_cltot);
    d.add(in.liquid).add(in.soot);
    if (out) {
        d.add(out->hg2err).add(out->converged).add(out->chosen_try).add(out->total_trials);
        d.add_all(out->x);
    }
    dump_list(f, d.items());
}

void dump_henry(StepContext& s, double hg_gas, double g, double z_gas, double hg_aq) {
    if (!s.ch.enabled(103)) return;
    TextOut* f = s.ch.dump_file(103);
    if (!f) return;
    const DepositionWorkspace& ws = s.ws;
    const double total = ws.zmass(1);
    f->list("           ZKHg = ", kHenryHg0);
    f->list("         HGzgas = ", hg_gas);
    f->list("        zHGztot = ", total);
    f->list("      XW(ncase) = ", ws.XW(4));
    f->list("              G = ", g);
    f->list("        zHGzgas = ", z_gas);
    f->list("          HGzaq = ", hg_aq);
    f->list("zHGZgas/zHGztot = ", total != 0.0 ? z_gas / total : 0.0);
    f->list("  xfracgas(4,1) = ", ws.xfracgas(4, 1));
    f->list(" xfracdrop(4,1) = ", ws.xfracdrop(4, 1));
}

// Mass fraction of size range r of the puff's distribution: the share of
// particle-bound mercury carried by that range.
float mass_fraction(const StepContext& s, int32_t r) { return s.sizes.mfrac(s.args.puff.size_distribution, r); }

// A case with liquid water: equilibrium and Henry's law.
void wet_case(StepContext& s, int32_t c, FindrootInput in, double g) {
    DepositionWorkspace& ws = s.ws;
    in.liquid = ws.xliquid(c);
    dump_findroot(s, in, nullptr);
    findroot(s.args.call.call_id, in, ws.root, ws.equilibrium, s.ch, s.console);
    for (int32_t i = 1; i <= 7; ++i) ws.zconc(i) = ws.root.x[static_cast<size_t>(i - 1)];
    dump_findroot(s, in, &ws.root);

    const double hg0 = ws.zmass(1);
    const double hg_gas = hg0 / (kHenryHg0 * ws.XW(c) + g);
    const double hg_aq = kHenryHg0 * hg_gas;
    const double z_gas = g * hg_gas;
    ws.xfracgas(c, 1) = hg0 != 0.0 ? static_cast<float>(z_gas / hg0) : 0.0f;
    const double hg2 = ws.zmass(2);
    ws.xfracgas(c, 2) = hg2 != 0.0 ? static_cast<float>(g * (ws.zconc(2) + ws.zconc(4)) / hg2) : 0.0f;
    ws.xfracgas(c, 3) = 0.0f;
    ws.xfracgas(c, 4) = 0.0f;
    for (int32_t nd = 1; nd <= ws.maxdim; ++nd) ws.xfracdrop(c, nd) = std::max(0.0f, 1.0f - ws.xfracgas(c, nd));
    if (c == 4) dump_henry(s, hg_gas, g, z_gas, hg_aq);

    for (int32_t nd = 1; nd <= ws.maxdim; ++nd) {
        ws.xzmfracp(c, nd, 0) = ws.xfracgas(c, nd);
        const float drop = ws.xfracdrop(c, nd);
        for (int32_t r = 1; r <= ws.nrange; ++r) {
            const float share = nd <= 2 ? ws.xvolfrac(c, r) : mass_fraction(s, r);
            ws.xzmfracp(c, nd, r) = share * drop;
        }
    }
}

// A dry case: the gases stay gases, the particles on the aerosol.
void dry_case(StepContext& s, int32_t c) {
    DepositionWorkspace& ws = s.ws;
    ws.xfracgas(c, 1) = 1.0f;
    ws.xfracgas(c, 2) = 1.0f;
    ws.xfracgas(c, 3) = 0.0f;
    ws.xfracgas(c, 4) = 0.0f;
    for (int32_t nd = 1; nd <= ws.maxdim; ++nd) {
        const float gas = ws.xfracgas(c, nd);
        ws.xfracdrop(c, nd) = 0.0f;
        ws.xfracpart(c, nd) = 1.0f - gas;
        ws.xzmfracp(c, nd, 0) = gas;
        for (int32_t r = 1; r <= ws.nrange; ++r) ws.xzmfracp(c, nd, r) = mass_fraction(s, r) * (1.0f - gas);
    }
}

}  // namespace

void partition_cloud_water(StepContext& s) {
    DepositionWorkspace& ws = s.ws;
    // Every case writes all of xfracdrop and xzmfracp; the gas shares of
    // species past the four mercury ones and the particle shares of the wet
    // cases stay 0.
    ws.xfracgas.zero();
    ws.xfracpart.zero();
    water_of_cases(s);

    const float t = s.args.met.temperature;
    const double g = 1000.0 / (kGasConstant * t);
    const OxidantValuesAtPuff& ox = s.oxidants;
    FindrootInput in;
    in.ph = ox.fixed_value_a;
    in.temperature = t;
    in.so2 = kGasConstant * t * 1.0e6 * ox.so2_conc;
    in.hg2tot = ws.zmass(2) * 1.0e9 * kGasConstant * t / 1000.0;
    in.yy_cltot = ox.fixed_value_b;
    in.soot = ox.soot_value;

    for (int32_t c = 1; c <= 4; ++c) {
        if (ws.xdroplet(c)) {
            wet_case(s, c, in, g);
        } else {
            dry_case(s, c);
        }
    }
}

}  // namespace orv::deposition
