#include "meteo/metinp.hpp"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "common/fortran_format.hpp"
#include "common/run_stop.hpp"
#include "run/calendar.hpp"
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

}  // namespace

void metinp(MeteoFiles& met, int32_t kg, int32_t kt, int64_t first_record, const UnpackWindow& window,
            int32_t levels, int32_t& data_time, int32_t& forecast_hour, const MetinpFields& fields, Messages msg) {
    static const fmt::Format time_label("(5I2)");
    static const fmt::Format int3("(I3)");
    static const fmt::Format int2("(I2)");
    static const fmt::Format int4("(I4)");

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
    if (w.x1 < 1 || w.y1 < 1 || w.nx < 1 || w.ny < 1 || w.x1 + w.nx - 1 > gd.nx || w.y1 + w.ny - 1 > gd.ny)
        input_stop("metinp", fe.path, 0, "sub-grid window lies outside the grid", msg.console);
    const int32_t upper = std::clamp<int32_t>(levels, 0, gd.nz - 1);
    for (const FieldView3D* f : {&fields.u, &fields.v, &fields.w, &fields.temperature, &fields.humidity,
                                 &fields.pressure, &fields.turbulence_1, &fields.turbulence_2, &fields.turbulence_3})
        if (!f->empty() && f->nz < upper) input_stop("metinp", fe.path, 0, "field has fewer levels than are read",
                                                     msg.console);

    // 2. The record buffer.
    const int64_t nxy = int64_t{gd.nx} * gd.ny;
    std::vector<char> buf;
    std::vector<float> scratch;
    try {
        buf.resize(static_cast<size_t>(fe.record_length));
    } catch (const std::bad_alloc&) {
        msg.console.list("*ERROR* metinp: memory allocation");
        throw RunStop(kStopInput);
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(buf.data() + kLabelLength);

    // 3-4. The period's first record gives the data time.
    const size_t first_len = lay.format == 2 ? kLabelLength + kFixedHeaderLength : kLabelLength;
    if (!fe.file.read(first_record, std::span<char>(buf.data(), first_len)))
        input_stop("metinp", fe.path, 0, "reading index record in meteo file", msg.console);
    int32_t y = 0, m = 0, d = 0, h = 0, fc = 0;
    int64_t rec = first_record;
    int32_t minutes = 0;
    try {
        fmt::read(std::string_view(buf.data(), kLabelLength), time_label, y, m, d, h, fc);
        if (lay.format == 2) {
            std::string_view hdr(buf.data() + kLabelLength, kFixedHeaderLength);
            int32_t lenh = 0;
            fmt::read(hdr.substr(4, 3), int3, fc);
            fmt::read(hdr.substr(104, 4), int4, lenh);
            fmt::read(hdr.substr(7, 2), int2, minutes);
            if (lenh < 0) throw InputError("negative header length");
            rec += index_record_count(lenh, nxy);
        }
    } catch (const InputError& e) {
        input_stop("metinp", fe.path, 0, std::string("bad index record: ") + e.what(), msg.console);
    }
    if (!plausible_label_date(y, m, d, h)) input_stop("metinp", fe.path, 0, "record label holds no valid date",
                                                      msg.console);
    const int32_t time = tm2min(y, m, d, h, 0, msg.console) + minutes;

    // 5. The grid's place within the period.
    rec += flags.record_offset;

    // Levels without a TKE record hold the fill value.
    if (flags.tke) fill_window(fields.turbulence_1, w, upper, kTkeFill);

    auto unpack = [&](const FieldView2D& target, const DataLabel& lb) {
        if (target.empty()) return;
        int32_t no_checksum = -1;
        PAKINP(target, bytes, gd.nx, gd.ny, w, lb.prec, lb.nexp, lb.var1, no_checksum);
    };

    // 6-10. The data records of the levels read.
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
            ++rec;
            if (first_data) {
                shift = lb.level == 1 ? 1 : 0;
                first_data = false;
            }
            const int32_t level = lb.level - shift;
            const FourChars& id = lb.id;

            if (lb.forecast < 0 || id.is("NULL")) {
                if (!flags.momentum_flux && (id.is("UMOF") || id.is("VMOF"))) continue;
                ++missing;
                msg.log.list("WARNING metinp: missing data - ", id.view());
                msg.log.list("          Time: ", lb.year, lb.month, lb.day, lb.hour, lb.forecast);
                msg.log.list("         Level: ", level, "   Variable: ", v + 1);
                continue;
            }

            if (level < 1) {
                // Surface records, matched on three characters.
                if (id.starts("PRS")) unpack(fields.sfc_pressure, lb);
                else if (id.starts("TMP") || id.starts("T02")) unpack(fields.temperature_2m, lb);
                else if (id.starts("U10")) unpack(fields.u10, lb);
                else if (id.starts("V10")) unpack(fields.v10, lb);
                else if (id.starts("SHG") || id.starts("HGT")) unpack(fields.terrain, lb);
                else if (id.starts("MXH") || id.starts("HPB") || id.starts("PBL")) unpack(fields.mixed_layer_depth, lb);
                else if (id.starts("TPP") || id.starts("PRT")) unpack(fields.precipitation, lb);
                else if (id.starts("UST")) { if (flags.friction_velocity) unpack(fields.momentum_x, lb); }
                else if (id.starts("UMO") || id.starts("EXC")) { if (!flags.friction_velocity) unpack(fields.momentum_x, lb); }
                else if (id.starts("VMO")) { if (!flags.friction_velocity) unpack(fields.momentum_y, lb); }
                else if (id.starts("TST")) { if (flags.friction_temperature) unpack(fields.heat, lb); }
                else if (id.starts("SHT") || id.starts("HFL")) { if (!flags.friction_temperature) unpack(fields.heat, lb); }
                else if (id.starts("DSW")) unpack(fields.shortwave, lb);
                continue;
            }

            if (level > upper)
                input_stop("metinp", fe.path, 0,
                           "record " + id.str() + " is labelled level " + std::to_string(level) +
                               ", beyond the levels read", msg.console);

            auto lv = [&](const FieldView3D& f) { return f.empty() ? FieldView2D{} : f.level(level); };
            if (id.is("UWND") || id.is("VWND")) {
                const FieldView3D& f = id.is("UWND") ? fields.u : fields.v;
                unpack(lv(f), lb);
                if (flags.stagger == 3 && !f.empty() && !fields.pressure.empty()) {
                    FieldView2D t = lv(f), p = lv(fields.pressure);
                    for (int32_t j = 1; j <= w.ny; ++j)
                        for (int32_t i = 1; i <= w.nx; ++i) t.at(i, j) = t.at(i, j) / p.at(i, j) / 100.0f;
                }
            } else if (id.is("WWND") || id.is("DZDT")) {
                unpack(lv(fields.w), lb);
                if (flags.stagger == 3 && id.is("WWND") && !fields.w.empty()) {
                    FieldView2D t = lv(fields.w);
                    for (int32_t j = 1; j <= w.ny; ++j)
                        for (int32_t i = 1; i <= w.nx; ++i) t.at(i, j) /= 100.0f;
                }
            } else if (id.is("TEMP") || id.is("THET")) {
                unpack(lv(fields.temperature), lb);
            } else if (id.is("SPHU") || id.is("RELH")) {
                unpack(lv(fields.humidity), lb);
            } else if (id.is("HGTS") || id.is("PRES")) {
                unpack(lv(fields.pressure), lb);
            } else if (id.is("TKEN") || id.is("VVAR")) {
                unpack(lv(fields.turbulence_1), lb);
            } else if (id.is("UVAR")) {
                unpack(lv(fields.turbulence_2), lb);
            } else if (id.is("WVAR")) {
                unpack(lv(fields.turbulence_3), lb);
            } else if (id.is("PPRE")) {
                // Perturbation pressure: added to the pressure of the level,
                // whose potential temperatures then become temperatures.
                if (scratch.empty()) scratch.resize(static_cast<size_t>(w.nx) * w.ny);
                FieldView2D s{scratch.data(), w.nx};
                unpack(s, lb);
                if (!fields.pressure.empty()) {
                    FieldView2D p = lv(fields.pressure);
                    FieldView2D t = lv(fields.temperature);
                    for (int32_t j = 1; j <= w.ny; ++j) {
                        for (int32_t i = 1; i <= w.nx; ++i) {
                            p.at(i, j) += s.at(i, j);
                            if (!t.empty()) t.at(i, j) *= std::pow(p.at(i, j) / 1000.0f, 0.286f);
                        }
                    }
                }
            }
        }
    }

    // 11. Too many gaps in one period.
    if (missing > kMissingAllowed) {
        msg.log.list("*ERROR* metinp: too many missing times - ", 1);
        msg.log.list(" Current version no missing time permitted ");
        throw RunStop(kStopInput);
    }
    msg.log.list(" NOTICE metinp: ", gd.source_id.view(), kg, first_record, w.nx, w.ny, w.x1, w.y1, time, y, m, d, h);
    data_time = time;
    forecast_hour = fc;
}

}  // namespace orv
