#include "live/playback.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/params.h"
#include "core/slots.h"
#include "live/air_motion.h"
#include "live/air_motion_legs.h"
#include "live/aircraft_rec.h"
#include "live/ground_motion.h"
#include "live/ground_motion_legs.h"
#include "live/live_set.h"
#include "live/parking_conflicts.h"
#include "live/parking_slots.h"
#include "live/removal.h"
#include "live/sim_events.h"
#include "sim/sim_link.h"

namespace {

constexpr double kSnapDeg = 0.00015;
constexpr uint8_t kPendingTakeOffRoll = 1, kPendingTouchAndGo = 2;
constexpr double kTakeOffRollKt = 43;
// Reported and positions' speed agree within this many knots or this share of the latter.
constexpr double kSpeedAgreementKt = 20;
constexpr double kSpeedAgreementShare = 0.5;
constexpr double kTakeOffRollTurnDeg = 30;
constexpr int32_t kTakeOffBaselineTicks = 500;
constexpr double kStopPruneNm = 22.0 / 1852.0;
constexpr int32_t kStopPruneTicks = 1500;
constexpr size_t kStopSearchSamples = 5;
constexpr double kLandingTurnDeg = 90;
constexpr double kRollOutTurnDeg = 150;
constexpr double kLandingCapKt = 40;
constexpr double kExtensionTurnDeg = 100;
// Towing after a short stay, by category: the stay must be shorter than this many ticks.
constexpr uint32_t kTowHeavyTicks = 360000;
constexpr uint32_t kTowLargeTicks = 150000;
constexpr uint32_t kTowBuzjetTicks = 90000;
// No aircraft leaves a stand faster than it taxis: a parked aircraft's report that would need
// more is its position jumping about.
constexpr double kStandNoiseKt = 30;
constexpr uint32_t kParkedExtensionTicks = static_cast<uint32_t>(kParkedExtensionSec) * kTicksPerSecond;

bool lf_within(const PosSample& a, const PosSample& b, double toleranceDeg) {
    return std::fabs(a.lat - b.lat) < toleranceDeg && std::fabs(gf_shortLonDiff(a.lon, b.lon)) < toleranceDeg;
}

// Due ticks wrap with the tick counter: compare by signed difference.
bool lf_notLater(int32_t due, int32_t than) {
    return static_cast<int32_t>(static_cast<uint32_t>(due) - static_cast<uint32_t>(than)) <= 0;
}

int32_t lf_nowPlus(int32_t ticks) {
    return gf_dueAfter(static_cast<int32_t>(gf_tickNow()), ticks);
}

bool lf_isCategory(const AircraftRec& ac, AircraftCategory c) {
    return ac.category == static_cast<int32_t>(c);
}

double lf_turnDeg(double fromHeadingRad, const PosSample& from, const PosSample& to) {
    return std::fabs(
        gf_radToDeg(gf_normalizePi(gf_bearingRad(gf_posOf(from), gf_posOf(to)) - fromHeadingRad)));
}

// The way the feed went last: from the sample before the newest to the newest one; the heading
// while the stream holds no such leg.
double lf_feedDirection(const LiveAircraft& ac) {
    const auto& st = ac.stream;
    if (st.size() < 2 || gf_samePosition(st[st.size() - 2], st.back())) return ac.heading;
    return gf_bearingRad(gf_posOf(st[st.size() - 2]), gf_posOf(st.back()));
}

void lf_endHolding(LiveAircraft& ac) {
    ac.holding = 0;
    ac.holdStartTick = 0;
}

// A new moving sample ends a running extension: the front falls due at once. The leg from the
// dead-reckoned point is timed by speed; it may end at most the clamps' floor before the new
// sample is due, so that sparse reports do not run the aircraft ahead of the delay.
void lf_endExtension(LiveAircraft& ac) {
    ac.stream.front().dueTick = lf_nowPlus(1);
    ac.extension = 0;
    gf_resetDueClamps(ac);
    ac.dueBack = kDueClampFloor;
}

void lf_pushbackSide(LiveAircraft& ac, const PosSample& s) {
    if (STRAIGHT_PBS_ONLY.value() || ac.pushbackSide != 2) return;
    double target = 0;
    if (s.trueHeading) {
        target = *s.trueHeading;
    } else {
        if (s.track == 0) return;
        target = gf_degToRad(s.track);
    }
    ac.pushbackTurnSide = gf_normalizePi(target - ac.heading) > 0 ? 1 : 0;
    ac.pushbackSideKnown = 1;
}

// Pushed back: samples near the stand are the feed catching up; one clearly away starts the taxi.
bool lf_pushedBackSample(LiveAircraft& ac, PosSample& s) {
    const double d = gf_haversineNm({ac.lat, ac.lon}, gf_posOf(s));
    const double hw = ac.halfWingSpan;
    if (d <= 6 * hw && !(d > 2.75 * hw && d > ac.pushedBackMaxDist)) {
        ac.pushedBackMaxDist = d;
        if (!ac.holding) {
            ac.holding = 1;
            ac.holdStartTick = gf_tickNow();
        }
        return false;
    }
    s.stationary = 0;
    if (ac.extension > 0) lf_endExtension(ac);
    ac.pushbackSideKnown = 0;
    ac.pushbackSide = 0;
    gf_setFlightState(ac, taxi);
    gf_letGoOfStand(ac);
    lf_endHolding(ac);
    return true;
}

int32_t lf_dueTicks(const PosSample& from, const PosSample& to) {
    return static_cast<int32_t>(static_cast<uint32_t>(to.dueTick) - static_cast<uint32_t>(from.dueTick));
}

// The speed the positions of two samples give over their due ticks, knots.
double lf_positionsKt(const PosSample& from, const PosSample& to) {
    return gf_haversineNm(gf_posOf(from), gf_posOf(to)) * 360000.0 / std::max(lf_dueTicks(from, to), 1);
}

// The reported speed and the one the positions give agree within 20 kt or half the latter.
bool lf_speedsAgree(double reportedKt, double positionsKt) {
    return std::fabs(reportedKt - positionsKt) <=
           std::max(kSpeedAgreementKt, kSpeedAgreementShare * positionsKt);
}

// A report of a parked aircraft that jumps farther than it could have moved since the previous
// one is noise; the same position reported again keeps the verdict of its first report. Measured
// from the previous position's first report where the aircraft only stands without a stand
// (sinceFirst): a stale position repeated for a while gives it that time to move.
bool lf_standNoise(LiveAircraft& ac, const PosSample& s, bool first, bool sinceFirst = false) {
    const bool repeated = !first && gf_samePosition(s, ac.lastStandSample);
    bool noise = false;
    if (!first)
        noise = repeated ? ac.lastStandNoise != 0 : lf_positionsKt(ac.lastStandSample, s) > kStandNoiseKt;
    if (repeated && sinceFirst) return noise;
    ac.lastStandSample = s;
    ac.lastStandNoise = noise ? 1 : 0;
    return noise;
}

// Reports d from where the aircraft stands, each at least 3 m farther than the farthest before,
// three times and half a wing span in all: it is going away. A step of 3 m back starts the count
// again. The first report sets where the count starts.
bool lf_goingAway(LiveAircraft& ac, double d, bool first) {
    if (first) {
        ac.firstStandDist = ac.lastStandDist = d;
        return false;
    }
    if (d >= ac.lastStandDist + kStandStepNm) {
        ++ac.movingAwayCount;
        ac.lastStandDist = d;
        return ac.movingAwayCount >= 3 && d - ac.firstStandDist >= ac.halfWingSpan / 2;
    }
    if (d <= ac.lastStandDist - kStandStepNm) ac.movingAwayCount = 0;
    return false;
}

enum class Standing { move, hold, drop };

// An aircraft that has stood on the ground since it appeared and has no stand takes its reports
// as a parked one does, as long as their speed does not fit their positions (a speed that froze,
// positions that scatter): a jump faster than a stand's noise is dropped, scatter is held where it
// stands (the sample takes the standing position), and only reports that keep going away from
// there, or one beyond the stand limit, move it on. The count starts at the standing position
// itself: unlike a stand, it is where the feed put the aircraft. Once it moves, it is an aircraft
// like any other.
Standing lf_standingSample(LiveAircraft& ac, PosSample& s) {
    if (!ac.stoodSinceAppearing) return Standing::move;
    const PosSample& back = ac.stream.back();
    const bool stands = back.stationary || (ac.flightState == birth && ac.stream.size() == 1);
    if (s.airborne || back.airborne || !stands || ac.takeOffRoll || ac.landingRoll ||
        (!s.stationary && lf_speedsAgree(s.gs, lf_positionsKt(back, s)))) {
        ac.stoodSinceAppearing = 0;
        return Standing::move;
    }
    if (s.stationary) return Standing::move;
    const bool first = !ac.standSampleSeen;
    ac.standSampleSeen = 1;
    if (lf_standNoise(ac, s, first, true)) return Standing::drop;
    if (first) {
        lf_goingAway(ac, 0, true);
        ac.movingAwayCount = 0;
    }
    const double d = gf_haversineNm(gf_posOf(back), gf_posOf(s));
    if (!(d <= kStandLimitNm) || lf_goingAway(ac, d, false)) {
        ac.standSampleSeen = 0;
        ac.stoodSinceAppearing = 0;
        return Standing::move;
    }
    const int32_t due = s.dueTick;
    s = back;
    s.dueTick = due;
    s.gs = 0;
    s.stationary = 1;
    return Standing::hold;
}

bool lf_movingSample(LiveAircraft& ac, PosSample& s) {
    if (ac.stream.empty()) {
        gf_logLine(fmt::format("{} empty sz?", "checkExtendingSituations"));
        return false;
    }
    if (!lf_stationarySample(ac, s)) return false;
    if (ac.onGround && lf_standingSample(ac, s) == Standing::drop) return false;
    if (ac.extension <= 0) return true;
    if (!ac.onGround && lf_turnDeg(ac.heading, ac.stream.back(), s) >= kExtensionTurnDeg) return false;
    lf_endExtension(ac);
    lf_endHolding(ac);
    return true;
}

bool lf_leaving(LiveAircraft& ac, PosSample& s) {
    s.stationary = 0;
    ac.leavingStand = 1;
    if (ac.previousFlightState == parked) return true;
    lf_leaveStand(ac);
    if (ac.flightState != parked) gf_setFlightState(ac, parked);
    return true;
}

// A stop on the ground that the feed reports as several samples: all stationary, keep one; the
// aircraft moving off after a short stop or nearby, the stop samples go.
void lf_pruneStop(LiveAircraft& ac, const PosSample& s) {
    auto& st = ac.stream;
    if (s.airborne || st.empty() || !st.back().stationary) return;
    if (s.stationary) {
        if (std::all_of(st.begin(), st.end(), [](const PosSample& p) { return p.stationary != 0; }))
            st.resize(1);
        return;
    }
    if (st.size() < 3) return;
    const size_t backIdx = st.size() - 1;
    const size_t lowest = backIdx > kStopSearchSamples ? backIdx - kStopSearchSamples : 0;
    for (size_t i = backIdx; i-- > lowest;) {
        if (st[i].stationary) continue;
        const int32_t stop = static_cast<int32_t>(static_cast<uint32_t>(st.back().dueTick) -
                                                  static_cast<uint32_t>(st[i].dueTick));
        if (stop < kStopPruneTicks || gf_haversineNm(gf_posOf(st[i]), gf_posOf(s)) <= kStopPruneNm)
            st.erase(st.begin() + static_cast<std::ptrdiff_t>(i) + 1, st.end());
        return;
    }
}

// The feed is in the air again after the simulator's touchdown: the landing roll ends here. Left
// set, it would outlast the take-off roll and the taxi that follow when the feed comes down again.
void lf_touchAndGo(LiveAircraft& ac) {
    gf_setFlightState(ac, taxi);
    ac.landingRoll = 0;
    ac.touchdownHeading = 0;
    ac.takeOffRoll = 1;
    ac.takeOffRollHeading = ac.heading;
    gf_setThrottle(ac, 3);
    gf_airCommand(ac, SimClientEvent::SpoilersSet, 16383);
    gf_setFlaps(ac, 1);
    ac.approachFlag = 0;
    ac.landed = 0;
    ac.climbConfigured = 0;
    gf_queueLights(ac.objectId, {1, 1, 1, 1, 1, 1, 0});
    ac.dueAhead = kDueAheadTakeOffRoll;
    ac.dueBack = kDueClampReset;
}

// The feed's air/ground field turns late after a touchdown and its speed may stay frozen on the
// ground (a roll-out, a parked aircraft whose positions jitter): only an aircraft that the
// positions show rolling straight on at take-off speed, at about the speed reported and not
// slowing down, takes off.
bool lf_rollingToTakeOff(const LiveAircraft& ac, const PosSample& s) {
    const auto& st = ac.stream;
    if (s.gs < st.back().gs) return false;
    // Measured over a few seconds: the feed repeats a position until a new one comes, so a
    // single leg may show twice the speed.
    size_t from = st.size() - 1;
    while (from > 0 && lf_dueTicks(st[from], s) < kTakeOffBaselineTicks) --from;
    const double kt = lf_positionsKt(st[from], s);
    if (kt < kTakeOffRollKt) return false;
    if (!lf_speedsAgree(s.gs, kt)) return false;
    if (from == 0 || lf_dueTicks(st[0], st[from]) < kTakeOffBaselineTicks) return true;
    // Straight on and not slowing down against the seconds before.
    size_t earlier = from;
    while (earlier > 0 && lf_dueTicks(st[earlier], st[from]) < kTakeOffBaselineTicks) --earlier;
    const double turn = gf_normalizePi(gf_bearingRad(gf_posOf(st[from]), gf_posOf(s)) -
                                       gf_bearingRad(gf_posOf(st[earlier]), gf_posOf(st[from])));
    return kt + kSpeedAgreementKt >= lf_positionsKt(st[earlier], st[from]) &&
           std::fabs(turn) <= gf_degToRad(kTakeOffRollTurnDeg);
}

// A new sample that shows a touch-and-go or the take-off roll: the roll starts when the sample
// falls due (gf_startRollWhenDue), not half a minute early, when its clamps would hold back the
// taxi legs still to come.
void lf_groundStart(LiveAircraft& ac, const PosSample& s) {
    if (ac.takeOffRoll || ac.rollPending || !ac.onGround || ac.lifeState != active || ac.stream.empty())
        return;
    const PosSample& back = ac.stream.back();
    uint8_t roll = 0;
    if (ac.landingRoll) {
        if (back.airborne && s.airborne) roll = kPendingTouchAndGo;
    } else if (ac.flightState == taxi && lf_rollingToTakeOff(ac, s) &&
               (s.airborne || (s.gs >= kTakeOffRollKt && back.gs >= kTakeOffRollKt))) {
        roll = kPendingTakeOffRoll;
    }
    if (roll == 0) return;
    ac.rollPending = roll;
    ac.rollDueTick = s.dueTick;
}

void lf_decodeActive(LiveAircraft& ac, PosSample& sample) {
    if (!checkExtendingSituations(ac, sample)) return;
    lf_pruneStop(ac, sample);
    if (!ac.stream.empty() && lf_notLater(sample.dueTick, ac.stream.back().dueTick))
        sample.dueTick = gf_dueAfter(ac.stream.back().dueTick, 1);
    lf_groundStart(ac, sample);
    ac.stream.push_back(sample);
    if (ac.stream.size() == 2 && ac.stream[0].stationary && ac.stream[1].stationary) {
        ac.stream[0].dueTick = lf_nowPlus(1);
        ac.stream[0].gs = ac.stream[1].gs;
    }
}

void lf_decode(LiveAircraft& ac, PosSample& sample) {
    if (ac.stream.size() > kMaxStreamSamples) return removeAircraftFromSim(ac);
    // A pushed-back aircraft holds only while it waits for the feed to move on: its own check
    // lets it taxi after a sample that is far away. Any other holding aircraft cannot get there.
    if (ac.holding && ac.flightState != pushed_back && !ac.stream.empty()) {
        const double meters = gf_nmToMeters(gf_haversineNm(gf_posOf(ac.stream.front()), gf_posOf(sample)));
        if (meters > HOLDING_THRESHOLD_METERS.value()) {
            lf_endHolding(ac);
            return removeAircraftFromSim(ac);
        }
    }
    if (ac.flightState != birth) return lf_decodeActive(ac, sample);
    if (ac.stream.empty() || !lf_stationarySample(ac, sample)) return;
    if (lf_standingSample(ac, sample) == Standing::drop) return;
    if (lf_notLater(sample.dueTick, ac.stream.back().dueTick))
        sample.dueTick = gf_dueAfter(ac.stream.back().dueTick, 1);
    ac.stream.push_back(sample);
}

}  // namespace

void gf_startRollWhenDue(LiveAircraft& ac) {
    if (ac.rollPending == 0 || !lf_notLater(ac.rollDueTick, static_cast<int32_t>(gf_tickNow()))) return;
    const uint8_t roll = std::exchange(ac.rollPending, uint8_t{0});
    // What the aircraft did meanwhile decides: it may have taken off, parked or rolled out.
    if (ac.takeOffRoll || !ac.onGround || ac.lifeState != active) return;
    if (roll == kPendingTouchAndGo) {
        if (ac.landingRoll) lf_touchAndGo(ac);
        return;
    }
    if (!ac.landingRoll && ac.flightState == taxi) lf_towedTakeOff(ac);
}

void gf_resetDueClamps(LiveAircraft& ac) {
    ac.dueBack = kDueClampReset;
    ac.dueAhead = ac.takeOffRoll ? kDueAheadTakeOffRoll : kDueClampReset;
}

void decodeExisting(LiveAircraft& ac, PosSample sample) {
    try {
        lf_decode(ac, sample);
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("{} exception {}", "decodeExisting", e.what()));
        throw;
    }
}

// Against the back sample: same position marks it stationary; a near miss snaps it onto the
// back sample. Neither may come from an aircraft in the air, nor interrupt a fast take-off roll.
bool lf_stationarySample(const LiveAircraft& ac, PosSample& s) {
    const PosSample& back = ac.stream.back();
    const bool same = gf_samePosition(s, back);
    if (same) s.stationary = 1;
    if (lf_isCategory(ac, AircraftCategory::Rotorcraft)) return true;
    const bool inTheAir = s.airborne || (ac.lifeState == active && !ac.onGround);
    if (same) {
        if (inTheAir) return false;
        if (ac.takeOffRoll && s.gs > 0 && back.gs >= 30) return false;
        s.gs = 0;
        return true;
    }
    if (lf_within(s, back, kSnapDeg)) {
        if (inTheAir) return false;
        if (ac.takeOffRoll && s.gs > 0 && back.gs >= 50) return false;
        const int32_t due = s.dueTick;  // the sample keeps its own time
        s = back;
        s.dueTick = due;
        s.gs = 0;
        s.stationary = 1;
        return true;
    }
    if (s.gs == 0 && (s.airborne || ac.takeOffRoll)) return back.gs < 50;
    return true;
}

bool checkExtendingSituations(LiveAircraft& ac, PosSample& s) {
    switch (ac.flightState) {
        case parking:
        case parked:
            if (ac.lifeState == buffer || ac.lifeState == adding2sim) return false;
            return lf_parkedSample(ac, s);
        case pushing_back:
            lf_pushbackSide(ac, s);
            return false;
        case pushed_back:
            return lf_pushedBackSample(ac, s);
        case taxi:
        case take_off:
        case flying:
            if (ac.approachFlag || ac.landingRoll) return checkNewPosDuringLanding(ac, s);
            return lf_movingSample(ac, s);
        default:
            return false;
    }
}

bool checkNewPosDuringLanding(LiveAircraft& ac, PosSample& s) {
    auto& st = ac.stream;
    if (st.empty()) {
        gf_logLine(fmt::format("{} empty sz?", "checkNewPosDuringLanding"));
        return false;
    }
    if (gf_samePosition(s, st.back())) return false;
    if (st.size() == 1) {
        const double turn = lf_turnDeg(ac.heading, st.front(), s);
        if (ac.approachFlag) {
            if (turn >= kLandingTurnDeg) return false;
        } else if (turn >= kRollOutTurnDeg && ac.extension > 0) {
            return false;
        } else {
            // The roll-out goes on from where the aircraft is, toward the new sample.
            st.front().lat = ac.lat;
            st.front().lon = ac.lon;
            st.front().dueTick = lf_nowPlus(1);
        }
    } else {
        // A sample is behind when it turns back against the way the feed itself went, not
        // against the aircraft's heading: a roll-out that turns off the runway or a go-around
        // that turns away must go on.
        const size_t held = st.size();
        if (lf_turnDeg(lf_feedDirection(ac), st.back(), s) >= kLandingTurnDeg) {
            st.pop_back();
            if (held >= 3 && lf_turnDeg(lf_feedDirection(ac), st.back(), s) >= kLandingTurnDeg) st.pop_back();
        }
    }
    if (ac.extension > 0) {
        ac.extension = 0;
        gf_resetDueClamps(ac);
    }
    if (gf_samePosition(s, st.back())) {
        s.stationary = 1;
        return true;
    }
    s.stationary = 0;
    const double backKt = st.back().gs;
    if (s.gs > backKt && s.gs > kLandingCapKt) s.gs = backKt;
    return true;
}

bool lf_parkedSample(LiveAircraft& ac, PosSample& s) {
    const bool first = !ac.standSampleSeen;
    ac.standSampleSeen = 1;
    // Counted neither as moving away nor as coming back.
    if (lf_standNoise(ac, s, first)) return false;
    const double d = gf_haversineNm({ac.standLat, ac.standLon}, gf_posOf(s));
    const double limit = ac.previousFlightState == parking ? 2 * kStandLimitNm : kStandLimitNm;
    if (!(d <= limit)) {
        if (ac.flightState == parking) {
            gf_setFlightState(ac, taxi);
            s.stationary = 0;
            return true;
        }
        if (d > kStandRemoveNm) {
            removeAircraftFromSim(ac);
            return false;
        }
        if (first) return lf_leaving(ac, s);
        // A parked aircraft's positions can scatter a hundred metres and more, slowly enough to
        // pass as movement: only reports that keep going away (below) mean leaving.
    } else {
        ac.steadySince = gf_clock100ns();
    }
    return lf_goingAway(ac, d, first) ? lf_leaving(ac, s) : false;
}

void lf_leaveStand(LiveAircraft& ac) {
    if (ac.extension > 0 && ac.flightState == parked && !ac.stream.empty()) {
        if (ac.landed) {
            const uint32_t stayed =
                gf_tickNow() - static_cast<uint32_t>(ac.stream.front().dueTick) + kParkedExtensionTicks;
            uint32_t limit = 0;
            if (lf_isCategory(ac, AircraftCategory::Heavy)) limit = kTowHeavyTicks;
            if (lf_isCategory(ac, AircraftCategory::Large)) limit = kTowLargeTicks;
            if (lf_isCategory(ac, AircraftCategory::Buzjets)) limit = kTowBuzjetTicks;
            ac.towed = stayed < limit ? 1 : 0;
            ac.landed = 0;
        }
        ac.stream.front().dueTick = lf_nowPlus(1);
    }
    if (ac.extension > 0) {
        ac.extension = 0;
        gf_resetDueClamps(ac);
    }
    if (!ac.airline.empty() && ac.cargoStand == ac.isCargo) {
        const uint64_t now = g_currentSlot.load();
        if (lt_addStandOption(ac.standId, ac, false, now, true)) gf_setHexidSlot(ac.hexid, gf_slotOf(now));
    }
    // The aircraft still stands on the stand: the pull-out or the end of the pushback lets it go.
}
