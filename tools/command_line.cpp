#include "tools/command_line.hpp"

#include <cmath>
#include <cstdlib>
#include <exception>
#include <iostream>

namespace orv::fixture {

CommandLine::CommandLine(std::string label, int argc, char** argv)
    : label_(std::move(label)), args_(argv, argv + argc) {}

void CommandLine::fail(const std::string& what) const {
    std::cerr << label_ << ": " << what << "\n"
              << "Try '" << label_ << " --help'.\n";
    std::exit(2);
}

const std::string& CommandLine::take(const std::string& opt) {
    if (!more()) fail("option " + opt + " needs a value");
    return args_[next_++];
}

double CommandLine::real(const std::string& opt) {
    const std::string& s = take(opt);
    try {
        size_t n = 0;
        const double v = std::stod(s, &n);
        if (n == s.size() && std::isfinite(v)) return v;
    } catch (const std::exception&) {
    }
    fail("option " + opt + ": '" + s + "' is not a number");
}

int32_t CommandLine::whole(const std::string& opt) {
    const std::string& s = take(opt);
    try {
        size_t n = 0;
        const double v = std::stod(s, &n);
        if (n == s.size() && v == std::floor(v) && std::fabs(v) <= 2.0e9) return static_cast<int32_t>(v);
    } catch (const std::exception&) {
    }
    fail("option " + opt + ": '" + s + "' is not a whole number");
}

void CommandLine::positional(const std::string& arg) {
    if (!arg.empty() && arg[0] == '-') fail("unknown option " + arg);
    if (!dir_.empty()) fail("more than one directory given");
    dir_ = arg;
}

const std::string& CommandLine::directory() const {
    if (dir_.empty()) fail("no output directory given");
    return dir_;
}

}  // namespace orv::fixture
