#include "airports/apf_file.h"

#include <numbers>

#include "airports/apf_fixture.h"
#include "airports/apf_lookup.h"
#include "airports/stock.h"
#include "core/params.h"

namespace {

// Every branch of the writer: full geometry, a helipad, a heading just short of north, learned changes, a manual
// stand, options soft and real, from the database and not, either callsign, one made up, one taking no part.
ApfContent tst_content() {
    ApfContent c{"LSZH", "Zurich", "Scenery/LSZH.bgl", "unknown", 63, 20, 1416, {}};
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
    c.stands = {a, h, m, Stand("B2", {}, 47.4540, 8.5610, 0, 30, false, false, false)};
    return c;
}

TEST_F(ApfTest, WriterInBothModesAndTheHandmadeRoundTrip) {
    const auto golden = [](const char* name) { return tst_readFile(tst_sourceDir() / "tests/data/apf" / name); };
    ASSERT_TRUE(gf_writeApf(tst_content(), "out/LSZH.xml", kApfModeFull));
    EXPECT_EQ(tst_readFile("out/LSZH.xml"), golden("full.xml"));
    RANGE.set(40), AUTO_RANGE.set(true), PARK_FAKE.set(true), parking_percentage.set(45), MAX_FIT.set(12);
    MAX_LIVE_SEL.set(75);
    ApfContent c = tst_content();
    c.publisher = "stock";
    ASSERT_TRUE(gf_writeApf(c, "LSZH.xml", kApfModeLearned));
    EXPECT_EQ(tst_readFile("LSZH.xml"), golden("learned.xml"));
    // Handmade: written in full, read back and written again gives the same bytes, though the
    // database's record of HB-JLT now stands in for the airline and type it was written without.
    g_apfHandmade = true;
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

// "cs|cs2|index" of every option read, or the warning naming file and line.
TEST_F(ApfTest, ParkposReaderTakesOptionsAsWrittenAndDropsBadNumbers) {
    const std::pair<const char*, const char*> rows[] = {
        {R"(latitude="1.0000000000" longitude="2"><opt cs="A:B"/><opt cs="A"/>)", "A|B|1 A||2 "},
        {R"(latitude="-90" longitude="180" radius="1"><opt cs=":B"/><opt cs="A:B:C"/>)", "|B|1 A|B:C|2 "},
        // The dropped option still counts for the numbering.
        {R"(latitude="1" longitude="2"><opt day="8"/><opt cs="X"/>)",
         "X||2 ===> f.xml line 3: option of stand 'Q' dropped, bad day '8'\n"},
        {R"(latitude="0" longitude="0">)", ""},
        {R"(latitude="47" longitude="180.5">)", "bad longitude '180.5'"},
        {R"(latitude="47" longitude="8" heading="400">)", "bad heading '400'"},
    };
    for (const auto& [attrs, expected] : rows) {
        SCOPED_TRACE(attrs);
        restartLog();
        g_stands.clear();
        const std::string text = std::string("<parkpositions>\n\n<parkpos id=\"Q\" ") + attrs + "</parkpos></parkpositions>";
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(text.c_str()));
        const bool read = lf_readParkpos(doc.first_child().first_child(), "Q", 0, ApfSource{"f.xml", text});
        std::string got;
        for (const Stand& s : g_stands)
            for (const StandOption& o : s.options) got += fmt::format("{}|{}|{} ", o.callsign, o.callsign2, o.index);
        if (read) EXPECT_FALSE(g_stands[0].cargo || g_stands[0].ramp || g_stands[0].heli);
        const bool bad = std::string_view(expected).starts_with("bad");
        EXPECT_EQ(read, !bad && *expected);
        EXPECT_EQ(got + gf_capturedLog(), bad ? fmt::format("===> f.xml line 3: stand 'Q' dropped, {}\n", expected)
                                              : std::string(expected));
    }
}

TEST_F(ApfSiteTest, LookupOrder) {
    const std::tuple<const char*, const char*, const char*> files[] = {  // file, content, LSZH found then
        {"", "", "archive/stock/LSZH.xml"},
        {"airports/my_ORBX/LSZH.xml", "x", "airports/my_ORBX/LSZH.xml"},
        {"airports/my_ORBX/LSZH.txt", "archive/simaddon/LSZH.xml  \r\n", "archive/simaddon/LSZH.xml"},
        {"airports/my_thirdparty/LSZH.xml", "x", "airports/my_thirdparty/LSZH.xml"},
        {"airports/my_thirdparty/LSZH.txt", "archive/thirdparty/A%20B/LSZH.xml.old tail",
         "archive/thirdparty/A%20B/LSZH.xml"},
    };
    for (const auto& [file, content, found] : files) {
        SCOPED_TRACE(file);
        if (*file) tst_writeFile(file, content);
        EXPECT_EQ(gf_findApf("LSZH") + (gf_apfExists("LSZH") ? "" : " absent"), found);
    }
    EXPECT_EQ(gf_findApf("EDDF") + (gf_apfExists("EDDF") ? "exists" : ""), "");
    EXPECT_TRUE(gf_siteFileAbsent("archive/stock/EDDF.xml"));  // the site said so: not asked again this run
    tst_writeFile("airports/my_ORBX/EDDF.txt", "");
    EXPECT_EQ(gf_findApf("EDDF") + (gf_apfExists("EDDF") ? "exists" : ""), "exists");  // the link is not read
}

}  // namespace
