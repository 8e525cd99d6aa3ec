#pragma once
// Helpers of the meteorological tests: the set-up run on files in the
// working directory, and byte patches of generated files.

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/run_stop.hpp"
#include "common/text_output.hpp"
#include "run/calendar.hpp"
#include "meteo/met_setup.hpp"
#include "tests/test_support.hpp"

namespace orv::test {

// One call of the meteorological set-up on files of the working directory:
// files[g][t] is the file of grid g+1, time t+1.
struct SetupRun {
    std::ostringstream log_text;
    TextOut log;
    MeteoFiles met;
    int32_t grids = 0, times = 0;
    int32_t year = 24, month = 1, day = 1, hour = 0, minute = 0;
    int32_t vertical_motion = 0;
    int32_t kdef = 0, kzmix = 0, kbls = 1, kblt = 2;
    float tvmix = 1.0f;
    float latitude = 40.0f;
    bool backward = false;
    std::string console;

    explicit SetupRun(const std::vector<std::vector<std::string>>& files) {
        tminit();
        log.attach(log_text);
        grids = static_cast<int32_t>(files.size());
        times = static_cast<int32_t>(files[0].size());
        for (size_t g = 0; g < files.size(); ++g)
            for (size_t t = 0; t < files[g].size(); ++t) names[g][t] = MetFileName{"./", files[g][t]};
    }
    // Runs the set-up; returns the stop code (0 when it completes).
    int32_t run() {
        TestConsole cap;
        int32_t code = 0;
        Settings settings;
        settings.KDEF = kdef;
        settings.KZMIX = kzmix;
        settings.TVMIX = tvmix;
        settings.KBLS = kbls;
        settings.KBLT = kblt;
        RunControl control;
        control.grid_count = grids;
        control.time_count = times;
        control.met_files = names;
        control.backward = backward;
        control.vertical_motion = vertical_motion;
        SourceLocation first;
        first.lat = latitude;
        first.start_year = year;
        first.start_month = month;
        first.start_day = day;
        first.start_hour = hour;
        first.start_minute = minute;
        try {
            metini(settings, control, first, cap.with(log), met);
        } catch (const RunStop& s) {
            code = s.code();
        }
        grids = control.grid_count;
        times = control.time_count;
        vertical_motion = control.vertical_motion;
        year = first.start_year;
        month = first.start_month;
        day = first.start_day;
        hour = first.start_hour;
        minute = first.start_minute;
        console = cap.text();
        return code;
    }
    std::string log_str() const { return log_text.str(); }

    MetFileNames names;
};

// Overwrites bytes of a file at an offset.
inline void patch_file(const std::string& path, int64_t offset, const std::string& bytes) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(offset);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline void truncate_file(const std::string& path, int64_t size) {
    std::string all;
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream ss;
        ss << in.rdbuf();
        all = ss.str();
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(all.data(), size);
}

}  // namespace orv::test
