#include "common/fortran_format.hpp"

#include <gtest/gtest.h>

#include "common/run_stop.hpp"
#include "common/text_output.hpp"

namespace orv::fmt {
namespace {

std::string one(const char* spec, auto v) {
    std::string s = write(Format(spec), v);
    s.pop_back();  // record end
    return s;
}

TEST(FormatWrite, Integers) {
    EXPECT_EQ(one("(I5)", 42), "   42");
    EXPECT_EQ(one("(I5.3)", 7), "  007");
    EXPECT_EQ(one("(I5.3)", -7), " -007");
    EXPECT_EQ(one("(I3)", 1000), "***");
    EXPECT_EQ(one("(I3)", -99), "-99");
    EXPECT_EQ(one("(I2)", -10), "**");
    EXPECT_EQ(one("(I3.0)", 0), "   ");
    EXPECT_EQ(one("(I2.2)", 1), "01");
    EXPECT_EQ(one("(I11)", -2147483647 - 1), "-2147483648");
    EXPECT_EQ(one("(I4)", 12.7f), "  12");
    EXPECT_EQ(one("(I4)", 1e30f), "****");
}

TEST(FormatWrite, FixedPoint) {
    EXPECT_EQ(one("(F10.3)", 3.14159f), "     3.142");
    EXPECT_EQ(one("(F4.2)", 0.75f), "0.75");
    EXPECT_EQ(one("(F3.2)", 0.75f), ".75");
    EXPECT_EQ(one("(F4.2)", -1.0f), "****");
    EXPECT_EQ(one("(F5.1)", 10800.0f), "*****");
    EXPECT_EQ(one("(F7.1)", 10800.0f), "10800.0");
    EXPECT_EQ(one("(F5.0)", 3.0f), "   3.");
    EXPECT_EQ(one("(F3.1)", 0.0f), "0.0");
    EXPECT_EQ(one("(F6.2)", -0.001f), " -0.00");
    EXPECT_EQ(one("(F10.3)", 40.0f), "    40.000");
    // The binary value decides the rounding: 2.675 is stored just below it.
    EXPECT_EQ(one("(F5.2)", 2.675), " 2.67");
}

TEST(FormatWrite, ExponentForms) {
    EXPECT_EQ(one("(E9.3)", 3.9e-5f), "0.390E-04");
    EXPECT_EQ(one("(E10.3)", 1.0f), " 0.100E+01");
    EXPECT_EQ(one("(E10.3)", -1234.5f), "-0.123E+04");
    EXPECT_EQ(one("(E8.3)", 1.0f), ".100E+01");
    EXPECT_EQ(one("(E7.3)", 1.0f), "*******");
    EXPECT_EQ(one("(E10.3)", 0.0f), " 0.000E+00");
    EXPECT_EQ(one("(E12.3)", 1e120), "   0.100+121");
    EXPECT_EQ(one("(E10.3E3)", 1.0), "0.100E+001");
    EXPECT_EQ(one("(E10.3)", 0.99951), " 0.100E+01");
    EXPECT_EQ(one("(ES15.6)", 1.0f), "   1.000000E+00");
    EXPECT_EQ(one("(ES15.6)", -2.5e-10), "  -2.500000E-10");
    EXPECT_EQ(one("(ES10.3)", 123456.0), " 1.235E+05");
    EXPECT_EQ(one("(ES9.2)", 0.0), " 0.00E+00");
}

TEST(FormatWrite, General) {
    EXPECT_EQ(one("(G15.7)", 1.0f), "   1.000000    ");
    EXPECT_EQ(one("(G15.7)", 123456.7), "   123456.7    ");
    EXPECT_EQ(one("(G15.7)", 0.05), "  0.5000000E-01");
    EXPECT_EQ(one("(G15.7)", 1e7), "  0.1000000E+08");
    EXPECT_EQ(one("(G15.7)", 0.0f), "   0.000000    ");
    EXPECT_EQ(one("(G15.7)", 0.1f), "  0.1000000    ");
    EXPECT_EQ(one("(G15.7)", -25000.0f), "  -25000.00    ");
}

TEST(FormatWrite, TextLogicalAndPositioning) {
    EXPECT_EQ(one("(A3)", "hello"), "hel");
    EXPECT_EQ(one("(A7)", "abc"), "    abc");
    EXPECT_EQ(one("(A)", "xyz"), "xyz");
    EXPECT_EQ(one("(L3)", true), "  T");
    EXPECT_EQ(one("(2X,A)", "ab"), "  ab");
    EXPECT_EQ(write(Format("(A,T6,A)"), "ab", "cd"), "ab   cd\n");
    EXPECT_EQ(write(Format("('x =',I3)")), "x =\n");
    EXPECT_EQ(write(Format("(' count ',I2,' of ',I2)"), 1, 9), " count  1 of  9\n");
}

TEST(FormatWrite, RepeatsGroupsAndReversion) {
    EXPECT_EQ(write(Format("(3I3)"), 1, 2, 3, 4, 5, 6, 7), "  1  2  3\n  4  5  6\n  7\n");
    EXPECT_EQ(write(Format("(I3,(2I2))"), 1, 2, 3, 4, 5), "  1 2 3\n 4 5\n");
    EXPECT_EQ(write(Format("(I1,2(1X,I1))"), 1, 2, 3), "1 2 3\n");
    EXPECT_EQ(write(Format("(I2/I2)"), 1, 2), " 1\n 2\n");
    std::string out;
    const float v[] = {1.0f, 2.0f, 3.0f};
    write_array(out, Format("(999ES15.6)"), std::span<const float>(v));
    EXPECT_EQ(out, "   1.000000E+00   2.000000E+00   3.000000E+00\n");
    EXPECT_THROW(Format("(I3"), std::invalid_argument);
    EXPECT_THROW(Format("(Q3)"), std::invalid_argument);
    EXPECT_THROW(Format("(F7)"), std::invalid_argument);
}

TEST(FormatRead, NumericFieldsFollowFortranInputRules) {
    int32_t i = -1;
    float f = -1.0f;
    read(" 12  314", Format("(I3,F5.2)"), i, f);
    EXPECT_EQ(i, 12);
    EXPECT_FLOAT_EQ(f, 3.14f);
    EXPECT_FLOAT_EQ(parse_float_field(" 3.1 ", 2), 3.1f);
    EXPECT_FLOAT_EQ(parse_float_field("1.5D2", 0), 150.0f);
    EXPECT_FLOAT_EQ(parse_float_field("1.5+2", 0), 150.0f);
    EXPECT_FLOAT_EQ(parse_float_field("-.5e-1", 0), -0.05f);
    EXPECT_FLOAT_EQ(parse_float_field("12345E2", 2), 12345.0f);
    EXPECT_EQ(parse_float_field("       ", 2), 0.0f);
    EXPECT_EQ(parse_int_field(" 1 2"), 12);
    EXPECT_EQ(parse_int_field("    "), 0);
    EXPECT_EQ(parse_int_field(" -7"), -7);
    EXPECT_THROW(parse_int_field("12a"), InputError);
    EXPECT_THROW(parse_int_field("1.0"), InputError);
    EXPECT_THROW(parse_int_field("99999999999"), InputError);
    EXPECT_THROW(parse_float_field("1.2.3", 0), InputError);
    EXPECT_THROW(parse_float_field("abc", 0), InputError);
    EXPECT_THROW(parse_float_field("1E", 0), InputError);
    // The decimal string is rounded once, straight to single precision.
    EXPECT_EQ(parse_float_field("0.1", 0), 0.1f);
    // Beyond the range of the type: refused, never infinity; below it: zero.
    EXPECT_THROW(parse_float_field("1e39", 0), InputError);
    EXPECT_THROW(parse_float_field("-3.5E+38", 0), InputError);
    EXPECT_THROW(parse_float_field("1e999999", 0), InputError);
    EXPECT_EQ(parse_real_field("1e39", 0), 1e39);
    EXPECT_THROW(parse_real_field("1e309", 0), InputError);
    EXPECT_EQ(parse_float_field("1e-50", 0), 0.0f);
    EXPECT_EQ(parse_real_field("-1e-400", 0), 0.0);
    for (const char* text : {"Inf", "-Infinity", "NaN", "nan", "+inf"}) {
        EXPECT_THROW(parse_float_field(text, 0), InputError) << text;
        EXPECT_THROW(parse_real_field(text, 0), InputError) << text;
    }
    float g = 0.0f;
    EXPECT_THROW(read("  1.0E+39", Format("(E9.2)"), g), InputError);
    // A field of any length is shown cut in the message.
    try {
        parse_int_field(std::string(100000, '9'));
        ADD_FAILURE();
    } catch (const InputError& e) {
        EXPECT_EQ(std::string(e.what()), "bad integer value '" + std::string(40, '9') + "...'");
    }
}

TEST(FormatRead, ShortRecordsTextAndLayouts) {
    int32_t a = -1, b = -1;
    read("5", Format("(I2,I3)"), a, b);
    EXPECT_EQ(a, 5);
    EXPECT_EQ(b, 0);
    std::string id;
    read("ab", Format("(A4)"), id);
    EXPECT_EQ(id, "ab  ");
    // A meteorological index label.
    int32_t y, m, d, h, fh;
    std::string grid, var;
    read("0801150006  99INDX", Format("(5I2,2X,A2,A4)"), y, m, d, h, fh, grid, var);
    EXPECT_EQ(y, 8);
    EXPECT_EQ(d, 15);
    EXPECT_EQ(fh, 6);
    EXPECT_EQ(grid, "99");
    EXPECT_EQ(var, "INDX");
    // An oxidant record.
    float lon, lat, val;
    int32_t lev;
    read(" 357.19  90.00 34  0.123456E+01", Format("(F7.2,1X,F6.2,1X,I2,2X,E12.6)"), lon, lat, lev, val);
    EXPECT_FLOAT_EQ(lon, 357.19f);
    EXPECT_FLOAT_EQ(lat, 90.0f);
    EXPECT_EQ(lev, 34);
    EXPECT_FLOAT_EQ(val, 1.23456f);
    bool flag = false;
    read("  .TRUE.", Format("(L8)"), flag);
    EXPECT_TRUE(flag);
}

TEST(FormatRead, WriteThenReadRoundTrips) {
    for (float v : {0.0f, 1.0f, -3.25f, 123.456f, 9.99e-5f}) {
        std::string rec = write(Format("(ES15.7)"), v);
        float back = 0;
        read(rec, Format("(E15.7)"), back);
        EXPECT_EQ(back, v) << rec;
    }
}

TEST(ListLine, ConsoleConvention) {
    EXPECT_EQ(list_line("hgsim%npath =", 5), " hgsim%npath =           5");
    EXPECT_EQ(list_line("x", 1.5f), " x   1.500000    ");
    EXPECT_EQ(list_line("CDEP = ", true), " CDEP = T");
    EXPECT_EQ(list_line(1, false), "            1 F");
    // Text after a number or logical value is set off by a blank (a real's
    // exponent form has no trailing blanks of its own); text after text is not.
    EXPECT_EQ(list_line("nnp = ", 2, "not equal to np = ", 4), " nnp =            2 not equal to np =            4");
    EXPECT_EQ(list_line("x", 1.5e10f, "y"), " x  0.1500000E+11 y");
    EXPECT_EQ(list_line(true, "z", 3), " T z           3");
    EXPECT_EQ(list_line("a", "b"), " ab");
}

}  // namespace
}  // namespace orv::fmt
