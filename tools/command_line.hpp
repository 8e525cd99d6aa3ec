#pragma once
// The arguments of one orvfixture command, read in order. A mistake ends the
// program with exit code 2 and a pointer to the command's --help.

#include <cstdint>
#include <string>
#include <vector>

namespace orv::fixture {

class CommandLine {
public:
    // `label` names the command in messages ("orvfixture", "orvfixture
    // oxidants"); argv[0] is the command itself and is skipped.
    CommandLine(std::string label, int argc, char** argv);

    bool more() const { return next_ < args_.size(); }
    // The next argument (an option, or the directory).
    std::string next() { return args_[next_++]; }

    // "<label>: <what>", the pointer to --help, exit code 2.
    [[noreturn]] void fail(const std::string& what) const;
    // The value that follows option `opt`.
    const std::string& take(const std::string& opt);
    // A finite number, or a whole number, that follows option `opt`.
    double real(const std::string& opt);
    int32_t whole(const std::string& opt);
    // An argument that is no known option: the output directory, given once.
    void positional(const std::string& arg);
    // The output directory; a command line without one fails.
    const std::string& directory() const;
    const std::string& label() const { return label_; }

private:
    std::string label_;
    std::vector<std::string> args_;
    size_t next_ = 1;
    std::string dir_;
};

}  // namespace orv::fixture
