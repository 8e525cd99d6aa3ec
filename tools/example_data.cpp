#include "tools/example_data.hpp"

#include <cmath>
#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "common/fortran_format.hpp"
#include "run/calendar.hpp"
#include "tools/atomic_file.hpp"
#include "tools/oxidant_writer.hpp"

namespace orv::fixture {

namespace {

constexpr float kPressureLevels[] = {1000, 975, 950, 925, 900, 850, 800, 750, 700, 650, 600, 550, 500,
                                     450,  400, 350, 300, 250, 200, 150, 100, 70,  50,  30,  20,  10};

std::vector<float> level_values(int32_t type, int32_t n) {
    std::vector<float> lv;
    switch (type) {
        case 1:  // sigma
            lv.push_back(1.0f);
            for (int32_t k = 1; k <= n; ++k)
                lv.push_back(std::round(10000.0f * (1.0f - 0.95f * static_cast<float>(k * k) / (n * n))) / 10000.0f);
            break;
        case 3: {  // terrain-following height below a 25 km data top
            lv.push_back(25000.0f);
            for (int32_t k = 1; k <= n; ++k)
                lv.push_back(std::round(18000.0f * static_cast<float>(k * k) / static_cast<float>(n * n)));
            break;
        }
        case 4:  // hybrid: whole hPa plus a fraction of the surface pressure
            lv.push_back(0.0f);
            for (int32_t k = 1; k <= n; ++k) {
                float b = std::round(100.0f * (1.0f - 0.9f * static_cast<float>(k) / n)) / 100.0f;
                float a = std::round(80.0f * static_cast<float>(k) / n);
                lv.push_back(a + b);
            }
            break;
        default:  // pressure
            if (n > static_cast<int32_t>(std::size(kPressureLevels)))
                throw std::invalid_argument("at most 26 pressure levels");
            lv.push_back(0.0f);
            for (int32_t k = 0; k < n; ++k) lv.push_back(kPressureLevels[k]);
            break;
    }
    return lv;
}

std::string precipitation_id(int32_t interval) {
    switch (interval) {
        case 60: return "TPP1";
        case 180: return "TPP3";
        case 360: return "TPP6";
        default: return "TPPA";
    }
}

bool is_global(const ExampleOptions& o) { return o.grid == "global"; }

}  // namespace

AnalyticMet example_atmosphere(const ExampleOptions& o) {
    tminit();
    AnalyticMet m;
    m.wind = o.wind;
    m.u = o.u;
    m.v = o.v;
    m.grid_relative = o.grid_relative;
    TextOut console(std::cout);  // a date the calendar refuses is reported here
    m.t0 = tm2min(o.year, o.month, o.day, o.hour, 0, console);
    if (o.wind == AnalyticMet::Wind::LinearInTime) m.dv_dt = 0.25;
    m.daily_cycle = o.daily_cycle;
    // A 500 m hill at the centre.
    const double clat = o.centre_lat, clon = o.centre_lon;
    m.terrain = [clat, clon](double lat, double lon) {
        double dlon = std::remainder(lon - clon, 360.0) * std::cos(clat * 0.017453292519943295);
        double d2 = (lat - clat) * (lat - clat) + dlon * dlon;
        return 500.0 * std::exp(-d2 / 9.0);
    };
    if (o.rain) {
        m.rain = true;
        m.rain_lat_min = -90.0;
        m.rain_lat_max = clat;
        m.rain_lon_min = is_global(o) ? -180.0 : clon - 180.0;
        m.rain_lon_max = is_global(o) ? 0.0 : clon;
        m.rain_amount = 0.002;
    }
    return m;
}

MetFileRecipe example_met_recipe(const ExampleOptions& o) {
    tminit();
    MetFileRecipe s;
    const std::string& g = o.grid;
    if (g == "global") {
        float d = o.spacing > 0.0f ? o.spacing : 1.0f;
        s.grid = GridShape::global(d);
    } else if (g == "latlon") {
        float d = o.spacing > 0.0f ? o.spacing : 0.5f;
        int32_t nx = o.nx > 0 ? o.nx : 60, ny = o.ny > 0 ? o.ny : 40;
        float lat1 = o.centre_lat - 0.5f * d * static_cast<float>(ny - 1);
        float lon1 = o.centre_lon - 0.5f * d * static_cast<float>(nx - 1);
        s.grid = GridShape::latlon(lat1, lon1, d, d, nx, ny);
    } else {
        float km = o.spacing > 0.0f ? o.spacing : 40.0f;
        int32_t nx = o.nx > 0 ? o.nx : 60, ny = o.ny > 0 ? o.ny : 50;
        if (g == "lambert")
            s.grid = GridShape::lambert(o.centre_lat, o.centre_lon, km, nx, ny);
        else if (g == "polar")
            s.grid = GridShape::polar(o.centre_lat, o.centre_lon, km, nx, ny);
        else if (g == "mercator")
            s.grid = GridShape::mercator(o.centre_lat, o.centre_lon, km, nx, ny);
        else
            throw std::invalid_argument("unknown grid '" + g + "' (lambert, polar, mercator, latlon, global)");
    }
    if (o.vertical_type < 1 || o.vertical_type > 4) throw std::invalid_argument("vertical type 1 to 4");
    if (o.levels < 1 || o.levels > kMaxMetLevels - 1) throw std::invalid_argument("1 to 74 upper levels");
    s.vertical_type = o.vertical_type;
    s.levels = level_values(o.vertical_type, o.levels);
    // No 2 m temperature or 10 m wind: a file that lists them draws two
    // warnings into every run's message log. The run derives the surface
    // temperature and the lowest wind from the lowest data level instead.
    s.surface_vars = {"PRSS", "SHGT", "PBLH", "DSWF", "USTR", "SHTF"};
    if (o.rain) s.surface_vars.push_back(precipitation_id(o.interval));
    switch (o.vertical_type) {
        case 2: s.upper_vars = {"HGTS", "TEMP", "UWND", "VWND", "WWND", "RELH"}; break;
        case 3: s.upper_vars = {"PRES", "TEMP", "UWND", "VWND", "DZDT", "RELH"}; break;
        default: s.upper_vars = {"PRES", "TEMP", "UWND", "VWND", "WWND", "RELH"}; break;
    }
    TextOut console(std::cout);  // a date the calendar refuses is reported here
    s.start = tm2min(o.year, o.month, o.day, o.hour, 0, console);
    s.periods = o.periods;
    s.interval = o.interval;
    return s;
}

SurfaceRecipe example_surface(const ExampleOptions& o, const AnalyticMet& atmosphere) {
    SurfaceRecipe s;  // global 1-degree grid
    const float water_south_of = o.centre_lat - 10.0f;
    s.landuse = [water_south_of](float lat, float) { return lat < water_south_of ? 7 : 2; };
    s.roughness = [water_south_of](float lat, float) { return lat < water_south_of ? 0.01f : 0.2f; };
    s.terrain = [atmosphere](float lat, float lon) { return static_cast<float>(atmosphere.terrain_at(lat, lon)); };
    return s;
}

MetFileRecipe example_file_recipe(const ExampleOptions& o, int32_t f) {
    if (o.files < 1 || o.files > o.periods) throw std::invalid_argument("1 to `periods` files");
    MetFileRecipe s = example_met_recipe(o);
    const int32_t first = (f - 1) * o.periods / o.files;
    const int32_t next = f * o.periods / o.files;
    s.start += first * o.interval;
    s.periods = next - first;
    return s;
}

std::string example_file_name(const ExampleOptions& o, int32_t f) {
    return o.files == 1 ? o.name + ".bin" : o.name + "_" + std::to_string(f) + ".bin";
}

std::string example_control(const ExampleOptions& o, const std::vector<std::string>& met_files) {
    static const fmt::Format start("(4I3)");
    static const fmt::Format location("(2F10.3,F8.1)");
    static const fmt::Format one_int("(I6)");
    static const fmt::Format one_real("(F10.1)");
    static const fmt::Format two_ints("(2I3)");
    static const fmt::Format two_reals("(2F10.3)");
    const int32_t run_minutes = std::max(0, (o.periods - 1) * o.interval);
    const int32_t hours = o.run_hours >= 0 ? o.run_hours : std::min(run_minutes / 60, 24);
    std::string t;
    t += fmt::write(start, o.year % 100, o.month, o.day, o.hour);
    t += fmt::write(one_int, 1);
    t += fmt::write(location, o.centre_lat, o.centre_lon, 50.0f);
    t += fmt::write(one_int, hours);
    t += fmt::write(one_int, 0);
    t += fmt::write(one_real, 10000.0f);
    t += fmt::write(two_ints, 1, static_cast<int32_t>(met_files.size()));
    for (const std::string& f : met_files) t += "./\n" + f + "\n";
    // One pollutant released for an hour from the run start; a mercury run
    // releases elemental mercury with some divalent mercury, gas and on soot.
    struct Species {
        const char* id;
        float rate;
    };
    const std::vector<Species> species =
        o.mercury ? std::vector<Species>{{"HG0", 1.0f}, {"HG2", 0.2f}, {"HG2X", 0.0f}, {"HGP", 0.1f}}
                  : std::vector<Species>{{"TEST", 1.0f}};
    t += fmt::write(one_int, static_cast<int32_t>(species.size()));
    for (const Species& sp : species) {
        t += std::string(sp.id) + "\n";
        t += fmt::write(one_real, sp.rate);
        t += fmt::write(one_real, 1.0f);
        t += "0 0 0 0 0\n";
    }
    // One concentration grid averaged over 6 hours, 10 degrees of latitude
    // by 15 of longitude: 5 degrees west of the source and 10 east of it,
    // room for the 24 hours that the default west wind carries the puffs
    // about 430 km east.
    const float grid_lon = std::remainder(o.centre_lon + 2.5f, 360.0f);
    t += fmt::write(one_int, 1);
    t += fmt::write(two_reals, o.centre_lat, grid_lon);
    t += fmt::write(two_reals, 0.1f, 0.1f);
    t += fmt::write(two_reals, 10.0f, 15.0f);
    t += "./\ncdump\n";
    t += fmt::write(one_int, 1);
    t += fmt::write(one_int, 100);
    t += "0 0 0 0 0\n0 0 0 0 0\n0 6 0\n";
    // Gases without deposition (the mercury steps set their own), with a
    // shape factor of 1, the value the mercury deposition takes when none is given.
    t += fmt::write(one_int, static_cast<int32_t>(species.size()));
    for (size_t k = 0; k < species.size(); ++k) t += "0.0 0.0 1.0\n0.0 0.0 0.0 0.0 0.0\n0.0 0.0 0.0\n0.0\n0.0\n";
    return t;
}

ExampleFiles write_example(const std::string& dir, const ExampleOptions& o) {
    ExampleFiles out;
    const AnalyticMet atmosphere = example_atmosphere(o);
    const FieldFunction field = atmosphere.function();
    for (int32_t f = 1; f <= o.files; ++f) {
        const std::string name = example_file_name(o, f);
        write_met_file((std::filesystem::path(dir) / name).string(), example_file_recipe(o, f), field);
        out.met_files.push_back(name);
    }
    if (o.surface) {
        write_surface_files(dir, example_surface(o, atmosphere));
        out.surface_files = {"ASCDATA.CFG", "LANDUSE.ASC", "ROUGLEN.ASC", "TERRAIN.ASC"};
    }
    if (o.control) {
        AtomicFile f((std::filesystem::path(dir) / "CONTROL").string());
        f.out() << example_control(o, out.met_files);
        f.commit();
        out.control_file = "CONTROL";
    }
    return out;
}

// A fixed 10-minute step rather than the automatic one: the mercury
// chemistry then sees the puffs of each hour's vertical split before they
// grow back down into the surface layer. Room for 30000 puffs: the splits of
// the 24 hours fill it at times, but splitting is back on at the end.
std::string example_setup_cfg() {
    return " &SETUP\n initd = 2,\n maxdim = 4,\n numpar = 100,\n maxpar = 30000,\n delt = 10,\n ndump = 6,\n"
           " ncycl = 6,\n /\n";
}

std::string example_hg_setup_cfg(const std::string& oxidant_dir) {
    return " &HG_SETUP\n rxn_conc_dir = '" + oxidant_dir + "',\n dep_delta = 480,\n /\n";
}

std::string example_receptor_file(const ExampleOptions& o) {
    static const fmt::Format line("(I3,1X,A,I3,A,I3,I3,4F9.3)");
    const float lat = o.centre_lat, lon = o.centre_lon;
    std::string t = "id name category name2 land division west east south north\n";
    // Around the source, over cropland.
    t += fmt::write(line, 1, "source", 13, " x", 2, 1, lon - 1.0f, lon + 1.0f, lat - 1.0f, lat + 1.0f);
    // Downwind (the example wind blows from the west), in two divisions.
    t += fmt::write(line, 2, "downwind", 13, " x", 2, 1, lon + 1.0f, lon + 2.0f, lat - 0.5f, lat + 0.5f);
    t += fmt::write(line, 2, "downwind", 13, " x", 2, 2, lon + 2.0f, lon + 3.0f, lat - 0.75f, lat + 0.75f);
    // A lake to the south; a category the run does not select.
    t += fmt::write(line, 3, "lake", 13, " x", 7, 1, lon - 0.5f, lon + 0.5f, lat - 3.0f, lat - 2.0f);
    t += fmt::write(line, 4, "unused", 12, " x", 2, 1, lon - 5.0f, lon - 4.0f, lat, lat + 1.0f);
    return t;
}

std::string example_cep_file(const ExampleOptions& o) {
    static const fmt::Format line("(I3,A,I3,1X,A,2F9.3,I3)");
    const float lat = o.centre_lat, lon = o.centre_lon;
    std::string t = "category text number name lat lon code\n";
    t += fmt::write(line, 14, " x", 1, "'near source'", lat + 0.2f, lon + 0.3f, 2);
    t += fmt::write(line, 14, " x", 2, "downwind", lat, lon + 1.5f, 2);
    t += fmt::write(line, 14, " x", 3, "lake", lat - 2.5f, lon, 7);
    t += fmt::write(line, 13, " x", 4, "unused", lat, lon - 4.5f, 2);
    return t;
}

CompleteExample write_complete_example(const std::string& root, ExampleOptions o) {
    namespace fs = std::filesystem;
    CompleteExample out;
    example_file_recipe(o, 1);  // unusable options throw before anything is written
    const fs::path run = fs::path(root) / "run";
    const fs::path receptors = fs::path(root) / "receptors";
    const fs::path oxidants = fs::path(root) / "oxidants";
    fs::create_directories(run);
    fs::create_directories(receptors);
    o.mercury = true;
    o.control = true;
    out.run_dir = run.string();
    out.files = write_example(out.run_dir, o);
    auto write_text = [](const fs::path& path, const std::string& text) {
        AtomicFile f(path.string());
        f.out() << text;
        f.commit();
        return path.string();
    };
    write_text(run / "SETUP.CFG", example_setup_cfg());
    write_text(run / "Hg_SETUP.CFG", example_hg_setup_cfg("../oxidants/"));
    out.receptor_files.push_back(write_text(receptors / "recp_data.txt", example_receptor_file(o)));
    out.receptor_files.push_back(write_text(receptors / "cep_data.txt", example_cep_file(o)));
    out.oxidant_files = write_oxidant_month(oxidants.string(), o.month, OxidantMonth{});
    return out;
}

}  // namespace orv::fixture
