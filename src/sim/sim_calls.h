// The simulator calls of the link, declared as the link and live traffic use them, with the data
// blocks of the program's data definitions. On this machine platform/sim_standin answers them
// (platform/sim_standin_calls.cpp).
// Results: S_OK on success, S_FALSE for "nothing waiting", negative on failure.
#pragma once
#include <cstdint>

using HRESULT = int32_t;
using HANDLE = void*;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);

// Data definitions of the program.
inline constexpr uint32_t kDefPosition = 400;         // SimPositionBlock, per AI object each frame
inline constexpr uint32_t kDefSpoilerThrottle = 401;  // SimSpoilerThrottleBlock
inline constexpr uint32_t kDefUserAircraft = 402;     // SimUserBlock
inline constexpr uint32_t kDefObjectScan = 404;       // SimScanRow
inline constexpr uint32_t kDefStaticCg = 405;         // SimStaticCgBlock

// Request ids.
inline constexpr uint32_t kReqUserAircraft = 100;
inline constexpr uint32_t kReqObjectScan = 101;
inline constexpr uint32_t kReqStaticCg = 102;
inline constexpr uint32_t kReqRemove = 103;
inline constexpr uint32_t kReqFlightPlan = 110;
inline constexpr uint32_t kReqCreateFirst = 1000;  // each create has its own id from here up

// Notification group of the client events sent to AI objects.
inline constexpr uint32_t kGroupAi = 301;
// Object id that names the user aircraft in requests.
inline constexpr uint32_t kObjectIdUser = 0;

// Ids of the simulator's system events the link subscribes to.
enum SimSystemEvent : uint32_t {
    kSysSimStart = 1,       // "SimStart": the flight runs
    kSysSimStop = 2,        // "SimStop": the flight stopped (menu, loading)
    kSysOneSecond = 3,      // "1sec": one simulator second passed
    kSysFrame = 4,          // "Frame": one simulator frame, with its frame rate
    kSysObjectRemoved = 5,  // "ObjectRemoved": an object left the simulator
};

enum class SimPeriod : uint32_t { Once, SimFrame };
enum class SimObjectType : uint32_t { User, Aircraft };

// Definition 400: radians for the angles, feet, feet per second, knots.
struct SimPositionBlock {
    double lat, lon, pitch, bank, heading, altitude, verticalSpeed, trueAirspeed;
};
// Definition 401: "SPOILERS HANDLE POSITION", "GENERAL ENG THROTTLE LEVER POSITION:1" and ":2", percent.
struct SimSpoilerThrottleBlock {
    double spoilersPct, throttle1Pct, throttle2Pct;
};
// Definition 402: the user aircraft.
struct SimUserBlock {
    double lat, lon;              // degrees
    double altitudeFt;            // above sea level
    double pitch, bank, heading;  // radians
    double heightAboveGroundFt;
    double groundSpeedKt;
    double onGround;          // 1 or 0
    double zuluEpochSeconds;  // the simulator's UTC time
};
// Definition 404: one row of an object scan.
struct SimScanRow {
    char atcId[32];   // tail number given at the create, zero-terminated
    double onGround;  // 1 or 0
    double groundElevationFt;
    double heightAboveGroundFt;
};
// Definition 405: the model's static centre of gravity.
struct SimStaticCgBlock {
    double cgHeightFt;
    double pitchRad;
};
// Initial position of an AI create: degrees, feet, knots.
struct SimInitPosition {
    double lat, lon, altitudeFt, pitchDeg, bankDeg, headingDeg;
    uint32_t onGround;
    uint32_t airspeedKt;
};

enum class SimReplyKind : uint32_t {
    Quit,        // the simulator closes
    Event,       // a system event (eventId), with objectId for kSysObjectRemoved
    Frame,       // kSysFrame with frameRate
    ObjectData,  // requestId, objectId and the block of the request's definition
    Exception,   // a request failed: requestId and exception code
};

struct SimReply {
    SimReplyKind kind = SimReplyKind::Event;
    uint32_t eventId = 0;
    uint32_t requestId = 0;
    uint32_t defineId = 0;
    uint32_t objectId = 0;
    uint32_t exception = 0;
    float frameRate = 0;
    SimUserBlock user{};
    SimScanRow row{};
    SimStaticCgBlock cg{};
};

HRESULT SimConnect_Open(HANDLE* handle, const char* name);
HRESULT SimConnect_Close(HANDLE handle);
// S_OK with the next reply, S_FALSE when none waits, negative when the connection broke.
HRESULT SimConnect_GetNextDispatch(HANDLE handle, SimReply* reply);
HRESULT SimConnect_MapClientEventToSimEvent(HANDLE handle, uint32_t eventId, const char* eventName);
HRESULT SimConnect_SubscribeToSystemEvent(HANDLE handle, uint32_t eventId, const char* systemEventName);
HRESULT SimConnect_RequestDataOnSimObject(HANDLE handle, uint32_t requestId, uint32_t defineId,
                                          uint32_t objectId, SimPeriod period);
HRESULT SimConnect_RequestDataOnSimObjectType(HANDLE handle, uint32_t requestId, uint32_t defineId,
                                              uint32_t radiusMeters, SimObjectType type);
HRESULT SimConnect_SetDataOnSimObject(HANDLE handle, uint32_t defineId, uint32_t objectId, uint32_t flags,
                                      uint32_t arrayCount, uint32_t unitSize, const void* data);
HRESULT SimConnect_TransmitClientEvent(HANDLE handle, uint32_t objectId, uint32_t eventId, uint32_t data,
                                       uint32_t groupId, uint32_t flags);
HRESULT SimConnect_AICreateNonATCAircraft(HANDLE handle, const char* title, const char* tailNumber,
                                          const SimInitPosition& init, uint32_t requestId);
HRESULT SimConnect_AIRemoveObject(HANDLE handle, uint32_t objectId, uint32_t requestId);
// The path is in the system's ANSI code page on the simulator's machine.
HRESULT SimConnect_AISetAircraftFlightPlan(HANDLE handle, uint32_t objectId, const char* path,
                                           uint32_t requestId);

// The simulator's frames. The simulator runs them by itself; the in-process simulator of this
// machine is stepped by the simulator thread: the length in seconds of its next frame, and one
// frame of its world, whose replies then wait for SimConnect_GetNextDispatch.
double gf_simWorldFrameSeconds();
void gf_simWorldStepFrame();
