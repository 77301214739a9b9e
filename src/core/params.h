// The parameter records: one global record per setting, named by its key in parameters.xml.
// Defined in params.cpp; parameters.xml is read and written by params_file.cpp. The window
// model binds the records that have a control id. Values are safe to read from any thread.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class ParamKind { Int, Float, Bool, Text };

// Common part of every record: name, control and text form for parameters.xml.
class Parameter {
public:
    Parameter(const char* name, int controlId, bool persisted);
    virtual ~Parameter() = default;
    Parameter(const Parameter&) = delete;
    Parameter& operator=(const Parameter&) = delete;

    const char* name() const { return name_; }
    // Id of the window control bound to this record; 0 when none.
    int controlId() const { return controlId_; }
    // Saved in parameters.xml (the meta-entry records are not).
    bool persisted() const { return persisted_; }
    virtual ParamKind kind() const = 0;
    // The value as parameters.xml holds it ("true"/"false" for bools).
    virtual std::string valueText() const = 0;
    // Parses a stored value (integers clamped to their range); false when it does not parse,
    // the value then unchanged.
    virtual bool setFromText(std::string_view text) = 0;
    virtual void resetToDefault() = 0;

private:
    const char* name_;
    int controlId_;
    bool persisted_;
};

class IntParameter : public Parameter {
public:
    IntParameter(const char* name, int def, int min, int max, std::vector<int> choices = {}, int controlId = 0);
    int value() const { return value_.load(); }
    // Sets the value clamped to [min, max].
    void set(int v);
    int def() const { return def_; }
    int min() const { return min_; }
    int max() const { return max_; }
    // The combo box's choices, in list order; empty for a plain value.
    const std::vector<int>& choices() const { return choices_; }
    // Position of the current value in the choices; -1 when it is not one of them.
    int choiceIndex() const;
    ParamKind kind() const override { return ParamKind::Int; }
    std::string valueText() const override;
    bool setFromText(std::string_view text) override;
    void resetToDefault() override { value_ = def_; }

private:
    int def_, min_, max_;
    std::vector<int> choices_;
    std::atomic<int> value_;
};

class FloatParameter : public Parameter {
public:
    FloatParameter(const char* name, double def, std::vector<double> choices = {}, int controlId = 0);
    double value() const { return value_.load(); }
    void set(double v) { value_ = v; }
    double def() const { return def_; }
    const std::vector<double>& choices() const { return choices_; }
    int choiceIndex() const;
    ParamKind kind() const override { return ParamKind::Float; }
    std::string valueText() const override;
    bool setFromText(std::string_view text) override;
    void resetToDefault() override { value_ = def_; }

private:
    double def_;
    std::vector<double> choices_;
    std::atomic<double> value_;
};

class BoolParameter : public Parameter {
public:
    BoolParameter(const char* name, bool def, int controlId = 0);
    bool value() const { return value_.load(); }
    void set(bool v) { value_ = v; }
    bool def() const { return def_; }
    ParamKind kind() const override { return ParamKind::Bool; }
    std::string valueText() const override { return value() ? "true" : "false"; }
    bool setFromText(std::string_view text) override;
    void resetToDefault() override { value_ = def_; }

private:
    bool def_;
    std::atomic<bool> value_;
};

class TextParameter : public Parameter {
public:
    TextParameter(const char* name, std::string def, int controlId = 0, bool persisted = true);
    std::string value() const;
    void set(std::string v);
    const std::string& def() const { return def_; }
    ParamKind kind() const override { return ParamKind::Text; }
    std::string valueText() const override { return value(); }
    bool setFromText(std::string_view text) override;
    void resetToDefault() override { set(def_); }

private:
    std::string def_;
    mutable std::mutex mutex_;
    std::string value_;
};

// Every record in definition order (the order of parameters.xml).
std::span<Parameter* const> gf_allParameters();
// The record with that key; nullptr when there is none.
Parameter* gf_findParameter(std::string_view name);
// The record bound to that window control; nullptr when there is none.
Parameter* gf_parameterOfControl(int controlId);
// Every record back to its default (whole-process reset for tests).
void gf_resetParameters();

// Traffic range and live aircraft.
extern IntParameter RANGE;                  // nm, the traffic query radius is value x 1852 m
extern BoolParameter AUTO_RANGE;
extern IntParameter LATERAL_RANGE;
extern IntParameter MAX_LIVE_SEL;           // most live aircraft in the simulator
extern IntParameter MAX_LIVE;
extern IntParameter MAX_PARK_SEL;           // most static parked aircraft
// Static parking.
extern IntParameter CUSTOM_PARKING_PERCENTAGE;  // -1: not set
extern IntParameter parking_percentage;     // 0..100 in steps of 5
extern IntParameter MAX_FIT;                // half-hours
extern FloatParameter MAX_FIT_FL;           // hours
extern BoolParameter WEEK;
extern BoolParameter PARK_SOFT;
extern BoolParameter PARK_FAKE;
extern BoolParameter INITIAL_LOAD_ONLY;
extern BoolParameter RT_PARKTRAFFIC_ONLY;
extern BoolParameter LEARN_SOFT;
extern IntParameter AIRP_RANGE;             // nm
extern IntParameter AIRP_HEIGHT;            // ft
extern TextParameter DESTINATION;
// Matching.
extern IntParameter MATCHING_DEPTH;
extern BoolParameter LIGHT_AIRCRAFT;
extern BoolParameter HIGH_PERF_AIRCRAFT;
extern BoolParameter HELICOPTERS;
// Live traffic behaviour.
extern BoolParameter AIRBORNE_ONLY;
extern BoolParameter GUID_CHANGES;
extern BoolParameter NAV_LIGHTS_WHILE_PARKED;
extern BoolParameter STRAIGHT_PBS_ONLY;
extern BoolParameter COLLISION_USER_AIR;
extern BoolParameter COLLISION_USER_GND;
extern BoolParameter COLLISION_LIVE_PARKED_GND;
extern BoolParameter LOG;
extern TextParameter BLOCK_CALLSIGN;
extern IntParameter HOLDING_THRESHOLD_METERS;
extern IntParameter MAX_HOLDING_MINUTES;
// Scans.
extern BoolParameter SCAN_LIVERIES;
extern BoolParameter LIG_AUTOMATIC;
extern BoolParameter LIG_PRIORITIZE;
extern BoolParameter SCAN_AIRPORTS;
extern BoolParameter AFG_AUTOMATIC;
extern TextParameter lfolder0, lfolder1, lfolder2, lfolder3, lfolder4, lfolder5, lfolder6, lfolder7, lfolder8,
    lfolder9;
extern TextParameter afolder0, afolder1, afolder2, afolder3, afolder4, afolder5, afolder6, afolder7, afolder8,
    afolder9;
// Simulator and time.
extern TextParameter SIM_INSTALL_PATH;
extern IntParameter P3D_VERSION;
extern BoolParameter SIM_TIME;
extern BoolParameter KEEP_SIM_TIME_PAR;
extern IntParameter TIME_SHIFT_DAYS;
extern IntParameter TIME_SHIFT_HOURS;
extern IntParameter TIME_SHIFT_MINS;
extern FloatParameter LAST_EPOCH_TIME;      // UTC seconds when the previous run ended
// Meta entries of a loaded XML file (not saved in parameters.xml).
extern TextParameter author;
extern TextParameter date;
extern TextParameter version;

// The ten folder records of each scan, in order.
std::span<TextParameter* const> gf_liveryFolderParams();
std::span<TextParameter* const> gf_airportFolderParams();

// Window control ids of the bound records (check boxes, combo boxes, edit boxes).
namespace ctl {
enum : int {
    kRange = 1001, kAutoRange, kMaxLiveSel, kMaxParkSel, kParkingPercentage, kMaxFitFl, kWeek, kParkSoft,
    kParkFake, kInitialLoadOnly, kRtParkTrafficOnly, kLearnSoft, kAirpRange, kAirpHeight, kDestination,
    kMatchingDepth, kLightAircraft, kHighPerfAircraft, kHelicopters, kAirborneOnly, kGuidChanges,
    kNavLightsWhileParked, kStraightPbsOnly, kCollisionUserAir, kCollisionUserGnd, kCollisionLiveParkedGnd,
    kLog, kBlockCallsign, kScanLiveries, kLigAutomatic, kLigPrioritize, kScanAirports, kAfgAutomatic,
    kSimTime, kKeepSimTimePar, kTimeShiftDays, kTimeShiftHours, kTimeShiftMins,
};
}  // namespace ctl
