// Damaged meteorological and surface files under an address-space limit of
// 1 GB: a cut file, a padded file and one whose header asks for a huge grid
// each stop the run with 900 and a message naming the file, without using
// memory the file does not hold.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "meteo/surface_files.hpp"
#include "tests/meteo/meteo_test_support.hpp"
#include "tests/test_support.hpp"
#include "tools/analytic_met.hpp"
#include "tools/surface_writer.hpp"

#if defined(__SANITIZE_ADDRESS__)
#define ORV_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORV_ADDRESS_SANITIZER 1
#endif
#endif

namespace orv {
namespace {

constexpr rlim_t kLimit = rlim_t{1} << 30;

struct LimitedRun {
    int exit_status = -1;  // the process status a shell sees
    std::string console;
    long max_rss_kb = 0;
};

// Runs `body` in a child process limited to 1 GB of address space. The body
// returns the stop code and the console text; the child exits with the code
// as a shell would see it.
LimitedRun run_limited(const std::function<std::pair<int32_t, std::string>()>& body) {
    const std::string out = "limited_console.txt";
    std::cout.flush();
    const pid_t pid = fork();
    if (pid == 0) {
        rlimit lim{kLimit, kLimit};
        setrlimit(RLIMIT_AS, &lim);
        int32_t code = 0;
        std::string text;
        try {
            auto r = body();
            code = r.first;
            text = r.second;
        } catch (const std::bad_alloc&) {
            code = 3;
            text = "out of memory";
        } catch (...) {
            code = 4;
            text = "unexpected exception";
        }
        test::write_file(out, text);
        _exit(code & 0xff);
    }
    LimitedRun r;
    int status = 0;
    rusage use{};
    if (wait4(pid, &status, 0, &use) != pid) return r;
    r.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 256 + WTERMSIG(status);
    r.console = test::read_file(out);
    r.max_rss_kb = use.ru_maxrss;
    return r;
}

std::pair<int32_t, std::string> met_setup(const std::string& file) {
    test::SetupRun run({{file}});
    int32_t code = run.run();
    return {code, run.console};
}

std::pair<int32_t, std::string> surface_lookup() {
    SurfaceFiles files;
    TextOut log;
    float roughness = 0.0f, terrain = 0.0f;
    int32_t landuse = 0;
    test::TestConsole cap;
    try {
        sfcinp(files, cap.with(log), 40.0f, -90.0f, roughness, landuse, true, terrain);
    } catch (const RunStop& s) {
        return {s.code(), cap.text()};
    }
    return {0, cap.text()};
}

void expect_named_stop(const LimitedRun& r, const std::string& file) {
    EXPECT_EQ(r.exit_status, kStopInput & 0xff) << r.console;
    EXPECT_NE(r.console.find("*ERROR*"), std::string::npos) << r.console;
    EXPECT_NE(r.console.find(file), std::string::npos) << r.console;
    EXPECT_LT(r.max_rss_kb, 200 * 1024) << r.console;
}

class BoundedMemory : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef ORV_ADDRESS_SANITIZER
        GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#endif
    }
    test::ScratchDir dir;
};

TEST_F(BoundedMemory, MeteorologicalFile) {
    tminit();
    fixture::MetFileRecipe r;
    r.grid = fixture::GridShape::latlon(20.0f, -120.0f, 0.05f, 0.05f, 1000, 800);
    r.levels = {0.0f, 1000.0f, 850.0f};
    r.surface_vars = {"PRSS", "T02M"};
    r.upper_vars = {"HGTS", "TEMP", "UWND", "VWND"};
    TextOut quiet;
    r.start = tm2min(24, 1, 1, 0, 0, quiet);
    r.periods = 2;
    fixture::AnalyticMet m;
    fixture::write_met_file("met.bin", r, m.function());
    const std::string whole = test::read_file("met.bin");
    const int64_t reclen = 1000 * 800 + 50;
    ASSERT_EQ(static_cast<int64_t>(whole.size()), 2 * 11 * reclen);

    // As written, the set-up goes through within the limit.
    LimitedRun ok = run_limited([] { return met_setup("met.bin"); });
    EXPECT_EQ(ok.exit_status, 0) << ok.console;

    test::truncate_file("met.bin", 15 * reclen + 1000);
    expect_named_stop(run_limited([] { return met_setup("met.bin"); }), "met.bin");

    test::write_file("met.bin", whole + std::string(4096, '\0'));
    expect_named_stop(run_limited([] { return met_setup("met.bin"); }), "met.bin");

    // Grid-field letters of the largest grid the field can name: 191000 more
    // points each way, records of 36 GB.
    test::write_file("met.bin", whole);
    test::patch_file("met.bin", 12, "\xff\xff");
    expect_named_stop(run_limited([] { return met_setup("met.bin"); }), "met.bin");
    // The same on the first record alone.
    test::truncate_file("met.bin", 158);
    expect_named_stop(run_limited([] { return met_setup("met.bin"); }), "met.bin");
}

TEST_F(BoundedMemory, SurfaceFiles) {
    fixture::SurfaceRecipe s;  // global one-degree grid
    fixture::write_surface_files(".", s);
    const std::string landuse = test::read_file("LANDUSE.ASC");
    const std::string cfg = test::read_file("ASCDATA.CFG");

    LimitedRun ok = run_limited(surface_lookup);
    EXPECT_EQ(ok.exit_status, 0) << ok.console;

    test::truncate_file("LANDUSE.ASC", static_cast<int64_t>(landuse.size()) / 2);
    expect_named_stop(run_limited(surface_lookup), "LANDUSE.ASC");

    test::write_file("LANDUSE.ASC", landuse + std::string(100000, ' '));
    expect_named_stop(run_limited(surface_lookup), "LANDUSE.ASC");

    test::write_file("LANDUSE.ASC", landuse);
    test::write_file("ASCDATA.CFG", "-90 -180\n1 1\n2147483647 2147483647\n2\n0.2\n'./'\n");
    expect_named_stop(run_limited(surface_lookup), "ASCDATA.CFG");
    // Counts within the bound that no file of this size can hold.
    test::write_file("ASCDATA.CFG", "-90 -180\n0.00001 0.00001\n9000000 9000000\n2\n0.2\n'./'\n");
    expect_named_stop(run_limited(surface_lookup), "LANDUSE.ASC");
    test::write_file("ASCDATA.CFG", cfg);
}

}  // namespace
}  // namespace orv
