#include "scenery/bgl_file.h"

#include <bit>
#include <cmath>

#include <gtest/gtest.h>

#include "core/log.h"
#include "core/run_state.h"
#include "core/tasks.h"
#include "scenery/scan_messages.h"
#include "support/bgl_builder.h"
#include "support/work_folder.h"

namespace fs = std::filesystem;

namespace {

struct RecordingSink : BglAirportSink {
    std::vector<std::string> linked;
    std::vector<ApfContent> airports;
    bool stopAfterFirst = false;
    BglLink link(ApfContent& a, std::string_view) override {
        linked.push_back(a.icao);
        return {};
    }
    void finish(ApfContent& a, const BglLink&) override {
        airports.push_back(std::move(a));
        if (stopAfterFirst) g_stopRun = true;
    }
};

class BglFileTest : public WorkFolderTest {
  protected:
    RecordingSink decode(const std::vector<BglAirportSpec>& airports) {
        RecordingSink sink;
        gf_decodeBgl(tst_bglFile(airports), "D:\\s\\a.bgl", sink);
        return sink;
    }
};

// Little-endian fields appended one after the other, as a scenery file holds them.
struct Bytes {
    std::string b;
    Bytes& u16(uint16_t v) { return put(v, 2); }
    Bytes& u32(uint32_t v) { return put(v, 4); }
    Bytes& f32(float v) { return put(std::bit_cast<uint32_t>(v), 4); }
    Bytes& zeros(std::size_t n) { return b.append(n, '\0'), *this; }
    Bytes& text(std::string_view t) { return b.append(t), *this; }
    Bytes& put(uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b += static_cast<char>(v >> (8 * i));
        return *this;
    }
};

constexpr uint32_t kLat4725 = 127506842, kLat4726 = 127477015, kLat4724 = 127536668, kLat4730 = 127357711;
constexpr uint32_t kLon950 = 423904324, kLon951 = 423926694;
constexpr double kLat4725Deg = 47.24999986588955, kLat4724Deg = 47.239999920129776;
constexpr double kLon950Deg = 9.49999988079071, kLon951Deg = 9.510000050067902;

// 36 bytes: id, size, 6 unread bytes, longitude, latitude, 8 unread bytes, width, heading.
void lf_helipad(Bytes& f, uint32_t lat, float width, float heading) {
    f.u16(0x26).u32(36).zeros(6).u32(kLon950).u32(lat).zeros(8).f32(width).f32(heading);
}
// 36 bytes (+4 per airline code, +4 more in a 0xAD list): packed name/type/number/codes,
// radius, heading, 16 unread bytes, longitude, latitude.
void lf_parking(Bytes& f, uint32_t packed, float radius, float heading, uint32_t lat = kLat4725,
                uint32_t lon = kLon951, std::size_t tail = 0) {
    f.u32(packed).f32(radius).f32(heading).zeros(16).u32(lon).u32(lat).zeros(tail);
}

// A file written byte by byte from the format, not by the tests' BGL writer: a misreading the
// writer and the decoder share cannot hide here.
std::string lf_goldenFile() {
    Bytes f;
    f.u32(0x0201).u32(0x38).zeros(12).u32(4).zeros(32);  // header: size 0x38, 4 sections
    // Sections (20 bytes): type, flags, subsection count, subsection table offset, its size.
    f.u32(3).u32(1).u32(1).u32(136).u32(32);        // airports
    f.u32(3).u32(0x10001).u32(1).u32(152).u32(16);  // airports, 20-byte subsections: not read
    f.u32(0x65).u32(1).u32(1).u32(152).u32(16);     // another kind
    f.u32(3).u32(1).u32(1).u32(136).u32(32);        // airports again, to the same records
    // Subsections at 136 (16 bytes): id, record count, records offset, size. The second is
    // never read; it leads to a decoy airport at 168 that the walk from 268 never meets.
    f.u32(0).u32(2).u32(268).u32(756);
    f.u32(0).u32(1).u32(168).u32(100);
    f.u16(0x3C).u32(100).zeros(14).u32(0).zeros(16).u32(0x28307e0).zeros(12);  // LZZZ
    f.u16(0x3D).u32(44).u16(1);
    lf_parking(f, 0xc40a, 20.f, 90.f);
    EXPECT_EQ(f.b.size(), 268u);

    // LSZQ (0x3C, 592 bytes): header of 0x38 bytes, altitude 3,048,000 mm at +0x14.
    f.u16(0x3C).u32(592).zeros(14).u32(3048000).zeros(16).u32(0x27e1740).zeros(12);
    f.u16(0x19).u32(20).text("Quelle Field").zeros(2);
    lf_helipad(f, kLat4725, 30.f, 0.f);     // helipad1
    lf_helipad(f, kLat4725, 30.f, 90.f);    // the same place: skipped
    lf_helipad(f, kLat4726, 0.f, 0.f);      // no width: skipped
    lf_helipad(f, kLat4724, 18.f, -400.f);  // helipad2, heading 320
    lf_helipad(f, kLat4730, 4002.f, 0.f);   // radius past the reader's 2000 m: skipped
    lf_helipad(f, kLat4726, 20.f, NAN);     // skipped, by its heading
    f.u16(0x3D).u32(300).u16(8);
    lf_parking(f, 0xc40a, 20.f, 90.f);                             // g12, type 4
    lf_parking(f, 0xc50a, 20.f, 90.f);                             // g12 again: g12a, type 5 (cargo)
    lf_parking(f, 0x7502, 1.f, 90.f);                              // p7, radius 1.0: skipped
    lf_parking(f, 0x1007803, 199.9f, 90.f, kLat4725, kLon951, 4);  // np7, type 8, an airline code
    lf_parking(f, 0x7128, 1.01f, -90.f);                           // ]7 (code 40), type 1, heading 270
    lf_parking(f, 0x4c0b, 1.f, 90.f, 0, 0);                   // fuel (type 12): its radius said, passed over
    lf_parking(f, 0xd40a, 20.f, NAN);                         // g13: skipped, by its heading
    lf_parking(f, 0xe40a, 20.f, 90.f, 268435456, 402653184);  // g14 at 0,0: skipped
    EXPECT_EQ(f.b.size(), 860u);

    // LSZR (0xAB, 164 bytes): header of 0x3C bytes, altitude -3353 mm; a 0xAD list whose
    // entries carry 4 more bytes and two airline codes each (48 bytes).
    f.u16(0xAB).u32(164).zeros(14).u32(static_cast<uint32_t>(-3353)).zeros(16).u32(0x27e1760).zeros(16);
    f.u16(0xAD).u32(104).u16(2);
    lf_parking(f, 0x2fff601, 25.f, 720.f, kLat4725, kLon951, 12);  // r4095, type 6
    lf_parking(f, 0x2000700, 25.f, 45.f, kLat4725, kLon951, 12);   // 0, type 7
    EXPECT_EQ(f.b.size(), 1024u);
    return f.b;
}

TEST_F(BglFileTest, GoldenFileGivesExactAirportsStandsAndMessages) {
    RecordingSink sink;
    gf_decodeBgl(lf_goldenFile(), "D:\\s\\a.bgl", sink);
    ASSERT_EQ(sink.linked, (std::vector<std::string>{"LSZQ", "LSZR"}));  // each once
    ASSERT_EQ(sink.airports.size(), 2u);
    EXPECT_EQ(std::tie(sink.airports[0].airport_name, sink.airports[0].altitude),
              std::tuple("Quelle Field", 10000));
    EXPECT_EQ(std::tie(sink.airports[0].Qf_real, sink.airports[0].Qf_soft), std::tuple(0, 0));
    EXPECT_EQ(std::tie(sink.airports[1].airport_name, sink.airports[1].altitude), std::tuple("", -11));
    struct Row {
        const char* name;
        double lat, lon, headingRad, radiusM;
        bool cargo, ramp, heli;
    };
    const double north = 2 * M_PI;
    const std::vector<std::vector<Row>> airports = {
        {{"helipad1", kLat4725Deg, kLon950Deg, north, 15, false, false, true},
         {"helipad2", kLat4724Deg, kLon950Deg, 320 * M_PI / 180, 9, false, false, true},
         {"g12", kLat4725Deg, kLon951Deg, M_PI / 2, 20, false, true, false},
         {"g12a", kLat4725Deg, kLon951Deg, M_PI / 2, 20, true, true, false},
         {"np7", kLat4725Deg, kLon951Deg, M_PI / 2, 199.9, false, false, false},
         {"]7", kLat4725Deg, kLon951Deg, 270 * M_PI / 180, 1.01, false, true, false}},
        {{"r4095", kLat4725Deg, kLon951Deg, north, 25, false, true, false},
         {"0", kLat4725Deg, kLon951Deg, M_PI / 4, 25, false, true, false}}};
    for (std::size_t a = 0; a < airports.size(); ++a) {
        const std::vector<Stand>& stands = sink.airports[a].stands;
        ASSERT_EQ(stands.size(), airports[a].size());
        for (std::size_t i = 0; i < stands.size(); ++i) {
            const Row& r = airports[a][i];
            SCOPED_TRACE(r.name);
            EXPECT_EQ(stands[i].name, r.name);
            EXPECT_DOUBLE_EQ(stands[i].latitude, r.lat);
            EXPECT_DOUBLE_EQ(stands[i].longitude, r.lon);
            EXPECT_NEAR(stands[i].heading, r.headingRad, 1e-9);
            EXPECT_NEAR(stands[i].radius * 1852.0, r.radiusM, 1e-4);
            EXPECT_EQ(std::tie(stands[i].cargo, stands[i].ramp, stands[i].heli),
                      std::tie(r.cargo, r.ramp, r.heli));
        }
    }
    EXPECT_EQ(g_scanMessages, (std::vector<std::string>{
                                  "double helipad Quelle Field (skipped) 47.250000,9.500000",
                                  "lat/lon helipad incorrect (skipped): 47.260000,9.500000",
                                  "lat/lon helipad incorrect (skipped): 47.300000,9.500000",
                                  "Skipped helipad with heading NAN in D:\\s\\a.bgl",
                                  "Skipped position with radius 1.0 m in D:\\s\\a.bgl",
                                  "Skipped position with radius 1.0 m in D:\\s\\a.bgl",
                                  "Skipped position with heading NAN in D:\\s\\a.bgl",
                                  "LatLon 0.000000,0.000000 invalid (skipped)",
                              }));
}

constexpr double kLat = 47.25, kLon = 9.5;
BglParkingSpec lf_park(uint32_t code, uint32_t number, uint32_t type = 4, float radius = 20.0f,
                       std::vector<uint32_t> airlines = {}) {
    return {code, type, number, radius, 90.0f, kLat + number * 1e-4, kLon, std::move(airlines)};
}

TEST_F(BglFileTest, NameAndEntryRules) {
    BglAirportSpec a{0xAB, tst_packIcao("LSZR"), 0, {}, {}, {}};
    a.helipads = {{0.00005, 0.00009, 10.f, 0.f},
                  {0.0002, 0.0, 10.f, 90.f},
                  {-95.0, 9.0, 10.f, 0.f},
                  {9.0, 180.5, 10.f, 0.f},
                  {90.0, 9.0, 10.f, 0.f}};
    for (int i = 0; i < 12; ++i) a.parkings.push_back(lf_park(10, 12, 2, 25.0f, {7, 8}));
    a.parkings.push_back(lf_park(12, 7));
    a.parkings.push_back(lf_park(10, 14, 8, NAN));
    const RecordingSink sink = decode({a});
    std::vector<std::string> names;
    for (const Stand& s : sink.airports.at(0).stands) names.push_back(s.name);
    EXPECT_EQ(names, (std::vector<std::string>{"helipad1", "helipad2", "g12", "g12a", "g12b", "g12c", "g12d",
                                               "g12e", "g12f", "g12g", "g12h", "g12i", "g12j", "A7"}));
    EXPECT_EQ(g_scanMessages,
              (std::vector<std::string>{"lat/lon helipad incorrect (skipped): 0.000050,0.000090",
                                        "lat/lon helipad incorrect (skipped): -95.000000,9.000000",
                                        "lat/lon helipad incorrect (skipped): 9.000000,180.500000",
                                        "===> Warning: more than 10 duplicate IDs g12 in D:\\s\\a.bgl",
                                        "Skipped position with radius NAN m in D:\\s\\a.bgl"}));
}

TEST_F(BglFileTest, AirportHeaderRules) {
    // Altitudes below -20 ft or above 10000 ft are stored as 0; names are cut at 45 bytes.
    struct Row {
        uint32_t icao;
        int32_t mm;
        std::vector<std::string> names;
        std::string name;
        int ft;
        bool kept;
    };
    const std::string cut(60, 'x');
    const std::string x43(43, 'x'), x44(44, 'x'), x45(45, 'x');
    const Row rows[] = {
        {tst_packIcao("EGL"), 0, {}, "", 0, false},
        {tst_packIcao("EGLLX"), 0, {}, "", 0, false},
        {tst_packIcao("EGLL") - (23 << 5), 0, {}, "", 0, false},  // last digit 0: a blank
        {tst_packIcao("K2A0"), -6096, {"A", "A"}, "A", -20, true},
        {tst_packIcao("K2A0"), -6401, {"A"}, "A", 0, true},  // -21 ft
        {tst_packIcao("K2A0"), 3048000, {"A", "B"}, "", 10000, true},
        {tst_packIcao("K2A0"), 3048305, {}, "", 0, true},  // 10001 ft
        {tst_packIcao("K2A0"), 0, {"A", "B", "C"}, "C", 0, true},
        {tst_packIcao("K2A0"), 0, {cut}, cut.substr(0, 45), 0, true},
        {tst_packIcao("K2A0"), 0, {"Z\x01\xfcrich\x7f"}, "Z\xc3\xbcrich", 0, true},
        // UTF-8 names: a character the cut splits is dropped; one that fits stays.
        {tst_packIcao("K2A0"), 0, {x44 + "\xc3\xa9"}, x44, 0, true},
        {tst_packIcao("K2A0"), 0, {x43 + "\xe2\x82\xac"}, x43, 0, true},
        {tst_packIcao("K2A0"), 0, {x43 + "\xc3\xa9"}, x43 + "\xc3\xa9", 0, true},
        {tst_packIcao("K2A0"), 0, {x45 + "\xc3\xa9"}, x45, 0, true},
        // A Windows-1252 name keeps its last character at the cut.
        {tst_packIcao("K2A0"), 0, {"\xfc" + x43 + "\xe9x"}, "\xc3\xbc" + x43 + "\xc3\xa9", 0, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.names.empty() ? std::to_string(r.mm) : r.names.back());
        gf_resetScanMessages();
        const RecordingSink sink = decode({{0x3C, r.icao, r.mm, r.names, {}, {lf_park(10, 1)}}});
        ASSERT_EQ(sink.airports.size(), r.kept ? 1u : 0u);
        if (!r.kept) continue;
        EXPECT_EQ(sink.linked, std::vector<std::string>{"K2A0"});
        EXPECT_EQ(sink.airports[0].altitude, r.ft);
        EXPECT_EQ(sink.airports[0].airport_name, r.name);
    }
}

TEST_F(BglFileTest, QuickTestLooksAtHeaderAndTable) {
    const std::string good = tst_bglFile({{0x3C, tst_packIcao("AAAA"), 0, {}, {}, {lf_park(10, 1)}}}, 2);
    std::string noAirport = good;
    noAirport[0x38] = 4;
    std::string hugeCount = good;
    hugeCount.replace(0x14, 4, "\xff\xff\xff\x0f", 4);
    struct Row {
        const char* what;
        std::string bytes;
        bool has;
    };
    const Row rows[] = {{"good", good, true},
                        {"56 bytes", good.substr(0, 56), false},
                        {"table to the end", good.substr(0, 0x38 + 60), false},
                        {"table and a byte", good.substr(0, 0x38 + 61), true},
                        {"no airport section", noAirport, false},
                        {"huge count", hugeCount, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        tst_writeFile("f.bgl", r.bytes);
        EXPECT_EQ(lf_bglHasAirport("f.bgl"), r.has);
    }
    EXPECT_FALSE(lf_bglHasAirport("missing.bgl"));
}

// Sections, lists and names are read only where they may be: the lines say where they stopped.
TEST_F(BglFileTest, RecordsAreReadOnlyWhereTheyMayBe) {
    const BglAirportSpec two{0x3C, tst_packIcao("AAAA"), 0, {}, {}, {lf_park(10, 1), lf_park(10, 2)}};
    const std::string good = tst_bglFile({two});
    std::string longEntries = good, hugeCount = good, overcount = good, undercount = good;
    longEntries[0x38 + 6] = 1;                          // bit 16 of the section's flags
    hugeCount.replace(0x14, 4, "\xff\xff\xff\xff", 4);  // sections past the file
    overcount[0x38 + 20 + 16 + 0x38 + 6] = 9;           // the list claims 9 entries and holds 2
    undercount[0x38 + 20 + 16 + 0x38 + 6] = 1;          // the list claims 1 entry and holds 2
    // The first airport's list claims 9 entries and a size past its airport record: the
    // second airport's entries stay the second's.
    const BglAirportSpec three{
        0x3C, tst_packIcao("BBBB"), 0, {}, {}, {lf_park(10, 3), lf_park(10, 4), lf_park(10, 5)}};
    std::string pastRecord = tst_bglFile({two, three});
    pastRecord[0x38 + 20 + 16 + 0x38 + 6] = 9;
    pastRecord[0x38 + 20 + 16 + 0x38 + 3] = 4;  // list size + 1024 bytes
    std::string cutName = tst_bglFile({{0x3C, tst_packIcao("AAAA"), 0, {"Long name here"}, {}, {}}});
    cutName.resize(cutName.size() - 8);
    const BglAirportSpec named{0x3C, tst_packIcao("BBBB"), 0, {"Bee"}, {}, {lf_park(10, 1)}};
    std::string zeroSize = tst_bglFile({{0x3C, tst_packIcao("AAAA"), 0, {"Nm"}, {}, {lf_park(10, 1)}}});
    zeroSize.replace(150, 4, 4, '\0');  // the name record's size
    // A name record after the airport's own record is not its name.
    const std::string strayName = tst_bglFile({two}) + std::string("\x19\0\x0c\0\0\0Bee\0\0\0", 12);
    // A helipad record shorter than a helipad, at the end of the file.
    std::string shortHelipad =
        tst_bglFile({{0x3C, tst_packIcao("AAAA"), 0, {}, {{kLat, kLon, 20.f, 0.f}}, {}}});
    shortHelipad[94] = 76;   // the airport's record: 56 + 20 bytes
    shortHelipad[150] = 20;  // the helipad's record
    shortHelipad.resize(168);
    // An airport record over 64 KiB: its size needs the high half of the size field.
    BglAirportSpec big{0x3C, tst_packIcao("AAAA"), 0, {}, {}, {}};
    for (uint32_t i = 0; i < 1900; ++i) big.parkings.push_back(lf_park(10, i));
    const BglAirportSpec endless{0x3C, tst_packIcao("AAAA"), 0, std::vector<std::string>(5001, ""),
                                 {},   {lf_park(10, 1)}};
    struct Row {
        const char* what;
        std::string bytes;
        std::size_t airports, stands, lastStands;
        const char* line;
    };
    const Row rows[] = {{"flag bit 16", longEntries, 0, 0, 0, ""},
                        {"huge section count", hugeCount, 1, 2, 2, ""},
                        {"count past the list", overcount, 1, 2, 2, ""},
                        {"count below the list", undercount, 1, 1, 1, ""},
                        {"next airport's name", tst_bglFile({two, named}), 2, 2, 1, ""},
                        {"stray name", strayName, 1, 2, 2, ""},
                        {"record over 64 KiB", tst_bglFile({big, named}), 2, 1900, 1, ""},
                        {"short helipad", shortHelipad, 1, 0, 0, ""},
                        {"list past its airport", pastRecord, 2, 2, 3, ""},
                        {"name past the end", cutName, 1, 0, 0, "! o3: 37 out of range, nrDWORDS: 40\n"},
                        {"zero size", zeroSize, 1, 0, 0,
                         "===>    Warning: decodeSizeAtBoundary returned 0 at o3 = 37\n"
                         "===>    Warning: decodeSizeAtBoundary returned 0 at o3 = 37\n"},
                        {"endless sub-records", tst_bglFile({endless}), 1, 0, 0,
                         "   Error: Maximum loop iterations reached \xe2\x80\x94 possible corrupt SIA or "
                         "malformed input.\n"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        gf_setLogCapture(false);  // a fresh capture per row
        gf_setLogCapture(true);
        RecordingSink sink;
        gf_decodeBgl(r.bytes, "x", sink);
        ASSERT_EQ(sink.airports.size(), r.airports);
        if (r.airports == 0) continue;
        EXPECT_EQ(sink.airports[0].stands.size(), r.stands);
        EXPECT_EQ(sink.airports.back().stands.size(), r.lastStands);
        EXPECT_EQ(sink.airports[0].airport_name, "");
        EXPECT_EQ(gf_capturedLog(), r.line);
    }
}

// A stop request ends the decoding before the next airport; a file past the size limit is
// not read at all. Either way the task's slot comes back.
TEST_F(BglFileTest, AStopOrAnOversizedFileEndsTheTask) {
    const std::string file = tst_bglFile({{0x3C, tst_packIcao("AAAA"), 0, {}, {}, {lf_park(10, 1)}},
                                          {0x3C, tst_packIcao("BBBB"), 0, {}, {}, {lf_park(10, 1)}}});
    RecordingSink stopping;
    stopping.stopAfterFirst = true;
    gf_decodeBgl(file, "x", stopping);
    EXPECT_EQ(stopping.linked, std::vector<std::string>{"AAAA"});
    g_stopRun = false;

    struct Row {
        std::uintmax_t size;
        std::size_t airports;
    };
    for (const Row& r : {Row{kMaxBglFileBytes, 2}, Row{kMaxBglFileBytes + 1, 0}}) {
        SCOPED_TRACE(r.size);
        tst_writeFile("big.bgl", file);
        fs::resize_file("big.bgl", r.size);  // sparse: the zeros cost no disk
        gf_resetScanMessages();
        g_runningWorkers = 1;
        RecordingSink sink;
        lf_processBGLfile("big.bgl", "D:\\big.bgl", sink);
        EXPECT_EQ(sink.airports.size(), r.airports);
        EXPECT_EQ(g_runningWorkers.load(), 0);
        const std::vector<std::string> expected;
        EXPECT_EQ(g_scanMessages,
                  r.airports ? expected
                             : std::vector<std::string>{"===> D:\\big.bgl not decoded: the file is 67108865 "
                                                        "bytes, more than the limit of 67108864 bytes"});
    }
}

// Every truncation of a file ends cleanly, with its airports or an out-of-range error, and the
// task gives its worker slot back either way (byte flips are the fuzzer's part).
TEST_F(BglFileTest, DamagedFilesEndCleanly) {
    BglAirportSpec a{0xAB, tst_packIcao("LSZQ"), 400000, {"Quelle"}, {{kLat, kLon, 20.f, 10.f}}, {}};
    for (uint32_t i = 0; i < 20; ++i)
        a.parkings.push_back(lf_park(i % 14, i, 1 + i % 11, 20.f, {i % 3 == 0 ? 1u : 0u}));
    const std::string golden = tst_bglFile({a, a});
    std::size_t failed = 0;
    for (std::size_t n = 0; n < golden.size(); ++n) {
        RecordingSink sink;
        try {
            gf_decodeBgl(std::string_view(golden).substr(0, n), "d.bgl", sink);
        } catch (const std::out_of_range&) {
            ++failed;
        }
        if (n % 61 != 0) continue;
        tst_writeFile("d.bgl", golden.substr(0, n));
        g_runningWorkers = 1;
        try {
            lf_processBGLfile("d.bgl", "d.bgl", sink);
        } catch (const std::out_of_range&) {
        }
        ASSERT_EQ(g_runningWorkers.load(), 0) << n;
    }
    EXPECT_GT(failed, golden.size() / 2);

    // A name that ends in the file's last, partial word reads whole (the walk then runs out).
    std::string partial = tst_bglFile({{0x3C, tst_packIcao("AAAA"), 0, {"Abcdefh"}, {}, {}}});
    partial[94] = 69;   // the airport's record: 56 + 13 bytes
    partial[150] = 13;  // the name's record: 6 + 7 bytes
    partial.resize(161);
    RecordingSink sink;
    EXPECT_THROW(gf_decodeBgl(partial, "d.bgl", sink), std::out_of_range);
    ASSERT_EQ(sink.airports.size(), 1u);
    EXPECT_EQ(sink.airports[0].airport_name, "Abcdefh");
}

}  // namespace
