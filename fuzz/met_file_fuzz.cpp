// Fuzz target of the meteorological file reader: the input is one data file.
// The set-up describes it; when it is accepted, its first period is unpacked
// into a window of the grid.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/run_stop.hpp"
#include "run/calendar.hpp"
#include "fuzz/fuzz_support.hpp"
#include "meteo/met_setup.hpp"
#include "meteo/metinp.hpp"

namespace {

void read_first_period(orv::MeteoFiles& met, orv::Messages msg) {
    const auto& gd = met.grid(1, 1);
    const int32_t levels = gd.nz - 1;
    orv::UnpackWindow w{1, 1, std::min(gd.nx, 16), std::min(gd.ny, 16)};
    const int64_t plane = int64_t{w.nx} * w.ny;
    std::vector<float> surface(static_cast<size_t>(plane) * 11, 0.0f);
    std::vector<float> upper(static_cast<size_t>(plane) * std::max(levels, 1) * 9, 0.0f);
    orv::MetinpFields f;
    orv::FieldView2D* two[] = {&f.terrain, &f.shortwave, &f.sfc_pressure, &f.temperature_2m, &f.u10, &f.v10,
                               &f.momentum_x, &f.momentum_y, &f.heat, &f.precipitation, &f.mixed_layer_depth};
    for (size_t n = 0; n < std::size(two); ++n) *two[n] = orv::FieldView2D{surface.data() + n * plane, w.nx};
    orv::FieldView3D* three[] = {&f.u, &f.v, &f.w, &f.temperature, &f.humidity, &f.pressure,
                                 &f.turbulence_1, &f.turbulence_2, &f.turbulence_3};
    for (size_t n = 0; n < std::size(three); ++n)
        *three[n] = orv::FieldView3D{upper.data() + n * plane * std::max(levels, 1), w.nx, plane, levels};
    int32_t data_time = 0, forecast = 0;
    orv::metinp(met, 1, 1, 1, w, levels, data_time, forecast, f, msg);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static orv::fuzz::WorkFolder folder("orv_met_fuzz");
    orv::tminit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    orv::fuzz::write_input("fuzz.bin", data, size);
    orv::fuzz::QuietConsole quiet;
    const orv::Messages msg = quiet.msg();
    orv::Settings settings;
    orv::RunControl run;
    run.met_files[0][0] = orv::MetFileName{"./", "fuzz.bin"};
    orv::SourceLocation first;
    first.lat = 40.0f;
    first.start_year = 24;
    first.start_month = 1;
    first.start_day = 1;
    auto met = std::make_unique<orv::MeteoFiles>();
    try {
        orv::metini(settings, run, first, msg, *met);
        read_first_period(*met, msg);
    } catch (const orv::RunStop&) {
    }
    return 0;
}
