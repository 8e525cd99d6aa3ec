#include "mercury/dry_deposition_velocity.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "common/text_output.hpp"
#include "run/land_use.hpp"

namespace orv {

namespace {

constexpr float X = 1e25f;  // a closed path: no uptake

// A table by season type (row) and category 1..20 (column). It is written
// with the columns 1 to 11, one column for the categories 12 to 18 (which
// hold one value), then 19 and 20.
using ResistanceRow = std::array<float, kLandCategories>;
using ResistanceTable = std::array<ResistanceRow, 2>;

constexpr ResistanceRow expand(std::array<float, 14> c) {
    ResistanceRow out{};
    for (size_t i = 0; i < 11; ++i) out[i] = c[i];
    for (size_t i = 11; i < 18; ++i) out[i] = c[11];
    out[18] = c[12];
    out[19] = c[13];
    return out;
}

// Minimum stomatal resistance.
constexpr ResistanceTable kZri = {
    expand({X, 60, 120, 70, 130, 100, X, X, 80, 100, 150, X, X, X}),
    expand({X, X, X, X, 400, 800, X, X, X, X, X, X, X, X})};
// Upper-canopy cuticle resistance.
constexpr ResistanceTable kZrlu = {
    expand({X, 2000, 2000, 2000, 2000, 2000, X, X, 2500, 2000, 4000, X, X, X}),
    expand({X, X, X, X, 6000, 9000, X, X, 9000, 9000, 9000, X, X, X})};
// Lower-canopy resistance, soluble reference.
constexpr ResistanceTable kZrcls = {
    expand({X, 2000, 2000, 2000, 2000, 2000, X, X, 2500, 2000, 4000, X, X, X}),
    expand({X, X, X, 9000, 200, 400, X, X, 9000, X, 9000, X, X, X})};
// Lower-canopy resistance, reactive reference.
constexpr ResistanceTable kZrclo = {
    expand({X, 1000, 1000, 1000, 1000, 1000, X, X, 1000, 1000, 1000, X, X, X}),
    expand({X, 1000, 1000, 400, 1500, 600, X, X, 800, 1000, 800, X, X, X})};
// In-canopy transfer resistance (values below 1 act as 1).
constexpr ResistanceTable kZrac = {
    expand({100, 200, 100, 2000, 2000, 2000, 0, 0, 300, 150, 200, 0, 0, 0}),
    expand({100, 10, 10, 1000, 2000, 1500, 0, 0, 50, 10, 50, 0, 0, 0})};
// Ground resistance, soluble reference (values below 1 act as 1).
constexpr ResistanceTable kZrgss = {
    expand({400, 150, 350, 500, 500, 100, 0, 1000, 0, 220, 400, 0, 400, 400}),
    expand({100, 100, 100, 100, 100, 100, 0, 1000, 100, 100, 50, 0, 50, 50})};
// Ground resistance, reactive reference.
constexpr ResistanceTable kZrgso = {
    expand({300, 150, 200, 200, 200, 300, 2000, 400, 1000, 180, 200, 2000, 200, 200}),
    expand({600, 3500, 3500, 3500, 3500, 3500, 2000, 400, 3500, 3500, 3500, 2000, 3500, 3500})};

float table_value(const ResistanceTable& t, int32_t season, int32_t category) {
    // The deposition step passes categories 1..20 only; others take the
    // nearest column.
    const int32_t c = std::clamp(category, 1, kLandCategories);
    return t[static_cast<size_t>(season - 1)][static_cast<size_t>(c - 1)];
}

// Canopy resistance of elemental mercury as a gas (fills the canopy terms).
void canopy_resistance(const DepositionSurface& s, const Pollutant& pol, int32_t category, DryDepositionTerms& r) {
    const float tc = r.tc;
    const float g = s.solar;
    const float h = pol.HENRY;
    const float f0 = pol.ACVTY;
    r.season = season_type(s.lat, s.month);
    const float zri = table_value(kZri, r.season, category);
    r.zrlu = table_value(kZrlu, r.season, category);
    r.zrcls = table_value(kZrcls, r.season, category);
    r.zrclo = table_value(kZrclo, r.season, category);
    r.zrac = table_value(kZrac, r.season, category);
    r.zrgss = table_value(kZrgss, r.season, category);
    r.zrgso = table_value(kZrgso, r.season, category);

    if (tc > 0.0f && tc < 40.0f) {
        const float q = 200.0f / (g + 0.1f);
        r.temp_factor = 400.0f / (tc * (40.0f - tc));
        r.rs = zri * pol.DIFTY * (1.0f + q * q) * 400.0f / (tc * (40.0f - tc));
    } else {
        r.temp_factor = 0.0f;
        r.rs = X;
    }
    r.rm = 1.0f / (h / 3000.0f + 100.0f * f0);
    r.rlu = r.zrlu / (1e-5f * h + f0);
    r.rdc = 100.0f * (1.0f + 1000.0f / (g + 10.0f));
    r.rcl = 1.0f / (1e-5f * h / r.zrcls + f0 / r.zrclo);
    r.rac = std::max(r.zrac, 1.0f);
    r.zrgss_used = std::max(r.zrgss, 1.0f);
    r.rgs = 1.0f / (1e-5f * h / r.zrgss_used + f0 / r.zrgso);
    r.ct = 1000.0f * std::exp(-tc - 4.0f);

    r.g_stomatal = 1.0f / (r.rs + r.rm);
    r.g_cuticle = 1.0f / (r.rlu + r.ct);
    r.g_lower = 1.0f / (r.rdc + r.rcl + r.ct);
    r.g_ground = 1.0f / (r.rac + r.rgs + r.ct);
    const float rc = 1.0f / (r.g_stomatal + r.g_cuticle + r.g_lower + r.g_ground);
    // Every path closed gives an infinite resistance, held at the upper bound.
    r.rc = std::min(std::max(rc, 10.0f), 9999.0f);
}

// Two-layer transfer of particles over water.
struct WaterTransfer {
    float kc_prime = 0.0f, kc = 0.0f, kd_prime = 0.0f, kd = 0.0f;
    float vd = 0.0f;
};
// Counts zero test k, with its console line the first time it holds.
void note_zero(WaterZeroCounts& zeros, int32_t k, TextOut& console) {
    if (zeros.counts[static_cast<size_t>(k)]++ == 0) console.list(water_zero_line(k));
}

WaterTransfer water_velocity(const DepositionSurface& s, const DepositionTarget& t, float sc_water, float e,
                             WaterZeroCounts& zeros, TextOut& console) {
    WaterTransfer w;
    if (s.ubar == 0.0f) note_zero(zeros, kZeroUbar, console);
    w.kc_prime = 0.0021666666f * s.ubar;
    if (w.kc_prime == 0.0f) note_zero(zeros, kZeroKcPrime, console);
    w.kc = t.extra_transfer + w.kc_prime;
    w.kd_prime = 0.0013f * 2.5f * s.ubar * (sc_water + e);
    if (w.kd_prime == 0.0f) note_zero(zeros, kZeroKdPrime, console);
    w.kd = t.settling + w.kd_prime;
    if (w.kc == 0.0f) note_zero(zeros, kZeroKc, console);
    if (w.kd == 0.0f) note_zero(zeros, kZeroKd, console);
    if (w.kc == 0.0f || w.kd == 0.0f) {
        // Nothing crosses one of the two layers: the formula's limit is 0.
        w.vd = 0.0f;
        return w;
    }
    w.vd = 1.0f / (1.0f / w.kd + 1.0f / w.kc - t.settling / (w.kd * w.kc));
    return w;
}

// Resistances in series with settling in parallel.
float resistance_velocity(float ra, float rb, float rc, float settling) {
    return settling + 1.0f / (ra + rb + rc + ra * rb * settling);
}

// Without turbulence at the surface only settling deposits.
float surface_velocity(const DepositionSurface& s, const DepositionTarget& t, float vd) {
    return s.ustar > 0.0f ? vd : std::max(t.settling, 0.0f);
}

bool elemental_gas(const DepositionTarget& t) { return !(t.diameter > 0.0f) && t.pollutant == 1; }

// The diagnostic record of one call: kind, tag, then the 70 values.
void write_record(DiagnosticChannels& ch, int32_t channel, int32_t kind, const DepositionSurface& s,
                  const Pollutant& pol, const DepositionTarget& t, const DryDepositionTerms& r) {
    static const fmt::Format layout("(3I12,E12.3,I12,999E12.3)");
    const bool water = r.kind == DepositionCase::ParticleOverWater;
    const bool gas1 = r.kind == DepositionCase::GasElemental;
    const float na = -99.0f;
    DumpItems d;
    d.add(kind).add(ch.channel_tag[channel]).add(t.pollutant).add(t.diameter).add(t.land_use);
    d.add(s.temperature).add(r.tc).add(pol.GPMOL).add(pol.HENRY).add(pol.ACVTY).add(pol.DIFTY);
    d.add(0.01789f).add(s.air_density).add(r.nu);
    d.add(water ? na : r.z0);
    d.add(t.z0).add(r.log_z).add(s.psi).add(0.4f).add(s.ustar).add(0.923f);
    d.add(water ? na : r.ra);
    d.add(28.9644f).add(pol.GPMOL);
    d.add(water ? na : r.diffusivity);
    d.add(r.sc).add(r.st).add(r.e);
    d.add(water ? na : r.rb);
    if (gas1) {
        d.add(static_cast<float>(r.season)).add(r.temp_factor).add(s.solar).add(r.rs).add(r.rm).add(r.zrlu);
        d.add(r.rlu).add(r.rdc).add(r.zrcls).add(r.zrclo).add(r.rcl).add(r.rac).add(r.zrac).add(r.zrgss);
        d.add(r.zrgso).add(r.zrgss_used).add(r.rgs).add(r.ct).add(r.g_stomatal).add(r.g_cuticle);
        d.add(r.g_lower).add(r.g_ground).add(r.rc);
    } else {
        for (int i = 30; i <= 51; ++i) d.add(na);
        d.add(water ? na : r.rc);
    }
    d.add(t.settling).add(r.vd);
    if (water) {
        d.add(0.0013f).add(s.ubar).add(r.kc_prime).add(t.extra_transfer).add(r.kc).add(r.kd_prime).add(r.kd);
    } else {
        for (int i = 55; i <= 61; ++i) d.add(na);
    }
    for (int i = 62; i <= 72; ++i) d.add(na);
    dump_record(ch.dump_file(channel), layout, d.items());
}

}  // namespace

const char* water_zero_line(int32_t k) {
    static constexpr const char* lines[kWaterZeroTests] = {"ubar = 0", "kcprime = 0", "kdprime = 0", "kc = 0",
                                                           "kd = 0"};
    return k >= 0 && k < kWaterZeroTests ? lines[k] : "";
}

void write_water_zero_counts(const WaterZeroCounts& zeros, TextOut& log) {
    for (int32_t k = 0; k < kWaterZeroTests; ++k) {
        const int64_t n = zeros.counts[static_cast<size_t>(k)];
        if (n > 0)
            log.list("WARNING compute_dry_deposition_velocity: ", water_zero_line(k), " held", n,
                     "times (on the console once)");
    }
}

int32_t season_type(float lat, int32_t month) {
    const bool warm_months = month >= 4 && month <= 9;
    if (lat > 0.0f) return warm_months ? 1 : 2;
    return warm_months ? 2 : 1;
}

SurfaceTerms surface_terms(const DepositionSurface& s) {
    SurfaceTerms st;
    const float ustar = s.ustar;
    st.nu = 0.01789f / s.air_density;
    st.tc = s.temperature - 273.16f;
    st.water_z0 = st.nu / (9.1f * ustar) + 0.011f * ustar * ustar / 9.801f;
    return st;
}

AerodynamicTerms aerodynamic_terms(const DepositionSurface& s, const SurfaceTerms& st, int32_t land_use, float z0) {
    AerodynamicTerms a;
    a.z0 = water_like_category(land_use) ? st.water_z0 : z0;
    a.log_z = std::log(s.z / a.z0);
    a.ra = 0.923f * (a.log_z - s.psi) / (0.4f * s.ustar);
    return a;
}

TransferTerms gas_transfer(const DepositionSurface& s, const SurfaceTerms& st, const Pollutant& pol) {
    TransferTerms tr;
    tr.diffusivity = st.nu * std::sqrt(28.9644f / pol.GPMOL);
    tr.sc = st.nu / tr.diffusivity;
    tr.sc_rb = std::pow(tr.sc, -0.67f);
    tr.st = -99.0f;
    tr.e = 0.0f;
    tr.rb = 2.0f / (0.4f * s.ustar * (tr.sc_rb + tr.e));
    return tr;
}

DryDepositionTerms assemble_dry_deposition_terms(const DepositionSurface& s, const SurfaceTerms& st,
                                                 const AerodynamicTerms& a, const TransferTerms& tr,
                                                 const Pollutant& pol, const DepositionTarget& t,
                                                 WaterZeroCounts& zeros, TextOut& console) {
    DryDepositionTerms r;
    const bool water = water_like_category(t.land_use);
    const bool particle = t.diameter > 0.0f;
    r.nu = st.nu;
    r.tc = st.tc;
    r.z0 = a.z0;
    r.log_z = a.log_z;
    r.ra = a.ra;
    r.diffusivity = tr.diffusivity;
    r.sc = tr.sc;
    r.st = tr.st;
    r.e = tr.e;
    r.rb = tr.rb;

    if (particle && water) {
        r.kind = DepositionCase::ParticleOverWater;
        const WaterTransfer w = water_velocity(s, t, tr.sc_water, r.e, zeros, console);
        r.kc_prime = w.kc_prime;
        r.kc = w.kc;
        r.kd_prime = w.kd_prime;
        r.kd = w.kd;
        r.vd = w.vd;
    } else {
        if (elemental_gas(t)) {
            r.kind = DepositionCase::GasElemental;
            canopy_resistance(s, pol, t.land_use, r);
        } else {
            r.kind = DepositionCase::Other;
            r.rc = 0.0f;
        }
        r.vd = resistance_velocity(r.ra, r.rb, r.rc, t.settling);
    }
    r.vd = surface_velocity(s, t, r.vd);
    return r;
}

float assemble_dry_deposition_velocity(const DepositionSurface& s, const SurfaceTerms& st, const AerodynamicTerms& a,
                                       const TransferTerms& tr, const Pollutant& pol, const DepositionTarget& t,
                                       WaterZeroCounts& zeros, TextOut& console) {
    if (t.diameter > 0.0f && water_like_category(t.land_use)) {
        return surface_velocity(s, t, water_velocity(s, t, tr.sc_water, tr.e, zeros, console).vd);
    }
    // The canopy resistance has terms of its own: the whole record is built.
    if (elemental_gas(t)) return assemble_dry_deposition_terms(s, st, a, tr, pol, t, zeros, console).vd;
    return surface_velocity(s, t, resistance_velocity(a.ra, tr.rb, 0.0f, t.settling));
}

DryDepositionTerms dry_deposition_terms(const DepositionSurface& s, const Pollutant& pol, const DepositionTarget& t,
                                        WaterZeroCounts& zeros, TextOut& console) {
    const SurfaceTerms st = surface_terms(s);
    const AerodynamicTerms a = aerodynamic_terms(s, st, t.land_use, t.z0);
    const bool particle = t.diameter > 0.0f;
    const TransferTerms tr =
        particle ? particle_transfer(s, st, particle_diffusion(s, st, t.diameter, water_like_category(t.land_use)),
                                     t.settling)
                 : gas_transfer(s, st, pol);
    return assemble_dry_deposition_terms(s, st, a, tr, pol, t, zeros, console);
}

float compute_dry_deposition_velocity(bool dump, const DepositionSurface& s, const Pollutant& pol,
                                      const DepositionTarget& t, DiagnosticChannels& ch, WaterZeroCounts& zeros,
                                      TextOut& console) {
    return report_dry_deposition_velocity(dump, s, pol, t, dry_deposition_terms(s, pol, t, zeros, console), ch);
}

bool draw_velocity_record(DiagnosticChannels& ch) {
    // The routine's own sampling of channel 29.
    constexpr int32_t c29 = 29;
    const float draw = ch.draw();
    if (std::fabs(draw - 0.5f) > ch.channel_probability[c29]) {
        ch.diagnostic_sampling_flags[c29] = false;
    } else {
        ch.channel_tag[c29] = static_cast<int32_t>(std::lround(1.0e8f * draw));
        ++ch.nwrite[c29];
        ch.diagnostic_sampling_flags[c29] = ch.nwrite[c29] <= 20000;
    }
    return ch.diagnostic_sampling_flags[c29];
}

void write_velocity_records(bool dump, bool record, const DepositionSurface& s, const Pollutant& pol,
                            const DepositionTarget& t, const DryDepositionTerms& r, DiagnosticChannels& ch) {
    const int32_t kind = static_cast<int32_t>(r.kind);
    if (dump) write_record(ch, 25, 26 + kind, s, pol, t, r);
    if (record) write_record(ch, 29, 30 + kind, s, pol, t, r);
}

float report_dry_deposition_velocity(bool dump, const DepositionSurface& s, const Pollutant& pol,
                                     const DepositionTarget& t, const DryDepositionTerms& r, DiagnosticChannels& ch) {
    write_velocity_records(dump, draw_velocity_record(ch), s, pol, t, r, ch);
    return r.vd;
}

}  // namespace orv
