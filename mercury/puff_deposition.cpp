#include "mercury/puff_deposition.hpp"

#include <cmath>
#include <string>

#include "common/run_stop.hpp"
#include "mercury/deposition_stages.hpp"
#include "run/land_use.hpp"

namespace orv {

namespace {

template <typename T>
void allocate_named(IndexedArray<T>& a, const char* name, TextOut& console, IndexRange r1, IndexRange r2 = {1, 1},
                    IndexRange r3 = {1, 1}) {
    if (a.allocate(r1, r2, r3)) return;
    console.list(std::string("*ERROR* ") + name + ": memory allocation");
    throw RunStop::plain();
}

// Channels drawn on entry. The first list fires by the usual rule, the
// second when the draw lies within the probability of 0.5.
constexpr int32_t kUsualChannels[] = {21, 22, 23, 27, 121, 122, 123, 127, 128};
constexpr int32_t kCentredChannels[] = {26, 126, 28, 228};

void draw_step_channels(DiagnosticChannels& ch) {
    const float r = ch.draw();
    const float offset = std::fabs(r - 0.5f);
    const auto fire = [&](int32_t c, bool on) {
        ch.diagnostic_sampling_flags[c] = on;
        if (!on) return;
        ch.channel_tag[c] = static_cast<int32_t>(std::lround(offset * 1.0e8f));
        if (c == 26) ++ch.nwrite[26];
    };
    for (int32_t c : kUsualChannels) fire(c, ch.selects(c, r));
    for (int32_t c : kCentredChannels) fire(c, offset <= ch.channel_probability[c]);
}

// A puff without volume: nothing is deposited and the masses stay.
void deposit_nothing(MercuryArrays& a) {
    a.zdep.zero();
    a.zcepdep.zero();
    for (int32_t p = 1; p <= a.maxdim && p <= a.step_deposit.range(1).hi; ++p) a.step_deposit(p) = 0.0f;
    a.puff_descent = 0.0f;
}

// Zeroes what every call starts from.
void start_call(deposition::StepContext& s) {
    DepositionWorkspace& ws = s.ws;
    ws.zbeta.zero();
    ws.zdepv.zero();
    ws.zpbeta.zero();
    ws.zpbetalnd.zero();
    ws.zvd.zero();
    ws.zvg.zero();
    ws.lndexist.zero();
    ws.cepexist.zero();
    ws.bottom = s.args.puff.puff_bottom_height;
    ws.top = s.args.puff.puff_top_height;
    ws.depth = s.args.puff.puff_depth;
    ws.settling_mean = 0.0f;
    s.arrays.puff_descent = 0.0f;
}

void dump_entry(deposition::StepContext& s) {
    if (!s.ch.enabled(103)) return;
    TextOut* f = s.ch.dump_file(103);
    if (!f) return;
    f->line("");
    f->list("            JET = ", s.args.call.JET);
    f->list("     nwrite(26) = ", s.ch.nwrite[26]);
    f->list("           RAIN = ", s.args.met.RAIN);
    f->list("        puffvol = ", s.args.puff.puffvol);
    f->list("        mweight = ", s.args.met.RAIN);
}

// Concentrations of the species on entry.
void species_concentrations(deposition::StepContext& s) {
    DepositionWorkspace& ws = s.ws;
    TextOut* f = s.ch.enabled(103) ? s.ch.dump_file(103) : nullptr;
    const double volume_moles = static_cast<double>(s.args.puff.puffvol) * 200.59;
    for (int32_t nd = 1; nd <= ws.maxdim; ++nd) {
        const float m = s.arrays.depelm_mass(nd);
        ws.zmass(nd) = m / volume_moles;
        ws.savemass(nd) = m;
        ws.zsavemass(nd) = ws.zmass(nd);
        if (f) {
            f->list("             nd  = ", nd);
            f->list(" depelm_mass(nd) = ", m);
            f->list("      zmass(nd)  = ", ws.zmass(nd));
        }
    }
}

}  // namespace

namespace deposition {

float shape_factor(StepContext& s, int32_t p) {
    const Pollutant* pol = s.pollutant(p);
    const float shape = pol ? pol->SHAPE : 0.0f;
    if (shape > 0.0f) return shape;
    std::vector<uint8_t>& warned = s.ws.shape_warned;
    if (p >= 0 && static_cast<size_t>(p) < warned.size() && !warned[static_cast<size_t>(p)]) {
        warned[static_cast<size_t>(p)] = 1;
        s.log.list("WARNING compute_puff_mercury_deposition: SHAPE not above 0, taken as 1 - pollutant", p);
    }
    return 1.0f;
}

float unshaped_settling_velocity(float d, float rho_p, float rho_a) {
    const float lambda = 6.53e-8f * 1200.0f / rho_a;
    const float slip = slip_correction(d, lambda);
    return slip * (rho_p - rho_a) * 9.801f * d * d / 0.32202f;
}

}  // namespace deposition

DepositionMet deposition_met(const MetAtParticle& met, const ProfileRow& at_puff, const ProfileRow& lowest,
                             float surface_layer_height) {
    DepositionMet m;
    m.wind_speed_10m = met.wind_speed_10m;
    m.land_use = met.land_use;
    m.roughness = met.roughness;
    m.friction_velocity = met.friction_velocity;
    m.stability = met.stability_1;
    m.solar_flux = met.solar_flux;
    m.RAIN = met.rain;
    m.air_density = at_puff.density;
    m.temperature = at_puff.temperature;
    m.surface_temperature = lowest.temperature;
    m.rh_puff = at_puff.humidity;
    m.rh_surface = lowest.humidity;
    m.surface_layer_height = surface_layer_height;
    return m;
}

void set_up_deposition_workspace(DepositionWorkspace& ws, const Hgsim& hgsim, int32_t maxdim, TextOut& console) {
    if (maxdim < 4) {
        console.list("*ERROR* compute_puff_mercury_deposition: the four mercury species are needed, MAXDIM = ", maxdim);
        throw RunStop(kStopInput);
    }
    if (hgsim.npath < 5) {
        console.list("*ERROR* compute_puff_mercury_deposition: the five deposition paths are needed, NPATH = ",
                     hgsim.npath);
        throw RunStop(kStopInput);
    }
    if (hgsim.nland > kLandCategories) {
        console.list("*ERROR* compute_puff_mercury_deposition: at most 20 land-use categories, NLAND = ", hgsim.nland);
        throw RunStop(kStopInput);
    }
    ws.maxdim = maxdim;
    ws.nrange = hgsim.nrange > 0 ? hgsim.nrange : 0;
    ws.npath = hgsim.npath;
    ws.nland = hgsim.nland > 0 ? hgsim.nland : 0;

    const IndexRange species{1, ws.maxdim};
    const IndexRange cases{1, 4};
    const IndexRange sizes{0, ws.nrange};
    const IndexRange paths{0, ws.npath};
    const IndexRange land{1, ws.nland};
    allocate_named(ws.savemass, "savemass", console, species);
    allocate_named(ws.zmass, "zmass", console, species);
    allocate_named(ws.zsavemass, "zsavemass", console, species);
    allocate_named(ws.xrh_calc, "xrh_calc", console, cases);
    allocate_named(ws.xliquid, "xliquid", console, cases);
    allocate_named(ws.xdroplet, "xdroplet", console, cases);
    allocate_named(ws.XW, "XW", console, cases);
    allocate_named(ws.xfracgas, "xfracgas", console, cases, species);
    allocate_named(ws.xfracdrop, "xfracdrop", console, cases, species);
    allocate_named(ws.xfracpart, "xfracpart", console, cases, species);
    allocate_named(ws.xzmfracp, "xzmfracp", console, cases, species, sizes);
    allocate_named(ws.xpd, "xpd", console, cases, sizes);
    allocate_named(ws.xvolfrac, "xvolfrac", console, cases, sizes);
    allocate_named(ws.zconc, "zconc", console, {1, 7});
    allocate_named(ws.lndexist, "lndexist", console, land);
    allocate_named(ws.cepexist, "cepexist", console, land);
    allocate_named(ws.zvgavg, "zvgavg", console, species);
    allocate_named(ws.zvdavg, "zvdavg", console, species);
    allocate_named(ws.zvg, "zvg", console, species);
    allocate_named(ws.zvd, "zvd", console, species);
    allocate_named(ws.zvdgascep, "zvdgascep", console, species, land);
    allocate_named(ws.zvdgasprt, "zvdgasprt", console, species, land);
    allocate_named(ws.z_vdland, "z_vdland", console, sizes, land, species);
    allocate_named(ws.z_vgland, "z_vgland", console, sizes, land, species);
    allocate_named(ws.z_vdcep, "z_vdcep", console, sizes, land, species);
    allocate_named(ws.z_vgcep, "z_vgcep", console, sizes, land, species);
    allocate_named(ws.velocity_rows, "velocity_rows", console, land);
    allocate_named(ws.zpbeta, "zpbeta", console, species, paths);
    allocate_named(ws.zpbetalnd, "zpbetalnd", console, species, paths, land);
    allocate_named(ws.zbeta, "zbeta", console, species);
    allocate_named(ws.zdepv, "zdepv", console, species);
    allocate_named(ws.zbetatot, "zbetatot", console, species);
    allocate_named(ws.zsbetatot, "zsbetatot", console, species);
    allocate_named(ws.zsbeta, "zsbeta", console, species);
    allocate_named(ws.zsmass, "zsmass", console, species);
    allocate_named(ws.zinitmass, "zinitmass", console, species);
    allocate_named(ws.ztotremovd, "ztotremovd", console, species);
    allocate_named(ws.zcdept, "zcdept", console, species);
    allocate_named(ws.zctotremv, "zctotremv", console, species);
    allocate_named(ws.zcmass, "zcmass", console, species);
    allocate_named(ws.vg_aloft, "vg_aloft", console, {1, ws.nrange});
    allocate_named(ws.unshaped_settling, "unshaped_settling", console, {1, 3}, sizes);
    allocate_named(ws.aerodynamic, "aerodynamic", console, land);
    allocate_named(ws.diffusion, "diffusion", console, {1, ws.nrange}, {2, 3});
    allocate_named(ws.transfer, "transfer", console, sizes, {2, 3}, species);
    allocate_named(ws.shape, "shape", console, species);
    allocate_named(ws.fit_diameter, "fit_diameter", console, {1, ws.nrange});
    allocate_named(ws.fit, "fit", console, {1, ws.nrange});
    ws.shape_warned.assign(static_cast<size_t>(ws.maxdim) + 1, 0);
}

void compute_puff_mercury_deposition(const DepositionArguments& args, const DepositionSettings& run,
                                     const OxidantValuesAtPuff& oxidants, MercuryArrays& arrays,
                                     SizeDistribution& sizes, DepositionWorkspace& ws, DiagnosticChannels& ch,
                                     Messages msg) {
    deposition::StepContext s{args, run, oxidants, arrays, sizes, ws, ch, msg.log, msg.console,
                              std::fabs(args.call.time_step)};

    draw_step_channels(ch);
    if (!(args.puff.puffvol > 0.0f)) {
        deposit_nothing(arrays);
        return;
    }
    start_call(s);
    dump_entry(s);
    species_concentrations(s);

    deposition::partition_cloud_water(s);
    if (args.puff.near_surface_flag) {
        deposition::dry_deposition_velocities(s);
        deposition::average_velocities_and_dry_rates(s);
    } else {
        deposition::settling_aloft(s);
    }
    deposition::settle_puff(s);
    deposition::wet_removal_rates(s);
    deposition::switch_off_elemental_deposition(s);
    deposition::remove_deposited_mass(s);
}

}  // namespace orv
