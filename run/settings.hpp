#pragma once
// Run settings: the SETUP and HG_SETUP namelist groups with their defaults,
// the mercury settings record `hgsim`, and the option checks, clamps and
// presets applied after the files are read.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/namelist.hpp"
#include "common/text_output.hpp"
#include "run/land_use.hpp"
#include "run/particle_types.hpp"

namespace orv {

// The SETUP group, in the order of the group.
struct Settings {
    int32_t INITD = kParticle;       // type code of new releases: up to 6, or 103, 104, 130, 140 (mercury: 1, 2)
    int32_t KHMAX = 9999;            // longest life of a particle or puff, hours
    int32_t NUMPAR = 2500;           // particles released over the emission hours; puffs: one a step
    int32_t MAXPAR = 10000;          // entries of the particle arrays, at least 1
    int32_t MAXDIM = 1;              // pollutants per particle: 1 or the pollutant count (mercury: 4+)
    float QCYCLE = 0.0f;             // emission cycle, hours: a release restarts after it; 0 never
    float P10F = 1.0f;               // factor on the dust emission's threshold velocity (ICHEM 3)
    int32_t KMIXD = 0;               // mixed layer: 0 data, 1 temperature, 2 TKE, 10+ depth in m; 0..9999
    int32_t KMIX0 = 250;             // least mixed-layer depth, m, 1..999
    float FRME = 0.10f;              // the smallest puffs holding this mass fraction are merged
    float FRMR = 0.0f;               // the smallest puffs holding this mass fraction are removed; 0 none
    int32_t KRND = 6;                // hours between the mass-based merges, sign ignored; not 0
    float DELT = 0.0f;               // fixed time step, 1 to 60 whole minutes, sign ignored; 0 from the winds
    int32_t KDEF = 0;                // horizontal mixing of the data on the sub-grid: 0 off, 1 on
    float TKERD = 0.18f;             // ratio of vertical to horizontal turbulence by day
    float TKERN = 0.18f;             // the same by night
    int32_t NDUMP = 0;               // hour of the next particle dump; 0 none
    int32_t NCYCL = 0;               // hours between particle dumps; 0 one dump only
    float TRATIO = 0.75f;            // largest move in a time step or sub-step, grid cells
    int32_t ISOT = -99;              // turbulence preset 0 to 6; -99 none (set again after use)
    int32_t MGMIN = 10;              // least size of the meteorological sub-grid, grid points
    int32_t KMSL = 0;                // source heights above 0 ground, 1 sea level; others become 0
    int32_t NSTR = 0;                // accepted and echoed; no effect
    int32_t MHRS = 0;                // accepted and echoed; no effect
    int32_t NVER = 0;                // accepted and echoed; no effect
    // Concentration files: 0 full grid (not with ICHEM 4), 1 non-zero values, 2 centre point.
    int32_t CPACK = 1;
    int32_t CMASS = 0;               // summing: 0 concentrations, other mass at the nearest point
    // Option: 0 none, 1 source matrix, 2 species conversion, 3 dust emission, 4 sums on the
    // meteorological grid, 5 probability deposition, 6 ignored, 7 transport on water surfaces.
    int32_t ICHEM = 0;
    std::string EFILE = " ";         // emission file name; blank none
    float VSCALE = 200.0f;           // vertical Lagrangian time scale, s, at least 1
    int32_t TOUT = 0;                // accepted and echoed; no effect
    int32_t TM_PRES = 0;             // accepted and echoed; no effect
    int32_t TM_TPOT = 0;             // accepted and echoed; no effect
    int32_t TM_TAMB = 0;             // accepted and echoed; no effect
    int32_t TM_RAIN = 0;             // accepted and echoed; no effect
    int32_t TM_MIXD = 0;             // accepted and echoed; no effect
    int32_t TM_TERR = 0;             // accepted and echoed; no effect
    float HSCALE = 10800.0f;         // horizontal Lagrangian time scale, s
    int32_t TM_DSWF = 0;             // accepted and echoed; no effect
    int32_t TM_RELH = 0;             // accepted and echoed; no effect
    float DXF = 1.0f;                // accepted and echoed; no effect
    float DYF = 1.0f;                // accepted and echoed; no effect
    float DZF = 0.01f;               // accepted and echoed; no effect
    std::string PINPF = "PARINIT";   // particle initialisation file; blank none
    std::string POUTF = "PARDUMP";   // particle dump file
    int32_t NINIT = 1;               // that file: 0 unused, 1 read at start, other also at every hour end (3 replaces)
    int32_t KAGL = 0;                // accepted and echoed; no effect
    int32_t KPUFF = 0;               // horizontal puff growth: 0 linear in time, other slowing with age
    int32_t KBLT = 2;                // turbulence: methods 1 to 3 (3 from TKE), 4 the data's variances
    // Vertical turbulence: 0 as computed, 1 mixed-layer mean, 2 times TVMIX in the mixed
    // layer, 3 times TVMIX above it; held within 0..3.
    int32_t KZMIX = 0;
    float TVMIX = 1.0f;              // factor of KZMIX 2 and 3, held within 0.01..100
    int32_t KBLS = 1;                // stability from 1 the surface fluxes, 2 the profiles
    int32_t CONAGE = 48;             // conversion age of codes 103, 104, 130, 140, hours, sign ignored
    int32_t KSPL = 1;                // hours between puff splits, sign ignored; not 0
    float FRHS = 1.0f;               // horizontal merge distance in sigma_h; raised up to FRHMAX
    float FRVS = 0.01f;              // vertical merge tolerance factor
    float FRTS = 0.10f;              // merge tolerance of sigma_h, fraction of the smaller
    float FRHMAX = 3.0f;             // upper limit of FRHS
    float SPLITF = 1.0f;             // puff split size on the grid spacing; below 0 becomes -1

    // Puff merge parameters (not namelist items); the first is raised at run
    // time by the split control.
    float merge_factor = 1.5f;
    float merge_distance = 0.015f;
    float merge_spread = 0.15f;
};

// The shortest vertical Lagrangian time scale (VSCALE), s. The vertical
// mixing advances in sub-steps of whole seconds, at least 1 s: the random
// walk keeps exp(-sub-step / VSCALE) of its velocity from one to the next,
// and the puffs grow by the mixed layer's variance times VSCALE per sub-step.
// Below the shortest sub-step the walk has lost its memory within every one
// of them (nothing of it below 0.011 s), and the puffs' growth fades with
// VSCALE until they stay at their release height (as with 0); the variance
// the turbulence gives (K / VSCALE, K at most 200 m2/s) stays within
// 200 m2/s2 from 1 s on.
inline constexpr float kShortestVerticalTimeScale = 1.0f;

// The aerosol of the size distribution, PDEN (g/cm3) and PCON (g/m3). Its
// 14 ranges (1 nm to 20 um) hold particles of mass 5.2e-22 to 4.2e-9 g times
// PDEN, in numbers of 6.2e6 to 2.0e15 per m3 times PCON / PDEN, with surfaces
// of 1.6e-4 to 7.8 m2/m3 times PCON / PDEN (and liquid water of up to 90 g/m3
// times PCON / PDEN, grown at 99.5 % humidity). Each bound is the power of
// ten within which all of them, and the smallest range's mass fraction times
// PCON, stay six orders of magnitude inside single precision (1.2e-32 to
// 3.4e32), the other item at its own bound.
inline constexpr float kSmallestAerosolDensity = 1.0e-10f;        // the smallest particle's mass
inline constexpr float kLargestAerosolDensity = 1.0e4f;           // the smallest surface, PCON 1e-24
inline constexpr float kSmallestAerosolConcentration = 1.0e-24f;  // 2.6e-8 of it in the smallest range
inline constexpr float kLargestAerosolConcentration = 1.0e7f;     // the largest number, PDEN 1e-10

// The HG_SETUP group.
struct HgSetup {
    // Directory of the monthly global oxidant files.
    std::string RXN_CONC_DIR = "/data/home/pellam/gridded_chem_data/1999_global_EMEP_data/";
    int32_t NPATH = 5;               // deposition paths booked, 5 to 99999
    int32_t NLAND = kLandCategories;  // land-use categories, 20
    float PCON = 3.9e-5f;            // aerosol mass concentration, g/m3, 1e-24 to 1e7
    float PDEN = 2.0f;               // aerosol particle density, g/cm3, 1e-10 to 1e4
    int32_t NDIST = 1;               // size distributions, 1
    int32_t NRANGE = 14;             // size ranges of the distribution, 14
    int32_t METHOD_LWC = 6;          // liquid water estimate, method 1 to 6 (6 with aerosol water)
    int32_t METHOD_DRY = 6;          // any value; carried, no effect
    int32_t METHOD_CL2_ESTM = 3;     // carried; no effect
    int32_t METHOD_CL2_MASS = 2;     // chlorine in cloud water: 1 all gas, 2 partitioned, other none
    int32_t METHOD_ELEM_DEP = 1;     // elemental mercury deposits: 0 never, other as computed
    int32_t CEPCONC_DELTA = 1440;    // minutes, any value; carried, no effect
    int32_t DEP_DELTA = 1440;        // minutes between receptor outputs, sign ignored; not 0
    int32_t MAXMISS = 15;            // any value; carried, no effect
    // Relative humidities as fractions of saturation; any value (above 1 a
    // base is never found and the fallback layer is taken).
    float ZRH_CRIT_SURFACE = 0.98f;  // relative humidity of level 1 that sets the cloud base there
    float ZRH_CRIT_ALOFT = 0.90f;    // relative humidity of a cloud base aloft
    float ZRH_CRIT_STOP = 0.80f;     // relative humidity at or below which the cloud layer ends
};

// The mercury settings record handed to the chemistry and deposition steps:
// the HG_SETUP numbers under lower-case names, and the two table counts.
struct Hgsim {
    int32_t npath = 0;
    int32_t nland = 0;
    float pcon = 0.0f;
    float pden = 0.0f;
    int32_t ndist = 0;
    int32_t nrange = 0;
    int32_t receptor_count = 0;  // receptors read from the definition file
    int32_t cep_count = 0;       // ceps read from the definition file
    int32_t method_lwc = 0;
    int32_t method_dry = 0;
    int32_t method_cl2_estm = 0;
    int32_t method_cl2_mass = 0;
    int32_t method_elem_dep = 0;
    int32_t cepconc_delta = 0;
    int32_t dep_delta = 0;
    int32_t maxmiss = 0;
    float zrh_crit_surface = 0.0f;
    float zrh_crit_aloft = 0.0f;
    float zrh_crit_stop = 0.0f;
};

// The namelist items of each group, in group order, bound to the records.
std::vector<NamelistItem> setup_items(Settings& s);
std::vector<NamelistItem> hg_setup_items(HgSetup& h);

// Name of the SETUP file for a run suffix (empty = none).
std::string setup_file_name(std::string_view run_suffix);

// The files the two groups come from, or would have come from when absent:
// the names the refusals of their values give.
struct SettingsFiles {
    std::string setup;
    std::string hg = "Hg_SETUP.CFG";
    bool setup_read = false;  // the SETUP file was there and read
};

// A setting no run can take: "*ERROR* main: ITEM value must be allowed - file"
// on the console. The caller stops the run once all are named.
void refuse_setting(std::string_view file, std::string_view item, std::string_view value, std::string_view allowed,
                    TextOut& console);

// Reads "SETUP.CFG" (or "SETUP." + suffix) and "Hg_SETUP.CFG" over the
// defaults when present, copies the mercury settings into `hgsim` and applies
// the option checks. Writes its notices to the console; a file that cannot be
// read as its group, or settings that cannot run, stop the run with code 900.
// Returns the names of the two files and whether the SETUP file was read.
SettingsFiles read_run_settings(std::string_view run_suffix, Settings& s, HgSetup& h, Hgsim& hgsim,
                                TextOut& console);

// The checks, clamps and presets, on settings already read from `files`.
void check_settings(Settings& s, const HgSetup& h, const SettingsFiles& files, TextOut& console);

// The console notice of the chemistry option, once the pollutants are known.
void write_ichem_notice(const Settings& s, TextOut& console);

}  // namespace orv
