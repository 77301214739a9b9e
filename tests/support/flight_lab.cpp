#include "support/flight_lab.h"

#include <cmath>
#include <iostream>
#include <set>

#include <fmt/format.h>

#include "core/log.h"
#include "core/params.h"
#include "airports/stand.h"
#include "live/aircraft_rec.h"
#include "live/ground_motion_legs.h"
#include "live/live_set.h"

namespace {

constexpr double kPollSeconds = 2;
constexpr int kDelaySeconds = 30;
constexpr int kLogCheckTicks = 50;
// The user flies this far north of and above the first stream, 30 s behind its reports.
constexpr double kChaseOffsetDeg = 0.08, kChaseEverySec = 20, kChaseAboveFt = 3000, kChaseMaxLat = 89.95;
constexpr double kTolerance = 1e-9;

TruthPoint lab_advance(const TruthPoint& p, double dt, double vrateFpm) {
    TruthPoint q = p;
    q.t = p.t + dt;
    const LatLon to = gf_destinationPoint({p.lat, p.lon}, gf_degToRad(p.trackDeg), gf_nmToFeet(p.gsKt * dt / 3600));
    q.lat = to.lat;
    q.lon = to.lon;
    q.vrateFpm = vrateFpm;
    q.altFt = std::max(0.0, p.altFt + vrateFpm * dt / 60);
    return q;
}

bool lab_hasCurve(const LiveAircraft& ac) { return !std::isnan(ac.curve[6]) && !std::isnan(ac.curve[7]); }

// Flight-state changes of an active aircraft that the playback, flight and ground models make.
bool lab_flightRow(uint32_t from, uint32_t to) {
    if (from == to) return true;
    switch (to) {
        case flying: return true;
        case taxi: return from == flying || from == parked || from == parking || from == pushed_back || from == birth;
        case take_off:
        case parking: return from == taxi;
        case parked: return from == parking || from == birth;
        case pushing_back: return from == parked;
        case pushed_back: return from == pushing_back;
        default: return false;
    }
}

bool lab_lifePath(uint32_t from, uint32_t to) {
    static const std::set<std::pair<uint32_t, uint32_t>> paths = {
        {buffer, adding2sim},    {adding2sim, active},     {adding2sim, removingfromsim}, {active, liveryrespawn},
        {active, removingfromsim}, {liveryrespawn, buffer}, {liveryrespawn, removingfromsim}, {removingfromsim, buffer}};
    return from == to || paths.count({from, to}) > 0;
}

std::optional<std::string> lab_values(const std::optional<LabSnapshot>&, const LiveAircraft& ac) {
    for (double x : {ac.lat, ac.lon, ac.altitude, ac.pitch, ac.bank, ac.heading, ac.dLat, ac.dLon})
        if (!std::isfinite(x))
            return fmt::format("value not finite: lat {} lon {} alt {} hdg {}", ac.lat, ac.lon, ac.altitude, ac.heading);
    if (std::fabs(ac.lat) > 90 || ac.lon < -180 || ac.lon >= 180)
        return fmt::format("position out of range: {} {}", ac.lat, ac.lon);
    if (ac.heading < 0 || ac.heading >= 2 * kPi) return fmt::format("heading out of range: {}", ac.heading);
    return std::nullopt;
}

// Every step is the leg's increment, toward the front sample, never past it nor the long way round.
std::optional<std::string> lab_step(const std::optional<LabSnapshot>& b, const LiveAircraft& ac) {
    if (!b || b->lifeState != active || ac.lifeState != active || ac.stream.empty()) return std::nullopt;
    if (b->curve || lab_hasCurve(ac) || ac.flightState == pushed_back || std::fabs(ac.lat) > 89) return std::nullopt;
    const PosSample& f = ac.stream.front();
    const double stepLat = ac.lat - b->lat, stepLon = gf_shortLonDiff(b->lon, ac.lon);
    if (f.stationary) {
        if (stepLat == 0 && stepLon == 0) return std::nullopt;
        return fmt::format("moved {} {} toward a stationary sample", stepLat, stepLon);
    }
    if (std::fabs(stepLat - ac.dLat) > kTolerance || std::fabs(stepLon - ac.dLon) > kTolerance)
        return fmt::format("step {} {} is not the leg's increment {} {}", stepLat, stepLon, ac.dLat, ac.dLon);
    const int32_t left = std::max(lab_diff(f.dueTick, static_cast<int32_t>(gf_tickNow())), 0);
    if (std::fabs(ac.dLon) * left > 180 + 1e-6) return fmt::format("leg the long way round: dLon {}", ac.dLon);
    const double restLat = f.lat - ac.lat, restLon = gf_shortLonDiff(ac.lon, f.lon);
    const double len = std::hypot(ac.dLat, ac.dLon);
    if (len > 0 && (restLat * ac.dLat + restLon * ac.dLon) / len < -kTolerance)
        return fmt::format("stepped beyond the front sample ({} {} left)", restLat, restLon);
    return std::nullopt;
}

// What the feed appends is due after the back sample; no front sample is left behind.
std::optional<std::string> lab_dues(const std::optional<LabSnapshot>& b, const LiveAircraft& ac) {
    const size_t n = ac.stream.size();
    const bool appended = b && n > 0 && b->streamSize > 0 && ac.stream.back().dueTick != b->backDue;
    if (appended && lab_diff(ac.stream.back().dueTick, b->backDue) <= 0 && n > 1 &&
        lab_diff(ac.stream.back().dueTick, ac.stream[n - 2].dueTick) <= 0)
        return fmt::format("sample appended due at {} after a back due at {}", ac.stream.back().dueTick, b->backDue);
    if (ac.lifeState != active || n == 0 || ac.eraseFlag) return std::nullopt;
    const auto tickDone = static_cast<int32_t>(gf_tickNow() - 1);
    if (lab_diff(ac.stream.front().dueTick, tickDone) < 0)
        return fmt::format("front sample due at {} left behind at tick {}", ac.stream.front().dueTick, tickDone);
    return std::nullopt;
}

std::optional<std::string> lab_states(const std::optional<LabSnapshot>& b, const LiveAircraft& ac) {
    if (!b) return std::nullopt;
    if (!lab_lifePath(b->lifeState, ac.lifeState))
        return fmt::format("life state {} -> {}", gf_lifeStateName(b->lifeState), gf_lifeStateName(ac.lifeState));
    if (b->lifeState != active || b->flightState == ac.flightState || lab_flightRow(b->flightState, ac.flightState))
        return std::nullopt;
    if (lab_flightRow(b->flightState, ac.previousFlightState) && lab_flightRow(ac.previousFlightState, ac.flightState))
        return std::nullopt;
    return fmt::format("flight state {} -> {}", gf_flightStateName(b->flightState), gf_flightStateName(ac.flightState));
}

bool lab_gone(const LiveAircraft& ac) {
    return ac.lifeState == removingfromsim || ac.eraseFlag || ac.withdrawn;
}

// A parked aircraft holds its stand alone: not marked for another, no other parked aircraft on
// it or within its radius; while active it stays on the stand (2 m: the arrival distance), facing
// the stand's heading within the steering dead band (0.5 deg) and one tick's turn.
std::optional<std::string> lab_parkedOnStand(const std::optional<LabSnapshot>&, const LiveAircraft& ac) {
    if (ac.standId == 0 || ac.flightState != parked || lab_gone(ac)) return std::nullopt;
    const Stand* stand = gf_standById(ac.standId);
    if (stand == nullptr) return fmt::format("parked on stand id {} that no stand has", ac.standId);
    if (stand->occupied && stand->occupantHexid != ac.hexid)
        return fmt::format("parked on {} marked occupied by {:06x}", stand->name, stand->occupantHexid);
    for (const LiveAircraft& other : g_liveRecords) {
        if (other.hexid == ac.hexid || lab_gone(other) || other.flightState != parked) continue;
        if (other.standId == ac.standId)
            return fmt::format("{} also held by parked {}", stand->name, other.callsign);
        if (ac.lifeState == active && other.lifeState == active &&
            gf_haversineNm({other.lat, other.lon}, stand->position()) <= stand->radius)
            return fmt::format("{} parked within the radius of {}", other.callsign, stand->name);
    }
    if (ac.lifeState != active) return std::nullopt;
    const double off = gf_nmToMeters(gf_haversineNm({ac.lat, ac.lon}, stand->position()));
    if (off > 2) return fmt::format("parked {:.2f} m from {}", off, stand->name);
    const double turn = gf_headingErrorDeg(stand->heading, ac.heading);
    if (turn > 0.5 + gf_radToDeg(ac.turnRate) + 1e-9)
        return fmt::format("parked on {} facing {:.2f} deg, the stand {:.2f}", stand->name,
                           gf_radToDeg(ac.heading), gf_radToDeg(stand->heading));
    return std::nullopt;
}

// An occupied mark belongs to the live aircraft that set it, parked or pushing back on that stand.
std::optional<std::string> lab_markHasHolder() {
    for (const Stand& stand : g_stands) {
        if (!stand.occupied) continue;
        const LiveAircraft* holder = gf_findLiveByHexid(stand.occupantHexid);
        if (holder == nullptr)
            return fmt::format("{} marked occupied by {:06x}, which is not live", stand.name,
                               stand.occupantHexid);
        const bool onStand = holder->flightState == parked || holder->flightState == pushing_back ||
                             holder->flightState == pushed_back;
        if (holder->standId != stand.standId || lab_gone(*holder) || !onStand)
            return fmt::format("{} marked occupied by {} ({} {}, stand id {})", stand.name, holder->callsign,
                               gf_lifeStateName(holder->lifeState), gf_flightStateName(holder->flightState),
                               holder->standId);
    }
    return std::nullopt;
}

LabSnapshot lab_snapshot(const LiveAircraft& ac) {
    return {ac.lifeState, ac.flightState, ac.lat, ac.lon, lab_hasCurve(ac), ac.stream.size(),
            ac.stream.empty() ? 0 : ac.stream.back().dueTick};
}

}  // namespace

Truth lab_start(double lat, double lon, double altFt, double gsKt, double trackDeg, bool onGround) {
    return {TruthPoint{0, lat, lon, altFt, gsKt, trackDeg, 0, onGround}};
}

void lab_straight(Truth& t, double seconds, double stepSec, double vrateFpm) {
    const double end = t.back().t + seconds;
    while (t.back().t + stepSec <= end + 1e-9) t.push_back(lab_advance(t.back(), stepSec, vrateFpm));
}

void lab_turn(Truth& t, double degrees, double degPerSec, double stepSec) {
    const int steps = static_cast<int>(std::ceil(std::fabs(degrees) / (degPerSec * stepSec)));
    for (int i = 0; i < steps; ++i) {
        TruthPoint q = lab_advance(t.back(), stepSec, 0);
        q.trackDeg = std::fmod(q.trackDeg + degrees / steps + 360.0, 360.0);
        t.push_back(q);
    }
}

void lab_approach(Truth& t, double fieldFt, double stepSec) {
    while (t.back().altFt > fieldFt + 1) {
        TruthPoint q = lab_advance(t.back(), stepSec, -std::tan(gf_degToRad(3.0)) * gf_nmToFeet(t.back().gsKt / 60));
        if (q.altFt <= fieldFt) q.altFt = fieldFt, q.onGround = true, q.vrateFpm = 0;
        t.push_back(q);
    }
    while (t.back().gsKt > 20) {
        TruthPoint q = lab_advance(t.back(), stepSec, 0);
        q.altFt = fieldFt;
        q.gsKt = std::max(20.0, q.gsKt - 4 * stepSec);
        t.push_back(q);
    }
}

void lab_stop(Truth& t, double seconds, double stepSec) {
    const double end = t.back().t + seconds;
    while (t.back().t + stepSec <= end + 1e-9) {
        TruthPoint q = t.back();
        q.t += stepSec;
        q.gsKt = 0;
        t.push_back(q);
    }
}

std::vector<LabInvariant> lab_defaultInvariants() {
    std::vector<LabInvariant> all = {{"position values", lab_values},
                                     {"per-tick step", lab_step},
                                     {"due ticks", lab_dues},
                                     {"state changes", lab_states},
                                     {"parked on its stand", lab_parkedOnStand}};
    for (LabInvariant& inv : lab_airInvariants()) all.push_back(std::move(inv));
    return all;
}

std::vector<LabWorldInvariant> lab_defaultWorldInvariants() {
    return {{"occupied mark has its holder", lab_markHasHolder}};
}

void FlightLab::SetUp() {
    TickHarness::SetUp();
    // A fixed range keeps the aircraft in the object scans; the user only follows the traffic.
    AUTO_RANGE.set(false);
    COLLISION_USER_AIR.set(false);
}

void FlightLab::TearDown() {
    const std::string all = gf_capturedLog();
    TickHarness::TearDown();
    if (HasFailure()) std::cerr << "log (end):\n" << all.substr(all.size() > 6000 ? all.size() - 6000 : 0) << '\n';
}

void FlightLab::startWorld(double lat, double lon, std::vector<ScenarioAirport> airports) {
    Scenario s = baseScenario();
    for (ScenarioAirport& a : airports) s.airports.push_back(std::move(a));
    // So that the aircraft stays within the object scans and no spawn is held back near the user.
    const auto chaseLat = [](double l) { return std::clamp(l + kChaseOffsetDeg, -kChaseMaxLat, kChaseMaxLat); };
    s.user = {{0, chaseLat(lat), lon, 0, 0, 0, true}};
    double lastT = -kChaseEverySec;
    for (const TruthPoint& p : streams_.empty() ? Truth{} : streams_.front().truth) {
        if (p.t < lastT + kChaseEverySec) continue;
        lastT = p.t;
        s.user.push_back({p.t + kDelaySeconds, chaseLat(p.lat), p.lon, p.altFt + kChaseAboveFt, 0, p.gsKt, false});
    }
    shapeWorld(s);
    startFlight(s);
}

void FlightLab::addStream(uint32_t hexid, const std::string& callsign, const std::string& airline,
                          const std::string& type, const Truth& truth) {
    streams_.push_back({hexid, callsign, airline, type, truth, 0});
}

void FlightLab::poll() {
    std::vector<LiveTrafficRecord> batch;
    for (Stream& s : streams_) {
        if (s.next >= s.truth.size() || s.truth[s.next].t > labSeconds_) continue;
        while (s.next + 1 < s.truth.size() && s.truth[s.next + 1].t <= labSeconds_) ++s.next;
        const TruthPoint& p = s.truth[s.next++];
        batch.push_back(tst_trafficRecord(s.hexid, s.callsign, s.airline, s.type,
                                          {p.lat, p.lon, p.altFt, p.gsKt, p.trackDeg, p.vrateFpm}, 1000 + p.t));
        batch.back().sample.airborne = p.onGround ? 0 : 1;
    }
    if (!batch.empty()) feed(std::move(batch), kDelaySeconds);
}

void FlightLab::run(double seconds) {
    const int ticks = static_cast<int>(std::lround(seconds * kTicksPerSecond));
    for (int i = 0; i < ticks && !HasFailure(); ++i) {
        if (labSeconds_ + 1e-9 >= nextPoll_) {
            poll();
            nextPoll_ += kPollSeconds;
        }
        tick();
        labSeconds_ += 1.0 / kTicksPerSecond;
        ++ticksRun;
        check();
        if (ticksRun % kLogCheckTicks == 0) checkLog();
    }
}

void FlightLab::check() {
    std::set<uint32_t> present;
    for (const LiveAircraft& ac : g_liveRecords) {
        present.insert(ac.hexid);
        const auto it = seen_.find(ac.hexid);
        const auto before = it == seen_.end() ? std::nullopt : std::optional<LabSnapshot>(it->second);
        for (const LabInvariant& inv : invariants)
            if (auto broken = inv.check(before, ac))
                return ADD_FAILURE() << fmt::format("tick {} {} [{}]: {}", g_tickCounter.load(), gf_acLabel(ac),
                                                    inv.name, *broken);
        seen_[ac.hexid] = lab_snapshot(ac);
    }
    std::erase_if(seen_, [&](const auto& e) { return !present.count(e.first); });
    for (const LabWorldInvariant& inv : worldInvariants)
        if (auto broken = inv.check())
            return ADD_FAILURE() << fmt::format("tick {} [{}]: {}", g_tickCounter.load(), inv.name, *broken);
}

// The same aircraft's update throwing twice within the window means it is stuck.
void FlightLab::checkLog() {
    const std::string fresh = newLog();
    std::map<std::string, int> throws;
    for (size_t pos = 0; (pos = fresh.find("updateLiveAc: ", pos)) != std::string::npos;) {
        const size_t end = fresh.find('\n', pos);
        const std::string line = fresh.substr(pos, end - pos);
        for (const Stream& s : streams_)
            if (line.find(s.callsign) != std::string::npos && ++throws[s.callsign] >= 2)
                ADD_FAILURE() << fmt::format("tick {}: update of {} throws again: {}", g_tickCounter.load(), s.callsign, line);
        pos = end;
    }
}

bool FlightLab::goneWithin(uint32_t hexid, double budgetSeconds) {
    const auto s = std::find_if(streams_.begin(), streams_.end(), [&](const Stream& x) { return x.hexid == hexid; });
    if (s == streams_.end() || s->truth.empty()) return false;
    const double limit = s->truth.back().t + kDelaySeconds + budgetSeconds;
    while (labSeconds_ < limit && !HasFailure() && live(hexid)) run(1);
    if (!live(hexid)) return true;
    const LiveAircraft& ac = *live(hexid);
    ADD_FAILURE() << fmt::format("aircraft {:06x} still there {} s after its last report was due: {} {}, extension {}, "
                                 "holding {}, on ground {}, {} samples",
                                 hexid, budgetSeconds, gf_lifeStateName(ac.lifeState), gf_flightStateName(ac.flightState),
                                 ac.extension, ac.holding, ac.onGround, ac.stream.size());
    return false;
}
