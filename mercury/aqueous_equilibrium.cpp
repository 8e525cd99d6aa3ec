#include "mercury/aqueous_equilibrium.hpp"

#include <cmath>

#include "mercury/lu_decomposition.hpp"

namespace orv {

namespace {

constexpr double kK1 = kEquilibriumConstants[0];
constexpr double kK2 = kEquilibriumConstants[1];
constexpr double kK3 = kEquilibriumConstants[2];
constexpr double kK4 = kEquilibriumConstants[3];
constexpr double kK5 = kEquilibriumConstants[4];
constexpr double kK6 = kEquilibriumConstants[5];
constexpr double kPpb = double(1e-9f);
constexpr int32_t kN = kEquilibriumUnknowns;

// |value / denominator - k| / k, or 1.0 when the denominator is 0.
double relative_error(double value, double denominator, double k) {
    if (denominator == 0.0) return 1.0;
    return std::fabs((value / denominator - k) / k);
}

double largest(const EquilibriumVector& v) {
    double m = 0.0;
    for (double e : v)
        if (e > m) m = e;
    return m;
}

// The argument lines of the solver's dumps.
void dump_arguments(TextOut* out, const char* label, const AqueousConditions& c, const EquilibriumWorkspace& ws) {
    if (!out) return;
    out->list(label);
    out->list(c.ph, c.temperature, c.hg2total, c.zclm1, c.zso3m2, c.liquid, c.soot);
    DumpItems items;
    items.add_all(ws.x).add_all(ws.dx).add_all(ws.fvec).add_all(ws.fracerr);
    dump_list(out, items.items());
}

}  // namespace

EquilibriumTerms equilibrium_terms(const AqueousConditions& c) {
    EquilibriumTerms t;
    t.g = 1000.0 / (kGasConstant * c.temperature);
    t.w = c.liquid / 1000.0;
    t.oh = std::pow(10.0, c.ph - 14.0);
    t.total = kPpb * c.hg2total * 1000.0 / (kGasConstant * c.temperature);
    return t;
}

void user_fun4(const AqueousConditions& c, const EquilibriumTerms& t, EquilibriumVector& x, EquilibriumVector& fvec,
               std::span<double> fjac, EquilibriumVector& fracerr) {
    auto jac = [&](int32_t i, int32_t j) -> double& { return fjac[static_cast<size_t>((i - 1) + (j - 1) * kN)]; };
    for (double& e : fjac) e = 0.0;
    const double cl2 = c.zclm1 * c.zclm1;
    const double oh2 = t.oh * t.oh;
    const double so3 = c.zso3m2;

    jac(1, 2) = kK1;
    jac(1, 3) = -1.0;
    jac(2, 4) = kK2;
    jac(2, 5) = -1.0;
    jac(3, 3) = kK3;
    jac(3, 1) = -cl2;
    jac(4, 5) = kK4;
    jac(4, 1) = -oh2;
    jac(5, 1) = kK5 * so3;
    jac(5, 6) = -1.0;
    jac(6, 6) = kK6 * so3;
    jac(6, 7) = -1.0;
    for (int32_t j : {1, 3, 5, 6, 7}) jac(7, j) = -t.w;
    for (int32_t j : {2, 4}) jac(7, j) = -t.g;

    if (c.hg2total == 0.0) {
        x.fill(0.0);
        fvec.fill(0.0);
        fracerr.fill(0.0);
        return;
    }
    const double x1 = x[0], x2 = x[1], x3 = x[2], x4 = x[3], x5 = x[4], x6 = x[5], x7 = x[6];
    fvec[0] = kK1 * x2 - x3;
    fvec[1] = kK2 * x4 - x5;
    fvec[2] = kK3 * x3 - cl2 * x1;
    fvec[3] = kK4 * x5 - oh2 * x1;
    fvec[4] = kK5 * x1 * so3 - x6;
    fvec[5] = kK6 * x6 * so3 - x7;
    fvec[6] = t.total - t.w * (x1 + x3 + x5 + x6 + x7) - t.g * (x2 + x4);

    fracerr[0] = relative_error(x3, x2, kK1);
    fracerr[1] = relative_error(x5, x4, kK2);
    fracerr[2] = relative_error(x1 * cl2, x3, kK3);
    fracerr[3] = relative_error(x1 * oh2, x5, kK4);
    fracerr[4] = relative_error(x6, x1 * so3, kK5);
    fracerr[5] = relative_error(x7, x6 * so3, kK6);
    fracerr[6] = t.total == 0.0 ? std::fabs(fvec[6]) : std::fabs(fvec[6] / t.total);
}

bool mnewt4(const AqueousConditions& c, const EquilibriumTerms& t, int32_t ntrial, EquilibriumWorkspace& ws,
            TextOut& console) {
    for (int32_t k = 0; k < ntrial; ++k) {
        user_fun4(c, t, ws.x, ws.fvec, ws.fjac, ws.fracerr);
        if (largest(ws.fracerr) <= kEquilibriumTolfrac) return true;
        for (int32_t i = 0; i < kN; ++i) ws.p[i] = -ws.fvec[i];
        double d = 0.0;
        if (!ludcmp(ws.fjac, kN, kN, ws.indx, d, ws.vv)) {
            console.list("singular matrix in ludcmp");
            if (ws.message_log) ws.message_log->list("singular matrix in ludcmp");
            return false;
        }
        solve_lu_system(ws.fjac, kN, kN, ws.indx, ws.p);
        double errx = 0.0;
        for (int32_t i = 0; i < kN; ++i) {
            ws.dx[i] = ws.p[i];
            errx += std::fabs(ws.p[i]);
            const double next = ws.x[i] + ws.p[i];
            if (next > 0.0) {
                ws.x[i] = next;
            } else if (i == 3) {
                ws.x[i] = 0.5 * c.hg2total * kPpb * t.g / t.w;
            } else {
                ws.x[i] = 0.0;
            }
        }
        if (errx <= kEquilibriumTolx) return true;
    }
    return true;
}

void gas_phase_partition(const AqueousConditions& c, EquilibriumVector& x) {
    x.fill(0.0);
    if (!(c.hg2total > 0.0)) return;
    const double pressure = c.hg2total * kPpb;
    const double oh = std::pow(10.0, c.ph - 14.0);
    const double chloride = c.zclm1 * c.zclm1 / (kK3 * kK1);
    const double hydroxide = oh * oh / (kK4 * kK2);
    const double sum = chloride + hydroxide;
    if (sum > 0.0 && std::isfinite(sum)) {
        x[1] = pressure * (chloride / sum);
        x[3] = pressure * (hydroxide / sum);
    } else {
        x[1] = pressure;
    }
}

void eqlbrm4(int32_t caller, int32_t nstart, const AqueousConditions& c, EquilibriumWorkspace& ws,
             DiagnosticChannels& ch, TextOut& console) {
    const int32_t channel = channel_for_caller(7, caller);
    TextOut* out = ch.fires(channel) ? ch.dump_file(channel) : nullptr;
    const EquilibriumTerms t = equilibrium_terms(c);
    ws.ntrials = 0;
    ws.dx.fill(0.0);
    dump_line(out, "starting eqlbrm4, ncall =", caller);
    if (!(t.w > 0.0)) {
        // No water to dissolve in: nothing to solve.
        gas_phase_partition(c, ws.x);
        ws.fvec.fill(0.0);
        ws.fracerr.fill(0.0);
        return;
    }
    if (nstart == 0) {
        ws.x.fill(0.0);
        if (c.hg2total > 0.0) {
            ws.x[2] = t.g * c.hg2total * kPpb / t.w;
            dump_line(out, "have made nominal start with all Hg(II) as HgCl2(aq)");
        }
    }
    if (out) {
        DumpItems start;
        dump_list(out, start.add_all(ws.x).items());
    }
    for (int32_t trial = 1; trial <= kEquilibriumMaxTrials; ++trial) {
        ++ws.ntrials;
        dump_line(out, "starting trial number ", trial);
        if (out) dump_arguments(out, "argument variable dump BEFORE mnewt4", c, ws);
        const bool stepped = mnewt4(c, t, 1, ws, console);
        if (out) dump_arguments(out, "argument variable dump AFTER mnewt4", c, ws);
        if (!stepped) {
            // A singular Jacobian fails the solution: the caller moves on.
            ws.ntrials = kEquilibriumMaxTrials;
            return;
        }
        if (out) dump_arguments(out, "argument variable dump BEFORE user_fun4", c, ws);
        user_fun4(c, t, ws.x, ws.fvec, ws.fjac, ws.fracerr);
        if (out) dump_arguments(out, "argument variable dump AFTER user_fun4", c, ws);
        const double maxfrac = largest(ws.fracerr);
        dump_line(out, "max fracerr = ", maxfrac);
        dump_line(out, "tolfrac     = ", kEquilibriumTolfrac);
        if (maxfrac <= kEquilibriumTolfrac) {
            dump_line(out, "maxfrac < tolfrac, so converged!");
            return;
        }
        dump_line(out, "maxfrac > tolfrac, so did not converge");
        dump_line(out, "will loop back for another try");
    }
}

}  // namespace orv
