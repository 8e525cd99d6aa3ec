#include "mercury/global_oxidants.hpp"

#include <cmath>
#include <cstdlib>

#include "common/fortran_format.hpp"
#include "common/number_text.hpp"
#include "common/optional_input.hpp"
#include "common/run_stop.hpp"
#include "common/text_output.hpp"

namespace orv {

const std::array<float, GlobalChemGrid::kNlev> kGlobalChemPressures = {
    4.269692f, 5.399193f, 6.793479f, 8.505244f, 10.59528f, 13.13317f, 16.19787f, 19.87821f, 24.27325f,
    29.49238f, 35.6552f,  42.8911f,  51.33845f, 61.14339f, 72.45821f, 85.43912f, 100.5147f, 118.2503f,
    139.1154f, 163.662f,  192.5399f, 226.5132f, 266.481f,  313.5013f, 368.818f,  433.8952f, 510.4552f,
    600.524f,  696.7962f, 787.702f,  867.1607f, 929.6489f, 970.5547f, 992.5561f};

namespace {

constexpr float kLatSpacing = 2.857143f;
constexpr float kLonSpacing = 2.8125f;

float grid_latitude(int32_t j) { return -90.0f + static_cast<float>(j - 1) * kLatSpacing; }
float grid_longitude_360(int32_t i) { return static_cast<float>(i - 1) * kLonSpacing; }

const char* const kPrefixes[3] = {"ox-", "so2-", "bc2-"};
const char* const kKindWords[3] = {"ozone", "so2", "soot"};
constexpr std::string_view kMonths = "janfebmaraprmayjunjulaugsepoctnovdec";

void blank_line(TextOut& console) { console.line(""); }

// Columns of a record: (F7.2, 1X, F6.2, 1X, I2, 2X, E12.6). A short record
// reads as if padded with blanks.
std::string_view columns(std::string_view line, size_t start, size_t width) {
    if (start >= line.size()) return {};
    return line.substr(start, width);
}

void report_out_of_place(OxidantKind kind, const OxidantReadProblem& p, TextOut& console) {
    blank_line(console);
    console.list(std::string("problem reading ") + kKindWords[static_cast<int>(kind)] + " file");
    blank_line(console);
    if (kind != OxidantKind::Ozone) return;
    console.list("ny = ", p.j);
    console.list("zlat = ", p.lat_read);
    console.list("zgridlat(ny) = ", grid_latitude(p.j));
    blank_line(console);
    console.list("nx = ", p.i);
    console.list("zlong = ", p.lon_read);
    console.list("zgridlong_360(nx) = ", grid_longitude_360(p.i));
    blank_line(console);
    console.list("nz = ", p.k);
    console.list("nlevel = ", p.level_read);
    blank_line(console);
}

[[noreturn]] void stop_on_problem(OxidantKind kind, const std::string& path, const OxidantReadProblem& p,
                                  TextOut& console) {
    using S = OxidantReadProblem::Status;
    if (p.status == S::OutOfPlace) report_out_of_place(kind, p, console);
    std::string what;
    switch (p.status) {
        case S::OutOfPlace: what = "record out of place"; break;
        case S::EndOfFile: what = "file ends before the last record"; break;
        case S::OutOfRange:
            what = std::string(kKindWords[static_cast<int>(kind)]) + " value " + number_text(p.value) +
                   (p.value < 0.0f ? " is negative"
                                   : " is above the largest the run takes (1e9 parts per billion, the whole air)");
            break;
        default: what = p.what; break;
    }
    console.list("*ERROR* get_global_conc: " + what + " - " + path + " record", p.record);
    // A value out of range is bad input; a file that cannot be read as the
    // oxidant layout counts as a missing one.
    throw RunStop(p.status == S::OutOfRange ? kStopInput : kStopMissing);
}

// Reads one whole oxidant file into `field`, echoing each level.
void read_oxidant_file(OxidantKind kind, const std::string& path, std::vector<float>& field, TextOut& console) {
    TextInput in;
    if (!in.open(path)) {
        console.list("*ERROR* get_global_conc: cannot open " + path);
        throw RunStop(kStopMissing);
    }
    const std::string level_label = std::string("reading ") + kKindWords[static_cast<int>(kind)] + " level = ";
    OxidantReadProblem problem;
    for (int32_t k = 1; k <= GlobalChemGrid::kNlev; ++k) {
        console.list(level_label, k);
        if (!read_oxidant_level(in, k, field, problem) || !check_oxidant_level(k, field, problem))
            stop_on_problem(kind, path, problem, console);
    }
    in.close();
    blank_line(console);
    console.list(std::string("done reading ") + kKindWords[static_cast<int>(kind)] + " data");
    blank_line(console);
}

// A missing file, or something other than a readable file at its name, stops
// the run with code 901.
void require_file(const std::string& directory, const std::string& name, TextOut& console) {
    const InputState state = input_state(directory + name);
    if (state == InputState::readable) return;
    if (state == InputState::unreadable)
        unreadable_input_stop(directory + name, "get_global_conc", console, kStopMissing);
    console.list("FILE NOT FOUND: ", name);
    console.list("in directory ", directory);
    throw RunStop(kStopMissing);
}

}  // namespace

void convert_height_and_pressure(int32_t mode, StandardAtmospherePoint& p) {
    if (mode == 1) {
        const float z = p.height;
        if (z <= 3000.0f) {
            p.ratio = std::exp(-z / 8486.396f);
            p.pressure_hpa = 1013.25f * p.ratio;
            p.pressure_pa = 101325.0f * p.ratio;
        } else {
            p.pressure_hpa = std::exp((z - 47267.355f) / -6738.21f);
            p.ratio = p.pressure_hpa / 1013.25f;
            p.pressure_pa = 100.0f * p.pressure_hpa;
        }
    } else if (mode == 2) {
        const float r = p.ratio;
        if (r <= 0.692f) {
            p.pressure_hpa = 1013.25f * r;
            p.pressure_pa = 100.0f * p.pressure_hpa;
            p.height = std::log(p.pressure_hpa) * -6738.21f + 47267.355f;
        } else {
            p.height = 8486.396f * std::log(1.0f / r);
            p.pressure_hpa = 1013.25f * r;
            p.pressure_pa = 101325.0f * r;
        }
    }
}

void set_up_global_chemistry_grid(GlobalChemGrid& grid) {
    for (int32_t j = 1; j <= GlobalChemGrid::kNlat; ++j) grid.latitudes[j - 1] = grid_latitude(j);
    for (int32_t i = 1; i <= GlobalChemGrid::kNlon; ++i) {
        float lon = grid_longitude_360(i);
        if (lon > 180.0f) lon -= 360.0f;
        grid.longitudes[i - 1] = lon;
    }
    for (int32_t k = 0; k < GlobalChemGrid::kNlev; ++k) {
        StandardAtmospherePoint p;
        p.ratio = kGlobalChemPressures[k] / 1013.25f;
        convert_height_and_pressure(2, p);
        grid.level_heights[k] = p.height;
    }
    grid.ozone.assign(GlobalChemGrid::kPoints, 0.0f);
    grid.so2.assign(GlobalChemGrid::kPoints, 0.0f);
    grid.soot.assign(GlobalChemGrid::kPoints, 0.0f);
    grid.k_global_data_month = 0;
}

std::string oxidant_file_name(OxidantKind kind, int32_t month) {
    std::string name = kPrefixes[static_cast<int>(kind)];
    if (month >= 1 && month <= 12) name += kMonths.substr(static_cast<size_t>(3 * (month - 1)), 3);
    else name += "   ";
    name += ".dat";
    return name;
}

bool read_oxidant_level(TextInput& in, int32_t k, std::vector<float>& field, OxidantReadProblem& problem) {
    using S = OxidantReadProblem::Status;
    for (int32_t j = 1; j <= GlobalChemGrid::kNlat; ++j) {
        const float lat_grid = grid_latitude(j);
        for (int32_t i = 1; i <= GlobalChemGrid::kNlon; ++i) {
            problem.i = i;
            problem.j = j;
            problem.k = k;
            problem.record = in.line_number() + 1;
            std::string_view line;
            if (!in.next_line(line)) {
                problem.status = S::EndOfFile;
                return false;
            }
            float value = 0.0f;
            try {
                problem.lon_read = fmt::parse_float_field(columns(line, 0, 7), 2);
                problem.lat_read = fmt::parse_float_field(columns(line, 8, 6), 2);
                problem.level_read = fmt::parse_int_field(columns(line, 15, 2));
                value = fmt::parse_float_field(columns(line, 19, 12), 6);
            } catch (const InputError& e) {
                problem.status = S::BadValue;
                problem.what = e.what();
                return false;
            }
            const float off = std::fabs(static_cast<float>(k - problem.level_read)) +
                              std::fabs(problem.lon_read - grid_longitude_360(i)) +
                              std::fabs(problem.lat_read - lat_grid);
            // A position that is not a number is out of place too.
            if (!(off <= 0.01f)) {
                problem.status = S::OutOfPlace;
                return false;
            }
            if (!std::isfinite(value)) {
                problem.status = S::BadValue;
                problem.what = "value is not a finite number";
                return false;
            }
            field[GlobalChemGrid::index(i, j, k)] = value;
        }
    }
    problem.status = S::None;
    return true;
}

bool check_oxidant_level(int32_t k, const std::vector<float>& field, OxidantReadProblem& problem) {
    constexpr int64_t kLevelRecords = int64_t{GlobalChemGrid::kNlon} * GlobalChemGrid::kNlat;
    for (int32_t j = 1; j <= GlobalChemGrid::kNlat; ++j)
        for (int32_t i = 1; i <= GlobalChemGrid::kNlon; ++i) {
            const float v = field[GlobalChemGrid::index(i, j, k)];
            if (v >= 0.0f && v <= kMaxOxidantValue) continue;
            problem.status = OxidantReadProblem::Status::OutOfRange;
            problem.i = i;
            problem.j = j;
            problem.k = k;
            problem.value = v;
            problem.record = (k - 1) * kLevelRecords + int64_t{j - 1} * GlobalChemGrid::kNlon + i;
            return false;
        }
    problem.status = OxidantReadProblem::Status::None;
    return true;
}

void get_global_conc(GlobalChemGrid& grid, int32_t month, std::string_view directory, TextOut& console) {
    // The directory ends at its first blank.
    const size_t blank = directory.find(' ');
    const std::string dir(directory.substr(0, blank));

    for (int32_t m = 1; m <= 12; ++m) {
        console.list("forming file names for month = ", m);
        console.list("o3 file  = ", oxidant_file_name(OxidantKind::Ozone, m));
        console.list("so2 file = ", oxidant_file_name(OxidantKind::So2, m));
        console.list("soot_file= ", oxidant_file_name(OxidantKind::Soot, m));
    }
    if (grid.ozone.size() != GlobalChemGrid::kPoints) set_up_global_chemistry_grid(grid);

    const std::string o3_name = oxidant_file_name(OxidantKind::Ozone, month);
    const size_t name_blank = o3_name.find(' ');
    console.list("KLENo3 = ", static_cast<int32_t>(name_blank == std::string::npos ? o3_name.size() : name_blank));
    blank_line(console);
    console.list("in get global conc subroutine");
    blank_line(console);
    console.list("km = ", month);
    blank_line(console);
    console.list("ozone file =", o3_name);
    blank_line(console);

    struct Kind {
        OxidantKind kind;
        std::vector<float>* field;
    };
    const Kind kinds[3] = {{OxidantKind::Ozone, &grid.ozone}, {OxidantKind::So2, &grid.so2}, {OxidantKind::Soot, &grid.soot}};
    // The month is recorded only once all three fields are read: a failed
    // load stops the run, so no step ever sees a partly read month.
    grid.k_global_data_month = 0;
    for (const Kind& k : kinds) {
        const std::string name = oxidant_file_name(k.kind, month);
        require_file(dir, name, console);
        read_oxidant_file(k.kind, dir + name, *k.field, console);
    }
    grid.k_global_data_month = month;
}

}  // namespace orv
