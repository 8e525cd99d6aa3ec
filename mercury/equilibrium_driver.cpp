#include "mercury/equilibrium_driver.hpp"

#include <cmath>

namespace orv {

namespace {

constexpr double kHLso2 = double(1.23f);
constexpr double kK1so2 = double(0.013f);
constexpr double kK2so2 = double(6.6e-8f);
constexpr double kSulfiteFactor = double(1.05534e-9f);  // HLso2 K1so2 K2so2
constexpr double kChlorideMolarMass = double(35.45f);
constexpr double kMilligram = double(0.001f);
constexpr double kPpb = double(1e-9f);
constexpr double kNoMercury = double(1e-40f);
constexpr double kUntried = 9999.0;
constexpr int32_t kN = kEquilibriumUnknowns;

// The derived chemistry of one call.
struct Derived {
    double pso2 = 0.0;
    double hplus = 0.0;
    double zso3m2 = 0.0;
    double zclm1 = 0.0;
    double hg2tot = 0.0;  // the total, 0 below 1e-40
};

void reset_tries(EquilibriumWorkspace& ws) {
    ws.converge.fill(false);
    ws.hg2err.fill(kUntried);
    ws.sumxerr.fill(kUntried);
    ws.sumferr.fill(kUntried);
    ws.sumfrac.fill(kUntried);
    ws.toterr.fill(kUntried);
    for (EquilibriumVector& x : ws.xtry) x.fill(0.0);
}

AqueousConditions conditions(const FindrootInput& in, const Derived& dv, double total) {
    AqueousConditions c;
    c.ph = in.ph;
    c.temperature = in.temperature;
    c.hg2total = total;
    c.zclm1 = dv.zclm1;
    c.zso3m2 = dv.zso3m2;
    c.liquid = in.liquid;
    c.soot = in.soot;
    return c;
}

// Solves one try (k from 0) on the total and records its summary.
void run_try(int32_t caller, int32_t k, double total, const FindrootInput& in, const Derived& dv,
             FindrootResult& out, EquilibriumWorkspace& ws, DiagnosticChannels& ch, TextOut* dump, TextOut& console) {
    const AqueousConditions c = conditions(in, dv, total);
    if (dump) {
        dump->list("about_to_call_eqlbrm4,_input_variable_dump");
        dump->list("nstart ph T Hg2tot zClm1 zso3m2 liquid soot");
        dump->list(int32_t{0}, c.ph, c.temperature, c.hg2total, c.zclm1, c.zso3m2, c.liquid, c.soot);
    }
    eqlbrm4(caller, 0, c, ws, ch, console);
    out.total_trials += ws.ntrials;
    const TrySummary s = error4(ws.ntrials, ws.fvec, ws.fracerr);
    ws.converge[k] = s.converge;
    ws.hg2err[k] = s.hg2err;
    ws.sumxerr[k] = s.sumxerr;
    ws.sumferr[k] = s.sumferr;
    ws.sumfrac[k] = s.sumfrac;
    ws.xtry[k] = ws.x;
    if (dump) {
        dump->list("back_from_eqlbrm4,_all_variable_dump");
        dump->list("nstart ph T Hg2tot zClm1 zso3m2 liquid soot ntrials x dx fvec fracerr");
        DumpItems items;
        items.add(int32_t{0}).add(c.ph).add(c.temperature).add(c.hg2total).add(c.zclm1).add(c.zso3m2);
        items.add(c.liquid).add(c.soot).add(ws.ntrials);
        items.add_all(ws.x).add_all(ws.dx).add_all(ws.fvec).add_all(ws.fracerr);
        dump_list(dump, items.items());
        dump->list("back_from_error4");
        dump->list("ntrials converge(ntry) Hg2err(ntry) sumxerr(ntry) sumferr(ntry) sumfrac(ntry)");
        static const fmt::Format layout("(I12, L12, 999E12.3)");
        dump->put(layout, ws.ntrials, s.converge, s.hg2err, s.sumxerr, s.sumferr, s.sumfrac);
    }
}

// None converged: the try with the smallest total error, the first on ties.
int32_t best_try(EquilibriumWorkspace& ws) {
    for (int32_t k = 0; k < EquilibriumWorkspace::kTries; ++k)
        ws.toterr[k] = ws.hg2err[k] + ws.sumferr[k] + ws.sumfrac[k];
    int32_t best = 0;
    for (int32_t k = 1; k < EquilibriumWorkspace::kTries; ++k)
        if (ws.toterr[k] < ws.toterr[best]) best = k;
    return best;
}

void report_nonconvergence(int32_t caller, const FindrootInput& in, const Derived& dv, const FindrootResult& out,
                           DiagnosticChannels& ch, TextOut& console) {
    DumpItems values;
    values.add(in.ph).add(in.temperature).add(in.so2).add(dv.hg2tot).add(in.yy_cltot).add(in.liquid).add(in.soot);
    values.add(out.hg2err).add(dv.zclm1).add(dv.zso3m2).add_all(out.x);

    const int32_t c13 = channel_for_caller(13, caller);
    if (ch.fires(c13)) {
        static const fmt::Format layout("(5I16, 999E16.7)");
        DumpItems items;
        items.add(caller).add(int32_t{1}).add(out.total_trials).add(out.converged).add(out.chosen_try);
        items.add_all(values.items());
        dump_record(ch.dump_file(c13), layout, items.items());
    }
    static const fmt::Format record("(A, 4I12, 999E12.3)");
    DumpItems items;
    items.add("droplet nonconvergence").add(caller).add(out.total_trials).add(out.converged).add(out.chosen_try);
    items.add_all(values.items());
    dump_record(ch.dump_file(channel_for_caller(0, caller)), record, items.items());
    console.list("droplet nonconvergence");
}

}  // namespace

TrySummary error4(int32_t ntrials, const EquilibriumVector& fvec, const EquilibriumVector& fracerr) {
    TrySummary s;
    s.converge = ntrials != kEquilibriumMaxTrials;
    s.hg2err = fracerr[6];
    s.sumxerr = 0.0;
    for (int32_t i = 0; i < kN; ++i) {
        s.sumferr += std::fabs(fvec[i]);
        s.sumfrac += std::fabs(fracerr[i]);
    }
    return s;
}

void findroot(int32_t caller, const FindrootInput& in, FindrootResult& out, EquilibriumWorkspace& ws,
              DiagnosticChannels& ch, TextOut& console) {
    const int32_t channel = channel_for_caller(7, caller);
    TextOut* dump = ch.fires(channel) ? ch.dump_file(channel) : nullptr;
    dump_line(dump, "starting findroot, ncall =", caller);

    out.converged = 0;
    out.chosen_try = 0;
    out.total_trials = 0;
    out.hg2err = 0.0;
    reset_tries(ws);

    Derived dv;
    dv.pso2 = in.so2 * kPpb;
    dv.hplus = std::pow(10.0, -in.ph);
    dv.zso3m2 = kSulfiteFactor * dv.pso2 / (dv.hplus * dv.hplus);
    dv.zclm1 = in.yy_cltot * kMilligram / kChlorideMolarMass;
    if (dump) {
        dump->list("HLso2 K1so2 K2so2 Pso2 hplus zso3m2");
        dump->list(kHLso2, kK1so2, kK2so2, dv.pso2, dv.hplus, dv.zso3m2);
        dump->list("liquid,yyCltot,zClm1");
        dump->list(in.liquid, in.yy_cltot, dv.zclm1);
    }
    dv.hg2tot = in.hg2tot < kNoMercury ? 0.0 : in.hg2tot;

    if (!(in.liquid > 0.0)) {
        // No water: all Hg(II) stays in the gas, nothing to solve.
        gas_phase_partition(conditions(in, dv, dv.hg2tot), out.x);
        out.converged = 1;
        return;
    }

    // Method 1: the true total.
    dump_line(dump, "starting_method_1");
    run_try(caller, 0, dv.hg2tot, in, dv, out, ws, ch, dump, console);
    if (ws.converge[0]) {
        out.x = ws.xtry[0];
        out.converged = 1;
        out.chosen_try = 1;
        out.hg2err = ws.hg2err[0];
    } else {
        // Method 2: the total scaled up by 1000, 1e6, ... while below 1 ppb.
        dump_line(dump, "starting_method_2");
        for (int32_t e = 1; e <= 6; ++e) {
            const int32_t k = e;  // try e + 1
            const double zfact = static_cast<float>(std::pow(10.0, 3 * e));
            const double hg2mult = dv.hg2tot * zfact;
            if (dump) {
                dump->list("starting_method_number ", k + 1);
                dump->list("ntry nexp zfact Hg2tot Hg2mult");
                static const fmt::Format layout("(2I12, 999E12.3)");
                dump->put(layout, k + 1, e, zfact, dv.hg2tot, hg2mult);
            }
            if (!(hg2mult < 1.0)) continue;
            run_try(caller, k, hg2mult, in, dv, out, ws, ch, dump, console);
            if (ws.converge[k]) {
                for (int32_t i = 0; i < kN; ++i) out.x[i] = ws.xtry[k][i] / zfact;
                out.hg2err = ws.hg2err[k];
                out.converged = 1;
                out.chosen_try = k + 1;
                break;
            }
        }
        if (out.converged == 0) {
            dump_line(dump, "*****_DID_NOT_CONVERGE_******");
            const int32_t best = best_try(ws);
            out.chosen_try = best + 1;
            out.x = ws.xtry[best];
            out.hg2err = ws.hg2err[best];
            report_nonconvergence(caller, in, dv, out, ch, console);
        }
    }

    // Rescale to exactly the given total.
    const double g = 1000.0 / (kGasConstant * in.temperature);
    const double w = in.liquid / 1000.0;
    EquilibriumVector amount;
    for (int32_t i = 0; i < kN; ++i) amount[i] = out.x[i] * ((i == 1 || i == 3) ? g : w);
    double sum = 0.0;
    for (double a : amount) sum += a;
    const double total = g * dv.hg2tot * kPpb;
    if (dv.hg2tot == 0.0) {
        amount.fill(0.0);
    } else if (dv.hg2tot > 0.0 && sum > 0.0) {
        const double scale = total / sum;
        for (double& a : amount) a *= scale;
    }
    for (int32_t i = 0; i < kN; ++i) out.x[i] = amount[i] / ((i == 1 || i == 3) ? g : w);

    const int32_t c12 = channel_for_caller(12, caller);
    if (ch.fires(c12)) {
        static const fmt::Format layout("(5I16, 999E16.7)");
        DumpItems items;
        items.add(caller).add(int32_t{2}).add(out.total_trials).add(out.converged).add(out.chosen_try);
        items.add(dv.zso3m2).add(dv.hg2tot).add(total).add(sum).add(in.soot).add(w).add(g);
        items.add_all(out.x).add_all(ws.fracerr);
        dump_record(ch.dump_file(c12), layout, items.items());
    }
}

}  // namespace orv
