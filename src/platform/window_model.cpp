#include "platform/window_model.h"

#include <array>
#include <map>
#include <mutex>

#include <fmt/format.h>

#include "core/display.h"
#include "core/params.h"

namespace {

std::mutex g_windowMutex;  // taken for one read or write
std::map<int, ControlState> g_controls;

// The options whose controls follow RT_PARKTRAFFIC_ONLY.
const std::array<int, 6> kParkingControls{ctl::kParkingPercentage, ctl::kMaxFitFl, ctl::kInitialLoadOnly,
                                          ctl::kParkSoft,          ctl::kParkFake, ctl::kWeek};

std::string lf_floatOrDash(float v) {
    return v < 0 ? std::string("-") : fmt::format("{:.0f}", v);
}

}  // namespace

ControlState gf_controlState(int controlId) {
    std::lock_guard lock(g_windowMutex);
    auto it = g_controls.find(controlId);
    return it == g_controls.end() ? ControlState{} : it->second;
}

void gf_setChecked(int controlId, bool checked) {
    std::lock_guard lock(g_windowMutex);
    g_controls[controlId].checked = checked;
}

void gf_setEnabled(int controlId, bool enabled) {
    std::lock_guard lock(g_windowMutex);
    g_controls[controlId].enabled = enabled;
}

void gf_setSelected(int controlId, int index) {
    std::lock_guard lock(g_windowMutex);
    g_controls[controlId].selected = index;
}

void gf_setControlText(int controlId, std::string text) {
    std::lock_guard lock(g_windowMutex);
    g_controls[controlId].text = std::move(text);
}

void gf_showIntParameter(const IntParameter& record) {
    if (record.controlId() == 0) return;
    if (record.choices().empty()) return gf_setControlText(record.controlId(), record.valueText());
    gf_setSelected(record.controlId(), record.choiceIndex());
}

void gf_enableParkingControls() {
    bool enable = !RT_PARKTRAFFIC_ONLY.value();
    for (int id : kParkingControls) gf_setEnabled(id, enable);
    gf_repaint(Region::ParkingBand);
}

void gf_setRange(int rangeNm) {
    RANGE.set(rangeNm);
    gf_setSelected(ctl::kRange, RANGE.choiceIndex());
    g_rangeNm = static_cast<double>(RANGE.value());
}

std::string gf_statusLine() {
    WindowStats s = gf_windowStats();
    return fmt::format(
        "live: {} | # liveries: {} | park airport: {} | stands: {} | static parked: {} (avg {} min) | live "
        "parked: {} (avg {} min) | wanted: {} ({}%) | renewal in {} min{}{}",
        s.liveCount, s.liveryCount, s.parkAirportLabel.empty() ? "-" : s.parkAirportLabel, s.standCount,
        s.staticParkedCount, lf_floatOrDash(s.staticParkedAvgMinutes), s.liveParkedCount,
        lf_floatOrDash(s.liveParkedAvgMinutes), s.wantedCount, s.wantedPercent, s.countdownMinutes,
        s.statusText.empty() ? "" : " | ", s.statusText);
}

void gf_resetWindowModel() {
    std::lock_guard lock(g_windowMutex);
    g_controls.clear();
}
