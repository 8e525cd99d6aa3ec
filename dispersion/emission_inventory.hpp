#pragma once
// The gridded emission inventory: when "emission.txt" is present, the run's
// two starting locations are the lower-left and upper-right corners of a
// latitude-longitude emission grid, the inventory gives hourly emissions per
// cell, and every time step each emitting cell releases particles or puffs
// in place of the point sources.
//
// "emission.txt" (free-format unless said): the number of inventory
// pollutants, the number of values per day (1 to 24), a factor applied to
// every value, the cell size in latitude and longitude (degrees); a line of
// 4-character pollutant identifiers (255A4); the name of the data file (A).
// The data file repeats to its end: two integers (not used), the longitude
// and latitude of a cell's lower-left corner, then for each inventory
// pollutant its values of the day (one free-format read each). Points whose
// cell does not lie wholly inside the grid are read and dropped; several
// points in one cell add up.
//
// Only cells that received a point are kept, in row order, with one value per
// value of the day and pollutant: memory follows the data file, not the grid.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "run/control_file.hpp"
#include "run/particle_arrays.hpp"
#include "run/pollutants.hpp"
#include "run/settings.hpp"
#include "meteo/met_tables.hpp"

namespace orv {

inline constexpr std::string_view kEmissionInventoryFile = "emission.txt";

// What one unit of an inventory value releases per hour for a control
// pollutant: its emission rate, times the volume conversion when its mass is
// released in volume units; and for how many hours.
struct InventoryRate {
    std::string pollutant_id;
    double rate = 0.0;
    bool volume_units = false;
    float hours = 0.0f;  // of emission, negative in a backward run
};
InventoryRate inventory_rate(const Pollutant& d);

struct EmissionInventory {
    bool present = false;  // "emission.txt" exists: the inventory replaces the point sources
    int32_t ICHEM = 0;     // the run's option: a negative emission is a dust source under 3, refused otherwise
    // The control file's pollutants, set before emsdat (inventory_rate): a
    // cell's emission per hour times the rate of a pollutant that matches its
    // inventory pollutant is the mass the cell releases per hour, over the
    // pollutant's hours of emission.
    std::vector<InventoryRate> control_rates;
    // Header.
    int32_t npol_file = 0;  // inventory pollutants
    int32_t nvals = 0;      // values per day
    float factor = 0.0f;
    float dlat = 0.0f;      // cell size, degrees
    float dlon = 0.0f;
    // The grid: corners from starting locations 1 and 2, cell counts.
    float lat1 = 0.0f, lon1 = 0.0f, lat2 = 0.0f, lon2 = 0.0f;
    int32_t nlat = 0;
    int32_t nlon = 0;
    int32_t hours_per_value = 0;  // 24 / nvals
    std::vector<std::string> pollutant_ids;  // 4 characters each
    // The cells that received data, in row order (latitude index, then
    // longitude index), both 1-based.
    std::vector<int32_t> cell_i;
    std::vector<int32_t> cell_j;
    // Per cell, per value of the day, per inventory pollutant: the emission
    // per hour (value x factor / hours per value, summed over the points).
    std::vector<float> emissions;

    // Release state and work arrays, sized on first use.
    bool grid_emitting = false;  // some pollutant released in the previous call
    std::vector<float> fraction;   // per control pollutant
    std::vector<int32_t> match;    // per control pollutant: inventory pollutant (0-based) or -1
    std::vector<float> cell_mass;  // per mass slot
    int32_t positions_grid = 0;    // meteorological grid of the cached cell positions (0 = none)
    std::vector<float> cell_x;
    std::vector<float> cell_y;

    int32_t cell_count() const { return static_cast<int32_t>(cell_i.size()); }
    // The value index of hour of day h (0..23); a count of values that does
    // not divide the day gives its last value to the hours beyond it.
    int32_t value_index(int32_t h) const { return std::min(h / hours_per_value, nvals - 1); }
    const float* cell_values(int32_t c, int32_t value) const {
        return emissions.data() + (static_cast<size_t>(c) * nvals + value) * npol_file;
    }
    // The emission per hour of cell (i, j), inventory pollutant k (1-based
    // all three) in hour of day h (1..24); 0 for a cell without data.
    float gridded_emission(int32_t i, int32_t j, int32_t k, int32_t h) const;
};

// Looks for "emission.txt" in the working directory and reads its header;
// the two starting locations give the grid's corners. Without the file only
// `present` is cleared. Fewer or more than two locations, or a header that
// cannot be read or holds no usable grid, stop the run with code 900.
void emsini(const std::vector<SourceLocation>& locations, EmissionInventory& inv, Messages msg);

// Reads the inventory once the header is known (inv.present). A missing or
// malformed data file, no emission inside the grid, or an emission per hour
// that the run cannot take (alone, or times the rate of a control pollutant
// that takes it, see inv.control_rates, or that and its hours of emission)
// stops the run with code 900, naming the line of the data file.
void emsdat(EmissionInventory& inv, Messages msg);

// One step's releases at model_time (accumulated minutes), step dt_minutes
// (negative backward), from every cell with emission in the current hour of
// day, placed on the meteorological grid of starting location 1 at time
// index 1. The control file's pollutants give the release windows and rates,
// matched to the inventory by identifier; INITD, NUMPAR and QCYCLE are read;
// the arrays give MAXPAR. A control file whose pollutants match nothing in
// the inventory, or more pollutants than mass slots, stop the run.
void emsgrd(const std::vector<SourceLocation>& locations, std::vector<Pollutant>& dirt, const Settings& s,
            float dt_minutes, int32_t model_time, const MeteoFiles& met, ParticleArrays& p, EmissionInventory& inv,
            Messages msg);

}  // namespace orv
