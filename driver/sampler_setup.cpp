#include "driver/sampler_setup.hpp"

namespace orv {

void set_up_samplers(LagrangianSamplers& ls, const Settings& s, float model_top, MetProbe& probe,
                     CurrentMet& current, MetAtParticle& shared_met) {
    read_sampler_file(ls, probe.met.files, current.grid, current.file, probe.msg);
    for (LagrangianSampler& sampler : ls.samplers) {
        int32_t grid_after = 0;
        const AdvanceResult r =
            probe_met(probe, ParticlePosition{sampler.grid_x, sampler.grid_y, 1.0f, sampler.met_grid, s.INITD},
                      current, grid_after);
        place_sampler(sampler, r.status == 0, probe.at, grid_after, model_top, s.KMSL, probe.met.files, current.file,
                      shared_met);
    }
    write_sampler_notice(ls, probe.msg.log);
}

}  // namespace orv
