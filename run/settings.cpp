#include "run/settings.hpp"

#include <algorithm>
#include <cmath>

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

// A setting outside the values that give it a meaning: one console line
// naming the item, what it may be and the value read.
bool refuse(std::string_view item, std::string_view allowed, int32_t value, TextOut& console) {
    console.list(" *ERROR*  main: " + std::string(item) + " must be " + std::string(allowed) + " - ", value);
    return true;
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
bool refuse_meaningless_settings(const Settings& s, const HgSetup& h, TextOut& console) {
    bool bad = false;
    if (s.MAXPAR < 1) bad = refuse("MAXPAR", "1 or more", s.MAXPAR, console);
    if (s.MAXDIM < 1) bad = refuse("MAXDIM", "1 or more", s.MAXDIM, console);
    if (!known_type_code(s.INITD))
        bad = refuse("INITD", "a type code up to 6, or 103, 104, 130 or 140", s.INITD, console);
    if (s.CPACK < 0 || s.CPACK > 2) bad = refuse("CPACK", "0, 1 or 2", s.CPACK, console);
    if (s.ICHEM < 0 || s.ICHEM > 7) bad = refuse("ICHEM", "from 0 to 7", s.ICHEM, console);
    if (h.NDIST != 1) bad = refuse("NDIST", "1, the one size distribution defined", h.NDIST, console);
    if (h.NRANGE != 14) bad = refuse("NRANGE", "14, the size ranges of distribution 1", h.NRANGE, console);
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

std::string setup_file_name(std::string_view run_suffix) {
    return run_suffix.empty() ? std::string("SETUP.CFG") : "SETUP." + std::string(run_suffix);
}

void check_settings(Settings& s, const HgSetup& h, TextOut& console) {
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

    // Settings that the run would later divide by: refused here.
    bool bad = false;
    float dt = std::fabs(s.DELT);
    if ((dt > 0.0f && dt < 1.0f) || dt > 60.0f || std::isnan(dt)) {
        console.list(" *ERROR*  main: DELT must be 0 or of magnitude 1 to 60 minutes - ", s.DELT);
        bad = true;
    }
    if (h.DEP_DELTA <= 0) {
        console.list(" *ERROR*  main: DEP_DELTA must be a positive number of minutes - ", h.DEP_DELTA);
        bad = true;
    }
    if (s.KSPL <= 0) {
        console.list(" *ERROR*  main: KSPL must be 1 or more - ", s.KSPL);
        bad = true;
    }
    if (s.KRND <= 0) {
        console.list(" *ERROR*  main: KRND must be 1 or more - ", s.KRND);
        bad = true;
    }
    if (h.METHOD_LWC < 1 || h.METHOD_LWC > 6) {
        console.list(" *ERROR*  main: METHOD_LWC must be from 1 to 6 - ", h.METHOD_LWC);
        bad = true;
    }
    if (refuse_meaningless_settings(s, h, console)) bad = true;
    if (bad) throw RunStop(kStopInput);
}

bool read_run_settings(std::string_view run_suffix, Settings& s, HgSetup& h, Hgsim& hgsim, TextOut& console) {
    s = Settings{};
    h = HgSetup{};
    std::string setup = setup_file_name(run_suffix);
    const bool setup_read = optional_input_present(setup, "main", console);
    if (setup_read) {
        auto items = setup_items(s);
        read_group(setup, "SETUP", items, console);
        console.list(" NOTICE   main: using namelist file - ", padded80(setup));
    }
    const std::string hg = "Hg_SETUP.CFG";
    if (optional_input_present(hg, "main", console)) {
        auto items = hg_setup_items(h);
        read_group(hg, "HG_SETUP", items, console);
        console.list(" NOTICE   main: using additional Hg namelist file - ", padded80(hg));
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
    check_settings(s, h, console);
    return setup_read;
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
