#include "airports/stand.h"

#include "airports/apf_fixture.h"
#include "airports/stand_options.h"
#include "core/errors.h"
#include "support/slot_builders.h"
#include "support/stand_builders.h"

namespace {

using StandTest = WorkFolderTest;

// Numbers the stands; every neighbour list is the rule applied to every pair (1.1 x distance < sum of radii).
void tst_expectNeighboursOfEveryPair(const std::vector<std::array<double, 3>>& places) {  // lat, lon, radius m
    gf_clearStands();
    for (const auto& [lat, lon, radiusM] : places)
        g_stands.emplace_back("S", std::vector<StandOption>{}, lat, lon, 0.0, radiusM, false, false, false);
    gf_numberStands();
    gf_numberStands();  // numbering again does not duplicate the lists
    for (size_t i = 0; i < g_stands.size(); ++i) {
        std::vector<uint32_t> expected;
        for (size_t j = 0; j < g_stands.size(); ++j)
            if (i != j && 1.1 * gf_haversineNm(g_stands[i].position(), g_stands[j].position()) <
                              g_stands[i].radius + g_stands[j].radius)
                expected.push_back(static_cast<uint32_t>(j + 1));
        EXPECT_EQ(std::make_tuple(g_stands[i].standId, gf_publishedStands()->at(i).position.lat),
                  std::make_tuple(i + 1, g_stands[i].latitude));  // the simulator thread's copy too
        EXPECT_EQ(g_stands[i].neighbours, expected) << "stand " << i + 1;
    }
}

TEST_F(StandTest, NeighboursAreThePairsTheRuleFinds) {
    constexpr double kDegPerM = 1.0 / 1852.0 / 60.0;
    const std::tuple<const char*, std::vector<std::array<double, 3>>, size_t> rows[] = {
        {"20 m and 25 m, 40 m apart north (44 < 45)", {{0, 8, 20}, {40 * kDegPerM, 8, 25}}, 1},
        {"41 m apart north (45.1 > 45)", {{0, 8, 20}, {41 * kDegPerM, 8, 25}}, 0},
        {"40 m apart at 80 north", {{80, 8, 20}, {80, 8 + 40 * kDegPerM / std::cos(gf_degToRad(80)), 25}}, 1},
        {"either side of the date line", {{10, 179.99995, 20}, {10, -179.99995, 20}}, 1},
        {"same position, radius 1 m", {{1, 1, 1}, {1, 1, 0}}, 1},
    };
    for (const auto& [name, places, neighbours] : rows) {
        SCOPED_TRACE(name);
        tst_expectNeighboursOfEveryPair(places);
        EXPECT_EQ(g_stands[0].neighbours.size(), neighbours);
    }
    EXPECT_DOUBLE_EQ(Stand("A", {}, 1, 1, 0, 18.52, true, false, true).radius, 0.01);  // metres to nm
}

using StandOptionsTest = ApfTest;

// A real option of this run.
StandOption tst_option(uint32_t index, uint32_t day = 3, std::string reg = "D-AIXX", uint64_t hh = 0,
                       std::string callsign = "DLH4AB", std::string callsign2 = "", uint32_t real = 1) {
    return StandOption(std::move(callsign), std::move(callsign2), "DLH", "B738", std::move(reg), hh, index, day, 0, real);
}

AircraftRec tst_aircraft(std::string airline = "DLH", std::string type = "B738") {
    AircraftRec ac;
    ac.airline = std::move(airline);
    ac.type = std::move(type);
    return ac;
}

TEST_F(StandOptionsTest, WhichOptionsFitAnAircraftOrHoldASlotNearby) {
    const std::tuple<StandOption, const char*, const char*, const char*, bool> fits[] = {
        {tst_option(1), "DLH4AB", "AFR", "A320", true},
        {tst_option(1, 3, "R", 0, "DLH4AB", "DLH4AC"), "DLH4AC", "AFR", "A320", true},
        {tst_option(1), "DLH9", "DLH", "B738", true},
        {tst_option(1), "DLH9", "DLH", "A320", false},
        {tst_option(0), "DLH4AB", "DLH", "B738", false},
        {tst_option(1, 3, "R", 0, "DLH4AB", "", 0), "DLH4AB", "DLH", "B738", false},
        {tst_option(1, 3, "R", 0, ""), "", "AFR", "A320", true},
    };
    for (const auto& [option, callsign, airline, type, fit] : fits)
        EXPECT_EQ(gf_optionFitsAircraft(callsign, tst_aircraft(airline, type), option), fit)
            << callsign << " " << airline << " " << type << " on " << option.callsign << " " << option.index;
    const std::tuple<StandOption, int, int, bool> near[] = {  // option, weekday, slot, near
        {tst_option(1, 3, "D-AIXX", tst_bits({20})), 3, 20, true},  {tst_option(1, 3, "D-AIXX", tst_bits({21})), 3, 20, true},
        {tst_option(1, 3, "D-AIXX", tst_bits({19})), 3, 20, true},  {tst_option(1, 3, "D-AIXX", tst_bits({18, 22})), 3, 20, false},
        {tst_option(1, 3, "D-AIXX", tst_bits({47})), 3, 0, true},   {tst_option(1, 3, "D-AIXX", tst_bits({46})), 3, 0, false},
        {tst_option(1, 3, "D-AIXX", tst_bits({0})), 3, 47, true},   {tst_option(1, 3, "D-AIXX", tst_bits({1})), 3, 47, false},
        {tst_option(1, 4, "D-AIXX", tst_bits({20})), 3, 20, false}, {tst_option(1, 3, "D-AIXY", tst_bits({20})), 3, 20, false},
        {tst_option(0, 3, "D-AIXX", tst_bits({20})), 3, 20, false},
    };
    for (const auto& [option, weekday, slot, isNear] : near)
        EXPECT_EQ(gf_optionHasSlotNear(weekday, slot, "D-AIXX", option), isNear)
            << option.day << " " << option.reg << " " << option.hh << " " << weekday << " " << slot;
    for (int slot : {48, -1, 1000})
        EXPECT_EQ(tst_rangeError([&] { gf_optionHasSlotNear(3, slot, "D-AIXX", tst_option(1)); }), kBitsetPositionError);
}

TEST_F(StandOptionsTest, NewOptionFieldsIndexesAndRepeats) {
    std::vector<StandOption> made;  // the database's record of HB-JLT stands in for the aircraft's airline and type
    ASSERT_EQ(gf_newOption(made, tst_aircraft(), 0, gf_packSlot(44, 7), "SWR1__", "HB-JLT"), 1u);
    EXPECT_EQ(std::tie(made[0].airline, made[0].type, made[0].reg, made[0].callsign, made[0].hh, made[0].day, made[0].real),
              std::make_tuple("SWR", "A320", "HB-JLT", "SWR1_", tst_bits({44}), 7u, 0u));
    struct Call {
        int weekday, slot;
        const char *callsign, *reg;
        std::optional<uint32_t> index;
    };
    const std::pair<std::vector<uint32_t>, std::vector<Call>> rows[] = {  // indexes there, calls
        {{1, 2, 5}, {{3, 20, "DLH4AB", "D-AIXX", 6u}}},
        {{1, 2, 0}, {{3, 20, "DLH4AB", "D-AIXX", 3u}}},
        {{}, {{3, 20, "ABC_", "D-AIXX", 1u}, {3, 20, "ABC", "D-AIXX", std::nullopt}}},
        {{}, {{3, 20, "DLH4AB", "D-AIXX", 1u}, {3, 21, "DLH4AB", "D-AIXX", 2u}}},
        {{}, {{3, 20, "DLH4AB", "D-AIXX", 1u}, {3, 20, "DLH4AC", "D-AIXX", 2u}}},
        {{}, {{3, 20, "DLH4AB", "", std::nullopt}}},
    };
    for (const auto& [indexes, calls] : rows) {
        std::vector<StandOption> options;
        for (uint32_t index : indexes) options.push_back(tst_option(index, 1, "X-OTHER"));
        for (const Call& c : calls) {
            SCOPED_TRACE(fmt::format("{} options, {} {} {} {}", options.size(), c.weekday, c.slot, c.callsign, c.reg));
            const size_t size = options.size();
            EXPECT_EQ(gf_newOption(options, tst_aircraft(), 1, gf_packSlot(c.slot, c.weekday), c.callsign, c.reg), c.index);
            EXPECT_EQ(options.size(), size + (c.index ? 1 : 0));
        }
    }
    std::vector<StandOption> named{tst_option(1, 3, "D-AIXX", 0, "")};  // a second callsign replaces an older second
    std::string seen;
    for (const char* callsign : {"DLH4AB", "DLH4AB", "DLH4AC", "DLH4AB", "DLH4AD", ""}) {
        gf_addCallsignToOption(named, 1, callsign);
        seen += named[0].callsign + "/" + named[0].callsign2 + " ";
    }
    EXPECT_EQ(seen, "DLH4AB/ DLH4AB/ DLH4AB/DLH4AC DLH4AB/DLH4AC DLH4AB/DLH4AD DLH4AB/DLH4AD ");
}

TEST_F(StandOptionsTest, BookingAStayAcrossMidnight) {
    const std::string kWrapErr = "===> updateOptionsWrapped exception:invalid bitset position\n";
    const std::tuple<uint32_t, uint32_t, SlotList, bool, uint64_t, uint64_t, SlotList, std::string> wrapped[] = {
        // previous and current index, slots, result, half-hours of both options, slots left, log
        {1, 2, {1, 0, 47, 46}, true, tst_bits({40, 46, 47}), tst_bits({1, 0}), {1}, ""},
        {1, 2, {2, 1, 0}, true, tst_bits({40}), tst_bits({0, 1}), {2}, ""},  // back slot 0: none before
        {1, 2, {1}, true, tst_bits({40}), tst_bits({1}), {1}, ""},  // the current slot never goes back a day
        {5, 2, {1, 0, 47}, false, tst_bits({40}), tst_bits({1}), {1, 0, 47}, ""},
        {1, 5, {1, 0, 47}, false, tst_bits({40, 47}), tst_bits({1}), {1, 0}, ""},
        {1, 2, {1, 0, 60, 46}, false, tst_bits({40, 46}), tst_bits({1}), {1, 0, 60}, kWrapErr},
        {1, 2, {1, -3, 47}, false, tst_bits({40, 47}), tst_bits({1}), {1, -3}, kWrapErr},
    };
    for (const auto& [previous, current, given, result, hhPrevious, hhCurrent, left, log] : wrapped) {
        SCOPED_TRACE(testing::PrintToString(given) + " " + std::to_string(previous) + " " + std::to_string(current));
        restartLog();
        std::vector<StandOption> options{tst_option(1, 7, "D-AIXX", tst_bits({40})), tst_option(2, 1, "D-AIXX", tst_bits({1}))};
        SlotList slots = given;
        EXPECT_EQ(updateOptionsWrapped(options, slots, previous, current), result);
        EXPECT_EQ(std::make_tuple(options[0].hh, options[1].hh, slots, gf_capturedLog()),
                  std::make_tuple(hhPrevious, hhCurrent, left, log));
    }
}

}  // namespace
