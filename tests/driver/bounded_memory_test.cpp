// Damaged control files run in bounded memory: each case runs the model in a
// child process whose address space is limited to 1 GB (as `ulimit -v`
// does), and must stop with code 900 and a message naming the file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/orvcalc.hpp"
#include "tests/test_support.hpp"
#include "tests/driver/run_test_support.hpp"
#include "tools/example_data.hpp"

#if defined(__SANITIZE_ADDRESS__)
#define ORV_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORV_ADDRESS_SANITIZER 1
#endif
#endif

namespace orv {
namespace {

constexpr rlim_t kMemoryLimit = rlim_t{1} << 30;

struct ChildRun {
    int status = -1;  // exit status, -1 when killed by a signal
    std::string console;
};

// Runs orvcalc in the working directory in a child limited to 1 GB of
// address space.
ChildRun run_limited() {
    std::cout.flush();
    pid_t pid = fork();
    if (pid == 0) {
        int fd = ::open("console.txt", O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0 || dup2(fd, 1) < 0) _exit(255);
        rlimit limit{kMemoryLimit, kMemoryLimit};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(254);
        std::istringstream keyboard;
        const char* argv[] = {"orvcalc"};
        int32_t code = run_orvcalc(1, argv, keyboard, std::cout);
        std::cout.flush();
        _exit(code & 0xff);
    }
    ChildRun r;
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    if (WIFEXITED(wstatus)) r.status = WEXITSTATUS(wstatus);
    r.console = test::read_file("console.txt");
    return r;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream s(text);
    for (std::string line; std::getline(s, line);) lines.push_back(line);
    return lines;
}

std::string joined(const std::vector<std::string>& lines, size_t count) {
    std::string out;
    for (size_t i = 0; i < count && i < lines.size(); ++i) out += lines[i] + "\n";
    return out;
}

TEST(BoundedMemory, CutPaddedAndLargeCountControlFilesStopWithTheFileNamed) {
#ifdef ORV_ADDRESS_SANITIZER
    GTEST_SKIP() << "the address sanitizer reserves far more address space than the limit";
#endif
    test::ExampleTree tree({}, false);
    const std::vector<std::string> lines = lines_of(test::read_file("CONTROL"));
    ASSERT_GE(lines.size(), 30u);

    struct Case {
        std::string name;
        std::string text;
    };
    std::vector<Case> cases;
    // Cut after every line but the last.
    for (size_t n = 0; n + 1 < lines.size(); ++n) cases.push_back({"cut after line " + std::to_string(n), joined(lines, n)});
    // Cut, then padded with 32 million empty lines (an empty line is no answer).
    cases.push_back({"cut and padded with empty lines", joined(lines, 12) + std::string(32u << 20, '\n')});
    // Padding inside: NUL bytes before a location, a 64 MB number.
    {
        std::vector<std::string> l = lines;
        l[2] = std::string(1u << 20, '\0') + l[2];
        cases.push_back({"NUL padding", joined(l, l.size())});
        l = lines;
        l[1] = std::string(64u << 20, '9');
        cases.push_back({"64 MB count", joined(l, l.size())});
    }
    // Counts far beyond what the file holds.
    auto with_line = [&](const char* name, size_t index, const std::string& value) {
        std::vector<std::string> l = lines;
        l[index] = value;
        cases.push_back({name, joined(l, l.size())});
    };
    with_line("2^31 - 1 locations", 1, "2147483647");
    with_line("2e9 pollutants", 9, "2000000000");
    with_line("1e7 concentration grids", 26, "10000000");

    for (const Case& c : cases) {
        test::write_file("CONTROL", c.text);
        ChildRun r = run_limited();
        EXPECT_EQ(r.status, 900 & 0xff) << c.name << "\n" << r.console;
        EXPECT_NE(r.console.find("- CONTROL"), std::string::npos) << c.name << "\n" << r.console;
        EXPECT_EQ(r.console.find("memory allocation"), std::string::npos) << c.name << "\n" << r.console;
        EXPECT_LT(r.console.size(), 10000u) << c.name;  // a huge field is not echoed whole
    }
}

}  // namespace
}  // namespace orv
