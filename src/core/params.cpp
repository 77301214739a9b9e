#include "core/params.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include <fmt/format.h>

namespace {

// Filled by the record constructors in definition order; the records below are defined in
// this one file, so that order is fixed.
std::vector<Parameter*>& lf_registry() {
    static std::vector<Parameter*> registry;
    return registry;
}

std::string_view lf_trimmed(std::string_view t) {
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front()))) t.remove_prefix(1);
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back()))) t.remove_suffix(1);
    return t;
}

template <class T>
int lf_indexOf(const std::vector<T>& list, T v) {
    auto it = std::find(list.begin(), list.end(), v);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

std::vector<int> lf_steps(int from, int to, int step) {
    std::vector<int> out;
    for (int v = from; v <= to; v += step) out.push_back(v);
    return out;
}

const std::vector<int> kRangeChoices{2, 3, 4, 5, 6, 8, 10, 12, 14, 16, 18, 20, 25, 30, 35, 40, 50, 65, 80, 100};
const std::vector<int> kMaxSelChoices{0, 10, 25, 50, 75, 100, 500};

}  // namespace

Parameter::Parameter(const char* name, int controlId, bool persisted)
    : name_(name), controlId_(controlId), persisted_(persisted) {
    lf_registry().push_back(this);
}

IntParameter::IntParameter(const char* name, int def, int min, int max, std::vector<int> choices, int controlId)
    : Parameter(name, controlId, true), def_(def), min_(min), max_(max), choices_(std::move(choices)), value_(def) {}

void IntParameter::set(int v) { value_ = std::clamp(v, min_, max_); }

int IntParameter::choiceIndex() const { return lf_indexOf(choices_, value()); }

std::string IntParameter::valueText() const { return std::to_string(value()); }

bool IntParameter::setFromText(std::string_view text) {
    text = lf_trimmed(text);
    long long v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return false;
    set(static_cast<int>(std::clamp<long long>(v, min_, max_)));
    return true;
}

FloatParameter::FloatParameter(const char* name, double def, std::vector<double> choices, int controlId)
    : Parameter(name, controlId, true), def_(def), choices_(std::move(choices)), value_(def) {}

int FloatParameter::choiceIndex() const { return lf_indexOf(choices_, value()); }

std::string FloatParameter::valueText() const { return fmt::format("{}", value()); }

bool FloatParameter::setFromText(std::string_view text) {
    text = lf_trimmed(text);
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() || !std::isfinite(v)) return false;
    set(v);
    return true;
}

BoolParameter::BoolParameter(const char* name, bool def, int controlId)
    : Parameter(name, controlId, true), def_(def), value_(def) {}

bool BoolParameter::setFromText(std::string_view text) {
    text = lf_trimmed(text);
    if (text == "true" || text == "1") {
        set(true);
        return true;
    }
    if (text == "false" || text == "0") {
        set(false);
        return true;
    }
    return false;
}

TextParameter::TextParameter(const char* name, std::string def, int controlId, bool persisted)
    : Parameter(name, controlId, persisted), def_(def), value_(std::move(def)) {}

std::string TextParameter::value() const {
    std::lock_guard lock(mutex_);
    return value_;
}

void TextParameter::set(std::string v) {
    std::lock_guard lock(mutex_);
    value_ = std::move(v);
}

bool TextParameter::setFromText(std::string_view text) {
    set(std::string(text));
    return true;
}

std::span<Parameter* const> gf_allParameters() { return lf_registry(); }

Parameter* gf_findParameter(std::string_view name) {
    for (Parameter* p : lf_registry())
        if (name == p->name()) return p;
    return nullptr;
}

Parameter* gf_parameterOfControl(int controlId) {
    if (controlId == 0) return nullptr;
    for (Parameter* p : lf_registry())
        if (p->controlId() == controlId) return p;
    return nullptr;
}

void gf_resetParameters() {
    for (Parameter* p : lf_registry()) p->resetToDefault();
}

// The records, in the order parameters.xml lists them.
IntParameter RANGE("RANGE", 40, 2, 100, kRangeChoices, ctl::kRange);
BoolParameter AUTO_RANGE("AUTO_RANGE", true, ctl::kAutoRange);
IntParameter LATERAL_RANGE("LATERAL_RANGE", 40, 2, 100);
IntParameter MAX_LIVE_SEL("MAX_LIVE_SEL", 500, 0, 500, kMaxSelChoices, ctl::kMaxLiveSel);
IntParameter MAX_LIVE("MAX_LIVE", -1, -1, 300);
IntParameter MAX_PARK_SEL("MAX_PARK_SEL", 500, 0, 500, kMaxSelChoices, ctl::kMaxParkSel);
IntParameter CUSTOM_PARKING_PERCENTAGE("CUSTOM_PARKING_PERCENTAGE", -1, -1, 100);
IntParameter parking_percentage("parking_percentage", 0, 0, 100, lf_steps(0, 100, 5), ctl::kParkingPercentage);
IntParameter MAX_FIT("MAX_FIT", 47, 0, 47);
FloatParameter MAX_FIT_FL("MAX_FIT_FL", 21.0,
                          {0.5, 1, 1.5, 2, 2.5, 3, 3.5, 4, 4.5, 5, 6, 7, 8, 9, 10, 12, 15, 18, 21, 24},
                          ctl::kMaxFitFl);
BoolParameter WEEK("WEEK", false, ctl::kWeek);
BoolParameter PARK_SOFT("PARK_SOFT", true, ctl::kParkSoft);
BoolParameter PARK_FAKE("PARK_FAKE", false, ctl::kParkFake);
BoolParameter INITIAL_LOAD_ONLY("INITIAL_LOAD_ONLY", false, ctl::kInitialLoadOnly);
BoolParameter RT_PARKTRAFFIC_ONLY("RT_PARKTRAFFIC_ONLY", false, ctl::kRtParkTrafficOnly);
BoolParameter LEARN_SOFT("LEARN_SOFT", true, ctl::kLearnSoft);
IntParameter AIRP_RANGE("AIRP_RANGE", 20, 5, 30, {5, 10, 15, 20, 25, 30}, ctl::kAirpRange);
IntParameter AIRP_HEIGHT("AIRP_HEIGHT", 18000, 2000, 48000,
                         {2000, 4000, 6000, 8000, 10000, 12000, 14000, 16000, 18000, 36000, 48000},
                         ctl::kAirpHeight);
TextParameter DESTINATION("DESTINATION", "", ctl::kDestination);
IntParameter MATCHING_DEPTH("MATCHING_DEPTH", 4, 1, 4, {1, 2, 3, 4}, ctl::kMatchingDepth);
BoolParameter LIGHT_AIRCRAFT("LIGHT_AIRCRAFT", true, ctl::kLightAircraft);
BoolParameter HIGH_PERF_AIRCRAFT("HIGH_PERF_AIRCRAFT", true, ctl::kHighPerfAircraft);
BoolParameter HELICOPTERS("HELICOPTERS", true, ctl::kHelicopters);
BoolParameter AIRBORNE_ONLY("AIRBORNE_ONLY", false, ctl::kAirborneOnly);
BoolParameter GUID_CHANGES("GUID_CHANGES", true, ctl::kGuidChanges);
BoolParameter NAV_LIGHTS_WHILE_PARKED("NAV_LIGHTS_WHILE_PARKED", true, ctl::kNavLightsWhileParked);
BoolParameter STRAIGHT_PBS_ONLY("STRAIGHT_PBS_ONLY", false, ctl::kStraightPbsOnly);
BoolParameter COLLISION_USER_AIR("COLLISION_USER_AIR", true, ctl::kCollisionUserAir);
BoolParameter COLLISION_USER_GND("COLLISION_USER_GND", true, ctl::kCollisionUserGnd);
BoolParameter COLLISION_LIVE_PARKED_GND("COLLISION_LIVE_PARKED_GND", false, ctl::kCollisionLiveParkedGnd);
BoolParameter LOG("LOG", true, ctl::kLog);
TextParameter BLOCK_CALLSIGN("BLOCK_CALLSIGN", "", ctl::kBlockCallsign);
IntParameter HOLDING_THRESHOLD_METERS("HOLDING_THRESHOLD_METERS", 250, 10, 4000);
IntParameter MAX_HOLDING_MINUTES("MAX_HOLDING_MINUTES", 20, 1, 60);
BoolParameter SCAN_LIVERIES("SCAN_LIVERIES", true, ctl::kScanLiveries);
BoolParameter LIG_AUTOMATIC("LIG_AUTOMATIC", true, ctl::kLigAutomatic);
BoolParameter LIG_PRIORITIZE("LIG_PRIORITIZE", false, ctl::kLigPrioritize);
BoolParameter SCAN_AIRPORTS("SCAN_AIRPORTS", true, ctl::kScanAirports);
BoolParameter AFG_AUTOMATIC("AFG_AUTOMATIC", true, ctl::kAfgAutomatic);
TextParameter lfolder0("lfolder0", ""), lfolder1("lfolder1", ""), lfolder2("lfolder2", ""),
    lfolder3("lfolder3", ""), lfolder4("lfolder4", ""), lfolder5("lfolder5", ""), lfolder6("lfolder6", ""),
    lfolder7("lfolder7", ""), lfolder8("lfolder8", ""), lfolder9("lfolder9", "");
TextParameter afolder0("afolder0", ""), afolder1("afolder1", ""), afolder2("afolder2", ""),
    afolder3("afolder3", ""), afolder4("afolder4", ""), afolder5("afolder5", ""), afolder6("afolder6", ""),
    afolder7("afolder7", ""), afolder8("afolder8", ""), afolder9("afolder9", "");
TextParameter SIM_INSTALL_PATH("SIM_INSTALL_PATH", "");
IntParameter P3D_VERSION("P3D_VERSION", 5, 5, 6);
BoolParameter SIM_TIME("SIM_TIME", false, ctl::kSimTime);
BoolParameter KEEP_SIM_TIME_PAR("KEEP_SIM_TIME_PAR", false, ctl::kKeepSimTimePar);
IntParameter TIME_SHIFT_DAYS("TIME_SHIFT_DAYS", 0, 0, 13, lf_steps(0, 13, 1), ctl::kTimeShiftDays);
IntParameter TIME_SHIFT_HOURS("TIME_SHIFT_HOURS", 0, 0, 23, lf_steps(0, 23, 1), ctl::kTimeShiftHours);
IntParameter TIME_SHIFT_MINS("TIME_SHIFT_MINS", 0, 0, 59, lf_steps(0, 59, 1), ctl::kTimeShiftMins);
FloatParameter LAST_EPOCH_TIME("LAST_EPOCH_TIME", 0.0);
TextParameter author("author", "", 0, false);
TextParameter date("date", "", 0, false);
TextParameter version("version", "", 0, false);

std::span<TextParameter* const> gf_liveryFolderParams() {
    static TextParameter* const list[] = {&lfolder0, &lfolder1, &lfolder2, &lfolder3, &lfolder4,
                                          &lfolder5, &lfolder6, &lfolder7, &lfolder8, &lfolder9};
    return list;
}

std::span<TextParameter* const> gf_airportFolderParams() {
    static TextParameter* const list[] = {&afolder0, &afolder1, &afolder2, &afolder3, &afolder4,
                                          &afolder5, &afolder6, &afolder7, &afolder8, &afolder9};
    return list;
}
