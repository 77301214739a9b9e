#include "live/parking_slots.h"

#include <optional>
#include <tuple>

#include "core/errors.h"
#include "stand_fixture.h"
#include "support/slot_builders.h"

namespace {

constexpr uint32_t kHexid = 0x3C6444;
constexpr int kMon = 1, kSun = 7;

class ParkingSlotsTest : public StandTest {
  protected:
    void SetUp() override {
        StandTest::SetUp();
        tst_addStands({{"A1", 0, 0, 30}, {"A2", 500, 0, 30}});
    }
    Stand& stand() { return g_stands[1]; }
};

// The fields of an option that a booking changes (the registration is always D-AIXX).
struct Opt {
    uint32_t index, day;
    uint64_t hh;
    std::string callsign;
    uint32_t origin, real;
};

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
        const char* type = "B738";
        bool cargo = false;
    };
    const StandOption fileOption("DLH4AB", "", "DLH", "B738", "D-AIXX", tst_bits({30, 31}), 1, kMon, 1, 1);
    const auto M = kMon;
    const std::optional<StandSlotEntry> none;
    const BookingRow rows[] = {
        {"spawn at a stand",
         {},
         {{tst_at(M, 20), 0, 1}},
         {{1, M, tst_bits({20}), "DLH4AB", 0, 1}},
         StandSlotEntry{kHexid, tst_at(M, 20), 1},
         1},
        {"a later arrival adds its half-hour",
         {},
         {{tst_at(M, 20), 0, 1}, {tst_at(M, 30), 0, 1}},
         {{1, M, tst_bits({20, 30}), "DLH4AB", 0, 1}},
         StandSlotEntry{kHexid, tst_at(M, 20), 1},
         2},
        {"leaving 2.5 hours later books the stay",
         {},
         {{tst_at(M, 20), 0, 1}, {tst_at(M, 25), 1, 1}},
         {{1, M, tst_range(20, 25), "DLH4AB", 0, 1}},
         none,
         2},
        {"leaving after too long a stay starts a new option",
         {},
         {{tst_at(M, 20), 0, 1}, {tst_at(M, 26), true, true}},
         {{1, M, tst_bits({20}), "DLH4AB", 0, 1}, {2, M, tst_bits({26}), "DLH4AB", 0, 1}},
         none,
         2},
        {"a Heavy stays up to seven half-hours",
         {},
         {{tst_at(M, 20), 0, 1}, {tst_at(M, 27), 1, 1}},
         {{1, M, tst_range(20, 27), "DLH4AB", 0, 1}},
         none,
         2,
         "B744"},
        {"but not eight",
         {},
         {{tst_at(M, 20), 0, 1}, {tst_at(M, 28), true, true}},
         {{1, M, tst_bits({20}), "DLH4AB", 0, 1}, {2, M, tst_bits({28}), "DLH4AB", 0, 1}},
         none,
         2,
         "B744"},
        {"cargo stays up to eleven, Sunday 22:00 to Monday 03:30",
         {},
         {{tst_at(kSun, 44), false, true}, {tst_at(M, 7), true, true}},
         {{1, kSun, tst_range(44, 47), "DLH4AB", 0, 1}, {2, M, tst_range(0, 7), "DLH4AB", 0, 1}},
         none,
         2,
         "B738",
         1},
        {"leaving after midnight over the week's end books both days",
         {},
         {{tst_at(kSun, 45), false, true}, {tst_at(M, 1), true, true}},
         {{1, kSun, tst_range(45, 47), "DLH4AB", 0, 1}, {2, M, tst_range(0, 1), "DLH4AB", 0, 1}},
         none,
         2},
        {"arriving again after midnight starts the new day's option",
         {},
         {{tst_at(kSun, 46), false, true}, {tst_at(M, 1), false, true}},
         {{1, kSun, tst_bits({46}), "DLH4AB", 0, 1}, {2, M, tst_bits({1}), "DLH4AB", 0, 1}},
         StandSlotEntry{kHexid, tst_at(M, 1), 2},
         2},
        {"a time out of range is refused", {}, {{tst_at(M, 48), 0, 0}, {tst_at(8, 3), 1, 0}}, {}, none, 0},
        {"the file's option for today lacks now",
         {fileOption},
         {{tst_at(M, 20), false, false}},
         {{1, M, tst_bits({30, 31}), "DLH4AB", 1, 1}},
         none,
         0},
        {"the file's option for today holds now",
         {fileOption},
         {{tst_at(M, 31), false, true}},
         {{1, M, tst_bits({30, 31}), "DLH4AB", 1, 1}, {2, M, tst_bits({31}), "DLH4AB", 0, 1}},
         StandSlotEntry{kHexid, tst_at(M, 31), 2},
         1},
    };
    for (const BookingRow& row : rows) {
        SCOPED_TRACE(row.name);
        LiveAircraft ac = liveAc(kHexid, "DLH4AB", row.type);
        ac.regcode = "D-AIXX";
        ac.isCargo = row.cargo;
        stand().options = row.initial;
        stand().slotMapA.clear();
        g_parkFileUpdates = 0;
        for (const Call& c : row.calls) EXPECT_EQ(lt_addStandOption(2, ac, 0, c.now, c.leaving), c.booked);
        ASSERT_EQ(stand().options.size(), row.want.size());
        for (size_t i = 0; i < row.want.size(); ++i) {
            const StandOption& o = stand().options[i];
            const Opt& w = row.want[i];
            const std::string reg = "D-AIXX", none;
            EXPECT_EQ(std::make_tuple(o.index, o.day, o.hh, o.callsign, o.origin, o.real, o.reg, o.callsign2),
                      std::make_tuple(w.index, w.day, w.hh, w.callsign, w.origin, w.real, reg, none))
                << i << ": " << gf_bitset2hours(HalfHourSet(o.hh));
        }
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

// Soft bookings work on the options marked not real and on slotMapB: a plain one adds its
// half-hour; an extra one books the stay so far and keeps the entry while the aircraft stays;
// leaving books the stay and ends the entry. Without an entry an extra booking starts and
// remembers a new option; leaving starts one it does not remember.
TEST_F(ParkingSlotsTest, SoftBookingOfAStay) {
    struct Call {
        uint64_t now;
        bool extra, leaving;
    };
    const struct Row {
        const char* name;
        std::vector<StandOption> initial;
        std::vector<Call> calls;
        std::vector<std::tuple<uint32_t, uint64_t>> want;  // index, half-hours of each option
        std::optional<StandSlotEntry> wantEntry;           // of slotMapB
    } rows[] = {
        {"a first booking",
         {},
         {{tst_at(kMon, 20), 0, 0}},
         {{1, tst_bits({20})}},
         StandSlotEntry{kHexid, tst_at(kMon, 20), 1}},
        {"a later plain booking adds its half-hour",
         {},
         {{tst_at(kMon, 20), 0, 0}, {tst_at(kMon, 22), 0, 0}},
         {{1, tst_bits({20, 22})}},
         StandSlotEntry{kHexid, tst_at(kMon, 20), 1}},
        {"an extra booking while it stays books the stay",
         {},
         {{tst_at(kMon, 20), 0, 0}, {tst_at(kMon, 23), 1, 0}},
         {{1, tst_range(20, 23)}},
         StandSlotEntry{kHexid, tst_at(kMon, 23), 1}},
        {"leaving books the stay and ends the entry",
         {},
         {{tst_at(kMon, 20), 0, 0}, {tst_at(kMon, 23), 0, 1}},
         {{1, tst_range(20, 23)}},
         std::nullopt},
        {"an extra booking without an entry",
         {StandOption("DLH4AB", "", "DLH", "B738", "D-AIXX", tst_bits({10}), 1, kMon, 0, 0)},
         {{tst_at(kMon, 20), 1, 0}},
         {{1, tst_bits({10})}, {2, tst_bits({20})}},
         StandSlotEntry{kHexid, tst_at(kMon, 20), 2}},
        {"leaving without an entry",
         {StandOption("DLH4AB", "", "DLH", "B738", "D-AIXX", tst_bits({10}), 1, kMon, 0, 0)},
         {{tst_at(kMon, 20), 0, 1}},
         {{1, tst_bits({10})}, {2, tst_bits({20})}},
         std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LiveAircraft ac = liveAc(kHexid, "DLH4AB", "B738");
        ac.regcode = "D-AIXX";
        stand().options = row.initial;
        stand().slotMapB.clear();
        for (const Call& c : row.calls) EXPECT_TRUE(gf_releaseStandSlots(2, ac, c.extra, c.now, c.leaving));
        std::vector<std::tuple<uint32_t, uint64_t>> got;
        for (const StandOption& o : stand().options) {
            EXPECT_EQ(std::make_tuple(o.real, o.origin, o.day), std::make_tuple(0u, 0u, uint32_t{kMon}));
            got.emplace_back(o.index, o.hh);
        }
        EXPECT_EQ(got, row.want);
        EXPECT_TRUE(stand().slotMapA.empty());
        ASSERT_EQ(stand().slotMapB.size(), row.wantEntry ? 1u : 0u);
        if (!row.wantEntry) continue;
        const StandSlotEntry& e = stand().slotMapB.at(kHexid);
        EXPECT_EQ(std::make_tuple(e.slot, e.optionIndex),
                  std::make_tuple(row.wantEntry->slot, row.wantEntry->optionIndex));
    }
}

// An aircraft that leaves under another callsign than it came with: the option of its arrival
// day learns the second callsign, also when the stay ran over midnight into a new day's option.
TEST_F(ParkingSlotsTest, ACallsignChangedDuringTheStayJoinsTheOptionOfTheArrival) {
    const struct Row {
        const char* name;
        uint64_t arrive, leave;
        std::vector<std::tuple<std::string, std::string>> want;  // callsign, callsign2 per option
    } rows[] = {
        {"within a day", tst_at(kMon, 20), tst_at(kMon, 24), {{"DLH4AB", "DLH5CD"}}},
        {"over midnight", tst_at(kSun, 45), tst_at(kMon, 1), {{"DLH4AB", "DLH5CD"}, {"DLH5CD", ""}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        stand().options.clear();
        stand().slotMapA.clear();
        LiveAircraft ac = liveAc(kHexid, "DLH4AB", "B738");
        ac.regcode = "D-AIXX";
        ASSERT_TRUE(lt_addStandOption(2, ac, 0, row.arrive, false));
        ac.callsign = "DLH5CD";
        ASSERT_TRUE(lt_addStandOption(2, ac, 0, row.leave, true));
        std::vector<std::tuple<std::string, std::string>> got;
        for (const StandOption& o : stand().options) got.emplace_back(o.callsign, o.callsign2);
        EXPECT_EQ(got, row.want);
    }
}

TEST_F(ParkingSlotsTest, HexidValues) {
    gf_setHexidSlot(kHexid, 20);
    gf_setHexidSlot(kHexid + 1, 47);
    gf_setHexidSlot(kHexid, 0);
    ASSERT_EQ(g_hexidValues.size(), 2u);
    EXPECT_EQ(g_hexidValues[0].hexid, kHexid);
    EXPECT_EQ(g_hexidValues[0].slot, 0);
    EXPECT_EQ(gf_findHexidSlot(kHexid + 1)->slot, 47);
    for (int bad : {48, -1})
        EXPECT_EQ(tst_rangeError([&] { gf_setHexidSlot(kHexid, bad); }), kBitsetPositionError) << bad;
    EXPECT_EQ(gf_findHexidSlot(kHexid)->slot, 0);
    EXPECT_TRUE(gf_removeHexidSlot(kHexid));
    EXPECT_FALSE(gf_removeHexidSlot(kHexid));
    ASSERT_EQ(g_hexidValues.size(), 1u);
    EXPECT_EQ(g_hexidValues[0].hexid, kHexid + 1);
}

// Half-hours between two times of the week, forward over the week's end; none to itself.
TEST_F(ParkingSlotsTest, WeekHalfHoursSinceCountForward) {
    struct Row {
        uint64_t from, to;
        int halfHours;
    } rows[] = {{tst_at(kMon, 20), tst_at(kMon, 20), 0},
                {tst_at(kMon, 20), tst_at(kMon, 21), 1},
                {tst_at(kMon, 21), tst_at(kMon, 20), 335},
                {tst_at(kSun, 47), tst_at(kMon, 0), 1},
                {tst_at(kMon, 0), tst_at(kSun, 47), 335}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.halfHours);
        EXPECT_EQ(gf_weekHalfHoursSince(r.from, r.to), r.halfHours);
    }
}

// The half-hours of a stay, counted back from now over midnight and the week's end; a count
// outside 0..336 is refused with the bitset's text.
TEST_F(ParkingSlotsTest, SlotsBeforeCountBackOverMidnight) {
    EXPECT_EQ(gf_slotsBefore(4, tst_at(kMon, 1)), (SlotList{1, 0, 47, 46}));
    EXPECT_EQ(gf_slotsBefore(1, tst_at(kSun, 47)), (SlotList{47}));
    EXPECT_TRUE(gf_slotsBefore(0, tst_at(kMon, 20)).empty());
    const SlotList week = gf_slotsBefore(336, tst_at(kMon, 20));
    ASSERT_EQ(week.size(), 336u);
    EXPECT_EQ(std::make_tuple(week[20], week[21], week[335]), std::make_tuple(0, 47, 21));
    for (int bad : {-1, 337})
        EXPECT_EQ(tst_rangeError([&] { gf_slotsBefore(bad, tst_at(kMon, 20)); }), kBitsetPositionError)
            << bad;
}

}  // namespace
