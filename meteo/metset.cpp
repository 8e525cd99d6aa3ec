// Opening and describing one meteorological data file: the indexed layout
// (metset) and the old layout without index records (metold).

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "common/number_text.hpp"
#include "common/blank_trim.hpp"
#include "common/fortran_format.hpp"
#include "common/messages.hpp"
#include "common/optional_input.hpp"
#include "common/run_stop.hpp"
#include "run/calendar.hpp"
#include "meteo/met_setup.hpp"
#include "meteo/packed_format.hpp"

namespace orv {

namespace {

[[noreturn]] void file_stop(std::string_view routine, const std::string& path, std::string_view what,
                            TextOut& console) {
    input_stop(routine, path, 0, what, console);
}

// Reads the first n bytes of record `rec` into buf. Callers never ask for
// more than a label and the index header, so a record length taken from a
// header cannot size the buffer.
bool read_record(DirectFile& f, int64_t rec, std::vector<char>& buf, size_t n) {
    if (buf.size() < n) buf.resize(n);
    return f.read(rec, std::span<char>(buf.data(), n));
}

bool finite_in(float v, float lo, float hi) { return std::isfinite(v) && v >= lo && v <= hi; }

// The grid of an index header must be able to place positions: positive
// finite increments and a corner on the globe.
void check_grid_header(const std::string& path, const MetGridDefinition& gd, TextOut& console) {
    const auto& h = gd.header;
    auto refuse = [&](const std::string& item, float v, const std::string& allowed) {
        file_stop("metset", path, "index header " + item + " " + number_text(v) + " - must be " + allowed, console);
    };
    for (int32_t r = 0; r < 12; ++r)
        if (!std::isfinite(h[r])) refuse("real " + std::to_string(r + 1), h[r], "a finite number");
    if (h[kGridSize] == 0.0f) {
        if (!(h[kRefLat] > 0.0f)) refuse("latitude increment", h[kRefLat], "above 0");
        if (!(h[kRefLon] > 0.0f)) refuse("longitude increment", h[kRefLon], "above 0");
        if (!finite_in(h[kSyncLat], -90.0f, 90.0f)) refuse("corner latitude", h[kSyncLat], "within -90 to 90");
        if (!finite_in(h[kSyncLon], -360.0f, 360.0f)) refuse("corner longitude", h[kSyncLon], "within -360 to 360");
        return;
    }
    if (!(h[kGridSize] > 0.0f)) refuse("grid size", h[kGridSize], "above 0 km (0 for a latitude-longitude grid)");
    if (!finite_in(h[kSyncLat], -90.0f, 90.0f))
        refuse("synchronisation point latitude", h[kSyncLat], "within -90 to 90");
    if (!finite_in(h[kSyncLon], -360.0f, 360.0f))
        refuse("synchronisation point longitude", h[kSyncLon], "within -360 to 360");
    if (!finite_in(h[kRefLat], -90.0f, 90.0f)) refuse("reference latitude", h[kRefLat], "within -90 to 90");
    if (!finite_in(h[kTangentLat], -90.0f, 90.0f)) refuse("tangent latitude", h[kTangentLat], "within -90 to 90");
    if (gd.source_id.is("RAMS") && !finite_in(h[kPoleLat], -90.0f, 90.0f))
        refuse("pole latitude", h[kPoleLat], "within -90 to 90");
}

// The pressure a level value stands for, to compare levels: sigma and
// pressure values as they are, hybrid codes at the standard surface pressure.
float level_order_key(int32_t vertical_type, float v) {
    if (vertical_type == 4) return std::trunc(v) + (v - std::trunc(v)) * 1013.0f;
    return v;
}

// The levels above the surface must run upward: sigma, pressure and hybrid
// values falling, terrain-following heights rising and below the top of the
// data (the surface level's value).
void check_level_order(const std::string& path, const MetGridDefinition& gd, const MetFileLayout& lay,
                       TextOut& console) {
    const int32_t type = lay.vertical_type;
    for (int32_t k = 0; k < gd.nz; ++k)
        if (!std::isfinite(lay.level_heights[k]))
            file_stop("metset", path, "level " + std::to_string(k + 1) + " value is not a finite number", console);
    const bool rising = type == 3;
    for (int32_t k = 2; k < gd.nz; ++k) {
        const float below = level_order_key(type, lay.level_heights[k - 1]);
        const float here = level_order_key(type, lay.level_heights[k]);
        if (rising ? here > below : here < below) continue;
        file_stop("metset", path,
                  "levels out of order: level " + std::to_string(k + 1) + " value " +
                      number_text(lay.level_heights[k]) + " after " + number_text(lay.level_heights[k - 1]) +
                      (rising ? " - heights must rise upward" : " - values must fall upward"), console);
    }
    if (type == 3 && gd.nz >= 2 && !(lay.level_heights[0] > lay.level_heights[gd.nz - 1]))
        file_stop("metset", path,
                  "top of the data (surface level value) " + number_text(lay.level_heights[0]) +
                      " must lie above the highest level " + number_text(lay.level_heights[gd.nz - 1]), console);
}

void check_label_date(std::string_view routine, const std::string& path, int32_t y, int32_t m, int32_t d,
                      int32_t h, TextOut& console) {
    if (!plausible_label_date(y, m, d, h)) file_stop(routine, path, "record label holds no valid date", console);
}

// A file must hold its whole periods and nothing else: no part record and
// no records after the last complete period.
void check_whole_periods(std::string_view routine, MetFileEntry& fe, int64_t records_per_period, TextOut& console) {
    std::error_code ec;
    auto size = std::filesystem::file_size(fe.path, ec);
    if (ec) file_stop(routine, fe.path, "cannot determine the file size", console);
    const int64_t whole = static_cast<int64_t>(size) / fe.record_length;
    if (whole < fe.record_count) file_stop(routine, fe.path, "meteorological file is truncated", console);
    if (static_cast<int64_t>(size) % fe.record_length != 0)
        file_stop(routine, fe.path,
                  "file length " + std::to_string(size) + " is not a whole number of records of " +
                      std::to_string(fe.record_length) + " bytes", console);
    if (whole > fe.record_count)
        file_stop(routine, fe.path,
                  std::to_string(whole - fe.record_count) + " records follow the last complete time period (" +
                      std::to_string(records_per_period) + " records each)", console);
}

struct BuiltinGrid {
    int32_t number;
    const char* source;
    int32_t vertical;
    int32_t nx, ny, nz;
    float reals[11];
    std::vector<float> levels;
    std::vector<int32_t> vars;
};

const std::vector<BuiltinGrid>& builtin_grids() {
    static const std::vector<float> prs_levels = {0, 1000, 850, 700, 500, 400, 300, 250, 100, 150, 100, 70, 50};
    static const std::vector<int32_t> prs_vars = {3, 6, 6, 6, 6, 6, 6, 5, 5, 5, 5, 4, 4};
    static const std::vector<BuiltinGrid> grids = {
        {6, "NGM ", 1, 33, 28, 11, {90, 0, 60, -105, 182.9f, 0, 90, 13.25f, 42.75f, 90, 0},
         {1.0f, 0.9823f, 0.9432f, 0.8967f, 0.8437f, 0.7848f, 0.721f, 0.6531f, 0.582f, 0.5086f, 0.4341f},
         {11, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5}},
        {2, "MRFN", 2, 65, 65, 13, {90, 0, 60, -80, 381, 0, 90, 33, 33, 90, 0}, prs_levels, prs_vars},
        {3, "MRFS", 2, 65, 65, 13, {-90, 0, -60, -80, 381, 0, -90, 33, 33, -90, 0}, prs_levels, prs_vars},
    };
    return grids;
}

const BuiltinGrid* find_builtin(int32_t number) {
    for (const auto& g : builtin_grids())
        if (g.number == number) return &g;
    return nullptr;
}

void apply_builtin(const BuiltinGrid& b, MetGridDefinition& gd, MetFileLayout& lay) {
    gd.source_id = FourChars(b.source);
    for (int32_t i = 0; i < 11; ++i) gd.header[i] = b.reals[i];
    gd.header[kTopPressure] = 0.0f;
    gd.grid_number = b.number;
    lay.vertical_type = b.vertical;
    gd.nx = b.nx;
    gd.ny = b.ny;
    gd.nz = b.nz;
    for (int32_t k = 0; k < b.nz; ++k) {
        lay.level_heights[k] = b.levels[k];
        lay.level_vars[k] = b.vars[k];
    }
}

// 1-2. The path of the file, which must be there.
void set_file_path(MetFileEntry& fe, TextOut& console) {
    std::string dir = trim_trailing_blanks(fe.directory);
    if (dir.empty()) {
        console.list("Directory: ", fe.directory);
        console.list("String length exceeds character maximum");
        throw RunStop(kStopInput);
    }
    fe.path = dir + trim_trailing_blanks(fe.file_name);
    const InputState state = input_state(fe.path);
    if (state == InputState::unreadable) unreadable_input_stop(fe.path, "metset", console, kStopInput);
    if (state == InputState::absent) {
        console.list("Unable to find file: ", trim_trailing_blanks(fe.file_name));
        console.list("On local directory : ", dir);
        console.list("Check input CONTROL file for correct values");
        throw RunStop(kStopInput);
    }
}

// The label of the first record: the first time, the grid field and the ID.
struct FirstLabel {
    int32_t y = 0, m = 0, d = 0, h = 0, fc = 0;
    std::string grid_field, id;
};

// 3. Opens the file at the length of a label and the fixed header and reads
// the first record into buf.
FirstLabel read_first_label(MetFileEntry& fe, std::vector<char>& buf, TextOut& console) {
    static const fmt::Format index_label(kIndexLabelFormat);
    const int64_t first_len = kLabelLength + kFixedHeaderLength;
    if (!fe.file.open(fe.path, first_len)) file_stop("metset", fe.path, "cannot open meteorological file", console);
    if (!read_record(fe.file, 1, buf, first_len)) file_stop("metset", fe.path, "meteorological file is truncated",
                                                            console);
    std::string_view label(buf.data(), kLabelLength);
    FirstLabel l;
    try {
        fmt::read(label, index_label, l.y, l.m, l.d, l.h, l.fc, l.grid_field, l.id);
    } catch (const InputError& e) {
        file_stop("metset", fe.path, std::string("bad first record label: ") + e.what(), console);
    }
    return l;
}

// 5. The fixed header of the first record (in buf) into the grid definition
// and layout.
FixedHeader take_fixed_header(const std::string& path, const std::vector<char>& buf, MetGridDefinition& gd,
                              MetFileLayout& lay, TextOut& console) {
    FixedHeader fh;
    try {
        fh = read_fixed_header(std::string_view(buf.data() + kLabelLength, kFixedHeaderLength));
    } catch (const InputError& e) {
        file_stop("metset", path, std::string("bad index header: ") + e.what(), console);
    }
    gd.source_id = fh.source_id;
    gd.header = fh.reals;
    gd.nz = fh.nz;
    lay.vertical_type = fh.vertical_type;
    if (fh.nz > kMaxMetLevels) {
        console.list("*ERROR* metset: exceeding DEFGRID dimension MLVL - ", kMaxMetLevels);
        console.list("        data file dimension - ", fh.nz);
        throw RunStop(kStopInput);
    }
    if (fh.header_length > kMaxHeaderLength) {
        console.list("*ERROR* metset: exceeding compiled header length: ", kMaxHeaderLength);
        console.list("                                 Input data file: ", fh.header_length);
        throw RunStop(kStopInput);
    }
    if (fh.nz < 1) file_stop("metset", path, "index header gives no levels", console);
    if (fh.header_length < kFixedHeaderLength) file_stop("metset", path, "index header length too short", console);
    return fh;
}

// 6. Grid number and size, the large-grid extension included; the file is
// reopened at the record length of the grid.
void take_grid_size(MetFileEntry& fe, MetGridDefinition& gd, const MetFileLayout& lay, const std::string& grid_field,
                    const FixedHeader& fh, TextOut& console) {
    GridField gf;
    bool grid_ok = false;
    try {
        grid_ok = decode_grid_field(grid_field, gf);
    } catch (const InputError&) {
        grid_ok = false;
    }
    if (!grid_ok) file_stop("metset", fe.path, "grid field '" + grid_field + "' mixes a digit and a letter", console);
    gd.grid_number = gf.grid_number;
    gd.nx = fh.nx + gf.nx_extra;
    gd.ny = fh.ny + gf.ny_extra;
    if (gd.nx < 1 || gd.ny < 1) file_stop("metset", fe.path, "grid dimensions are not positive", console);
    if (lay.vertical_type < 1 || lay.vertical_type > 4)
        file_stop("metset", fe.path,
                  "vertical coordinate type " + std::to_string(lay.vertical_type) +
                      " - must be 1 sigma, 2 pressure, 3 terrain-following height or 4 hybrid", console);
    check_grid_header(fe.path, gd, console);
    const int64_t nxy = int64_t{gd.nx} * gd.ny;
    if (nxy < kFixedHeaderLength) file_stop("metset", fe.path, "grid too small to hold the index header", console);
    fe.record_length = nxy + kLabelLength;
    if (!fe.file.open(fe.path, fe.record_length)) file_stop("metset", fe.path, "cannot open meteorological file",
                                                            console);
}

// 6. The whole header across the index records, which the file must hold
// before anything is read: the record length comes from the header.
std::string read_index_header(MetFileEntry& fe, const MetGridDefinition& gd, int64_t lenh, int64_t nindex,
                              std::vector<char>& buf, TextOut& console) {
    const int64_t nxy = int64_t{gd.nx} * gd.ny;
    if (fe.file.record_count() < nindex)
        file_stop("metset", fe.path,
                  "meteorological file is truncated: " + std::to_string(gd.nx) + " x " + std::to_string(gd.ny) +
                      " grid needs records of " + std::to_string(fe.record_length) + " bytes", console);
    std::string header(static_cast<size_t>(lenh), ' ');
    for (int64_t k = 1; k <= nindex; ++k) {
        int64_t from = (k - 1) * nxy;
        int64_t count = std::min(nxy, lenh - from);
        if (count <= 0) break;
        if (!read_record(fe.file, k, buf, static_cast<size_t>(kLabelLength + count)))
            file_stop("metset", fe.path, "meteorological file is truncated", console);
        header.replace(static_cast<size_t>(from), static_cast<size_t>(count), buf.data() + kLabelLength,
                       static_cast<size_t>(count));
    }
    return header;
}

// 7. Levels and their variables from the header into the layout. Returns the
// number of variables over all levels.
int64_t read_level_list(const std::string& path, const std::string& header, const MetGridDefinition& gd,
                        MetFileLayout& lay, TextOut& console) {
    static const fmt::Format level_entry(kLevelFormat);
    static const fmt::Format variable_entry(kVariableFormat);
    const int64_t lenh = static_cast<int64_t>(header.size());
    int64_t pos = kFixedHeaderLength;
    int64_t sum_vars = 0;
    try {
        for (int32_t k = 0; k < gd.nz; ++k) {
            if (pos + kLevelEntryLength > lenh) file_stop("metset", path, "index header ends inside the level list",
                                                          console);
            float height = 0.0f;
            int32_t nvar = 0;
            fmt::read(std::string_view(header).substr(static_cast<size_t>(pos), kLevelEntryLength), level_entry,
                      height, nvar);
            pos += kLevelEntryLength;
            if (nvar > kMaxMetVariables) {
                console.list("*ERROR* metset: exceeding DEFGRID dimension MVAR - ", kMaxMetVariables);
                throw RunStop(kStopInput);
            }
            if (nvar < 0) file_stop("metset", path, "negative number of variables in the level list", console);
            lay.level_heights[k] = height;
            lay.level_vars[k] = nvar;
            for (int32_t v = 0; v < nvar; ++v) {
                if (pos + kVariableEntryLength > lenh)
                    file_stop("metset", path, "index header ends inside the level list", console);
                std::string vid;
                int32_t sum = 0;
                fmt::read(std::string_view(header).substr(static_cast<size_t>(pos), kVariableEntryLength),
                          variable_entry, vid, sum);
                lay.var_ids[k][v] = FourChars(vid);
                lay.checksums[k][v] = sum;
                pos += kVariableEntryLength;
            }
            sum_vars += nvar;
        }
    } catch (const InputError& e) {
        file_stop("metset", path, std::string("bad level list: ") + e.what(), console);
    }
    return sum_vars;
}

// Reads the label and header characters 5-9 of a period's first record.
// False when the record cannot be read.
bool read_period(MetFileEntry& fe, int64_t rec, std::vector<char>& buf, MetTime& t, std::string& pid,
                 TextOut& console) {
    static const fmt::Format period_label(kPeriodLabelFormat);
    static const fmt::Format fcst_minutes("(I3,I2)");
    if (!read_record(fe.file, rec, buf, kLabelLength + 9)) return false;
    try {
        fmt::read(std::string_view(buf.data(), kLabelLength), period_label, t.year, t.month, t.day, t.hour,
                  t.forecast, pid);
        if (pid == "INDX")
            fmt::read(std::string_view(buf.data() + kLabelLength + 4, 5), fcst_minutes, t.forecast, t.minute);
    } catch (const InputError& e) {
        file_stop("metset", fe.path, std::string("bad period label: ") + e.what(), console);
    }
    if (pid == "INDX") {
        check_label_date("metset", fe.path, t.year, t.month, t.day, t.hour, console);
        t.macc = tm2min(t.year, t.month, t.day, t.hour, t.minute, console);
    }
    return true;
}

// 9-10. The later periods give the data interval, the last time and the
// number of records.
void read_period_times(MetFileEntry& fe, MetFileLayout& lay, std::vector<char>& buf, Messages msg) {
    const int64_t rpp = lay.flags.records_per_period;

    // 9. The second period gives the data interval.
    MetTime t2;
    std::string pid;
    if (!read_period(fe, rpp + 1, buf, t2, pid, msg.console)) {
        msg.log.list("WARNING metset: Only one time period of meteo data");
        fe.last = fe.first;
        lay.flags.data_interval = 1;
        fe.record_count = rpp;
        check_whole_periods("metset", fe, rpp, msg.console);
        return;
    }
    if (pid != "INDX") file_stop("metset", fe.path, "2nd time period INDX record missing", msg.console);
    fe.last = t2;
    lay.flags.data_interval = t2.macc - fe.first.macc;
    if (lay.flags.data_interval <= 0)
        file_stop("metset", fe.path, "second time period is not later than the first", msg.console);

    // 10. Walk through the periods.
    int32_t previous = t2.macc;
    int64_t rec = 2 * rpp + 1;
    for (;;) {
        MetTime t;
        if (!read_period(fe, rec, buf, t, pid, msg.console) || pid != "INDX") break;
        int32_t diff = t.macc - previous;
        if (diff != lay.flags.data_interval) {
            msg.log.list("*ERROR* metset: meteorological data time interval varies");
            msg.log.list(" Changed from ", lay.flags.data_interval, " min to ", diff, " min");
            msg.log.list(" At day/hr ", t.day, t.hour);
        } else {
            previous = t.macc;
        }
        fe.last = t;
        rec += rpp;
    }
    fe.record_count = rec - 1;
    fe.last.macc = tm2min(fe.last.year, fe.last.month, fe.last.day, fe.last.hour, fe.last.minute, msg.console);
    check_whole_periods("metset", fe, rpp, msg.console);
}

}  // namespace

void metset(MeteoFiles& met, int32_t kg, int32_t kt, Messages msg) {
    auto& fe = met.file(kg, kt);
    auto& gd = met.grid(kg, kt);
    auto& lay = met.layout(kg, kt);

    set_file_path(fe, msg.console);
    std::vector<char> buf;
    const FirstLabel first = read_first_label(fe, buf, msg.console);

    // 4. Old layout.
    if (first.id != "INDX") {
        msg.log.list("WARNING metset: Old format meteo data grid ", kg, kt);
        fe.file.close();
        metold(met, kg, kt, msg);
        lay.format = 1;
        return;
    }

    // 5-7. Indexed layout: grid, levels and variables from the index header.
    lay.format = 2;
    const FixedHeader fh = take_fixed_header(fe.path, buf, gd, lay, msg.console);
    take_grid_size(fe, gd, lay, first.grid_field, fh, msg.console);
    const int64_t nindex = index_record_count(fh.header_length, int64_t{gd.nx} * gd.ny);
    const std::string header = read_index_header(fe, gd, fh.header_length, nindex, buf, msg.console);
    const int64_t sum_vars = read_level_list(fe.path, header, gd, lay, msg.console);
    check_level_order(fe.path, gd, lay, msg.console);
    lay.flags.records_per_period = static_cast<int32_t>(nindex + sum_vars);
    lay.flags.record_offset = 0;

    // 8. The first time.
    check_label_date("metset", fe.path, first.y, first.m, first.d, first.h, msg.console);
    fe.first = MetTime{first.y, first.m, first.d, first.h, fh.minutes, fh.forecast, 0};
    fe.first.macc = tm2min(first.y, first.m, first.d, first.h, fh.minutes, msg.console);

    read_period_times(fe, lay, buf, msg);
}

void metold(MeteoFiles& met, int32_t kg, int32_t kt, Messages msg) {
    static const fmt::Format old_label(kOldLabelFormat);
    static const fmt::Format id_only("(14X,A4)");
    static const fmt::Format time_only("(5I2)");

    auto& fe = met.file(kg, kt);
    auto& gd = met.grid(kg, kt);
    auto& lay = met.layout(kg, kt);
    std::vector<char> buf;

    auto read_label = [&](int64_t rec, MetTime& t, int32_t& grid, std::string& id) -> bool {
        if (!read_record(fe.file, rec, buf, kLabelLength)) return false;
        try {
            fmt::read(std::string_view(buf.data(), kLabelLength), old_label, t.year, t.month, t.day, t.hour,
                      t.forecast, grid, id);
        } catch (const InputError& e) {
            file_stop("metold", fe.path, std::string("bad record label: ") + e.what(), msg.console);
        }
        check_label_date("metold", fe.path, t.year, t.month, t.day, t.hour, msg.console);
        t.minute = 0;
        t.macc = tm2min(t.year, t.month, t.day, t.hour, 0, msg.console);
        return true;
    };

    // 1. The first label.
    if (!fe.file.open(fe.path, kLabelLength)) file_stop("metold", fe.path, "cannot open meteorological file",
                                                        msg.console);
    int32_t label_grid = 0;
    std::string id;
    if (!read_label(1, fe.first, label_grid, id)) file_stop("metold", fe.path, "meteorological file is truncated",
                                                            msg.console);
    fe.file.close();

    // 2. Only the built-in grids.
    const BuiltinGrid* label_entry = find_builtin(label_grid);
    if (!label_entry) {
        msg.console.list("*ERROR* metold: meteo grid not pre-defined");
        throw RunStop(kStopInput);
    }
    if (id == "NULL" || id == "    " || id.empty()) {
        msg.console.list("*ERROR* metold: meteo data file first record");
        msg.console.list(" contains NULL or BLANK field for variable ID");
        throw RunStop(kStopInput);
    }

    // 3. A southern start takes the southern grid of the two-hemisphere
    // grids 2 and 3.
    const bool southern = lay.flags.record_offset < 0 && (label_grid == 2 || label_grid == 3);
    apply_builtin(southern ? *find_builtin(3) : *label_entry, gd, lay);
    if (gd.nz > kMaxMetLevels) {
        msg.console.list("*ERROR* metold: exceeding DEFGRID dimension MLVL - ", kMaxMetLevels);
        throw RunStop(kStopInput);
    }

    // 4. The variables of the first period, from the labels.
    const int64_t nxy = int64_t{gd.nx} * gd.ny;
    fe.record_length = nxy + kLabelLength;
    if (!fe.file.open(fe.path, fe.record_length)) file_stop("metold", fe.path, "cannot open meteorological file",
                                                            msg.console);
    int64_t rec = 1;
    for (int32_t k = 0; k < gd.nz; ++k) {
        for (int32_t v = 0; v < lay.level_vars[k]; ++v, ++rec) {
            if (!read_record(fe.file, rec, buf, kLabelLength))
                file_stop("metold", fe.path, "meteorological file is truncated", msg.console);
            std::string vid;
            try {
                fmt::read(std::string_view(buf.data(), kLabelLength), id_only, vid);
            } catch (const InputError& e) {
                file_stop("metold", fe.path, e.what(), msg.console);
            }
            lay.var_ids[k][v] = FourChars(vid);
            lay.checksums[k][v] = 0;
        }
    }
    const int32_t single = static_cast<int32_t>(rec - 1);
    int32_t rpp = single;

    // 5. The next record tells whether each period holds one grid or both.
    MetTime next;
    int32_t next_grid = 0;
    std::string next_id;
    int64_t second_period = 0;
    if (read_label(rpp + 1, next, next_grid, next_id)) {
        if (next_grid == label_grid) {
            lay.flags.record_offset = 0;
            // A one-grid file describes the grid its labels name.
            if (southern) apply_builtin(*label_entry, gd, lay);
            fe.last = next;
            second_period = rpp + 1;
        } else {
            rpp *= 2;
            if (lay.flags.record_offset < 0) lay.flags.record_offset = southern ? single : 0;
            MetTime t;
            if (read_record(fe.file, rpp + 1, buf, kLabelLength)) {
                try {
                    fmt::read(std::string_view(buf.data(), kLabelLength), time_only, t.year, t.month, t.day, t.hour,
                              t.forecast);
                } catch (const InputError& e) {
                    file_stop("metold", fe.path, e.what(), msg.console);
                }
                check_label_date("metold", fe.path, t.year, t.month, t.day, t.hour, msg.console);
                t.macc = tm2min(t.year, t.month, t.day, t.hour, 0, msg.console);
                fe.last = t;
                second_period = rpp + 1;
            }
        }
    } else {
        // A single period: nothing shows a second grid.
        lay.flags.record_offset = 0;
        if (southern) apply_builtin(*label_entry, gd, lay);
    }
    lay.flags.records_per_period = rpp;

    // 6. Interval and the walk through the periods.
    if (second_period == 0) {
        fe.last = fe.first;
        lay.flags.data_interval = 1;
        fe.record_count = rpp;
        check_whole_periods("metold", fe, rpp, msg.console);
        return;
    }
    lay.flags.data_interval = fe.last.macc - fe.first.macc;
    if (lay.flags.data_interval <= 0)
        file_stop("metold", fe.path, "second time period is not later than the first", msg.console);
    rec = second_period + rpp;
    for (;;) {
        MetTime t;
        int32_t g = 0;
        std::string tid;
        if (!read_label(rec, t, g, tid)) break;
        fe.last = t;
        rec += rpp;
    }
    fe.record_count = rec - 1;
    check_whole_periods("metold", fe, rpp, msg.console);
}

}  // namespace orv
