#include "run/settings.hpp"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "common/number_text.hpp"
#include "common/optional_input.hpp"
#include "common/run_stop.hpp"
#include "common/text_input.hpp"
#include "common/text_output.hpp"
#include "run/particle_types.hpp"

namespace orv {

namespace {

using fmt::Target;

std::string padded80(std::string s) {
    s.resize(80, ' ');
    return s;
}

void read_group(const std::string& file, std::string_view group, std::span<const NamelistItem> items,
                TextOut& console) {
    TextInput in;
    if (!in.open(file)) {
        console.list("*ERROR* main: unable to open namelist file - ", file);
        throw RunStop(kStopInput);
    }
    try {
        read_namelist(in, group, items);
    } catch (const InputError& e) {
        console.list("*ERROR* main: namelist file ", file, " group &", std::string(group), " - ",
                     std::string(e.what()));
        throw RunStop(kStopInput);
    }
}

// The run-type code of new releases: the particle and puff codes 0 to 6
// (negative codes move as particles), and the converting codes.
bool known_type_code(int32_t code) {
    return code <= kSampler || code == kParticleToGaussianPuff || code == kParticleToTopHatPuff ||
           code == kGaussianPuffToParticle || code == kTopHatPuffToParticle;
}

// Array sizes and option values that no run can use. Options whose odd
// values still have a described effect (a clamp, a preset, "anything else")
// are left to the steps that treat them.
bool refuse_meaningless_settings(const Settings& s, const HgSetup& h, const SettingsFiles& files, TextOut& console) {
    bool bad = false;
    auto setup = [&](std::string_view item, int32_t v, std::string_view allowed) {
        refuse_setting(files.setup, item, std::to_string(v), allowed, console);
        bad = true;
    };
    auto hg = [&](std::string_view item, int32_t v, std::string_view allowed) {
        refuse_setting(files.hg, item, std::to_string(v), allowed, console);
        bad = true;
    };
    if (s.MAXPAR < 1) setup("MAXPAR", s.MAXPAR, "1 or more");
    if (s.MAXDIM < 1) setup("MAXDIM", s.MAXDIM, "1 or more");
    if (!known_type_code(s.INITD)) setup("INITD", s.INITD, "a type code up to 6, or 103, 104, 130 or 140");
    if (s.CPACK < 0 || s.CPACK > 2) setup("CPACK", s.CPACK, "0, 1 or 2");
    if (s.ICHEM < 0 || s.ICHEM > 7) setup("ICHEM", s.ICHEM, "from 0 to 7");
    // Only the packed form (or the points) maps the sums on the meteorological
    // grid back to the concentration grid.
    if (s.ICHEM == 4 && s.CPACK == 0)
        setup("CPACK", s.CPACK, "1 or 2 with ICHEM 4 (sums on the meteorological grid)");
    if (h.NDIST != 1) hg("NDIST", h.NDIST, "1, the one size distribution defined");
    if (h.NRANGE != 14) hg("NRANGE", h.NRANGE, "14, the size ranges of distribution 1");
    if (h.METHOD_LWC < 1 || h.METHOD_LWC > 6) hg("METHOD_LWC", h.METHOD_LWC, "from 1 to 6");
    // 0 and below are the size distribution's own refusals.
    const std::tuple<std::string_view, float, float, float, std::string_view> aerosol[] = {
        {"PDEN", h.PDEN, kSmallestAerosolDensity, kLargestAerosolDensity, " g/cm3"},
        {"PCON", h.PCON, kSmallestAerosolConcentration, kLargestAerosolConcentration, " g/m3"},
    };
    for (const auto& [item, v, lo, hi, unit] : aerosol) {
        if (v > 0.0f && (v < lo || v > hi)) {
            refuse_setting(files.hg, item, number_text(v),
                           "from " + number_text(lo) + " to " + number_text(hi) + std::string(unit) +
                               ", where the size distribution stays within single precision",
                           console);
            bad = true;
        }
    }
    return bad;
}

// Settings that the run would later divide by.
bool refuse_zero_divisors(const Settings& s, const HgSetup& h, const SettingsFiles& files, TextOut& console) {
    bool bad = false;
    const float dt = std::fabs(s.DELT);
    if ((dt > 0.0f && dt < 1.0f) || dt > 60.0f || std::isnan(dt)) {
        refuse_setting(files.setup, "DELT", number_text(s.DELT), "0 or of magnitude 1 to 60 minutes", console);
        bad = true;
    } else if (dt != std::trunc(dt)) {
        // The clock advances by whole minutes: a fraction would be released
        // and moved but never counted.
        refuse_setting(files.setup, "DELT", number_text(s.DELT), "a whole number of minutes", console);
        bad = true;
    }
    if (!(s.VSCALE >= kShortestVerticalTimeScale)) {
        refuse_setting(files.setup, "VSCALE", number_text(s.VSCALE),
                       "at least 1 s, the shortest sub-step of the vertical mixing", console);
        bad = true;
    }
    // Each is taken by its magnitude: only 0 has no meaning.
    const std::pair<std::string_view, int32_t> hours[] = {{"KSPL", s.KSPL}, {"KRND", s.KRND}};
    for (const auto& [item, v] : hours)
        if (v == 0) {
            refuse_setting(files.setup, item, "0", "a non-zero number of hours", console);
            bad = true;
        }
    if (h.DEP_DELTA == 0) {
        refuse_setting(files.hg, "DEP_DELTA", "0", "a non-zero number of minutes", console);
        bad = true;
    }
    return bad;
}

}  // namespace

std::vector<NamelistItem> setup_items(Settings& s) {
    return {
        {"INITD", Target(s.INITD)},   {"KHMAX", Target(s.KHMAX)},     {"NUMPAR", Target(s.NUMPAR)},
        {"MAXPAR", Target(s.MAXPAR)}, {"MAXDIM", Target(s.MAXDIM)},   {"QCYCLE", Target(s.QCYCLE)},
        {"P10F", Target(s.P10F)},     {"KMIXD", Target(s.KMIXD)},     {"KMIX0", Target(s.KMIX0)},
        {"FRME", Target(s.FRME)},     {"FRMR", Target(s.FRMR)},       {"KRND", Target(s.KRND)},
        {"DELT", Target(s.DELT)},     {"KDEF", Target(s.KDEF)},       {"TKERD", Target(s.TKERD)},
        {"TKERN", Target(s.TKERN)},   {"NDUMP", Target(s.NDUMP)},     {"NCYCL", Target(s.NCYCL)},
        {"TRATIO", Target(s.TRATIO)}, {"ISOT", Target(s.ISOT)},       {"MGMIN", Target(s.MGMIN)},
        {"KMSL", Target(s.KMSL)},     {"NSTR", Target(s.NSTR)},       {"MHRS", Target(s.MHRS)},
        {"NVER", Target(s.NVER)},     {"CPACK", Target(s.CPACK)},     {"CMASS", Target(s.CMASS)},
        {"ICHEM", Target(s.ICHEM)},   {"EFILE", Target(s.EFILE), 80}, {"VSCALE", Target(s.VSCALE)},
        {"TOUT", Target(s.TOUT)},     {"TM_PRES", Target(s.TM_PRES)}, {"TM_TPOT", Target(s.TM_TPOT)},
        {"TM_TAMB", Target(s.TM_TAMB)}, {"TM_RAIN", Target(s.TM_RAIN)}, {"TM_MIXD", Target(s.TM_MIXD)},
        {"TM_TERR", Target(s.TM_TERR)}, {"HSCALE", Target(s.HSCALE)}, {"TM_DSWF", Target(s.TM_DSWF)},
        {"TM_RELH", Target(s.TM_RELH)}, {"DXF", Target(s.DXF)},       {"DYF", Target(s.DYF)},
        {"DZF", Target(s.DZF)},       {"PINPF", Target(s.PINPF), 80}, {"POUTF", Target(s.POUTF), 80},
        {"NINIT", Target(s.NINIT)},   {"KAGL", Target(s.KAGL)},       {"KPUFF", Target(s.KPUFF)},
        {"KBLT", Target(s.KBLT)},     {"KZMIX", Target(s.KZMIX)},     {"TVMIX", Target(s.TVMIX)},
        {"KBLS", Target(s.KBLS)},     {"CONAGE", Target(s.CONAGE)},   {"KSPL", Target(s.KSPL)},
        {"FRHS", Target(s.FRHS)},     {"FRVS", Target(s.FRVS)},       {"FRTS", Target(s.FRTS)},
        {"FRHMAX", Target(s.FRHMAX)}, {"SPLITF", Target(s.SPLITF)},
    };
}

std::vector<NamelistItem> hg_setup_items(HgSetup& h) {
    return {
        {"RXN_CONC_DIR", Target(h.RXN_CONC_DIR), 100},
        {"NPATH", Target(h.NPATH)},
        {"NLAND", Target(h.NLAND)},
        {"PCON", Target(h.PCON)},
        {"PDEN", Target(h.PDEN)},
        {"NDIST", Target(h.NDIST)},
        {"NRANGE", Target(h.NRANGE)},
        {"METHOD_LWC", Target(h.METHOD_LWC)},
        {"METHOD_DRY", Target(h.METHOD_DRY)},
        {"METHOD_CL2_ESTM", Target(h.METHOD_CL2_ESTM)},
        {"METHOD_CL2_MASS", Target(h.METHOD_CL2_MASS)},
        {"METHOD_ELEM_DEP", Target(h.METHOD_ELEM_DEP)},
        {"CEPCONC_DELTA", Target(h.CEPCONC_DELTA)},
        {"DEP_DELTA", Target(h.DEP_DELTA)},
        {"MAXMISS", Target(h.MAXMISS)},
        {"ZRH_CRIT_SURFACE", Target(h.ZRH_CRIT_SURFACE)},
        {"ZRH_CRIT_ALOFT", Target(h.ZRH_CRIT_ALOFT)},
        {"ZRH_CRIT_STOP", Target(h.ZRH_CRIT_STOP)},
    };
}

void refuse_setting(std::string_view file, std::string_view item, std::string_view value, std::string_view allowed,
                    TextOut& console) {
    console.list("*ERROR* main: " + std::string(item) + " " + std::string(value) + " must be " + std::string(allowed) +
                 " - " + std::string(file));
}

std::string setup_file_name(std::string_view run_suffix) {
    return run_suffix.empty() ? std::string("SETUP.CFG") : "SETUP." + std::string(run_suffix);
}

void check_settings(Settings& s, const HgSetup& h, const SettingsFiles& files, TextOut& console) {
    // Probability deposition.
    if (s.ICHEM == 5 || s.ICHEM == 7) {
        if (s.INITD != kParticle) {
            console.list(" NOTICE   main: Probability deposition requires INITD=0");
            console.list(" Configuration corrected, continuing ...");
            s.INITD = kParticle;
        }
        if (s.MAXDIM != 1) {
            console.list(" *ERROR*  main: Probability deposition requires MAXDIM=1");
            console.list(" Configuration not corrected ...");
            throw RunStop(kStopInput);
        }
    }
    if (s.KMSL < 0 || s.KMSL > 1) {
        console.list("WARNING main: BL fraction height not valid in concentration run");
        s.KMSL = 0;
    }
    if (s.SPLITF < 0.0f) s.SPLITF = -1.0f;
    s.KMIX0 = std::clamp(s.KMIX0, 1, 999);
    s.KMIXD = std::clamp(s.KMIXD, 0, 9999);
    s.KZMIX = std::clamp(s.KZMIX, 0, 3);

    switch (s.ISOT) {
        case -99: break;
        case 0: s.KBLS = 1; s.KBLT = 1; s.KDEF = 1; s.KZMIX = 1; break;
        case 1: s.KBLS = 1; s.KBLT = 2; s.KDEF = 0; s.KZMIX = 0; break;
        case 2: s.KBLS = 2; s.KBLT = 2; s.KDEF = 0; s.KZMIX = 0; break;
        case 3: s.KBLS = 1; s.KBLT = 1; s.KDEF = 1; s.KZMIX = 0; break;
        case 4: s.KBLT = 3; break;
        case 5: s.KBLT = 3; s.KMIXD = 2; break;
        case 6: s.KBLT = 4; break;
        default: break;
    }
    s.ISOT = -99;

    const bool bad_divisor = refuse_zero_divisors(s, h, files, console);
    if (refuse_meaningless_settings(s, h, files, console) || bad_divisor) throw RunStop(kStopInput);
}

SettingsFiles read_run_settings(std::string_view run_suffix, Settings& s, HgSetup& h, Hgsim& hgsim,
                                TextOut& console) {
    s = Settings{};
    h = HgSetup{};
    SettingsFiles files;
    files.setup = setup_file_name(run_suffix);
    files.setup_read = optional_input_present(files.setup, "main", console);
    if (files.setup_read) {
        auto items = setup_items(s);
        read_group(files.setup, "SETUP", items, console);
        console.list(" NOTICE   main: using namelist file - ", padded80(files.setup));
    }
    if (optional_input_present(files.hg, "main", console)) {
        auto items = hg_setup_items(h);
        read_group(files.hg, "HG_SETUP", items, console);
        console.list(" NOTICE   main: using additional Hg namelist file - ", padded80(files.hg));
    }
    hgsim.npath = h.NPATH;
    hgsim.nland = h.NLAND;
    hgsim.pcon = h.PCON;
    hgsim.pden = h.PDEN;
    hgsim.ndist = h.NDIST;
    hgsim.nrange = h.NRANGE;
    hgsim.method_lwc = h.METHOD_LWC;
    hgsim.method_dry = h.METHOD_DRY;
    hgsim.method_cl2_estm = h.METHOD_CL2_ESTM;
    hgsim.method_cl2_mass = h.METHOD_CL2_MASS;
    hgsim.method_elem_dep = h.METHOD_ELEM_DEP;
    hgsim.cepconc_delta = h.CEPCONC_DELTA;
    hgsim.dep_delta = h.DEP_DELTA;
    hgsim.maxmiss = h.MAXMISS;
    hgsim.zrh_crit_surface = h.ZRH_CRIT_SURFACE;
    hgsim.zrh_crit_aloft = h.ZRH_CRIT_ALOFT;
    hgsim.zrh_crit_stop = h.ZRH_CRIT_STOP;
    console.list("hgsim%npath =", hgsim.npath);
    check_settings(s, h, files, console);
    return files;
}

void write_ichem_notice(const Settings& s, TextOut& console) {
    switch (s.ICHEM) {
        case 1: console.list(" NOTICE   main: concentration file treated as matrix"); break;
        case 2: console.list(" NOTICE   main: simple particle species conversion enabled"); break;
        case 3: console.list(" NOTICE   main: PM10 dust emission algorithm enabled"); break;
        case 4: console.list(" NOTICE   main: concentration grid set to meteorology grid"); break;
        case 5: console.list(" NOTICE   main: particle dry deposition using probability"); break;
        case 6: console.list(" NOTICE   main: invalid ichem=6 option ignored"); break;
        case 7: console.list(" NOTICE   main: particle transport on water surfaces"); break;
        default: break;
    }
}

}  // namespace orv
