#pragma once
// Reading one time period of a meteorological file into the fields of the
// current sub-grid window.

#include <cstdint>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "meteo/field_view.hpp"
#include "meteo/met_tables.hpp"
#include "meteo/pakinp.hpp"

namespace orv {

// The fields a period is read into, each over the window (3-D fields over
// the levels read). A field left empty is not wanted: its records are read
// and skipped.
struct MetinpFields {
    // Surface fields.
    FieldView2D terrain;            // SHG, HGT
    FieldView2D shortwave;          // DSW
    FieldView2D sfc_pressure;       // PRS
    FieldView2D temperature_2m;     // TMP, T02
    FieldView2D u10;                // U10
    FieldView2D v10;                // V10
    FieldView2D momentum_x;         // UST, or UMO / EXC without friction velocity
    FieldView2D momentum_y;         // VMO without friction velocity
    FieldView2D heat;               // TST, or SHT / HFL without friction temperature
    FieldView2D precipitation;      // TPP, PRT
    FieldView2D mixed_layer_depth;  // MXH, HPB, PBL
    // Upper-level fields, level k = file level k + 1.
    FieldView3D u;             // UWND
    FieldView3D v;             // VWND
    FieldView3D w;             // WWND, DZDT
    FieldView3D temperature;   // TEMP, THET
    FieldView3D humidity;      // SPHU, RELH
    FieldView3D pressure;      // HGTS, PRES (plus PPRE)
    FieldView3D turbulence_1;  // TKEN, VVAR
    FieldView3D turbulence_2;  // UVAR
    FieldView3D turbulence_3;  // WVAR
};

// Reads the period that starts at `first_record` of the file of grid kg, time
// kt: the surface and the upper levels 1..`levels` (file levels 1..levels+1),
// over the window. Returns the data time (accumulated minutes) and forecast
// hour of the period. Reading before the file's start or past its end only
// warns and leaves the fields and outputs as they were.
void metinp(MeteoFiles& met, int32_t kg, int32_t kt, int64_t first_record, const UnpackWindow& window,
            int32_t levels, int32_t& data_time, int32_t& forecast_hour, const MetinpFields& fields, Messages msg);

}  // namespace orv
