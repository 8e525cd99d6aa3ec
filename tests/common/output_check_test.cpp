// The writers' checks on a file that cannot be written (a full disk): the
// failure is named on the console and stops the run, once, at the write or
// at the close that finds it; found while another stop is unwinding, it is
// only reported.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "common/record_file.hpp"
#include "common/run_stop.hpp"
#include "common/text_output.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

int count(const std::string& text, const std::string& piece) {
    int n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

TEST(OutputCheck, FullDiskStopsAtTheWriteOrTheCloseThatFindsIt) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    test::ScratchDir dir;
    std::filesystem::create_symlink("/dev/full", "full");
    const std::string line = "*ERROR* tester: cannot write file (disk full or write error) - full\n";

    {
        test::TestConsole console;
        // A short text stays in the buffer: the close finds the failure.
        TextOut t;
        ASSERT_TRUE(t.open("full", "tester", console.out));
        t.line("short");
        EXPECT_THROW(t.close(), RunStop);
        t.close();  // closed already: nothing more
        // A long text fails at a write; the failure is reported once.
        ASSERT_TRUE(t.open("full", "tester", console.out));
        EXPECT_THROW(
            for (int k = 0; k < 100000; ++k) t.line("a line of text that fills the stream buffer"), RunStop);
        t.line("more");
        EXPECT_NO_THROW(t.close());
        RecordWriter w;
        ASSERT_TRUE(w.open("full", "tester", console.out));
        RecordBuilder r;
        r.put_i32(1);
        w.write(r);
        EXPECT_THROW(w.close(), RunStop);
        EXPECT_EQ(count(console.text(), line), 3);
    }

    // Files left open when another stop unwinds are closed by their
    // destructors, which report and do not throw.
    test::TestConsole console;
    try {
        TextOut t;
        ASSERT_TRUE(t.open("full", "tester", console.out));
        t.line("short");
        RecordWriter w;
        ASSERT_TRUE(w.open("full", "tester", console.out));
        w.write(RecordBuilder{});
        throw RunStop(kStopInput);
    } catch (const RunStop&) {
    }
    EXPECT_EQ(count(console.text(), line), 2);
}

// A console that cannot be written itself (standard output gone) is not
// checked: a file's failure reported to it still stops the run, once, and
// reporting does not turn on the console.
TEST(OutputCheck, FailedConsoleDoesNotReportItself) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    test::ScratchDir dir;
    std::filesystem::create_symlink("/dev/full", "full");
    std::ostringstream gone;
    gone.setstate(std::ios::badbit);
    TextOut console(gone);
    EXPECT_NO_THROW(console.list("a line nobody reads"));
    TextOut t;
    ASSERT_TRUE(t.open("full", "tester", console));
    t.line("short");
    EXPECT_THROW(t.close(), RunStop);
    EXPECT_NO_THROW(t.close());
}

}  // namespace
}  // namespace orv
