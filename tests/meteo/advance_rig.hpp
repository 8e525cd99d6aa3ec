#pragma once
// A meteorological run in miniature for the particle-advance tests and the
// benchmark: generated data files and surface files in a scratch directory,
// the set-up of the files, the internal vertical grid, and the records the
// particle advance takes.

#include <memory>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "common/text_output.hpp"
#include "run/calendar.hpp"
#include "meteo/advpnt.hpp"
#include "meteo/grid_projection.hpp"
#include "meteo/grid_selection.hpp"
#include "meteo/map_projection.hpp"
#include "tests/meteo/meteo_test_support.hpp"
#include "tests/test_support.hpp"
#include "tools/analytic_met.hpp"
#include "tools/met_writer.hpp"
#include "tools/surface_writer.hpp"

namespace orv::test {

// The standard recipe: pressure levels, every field the model reads, hourly
// periods from 2024-07-01 00:00.
inline fixture::MetFileRecipe advance_recipe(const fixture::GridShape& grid, int32_t periods, int32_t levels = 10) {
    static const float pressures[] = {1000, 975, 950, 925, 900, 850, 800, 750, 700, 650, 600, 550, 500,
                                      450,  400, 350, 300, 250, 200, 150, 100, 70,  50,  30,  20,  10};
    tminit();
    fixture::MetFileRecipe r;
    r.grid = grid;
    r.levels = {0.0f};
    for (int32_t k = 0; k < levels; ++k) r.levels.push_back(pressures[k]);
    r.surface_vars = {"PRSS", "SHGT", "T02M", "U10M", "V10M", "PBLH", "DSWF", "USTR", "SHTF", "TPP1"};
    r.upper_vars = {"HGTS", "TEMP", "UWND", "VWND", "WWND", "RELH"};
    TextOut quiet;
    r.start = tm2min(24, 7, 1, 0, 0, quiet);
    r.periods = periods;
    r.interval = 60;
    return r;
}

class AdvanceRig {
public:
    ScratchDir dir;
    MeteoState met;
    Settings settings;
    RunControl run;
    DepositionSwitches deposition;
    InternalVerticalGrid grid;
    std::vector<float> sigma;
    std::vector<ProfileRow> profile;
    MetAtParticle at;
    std::ostringstream log_text;
    TextOut log;
    TestConsole console;
    int32_t start = 0;

    // Writes the data (one file per recipe, as times of grid 1, or as grids
    // when `as_grids`) and the surface files, and sets the meteorology up.
    void set_up(const std::vector<fixture::MetFileRecipe>& recipes, const fixture::FieldFunction& field,
                bool as_grids = false) {
        log.attach(log_text);
        fixture::write_surface_files(".", fixture::SurfaceRecipe{});
        std::vector<std::vector<std::string>> names;
        for (size_t n = 0; n < recipes.size(); ++n) {
            const std::string name = "met" + std::to_string(n + 1) + ".bin";
            fixture::write_met_file(name, recipes[n], field);
            if (as_grids || names.empty()) names.push_back({});
            names.back().push_back(name);
        }
        SetupRun setup(names);
        setup.vertical_motion = run.vertical_motion;
        const int32_t code = setup.run();
        if (code != 0) throw std::runtime_error("set-up failed: " + setup.console);
        met.files = std::move(setup.met);
        run.vertical_motion = setup.vertical_motion;
        run.grid_count = setup.grids;
        run.time_count = setup.times;
        start = recipes.front().start;
        grid = set_internal_vertical_grid(met.files, run.grid_count, run.entered_model_top, console.out);
        sigma = make_sigma_profile(grid, run.model_top);
        profile.assign(static_cast<size_t>(grid.nlvl), ProfileRow{});
    }

    AdvanceContext context() const { return AdvanceContext{settings, run, deposition, grid, sigma}; }

    // A particle at a latitude and longitude on grid 1, height in m above ground.
    ParticlePosition particle_at(float lat, float lon, float height = 250.0f, int32_t type = 0) const {
        ParticlePosition p;
        const MetGridDefinition& g = met.files.grid(1, 1);
        if (g.latlon)
            convert_geo_to_latlon_grid(g, lat, lon, p.x, p.y);
        else
            convert_geo_to_projection_grid(g.projection, lat, lon, p.x, p.y);
        p.z = 1.0f - height / run.model_top;
        p.grid = 1;
        p.type = type;
        return p;
    }

    AdvanceResult advance(ParticlePosition& p, int32_t model_time, float dt) {
        return advpnt(met, context(), AdvanceStep{model_time, dt}, p, at, profile, console.with(log));
    }

    // Advances for `steps` steps of dt minutes from `from`.
    void run_steps(ParticlePosition& p, int32_t from, float dt, int32_t steps) {
        int32_t t = from;
        for (int32_t n = 0; n < steps && p.grid != 0; ++n) {
            advance(p, t, dt);
            t += static_cast<int32_t>(dt);
        }
    }

    std::string log_str() const { return log_text.str(); }
};

}  // namespace orv::test
