#include "airports/apf_read.h"

#include <algorithm>
#include <bitset>
#include <cmath>

#include <fmt/format.h>

#include "airports/apf_file.h"
#include "airports/apf_lookup.h"
#include "airports/learned.h"
#include "airports/made_up_traffic.h"
#include "airports/stand.h"
#include "airports/stand_options.h"
#include "airports/stock.h"
#include "core/display.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/params.h"
#include "core/xml_meta.h"
#include "feed/feed_state.h"
#include "live/ground_motion.h"
#include "platform/window_model.h"

namespace fs = std::filesystem;

ParkFileHeader g_parkFileHeader;
int32_t g_rtTrafficWeek = 0;
std::atomic<bool> g_parkParamsChanged{false};

namespace {

constexpr int kNoLearnedPercentage = 30;
// The field elevations a file may give: the feed's on-ground rule takes the park airport's
// elevation from it, so a slip of the keyboard would put every aircraft in the air.
constexpr int kLowestAltitudeFt = -1500;
constexpr int kHighestAltitudeFt = 30000;
// Stands read between two looks at the stop flags.
constexpr uint32_t kStandsPerStopCheck = 64;

// What one kind of option (real, soft) of one stand adds up to.
struct KindTally {
    int n = 0, halfHours = 0;
    std::bitset<8> days;
    double score() const {
        if (n == 0) return 0;
        return std::min(20 * n, 4000) + 10000 + 100.0 * days.count() + 2.0 * std::min(halfHours, 600);
    }
};

// Sums of the real (first) and soft (second) options of one stand, before the weight.
std::pair<double, double> lf_kindScores(const Stand& s) {
    KindTally tally[2];  // soft, real
    for (const StandOption& o : s.options) {
        // Made-up options are never written: a saved quality must not count them.
        if (o.index == 0 || o.invented) continue;
        KindTally& t = tally[o.real != 0];
        ++t.n;
        if (o.day >= 1 && o.day <= 7) t.days.set(o.day);
        t.halfHours += std::popcount(o.hh);
    }
    return {tally[1].score(), tally[0].score()};
}

int32_t lf_factor(double sum, double weight) {
    return static_cast<int32_t>(std::clamp(std::round(sum / weight * 0.00625), 0.0, 100.0));
}

std::string lf_load(std::string_view icao, const std::string& location, fs::path& path) {
    if (location.empty()) return "gf_readApf: xml is empty";
    if (icao.empty()) return "gf_readApf: no park airport set";
    path = location;
    if (location.starts_with("airports")) return {};
    path = kParkAirportCopy;
    fs::create_directories(path.parent_path());
    // The caller learns from gf_siteWaits that the site has not answered yet, and reads again later.
    return lf_downloadFile(location, path).value_or("the download site has not answered yet");
}

// "" when the header is read, else the text that refuses the file.
std::string lf_readHeader(const pugi::xml_document& doc, const ApfSource& source, const std::string& location,
                          ParkFileHeader& header, QualityPair& quality) {
    g_rtTrafficWeek = lf_apfParameterInt(doc, "RT_traffic_week").value_or(0);
    header.publisher = lf_apfParameterString(doc, "publisher").value_or("");
    if (header.publisher.empty()) header.publisher = gf_publisherOfLocation(location);
    std::optional<int> altitude = lf_apfParameterInt(doc, "altitude");
    if (!altitude) throw qtk::UserErrorException(65, "Parameter altitude not found");
    if (*altitude < kLowestAltitudeFt || *altitude > kHighestAltitudeFt) {
        const pugi::xml_node row = gf_apfParameterRow(doc, "altitude");
        return fmt::format("{} line {}: altitude '{}' refused, outside {} to {} ft", source.path,
                           source.lineOf(row), row.attribute("value").value(), kLowestAltitudeFt,
                           kHighestAltitudeFt);
    }
    header.altitude = *altitude;
    header.airport_name = lf_apfParameterString(doc, "airport_name").value_or("");
    quality.Qf_real = lf_apfParameterInt(doc, "Qf_real").value_or(-1);
    quality.Qf_soft = lf_apfParameterInt(doc, "Qf_soft").value_or(-1);
    return {};
}

// False when a stop request ended the read.
bool lf_readStands(const pugi::xml_document& doc, const ApfSource& source) {
    const size_t count = gf_parkposCount(doc);
    g_stands.reserve(g_stands.size() + count);
    // The ids as the document holds them: no copies for the check.
    StandIdIndex seen(count);
    uint32_t position = 0;
    bool stopped = false;
    gf_forEachParkpos(doc, [&](pugi::xml_node pos) {
        if (stopped || (position % kStandsPerStopCheck == 0 && (stopped = gf_apfReadStopped()))) return;
        const ParkposAttributes attributes = gf_parkposAttributes(pos);
        std::string_view id = attributes.id.value();
        if (seen.insert(id, position++) != StandIdIndex::kAbsent)
            throw qtk::UserErrorException(94, fmt::format("Parking position {} appears more than once?", id));
        gf_readParkpos(pos, attributes, std::string(id), 1, source);
    });
    return !stopped;
}

// The learned file merged on top; without one parking_percentage is fixed at 30.
bool lf_mergeLearnedFile(std::string_view icao, const ParkFileHeader& header, QualityPair& quality,
                         fs::path& learned) {
    learned = gf_learnedApfPath(icao, header.publisher);
    std::error_code ec;
    bool exists = !learned.empty() && fs::exists(learned, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) throw fs::filesystem_error("exists", learned, ec);
    if (!exists) {
        parking_percentage.set(kNoLearnedPercentage);
        gf_showIntParameter(parking_percentage);
        gf_logIndented(fmt::format("{:24}: {}%", "parking_percentage", kNoLearnedPercentage));
        return false;
    }
    lf_readLearned(learned, header.airport_name);
    quality = gf_qualityFactors();
    if (g_apfHandmade) gf_logLine("A handmade airport file overruled the archived file!");
    return true;
}

void lf_publish(const ParkFileHeader& header, QualityPair quality, bool learnedFile) {
    gf_setParkAirportSet(true);
    gf_setParkAirportElevation(static_cast<double>(header.altitude));
    gf_editStats([&](WindowStats& s) {
        s.publisher = header.publisher;
        s.quality = gf_qualityLabel(quality);
        s.handmade = g_apfHandmade;
        s.standCount = static_cast<int>(g_stands.size());
        s.rtWeek = std::to_string(g_rtTrafficWeek);
    });
    g_staticParkingOn.exchange(true);
    gf_enableParkingControls();
    if (!learnedFile) gf_setEnabled(ctl::kParkingPercentage, false);
    g_parkParamsChanged = false;
    g_parkFileUpdates = 0;
    gf_repaint(Region::ParkingBand);
}

}  // namespace

void gf_readApf(std::string_view icao, const std::string& location, std::string& error, ParkFileHeader& header,
                QualityPair& quality) {
    fs::path path;
    error = lf_load(icao, location, path);
    if (!error.empty()) return;
    g_apfHandmade = false;
    g_learnedOrphans.clear();
    ApfSource source;
    pugi::xml_document doc;
    std::string reason;
    if (!gf_loadApfDocument(path, source, doc, reason)) {
        gf_logWarning(fmt::format("{}: {}", path.string(), reason));
        error = fmt::format("{}: could not load file: {}", location, path.string());
        return;
    }
    bool meta = gf_readMetaInfo(doc, author);
    meta = gf_readMetaInfo(doc, date) && meta;
    meta = gf_readMetaInfo(doc, version) && meta;
    if (!meta) {
        error = fmt::format("{}: refused to load (copyright)", location);
        return;
    }
    error = lf_readHeader(doc, source, location, header, quality);
    if (!error.empty()) return;
    fs::path learned;
    bool learnedFile = lf_readStands(doc, source) && lf_mergeLearnedFile(icao, header, quality, learned);
    // Half a file must never be taken for the airport: a save would write it over the learned file.
    if (gf_apfReadStopped()) {
        error = fmt::format("{}: reading stopped", location);
        return;
    }
    if (PARK_FAKE.value()) lf_addFakeParkedTraffic(icao, g_stands);
    gf_numberStands();
    gf_logLine(fmt::format("Airport file read from '{}' for {}", g_apfHandmade ? learned.string() : location,
                           header.airport_name));
    gf_logIndented(fmt::format("{:24}: {}", "publisher", header.publisher));
    gf_logIndented(fmt::format("{:24}: {} ft", "altitude", header.altitude));
    gf_logIndented(fmt::format("{:24}: {}", "num_parkpos", g_stands.size()));
    gf_logIndented(fmt::format("{:24}: {}", "quality factor", gf_qualityLabel(quality)));
    gf_logIndented(fmt::format("{:24}: {}", "RT traffic week", g_rtTrafficWeek));
    lf_publish(header, quality, learnedFile);
    if (g_stands.empty()) error = "no stands found";
}

QualityPair gf_qualityFactors() {
    bool anyOption = std::any_of(g_stands.begin(), g_stands.end(), [](const Stand& s) {
        return std::any_of(s.options.begin(), s.options.end(),
                           [](const StandOption& o) { return !o.invented; });
    });
    if (!anyOption) return {};
    double weight = 0, sumReal = 0, sumSoft = 0;
    for (const Stand& s : g_stands) {
        double w = s.radius <= 7.0 ? 0.3 : s.radius <= 10.0 ? 1.5 : 1.0;
        weight += w;
        const auto [real, soft] = lf_kindScores(s);
        sumReal += real * w;
        sumSoft += soft * w;
    }
    if (weight <= 0) return {};
    return {lf_factor(sumReal, weight), lf_factor(sumSoft, weight)};
}

std::string gf_qualityLabel(QualityPair q) {
    if (q.Qf_real < 0 && q.Qf_soft < 0) return "  ";
    if (q.Qf_real < 45) return fmt::format("{:2}/{:2}", q.Qf_real, q.Qf_soft);
    return fmt::format("{:2}", q.Qf_real);
}

void gf_resetParkFile() {
    g_parkFileHeader = {};
    g_rtTrafficWeek = 0;
    g_parkParamsChanged = false;
    g_apfHandmade = false;
    g_learnedOrphans.clear();
}
