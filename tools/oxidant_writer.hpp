#pragma once
// Writing the monthly oxidant files ("ox-jan.dat", "so2-jan.dat",
// "bc2-jan.dat", ...) with constant or linear analytic fields on the
// 128 x 64 x 34 oxidant grid. One month is about 27 MB.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orv::fixture {

// A field value at a grid point: longitude 0..357.1875 degrees, latitude
// -90..90 degrees, level 1 (the highest) to 34. Either a linear function of
// the three, or any function when `custom` is set.
struct OxidantField {
    double base = 0.0;
    double per_lon = 0.0;    // per degree of longitude (0..357.1875)
    double per_lat = 0.0;    // per degree of latitude
    double per_level = 0.0;  // per level number
    std::function<double(float lon, float lat, int32_t level)> custom;

    static OxidantField constant(double v) {
        OxidantField f;
        f.base = v;
        return f;
    }
    double at(float lon, float lat, int32_t level) const {
        if (custom) return custom(lon, lat, level);
        return base + per_lon * lon + per_lat * lat + per_level * level;
    }
};

// The three fields of a month: ozone and SO2 in ppb, soot in the model's unit
// (micrograms per kilogram of air).
struct OxidantMonth {
    OxidantField ozone = OxidantField::constant(30.0);
    OxidantField so2 = OxidantField::constant(1.0);
    OxidantField soot = OxidantField::constant(0.5);
};

// One record of an oxidant file, without its line end.
std::string oxidant_record(float lon, float lat, int32_t level, double value);

// Writes the three files of a month (1..12) into `dir` (created when missing)
// through temporary files, and returns their paths. Throws
// std::invalid_argument on a month outside 1..12, std::runtime_error on a
// write failure.
std::vector<std::string> write_oxidant_month(const std::string& dir, int32_t month, const OxidantMonth& fields);

// The "oxidants" command of orvfixture: argv[0] is the command's name.
int oxidant_fixture_main(int argc, char** argv);

}  // namespace orv::fixture
