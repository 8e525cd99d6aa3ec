#include "meteo/metinp.hpp"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "common/blank_trim.hpp"
#include "common/fortran_format.hpp"
#include "common/number_text.hpp"
#include "common/run_stop.hpp"
#include "run/calendar.hpp"
#include "meteo/met_value_bounds.hpp"
#include "meteo/packed_format.hpp"

namespace orv {

namespace {

constexpr int32_t kMissingAllowed = 20;
constexpr float kTkeFill = 0.2f;

void fill_window(const FieldView3D& f, const UnpackWindow& w, int32_t levels, float value) {
    if (f.empty()) return;
    for (int32_t k = 1; k <= levels; ++k)
        for (int32_t j = 1; j <= w.ny; ++j)
            for (int32_t i = 1; i <= w.nx; ++i) f.at(i, j, k) = value;
}

// The window must lie on the grid and every 3-D field wanted must hold the
// levels read.
void check_window(const std::string& path, const MetGridDefinition& gd, const UnpackWindow& w, int32_t upper,
                  const MetinpFields& fields, TextOut& console) {
    if (w.x1 < 1 || w.y1 < 1 || w.nx < 1 || w.ny < 1 || w.x1 + w.nx - 1 > gd.nx || w.y1 + w.ny - 1 > gd.ny)
        input_stop("metinp", path, 0, "sub-grid window lies outside the grid", console);
    for (const FieldView3D* f : {&fields.u, &fields.v, &fields.w, &fields.temperature, &fields.humidity,
                                 &fields.pressure, &fields.turbulence_1, &fields.turbulence_2, &fields.turbulence_3})
        if (!f->empty() && f->nz < upper) input_stop("metinp", path, 0, "field has fewer levels than are read",
                                                     console);
}

// 2. The record buffer.
std::vector<char> record_buffer(int64_t record_length, TextOut& console) {
    std::vector<char> buf;
    try {
        buf.resize(static_cast<size_t>(record_length));
    } catch (const std::bad_alloc&) {
        console.list("*ERROR* metinp: memory allocation");
        throw RunStop(kStopInput);
    }
    return buf;
}

// The date and data time of a period, and the record its data begin at.
struct PeriodStart {
    int32_t y = 0, m = 0, d = 0, h = 0, fc = 0;
    int32_t time = 0;  // accumulated minutes
    int64_t data_record = 0;
};

// 3-4. The period's first record gives the data time; an indexed file's data
// follow its index records.
PeriodStart read_period_start(MetFileEntry& fe, const MetFileLayout& lay, int64_t nxy, int64_t first_record,
                              std::vector<char>& buf, TextOut& console) {
    static const fmt::Format time_label("(5I2)");
    static const fmt::Format int3("(I3)");
    static const fmt::Format int2("(I2)");
    static const fmt::Format int4("(I4)");
    const size_t first_len = lay.format == 2 ? kLabelLength + kFixedHeaderLength : kLabelLength;
    if (!fe.file.read(first_record, std::span<char>(buf.data(), first_len)))
        input_stop("metinp", fe.path, 0, "reading index record in meteo file", console);
    PeriodStart p;
    p.data_record = first_record;
    int32_t minutes = 0;
    try {
        fmt::read(std::string_view(buf.data(), kLabelLength), time_label, p.y, p.m, p.d, p.h, p.fc);
        if (lay.format == 2) {
            std::string_view hdr(buf.data() + kLabelLength, kFixedHeaderLength);
            int32_t lenh = 0;
            fmt::read(hdr.substr(4, 3), int3, p.fc);
            fmt::read(hdr.substr(104, 4), int4, lenh);
            fmt::read(hdr.substr(7, 2), int2, minutes);
            if (lenh < 0) throw InputError("negative header length");
            p.data_record += index_record_count(lenh, nxy);
        }
    } catch (const InputError& e) {
        input_stop("metinp", fe.path, 0, std::string("bad index record: ") + e.what(), console);
    }
    if (!plausible_label_date(p.y, p.m, p.d, p.h)) input_stop("metinp", fe.path, 0,
                                                              "record label holds no valid date", console);
    p.time = tm2min(p.y, p.m, p.d, p.h, 0, console) + minutes;
    return p;
}

// Unpacks the record in the buffer over the window into a field; a field
// left empty is not wanted.
struct RecordUnpack {
    const uint8_t* bytes;
    int32_t nx, ny;  // the file's grid
    const UnpackWindow& w;

    void operator()(const FieldView2D& target, const DataLabel& lb) const {
        if (target.empty()) return;
        int32_t no_checksum = -1;
        PAKINP(target, bytes, nx, ny, w, lb.prec, lb.nexp, lb.var1, no_checksum);
    }
};

// Where a record went: the window of values it left (empty when it was not
// wanted) and what they are.
struct Unpacked {
    FieldView2D field;
    MetQuantity quantity = MetQuantity::SurfacePressure;
};

// 7. A missing record: counted and reported unless it is a momentum flux
// the file does not hold. True when it counts.
bool report_missing(const DataLabel& lb, int32_t level, int32_t v, const MeteoDataFlags& flags, TextOut& log) {
    const FourChars& id = lb.id;
    if (!flags.momentum_flux && (id.is("UMOF") || id.is("VMOF"))) return false;
    log.list("WARNING metinp: missing data - ", id.view());
    log.list("          Time: ", lb.year, lb.month, lb.day, lb.hour, lb.forecast);
    log.list("         Level: ", level, "   Variable: ", v + 1);
    return true;
}

// 9. The field of a surface record, matched on the first three characters
// of its ID; none for any other ID.
Unpacked surface_target(const FourChars& id, const MeteoDataFlags& flags, const MetinpFields& fields) {
    using Q = MetQuantity;
    const bool ustar = flags.friction_velocity, tstar = flags.friction_temperature;
    if (id.starts("PRS")) return {fields.sfc_pressure, Q::SurfacePressure};
    if (id.starts("TMP") || id.starts("T02")) return {fields.temperature_2m, Q::Temperature};
    if (id.starts("U10")) return {fields.u10, Q::WindComponent};
    if (id.starts("V10")) return {fields.v10, Q::WindComponent};
    if (id.starts("SHG") || id.starts("HGT")) return {fields.terrain, Q::TerrainHeight};
    if (id.starts("MXH") || id.starts("HPB") || id.starts("PBL")) return {fields.mixed_layer_depth, Q::MixedLayerDepth};
    if (id.starts("TPP") || id.starts("PRT")) return {fields.precipitation, Q::Precipitation};
    if (id.starts("UST")) return ustar ? Unpacked{fields.momentum_x, Q::FrictionVelocity} : Unpacked{};
    if (id.starts("UMO")) return ustar ? Unpacked{} : Unpacked{fields.momentum_x, Q::MomentumFlux};
    if (id.starts("EXC")) return ustar ? Unpacked{} : Unpacked{fields.momentum_x, Q::ExchangeCoefficient};
    if (id.starts("VMO")) return ustar ? Unpacked{} : Unpacked{fields.momentum_y, Q::MomentumFlux};
    if (id.starts("TST")) return tstar ? Unpacked{fields.heat, Q::FrictionTemperature} : Unpacked{};
    if (id.starts("SHT") || id.starts("HFL")) return tstar ? Unpacked{} : Unpacked{fields.heat, Q::HeatFlux};
    if (id.starts("DSW")) return {fields.shortwave, Q::ShortwaveFlux};
    return {};
}

// 10. An upper record, matched on its whole ID, into its level. `scratch`
// holds a perturbation pressure over the window.
Unpacked unpack_upper_record(const DataLabel& lb, int32_t level, const MeteoDataFlags& flags,
                             const MetinpFields& fields, const RecordUnpack& unpack, std::vector<float>& scratch) {
    using Q = MetQuantity;
    const FourChars& id = lb.id;
    const UnpackWindow& w = unpack.w;
    auto lv = [&](const FieldView3D& f) { return f.empty() ? FieldView2D{} : f.level(level); };
    auto into = [&](const FieldView3D& f, Q q) {
        const Unpacked u{lv(f), q};
        unpack(u.field, lb);
        return u;
    };
    if (id.is("UWND") || id.is("VWND")) {
        const FieldView3D& f = id.is("UWND") ? fields.u : fields.v;
        const Unpacked u = into(f, Q::WindComponent);
        if (flags.stagger == 3 && !f.empty() && !fields.pressure.empty()) {
            FieldView2D t = u.field, p = lv(fields.pressure);
            for (int32_t j = 1; j <= w.ny; ++j)
                for (int32_t i = 1; i <= w.nx; ++i) t.at(i, j) = t.at(i, j) / p.at(i, j) / 100.0f;
        }
        return u;
    }
    if (id.is("WWND") || id.is("DZDT")) {
        const Unpacked u = into(fields.w, id.is("WWND") ? Q::PressureVelocity : Q::HeightVelocity);
        if (flags.stagger == 3 && id.is("WWND") && !u.field.empty()) {
            for (int32_t j = 1; j <= w.ny; ++j)
                for (int32_t i = 1; i <= w.nx; ++i) u.field.at(i, j) /= 100.0f;
        }
        return u;
    }
    if (id.is("TEMP")) return into(fields.temperature, Q::Temperature);
    if (id.is("THET")) return into(fields.temperature, Q::PotentialTemperature);
    if (id.is("SPHU")) return into(fields.humidity, Q::SpecificHumidity);
    if (id.is("RELH")) return into(fields.humidity, Q::RelativeHumidity);
    if (id.is("HGTS")) return into(fields.pressure, Q::LevelHeight);
    if (id.is("PRES")) return into(fields.pressure, Q::LevelPressure);
    if (id.is("TKEN") || id.is("VVAR")) return into(fields.turbulence_1, Q::Turbulence);
    if (id.is("UVAR")) return into(fields.turbulence_2, Q::Turbulence);
    if (id.is("WVAR")) return into(fields.turbulence_3, Q::Turbulence);
    if (id.is("PPRE")) {
        // Perturbation pressure: added to the pressure of the level,
        // whose potential temperatures then become temperatures.
        if (scratch.empty()) scratch.resize(static_cast<size_t>(w.nx) * w.ny);
        FieldView2D s{scratch.data(), w.nx};
        unpack(s, lb);
        if (fields.pressure.empty()) return {};
        FieldView2D p = lv(fields.pressure);
        FieldView2D t = lv(fields.temperature);
        for (int32_t j = 1; j <= w.ny; ++j) {
            for (int32_t i = 1; i <= w.nx; ++i) {
                p.at(i, j) += s.at(i, j);
                if (!t.empty()) t.at(i, j) *= std::pow(p.at(i, j) / 1000.0f, 0.286f);
            }
        }
        return {p, Q::LevelPressure};
    }
    return {};
}

// The values a record left in its field must lie within the bounds of what
// they are; the first that does not stops the run, naming the record.
void check_record_values(const MetFileEntry& fe, int64_t record, const DataLabel& lb, int32_t level,
                         const Unpacked& u, const UnpackWindow& w, TextOut& console) {
    if (u.field.empty()) return;
    const MetValueBounds& b = met_value_bounds(u.quantity);
    ValueOutside out;
    if (!find_value_outside(u.field, w.nx, w.ny, b, out)) return;
    const std::string units(b.units);
    input_stop("metinp", fe.path, 0,
               trim_trailing_blanks(lb.id.view()) + " " + number_text(out.value) + " " + units + " at point (" +
                   std::to_string(w.x1 + out.i - 1) + ", " + std::to_string(w.y1 + out.j - 1) + ") of level " +
                   std::to_string(level) + ", time " + std::to_string(lb.year) + " " + std::to_string(lb.month) +
                   " " + std::to_string(lb.day) + " " + std::to_string(lb.hour) + ", is outside the " +
                   std::string(b.name) + " bounds " + number_text(b.low) + " to " + number_text(b.high) + " " +
                   units + " (record " + std::to_string(record) + ")",
               console);
}

// 6-10. The data records of the file levels 0..upper from record `rec` on,
// each into its field. Returns the number of missing records.
int32_t read_data_records(MetFileEntry& fe, const MetFileLayout& lay, int64_t rec, int32_t upper,
                          std::vector<char>& buf, const RecordUnpack& unpack, const MetinpFields& fields,
                          Messages msg) {
    const auto& flags = lay.flags;
    std::vector<float> scratch;
    int32_t missing = 0;
    bool first_data = true;
    int32_t shift = 0;
    for (int32_t k = 0; k <= upper; ++k) {
        for (int32_t v = 0; v < lay.level_vars[k]; ++v) {
            if (!fe.file.read(rec, std::span<char>(buf.data(), static_cast<size_t>(fe.record_length))))
                input_stop("metinp", fe.path, 0, "reading data record in meteo file", msg.console);
            DataLabel lb;
            try {
                lb = read_data_label(std::string_view(buf.data(), kLabelLength));
            } catch (const InputError& e) {
                input_stop("metinp", fe.path, 0, std::string("bad data record label: ") + e.what(), msg.console);
            }
            const int64_t record = rec++;
            // 8. Labels that number the surface 1 are lowered by one.
            if (first_data) {
                shift = lb.level == 1 ? 1 : 0;
                first_data = false;
            }
            const int32_t level = lb.level - shift;

            if (lb.forecast < 0 || lb.id.is("NULL")) {
                if (report_missing(lb, level, v, flags, msg.log)) ++missing;
                continue;
            }
            Unpacked u;
            if (level < 1) {
                u = surface_target(lb.id, flags, fields);
                unpack(u.field, lb);
            } else {
                if (level > upper)
                    input_stop("metinp", fe.path, 0,
                               "record " + lb.id.str() + " is labelled level " + std::to_string(level) +
                                   ", beyond the levels read", msg.console);
                u = unpack_upper_record(lb, level, flags, fields, unpack, scratch);
            }
            check_record_values(fe, record, lb, level, u, unpack.w, msg.console);
        }
    }
    return missing;
}

}  // namespace

void metinp(MeteoFiles& met, int32_t kg, int32_t kt, int64_t first_record, const UnpackWindow& window,
            int32_t levels, int32_t& data_time, int32_t& forecast_hour, const MetinpFields& fields, Messages msg) {
    auto& fe = met.file(kg, kt);
    const auto& gd = met.grid(kg, kt);
    const auto& lay = met.layout(kg, kt);
    const auto& flags = lay.flags;

    // 1. Outside the file: warn and read nothing.
    if (first_record < 1) {
        msg.console.list("WARNING metinp: trying to read before file start - ", first_record);
        return;
    }
    if (first_record > fe.record_count) {
        msg.console.list("WARNING metinp: trying to read past end-of-file - ", first_record);
        return;
    }

    const UnpackWindow& w = window;
    const int32_t upper = std::clamp<int32_t>(levels, 0, gd.nz - 1);
    check_window(fe.path, gd, w, upper, fields, msg.console);

    const int64_t nxy = int64_t{gd.nx} * gd.ny;
    std::vector<char> buf = record_buffer(fe.record_length, msg.console);
    const PeriodStart p = read_period_start(fe, lay, nxy, first_record, buf, msg.console);

    // 5. The grid's place within the period.
    const int64_t rec = p.data_record + flags.record_offset;

    // 8. Levels without a TKE record hold the fill value.
    if (flags.tke) fill_window(fields.turbulence_1, w, upper, kTkeFill);

    const RecordUnpack unpack{reinterpret_cast<const uint8_t*>(buf.data() + kLabelLength), gd.nx, gd.ny, w};
    const int32_t missing = read_data_records(fe, lay, rec, upper, buf, unpack, fields, msg);

    // 11. Too many gaps in one period.
    if (missing > kMissingAllowed) {
        msg.log.list("*ERROR* metinp: too many missing times - ", 1);
        msg.log.list(" Current version no missing time permitted ");
        throw RunStop(kStopInput);
    }
    msg.log.list(" NOTICE metinp: ", gd.source_id.view(), kg, first_record, w.nx, w.ny, w.x1, w.y1, p.time, p.y, p.m,
                 p.d, p.h);
    data_time = p.time;
    forecast_hour = p.fc;
}

}  // namespace orv
