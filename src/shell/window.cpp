#include "shell/window.h"

#include <algorithm>
#include <cmath>

#include "airports/apf_read.h"
#include "core/display.h"
#include "core/params.h"
#include "core/run_requests.h"
#include "core/text.h"
#include "live/stand_choice.h"
#include "platform/window_model.h"
#include "shell/run_thread.h"
#include "sim/sim_state.h"
#include "static/live_parked.h"

namespace {

constexpr const char* kLiveriesWillBeScanned = "Your liveries will be scanned";

// The options that change which aircraft stand where: the next renewal refits every stand.
bool lf_changesStaticParking(int controlId) {
    switch (controlId) {
        case ctl::kWeek:
        case ctl::kParkSoft:
        case ctl::kParkFake:
        case ctl::kRtParkTrafficOnly:
            return true;
        default:
            return false;
    }
}

// The settings a learned parking file keeps for its airport: a change the user makes must reach
// the next save, or the next read of the airport puts the old value back.
constexpr int kLearnedParkingSettings[] = {ctl::kParkSoft,          ctl::kWeek,
                                           ctl::kParkFake,          ctl::kInitialLoadOnly,
                                           ctl::kLearnSoft,         ctl::kRtParkTrafficOnly,
                                           ctl::kParkingPercentage, ctl::kMaxFitFl,
                                           ctl::kMaxLiveSel,        ctl::kRange,
                                           ctl::kAutoRange};

bool lf_isLearnedParkingSetting(int controlId) {
    return std::find(std::begin(kLearnedParkingSettings), std::end(kLearnedParkingSettings), controlId) !=
           std::end(kLearnedParkingSettings);
}

void lf_autoRangeSwitched(bool on) {
    if (on) {
        g_manualRange = RANGE.value();
        return;
    }
    gf_setRange(g_manualRange);
}

void lf_scanLiveriesSwitched(bool on) {
    if (!on || !g_waitingForSim) return;
    // The livery tables belong to the run thread: it clears them at the next start-up.
    gf_postRunRequest(RunRequest::NewLiveryScan);
    gf_showMessage(kLiveriesWillBeScanned, true);
}

// Sets a combo record from the position of the chosen entry; false for a position outside
// the choices.
bool lf_setFromChoice(Parameter& record, int index) {
    if (auto* p = dynamic_cast<IntParameter*>(&record)) {
        if (index < 0 || index >= static_cast<int>(p->choices().size())) return false;
        p->set(p->choices()[index]);
        return true;
    }
    if (auto* p = dynamic_cast<FloatParameter*>(&record)) {
        if (index < 0 || index >= static_cast<int>(p->choices().size())) return false;
        p->set(p->choices()[index]);
        return true;
    }
    return false;
}

void lf_showParameter(const Parameter& record) {
    if (auto* p = dynamic_cast<const IntParameter*>(&record)) return gf_showIntParameter(*p);
    if (auto* p = dynamic_cast<const BoolParameter*>(&record))
        return gf_setChecked(p->controlId(), p->value());
    if (auto* p = dynamic_cast<const FloatParameter*>(&record))
        return gf_setSelected(p->controlId(), p->choiceIndex());
    gf_setControlText(record.controlId(), record.valueText());
}

}  // namespace

void gf_showParameterControls() {
    for (const Parameter* record : gf_allParameters()) {
        if (record->controlId() != 0) lf_showParameter(*record);
    }
    gf_enableParkingControls();
}

void lf_handleCheckBoxes(int controlId, bool checked) {
    auto* record = dynamic_cast<BoolParameter*>(gf_parameterOfControl(controlId));
    if (record == nullptr) return;
    record->set(checked);
    gf_setChecked(controlId, checked);
    if (controlId == ctl::kAutoRange) lf_autoRangeSwitched(checked);
    if (controlId == ctl::kScanLiveries) lf_scanLiveriesSwitched(checked);
    if (controlId == ctl::kRtParkTrafficOnly) gf_enableParkingControls();
    if (lf_changesStaticParking(controlId)) g_fullRenewal = true;
    if (lf_isLearnedParkingSetting(controlId)) g_parkParamsChanged = true;
}

void lf_handleCombos(int controlId, int index) {
    Parameter* record = gf_parameterOfControl(controlId);
    if (record == nullptr || !lf_setFromChoice(*record, index)) return;
    gf_setSelected(controlId, index);
    // The fit and the learned file take MAX_FIT, in half-hours: n hours are 2n - 1 of them.
    if (controlId == ctl::kMaxFitFl) MAX_FIT.set(static_cast<int>(std::lround(MAX_FIT_FL.value() * 2)) - 1);
    if (lf_isLearnedParkingSetting(controlId)) g_parkParamsChanged = true;
    if (controlId == ctl::kRange) gf_setRange(RANGE.value());
    if (controlId == ctl::kMaxLiveSel) {
        // The live aircraft belong to the run thread: it applies the new limit at its next tick.
        g_maxLiveValue = MAX_LIVE_SEL.value();
        gf_postRunRequest(RunRequest::ApplyMaxLive);
    }
}

void lf_handleButtons(int controlId) {
    // The run thread's per-second pass carries the flush out.
    if (controlId == ctl::kFlushStatic) g_flushStaticRequested = true;
    if (controlId != ctl::kRereadParkAirports) return;
    // Both come back when the run thread has read the park airports again.
    gf_setEnabled(ctl::kRereadParkAirports, false);
    gf_setEnabled(ctl::kDestination, false);
    gf_postRunRequest(RunRequest::RereadParkAirports);
}

void lf_handleDestination(std::string_view text) {
    const std::string code = gf_trim(text);
    // An empty entry clears the destination: the park airports are ordered nearest first again.
    if (code == DESTINATION.value()) return;
    DESTINATION.set(code);
    gf_setControlText(ctl::kDestination, code);
    gf_postRunRequest(RunRequest::NewDestination);
}

void lf_handleBlockCallsign(std::string_view text) {
    const std::string callsign = gf_trim(text);
    BLOCK_CALLSIGN.set(callsign);
    gf_setControlText(ctl::kBlockCallsign, callsign);
    if (!callsign.empty()) gf_postRunRequest(RunRequest::BlockCallsign);
}

// The rule: on the ground 10 nm. Airborne within AIRP_RANGE of the park airport and below
// AIRP_HEIGHT 20 nm, so that the traffic of the airport around the user is complete.
// Otherwise by altitude: below 10,000 ft 25 nm, below 25,000 ft 40 nm, higher up 65 nm.
int gf_autoRangeNm(bool onGround, bool nearParkAirport, double altitudeFt) {
    if (onGround) return 10;
    if (nearParkAirport && altitudeFt < AIRP_HEIGHT.value()) return 20;
    if (altitudeFt < 10000) return 25;
    if (altitudeFt < 25000) return 40;
    return 65;
}

void gf_autoRange() {
    UserSnapshot user = gf_requestUserPosition();
    const ParkSite& site = gf_parkSite();
    const bool nearParkAirport =
        !site.code.empty() && gf_haversineNm({user.lat, user.lon}, site.position) <= AIRP_RANGE.value();
    gf_setRange(gf_autoRangeNm(user.onGround, nearParkAirport, user.altitudeFt));
}
