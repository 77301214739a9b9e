#include "live/parking_slots.h"

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "core/errors.h"
#include "core/slots.h"
#include "stand_fixture.h"
#include "support/slot_builders.h"

namespace {

constexpr uint32_t kHexid = 0x3C6444;
constexpr int kMon = 1, kTue = 2, kSun = 7;

// A2, 500 m from A1, is the stand booked; A1 must stay alone.
class ParkingSlotsTest : public StandTest {
  protected:
    void SetUp() override {
        StandTest::SetUp();
        tst_addStands({{"A1", 0, 0, 30}, {"A2", 500, 0, 30}});
    }
    Stand& stand() { return g_stands[1]; }
};

LiveAircraft tst_aircraft(const char* type = "B738", bool cargo = false) {
    LiveAircraft ac;
    ac.airline = "DLH";
    ac.type = type;
    ac.callsign = "DLH4AB";
    ac.regcode = "D-AIXX";
    ac.hexid = kHexid;
    ac.category = static_cast<int32_t>(gf_aircraftCategory(type));
    ac.isCargo = cargo ? 1 : 0;
    return ac;
}

// The fields of an option that a booking changes (the registration is always D-AIXX).
struct Opt {
    uint32_t index, day;
    uint64_t hh;
    std::string callsign;
    uint32_t origin, real;
};

void tst_expectOptions(const std::vector<StandOption>& options, const std::vector<Opt>& want) {
    ASSERT_EQ(options.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        const StandOption& o = options[i];
        const Opt& w = want[i];
        EXPECT_EQ(std::make_tuple(o.index, o.day, o.hh, o.callsign, o.origin, o.real, o.reg, o.callsign2),
                  std::make_tuple(w.index, w.day, w.hh, w.callsign, w.origin, w.real, std::string("D-AIXX"), std::string()))
            << i << ": " << gf_bitset2hours(HalfHourSet(o.hh));
    }
}

// Option 1 as the entry booked it (its one half-hour, no callsign), or with the stay booked (and
// option 2 with the next day's part).
std::vector<Opt> tst_unbooked(int day, int slot) {
    return {{1, static_cast<uint32_t>(day), tst_bits({slot}), "", 0, 1}};
}

std::vector<Opt> tst_stay(int day, uint64_t hh, int day2 = 0, uint64_t hh2 = 0) {
    std::vector<Opt> out = {{1, static_cast<uint32_t>(day), hh, "DLH4AB", 0, 1}};
    if (day2 != 0) out.push_back({2, static_cast<uint32_t>(day2), hh2, "DLH4AB", 0, 1});
    return out;
}

TEST_F(ParkingSlotsTest, StayFits) {
    struct Row {
        const char *name, *type;
        bool cargo;
        uint64_t booked, now;  // booked: the entry's slot value; option 1 holds its half-hour
        uint32_t optionIndex;
        bool fits;
        std::vector<Opt> want;
        uint64_t wantEntrySlot;
        uint32_t wantEntryIndex;
    };
    const char *L = "B738", *H = "B744";
    // Five half-hours are the longest stay of a Large aircraft, seven of a Heavy.
    const Row rows[] = {
        {"Large, five half-hours", L, false, tst_at(kMon, 20), tst_at(kMon, 25), 1, true,
         tst_stay(kMon, tst_range(20, 25)), tst_at(kMon, 25), 1},
        {"Large, six half-hours", L, false, tst_at(kMon, 20), tst_at(kMon, 26), 1, false,
         tst_unbooked(kMon, 20), tst_at(kMon, 20), 1},
        {"Heavy, seven half-hours", H, false, tst_at(kMon, 20), tst_at(kMon, 27), 1, true,
         tst_stay(kMon, tst_range(20, 27)), tst_at(kMon, 27), 1},
        {"Heavy, eight half-hours", H, false, tst_at(kMon, 20), tst_at(kMon, 28), 1, false,
         tst_unbooked(kMon, 20), tst_at(kMon, 20), 1},
        {"cargo, Sunday 22:00 to Monday 02:00", L, true, tst_at(kSun, 44), tst_at(kMon, 4), 1, true,
         tst_stay(kSun, tst_range(44, 47), kMon, tst_range(0, 4)), tst_at(kMon, 4), 2},
        {"Large, Monday 23:30 to Tuesday 00:30", L, false, tst_at(kMon, 47), tst_at(kTue, 1), 1, true,
         tst_stay(kMon, tst_bits({47}), kTue, tst_range(0, 1)), tst_at(kTue, 1), 2},
        {"the same half-hour", L, false, tst_at(kMon, 20), tst_at(kMon, 20), 1, true, tst_unbooked(kMon, 20),
         tst_at(kMon, 20), 1},
        {"option index 0", L, false, tst_at(kMon, 20), tst_at(kMon, 22), 0, true, tst_unbooked(kMon, 20),
         tst_at(kMon, 20), 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        stand().options = {StandOption("", "", "DLH", "B738", "D-AIXX", uint64_t{1} << gf_slotOf(row.booked),
                                       1, static_cast<uint32_t>(gf_weekdayOf(row.booked)), 0, 1)};
        StandSlotEntry entry{kHexid, row.booked, 1};
        EXPECT_EQ(lf_slotFits(row.now, stand(), row.optionIndex, entry, tst_aircraft(row.type, row.cargo),
                              "D-AIXX", 1),
                  row.fits);
        tst_expectOptions(stand().options, row.want);
        EXPECT_EQ(entry.slot, row.wantEntrySlot);
        EXPECT_EQ(entry.optionIndex, row.wantEntryIndex);
    }
}

TEST_F(ParkingSlotsTest, RealBookingOfAStay) {
    struct Call {
        uint64_t now;
        bool leaving, booked;
    };
    struct BookingRow {
        const char* name;
        std::vector<StandOption> initial;
        std::vector<Call> calls;
        std::vector<Opt> want;
        std::optional<StandSlotEntry> wantEntry;  // of slotMapA
        int wantUpdates;
    };
    const StandOption fileOption("DLH4AB", "", "DLH", "B738", "D-AIXX", tst_bits({30, 31}), 1, kMon, 1, 1);
    const auto M = kMon;
    const std::optional<StandSlotEntry> none;
    const BookingRow rows[] = {
        {"spawn at a stand", {}, {{tst_at(M, 20), false, true}}, {{1, M, tst_bits({20}), "DLH4AB", 0, 1}},
         StandSlotEntry{kHexid, tst_at(M, 20), 1}, 1},
        {"a later arrival adds its half-hour", {}, {{tst_at(M, 20), false, true}, {tst_at(M, 30), false, true}},
         {{1, M, tst_bits({20, 30}), "DLH4AB", 0, 1}}, StandSlotEntry{kHexid, tst_at(M, 20), 1}, 2},
        {"leaving two hours later books the stay", {}, {{tst_at(M, 20), false, true}, {tst_at(M, 24), true, true}},
         {{1, M, tst_range(20, 24), "DLH4AB", 0, 1}}, none, 2},
        {"leaving after too long a stay starts a new option", {},
         {{tst_at(M, 20), false, true}, {tst_at(M, 27), true, true}},
         {{1, M, tst_bits({20}), "DLH4AB", 0, 1}, {2, M, tst_bits({27}), "DLH4AB", 0, 1}}, none, 2},
        {"leaving after midnight over the week's end books both days", {},
         {{tst_at(kSun, 45), false, true}, {tst_at(M, 1), true, true}},
         {{1, kSun, tst_range(45, 47), "DLH4AB", 0, 1}, {2, M, tst_range(0, 1), "DLH4AB", 0, 1}}, none, 2},
        {"arriving again after midnight starts the new day's option", {},
         {{tst_at(kSun, 46), false, true}, {tst_at(M, 1), false, true}},
         {{1, kSun, tst_bits({46}), "DLH4AB", 0, 1}, {2, M, tst_bits({1}), "DLH4AB", 0, 1}},
         StandSlotEntry{kHexid, tst_at(M, 1), 2}, 2},
        {"a time out of range is refused", {}, {{tst_at(M, 48), false, false}, {tst_at(8, 3), true, false}}, {},
         none, 0},
        {"the file's option for today lacks now", {fileOption}, {{tst_at(M, 20), false, false}},
         {{1, M, tst_bits({30, 31}), "DLH4AB", 1, 1}}, none, 0},
        {"the file's option for today holds now", {fileOption}, {{tst_at(M, 31), false, true}},
         {{1, M, tst_bits({30, 31}), "DLH4AB", 1, 1}, {2, M, tst_bits({31}), "DLH4AB", 0, 1}},
         StandSlotEntry{kHexid, tst_at(M, 31), 2}, 1},
    };
    const LiveAircraft ac = tst_aircraft();
    for (const BookingRow& row : rows) {
        SCOPED_TRACE(row.name);
        stand().options = row.initial;
        stand().slotMapA.clear();
        g_parkFileUpdates = 0;
        for (const Call& c : row.calls) EXPECT_EQ(lt_addStandOption(2, ac, false, c.now, c.leaving), c.booked);
        tst_expectOptions(stand().options, row.want);
        EXPECT_EQ(g_parkFileUpdates, row.wantUpdates);
        ASSERT_EQ(stand().slotMapA.size(), row.wantEntry ? 1u : 0u);
        EXPECT_TRUE(stand().slotMapB.empty());
        if (!row.wantEntry) continue;
        const StandSlotEntry& e = stand().slotMapA.at(kHexid);
        EXPECT_EQ(e.slot, row.wantEntry->slot);
        EXPECT_EQ(e.optionIndex, row.wantEntry->optionIndex);
    }
    EXPECT_TRUE(g_stands[0].options.empty() && g_stands[0].slotMapA.empty()) << "other stands stay alone";
}

TEST_F(ParkingSlotsTest, HexidValues) {
    gf_setHexidSlot(kHexid, 20);
    gf_setHexidSlot(kHexid + 1, 47);
    gf_setHexidSlot(kHexid, 0);
    ASSERT_EQ(g_hexidValues.size(), 2u);
    EXPECT_EQ(g_hexidValues[0].hexid, kHexid);
    EXPECT_EQ(g_hexidValues[0].slot, 0);
    EXPECT_EQ(gf_findHexidSlot(kHexid + 1)->slot, 47);
    for (int bad : {48, -1}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(tst_rangeError([&] { gf_setHexidSlot(kHexid, bad); }), kBitsetPositionError);
        EXPECT_EQ(gf_findHexidSlot(kHexid)->slot, 0);
    }
    EXPECT_TRUE(gf_removeHexidSlot(kHexid));
    EXPECT_FALSE(gf_removeHexidSlot(kHexid));
    ASSERT_EQ(g_hexidValues.size(), 1u);
    EXPECT_EQ(g_hexidValues[0].hexid, kHexid + 1);
}

}  // namespace
