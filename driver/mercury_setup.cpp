#include "driver/mercury_setup.hpp"

#include "common/run_stop.hpp"
#include "common/work_array.hpp"
#include "run/calendar.hpp"
#include "mercury/receptor_files.hpp"
#include "run/land_use.hpp"

namespace orv {

namespace {

constexpr int32_t kReceptorCategory = 13;
constexpr int32_t kCepCategory = 14;

template <typename T>
void allocate_labelled(IndexedArray<T>& a, std::string_view prefix, std::string_view label, TextOut& console,
                       IndexRange r1, IndexRange r2 = {1, 1}, IndexRange r3 = {1, 1}) {
    if (!a.allocate(r1, r2, r3)) allocation_stop(prefix, label, console);
}

IndexRange from_one(int32_t n) { return {1, n}; }
IndexRange from_zero(int32_t n) { return {0, n}; }

// A species-by-`second` array allocated with the console account of its
// extents: `second_name` and `second_count` say what its second index counts.
template <typename T>
void allocate_reported(IndexedArray<T>& a, std::string_view label, int32_t maxdim, std::string_view second_name,
                       int32_t second_count, IndexRange second, TextOut& console) {
    console.list("");
    console.list("about to allocate ", label);
    console.list("maxdim      = ", maxdim);
    console.list(second_name, second_count);
    allocate_labelled(a, kAllocPrefixHg, label, console, from_one(maxdim), second);
    console.list("have allocated ", label, "(n1,n2)");
    console.list("dimension 1 = ", static_cast<int32_t>(a.range(1).count()));
    console.list("dimension 2 = ", static_cast<int32_t>(a.range(2).count()));
}

}  // namespace

void read_receptors_and_ceps(RunContext& ctx) {
    ctx.receptor_selection = CategorySelection::only(kReceptorCategory);
    ctx.cep_selection = CategorySelection::only(kCepCategory);
    Hgsim& hg = ctx.hgsim;

    int32_t receptors = 0;
    recp_ini(ctx.receptor_selection, hg, receptors, ctx.ndivmax, ctx.console);
    hg.receptor_count = receptors;
    read_receptor_data(ctx.receptor_selection, hg, receptors, ctx.ndivmax, ctx.receptors, ctx.console);
    write_polygon_files(ctx.receptors, ctx.console);

    int32_t ceps = 0;
    count_cep_records(ctx.cep_selection, hg, ceps, ctx.console);
    hg.cep_count = ceps;
    read_cep_data(ctx.cep_selection, hg, ceps, ctx.ceps, ctx.console);

    ReceptorCategories& c = ctx.receptor_categories;
    c.receptor_land_category.clear();
    for (const Receptor& r : ctx.receptors.receptors) c.receptor_land_category.push_back(r.receptor_land_category);
    c.cep_code.clear();
    for (const Cep& p : ctx.ceps.ceps) c.cep_code.push_back(p.cep_code);
}

float generic_roughness(int32_t category) {
    static const float kRoughness[11] = {3.0f, 0.75f, 0.25f, 3.0f, 2.0f, 2.5f, 0.03f, 0.01f, 0.05f, 0.5f, 0.5f};
    if (category >= 1 && category <= 11) return kRoughness[category - 1];
    return 0.03f;  // categories 12 to 20
}

void allocate_mercury_arrays(RunContext& ctx) {
    MercuryArrays& m = ctx.mercury;
    const Hgsim& hg = ctx.hgsim;
    const int32_t maxdim = ctx.setup.MAXDIM;
    m.maxdim = maxdim;
    m.npath = hg.npath;
    m.nland = hg.nland;
    m.puff_descent = 0.0f;
    const std::string_view hgp = kAllocPrefixHg;

    allocate_labelled(m.pfrac, hgp, "pfrac", ctx.console, from_one(hg.receptor_count));
    m.pfrac.fill(-99.99f);
    ctx.console.list("pfrac initialized to -99.99");
    allocate_labelled(m.cepres, hgp, "cepres", ctx.console, from_one(hg.cep_count));
    allocate_labelled(m.fracland, hgp, "fracland", ctx.console, from_one(hg.nland));
    allocate_labelled(m.genrough, hgp, "genrough", ctx.console, from_one(hg.nland));
    for (int32_t k = 1; k <= std::min(hg.nland, kLandCategories); ++k) m.genrough(k) = generic_roughness(k);

    allocate_reported(m.zdep, "zdep", maxdim, "hgsim%npath = ", hg.npath, from_zero(hg.npath), ctx.console);
    allocate_reported(m.zvdgas, "zvdgas", maxdim, "hgsim%nland = ", hg.nland, from_one(hg.nland), ctx.console);

    allocate_labelled(m.zvdprt, hgp, "zvdprt", ctx.console, from_one(maxdim), from_one(hg.nland));
    allocate_labelled(m.zcepdep, hgp, "zcepdep", ctx.console, from_one(maxdim), from_zero(hg.npath),
                      from_one(hg.nland));
    allocate_labelled(m.avgvg_spec, kAllocPrefix, "avgvg_spec", ctx.console, from_one(maxdim));
    allocate_labelled(m.depelm_mass, kAllocPrefix, "depelm_mass", ctx.console, from_one(maxdim));
    ReceptorOutputs& r = ctx.receptor_outputs;
    allocate_labelled(r.pathtot_puff, hgp, "pathtot_puff", ctx.console, from_one(maxdim), from_one(hg.npath));
    allocate_labelled(r.zfrvdptot_gas, hgp, "zfrvdptot", ctx.console, from_one(maxdim));
    allocate_labelled(r.zfrvdptot_prt, hgp, "zfrvdptot", ctx.console, from_one(maxdim));
}

void set_up_size_distribution(RunContext& ctx) {
    psetup(ctx.hgsim, ctx.sizes, ctx.console);
    write_size_distribution_table(ctx.hgsim, ctx.sizes, ctx.console);
    set_up_mercury_chemistry_workspace(ctx.chemistry_work, ctx.setup.MAXDIM, ctx.console);
    set_up_deposition_workspace(ctx.deposition_work, ctx.hgsim, ctx.setup.MAXDIM, ctx.console);
}

void allocate_receptor_sums(RunContext& ctx) {
    ReceptorOutputs& r = ctx.receptor_outputs;
    const Hgsim& hg = ctx.hgsim;
    const int32_t maxdim = ctx.setup.MAXDIM;
    allocate_labelled(r.recpmass, kAllocPrefixHg, "recpmass", ctx.console, from_one(maxdim), from_one(hg.npath),
                      from_one(hg.receptor_count));
    allocate_labelled(r.cepflux, kAllocPrefixHg, "cepflux", ctx.console, from_one(maxdim), from_one(hg.npath),
                      from_one(hg.cep_count));
    ctx.console.list("about to initialize key receptor variables");
    r.pathtot_puff.zero();
    r.recpmass.zero();
    r.cepflux.zero();
    ctx.console.list("done initializing key receptor variables");
}

void load_global_oxidants(RunContext& ctx) {
    const CalendarDate d = tm2day(ctx.model_time, ctx.console);
    ctx.console.list("");
    ctx.console.list("initial loading of global chem grid data");
    ctx.console.list("");
    ctx.console.list("    JET = ", ctx.model_time);
    ctx.console.list("  kyear = ", d.year);
    ctx.console.list(" kmonth = ", d.month);
    ctx.console.list("   kday = ", d.day);
    ctx.console.list("kminute = ", d.minute);
    ctx.console.list("");
    ctx.oxidant_month = d.month;
    for (int32_t k = 0; k < 3; ++k) ctx.console.list("k_global_data_month = ", ctx.oxidant_month);
    set_up_global_chemistry_grid(ctx.global_chem);
    ctx.console.list("k_global_data_month = ", ctx.oxidant_month);
    ctx.console.list("about to call get_global_conc subroutine");
    get_global_conc(ctx.global_chem, ctx.oxidant_month, ctx.hg_setup.RXN_CONC_DIR, ctx.console);
    ctx.console.list("back from call get_global_conc subroutine");
}

}  // namespace orv
