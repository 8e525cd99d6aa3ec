#include "run/pollutants.hpp"

#include <cmath>

#include "common/blank_trim.hpp"
#include "common/number_text.hpp"
#include "common/run_stop.hpp"
#include "run/calendar.hpp"

namespace orv {

int32_t read_pollutant_count(ControlInput& ctl) {
    int32_t numtyp = 1;
    prompt(ctl, "Number of different pollutants", numtyp);
    ctl.list("main", "the number of pollutants", numtyp);
    ctl.echo_list(numtyp);
    return numtyp;
}

namespace {

// A release start given relative to the run start (month 0): the run start's
// year and month, its day and hour added to those read (in 64 bits); the date
// is then normalised. A sum outside the calendar stops the run naming it.
void resolve_relative_start(Pollutant& d, int32_t year, int32_t month, int32_t day, int32_t hour,
                            TextOut& console) {
    int32_t minutes = 0;
    if (!shifted_date_minutes(year, month, int64_t{d.release_day} + day, int64_t{d.release_hour} + hour,
                              d.release_minute, minutes, console)) {
        console.list("*ERROR* read_pollutant_emissions: relative release start beyond the calendar - pollutant ",
                     d.pollutant_id);
        console.list(" Relative start read - day " + std::to_string(d.release_day) + " hour " +
                     std::to_string(d.release_hour) + " minute " + std::to_string(d.release_minute));
        throw RunStop(kStopInput);
    }
    CalendarDate n = tm2day(minutes, console);
    d.release_year = n.year;
    d.release_month = n.month;
    d.release_day = n.day;
    d.release_hour = n.hour;
    d.release_minute = n.minute;
}

void read_one_emission(ControlInput& ctl, Pollutant& d, const Pollutant* prev, int32_t year, int32_t month,
                       int32_t day, int32_t hour, bool backward) {
    if (!prev) {
        d.pollutant_id = "????";
        d.emission_rate = 1.0f;
        d.emission_hours = 1.0f;
        d.release_year = year;
        d.release_month = month;
        d.release_day = day;
        d.release_hour = hour;
        d.release_minute = 0;
    } else {
        d.pollutant_id = prev->pollutant_id;
        d.emission_rate = prev->emission_rate;
        d.emission_hours = prev->emission_hours;
        d.release_year = prev->release_year;
        d.release_month = prev->release_month;
        d.release_day = prev->release_day;
        d.release_hour = prev->release_hour;
        d.release_minute = prev->release_minute;
    }

    prompt(ctl, "Pollutant 4-Character Identification", d.pollutant_id);
    std::string_view line = ctl.raw_line("read_pollutant_emissions", "a pollutant identifier");
    fmt::read(line, layout::A4, d.pollutant_id);
    ctl.echo({{d.pollutant_id, layout::A4}});

    prompt(ctl, "Emission rate (per hour)", d.emission_rate);
    ctl.list("read_pollutant_emissions", "an emission rate", d.emission_rate);
    ctl.echo({{d.emission_rate, layout::E10_3}});

    prompt(ctl, "Hours of emission", d.emission_hours);
    ctl.list("read_pollutant_emissions", "the hours of emission", d.emission_hours);
    ctl.echo({{d.emission_hours, layout::F10_3}});
    if (backward) d.emission_hours = -std::fabs(d.emission_hours);

    prompt(ctl, "Release start time: year month day hour minute", d.release_year, d.release_month, d.release_day,
           d.release_hour, d.release_minute);
    const size_t given = ctl.fields("read_pollutant_emissions", "a release start time", d.release_year,
                                    d.release_month, d.release_day, d.release_hour, d.release_minute);
    ctl.echo({{d.release_year, layout::I3}, {d.release_month, layout::I3}, {d.release_day, layout::I3},
              {d.release_hour, layout::I3}, {d.release_minute, layout::I3}});

    if (d.release_month == 0) {
        // The values left out would take the run start's, which the relative
        // start then adds once more.
        if (given < kDateValues)
            ctl.refuse("read_pollutant_emissions", relative_start_refusal("release start of pollutant " +
                                                                              trim_trailing_blanks(d.pollutant_id),
                                                                          given));
        resolve_relative_start(d, year, month, day, hour, ctl.console());
    }
    d.release_start_minute =
        tm2min(d.release_year, d.release_month, d.release_day, d.release_hour, d.release_minute, ctl.console());
}

}  // namespace

void read_pollutant_emissions(ControlInput& ctl, std::vector<Pollutant>& dirt, int32_t numtyp, int32_t year,
                              int32_t month, int32_t day, int32_t hour, bool backward, int32_t capacity) {
    // Records beyond the capacity are read all the same (into a scratch
    // record), so that the next reader starts at the right line.
    Pollutant scratch, previous;
    for (int32_t p = 0; p < numtyp; ++p) {
        Pollutant* d = &scratch;
        if (p < capacity) {
            // The table grows with the entries read: a count alone never sizes it.
            if (p >= static_cast<int32_t>(dirt.size())) grow_table(dirt, "Pollutant description", ctl.console());
            d = &dirt[static_cast<size_t>(p)];
        }
        read_one_emission(ctl, *d, p > 0 ? &previous : nullptr, year, month, day, hour, backward);
        previous = *d;
    }
}

namespace {

// One line of deposition reals, read and echoed to STARTUP each in E10.3.
template <typename... Reals>
void read_reals(ControlInput& ctl, std::string_view what, Reals&... values) {
    ctl.list("depset", what, values...);
    ctl.echo({EchoField{values, layout::E10_3}...});
}

}  // namespace

void depset(ControlInput& ctl, std::vector<Pollutant>& dirt, int32_t numtyp, DepositionSwitches& sw) {
    TextOut& console = ctl.console();
    sw = DepositionSwitches{};
    int32_t count = numtyp;
    prompt(ctl, "Enter number of pollutants:", count);
    ctl.list("depset", "the number of pollutants", count);
    if (count != numtyp) {
        console.list("WARNING depset: # pollutants defined -", numtyp);
        count = numtyp;
    }
    ctl.echo({{count, layout::I2z}});
    if (count < 1) return;

    // Every block is read; blocks beyond the table go to a scratch record, so
    // that no block is taken for the next one.
    Pollutant scratch;
    for (int32_t p = 0; p < count; ++p) {
        Pollutant& d = p < static_cast<int32_t>(dirt.size()) ? dirt[static_cast<size_t>(p)] : scratch;
        prompt(ctl, "Enter data for Pollutant:", d.pollutant_id);

        d.PDIAM = d.PDENS = d.SHAPE = 0.0f;
        d.is_gas = false;
        if (ctl.keyboard()) console.list("Define as gas (all zero) or particle");
        prompt(ctl, "Diameter (um), density (g/cc), shape (1-2)", d.PDIAM, d.PDENS, d.SHAPE);
        read_reals(ctl, "the particle definition", d.PDIAM, d.PDENS, d.SHAPE);
        if (d.SHAPE > 0.0f && d.SHAPE < kSmallestShapeFactor)
            ctl.refuse("depset", "particle shape " + number_text(d.SHAPE) + " of pollutant " + std::to_string(p + 1) +
                                     " (" + trim_trailing_blanks(d.pollutant_id) +
                                     ") is below 0.0001, the smallest the settling velocity is divided by");
        d.is_gas = d.PDIAM == 0.0f || d.PDENS == 0.0f || d.SHAPE == 0.0f;

        d.GPMOL = d.ACVTY = d.DIFTY = d.HENRY = d.DRYVL = 0.0f;
        d.DORES = d.DODRY = d.DOVOL = false;
        if (ctl.keyboard()) {
            console.list("Dry deposition - ");
            console.list("---- explicit ----  --- resistence method --->");
            console.list("Set velocity (m/s), Gram Molecular Wt", "Activity Ratio, Diffusivity Ratio, Henrys Constant");
            console.list(d.DRYVL, d.GPMOL, d.ACVTY, d.DIFTY, d.HENRY);
        }
        read_reals(ctl, "the dry deposition definition", d.DRYVL, d.GPMOL, d.ACVTY, d.DIFTY, d.HENRY);
        d.DODRY = d.DRYVL > 0.0f;
        if (d.GPMOL < 0.0f) {
            d.DOVOL = true;
            d.GPMOL = std::fabs(d.GPMOL);
        }
        if (d.GPMOL > 0.0f) d.DORES = d.is_gas ? (d.ACVTY + d.DRYVL + d.DIFTY + d.HENRY != 0.0f) : true;
        if (d.DRYVL > 0.0f) {
            d.DOGRV = false;
            d.DORES = false;
        } else {
            d.DOGRV = d.PDIAM > 0.0f && d.PDENS > 0.0f && d.SHAPE > 0.0f;
        }

        d.WETIN = d.WETLO = d.WETGAS = 0.0f;
        d.DOWET = false;
        if (ctl.keyboard()) {
            console.list("Wet removal constants - ");
            console.list("-- gasses ---   ----------- particles -----------");
        }
        prompt(ctl, "Henrys (M/atm), In-cloud (L/L), Below-cloud (1/s)", d.WETGAS, d.WETIN, d.WETLO);
        read_reals(ctl, "the wet removal definition", d.WETGAS, d.WETIN, d.WETLO);
        if (d.is_gas) {
            d.WETIN = d.WETLO = 0.0f;
            d.DOWET = d.WETGAS > 0.0f;
        } else {
            d.WETGAS = 0.0f;
            d.DOWET = d.WETIN > 0.0f || d.WETLO > 0.0f;
        }

        d.DORAD = false;
        d.RHALF = 0.0f;
        prompt(ctl, "Radioactive decay half-life (days / 0=none)", d.RHALF);
        read_reals(ctl, "the radioactive half-life", d.RHALF);
        d.DORAD = d.RHALF > 0.0f;

        d.DOSUS = false;
        d.SRATE = 0.0f;
        prompt(ctl, "Deposition resuspension constant (1/m)", d.SRATE);
        read_reals(ctl, "the resuspension constant", d.SRATE);
        d.DOSUS = d.SRATE > 0.0f;

        if (d.DODRY || d.DORES || d.DOGRV || d.DOWET || d.DORAD) sw.CDEP = true;
        if (d.DORES) sw.RDEP = true;
        if (d.DOSUS) sw.SDEP = true;
    }
}

}  // namespace orv
