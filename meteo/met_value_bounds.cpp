#include "meteo/met_value_bounds.hpp"

#include <array>

namespace orv {

namespace {

using Q = MetQuantity;

// Real extremes, for the margins: surface pressure 300 to 1090 hPa; level
// pressure down to 0.01 hPa at the tops of global models; temperature 110 K
// (mesopause) to 350 K (desert ground), potential temperature to 8000 K at
// 0.01 hPa; wind 150 m/s; updrafts 60 m/s; terrain -430 to 8850 m; mixed
// layer 6 km; friction velocity 3 m/s; heat flux 1000 W/m2; solar flux
// 1361 W/m2; a month's rain 9.3 m. The small negative floors of quantities
// that cannot be negative leave room for the packing's rounding.
constexpr std::array<MetValueBounds, static_cast<size_t>(Q::Count)> kBounds = {{
    {Q::SurfacePressure, "surface pressure", "PRSS", 100.0f, 1200.0f, "hPa"},
    {Q::LevelPressure, "pressure", "PRES, and PRES plus PPRE", 1.0e-4f, 1200.0f, "hPa"},
    {Q::Temperature, "temperature", "TMPS, T02M, TEMP", 50.0f, 500.0f, "K"},
    {Q::PotentialTemperature, "potential temperature", "THET", 50.0f, 1.0e5f, "K"},
    {Q::RelativeHumidity, "relative humidity", "RELH", -10.0f, 200.0f, "%"},
    {Q::SpecificHumidity, "specific humidity", "SPHU", -0.01f, 1.0f, "kg/kg"},
    {Q::WindComponent, "wind", "U10M, V10M, UWND, VWND", -500.0f, 500.0f, "m/s"},
    {Q::PressureVelocity, "vertical velocity", "WWND", -50.0f, 50.0f, "hPa/s"},
    {Q::HeightVelocity, "vertical velocity", "DZDT", -200.0f, 200.0f, "m/s"},
    {Q::TerrainHeight, "terrain height", "SHGT, HGTS at the surface", -2000.0f, 10000.0f, "m"},
    {Q::LevelHeight, "height", "HGTS", -5000.0f, 200000.0f, "m"},
    {Q::MixedLayerDepth, "mixed-layer depth", "PBLH, MXHT, HPBL", -100.0f, 20000.0f, "m"},
    {Q::Precipitation, "precipitation", "TPP*, PRT*", -1.0f, 50.0f, "m"},
    {Q::FrictionVelocity, "friction velocity", "USTR", -1.0f, 10.0f, "m/s"},
    {Q::MomentumFlux, "momentum flux", "UMOF, VMOF", -100.0f, 100.0f, "N/m2"},
    {Q::ExchangeCoefficient, "exchange coefficient", "EXCO", -10.0f, 1000.0f, "kg/(m2 s)"},
    {Q::FrictionTemperature, "friction temperature", "TSTR", -50.0f, 50.0f, "K"},
    {Q::HeatFlux, "heat flux", "SHTF, HFLX", -5000.0f, 5000.0f, "W/m2"},
    {Q::ShortwaveFlux, "shortwave flux", "DSWF", -50.0f, 2000.0f, "W/m2"},
    {Q::Turbulence, "turbulence", "TKEN, UVAR, VVAR, WVAR", -10.0f, 1000.0f, "m2/s2"},
}};

constexpr bool rows_in_order() {
    for (size_t k = 0; k < kBounds.size(); ++k)
        if (static_cast<size_t>(kBounds[k].quantity) != k || !(kBounds[k].low < kBounds[k].high)) return false;
    return true;
}
static_assert(rows_in_order(), "one row per quantity, in the order of MetQuantity, low below high");

}  // namespace

const MetValueBounds& met_value_bounds(MetQuantity q) { return kBounds[static_cast<size_t>(q)]; }

bool find_value_outside(const FieldView2D& field, int32_t nx, int32_t ny, const MetValueBounds& bounds,
                        ValueOutside& out) {
    const float low = bounds.low, high = bounds.high;
    for (int32_t j = 1; j <= ny; ++j) {
        for (int32_t i = 1; i <= nx; ++i) {
            const float v = field.at(i, j);
            if (v >= low && v <= high) continue;
            out = ValueOutside{i, j, v};
            return true;
        }
    }
    return false;
}

}  // namespace orv
