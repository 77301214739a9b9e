// The park airport's watch: choosing, loading and dropping the current park airport, the
// reserved stand, the remembered user stand and the parking controls (airports/park_airports.h).
#include <algorithm>
#include <cmath>
#include <mutex>

#include <fmt/format.h>

#include "airports/apf_file.h"
#include "airports/apf_lookup.h"
#include "airports/apf_read.h"
#include "airports/apf_save.h"
#include "airports/park_airports.h"
#include "airports/stand.h"
#include "airports/stand_options.h"
#include "airports/stock.h"
#include "core/clock.h"
#include "core/display.h"
#include "core/log.h"
#include "core/params.h"
#include "core/run_requests.h"
#include "feed/feed_state.h"
#include "live/ground_motion.h"
#include "live/live_set.h"
#include "live/stand_choice.h"
#include "platform/window_model.h"
#include "sim/sim_state.h"
#include "static/live_parked.h"
#include "static/static_place.h"

Airport g_parkAirport;
std::string g_reservedStand;
bool g_parkLoadPending = false;
bool g_parkedFileRead = false;
LatLon g_lastWatchPosition;
std::atomic<bool> g_parkingControlsLocked{false};

namespace {

// A user aircraft moved when either coordinate changed by this much, degrees.
constexpr double kMovedDeg = 1e-8;
// The user's stand is remembered only while the aircraft stands still, knots.
constexpr double kStandStillKt = 2.0;
// Below this quality, or with fewer stands, live traffic learns soft options.
constexpr int kLearnSoftQuality = 45;
constexpr size_t kLearnSoftStands = 20;

// The five time controls keep the enabled state they had when the parking controls locked.
constexpr int kTimeControls[] = {ctl::kSimTime, ctl::kKeepSimTimePar, ctl::kTimeShiftDays,
                                 ctl::kTimeShiftHours, ctl::kTimeShiftMins};
bool g_timeControlsEnabled[std::size(kTimeControls)];
// The other parking controls, locked before and after the time controls.
constexpr int kLockedFirst[] = {ctl::kParkingPercentage, ctl::kInitialLoadOnly, ctl::kParkFake,
                                ctl::kParkSoft,          ctl::kMaxParkSel,      ctl::kMaxLiveSel};
constexpr int kLockedLast[] = {ctl::kRtParkTrafficOnly, ctl::kMaxFitFl, ctl::kWeek, ctl::kFlushStatic,
                               ctl::kRereadParkAirports};

void lf_restoreTimeControls() {
    for (size_t i = 0; i < std::size(kTimeControls); ++i)
        gf_setEnabled(kTimeControls[i], g_timeControlsEnabled[i]);
}

// The stand gf_rememberUserStand found on the simulator thread, until the run thread stores it.
std::mutex g_rememberedMutex;
std::string g_rememberedStand;

LatLon lf_userLatLon() {
    return {g_userPosition.lat, g_userPosition.lon};
}

bool lf_inRange(double distanceNm) {
    return distanceNm <= AIRP_RANGE.value() && g_userPosition.altitudeFt <= AIRP_HEIGHT.value();
}

// Live traffic parks where the park airport is; the wanted count belongs to static parking.
void lf_publishParkSite() {
    ParkSite site;
    if (!g_parkAirport.code.empty()) {
        site = {g_parkAirport.code, g_parkAirport.position(), g_reservedStand, g_parkedFileRead,
                gf_parkSite().wantedParked};
    }
    gf_setParkSite(std::move(site));
}

void lf_markReserved(const std::string& name, bool reserved) {
    if (Stand* stand = name.empty() ? nullptr : gf_findStandById(name)) stand->reserved = reserved;
}

// Nothing of static parking waits: no file to load, no computation waiting for its parked
// traffic, no planned aircraft still to be placed.
bool lf_staticParkingSettled() {
    return !g_parkLoadPending && !gf_staticParkingPending() && g_ptList.empty();
}

// Every static aircraft leaves before the park airport is given up.
void lf_dropParkAirport() {
    gf_removeAllStaticAircraft();
}

// Reads the park airport's file at once; a failure gives the park airport up. A read that
// waits for the download site is tried again at the next watch.
void lf_loadParkedFileNow() {
    const uint64_t waits = gf_siteWaits();
    const std::string error = lf_readParkedFile();
    if (gf_siteWaits() != waits) {
        g_parkLoadPending = true;
        return;
    }
    if (error.empty()) {
        lf_computeStaticParking();
    } else {
        gf_showMessage(error, true);
        // Chosen again it would fail again at every other watch; a failed transfer of the
        // download site has a back-off of its own.
        if (!gf_siteHoldsBack(g_parkAirport.code)) g_failedParkAirports.insert(g_parkAirport.code);
        gf_takeGatheredCallsigns();
        lf_resetStaticParking();
    }
    gf_setEnabled(ctl::kDestination, true);
}

// The front entry becomes the park airport's entry: moved there when listed, else added.
void lf_putParkAirportInFront(const std::string& standName) {
    auto it = std::find_if(g_parkAirports.begin(), g_parkAirports.end(),
                           [](const ParkAirport& p) { return p.code == g_parkAirport.code; });
    if (it != g_parkAirports.end()) {
        g_parkAirports.splice(g_parkAirports.begin(), g_parkAirports, it);
        if (!standName.empty()) it->stand = standName;
    } else {
        g_parkAirports.push_front({g_parkAirport.code, standName, g_parkAirport.position(), 0});
    }
    gf_saveMyParkAirports();
}

void lf_rememberParkAirportStand() {
    if (!g_userOnGroundKnown) return;
    const std::string name = gf_nearestStandName(lf_userLatLon());
    if (g_parkAirports.empty() || g_parkAirports.front().code != g_parkAirport.code) {
        lf_putParkAirportInFront(name);
    } else if (!name.empty() && name != g_parkAirports.front().stand) {
        g_parkAirports.front().stand = name;
        gf_saveMyParkAirports();
    }
}

void lf_takeReservedStand() {
    g_reservedStand.clear();
    if (!g_parkAirports.empty() && g_parkAirports.front().code == g_parkAirport.code) {
        const std::string& stand = g_parkAirports.front().stand;
        if (!stand.empty() && gf_findStandById(stand)) g_reservedStand = stand;
    }
    lf_markReserved(g_reservedStand, true);
    gf_editStats([](WindowStats& s) { s.reservedMark = !g_reservedStand.empty(); });
}

void lf_chooseSoftLearning(const QualityPair& quality) {
    if (quality.Qf_real < kLearnSoftQuality || g_stands.size() < kLearnSoftStands) {
        g_parkedFileRead = true;
        gf_setEnabled(ctl::kLearnSoft, true);
        return;
    }
    g_parkedFileRead = false;
    if (!LEARN_SOFT.value()) return;
    LEARN_SOFT.set(false);
    gf_setChecked(ctl::kLearnSoft, false);
    gf_setEnabled(ctl::kLearnSoft, false);
    g_parkParamsChanged = true;
}

// Distances of the watch: every entry and a stable sort after a move without destination (so
// that airports at equal distances keep their places), else the front entry alone.
// The file of a park airport read at the next watch is asked of the site now, so that the read
// finds it there.
void lf_askParkedFileAhead() {
    const std::string location = gf_findApf(g_parkAirport.code);
    if (!location.empty() && !location.starts_with("airports")) gf_askSiteFile(location);
}

// Before the site has answered, or while a failure's back-off runs, the airport is neither
// chosen nor given up. A failure was logged as it came in: here it is only shown.
bool lf_heldBackOnTheGround(const std::string& code) {
    const std::optional<SiteAnswer> held = gf_siteHoldsBack(code);
    if (held && held->state == SiteState::Failed)
        gf_showMessage(fmt::format("User aircraft on the ground at {}, airport file not available: {}", code,
                                   held->reason),
                       false);
    return held.has_value();
}

void lf_updateDistances(LatLon user) {
    if (g_parkAirports.empty()) return;
    const bool moved = std::fabs(user.lat - g_lastWatchPosition.lat) >= kMovedDeg ||
                       std::fabs(user.lon - g_lastWatchPosition.lon) >= kMovedDeg;
    if (moved) g_lastWatchPosition = user;
    if (!moved || !DESTINATION.value().empty()) {
        g_parkAirports.front().distance = gf_haversineNm(user, g_parkAirports.front().position);
        return;
    }
    for (ParkAirport& p : g_parkAirports) p.distance = gf_haversineNm(user, p.position);
    g_parkAirports.sort([](const ParkAirport& a, const ParkAirport& b) { return a.distance < b.distance; });
}

}  // namespace

void gf_watchParkAirport(bool loadNow) {
    // Static parking unlocks the controls once its plan is placed.
    if (g_parkingControlsLocked && lf_staticParkingSettled()) {
        gf_unlockParkingControls();
        gf_clearMessage();
        gf_countStaticAircraft(true);
        gf_liveParkedStats(true);
        gf_refreshCounts();
    }
    if (g_parkLoadPending) {
        gf_clearMessage();
        g_parkLoadPending = false;
        lf_loadParkedFileNow();
        return;
    }
    const LatLon user = lf_userLatLon();
    if (!gf_isPositionSet(user)) return;
    lf_updateDistances(user);
    if (g_parkAirport.code.empty())
        lf_findParkAirportInSight(user, loadNow);
    else
        lf_checkParkAirportInSight(user);
}

void lf_findParkAirportInSight(LatLon user, bool loadNow) {
    if (!g_userOnGround) {
        gf_setEnabled(ctl::kDestination, true);
        if (g_parkAirports.empty()) return;
        const ParkAirport& front = g_parkAirports.front();
        if (g_failedParkAirports.contains(front.code)) return;
        if (!lf_inRange(front.distance) || gf_siteHoldsBack(front.code) || !lf_setParkAirport(front.code))
            return;
        gf_showMessage(fmt::format("{} in sight at {:.1F} nm", front.code, front.distance), true);
        lf_loadParkAirport(false);
        return;
    }
    const uint64_t waits = gf_siteWaits();
    auto closest = gf_findClosestAirport(user);
    if (!closest) {
        gf_showMessage("User aircraft on the ground, no airport in sight", true);
        return;
    }
    const std::string code = closest->get().code;
    if (g_failedParkAirports.contains(code)) return;
    const bool exists = gf_apfExists(code);
    if (gf_siteWaits() != waits || lf_heldBackOnTheGround(code)) return;
    if (!exists) {
        gf_showMessage(fmt::format("User aircraft on the ground at {}, no airport file found", code), true);
        return;
    }
    gf_logLine(fmt::format("User aircraft on the ground at {}", code));
    lf_setParkAirport(code);
    lf_loadParkAirport(loadNow);
}

void lf_checkParkAirportInSight(LatLon user) {
    if (g_userOnGround) return;
    const double d = gf_haversineNm(user, g_parkAirport.position());
    if (!lf_inRange(d)) {
        gf_logLine(fmt::format("\n{} {} is out of sight ({:.1F} nm), parked aircraft will be removed",
                               gf_logStamp(), gf_airportLabel(g_parkAirport), d));
        lf_dropParkAirport();
        return;
    }
    if (g_parkAirports.empty() || g_parkAirports.front().code == g_parkAirport.code) return;
    const ParkAirport& front = g_parkAirports.front();
    if (!lf_inRange(front.distance) || d < front.distance) return;
    gf_logLine(fmt::format("\n{} {} is in sight ({:.1F} nm), parked aircraft at {} will be removed first",
                           gf_logStamp(), front.code, front.distance, gf_airportLabel(g_parkAirport)));
    lf_dropParkAirport();
}

bool lf_setParkAirport(std::string_view code) {
    const Airport* airport = gf_findAirport(code);
    if (!airport) return false;
    g_parkAirport = *airport;
    gf_logLine(fmt::format("\nThe park airport is {}", gf_airportLabel(g_parkAirport)));
    gf_setParkAirportSet(true);
    gf_editStats([](WindowStats& s) { s.parkAirportLabel = gf_airportLabel(g_parkAirport); });
    lf_publishParkSite();
    return true;
}

void lf_loadParkAirport(bool now) {
    // Loaded at once too, the first plan must know the live aircraft standing on its stands.
    lf_beginParkingCalculation(false);
    if (!now) {
        g_parkLoadPending = true;
        lf_askParkedFileAhead();
        return;
    }
    g_parkLoadPending = false;
    lf_loadParkedFileNow();
}

void lf_beginParkingCalculation(bool showMessage) {
    gf_lockParkingControls();
    gf_startCallsignGathering();
    if (showMessage) gf_showMessage("Calculating static parked aircraft ...", false);
}

std::string lf_readParkedFile() {
    gf_clearStands();
    const std::string& code = g_parkAirport.code;
    const std::string location = gf_findApf(code);
    std::string error;
    QualityPair quality;
    if (const std::optional<SiteAnswer> held = location.empty() ? gf_siteHoldsBack(code) : std::nullopt) {
        error = fmt::format("{} {}: airport file not available: {}", "lf_readParkedFile", code, held->reason);
    } else if (location.empty()) {
        error = fmt::format("{} {} not found", "lf_readParkedFile", code);
    } else if (location.find("unknown") != std::string::npos) {
        error = fmt::format("{} {} has publisher:{}, {}", "lf_readParkedFile", code, "unknown", location);
    } else {
        g_parkFileHeader = ParkFileHeader{};
        gf_readApf(code, location, error, g_parkFileHeader, quality);
    }
    if (error.empty()) {
        g_parkAirport.alt = g_parkFileHeader.altitude;
        lf_chooseSoftLearning(quality);
        lf_rememberParkAirportStand();
        g_stands.shrink_to_fit();
        lf_takeReservedStand();
    }
    gf_editStats([&](WindowStats& s) {
        s.loadedMark = error.empty();
        s.loadedText1 = error.empty() ? g_parkFileHeader.airport_name : "";
    });
    g_parkFileUpdates = 0;
    lf_publishParkSite();
    return error;
}

void lf_resetStaticParking() {
    if (g_staticParkingOn && (g_parkParamsChanged || g_parkFileUpdates > 0)) {
        gf_saveApf();
        g_parkFileUpdates = 0;
    }
    g_apfHandmade = false;
    g_rtTrafficWeek = 0;
    g_staticParkingOn = false;
    gf_setEnabled(ctl::kFlushStatic, false);
    gf_setEnabled(ctl::kParkingPercentage, false);
    g_parkAirport = Airport{};
    gf_clearParkAirport();
    lf_markReserved(g_reservedStand, false);
    g_reservedStand.clear();
    g_parkedFileRead = false;
    gf_clearStands();
    gf_editStats(
        [](WindowStats& s) {
            s.staticParkedCount = 0;
            s.parkAirportLabel.clear();
            s.reservedMark = false;
            s.loadedMark = false;
            s.loadedText1.clear();
            s.loadedText2.clear();
        },
        Region::ParkingBand);
    lf_publishParkSite();
}

bool gf_checkParkAirports(bool checkStand, std::string& out) {
    if (!lf_readMyParkAirports()) return false;
    if (checkStand && g_userOnGroundKnown && !g_parkingControlsLocked && !g_parkAirports.empty() &&
        g_parkAirports.front().code == g_parkAirport.code && !g_parkAirport.code.empty() &&
        gf_nearestStandName(lf_userLatLon()).empty()) {
        const std::string& stand = g_parkAirports.front().stand;
        if (!stand.empty() && stand != g_reservedStand) {
            out = fmt::format("reserved stand changed from '{}' to '{}'", g_reservedStand, stand);
            lf_markReserved(g_reservedStand, false);
            g_reservedStand = stand;
            lf_markReserved(g_reservedStand, true);
            gf_editStats([](WindowStats& s) { s.reservedMark = true; });
            lf_publishParkSite();
            gf_clearReservedStand();
        }
    }
    if (out.empty()) out = "park airports and stands are okay";
    return true;
}

void gf_rememberUserStand() {
    const UserSnapshot user = gf_requestUserPosition();
    if (!g_userOnGroundKnown || user.groundSpeedKt > kStandStillKt) return;
    std::string name = gf_nearestStandName({user.lat, user.lon});
    if (name.empty()) return;
    {
        std::lock_guard lock(g_rememberedMutex);
        g_rememberedStand = std::move(name);
    }
    gf_postRunRequest(RunRequest::RememberUserStand);
}

void lf_storeRememberedStand() {
    std::string name;
    {
        std::lock_guard lock(g_rememberedMutex);
        name.swap(g_rememberedStand);
    }
    if (name.empty() || g_parkAirports.empty() || g_parkAirport.code.empty()) return;
    ParkAirport& front = g_parkAirports.front();
    if (front.code != g_parkAirport.code || front.stand == name) return;
    front.stand = name;
    gf_saveMyParkAirports();
}

void gf_lockParkingControls() {
    // Locked already, the time controls are disabled by the lock itself.
    const bool lockedBefore = g_parkingControlsLocked.exchange(true);
    for (int id : kLockedFirst) gf_setEnabled(id, false);
    for (size_t i = 0; i < std::size(kTimeControls); ++i) {
        if (!lockedBefore) g_timeControlsEnabled[i] = gf_controlState(kTimeControls[i]).enabled;
        gf_setEnabled(kTimeControls[i], false);
    }
    for (int id : kLockedLast) gf_setEnabled(id, false);
    gf_clearMessage();
    gf_repaint(Region::ParkingBand);
}

void gf_unlockParkingControls() {
    g_parkingControlsLocked = false;
    gf_editStats([](WindowStats& s) { s.countdownMinutes = 19; });
    gf_setEnabled(ctl::kMaxParkSel, true);
    gf_setEnabled(ctl::kMaxLiveSel, true);
    lf_restoreTimeControls();
    gf_setEnabled(ctl::kRtParkTrafficOnly, true);
    gf_enableParkingControls();
    gf_setEnabled(ctl::kFlushStatic, true);
    gf_setEnabled(ctl::kRereadParkAirports, true);
    gf_clearMessage();
    gf_repaint(Region::ParkingBand);
}

void gf_resetParkingForNewFlight() {
    // Closing down ends static parking: what was learned is saved before the stands go.
    try {
        if (g_staticParkingOn) lf_resetStaticParking();
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("{}: {}", "gf_resetParkingForNewFlight", e.what()));
        g_staticParkingOn = false;
    }
    g_parkAirport = Airport{};
    gf_clearParkAirport();
    g_parkAirports.clear();
    g_failedParkAirports.clear();
    g_reservedStand.clear();
    g_parkLoadPending = false;
    g_parkedFileRead = false;
    g_lastWatchPosition = {};
    // The time controls do not belong to static parking: the next run finds them as they were.
    if (g_parkingControlsLocked.exchange(false)) {
        lf_restoreTimeControls();
        gf_repaint(Region::ParkingBand);
    }
    g_parkFileHeader = ParkFileHeader{};
    g_parkFileHeader.altitude = -1;
    g_parkFileUpdates = 0;
    gf_clearStands();
    {
        std::lock_guard lock(g_rememberedMutex);
        g_rememberedStand.clear();
    }
    gf_setParkSite({});
}
