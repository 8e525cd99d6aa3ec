#pragma once
// A complete mercury example in a scratch tree (run, receptors, oxidants),
// with the run directory as the working directory, and a way to run orvcalc
// in it.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "driver/orvcalc.hpp"
#include "tests/test_support.hpp"
#include "tools/example_data.hpp"
#include "tools/oxidant_writer.hpp"

namespace orv::test {

class ExampleTree {
public:
    // Writes the example's data set, CONTROL and settings into root/run and
    // the receptor files into root/receptors; the oxidant files (27 MB) only
    // when asked.
    explicit ExampleTree(const fixture::ExampleOptions& options = {}, bool oxidants = true) : options_(options) {
        namespace fs = std::filesystem;
        options_.mercury = true;
        fs::create_directories("run");
        fs::create_directories("receptors");
        files_ = fixture::write_example("run", options_);
        std::filesystem::current_path("run");
        write_file("SETUP.CFG", fixture::example_setup_cfg());
        write_file("Hg_SETUP.CFG", fixture::example_hg_setup_cfg("../oxidants/"));
        write_file("../receptors/recp_data.txt", fixture::example_receptor_file(options_));
        write_file("../receptors/cep_data.txt", fixture::example_cep_file(options_));
        if (oxidants) fixture::write_oxidant_month("../oxidants", options_.month, fixture::OxidantMonth{});
    }
    const fixture::ExampleOptions& options() const { return options_; }
    const fixture::ExampleFiles& files() const { return files_; }
    std::string control() const { return fixture::example_control(options_, files_.met_files); }

private:
    ScratchDir scratch_;  // made first: the tree is built inside it
    fixture::ExampleOptions options_;
    fixture::ExampleFiles files_;
};

struct RunResult {
    int32_t status = 0;
    std::string console;
    std::string log;
};

inline RunResult run_orvcalc_here(std::vector<const char*> args = {"orvcalc"}, const std::string& typed = "") {
    RunResult r;
    std::istringstream keyboard(typed);
    std::ostringstream console;
    r.status = run_orvcalc(static_cast<int>(args.size()), args.data(), keyboard, console);
    r.console = console.str();
    r.log = read_file(args.size() > 1 ? std::string("MESSAGE.") + args[1] : "MESSAGE");
    return r;
}

inline bool has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

// The text with its first line that starts with `prefix` replaced.
inline std::string with_line(std::string text, const std::string& prefix, const std::string& line) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        if (text.compare(pos, prefix.size(), prefix) == 0) return text.replace(pos, end - pos, line);
        pos = end + 1;
    }
    return text;
}

}  // namespace orv::test
