#include "driver/settings_echo.hpp"

#include "common/blank_trim.hpp"
#include "common/run_stop.hpp"

namespace orv {

namespace {

// Widens a field written in width w until the value fits.
template <typename Write>
std::string fitted(int32_t w, Write write) {
    std::string s = write(w);
    while (s.find('*') != std::string::npos && w < 64) s = write(++w);
    return s;
}

std::string fixed(float v, int32_t w, int32_t d) {
    return fitted(w, [&](int32_t width) { return fmt::format_fixed(double{v}, width, d); });
}

std::string integer(int32_t v, int32_t w) {
    return fitted(w, [&](int32_t width) { return fmt::format_int(v, width); });
}

// Width 1 below 10, 2 below 100, ... at most `max_width`.
std::string by_magnitude(int32_t v, int32_t max_width) {
    int32_t w = 1;
    int64_t limit = 10;
    while (w < max_width && int64_t{v} >= limit) {
        ++w;
        limit *= 10;
    }
    return integer(v, w);
}

}  // namespace

std::string quoted_name(const std::string& name) {
    std::string out = "'";
    for (char c : trim_trailing_blanks(name)) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

std::string conc_cfg_text(const Settings& s) {
    std::string t;
    auto line = [&t](const char* label, const std::string& value) { t += std::string(label) + value + ",\n"; };
    t += " &SETUP\n";
    line(" tratio = ", fixed(s.TRATIO, 4, 2));
    line(" delt = ", fixed(s.DELT, s.DELT < 10.0f ? 3 : 4, 1));
    line(" initd = ", integer(s.INITD, s.INITD < 10 ? 1 : 3));
    line(" kpuff = ", integer(s.KPUFF, 1));
    line(" khmax = ", by_magnitude(s.KHMAX, 4));
    line(" numpar = ", by_magnitude(s.NUMPAR, 7));
    line(" maxpar = ", by_magnitude(s.MAXPAR, 7));
    line(" qcycle = ", fixed(s.QCYCLE, s.QCYCLE < 10.0f ? 3 : s.QCYCLE < 100.0f ? 4 : 5, 1));
    line(" efile = ", quoted_name(s.EFILE));
    line(" kdef = ", integer(s.KDEF, 1));
    line(" kzmix = ", integer(s.KZMIX, 1));
    line(" kbls = ", integer(s.KBLS, 1));
    line(" kblt = ", integer(s.KBLT, 1));
    line(" isot = ", integer(s.ISOT, 3));
    line(" vscale = ", fixed(s.VSCALE, 5, 1));
    line(" hscale = ", fixed(s.HSCALE, 7, 1));
    line(" tvmix = ", fixed(s.TVMIX, 4, 2));
    line(" tkerd = ", fixed(s.TKERD, 4, 2));
    line(" tkern = ", fixed(s.TKERN, 4, 2));
    line(" kmix0 = ", by_magnitude(s.KMIX0, 3));
    line(" kmixd = ", by_magnitude(s.KMIXD, 4));
    line(" ninit = ", integer(s.NINIT, 1));
    line(" ndump = ", by_magnitude(s.NDUMP, 4));
    line(" ncycl = ", by_magnitude(s.NCYCL, 4));
    line(" pinpf = ", quoted_name(s.PINPF));
    line(" poutf = ", quoted_name(s.POUTF));
    line(" mgmin = ", by_magnitude(s.MGMIN, 4));
    line(" conage = ", by_magnitude(s.CONAGE, 3));
    line(" kmsl = ", integer(s.KMSL, 1));
    line(" ichem = ", integer(s.ICHEM, 1));
    line(" cpack = ", integer(s.CPACK, 1));
    line(" cmass = ", integer(s.CMASS, 1));
    line(" kspl = ", integer(s.KSPL, 1));
    line(" krnd = ", integer(s.KRND, 1));
    line(" frhmax = ", fixed(s.FRHMAX, 4, 2));
    line(" splitf = ", fixed(s.SPLITF, 4, 2));
    line(" frhs = ", fixed(s.FRHS, 4, 2));
    line(" frvs = ", fixed(s.FRVS, 4, 2));
    line(" frts = ", fixed(s.FRTS, 4, 2));
    line(" dxf = ", fixed(s.DXF, 4, 2));
    line(" dyf = ", fixed(s.DYF, 4, 2));
    line(" dzf = ", fixed(s.DZF, 4, 2));
    t += " /\n";
    return t;
}

void write_conc_cfg(RunContext& ctx) {
    TextOut out;
    if (!out.open("CONC.CFG", "main", ctx.console)) {
        ctx.console.list("*ERROR* main: unable to create file - CONC.CFG");
        throw RunStop(kStopInput);
    }
    out.raw(conc_cfg_text(ctx.setup));
    out.close();
    ctx.control_input.close();
}

void write_configuration_report(const Settings& s, const InternalVerticalGrid& grid, const Pollutant& first,
                                const MeteoDataFlags& flags, Messages msg) {
    msg.log.list("ORVANTE49 (Oct 2008)");
    msg.log.line(" ");
    msg.log.list("------------- Start Namelist configuration -------------------");
    msg.log.list("Internal grid parameters (nlvl,aa,bb,cc): ", grid.nlvl, grid.aa, grid.bb, grid.cc);
    Settings copy = s;
    msg.log.raw(write_namelist("SETUP", setup_items(copy)));
    msg.log.list("------------- End Namelist configuration -------------------");
    msg.log.line(" ");
    msg.console.list("Calculation Started ... please be patient");

    msg.log.list(" NOTICE   main: pollutant initialization flags");
    const std::pair<const char*, bool> pollutant_flags[] = {
        {"      Gas pollutant - ", first.is_gas}, {"     Dry deposition - ", first.DODRY},
        {"     Wet deposition - ", first.DOWET},  {"        Dynamic dry - ", first.DORES},
        {"      Grav settling - ", first.DOGRV},  {"       Resuspension - ", first.DOSUS},
        {"        Radioactive - ", first.DORAD},  {"Volume Unit Convert - ", first.DOVOL},
    };
    for (const auto& [label, on] : pollutant_flags)
        if (on) msg.log.list(label, true);

    msg.log.list(" NOTICE   main: meteorological data flags");
    msg.log.list("    Ten meter wind - ", flags.ten_metre_wind);
    msg.log.list("    Two meter temp - ", flags.two_metre_temperature);
    msg.log.list("    Exchange coeff - ", flags.exchange_coefficient);
    msg.log.list("         Heat flux - ", flags.heat_flux);
    msg.log.list("     Momentum flux - ", flags.momentum_flux);
    msg.log.list(" Velocity variance - ", flags.velocity_variance);
    msg.log.list("      3D TKE field - ", flags.tke);
    msg.log.list("    Down shortwave - ", flags.down_shortwave);
    msg.log.list(" Friction velocity - ", flags.friction_velocity);
    msg.log.list("     Friction temp - ", flags.friction_temperature);
    msg.log.list("    Terrain height - ", flags.terrain_height);
    msg.log.list("  Surface pressure - ", flags.surface_pressure);
    msg.log.list(" Mixed layer depth - ", flags.mixed_layer_depth);
    msg.log.list(" Profile averaging - ", flags.kzmix);
    msg.log.list("  Stability method - ", flags.kbls);
    msg.log.list(" Horizontal mixing - ", flags.kdef);
    msg.log.list(" PBL mixing scheme - ", flags.kblt);
    msg.log.list("  Free Trop Mixing - ", flags.tvmix);
    msg.log.list(" Precip accumulate - ", flags.precip_accumulation);
    msg.log.list("------------- Start computation messages -------------------");
}

}  // namespace orv
