#include "common/namelist.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "common/run_stop.hpp"

namespace orv {
namespace {

struct Group {
    int32_t maxpar = 10000;
    float delt = 0.0f;
    std::string efile = " ";
    int32_t kblt = 2;
    std::vector<NamelistItem> items() {
        return {{"MAXPAR", fmt::Target(maxpar)}, {"DELT", fmt::Target(delt)}, {"EFILE", fmt::Target(efile), 8},
                {"KBLT", fmt::Target(kblt)}};
    }
};

void read_text(const std::string& text, Group& g, const char* group = "SETUP") {
    std::istringstream s(text);
    TextInput in;
    in.attach(s, "test");
    auto items = g.items();
    read_namelist(in, group, items);
}

TEST(Namelist, SyntaxVariants) {
    Group g;
    read_text("&setup maxpar=5, DELT = 1.5e0 efile='ab c' /\n", g);
    EXPECT_EQ(g.maxpar, 5);
    EXPECT_FLOAT_EQ(g.delt, 1.5f);
    EXPECT_EQ(g.efile, "ab c");
    EXPECT_EQ(g.kblt, 2);

    Group h;
    read_text(" $SETUP\n  Kblt = 3   ! a comment\n  delt=-2.D0,\n $END\n", h);
    EXPECT_EQ(h.kblt, 3);
    EXPECT_FLOAT_EQ(h.delt, -2.0f);

    Group k;
    read_text("&OTHER maxpar=1 /\n&SETUP\n maxpar = 7\n delt = .5 kblt=4\n/\n", k);
    EXPECT_EQ(k.maxpar, 7);
    EXPECT_FLOAT_EQ(k.delt, 0.5f);
    EXPECT_EQ(k.kblt, 4);

    Group m;
    read_text("&SETUP maxpar=, delt=5., efile=\"a''b\", kblt=1*9 &END", m);
    EXPECT_EQ(m.maxpar, 10000);
    EXPECT_FLOAT_EQ(m.delt, 5.0f);
    EXPECT_EQ(m.efile, "a''b");
    EXPECT_EQ(m.kblt, 9);

    Group t;
    read_text("&SETUP efile='a_very_long_name' /", t);
    EXPECT_EQ(t.efile, "a_very_l");
}

TEST(Namelist, StringContinuedOnTheNextLineLeavesOutTheLineEnd) {
    Group g;
    read_text("&SETUP efile='ab\ncd', kblt=3 /\n", g);
    EXPECT_EQ(g.efile, "abcd");
    EXPECT_EQ(g.kblt, 3);
    // The continuation is still inside the quotes: '!' there is text, not a comment.
    Group h;
    read_text("&SETUP efile='a\r\nb!c', kblt=4 /\n", h);
    EXPECT_EQ(h.efile, "ab!c");
    EXPECT_EQ(h.kblt, 4);
}

TEST(Namelist, ErrorsNameTheItem) {
    auto message = [](const std::string& text) {
        Group g;
        try {
            read_text(text, g);
        } catch (const InputError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message("&SETUP maxpar=5, bogus=1 /"), "unknown item BOGUS on line 1");
    EXPECT_EQ(message("&SETUP maxpar=5.5 /"), "bad value 5.5 for item MAXPAR on line 1");
    EXPECT_EQ(message("&SETUP delt=x1 /"), "bad value x1 for item DELT on line 1");
    EXPECT_EQ(message("&SETUP maxpar=5\n kblt=1\n"), "no closing / after item KBLT");
    EXPECT_EQ(message("&OTHER maxpar=5 /"), "group &SETUP not found");
    EXPECT_EQ(message("&SETUP maxpar 5 /"), "'=' expected after item MAXPAR on line 1");
    EXPECT_EQ(message("&SETUP maxpar=5 6 /"), "bad value for item MAXPAR on line 1");
    // A repeat count of 0 is refused, as in a free-format read.
    EXPECT_EQ(message("&SETUP maxpar=0*5 /"), "bad repeat count 0*5 for item MAXPAR on line 1");
    EXPECT_EQ(message("&SETUP\n maxpar=00*5 /"), "bad repeat count 00*5 for item MAXPAR on line 2");
    // Reals beyond the range of a 32-bit real, and Inf or NaN text.
    EXPECT_EQ(message("&SETUP\n kblt=1,\n delt=1e39 /"), "bad value 1e39 for item DELT on line 3");
    EXPECT_EQ(message("&SETUP delt=-3.5E+38 /"), "bad value -3.5E+38 for item DELT on line 1");
    EXPECT_EQ(message("&SETUP delt=Inf /"), "bad value Inf for item DELT on line 1");
    EXPECT_EQ(message("&SETUP delt=NaN /"), "bad value NaN for item DELT on line 1");
    EXPECT_EQ(message("&SETUP delt=1e-50 /"), "no error");
}

TEST(Namelist, WriterOutputReadsBack) {
    Group g;
    g.maxpar = 123;
    g.delt = 0.1f;
    g.efile = "it's";
    auto items = g.items();
    std::string text = write_namelist("SETUP", items);
    EXPECT_EQ(text, "&SETUP\n MAXPAR = 123,\n DELT = 0.1,\n EFILE = 'it''s',\n KBLT = 2,\n /\n");
    Group back;
    read_text(text, back);
    EXPECT_EQ(back.maxpar, 123);
    EXPECT_EQ(back.delt, 0.1f);
    EXPECT_EQ(back.efile, "it's");
}

}  // namespace
}  // namespace orv
