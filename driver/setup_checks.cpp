#include "driver/setup_checks.hpp"

#include <filesystem>

#include "common/blank_trim.hpp"
#include "common/optional_input.hpp"
#include "common/run_stop.hpp"
#include "common/text_output.hpp"
#include "dispersion/emission_inventory.hpp"
#include "driver/receptor_output.hpp"
#include "run/land_use.hpp"
#include "run/particle_arrays.hpp"
#include "run/particle_types.hpp"

namespace orv {

bool particle_init_file_in_use(const Settings& s, TextOut& console) {
    if (s.NINIT == 0 || s.PINPF.empty() || s.PINPF[0] == ' ') return false;
    return optional_input_present(trim_trailing_blanks(s.PINPF), "main", console);
}

bool inventory_in_use(TextOut& console) {
    return optional_input_present(std::string(kEmissionInventoryFile), "emsini", console);
}

bool emission_file_in_use(const Settings& s, TextOut& console) {
    const std::string efile = trim_trailing_blanks(s.EFILE);
    return !efile.empty() && !inventory_in_use(console) && optional_input_present(efile, "emsmat", console);
}

LocationRateUse location_rate_use(const Settings& s, bool backward, TextOut& console) {
    if (inventory_in_use(console)) return LocationRateUse::unread;
    if (backward && emission_file_in_use(s, console)) return LocationRateUse::replaces_when_positive;
    return LocationRateUse::rate_when_nonzero;
}

bool same_file(const std::string& a, const std::string& b) {
    const std::string ta = trim_trailing_blanks(a), tb = trim_trailing_blanks(b);
    if (ta.empty() || tb.empty()) return false;
    if (ta == tb) return true;
    std::error_code ec;
    if (std::filesystem::exists(ta, ec) && std::filesystem::exists(tb, ec)) {
        bool eq = std::filesystem::equivalent(ta, tb, ec);
        if (!ec && eq) return true;
    }
    const auto ca = std::filesystem::weakly_canonical(std::filesystem::absolute(ta, ec), ec);
    if (ec) return false;
    const auto cb = std::filesystem::weakly_canonical(std::filesystem::absolute(tb, ec), ec);
    return !ec && ca == cb;
}

void refuse_settings_the_run_cannot_use(const Settings& s, const HgSetup& h, const SettingsFiles& files,
                                        TextOut& console) {
    const bool few_pollutants = s.MAXDIM < 4;
    const bool not_puffs = !is_vertical_puff(distribution_mode(s.INITD));
    const bool few_paths = h.NPATH < 5;
    const bool many_paths = h.NPATH > kMostDepositionPaths;
    // The land tables hold 20 categories: the deposition step takes no more.
    const bool few_categories = h.NLAND != kLandCategories;
    const bool same_particle_files = s.NDUMP > 0 && particle_init_file_in_use(s, console) && same_file(s.PINPF, s.POUTF);
    // Defaults that a SETUP file was meant to replace: the user hears first
    // that none was found.
    if ((few_pollutants || not_puffs || few_paths || few_categories) && !files.setup_read)
        console.list("*ERROR* main: namelist file not found, the SETUP defaults stand - ", files.setup);
    if (few_pollutants)
        refuse_setting(files.setup, "MAXDIM", std::to_string(s.MAXDIM), "at least 4 for the mercury steps", console);
    if (not_puffs)
        refuse_setting(files.setup, "INITD", std::to_string(s.INITD),
                       "of distribution mode 1 or 2 (Gaussian or top-hat puffs) for the mercury steps", console);
    if (few_paths)
        refuse_setting(files.hg, "NPATH", std::to_string(h.NPATH), "at least 5, the deposition paths booked", console);
    if (many_paths)
        refuse_setting(files.hg, "NPATH", std::to_string(h.NPATH),
                       "at most 99999, the path numbers the path column of recpmass.out holds", console);
    if (few_categories)
        refuse_setting(files.hg, "NLAND", std::to_string(h.NLAND), "20, the land-use categories of the land tables",
                       console);
    if (same_particle_files)
        refuse_setting(files.setup, "POUTF", "'" + trim_trailing_blanks(s.POUTF) + "'",
                       "another file than PINPF '" + trim_trailing_blanks(s.PINPF) +
                           "', which a dump would overwrite while it is read",
                       console);
    if (few_pollutants || not_puffs || few_paths || many_paths || few_categories || same_particle_files)
        throw RunStop(kStopInput);
}

void check_emission_file_slots(const Settings& s, int32_t numtyp, std::string_view control, TextOut& console) {
    if (s.MAXDIM == 1 || s.MAXDIM == numtyp || !emission_file_in_use(s, console)) return;
    console.list("*ERROR* main: number of pollutants " + std::to_string(numtyp) + " is not MAXDIM " +
                 std::to_string(s.MAXDIM) + ", which the emission file " + trim_trailing_blanks(s.EFILE) +
                 " needs (or MAXDIM 1) - " + std::string(control));
    throw RunStop(kStopInput);
}

void check_momentum_fluxes(const Settings& s, const MeteoFiles& met, TextOut& console) {
    if (s.ICHEM != 7) return;
    if (!met.layout(1, 1).flags.momentum_flux) {
        console.list(" *ERROR*  main: input data with momentum fluxes required");
        throw RunStop(kStopInput);
    }
}

}  // namespace orv
