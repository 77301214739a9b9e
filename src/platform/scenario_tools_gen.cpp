// Synthetic traffic around Zurich: each aircraft is flown as a one-second truth path made of
// straight legs, then reported at random intervals with the faults of a real feed.
#include <array>
#include <cmath>
#include <random>

#include "core/geo.h"
#include "platform/scenario_tools.h"

namespace {

// LSZH, as in the airport list (reference point, elevation).
const ScenarioAirport kLszh{"LSZH", 47.4647, 8.54917, 1416};
// The QNH the demo's service reports: a high-pressure day, so that altitudes are corrected.
constexpr double kDemoQnhHpa = 1019;

// Runway thresholds of LSZH (WGS84); each runway's heading is the bearing to the opposite end.
struct Runway {
    const char* name;
    LatLon threshold;
    LatLon farEnd;
};
constexpr std::array<Runway, 6> kRunways = {{
    {"14", {47.48200, 8.53570}, {47.46005, 8.56535}},
    {"32", {47.46005, 8.56535}, {47.48200, 8.53570}},
    {"16", {47.47450, 8.53560}, {47.44440, 8.55670}},
    {"34", {47.44440, 8.55670}, {47.47450, 8.53560}},
    {"10", {47.45900, 8.53690}, {47.45664, 8.56992}},
    {"28", {47.45664, 8.56992}, {47.45900, 8.53690}},
}};

constexpr double kThresholdCrossingFt = 50;
constexpr double kApproachKt = 137;
constexpr double kMinApproachSeconds = 150;
// Where the glide path meets the runway.
const double kTouchdownFromThresholdFt = kThresholdCrossingFt / std::tan(gf_degToRad(kGlidePathDeg));
constexpr LatLon kApronJunction{47.4545, 8.5600};  // where taxi routes meet the apron
constexpr double kHoldingPointM = 150;             // left of the departure threshold
constexpr double kDepartureLevelFt = 12000;
constexpr LatLon kHeliSpot{47.4525, 8.5680};
constexpr LatLon kFirstStand{47.4470, 8.5650};  // stands run north-west from here, 65 m apart
constexpr double kStandRowBearingDeg = 317, kStandSpacingM = 65, kStandHeadingDeg = 47;

const Runway& lf_runway(std::string_view name) {
    for (const Runway& r : kRunways)
        if (name == r.name) return r;
    return kRunways[0];
}
double lf_headingDeg(const Runway& r) {
    return gf_radToDeg(gf_bearingRad(r.threshold, r.farEnd));
}
LatLon lf_move(LatLon p, double bearingDeg, double distanceFt) {
    return gf_destinationPoint(p, gf_degToRad(bearingDeg), distanceFt);
}
LatLon lf_stand(int index) {
    return lf_move(kFirstStand, kStandRowBearingDeg, index * kStandSpacingM / 0.3048);
}
double lf_ftPerSecond(double kt) {
    return kt * kFeetPerNm / 3600;
}

// The true path of one aircraft, one state per second.
class PathBuilder {
  public:
    PathBuilder(double t, LatLon p, double altFt, double gsKt, double trackDeg, bool airborne)
        : now_{t, p.lat, p.lon, altFt, gsKt, trackDeg, 0, 0, airborne, {}, {}} {
        states_.push_back(now_);
    }
    // Straight on the given track for the duration, speed changing linearly, altitude at vrate.
    void leg(double seconds, double trackDeg, double gsFromKt, double gsToKt, double vrateFpm) {
        for (int i = 0; i < std::lround(seconds); ++i) {
            const double gs = gsFromKt + (gsToKt - gsFromKt) * (i + 0.5) / seconds;
            const LatLon p = lf_move({now_.lat, now_.lon}, trackDeg, lf_ftPerSecond(gs));
            now_ = {now_.t + 1,    p.lat, p.lon, now_.altFt + vrateFpm / 60, gs, trackDeg, vrateFpm, 0,
                    now_.airborne, {},    {}};
            states_.push_back(now_);
        }
    }
    // Straight to a point at a steady speed, altitude moving linearly to altFt.
    void to(LatLon target, double gsKt, double altFt) {
        const LatLon here{now_.lat, now_.lon};
        const double distanceFt = gf_nmToFeet(gf_haversineNm(here, target));
        const double seconds = std::max(1.0, std::round(distanceFt / lf_ftPerSecond(gsKt)));
        leg(seconds, gf_radToDeg(gf_bearingRad(here, target)), gsKt, gsKt,
            (altFt - now_.altFt) * 60 / seconds);
    }
    void hold(double seconds) { leg(seconds, now_.trackDeg, 0, 0, 0); }
    void setAirborne(bool airborne) { now_.airborne = airborne; }
    void holdUntil(double t) { hold(std::max(0.0, t - now_.t)); }
    const ScenarioRow& now() const { return now_; }
    std::vector<ScenarioRow> states_;

  private:
    ScenarioRow now_;
};

// A seeded source of draws that gives the same numbers on every platform.
class Draws {
  public:
    explicit Draws(uint32_t seed) : engine_(seed) {}
    double uniform(double lo, double hi) { return lo + (hi - lo) * ((engine_() + 0.5) / 4294967296.0); }
    double normal(double sigma) {
        const double u1 = uniform(0, 1), u2 = uniform(0, 1);
        return sigma * std::sqrt(-2 * std::log(u1)) * std::cos(2 * kPi * u2);
    }

  private:
    std::mt19937 engine_;
};

// Reports of a truth path: every 2 to 10 s, positions off by a few metres, speed and track
// noise while moving, altitude in 25-ft steps in the air and whole feet on the ground, vertical rate in
// 64-ft/min steps, and now and then a report that repeats the one before.
std::vector<ScenarioRow> lf_report(const std::vector<ScenarioRow>& truth, double endSecond, Draws& draws) {
    std::vector<ScenarioRow> rows;
    for (double t = truth.front().t; t <= std::min(endSecond, truth.back().t);
         t += std::round(draws.uniform(2, 10))) {
        const ScenarioRow& s = truth[static_cast<size_t>(t - truth.front().t)];
        if (!rows.empty() && draws.uniform(0, 1) < 0.06) {
            rows.push_back(rows.back());
            rows.back().t = s.t;
            continue;
        }
        ScenarioRow r = s;
        const LatLon p = lf_move({s.lat, s.lon}, draws.uniform(0, 360), std::abs(draws.normal(3)) / 0.3048);
        r.lat = p.lat;
        r.lon = p.lon;
        if (s.gsKt > 0) {
            r.gsKt = std::max(0.0, std::round((s.gsKt + draws.normal(1)) * 10) / 10);
            r.trackDeg = std::fmod(s.trackDeg + draws.normal(0.5) + 360, 360);
        }
        r.trackDeg = std::round(r.trackDeg * 10) / 10;
        r.altFt = s.airborne ? std::round(s.altFt / 25) * 25 : 0.0;  // on the ground as the service reports it
        r.vrateFpm = std::round(s.vrateFpm / 64) * 64;
        rows.push_back(r);
    }
    return rows;
}

enum class Kind { arrival, departure, overflight, light, helicopter };

// One synthetic aircraft. keySecond: touchdown (arrival), pushback (departure), closest to
// LSZH (overflight, light), landing (helicopter). course: runway name for arrivals and
// departures, else the track in degrees as text.
struct Plan {
    Kind kind;
    uint32_t hexid;
    const char *airline, *type, *callsign, *registration, *origin, *destination;
    double keySecond;
    const char* course;
    int stand;
    double cruiseFt;
};

// clang-format off
constexpr std::array<Plan, 14> kPlans = {{
    {Kind::arrival,    0x4b1901, "SWR", "A320", "SWR187",  "HB-IJD", "LEMD", "LSZH",   5, "14", 0, 0},
    {Kind::arrival,    0x4b1c44, "EZS", "A320", kBlockedCallsign, "HB-JXA", "LFPG", "LSZH",  60, "14", 1, 0},
    {Kind::arrival,    0x3c6a12, "DLH", "A320", "DLH5KL",  "D-AIZB", "EDDF", "LSZH", 115, "14", 2, 0},
    {Kind::arrival,    0x4b1a77, "EDW", "A343", kRefusedTitleCallsign, "HB-JMD", "MMUN", "LSZH", 150, "14", 3, 0},
    {Kind::arrival,    0x49d2a1, "NJE", "C680", "NJE412",  "CS-DGQ", "LFMN", "LSZH", 190, "14", 4, 0},
    {Kind::departure,  0x4b1c01, "SWR", "BCS3", "SWR1326", "HB-JCA", "LSZH", "EGLL",  70, "28", 5, 0},
    {Kind::departure,  0x484c11, "KLM", "E190", "KLM35F",  "PH-EZA", "LSZH", "EHAM", 120, "28", 6, 0},
    {Kind::departure,  0x4b2e05, "PVT", "PC24", "HBVSA",   "HB-VSA", "LSZH", "LFMN",  30, "32", 7, 0},
    {Kind::overflight, 0x896e21, "UAE", "A388", "UAE87",   "A6-EEA", "OMDB", "KJFK",  60, "300", 0, 37000},
    {Kind::overflight, 0x4bb863, "THY", "B77W", "THY1917", "TC-JJA", "LTFM", "KORD", 130, "315", 0, 35000},
    {Kind::overflight, 0xa9a4c2, "GTI", "BLCF", kUnknownTypeCallsign, "N780BA", "KCHS", "LIRN", 90, "140", 0, 33000},
    {Kind::light,      0x4b0f21, "PVT", "C172", "HBCQB",   "HB-CQB", "LSZF", "LSZG",  80, "250", 0, 3500},
    {Kind::light,      0x4b0f3a, "PVT", "DA40", "HBSDA",   "HB-SDA", "LSZS", "LSZF", 170, "75", 0, 4500},
    {Kind::helicopter, 0x4b2a0c, "PVT", "EC35", "HBZJA",   "HB-ZJA", "", "LSZH", 120, "120", 0, 2500},
}};
// clang-format on

void lf_arrival(PathBuilder& b, const Plan& plan, const Runway& rwy, double runEnd) {
    const double heading = lf_headingDeg(rwy);
    b.leg(std::max(1.0, plan.keySecond - b.now().t), heading, kApproachKt, kApproachKt,
          -lf_ftPerSecond(kApproachKt) * 60 * std::tan(gf_degToRad(kGlidePathDeg)));
    b.setAirborne(false);
    b.leg(40, heading, kApproachKt - 10, 25, 0);
    b.to(kApronJunction, 22, kLszh.elevationFt);
    b.to(lf_stand(plan.stand), 10, kLszh.elevationFt);
    b.holdUntil(runEnd);
}

void lf_departure(PathBuilder& b, const Plan& plan, const Runway& rwy, double runEnd) {
    b.holdUntil(plan.keySecond);
    // About 45 m of pushback, then a minute for the engines before the taxi.
    b.leg(30, kStandHeadingDeg + 180, 3, 3, 0);
    b.hold(60);
    const double heading = lf_headingDeg(rwy);
    b.to(lf_move(rwy.threshold, heading - 90, kHoldingPointM / 0.3048), 20, kLszh.elevationFt);
    b.to(rwy.threshold, 8, kLszh.elevationFt);
    b.hold(10);
    b.leg(35, heading, 5, 150, 0);
    b.setAirborne(true);
    // Climbs at 2,400 ft/min and levels off at the first cruise level.
    const double climbSeconds = (kDepartureLevelFt - b.now().altFt) * 60 / 2400;
    b.leg(std::max(1.0, std::min(runEnd - b.now().t, climbSeconds)), heading, 160, 250, 2400);
    if (b.now().t < runEnd) b.leg(runEnd - b.now().t, heading, 250, 250, 0);
}

// Starts far enough back on the course that the aircraft passes closest to LSZH at keySecond,
// offset sideways so that it does not fly over the field itself.
void lf_straightPass(PathBuilder& b, const Plan& plan, double speedKt, double runEnd) {
    const double course = std::stod(plan.course);
    b.leg(std::max(1.0, runEnd - b.now().t), course, speedKt, speedKt, 0);
}

void lf_helicopter(PathBuilder& b, const Plan& plan, double runEnd) {
    b.to(lf_move(kHeliSpot, std::stod(plan.course), gf_nmToFeet(1)), 110, kLszh.elevationFt + 400);
    b.to(lf_move(kHeliSpot, std::stod(plan.course), 150), 40, kLszh.elevationFt + 40);
    b.to(kHeliSpot, 5, kLszh.elevationFt + 10);
    b.leg(10, b.now().trackDeg, 0, 0, -60);
    b.setAirborne(false);
    b.holdUntil(runEnd);
}

// Where the aircraft is at the first second so that it meets its key moment on time.
PathBuilder lf_start(const Plan& plan, double start, Draws& draws) {
    const double early = plan.keySecond - start;
    switch (plan.kind) {
        case Kind::arrival: {
            const Runway& rwy = lf_runway(plan.course);
            const double heading = lf_headingDeg(rwy);
            const LatLon touchdown = lf_move(rwy.threshold, heading, kTouchdownFromThresholdFt);
            const double distanceFt = early * lf_ftPerSecond(kApproachKt);
            const double height = distanceFt * std::tan(gf_degToRad(kGlidePathDeg));
            return {start,
                    lf_move(touchdown, heading + 180, distanceFt),
                    kLszh.elevationFt + height,
                    kApproachKt,
                    heading,
                    true};
        }
        case Kind::departure:
            return {start, lf_stand(plan.stand), kLszh.elevationFt, 0, kStandHeadingDeg, false};
        case Kind::helicopter: {
            const double distanceFt = (early - 60) * lf_ftPerSecond(110);
            const LatLon p = lf_move(kHeliSpot, std::stod(plan.course), distanceFt);
            return {start, p, plan.cruiseFt, 110, std::stod(plan.course) + 180, true};
        }
        default: {
            const double speed = plan.kind == Kind::light ? 100 : 460;
            const double course = std::stod(plan.course);
            const LatLon abeam =
                lf_move({kLszh.lat, kLszh.lon}, course + 90, gf_nmToFeet(draws.uniform(2, 6)));
            return {start,         lf_move(abeam, course + 180, early * lf_ftPerSecond(speed)),
                    plan.cruiseFt, speed,
                    course,        true};
        }
    }
}

ScenarioTrack lf_track(const Plan& plan, const GeneratorOptions& options, Draws& draws) {
    double start = std::round(options.firstSecond - draws.uniform(0, 30));
    // An arrival shows at least two and a half minutes of its approach.
    if (plan.kind == Kind::arrival) start = std::min(start, plan.keySecond - kMinApproachSeconds);
    const double end = options.runLengthSeconds;
    PathBuilder b = lf_start(plan, start, draws);
    switch (plan.kind) {
        case Kind::arrival:
            lf_arrival(b, plan, lf_runway(plan.course), end);
            break;
        case Kind::departure:
            lf_departure(b, plan, lf_runway(plan.course), end);
            break;
        case Kind::helicopter:
            lf_helicopter(b, plan, end);
            break;
        case Kind::light:
            lf_straightPass(b, plan, 100, end);
            break;
        case Kind::overflight:
            lf_straightPass(b, plan, 460, end);
            break;
    }
    ScenarioTrack track{plan.hexid,       plan.airline,  plan.type,         plan.origin,
                        plan.destination, plan.callsign, plan.registration, {}};
    track.rows = lf_report(b.states_, end, draws);
    return track;
}

// Parked traffic served for LSZH's static parking.
const std::array<ScenarioParked, 3> kParked = {{
    {0x4b1a2b, "SWR", "BCS3", "SWR1327", "HB-JCB", 47.4506, 8.5626, 1, "dock A"},
    {0x4b1a40, "SWR", "B77W", "SWR38", "HB-JNB", 47.4548, 8.5560, 4, "dock E"},
    {0x4b1a55, "EDW", "A320", "EDW7", "HB-JLP", 47.4519, 8.5598, 2, "dock B"},
}};

}  // namespace

void gf_addSyntheticTraffic(Scenario& scenario, const GeneratorOptions& options) {
    Draws draws(options.seed);
    for (const Plan& plan : kPlans) scenario.tracks.push_back(lf_track(plan, options, draws));
    scenario.parked.insert(scenario.parked.end(), kParked.begin(), kParked.end());
    gf_mergeAirports(scenario.airports, {kLszh});
    // The user's aircraft stands on dock B, away from the taxi routes of the traffic.
    scenario.user = {{0, 47.451832, 8.557694, kLszh.elevationFt, 30, 0, true}};
    scenario.frameRate = 30;
    scenario.parkAirport = kLszh.icao;
    scenario.qnhHpa = kDemoQnhHpa;
    scenario.runLengthSeconds = options.runLengthSeconds;
}
