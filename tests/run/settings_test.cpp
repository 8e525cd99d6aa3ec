#include "run/settings.hpp"

#include <gtest/gtest.h>

#include "common/run_stop.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

struct Loaded {
    Settings s;
    HgSetup h;
    Hgsim hg;
    std::string console;
    int32_t stop = 0;
};

Loaded load(const std::string& setup, const std::string& hg = "", const std::string& suffix = "") {
    test::ScratchDir dir;
    if (!setup.empty()) test::write_file(suffix.empty() ? "SETUP.CFG" : "SETUP." + suffix, setup);
    if (!hg.empty()) test::write_file("Hg_SETUP.CFG", hg);
    Loaded r;
    test::TestConsole console;
    try {
        read_run_settings(suffix, r.s, r.h, r.hg, console.out);
    } catch (const RunStop& e) {
        r.stop = e.code();
    }
    r.console = console.text();
    return r;
}

bool has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

TEST(Settings, DefaultsWithoutFiles) {
    Loaded r = load("");
    EXPECT_EQ(r.stop, 0);
    EXPECT_EQ(r.console, " hgsim%npath =           5\n");
    EXPECT_EQ(r.s.ISOT, -99);
    EXPECT_EQ(r.s.KMIXD, 0);
    EXPECT_EQ(r.s.KZMIX, 0);
    EXPECT_EQ(r.s.MAXPAR, 10000);
    EXPECT_EQ(r.s.EFILE, " ");
    EXPECT_EQ(r.s.KAGL, 0);
    EXPECT_FLOAT_EQ(r.s.FRTS, 0.10f);
    EXPECT_EQ(r.hg.nland, 20);
    EXPECT_FLOAT_EQ(r.hg.pcon, 3.9e-5f);
    EXPECT_EQ(r.hg.dep_delta, 1440);
    EXPECT_FLOAT_EQ(r.hg.zrh_crit_stop, 0.80f);
    EXPECT_EQ(r.hg.receptor_count, 0);
}

TEST(Settings, PresetsAndClamps) {
    Loaded a = load("&SETUP ISOT=2, KBLS=1, KBLT=4, KDEF=1, KZMIX=3 /");
    EXPECT_EQ(a.s.KBLS, 2);
    EXPECT_EQ(a.s.KBLT, 2);
    EXPECT_EQ(a.s.KDEF, 0);
    EXPECT_EQ(a.s.KZMIX, 0);
    EXPECT_EQ(a.s.ISOT, -99);
    EXPECT_TRUE(has(a.console, "NOTICE   main: using namelist file - SETUP.CFG"));

    Loaded b = load("&SETUP ISOT=5, KMIXD=500 /");
    EXPECT_EQ(b.s.KMIXD, 2);
    EXPECT_EQ(b.s.KBLT, 3);

    Loaded c = load("&SETUP KMIX0=0, KMIXD=-3, KZMIX=9, SPLITF=-0.5 /");
    EXPECT_EQ(c.s.KMIX0, 1);
    EXPECT_EQ(c.s.KMIXD, 0);
    EXPECT_EQ(c.s.KZMIX, 3);
    EXPECT_FLOAT_EQ(c.s.SPLITF, -1.0f);

    Loaded d = load("&SETUP KMIX0=5000, SPLITF=0.0, KMSL=2 /");
    EXPECT_EQ(d.s.KMIX0, 999);
    EXPECT_FLOAT_EQ(d.s.SPLITF, 0.0f);
    EXPECT_EQ(d.s.KMSL, 0);
    EXPECT_TRUE(has(d.console, "WARNING main: BL fraction height not valid in concentration run"));

    Loaded e = load("&SETUP ISOT=0 /");
    EXPECT_EQ(e.s.KZMIX, 1);
    EXPECT_EQ(e.s.KBLT, 1);
}

TEST(Settings, ProbabilityDeposition) {
    Loaded a = load("&SETUP ICHEM=5, INITD=1, MAXDIM=1 /");
    EXPECT_EQ(a.stop, 0);
    EXPECT_EQ(a.s.INITD, 0);
    EXPECT_TRUE(has(a.console, " NOTICE   main: Probability deposition requires INITD=0\n  Configuration corrected"));

    Loaded b = load("&SETUP ICHEM=7, INITD=1, MAXDIM=2 /");
    EXPECT_EQ(b.stop, kStopInput);
    EXPECT_TRUE(has(b.console, "requires INITD=0"));
    EXPECT_TRUE(has(b.console, "*ERROR*  main: Probability deposition requires MAXDIM=1\n  Configuration not corrected"));
}

TEST(Settings, SuffixAppliesToSetupOnly) {
    Loaded r = load("&SETUP MAXPAR=77 /", "&HG_SETUP npath=3, rxn_conc_dir='./ox/' /", "t1");
    EXPECT_EQ(r.s.MAXPAR, 77);
    EXPECT_EQ(r.hg.npath, 3);
    EXPECT_EQ(r.h.RXN_CONC_DIR, "./ox/");
    EXPECT_TRUE(has(r.console, "using namelist file - SETUP.t1"));
    EXPECT_TRUE(has(r.console, "using additional Hg namelist file - Hg_SETUP.CFG"));
    EXPECT_TRUE(has(r.console, "hgsim%npath =           3"));
}

TEST(Settings, UnreadableFilesStopWithTheFileAndItem) {
    Loaded a = load("&SETUP MAXPAR=5, NOSUCH=1 /");
    EXPECT_EQ(a.stop, kStopInput);
    EXPECT_TRUE(has(a.console, "*ERROR*")) << a.console;
    EXPECT_TRUE(has(a.console, "SETUP.CFG"));
    EXPECT_TRUE(has(a.console, "NOSUCH"));
    EXPECT_EQ(load("&SETUP MAXPAR=many /").stop, kStopInput);
    EXPECT_EQ(load("&SETUP MAXPAR=5\n").stop, kStopInput);
    EXPECT_EQ(load("", "&HG_SETUP NPATH=2.5 /").stop, kStopInput);
}

TEST(Settings, ValuesThatWouldDivideByZeroAreRefused) {
    EXPECT_EQ(load("&SETUP DELT=0.5 /").stop, kStopInput);
    EXPECT_EQ(load("&SETUP DELT=-0.5 /").stop, kStopInput);
    EXPECT_EQ(load("&SETUP DELT=90 /").stop, kStopInput);
    EXPECT_EQ(load("&SETUP DELT=-20 /").stop, 0);
    EXPECT_EQ(load("&SETUP DELT=60 /").stop, 0);
    EXPECT_EQ(load("&SETUP KSPL=0 /").stop, kStopInput);
    EXPECT_EQ(load("&SETUP KRND=0 /").stop, kStopInput);
    EXPECT_EQ(load("", "&HG_SETUP DEP_DELTA=0 /").stop, kStopInput);
    EXPECT_EQ(load("", "&HG_SETUP METHOD_LWC=7 /").stop, kStopInput);
    // Taken by their magnitude.
    EXPECT_EQ(load("&SETUP KSPL=-1, KRND=-6 /", "&HG_SETUP DEP_DELTA=-60 /").stop, 0);
    // Every refusal names the file it came from, a suffix's included.
    Loaded r = load("&SETUP KSPL=0, DELT=0.25 /", "&HG_SETUP METHOD_LWC=0 /", "t3");
    EXPECT_TRUE(has(r.console, " *ERROR* main: KSPL 0 must be a non-zero number of hours - SETUP.t3\n")) << r.console;
    EXPECT_TRUE(has(r.console, " *ERROR* main: DELT 0.25 must be 0 or of magnitude 1 to 60 minutes - SETUP.t3\n"));
    EXPECT_TRUE(has(r.console, " *ERROR* main: METHOD_LWC 0 must be from 1 to 6 - Hg_SETUP.CFG\n"));
}

TEST(Settings, SizesAndOptionsWithoutMeaningAreRefused) {
    struct Case {
        const char* setup;
        const char* hg;
        const char* item;
    };
    const Case refused[] = {
        {"&SETUP MAXPAR=0 /", "", "MAXPAR 0 must be 1 or more - SETUP.CFG"},
        {"&SETUP MAXPAR=-5 /", "", "MAXPAR"},
        {"&SETUP MAXDIM=0 /", "", "MAXDIM 0 must be 1 or more"},
        {"&SETUP CPACK=7 /", "", "CPACK 7 must be 0, 1 or 2"},
        {"&SETUP CPACK=-1 /", "", "CPACK"},
        {"&SETUP ICHEM=8 /", "", "ICHEM 8 must be from 0 to 7"},
        {"&SETUP ICHEM=-1 /", "", "ICHEM"},
        {"&SETUP INITD=7 /", "", "INITD"},
        {"&SETUP INITD=105 /", "", "INITD"},
        {"", "&HG_SETUP NDIST=2 /", "NDIST 2 must be 1, the one size distribution defined - Hg_SETUP.CFG"},
        {"", "&HG_SETUP NRANGE=20 /", "NRANGE"},
        // The clock counts whole minutes.
        {"&SETUP DELT=2.5 /", "", "DELT 2.5 must be a whole number of minutes - SETUP.CFG"},
        {"&SETUP VSCALE=-1 /", "", "VSCALE -1 must be at least 1 s, the shortest sub-step of the vertical mixing"},
        {"&SETUP VSCALE=0 /", "", "VSCALE 0 must"},
        {"&SETUP VSCALE=0.5 /", "", "VSCALE 0.5 must"},
        {"&SETUP ICHEM=4, CPACK=0 /", "", "CPACK 0 must be 1 or 2 with ICHEM 4 (sums on the meteorological grid)"},
        {"", "&HG_SETUP PDEN=1e10 /",
         "PDEN 1e+10 must be from 1e-10 to 10000 g/cm3, where the size distribution stays within single precision - "
         "Hg_SETUP.CFG"},
        {"", "&HG_SETUP PDEN=1e-30 /", "PDEN 1e-30 must"},
        {"", "&HG_SETUP PCON=1e30 /", "PCON 1e+30 must be from 1e-24 to 1e+07 g/m3"},
        {"", "&HG_SETUP PCON=1e-45 /", "PCON 1e-45 must"},
    };
    for (const Case& c : refused) {
        Loaded r = load(c.setup, c.hg);
        EXPECT_EQ(r.stop, kStopInput) << c.setup << c.hg;
        EXPECT_TRUE(has(r.console, std::string("*ERROR* main: ") + c.item)) << r.console;
    }
    // Every value the run gives a meaning, odd ones included, still runs.
    const char* kept[] = {
        "&SETUP MAXPAR=1, MAXDIM=1 /", "&SETUP CPACK=0 /", "&SETUP CPACK=2 /", "&SETUP ICHEM=6 /",
        "&SETUP ICHEM=7 /", "&SETUP INITD=5 /", "&SETUP INITD=6 /", "&SETUP INITD=-1 /",
        "&SETUP INITD=103 /", "&SETUP INITD=140 /", "&SETUP KBLT=9, KBLS=0, KDEF=5 /", "&SETUP NINIT=7 /",
        "&SETUP KPUFF=-3, CMASS=2 /", "&SETUP ISOT=42 /", "&SETUP KMSL=3 /", "&SETUP DELT=-7, VSCALE=1 /",
        "&SETUP ICHEM=4, CPACK=2 /",
    };
    for (const char* setup : kept) EXPECT_EQ(load(setup).stop, 0) << setup;
    EXPECT_EQ(load("", "&HG_SETUP METHOD_CL2_MASS=9, METHOD_ELEM_DEP=0, METHOD_DRY=1 /").stop, 0);
    EXPECT_EQ(load("", "&HG_SETUP PDEN=1e-10, PCON=1e7 /").stop, 0);
    EXPECT_EQ(load("", "&HG_SETUP PDEN=1e4, PCON=1e-24 /").stop, 0);
    // Items that change nothing, and thresholds that are never met, take any value.
    EXPECT_EQ(load("", "&HG_SETUP METHOD_DRY=-4, CEPCONC_DELTA=0, MAXMISS=-1, ZRH_CRIT_SURFACE=2.0 /").stop, 0);
}

TEST(Settings, RealsBeyondTheirRangeAreRefusedWithFileLineAndItem) {
    Loaded r = load("&SETUP\n KBLT=2,\n TVMIX=1e39 /\n");
    EXPECT_EQ(r.stop, kStopInput);
    EXPECT_TRUE(has(r.console, "SETUP.CFG")) << r.console;
    EXPECT_TRUE(has(r.console, "TVMIX on line 3")) << r.console;
    EXPECT_EQ(load("", "&HG_SETUP PCON=NaN /").stop, kStopInput);
}

}  // namespace
}  // namespace orv
