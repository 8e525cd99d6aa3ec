#include "meteo/met_loading.hpp"

#include <algorithm>

#include "meteo/packed_format.hpp"

namespace orv {

MetinpFields metinp_fields(const MetSlotFields& s, const MetFixedFields& f) {
    MetinpFields m;
    m.terrain = f.terrain_height;
    m.shortwave = s.sfc_shortwave_flux;
    m.sfc_pressure = s.sfc_pressure;
    m.temperature_2m = s.sfc_temperature_2m;
    m.u10 = s.sfc_u10;
    m.v10 = s.sfc_v10;
    m.momentum_x = s.sfc_momentum_x;
    m.momentum_y = s.sfc_momentum_y;
    m.heat = s.sfc_heat;
    m.precipitation = s.sfc_precipitation;
    m.mixed_layer_depth = s.sfc_mixed_layer_depth;
    m.u = s.met_u;
    m.v = s.met_v;
    m.w = s.met_w;
    m.temperature = s.met_temperature;
    m.humidity = s.met_humidity;
    m.pressure = s.met_pressure;
    m.turbulence_1 = s.met_turbulence_1;
    m.turbulence_2 = s.met_turbulence_2;
    m.turbulence_3 = s.met_turbulence_3;
    return m;
}

void load_met_period(MeteoState& met, int32_t kg, int32_t kt, int32_t slot, int32_t t, int32_t data_levels,
                     Messages msg) {
    MetSubgridArrays& a = met.arrays;
    const MetGridWindow& w = a.window(kg);
    const MetFileEntry& fe = met.files.file(kg, kt);
    const MeteoDataFlags& fl = met.files.layout(kg, kt).flags;
    const int64_t record =
        period_first_record(fe.first.macc, t, fl.records_per_period, std::max(fl.data_interval, 1));
    int32_t data_time = a.met_time(kg, slot), forecast = a.met_forecast(kg, slot);
    metinp(met.files, kg, kt, record, UnpackWindow{w.x1, w.y1, w.nx, w.ny}, data_levels, data_time, forecast,
           metinp_fields(a.slot_fields(kg, slot), a.fixed_fields(kg)), msg);
    a.met_time(kg, slot) = data_time;
    a.met_forecast(kg, slot) = forecast;
}

}  // namespace orv
