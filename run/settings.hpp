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
    int32_t INITD = kParticle;
    int32_t KHMAX = 9999;
    int32_t NUMPAR = 2500;
    int32_t MAXPAR = 10000;
    int32_t MAXDIM = 1;
    float QCYCLE = 0.0f;
    float P10F = 1.0f;
    int32_t KMIXD = 0;
    int32_t KMIX0 = 250;
    float FRME = 0.10f;
    float FRMR = 0.0f;
    int32_t KRND = 6;
    float DELT = 0.0f;
    int32_t KDEF = 0;
    float TKERD = 0.18f;
    float TKERN = 0.18f;
    int32_t NDUMP = 0;
    int32_t NCYCL = 0;
    float TRATIO = 0.75f;
    int32_t ISOT = -99;
    int32_t MGMIN = 10;
    int32_t KMSL = 0;
    int32_t NSTR = 0;
    int32_t MHRS = 0;
    int32_t NVER = 0;
    int32_t CPACK = 1;
    int32_t CMASS = 0;
    int32_t ICHEM = 0;
    std::string EFILE = " ";
    float VSCALE = 200.0f;
    int32_t TOUT = 0;
    int32_t TM_PRES = 0;
    int32_t TM_TPOT = 0;
    int32_t TM_TAMB = 0;
    int32_t TM_RAIN = 0;
    int32_t TM_MIXD = 0;
    int32_t TM_TERR = 0;
    float HSCALE = 10800.0f;
    int32_t TM_DSWF = 0;
    int32_t TM_RELH = 0;
    float DXF = 1.0f;
    float DYF = 1.0f;
    float DZF = 0.01f;
    std::string PINPF = "PARINIT";
    std::string POUTF = "PARDUMP";
    int32_t NINIT = 1;
    int32_t KAGL = 0;
    int32_t KPUFF = 0;
    int32_t KBLT = 2;
    int32_t KZMIX = 0;
    float TVMIX = 1.0f;
    int32_t KBLS = 1;
    int32_t CONAGE = 48;
    int32_t KSPL = 1;
    float FRHS = 1.0f;
    float FRVS = 0.01f;
    float FRTS = 0.10f;
    float FRHMAX = 3.0f;
    float SPLITF = 1.0f;

    // Puff merge parameters (not namelist items); the first is raised at run
    // time by the split control.
    float merge_factor = 1.5f;
    float merge_distance = 0.015f;
    float merge_spread = 0.15f;
};

// The HG_SETUP group.
struct HgSetup {
    std::string RXN_CONC_DIR = "/data/home/pellam/gridded_chem_data/1999_global_EMEP_data/";
    int32_t NPATH = 5;
    int32_t NLAND = kLandCategories;
    float PCON = 3.9e-5f;
    float PDEN = 2.0f;
    int32_t NDIST = 1;
    int32_t NRANGE = 14;
    int32_t METHOD_LWC = 6;
    int32_t METHOD_DRY = 6;
    int32_t METHOD_CL2_ESTM = 3;
    int32_t METHOD_CL2_MASS = 2;
    int32_t METHOD_ELEM_DEP = 1;
    int32_t CEPCONC_DELTA = 1440;
    int32_t DEP_DELTA = 1440;
    int32_t MAXMISS = 15;
    float ZRH_CRIT_SURFACE = 0.98f;
    float ZRH_CRIT_ALOFT = 0.90f;
    float ZRH_CRIT_STOP = 0.80f;
};

// The mercury settings record handed to the chemistry and deposition steps.
struct Hgsim {
    int32_t npath = 0;
    int32_t nland = 0;
    float pcon = 0.0f;
    float pden = 0.0f;
    int32_t ndist = 0;
    int32_t nrange = 0;
    int32_t receptor_count = 0;
    int32_t cep_count = 0;
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

// Reads "SETUP.CFG" (or "SETUP." + suffix) and "Hg_SETUP.CFG" over the
// defaults when present, copies the mercury settings into `hgsim` and applies
// the option checks. Writes its notices to the console; a file that cannot be
// read as its group, or settings that cannot run, stop the run with code 900.
void read_run_settings(std::string_view run_suffix, Settings& s, HgSetup& h, Hgsim& hgsim, TextOut& console);

// The checks, clamps and presets, on settings already read.
void check_settings(Settings& s, const HgSetup& h, TextOut& console);

// The console notice of the chemistry option, once the pollutants are known.
void write_ichem_notice(const Settings& s, TextOut& console);

}  // namespace orv
