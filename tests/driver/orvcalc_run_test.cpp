#include "driver/orvcalc.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/test_support.hpp"
#include "tools/example_data.hpp"

namespace orv {
namespace {

struct RunResult {
    int32_t status = 0;
    std::string console;
    std::string log;
};

RunResult run_here(std::vector<const char*> args = {"orvcalc"}) {
    RunResult r;
    std::istringstream keyboard;
    testing::internal::CaptureStdout();
    r.status = run_orvcalc(static_cast<int>(args.size()), args.data(), keyboard);
    r.console = testing::internal::GetCapturedStdout();
    r.log = test::read_file(args.size() > 1 ? std::string("MESSAGE.") + args[1] : "MESSAGE");
    return r;
}

bool has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

TEST(OrvcalcRun, SetsUpOnGeneratedDataAndEndsHonestly) {
    test::ScratchDir dir;
    fixture::ExampleOptions o;
    o.files = 2;
    o.periods = 7;
    o.interval = 180;
    fixture::write_example(".", o);
    RunResult r = run_here();
    EXPECT_EQ(r.status, 1) << r.console;
    EXPECT_TRUE(has(r.console, "not built yet")) << r.console;
    EXPECT_TRUE(has(r.log, "NOTICE   main: number meteo grids and times -            1           2")) << r.log;
}

TEST(OrvcalcRun, StartMonthZeroTakesTheStartFromTheData) {
    test::ScratchDir dir;
    fixture::ExampleOptions o;
    o.day = 3;
    o.hour = 6;
    fixture::ExampleFiles files = fixture::write_example(".", o);
    std::string control = fixture::example_control(o, files.met_files);
    control.replace(0, control.find('\n'), " 24  0  0  0");
    test::write_file("CONTROL", control);
    RunResult r = run_here();
    EXPECT_EQ(r.status, 1) << r.console;
    EXPECT_FALSE(has(r.console, "*ERROR* tm2min")) << r.console;
}

TEST(OrvcalcRun, MissingMeteorologicalFileStops) {
    test::ScratchDir dir;
    fixture::ExampleOptions o;
    fixture::ExampleFiles files = fixture::write_example(".", o);
    std::filesystem::remove(files.met_files[0]);
    RunResult r = run_here();
    EXPECT_EQ(r.status, 900);
    EXPECT_TRUE(has(r.console, "Unable to find file: ")) << r.console;
}

TEST(OrvcalcRun, EmptyDirectoryReadsTheKeyboardAndStopsAtItsEnd) {
    test::ScratchDir dir;
    RunResult r = run_here({"orvcalc", "t1"});
    EXPECT_EQ(r.status, 900);
    EXPECT_TRUE(has(r.console, " ORVANTE49 (Oct 2008) - Initialization t1\n"));
    EXPECT_TRUE(has(r.console, "Enter starting time (year, month, day, hour)"));
    EXPECT_TRUE(has(r.console, "end of file"));
    EXPECT_TRUE(std::filesystem::exists("STARTUP"));
    EXPECT_TRUE(std::filesystem::exists("MESSAGE.t1"));
}

}  // namespace
}  // namespace orv
