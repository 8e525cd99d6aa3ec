// orvfixture: writes analytic meteorological test data in the packed format
// the model reads, with "ASCDATA.CFG" and the surface files. Run it with
// --help for its options; with none but a directory it writes the example
// data set (a Lambert grid over the central United States, a day of hourly
// periods).

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "tools/emission_inputs.hpp"
#include "tools/example_data.hpp"
#include "tools/oxidant_writer.hpp"

namespace {

const char* kUsage =
    "usage: orvfixture [options] DIR\n"
    "\n"
    "Writes a packed meteorological data set from an analytic atmosphere into\n"
    "DIR (created when missing), with ASCDATA.CFG and the surface files\n"
    "LANDUSE.ASC, ROUGLEN.ASC and TERRAIN.ASC. Without options it writes the\n"
    "example: a 60 x 50 Lambert grid of 40 km centred at 40N 90W, 10 pressure\n"
    "levels, 25 hourly periods from 2024-01-01 00:00, a uniform 5 m/s west\n"
    "wind, in the file orvmet.bin.\n"
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
    "  --no-surface         write no ASCDATA.CFG and surface files\n"
    "  --no-control         write no CONTROL file (by default one is written for\n"
    "                       a run on the data: one source at the centre, one\n"
    "                       pollutant, one concentration grid)\n"
    "  -h, --help           this text\n"
    "\n"
    "orvfixture oxidants [options] DIR writes monthly oxidant files instead;\n"
    "see orvfixture oxidants --help.\n"
    "orvfixture emissions|inventory|samplers|rates [options] DIR writes an emission\n"
    "file, a gridded inventory, a sampler file or a conversion table; see\n"
    "orvfixture COMMAND --help.\n";

[[noreturn]] void fail(const std::string& what) {
    std::cerr << "orvfixture: " << what << "\n" << "Try 'orvfixture --help'.\n";
    std::exit(2);
}

struct Args {
    std::vector<std::string> a;
    size_t i = 1;
    std::string take(const std::string& opt) {
        if (i >= a.size()) fail("option " + opt + " needs a value");
        return a[i++];
    }
    int32_t take_int(const std::string& opt) {
        std::string s = take(opt);
        try {
            size_t n = 0;
            long v = std::stol(s, &n);
            if (n != s.size()) throw std::invalid_argument(s);
            return static_cast<int32_t>(v);
        } catch (const std::exception&) {
            fail("option " + opt + ": '" + s + "' is not a whole number");
        }
    }
    double take_real(const std::string& opt) {
        std::string s = take(opt);
        try {
            size_t n = 0;
            double v = std::stod(s, &n);
            if (n != s.size()) throw std::invalid_argument(s);
            return v;
        } catch (const std::exception&) {
            fail("option " + opt + ": '" + s + "' is not a number");
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "oxidants") return orv::fixture::oxidant_fixture_main(argc - 1, argv + 1);
    if (argc > 1 && orv::fixture::is_emission_inputs_command(argv[1]))
        return orv::fixture::emission_inputs_main(argc - 1, argv + 1);
    using orv::fixture::AnalyticMet;
    orv::fixture::ExampleOptions o;
    Args args;
    args.a.assign(argv, argv + argc);
    std::string dir;
    while (args.i < args.a.size()) {
        const std::string opt = args.a[args.i++];
        if (opt == "-h" || opt == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (opt == "--grid") {
            o.grid = args.take(opt);
        } else if (opt == "--size") {
            o.nx = args.take_int(opt);
            o.ny = args.take_int(opt);
        } else if (opt == "--spacing") {
            o.spacing = static_cast<float>(args.take_real(opt));
        } else if (opt == "--centre" || opt == "--center") {
            o.centre_lat = static_cast<float>(args.take_real(opt));
            o.centre_lon = static_cast<float>(args.take_real(opt));
        } else if (opt == "--start") {
            o.year = args.take_int(opt);
            o.month = args.take_int(opt);
            o.day = args.take_int(opt);
            o.hour = args.take_int(opt);
        } else if (opt == "--periods") {
            o.periods = args.take_int(opt);
        } else if (opt == "--interval") {
            o.interval = args.take_int(opt);
        } else if (opt == "--files") {
            o.files = args.take_int(opt);
        } else if (opt == "--vertical") {
            std::string v = args.take(opt);
            if (v == "sigma") o.vertical_type = 1;
            else if (v == "pressure") o.vertical_type = 2;
            else if (v == "terrain") o.vertical_type = 3;
            else if (v == "hybrid") o.vertical_type = 4;
            else fail("unknown vertical coordinate '" + v + "'");
        } else if (opt == "--levels") {
            o.levels = args.take_int(opt);
        } else if (opt == "--wind") {
            std::string w = args.take(opt);
            if (w == "uniform") o.wind = AnalyticMet::Wind::Uniform;
            else if (w == "rotation") o.wind = AnalyticMet::Wind::SolidBody;
            else if (w == "linear") o.wind = AnalyticMet::Wind::LinearInTime;
            else fail("unknown wind '" + w + "'");
        } else if (opt == "--uv") {
            o.u = args.take_real(opt);
            o.v = args.take_real(opt);
        } else if (opt == "--grid-winds") {
            o.grid_relative = true;
        } else if (opt == "--rain") {
            o.rain = true;
        } else if (opt == "--steady") {
            o.daily_cycle = false;
        } else if (opt == "--name") {
            o.name = args.take(opt);
        } else if (opt == "--no-surface") {
            o.surface = false;
        } else if (opt == "--no-control") {
            o.control = false;
        } else if (!opt.empty() && opt[0] == '-') {
            fail("unknown option " + opt);
        } else if (dir.empty()) {
            dir = opt;
        } else {
            fail("more than one directory given");
        }
    }
    if (dir.empty()) fail("no output directory given");
    if (o.year < 1941 || o.year > 2099 || o.month < 1 || o.month > 12 || o.day < 1 || o.day > 31 || o.hour < 0 ||
        o.hour > 23)
        fail("start must be a date of 1941-2099 and an hour 0-23");

    try {
        std::filesystem::create_directories(dir);
        orv::fixture::ExampleFiles files = orv::fixture::write_example(dir, o);
        for (const auto& f : files.met_files) std::cout << (std::filesystem::path(dir) / f).string() << "\n";
        for (const auto& f : files.surface_files) std::cout << (std::filesystem::path(dir) / f).string() << "\n";
        if (!files.control_file.empty()) std::cout << (std::filesystem::path(dir) / files.control_file).string() << "\n";
    } catch (const std::exception& e) {
        std::cerr << "orvfixture: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
