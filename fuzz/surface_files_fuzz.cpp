// Fuzz target of the surface-file reader. The input is "ASCDATA.CFG", a zero
// byte, then the text that serves as "LANDUSE.ASC", "ROUGLEN.ASC" and
// "TERRAIN.ASC"; its last 8 bytes give the point looked up.

#include <cstdint>
#include <cstring>
#include <string>

#include "common/run_stop.hpp"
#include "fuzz/fuzz_support.hpp"
#include "meteo/surface_files.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static orv::fuzz::WorkFolder folder("orv_sfc_fuzz");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string all(reinterpret_cast<const char*>(data), size);
    float lat = 0.0f, lon = 0.0f;
    if (all.size() >= 8) {
        std::memcpy(&lat, all.data() + all.size() - 8, 4);
        std::memcpy(&lon, all.data() + all.size() - 4, 4);
        all.resize(all.size() - 8);
    }
    const size_t cut = all.find('\0');
    orv::fuzz::write_input("ASCDATA.CFG", all.substr(0, cut));
    const std::string grid = cut == std::string::npos ? std::string() : all.substr(cut + 1);
    for (const char* name : {"LANDUSE.ASC", "ROUGLEN.ASC", "TERRAIN.ASC"}) orv::fuzz::write_input(name, grid);

    orv::fuzz::QuietConsole quiet;
    const orv::Messages msg = quiet.msg();
    orv::SurfaceFiles files;
    float roughness = 0.0f, terrain = 0.0f;
    int32_t landuse = 0;
    try {
        orv::sfcinp(files, msg, lat, lon, roughness, landuse, true, terrain);
        orv::sfcinp(files, msg, -lat, lon + 180.0f, roughness, landuse, true, terrain);
        orv::sfcinp(files, msg, 90.0f, -180.0f, roughness, landuse, false, terrain);
    } catch (const orv::RunStop&) {
    }
    return 0;
}
