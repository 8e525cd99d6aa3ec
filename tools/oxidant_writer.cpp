#include "tools/oxidant_writer.hpp"

#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>

#include "common/fortran_format.hpp"
#include "mercury/global_oxidants.hpp"
#include "tools/atomic_file.hpp"
#include "tools/command_line.hpp"

namespace orv::fixture {

std::string oxidant_record(float lon, float lat, int32_t level, double value) {
    static const fmt::Format layout("(F7.2,1X,F6.2,1X,I2,2X,E12.6)");
    std::string r = fmt::write(layout, lon, lat, level, value);
    if (!r.empty() && r.back() == '\n') r.pop_back();
    return r;
}

namespace {

// The position columns of every record of a level, (F7.2, 1X, F6.2, 1X,
// I2, 2X), the same in all three files.
std::vector<std::string> record_positions(int32_t k) {
    using G = GlobalChemGrid;
    static const fmt::Format layout("(F7.2,1X,F6.2,1X,I2)");
    std::vector<std::string> out;
    out.reserve(G::kNlat * G::kNlon);
    for (int32_t j = 1; j <= G::kNlat; ++j) {
        const float lat = -90.0f + static_cast<float>(j - 1) * 2.857143f;
        for (int32_t i = 1; i <= G::kNlon; ++i) {
            std::string r = fmt::write(layout, static_cast<float>(i - 1) * 2.8125f, lat, k);
            r.pop_back();
            r += "  ";
            out.push_back(std::move(r));
        }
    }
    return out;
}

// One file's records of level k.
struct LevelWriter {
    std::string text;
    double last_value = 0.0;
    std::string last_text = fmt::format_exp(0.0, 12, 6);

    void level(const std::vector<std::string>& positions, int32_t k, const OxidantField& field) {
        using G = GlobalChemGrid;
        text.clear();
        size_t n = 0;
        for (int32_t j = 1; j <= G::kNlat; ++j) {
            const float lat = -90.0f + static_cast<float>(j - 1) * 2.857143f;
            for (int32_t i = 1; i <= G::kNlon; ++i) {
                const float lon = static_cast<float>(i - 1) * 2.8125f;
                const double v = field.at(lon, lat, k);
                if (v != last_value) {
                    last_value = v;
                    last_text = fmt::format_exp(v, 12, 6);
                }
                text += positions[n++];
                text += last_text;
                text += '\n';
            }
        }
    }
};

}  // namespace

std::vector<std::string> write_oxidant_month(const std::string& dir, int32_t month, const OxidantMonth& fields) {
    if (month < 1 || month > 12) throw std::invalid_argument("month must be 1..12");
    std::filesystem::create_directories(dir);
    const OxidantField* parts[3] = {&fields.ozone, &fields.so2, &fields.soot};
    const OxidantKind kinds[3] = {OxidantKind::Ozone, OxidantKind::So2, OxidantKind::Soot};
    std::vector<std::string> paths;
    std::vector<std::unique_ptr<AtomicFile>> files;
    for (int n = 0; n < 3; ++n) {
        paths.push_back((std::filesystem::path(dir) / oxidant_file_name(kinds[n], month)).string());
        files.push_back(std::make_unique<AtomicFile>(paths.back()));
    }
    LevelWriter writers[3];
    for (int32_t k = 1; k <= GlobalChemGrid::kNlev; ++k) {
        const std::vector<std::string> positions = record_positions(k);
        for (int n = 0; n < 3; ++n) {
            writers[n].level(positions, k, *parts[n]);
            files[n]->out().write(writers[n].text.data(), static_cast<std::streamsize>(writers[n].text.size()));
        }
    }
    for (auto& f : files) f->commit();
    return paths;
}

namespace {

const char* kOxidantUsage =
    "usage: orvfixture oxidants [options] DIR\n"
    "\n"
    "Writes the monthly oxidant files ox-MMM.dat, so2-MMM.dat and bc2-MMM.dat\n"
    "(about 27 MB a month) into DIR (created when missing). Each field is\n"
    "BASE + DLON * longitude + DLAT * latitude + DLEVEL * level, with the\n"
    "longitude in 0..357.1875 degrees and level 1 the highest of 34.\n"
    "\n"
    "  --months FIRST LAST         months to write (default 1 1)\n"
    "  --ozone BASE                ozone, ppb (default 30)\n"
    "  --so2 BASE                  SO2, ppb (default 1)\n"
    "  --soot BASE                 soot (default 0.5)\n"
    "  --slopes KIND DLON DLAT DLEVEL\n"
    "                              linear terms of KIND (ozone, so2 or soot)\n"
    "  -h, --help                  this text\n";

}  // namespace

int oxidant_fixture_main(int argc, char** argv) {
    CommandLine c("orvfixture oxidants", argc, argv);
    OxidantMonth fields;
    double first = 1, last = 1;
    auto kind = [&](const std::string& name) -> OxidantField& {
        if (name == "ozone") return fields.ozone;
        if (name == "so2") return fields.so2;
        if (name == "soot") return fields.soot;
        c.fail("unknown field '" + name + "'");
    };
    while (c.more()) {
        const std::string opt = c.next();
        if (opt == "-h" || opt == "--help") {
            std::cout << kOxidantUsage;
            return 0;
        } else if (opt == "--months") {
            first = c.real(opt);
            last = c.real(opt);
        } else if (opt == "--ozone" || opt == "--so2" || opt == "--soot") {
            kind(opt.substr(2)).base = c.real(opt);
        } else if (opt == "--slopes") {
            OxidantField& f = kind(c.take(opt));
            f.per_lon = c.real(opt);
            f.per_lat = c.real(opt);
            f.per_level = c.real(opt);
        } else {
            c.positional(opt);
        }
    }
    const std::string& dir = c.directory();
    // The range first: only a month in 1..12 is converted to a whole number.
    if (first < 1 || last > 12 || first > last || first != static_cast<int32_t>(first) ||
        last != static_cast<int32_t>(last))
        c.fail("months must be whole numbers 1..12, the first not after the last");
    try {
        for (int32_t m = static_cast<int32_t>(first); m <= static_cast<int32_t>(last); ++m)
            for (const auto& p : write_oxidant_month(dir, m, fields)) std::cout << p << "\n";
    } catch (const std::exception& e) {
        std::cerr << c.label() << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace orv::fixture
