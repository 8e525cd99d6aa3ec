#include "meteo/surface_files.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "common/fortran_format.hpp"
#include "common/run_stop.hpp"
#include "common/text_input.hpp"

namespace orv {

namespace {

constexpr const char* kNames[3] = {"LANDUSE.ASC", "ROUGLEN.ASC", "TERRAIN.ASC"};
constexpr const char* kDefaults[3] = {" Using default value category 2 agricultural", " Using default value 0.20 m",
                                      " Using default value 0 m"};

bool exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

// Truncation toward zero of v, kept within lo..hi (NaN gives lo).
int32_t trunc_clamped(float v, int32_t lo, int32_t hi) {
    if (!(v >= lo)) return lo;
    if (v > hi) return hi;
    return static_cast<int32_t>(v);
}

void read_ascdata(SurfaceFiles& s, TextOut& log) {
    std::string path = "ASCDATA.CFG";
    if (!exists(path)) path = "../bdyfiles/ASCDATA.CFG";
    if (!exists(path)) {
        log.list(" NOTICE sfcinp: no ASCDATA.CFG, using default");
        log.list("*ERROR* sfcinp: ASCDATA.CFG file not found!");
        log.list("Required in local directory or ../bdyfiles/");
        console("*ERROR* sfcinp: ASCDATA.CFG file not found!");
        console("  See MESSAGE file for more information  ");
        throw RunStop::plain();
    }
    TextInput in;
    if (!in.open(path)) input_stop("sfcinp", path, 0, "cannot open ASCDATA.CFG");
    log.list(" NOTICE sfcinp: reading ASCDATA.CFG");
    std::string dir;
    try {
        list_read(in, s.lat0, s.lon0);
        list_read(in, s.dlat, s.dlon);
        list_read(in, s.nlat, s.nlon);
        list_read(in, s.default_landuse);
        list_read(in, s.default_roughness);
        list_read(in, dir);
    } catch (const InputError& e) {
        input_stop("sfcinp", path, in.line_number(), e.what());
    }
    if (s.nlat < 1 || s.nlon < 1 || !(s.dlat > 0.0f) || !(s.dlon > 0.0f))
        input_stop("sfcinp", path, 0, "surface grid needs positive spacings and point counts");
    size_t first = dir.find_first_not_of(' ');
    s.directory = first == std::string::npos ? std::string() : dir.substr(first);
    size_t last = s.directory.find_last_not_of(' ');
    s.directory.resize(last == std::string::npos ? 0 : last + 1);
}

void open_surface_file(SurfaceFiles& s, int kind, TextOut& log) {
    auto& f = s.files[kind];
    f.looked_for = true;
    std::string path = kNames[kind];
    if (!exists(path)) path = s.directory + kNames[kind];
    const int64_t reclen = int64_t{s.nlon} * 4 + 1;
    if (!exists(path) || !f.file.open(path, reclen)) {
        log.list(std::string(" NOTICE sfcinp: ") + kNames[kind] + " file not found");
        log.list(" On default directory:", s.directory);
        log.list(kDefaults[kind]);
        return;
    }
    f.path = path;
    f.open = true;
    f.row = 0;
    f.buffer.assign(static_cast<size_t>(reclen), ' ');
}

}  // namespace

void sfcinp(SurfaceFiles& s, TextOut& log, float lat, float lon, float& roughness, int32_t& landuse,
            bool want_terrain, float& terrain) {
    if (!s.set_up) {
        read_ascdata(s, log);
        open_surface_file(s, SurfaceFiles::kLandUse, log);
        open_surface_file(s, SurfaceFiles::kRoughness, log);
        s.set_up = true;
    }
    if (want_terrain && !s.files[SurfaceFiles::kTerrain].looked_for)
        open_surface_file(s, SurfaceFiles::kTerrain, log);

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
        if (f.row != r) {
            if (!f.file.read(r, std::span<char>(f.buffer.data(), f.buffer.size())))
                input_stop("sfcinp", f.path, r, "surface file is truncated");
            f.row = r;
        }
        std::string_view field(f.buffer.data() + 4 * (col - 1), 4);
        try {
            if (kind == SurfaceFiles::kLandUse)
                landuse = fmt::parse_int_field(field);
            else if (kind == SurfaceFiles::kRoughness)
                roughness = fmt::parse_float_field(field, 0) * 0.01f;
            else
                terrain = fmt::parse_float_field(field, 0);
        } catch (const InputError& e) {
            input_stop("sfcinp", f.path, r, e.what());
        }
    }
}

}  // namespace orv
