#include "airports/airport_list.h"

#include <fmt/format.h>

#include "airports/apf_fixture.h"

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

}  // namespace
