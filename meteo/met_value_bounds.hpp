#pragma once
// The bounds of every meteorological quantity the run reads from its data
// files. They lie well beyond anything a real analysis or forecast holds:
// a value outside them (or not a number) is damaged or mislabelled data,
// which the run refuses as the record is read rather than carry it into
// NaN positions, empty grids or puffs thrown off the domain.

#include <cstdint>
#include <string_view>

#include "meteo/field_view.hpp"

namespace orv {

// What a record is read as. The rows of the bounds table follow this order.
enum class MetQuantity : int32_t {
    SurfacePressure,
    LevelPressure,
    Temperature,
    PotentialTemperature,
    RelativeHumidity,
    SpecificHumidity,
    WindComponent,
    PressureVelocity,
    HeightVelocity,
    TerrainHeight,
    LevelHeight,
    MixedLayerDepth,
    Precipitation,
    FrictionVelocity,
    MomentumFlux,
    ExchangeCoefficient,
    FrictionTemperature,
    HeatFlux,
    ShortwaveFlux,
    Turbulence,
    Count
};

struct MetValueBounds {
    MetQuantity quantity;
    std::string_view name;  // in the refusal: "outside the <name> bounds"
    std::string_view ids;   // the variable identifiers read as it
    float low;              // lowest value taken
    float high;             // highest value taken
    std::string_view units;
};

const MetValueBounds& met_value_bounds(MetQuantity q);

// A value outside its bounds and its place in the window (1-based).
struct ValueOutside {
    int32_t i = 0;
    int32_t j = 0;
    float value = 0.0f;
};

// The first value of the window (columns 1..nx of rows 1..ny, row by row)
// below the low bound, above the high bound or not a number: true and its
// place in `out`; false when every value lies within the bounds.
bool find_value_outside(const FieldView2D& field, int32_t nx, int32_t ny, const MetValueBounds& bounds,
                        ValueOutside& out);

}  // namespace orv
