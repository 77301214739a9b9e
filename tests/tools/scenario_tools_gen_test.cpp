#include <algorithm>
#include <cmath>
#include <set>

#include <gtest/gtest.h>
#include <fmt/format.h>
#include <pugixml.hpp>

#include "core/geo.h"
#include "platform/scenario_tools.h"
#include "support/work_folder.h"

namespace {

class ScenarioGenTest : public WorkFolderTest {};

Scenario generated(uint32_t seed) {
    Scenario s;
    GeneratorOptions options;
    options.seed = seed;
    gf_addSyntheticTraffic(s, options);
    return s;
}

const ScenarioTrack* byCallsign(const Scenario& s, std::string_view callsign) {
    for (const ScenarioTrack& t : s.tracks)
        if (t.callsign == callsign) return &t;
    return nullptr;
}

RunwayEnd runway(std::string_view name) {
    for (const RunwayEnd& r : gf_lszhRunways())
        if (r.name == name) return r;
    return {};
}

std::set<std::string> xmlAttributes(const char* file, const char* path, const char* attribute) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_file((tst_sourceDir() / "data" / file).c_str())) << file;
    std::set<std::string> out;
    for (const pugi::xpath_node& n : doc.select_nodes(path))
        out.insert(n.node().attribute(attribute).value());
    return out;
}

TEST_F(ScenarioGenTest, SameSeedGivesTheSameBytes) {
    const std::string a = gf_scenarioToJson(generated(7));
    EXPECT_EQ(a, gf_scenarioToJson(generated(7)));
    EXPECT_NE(a, gf_scenarioToJson(generated(8)));
    // And what is written reads back as it was.
    EXPECT_EQ(gf_parseScenario(a, "gen.json"), generated(7));
}

TEST_F(ScenarioGenTest, ArrivalsFollowAThreeDegreeGlidePathToRunway14) {
    const Scenario s = generated(7);
    const RunwayEnd rwy = runway("14");
    int arrivals = 0;
    for (const ScenarioTrack& t : s.tracks) {
        const auto touchdown =
            std::find_if(t.rows.begin(), t.rows.end(), [](auto& r) { return !r.airborne; });
        if (!t.rows.front().airborne || touchdown == t.rows.end() ||
            gf_haversineNm(rwy.threshold, {touchdown->lat, touchdown->lon}) > 1.2)
            continue;
        SCOPED_TRACE(t.callsign);
        ++arrivals;
        int checked = 0;
        for (auto r = t.rows.begin(); r != touchdown; ++r) {
            const double nm = gf_haversineNm(rwy.threshold, {r->lat, r->lon});
            if (nm < 1.5) continue;
            const double angle = gf_radToDeg(std::atan((r->altFt - 1416 - 50) / gf_nmToFeet(nm)));
            EXPECT_NEAR(angle, kGlidePathDeg, 0.2) << "t " << r->t;
            // On the extended centre line, coming in on the runway's heading.
            const double bearing = gf_radToDeg(gf_bearingRad({r->lat, r->lon}, rwy.threshold));
            EXPECT_NEAR(bearing, rwy.headingDeg, 1.0) << "t " << r->t;
            ++checked;
        }
        EXPECT_GE(checked, 3);
        // Rolls out on the ground, reported at altitude 0 as the traffic service does.
        EXPECT_DOUBLE_EQ(t.rows.back().altFt, 0);
        EXPECT_FALSE(t.rows.back().airborne);
    }
    EXPECT_EQ(arrivals, 5);
}

TEST_F(ScenarioGenTest, RowsAreFiniteNearZurichAndReportedEveryTwoToTenSeconds) {
    const Scenario s = generated(11);
    ASSERT_EQ(s.tracks.size(), 14u);
    int repeats = 0;
    for (const ScenarioTrack& t : s.tracks) {
        SCOPED_TRACE(t.callsign);
        ASSERT_FALSE(t.rows.empty());
        EXPECT_LE(t.rows.front().t, -30);  // seen by the first buffered snapshot
        EXPECT_LE(t.rows.back().t, 240);
        EXPECT_GE(t.rows.back().t, 230);
        for (size_t i = 0; i < t.rows.size(); ++i) {
            const ScenarioRow& r = t.rows[i];
            for (double v : {r.t, r.lat, r.lon, r.altFt, r.gsKt, r.trackDeg, r.vrateFpm})
                ASSERT_TRUE(std::isfinite(v));
            EXPECT_LT(gf_haversineNm({47.4647, 8.54917}, {r.lat, r.lon}), 45);
            if (r.airborne) EXPECT_GE(r.altFt, 1416);
            else EXPECT_EQ(r.altFt, 0);
            EXPECT_GE(r.gsKt, 0);
            EXPECT_GE(r.trackDeg, 0);
            EXPECT_LT(r.trackDeg, 360);
            if (i == 0) continue;
            const double step = r.t - t.rows[i - 1].t;
            EXPECT_GE(step, 2);
            EXPECT_LE(step, 10);
            if (r.lat == t.rows[i - 1].lat && r.lon == t.rows[i - 1].lon) ++repeats;
        }
    }
    EXPECT_GT(repeats, 0);  // the feed repeats a report now and then
}

TEST_F(ScenarioGenTest, IdentitiesAgreeWithTheTypeDatabaseAndTheInstalledLiveries) {
    const std::set<std::string> types = xmlAttributes("dbase.xml", "/dbase/types/type", "icao");
    pugi::xml_document liveries, dbase;
    ASSERT_TRUE(dbase.load_file((tst_sourceDir() / "data/dbase.xml").c_str()));
    ASSERT_TRUE(liveries.load_file((tst_sourceDir() / "data/LiveriesScanned.xml").c_str()));
    const Scenario s = generated(7);
    for (const ScenarioTrack& t : s.tracks) {
        SCOPED_TRACE(t.callsign);
        if (t.callsign == kUnknownTypeCallsign) {
            EXPECT_EQ(types.count(t.type), 0u);
            continue;
        }
        EXPECT_EQ(types.count(t.type), 1u);
        // Each aircraft has a livery of its own registration, airline and type.
        const std::string path = fmt::format("/liveries/liv[@atcid='{}']", t.registration);
        const pugi::xml_node liv = liveries.select_node(path.c_str()).node();
        ASSERT_TRUE(liv) << t.registration;
        // KLM Cityhopper flies under KLM callsigns; dbase.xml names it as the operator.
        const std::string reg = fmt::format("/dbase/registrations/reg[@id='{}']", t.registration);
        const std::string operatorCode = dbase.select_node(reg.c_str()).node().attribute("opr").value();
        EXPECT_TRUE(liv.attribute("airl").value() == t.airline ||
                    liv.attribute("airl").value() == operatorCode)
            << liv.attribute("airl").value();
        EXPECT_EQ(liv.attribute("type").value(), t.type);
    }
    EXPECT_TRUE(byCallsign(s, kBlockedCallsign));
    ASSERT_TRUE(byCallsign(s, kRefusedTitleCallsign));
    EXPECT_EQ(byCallsign(s, kRefusedTitleCallsign)->registration, "HB-JMD");
}

TEST_F(ScenarioGenTest, DemoScenarioParsesAndUsesOnlyKnownTitlesAndTypes) {
    const Scenario s = gf_readScenarioFile(tst_sourceDir() / "data/demo/scenario.json");
    EXPECT_EQ(s.frameRate, 30);
    EXPECT_EQ(s.runLengthSeconds, 240);
    EXPECT_EQ(s.parkAirport, "LSZH");
    EXPECT_EQ(s.qnhHpa, 1019);
    ASSERT_EQ(s.user.size(), 1u);
    EXPECT_TRUE(s.user[0].onGround);
    EXPECT_TRUE(std::any_of(s.airports.begin(), s.airports.end(), [](auto& a) { return a.icao == "LSZH"; }));

    const std::set<std::string> titles = xmlAttributes("LiveriesScanned.xml", "/liveries/liv", "title");
    const std::vector<std::string> installed =
        gf_parseTitleList(gf_readTextFile(tst_sourceDir() / "data/demo/installed_titles.txt"));
    EXPECT_EQ(s.installedTitles, installed);
    for (const std::string& title : s.installedTitles) EXPECT_EQ(titles.count(title), 1u) << title;
    // The refused aircraft's own title is scanned but not installed.
    EXPECT_EQ(titles.count("Airbus A340-300 Edelweiss Air HB-JMD"), 1u);
    EXPECT_EQ(std::count(installed.begin(), installed.end(), "Airbus A340-300 Edelweiss Air HB-JMD"), 0);

    const std::set<std::string> types = xmlAttributes("dbase.xml", "/dbase/types/type", "icao");
    int busyAtStart = 0;
    for (const ScenarioTrack& t : s.tracks) {
        SCOPED_TRACE(t.callsign);
        if (t.callsign != kUnknownTypeCallsign) EXPECT_EQ(types.count(t.type), 1u) << t.type;
        if (!t.rows.empty() && t.rows.front().t <= -30 && t.rows.back().t >= 0) ++busyAtStart;
    }
    EXPECT_GE(busyAtStart, 15);
}

}  // namespace
