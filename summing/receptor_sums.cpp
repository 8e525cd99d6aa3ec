#include "summing/receptor_sums.hpp"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "common/fortran_format.hpp"
#include "common/run_stop.hpp"
#include "common/text_input.hpp"
#include "common/text_output.hpp"

namespace orv {

namespace {

constexpr int32_t kMaxReceptors = 998;  // a "recpmass.out" line holds at most 999 values

// One line of "recp_summary.out".
struct ReceptorEntry {
    std::string receptor_name;
    int32_t receptor_land_category = 0;
    int32_t division_count = 0;
    // area_km2, centre_lat, centre_lon, box_west, box_east, box_south, box_north
    std::array<float, 7> reals{};
};

// One line of "recpmass.out".
struct MassRecord {
    std::string label, pollutant_id;
    int32_t nnp = 0, output_count = 0;
    std::array<int32_t, 5> date{};
    std::vector<float> values;  // the path total, then one per receptor
    std::vector<fmt::Target> targets;

    MassRecord(const MassRecord&) = delete;  // the targets point into the record
    explicit MassRecord(int32_t receptors) : values(static_cast<size_t>(receptors) + 1) {
        targets = {label, nnp, output_count, pollutant_id, date[0], date[1], date[2], date[3], date[4]};
        for (float& v : values) targets.emplace_back(v);
    }
    // Reads the next line; false at the end of the file or on a bad line.
    bool read(TextInput& in) {
        static const fmt::Format layout("(1X, A7, 2X, 2I5, 2X, A4, 5I8, 999ES15.6)");
        std::string_view line;
        if (!in.next_line(line)) return false;
        try {
            fmt::read(line, layout, std::span<const fmt::Target>(targets));
        } catch (const InputError&) {
            return false;
        }
        return true;
    }
};

// The sums of one record kind by block (0 = all), path (0 = all) and receptor.
class KindSums {
public:
    explicit KindSums(int32_t receptors)
        : stride_(static_cast<size_t>(receptors) + 1),
          s_(static_cast<size_t>(kTallyBlocks + 1) * (kTallyPaths + 1) * stride_, 0.0f) {}
    float& at(int32_t ip, int32_t np, int32_t r) {
        return s_[(static_cast<size_t>(ip) * (kTallyPaths + 1) + static_cast<size_t>(np)) * stride_ +
                  static_cast<size_t>(r)];
    }
    // Adds one record's values, in receptor order.
    void add(int32_t ip, int32_t np, const std::vector<float>& values) {
        for (size_t r = 0; r < values.size(); ++r) {
            const int32_t ri = static_cast<int32_t>(r);
            at(ip, np, ri) += values[r];
            at(ip, 0, ri) += values[r];
            at(0, 0, ri) += values[r];
        }
    }

private:
    size_t stride_;
    std::vector<float> s_;
};

bool open_input(TextInput& in, const std::filesystem::path& path, const std::string& name, TextOut& con) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) || !in.open(path.string())) {
        con.list(name, " not found, deptally program stop");
        return false;
    }
    con.list("opened ", name, " successfully");
    return true;
}

bool is_blank_line(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

// Reads "recp_summary.out" into entries 1..R; entry 0 is the path total.
std::optional<std::vector<ReceptorEntry>> read_receptor_summary(TextInput& in, TextOut& con) {
    static const fmt::Format layout("(I5, 2X, A25, 2X, I5, I5, F15.6, 999F15.6)");
    auto refuse = [&](const std::string& why) {
        con.list("recp_summary.out line ", in.line_number(), ": ", why, ", deptally program stop");
        return std::nullopt;
    };
    std::string_view line;
    int32_t count = 0;
    while (in.next_line(line))
        if (!is_blank_line(line)) ++count;
    if (count > kMaxReceptors)
        return refuse("more than " + std::to_string(kMaxReceptors) + " receptors (" + std::to_string(count) + ")");
    in.open(in.name());

    std::vector<ReceptorEntry> table(static_cast<size_t>(count) + 1);
    while (in.next_line(line)) {
        if (is_blank_line(line)) continue;
        int32_t number = 0;
        ReceptorEntry e;
        auto& v = e.reals;
        try {
            fmt::read(line, layout, number, e.receptor_name, e.receptor_land_category, e.division_count, v[0], v[1],
                      v[2], v[3], v[4], v[5], v[6]);
        } catch (const InputError& err) {
            return refuse(std::string("cannot be read (") + err.what() + ")");
        }
        if (number < 0 || number > count)
            return refuse("receptor number " + std::to_string(number) + " outside 0 to " + std::to_string(count));
        table[static_cast<size_t>(number)] = std::move(e);
    }
    con.list("done reading recp_summary.out the second time");
    ReceptorEntry& total = table[0];
    total.receptor_name = "path_tot" + std::string(17, ' ');
    total.receptor_land_category = -99;
    total.reals[0] = total.reals[1] = total.reals[2] = -999.0f;
    return table;
}

// The number of complete output times (blocks of 60 lines) before the first
// line that cannot be read or the end of the file.
int32_t count_output_times(TextInput& in, MassRecord& rec) {
    constexpr int32_t per_time = kTallyBlocks * kTallyPaths * kTallyKinds;
    int32_t times = 0;
    for (;;) {
        for (int32_t i = 0; i < per_time; ++i)
            if (!rec.read(in)) return times;
        ++times;
    }
}

// Reads the output times and sums them per record kind.
void sum_output_times(TextInput& in, int32_t num_times, MassRecord& rec, std::vector<KindSums>& sums, TextOut& con) {
    for (int32_t t = 1; t <= num_times; ++t) {
        con.list("reading data for time number = ", t);
        for (int32_t ip = 1; ip <= kTallyBlocks; ++ip)
            for (int32_t np = 1; np <= kTallyPaths; ++np)
                for (int32_t k = 0; k < kTallyKinds; ++k) {
                    if (!rec.read(in)) return;
                    if (rec.nnp != np) con.list("nnp = ", rec.nnp, "not equal to np = ", np);
                    sums[static_cast<size_t>(k)].add(ip, np, rec.values);
                }
    }
}

void write_sum_files(const std::vector<ReceptorEntry>& table, std::vector<KindSums>& s,
                     std::array<TextOut, 3>& files, TextOut& con) {
    static const fmt::Format layout("(I5, 2X, A25, 2X, 3F15.6, I5, 999ES14.6)");
    std::vector<fmt::Value> items;
    for (int32_t r = 0; r < static_cast<int32_t>(table.size()); ++r) {
        con.list("writing sum_1 data for recp num = ", r);
        const ReceptorEntry& e = table[static_cast<size_t>(r)];
        auto lead = [&] {
            items.clear();
            items.insert(items.end(), {fmt::Value(r), fmt::Value(e.receptor_name), fmt::Value(e.reals[0]),
                                       fmt::Value(e.reals[1]), fmt::Value(e.reals[2]),
                                       fmt::Value(e.receptor_land_category)});
        };
        auto put = [&](TextOut& f) {
            std::string text;
            fmt::write(text, layout, items);
            f.raw(text);
        };
        lead();
        for (int32_t ip = 0; ip <= kTallyBlocks; ++ip) items.emplace_back(s[2].at(ip, 0, r));
        put(files[0]);
        lead();
        for (int32_t ip = 0; ip <= kTallyBlocks; ++ip)
            for (int32_t k = 0; k < kTallyKinds; ++k) items.emplace_back(s[static_cast<size_t>(k)].at(ip, 0, r));
        put(files[1]);
        lead();
        for (int32_t np = 1; np <= kTallyPaths; ++np)
            for (int32_t ip = 1; ip <= kTallyBlocks; ++ip)
                for (int32_t k = 0; k < kTallyKinds; ++k)
                    items.emplace_back(s[static_cast<size_t>(k)].at(ip, np, r));
        put(files[2]);
    }
}

}  // namespace

int32_t sum_receptor_output(const std::filesystem::path& directory, TextOut& console) {
    TextInput mass, summary;
    if (!open_input(mass, directory / "recpmass.out", "recpmass.out", console)) return 1;
    if (!open_input(summary, directory / "recp_summary.out", "recp_summary.out", console)) return 1;

    const std::optional<std::vector<ReceptorEntry>> table = read_receptor_summary(summary, console);
    if (!table) return 1;
    summary.close();
    const int32_t receptors = static_cast<int32_t>(table->size()) - 1;

    MassRecord rec(receptors);
    const int32_t num_times = count_output_times(mass, rec);
    console.list("num_times = ", num_times);
    if (num_times == 0) {
        console.list("no times to read");
        return 1;
    }
    console.list("done reading recpmass.out the first time");
    mass.open(mass.name());

    std::vector<KindSums> sums(kTallyKinds, KindSums(receptors));
    sum_output_times(mass, num_times, rec, sums, console);
    mass.close();
    console.list("done reading tally data");

    std::array<TextOut, 3> files;
    for (int32_t i = 0; i < 3; ++i) {
        const std::string name = "recpsum_" + std::to_string(i + 1) + ".out";
        if (!files[static_cast<size_t>(i)].open((directory / name).string(), "sum_receptor_output", console)) {
            console.list("unable to create ", name, ", deptally program stop");
            return 1;
        }
    }
    // A file that cannot be written to its end is named on the console (by
    // the writer) and fails the program; the others are closed all the same.
    bool failed = false;
    try {
        write_sum_files(*table, sums, files, console);
    } catch (const RunStop&) {
        failed = true;
    }
    for (TextOut& f : files) {
        try {
            f.close();
        } catch (const RunStop&) {
            failed = true;
        }
    }
    console.flush();
    return failed ? 1 : 0;
}

}  // namespace orv
