#include "live/intake.h"

#include <cmath>

#include "aircraft/type_database.h"
#include "airports/stand.h"
#include "core/geo.h"
#include "core/params.h"
#include "core/run_requests.h"
#include "core/run_state.h"
#include "feed/feed_state.h"
#include "feed/traffic_reader.h"
#include "live/adding_stack.h"
#include "live/aircraft_rec.h"
#include "live/live_set.h"
#include "live/playback.h"
#include "live/removal.h"
#include "live/respawn.h"
#include "live/sim_events.h"
#include "live/tick.h"
#include "sim/sim_link.h"

namespace {

bool g_liveListsReserved = false;
// The tick's records; kept between ticks so that the steady state allocates nothing.
StagedRecords g_staged;

constexpr double kMinSampleSpacingSec = 1.0;
constexpr double kSlowKt = 5;
constexpr double kSpeedJumpFactor = 10;
constexpr double kFastAfterSlowKt = 80;
constexpr double kSteadyAirMinKt = 120;
constexpr double kSteadyAirTrackDeg = 1.0;
constexpr double kSteadyAirSpacingNm = 450.0 / 1852.0;
constexpr double kSteadyGroundMaxKt = 30;
constexpr double kSteadyGroundTrackDeg = 2.0;
constexpr double kSteadyGroundSpacingNm = 20.0 / 1852.0;
constexpr double kSteadyGroundMaxSec = 15;
constexpr double kNoParkAirportElevationFt = -1000;
constexpr double kNearFieldElevationFt = 108;
constexpr double kFieldRuleCeilingFt = 10000;
constexpr double kRoomMarginNm = 0.1;

// Positions at field elevation below 10000 ft are parked traffic reported by ground stations,
// which static parking shows already.
bool lf_nearParkField(double altitudeFt) {
    if (!(altitudeFt > 0 && altitudeFt < kFieldRuleCeilingFt)) return false;
    const double field = gf_parkAirportSet() ? gf_parkAirportElevationFt().value_or(kNoParkAirportElevationFt)
                                             : kNoParkAirportElevationFt;
    return std::fabs(altitudeFt - field) <= kNearFieldElevationFt;
}

// One side of the speed filters: a jump by a factor of ten, or from a crawl to 80 kt.
bool lf_speedJump(double fromKt, double toKt) {
    if (fromKt > kSlowKt && toKt >= kSpeedJumpFactor * fromKt) return true;
    return fromKt <= kSlowKt && toKt >= kFastAfterSlowKt;
}

// A sample too soon after the previous one on a steady track adds nothing but jitter.
bool lf_tooSoonOnSteadyTrack(const PosSample& b, const PosSample& r, double dt) {
    const double trackChange = std::fabs(r.track - b.track);
    if (r.airborne) {
        if (r.gs <= kSteadyAirMinKt || trackChange > kSteadyAirTrackDeg) return false;
        return dt <= kSteadyAirSpacingNm / (r.gs / 3600.0);
    }
    if (r.gs > kSteadyGroundMaxKt || trackChange > kSteadyGroundTrackDeg) return false;
    const double limit = r.gs == 0 ? kSteadyGroundMaxSec
                                   : std::min(kSteadyGroundSpacingNm / (r.gs / 3600.0), kSteadyGroundMaxSec);
    return dt <= limit;
}

bool lf_jumpBetween(double aKt, double bKt) {
    return lf_speedJump(aKt, bKt) || lf_speedJump(bKt, aKt);
}

// A speed jump against the newest accepted sample is refused unless the feed's report before
// (refused or not) had that speed already: one record with a new speed is refused, the next one
// that confirms it is taken. Else after one real change (a take-off after a gap, a landing, or a
// stop the playback set to 0 kt) every later report would be refused.
bool lf_acceptedAfter(LiveAircraft& ac, const LiveTrafficRecord& record) {
    const PosSample& b = ac.stream.back();
    const PosSample& r = record.sample;
    const double dt = record.timeStamp - ac.lastSampleTime;
    if (!(dt > kMinSampleSpacingSec)) return false;
    const bool confirmed = ac.lastFeedGs >= 0 && !lf_jumpBetween(ac.lastFeedGs, r.gs);
    ac.lastFeedGs = r.gs;
    if (lf_jumpBetween(b.gs, r.gs) && !confirmed) return false;
    return ac.extension >= 1 || !lf_tooSoonOnSteadyTrack(b, r, dt);
}

void lf_addToKnownAircraft(LiveAircraft& ac, const LiveTrafficRecord& record) {
    if (ac.lifeState == liveryrespawn || ac.lifeState == removingfromsim) return;
    if (!ac.stream.empty() && !lf_acceptedAfter(ac, record)) return;
    if (ac.lifeState == buffer && lf_nearParkField(record.sample.alt)) return;
    if (!lf_respawnCheck(ac, record)) return;
    ac.lastSampleTime = record.timeStamp;
    decodeExisting(ac, record.sample);
}

void lf_createLiveAircraft(LiveTrafficRecord& record) {
    const AircraftCategory category = gf_aircraftCategory(record.type);
    if (static_cast<int32_t>(category) > static_cast<int32_t>(AircraftCategory::Rotorcraft)) return;
    if (!gf_categoryWanted(category)) return;
    if (lf_nearParkField(record.sample.alt)) return;
    record.spawnCallsign = record.callsign;
    record.coupledCallsign.clear();
    record.coupledSearched = 0;
    AircraftRec rec = gf_makeAircraftRec(record);
    rec.hexid = record.hexid;
    rec.currentTurnRate = rec.turnRate;
    const CategoryMotion& motion = gf_categoryMotion(rec.category);
    rec.maxClimbStep = motion.maxClimbStepFt;
    rec.slowTaxiSpeed = motion.slowTaxiSpeedKt;
    gf_addLiveAircraft(gf_constructLiveAircraft(record.sample, rec, record.timeStamp));
}

// An unknown or missing type is taken from the registration database when it knows one.
void lf_newTrafficRecord(LiveTrafficRecord& record) {
    std::optional<DbRecord> entry;
    if (!record.regcode.empty()) entry = gf_findDbRecord(record.regcode);
    if (record.type.empty() && entry) record.type = entry->type;
    if (!gf_isKnownType(record.type)) {
        if (!entry || entry->type.empty()) return;
        record.type = entry->type;
    }
    lf_createLiveAircraft(record);
}

bool lf_sameCallsignAndTypeLive(const LiveTrafficRecord& record) {
    return !record.callsign.empty() && gf_liveWithCallsignAndType(record.callsign, record.type);
}

void lf_processTrafficRecord(LiveTrafficRecord& record) {
    if (LiveAircraft* ac = gf_findLiveByHexid(record.hexid)) {
        lf_addToKnownAircraft(*ac, record);
        return;
    }
    if (lf_sameCallsignAndTypeLive(record) || gf_isBlockedAircraft(record.hexid, record.callsign)) return;
    lf_newTrafficRecord(record);
}

}  // namespace

bool gf_categoryWanted(AircraftCategory category) {
    switch (category) {
        case AircraftCategory::Light:
            return LIGHT_AIRCRAFT.value();
        case AircraftCategory::HighPerf:
            return HIGH_PERF_AIRCRAFT.value();
        case AircraftCategory::Rotorcraft:
            return HELICOPTERS.value();
        case AircraftCategory::Buzjets:
        case AircraftCategory::Large:
        case AircraftCategory::Heavy:
            return true;
    }
    return false;
}

void gf_connectIntake() {
    gf_setTrafficBatchSink(gf_addTrafficBatch);
    gf_setRunRequestHandler(RunRequest::ApplyMaxLive, gf_applyMaxLive);
}

void gf_takeFromAddingStack() {
    gf_takeStagedRecords(g_staged);
    // A buffered snapshot of a large poll is many thousand records: closing the window must
    // not wait for all of them.
    for (LiveTrafficRecord& record : g_staged.records) {
        if (g_stopRun || g_userClosing) break;
        lf_processTrafficRecord(record);
    }
    g_staged.records.clear();
}

bool lf_makeRoom(double candidateNm) {
    const LatLon user{g_userPosition.lat, g_userPosition.lon};
    double best = candidateNm;
    uint32_t farthest = 0;
    bool found = false;
    for (const LiveAircraft& a : g_liveRecords) {
        if (a.lifeState != active) continue;
        const double d = gf_haversineNm(user, {a.lat, a.lon});
        if (d > best + kRoomMarginNm) {
            best = d;
            farthest = a.hexid;
            found = true;
        }
    }
    if (!found) return true;
    if (LiveAircraft* a = gf_findLiveByHexid(farthest)) removeAircraftFromSim(*a);
    return false;
}

void gf_applyMaxLive() {
    const int excess = gf_countActiveLive() - MAX_LIVE_SEL.value();
    for (int i = 0; i < excess; ++i) lf_makeRoom(-1);
}

void gf_reserveLiveLists() {
    if (g_liveListsReserved) return;
    g_liveListsReserved = true;
    auto reserve = [](auto& container, size_t n) {
        if (container.capacity() < n) container.reserve(n);
    };
    reserve(g_liveRecords, 512);
    reserve(g_staticAircraft, 256);
    reserve(g_stands, 512);
    reserve(g_hexidStack, 64);
    std::lock_guard lock(g_simEventMutex);
    reserve(g_simEventQueue, 256);
    reserve(g_waitingEvents, 128);
}

void gf_resetIntake() {
    g_staged.records.clear();
    gf_resetAddingStack();
    gf_resetRemovalQueues();
    gf_resetLiveTraffic();
    gf_resetLiveSet();
    gf_resetRespawn();
}

void gf_resetIntakeProcess() {
    gf_resetIntake();
    g_staged.records.shrink_to_fit();
    g_liveListsReserved = false;
    g_hexidStack.shrink_to_fit();
    gf_resetLiveSetProcess();
}
