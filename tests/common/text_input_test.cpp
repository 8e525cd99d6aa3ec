#include "common/text_input.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/run_stop.hpp"

namespace orv {
namespace {

struct Lines {
    std::istringstream s;
    TextInput in;
    explicit Lines(const std::string& text) : s(text) { in.attach(s, "test"); }
};

TEST(ListRead, SeparatorsQuotesAndLogicals) {
    Lines l("1, 2.5\t'it''s, here' T\n");
    int32_t i = 0;
    float f = 0;
    std::string s;
    bool b = false;
    list_read(l.in, i, f, s, b);
    EXPECT_EQ(i, 1);
    EXPECT_FLOAT_EQ(f, 2.5f);
    EXPECT_EQ(s, "it's, here");
    EXPECT_TRUE(b);
}

TEST(ListRead, RepeatsNullsAndSlash) {
    {
        Lines l("3*7\n");
        int32_t a = 0, b = 0, c = 0;
        list_read(l.in, a, b, c);
        EXPECT_EQ(a + b + c, 21);
    }
    {
        Lines l("1,,3\n");
        int32_t a = 0, b = 99, c = 0;
        list_read(l.in, a, b, c);
        EXPECT_EQ(a, 1);
        EXPECT_EQ(b, 99);
        EXPECT_EQ(c, 3);
    }
    {
        Lines l(",5\n");
        int32_t a = 42, b = 0;
        list_read(l.in, a, b);
        EXPECT_EQ(a, 42);
        EXPECT_EQ(b, 5);
    }
    {
        Lines l("1 / 2\n");
        int32_t a = 0, b = 99;
        list_read(l.in, a, b);
        EXPECT_EQ(a, 1);
        EXPECT_EQ(b, 99);
    }
    {
        Lines l("2* 4\n");
        int32_t a = 8, b = 9, c = 0;
        list_read(l.in, a, b, c);
        EXPECT_EQ(a, 8);
        EXPECT_EQ(b, 9);
        EXPECT_EQ(c, 4);
    }
    {
        // A blank then a comma make one separator, even across a line end.
        Lines l("1\n, 2\n");
        int32_t a = 0, b = 0;
        list_read(l.in, a, b);
        EXPECT_EQ(a, 1);
        EXPECT_EQ(b, 2);
    }
}

TEST(ListRead, TakesLinesAsNeededAndDropsTheRest) {
    Lines l("\n1\n2 3 # junk\n4\n");
    int32_t a = 0, b = 0, c = 0;
    list_read(l.in, a, b);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    list_read(l.in, c);
    EXPECT_EQ(c, 4);
    EXPECT_THROW(list_read(l.in, c), InputError);
}

TEST(ListRead, BadValues) {
    {
        Lines l("1.5\n");
        int32_t a = 0;
        EXPECT_THROW(list_read(l.in, a), InputError);
    }
    {
        Lines l("4x\n");
        float f = 0;
        EXPECT_THROW(list_read(l.in, f), InputError);
    }
    {
        Lines l("maybe\n");
        bool b = false;
        EXPECT_THROW(list_read(l.in, b), InputError);
    }
    for (const char* text : {"0*5\n", "1e39\n", "2*1e39\n", "Inf\n", "NaN\n"}) {
        Lines l(text);
        float f = 0, g = 0;
        EXPECT_THROW(list_read(l.in, f, g), InputError) << text;
    }
}

TEST(TextInputFile, ReadsWholeFileAndStripsCarriageReturns) {
    std::string name = ::testing::TempDir() + "orv_text_input.txt";
    {
        std::ofstream f(name, std::ios::binary);
        f << "first\r\nsecond";
    }
    TextInput in;
    ASSERT_TRUE(in.open(name));
    std::string_view line;
    ASSERT_TRUE(in.next_line(line));
    EXPECT_EQ(line, "first");
    ASSERT_TRUE(in.next_line(line));
    EXPECT_EQ(line, "second");
    EXPECT_EQ(in.line_number(), 2);
    EXPECT_FALSE(in.next_line(line));
    EXPECT_FALSE(TextInput().open(name + ".missing"));

    // A folder in the place of a file reads as empty: its reported size is
    // not taken as room to reserve.
    const std::string folder = ::testing::TempDir() + "orv_text_input_folder";
    std::filesystem::create_directories(folder);
    TextInput dir;
    if (dir.open(folder)) {
        EXPECT_FALSE(dir.next_line(line));
    }
}

}  // namespace
}  // namespace orv
