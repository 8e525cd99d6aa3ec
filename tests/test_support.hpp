#pragma once
// Helpers shared by the tests: a scratch working directory, file helpers and
// a console that keeps what is written to it.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "common/messages.hpp"
#include "common/text_output.hpp"

namespace orv::test {

// Makes a fresh directory and makes it the working directory until destroyed.
class ScratchDir {
public:
    ScratchDir() {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("orv_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
    ~ScratchDir() {
        std::filesystem::current_path(old_);
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_, old_;
};

inline void write_file(const std::string& name, const std::string& text) {
    std::ofstream f(name, std::ios::binary);
    f << text;
}

inline std::string read_file(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    std::ostringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// The console stream a test passes to the code under test: `text()` is
// everything written to `out`; `with(log)` pairs it with a message log.
struct TestConsole {
    std::ostringstream buffer;
    TextOut out{buffer};
    std::string text() const { return buffer.str(); }
    Messages with(TextOut& log) { return {out, log}; }
};

}  // namespace orv::test
