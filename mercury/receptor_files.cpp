#include "mercury/receptor_files.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>
#include <vector>

#include "common/blank_trim.hpp"
#include "common/fortran_format.hpp"
#include "common/number_text.hpp"
#include "common/optional_input.hpp"
#include "common/run_stop.hpp"
#include "common/text_input.hpp"
#include "common/text_output.hpp"

namespace orv {

namespace {

constexpr std::string_view kReceptorFile = "recp_data.txt";
constexpr std::string_view kCepFile = "cep_data.txt";

// The directory ends at its first blank, as a blank-padded name would.
std::string file_path(std::string_view directory, std::string_view file) {
    std::string path(directory.substr(0, directory.find(' ')));
    path += file;
    return path;
}

// Opens a definition file; a missing one stops the run with code 901.
void open_definition_file(TextInput& in, std::string_view directory, std::string_view file,
                          std::string_view routine, TextOut& console) {
    const std::string path = file_path(directory, file);
    const InputState state = input_state(path);
    if (state == InputState::absent) {
        console.list("FILE NOT FOUND: ", file);
        console.list("in directory ", directory);
        throw RunStop(kStopMissing);
    }
    if (state == InputState::unreadable || !in.open(path)) unreadable_input_stop(path, routine, console, kStopMissing);
}

bool is_blank_line(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

// Reads the items of one line free-format; the line alone must hold them all.
// Stops the run naming the file and line when it cannot.
void read_line_items(TextInput& file, std::string_view line, std::span<const fmt::Target> items,
                     std::string_view routine, std::string_view what, TextOut& console) {
    std::istringstream s{std::string(line)};
    TextInput one;
    one.attach(s, file.name());
    try {
        list_read(one, items);
    } catch (const InputError& e) {
        const std::string why = std::string(e.what()) == "end of file" ? "too few items" : e.what();
        input_stop(routine, file.name(), file.line_number(),
                   "line cannot be read as " + std::string(what) + " (" + why + ")", console);
    }
}

void refuse(const TextInput& file, std::string_view routine, const std::string& what, TextOut& console) {
    input_stop(routine, file.name(), file.line_number(), what, console);
}

// A latitude within -90 to 90 and a longitude within -360 to 360 (a box may
// run past the date line either way); beyond them a place is on no globe.
void check_coordinate(const TextInput& file, std::string_view routine, const std::string& item, float v,
                      bool latitude, TextOut& console) {
    const float bound = latitude ? 90.0f : 360.0f;
    if (!(std::fabs(v) <= bound))
        refuse(file, routine, item + " " + number_text(v) + " outside " + number_text(-bound) + " to " +
                                  number_text(bound), console);
}

// One selected line of the receptor file.
struct DivisionLine {
    std::string name;
    int32_t land_category = 0;
    int32_t division = 0;
    DivisionBox box;
    int64_t line_number = 0;
};

// The area column of "recp_summary.out" (F15.6) holds less than 1e8 km2, a
// fifth of the Earth; deptally reads it back.
constexpr float kMaxReceptorArea = 1.0e8f;

// Reads the receptor file: its selected lines, checked. The divisions of a
// receptor must follow its division 1 in order 2, 3, ...
std::vector<DivisionLine> scan_receptor_file(const CategorySelection& selection, const Hgsim& hgsim,
                                             std::string_view directory, std::string_view routine,
                                             bool announce, TextOut& console) {
    TextInput in;
    open_definition_file(in, directory, kReceptorFile, routine, console);
    std::vector<DivisionLine> lines;
    std::string_view line;
    if (!in.next_line(line)) return lines;
    if (announce) console.list("have read first line with field names");

    int32_t receptors = 0;
    int32_t last_division = 0;  // of the current receptor; 0 before the first
    while (in.next_line(line)) {
        if (is_blank_line(line)) continue;
        int32_t number = 0, category = 0;
        std::string unused_name;
        DivisionLine d;
        read_line_items(in, line,
                        std::array<fmt::Target, 10>{number, d.name, category, unused_name, d.land_category,
                                                    d.division, d.box.west, d.box.east, d.box.south, d.box.north},
                        routine, "a receptor division", console);
        if (!selection.selected(category)) continue;

        if (d.land_category < 1 || d.land_category > hgsim.nland)
            refuse(in, routine,
                   "land category " + std::to_string(d.land_category) + " outside 1 to " +
                       std::to_string(hgsim.nland), console);
        if (d.division <= 0) refuse(in, routine, "division number " + std::to_string(d.division) + " not positive",
                                    console);
        for (float v : {d.box.west, d.box.east, d.box.south, d.box.north})
            if (!std::isfinite(v)) refuse(in, routine, "division edge is not a number", console);
        check_coordinate(in, routine, "west edge", d.box.west, false, console);
        check_coordinate(in, routine, "east edge", d.box.east, false, console);
        check_coordinate(in, routine, "south edge", d.box.south, true, console);
        check_coordinate(in, routine, "north edge", d.box.north, true, console);
        if (!(d.box.east > d.box.west)) refuse(in, routine, "east edge of the division not east of its west edge",
                                               console);
        if (!(d.box.north > d.box.south))
            refuse(in, routine, "north edge of the division not north of its south edge", console);
        if (d.division == 1) {
            if (++receptors > kMaxReceptors)
                refuse(in, routine, "more than " + std::to_string(kMaxReceptors) + " receptors", console);
        } else if (last_division == 0) {
            refuse(in, routine, "division " + std::to_string(d.division) + " comes before a receptor's division 1",
                   console);
        } else if (d.division != last_division + 1) {
            refuse(in, routine,
                   "division " + std::to_string(d.division) + " does not follow division " +
                       std::to_string(last_division), console);
        }
        last_division = d.division;
        d.name = padded_name(d.name);
        d.line_number = in.line_number();
        lines.push_back(std::move(d));
    }
    return lines;
}

void open_output(TextOut& out, const std::string& name, std::string_view routine, TextOut& console) {
    if (!out.open(name, routine, console)) {
        console.list("*ERROR* ", routine, ": unable to create file - ", name);
        throw RunStop(kStopInput);
    }
}

void write_receptor_summaries(const ReceptorTables& t, TextOut& console) {
    static const fmt::Format summary("(I5, 2X, A25, 2X, I5, I5, F15.6, 999F15.6)");
    static const fmt::Format detail("(I5, 2X, A25, 2X, I5, I5, 999F15.6)");
    TextOut sum, det;
    open_output(sum, "recp_summary.out", "read_receptor_data", console);
    open_output(det, "recp_detail.out", "read_receptor_data", console);
    for (int32_t r = 1; r <= t.receptor_count(); ++r) {
        const Receptor& rc = t.receptor(r);
        const DivisionBox& box = t.box(r, 0);
        sum.put(summary, r, rc.receptor_name, rc.receptor_land_category, rc.division_count, rc.area_km2,
                rc.centre_lat, rc.centre_lon, box.west, box.east, box.south, box.north);
        for (int32_t d = 0; d <= rc.division_count; ++d) {
            const DivisionBox& b = t.box(r, d);
            det.put(detail, r, rc.receptor_name, rc.division_count, d, b.area_fraction, b.west, b.east, b.south,
                    b.north, b.x_west, b.x_east, b.y_south, b.y_north);
        }
    }
    sum.close();
    det.close();
}

// The receptor name as it may stand in a file name.
std::string file_name_part(std::string_view receptor_name) {
    std::string s = trim_trailing_blanks(receptor_name);
    for (char& c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 0x20 || u == 0x7f) c = '_';
    }
    if (!s.empty() && s.front() == '.') s.front() = '_';
    return s;
}

// The cep file's selected lines, checked.
std::vector<Cep> scan_cep_file(const CategorySelection& selection, const Hgsim& hgsim, std::string_view directory,
                               std::string_view routine, bool announce, TextOut& console) {
    TextInput in;
    open_definition_file(in, directory, kCepFile, routine, console);
    std::vector<Cep> ceps;
    std::string_view line;
    if (!in.next_line(line)) return ceps;
    if (announce) console.list("have read first line with field names");
    while (in.next_line(line)) {
        if (is_blank_line(line)) continue;
        int32_t category = 0, number = 0;
        std::string text;
        Cep c;
        read_line_items(in, line,
                        std::array<fmt::Target, 7>{category, text, number, c.cep_name, c.lat, c.lon, c.cep_code},
                        routine, "a cep", console);
        if (!selection.selected(category)) continue;
        if (c.cep_code < 1 || c.cep_code > hgsim.nland)
            refuse(in, routine,
                   "cep code " + std::to_string(c.cep_code) + " outside 1 to " + std::to_string(hgsim.nland), console);
        if (!std::isfinite(c.lat) || !std::isfinite(c.lon)) refuse(in, routine, "cep position is not a number",
                                                                   console);
        check_coordinate(in, routine, "cep latitude", c.lat, true, console);
        check_coordinate(in, routine, "cep longitude", c.lon, false, console);
        if (static_cast<int32_t>(ceps.size()) >= kMaxCeps)
            refuse(in, routine, "more than " + std::to_string(kMaxCeps) + " ceps", console);
        c.cep_name = padded_name(c.cep_name);
        ceps.push_back(std::move(c));
    }
    return ceps;
}

}  // namespace

void recp_ini(const CategorySelection& receptor_selection, const Hgsim& hgsim, int32_t& receptor_count,
              int32_t& ndivmax, TextOut& console, std::string_view directory) {
    const std::vector<DivisionLine> lines = scan_receptor_file(receptor_selection, hgsim, directory, "recp_ini", true,
                                                               console);
    receptor_count = 0;
    ndivmax = 0;
    for (const DivisionLine& d : lines) {
        if (d.division == 1) ++receptor_count;
        ndivmax = std::max(ndivmax, d.division);
    }
    console.list("leaving recp_ini, ndivmax = ", ndivmax);
}

void read_receptor_data(const CategorySelection& receptor_selection, const Hgsim& hgsim, int32_t receptor_count,
                        int32_t ndivmax, ReceptorTables& tables, TextOut& console, std::string_view directory) {
    const std::vector<DivisionLine> lines =
        scan_receptor_file(receptor_selection, hgsim, directory, "read_receptor_data", false, console);
    tables = ReceptorTables{};
    std::vector<DivisionBox> divisions;
    for (size_t i = 0; i < lines.size(); ++i) {
        divisions.push_back(lines[i].box);
        const bool last = i + 1 == lines.size() || lines[i + 1].division == 1;
        if (!last) continue;
        const DivisionLine& first = lines[i + 1 - divisions.size()];
        add_receptor(tables, first.name, first.land_category, divisions);
        divisions.clear();
        const int32_t r = tables.receptor_count();
        const float area = tables.receptor(r).area_km2;
        if (!(area < kMaxReceptorArea))
            input_stop("read_receptor_data", file_path(directory, kReceptorFile), first.line_number,
                       "area " + number_text(area) + " km2 of receptor " + std::to_string(r) + " (" +
                           trim_trailing_blanks(first.name) +
                           ") does not fit the summary's column (below 1e8 km2, a fifth of the Earth)",
                       console);
    }
    if (tables.receptor_count() != receptor_count || tables.ndivmax != ndivmax) {
        console.list("*ERROR* read_receptor_data: ", kReceptorFile, " holds ", tables.receptor_count(),
                     " receptors and ", tables.ndivmax, " divisions at most, not ", receptor_count, " and ", ndivmax);
        throw RunStop(kStopInput);
    }
    index_receptors(tables);
    write_receptor_summaries(tables, console);
}

std::string polygon_file_name(int32_t r, std::string_view receptor_name) {
    return "shp_input_" + fmt::format_int(r, 4, 4) + "_" + file_name_part(receptor_name) + ".txt";
}

void write_polygon_files(const ReceptorTables& tables, TextOut& console) {
    static const fmt::Format first("(A5, A2, F15.6, A2, F15.6)");
    static const fmt::Format corner("(F15.6, A2, F15.6)");
    TextOut batch;
    open_output(batch, "polyconv_batch_file.bat", "write_polygon_files", console);
    for (int32_t r = 1; r <= tables.receptor_count(); ++r) {
        const Receptor& rc = tables.receptor(r);
        const std::string file = polygon_file_name(r, rc.receptor_name);
        TextOut poly;
        open_output(poly, file, "write_polygon_files", console);
        for (int32_t d = 1; d <= rc.division_count; ++d) {
            const DivisionBox& b = tables.box(r, d);
            poly.put(first, fmt::format_int(d, 5), ", ", b.west, ", ", b.north);
            poly.put(corner, b.east, ", ", b.north);
            poly.put(corner, b.east, ", ", b.south);
            poly.put(corner, b.west, ", ", b.south);
            poly.put(corner, b.west, ", ", b.north);
            poly.line("END");
        }
        poly.line("END");
        poly.close();
        const std::string stem = fmt::format_int(r, 4, 4) + "_" + file_name_part(rc.receptor_name);
        batch.line(trim_trailing_blanks("polyconv " + stem + " polygons < " + file));
    }
    batch.close();
}

void count_cep_records(const CategorySelection& cep_selection, const Hgsim& hgsim, int32_t& cep_count,
                       TextOut& console, std::string_view directory) {
    cep_count = static_cast<int32_t>(scan_cep_file(cep_selection, hgsim, directory, "count_cep_records", true,
                                                   console).size());
}

void read_cep_data(const CategorySelection& cep_selection, const Hgsim& hgsim, int32_t cep_count, CepTables& tables,
                   TextOut& console, std::string_view directory) {
    tables = CepTables{};
    tables.ceps = scan_cep_file(cep_selection, hgsim, directory, "read_cep_data", false, console);
    if (tables.cep_count() != cep_count) {
        console.list("*ERROR* read_cep_data: ", kCepFile, " holds ", tables.cep_count(), " ceps, not ", cep_count);
        throw RunStop(kStopInput);
    }
    index_ceps(tables);
    static const fmt::Format summary("(I5, 2X, A25, 2X, I5, 2F15.6)");
    TextOut out;
    open_output(out, "cep_summary.out", "read_cep_data", console);
    for (int32_t c = 1; c <= tables.cep_count(); ++c) {
        const Cep& cp = tables.ceps[static_cast<size_t>(c - 1)];
        out.put(summary, c, cp.cep_name, cp.cep_code, cp.lat, cp.lon);
    }
    out.close();
}

}  // namespace orv
