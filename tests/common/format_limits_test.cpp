// What the formatter refuses: formats that would read past its buffers,
// recurse or loop without end, or build unbounded records.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "common/fortran_format.hpp"

namespace orv::fmt {
namespace {

std::string nested(int depth, const std::string& inner) {
    return std::string(static_cast<size_t>(depth), '(') + inner + std::string(static_cast<size_t>(depth), ')');
}

TEST(FormatLimits, DecimalsBeyondTheBufferAreRefused) {
    EXPECT_THROW(Format("(E700.600)"), std::invalid_argument);
    EXPECT_THROW(Format("(ES700.600)"), std::invalid_argument);
    EXPECT_THROW(Format("(G700.600)"), std::invalid_argument);
    EXPECT_THROW(Format("(F700.600)"), std::invalid_argument);
    EXPECT_THROW(format_exp(1.5, 700, 600), std::invalid_argument);
    EXPECT_THROW(format_exp(1.5, 700, 600, 0, true), std::invalid_argument);
    EXPECT_THROW(format_general(1.5, 700, 600), std::invalid_argument);
    EXPECT_THROW(format_fixed(1.5, 10, -1), std::invalid_argument);
    // The largest decimal count taken still gives its digits.
    std::string s = format_exp(1.5, 110, 100);
    EXPECT_EQ(s.size(), 110u);
    EXPECT_NE(s.find("0.15000"), std::string::npos);
}

TEST(FormatLimits, NestingIsBoundedForParsingReadingAndWriting) {
    // Deep enough to overflow the stack of a recursive parser.
    EXPECT_THROW(Format(nested(200000, "I3")), std::invalid_argument);
    EXPECT_THROW(Format(nested(40, "I3")), std::invalid_argument);
    // The deepest accepted format runs in both directions, with a repeated
    // descriptor (which takes one more level) innermost.
    Format deep(nested(16, "2I3"));
    int32_t a = 0, b = 0;
    read("  7 -8", deep, a, b);
    EXPECT_EQ(a, 7);
    EXPECT_EQ(b, -8);
    EXPECT_EQ(write(deep, 7, -8), "  7 -8\n");
}

TEST(FormatLimits, ReversionThatTakesNoItemIsRefused) {
    // The reverted group has no data descriptor: no item would ever be taken.
    EXPECT_THROW(write(Format("(I3,(1X))"), 1, 2), std::invalid_argument);
    // A zero repeat leaves nothing to take either.
    EXPECT_THROW(write(Format("(I3,0(I3))"), 1, 2), std::invalid_argument);
    EXPECT_THROW(write(Format("(0(I3))"), 1), std::invalid_argument);
    // A reverted group with data still takes the items, a record each time.
    EXPECT_EQ(write(Format("(I3,(1X,I2))"), 1, 2, 3), "  1  2\n  3\n");
    EXPECT_EQ(write(Format("(I3,0(I3),I2)"), 1, 2), "  1 2\n");
}

TEST(FormatLimits, RepeatsAndPositionsAreBounded) {
    EXPECT_THROW(Format("(1000(1000(2X)))"), std::invalid_argument);
    // Within the repeat limit, columns far past any record are refused
    // rather than filled.
    EXPECT_THROW(write(Format("(1000(100000X),I2)"), 1), std::invalid_argument);
    int32_t v = 0;
    EXPECT_THROW(read("1", Format("(1000(100000X),I2)"), v), std::invalid_argument);
    // A zero-repeated group in a read is skipped, as in a write.
    read(" 12 34", Format("(0(I3),I3)"), v);
    EXPECT_EQ(v, 12);
}

TEST(FormatWrite, GeneralWritesTextAsAw) {
    EXPECT_EQ(write(Format("(G6.2)"), "AB"), "    AB\n");
    EXPECT_EQ(write(Format("(G3.1)"), "ABCDE"), "ABC\n");
}

}  // namespace
}  // namespace orv::fmt
