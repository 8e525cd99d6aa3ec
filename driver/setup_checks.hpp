#pragma once
// Settings that the run cannot carry out, refused at set-up before any output
// beyond the start-up files: every puff goes through the mercury chemistry
// and deposition steps, which read pollutant slots 1 to 4, compute a puff
// volume (Gaussian and top-hat puffs only), book five deposition paths and
// use the land-use tables of categories 1 to 20. The particle files must not
// be one file read and written at once.

#include <string_view>

#include "run/input_checks.hpp"
#include "run/settings.hpp"
#include "meteo/met_tables.hpp"

namespace orv {

// Writes the message lines of every refused setting and stops the run with
// code 900 when there is one, naming the file of each. When the SETUP file
// was looked for and not found, refused defaults are preceded by a line
// naming it.
void refuse_settings_the_run_cannot_use(const Settings& s, const HgSetup& h, const SettingsFiles& files,
                                        TextOut& console);

// Whether the particle initialisation file will be read: it exists, NINIT is
// not 0 and the name does not begin with a blank. Something other than a
// readable file in its place stops the run naming it.
bool particle_init_file_in_use(const Settings& s, TextOut& console);

// Where the releases come from: the gridded inventory when "emission.txt"
// is there; else the emission file when EFILE names one that is there (a
// forward run goes back to the point sources once its last group has
// passed); else the point sources of the control file.
bool inventory_in_use(TextOut& console);
bool emission_file_in_use(const Settings& s, TextOut& console);

// How the releases take a location's own rate: not at all with the inventory
// (the locations are its corners); only above 0 with the emission file in a
// backward run, which reads the file to the end every hour; otherwise
// whenever it is not 0, as the point sources do.
LocationRateUse location_rate_use(const Settings& s, bool backward, TextOut& console);

// Whether two file names name the same file (the same name, or two names of
// one existing file).
bool same_file(const std::string& a, const std::string& b);

// The emission file's releases fill the mass slots from the pollutants one
// to one (or all into one slot): with the emission file in use, a number of
// pollutants (`numtyp`, as the releases count them) other than MAXDIM, with
// MAXDIM not 1, stops the run with code 900, naming the control file.
void check_emission_file_slots(const Settings& s, int32_t numtyp, std::string_view control, TextOut& console);

// ICHEM 7 moves particles over water surfaces by the momentum fluxes: the
// data of grid 1, file 1 must carry them, else the run stops with code 900.
void check_momentum_fluxes(const Settings& s, const MeteoFiles& met, TextOut& console);

}  // namespace orv
