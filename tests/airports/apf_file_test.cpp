#include "airports/apf_file.h"

#include <numbers>

#include "airports/apf_fixture.h"
#include "core/params.h"

namespace {

std::string tst_golden(const char* name) {
    return tst_readFile(tst_sourceDir() / "tests/data/apf" / name);
}

// Stands covering every branch of the writer: full geometry with a helipad and a heading just
// short of north, learned changes, a manual stand, options soft and real, from the database and
// not, with either callsign, one made up and one that takes part in nothing.
ApfContent tst_content() {
    ApfContent c;
    c.icao = "LSZH";
    c.airport_name = "Zurich";
    c.publisher = "unknown";
    c.BGLpath = "Scenery/LSZH.bgl";
    c.altitude = 1416;
    c.Qf_real = 63;
    c.Qf_soft = 20;
    Stand a("A1", {}, 47.4521, 8.5582, 359.96 * std::numbers::pi / 180, 25, true, false, false);
    a.radius_change = true;
    a.options = {StandOption("SWR12", "SWR13", "XXX", "XXXX", "HB-JLT", 0b11ull << 14, 1, 3, 0, 1),
                 StandOption("", "EZY9", "EZY", "A320", "G-EZAA", 1ull << 47, 2, 7, 0, 0),
                 StandOption::madeUp("ZZZ", "B738", "REGFAKE1", "FAKE1", 1, 3, 1, 1, 0),
                 StandOption("DLH1", "", "DLH", "A320", "D-AIAA", 1, 0, 1, 0, 1)};
    Stand h("H1", {}, 47.4530, 8.5601, std::numbers::pi / 2, 18.52, true, false, true);
    h.cargo_change = true;
    Stand m("M1", {}, -33.9, 151.2, 0, 40, false, true, false);
    m.manual = true;
    m.options = {StandOption("", "", "PVT", "C172", "", 1ull << 20, 1, 2, 0, 1)};
    Stand plain("B2", {}, 47.4540, 8.5610, 0, 30, false, false, false);
    c.stands = {a, h, m, plain};
    return c;
}

TEST_F(ApfTest, FullModeWritesGeometryWithoutOptions) {
    ASSERT_TRUE(gf_writeApf(tst_content(), "out/LSZH.xml", kApfModeFull));
    EXPECT_EQ(tst_readFile("out/LSZH.xml"), tst_golden("full.xml"));
}

TEST_F(ApfTest, LearnedModeWritesChangesOptionsAndSettings) {
    RANGE.set(40);
    AUTO_RANGE.set(true);
    PARK_FAKE.set(true);
    parking_percentage.set(45);
    MAX_FIT.set(12);
    MAX_LIVE_SEL.set(75);
    ApfContent c = tst_content();
    c.publisher = "stock";
    ASSERT_TRUE(gf_writeApf(c, "LSZH.xml", kApfModeLearned));
    EXPECT_EQ(tst_readFile("LSZH.xml"), tst_golden("learned.xml"));
}

// Written in full (handmade), read back and written again: the same bytes, though the
// database's record of HB-JLT now stands in for the airline and type it was written without.
TEST_F(ApfTest, HandmadeRoundTripKeepsEveryStandAndOption) {
    g_apfHandmade = true;
    ApfContent c = tst_content();
    ASSERT_TRUE(gf_writeApf(c, "first.xml", kApfModeLearned));
    ApfSource src;
    pugi::xml_document doc;
    std::string reason;
    ASSERT_TRUE(gf_loadApfDocument("first.xml", src, doc, reason)) << reason;
    EXPECT_EQ(std::make_tuple(lf_apfParameterBool(doc, "handmade"), lf_apfParameterInt(doc, "Qf_soft")),
              std::make_tuple(std::optional(true), std::optional(20)));
    for (pugi::xml_node p : doc.child("parkpositions").children("parkpos"))
        lf_readParkpos(p, p.attribute("id").value(), 1, src);
    c.stands = g_stands;
    c.stands[2].manual = true;  // the merge of learned files reads it, not the stand reader
    ASSERT_TRUE(gf_writeApf(c, "second.xml", kApfModeLearned));
    EXPECT_EQ(tst_readFile("second.xml"), tst_readFile("first.xml"));
    const StandOption& o = g_stands[0].options.at(0);
    EXPECT_EQ(std::tie(o.callsign, o.callsign2, o.airline, o.type, o.origin),
              std::make_tuple("SWR12", "SWR13", "SWR", "A320", 1u));
}

TEST_F(ApfTest, ReaderTakesCallsignsFlagsAndNumbersAsWritten) {
    struct Row {
        const char* parkpos;
        const char* cs1;
        const char* cs2;
        uint32_t index;
    } rows[] = {
        {R"(<parkpos id="P" latitude="1" longitude="2"><opt cs="A:B"/></parkpos>)", "A", "B", 1},
        {R"(<parkpos id="P" latitude="1" longitude="2"><opt cs="A"/></parkpos>)", "A", "", 1},
        {R"(<parkpos id="P" latitude="1" longitude="2"><opt cs=":B"/></parkpos>)", "", "B", 1},
        {R"(<parkpos id="P" latitude="1" longitude="2"><opt cs="A:B:C"/></parkpos>)", "A", "B:C", 1},
        // The dropped option still counts for the numbering.
        {R"(<parkpos id="P" latitude="1" longitude="2"><opt day="8"/><opt cs="X"/></parkpos>)", "X", "", 2},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.parkpos);
        g_stands.clear();
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(r.parkpos));
        ASSERT_TRUE(lf_readParkpos(doc.first_child(), "P", 0, ApfSource{"f.xml", r.parkpos}));
        ASSERT_EQ(g_stands[0].options.size(), 1u);
        EXPECT_EQ(g_stands[0].options.back().callsign, r.cs1);
        EXPECT_EQ(g_stands[0].options.back().callsign2, r.cs2);
        EXPECT_EQ(g_stands[0].options.back().index, r.index);
        EXPECT_FALSE(g_stands[0].cargo || g_stands[0].ramp || g_stands[0].heli);
    }
    EXPECT_EQ(gf_capturedLog(), "===> f.xml line 1: option of stand 'P' dropped, bad day '8'\n");
}

TEST_F(ApfTest, BadNumbersDropTheStandWithFileAndLine) {
    struct Row {
        const char* attrs;
        const char* warning;
    } rows[] = {
        {R"(latitude="0" longitude="0")", ""},
        {R"(latitude="nan" longitude="8")", "bad latitude 'nan'"},
        {R"(latitude="91" longitude="8")", "bad latitude '91'"},
        {R"(latitude="-90.5" longitude="8")", "bad latitude '-90.5'"},
        {R"(latitude="47" longitude="-180.5")", "bad longitude '-180.5'"},
        {R"(latitude="47" longitude="180.5")", "bad longitude '180.5'"},
        {R"(latitude="47" longitude="8" radius="-1")", "bad radius '-1'"},
        {R"(latitude="47" longitude="8" radius="1e9")", "bad radius '1e9'"},
        {R"(latitude="47" longitude="8" heading="inf")", "bad heading 'inf'"},
        {R"(latitude="47" longitude="8" heading="400")", "bad heading '400'"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.attrs);
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        std::string text = std::string("<parkpositions>\n\n<parkpos id=\"Q\" ") + r.attrs + "><opt/></parkpos>\n</parkpositions>";
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_buffer(text.data(), text.size()));
        EXPECT_FALSE(lf_readParkpos(doc.first_child().first_child(), "Q", 1, ApfSource{"LSZH.xml", text}));
        EXPECT_TRUE(g_stands.empty());
        std::string expected = *r.warning ? fmt::format("===> LSZH.xml line 3: stand 'Q' dropped, {}\n", r.warning) : "";
        EXPECT_EQ(gf_capturedLog(), expected);
    }
}

TEST_F(ApfTest, ParameterReadersTellMissingFromEmpty) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(R"(<parameters><parameter name="a"/><parameter name="b" value="Yes"/>
        <parameter name="c" value="12abc"/><parameter name="c" value="7"/></parameters>)"));
    EXPECT_EQ(std::make_tuple(lf_apfParameterBool(doc, "a"), lf_apfParameterInt(doc, "a"), lf_apfParameterString(doc, "a"),
                              lf_apfParameterBool(doc, "b"), lf_apfParameterInt(doc, "c"), lf_apfParameterInt(doc, "z")),
              std::make_tuple(std::optional(false), std::optional(0), std::optional<std::string>(""),
                              std::optional(true), std::optional(12), std::optional<int>()));
}

TEST_F(ApfTest, FailedWriteSaysSoAndLeavesWhatWasThere) {
    tst_writeFile("LSZH.xml/keep", "old");
    EXPECT_FALSE(gf_writeApf(tst_content(), "LSZH.xml", kApfModeFull));
    EXPECT_EQ(tst_readFile("LSZH.xml/keep"), "old");
    EXPECT_EQ(gf_capturedLog(), "===> gf_writeApf: could not write LSZH.xml\n");
}

}  // namespace
