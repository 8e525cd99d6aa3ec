#pragma once
// Helpers of the meteorological tests: console capture, the set-up run on
// files in the working directory, and byte patches of generated files.

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "common/run_stop.hpp"
#include "common/text_output.hpp"
#include "driver/calendar.hpp"
#include "meteo/met_setup.hpp"

namespace orv::test {

// Collects what is written to std::cout while alive.
class ConsoleCapture {
public:
    ConsoleCapture() : old_(std::cout.rdbuf(buf_.rdbuf())) {}
    ~ConsoleCapture() { std::cout.rdbuf(old_); }
    std::string text() const { return buf_.str(); }

private:
    std::ostringstream buf_;
    std::streambuf* old_;
};

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
        ConsoleCapture cap;
        int32_t code = 0;
        try {
            metini(kdef, kzmix, tvmix, kbls, kblt, grids, times, names, latitude, year, month, day, hour, minute,
                   backward, vertical_motion, log, met);
        } catch (const RunStop& s) {
            code = s.code();
        }
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
