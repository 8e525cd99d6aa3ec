#pragma once
// What the fuzz targets share: a working folder of the process's own, the
// input written to a file, a console that goes nowhere, and a small
// latitude-longitude meteorological grid.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <system_error>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "meteo/grid_projection.hpp"
#include "meteo/met_tables.hpp"

namespace orv::fuzz {

// A folder "<stem>_<pid>" under the temporary folder, with the named
// subfolders, made the current folder (or its subfolder `run_in`, when one is
// given) for as long as the object lives; removed with everything in it when
// the object goes. The pid keeps parallel fuzzing jobs apart.
class WorkFolder {
public:
    explicit WorkFolder(const std::string& stem, std::initializer_list<const char*> subfolders = {},
                        const char* run_in = nullptr)
        : path_(std::filesystem::temp_directory_path() / (stem + "_" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
        for (const char* sub : subfolders) std::filesystem::create_directories(path_ / sub);
        std::filesystem::current_path(run_in ? path_ / run_in : path_);
    }
    ~WorkFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Removes everything in the folder `sub` of this one (the folder itself
    // when `sub` is empty), keeping the folder.
    void empty(const char* sub = "") const {
        for (const auto& e : std::filesystem::directory_iterator(path_ / sub)) std::filesystem::remove_all(e.path());
    }

private:
    std::filesystem::path path_;
};

// Writes the bytes to the file, creating or emptying it. False when the file
// cannot be written.
inline bool write_input(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

inline bool write_input(const std::filesystem::path& path, const uint8_t* data, size_t size) {
    return write_input(path, std::string_view(reinterpret_cast<const char*>(data), size));
}

// A stream buffer that takes everything and keeps nothing.
class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// A console and a message log that go nowhere, for the calls of a target.
class QuietConsole {
public:
    QuietConsole() : stream_(&buffer_) { log.attach(stream_); }
    QuietConsole(const QuietConsole&) = delete;
    QuietConsole& operator=(const QuietConsole&) = delete;

    std::ostream& stream() { return stream_; }
    orv::Messages msg() { return {console, log}; }

private:
    NullBuffer buffer_;
    std::ostream stream_;

public:
    orv::TextOut console{stream_};
    orv::TextOut log;
};

// Sets up grid 1 of the first meteorological file as a latitude-longitude
// grid of `points` by `points` points `step` degrees apart, point (1,1) at
// (first_lat, first_lon), and marks one grid and one time in use. The
// default is 60 by 60 half-degree points from 30N, 100W.
inline orv::MetGridDefinition& set_up_test_grid(orv::MeteoFiles& met, int32_t points = 60, float first_lat = 30.0f,
                                                float first_lon = 260.0f, float step = 0.5f) {
    orv::MetGridDefinition& g = met.grid(1, 1);
    g.grid_number = 1;
    g.nx = g.ny = points;
    const float span = static_cast<float>(points - 1) * step;
    g.header[orv::kSyncLat] = first_lat;
    g.header[orv::kSyncLon] = first_lon;
    g.header[orv::kRefLat] = step;
    g.header[orv::kRefLon] = step;
    g.header[orv::kPoleLat] = first_lat + span;
    g.header[orv::kPoleLon] = first_lon + span;
    orv::set_up_met_grid(g);
    met.num_grids = 1;
    met.num_times = 1;
    return g;
}

}  // namespace orv::fuzz
