// The meteorological set-up of a run: every data file is described, the
// field flags and per-file settings derived, the projections set up, and the
// grids and files put in order.

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "common/messages.hpp"
#include "common/run_stop.hpp"
#include "run/calendar.hpp"
#include "meteo/grid_projection.hpp"
#include "meteo/met_setup.hpp"

namespace orv {

namespace {

constexpr int32_t kMaxUnit = 49;
constexpr int32_t kFilesPermitted = 40;

// Field flags from the surface level's variable list.
// The warnings of the 2 m temperature and 10 m wind go with each listed
// field, as the data's own notices of fields only valid after the start.
void scan_surface_list(const MetFileLayout& lay, MeteoDataFlags& f, TextOut& log) {
    for (int32_t v = 0; v < lay.level_vars[0]; ++v) {
        const FourChars& id = lay.var_ids[0][v];
        const bool checked = lay.checksums[0][v] >= 0;
        if (id.is("TMPS") || id.is("T02M")) log.list("WARNING: metini - initial 2 m TEMP missing");
        if (id.is("U10M")) log.list("WARNING: metini - initial 10 m WIND missing");
        if (id.is("PBLH") || id.is("MXHT") || id.is("HPBL")) f.mixed_layer_depth = true;
        if (id.is("MUU0") || id.is("MUV0")) f.stagger = 3;
        if (id.is("DZDT")) f.sfc_vertical_velocity = true;
        if ((id.is("SHGT") || id.is("HGTS")) && checked) f.terrain_height = true;
        if (id.is("PRSS") && checked) f.surface_pressure = true;
        if (id.is("TMPS") || id.is("T02M")) f.two_metre_temperature = true;
        if (id.is("U10M")) f.ten_metre_wind = true;
        if (id.is("DSWF")) f.down_shortwave = true;
        if (id.is("UMOF") && checked) f.momentum_flux = true;
        if ((id.is("SHTF") || id.is("HFLX")) && checked) f.heat_flux = true;
        if (id.is("EXCO")) f.exchange_coefficient = true;
        if (id.is("USTR")) f.friction_velocity = true;
        if (id.is("TSTR")) f.friction_temperature = true;
        if (id.is("TPPA") || id.is("TPPS")) f.precip_accumulation = 99999;
        if (id.is("TPPD")) f.precip_accumulation = 1440;
        if (id.is("TPPT")) f.precip_accumulation = 720;
        if (id.is("TPP6")) f.precip_accumulation = 360;
        if (id.is("TPP3")) f.precip_accumulation = 180;
        if (id.is("TPP1")) f.precip_accumulation = 60;
        if (id.is("PRT6")) f.precip_accumulation = -360;
    }
}

// Field flags from the upper levels' variable lists.
void scan_upper_lists(const MetGridDefinition& gd, const MetFileLayout& lay, MeteoDataFlags& f) {
    for (int32_t k = 1; k < gd.nz; ++k) {
        for (int32_t v = 0; v < lay.level_vars[k]; ++v) {
            const FourChars& id = lay.var_ids[k][v];
            if (id.is("PRES")) f.upper_pressure = true;
            if (id.is("SPHU")) {
                f.specific_humidity = true;
                f.level_moisture[k] = true;
            }
            if (id.is("RELH")) f.level_moisture[k] = true;
            if (id.is("WWND") || id.is("DZDT")) f.level_vertical_velocity[k] = true;
            if (id.is("DZDT")) f.height_velocity = true;
            if (id.is("TKEN")) f.tke = true;
            if (id.is("UVAR")) f.velocity_variance = true;
        }
    }
}

// A projection or latitude-longitude grid that cannot place a point (zero
// increments, a scale that is not a positive finite length).
bool grid_usable(const MetGridDefinition& gd) {
    if (gd.latlon) return gd.header[kRefLat] != 0.0f && gd.header[kRefLon] != 0.0f;
    const auto& p = gd.projection;
    return std::isfinite(p.scale) && p.scale > 0.0f && std::isfinite(p.x0) && std::isfinite(p.y0);
}

// Grids i and j cover the same domain in the same way.
bool same_domain(const MetGridDefinition& a, const MetGridDefinition& b) {
    if (!(a.projection == b.projection) || a.nx != b.nx || a.ny != b.ny) return false;
    if (a.header[kSyncLat] != b.header[kSyncLat] || a.header[kSyncLon] != b.header[kSyncLon]) return false;
    if (a.latlon != b.latlon) return false;
    if (a.latlon && (a.header[kRefLat] != b.header[kRefLat] || a.header[kRefLon] != b.header[kRefLon])) return false;
    return true;
}

void swap_grid_rows(MeteoFiles& met, int32_t a, int32_t b) {
    for (int32_t kt = 1; kt <= kMaxMetTimes; ++kt) std::swap(met.slot(a, kt), met.slot(b, kt));
}

// Several grids of one time each: finest grid first, then grids that cover
// the same domain become further times of one grid.
void order_and_merge_grids(MeteoFiles& met, int32_t& num_grids, int32_t& num_times) {
    std::vector<float> key(static_cast<size_t>(num_grids) + 1);
    for (int32_t kg = 1; kg <= num_grids; ++kg) key[kg] = met.grid(kg, 1).header[kGridSize];
    for (int32_t i = 1; i < num_grids; ++i) {
        int32_t best = i;
        for (int32_t j = i + 1; j <= num_grids; ++j)
            if (key[j] < key[best]) best = j;
        if (best != i) {
            swap_grid_rows(met, i, best);
            std::swap(key[i], key[best]);
        }
    }

    for (int32_t i = 1; i <= num_grids; ++i) {
        if (!met.grid(i, 1).in_use()) continue;
        for (int32_t j = i + 1; j <= num_grids; ++j) {
            if (!met.grid(j, 1).in_use() || !same_domain(met.grid(i, 1), met.grid(j, 1))) continue;
            int32_t free_slot = 0;
            for (int32_t kt = 2; kt <= kMaxMetTimes && free_slot == 0; ++kt)
                if (!met.grid(i, kt).in_use()) free_slot = kt;
            if (free_slot == 0) continue;
            met.slot(i, free_slot) = std::move(met.slot(j, 1));
            met.slot(j, 1) = MeteoFiles::Slot{};
            num_times = std::max(num_times, free_slot);
        }
    }

    int32_t kept = 0;
    for (int32_t kg = 1; kg <= num_grids; ++kg) {
        if (!met.grid(kg, 1).in_use()) continue;
        ++kept;
        if (kept != kg) swap_grid_rows(met, kept, kg);
    }
    num_grids = kept;
}

// Within each grid, the used time slots in order of their first time.
void order_times(MeteoFiles& met, int32_t num_grids, int32_t num_times) {
    for (int32_t kg = 1; kg <= num_grids; ++kg) {
        std::vector<int32_t> used;
        for (int32_t kt = 1; kt <= num_times; ++kt)
            if (met.grid(kg, kt).in_use()) used.push_back(kt);
        for (size_t i = 0; i + 1 < used.size(); ++i) {
            size_t best = i;
            for (size_t j = i + 1; j < used.size(); ++j)
                if (met.file(kg, used[j]).first.macc < met.file(kg, used[best]).first.macc) best = j;
            if (best != i) std::swap(met.slot(kg, used[i]), met.slot(kg, used[best]));
        }
    }
}

// 1. Bytes above 127 must survive a copy unchanged.
void check_byte_copy(TextOut& console) {
    volatile unsigned char a = 128;
    unsigned char b = a;
    if (b != 128) {
        console.list("*ERROR*: metini - ASCII character conversion not working");
        console.list("Contact support - modifications required to subroutine PAKINP");
        throw RunStop(kStopInput);
    }
}

// 5. Field flags start cleared; the staggering belongs to the grid.
void clear_field_flags(MetGridDefinition& gd, MeteoDataFlags& f) {
    MeteoDataFlags cleared;
    cleared.records_per_period = f.records_per_period;
    cleared.data_interval = f.data_interval;
    cleared.record_offset = f.record_offset;
    f = cleared;
    if (gd.source_id.is("AWRF")) {
        gd.stagger = WindStaggerOffsets{0.5f, 0.0f, 0.0f, 0.5f};
        f.stagger = 1;
    } else {
        gd.stagger = WindStaggerOffsets{};
        f.stagger = 0;
    }
}

// 9. Without vertical velocity in the data the vertical motion comes from
// the divergence; option 6 needs ETA data.
void check_vertical_motion(const MetGridDefinition& gd, const MeteoDataFlags& f, int32_t& vertical_motion,
                           TextOut& console) {
    const bool third_level_w = gd.nz >= 3 && f.level_vertical_velocity[2];
    if (!third_level_w && vertical_motion == 0) vertical_motion = 5;
    if (vertical_motion == 6 && !gd.source_id.is("ETA ") && !gd.source_id.is(" ETA") && !gd.source_id.is("EDAS")) {
        console.list("*ERROR*: metini - WVEL option 6 only valid with ETA data");
        console.list("Input data file: ", gd.source_id.view());
        throw RunStop(kStopInput);
    }
}

// 10. Terrain or surface pressure is needed.
void check_terrain_or_pressure(const MeteoDataFlags& f, TextOut& console) {
    if (!f.terrain_height && !f.surface_pressure) {
        console.list("*ERROR*: metini - input meteorology requires either");
        console.list("   Surface pressure: ", f.surface_pressure);
        console.list("   Terrain height  : ", f.terrain_height);
        throw RunStop(kStopInput);
    }
}

// 12. The settings for this file.
void take_settings(const Settings& settings, MeteoDataFlags& f) {
    f.kdef = std::clamp<int32_t>(settings.KDEF, 0, 1);
    f.kzmix = std::clamp<int32_t>(settings.KZMIX, 0, 3);
    f.kbls = std::clamp<int32_t>(settings.KBLS, 1, 2);
    f.kblt = std::clamp<int32_t>(settings.KBLT, 1, 4);
    f.tvmix = std::clamp(settings.TVMIX, 0.01f, 100.0f);
}

// 13-14. Settings the data of grid kg, time kt cannot support.
void adjust_to_data(MeteoDataFlags& f, int32_t kg, int32_t kt, TextOut& log) {
    if (f.kbls == 1 && (!(f.exchange_coefficient || f.friction_velocity || f.momentum_flux) ||
                        !(f.friction_temperature || f.heat_flux))) {
        log.list("WARNING: metini - FLUXES not found in data (kg,kt)", kg, kt);
        log.list("Setting KBLS=2 to use the wind/temp profiles!");
        f.kbls = 2;
    }
    if (f.kbls == 2 && (!f.ten_metre_wind || !f.two_metre_temperature)) {
        log.list("WARNING: metini - SFC wind/temp not found in data (kg,kt)", kg, kt);
        log.list("KBLS setting unchanged but compuatation may not be as accurate!");
    }
    if (f.kblt == 3 && !f.tke) {
        log.list("WARNING: metini - TKE not found in data (kg,kt)", kg, kt);
        log.list("Setting KBLT=1 to use Beljaaars-Betchov parameterization!");
        f.kblt = 1;
    }
    if (f.kblt == 4 && !f.velocity_variance) {
        log.list("WARNING: metini - VARIANCE not found in data (kg,kt)", kg, kt);
        log.list("Setting KBLT=1 to use Beljaaars-Betchov parameterization!");
        f.kblt = 1;
    }
}

// 3-14. The file of grid kg, time kt: its unit, its description, the field
// flags and settings that its data allow, and its grid's projection.
void set_up_file(const Settings& settings, RunControl& run, int32_t record_offset, int32_t kg, int32_t kt,
                 MeteoFiles& met, Messages msg) {
    auto& fe = met.file(kg, kt);
    auto& gd = met.grid(kg, kt);
    auto& lay = met.layout(kg, kt);
    fe.directory = run.met_files[kg - 1][kt - 1].directory;
    fe.file_name = run.met_files[kg - 1][kt - 1].file;

    // 3. The file's unit.
    fe.unit = 9 + kt + (kg - 1) * run.time_count;
    if (fe.unit > kMaxUnit) {
        msg.console.list("*ERROR* metini: exceeding maximum number of meteorology files");
        msg.console.list("Number permitted: ", kFilesPermitted);
        throw RunStop(kStopInput);
    }
    lay.flags.record_offset = record_offset;

    // 4. Open and describe the file.
    metset(met, kg, kt, msg);

    MeteoDataFlags& f = lay.flags;
    clear_field_flags(gd, f);

    // 6-8. The variable lists.
    scan_surface_list(lay, f, msg.log);
    scan_upper_lists(gd, lay, f);

    check_vertical_motion(gd, f, run.vertical_motion, msg.console);
    check_terrain_or_pressure(f, msg.console);

    // 11. The grid's projection.
    set_up_met_grid(gd);
    if (!grid_usable(gd)) input_stop("metini", fe.path, 0, "grid definition cannot place positions", msg.console);

    take_settings(settings, f);
    adjust_to_data(f, kg, kt, msg.log);
}

// 17. The start taken from the data: the earliest first time plus the
// offsets of the start (a backward run: the latest last time less them).
void take_start_from_data(const MeteoFiles& met, bool backward, SourceLocation& first_location, TextOut& console) {
    int32_t& year = first_location.start_year;
    int32_t& month = first_location.start_month;
    int32_t& day = first_location.start_day;
    int32_t& hour = first_location.start_hour;
    int32_t& minute = first_location.start_minute;
    // Offsets from the control input are taken wide, so that an absurd
    // day count ends in the calendar's range message, not in overflow.
    const int64_t offset = int64_t{day} * 1440 + int64_t{hour} * 60 + minute;
    int64_t best = backward ? 0 : tm2min(39, 12, 31, 23, 0, console);
    for (int32_t kg = 1; kg <= met.num_grids; ++kg) {
        for (int32_t kt = 1; kt <= met.num_times; ++kt) {
            if (!met.grid(kg, kt).in_use()) continue;
            const auto& fe = met.file(kg, kt);
            if (backward)
                best = std::max(best, fe.last.macc - offset);
            else
                best = std::min(best, fe.first.macc + offset);
        }
    }
    CalendarDate dt = tm2day(static_cast<int32_t>(std::clamp<int64_t>(best, -1, INT32_MAX)), console);
    year = dt.year;
    month = dt.month;
    day = dt.day;
    hour = dt.hour;
    minute = dt.minute;
}

}  // namespace

void metini(const Settings& settings, RunControl& run, SourceLocation& first_location, Messages msg,
            MeteoFiles& met) {
    int32_t& num_grids = run.grid_count;
    int32_t& num_times = run.time_count;
    check_byte_copy(msg.console);
    if (num_grids > kMaxMetGrids || num_times > kMaxMetTimes) {
        msg.console.list("*ERROR* metini: more meteorology grids or times than the tables hold - ", num_grids,
                         num_times);
        throw RunStop(kStopInput);
    }

    // 2. A southern start marks the southern grid of old-layout files.
    const float first_latitude = first_location.lat;
    const int32_t record_offset =
        first_latitude >= 0.0f ? 0 : static_cast<int32_t>(std::max(first_latitude, -90.0f));

    met = MeteoFiles{};
    met.num_grids = num_grids;
    met.num_times = num_times;
    for (int32_t kg = 1; kg <= num_grids; ++kg)
        for (int32_t kt = 1; kt <= num_times; ++kt) set_up_file(settings, run, record_offset, kg, kt, met, msg);

    // 15-16. Order of grids and times.
    if (num_grids > 1 && num_times == 1) order_and_merge_grids(met, num_grids, num_times);
    if (num_times > 1) order_times(met, num_grids, num_times);
    met.num_grids = num_grids;
    met.num_times = num_times;

    // 17. A start month of 0 takes the start from the data.
    if (first_location.start_month == 0) take_start_from_data(met, run.backward, first_location, msg.console);
}

}  // namespace orv
