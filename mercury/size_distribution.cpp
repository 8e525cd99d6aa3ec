#include "mercury/size_distribution.hpp"

#include <algorithm>

#include "common/math_constants.hpp"
#include "common/run_stop.hpp"
#include "common/text_output.hpp"

namespace orv {

const float kBuiltInDiameters[kBuiltInRanges] = {0.001f, 0.002f, 0.005f, 0.01f, 0.02f, 0.05f, 0.1f,
                                                 0.2f,   0.5f,   1.0f,   2.0f,  5.0f,  10.0f, 20.0f};
const float kBuiltInMassFractions[kBuiltInRanges] = {2.6067e-08f, 2.6067e-07f, 7.82e-05f, 0.0010427f, 0.003128f,
                                                     0.01564f,    0.052134f,   0.26067f,  0.20853f,   0.10427f,
                                                     0.067774f,   0.10427f,    0.1564f,   0.026067f};

void SizeDistribution::allocate(int32_t ndist_in, int32_t nrange_in) {
    ndist = ndist_in;
    nrange = nrange_in;
    for (DistributionArray* a : {&pd, &pd_dry, &pd_wet}) a->allocate(ndist, 0, nrange);
    for (DistributionArray* a : {&surf, &surfrac, &volfrac, &volfrac_wet, &mfrac}) a->allocate(ndist, 1, nrange);
    totsurf.assign(static_cast<size_t>(ndist > 0 ? ndist : 0), 0.0f);
    pconc.assign(totsurf.size(), 0.0f);
    wet_volume.assign(static_cast<size_t>(nrange > 0 ? nrange : 0), 0.0f);
}

namespace {

void check_settings(const Hgsim& hg, TextOut& console) {
    bool bad = false;
    if (hg.ndist != 1 || hg.nrange != kBuiltInRanges) {
        console.list(
            " *ERROR*  psetup: only the built-in size distribution is defined, NDIST must be 1 and NRANGE 14 - ",
            hg.ndist, hg.nrange);
        bad = true;
    }
    if (!(hg.pden > 0.0f)) {
        console.list(" *ERROR*  psetup: PDEN must be a positive particle density - ", hg.pden);
        bad = true;
    }
    if (!(hg.pcon > 0.0f)) {
        console.list(" *ERROR*  psetup: PCON must be a positive aerosol concentration - ", hg.pcon);
        bad = true;
    }
    if (bad) throw RunStop(kStopInput);
}

}  // namespace

void psetup(const Hgsim& hg, SizeDistribution& sd, TextOut& console) {
    check_settings(hg, console);
    sd.allocate(hg.ndist, hg.nrange);
    console.list("just inside psetup");
    sd.pconc[0] = hg.pcon;
    for (int32_t n = 1; n <= sd.ndist; ++n) sd.pd(n, 0) = 0.0f;
    for (int32_t m = 1; m <= sd.nrange; ++m) {
        sd.pd(1, m) = kBuiltInDiameters[m - 1];
        sd.mfrac(1, m) = kBuiltInMassFractions[m - 1];
    }
    for (int32_t n = 1; n <= sd.ndist; ++n) {
        sd.pd_dry(n, 0) = sd.pd(n, 0);
        sd.pd_wet(n, 0) = sd.pd(n, 0);
        for (int32_t m = 1; m <= sd.nrange; ++m) {
            sd.pd(n, m) = sd.pd(n, m) / 1e6f;
            sd.pd_dry(n, m) = sd.pd(n, m);
            sd.pd_wet(n, m) = sd.pd(n, m);
        }
    }
    for (int32_t n = 1; n <= sd.ndist; ++n) {
        float total = 0.0f;
        for (int32_t m = 1; m <= sd.nrange; ++m) {
            const float d = sd.pd(n, m);
            const float pmass = 0.5235984f * (d * d * d) * hg.pden * 1e6f;  // g per particle
            console.list("ndist,nrange,pmass=", n, m, pmass);
            sd.surf(n, m) = (sd.mfrac(n, m) * sd.pconc[n - 1] / pmass) * kParticleSurfacePi * (d * d);
            total += sd.surf(n, m);
        }
        sd.totsurf[n - 1] = total;
    }
    console.list("totsurf(1) =", sd.totsurf[0]);
    console.list("about to calc. surfracs");
    for (int32_t n = 1; n <= sd.ndist; ++n) {
        for (int32_t m = 1; m <= sd.nrange; ++m) {
            sd.surfrac(n, m) = sd.surf(n, m) / sd.totsurf[n - 1];
            sd.volfrac(n, m) = sd.mfrac(n, m);
            sd.volfrac_wet(n, m) = sd.mfrac(n, m);
        }
    }
    write_size_distribution_report("SIZEDIST.OUT", sd, console);
}

void write_size_distribution_table(const Hgsim& hg, const SizeDistribution& sd, TextOut& console) {
    write_size_distribution_report("SIZEDIST2.OUT", sd, std::min(hg.ndist, sd.ndist), std::min(hg.nrange, sd.nrange),
                                   console);
}

void write_size_distribution_report(const std::string& path, const SizeDistribution& sd, TextOut& console) {
    write_size_distribution_report(path, sd, sd.ndist, sd.nrange, console);
}

void write_size_distribution_report(const std::string& path, const SizeDistribution& sd, int32_t ndist,
                                    int32_t nrange, TextOut& console) {
    TextOut out;
    if (!out.open(path, "psetup", console)) {
        console.list("*ERROR* psetup: unable to create file - ", path);
        throw RunStop(kStopInput);
    }
    static const fmt::Format head("(A, I4, 2E12.3)");
    static const fmt::Format row("(A, 2I4, 5E12.3)");
    for (int32_t n = 1; n <= ndist; ++n) {
        out.put(head, "n,totsurf(n) (m2/m3),pconc(n) (g/m3)=", n, sd.totsurf[n - 1], sd.pconc[n - 1]);
        for (int32_t m = 1; m <= nrange; ++m)
            out.put(row, "n,m,pd,mfrac,surf,surfrac,volfrac =", n, m, sd.pd(n, m), sd.mfrac(n, m), sd.surf(n, m),
                    sd.surfrac(n, m), sd.volfrac(n, m));
    }
    out.close();
}

}  // namespace orv
