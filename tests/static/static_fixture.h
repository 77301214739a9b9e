// Static parking tests: the tick harness, stands laid out in metres, Monday 10:00, and builders.
#pragma once
#include <algorithm>
#include <string>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "core/params.h"
#include "core/random.h"
#include "core/slots.h"
#include "live/live_set.h"
#include "platform/window_model.h"
#include "static/live_parked.h"
#include "static/static_fit.h"
#include "static/static_place.h"
#include "static/static_renewal.h"
#include "support/slot_builders.h"
#include "support/stand_builders.h"
#include "support/tick_harness.h"

class StaticTest : public TickHarness {
protected:
    void SetUp() override {
        TickHarness::SetUp();
        g_currentSlot = tst_at(1, 20);
        CUSTOM_PARKING_PERCENTAGE.set(100);
        gf_seedRandom(3);
    }
    // A real option of the archived file, Monday unless told; the airline from the callsign.
    static StandOption opt(std::string cs, std::string cs2, std::string type, std::string reg, uint64_t hh,
                           uint32_t index, uint32_t day = 1, uint32_t real = 1) {
        const std::string airline = cs.substr(0, 3);
        return StandOption(std::move(cs), std::move(cs2), airline, std::move(type), std::move(reg), hh, index, day, 1, real);
    }
    // An active static aircraft of the fit (noSource 1) or from parked traffic (0) on the stand.
    static AircraftRec staticOn(uint32_t standId, uint32_t hexid, std::string flying, std::string type,
                                std::string reg, uint64_t parkSlot, uint32_t noSource = 1) {
        AircraftRec st;
        st.hexid = hexid, st.airline = flying.substr(0, 3), st.callsign = flying + "*", st.spawnCallsign = flying;
        st.type = std::move(type), st.regcode = std::move(reg);
        st.noSourceHexid = noSource, st.parkSlot = parkSlot, st.lifeState = active;
        st.objectId = 700 + hexid, st.standId = standId;
        return st;
    }
    // A live aircraft parked and active on the stand.
    static LiveAircraft liveParkedOn(uint32_t standId, uint32_t hexid, std::string callsign, std::string type) {
        LiveAircraft ac;
        ac.hexid = hexid, ac.callsign = std::move(callsign), ac.type = std::move(type);
        ac.category = static_cast<int32_t>(gf_aircraftCategory(ac.type));
        ac.lifeState = active, ac.flightState = parked;
        ac.objectId = 800 + hexid % 100, ac.standId = standId;
        ac.stream.push_back(PosSample{});
        return ac;
    }
    // Stands laid out as tst_addStands does, but on the harness airport, where the object scans
    // of the stand-in find the statics.
    static void standsAtHarness(std::initializer_list<TestStand> stands) {
        tst_addStands(stands, false);
        for (Stand& s : g_stands) {
            s.latitude += kHarnessLat - kStandOrigin.lat;
            s.longitude += kHarnessLon - kStandOrigin.lon;
        }
        gf_numberStands();
    }
    // "stand callsign" of every static object in the stand-in simulator, sorted.
    static std::vector<std::string> staticObjects() {
        std::vector<std::string> out;
        for (const StandinObject& o : gf_standinObjects()) {
            const AircraftRec* st = gf_findStaticByObjectId(o.id);
            if (st != nullptr) out.push_back(fmt::format("{} {}", gf_standNameOfId(st->standId), o.atcId));
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    static std::vector<std::string> plan() {  // "stand callsign offset first" of each PT entry
        std::vector<std::string> out;
        for (const PtEntry& e : g_ptList)
            out.push_back(fmt::format("{} {} {} {}", gf_standNameOfId(static_cast<uint32_t>(e.standId)), e.callsign,
                                      e.slotOffset, e.useFirstCallsign));
        return out;
    }
};
