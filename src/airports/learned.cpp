#include "airports/learned.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "core/geo.h"
#include "core/log.h"
#include "core/param_rules.h"
#include "core/params.h"
#include "core/text.h"
#include "core/xml_meta.h"
#include "platform/window_model.h"
#include "shell/window.h"

namespace fs = std::filesystem;

namespace {

constexpr double kMaxLearnedRadiusM = 2000.0;

void lf_logSetting(std::string_view name, std::string_view value) {
    gf_logIndented(fmt::format("{:24}: {}", name, value));
}

void lf_applyBool(const pugi::xml_document& doc, BoolParameter& record) {
    std::optional<bool> v = lf_apfParameterBool(doc, record.name());
    if (!v) return;
    record.set(*v);
    gf_setChecked(record.controlId(), *v);
    lf_logSetting(record.name(), *v ? "true" : "false");
}

int lf_maxLiveChoice(int value) {
    auto v = static_cast<uint32_t>(value);
    if (v == 0) return 0;
    if (v <= 17) return 10;
    if (v <= 37) return 25;
    if (v <= 62) return 50;
    if (v <= 87) return 75;
    if (v <= 299) return 100;
    return 500;
}

void lf_applyMaxLive(const pugi::xml_document& doc) {
    // Without the entry the user's own choice stands.
    std::optional<int> v = lf_apfParameterInt(doc, "MAX_LIVE");
    if (!v) return;
    MAX_LIVE_SEL.set(lf_maxLiveChoice(*v));
    gf_showIntParameter(MAX_LIVE_SEL);
    lf_logSetting("MAX_LIVE", std::to_string(MAX_LIVE_SEL.value()));
}

void lf_applyRange(const pugi::xml_document& doc) {
    if (std::optional<int> v = lf_apfParameterInt(doc, "LATERAL_RANGE")) {
        int range = gf_snapRange(*v);
        gf_setRange(range);
        gf_setEnabled(ctl::kRange, true);
        lf_logSetting("LATERAL_RANGE", std::to_string(range));
    }
    std::optional<bool> autoRange = lf_apfParameterBool(doc, "AUTO_RANGE");
    if (!autoRange) return;
    AUTO_RANGE.set(*autoRange);
    gf_setChecked(ctl::kAutoRange, *autoRange);
    if (*autoRange) {
        g_manualRange = RANGE.value();
        gf_autoRange();
        gf_setEnabled(ctl::kRange, false);
    } else {
        gf_setEnabled(ctl::kRange, true);
        gf_setRange(g_manualRange);
        gf_clearMessage();
    }
    gf_showIntParameter(RANGE);
    lf_logSetting("AUTO_RANGE", *autoRange ? "true" : "false");
}

void lf_applyPercentage(const pugi::xml_document& doc) {
    std::optional<int> v = lf_apfParameterInt(doc, "parking_percentage");
    if (v) {
        parking_percentage.set(*v % 5 == 0 ? *v : gf_snapPercentage(*v));
        lf_logSetting("parking_percentage", std::to_string(*v));
    } else {
        parking_percentage.set(30);
    }
    gf_showIntParameter(parking_percentage);
}

void lf_applyMaxFit(const pugi::xml_document& doc) {
    std::optional<int> v = lf_apfParameterInt(doc, "MAX_FIT");
    if (!v) return;
    MAX_FIT.set(*v);
    MAX_FIT_FL.set(gf_maxFitToFloat());
    gf_setSelected(ctl::kMaxFitFl, MAX_FIT_FL.choiceIndex());
    gf_logIndented(fmt::format("{:24}: {} (max number of half hours, is {} hrs decimal)", "MAX_FIT", MAX_FIT.value(),
                               gf_floatText(static_cast<float>(MAX_FIT_FL.value()))));
}

void lf_applySettings(const pugi::xml_document& doc) {
    lf_applyBool(doc, LEARN_SOFT);
    lf_applyMaxLive(doc);
    lf_applyRange(doc);
    lf_applyBool(doc, PARK_FAKE);
    lf_applyBool(doc, WEEK);
    lf_applyBool(doc, PARK_SOFT);
    lf_applyPercentage(doc);
    lf_applyBool(doc, INITIAL_LOAD_ONLY);
    lf_applyMaxFit(doc);
    lf_applyBool(doc, RT_PARKTRAFFIC_ONLY);
}

// A parkpos of the learned file with its attributes, found once for every use.
struct LearnedParkpos {
    pugi::xml_node node;
    ParkposAttributes attributes;
};

// Position in g_stands of the first stand of each name. The keys are the names in g_stands
// itself: g_stands must not grow beyond its capacity while the index is in use.
StandIdIndex lf_firstStandOfName() {
    StandIdIndex first(g_stands.size());
    for (size_t i = 0; i < g_stands.size(); ++i) first.insert(g_stands[i].name, static_cast<uint32_t>(i));
    return first;
}

void lf_readManualStand(std::string_view name, const LearnedParkpos& pos, const ApfSource& source,
                        StandIdIndex& first) {
    if (first.find(name) != StandIdIndex::kAbsent) {
        gf_logWarning(fmt::format("manually created standid {} already exists in {}", name, source.path));
        return;
    }
    const ParkposAttributes& a = pos.attributes;
    LatLon p{a.latitude.as_double(0), a.longitude.as_double(0)};
    if (!gf_isPositionSet(p) || a.radius.as_double(0) == 0) {
        gf_logWarning(fmt::format("manually created standid {} misses correct attributes in {}", name, source.path));
        return;
    }
    if (!gf_readParkpos(pos.node, a, std::string(name), 0, source)) return;
    g_stands.back().manual = true;
    first.insert(g_stands.back().name, static_cast<uint32_t>(g_stands.size() - 1));
}

// Every parkpos of the file with its id; a repeated id is skipped, after the first repeat
// warned about and the file kept as a copy, since the saver would write it without the repeat.
template <class Read>
void lf_forEachParkpos(const std::vector<LearnedParkpos>& positions, const ApfSource& source, Read&& read) {
    StandIdIndex seen(positions.size());
    bool copied = false;
    uint32_t position = 0;
    for (const LearnedParkpos& pos : positions) {
        std::string_view id = pos.attributes.id.value();
        if (seen.insert(id, position++) == StandIdIndex::kAbsent) {
            read(id, pos);
            continue;
        }
        std::string copy = copied ? "" : gf_keepLearnedCopy(source.path).string();
        gf_logWarning(fmt::format("Parking position {} appears more than once in {} line {}{}", id, source.path,
                                  source.lineOf(pos.node), copied ? "" : fmt::format(", kept a copy as {}", copy)));
        copied = true;
    }
}

bool lf_applyChanges(std::string_view name, const LearnedParkpos& pos, Stand& stand, const ApfSource& source) {
    if (stand.name != name) return false;
    const ParkposAttributes& a = pos.attributes;
    if (gf_apfBool(a.radius_change.value())) {
        double metres = a.radius.as_double(0);
        if (std::isfinite(metres) && metres >= 0 && metres <= kMaxLearnedRadiusM) {
            stand.radius = gf_metersToNm(metres);
            stand.radius_change = true;
        } else {
            gf_logWarning(fmt::format("{} line {}: radius change of stand '{}' dropped, bad radius '{}'", source.path,
                                      source.lineOf(pos.node), name, a.radius.value()));
        }
    }
    if (gf_apfBool(a.cargo_change.value())) {
        stand.cargo = gf_apfBool(a.cargo.value());
        stand.cargo_change = true;
    }
    uint32_t next = stand.options.empty() ? 1 : stand.options.back().index + 1;
    const size_t count = gf_optCount(pos.node);
    if (count == 0) return true;
    stand.options.reserve(stand.options.size() + count);
    gf_forEachOpt(pos.node, [&](pugi::xml_node opt) {
        StandOption option;
        if (!gf_readApfOption(opt, source, next, 0, option)) return;
        bool known = std::any_of(stand.options.begin(), stand.options.end(),
                                 [&](const StandOption& o) { return lf_optionAlreadyKnown(option, o); });
        if (known) return;
        stand.options.push_back(std::move(option));
        ++next;
    });
    return true;
}

void lf_mergeLearned(const fs::path& path, const std::string& archivedName) {
    ApfSource source;
    pugi::xml_document doc;
    std::string reason;
    if (!gf_loadApfDocument(path, source, doc, reason)) {
        if (path.has_extension() && fs::exists(path)) gf_keepLearnedCopy(path);
        gf_logLine(fmt::format("{} found, but could not be loaded, saved as *.0.xml: {}", path.string(), reason));
        return;
    }
    gf_logLine(fmt::format("Read from learned airport file: '{}'", path.string()));
    if (!gf_readMetaInfo(doc, author) || !gf_readMetaInfo(doc, date) || !gf_readMetaInfo(doc, version))
        gf_logWarning(fmt::format("{} misses its meta entries, kept a copy as {}", path.string(),
                                  gf_keepLearnedCopy(path).string()));
    std::string learnedName = lf_apfParameterString(doc, "airport_name").value_or("");
    if (learnedName != archivedName)
        gf_showMessage(fmt::format("Warning: learned file airport name: '{}' differs from archived file airport "
                                   "name: '{}'",
                                   learnedName, archivedName),
                       true);
    lf_applySettings(doc);
    std::vector<LearnedParkpos> positions;
    positions.reserve(gf_parkposCount(doc));
    size_t manual = 0;
    gf_forEachParkpos(doc, [&](pugi::xml_node node) {
        positions.push_back({node, gf_parkposAttributes(node)});
        manual += gf_apfBool(positions.back().attributes.manual.value());
    });
    if (std::optional<std::string> handmade = lf_apfParameterString(doc, "handmade")) {
        g_apfHandmade = true;
        g_stands.clear();
        g_stands.reserve(positions.size());
        lf_forEachParkpos(positions, source, [&](std::string_view id, const LearnedParkpos& pos) {
            gf_readParkpos(pos.node, pos.attributes, std::string(id), 1, source);
        });
        lf_logSetting("handmade", *handmade);
        return;
    }
    g_apfHandmade = false;
    // Room for the manual stands of the file beforehand, so that the names keying the index
    // never move.
    g_stands.reserve(g_stands.size() + manual);
    StandIdIndex first = lf_firstStandOfName();
    lf_forEachParkpos(positions, source, [&](std::string_view id, const LearnedParkpos& pos) {
        if (gf_apfBool(pos.attributes.manual.value())) return lf_readManualStand(id, pos, source, first);
        const uint32_t at = first.find(id);
        if (at == StandIdIndex::kAbsent || !lf_applyChanges(id, pos, g_stands[at], source))
            gf_logLine(fmt::format("learned stand {} in {} not found?", id, path.string()));
    });
}

}  // namespace

fs::path gf_keepLearnedCopy(const fs::path& path) {
    fs::path copy = path;
    copy.replace_filename(path.stem().string() + "0" + path.extension().string());
    fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
    return copy;
}

bool lf_optionAlreadyKnown(const StandOption& added, const StandOption& known) {
    return added.day == known.day && added.real == known.real && added.reg == known.reg &&
           added.airline == known.airline && added.type == known.type && (added.hh & known.hh) != 0;
}

bool lf_applyLearnedChanges(std::string_view name, pugi::xml_node pos, Stand& stand, const ApfSource& source) {
    return lf_applyChanges(name, {pos, gf_parkposAttributes(pos)}, stand, source);
}

void lf_readLearned(const fs::path& path, const std::string& archivedName) {
    try {
        lf_mergeLearned(path, archivedName);
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("lf_readLearned: {}", e.what()));
    }
}
