// A parking file saved and read back keeps every field of every stand and option: the learned
// file on top of the archived one, and a hand-made file that replaces it.
#include <numbers>

#include "airports/apf_fixture.h"
#include "airports/apf_read.h"
#include "airports/apf_save.h"
#include "airports/learned.h"
#include "airports/park_airports.h"
#include "airports/stand.h"
#include "airports/stand_options.h"
#include "core/display.h"
#include "live/stand_choice.h"
#include "support/slot_builders.h"

namespace fs = std::filesystem;

namespace {

// HB-JLT flies for its record; HB-JXA's record names the brand EZY and the operator EZS; the
// record of D-AXYZ has no type.
constexpr const char* kDbase = R"(<dbase><types><type icao="A320" cat="Large" span="35.8"/>
    <type icao="B738" cat="Large" span="35.8"/><type icao="C172" cat="Light" span="11"/></types>
  <registrations><reg id="HB-JLT" airl="SWR" type="A320"/><reg id="HB-JXA" airl="EZY" opr="EZS" type="A320"/>
  <reg id="D-AXYZ" airl="DLH"/></registrations></dbase>)";

constexpr const char* kLearned = "airports/learned/simaddon/LSZH.xml";

// The archived stands: ordinary, cargo, helipad and ramp, each with one option of its own.
constexpr const char* kArchivedStands = R"(
<parkpos id="A1" latitude="47.452100" longitude="8.558200" heading="359.9" radius="25.0" cargo="false" ramp="false">
  <opt reg="HB-JLT" airl="SWR" type="A320" day="1" hh="10,11" cs="SWR100"/></parkpos>
<parkpos id="C1" latitude="47.453000" longitude="8.560100" heading="90.0" radius="40.0" cargo="true" ramp="false">
  <opt reg="N123FE" airl="FDX" type="B77L" day="2" hh="0" cs="FDX1"/></parkpos>
<parkpos id="H1" latitude="47.454000" longitude="8.561000" heading="180.5" radius="15.0" heli="true" ramp="false">
  <opt reg="HB-ZXX" airl="REG" type="EC35" soft="true" day="3" hh="47"/></parkpos>
<parkpos id="R1" latitude="47.455000" longitude="8.562000" heading="0.0" radius="12.5" cargo="false" ramp="true">
  <opt reg="HB-CQA" airl="PVT" type="C172" day="4" hh="20,21,22"/></parkpos>
)";

// The learned file of an earlier run: a stand the archived file no longer has (renamed in its
// newer version) with a radius change and an option.
constexpr const char* kEarlierLearned = R"(<parkpos id="OLD7" radius_change="true" radius="33.3">
  <opt reg="D-AIAB" airl="DLH" type="A320" day="6" hh="30,31" cs="DLH7"/></parkpos>)";

// A stand added by hand: name, latitude, longitude, heading (degrees), radius (metres), ramp.
struct ManualRow {
    const char* name;
    double lat, lon, headingDeg, radiusM;
    bool ramp;
};
const ManualRow kManual[] = {
    {"M1", -33.900001, 151.200002, 359.9, 22.5, true},
    {"M2", 47.456000, 8.563000, 45.0, 0.04, false},  // smaller than the file's one decimal
};

// An option learned this run: on which stand, every field of it, and whether the file needs
// its airline and type (the registration's record would not give them back).
struct OptionRow {
    const char* what;
    const char* stand;
    const char *callsign, *callsign2, *airline, *type, *reg;
    uint64_t hh;
    uint32_t day, real;
    bool airlWritten;
};
const OptionRow kLearnedOptions[] = {
    {"the record's airline and type", "A1", "SWR12", "SWR13", "SWR", "A320", "HB-JLT", tst_bits({14, 15}), 3,
     1, false},
    {"the record's airline, another type", "A1", "SWR14", "", "SWR", "A321", "HB-JLT", tst_bits({16}), 3, 1,
     true},
    {"an operator flying for the brand", "A1", "EZS1094", "", "EZS", "A320", "HB-JXA", tst_bits({0, 47}), 5,
     1, true},
    {"a record without a type", "C1", "DLH4", "", "DLH", "B738", "D-AXYZ", tst_bits({8}), 7, 1, true},
    {"no record, soft", "H1", "", "EZY9", "EZY", "A320", "G-EZAA", tst_bits({1, 46}), 7, 0, true},
    {"empty texts", "R1", "", "", "", "", "", tst_bits({5}), 1, 1, true},
    {"callsigns with colons", "R1", "A", "B:C", "PVT", "C172", "HB-CQB", tst_bits({6}), 2, 0, true},
    {"a stand added by hand", "M1", "QFA1", "", "QFA", "B738", "VH-XZA", tst_bits({23}), 6, 1, true},
    {"the tiny stand added by hand", "M2", "", "", "PVT", "C172", "HB-CQC", tst_bits({40}), 1, 1, true},
    {"on the stand the archived file lost", "OLD7", "DLH8", "", "DLH", "A320", "D-AIAC", tst_bits({2}), 6, 1,
     true},
};

class RoundTripTest : public ApfTest {
  protected:
    void SetUp() override {
        ApfTest::SetUp();
        gf_loadTypeDatabaseText(kDbase, "dbase.xml");
        g_parkAirport.code = "LSZH";
        tst_writeFile(kOrbxZurich, tst_apfXml(R"(<parameter name="airport_name" value="Zurich"/>
            <parameter name="altitude" value="1416"/>)",
                                              kArchivedStands));
    }
    // Reads the archived file with its learned file, as the park airport's reader does.
    static void read() {
        gf_clearStands();
        g_parkFileHeader = {};
        ASSERT_EQ(tst_readOrbxZurich(), "");
    }
    // The learned changes of this run on the stands read.
    static void learn() {
        for (const ManualRow& m : kManual) {
            g_stands.emplace_back(m.name, std::vector<StandOption>{}, m.lat, m.lon,
                                  m.headingDeg * std::numbers::pi / 180, m.radiusM, false, m.ramp, false);
            g_stands.back().manual = true;
        }
        Stand& r1 = *gf_findStandById("R1");
        r1.radius = gf_metersToNm(31.5), r1.radius_change = true;
        Stand& c1 = *gf_findStandById("C1");
        c1.cargo = false, c1.cargo_change = true;
        for (const OptionRow& o : kLearnedOptions) {
            Stand* stand = gf_findStandById(o.stand);
            for (Stand& orphan : g_learnedOrphans)
                if (stand == nullptr && orphan.name == o.stand) stand = &orphan;
            if (stand == nullptr) continue;  // no earlier learned file: no stand the archived file lost
            const uint32_t index = stand->options.empty() ? 1 : stand->options.back().index + 1;
            stand->options.emplace_back(o.callsign, o.callsign2, o.airline, o.type, o.reg, o.hh, index, o.day,
                                        0, o.real);
        }
        gf_numberStands();
    }
};

// Every field that reaches a file, the run-time state left out; doubles within the rounding of
// the conversions between the file's units and the memory's.
void tst_expectSameStands(const std::vector<Stand>& got, const std::vector<Stand>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        const Stand &g = got[i], &w = want[i];
        SCOPED_TRACE(w.name);
        EXPECT_EQ(std::tie(g.name, g.standId, g.neighbours, g.manual, g.radius_change, g.cargo_change,
                           g.cargo, g.ramp, g.heli),
                  std::tie(w.name, w.standId, w.neighbours, w.manual, w.radius_change, w.cargo_change,
                           w.cargo, w.ramp, w.heli));
        EXPECT_NEAR(g.latitude, w.latitude, 1e-12);
        EXPECT_NEAR(g.longitude, w.longitude, 1e-12);
        EXPECT_NEAR(g.heading, w.heading, 1e-12);
        EXPECT_NEAR(gf_nmToMeters(g.radius), gf_nmToMeters(w.radius), 1e-9);
        ASSERT_EQ(g.options.size(), w.options.size());
        for (size_t k = 0; k < w.options.size(); ++k) {
            const StandOption &a = g.options[k], &b = w.options[k];
            SCOPED_TRACE(b.reg + " " + b.callsign);
            EXPECT_EQ(std::tie(a.airline, a.type, a.reg, a.callsign, a.callsign2, a.hh, a.index, a.day,
                               a.origin, a.real, a.invented),
                      std::tie(b.airline, b.type, b.reg, b.callsign, b.callsign2, b.hh, b.index, b.day,
                               b.origin, b.real, b.invented));
        }
    }
}

// Learned mode: what this run and earlier runs learned comes back on the archived stands, the
// stands added by hand come back whole, and a stand the archived file lost keeps its own.
TEST_F(RoundTripTest, LearnedFileReadsBackEveryStandAndOption) {
    tst_writeFile(kLearned,
                  tst_apfXml(R"(<parameter name="airport_name" value="Zurich"/>)", kEarlierLearned));
    read();
    ASSERT_EQ(g_learnedOrphans.size(), 1u);
    learn();
    const std::vector<Stand> stands = g_stands, orphans = g_learnedOrphans;
    g_parkFileUpdates = 12;
    gf_saveApf();
    EXPECT_EQ(gf_messageText(), "16:00:00 'airports/learned/simaddon/LSZH.xml' saved with 12 updates ");
    const std::string saved = tst_readFile(kLearned);
    read();
    tst_expectSameStands(g_stands, stands);
    tst_expectSameStands(g_learnedOrphans, orphans);
    // Nothing drifts: the next save writes the same bytes.
    gf_saveApf();
    EXPECT_EQ(tst_readFile(kLearned), saved);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(saved.c_str()));
    for (const OptionRow& o : kLearnedOptions) {
        SCOPED_TRACE(o.what);
        pugi::xml_node opt = doc.select_node(fmt::format("//opt[@reg='{}' and @day='{}' and @hh='{}']", o.reg,
                                                         o.day, gf_bitset2hours(HalfHourSet(o.hh)))
                                                 .c_str())
                                 .node();
        ASSERT_TRUE(opt);
        EXPECT_EQ(std::make_pair(bool(opt.attribute("airl")), bool(opt.attribute("type"))),
                  std::make_pair(o.airlWritten, o.airlWritten));
    }
    EXPECT_NE(
        saved.find(
            R"(<parkpos id="M2" latitude="47.456000" longitude="8.563000" heading="45.0" radius="0.04")"),
        std::string::npos);
}

// Hand-made: every stand is written in full with every option and read back as the stands of the
// airport; the options then count as the file's own (origin 1), the change marks mean nothing.
TEST_F(RoundTripTest, HandmadeFileReadsBackEveryStandAndOption) {
    tst_writeFile(kLearned,
                  tst_apfXml(R"(<parameter name="airport_name" value="Zurich"/>)", kEarlierLearned));
    read();
    learn();
    g_apfHandmade = true;
    std::vector<Stand> stands = g_stands;
    for (Stand& s : stands) {
        s.radius_change = s.cargo_change = false;
        for (StandOption& o : s.options) o.origin = 1;
    }
    gf_saveApf();
    EXPECT_EQ(gf_messageText(),
              "16:00:00 handmade 'airports/learned/simaddon/LSZH.xml' saved with 0 updates ");
    const std::string saved = tst_readFile(kLearned);
    read();
    EXPECT_TRUE(g_apfHandmade);
    EXPECT_TRUE(g_learnedOrphans.empty());  // a hand-made file has every stand of the airport
    tst_expectSameStands(g_stands, stands);
    gf_saveApf();
    EXPECT_EQ(tst_readFile(kLearned), saved);
}

}  // namespace
