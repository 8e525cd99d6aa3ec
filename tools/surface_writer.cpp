#include "tools/surface_writer.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "common/fortran_format.hpp"
#include "common/text_output.hpp"
#include "tools/atomic_file.hpp"

namespace orv::fixture {

namespace {

std::string field4(double v) {
    auto n = static_cast<int64_t>(std::lround(std::clamp(v, -999.0, 9999.0)));
    return fmt::format_int(n, 4);
}

template <typename F>
void write_grid_file(const std::string& path, const SurfaceRecipe& s, F value) {
    AtomicFile file(path);
    std::string row;
    for (int32_t r = 1; r <= s.nlat; ++r) {
        const float lat = s.lat0 + (static_cast<float>(s.nlat - r) + 0.5f) * s.dlat;
        row.clear();
        for (int32_t c = 1; c <= s.nlon; ++c) {
            const float lon = s.lon0 + (static_cast<float>(c) - 0.5f) * s.dlon;
            row += field4(value(lat, lon));
        }
        row += '\n';
        file.out().write(row.data(), static_cast<std::streamsize>(row.size()));
    }
    file.commit();
}

}  // namespace

void write_surface_files(const std::string& dir, const SurfaceRecipe& s) {
    if (s.nlat < 1 || s.nlon < 1 || !(s.dlat > 0.0f) || !(s.dlon > 0.0f))
        throw std::invalid_argument("surface grid needs positive spacings and point counts");
    if (s.directory.find('\'') != std::string::npos)
        throw std::invalid_argument("surface directory must not hold a quote");
    const std::filesystem::path base(dir);

    {
        AtomicFile cfg((base / "ASCDATA.CFG").string());
        std::string text;
        text += list_line(s.lat0, s.lon0) + "   lower-left corner: latitude, longitude\n";
        text += list_line(s.dlat, s.dlon) + "   spacing: latitude, longitude (degrees)\n";
        text += list_line(s.nlat, s.nlon) + "   rows (latitudes), columns (longitudes)\n";
        text += list_line(s.default_landuse) + "   default land-use category\n";
        text += list_line(s.default_roughness) + "   default roughness length (m)\n";
        text += " '" + s.directory + "'   directory of the surface files\n";
        cfg.out() << text;
        cfg.commit();
    }

    if (s.write_landuse)
        write_grid_file((base / "LANDUSE.ASC").string(), s, [&](float lat, float lon) -> double {
            return s.landuse ? s.landuse(lat, lon) : s.default_landuse;
        });
    if (s.write_roughness)
        write_grid_file((base / "ROUGLEN.ASC").string(), s, [&](float lat, float lon) -> double {
            return 100.0 * (s.roughness ? s.roughness(lat, lon) : s.default_roughness);
        });
    if (s.write_terrain)
        write_grid_file((base / "TERRAIN.ASC").string(), s, [&](float lat, float lon) -> double {
            return s.terrain ? s.terrain(lat, lon) : 0.0;
        });
}

}  // namespace orv::fixture
