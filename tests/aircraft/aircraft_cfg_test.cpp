#include "aircraft/aircraft_cfg.h"

#include <gtest/gtest.h>

#include "aircraft/regcodes.h"
#include "livery_fixture.h"

namespace {

using Strings = std::vector<std::string>;

class AircraftCfgTest : public LiveryTest {};

// title|registration|airline|type|cargo of every livery found.
Strings lf_rows(const CfgFindings& f) {
    Strings rows;
    for (const LiveryData& l : f.liveries)
        rows.push_back(l.title + "|" + l.registration + "|" + l.airline + "|" + l.type + (l.cargo ? "|cargo" : ""));
    return rows;
}

TEST_F(AircraftCfgTest, SectionsGiveLiveriesProblemsAndFixes) {
    g_dontUseTitles = {"Old Trainer"};
    const struct {
        const char* name;
        std::string text;
        Strings liveries;
        bool invalid, empty;
        int incomplete;
        Strings airlines, models, fixes;
    } rows[] = {
        {"two sections, keys in any case, quotes, comments, other sections",
         "[General]\ntitle=Not A Livery\n[FLTSIM.0]\n Title = \"Swiss A320\" \r\n; atc_id=HB-XXX\nATC_ID=HB-IJB\n"
         "icao_airline=SWR\nicao_type_designator=A320\natc_parking_types=GATE,Cargo\ntitle=Second Title\n"
         "[fltsim.1]\ntitle=Swiss A321\nicao_airline=SWR\nicao_type_designator=A321\n[Effects]\natc_id=HB-ZZZ\n",
         {"Swiss A320|HB-IJB|SWR|A320|cargo", "Swiss A321||SWR|A321"}, false, false, 0, {}, {}, {}},
        {"lower-case codes are fixed", "[fltsim.3]\ntitle=T\nicao_airline=zzz\nicao_type_designator=b738\n",
         {"T||ZZZ|B738"}, false, false, 0, {}, {},
         {"[fltsim.3] icao_airline zzz => ZZZ", "[fltsim.3] icao_type_designator b738 => B738"}},
        {"incomplete, invalid codes, don't-use",
         "[fltsim.0]\ntitle=No Type\nicao_airline=SWR\n[fltsim.1]\ntitle= \nicao_airline=SWR\nicao_type_designator=A320\n"
         "[fltsim.2]\ntitle=A\nicao_airline=SWISS\nicao_type_designator=A320\n"
         "[fltsim.3]\ntitle=B\nicao_airline=SW-\nicao_type_designator=XX99\n"
         "[fltsim.4]\ntitle=Old Trainer\nicao_airline=PVT\nicao_type_designator=C172\n",
         {}, false, false, 2, {"SWISS", "SW-"}, {"XX99"}, {}},
        {"no livery section", "[General]\natc_type=Airbus\n[fltsim.x]\ntitle=T\n", {}, false, true, 0, {}, {}, {}},
        {"empty text", "", {}, false, true, 0, {}, {}, {}},
        {"binary", std::string("[fltsim.0]\ntitle=T\0", 20), {}, true, false, 0, {}, {}, {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const CfgFindings f = gf_parseAircraftCfg(r.text);
        EXPECT_EQ(lf_rows(f), r.liveries);
        EXPECT_EQ(std::tie(f.invalid, f.noFltsimSection, f.incompleteSections), std::tie(r.invalid, r.empty, r.incomplete));
        EXPECT_EQ(f.invalidAirlines, r.airlines);
        EXPECT_EQ(f.invalidModels, r.models);
        EXPECT_EQ(f.fixes, r.fixes);
    }
}

}  // namespace
