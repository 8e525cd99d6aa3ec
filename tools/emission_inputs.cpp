#include "tools/emission_inputs.hpp"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "run/calendar.hpp"
#include "tools/atomic_file.hpp"
#include "tools/command_line.hpp"

namespace orv::fixture {

namespace {

// A real with enough digits to read back the same float.
std::string real(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
    return buf;
}

std::string four_chars(const std::string& id) {
    std::string s = id.substr(0, 4);
    s.resize(4, ' ');
    return s;
}

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        out += c;
        if (c == '\'') out += c;
    }
    return out + "'";
}

void write_text(const std::string& path, const std::string& text) {
    AtomicFile f(path);
    f.out() << text;
    f.commit();
}

int32_t full_year(int32_t two_digits) { return two_digits + (two_digits < 40 ? 2000 : 1900); }

}  // namespace

std::string emission_file_text(const EmissionFileRecipe& r) {
    if (r.pollutants < 1) throw std::invalid_argument("an emission file needs at least one pollutant");
    if (r.groups < 0 || r.group_hours < 0 || r.release_hours < 0)
        throw std::invalid_argument("group and release hours must not be negative");
    tminit();
    TextOut console(std::cout);  // a date the calendar refuses is reported here
    const int32_t first = tm2min(r.year, r.month, r.day, r.hour, 0, console);
    std::string t = "Emission file written by orvfixture\n";
    t += "YYYY MM DD HH hours lines / YYYY MM DD HH mm HHMM lat lon height rate area heat\n";
    const int32_t lines = static_cast<int32_t>(r.sources.size()) * r.pollutants;
    for (int32_t g = 0; g < r.groups; ++g) {
        const CalendarDate d = tm2day(first + g * r.group_hours * 60, console);
        const int32_t y = full_year(d.year);
        t += std::to_string(y) + " " + std::to_string(d.month) + " " + std::to_string(d.day) + " " +
             std::to_string(d.hour) + " " + std::to_string(r.group_hours) + " " + std::to_string(lines) + "\n";
        for (const EmissionSource& s : r.sources) {
            for (int32_t k = 0; k < r.pollutants; ++k) {
                const float factor = static_cast<size_t>(k) < r.pollutant_factor.size() ? r.pollutant_factor[k] : 1.0f;
                t += std::to_string(y) + " " + std::to_string(d.month) + " " + std::to_string(d.day) + " " +
                     std::to_string(d.hour) + " 0 " + std::to_string(r.release_hours * 100) + " " + real(s.lat) +
                     " " + real(s.lon) + " " + real(s.height) + " " + real(s.rate * factor) + " " + real(s.area) +
                     " " + real(s.heat) + "\n";
            }
        }
    }
    return t;
}

void write_emission_file(const std::string& path, const EmissionFileRecipe& r) {
    write_text(path, emission_file_text(r));
}

InventoryRecipe uniform_inventory(float lat1, float lon1, float lat2, float lon2, float cell, float value,
                                  std::vector<std::string> pollutants, int32_t nvals) {
    if (!(cell > 0.0f)) throw std::invalid_argument("the cell size must be positive");
    InventoryRecipe r;
    r.pollutants = std::move(pollutants);
    r.nvals = nvals;
    r.dlat = r.dlon = cell;
    const int32_t nlat = static_cast<int32_t>(std::floor((lat2 - lat1) / cell + 1e-4f));
    const int32_t nlon = static_cast<int32_t>(std::floor((lon2 - lon1) / cell + 1e-4f));
    for (int32_t j = 0; j < nlat; ++j) {
        for (int32_t i = 0; i < nlon; ++i) {
            InventoryPoint p;
            p.lat = lat1 + static_cast<float>(j) * cell;
            p.lon = lon1 + static_cast<float>(i) * cell;
            p.values.assign(r.pollutants.size(), std::vector<float>(static_cast<size_t>(nvals), value));
            r.points.push_back(std::move(p));
        }
    }
    return r;
}

std::string inventory_header_text(const InventoryRecipe& r) {
    if (r.pollutants.empty() || r.pollutants.size() > 255)
        throw std::invalid_argument("an inventory holds 1 to 255 pollutants");
    std::string t = std::to_string(r.pollutants.size()) + " " + std::to_string(r.nvals) + " " + real(r.factor) +
                    " " + real(r.dlat) + " " + real(r.dlon) + "\n";
    for (const std::string& id : r.pollutants) t += four_chars(id);
    t += "\n" + r.data_file + "\n";
    return t;
}

std::string inventory_data_text(const InventoryRecipe& r) {
    std::string t;
    for (const InventoryPoint& p : r.points) {
        if (p.values.size() != r.pollutants.size())
            throw std::invalid_argument("every inventory point needs values for every pollutant");
        t += "0 0 " + real(p.lon) + " " + real(p.lat) + "\n";
        for (const std::vector<float>& v : p.values) {
            if (static_cast<int32_t>(v.size()) != r.nvals)
                throw std::invalid_argument("every pollutant of a point needs nvals values");
            for (size_t n = 0; n < v.size(); ++n) t += (n ? " " : "") + real(v[n]);
            t += "\n";
        }
    }
    return t;
}

void write_inventory(const std::string& dir, const InventoryRecipe& r) {
    const std::filesystem::path d(dir);
    const std::string header = inventory_header_text(r);
    const std::string data = inventory_data_text(r);
    write_text((d / r.data_file).string(), data);
    write_text((d / "emission.txt").string(), header);
}

std::string sampler_file_text(const std::vector<SamplerRecipe>& samplers) {
    std::string t = std::to_string(samplers.size()) + "\n";
    auto date = [](const int32_t* v) {
        return std::to_string(v[0]) + " " + std::to_string(v[1]) + " " + std::to_string(v[2]) + " " +
               std::to_string(v[3]) + " " + std::to_string(v[4]) + "\n";
    };
    for (const SamplerRecipe& s : samplers) {
        t += real(s.lat) + " " + real(s.lon) + " " + real(s.height) + "\n";
        t += real(s.direction) + " " + real(s.speed) + "\n";
        t += date(s.start) + date(s.first_output);
        t += std::to_string(s.average_minutes) + "\n" + std::to_string(s.output_interval) + "\n";
        t += quoted(s.output_file) + "\n";
    }
    return t;
}

void write_sampler_file(const std::string& path, const std::vector<SamplerRecipe>& samplers) {
    write_text(path, sampler_file_text(samplers));
}

std::string rate_table_text(const std::vector<RateRecipe>& reactions) {
    std::string t;
    for (const RateRecipe& r : reactions)
        t += std::to_string(r.from_slot) + " " + std::to_string(r.to_slot) + " " + real(r.rate_per_hour) + " " +
             real(r.mass_factor) + "\n";
    return t;
}

void write_rate_table(const std::string& path, const std::vector<RateRecipe>& reactions) {
    write_text(path, rate_table_text(reactions));
}

// ---- the commands ----

namespace {

const char* kEmissionsUsage =
    "usage: orvfixture emissions [options] DIR\n"
    "\n"
    "Writes an emission file (the file EFILE names in SETUP.CFG) into DIR.\n"
    "\n"
    "  --start Y M D H         start of the first group (default 2024 1 1 0)\n"
    "  --groups N              number of groups (default 1)\n"
    "  --group-hours H         hours per group (default 24)\n"
    "  --release-hours H       release window of every line from its group's\n"
    "                          start (default 24)\n"
    "  --pollutants N          pollutants per location (default 1)\n"
    "  --source LAT LON HEIGHT RATE AREA HEAT\n"
    "                          a source location (repeatable; default one at\n"
    "                          40 -90, 50 m, rate 1, no area, no heat)\n"
    "  --name FILE             file name (default emissions.txt)\n";

const char* kInventoryUsage =
    "usage: orvfixture inventory [options] DIR\n"
    "\n"
    "Writes a gridded emission inventory, emission.txt and its data file\n"
    "emission_data.txt, into DIR: every cell of the box emits the same value.\n"
    "The run's two starting locations must be the box's corners.\n"
    "\n"
    "  --box LAT1 LON1 LAT2 LON2  lower-left and upper-right corners\n"
    "                             (default 38 -92 42 -88)\n"
    "  --cell DEG                 cell size (default 0.5)\n"
    "  --value V                  emission per hour of every cell (default 1)\n"
    "  --pollutant ID             an inventory pollutant (repeatable; default TEST)\n"
    "  --nvals N                  values per day, 1 to 24 (default 1)\n"
    "  --factor F                 factor on every value (default 1)\n";

const char* kSamplersUsage =
    "usage: orvfixture samplers [options] DIR\n"
    "\n"
    "Writes a sampler file LAGSET.CFG into DIR: COUNT samplers released at one\n"
    "point, writing to sampler_1.txt, sampler_2.txt, ... (only samplers 1 to 9\n"
    "get output files in a run).\n"
    "\n"
    "  --count N               number of samplers (default 1)\n"
    "  --point LAT LON HEIGHT  release point (default 40 -90 100)\n"
    "  --start Y M D H M       start and first output time (default 2024 1 1 0 0)\n"
    "  --average MIN           averaging minutes (default 60)\n"
    "  --interval MIN          minutes between outputs, 0 every step (default 60)\n"
    "  --motion DIR SPEED      prescribed motion, degrees and m/s (default none)\n";

const char* kRatesUsage =
    "usage: orvfixture rates [options] DIR\n"
    "\n"
    "Writes a species conversion table CHEMRATE.TXT into DIR.\n"
    "\n"
    "  --reaction FROM TO RATE FACTOR  a reaction: mass slots, rate per hour,\n"
    "                                  mass factor (repeatable; default 1 2 0.1 1)\n";

// Runs `write` into the directory, reporting the files written.
template <typename F>
int finish(CommandLine& c, F write) {
    const std::string& dir = c.directory();
    try {
        std::filesystem::create_directories(dir);
        for (const std::string& f : write()) std::cout << (std::filesystem::path(dir) / f).string() << "\n";
    } catch (const std::exception& e) {
        std::cerr << c.label() << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}

int emissions_command(CommandLine& c) {
    EmissionFileRecipe r;
    r.sources.clear();
    std::string name = "emissions.txt";
    while (c.more()) {
        const std::string opt = c.next();
        if (opt == "-h" || opt == "--help") {
            std::cout << kEmissionsUsage;
            return 0;
        } else if (opt == "--start") {
            r.year = c.whole(opt);
            r.month = c.whole(opt);
            r.day = c.whole(opt);
            r.hour = c.whole(opt);
        } else if (opt == "--groups") {
            r.groups = c.whole(opt);
        } else if (opt == "--group-hours") {
            r.group_hours = c.whole(opt);
        } else if (opt == "--release-hours") {
            r.release_hours = c.whole(opt);
        } else if (opt == "--pollutants") {
            r.pollutants = c.whole(opt);
        } else if (opt == "--source") {
            EmissionSource s;
            s.lat = static_cast<float>(c.real(opt));
            s.lon = static_cast<float>(c.real(opt));
            s.height = static_cast<float>(c.real(opt));
            s.rate = static_cast<float>(c.real(opt));
            s.area = static_cast<float>(c.real(opt));
            s.heat = static_cast<float>(c.real(opt));
            r.sources.push_back(s);
        } else if (opt == "--name") {
            name = c.take(opt);
        } else {
            c.positional(opt);
        }
    }
    if (r.sources.empty()) r.sources.push_back(EmissionSource{});
    if (r.year < 1941 || r.year > 2099 || r.month < 1 || r.month > 12 || r.day < 1 || r.day > 31 || r.hour < 0 ||
        r.hour > 23)
        c.fail("start must be a date of 1941-2099 and an hour 0-23");
    return finish(c, [&] {
        write_emission_file((std::filesystem::path(c.directory()) / name).string(), r);
        return std::vector<std::string>{name};
    });
}

int inventory_command(CommandLine& c) {
    float lat1 = 38.0f, lon1 = -92.0f, lat2 = 42.0f, lon2 = -88.0f, cell = 0.5f, value = 1.0f, factor = 1.0f;
    int32_t nvals = 1;
    std::vector<std::string> ids;
    while (c.more()) {
        const std::string opt = c.next();
        if (opt == "-h" || opt == "--help") {
            std::cout << kInventoryUsage;
            return 0;
        } else if (opt == "--box") {
            lat1 = static_cast<float>(c.real(opt));
            lon1 = static_cast<float>(c.real(opt));
            lat2 = static_cast<float>(c.real(opt));
            lon2 = static_cast<float>(c.real(opt));
        } else if (opt == "--cell") {
            cell = static_cast<float>(c.real(opt));
        } else if (opt == "--value") {
            value = static_cast<float>(c.real(opt));
        } else if (opt == "--pollutant") {
            ids.push_back(c.take(opt));
        } else if (opt == "--nvals") {
            nvals = c.whole(opt);
        } else if (opt == "--factor") {
            factor = static_cast<float>(c.real(opt));
        } else {
            c.positional(opt);
        }
    }
    if (ids.empty()) ids.push_back("TEST");
    if (nvals < 1 || nvals > 24) c.fail("--nvals must be 1 to 24");
    if (!(cell > 0.0f) || !(lat2 > lat1) || !(lon2 > lon1)) c.fail("the box and cell must be positive in size");
    return finish(c, [&] {
        InventoryRecipe r = uniform_inventory(lat1, lon1, lat2, lon2, cell, value, ids, nvals);
        r.factor = factor;
        write_inventory(c.directory(), r);
        return std::vector<std::string>{"emission.txt", r.data_file};
    });
}

int samplers_command(CommandLine& c) {
    SamplerRecipe base;
    int32_t count = 1;
    while (c.more()) {
        const std::string opt = c.next();
        if (opt == "-h" || opt == "--help") {
            std::cout << kSamplersUsage;
            return 0;
        } else if (opt == "--count") {
            count = c.whole(opt);
        } else if (opt == "--point") {
            base.lat = static_cast<float>(c.real(opt));
            base.lon = static_cast<float>(c.real(opt));
            base.height = static_cast<float>(c.real(opt));
        } else if (opt == "--start") {
            for (int32_t& v : base.start) v = c.whole(opt);
            std::copy(std::begin(base.start), std::end(base.start), std::begin(base.first_output));
        } else if (opt == "--average") {
            base.average_minutes = c.whole(opt);
        } else if (opt == "--interval") {
            base.output_interval = c.whole(opt);
        } else if (opt == "--motion") {
            base.direction = static_cast<float>(c.real(opt));
            base.speed = static_cast<float>(c.real(opt));
        } else {
            c.positional(opt);
        }
    }
    if (count < 0 || count > 1000) c.fail("--count must be 0 to 1000");
    return finish(c, [&] {
        std::vector<SamplerRecipe> all(static_cast<size_t>(count), base);
        for (int32_t k = 0; k < count; ++k) all[static_cast<size_t>(k)].output_file = "sampler_" + std::to_string(k + 1) + ".txt";
        write_sampler_file((std::filesystem::path(c.directory()) / "LAGSET.CFG").string(), all);
        return std::vector<std::string>{"LAGSET.CFG"};
    });
}

int rates_command(CommandLine& c) {
    std::vector<RateRecipe> reactions;
    while (c.more()) {
        const std::string opt = c.next();
        if (opt == "-h" || opt == "--help") {
            std::cout << kRatesUsage;
            return 0;
        } else if (opt == "--reaction") {
            RateRecipe r;
            r.from_slot = c.whole(opt);
            r.to_slot = c.whole(opt);
            r.rate_per_hour = static_cast<float>(c.real(opt));
            r.mass_factor = static_cast<float>(c.real(opt));
            reactions.push_back(r);
        } else {
            c.positional(opt);
        }
    }
    if (reactions.empty()) reactions.push_back(RateRecipe{});
    return finish(c, [&] {
        write_rate_table((std::filesystem::path(c.directory()) / "CHEMRATE.TXT").string(), reactions);
        return std::vector<std::string>{"CHEMRATE.TXT"};
    });
}

}  // namespace

bool is_emission_inputs_command(const std::string& name) {
    return name == "emissions" || name == "inventory" || name == "samplers" || name == "rates";
}

int emission_inputs_main(int argc, char** argv) {
    const std::string name = argc > 0 ? argv[0] : "";
    CommandLine c("orvfixture " + name, argc, argv);
    if (name == "emissions") return emissions_command(c);
    if (name == "inventory") return inventory_command(c);
    if (name == "samplers") return samplers_command(c);
    if (name == "rates") return rates_command(c);
    c.fail("unknown command");
}

}  // namespace orv::fixture
