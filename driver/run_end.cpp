#include "driver/run_end.hpp"

#include "common/run_stop.hpp"

namespace orv {

void close_run_files(RunContext& ctx) {
    bool failed = false;
    auto close = [&failed](auto& file) {
        try {
            file.close();
        } catch (const RunStop&) {
            failed = true;
        }
    };
    for (TextOut& f : ctx.dispersion.samplers.outputs) close(f);
    for (RecordWriter& f : ctx.dispersion.concentration_output.files) close(f);
    close(ctx.dispersion.particle_files.dump);
    close(ctx.control_input);
    for (TextOut& f : *ctx.channels.files) close(f);  // the diagnostic and receptor files
    close(ctx.log);
    if (failed) throw RunStop(kStopInput);
}

void end_run(RunContext& ctx) {
    if (!ctx.split_enabled) {
        ctx.console.list("WARNING main: puff splitting turned off ... check MESSAGE");
        ctx.log.list("WARNING main: puff splitting turned off ... expand MAXPAR");
        ctx.log.list("        or increase merge parameters in CFG namelist file");
    }
    if (ctx.particle_limit_flag == 1) {
        ctx.console.list("WARNING particle array limit reached; emissions turned off");
        ctx.log.list("WARNING particle array limit reached; expand MAXPAR");
    }
    write_water_zero_counts(ctx.deposition_work.water_zeros, ctx.log);
    close_run_files(ctx);
    ctx.console.list("Complete Orvante");
    release_met_arrays(ctx.met.arrays);
}

}  // namespace orv
