#include "mercury/liquid_water.hpp"

#include <algorithm>
#include <cmath>

#include "mercury/aerosol_growth.hpp"

namespace orv {

namespace {

struct MethodResult {
    bool set = false;
    float liquid = 0.0f;
    float cloud_term = 0.0f;  // 1 - sqrt((1 - r) / 0.19999999) of methods 5 and 6
};

MethodResult by_method(int32_t method, float r, bool aerosol_water, float aerosol_liquid) {
    MethodResult out;
    out.set = method >= 1 && method <= 6;
    switch (method) {
        case 1:
            if (r >= 0.8f) out.liquid = 0.5f;
            break;
        case 2:
            if (r >= 0.8f) out.liquid = 0.2f;
            break;
        case 3:
            if (r >= 0.9f) {
                const float e = 100.0f * r - 90.0f;
                out.liquid = 2e-4f + 2e-4f * (e * e * e);
            } else if (r >= 0.8f) {
                out.liquid = 2e-4f;
            }
            break;
        case 4:
            if (r >= 0.8f) {
                const float e = 100.0f * r - 80.0f;
                out.liquid = 2e-4f + 2e-4f * 0.125f * (e * e * e);
            }
            break;
        case 5:
        case 6:
            if (r > 0.8f) {
                out.cloud_term = 1.0f - std::sqrt((1.0f - r) / 0.19999999f);
                out.liquid = (method == 6 && aerosol_water) ? aerosol_liquid : 0.2f * out.cloud_term;
            }
            break;
        default:
            break;
    }
    return out;
}

}  // namespace

void lwc_estm(int32_t caller, const Hgsim& hg, int32_t n, int32_t source_mode, float rh, bool aerosol_water,
              float& liquid, SizeDistribution& sd, DiagnosticChannels& ch, TextOut& console) {
    const int32_t nrange = std::min(hg.nrange, sd.nrange);
    if (rh < 0.0f || rh > 1.01f) {
        console.list("in lwc_estm, RH not between 0-1, RH = ", rh);
        dump_line(ch.dump_file(0), "in lwc_estm, RH not between 0-1, RH = ", rh);
    }
    if (rh > 1.0f) rh = 1.0f;

    for (int32_t m = 0; m <= nrange; ++m) sd.pd_wet(n, m) = sd.pd_dry(n, m);
    for (int32_t m = 1; m <= nrange; ++m) sd.volfrac_wet(n, m) = sd.mfrac(n, m);

    float aerosol = 0.0f;
    float humidity = 0.0f;  // the humidity last used
    if (rh < 0.8f) {
        humidity = std::max(rh, 0.0f);
    } else {
        humidity = std::min(rh, 0.995f);
        compute_aerosol_humidity_growth(caller, nrange, n, humidity, hg.pden, hg.pcon, aerosol, sd, ch);
    }

    float cloud_term = 0.0f;
    if (source_mode == 2 || source_mode == 3) {
        liquid = aerosol;
    } else {
        const float r = std::min(rh, 1.0f);
        const MethodResult m = by_method(hg.method_lwc, r, aerosol_water, aerosol);
        if (m.set) liquid = m.liquid;
        cloud_term = m.cloud_term;
        if (hg.method_lwc >= 3 && hg.method_lwc <= 6) humidity = r;
    }

    const int32_t channel = channel_for_caller(14, caller);
    const float draw = ch.draw();
    ch.diagnostic_sampling_flags[channel] = ch.selects(channel, draw);
    if (ch.fires(channel)) {
        static const fmt::Format layout("(5I12, L12, 999ES15.6)");
        const fmt::Value items[] = {caller, hg.nrange, n,      source_mode, hg.method_lwc, aerosol_water, rh,
                                    humidity, hg.pden, hg.pcon, liquid,    aerosol,       cloud_term};
        dump_record(ch.dump_file(channel), layout, items);
    }
}

}  // namespace orv
