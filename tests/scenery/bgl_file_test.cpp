#include "scenery/bgl_file.h"

#include <cmath>

#include <gtest/gtest.h>

#include "core/log.h"
#include "core/tasks.h"
#include "scenery/scan_messages.h"
#include "support/bgl_builder.h"
#include "support/work_folder.h"

namespace {

struct RecordingSink : BglAirportSink {
    std::vector<std::string> linked;
    std::vector<ApfContent> airports;
    BglLink link(ApfContent& a, std::string_view) override {
        linked.push_back(a.icao);
        return {};
    }
    void finish(ApfContent& a, const BglLink&) override { airports.push_back(std::move(a)); }
};

class BglFileTest : public WorkFolderTest {
protected:
    RecordingSink decode(const std::vector<BglAirportSpec>& airports) {
        RecordingSink sink;
        gf_decodeBgl(tst_bglFile(airports), "D:\\s\\a.bgl", sink);
        return sink;
    }
};

constexpr double kLat = 47.25, kLon = 9.5;
BglParkingSpec lf_park(uint32_t code, uint32_t number, uint32_t type = 4, float radius = 20.0f,
                       std::vector<uint32_t> airlines = {}) {
    return {code, type, number, radius, 90.0f, kLat + number * 1e-4, kLon, std::move(airlines)};
}

TEST_F(BglFileTest, GoldenAirportsGiveExactStandsAndMessages) {
    BglAirportSpec v1{0x3C, tst_packIcao("LSZQ"), 3048000, {"Quelle Field"}, {}, {}};
    v1.helipads = {{kLat, kLon, 30.0f, 0.0f}, {kLat, kLon, 30.0f, 90.0f}, {0.00005, 0.00009, 10.f, 0.f},
                   {kLat + 0.01, kLon, 18.0f, 90.0f}, {0.0002, 0.0, 10.f, 90.f}};
    const uint32_t codes[] = {0, 1, 2, 3, 10, 11, 12, 40};
    for (uint32_t c : codes) v1.parkings.push_back(lf_park(c, 7, c == 1 ? 5 : 4, 1.01f));
    v1.parkings.push_back(lf_park(10, 12, 12, 1.0f));  // fuel with a bad radius: message first
    v1.parkings.push_back(lf_park(10, 12, 12));         // fuel: passed over silently
    v1.parkings.push_back(lf_park(10, 13, 8, 200.0f));
    v1.parkings.push_back(lf_park(10, 13, 8, 199.9f, {1, 2}));
    v1.parkings.push_back(lf_park(10, 14, 8, NAN));
    BglAirportSpec v2{0xAB, tst_packIcao("LSZR"), -3353, {}, {}, {}};
    for (int i = 0; i < 12; ++i) v2.parkings.push_back(lf_park(10, 12, 2, 25.0f, {7, 8}));
    const RecordingSink sink = decode({v1, v2});

    ASSERT_EQ(sink.linked, (std::vector<std::string>{"LSZQ", "LSZR"}));
    const ApfContent& a = sink.airports[0];
    EXPECT_EQ(a.airport_name, "Quelle Field");
    EXPECT_EQ(a.altitude, 10000);
    EXPECT_EQ(sink.airports[1].altitude, -11);
    struct Row { const char* name; double headingRad, radiusM; bool cargo, ramp, heli; };
    const Row rows[] = {{"helipad1", 2 * M_PI, 15, false, false, true}, {"helipad2", M_PI / 2, 9, false, false, true},
                        {"helipad3", M_PI / 2, 5, false, false, true},
                        {"7", M_PI / 2, 1.01, false, true, false},      {"r7", M_PI / 2, 1.01, true, true, false},
                        {"p7", M_PI / 2, 1.01, false, true, false},     {"np7", M_PI / 2, 1.01, false, true, false},
                        {"g7", M_PI / 2, 1.01, false, true, false},     {"7a", M_PI / 2, 1.01, false, true, false},
                        {"A7", M_PI / 2, 1.01, false, true, false},     {"]7", M_PI / 2, 1.01, false, true, false},
                        {"g13", M_PI / 2, 199.9, false, false, false}};
    ASSERT_EQ(a.stands.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].name);
        const Stand& s = a.stands[i];
        EXPECT_EQ(s.name, rows[i].name);
        EXPECT_NEAR(s.heading, rows[i].headingRad, 1e-6);
        EXPECT_NEAR(s.radius * 1852.0, rows[i].radiusM, 1e-4);
        EXPECT_EQ(std::tie(s.cargo, s.ramp, s.heli), std::tie(rows[i].cargo, rows[i].ramp, rows[i].heli));
    }
    EXPECT_DOUBLE_EQ(a.stands[0].latitude, 90.0 - tst_packLat(kLat) * 3.3527612686157227e-07);
    EXPECT_DOUBLE_EQ(a.stands[0].longitude, tst_packLon(kLon) * 4.470348358154297e-07 - 180.0);
    EXPECT_NEAR(a.stands[11].latitude, kLat + 13e-4, 4e-7);

    const std::vector<ApfContent>& b = sink.airports;
    ASSERT_EQ(b[1].stands.size(), 11u);
    EXPECT_EQ(b[1].stands[1].name, "g12a");
    EXPECT_EQ(b[1].stands[10].name, "g12j");
    EXPECT_EQ(g_scanMessages, (std::vector<std::string>{
                                  "double helipad Quelle Field (skipped) 47.250000,9.500000",
                                  "lat/lon helipad incorrect (skipped): 0.000050,0.000090",
                                  "Skipped position with radius 1.0 m in D:\\s\\a.bgl",
                                  "Skipped position with radius 200.0 m in D:\\s\\a.bgl",
                                  "Skipped position with radius NAN m in D:\\s\\a.bgl",
                                  "===> Warning: more than 10 duplicate IDs g12 in D:\\s\\a.bgl",
                              }));
}

TEST_F(BglFileTest, AirportHeaderRules) {
    // Altitudes below -20 ft or above 10000 ft are stored as 0; names are cut at 45 bytes.
    struct Row { uint32_t icao; int32_t mm; std::vector<std::string> names; std::string name; int ft; bool kept; };
    const std::string cut(60, 'x');
    const Row rows[] = {
        {tst_packIcao("EGL"), 0, {}, "", 0, false},          {tst_packIcao("EGLLX"), 0, {}, "", 0, false},
        {tst_packIcao("EGLL") - (23 << 5), 0, {}, "", 0, false},  // last digit 0: a blank
        {tst_packIcao("K2A0"), -6096, {"A", "A"}, "A", -20, true},
        {tst_packIcao("K2A0"), -6401, {"A"}, "A", 0, true},  // -21 ft
        {tst_packIcao("K2A0"), 3048000, {"A", "B"}, "", 10000, true},
        {tst_packIcao("K2A0"), 3048305, {}, "", 0, true},  // 10001 ft
        {tst_packIcao("K2A0"), 0, {"A", "B", "C"}, "C", 0, true},
        {tst_packIcao("K2A0"), 0, {cut}, cut.substr(0, 45), 0, true},
        {tst_packIcao("K2A0"), 0, {"Z\x01\xfcrich\x7f"}, "Z\xc3\xbcrich", 0, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.mm);
        gf_resetScanMessages();
        const RecordingSink sink = decode({{0x3C, r.icao, r.mm, r.names, {}, {lf_park(10, 1)}}});
        ASSERT_EQ(sink.airports.size(), r.kept ? 1u : 0u);
        if (!r.kept) continue;
        EXPECT_EQ(sink.linked, std::vector<std::string>{"K2A0"});
        EXPECT_EQ(sink.airports[0].altitude, r.ft);
        EXPECT_EQ(sink.airports[0].airport_name, r.name);
    }
}

// Every truncation of the golden file ends cleanly and gives the worker slot back (byte flips
// are the fuzzer's part).
TEST_F(BglFileTest, DamagedFilesEndCleanly) {
    BglAirportSpec a{0xAB, tst_packIcao("LSZQ"), 400000, {"Quelle"}, {{kLat, kLon, 20.f, 10.f}}, {}};
    for (uint32_t i = 0; i < 20; ++i) a.parkings.push_back(lf_park(i % 14, i, 1 + i % 11, 20.f, {i % 3 == 0 ? 1u : 0u}));
    const std::string golden = tst_bglFile({a, a});
    for (std::size_t n = 0; n < golden.size(); ++n) {
        tst_writeFile("d.bgl", golden.substr(0, n));
        g_runningWorkers = 1;
        RecordingSink sink;
        try {
            lf_processBGLfile("d.bgl", "d.bgl", sink);
        } catch (const std::out_of_range&) {
        }
        ASSERT_EQ(g_runningWorkers.load(), 0) << n;
    }
}

}  // namespace
