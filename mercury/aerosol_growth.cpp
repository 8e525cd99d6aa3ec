#include "mercury/aerosol_growth.hpp"

#include <algorithm>
#include <cmath>

namespace orv {

namespace {

struct GrowthFit {
    float b = 1.0f;  // exponent of the dry radius
    float c = 1.0f;  // factor
};

GrowthFit growth_fit(float h) {
    GrowthFit f;
    f.b = std::exp(0.00077f * h / (1.009f - h));
    float a = 1.058f;
    if (h > 0.97f) a = 1.058f - 0.0155f * (h - 0.97f) / (1.02f - std::pow(h, 1.4f));
    f.c = 1.2f * std::exp(0.066f * h / (a - h));
    return f;
}

// The wet diameter (m) of a dry diameter (m) by the fit.
float wet_diameter(const GrowthFit& f, float dry_diameter) {
    const float r = 0.5f * 1e6f * dry_diameter;  // dry radius, micrometres
    const float wet_radius = f.c * std::pow(r, f.b);
    return 2.0f * wet_radius * 1e-6f;
}

void dump_growth(TextOut* out, int32_t caller, float humidity, float h, float liquid, const SizeDistribution& sd) {
    if (!out) return;
    static const fmt::Format layout("(I5, 999E16.7)");
    DumpItems items;
    items.add(caller).add(humidity).add(h).add(liquid);
    items.add_all(sd.pd_dry.values()).add_all(sd.pd_wet.values());
    items.add_all(sd.mfrac.values()).add_all(sd.volfrac_wet.values());
    dump_record(out, layout, items.items());
}

}  // namespace

float humidity_growth_factor(float h, float dry_diameter) {
    h = std::min(h, 0.995f);
    if (h <= 0.8f || !(dry_diameter > 0.0f)) return 1.0f;
    return wet_diameter(growth_fit(h), dry_diameter) / dry_diameter;
}

void compute_aerosol_humidity_growth(int32_t caller, int32_t nrange, int32_t n, float humidity, float pden, float pcon,
                                     float& liquid, SizeDistribution& sd, DiagnosticChannels& ch) {
    nrange = std::min(nrange, sd.nrange);
    sd.pd_dry(n, 0) = 0.0f;
    sd.pd_wet(n, 0) = 0.0f;
    const float h = std::min(humidity, 0.995f);
    liquid = 0.0f;
    if (h <= 0.8f) {
        for (int32_t m = 1; m <= nrange; ++m) {
            sd.pd_wet(n, m) = sd.pd_dry(n, m);
            sd.volfrac_wet(n, m) = sd.mfrac(n, m);
        }
    } else {
        const GrowthFit fit = growth_fit(h);
        float total_volume = 0.0f;
        for (int32_t m = 1; m <= nrange; ++m) {
            const float dry = sd.pd_dry(n, m);
            const float wet = wet_diameter(fit, dry);
            sd.pd_wet(n, m) = wet;
            const float wet_volume = 0.5235988f * (wet * wet * wet);
            const float dry_volume = 0.5235988f * (dry * dry * dry);
            const float dry_mass = dry_volume * pden * 1e6f;
            const float number = sd.mfrac(n, m) * pcon / dry_mass;
            const float w = number * wet_volume;
            sd.wet_volume[static_cast<size_t>(m - 1)] = w;
            total_volume += w;
            liquid += 1e6f * w;
        }
        for (int32_t m = 1; m <= nrange; ++m) {
            // Without any aerosol the wet fractions keep the dry ones.
            sd.volfrac_wet(n, m) =
                total_volume > 0.0f ? sd.wet_volume[static_cast<size_t>(m - 1)] / total_volume : sd.mfrac(n, m);
        }
    }
    const int32_t channel = channel_for_caller(11, caller);
    if (ch.fires(channel)) dump_growth(ch.dump_file(channel), caller, humidity, h, liquid, sd);
}

}  // namespace orv
