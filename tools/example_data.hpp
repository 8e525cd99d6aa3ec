#pragma once
// Ready-made data sets: a meteorological file set (one grid, its periods
// split over one or more files), "ASCDATA.CFG" and the three surface files,
// all from one analytic atmosphere; and the complete example of a mercury
// run: that data set with its CONTROL and settings files in a run directory,
// the receptor and cep definitions beside it in "receptors", and a month of
// oxidant files in "oxidants". The command-line generator writes these.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/analytic_met.hpp"
#include "tools/met_writer.hpp"
#include "tools/surface_writer.hpp"

namespace orv::fixture {

struct ExampleOptions {
    std::string grid = "lambert";  // lambert, polar, mercator, latlon, global
    int32_t nx = 0;                // 0: the grid's default size
    int32_t ny = 0;
    float spacing = 0.0f;          // km (projections) or degrees (latlon, global); 0: default
    float centre_lat = 40.0f;      // grid centre; the first point of a latlon grid is placed around it
    float centre_lon = -90.0f;
    int32_t year = 2024;
    int32_t month = 1;
    int32_t day = 1;
    int32_t hour = 0;
    int32_t periods = 25;
    int32_t interval = 60;  // minutes
    int32_t files = 1;
    int32_t vertical_type = 2;  // 1 sigma, 2 pressure, 3 terrain-following height, 4 hybrid
    int32_t levels = 10;        // upper levels
    AnalyticMet::Wind wind = AnalyticMet::Wind::Uniform;
    double u = 5.0;
    double v = 0.0;
    bool grid_relative = false;  // winds along the grid's axes instead of east and north
    bool rain = false;
    bool daily_cycle = true;
    std::string name = "orvmet";
    bool surface = true;
    bool control = true;  // also write a CONTROL file for a run on the data
    int32_t run_hours = -1;  // run hours of the CONTROL file; -1: the data's span, at most 24
    // The CONTROL file of a mercury run: four pollutants, the mercury species
    // (elemental, divalent in gas-droplet equilibrium, divalent from gas-phase
    // oxidation, divalent on soot), instead of one.
    bool mercury = false;
};

struct ExampleFiles {
    std::vector<std::string> met_files;      // file names, in time order
    std::vector<std::string> surface_files;
    std::string control_file;  // empty when none was written
};

// The pieces, for callers that want to change one before writing.
AnalyticMet example_atmosphere(const ExampleOptions& o);
MetFileRecipe example_met_recipe(const ExampleOptions& o);  // all periods, in one file
SurfaceRecipe example_surface(const ExampleOptions& o, const AnalyticMet& atmosphere);
// The recipe of file `f` (1-based) of o.files.
MetFileRecipe example_file_recipe(const ExampleOptions& o, int32_t f);
std::string example_file_name(const ExampleOptions& o, int32_t f);

// The text of a control file for a run on the example data: one source at
// the grid centre, one pollutant, one concentration grid from 5 degrees west
// of the source to 10 degrees east of it.
std::string example_control(const ExampleOptions& o, const std::vector<std::string>& met_files);

// Writes the data set into `dir` (which must exist). Throws
// std::invalid_argument on unusable options.
ExampleFiles write_example(const std::string& dir, const ExampleOptions& o);

// The settings files of a mercury run: SETUP.CFG with top-hat puffs (whose
// footprints the receptors see), the four mercury species, a fixed 10-minute
// time step and a particle dump every 6 hours, Hg_SETUP.CFG with
// the oxidant directory and receptor output every 8 hours.
std::string example_setup_cfg();
std::string example_hg_setup_cfg(const std::string& oxidant_dir);

// "recp_data.txt" and "cep_data.txt" with a few receptors (one of two
// divisions) and ceps around and downwind of the grid centre, and one line
// of an unselected category in each.
std::string example_receptor_file(const ExampleOptions& o);
std::string example_cep_file(const ExampleOptions& o);

struct CompleteExample {
    std::string run_dir;  // the working directory of the run: root/run
    ExampleFiles files;   // the data set in it
    std::vector<std::string> receptor_files;  // paths
    std::vector<std::string> oxidant_files;   // paths
};

// Writes the complete example under `root` (created when missing): the data
// set, CONTROL (mercury), SETUP.CFG and Hg_SETUP.CFG in root/run, the
// receptor and cep files in root/receptors, and the oxidant files of the
// start month in root/oxidants (about 27 MB).
CompleteExample write_complete_example(const std::string& root, ExampleOptions o);

}  // namespace orv::fixture
