#pragma once
// Writing the source and sampling inputs of a run: an emission file (named by
// EFILE), a gridded emission inventory ("emission.txt" and its data file), a
// sampler file ("LAGSET.CFG") and a species conversion table
// ("CHEMRATE.TXT"), each through a temporary file so that a failure leaves
// nothing half-written.

#include <cstdint>
#include <string>
#include <vector>

namespace orv::fixture {

// ---- emission file ----

// One source location of an emission file: the values of its data lines
// (one per pollutant, the rate scaled by the pollutant's factor).
struct EmissionSource {
    float lat = 40.0f;
    float lon = -90.0f;
    float height = 50.0f;  // m above ground
    float rate = 1.0f;     // per hour
    float area = 0.0f;     // m2
    float heat = 0.0f;     // heat release, 0 = no plume rise
};

struct EmissionFileRecipe {
    int32_t year = 2024;  // start of the first group
    int32_t month = 1;
    int32_t day = 1;
    int32_t hour = 0;
    int32_t groups = 1;          // consecutive groups of group_hours each
    int32_t group_hours = 24;
    int32_t release_hours = 24;  // each data line's window from its group's start (HHMM = hours x 100)
    int32_t pollutants = 1;
    std::vector<float> pollutant_factor;  // rate factor per pollutant (default 1)
    std::vector<EmissionSource> sources{EmissionSource{}};
};

// The text of the file.
std::string emission_file_text(const EmissionFileRecipe& r);
void write_emission_file(const std::string& path, const EmissionFileRecipe& r);

// ---- gridded inventory ----

struct InventoryPoint {
    float lon = 0.0f;  // lower-left corner of the cell, degrees
    float lat = 0.0f;
    // Per inventory pollutant, its values of the day (nvals each).
    std::vector<std::vector<float>> values;
};

struct InventoryRecipe {
    std::vector<std::string> pollutants{"TEST"};  // 4-character identifiers
    int32_t nvals = 1;
    float factor = 1.0f;
    float dlat = 0.5f;
    float dlon = 0.5f;
    std::string data_file = "emission_data.txt";
    std::vector<InventoryPoint> points;
};

// A recipe covering [lat1, lat2) x [lon1, lon2) with cells of the recipe's
// size, every cell emitting `value` for every pollutant and value of the day.
InventoryRecipe uniform_inventory(float lat1, float lon1, float lat2, float lon2, float cell, float value,
                                  std::vector<std::string> pollutants, int32_t nvals);

std::string inventory_header_text(const InventoryRecipe& r);
std::string inventory_data_text(const InventoryRecipe& r);
// Writes "emission.txt" and the data file into `dir`.
void write_inventory(const std::string& dir, const InventoryRecipe& r);

// ---- samplers ----

struct SamplerRecipe {
    float lat = 40.0f;
    float lon = -90.0f;
    float height = 100.0f;
    float direction = 0.0f;
    float speed = 0.0f;
    int32_t start[5] = {2024, 1, 1, 0, 0};
    int32_t first_output[5] = {2024, 1, 1, 0, 0};
    int32_t average_minutes = 60;
    int32_t output_interval = 60;
    std::string output_file = "sampler_1.txt";
};

std::string sampler_file_text(const std::vector<SamplerRecipe>& samplers);
void write_sampler_file(const std::string& path, const std::vector<SamplerRecipe>& samplers);

// ---- species conversion table ----

struct RateRecipe {
    int32_t from_slot = 1;
    int32_t to_slot = 2;
    float rate_per_hour = 0.1f;
    float mass_factor = 1.0f;
};

std::string rate_table_text(const std::vector<RateRecipe>& reactions);
void write_rate_table(const std::string& path, const std::vector<RateRecipe>& reactions);

// The "emissions", "inventory", "samplers" and "rates" commands of
// orvfixture: argv[0] is the command's name.
int emission_inputs_main(int argc, char** argv);
bool is_emission_inputs_command(const std::string& name);

}  // namespace orv::fixture
