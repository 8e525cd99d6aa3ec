#include "mercury/mercury_chemistry.hpp"

#include <cmath>
#include <stdexcept>

#include "common/run_stop.hpp"
#include "common/text_output.hpp"

namespace orv {

namespace {

// Constants of the step: single-precision values used in 64-bit arithmetic.
constexpr double f2d(float v) { return static_cast<double>(v); }
constexpr double kGas = f2d(0.0820575f);   // l atm / (mol K)
constexpr double kMolarMass = f2d(200.59f); // g/mol of mercury
constexpr double kAvogadro = f2d(6.022e23f);
constexpr double kPerMinute = f2d(60.0f);

// Henry constants (M/atm) for the gas-droplet split.
constexpr double kHenryO3 = f2d(0.0113f);
constexpr double kHenryH2O2 = f2d(74000.0f);
constexpr double kHenryHg0 = f2d(0.11f);
constexpr double kHenryOH = f2d(25.0f);

// Rate constants of the gas-phase oxidations (cm3 molecule-1 s-1) and of the
// droplet reactions (M-1 s-1 or s-1).
constexpr double kK1 = f2d(3e-20f);    // Hg(0) + O3
constexpr double kK2 = f2d(1e-19f);    // Hg(0) + HCl
constexpr double kK3 = f2d(8.5e-19f);  // Hg(0) + H2O2
constexpr double kK4 = f2d(4e-18f);    // Hg(0) + Cl2
constexpr double kK5 = f2d(4.7e7f);    // Hg(0) + O3, droplet
constexpr double kK6 = f2d(2e9f);      // Hg(0) + OH, droplet
constexpr double kK8 = f2d(1e-6f);     // reduction of free Hg2+
constexpr double kK9 = f2d(2.09e6f);   // Hg(0) + HOCl
constexpr double kK10 = f2d(1.99e6f);  // Hg(0) + OCl-
constexpr double kK12 = f2d(8.7e-14f); // Hg(0) + OH, gas

// Slots (0-based) and reactions (1-based, as numbered in the dumps).
enum Slot { kHg0 = 0, kHg2Eq = 1, kHg2Gas = 2, kHg2Soot = 3 };

// Mixing ratios and concentrations shared by both cases.
struct Air {
    double g = 0.0;        // mol/m3 of air per atm
    double n = 0.0;        // air molecules per cm3
    double so2_ppb = 0.0;
    double o3_ppb = 0.0;
    double hg0_ppb = 0.0;
    double hg2_ppb = 0.0;
    double x_hg0 = 0.0, x_o3 = 0.0, x_h2o2 = 0.0, x_hcl = 0.0, x_cl2 = 0.0;
    double c_oh = 0.0;
};

// The intermediate values of the wet case, kept for its dump.
struct Wet {
    double w = 0.0;
    double cl = 0.0, hplus = 0.0;
    double p_o3 = 0.0, p_h2o2 = 0.0, p_hg0 = 0.0, p_oh = 0.0, p_cl2 = 0.0;
    double cl2_gas_fraction = 0.0, hocl = 0.0, ocl = 0.0;
    double o3_aq = 0.0, h2o2_aq = 0.0, hg0_aq = 0.0, oh_aq = 0.0, reductant = 0.0;
    double soot_k = 0.0, adsorb = 0.0, desorb = 0.0, dissolved = 0.0;
};

// Moves r from slot `from` to slot `to` in reaction k.
void transfer(MercuryChemistryWorkspace& w, int32_t k, int32_t from, int32_t to, double r) {
    w.rate_at(from, k - 1) -= r;
    w.rate_at(to, k - 1) += r;
}

void sum_rates(MercuryChemistryWorkspace& w) {
    for (int32_t i = 0; i < w.nspec; ++i) {
        double s = 0.0;
        for (int32_t k = 0; k < kChemistryReactions; ++k) s += w.rate_at(i, k);
        w.totrate[i] = s;
    }
}

// One explicit step of the first `slots` slots (slot 3 unchanged when
// `slots` is 3), negative results cut to zero, then the slots rescaled to
// their old total. Returns the rescaling factor and the old and new totals.
struct StepTotals {
    double factor = 1.0, old_total = 0.0, new_total = 0.0;
};
StepTotals advance(MercuryChemistryWorkspace& w, int32_t slots, double dt) {
    for (int32_t i = 0; i < kMercurySlots; ++i) {
        w.change[i] = i < slots ? w.totrate[i] * dt : 0.0;
        w.zstart[i] = w.zmass[i];
    }
    StepTotals t;
    for (int32_t i = 0; i < slots; ++i) {
        const double old = w.zmass[i];
        const double updated = old + w.change[i];
        if (updated > 0.0) {
            w.zmass[i] = updated;
            w.zdest[i] = -w.change[i];
        } else {
            w.zmass[i] = 0.0;
            w.zdest[i] = old;
        }
        t.old_total += old;
        t.new_total += w.zmass[i];
    }
    if (slots < kMercurySlots) w.zdest[kHg2Soot] = 0.0;
    t.factor = t.new_total != 0.0 ? t.old_total / t.new_total : 1.0;
    for (int32_t i = 0; i < slots; ++i) w.zmass[i] *= t.factor;
    return t;
}

void dry_rates(MercuryChemistryWorkspace& w, const Air& a) {
    const double common = a.x_hg0 * kPerMinute * a.g;
    w.zr.fill(0.0);
    w.zr[0] = kK1;
    w.zr[1] = kK2;
    w.zr[2] = kK3;
    w.zr[3] = kK4;
    w.zr[11] = kK12;
    transfer(w, 1, kHg0, kHg2Gas, kK1 * a.n * a.x_o3 * common);
    transfer(w, 2, kHg0, kHg2Eq, kK2 * a.n * a.x_hcl * common);
    transfer(w, 3, kHg0, kHg2Gas, kK3 * a.n * a.x_h2o2 * common);
    transfer(w, 4, kHg0, kHg2Eq, kK4 * a.n * a.x_cl2 * common);
    transfer(w, 12, kHg0, kHg2Gas, kK12 * a.c_oh * kAvogadro * f2d(1e-6f) * common);
}

void dump_dry(int32_t caller, const PuffChemistryConditions& puff, const MercuryChemistryWorkspace& w,
              std::span<const float> mass, const Air& a, const StepTotals& t, double dt, DiagnosticChannels& ch) {
    const int32_t c = channel_for_caller(17, caller);
    if (!ch.fires(c)) return;
    static const fmt::Format layout("(4I4,L16,999E16.7)");
    DumpItems d;
    d.add(caller).add(w.nspec).add(kChemistryReactions).add(int32_t{7}).add(false).add(3.0).add(puff.puffvol);
    d.add(t.factor).add(t.old_total).add(t.new_total).add_all(mass).add(dt);
    d.add_all(w.rate.span());
    d.add(a.n).add(a.g).add(a.hg0_ppb).add(a.o3_ppb).add(a.x_hcl).add(a.x_h2o2).add(a.x_cl2).add(a.c_oh);
    dump_record(ch.dump_file(c), layout, d.items());
}

void dump_findroot(int32_t caller, const FindrootInput& in, const FindrootResult* out, DiagnosticChannels& ch) {
    const int32_t c = channel_for_caller(7, caller);
    if (!ch.fires(c)) return;
    TextOut* f = ch.dump_file(c);
    DumpItems d;
    d.add(caller).add(in.ph).add(in.temperature).add(in.so2).add(in.hg2tot).add(in.yy_cltot).add(in.liquid).add(in.soot);
    if (!out) {
        static const fmt::Format layout("(I4,999E12.5)");
        dump_line(f, "just_before_findroot");
        dump_line(f, "dump_of_input_argument_variables: ");
        dump_record(f, layout, d.items());
        return;
    }
    static const fmt::Format layout("(I4,8E12.5,3I12,999E12.5)");
    d.add(out->hg2err).add(out->converged).add(out->chosen_try).add(out->total_trials).add_all(out->x);
    dump_line(f, "back_from_findroot");
    dump_line(f, "dump_of_all_argument_variables: ");
    dump_record(f, layout, d.items());
}

// Chlorine in the droplets by the chosen method (1: all chlorine dissolves
// and reacts; 2: split between gas and droplets; other: none).
void chlorine(int32_t method, double liquid, double temperature, const Air& a, Wet& wt) {
    const double hcl = wt.hplus * wt.cl;
    if (method == 1) {
        wt.p_cl2 = a.x_cl2;
        wt.cl2_gas_fraction = 0.0;
    } else if (method == 2) {
        wt.cl2_gas_fraction =
            1.0 / (1.0 + (liquid * f2d(0.076f) * kGas * temperature / f2d(1e6f)) *
                             (1.0 + f2d(5e-4f) / hcl + f2d(1.6e-11f) / (wt.hplus * hcl)));
        wt.p_cl2 = a.x_cl2 * wt.cl2_gas_fraction;
    } else {
        wt.p_cl2 = wt.cl2_gas_fraction = wt.hocl = wt.ocl = 0.0;
        return;
    }
    wt.hocl = f2d(3.8e-5f) * wt.p_cl2 / hcl;
    wt.ocl = f2d(1.216e-12f) * wt.p_cl2 / (wt.hplus * hcl);
}

void dump_chlorine(int32_t caller, int32_t method, double liquid, double temperature, double ph, double yy_cltot,
                   const Air& a, const Wet& wt, DiagnosticChannels& ch) {
    const int32_t c = caller == 2 ? 115 : 15;
    ch.draw_channels({c});
    if (!ch.fires(c) || !(a.x_cl2 > 0.0)) return;
    static const fmt::Format layout("(3I16,999E16.7)");
    DumpItems d;
    d.add(int32_t{1}).add(caller).add(method).add(yy_cltot).add(a.x_cl2).add(f2d(5e-4f)).add(f2d(3.2e-8f));
    d.add(f2d(0.076f)).add(f2d(35.45f)).add(wt.cl).add(ph).add(wt.hplus).add(kGas).add(temperature).add(wt.w);
    d.add(liquid).add(wt.cl2_gas_fraction).add(wt.p_cl2).add(wt.hocl).add(wt.ocl);
    dump_record(ch.dump_file(c), layout, d.items());
}

void wet_rates(MercuryChemistryWorkspace& w, const Air& a, const Wet& wt, double temperature, double radiation) {
    const EquilibriumVector& z = w.root.x;
    const double gas = kPerMinute * a.n * a.g;  // gas-phase reactions
    const double aq = kPerMinute * wt.w;        // droplet reactions
    w.zr.fill(0.0);
    w.zr[0] = kK1;
    w.zr[1] = kK2;
    w.zr[2] = kK3;
    w.zr[3] = kK4;
    w.zr[4] = kK5;
    w.zr[5] = kK6;
    w.zr[6] = temperature * std::exp((f2d(31.971f) * temperature - f2d(12595.0f)) / temperature);
    w.zr[7] = kK8;
    w.zr[8] = kK9;
    w.zr[9] = kK10;
    w.zr[11] = kK12;
    w.zr[12] = (radiation / f2d(1104.0f)) * f2d(6e-7f);

    transfer(w, 1, kHg0, kHg2Gas, w.zr[0] * wt.p_o3 * wt.p_hg0 * gas);
    transfer(w, 2, kHg0, kHg2Eq, w.zr[1] * a.x_hcl * wt.p_hg0 * gas);
    transfer(w, 3, kHg0, kHg2Gas, w.zr[2] * wt.p_h2o2 * wt.p_hg0 * gas);
    transfer(w, 4, kHg0, kHg2Eq, w.zr[3] * wt.p_cl2 * wt.p_hg0 * gas);
    transfer(w, 5, kHg0, kHg2Eq, w.zr[4] * wt.hg0_aq * wt.o3_aq * aq);
    transfer(w, 6, kHg0, kHg2Eq, w.zr[5] * wt.hg0_aq * wt.oh_aq * aq);
    transfer(w, 7, kHg2Eq, kHg0, w.zr[6] * z[5] * aq);
    transfer(w, 8, kHg2Eq, kHg0, w.zr[7] * z[0] * wt.reductant * aq);
    transfer(w, 9, kHg0, kHg2Eq, w.zr[8] * wt.hg0_aq * wt.hocl * aq);
    transfer(w, 10, kHg0, kHg2Eq, w.zr[9] * wt.hg0_aq * wt.ocl * aq);
    transfer(w, 11, kHg2Eq, kHg2Soot, wt.dissolved * wt.adsorb - w.zmass[kHg2Soot] * wt.desorb);
    transfer(w, 12, kHg0, kHg2Gas, w.zr[11] * wt.p_oh * wt.p_hg0 * gas);
    transfer(w, 13, kHg2Eq, kHg0, w.zr[12] * z[4] * aq);
}

void dump_wet(int32_t caller, const PuffChemistryConditions& puff, const MercuryChemistryWorkspace& w,
              std::span<const float> mass, const Air& a, const Wet& wt, const StepTotals& t, double dt,
              DiagnosticChannels& ch) {
    const int32_t c = channel_for_caller(16, caller);
    if (!ch.fires(c)) return;
    static const fmt::Format layout("(4I4,L16,999E16.7)");
    DumpItems d;
    d.add(caller).add(w.nspec).add(kChemistryReactions).add(int32_t{7}).add(true).add(2.0).add(puff.puffvol);
    d.add(w.liquid).add(puff.relative_humidity).add(t.factor).add(t.old_total).add(t.new_total).add_all(mass).add(dt);
    d.add_all(w.xfracgas.span()).add_all(w.xfracdrop.span()).add_all(w.rate.span());
    d.add(a.n).add(a.g).add(wt.w).add(wt.p_o3).add(wt.p_h2o2).add(wt.p_hg0).add(wt.p_oh).add(wt.p_cl2);
    d.add(wt.o3_aq).add(wt.h2o2_aq).add(wt.hg0_aq).add(wt.oh_aq).add(wt.reductant).add_all(w.zr);
    d.add(wt.cl).add(wt.hplus).add(wt.cl2_gas_fraction).add(wt.hocl).add(wt.ocl);
    d.add(wt.soot_k).add(wt.adsorb).add(wt.desorb).add(wt.dissolved).add_all(w.root.x);
    dump_record(ch.dump_file(c), layout, d.items());
}

void wet_case(int32_t caller, const PuffChemistryConditions& puff, const Hgsim& hgsim, const OxidantValuesAtPuff& ox,
              std::span<const float> mass, const Air& a, double dt, MercuryChemistryWorkspace& w,
              DiagnosticChannels& ch, TextOut& console) {
    const double temperature = puff.temperature;
    const double liquid = w.liquid;
    FindrootInput in;
    in.ph = ox.fixed_value_a;
    in.temperature = temperature;
    in.so2 = a.so2_ppb;
    in.hg2tot = a.hg2_ppb;
    in.yy_cltot = ox.fixed_value_b;
    in.liquid = liquid;
    in.soot = ox.soot_value;
    dump_findroot(caller, in, nullptr, ch);
    findroot(caller, in, w.root, w.equilibrium, ch, console);
    dump_findroot(caller, in, &w.root, ch);
    const EquilibriumVector& z = w.root.x;

    Wet wt;
    wt.w = liquid / 1000.0;
    wt.cl = in.yy_cltot * f2d(0.001f) / f2d(35.45f);
    wt.hplus = std::pow(10.0, -in.ph);
    wt.p_o3 = f2d(ox.o3_conc) / (kHenryO3 * wt.w + a.g);
    wt.p_h2o2 = f2d(ox.ppb_factor_1) / (kHenryH2O2 * wt.w + a.g);
    wt.p_hg0 = w.zmass[kHg0] / (kHenryHg0 * wt.w + a.g);
    wt.p_oh = a.c_oh / (a.g + kHenryOH * wt.w);
    chlorine(hgsim.method_cl2_mass, liquid, temperature, a, wt);
    dump_chlorine(caller, hgsim.method_cl2_mass, liquid, temperature, in.ph, in.yy_cltot, a, wt, ch);
    wt.o3_aq = kHenryO3 * wt.p_o3;
    wt.h2o2_aq = kHenryH2O2 * wt.p_h2o2;
    wt.hg0_aq = kHenryHg0 * wt.p_hg0;
    wt.oh_aq = kHenryOH * wt.p_oh;
    wt.reductant = f2d(5000.0f) * wt.oh_aq;

    for (int32_t i = 0; i < w.nspec; ++i) w.xfracgas[i] = 0.0f;
    if (w.zmass[kHg0] != 0.0) w.xfracgas[kHg0] = static_cast<float>(a.g * wt.p_hg0 / w.zmass[kHg0]);
    if (w.zmass[kHg2Eq] != 0.0) w.xfracgas[kHg2Eq] = static_cast<float>((z[1] + z[3]) * a.g / w.zmass[kHg2Eq]);
    for (int32_t i = 0; i < w.nspec; ++i) w.xfracdrop[i] = 1.0f - w.xfracgas[i];

    wt.soot_k = f2d(900.0f) * (in.soot * f2d(1000.0f) / liquid);
    wt.adsorb = wt.soot_k / (1.0 + wt.soot_k) / kPerMinute;
    wt.desorb = 1.0 / (1.0 + wt.soot_k) / kPerMinute;
    wt.dissolved = (z[0] + z[2] + z[4] + z[5] + z[6]) * wt.w;

    w.rate.fill(0.0);
    wet_rates(w, a, wt, temperature, puff.radiation);
    sum_rates(w);
    bool any = false;
    for (int32_t i = 0; i < kMercurySlots; ++i) any = any || static_cast<float>(w.zmass[i]) != 0.0f;
    if (!any) return;
    const StepTotals t = advance(w, kMercurySlots, dt);
    dump_wet(caller, puff, w, mass, a, wt, t, dt, ch);
}

void dry_case(int32_t caller, const PuffChemistryConditions& puff, std::span<const float> mass, const Air& a,
              double dt, MercuryChemistryWorkspace& w, DiagnosticChannels& ch) {
    w.rate.fill(0.0);
    dry_rates(w, a);
    for (int32_t i = 0; i < w.nspec; ++i) w.zsave[i] = w.zmass[i];
    for (int64_t n = 0; n < w.rate.size(); ++n) w.saverate[n] = w.rate[n];
    sum_rates(w);
    if (w.zmass[kHg0] == 0.0 && w.zmass[kHg2Eq] == 0.0 && w.zmass[kHg2Gas] == 0.0) return;
    const StepTotals t = advance(w, 3, dt);
    dump_dry(caller, puff, w, mass, a, t, dt, ch);
}

// The draw of the step's channels; false when the puff has no volume (its
// masses are then left as they are).
bool start_step(const PuffChemistryConditions& puff, std::span<float> mass, MercuryChemistryWorkspace& w,
                DiagnosticChannels& ch) {
    ch.draw_channels({7, 11, 12, 16, 17, 107, 111, 112, 116, 117});
    ch.diagnostic_sampling_flags[13] = true;
    ch.diagnostic_sampling_flags[113] = true;
    if (!(puff.puffvol > 0.0f)) return false;
    const double volume_moles = f2d(puff.puffvol) * kMolarMass;
    for (int32_t i = 0; i < w.nspec; ++i) {
        w.zmass[i] = f2d(mass[i]) / volume_moles;
        w.zsavemass[i] = w.zmass[i];
        w.savemass[i] = mass[i];
        w.zdest[i] = 0.0;
    }
    return true;
}

void finish_step(int32_t caller, const PuffChemistryConditions& puff, double liquid, const Hgsim& hgsim,
                 const OxidantValuesAtPuff& ox, std::span<float> mass, MercuryChemistryWorkspace& w,
                 DiagnosticChannels& ch, TextOut& console) {
    // Chemistry always runs forward in time, also in a backward run.
    const double dt = std::fabs(f2d(puff.time_step));
    const double temperature = puff.temperature;
    w.liquid = liquid;
    w.wet = liquid > 0.0;

    Air a;
    a.g = 1000.0 / (kGas * temperature);
    a.n = a.g * kAvogadro * f2d(1e-6f);
    a.so2_ppb = f2d(ox.so2_conc) * f2d(1e6f) * kGas * temperature;
    a.o3_ppb = f2d(ox.o3_conc) * kGas * temperature * f2d(1e6f);
    a.hg0_ppb = w.zmass[kHg0] * f2d(1e9f) / a.g;
    a.hg2_ppb = w.zmass[kHg2Eq] * f2d(1e9f) / a.g;
    a.x_hg0 = a.hg0_ppb * f2d(1e-9f);
    a.x_o3 = a.o3_ppb * f2d(1e-9f);
    a.x_h2o2 = f2d(ox.ppb_factor_1) / a.g;
    a.x_hcl = f2d(ox.ppb_factor_2) / a.g;
    a.x_cl2 = ox.extra_oxidant_conc / a.g;
    a.c_oh = f2d(ox.oh_conc);

    if (w.wet) wet_case(caller, puff, hgsim, ox, mass, a, dt, w, ch, console);
    else dry_case(caller, puff, mass, a, dt, w, ch);

    // Back to masses; the puff's total mass is kept exactly.
    const double volume_moles = f2d(puff.puffvol) * kMolarMass;
    float old_total = 0.0f, new_total = 0.0f;
    for (int32_t i = 0; i < w.nspec; ++i) {
        mass[i] = static_cast<float>(w.zmass[i] * volume_moles);
        old_total += w.savemass[i];
        new_total += mass[i];
    }
    const float factor = new_total != 0.0f ? old_total / new_total : 1.0f;
    for (int32_t i = 0; i < w.nspec; ++i) {
        mass[i] *= factor;
        w.zmass[i] *= f2d(factor);
    }
}

void check_column(std::span<const float> mass, const MercuryChemistryWorkspace& work) {
    if (static_cast<int64_t>(mass.size()) != work.nspec || work.nspec < kMercurySlots)
        throw std::invalid_argument("mercury chemistry: mass column and workspace differ in size");
}

template <typename T>
void allocate_named(WorkArray<T>& a, const char* name, int64_t n, TextOut& console) {
    if (a.allocate(n)) return;
    console.list(std::string("*ERROR* ") + name + ": memory allocation");
    throw RunStop::plain();
}

}  // namespace

void set_up_mercury_chemistry_workspace(MercuryChemistryWorkspace& w, int32_t nspec, TextOut& console) {
    if (nspec < kMercurySlots) {
        console.list("*ERROR* mercury chemistry: the mass column needs the four mercury species, MAXDIM = ", nspec);
        throw RunStop(kStopInput);
    }
    w.nspec = nspec;
    const int64_t n = nspec;
    allocate_named(w.savemass, "savemass", n, console);
    allocate_named(w.zdest, "ZDEST", n, console);
    allocate_named(w.zmass, "zmass", n, console);
    allocate_named(w.zsavemass, "zsavemass", n, console);
    allocate_named(w.zsave, "zsave", n, console);
    allocate_named(w.saverate, "saverate", n * kChemistryReactions, console);
    allocate_named(w.xfracgas, "xfracgas", n, console);
    allocate_named(w.xfracdrop, "xfracdrop", n, console);
    allocate_named(w.xfracpart, "xfracpart", n, console);
    allocate_named(w.rate, "rate", n * kChemistryReactions, console);
    allocate_named(w.totrate, "totrate", n, console);
    allocate_named(w.change, "change", n, console);
    allocate_named(w.zstart, "zstart", n, console);
    w.savemass.fill(0.0f);
    w.zdest.fill(0.0);
    w.zmass.fill(0.0);
    w.zsavemass.fill(0.0);
    w.zsave.fill(0.0);
    w.saverate.fill(0.0);
    w.xfracgas.fill(0.0f);
    w.xfracdrop.fill(0.0f);
    w.xfracpart.fill(0.0f);
    w.rate.fill(0.0);
    w.totrate.fill(0.0);
    w.change.fill(0.0);
    w.zstart.fill(0.0);
    w.zr.fill(0.0);
}

void compute_puff_mercury_chemistry(int32_t caller, const PuffChemistryConditions& puff, const Hgsim& hgsim,
                                    const OxidantValuesAtPuff& ox, std::span<float> mass,
                                    MercuryChemistryWorkspace& work, SizeDistribution& sizes,
                                    DiagnosticChannels& ch, TextOut& console) {
    check_column(mass, work);
    if (!start_step(puff, mass, work, ch)) return;
    float liquid = 0.0f;
    lwc_estm(caller, hgsim, puff.distribution, 1, puff.relative_humidity, puff.aerosol_water, liquid, sizes, ch,
             console);
    finish_step(caller, puff, f2d(liquid), hgsim, ox, mass, work, ch, console);
}

void compute_puff_mercury_chemistry_with_liquid(int32_t caller, const PuffChemistryConditions& puff, double liquid,
                                                const Hgsim& hgsim, const OxidantValuesAtPuff& ox,
                                                std::span<float> mass, MercuryChemistryWorkspace& work,
                                                DiagnosticChannels& ch, TextOut& console) {
    check_column(mass, work);
    if (!start_step(puff, mass, work, ch)) return;
    finish_step(caller, puff, liquid, hgsim, ox, mass, work, ch, console);
}

}  // namespace orv
