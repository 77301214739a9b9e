#include "platform/sim_standin.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "core/atomic_file.h"
#include "core/clock.h"
#include "core/geo.h"

namespace {

constexpr int kCreateFrames = 3;          // a create appears in scans this many frames later
constexpr double kAirportReachNm = 30.0;  // farther from every airport the ground is sea level
constexpr double kDefaultFrameRate = 30.0;
constexpr int kLargeCategory = 2;
// Simulated time is a sum of frame lengths: a boundary reached up to rounding counts as reached.
constexpr double kTimeSlack = 1e-9;

// Static centre-of-gravity height (feet) and standing pitch (radians) by category:
// Light, Buzjets, Large, Heavy, HighPerf, Rotorcraft.
constexpr std::array<SimStaticCgBlock, 6> kStaticCg = {{
    {4.5, 0.0},
    {6.0, 0.0087},
    {11.0, 0.0122},
    {17.5, 0.0140},
    {7.0, 0.0052},
    {5.0, 0.0},
}};

struct Body {
    StandinObject o;
    int framesToVisible = kCreateFrames;
};

struct World {
    Scenario scenario;
    bool loaded = false;
    double time = 0;
    int64_t startEpoch = 0;
    uintptr_t generation = 0;  // the handle of the current connection
    bool connected = false, broken = false, closed = false, started = false, paused = false;
    std::map<uint32_t, std::string> eventNames;     // client event id -> simulator event
    std::map<std::string, uint32_t> subscriptions;  // system event -> subscribed id
    std::vector<Body> bodies;
    uint32_t nextId = 3;
    std::vector<SimReply> answers;  // answers to calls, released at the next frame
    std::deque<SimReply> replies;   // waiting for dispatch
    bool userEveryFrame = false;
    int unknownRemoves = 0;
    std::vector<std::string> journal;
    std::string objectsFile;  // TRELVO_STANDIN_OBJECTS: where the object list is shown; empty: nowhere
};

std::mutex g_standinMutex;
World g_world;
std::function<int(std::string_view)> g_categoryOf;

// The simulator's AI objects as a person watching it would list them, every 15 simulated seconds
// and when the program lets go of the simulator, for a demo that has no screen to look at.
constexpr double kObjectsListSeconds = 15;

void lf_writeObjectsList(std::string_view when) {
    if (g_world.objectsFile.empty()) return;
    std::string text = fmt::format("{} at {:.0f} s: {} AI objects\n", when, g_world.time, g_world.bodies.size());
    for (const Body& b : g_world.bodies)
        text += fmt::format("{:4} {:9} {:.5f} {:.5f} {:6.0f} ft {} {}\n", b.o.id, b.o.atcId, b.o.pos.lat, b.o.pos.lon,
                            b.o.pos.altitude, b.o.onGround ? "ground" : "air   ", b.o.title);
    gf_writeFileAtomically(g_world.objectsFile, text);
}

bool lf_valid(HANDLE handle) {
    return g_world.connected && !g_world.broken && !g_world.closed &&
           reinterpret_cast<uintptr_t>(handle) == g_world.generation;
}

double lf_frameRateAt(double t) {
    t += kTimeSlack;
    for (const auto& dip : g_world.scenario.frameDips) {
        if (dip.frameRate > 0 && t >= dip.atSecond && t < dip.atSecond + dip.durationSeconds)
            return dip.frameRate;
    }
    return g_world.scenario.frameRate > 0 ? g_world.scenario.frameRate : kDefaultFrameRate;
}

double lf_groundFt(double lat, double lon) {
    const ScenarioAirport* nearest = nullptr;
    double best = kAirportReachNm;
    for (const auto& a : g_world.scenario.airports) {
        double d = gf_haversineNm({lat, lon}, {a.lat, a.lon});
        if (d <= best) best = d, nearest = &a;
    }
    return nearest ? nearest->elevationFt : 0.0;
}

Body* lf_body(uint32_t id) {
    auto it = std::find_if(g_world.bodies.begin(), g_world.bodies.end(),
                           [&](const Body& b) { return b.o.id == id; });
    return it == g_world.bodies.end() ? nullptr : &*it;
}

// The reply of a system event the connection subscribed to; none when it did not.
std::optional<SimReply> lf_eventReply(const char* name, uint32_t objectId = 0) {
    auto it = g_world.subscriptions.find(name);
    if (it == g_world.subscriptions.end()) return std::nullopt;
    SimReply r;
    r.eventId = it->second;
    r.objectId = objectId;
    return r;
}

// Released with the next frame's replies.
void lf_queueEvent(const char* name, uint32_t objectId = 0) {
    if (auto r = lf_eventReply(name, objectId)) g_world.answers.push_back(*r);
}

SimReply lf_exception(uint32_t requestId) {
    SimReply r;
    r.kind = SimReplyKind::Exception;
    r.requestId = requestId;
    r.exception = 1;
    return r;
}

double lf_wholeSeconds(double t) {
    return std::floor(t + kTimeSlack);
}

double lf_lerp(double a, double b, double f) {
    return a + (b - a) * f;
}

SimUserBlock lf_userBlock() {
    SimUserBlock u{};
    const auto& path = g_world.scenario.user;
    ScenarioUserPoint p;
    if (!path.empty()) {
        auto next = std::find_if(path.begin(), path.end(), [](const auto& q) { return q.t > g_world.time; });
        if (next == path.begin())
            p = path.front();
        else if (next == path.end())
            p = path.back();
        else {
            const auto& a = *(next - 1);
            double f = (g_world.time - a.t) / (next->t - a.t);
            double turn = std::remainder(next->headingDeg - a.headingDeg, 360.0);
            p = a;
            p.lat = lf_lerp(a.lat, next->lat, f), p.lon = lf_lerp(a.lon, next->lon, f);
            p.altFt = lf_lerp(a.altFt, next->altFt, f), p.gsKt = lf_lerp(a.gsKt, next->gsKt, f);
            p.headingDeg = std::fmod(a.headingDeg + turn * f + 360.0, 360.0);
            p.onGround = a.onGround && next->onGround;
        }
    }
    u.lat = p.lat, u.lon = p.lon, u.altitudeFt = p.altFt;
    u.heading = gf_degToRad(p.headingDeg);
    u.heightAboveGroundFt = p.onGround ? 0.0 : p.altFt - lf_groundFt(p.lat, p.lon);
    u.groundSpeedKt = p.gsKt;
    u.onGround = p.onGround ? 1.0 : 0.0;
    u.zuluEpochSeconds = static_cast<double>(g_world.startEpoch) + lf_wholeSeconds(g_world.time);
    return u;
}

SimStaticCgBlock lf_cg(int category) {
    return category >= 0 && category < static_cast<int>(kStaticCg.size()) ? kStaticCg[category]
                                                                          : kStaticCg[kLargeCategory];
}

void lf_placeBody(Body& b, const SimPositionBlock& pos) {
    b.o.pos = pos;
    double agl = pos.altitude - lf_groundFt(pos.lat, pos.lon);
    b.o.onGround = agl <= lf_cg(b.o.category).cgHeightFt + 1.0;
}

using EventEffect = void (*)(StandinObject&, uint32_t);

// What each simulator event does to an AI object.
const std::map<std::string, EventEffect>& lf_eventEffects() {
    static const std::map<std::string, EventEffect> effects = {
        {"NAV_LIGHTS_SET", [](StandinObject& o, uint32_t d) { o.lights[0] = d != 0; }},
        {"BEACON_LIGHTS_SET", [](StandinObject& o, uint32_t d) { o.lights[1] = d != 0; }},
        {"LANDING_LIGHTS_SET", [](StandinObject& o, uint32_t d) { o.lights[2] = d != 0; }},
        {"TAXI_LIGHTS_SET", [](StandinObject& o, uint32_t d) { o.lights[3] = d != 0; }},
        {"STROBES_SET", [](StandinObject& o, uint32_t d) { o.lights[4] = d != 0; }},
        {"LOGO_LIGHTS_SET", [](StandinObject& o, uint32_t d) { o.lights[5] = d != 0; }},
        {"CABIN_LIGHTS_SET", [](StandinObject& o, uint32_t d) { o.lights[6] = d != 0; }},
        {"ALL_LIGHTS_TOGGLE",
         [](StandinObject& o, uint32_t) {
             for (auto&& l : o.lights) l = !l;
         }},
        {"ENGINE_AUTO_START", [](StandinObject& o, uint32_t) { o.enginesRunning = true; }},
        {"ENGINE_AUTO_SHUTDOWN", [](StandinObject& o, uint32_t) { o.enginesRunning = false; }},
        {"THROTTLE_SET", [](StandinObject& o, uint32_t d) { o.throttle = d; }},
        {"FLAPS_SET", [](StandinObject& o, uint32_t d) { o.flaps = d; }},
        {"SPOILERS_SET", [](StandinObject& o, uint32_t d) { o.spoilers = d; }},
        {"GEAR_SET", [](StandinObject& o, uint32_t d) { o.gear = d; }},
    };
    return effects;
}

void lf_applyEvent(StandinObject& o, const std::string& name, uint32_t data) {
    if (auto it = lf_eventEffects().find(name); it != lf_eventEffects().end()) it->second(o, data);
}

SimReply lf_scanRow(const Body& b) {
    SimReply r;
    r.kind = SimReplyKind::ObjectData;
    r.requestId = kReqObjectScan;
    r.defineId = kDefObjectScan;
    r.objectId = b.o.id;
    std::strncpy(r.row.atcId, b.o.atcId.c_str(), sizeof(r.row.atcId) - 1);
    double ground = lf_groundFt(b.o.pos.lat, b.o.pos.lon);
    r.row.onGround = b.o.onGround ? 1.0 : 0.0;
    r.row.groundElevationFt = ground;
    r.row.heightAboveGroundFt = b.o.pos.altitude - ground;
    return r;
}

bool lf_pausedAt(double t) {
    t += kTimeSlack;
    return std::any_of(g_world.scenario.pauses.begin(), g_world.scenario.pauses.end(),
                       [t](const ScenarioPause& p) { return t >= p.atSecond && t < p.atSecond + p.durationSeconds; });
}

// Frames end to end: the answers to the calls since the last frame, then the frame's own events.
void lf_queueFrameReplies(double previous) {
    if (!g_world.started) {
        g_world.started = true;
        lf_queueEvent("SimStart");
    }
    // The simulation stops and starts again around a scripted pause; it counts no seconds then.
    if (const bool paused = lf_pausedAt(g_world.time); paused != g_world.paused) {
        g_world.paused = paused;
        lf_queueEvent(paused ? "SimStop" : "SimStart");
    }
    for (auto& b : g_world.bodies) {
        if (b.framesToVisible > 0 && --b.framesToVisible == 0) b.o.visible = true;
    }
    for (auto& a : g_world.answers) g_world.replies.push_back(a);
    g_world.answers.clear();
    if (g_world.subscriptions.count("Frame")) {
        SimReply f;
        f.kind = SimReplyKind::Frame;
        f.eventId = g_world.subscriptions["Frame"];
        f.frameRate = static_cast<float>(lf_frameRateAt(previous));
        g_world.replies.push_back(f);
    }
    if (!g_world.paused && lf_wholeSeconds(g_world.time) > lf_wholeSeconds(previous) &&
        g_world.subscriptions.count("1sec")) {
        SimReply s;
        s.eventId = g_world.subscriptions["1sec"];
        g_world.replies.push_back(s);
    }
    if (g_world.userEveryFrame) {
        SimReply u;
        u.kind = SimReplyKind::ObjectData;
        u.requestId = kReqUserAircraft;
        u.defineId = kDefUserAircraft;
        u.user = lf_userBlock();
        g_world.replies.push_back(u);
    }
}

}  // namespace

void gf_standinLoad(const Scenario& scenario) {
    std::lock_guard lock(g_standinMutex);
    uintptr_t generation = g_world.generation;
    g_world = World{};
    g_world.scenario = scenario;
    g_world.loaded = true;
    g_world.generation = generation + 1;
    g_world.startEpoch = gf_epochSeconds(gf_utcNow());
    if (const char* file = std::getenv("TRELVO_STANDIN_OBJECTS")) g_world.objectsFile = file;
}

void gf_standinSetCategoryOf(std::function<int(std::string_view)> categoryOf) {
    std::lock_guard lock(g_standinMutex);
    g_categoryOf = std::move(categoryOf);
}

void gf_standinStepFrame() {
    std::lock_guard lock(g_standinMutex);
    if (!g_world.loaded) return;
    double previous = g_world.time;
    g_world.time += 1.0 / lf_frameRateAt(previous);
    if (!g_world.connected || g_world.broken || g_world.closed) return;
    if (std::floor(g_world.time / kObjectsListSeconds) > std::floor(previous / kObjectsListSeconds))
        lf_writeObjectsList("Simulator running");
    const auto& s = g_world.scenario;
    if (s.connectionLossAtSecond && g_world.time + kTimeSlack >= *s.connectionLossAtSecond) {
        g_world.broken = true;
        return;
    }
    if (s.runLengthSeconds && g_world.time + kTimeSlack >= *s.runLengthSeconds) {
        g_world.closed = true;
        // The flight ends before the simulator closes.
        if (auto stop = lf_eventReply("SimStop")) g_world.replies.push_back(*stop);
        SimReply quit;
        quit.kind = SimReplyKind::Quit;
        g_world.replies.push_back(quit);
        return;
    }
    lf_queueFrameReplies(previous);
}

double gf_standinFrameSeconds() {
    std::lock_guard lock(g_standinMutex);
    return 1.0 / lf_frameRateAt(g_world.time);
}

double gf_standinTime() {
    std::lock_guard lock(g_standinMutex);
    return g_world.time;
}

double gf_standinGroundFt(double lat, double lon) {
    std::lock_guard lock(g_standinMutex);
    return lf_groundFt(lat, lon);
}

std::optional<StandinObject> gf_standinObject(uint32_t id) {
    std::lock_guard lock(g_standinMutex);
    Body* b = lf_body(id);
    return b ? std::optional<StandinObject>(b->o) : std::nullopt;
}

std::vector<StandinObject> gf_standinObjects() {
    std::lock_guard lock(g_standinMutex);
    std::vector<StandinObject> all;
    for (const auto& b : g_world.bodies) all.push_back(b.o);
    return all;
}

int gf_standinUnknownRemoves() {
    std::lock_guard lock(g_standinMutex);
    return g_world.unknownRemoves;
}

std::vector<std::string> gf_standinJournal() {
    std::lock_guard lock(g_standinMutex);
    return g_world.journal;
}

void gf_resetStandin() {
    std::lock_guard lock(g_standinMutex);
    g_world = World{};
    g_categoryOf = nullptr;
}

HRESULT gf_standinOpen(HANDLE* handle) {
    std::lock_guard lock(g_standinMutex);
    if (!g_world.loaded || g_world.closed || g_world.broken || !handle) return E_FAIL;
    g_world.connected = true;
    *handle = reinterpret_cast<HANDLE>(g_world.generation);
    return S_OK;
}

HRESULT gf_standinClose(HANDLE handle) {
    std::lock_guard lock(g_standinMutex);
    if (reinterpret_cast<uintptr_t>(handle) != g_world.generation || !g_world.connected) return E_FAIL;
    g_world.connected = false;
    lf_writeObjectsList(g_world.closed ? "Simulator closed" : "Program disconnected");
    g_world.replies.clear();
    g_world.answers.clear();
    return S_OK;
}

HRESULT gf_standinNextReply(HANDLE handle, SimReply* reply) {
    std::lock_guard lock(g_standinMutex);
    bool quitWaiting = g_world.closed && !g_world.replies.empty();
    if (!quitWaiting && !lf_valid(handle)) return E_FAIL;
    if (g_world.replies.empty()) return S_FALSE;
    *reply = g_world.replies.front();
    g_world.replies.pop_front();
    return S_OK;
}

HRESULT gf_standinMapEvent(HANDLE handle, uint32_t eventId, const char* eventName) {
    std::lock_guard lock(g_standinMutex);
    if (!lf_valid(handle)) return E_FAIL;
    g_world.eventNames[eventId] = eventName;
    return S_OK;
}

HRESULT gf_standinSubscribe(HANDLE handle, uint32_t eventId, const char* systemEventName) {
    std::lock_guard lock(g_standinMutex);
    if (!lf_valid(handle)) return E_FAIL;
    g_world.subscriptions[systemEventName] = eventId;
    return S_OK;
}

HRESULT gf_standinRequestData(HANDLE handle, uint32_t requestId, uint32_t defineId, uint32_t objectId,
                              SimPeriod period) {
    std::lock_guard lock(g_standinMutex);
    if (!lf_valid(handle)) return E_FAIL;
    if (defineId == kDefUserAircraft && objectId == kObjectIdUser) {
        g_world.userEveryFrame = period == SimPeriod::SimFrame;
        return S_OK;
    }
    if (defineId != kDefStaticCg) return E_FAIL;
    Body* b = lf_body(objectId);
    if (!b) {
        g_world.answers.push_back(lf_exception(requestId));
        return S_OK;
    }
    SimReply r;
    r.kind = SimReplyKind::ObjectData;
    r.requestId = requestId;
    r.defineId = defineId;
    r.objectId = objectId;
    r.cg = lf_cg(b->o.category);
    g_world.answers.push_back(r);
    return S_OK;
}

HRESULT gf_standinRequestByType(HANDLE handle, uint32_t requestId, uint32_t defineId, uint32_t radiusMeters) {
    std::lock_guard lock(g_standinMutex);
    if (!lf_valid(handle) || defineId != kDefObjectScan) return E_FAIL;
    SimUserBlock user = lf_userBlock();
    for (const auto& b : g_world.bodies) {
        if (!b.o.visible) continue;
        if (gf_nmToMeters(gf_haversineNm({user.lat, user.lon}, {b.o.pos.lat, b.o.pos.lon})) > radiusMeters)
            continue;
        SimReply r = lf_scanRow(b);
        r.requestId = requestId;
        g_world.answers.push_back(r);
    }
    return S_OK;
}

HRESULT gf_standinSetData(HANDLE handle, uint32_t defineId, uint32_t objectId, uint32_t unitSize,
                          const void* data) {
    std::lock_guard lock(g_standinMutex);
    if (!lf_valid(handle) || !data) return E_FAIL;
    Body* b = lf_body(objectId);
    if (defineId == kDefPosition && unitSize == sizeof(SimPositionBlock)) {
        if (b) lf_placeBody(*b, *static_cast<const SimPositionBlock*>(data));
        return S_OK;
    }
    if (defineId != kDefSpoilerThrottle || unitSize != sizeof(SimSpoilerThrottleBlock)) return E_FAIL;
    const auto& v = *static_cast<const SimSpoilerThrottleBlock*>(data);
    g_world.journal.push_back(
        fmt::format("{} DATA401 {} {} {}", objectId, v.spoilersPct, v.throttle1Pct, v.throttle2Pct));
    if (b) b->o.levers = v;
    return S_OK;
}

HRESULT gf_standinClientEvent(HANDLE handle, uint32_t objectId, uint32_t eventId, uint32_t data) {
    std::lock_guard lock(g_standinMutex);
    if (!lf_valid(handle)) return E_FAIL;
    auto name = g_world.eventNames.find(eventId);
    if (name == g_world.eventNames.end()) return E_FAIL;
    g_world.journal.push_back(fmt::format("{} {} {}", objectId, name->second, data));
    if (Body* b = lf_body(objectId)) lf_applyEvent(b->o, name->second, data);
    return S_OK;
}

HRESULT gf_standinCreate(HANDLE handle, const char* title, const char* tailNumber,
                         const SimInitPosition& init, uint32_t requestId) {
    std::lock_guard lock(g_standinMutex);
    if (!lf_valid(handle) || !title || !tailNumber) return E_FAIL;
    g_world.journal.push_back(fmt::format("CREATE {} {}", tailNumber, title));
    const auto& titles = g_world.scenario.installedTitles;
    if (std::find(titles.begin(), titles.end(), title) == titles.end()) {
        g_world.answers.push_back(lf_exception(requestId));
        return S_OK;
    }
    Body b;
    b.o.id = g_world.nextId++;
    b.o.title = title;
    b.o.atcId = tailNumber;
    b.o.category = g_categoryOf ? g_categoryOf(title) : kLargeCategory;
    SimPositionBlock pos{init.lat,
                         init.lon,
                         gf_degToRad(init.pitchDeg),
                         gf_degToRad(init.bankDeg),
                         gf_degToRad(init.headingDeg),
                         init.altitudeFt,
                         0,
                         static_cast<double>(init.airspeedKt)};
    // The simulator puts a create that is on the ground onto the ground, whatever its altitude.
    if (init.onGround) pos.altitude = lf_groundFt(init.lat, init.lon) + lf_cg(b.o.category).cgHeightFt;
    lf_placeBody(b, pos);
    g_world.bodies.push_back(b);
    return S_OK;
}

HRESULT gf_standinRemove(HANDLE handle, uint32_t objectId) {
    std::lock_guard lock(g_standinMutex);
    if (!lf_valid(handle)) return E_FAIL;
    g_world.journal.push_back(fmt::format("REMOVE {}", objectId));
    auto it = std::find_if(g_world.bodies.begin(), g_world.bodies.end(),
                           [&](const Body& b) { return b.o.id == objectId; });
    if (it == g_world.bodies.end()) {
        ++g_world.unknownRemoves;
        return S_OK;
    }
    g_world.bodies.erase(it);
    lf_queueEvent("ObjectRemoved", objectId);
    return S_OK;
}

namespace {
// A plan the simulator can fly: an AceXML document whose flight plan names its departure and
// destination airports and starts and ends at them.
bool lf_readPlan(const char* path, std::string& departure, std::string& destination) {
    pugi::xml_document doc;
    if (!doc.load_file(path)) return false;
    auto root = doc.child("SimBase.Document");
    if (std::string_view(root.attribute("Type").value()) != "AceXML") return false;
    auto plan = root.child("FlightPlan.FlightPlan");
    departure = plan.child_value("DepartureID");
    destination = plan.child_value("DestinationID");
    if (departure.empty() || destination.empty()) return false;
    std::vector<std::string> idents;
    for (auto wp : plan.children("ATCWaypoint")) idents.push_back(wp.child("ICAO").child_value("ICAOIdent"));
    return idents.size() >= 2 && idents.front() == departure && idents.back() == destination;
}
}  // namespace

HRESULT gf_standinFlightPlan(HANDLE handle, uint32_t objectId, const char* path) {
    std::lock_guard lock(g_standinMutex);
    if (!lf_valid(handle) || !path) return E_FAIL;
    Body* b = lf_body(objectId);
    std::string departure, destination;
    if (!b || !lf_readPlan(path, departure, destination)) return E_FAIL;
    b->o.planDeparture = departure;
    b->o.planDestination = destination;
    return S_OK;
}
