#pragma once
// The settings the run really uses, written back as "CONC.CFG" (a SETUP
// namelist file a later run can read as its SETUP.CFG), and the configuration
// report in the message log.

#include <string>

#include "common/messages.hpp"
#include "driver/run_context.hpp"

namespace orv {

// The 44 lines of CONC.CFG. Every value takes the field of its line where it
// fits, else the narrowest field that holds it; names are written whole
// (trailing blanks dropped) between apostrophes, an apostrophe doubled.
std::string conc_cfg_text(const Settings& s);

// A name as CONC.CFG writes it: 'name' with inner apostrophes doubled.
std::string quoted_name(const std::string& name);

// Writes CONC.CFG to the working directory (a file that cannot be written
// stops the run), then closes the control input and its keyboard copy.
void write_conc_cfg(RunContext& ctx);

// The configuration report: the SETUP group, the internal grid, the flags of
// the first pollutant and the data flags of meteorological grid 1; the
// console gets the "Calculation Started" line.
void write_configuration_report(const Settings& s, const InternalVerticalGrid& grid, const Pollutant& first,
                                const MeteoDataFlags& flags, Messages msg);

}  // namespace orv
