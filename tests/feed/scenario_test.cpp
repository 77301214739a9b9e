#include "platform/scenario.h"

#include <cmath>
#include <stdexcept>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "core/log.h"
#include "feed/traffic_reader.h"
#include "platform/scenario_source.h"
#include "sim/sim_state.h"
#include "support/work_folder.h"

namespace {

using ScenarioTest = LoggedTest;

std::string errorOf(std::string_view json) {
    try {
        gf_parseScenario(json, "demo.json");
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no error";
}

// Every field set, with values that differ from their defaults.
const char* const kFullScenario = R"({
  "frame_rate": 24.5, "run_length_s": 120, "connection_loss_at_s": 95.25, "park_airport": "LSZH",
  "qnh_hpa": 1021.5, "pauses": [{"at_s": 60, "duration_s": 10}],
  "installed_titles": ["Airbus A320 Swiss \"HB-JLT\"", "Boeing 777-300ER Swiss"],
  "frame_dips": [{"at_s": 40, "duration_s": 5, "frame_rate": 12}],
  "airports": [{"icao": "LSZH", "lat": 47.458056, "lon": 8.548056, "elevation_ft": 1416}],
  "user": [{"t": 0, "lat": 47.4512, "lon": 8.5616, "alt_ft": 1416, "heading_deg": 160},
           {"t": 30, "lat": 47.46, "lon": 8.57, "alt_ft": 2400, "heading_deg": 280, "gs_kt": 150.5,
            "on_ground": false}],
  "tracks": [{"hexid": "4B1805", "airline": "SWR", "type": "A320", "origin": "LEMD",
              "destination": "LSZH", "callsign": "SWR287", "registration": "HB-JLT",
              "rows": [[-30, 47.6, 8.36, 5000, 180, 137, -700, 1],
                       [-20, 47.58, 8.39, 4880, 176, 136.5, -690, 1, 181, -1.5, 136.2],
                       [-15, 47.57, 8.40, 4820, 175, 136, -680, 1, 180, null, 135.9],
                       [-10, 47.56, 8.41, 4760, 174, 136, -680, 0, 0, 2.0]]},
             {"hexid": "000001", "rows": [[0, -33.9, 151.2, 0, 0, 0, 0, 0]]}],
  "parked": [{"hexid": "4b1a2b", "airline": "SWR", "type": "A20N", "callsign": "SWR12",
              "registration": "HB-JDA", "lat": 47.4531, "lon": 8.562, "half_hours_ago": 3, "info": "gate A12"},
             {"hexid": "abcdef", "type": "C172", "lat": -12.5, "lon": -77.25, "half_hours_ago": -2}]
})";

Scenario fullScenario() { return gf_parseScenario(kFullScenario, "demo.json"); }

TEST_F(ScenarioTest, ReadsEveryFieldInItsPlaceAndWritesItBack) {
    const Scenario s = fullScenario();
    EXPECT_EQ(fmt::format("{} {} {} {} {} {} {} {}", s.frameRate, *s.runLengthSeconds, *s.connectionLossAtSecond,
                          s.parkAirport, *s.qnhHpa, s.pauses.at(0).durationSeconds, s.installedTitles.at(0),
                          s.frameDips.at(0).frameRate),
              "24.5 120 95.25 LSZH 1021.5 10 Airbus A320 Swiss \"HB-JLT\" 12");
    const ScenarioRow& row = s.tracks.at(0).rows.at(1);
    EXPECT_EQ(fmt::format("{:X} {} {} {} {} {} {} {} {} {} {} {} {}", s.tracks[0].hexid, s.tracks[0].destination, row.t,
                          row.lat, row.lon, row.altFt, row.gsKt, row.trackDeg, row.vrateFpm, row.airspeedKt,
                          row.airborne, *row.rollDeg, *row.trueHeadingDeg),
              "4B1805 LSZH -20 47.58 8.39 4880 176 136.5 -690 181 true -1.5 136.2");
    EXPECT_FALSE(s.tracks[0].rows[2].rollDeg.has_value());
    EXPECT_FALSE(s.tracks[0].rows[3].airborne);
    EXPECT_EQ(fmt::format("{} {} {} {} {}", s.user[1].gsKt, s.user[1].onGround, s.parked[1].hexid, s.parked[1].lon,
                          s.parked[1].halfHoursAgo),
              "150.5 false 11259375 -77.25 -2");
    EXPECT_EQ(gf_parseScenario(gf_scenarioToJson(s), "written"), s);
    EXPECT_EQ(gf_parseScenario("{}", "demo.json"), Scenario{});
    tst_writeFile("good.json", gf_scenarioToJson(s));
    EXPECT_EQ(gf_readScenarioFile("good.json"), s);
    EXPECT_EQ(gf_capturedLog(), "");
}

TEST_F(ScenarioTest, MalformedInputNamesFileAndPlace) {
    const std::pair<const char*, const char*> rows[] = {
        {R"({"frame_rate": 30,})",
         "demo.json: byte 19: [json.exception.parse_error.101] parse error at line 1, column 19: syntax error while "
         "parsing object key - unexpected '}'; expected string literal"},
        {R"({"tracks": [{"hexid": "000001", "rows": [[0, 1e999, 0, 0, 0, 0, 0, 0]]}]})",
         "demo.json: [json.exception.out_of_range.406] number overflow parsing '1e999'"},
        {R"({"run_lenght_s": 120})", "demo.json: run_lenght_s: unknown field"},
        {R"({"frame_rate": 1e-300})", "demo.json: frame_rate: must be between 1 and 1000"},
        {R"({"park_airport": "LSZH"})", "demo.json: park_airport: names no airport of the scenario"},
        {R"({"airports": [{"icao": "LSZH", "lon": 8, "elevation_ft": 1416}]})", "demo.json: airports[0].lat: missing"},
        {R"({"airports": [{"icao": "LSZH", "lat": 95, "lon": 8, "elevation_ft": 1}]})",
         "demo.json: airports[0]: position out of range"},
        {R"({"tracks": [{"hexid": "4b18", "rows": []}]})", "demo.json: tracks[0].hexid: expected a 6-digit hex string"},
        {R"({"tracks": [{"hexid": "4b1805"}, {"hexid": "4b1806", "rows": [[0, 47, 8, 0, "fast", 0, 0, 0]]}]})",
         "demo.json: tracks[1].rows[0]: column 4 (gs_kt) is not a number"},
        {R"({"tracks": [{"hexid": "4b1805", "rows": [[0, 47, 8, 0, 0, 0, 0]]}]})",
         "demo.json: tracks[0].rows[0]: expected an array of 8 to 11 numbers"},
        {R"({"parked": [{"hexid": "4b1805", "lat": 47, "lon": 8, "half_hours_ago": 2147483648}]})",
         "demo.json: parked[0].half_hours_ago: expected a 32-bit integer"},
    };
    for (auto [json, error] : rows) EXPECT_EQ(errorOf(json), error) << json;
    EXPECT_THROW(gf_readScenarioFile("missing.json"), std::runtime_error);
    EXPECT_EQ(errorOf(R"({"frame_rate": true})"), "demo.json: frame_rate: expected a number");
}

// Rows that cannot be flown are dropped and counted once; of two tracks with one address at
// the same time the later goes, the same address on a later flight stays.
TEST_F(ScenarioTest, BadRowsAndOverlappingTracksAreDroppedAndCounted) {
    const char* text = R"({"tracks": [
      {"hexid": "4b1805", "callsign": "A", "rows": [[0, 47, 8, 0, 0, 0, 0, 1], [1, 90.5, 8, 0, 0, 0, 0, 1],
        [2, 47, -180.5, 0, 0, 0, 0, 1], [3, null, 8, 0, 0, 0, 0, 1], [null, 47, 8, 0, 0, 0, 0, 1],
        [0, 47.1, 8, 0, 0, 0, 0, 1], [4, 47, 8, 0, 0, 0, 0, 1, null], [4.5, 47, 8, 1e300, 0, 0, 0, 1],
        [4.6, 47, 8, 0, 1e300, 0, 0, 1], [20, -90, 180, 0, 0, -720, 0, 0]]},
      {"hexid": "4b1806", "callsign": "B", "rows": [[10, 47, 8, 0, 0, 0, 0, 1]]},
      {"hexid": "4b1805", "callsign": "C", "rows": [[20, 47, 8, 0, 0, 0, 0, 1], [30, 47, 8, 0, 0, 0, 0, 1]]},
      {"hexid": "4b1805", "callsign": "D", "rows": [[21, 47, 8, 0, 0, 0, 0, 1]]},
      {"hexid": "002710", "callsign": "E", "rows": [[0, 47, 8, 0, 0, 0, 0, 1]]}],
     "parked": [{"hexid": "4b1a2b", "lat": 47, "lon": 181}, {"hexid": "4b1a2c", "lat": 47, "lon": 8}]})";
    const Scenario s = gf_parseScenario(text, "demo.json");
    std::string kept;
    for (const ScenarioTrack& t : s.tracks) kept += t.callsign;
    EXPECT_EQ(kept, "ABDE");
    std::vector<double> times;
    for (const auto& row : s.tracks[0].rows) times.push_back(row.t);
    EXPECT_EQ(times, (std::vector<double>{0, 20}));
    ASSERT_EQ(s.parked.size(), 1u);
    EXPECT_EQ(s.parked[0].hexid, 0x4b1a2cu);
    EXPECT_EQ(gf_capturedLog(),
              "===> demo.json: dropped 8 track rows and 1 parked aircraft (time or position not finite, out of range "
              "or out of order)\n"
              "===> demo.json: dropped 1 track whose hexid an earlier track has at the same time (first: 4B1805 "
              "(tracks[2]))\n");
}

TEST_F(ScenarioTest, DemoScenarioIsClean) {
    const Scenario demo = gf_readScenarioFile(tst_sourceDir() / "data/demo/scenario.json");
    EXPECT_EQ(gf_capturedLog(), "");
    EXPECT_EQ(demo.parkAirport, "LSZH");
    EXPECT_GE(demo.tracks.size(), 3u);
}

// The source serves what stands within 5 nm of the park airport (all without one) and the
// aircraft within the asked radius of the asked position.
TEST_F(ScenarioTest, SourceServesWhatThePlaceAsks) {
    auto scenario = std::make_shared<Scenario>(fullScenario());
    scenario->parked[1].lat = 47.458056 + 4.9 / 60;
    scenario->parked[1].lon = 8.548056;
    scenario->parked.push_back(scenario->parked[1]);
    scenario->parked.back().lat = 47.458056 + 5.1 / 60;
    ScenarioSource source(scenario);
    std::vector<ParkedTrafficRecord> parked;
    EXPECT_TRUE(source.parkedTraffic(parked));
    EXPECT_EQ(parked.size(), 2u);
    scenario->parkAirport.clear();
    parked.clear();
    source.parkedTraffic(parked);
    EXPECT_EQ(parked.size(), 3u);
    scenario->tracks.resize(2);
    for (double northNm : {5.0, 30.0})
        scenario->tracks[northNm > 5] = {static_cast<uint32_t>(0x4b1800 + northNm), "", "", "", "", "", "",
                                         {{0, 47 + northNm / 60, 8, 5000, 250, 180, 0, 0, true}}};
    const struct {
        double centerNorthNm, radiusNm;
        std::vector<uint32_t> served;
    } rows[] = {{0, 10, {0x4b1805}}, {0, 40, {0x4b1805, 0x4b181e}}, {30, 2, {0x4b181e}}, {60, 20, {}}};
    for (const auto& row : rows) {
        std::vector<TrafficReport> out;
        source.reportsAt(0, {{47 + row.centerNorthNm / 60, 8}, row.radiusNm}, out);
        std::vector<uint32_t> served;
        for (const TrafficReport& r : out) served.push_back(r.hexid);
        EXPECT_EQ(served, row.served) << row.centerNorthNm << " " << row.radiusNm;
    }
}

}  // namespace
