#include "driver/run_end.hpp"

namespace orv {

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
    ctx.console.list("Complete Orvante");
    DiagnosticChannels& ch = ctx.channels;
    for (int32_t c = 0; c < DiagnosticChannels::kCount; ++c)
        if (ch.channel_probability[c] > 0.0f) ch.file(c).close();
    release_met_arrays(ctx.met.arrays);
}

}  // namespace orv
