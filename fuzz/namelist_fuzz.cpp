// Fuzz target: the namelist reader, on the SETUP and HG_SETUP groups with
// their real items. A malformed file must end in orv::InputError, nothing else.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "common/namelist.hpp"
#include "common/run_stop.hpp"
#include "run/settings.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    {
        orv::Settings s;
        auto items = orv::setup_items(s);
        std::istringstream stream(text);
        orv::TextInput in;
        in.attach(stream, "SETUP.CFG");
        try {
            orv::read_namelist(in, "SETUP", items);
        } catch (const orv::InputError&) {
        }
    }
    {
        orv::HgSetup h;
        auto items = orv::hg_setup_items(h);
        std::istringstream stream(text);
        orv::TextInput in;
        in.attach(stream, "Hg_SETUP.CFG");
        try {
            orv::read_namelist(in, "HG_SETUP", items);
        } catch (const orv::InputError&) {
        }
        // The effective values written back must read back.
        std::string written = orv::write_namelist("HG_SETUP", items);
        orv::HgSetup again;
        auto again_items = orv::hg_setup_items(again);
        std::istringstream back(written);
        orv::TextInput in2;
        in2.attach(back, "CONC.CFG");
        orv::read_namelist(in2, "HG_SETUP", again_items);
    }
    return 0;
}
