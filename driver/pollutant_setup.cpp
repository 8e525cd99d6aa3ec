#include "driver/pollutant_setup.hpp"

#include <algorithm>
#include <cstdio>

#include "common/run_stop.hpp"
#include "common/work_array.hpp"
#include "driver/setup_checks.hpp"
#include "run/input_checks.hpp"

namespace orv {

Pollutant padding_pollutant() {
    Pollutant d;
    d.pollutant_id = "????";
    d.emission_rate = 0.0f;
    d.emission_hours = 0.0f;
    return d;
}

int32_t pollutant_table_size(int32_t entries, int32_t maxdim) { return std::max({entries, maxdim, 1}); }

void read_pollutant_definitions(RunContext& ctx) {
    const Settings& s = ctx.setup;
    ctx.numtyp = read_pollutant_count(ctx.control_input);
    const bool matrix = s.ICHEM == 1;
    ctx.pollutant_entry_count = matrix ? ctx.location_count : ctx.numtyp;

    // The source-matrix mode holds one record per location (a table already
    // read); otherwise the table grows with the records read.
    ctx.dirt.clear();
    if (matrix) {
        for (int32_t k = 0; k < ctx.location_count; ++k) grow_table(ctx.dirt, "Pollutant description", ctx.console);
    }
    const RunStart& t = ctx.start;
    read_pollutant_emissions(ctx.control_input, ctx.dirt, ctx.numtyp, t.year, t.month, t.day, t.hour,
                             ctx.control.backward, matrix ? ctx.location_count : INT32_MAX);
    check_pollutant_emissions(ctx.control_input.name(), ctx.dirt, ctx.numtyp, ctx.source_locations,
                              location_rate_use(s, ctx.control.backward, ctx.console), ctx.control.backward, s,
                              ctx.console);
    const int32_t size = pollutant_table_size(ctx.pollutant_entry_count, s.MAXDIM);
    while (static_cast<int32_t>(ctx.dirt.size()) < size) {
        grow_table(ctx.dirt, "Pollutant description", ctx.console);
        ctx.dirt.back() = padding_pollutant();
    }
    if (!ctx.mercury.step_deposit.allocate({1, size})) allocation_stop(kAllocPrefix, "Deposition description",
                                                                       ctx.console);

    if (s.MAXDIM > ctx.numtyp) ctx.console.list("WARNING: namelist file (maxdim) > control file (numtyp)");
    write_ichem_notice(s, ctx.console);
    check_momentum_fluxes(s, ctx.met.files, ctx.console);
}

void write_deposition_dump(TextOut& out, bool after_reset, const DepositionSwitches& sw,
                           std::span<const Pollutant> dirt, int32_t count) {
    if (after_reset) {
        out.list(std::string(40, '*'));
        out.list("AFTER reset of parameters, if applicable");
        out.list(std::string(40, '*'));
    } else {
        out.list(std::string(48, '*'));
        out.list("back from DEPSET, before any reset of parameters");
        out.list(std::string(48, '*'));
    }
    out.list("");
    out.list("CDEP             = ", sw.CDEP);
    out.list("RDEP             = ", sw.RDEP);
    out.list("SDEP             = ", sw.SDEP);
    out.list("");
    const int32_t n = std::min<int32_t>(count, static_cast<int32_t>(dirt.size()));
    for (int32_t p = 0; p < n; ++p) {
        const Pollutant& d = dirt[static_cast<size_t>(p)];
        out.list("POLLUTANT NUMBER = ", p + 1);
        out.list("POLLUTANT NAME  = ", d.pollutant_id);
        out.list("DIRT(n)%DOWET   = ", d.DOWET);
        out.list("DIRT(n)%DODRY   = ", d.DODRY);
        out.list("DIRT(n)%DORES   = ", d.DORES);
        out.list("DIRT(n)%DOVOL   = ", d.DOVOL);
        out.list("DIRT(n)%DOGRV   = ", d.DOGRV);
        out.list("DIRT(n)%DORAD   = ", d.DORAD);
        out.list("DIRT(n)%DOSUS   = ", d.DOSUS);
        out.list("");
        out.list("DIRT(n)%PDIAM   = ", d.PDIAM);
        out.list("DIRT(n)%PDENS   = ", d.PDENS);
        out.list("DIRT(n)%SHAPE   = ", d.SHAPE);
        out.list("DIRT(n)%DRYVL   = ", d.DRYVL);
        out.list("DIRT(n)%GPMOL   = ", d.GPMOL);
        out.list("DIRT(n)%ACVTY   = ", d.ACVTY);
        out.list("DIRT(n)%DIFTY   = ", d.DIFTY);
        out.list("DIRT(n)%HENRY   = ", d.HENRY);
        out.list("DIRT(n)%WETGAS  = ", d.WETGAS);
        out.list("DIRT(n)%WETIN   = ", d.WETIN);
        out.list("DIRT(n)%WETLO   = ", d.WETLO);
        out.list("DIRT(n)%RHALF   = ", d.RHALF);
        out.list("DIRT(n)%SRATE   = ", d.SRATE);
        out.list("");
    }
}

void reset_deposition_switches(std::vector<Pollutant>& dirt, int32_t maxdim, DepositionSwitches& sw) {
    sw.CDEP = true;
    sw.RDEP = true;
    const int32_t n = std::min<int32_t>(maxdim, static_cast<int32_t>(dirt.size()));
    for (int32_t p = 0; p < n; ++p) {
        Pollutant& d = dirt[static_cast<size_t>(p)];
        d.DOWET = true;
        d.DODRY = false;
        d.DORES = true;
        d.DOGRV = true;
    }
}

void make_each_location_a_pollutant(std::vector<Pollutant>& dirt, int32_t& numtyp, int32_t locations) {
    numtyp = locations;
    if (dirt.empty()) return;
    const int32_t n = std::min<int32_t>(locations, static_cast<int32_t>(dirt.size()));
    char id[16];
    for (int32_t k = 1; k <= n; ++k) {
        if (k > 1) dirt[static_cast<size_t>(k - 1)] = dirt[0];
        std::snprintf(id, sizeof id, "%04d", k % 10000);
        dirt[static_cast<size_t>(k - 1)].pollutant_id = id;
    }
}

void set_up_deposition(RunContext& ctx) {
    depset(ctx.control_input, ctx.dirt, ctx.numtyp, ctx.deposition);
    check_particle_definitions(ctx.control_input.name(), ctx.dirt, ctx.numtyp, ctx.console);
    TextOut* dump = ctx.channels.enabled(0) ? ctx.channels.dump_file(0) : nullptr;
    if (dump) write_deposition_dump(*dump, false, ctx.deposition, ctx.dirt, ctx.numtyp);
    reset_deposition_switches(ctx.dirt, ctx.setup.MAXDIM, ctx.deposition);
    if (dump) write_deposition_dump(*dump, true, ctx.deposition, ctx.dirt, ctx.numtyp);
    if (ctx.setup.ICHEM == 1) make_each_location_a_pollutant(ctx.dirt, ctx.numtyp, ctx.location_count);
    check_emission_file_slots(ctx.setup, ctx.numtyp, ctx.control_input.name(), ctx.console);
}

}  // namespace orv
