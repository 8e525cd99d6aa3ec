// Wet removal of the deposition step: below-cloud scavenging (path 3 when
// the puff has cloud water, else path 4 with the gases taken up by the rain
// water) and in-cloud scavenging (path 5), over the shares of the puff below
// the cloud base and inside the cloud.

#include <bit>
#include <cstdint>

#include "mercury/below_cloud_scavenging.hpp"
#include "mercury/deposition_stages.hpp"

namespace orv::deposition {

namespace {

struct CloudShares {
    float below_top = 0.0f;   // ft: share of the puff's depth below the cloud top
    float above_base = 0.0f;  // fb: share above the cloud base
};

// The shares for the step's own (lowered) puff edges. Call id 2 takes the
// driver's values as they are.
CloudShares cloud_shares(const StepContext& s) {
    const CloudLayer& cl = s.args.cloud;
    const DepositionWorkspace& ws = s.ws;
    CloudShares f{cl.fraction_below_cloud_top, cl.fraction_above_cloud_base};
    if (s.args.call.call_id != 1 || ws.bottom >= cl.cloud_top_height) return f;
    f.below_top = ws.top > cl.cloud_top_height ? 1.0f - (ws.top - cl.cloud_top_height) / ws.depth : 1.0f;
    f.above_base = ws.bottom >= cl.cloud_base_height ? 1.0f : 1.0f - (cl.cloud_base_height - ws.bottom) / ws.depth;
    if (ws.top < cl.cloud_base_height) f.above_base = 0.0f;
    return f;
}

void dump_geometry(StepContext& s, const CloudShares& f) {
    const CloudLayer& cl = s.args.cloud;
    const DepositionWorkspace& ws = s.ws;
    for (int32_t c : {s.channel(26), s.channel(21)}) {
        if (TextOut* out = s.firing(c)) {
            out->list("cloud base, cloud top, puff bottom, top, depth, below top, above base, RAIN =",
                      cl.cloud_base_height, cl.cloud_top_height, ws.bottom, ws.top, ws.depth, f.below_top,
                      f.above_base, s.args.met.RAIN);
        }
    }
}

void add_rate(DepositionWorkspace& ws, int32_t p, int32_t path, float add) {
    ws.zbeta(p) += add;
    ws.zpbeta(p, path) += add;
}

// The below-cloud scavenging coefficient of size range j of water case 1.
// The fitted curves depend on the diameter alone and are kept for the next
// call with the same diameter.
float scavenging(StepContext& s, float rain_rate, int32_t j) {
    DepositionWorkspace& ws = s.ws;
    const float d = ws.xpd(1, j);
    if (d == 0.0f) return compute_below_cloud_scavenging(s.args.met.RAIN, d, s.ch);
    if (std::bit_cast<uint32_t>(ws.fit_diameter(j)) != std::bit_cast<uint32_t>(d)) {
        ws.fit(j) = below_cloud_fit(d);
        ws.fit_diameter(j) = d;
    }
    return below_cloud_coefficient(rain_rate, ws.fit(j));
}

void below_cloud(StepContext& s, float below) {
    DepositionWorkspace& ws = s.ws;
    const float rain = s.args.met.RAIN;
    const float rain_rate = below_cloud_rain_rate(rain);
    if (ws.xdroplet(1)) {
        // Cloud water at the puff: all four species scavenged as particles.
        for (int32_t j = 1; j <= ws.nrange; ++j) {
            const float k = scavenging(s, rain_rate, j);
            for (int32_t p = 1; p <= 4; ++p) add_rate(ws, p, 3, k * 60.0f * ws.xzmfracp(1, p, j) * below);
        }
        return;
    }
    for (int32_t p = 3; p <= 4; ++p) {
        for (int32_t j = 1; j <= ws.nrange; ++j) {
            const float k = scavenging(s, rain_rate, j);
            add_rate(ws, p, 4, k * 60.0f * ws.xzmfracp(1, p, j) * below);
        }
    }
    // The gases dissolve in the rain water.
    for (int32_t p = 1; p <= 2; ++p) {
        ws.zdepv(p) = static_cast<float>(1000.0f * ws.xfracdrop(4, p) * rain / ws.xliquid(4));
        const float add = ws.zdepv(p) * below / ws.depth;
        ws.zbeta(p) += add;
        ws.zpbeta(p, 4) = add;
    }
}

void in_cloud(StepContext& s, const CloudShares& f) {
    DepositionWorkspace& ws = s.ws;
    const float rain = s.args.met.RAIN;
    TextOut* out = s.firing(s.channel(21));
    for (int32_t p = 3; p <= 4; ++p) {
        const Pollutant* pol = s.pollutant(p);
        ws.zdepv(p) = rain * (pol ? pol->WETIN : 0.0f);
        const float add = ws.zdepv(p) * f.below_top * f.above_base / ws.depth;
        ws.zbeta(p) += add;
        ws.zpbeta(p, 5) = add;
        if (out) out->list("in cloud: species, zdepv, rate =", p, ws.zdepv(p), add);
    }
    for (int32_t p = 1; p <= 2; ++p) {
        const int32_t c = ws.xdroplet(1) ? 1 : 4;
        ws.zdepv(p) = static_cast<float>(rain * (1000.0 / ws.xliquid(c)) * ws.xfracdrop(c, p));
        const float add = ws.zdepv(p) * f.below_top * f.above_base / ws.depth;
        ws.zbeta(p) += add;
        ws.zpbeta(p, 5) = add;
        if (out) out->list("in cloud: species, zdepv, rate =", p, ws.zdepv(p), add);
    }
}

}  // namespace

void wet_removal_rates(StepContext& s) {
    const Pollutant* particles = s.pollutant(3);
    if (!particles || !particles->DOWET || !(s.args.met.RAIN > 0.0f)) return;
    const DepositionWorkspace& ws = s.ws;
    const CloudLayer& cl = s.args.cloud;
    const CloudShares f = cloud_shares(s);
    dump_geometry(s, f);
    if (ws.bottom >= cl.cloud_top_height) return;
    if (ws.bottom < cl.cloud_base_height) below_cloud(s, 1.0f - f.above_base);
    if (ws.top > cl.cloud_base_height) in_cloud(s, f);
}

void switch_off_elemental_deposition(StepContext& s) {
    if (s.run.hgsim.method_elem_dep != 0) return;
    DepositionWorkspace& ws = s.ws;
    ws.zbeta(1) = 0.0f;
    for (int32_t path = 0; path <= ws.npath; ++path) {
        ws.zpbeta(1, path) = 0.0f;
        // The cep categories too: no deposition of species 1 anywhere.
        for (int32_t l = 1; l <= ws.nland; ++l) ws.zpbetalnd(1, path, l) = 0.0f;
    }
}

}  // namespace orv::deposition
