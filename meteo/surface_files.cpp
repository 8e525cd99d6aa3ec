#include "meteo/surface_files.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>

#include "common/number_text.hpp"
#include "common/blank_trim.hpp"
#include "common/fortran_format.hpp"
#include "common/optional_input.hpp"
#include "common/run_stop.hpp"
#include "common/text_input.hpp"

namespace orv {

namespace {

// Rows and columns of the surface grid at most (a 0.0001-degree grid
// round the globe has 3.6 million columns).
constexpr int32_t kMaxSurfaceCount = 10000000;

constexpr const char* kNames[3] = {"LANDUSE.ASC", "ROUGLEN.ASC", "TERRAIN.ASC"};
constexpr const char* kDefaults[3] = {" Using default value category 2 agricultural", " Using default value 0.20 m",
                                      " Using default value 0 m"};

// Truncation toward zero of v, kept within lo..hi (NaN gives lo).
int32_t trunc_clamped(float v, int32_t lo, int32_t hi) {
    if (!(v >= lo)) return lo;
    if (v > hi) return hi;
    return static_cast<int32_t>(v);
}

// The grid of ASCDATA.CFG: counts that a file could hold, a corner on the
// globe and spacings that place a point.
void check_surface_grid(const SurfaceFiles& s, const std::string& path, TextOut& console) {
    auto refuse_text = [&](const std::string& item, const std::string& v, const std::string& allowed) {
        input_stop("sfcinp", path, 0, item + " " + v + " - must be " + allowed, console);
    };
    auto refuse = [&](const std::string& item, float v, const std::string& allowed) {
        refuse_text(item, number_text(v), allowed);
    };
    const std::string count_range = "1 to " + std::to_string(kMaxSurfaceCount);
    if (s.nlat < 1 || s.nlat > kMaxSurfaceCount)
        refuse_text("number of latitude rows", std::to_string(s.nlat), count_range);
    if (s.nlon < 1 || s.nlon > kMaxSurfaceCount)
        refuse_text("number of longitude columns", std::to_string(s.nlon), count_range);
    if (!(std::isfinite(s.lat0) && s.lat0 >= -90.0f && s.lat0 <= 90.0f))
        refuse("corner latitude", s.lat0, "within -90 to 90");
    if (!(std::isfinite(s.lon0) && s.lon0 >= -360.0f && s.lon0 <= 360.0f))
        refuse("corner longitude", s.lon0, "within -360 to 360");
    if (!(std::isfinite(s.dlat) && s.dlat > 0.0f && s.dlat <= 180.0f))
        refuse("latitude spacing", s.dlat, "above 0 and at most 180");
    if (!(std::isfinite(s.dlon) && s.dlon > 0.0f && s.dlon <= 360.0f))
        refuse("longitude spacing", s.dlon, "above 0 and at most 360");
}

void read_ascdata(SurfaceFiles& s, Messages msg) {
    std::string path = "ASCDATA.CFG";
    bool present = optional_input_present(path, "sfcinp", msg.console);
    if (!present) {
        path = "../bdyfiles/ASCDATA.CFG";
        present = optional_input_present(path, "sfcinp", msg.console);
    }
    if (!present) {
        msg.log.list(" NOTICE sfcinp: no ASCDATA.CFG, using default");
        msg.log.list("*ERROR* sfcinp: ASCDATA.CFG file not found!");
        msg.log.list("Required in local directory or ../bdyfiles/");
        msg.console.list("*ERROR* sfcinp: ASCDATA.CFG file not found!");
        msg.console.list("  See MESSAGE file for more information  ");
        throw RunStop::plain();
    }
    TextInput in;
    if (!in.open(path)) input_stop("sfcinp", path, 0, "cannot open ASCDATA.CFG", msg.console);
    msg.log.list(" NOTICE sfcinp: reading ASCDATA.CFG");
    std::string dir;
    try {
        list_read(in, s.lat0, s.lon0);
        list_read(in, s.dlat, s.dlon);
        list_read(in, s.nlat, s.nlon);
        list_read(in, s.default_landuse);
        list_read(in, s.default_roughness);
        list_read(in, dir);
    } catch (const InputError& e) {
        input_stop("sfcinp", path, in.line_number(), e.what(), msg.console);
    }
    check_surface_grid(s, path, msg.console);
    s.directory = trim_blanks(dir);
}

void open_surface_file(SurfaceFiles& s, int kind, Messages msg) {
    auto& f = s.files[kind];
    f.looked_for = true;
    std::string path = kNames[kind];
    bool present = optional_input_present(path, "sfcinp", msg.console);
    if (!present) {
        path = s.directory + kNames[kind];
        present = optional_input_present(path, "sfcinp", msg.console);
    }
    const int64_t reclen = int64_t{s.nlon} * 4 + 1;
    if (!present || !f.file.open(path, reclen)) {
        msg.log.list(std::string(" NOTICE sfcinp: ") + kNames[kind] + " file not found");
        msg.log.list(" On default directory:", s.directory);
        msg.log.list(kDefaults[kind]);
        return;
    }
    // The file must hold exactly the rows ASCDATA.CFG gives before its row
    // buffer is sized from them.
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    const int64_t want = int64_t{s.nlat} * reclen;
    if (ec || static_cast<int64_t>(size) != want)
        input_stop("sfcinp", path, 0,
                   "surface file length " + std::to_string(ec ? 0 : size) + " bytes - ASCDATA.CFG gives " +
                       std::to_string(s.nlat) + " rows of " + std::to_string(reclen) + " characters (" +
                       std::to_string(want) + " bytes)", msg.console);
    f.path = path;
    f.open = true;
    f.record_length = reclen;
    f.columns = s.nlon;
    const int64_t per_slot = reclen + int64_t{s.nlon} * static_cast<int64_t>(sizeof(uint32_t) + sizeof(bool)) +
                             static_cast<int64_t>(sizeof(int32_t));
    const int64_t slots = std::clamp<int64_t>(s.row_cache_bytes / per_slot, 1, s.nlat);
    const auto cells = static_cast<size_t>(slots * s.nlon);
    f.slot_row.assign(static_cast<size_t>(slots), 0);
    f.rows = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(slots * reclen));
    f.values = std::make_unique_for_overwrite<uint32_t[]>(cells);
    f.parsed = std::make_unique_for_overwrite<bool[]>(cells);
}

// The slot holding row r of an open file; the row is read when the slot
// holds no row or another one.
size_t slot_of_row(SurfaceFiles::File& f, int32_t r, TextOut& console) {
    const size_t slot = static_cast<size_t>(r - 1) % f.slot_row.size();
    if (f.slot_row[slot] != r) {
        f.slot_row[slot] = 0;
        char* row = f.rows.get() + static_cast<int64_t>(slot) * f.record_length;
        if (!f.file.read(r, std::span<char>(row, static_cast<size_t>(f.record_length))))
            input_stop("sfcinp", f.path, r, "surface file is truncated", console);
        bool* parsed = f.parsed.get() + slot * static_cast<size_t>(f.columns);
        std::fill(parsed, parsed + f.columns, false);
        f.slot_row[slot] = r;
    }
    return slot;
}

// Column col of row r, parsed on its first use while the row is held. A
// field that does not parse stops the run whenever it is used.
template <class T, class Parse>
T surface_field(SurfaceFiles::File& f, int32_t r, int32_t col, TextOut& console, Parse parse) {
    const size_t slot = slot_of_row(f, r, console);
    const size_t cell = slot * static_cast<size_t>(f.columns) + static_cast<size_t>(col - 1);
    if (!f.parsed[cell]) {
        std::string_view field(f.rows.get() + static_cast<int64_t>(slot) * f.record_length + 4 * (col - 1), 4);
        T v{};
        try {
            v = parse(field);
        } catch (const InputError& e) {
            input_stop("sfcinp", f.path, r, e.what(), console);
        }
        f.values[cell] = std::bit_cast<uint32_t>(v);
        f.parsed[cell] = true;
    }
    return std::bit_cast<T>(f.values[cell]);
}

float parse_real(std::string_view field) { return fmt::parse_float_field(field, 0); }

}  // namespace

void sfcinp(SurfaceFiles& s, Messages msg, float lat, float lon, float& roughness, int32_t& landuse,
            bool want_terrain, float& terrain) {
    if (!s.set_up) {
        read_ascdata(s, msg);
        open_surface_file(s, SurfaceFiles::kLandUse, msg);
        open_surface_file(s, SurfaceFiles::kRoughness, msg);
        s.set_up = true;
    }
    if (want_terrain && !s.files[SurfaceFiles::kTerrain].looked_for)
        open_surface_file(s, SurfaceFiles::kTerrain, msg);

    roughness = s.default_roughness;
    landuse = s.default_landuse;
    terrain = 0.0f;
    bool any_open = false;
    for (const auto& f : s.files) any_open = any_open || f.open;
    if (!any_open) return;

    // A grid all round the globe takes every longitude.
    float x = lon;
    if (static_cast<float>(s.nlon) * s.dlon >= 359.999f) {
        x = std::fmod(x - s.lon0, 360.0f);
        if (x < 0.0f) x += 360.0f;
        x += s.lon0;
    }
    const int32_t row = s.nlat - trunc_clamped((lat - s.lat0) / s.dlat, -1, s.nlat);
    const int32_t r = std::clamp(row, 1, s.nlat);
    const int32_t col = std::clamp(trunc_clamped((x - s.lon0) / s.dlon, -1, s.nlon) + 1, 1, s.nlon);

    for (int kind = 0; kind < 3; ++kind) {
        auto& f = s.files[kind];
        if (!f.open) continue;
        if (kind == SurfaceFiles::kLandUse)
            landuse = surface_field<int32_t>(f, r, col, msg.console, fmt::parse_int_field);
        else if (kind == SurfaceFiles::kRoughness)
            roughness = surface_field<float>(f, r, col, msg.console, parse_real) * 0.01f;
        else
            terrain = surface_field<float>(f, r, col, msg.console, parse_real);
    }
}

}  // namespace orv
