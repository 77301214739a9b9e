// The stand-in simulator: an in-process world built from a Scenario that answers the simulator
// calls of sim/sim_calls.h. Tests step it one frame per call; the program's simulator thread
// steps it at the scenario's frame rate. Its state has its own lock (a leaf: nothing nests in it).
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/scenario.h"
#include "sim/sim_calls.h"

// One AI object as a test reads it.
struct StandinObject {
    uint32_t id = 0;
    std::string title, atcId;
    SimPositionBlock pos{};  // radians for the angles
    bool onGround = false;
    bool visible = false;  // appears in object scans (a few frames after the create)
    int category = 2;      // aircraft category of the title
    bool enginesRunning = false;
    // NAV, BEACON, LANDING, TAXI, STROBES, LOGO, CABIN.
    std::array<bool, 7> lights{};
    uint32_t throttle = 0, flaps = 0, spoilers = 0, gear = 1;  // data of the last client event
    SimSpoilerThrottleBlock levers{};                          // data definition 401
    std::string planDeparture, planDestination;                // the flight plan it was given
};

// A fresh world from the scenario at simulated time 0 (drops any connection).
void gf_standinLoad(const Scenario& scenario);
// Category (0 Light .. 5 Rotorcraft) of a created title; without one every title is Large.
void gf_standinSetCategoryOf(std::function<int(std::string_view title)> categoryOf);
// Advances the world by one frame (1/frame rate of simulated time) and queues its replies.
void gf_standinStepFrame();
// Length in seconds of the next frame at the current (possibly dipped) frame rate.
double gf_standinFrameSeconds();
// Simulated seconds since the world was loaded.
double gf_standinTime();
// Ground elevation, feet: the nearest scenario airport within 30 nm, else sea level.
double gf_standinGroundFt(double lat, double lon);

std::optional<StandinObject> gf_standinObject(uint32_t id);
std::vector<StandinObject> gf_standinObjects();
// Removes asked for ids the world never had.
int gf_standinUnknownRemoves();
// Every command received, in order: "3 NAV_LIGHTS_SET 1", "3 DATA401 100 -100 -100", ...
std::vector<std::string> gf_standinJournal();

// Whole-process reset: no world, no connection, default category.
void gf_resetStandin();

// The answers to the simulator calls (see sim/sim_calls.h).
HRESULT gf_standinOpen(HANDLE* handle);
HRESULT gf_standinClose(HANDLE handle);
HRESULT gf_standinNextReply(HANDLE handle, SimReply* reply);
HRESULT gf_standinMapEvent(HANDLE handle, uint32_t eventId, const char* eventName);
HRESULT gf_standinSubscribe(HANDLE handle, uint32_t eventId, const char* systemEventName);
HRESULT gf_standinRequestData(HANDLE handle, uint32_t requestId, uint32_t defineId, uint32_t objectId,
                              SimPeriod period);
HRESULT gf_standinRequestByType(HANDLE handle, uint32_t requestId, uint32_t defineId, uint32_t radiusMeters);
HRESULT gf_standinSetData(HANDLE handle, uint32_t defineId, uint32_t objectId, uint32_t unitSize,
                          const void* data);
HRESULT gf_standinClientEvent(HANDLE handle, uint32_t objectId, uint32_t eventId, uint32_t data);
HRESULT gf_standinCreate(HANDLE handle, const char* title, const char* tailNumber,
                         const SimInitPosition& init, uint32_t requestId);
HRESULT gf_standinRemove(HANDLE handle, uint32_t objectId);
HRESULT gf_standinFlightPlan(HANDLE handle, uint32_t objectId, const char* path);
