// The command lists the run thread fills for the simulator thread, the event queue the simulator
// thread fills for the run thread, and their two locks. Whoever holds both takes
// g_simEventMutex first; the simulator thread never pushes an event while it holds the command lock.
#pragma once
#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_calls.h"

// One AI create waiting to be sent.
struct AiCreateRec {
    double lat = 0, lon = 0;                  // degrees
    double altitude = 0;                      // feet
    double pitch = 0, bank = 0, heading = 0;  // degrees
    uint32_t onGround = 0;
    uint32_t airspeed = 0;         // knots
    std::string callsign;          // sent as the tail number: the ATC ID the object is found by
    std::string_view liveryTitle;  // view into the livery tables (they live for the process)
    uint32_t hexid = 0;
};

// One position of a live aircraft for one tick: the eight doubles of its position block.
struct PosUpdateRec {
    double lat = 0, lon = 0;                  // degrees
    double pitch = 0, bank = 0, heading = 0;  // radians
    double altitude = 0;                      // feet
    double verticalSpeed = 0;                 // feet per second
    double trueAirspeed = 0;                  // knots
    uint32_t objectId = 0;
};

struct ClientEventCmd {
    uint32_t objectId = 0;
    uint32_t eventId = 0;  // a SimClientEvent
    uint32_t data = 0;
};

// Data definition 401 for one object, sent after the client events queued before it.
struct DataSetCmd {
    uint32_t objectId = 0;
    SimSpoilerThrottleBlock values{};
    size_t afterEvents = 0;  // number of client events queued before this entry
};

// One report of the simulator thread to the run thread.
struct SimEventRec {
    uint32_t objectId = 0;
    uint32_t hexid = 0;   // kind 3: 1 when the object is on the ground
    int32_t counter = 0;  // ticks waited for activation (run thread); -1 done
    uint32_t kind = 0;    // SimEventKind
    double value1 = 0;    // kind 3: ground elevation ft; kind 4: static CG height ft
    double value2 = 0;    // kinds 0, 1, 3: height above ground ft; kind 4: static pitch rad
};
static_assert(sizeof(SimEventRec) == 32, "event records are 32 bytes");

enum SimEventKind : uint32_t {
    kEvLiveCreated = 0,    // a live create was found by its ATC ID in an object scan
    kEvStaticCreated = 1,  // a static create was found
    kEvRemoved = 2,        // an object left the simulator
    kEvObjectScan = 3,     // an AI object within 2500 ft of the ground
    kEvStaticCg = 4,       // static centre-of-gravity reply
    kEvBlock = 5,          // the user blocked a callsign (hexid of the record)
    kEvCreateFailed = 6,   // the simulator refused a create (hexid of the record)
};

// Client events, mapped to the simulator's events of the same name at set-up.
enum class SimClientEvent : uint32_t {
    EngineAutoStart = 200,
    EngineAutoShutdown,
    ThrottleSet,
    FlapsSet,
    SpoilersSet,
    GearSet,
    AllLightsToggle,
    NavLightsSet,
    BeaconLightsSet,
    LandingLightsSet,
    TaxiLightsSet,
    StrobesSet,
    LogoLightsSet,
    CabinLightsSet,
};
inline constexpr int kClientEventCount = 14;
// The simulator's name of a client event ("ENGINE_AUTO_START", "NAV_LIGHTS_SET", ...).
const char* gf_clientEventName(SimClientEvent event);

// Everything guarded by g_simCommandMutex. The run thread appends to positions[writingHalf]
// without the lock (that half is its own); the simulator thread sends the other half.
struct SimCommandLists {
    std::vector<AiCreateRec> creates;
    std::vector<uint32_t> removes;
    std::vector<ClientEventCmd> clientEvents;
    std::vector<DataSetCmd> dataSets;
    std::array<std::vector<PosUpdateRec>, 2> positions;
    int writingHalf = 0;
};

// Appends a create (takes the command lock).
void gf_queueCreate(const AiCreateRec& rec);
// Appends an object id to the remove list (takes the command lock).
void gf_queueRemove(uint32_t objectId);
// Appends a client event (takes the command lock).
void gf_queueClientEvent(uint32_t objectId, SimClientEvent event, uint32_t data);
// NAV, BEACON, LANDING, TAXI, STROBES, LOGO, CABIN in that order, under one hold of the lock.
void gf_queueLights(uint32_t objectId, const std::array<uint32_t, 7>& values);
void gf_queueCabinLights(uint32_t objectId, uint32_t value);
// Data definition 401 for the object, sent in order with the client events.
void gf_queueData401(uint32_t objectId, double spoilersPct, double throttle1Pct, double throttle2Pct);

// Run thread: appends one position to the writing half.
void gf_appendPosition(const PosUpdateRec& rec);
// Run thread, once per tick: hands the writing half over. When the simulator thread holds the
// lock and the frame rate is 50 or less the tick's positions are dropped (false); else it waits.
bool gf_handOverPositions();
// Empties both halves (under the command lock).
void gf_clearPositionBuffers();

// Pushes one event under g_simEventMutex.
void gf_pushSimEvent(const SimEventRec& rec);
// The traffic decoder met a record whose callsign is BLOCK_CALLSIGN: kind 5 with its hexid.
void gf_pushBlockEvent(uint32_t hexid);

// Per-run reset: command lists, position halves and the event queue emptied.
void gf_resetSimLists();

extern std::mutex g_simCommandMutex;
extern std::mutex g_simEventMutex;
// Guarded by g_simCommandMutex.
extern SimCommandLists g_simCommands;
// Guarded by g_simEventMutex; the run thread drains it.
extern std::vector<SimEventRec> g_simEventQueue;
// The connection; set and cleared by the simulator thread under g_simCommandMutex, used by
// the run thread's direct calls under the same lock. Null while not connected.
extern HANDLE g_hSimConnect;
