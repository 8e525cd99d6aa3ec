#include "run/control_file.hpp"

#include <cmath>

#include "common/number_text.hpp"
#include "common/run_stop.hpp"
#include "common/text_output.hpp"
#include "run/mass_ceiling.hpp"

namespace orv {

void open_control_file(ControlInput& ctl, std::string_view run_suffix, std::istream& keyboard, TextOut& console,
                       RunControl& run) {
    ctl.open(run_suffix, keyboard, console);
    run.start_year = run.start_month = run.start_day = run.start_hour = run.start_minute = 0;
    prompt(ctl, "Enter starting time (year, month, day, hour)", run.start_year, run.start_month, run.start_day,
           run.start_hour);
    ctl.fields("main", "the starting time", run.start_year, run.start_month, run.start_day, run.start_hour,
               run.start_minute);
    ctl.echo({{run.start_year, layout::I3}, {run.start_month, layout::I3}, {run.start_day, layout::I3}, {run.start_hour, layout::I3},
              {run.start_minute, layout::I3}});

    run.location_count = 1;
    prompt(ctl, "Enter number of starting locations", run.location_count);
    ctl.list("main", "the number of starting locations", run.location_count);
    ctl.echo({{run.location_count, layout::I2z}});
}

void runset(ControlInput& ctl, std::vector<SourceLocation>& locations, RunControl& run) {
    TextOut& console = ctl.console();
    // The table grows with the lines actually read, so a count alone never
    // sizes it: a count beyond the input ends at the end of the input.
    locations.clear();
    for (int32_t i = 0; i < run.location_count; ++i) {
        grow_table(locations, "Source location array", ctl.console());
        SourceLocation& loc = locations.back();
        if (i == 0) {
            loc.lat = 40.0f;
            loc.lon = -90.0f;
            loc.height = 50.0f;
        } else {
            loc.lat = locations[i - 1].lat;
            loc.lon = locations[i - 1].lon;
            loc.height = locations[i - 1].height;
        }
        loc.source_rate = 0.0f;
        loc.source_area = 0.0f;
        prompt(ctl, "Enter starting location (lat, lon, m-agl)", loc.lat, loc.lon, loc.height);
        ctl.fields("runset", "a starting location", loc.lat, loc.lon, loc.height, loc.source_rate, loc.source_area);
        const std::string area_refusal = source_area_refusal(loc.source_area);
        if (!area_refusal.empty())
            ctl.refuse("runset", "source area " + number_text(loc.source_area) + " m2 of location " +
                                     std::to_string(i + 1) + " " + area_refusal);
        // The optional values are echoed when either is set, so that STARTUP
        // replays them.
        if (loc.source_rate != 0.0f || loc.source_area != 0.0f) {
            ctl.echo({{loc.lat, layout::F10_3},
                      {loc.lon, layout::F10_3},
                      {loc.height, layout::F10_3},
                      {loc.source_rate, layout::ES16_8},
                      {loc.source_area, layout::ES16_8}});
        } else {
            ctl.echo({{loc.lat, layout::F10_3}, {loc.lon, layout::F10_3}, {loc.height, layout::F10_3}});
        }
        // Every location starts at the run start (record 1).
        loc.start_year = run.start_year;
        loc.start_month = run.start_month;
        loc.start_day = run.start_day;
        loc.start_hour = run.start_hour;
        loc.start_minute = run.start_minute;
    }

    int32_t hours = 48;
    prompt(ctl, "Enter total run time (hours)", hours);
    ctl.list("runset", "the run time", hours);
    ctl.echo({{hours, layout::I4z}});

    run.vertical_motion = 0;
    prompt(ctl, "Vertical (0:data 1:isob 2:isen 3:dens 4:sigma 5:diverg 6:eta)", run.vertical_motion);
    ctl.list("runset", "the vertical motion option", run.vertical_motion);
    ctl.echo({{run.vertical_motion, layout::I1}});
    if (run.vertical_motion < 0 || run.vertical_motion > kMaxVerticalMotion) {
        ctl.refuse("runset", "vertical motion option " + std::to_string(run.vertical_motion) +
                                 " is not one of 0 to 6 (data, isob, isen, dens, sigma, diverg, eta)");
    }

    float top = 10000.0f;
    prompt(ctl, "Top of model domain (internal coordinates m-msl)", top);
    ctl.list("runset", "the model top", top);
    ctl.echo({{top, layout::F10_1}});
    run.entered_model_top = top;
    run.model_top = std::max(std::fabs(top), 25000.0f);
    for (size_t i = 0; i < locations.size(); ++i) {
        if (above_model_top(locations[i].height, top)) {
            console.list("*ERROR* runset: Start height above mdl domain");
            console.list("   Source - ", static_cast<int32_t>(i + 1), "    Height - ", locations[i].height);
            console.list("   Model top ht - ", std::fabs(top));
            throw RunStop(kStopInput);
        }
    }

    run.grid_count = 1;
    run.time_count = 1;
    prompt(ctl, "Number of input grids", run.grid_count);
    ctl.fields("runset", "the number of meteorological grids and times", run.grid_count, run.time_count);
    ctl.echo({{run.grid_count, layout::I1}, {run.time_count, layout::I1}});
    if (run.grid_count > kMaxMetGrids) {
        console.list("*ERROR* runset: Numb meteo grids exceed DEFGRID limit - ", kMaxMetGrids);
        throw RunStop(kStopInput);
    }
    if (run.grid_count == 0) {
        console.list("*ERROR* runset: Number of input meteorology grids = zero");
        throw RunStop(kStopInput);
    }
    if (run.time_count > kMaxMetTimes) {
        console.list("*ERROR* runset: Numb meteo times exceed DEFGRID limit - ", kMaxMetTimes);
        throw RunStop(kStopInput);
    }
    if (run.time_count == 0) {
        console.list("*ERROR* runset: Number of meteorology time periods = zero");
        throw RunStop(kStopInput);
    }
    // A negative count would leave the run without any meteorological file.
    if (run.grid_count < 0 || run.time_count < 0) {
        console.list("*ERROR* runset: Number of meteorology grids and times must be positive - ", run.grid_count,
                     run.time_count);
        throw RunStop(kStopInput);
    }

    for (int32_t g = 0; g < run.grid_count; ++g) {
        if (g == 0) {
            run.met_files[0][0] = MetFileName{"|main|sub|data|", "file_name"};
        } else {
            run.met_files[g][0] = run.met_files[g - 1][0];
        }
        for (int32_t t = 0; t < run.time_count; ++t) {
            MetFileName& f = run.met_files[g][t];
            if (t > 0) f = run.met_files[g][t - 1];
            prompt_grid(ctl, g + 1, " directory (|...|)", f.directory);
            f.directory = ctl.whole_line("runset", "a meteorological directory");
            ctl.echo_text(f.directory);
            prompt_grid(ctl, g + 1, " file name (\?\?\?\?\?)", f.file);
            f.file = ctl.whole_line("runset", "a meteorological file name");
            ctl.echo_text(f.file);
        }
    }

    run.backward = hours < 0;
    run.run_hours = hours < 0 ? (hours == INT32_MIN ? INT32_MAX : -hours) : hours;
}

}  // namespace orv
