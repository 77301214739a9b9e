#include "airports/airport_list.h"

#include <filesystem>

#include <fmt/format.h>

#include "airports/apf_fixture.h"
#include "core/errors.h"
#include "support/airport_builders.h"

namespace {

using AirportListTest = ApfTest;

// A publisher's list entry matches an airport when it begins with the code; the stand count
// after the four letters is read, or a warning names the entry and the count is kept.
TEST_F(AirportListTest, ThePublishersEntryGivesTheStandCountAfterTheCode) {
    struct Row {
        const char* entry;
        bool matches;
        int number;  // -77: kept
        bool warned;
    };
    const Row rows[] = {{"LSZH123", true, 123, false},
                        {"LSZH9", true, 9, false},
                        {"LSZH0", true, 0, false},
                        {"LSZH-5", true, -5, false},
                        {"LSZHx", true, -77, true},
                        {"LSZH", true, -77, true},
                        {"LSZH-", true, -77, true},
                        {"LSZH:1", true, -77, true},
                        {"LSZH2147483647", true, 2147483647, false},
                        {"LSZH2147483648", true, -77, true},
                        {"LSZH-2147483649", true, -77, true},
                        {"EDDF12", false, -77, false},
                        {"LSZ", false, -77, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.entry);
        restartLog();
        int number = -77;
        const lf_numberAfterPrefix matches{"Pub", "LSZH", number};
        EXPECT_EQ(matches(r.entry), r.matches);
        EXPECT_EQ(number, r.number);
        EXPECT_EQ(gf_capturedLog(),
                  r.warned ? fmt::format("===> Pub LSZH {} invalid number\n", r.entry) : "");
    }
}

// Every airport of the list as "CODE (IATA) lat lon alt", in list order.
std::string tst_listed() {
    std::string out;
    for (const Airport& a : g_airports)
        out += fmt::format("{}{} {} {} {}", out.empty() ? "" : ", ", gf_airportLabel(a), a.lat, a.lon, a.alt);
    return out;
}

// One element at a time: what is kept, what is skipped with a log line, what stops the read.
TEST_F(AirportListTest, EachElementIsKeptSkippedOrStopsTheRead) {
    struct Row {
        const char* attributes;
        const char* listed;  // g_airports after the read
        const char* log;     // or the exception's text when thrown
        bool thrown;
    };
    const Row rows[] = {
        {R"(code="LSZH" iata="ZRH" lat="47.5" lon="8.5" alt="1416")", "LSZH (ZRH) 47.5 8.5 1416", "", false},
        {R"(code="EDGE" lat="90" lon="-180" alt="-13")", "EDGE 90 -180 -13", "", false},
        {R"(code="EDGF" lat="-90" lon="180" alt="0" x="1")", "EDGF -90 180 0", "", false},
        {R"(lat=" 1.5x" lon="2" alt="3")", "? 1.5 2 3", "", false},
        {R"(code="N1" lat="90.0001" lon="0" alt="0")", "", "Invalid lat/lon/alt for airport 'N1'\n", false},
        {R"(code="S1" lat="-90.0001" lon="0" alt="0")", "", "Invalid lat/lon/alt for airport 'S1'\n", false},
        {R"(code="E1" lat="0" lon="180.0001" alt="0")", "", "Invalid lat/lon/alt for airport 'E1'\n", false},
        {R"(code="W1" lat="0" lon="-180.0001" alt="0")", "", "Invalid lat/lon/alt for airport 'W1'\n", false},
        {R"(code="NA" lat="nan" lon="0" alt="0")", "", "Invalid lat/lon/alt for airport 'NA'\n", false},
        {R"(code="NO" lat="0" lon="nan" alt="0")", "", "Invalid lat/lon/alt for airport 'NO'\n", false},
        {R"(code="IN" lat="0" lon="0" alt="inf")", "", "Invalid lat/lon/alt for airport 'IN'\n", false},
        {R"(code="ML" lon="0" alt="0")", "", "Missing lat/lon/alt for airport 'ML'\n", false},
        {R"(code="MO" lat="0" alt="0")", "", "Missing lat/lon/alt for airport 'MO'\n", false},
        {R"(code="MA" lat="0" lon="0")", "", "Missing lat/lon/alt for airport 'MA'\n", false},
        {R"(code="X1" lat="x" lon="0" alt="0")", "", "invalid stod argument", true},
        {R"(code="X2" lat="0" lon="" alt="0")", "", "invalid stod argument", true},
        {R"(code="X3" lat="0" lon="0" alt="1e999")", "", "stod argument out of range", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.attributes);
        gf_resetAirports();
        restartLog();
        std::string thrown;
        try {
            gf_readAirportsText(fmt::format("<airports><airport {}/></airports>", r.attributes), "t.xml");
        } catch (const std::exception& e) {
            thrown = e.what();
        }
        EXPECT_EQ(tst_listed(), r.listed);
        EXPECT_EQ(r.thrown ? thrown : gf_capturedLog(), r.log);
        if (!r.thrown) EXPECT_EQ(thrown, "");
    }
    const std::pair<const char*, const char*> documents[] = {
        {"<airports><airport", "t.xml not loaded: Error parsing start element tag"},
        {"<list/>", "Missing <airports> root in: t.xml"},
    };
    for (const auto& [xml, error] : documents) {
        SCOPED_TRACE(xml);
        EXPECT_THROW(
            try { gf_readAirportsText(xml, "t.xml"); } catch (const std::runtime_error& e) {
                EXPECT_EQ(std::string(e.what()), error);
                throw;
            },
            std::runtime_error);
    }
}

// A list that fails half way is error 88 and leaves nothing behind: no half list, no plain file,
// and the next call reads the whole list again. Once read, the list is sorted by code (the first
// of two entries with one code first) and not read again.
TEST_F(AirportListTest, AFailedReadLeavesNothingAndTheNextReadStartsAfresh) {
    const auto readError = [] {
        try {
            gf_readAirports();
        } catch (const qtk::UserErrorException& e) {
            return fmt::format("{}: {}", e.code(), e.message());
        }
        return std::string("none");
    };
    EXPECT_EQ(readError().substr(0, 4), "88: ");  // no airports.enc at all
    EXPECT_TRUE(g_airports.empty());
    tst_installAirportsXml(R"(<airports><airport code="LSZH" lat="47" lon="8" alt="1"/>
        <airport code="EDDF" lat="50" lon="x" alt="1"/></airports>)");
    EXPECT_EQ(readError(), "88: invalid stod argument");
    EXPECT_EQ(tst_listed(), "");
    EXPECT_FALSE(std::filesystem::exists(g_airportsXmlPath));
    tst_installAirportsXml(R"(<airports><airport code="LSZH" iata="ZRH" lat="47" lon="8" alt="1"/>
        <airport code="EDDF" lat="50" lon="8.5" alt="2"/><airport code="LSZH" lat="1" lon="1" alt="1"/>
        <airport code="AAAA" lat="1" lon="2"/></airports>)");
    EXPECT_EQ(readError(), "none");
    EXPECT_EQ(tst_listed(), "EDDF 50 8.5 2, LSZH (ZRH) 47 8 1, LSZH 1 1 1");
    EXPECT_EQ(gf_findAirport("LSZH")->iata, "ZRH");
    EXPECT_EQ(std::make_tuple(gf_findAirport("EDDE"), gf_findAirport("LSZ"), gf_findAirport("ZZZZ")),
              std::make_tuple(nullptr, nullptr, nullptr));
    EXPECT_FALSE(std::filesystem::exists(g_airportsXmlPath));
    tst_installAirportsXml("<airports/>");
    EXPECT_TRUE(gf_readAirports());  // read once per process: the new file is not read
    EXPECT_EQ(g_airports.size(), 3u);
    gf_resetAirports();
    EXPECT_FALSE(gf_readAirports());  // an empty list is read, but holds nothing
    EXPECT_FALSE(gf_readAirports());
}

// Only airports within 5 nm count; of two at one distance the first in the list wins, and a
// nearer one later in the list takes over.
TEST_F(AirportListTest, TheClosestAirportWithinFiveMiles) {
    struct Row {
        const char* name;
        std::vector<std::pair<const char*, double>> airports;  // code, nm north (negative: south)
        const char* found;
    };
    const Row rows[] = {
        {"4.99 nm north", {{"A", 4.99}}, "A"},
        {"4.99 nm south", {{"A", -4.99}}, "A"},
        {"5.01 nm north", {{"A", 5.01}}, "-"},
        {"the nearer one first", {{"A", 1}, {"B", -2}, {"C", 4.99}}, "A"},
        {"a tie: the first", {{"A", 2}, {"B", -2}}, "A"},
        {"a tie the other way round", {{"B", -2}, {"A", 2}}, "B"},
        {"none", {}, "-"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        gf_resetAirports();
        std::string xml = "<airports>";
        for (const auto& [code, north] : r.airports)
            xml += fmt::format(R"(<airport code="{}" lat="{:.17g}" lon="7" alt="0"/>)", code, north / 60.0);
        gf_readAirportsText(xml + "</airports>", "t.xml");
        const auto found = gf_findClosestAirport({0, 7});
        EXPECT_EQ(found ? found->get().code : "-", r.found);
    }
}

}  // namespace
