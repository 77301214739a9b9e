#include "airports/stand_options.h"

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "aircraft/type_database.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/slots.h"
#include "platform/window_model.h"
#include "support/slot_builders.h"
#include "support/work_folder.h"

namespace {

constexpr const char* kDb = R"(<dbase><types>
<type icao="B738" cat="Large" span="35.8"/>
<type icao="A319" cat="Large" span="34.1"/>
<type icao="BCS3" cat="Large" span="35.1"/>
</types><registrations>
<reg id="HB-JCA" airl="SWR" type="BCS3"/>
<reg id="D-AIBA" airl="DLH" type="A319" opr="CLH"/>
<reg id="D-EFGH" airl="DLH"/>
</registrations></dbase>)";

class StandOptionsTest : public WorkFolderTest {
  protected:
    void SetUp() override {
        WorkFolderTest::SetUp();
        gf_loadTypeDatabaseText(kDb, "test dbase.xml");
        gf_setLogCapture(true);
    }
};

// A real option of this run with the given index, weekday, registration and half-hours.
StandOption tst_option(uint32_t index, uint32_t day = 3, std::string reg = "D-AIXX", uint64_t hh = 0,
                       std::string callsign = "DLH4AB", std::string callsign2 = "") {
    return StandOption(std::move(callsign), std::move(callsign2), "DLH", "B738", std::move(reg), hh, index,
                       day, 0, 1);
}

AircraftRec tst_aircraft(std::string airline = "DLH", std::string type = "B738") {
    AircraftRec ac;
    ac.airline = std::move(airline);
    ac.type = std::move(type);
    ac.callsign = "DLH4AB";
    return ac;
}

TEST_F(StandOptionsTest, OptionFitsAircraft) {
    struct Row {
        const char* name;
        StandOption option;
        const char* callsign;
        const char* airline;
        const char* type;
        bool fits;
    };
    const Row rows[] = {
        {"same callsign", tst_option(1), "DLH4AB", "AFR", "A320", true},
        {"same second callsign", tst_option(1, 3, "D-AIXX", 0, "DLH4AB", "DLH4AC"), "DLH4AC", "AFR", "A320",
         true},
        {"same airline and type", tst_option(1), "DLH9", "DLH", "B738", true},
        {"airline alone", tst_option(1), "DLH9", "DLH", "A320", false},
        {"type alone", tst_option(1), "DLH9", "AFR", "B738", false},
        {"index 0 with every text equal", tst_option(0), "DLH4AB", "DLH", "B738", false},
        {"soft with every text equal", StandOption("DLH4AB", "", "DLH", "B738", "D-AIXX", 0, 1, 3, 0, 0),
         "DLH4AB", "DLH", "B738", false},
        {"empty callsign fits an option without callsign", tst_option(1, 3, "D-AIXX", 0, ""), "", "AFR",
         "A320", true},
        {"case differs", tst_option(1), "dlh4ab", "AFR", "A320", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(gf_optionFitsAircraft(row.callsign, tst_aircraft(row.airline, row.type), row.option),
                  row.fits);
    }
}

TEST_F(StandOptionsTest, OptionHasSlotNear) {
    struct Row {
        const char* name;
        StandOption option;
        int weekday, slot;
        bool near;
    };
    const Row rows[] = {
        {"the slot itself", tst_option(1, 3, "D-AIXX", tst_bits({20})), 3, 20, true},
        {"the slot after", tst_option(1, 3, "D-AIXX", tst_bits({21})), 3, 20, true},
        {"two slots away", tst_option(1, 3, "D-AIXX", tst_bits({18, 22})), 3, 20, false},
        {"slot 0 accepts 47", tst_option(1, 3, "D-AIXX", tst_bits({47})), 3, 0, true},
        {"slot 0 refuses 46", tst_option(1, 3, "D-AIXX", tst_bits({46})), 3, 0, false},
        {"slot 47 accepts 0", tst_option(1, 3, "D-AIXX", tst_bits({0})), 3, 47, true},
        {"slot 47 refuses 1", tst_option(1, 3, "D-AIXX", tst_bits({1})), 3, 47, false},
        {"other weekday", tst_option(1, 4, "D-AIXX", tst_bits({20})), 3, 20, false},
        {"other registration", tst_option(1, 3, "D-AIXY", tst_bits({20})), 3, 20, false},
        {"index 0", tst_option(0, 3, "D-AIXX", tst_bits({20})), 3, 20, false},
        {"soft", StandOption("DLH4AB", "", "DLH", "B738", "D-AIXX", tst_bits({20}), 1, 3, 0, 0), 3, 20,
         false},
        {"unreadable time on another option", tst_option(1, 3, "D-AIXX", tst_bits({0})), -1, -1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(gf_optionHasSlotNear(row.weekday, row.slot, "D-AIXX", row.option), row.near);
    }
    const StandOption option = tst_option(1, 3, "D-AIXX", tst_bits({0, 47}));
    for (int slot : {48, -1, 1000}) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(tst_rangeError([&] { gf_optionHasSlotNear(3, slot, "D-AIXX", option); }),
                  kBitsetPositionError);
    }
}

TEST_F(StandOptionsTest, NewOptionTakesItsFieldsFromTheDatabaseOrTheAircraft) {
    struct Row {
        const char* name;
        const char* reg;
        const char* callsign;
        const char* airline;
        const char* type;
        const char* storedCallsign;
    };
    const Row rows[] = {
        {"registration not in the database", "D-AIXX", "DLH4AB", "DLH", "B738", "DLH4AB"},
        {"database airline and type", "HB-JCA", "SWR12", "SWR", "BCS3", "SWR12"},
        {"the operator replaces the airline", "D-AIBA", "CLH1", "CLH", "A319", "CLH1"},
        {"a record without type keeps the aircraft's", "D-EFGH", "DLH7", "DLH", "B738", "DLH7"},
        {"one trailing mark dropped", "D-AIXX", "DLH4AB__", "DLH", "B738", "DLH4AB_"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<StandOption> options;
        const auto index =
            gf_newOption(options, tst_aircraft("DLH", "B738"), 1, gf_packSlot(44, 7), row.callsign, row.reg);
        ASSERT_EQ(index, 1u);
        ASSERT_EQ(options.size(), 1u);
        const StandOption& o = options[0];
        EXPECT_EQ(o.airline, row.airline);
        EXPECT_EQ(o.type, row.type);
        EXPECT_EQ(o.reg, row.reg);
        EXPECT_EQ(o.callsign, row.storedCallsign);
        EXPECT_EQ(std::tie(o.hh, o.index, o.day, o.origin, o.real), std::make_tuple(tst_bits({44}), 1u, 7u, 0u, 1u));
    }
    std::vector<StandOption> options;
    EXPECT_EQ(gf_newOption(options, tst_aircraft(), 0, gf_packSlot(3, 1), "DLH4AB", "D-AIXX"), 1u);
    EXPECT_EQ(options.at(0).real, 0u) << "the given real flag is stored";
}

TEST_F(StandOptionsTest, NewOptionIndexAndRepeats) {
    struct Call {
        int weekday, slot;
        const char* callsign;
        const char* reg;
        std::optional<uint32_t> index;
    };
    struct Row {
        const char* name;
        std::vector<uint32_t> existingIndexes;
        std::vector<Call> calls;
    };
    const Row rows[] = {
        {"empty list", {}, {{3, 20, "DLH4AB", "D-AIXX", 1u}}},
        {"after 1, 2, 5", {1, 2, 5}, {{3, 20, "DLH4AB", "D-AIXX", 6u}}},
        {"last option made inert", {1, 2, 0}, {{3, 20, "DLH4AB", "D-AIXX", 3u}}},
        {"only inert options", {0}, {{3, 20, "DLH4AB", "D-AIXX", 1u}}},
        {"twice alike", {}, {{3, 20, "DLH4AB", "D-AIXX", 1u}, {3, 20, "DLH4AB", "D-AIXX", std::nullopt}}},
        {"ABC_ then ABC", {}, {{3, 20, "ABC_", "D-AIXX", 1u}, {3, 20, "ABC", "D-AIXX", std::nullopt}}},
        {"another half-hour", {}, {{3, 20, "DLH4AB", "D-AIXX", 1u}, {3, 21, "DLH4AB", "D-AIXX", 2u}}},
        {"another weekday", {}, {{3, 20, "DLH4AB", "D-AIXX", 1u}, {4, 20, "DLH4AB", "D-AIXX", 2u}}},
        {"another callsign", {}, {{3, 20, "DLH4AB", "D-AIXX", 1u}, {3, 20, "DLH4AC", "D-AIXX", 2u}}},
        {"empty registration", {}, {{3, 20, "DLH4AB", "", std::nullopt}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<StandOption> options;
        for (uint32_t index : row.existingIndexes) options.push_back(tst_option(index, 1, "X-OTHER"));
        size_t expectedSize = options.size();
        for (const Call& call : row.calls) {
            EXPECT_EQ(gf_newOption(options, tst_aircraft(), 1, gf_packSlot(call.slot, call.weekday),
                                   call.callsign, call.reg),
                      call.index);
            if (call.index) ++expectedSize;
        }
        EXPECT_EQ(options.size(), expectedSize);
    }
}

TEST_F(StandOptionsTest, NewOptionRefusesSlotValuesOutsideTheWeek) {
    const uint64_t bad[] = {gf_packSlot(48, 3), gf_packSlot(-1, 3), gf_packSlot(20, 0), gf_packSlot(20, 8),
                            gf_packSlot(-1, -1)};
    for (uint64_t now : bad) {
        SCOPED_TRACE(now);
        std::vector<StandOption> options{tst_option(1)};
        EXPECT_EQ(tst_rangeError([&] { gf_newOption(options, tst_aircraft(), 1, now, "DLH4AB", "D-AIXX"); }),
                  kBitsetPositionError);
        EXPECT_EQ(options.size(), 1u);
    }
}

TEST_F(StandOptionsTest, AddCallsignToOption) {
    struct Row {
        const char* name;
        const char* callsign;
        const char* callsign2;
        uint32_t index;
        const char* added;
        const char* wantCallsign;
        const char* wantCallsign2;
    };
    const Row rows[] = {
        {"into an empty first callsign", "", "", 2, "DLH5", "DLH5", ""},
        {"second callsign", "DLH4", "", 2, "DLH5", "DLH4", "DLH5"},
        {"third replaces the second", "DLH4", "DLH5", 2, "DLH6", "DLH4", "DLH6"},
        {"already first", "DLH4", "DLH5", 2, "DLH4", "DLH4", "DLH5"},
        {"already second", "DLH4", "DLH5", 2, "DLH5", "DLH4", "DLH5"},
        {"mark dropped before comparing", "DLH4", "", 2, "DLH4_", "DLH4", ""},
        {"empty changes nothing", "DLH4", "DLH5", 2, "", "DLH4", "DLH5"},
        {"a mark alone changes nothing", "DLH4", "DLH5", 2, "_", "DLH4", "DLH5"},
        {"unknown index", "DLH4", "", 9, "DLH6", "DLH4", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<StandOption> options{tst_option(1, 3, "X", 0, "OTHER"), tst_option(0, 3, "X", 0, ""),
                                         tst_option(2, 3, "D-AIXX", 0, row.callsign, row.callsign2)};
        gf_addCallsignToOption(options, row.index, row.added);
        EXPECT_EQ(options[2].callsign, row.wantCallsign);
        EXPECT_EQ(options[2].callsign2, row.wantCallsign2);
        EXPECT_EQ(options[0].callsign, "OTHER");
        EXPECT_EQ(options[0].callsign2, "");
    }
    std::vector<StandOption> inert{tst_option(0, 3, "X", 0, "")};
    gf_addCallsignToOption(inert, 0, "DLH6");
    EXPECT_EQ(inert[0].callsign, "") << "index 0 names no option";
}

TEST_F(StandOptionsTest, UpdateOptionsWithinOneDay) {
    struct Row {
        const char* name;
        uint32_t index;
        SlotList slots;  // back first taken
        bool result;
        uint64_t wantHh;  // of option 2
        SlotList wantSlots;
        const char* log;
    };
    const char* kErr = "===> updateOptions exception:invalid bitset position\n";
    const Row rows[] = {
        {"5, 4, 3", 2, {5, 4, 3}, true, tst_bits({1, 3, 4, 5}), {}, ""},
        {"empty list", 2, {}, true, tst_bits({1}), {}, ""},
        {"unknown index", 7, {5, 4}, false, tst_bits({1}), {5, 4}, ""},
        {"index 0 names no option", 0, {5, 4}, false, tst_bits({1}), {5, 4}, ""},
        {"48 stops the loop", 2, {5, 48, 3}, false, tst_bits({1, 3}), {5, 48}, kErr},
        {"negative slot", 2, {-1}, false, tst_bits({1}), {-1}, kErr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        std::vector<StandOption> options{tst_option(1, 3, "X", 0), tst_option(0, 3, "X", 0),
                                         tst_option(2, 3, "D-AIXX", tst_bits({1}))};
        SlotList slots = row.slots;
        EXPECT_EQ(updateOptions(options, slots, row.index), row.result);
        EXPECT_EQ(options[2].hh, row.wantHh);
        EXPECT_EQ(options[0].hh, 0u);
        EXPECT_EQ(options[1].hh, 0u);
        EXPECT_EQ(slots, row.wantSlots);
        EXPECT_EQ(gf_capturedLog(), row.log);
    }
}

TEST_F(StandOptionsTest, UpdateOptionsAcrossMidnight) {
    struct Row {
        const char* name;
        uint32_t previousIndex, currentIndex;
        SlotList slots;
        bool result;
        uint64_t wantPrevious, wantCurrent;
        SlotList wantSlots;
        const char* log;
    };
    const char* kErr = "===> updateOptionsWrapped exception:invalid bitset position\n";
    const Row rows[] = {
        {"1, 0, 47, 46", 1, 2, {1, 0, 47, 46}, true, tst_bits({40, 46, 47}), tst_bits({1, 0}), {1}, ""},
        {"back slot 0: none before", 1, 2, {2, 1, 0}, true, tst_bits({40}), tst_bits({0, 1}), {2}, ""},
        {"the current slot never goes back a day", 1, 2, {1}, true, tst_bits({40}), tst_bits({1}), {1}, ""},
        {"empty list", 1, 2, {}, true, tst_bits({40}), tst_bits({1}), {}, ""},
        {"no previous option", 5, 2, {1, 0, 47}, false, tst_bits({40}), tst_bits({1}), {1, 0, 47}, ""},
        {"no current option", 1, 5, {1, 0, 47}, false, tst_bits({40, 47}), tst_bits({1}), {1, 0}, ""},
        {"bad before 0:00", 1, 2, {1, 0, 60, 46}, false, tst_bits({40, 46}), tst_bits({1}), {1, 0, 60}, kErr},
        {"bad after 0:00", 1, 2, {1, -3, 47}, false, tst_bits({40, 47}), tst_bits({1}), {1, -3}, kErr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        std::vector<StandOption> options{tst_option(1, 7, "D-AIXX", tst_bits({40})),
                                         tst_option(2, 1, "D-AIXX", tst_bits({1}))};
        SlotList slots = row.slots;
        EXPECT_EQ(updateOptionsWrapped(options, slots, row.previousIndex, row.currentIndex), row.result);
        EXPECT_EQ(options[0].hh, row.wantPrevious);
        EXPECT_EQ(options[1].hh, row.wantCurrent);
        EXPECT_EQ(slots, row.wantSlots);
        EXPECT_EQ(gf_capturedLog(), row.log);
    }
}

TEST_F(StandOptionsTest, UpdateCountReachesTheWindow) {
    const int repaints = gf_repaintCount(Region::Status);
    gf_countParkFileUpdate();
    gf_countParkFileUpdate();
    EXPECT_EQ(g_parkFileUpdates, 2);
    EXPECT_EQ(gf_windowStats().parkFileUpdates, 2);
    EXPECT_EQ(gf_repaintCount(Region::Status), repaints + 2);
    // The loader sets the count back; the next update shows 1 again.
    g_parkFileUpdates = 0;
    gf_countParkFileUpdate();
    EXPECT_EQ(gf_windowStats().parkFileUpdates, 1);
    EXPECT_EQ(gf_repaintCount(Region::Status), repaints + 3);
    // A count the window already shows is not painted again.
    g_parkFileUpdates = 0;
    gf_countParkFileUpdate();
    EXPECT_EQ(g_parkFileUpdates, 1);
    EXPECT_EQ(gf_repaintCount(Region::Status), repaints + 3);
}

}  // namespace
