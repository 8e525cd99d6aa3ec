#include "meteo/met_subgrid_arrays.hpp"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "common/run_stop.hpp"

namespace orv {

namespace {

[[noreturn]] void allocation_failure(const char* label, TextOut& console) {
    console.list("*ERROR* advpnt: memory allocation - ", 1, label);
    throw RunStop(kStopInput);
}

// Sizes v to n zeroed elements, or ends the run with the label.
template <typename T>
void allocate_zeroed(std::vector<T>& v, int64_t n, const char* label, TextOut& console) {
    try {
        if (n < 0 || static_cast<uint64_t>(n) > v.max_size()) throw std::length_error(label);
        v.assign(static_cast<size_t>(n), T{});
    } catch (const std::bad_alloc&) {
        allocation_failure(label, console);
    } catch (const std::length_error&) {
        allocation_failure(label, console);
    }
}

template <typename T>
void release(std::vector<T>& v) {
    std::vector<T>().swap(v);
}

}  // namespace

bool MetSubgridArrays::nothing_loaded() const {
    return std::all_of(time_table.begin(), time_table.end(), [](int32_t t) { return t == 0; });
}

FieldView3D MetSubgridArrays::field3(MetField3 f, int32_t kg, int32_t slot) {
    const int64_t point = int64_t{kMetField3Count} * nz;
    const int64_t block = int64_t{nx} * ny * point;
    float* base = met3.data() + (int64_t{kg - 1} * 2 + (slot - 1)) * block + int64_t{f} * nz;
    return FieldView3D{base, int64_t{nx} * point, 1, nz, point};
}

FieldView2D MetSubgridArrays::field2(SfcField f, int32_t kg, int32_t slot) {
    const int64_t block = int64_t{nx} * ny * kSfcFieldCount;
    float* base = sfc.data() + (int64_t{kg - 1} * 2 + (slot - 1)) * block + f;
    return FieldView2D{base, int64_t{nx} * kSfcFieldCount, kSfcFieldCount};
}

MetSlotFields MetSubgridArrays::slot_fields(int32_t kg, int32_t slot) {
    MetSlotFields s;
    s.met_u = field3(kMetU, kg, slot);
    s.met_v = field3(kMetV, kg, slot);
    s.met_w = field3(kMetW, kg, slot);
    s.met_temperature = field3(kMetTemperature, kg, slot);
    s.met_potential_temperature = field3(kMetPotentialTemperature, kg, slot);
    s.met_humidity = field3(kMetHumidity, kg, slot);
    s.met_turbulence_1 = field3(kMetTurbulence1, kg, slot);
    s.met_pressure = field3(kMetPressure, kg, slot);
    s.met_turbulence_3 = field3(kMetTurbulence3, kg, slot);
    s.met_turbulence_2 = field3(kMetTurbulence2, kg, slot);
    s.sfc_pressure = field2(kSfcPressure, kg, slot);
    s.sfc_precipitation = field2(kSfcPrecipitation, kg, slot);
    s.sfc_u10 = field2(kSfcU10, kg, slot);
    s.sfc_v10 = field2(kSfcV10, kg, slot);
    s.sfc_temperature_2m = field2(kSfcTemperature2m, kg, slot);
    s.sfc_mixed_layer_depth = field2(kSfcMixedLayerDepth, kg, slot);
    s.sfc_momentum_x = field2(kSfcMomentumX, kg, slot);
    s.sfc_momentum_y = field2(kSfcMomentumY, kg, slot);
    s.sfc_heat = field2(kSfcHeat, kg, slot);
    s.sfc_stability_1 = field2(kSfcStability1, kg, slot);
    s.sfc_stability_2 = field2(kSfcStability2, kg, slot);
    s.sfc_shortwave_flux = field2(kSfcShortwaveFlux, kg, slot);
    return s;
}

MetFixedFields MetSubgridArrays::fixed_fields(int32_t kg) {
    const int64_t block = int64_t{nx} * ny * kFixedFieldCount;
    float* base = fixed.data() + int64_t{kg - 1} * block;
    const int64_t ldx = int64_t{nx} * kFixedFieldCount;
    MetFixedFields f;
    f.grid_spacing_x = FieldView2D{base + kGridSpacingX, ldx, kFixedFieldCount};
    f.grid_spacing_y = FieldView2D{base + kGridSpacingY, ldx, kFixedFieldCount};
    f.roughness_length = FieldView2D{base + kRoughnessLength, ldx, kFixedFieldCount};
    f.terrain_height = FieldView2D{base + kTerrainHeight, ldx, kFixedFieldCount};
    f.land_use = IntFieldView2D{land_use.data() + int64_t{kg - 1} * nx * ny, nx, 1};
    return f;
}

void create_met_tables(MetSubgridArrays& a, int32_t ng, TextOut& console) {
    const int64_t n = int64_t{std::max(ng, 0)} * 2;
    allocate_zeroed(a.time_table, n, "Meteo array time pointer", console);
    allocate_zeroed(a.forecast_table, n, "Meteo forecast time pointer", console);
    a.ng = ng;
    for (int32_t kg = 1; kg <= std::min(ng, kMaxMetGrids); ++kg) {
        MetGridWindow& w = a.window(kg);
        w.x1 = w.planned_x1;
        w.y1 = w.planned_y1;
        w.nx = w.planned_nx;
        w.ny = w.planned_ny;
    }
    a.request_times = {0, 0};
    a.time_slots = {1, 2};
    a.tables_created = true;
}

void fit_met_fields_to_subgrid(MetSubgridArrays& a, int32_t kg, int32_t nz, Messages msg) {
    const MetGridWindow& w = a.window(kg);
    if (a.fields_allocated() && w.nx <= a.nx && w.ny <= a.ny && nz <= a.nz) return;

    int32_t nx = 0, ny = 0;
    for (int32_t g = 1; g <= a.ng; ++g) {
        nx = std::max(nx, a.window(g).nx);
        ny = std::max(ny, a.window(g).ny);
    }
    nx = std::max(nx, 0);
    ny = std::max(ny, 0);
    nz = std::max({nz, a.nz, 1});
    release_met_arrays(a);

    // Point-by-point blocks (see the header): one allocation per kind of
    // field, each reported under the label of its first group.
    const int64_t points = int64_t{nx} * ny;
    const int64_t grids = a.ng;
    allocate_zeroed(a.met3, points * kMetField3Count * nz * 2 * grids, "Velocity variables", msg.console);
    allocate_zeroed(a.sfc, points * kSfcFieldCount * 2 * grids, "Surface variables", msg.console);
    allocate_zeroed(a.fixed, points * kFixedFieldCount * grids, "Grid size variables", msg.console);
    allocate_zeroed(a.land_use, points * grids, "Fixed variables", msg.console);
    a.nx = nx;
    a.ny = ny;
    a.nz = nz;
    msg.log.list(" NOTICE advpnt: (kg,nx,ny,nz) - ", kg, nx, ny, nz);
    std::fill(a.time_table.begin(), a.time_table.end(), 0);
}

void release_met_arrays(MetSubgridArrays& a) {
    release(a.met3);
    release(a.sfc);
    release(a.fixed);
    release(a.land_use);
    a.nx = 0;
    a.ny = 0;
    a.nz = 0;
}

}  // namespace orv
