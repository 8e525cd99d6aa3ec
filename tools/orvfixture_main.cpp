// orvfixture: writes test data in the layouts the model reads. By default
// the complete example of a mercury run: analytic meteorological data in the
// packed format with "ASCDATA.CFG", the surface files, CONTROL and the
// settings files in DIR/run, the receptor and cep definitions in
// DIR/receptors and a month of oxidant files in DIR/oxidants. Run it with
// --help for its options.

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "tools/command_line.hpp"
#include "tools/emission_inputs.hpp"
#include "tools/example_data.hpp"
#include "tools/oxidant_writer.hpp"

namespace {

const char* kUsage =
    "usage: orvfixture [options] DIR\n"
    "\n"
    "Writes the complete example of a mercury run under DIR (created when\n"
    "missing):\n"
    "  DIR/run        the working directory: a packed meteorological data set\n"
    "                 from an analytic atmosphere, ASCDATA.CFG with the surface\n"
    "                 files LANDUSE.ASC, ROUGLEN.ASC and TERRAIN.ASC, CONTROL\n"
    "                 (one source at the grid centre releasing the four mercury\n"
    "                 species for an hour, one concentration grid), SETUP.CFG\n"
    "                 and Hg_SETUP.CFG\n"
    "  DIR/receptors  recp_data.txt and cep_data.txt: three receptors and three\n"
    "                 ceps around and downwind of the source\n"
    "  DIR/oxidants   the oxidant files of the start month (about 27 MB)\n"
    "Run the model in DIR/run. Without options the data are a 60 x 50 Lambert\n"
    "grid of 40 km centred at 40N 90W, 10 pressure levels, 25 hourly periods\n"
    "from 2024-01-01 00:00 and a uniform 5 m/s west wind, in orvmet.bin.\n"
    "\n"
    "Grid:\n"
    "  --grid KIND          lambert, polar, mercator, latlon or global\n"
    "  --size NX NY         grid points (default 60 50; latlon 60 40)\n"
    "  --spacing S          km on a projection (default 40), degrees on a\n"
    "                       latlon grid (default 0.5) or global grid (default 1)\n"
    "  --centre LAT LON     grid centre (default 40 -90)\n"
    "Time:\n"
    "  --start Y M D H      first period (default 2024 1 1 0)\n"
    "  --periods N          number of periods (default 25)\n"
    "  --interval MIN       minutes between periods (default 60)\n"
    "  --files N            split the periods over N files NAME_1.bin ... (default 1)\n"
    "  --hours N            run hours in CONTROL (default: the data's span, at\n"
    "                       most 24)\n"
    "Levels:\n"
    "  --vertical TYPE      pressure (default), sigma, terrain or hybrid\n"
    "  --levels N           upper levels (default 10)\n"
    "Fields:\n"
    "  --wind KIND          uniform (default), rotation (solid-body rotation\n"
    "                       about the earth's axis) or linear (v grows 0.25 m/s\n"
    "                       per hour)\n"
    "  --uv U V             wind toward east and north, m/s (default 5 0)\n"
    "  --grid-winds         U and V along the grid's x and y axes instead\n"
    "  --rain               rain south-west of the centre\n"
    "  --steady             no daily cycle of the boundary layer\n"
    "Files:\n"
    "  --name NAME          data file name stem (default orvmet)\n"
    "  --met-only           write only the data set into DIR itself: the\n"
    "                       meteorological files, the surface files and a CONTROL\n"
    "                       file of one pollutant\n"
    "  --no-surface         with --met-only: no ASCDATA.CFG and surface files\n"
    "  --no-control         with --met-only: no CONTROL file\n"
    "  -h, --help           this text\n"
    "\n"
    "orvfixture oxidants [options] DIR writes monthly oxidant files instead;\n"
    "see orvfixture oxidants --help.\n"
    "orvfixture emissions|inventory|samplers|rates [options] DIR writes an emission\n"
    "file, a gridded inventory, a sampler file or a conversion table; see\n"
    "orvfixture COMMAND --help.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "oxidants") return orv::fixture::oxidant_fixture_main(argc - 1, argv + 1);
    if (argc > 1 && orv::fixture::is_emission_inputs_command(argv[1]))
        return orv::fixture::emission_inputs_main(argc - 1, argv + 1);
    using orv::fixture::AnalyticMet;
    orv::fixture::ExampleOptions o;
    orv::fixture::CommandLine args("orvfixture", argc, argv);
    bool met_only = false;
    while (args.more()) {
        const std::string opt = args.next();
        if (opt == "-h" || opt == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (opt == "--grid") {
            o.grid = args.take(opt);
        } else if (opt == "--size") {
            o.nx = args.whole(opt);
            o.ny = args.whole(opt);
        } else if (opt == "--spacing") {
            o.spacing = static_cast<float>(args.real(opt));
        } else if (opt == "--centre" || opt == "--center") {
            o.centre_lat = static_cast<float>(args.real(opt));
            o.centre_lon = static_cast<float>(args.real(opt));
        } else if (opt == "--start") {
            o.year = args.whole(opt);
            o.month = args.whole(opt);
            o.day = args.whole(opt);
            o.hour = args.whole(opt);
        } else if (opt == "--periods") {
            o.periods = args.whole(opt);
        } else if (opt == "--interval") {
            o.interval = args.whole(opt);
        } else if (opt == "--files") {
            o.files = args.whole(opt);
        } else if (opt == "--vertical") {
            std::string v = args.take(opt);
            if (v == "sigma") o.vertical_type = 1;
            else if (v == "pressure") o.vertical_type = 2;
            else if (v == "terrain") o.vertical_type = 3;
            else if (v == "hybrid") o.vertical_type = 4;
            else args.fail("unknown vertical coordinate '" + v + "'");
        } else if (opt == "--levels") {
            o.levels = args.whole(opt);
        } else if (opt == "--wind") {
            std::string w = args.take(opt);
            if (w == "uniform") o.wind = AnalyticMet::Wind::Uniform;
            else if (w == "rotation") o.wind = AnalyticMet::Wind::SolidBody;
            else if (w == "linear") o.wind = AnalyticMet::Wind::LinearInTime;
            else args.fail("unknown wind '" + w + "'");
        } else if (opt == "--uv") {
            o.u = args.real(opt);
            o.v = args.real(opt);
        } else if (opt == "--grid-winds") {
            o.grid_relative = true;
        } else if (opt == "--rain") {
            o.rain = true;
        } else if (opt == "--steady") {
            o.daily_cycle = false;
        } else if (opt == "--name") {
            o.name = args.take(opt);
        } else if (opt == "--hours") {
            o.run_hours = args.whole(opt);
            if (o.run_hours < 0) args.fail("option --hours: the run hours must be 0 or more");
        } else if (opt == "--met-only") {
            met_only = true;
        } else if (opt == "--no-surface") {
            o.surface = false;
        } else if (opt == "--no-control") {
            o.control = false;
        } else {
            args.positional(opt);
        }
    }
    const std::string& dir = args.directory();
    if (o.year < 1941 || o.year > 2099 || o.month < 1 || o.month > 12 || o.day < 1 || o.day > 31 || o.hour < 0 ||
        o.hour > 23)
        args.fail("start must be a date of 1941-2099 and an hour 0-23");

    if (!met_only && (!o.surface || !o.control)) args.fail("--no-surface and --no-control go with --met-only");
    try {
        std::filesystem::create_directories(dir);
        std::vector<std::string> written;
        if (met_only) {
            orv::fixture::ExampleFiles files = orv::fixture::write_example(dir, o);
            for (const auto& f : files.met_files) written.push_back((std::filesystem::path(dir) / f).string());
            for (const auto& f : files.surface_files) written.push_back((std::filesystem::path(dir) / f).string());
            if (!files.control_file.empty())
                written.push_back((std::filesystem::path(dir) / files.control_file).string());
        } else {
            orv::fixture::CompleteExample ex = orv::fixture::write_complete_example(dir, o);
            const std::filesystem::path run(ex.run_dir);
            for (const auto& f : ex.files.met_files) written.push_back((run / f).string());
            for (const auto& f : ex.files.surface_files) written.push_back((run / f).string());
            for (const char* f : {"CONTROL", "SETUP.CFG", "Hg_SETUP.CFG"}) written.push_back((run / f).string());
            for (const auto& f : ex.receptor_files) written.push_back(f);
            for (const auto& f : ex.oxidant_files) written.push_back(f);
        }
        for (const auto& f : written) std::cout << f << "\n";
    } catch (const std::exception& e) {
        std::cerr << args.label() << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}
