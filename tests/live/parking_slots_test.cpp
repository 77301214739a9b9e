#include "live/parking_slots.h"

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "aircraft/type_database.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/slots.h"
#include "platform/window_model.h"
#include "support/slot_builders.h"
#include "support/stand_builders.h"
#include "support/work_folder.h"

namespace {

constexpr const char* kDb = R"(<dbase><types>
<type icao="B738" cat="Large" span="35.8"/>
<type icao="B744" cat="Heavy" span="64.4"/>
<type icao="C172" cat="Light" span="11"/>
</types><registrations/></dbase>)";

constexpr uint32_t kHexid = 0x3C6444;
constexpr int kMon = 1, kTue = 2, kSun = 7;

class ParkingSlotsTest : public WorkFolderTest {
  protected:
    void SetUp() override {
        WorkFolderTest::SetUp();
        gf_loadTypeDatabaseText(kDb, "test dbase.xml");
        gf_setLogCapture(true);
        tst_addStands({{"A1", 0, 0, 30}, {"A2", 500, 0, 30}});
    }
    Stand& stand() { return g_stands[1]; }
};

LiveAircraft tst_aircraft(AircraftCategory category = AircraftCategory::Large, bool cargo = false) {
    LiveAircraft ac;
    ac.airline = "DLH";
    ac.type = category == AircraftCategory::Heavy ? "B744" : "B738";
    ac.callsign = "DLH4AB";
    ac.regcode = "D-AIXX";
    ac.hexid = kHexid;
    ac.category = static_cast<int32_t>(category);
    ac.isCargo = cargo ? 1 : 0;
    return ac;
}

// The fields of an option that a booking changes.
struct Opt {
    uint32_t index;
    uint32_t day;
    uint64_t hh;
    const char* callsign;
    const char* callsign2;
    uint32_t origin;
    uint32_t real;
};

void tst_expectOptions(const std::vector<StandOption>& options, const std::vector<Opt>& want) {
    ASSERT_EQ(options.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(options[i].index, want[i].index);
        EXPECT_EQ(options[i].day, want[i].day);
        EXPECT_EQ(options[i].hh, want[i].hh) << gf_bitset2hours(HalfHourSet(options[i].hh));
        EXPECT_EQ(options[i].callsign, want[i].callsign);
        EXPECT_EQ(options[i].callsign2, want[i].callsign2);
        EXPECT_EQ(options[i].origin, want[i].origin);
        EXPECT_EQ(options[i].real, want[i].real);
        EXPECT_EQ(options[i].reg, "D-AIXX");
    }
}

// Option 1 as the entry booked it: its one half-hour and no callsign.
std::vector<Opt> tst_unbooked(int day, int slot) {
    return {{1, static_cast<uint32_t>(day), tst_bits({slot}), "", "", 0, 1}};
}

// The stay booked in option 1 (and option 2 for the next day's part) under the callsign.
std::vector<Opt> tst_stay(int day, uint64_t hh, int day2 = 0, uint64_t hh2 = 0) {
    std::vector<Opt> out = {{1, static_cast<uint32_t>(day), hh, "DLH4AB", "", 0, 1}};
    if (day2 != 0) out.push_back({2, static_cast<uint32_t>(day2), hh2, "DLH4AB", "", 0, 1});
    return out;
}

TEST_F(ParkingSlotsTest, SlotsBeforeNow) {
    struct Row {
        int n;
        uint64_t now;
        SlotList want;
    };
    const Row rows[] = {
        {4, tst_at(kMon, 24), {24, 23, 22, 21}},
        {3, tst_at(kMon, 1), {1, 0, 47}},
        {8, tst_at(kMon, 4), {4, 3, 2, 1, 0, 47, 46, 45}},
        {1, tst_at(kSun, 0), {0}},
        {0, tst_at(kSun, 0), {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.n);
        EXPECT_EQ(gf_slotsBefore(row.n, row.now), row.want);
    }
    EXPECT_EQ(gf_slotsBefore(336, tst_at(kMon, 0)).size(), 336u);
    for (const auto& bad : {std::pair{-1, tst_at(kMon, 4)}, std::pair{337, tst_at(kMon, 4)},
                            std::pair{2, tst_at(kMon, 48)}, std::pair{2, tst_at(kMon, -1)}}) {
        SCOPED_TRACE(bad.first);
        EXPECT_EQ(tst_rangeError([&] { gf_slotsBefore(bad.first, bad.second); }), kBitsetPositionError);
    }
}

TEST_F(ParkingSlotsTest, WeekHalfHoursCountForwardOverTheWeeksEnd) {
    struct Row {
        const char* name;
        uint64_t from, to;
        int want;
    };
    const Row rows[] = {
        {"same half-hour", tst_at(kTue, 20), tst_at(kTue, 20), 0},
        {"same day", tst_at(kMon, 20), tst_at(kMon, 24), 4},
        {"over midnight", tst_at(kMon, 47), tst_at(kTue, 0), 1},
        {"Sunday to Monday", tst_at(kSun, 44), tst_at(kMon, 4), 8},
        {"Sunday 47 to Monday 0", tst_at(kSun, 47), tst_at(kMon, 0), 1},
        {"back in time counts round the week", tst_at(kMon, 4), tst_at(kSun, 44), 328},
        {"a whole week less one", tst_at(kMon, 1), tst_at(kMon, 0), 335},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(gf_weekHalfHoursSince(row.from, row.to), row.want);
    }
    for (uint64_t bad : {tst_at(0, 20), tst_at(8, 0), tst_at(kMon, 48), tst_at(-1, -1)}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(tst_rangeError([&] { gf_weekHalfHoursSince(bad, tst_at(kMon, 0)); }), kBitsetPositionError);
        EXPECT_EQ(tst_rangeError([&] { gf_weekHalfHoursSince(tst_at(kMon, 0), bad); }), kBitsetPositionError);
    }
}

TEST_F(ParkingSlotsTest, StayLimitByKindOfAircraft) {
    struct Row {
        AircraftCategory category;
        bool cargo;
        int want;
    };
    const Row rows[] = {{AircraftCategory::Large, false, 6},
                        {AircraftCategory::Light, false, 6},
                        {AircraftCategory::Heavy, false, 8},
                        {AircraftCategory::Heavy, true, 12},
                        {AircraftCategory::Large, true, 12}};
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.category) * 10 + row.cargo);
        EXPECT_EQ(gf_stayLimit(tst_aircraft(row.category, row.cargo)), row.want);
    }
}

TEST_F(ParkingSlotsTest, StayFits) {
    struct Row {
        const char* name;
        AircraftCategory category;
        bool cargo;
        uint64_t booked;  // the entry's slot value; option 1 holds its half-hour
        uint64_t now;
        uint32_t optionIndex;
        bool fits;
        std::vector<Opt> want;
        uint64_t wantEntrySlot;
        uint32_t wantEntryIndex;
    };
    const auto L = AircraftCategory::Large, H = AircraftCategory::Heavy;
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
        {"earlier in the week", L, true, tst_at(kMon, 4), tst_at(kSun, 44), 1, false, tst_unbooked(kMon, 4),
         tst_at(kMon, 4), 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        stand().options = {StandOption("", "", "DLH", "B738", "D-AIXX", uint64_t{1} << gf_slotOf(row.booked),
                                       1, static_cast<uint32_t>(gf_weekdayOf(row.booked)), 0, 1)};
        StandSlotEntry entry{kHexid, row.booked, 1};
        EXPECT_EQ(lf_slotFits(row.now, stand(), row.optionIndex, entry, tst_aircraft(row.category, row.cargo),
                              "D-AIXX", 1),
                  row.fits);
        tst_expectOptions(stand().options, row.want);
        EXPECT_EQ(entry.slot, row.wantEntrySlot);
        EXPECT_EQ(entry.optionIndex, row.wantEntryIndex);
    }
}

// One call of a booking: when, whether the aircraft leaves, and the expected result.
struct Call {
    uint64_t now;
    bool leaving;
    bool booked;
};

struct BookingRow {
    const char* name;
    std::vector<StandOption> initial;
    std::vector<Call> calls;
    std::vector<Opt> want;
    std::optional<StandSlotEntry> wantEntry;  // of slotMapA
    int wantUpdates;
};

void tst_runBookings(Stand& stand, const BookingRow& row, const std::function<bool(const Call&)>& book) {
    SCOPED_TRACE(row.name);
    stand.options = row.initial;
    stand.slotMapA.clear();
    stand.slotMapB.clear();
    g_parkFileUpdates = 0;
    for (size_t i = 0; i < row.calls.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(book(row.calls[i]), row.calls[i].booked);
    }
    tst_expectOptions(stand.options, row.want);
    EXPECT_EQ(g_parkFileUpdates, row.wantUpdates);
}

TEST_F(ParkingSlotsTest, RealBookingOfAStay) {
    const StandOption fileOption("DLH4AB", "", "DLH", "B738", "D-AIXX", tst_bits({30, 31}), 1, kMon, 1, 1);
    const BookingRow rows[] = {
        {"spawn at a stand",
         {},
         {{tst_at(kMon, 20), false, true}},
         {{1, kMon, tst_bits({20}), "DLH4AB", "", 0, 1}},
         StandSlotEntry{kHexid, tst_at(kMon, 20), 1},
         1},
        {"booked twice in one half-hour",
         {},
         {{tst_at(kMon, 20), false, true}, {tst_at(kMon, 20), false, true}},
         {{1, kMon, tst_bits({20}), "DLH4AB", "", 0, 1}},
         StandSlotEntry{kHexid, tst_at(kMon, 20), 1},
         2},
        {"a later arrival adds its half-hour",
         {},
         {{tst_at(kMon, 20), false, true}, {tst_at(kMon, 30), false, true}},
         {{1, kMon, tst_bits({20, 30}), "DLH4AB", "", 0, 1}},
         StandSlotEntry{kHexid, tst_at(kMon, 20), 1},
         2},
        {"leaving two hours later books the stay",
         {},
         {{tst_at(kMon, 20), false, true}, {tst_at(kMon, 24), true, true}},
         {{1, kMon, tst_range(20, 24), "DLH4AB", "", 0, 1}},
         std::nullopt,
         2},
        {"leaving after too long a stay starts a new option",
         {},
         {{tst_at(kMon, 20), false, true}, {tst_at(kMon, 27), true, true}},
         {{1, kMon, tst_bits({20}), "DLH4AB", "", 0, 1}, {2, kMon, tst_bits({27}), "DLH4AB", "", 0, 1}},
         std::nullopt,
         2},
        {"leaving again without an entry starts a new option",
         {},
         {{tst_at(kMon, 20), false, true}, {tst_at(kMon, 22), true, true}, {tst_at(kMon, 23), true, true}},
         {{1, kMon, tst_range(20, 22), "DLH4AB", "", 0, 1}, {2, kMon, tst_bits({23}), "DLH4AB", "", 0, 1}},
         std::nullopt,
         3},
        {"leaving after midnight over the week's end books both days",
         {},
         {{tst_at(kSun, 45), false, true}, {tst_at(kMon, 1), true, true}},
         {{1, kSun, tst_range(45, 47), "DLH4AB", "", 0, 1}, {2, kMon, tst_range(0, 1), "DLH4AB", "", 0, 1}},
         std::nullopt,
         2},
        {"arriving again after midnight starts the new day's option",
         {},
         {{tst_at(kSun, 46), false, true}, {tst_at(kMon, 1), false, true}},
         {{1, kSun, tst_bits({46}), "DLH4AB", "", 0, 1}, {2, kMon, tst_bits({1}), "DLH4AB", "", 0, 1}},
         StandSlotEntry{kHexid, tst_at(kMon, 1), 2},
         2},
        {"the file's option for today lacks now",
         {fileOption},
         {{tst_at(kMon, 20), false, false}},
         {{1, kMon, tst_bits({30, 31}), "DLH4AB", "", 1, 1}},
         std::nullopt,
         0},
        {"the file's option for today holds now",
         {fileOption},
         {{tst_at(kMon, 31), false, true}},
         {{1, kMon, tst_bits({30, 31}), "DLH4AB", "", 1, 1}, {2, kMon, tst_bits({31}), "DLH4AB", "", 0, 1}},
         StandSlotEntry{kHexid, tst_at(kMon, 31), 2},
         1},
        {"the file's option of another day",
         {fileOption},
         {{tst_at(kTue, 20), false, true}},
         {{1, kMon, tst_bits({30, 31}), "DLH4AB", "", 1, 1}, {2, kTue, tst_bits({20}), "DLH4AB", "", 0, 1}},
         StandSlotEntry{kHexid, tst_at(kTue, 20), 2},
         1},
    };
    const LiveAircraft ac = tst_aircraft();
    for (const BookingRow& row : rows) {
        tst_runBookings(stand(), row,
                        [&](const Call& c) { return lt_addStandOption(2, ac, false, c.now, c.leaving); });
        SCOPED_TRACE(row.name);
        ASSERT_EQ(stand().slotMapA.size(), row.wantEntry ? 1u : 0u);
        EXPECT_TRUE(stand().slotMapB.empty());
        if (!row.wantEntry) continue;
        const StandSlotEntry& e = stand().slotMapA.at(kHexid);
        EXPECT_EQ(e.hexid, row.wantEntry->hexid);
        EXPECT_EQ(e.slot, row.wantEntry->slot);
        EXPECT_EQ(e.optionIndex, row.wantEntry->optionIndex);
    }
    EXPECT_TRUE(g_stands[0].options.empty() && g_stands[0].slotMapA.empty()) << "other stands stay alone";
}

TEST_F(ParkingSlotsTest, SoftBookingKeepsItsEntryUntilTheAircraftLeaves) {
    const LiveAircraft ac = tst_aircraft();
    // The aircraft first seen at 10:00 on a stand; an extra booking an hour later books the
    // stay and keeps the entry, leaving later books on and drops it.
    EXPECT_TRUE(gf_releaseStandSlots(2, ac, false, tst_at(kMon, 20), false));
    ASSERT_EQ(stand().slotMapB.count(kHexid), 1u);
    EXPECT_TRUE(gf_releaseStandSlots(2, ac, true, tst_at(kMon, 22), false));
    EXPECT_EQ(stand().slotMapB.at(kHexid).slot, tst_at(kMon, 22));
    EXPECT_TRUE(gf_releaseStandSlots(2, ac, false, tst_at(kMon, 23), true));
    EXPECT_TRUE(stand().slotMapB.empty());
    EXPECT_TRUE(stand().slotMapA.empty());
    tst_expectOptions(stand().options, {{1, kMon, tst_range(20, 23), "DLH4AB", "", 0, 0}});
    EXPECT_EQ(g_parkFileUpdates, 3);

    // Too long a stay without leaving changes nothing and keeps the entry as it was.
    stand().options.clear();
    EXPECT_TRUE(gf_releaseStandSlots(2, ac, false, tst_at(kMon, 10), false));
    EXPECT_TRUE(gf_releaseStandSlots(2, ac, true, tst_at(kMon, 30), false));
    tst_expectOptions(stand().options, {{1, kMon, tst_bits({10}), "DLH4AB", "", 0, 0}});
    EXPECT_EQ(stand().slotMapB.at(kHexid).slot, tst_at(kMon, 10));

    // Real options are not soft ones: a real booking of the same half-hour makes its own option.
    EXPECT_TRUE(lt_addStandOption(2, ac, false, tst_at(kMon, 10), false));
    ASSERT_EQ(stand().options.size(), 2u);
    EXPECT_EQ(stand().options[1].real, 1u);
}

TEST_F(ParkingSlotsTest, BookingRefusals) {
    struct Row {
        const char* name;
        uint32_t standId;
        const char* regcode;
        const char* callsign;
        uint64_t now;
        bool booked;
        const char* wantReg;  // of the option made; "" when none
        const char* log;
    };
    const Row rows[] = {
        {"registration is the key", 2, "D-AIXX", "DLH4AB", tst_at(kMon, 20), true, "D-AIXX", ""},
        {"callsign when there is no registration", 2, "", "DLH4AB", tst_at(kMon, 20), true, "DLH4AB", ""},
        {"neither registration nor callsign", 2, "", "", tst_at(kMon, 20), false, "", ""},
        {"stand id 0", 0, "D-AIXX", "DLH4AB", tst_at(kMon, 20), false, "", ""},
        {"no stand with that id", 3, "D-AIXX", "DLH4AB", tst_at(kMon, 20), false, "", ""},
        {"slot 48", 2, "D-AIXX", "DLH4AB", tst_at(kMon, 48), false, "",
         "lt_addStandOption: hh_now: 48, invalid bitset position\n"},
        {"time not readable", 2, "D-AIXX", "DLH4AB", tst_at(-1, -1), false, "",
         "lt_addStandOption: hh_now: -1, invalid bitset position\n"},
        {"weekday 8", 2, "D-AIXX", "DLH4AB", tst_at(8, 3), false, "",
         "lt_addStandOption: hh_now: 3, invalid bitset position\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        stand().options.clear();
        g_parkFileUpdates = 0;
        LiveAircraft ac = tst_aircraft();
        ac.regcode = row.regcode;
        ac.callsign = row.callsign;
        EXPECT_EQ(lt_addStandOption(row.standId, ac, false, row.now, false), row.booked);
        EXPECT_EQ(gf_releaseStandSlots(row.standId, ac, false, row.now, false), row.booked);
        EXPECT_EQ(g_parkFileUpdates, row.booked ? 2 : 0);
        EXPECT_EQ(gf_capturedLog(), std::string(row.log) + row.log);
        if (*row.wantReg == 0) {
            EXPECT_TRUE(stand().options.empty());
            continue;
        }
        ASSERT_EQ(stand().options.size(), 2u);
        EXPECT_EQ(stand().options[0].reg, row.wantReg);
        EXPECT_EQ(stand().options[1].reg, row.wantReg);
    }
}

TEST_F(ParkingSlotsTest, HexidValues) {
    EXPECT_EQ(gf_findHexidSlot(kHexid), nullptr);
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
    gf_resetParkingSlots();
    EXPECT_TRUE(g_hexidValues.empty());
}

}  // namespace
