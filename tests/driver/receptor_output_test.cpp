#include "driver/receptor_output.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>

#include "common/run_stop.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

TEST(ReceptorOutput, DueOnWholePeriodsFromTheSamplingStart) {
    const int32_t start = 1000000;
    EXPECT_TRUE(receptor_output_due(start + 1440, start, 1440));
    EXPECT_FALSE(receptor_output_due(start + 1380, start, 1440));
    EXPECT_TRUE(receptor_output_due(start + 180, start, 90));
    EXPECT_FALSE(receptor_output_due(start + 120, start, 90));
    // Backward runs and a sampling start after the run start: the distance counts.
    EXPECT_TRUE(receptor_output_due(start - 2880, start, 1440));
    EXPECT_TRUE(receptor_output_due(start, start, 1440));
    EXPECT_TRUE(receptor_output_due(start + 60, start, -60));
    EXPECT_FALSE(receptor_output_due(start + 60, start, 0));
}

struct Sums {
    ReceptorOutputs out;
    std::vector<Pollutant> dirt;
    Sums(int32_t slots, int32_t paths, int32_t receptors, int32_t ceps) {
        EXPECT_TRUE(out.recpmass.allocate({1, slots}, {1, paths}, {1, receptors}));
        EXPECT_TRUE(out.cepflux.allocate({1, slots}, {1, paths}, {1, ceps}));
        EXPECT_TRUE(out.pathtot_puff.allocate({1, slots}, {1, paths}));
        dirt.resize(static_cast<size_t>(slots));
        for (int32_t o = 1; o <= slots; ++o) {
            dirt[static_cast<size_t>(o - 1)].pollutant_id = "HG" + std::to_string(o) + " ";
            for (int32_t p = 1; p <= paths; ++p) {
                out.pathtot_puff(o, p) = 1.5f * o + p;
                for (int32_t r = 1; r <= receptors; ++r) out.recpmass(o, p, r) = 0.25f * r + p;
                for (int32_t c = 1; c <= ceps; ++c) out.cepflux(o, p, c) = -2.0e-9f * c;
            }
        }
    }
};

TEST(ReceptorOutput, LinesPerSlotAndPath) {
    Sums s(2, 5, 2, 3);
    std::ostringstream recp_text, cep_text;
    TextOut recp, cep;
    recp.attach(recp_text);
    cep.attach(cep_text);
    const ReceptorOutputBlock block{3, CalendarDate{24, 1, 2, 0, 0}, 2, 5};
    write_receptor_outputs(block, s.dirt, s.out, recp, cep);
    const auto r = lines_of(recp_text.str());
    const auto c = lines_of(cep_text.str());
    ASSERT_EQ(r.size(), 10u);
    ASSERT_EQ(c.size(), 10u);
    // Label, path, output count, identifier, date, then ES15.6 values.
    EXPECT_EQ(r[0], std::string(" ") + " 1_puff" + "  " + "    1    3" + "  " + "HG1 " +
                        "      24       1       2       0       0" + "   2.500000E+00" + "   1.250000E+00" +
                        "   1.500000E+00");
    EXPECT_EQ(r[6].substr(0, 26), "  1_puff      2    3  HG2 ");  // slot 2, path 2
    EXPECT_EQ(c[9].size(), 66u + 3u * 15u);
    EXPECT_EQ(c[9].substr(66), "  -2.000000E-09  -4.000000E-09  -6.000000E-09");
    // The sums start again.
    EXPECT_EQ(s.out.pathtot_puff(2, 5), 0.0f);
    EXPECT_EQ(s.out.recpmass(1, 3, 2), 0.0f);
    EXPECT_EQ(s.out.cepflux(2, 1, 3), 0.0f);
}

TEST(ReceptorOutput, NoReceptorsOrCeps) {
    Sums s(1, 5, 0, 0);
    std::ostringstream recp_text, cep_text;
    TextOut recp, cep;
    recp.attach(recp_text);
    cep.attach(cep_text);
    write_receptor_outputs({1, CalendarDate{99, 12, 31, 23, 0}, 1, 5}, s.dirt, s.out, recp, cep);
    const auto r = lines_of(recp_text.str());
    const auto c = lines_of(cep_text.str());
    ASSERT_EQ(r.size(), 5u);
    for (size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(r[k].size(), 81u);  // the path total only
        EXPECT_EQ(r[k].substr(10, 5), "    " + std::to_string(k + 1));
        EXPECT_EQ(c[k].size(), 66u);  // the label and date only
    }
}

// A sum that is not a finite number stops the output time before either file
// takes a line of it, naming the sum and its file; finite sums pass.
TEST(ReceptorOutput, ASumThatIsNotFiniteStopsBeforeEitherFile) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const ReceptorOutputBlock block{2, CalendarDate{24, 1, 1, 16, 0}, 2, 5};
    struct Case {
        float* value;
        float bad;
        const char* line;
    };
    Sums s(2, 5, 2, 3);
    const Case cases[] = {
        {&s.out.pathtot_puff(1, 3), kNaN, "*ERROR* main: deposition nan of pollutant 1 (HG1), path 3, path total, "
                                          "is not a finite number: the output of 24 1 1 16 0 is not written - "
                                          "recpmass.out"},
        {&s.out.recpmass(2, 5, 2), kInf, "deposition inf of pollutant 2 (HG2), path 5, receptor 2, is not a "
                                         "finite number: the output of 24 1 1 16 0 is not written - recpmass.out"},
        {&s.out.cepflux(2, 1, 3), -kInf, "deposition -inf of pollutant 2 (HG2), path 1, cep 3, is not a finite "
                                         "number: the output of 24 1 1 16 0 is not written - cepflux.out"},
    };
    test::TestConsole console, log;
    stop_on_non_finite_deposition(block, s.dirt, s.out, console.with(log.out));
    EXPECT_TRUE(console.text().empty());
    for (const Case& c : cases) {
        const float kept = *c.value;
        *c.value = c.bad;
        test::TestConsole stop, stop_log;
        try {
            stop_on_non_finite_deposition(block, s.dirt, s.out, stop.with(stop_log.out));
            ADD_FAILURE() << c.line;
        } catch (const RunStop& e) {
            EXPECT_EQ(e.code(), kStopInput);
        }
        EXPECT_NE(stop.text().find(c.line), std::string::npos) << stop.text();
        EXPECT_NE(stop_log.text().find(c.line), std::string::npos);
        *c.value = kept;
    }
}

TEST(LevelMassTable, TopDownSkippingEmptyLevels) {
    const std::vector<float> mass{2.0f, 0.0f, 6.0f};
    const std::vector<float> sigma{0.99f, 0.98f, 0.96f};
    std::ostringstream text;
    TextOut log;
    log.attach(text);
    write_level_mass_table(mass, 8.0f, sigma, 25000.0f, log);
    const auto l = lines_of(text.str());
    ASSERT_EQ(l.size(), 3u);
    const std::string pad(55, ' ');
    EXPECT_EQ(l[0], pad + " Index  Height %Mass");
    EXPECT_EQ(l[1], pad + "     3  1000.0 75.00");
    EXPECT_EQ(l[2], pad + "     1   250.0 25.00");

    std::ostringstream none;
    TextOut quiet;
    quiet.attach(none);
    write_level_mass_table(mass, 0.0f, sigma, 25000.0f, quiet);
    EXPECT_TRUE(none.str().empty());
}

}  // namespace
}  // namespace orv
