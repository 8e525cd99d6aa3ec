// CONC.CFG: the frame and field layouts of the default file, values that do
// not fit the layout's field, names with blanks and apostrophes, and the file
// read back as a SETUP file.

#include "driver/settings_echo.hpp"

#include <gtest/gtest.h>

#include "common/namelist.hpp"
#include "common/text_input.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

bool has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(ConcCfg, DefaultFileFrameAndFieldLayouts) {
    const std::string t = conc_cfg_text(Settings{});
    // The group opens with its first item and closes after the last.
    EXPECT_EQ(t.rfind(" &SETUP\n tratio = 0.75,\n", 0), 0u) << t;
    EXPECT_TRUE(ends_with(t, " dzf = 0.01,\n /\n")) << t;
    // Reals in their fixed decimals, names quoted, a blank name as ''.
    EXPECT_TRUE(has(t, " delt = 0.0,\n"));
    EXPECT_TRUE(has(t, " tvmix = 1.00,\n"));
    EXPECT_TRUE(has(t, " efile = '',\n"));
    EXPECT_TRUE(has(t, " pinpf = 'PARINIT',\n"));
}

TEST(ConcCfg, FieldsByMagnitudeAndValuesThatDoNotFit) {
    Settings s;
    s.NUMPAR = 9;
    s.MAXPAR = 1000000;
    s.KHMAX = 10000;
    s.KMIX0 = 999;
    s.CONAGE = 240;
    s.QCYCLE = 12.5f;
    s.DELT = 15.0f;
    s.SPLITF = -1.0f;
    s.KRND = 12;
    s.INITD = 130;
    s.KPUFF = -1;
    const std::string t = conc_cfg_text(s);
    EXPECT_TRUE(has(t, " numpar = 9,\n"));
    EXPECT_TRUE(has(t, " maxpar = 1000000,\n"));
    EXPECT_TRUE(has(t, " kmix0 = 999,\n"));
    EXPECT_TRUE(has(t, " conage = 240,\n"));
    EXPECT_TRUE(has(t, " qcycle = 12.5,\n"));
    EXPECT_TRUE(has(t, " delt = 15.0,\n"));
    EXPECT_TRUE(has(t, " initd = 130,\n"));
    // Too wide for the layout's field: the narrowest field that holds them.
    EXPECT_TRUE(has(t, " khmax = 10000,\n"));
    EXPECT_TRUE(has(t, " splitf = -1.00,\n"));
    EXPECT_TRUE(has(t, " krnd = 12,\n"));
    EXPECT_TRUE(has(t, " kpuff = -1,\n"));
    EXPECT_FALSE(has(t, "*"));
    s.QCYCLE = 150.0f;
    s.DELT = -5.0f;
    EXPECT_TRUE(has(conc_cfg_text(s), " qcycle = 150.0,\n"));
    EXPECT_TRUE(has(conc_cfg_text(s), " delt = -5.0,\n"));
}

TEST(ConcCfg, NamesAreWrittenWholeAndQuoted) {
    EXPECT_EQ(quoted_name("emit.txt      "), "'emit.txt'");
    EXPECT_EQ(quoted_name("my file.txt"), "'my file.txt'");
    EXPECT_EQ(quoted_name("it's"), "'it''s'");
    EXPECT_EQ(quoted_name(" "), "''");
    EXPECT_EQ(quoted_name(std::string(80, 'a')), "'" + std::string(80, 'a') + "'");
}

TEST(ConcCfg, ReadBackAsSetupGivesTheSameSettings) {
    Settings s;
    s.KHMAX = 10000;
    s.SPLITF = -1.0f;
    s.KRND = 17;
    s.DELT = -5.0f;
    s.EFILE = "it's an emission file.txt";
    s.PINPF = "PAR INIT";
    s.POUTF = "/tmp/dump, with comma";
    s.INITD = 2;
    s.NUMPAR = 123456;
    s.MGMIN = 40;
    s.QCYCLE = 250.5f;
    s.TRATIO = 0.5f;
    test::ScratchDir dir;
    test::write_file("SETUP.CFG", conc_cfg_text(s));
    TextInput in;
    ASSERT_TRUE(in.open("SETUP.CFG"));
    Settings r;
    auto items = setup_items(r);
    read_namelist(in, "SETUP", items);
    // Every item CONC.CFG carries comes back as it was.
    Settings copy = s;
    for (const NamelistItem& item : setup_items(copy)) {
        std::string_view n = item.name;
        if (n == "MAXDIM" || n == "P10F" || n == "FRME" || n == "FRMR" || n == "NSTR" || n == "MHRS" ||
            n == "NVER" || n == "TOUT" || n.substr(0, 3) == "TM_" || n == "KAGL")
            continue;
        const NamelistItem* other = nullptr;
        for (const NamelistItem& o : items)
            if (o.name == n) other = &o;
        ASSERT_NE(other, nullptr);
        switch (item.target.kind) {
            case fmt::Target::Kind::Int:
                EXPECT_EQ(*static_cast<int32_t*>(item.target.p), *static_cast<int32_t*>(other->target.p)) << n;
                break;
            case fmt::Target::Kind::Float:
                EXPECT_EQ(*static_cast<float*>(item.target.p), *static_cast<float*>(other->target.p)) << n;
                break;
            case fmt::Target::Kind::Text:
                EXPECT_EQ(*static_cast<std::string*>(item.target.p), *static_cast<std::string*>(other->target.p))
                    << n;
                break;
            default: break;
        }
    }
}

}  // namespace
}  // namespace orv
