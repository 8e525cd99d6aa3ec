#include "tools/met_writer.hpp"

#include <cmath>
#include <iostream>
#include <stdexcept>

#include "common/fortran_format.hpp"
#include "run/calendar.hpp"
#include "meteo/grid_projection.hpp"
#include "meteo/map_projection.hpp"
#include "meteo/packed_format.hpp"
#include "tools/atomic_file.hpp"
#include "tools/packing.hpp"

namespace orv::fixture {

namespace {

[[noreturn]] void bad_recipe(const std::string& what) { throw std::invalid_argument("met file: " + what); }

// A real in a fixed field of `width` columns with as many decimals as fit.
std::string fit_real(float v, int32_t width, int32_t max_decimals) {
    for (int32_t d = max_decimals; d >= 0; --d) {
        std::string s = fmt::format_fixed(v, width, d);
        if (s.find('*') == std::string::npos) return s;
    }
    bad_recipe("value " + std::to_string(v) + " does not fit in " + std::to_string(width) + " columns");
}

std::string fixed_header_text(const MetFileRecipe& recipe, int32_t minute, int32_t header_length) {
    const auto& g = recipe.grid;
    std::string s = FourChars(recipe.source_id).str();
    s += fmt::format_int(recipe.forecast_hour, 3);
    s += fmt::format_int(minute, 2);
    for (float r : g.header) s += fit_real(r, 7, 4);
    s += fmt::format_int(g.nx % 1000, 3);
    s += fmt::format_int(g.ny % 1000, 3);
    s += fmt::format_int(static_cast<int32_t>(recipe.levels.size()), 3);
    s += fmt::format_int(recipe.vertical_type, 2);
    s += fmt::format_int(header_length, 4);
    return s;
}

int32_t header_length_of(const MetFileRecipe& recipe) {
    int64_t n = kFixedHeaderLength;
    for (size_t k = 0; k < recipe.levels.size(); ++k)
        n += kLevelEntryLength + kVariableEntryLength * static_cast<int64_t>(recipe.vars_of_level(k).size());
    return static_cast<int32_t>(std::min<int64_t>(n, 1 << 30));
}

void validate(const MetFileRecipe& recipe) {
    const auto& g = recipe.grid;
    if (g.nx < 1 || g.ny < 1) bad_recipe("grid needs at least one point each way");
    if (g.nx / 1000 > 255 - 64 || g.ny / 1000 > 255 - 64) bad_recipe("grid too large for the grid field");
    if (int64_t{g.nx} * g.ny < kFixedHeaderLength) bad_recipe("grid too small: NX*NY must be at least 108");
    if (recipe.levels.empty() || recipe.levels.size() > static_cast<size_t>(kMaxMetLevels))
        bad_recipe("between 1 and 75 levels");
    if (!recipe.level_vars.empty() && recipe.level_vars.size() != recipe.levels.size())
        bad_recipe("one variable list per level");
    for (size_t k = 0; k < recipe.levels.size(); ++k) {
        if (recipe.vars_of_level(k).size() > static_cast<size_t>(kMaxMetVariables))
            bad_recipe("at most 35 variables per level");
        for (const auto& v : recipe.vars_of_level(k))
            if (v.empty() || v.size() > 4) bad_recipe("variable identifiers have 1 to 4 characters");
    }
    if (recipe.vertical_type < 1 || recipe.vertical_type > 4) bad_recipe("vertical type 1 to 4");
    if (header_length_of(recipe) > kMaxHeaderLength) bad_recipe("index header longer than 5000 characters");
    if (recipe.periods < 1 || recipe.interval < 1) bad_recipe("at least one period and a positive interval");
    if (recipe.source_id.size() > 4) bad_recipe("data-source identifier has at most 4 characters");
    if (recipe.grid_number < 0 || recipe.grid_number > 99) bad_recipe("grid number 0 to 99");
}

std::string label_time(const CalendarDate& d, int32_t forecast) {
    return fmt::format_int(d.year, 2) + fmt::format_int(d.month, 2) + fmt::format_int(d.day, 2) +
           fmt::format_int(d.hour, 2) + fmt::format_int(forecast, 2);
}

}  // namespace

GridShape GridShape::latlon(float lat1, float lon1, float dlat, float dlon, int32_t nx, int32_t ny) {
    GridShape g;
    g.nx = nx;
    g.ny = ny;
    g.header[kPoleLat] = lat1 + static_cast<float>(ny - 1) * dlat;
    g.header[kPoleLon] = lon1 + static_cast<float>(nx - 1) * dlon;
    g.header[kRefLat] = dlat;
    g.header[kRefLon] = dlon;
    g.header[kSyncLat] = lat1;
    g.header[kSyncLon] = lon1;
    return g;
}

GridShape GridShape::global(float d) {
    auto nx = static_cast<int32_t>(std::lround(360.0f / d));
    auto ny = static_cast<int32_t>(std::lround(180.0f / d)) + 1;
    return latlon(-90.0f, 0.0f, d, d, nx, ny);
}

GridShape GridShape::conformal(float tangent_lat, float ref_lat, float ref_lon, float grid_km, float sync_x,
                             float sync_y, float sync_lat, float sync_lon, float orientation, int32_t nx,
                             int32_t ny) {
    GridShape g;
    g.nx = nx;
    g.ny = ny;
    g.header = {tangent_lat >= 0.0f ? 90.0f : -90.0f, 0.0f, ref_lat, ref_lon, grid_km, orientation,
                tangent_lat, sync_x, sync_y, sync_lat, sync_lon, 0.0f};
    return g;
}

GridShape GridShape::lambert(float centre_lat, float centre_lon, float grid_km, int32_t nx, int32_t ny) {
    return conformal(centre_lat, centre_lat, centre_lon, grid_km, 0.5f * (nx + 1), 0.5f * (ny + 1), centre_lat,
                     centre_lon, 0.0f, nx, ny);
}

GridShape GridShape::polar(float centre_lat, float centre_lon, float grid_km, int32_t nx, int32_t ny) {
    float pole = centre_lat >= 0.0f ? 90.0f : -90.0f;
    return conformal(pole, pole * (60.0f / 90.0f), centre_lon, grid_km, 0.5f * (nx + 1), 0.5f * (ny + 1),
                     centre_lat, centre_lon, 0.0f, nx, ny);
}

GridShape GridShape::mercator(float centre_lat, float centre_lon, float grid_km, int32_t nx, int32_t ny) {
    return conformal(0.0f, centre_lat, centre_lon, grid_km, 0.5f * (nx + 1), 0.5f * (ny + 1), centre_lat,
                     centre_lon, 0.0f, nx, ny);
}

const std::vector<std::string>& MetFileRecipe::vars_of_level(size_t k) const {
    if (!level_vars.empty()) return level_vars[k];
    return k == 0 ? surface_vars : upper_vars;
}

FieldFunction with_patch(FieldFunction field, FieldPatch patch) {
    return [field = std::move(field), patch = std::move(patch)](std::string_view var, const FieldPoint& p) {
        const bool inside = patch.whole_grid || (p.lat >= patch.lat_min && p.lat <= patch.lat_max &&
                                                 p.lon >= patch.lon_min && p.lon <= patch.lon_max);
        return var == patch.var && inside ? patch.value : field(var, p);
    };
}

MetGridDefinition grid_definition(const MetFileRecipe& recipe) {
    validate(recipe);
    FixedHeader fh = read_fixed_header(fixed_header_text(recipe, 0, header_length_of(recipe)));
    MetGridDefinition g;
    g.source_id = fh.source_id;
    g.grid_number = recipe.grid_number;
    g.header = fh.reals;
    g.nx = recipe.grid.nx;
    g.ny = recipe.grid.ny;
    g.nz = fh.nz;
    set_up_met_grid(g);
    return g;
}

namespace {

void geo_of(const MetGridDefinition& grid, int32_t i, int32_t j, float& lat, float& lon) {
    if (grid.latlon)
        convert_latlon_grid_to_geo(grid, static_cast<float>(i), static_cast<float>(j), lat, lon);
    else
        convert_projection_grid_to_geo(grid.projection, static_cast<float>(i), static_cast<float>(j), lat, lon);
}

}  // namespace

FieldPoint field_point(const MetGridDefinition& grid, const MetFileRecipe& recipe, int32_t i, int32_t j,
                       int32_t level, int32_t time) {
    FieldPoint p;
    p.i = i;
    p.j = j;
    geo_of(grid, i, j, p.lat, p.lon);
    p.level = level;
    // The level values as the model reads them back.
    static const fmt::Format level_entry(kLevelFormat);
    auto read_level = [&](size_t k) {
        float h = 0.0f;
        int32_t n = 0;
        fmt::read(fit_real(recipe.levels[k], 6, 4) + " 0", level_entry, h, n);
        return h;
    };
    p.level_value = read_level(static_cast<size_t>(level));
    p.data_top = read_level(0);
    p.vertical_type = recipe.vertical_type;
    p.time = time;
    p.grid = &grid;
    return p;
}

MetFileSummary write_met_file(const std::string& path, const MetFileRecipe& recipe, const FieldFunction& field) {
    tminit();
    TextOut console(std::cout);  // a date the calendar refuses is reported here
    const MetGridDefinition grid = grid_definition(recipe);
    const int32_t nx = recipe.grid.nx, ny = recipe.grid.ny;
    const int64_t nxy = int64_t{nx} * ny;
    const int32_t nz = static_cast<int32_t>(recipe.levels.size());
    const int32_t lenh = header_length_of(recipe);
    const int64_t nindex = index_record_count(lenh, nxy);
    const std::string grid_field = encode_grid_field(recipe.grid_number, nx, ny);

    MetFileSummary sum;
    sum.index_records = static_cast<int32_t>(nindex);
    sum.header_length = lenh;
    int64_t nrec = nindex;
    for (int32_t k = 0; k < nz; ++k) nrec += static_cast<int64_t>(recipe.vars_of_level(k).size());
    sum.records_per_period = static_cast<int32_t>(nrec);

    // Positions do not change between periods and levels.
    const FieldPoint origin = field_point(grid, recipe, 1, 1, 0, 0);
    std::vector<FieldPoint> points(static_cast<size_t>(nxy), origin);
    for (int32_t j = 1; j <= ny; ++j) {
        for (int32_t i = 1; i <= nx; ++i) {
            FieldPoint& fp = points[(j - 1) * nx + (i - 1)];
            fp.i = i;
            fp.j = j;
            geo_of(grid, i, j, fp.lat, fp.lon);
        }
    }
    std::vector<float> levels(static_cast<size_t>(nz));
    for (int32_t k = 0; k < nz; ++k) levels[k] = field_point(grid, recipe, 1, 1, k, 0).level_value;

    AtomicFile file(path);
    std::vector<float> values(static_cast<size_t>(nxy));
    std::string record;
    std::string data;  // the period's data records

    for (int32_t p = 0; p < recipe.periods; ++p) {
        const int32_t time = recipe.start + p * recipe.interval;
        const CalendarDate date = tm2day(time, console);
        const std::string when = label_time(date, recipe.forecast_hour);
        std::string level_list;
        data.clear();
        for (int32_t k = 0; k < nz; ++k) {
            const auto& vars = recipe.vars_of_level(k);
            level_list += fit_real(recipe.levels[k], 6, 4) + fmt::format_int(static_cast<int32_t>(vars.size()), 2);
            const int32_t label_level = k + (recipe.surface_level_one ? 1 : 0);
            for (const auto& var : vars) {
                for (int64_t n = 0; n < nxy; ++n) {
                    FieldPoint fp = points[n];
                    fp.level = k;
                    fp.level_value = levels[k];
                    fp.data_top = levels[0];
                    fp.time = time;
                    values[n] = static_cast<float>(field(var, fp));
                }
                auto it = recipe.precision_of.find(var);
                float prec = it != recipe.precision_of.end() ? it->second : recipe.precision;
                PackedField pf = pack_field(values, nx, ny, prec);
                level_list += FourChars(var).str() + fmt::format_int(pf.checksum, 3) + " ";
                data += when + fmt::format_int(label_level, 2) + grid_field + FourChars(var).str() +
                        fmt::format_int(pf.nexp, 4) + pf.prec_text + pf.var1_text;
                data.append(reinterpret_cast<const char*>(pf.bytes.data()), pf.bytes.size());
            }
        }

        // The index records carry the header.
        std::string header = fixed_header_text(recipe, date.minute, lenh) + level_list;
        header.resize(static_cast<size_t>(nindex * nxy), ' ');
        for (int64_t r = 0; r < nindex; ++r) {
            record = when + fmt::format_int(0, 2) + grid_field + "INDX" + fmt::format_int(0, 4) +
                     fmt::format_exp(0.0, 14, 7) + fmt::format_exp(0.0, 14, 7);
            record.append(header, static_cast<size_t>(r * nxy), static_cast<size_t>(nxy));
            file.out().write(record.data(), static_cast<std::streamsize>(record.size()));
        }
        file.out().write(data.data(), static_cast<std::streamsize>(data.size()));
    }
    file.commit();
    sum.records = sum.records_per_period * int64_t{recipe.periods};
    return sum;
}

}  // namespace orv::fixture
