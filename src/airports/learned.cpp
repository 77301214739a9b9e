#include "airports/learned.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "core/display.h"
#include "core/geo.h"
#include "core/log.h"
#include "core/param_rules.h"
#include "core/params.h"
#include "core/text.h"
#include "core/xml_meta.h"
#include "platform/window_model.h"

namespace fs = std::filesystem;

std::vector<Stand> g_learnedOrphans;

namespace {

constexpr double kMaxLearnedRadiusM = 2000.0;
// Stands merged between two looks at the stop flags.
constexpr uint32_t kParkposPerStopCheck = 64;

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
    const std::optional<int> v = lf_apfParameterInt(doc, "LATERAL_RANGE");
    if (v) {
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
        gf_pickAutoRange();
        gf_setEnabled(ctl::kRange, false);
    } else {
        gf_setEnabled(ctl::kRange, true);
        // The file's range is the one the user chose for this airport; only without one does
        // the range remembered in this run come back.
        if (v) g_manualRange = RANGE.value();
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

// The options of the stands a merge adds to, found by aircraft, weekday and kind: a learned
// option is compared with the options of the same aircraft only, so that a merge stays linear
// in the options of the file however many one stand has. The merge numbers the stands (keys).
// A stand of a few options is simply searched; past that its options are indexed once, and
// every option it gets later joins the index.
class KnownOptions {
  public:
    // True when one of the first count options of the stand with the same day, real flag,
    // registration, airline and type holds every half-hour of the option (which may be the
    // stand's next one, read in place).
    bool covers(size_t key, const Stand& stand, size_t count, const StandOption& option) {
        if (!indexed(key)) {
            const auto end = stand.options.begin() + static_cast<std::ptrdiff_t>(count);
            if (count <= kSearched)
                return std::any_of(stand.options.begin(), end,
                                   [&](const StandOption& o) { return lf_optionAlreadyKnown(option, o); });
            indexed_[key] = true;
            for (size_t i = 0; i < count; ++i) insert(key, stand, i);
        }
        const uint64_t hash = lf_hash(key, option);
        const size_t mask = slots_.size() - 1;
        for (size_t i = hash & mask; slots_[i].key != 0; i = (i + 1) & mask) {
            const Slot& slot = slots_[i];
            // The half-hours first: the option itself is looked at only when it may hold them all.
            if (slot.hash != hash || (option.hh & ~slot.hh) != 0 || slot.key != key + 1) continue;
            if (lf_optionAlreadyKnown(option, stand.options[slot.position])) return true;
        }
        return false;
    }
    // The stand's option at that position was appended.
    void add(size_t key, const Stand& stand, size_t position) {
        if (indexed(key)) insert(key, stand, position);
    }

  private:
    static constexpr size_t kSearched = 16;
    struct Slot {
        uint64_t hash = 0;
        uint64_t hh = 0;   // the option's half-hours
        uint32_t key = 0;  // the stand's key + 1; 0: empty
        uint32_t position = 0;
    };
    bool indexed(size_t key) {
        if (key >= indexed_.size()) indexed_.resize(key + 1, false);
        return indexed_[key];
    }
    static uint64_t lf_hash(size_t key, const StandOption& o) {
        uint64_t hash = 0xcbf29ce484222325u;
        const auto mix = [&hash](std::string_view text) {
            for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
            hash = (hash ^ 0xffu) * 0x100000001b3u;  // "AB"+"C" and "A"+"BC" differ
        };
        mix(o.reg), mix(o.airline), mix(o.type);
        hash ^= (uint64_t{o.day} << 40) ^ (uint64_t{o.real} << 56) ^ key;
        return hash ^ (hash >> 29);
    }
    static void lf_place(std::vector<Slot>& slots, const Slot& slot) {
        const size_t mask = slots.size() - 1;
        size_t i = slot.hash & mask;
        while (slots[i].key != 0) i = (i + 1) & mask;
        slots[i] = slot;
    }
    void insert(size_t key, const Stand& stand, size_t position) {
        if (2 * (used_ + 1) > slots_.size()) {
            std::vector<Slot> bigger(std::max<size_t>(64, 2 * slots_.size()));
            for (const Slot& s : slots_)
                if (s.key != 0) lf_place(bigger, s);
            slots_.swap(bigger);
        }
        const StandOption& option = stand.options[position];
        lf_place(slots_, {lf_hash(key, option), option.hh, static_cast<uint32_t>(key + 1),
                          static_cast<uint32_t>(position)});
        ++used_;
    }
    std::vector<Slot> slots_;
    size_t used_ = 0;
    std::vector<bool> indexed_;
};

// Position in g_stands of the first stand of each name. The keys are the names in g_stands
// itself: g_stands must not grow beyond its capacity while the index is in use.
StandIdIndex lf_firstStandOfName() {
    StandIdIndex first(g_stands.size());
    for (size_t i = 0; i < g_stands.size(); ++i) first.insert(g_stands[i].name, static_cast<uint32_t>(i));
    return first;
}

// Where an ordinary merge puts what the file says: the first stand of each name (the archived
// ones, then the manual ones of the file) and, for a name none of them has, a stand of its own
// among g_learnedOrphans. The names keying the indexes live in those stands, so neither list
// may grow beyond the room reserved for the merge; the orphans get theirs with the first one,
// since most files have none.
struct MergeTargets {
    StandIdIndex first = lf_firstStandOfName();
    std::optional<StandIdIndex> orphans;
    size_t orphanKeys = g_stands.capacity();  // the key of orphan 0
    size_t orphanRoom;                        // ordinary parkpos of the file: at most so many orphans
    KnownOptions known;
    explicit MergeTargets(size_t ordinaryCount) : orphanRoom(ordinaryCount) {}
};

void lf_readManualStand(std::string_view name, const LearnedParkpos& pos, const ApfSource& source,
                        MergeTargets& targets) {
    if (targets.first.find(name) != StandIdIndex::kAbsent) {
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
    targets.first.insert(g_stands.back().name, static_cast<uint32_t>(g_stands.size() - 1));
}

// A repeated id that cannot be merged: warned about, and the file kept as a copy at the first
// repeat, since the saver would write it without the repeat.
void lf_keepRepeat(std::string_view id, const LearnedParkpos& pos, const ApfSource& source, bool& copied) {
    std::string copy = copied ? "" : gf_keepLearnedCopy(source.path).string();
    gf_logWarning(fmt::format("Parking position {} appears more than once in {} line {}{}", id, source.path,
                              source.lineOf(pos.node),
                              copied ? "" : fmt::format(", kept a copy as {}", copy)));
    copied = true;
}

// Every parkpos of the file with its id and whether the id came before in the file; a repeat
// that read() does not take (false) is skipped, with lf_keepRepeat. Without repeatsMatter
// every parkpos counts as the first of its id: the ids are then not indexed at all.
template <class Read>
void lf_forEachParkpos(const std::vector<LearnedParkpos>& positions, const ApfSource& source, Read&& read,
                       bool repeatsMatter = true) {
    StandIdIndex seen(repeatsMatter ? positions.size() : 0);
    bool copied = false;
    uint32_t position = 0;
    for (const LearnedParkpos& pos : positions) {
        if (position % kParkposPerStopCheck == 0 && gf_apfReadStopped()) return;
        std::string_view id = pos.attributes.id.value();
        const bool repeat = repeatsMatter && seen.insert(id, position) != StandIdIndex::kAbsent;
        ++position;
        if (!read(id, pos, repeat)) lf_keepRepeat(id, pos, source, copied);
    }
}

// The radius and cargo corrections and the options of a learned parkpos, the options not
// already known, applied to the stand with that key.
void lf_applyChanges(const LearnedParkpos& pos, Stand& stand, size_t key, KnownOptions& known,
                     const ApfSource& source) {
    const ParkposAttributes& a = pos.attributes;
    if (gf_apfBool(a.radius_change.value())) {
        double metres = a.radius.as_double(0);
        if (std::isfinite(metres) && metres >= 0 && metres <= kMaxLearnedRadiusM) {
            stand.radius = gf_metersToNm(metres);
            stand.radius_change = true;
        } else {
            gf_logWarning(fmt::format("{} line {}: radius change of stand '{}' dropped, bad radius '{}'",
                                      source.path, source.lineOf(pos.node), stand.name, a.radius.value()));
        }
    }
    if (gf_apfBool(a.cargo_change.value())) {
        stand.cargo = gf_apfBool(a.cargo.value());
        stand.cargo_change = true;
    }
    uint32_t next = stand.options.empty() ? 1 : stand.options.back().index + 1;
    const size_t count = gf_optCount(pos.node);
    if (count == 0) return;
    stand.options.reserve(stand.options.size() + count);
    // Each option is read in place behind the stand's options, and taken back when it is bad
    // or already known: the room is reserved, so nothing moves meanwhile.
    gf_forEachOpt(pos.node, [&](pugi::xml_node opt) {
        const size_t before = stand.options.size();
        StandOption& option = stand.options.emplace_back();
        if (!gf_readApfOption(opt, source, next, 0, option) || known.covers(key, stand, before, option)) {
            stand.options.pop_back();
            return;
        }
        known.add(key, stand, before);
        ++next;
    });
}

// A stand that is neither manual nor handmade: merged into the first stand of its name, also
// when the file repeats it; a name the stands lack keeps its own stand for the next save (a
// stand renamed in a newer archived file must not lose what was learned there).
void lf_mergeOrdinary(std::string_view id, const LearnedParkpos& pos, const ApfSource& source,
                      MergeTargets& targets) {
    uint32_t at = targets.first.find(id);
    if (at != StandIdIndex::kAbsent) return lf_applyChanges(pos, g_stands[at], at, targets.known, source);
    if (!targets.orphans) {
        targets.orphans.emplace(targets.orphanRoom);
        g_learnedOrphans.reserve(targets.orphanRoom);
    }
    at = targets.orphans->find(id);
    if (at == StandIdIndex::kAbsent) {
        gf_logLine(fmt::format("learned stand {} in {} not found?", id, source.path));
        at = static_cast<uint32_t>(g_learnedOrphans.size());
        g_learnedOrphans.emplace_back(std::string(id), std::vector<StandOption>{}, 0.0, 0.0, 0.0, 0.0, false,
                                      false, false);
        targets.orphans->insert(g_learnedOrphans.back().name, at);
    }
    lf_applyChanges(pos, g_learnedOrphans[at], targets.orphanKeys + at, targets.known, source);
}

void lf_readHandmade(const std::vector<LearnedParkpos>& positions, const ApfSource& source) {
    g_apfHandmade = true;
    g_stands.clear();
    g_stands.reserve(positions.size());
    lf_forEachParkpos(positions, source, [&](std::string_view id, const LearnedParkpos& pos, bool repeat) {
        if (repeat) return false;
        // The mark of a stand added by hand stays for the next save, which writes it again.
        if (gf_readParkpos(pos.node, pos.attributes, std::string(id), 1, source))
            g_stands.back().manual = gf_apfBool(pos.attributes.manual.value());
        return true;
    });
}

void lf_readOrdinary(const std::vector<LearnedParkpos>& positions, size_t manual, const ApfSource& source) {
    g_apfHandmade = false;
    // Room for the manual stands of the file beforehand, so that the names keying the index
    // never move.
    g_stands.reserve(g_stands.size() + manual);
    MergeTargets targets(positions.size() - manual);
    // An ordinary stand merges repeats itself: only a manual stand asks whether its id came
    // before, so without one the ids are not indexed.
    lf_forEachParkpos(
        positions, source,
        [&](std::string_view id, const LearnedParkpos& pos, bool repeat) {
            if (!gf_apfBool(pos.attributes.manual.value()))
                lf_mergeOrdinary(id, pos, source, targets);
            else if (repeat)
                return false;
            else
                lf_readManualStand(id, pos, source, targets);
            return true;
        },
        manual > 0);
}

// Set aside as a warning the message line shows too: the next save writes over it.
void lf_setAside(const fs::path& path, const std::string& reason) {
    std::error_code ec;
    if (path.has_extension() && fs::is_regular_file(path, ec)) gf_keepLearnedCopy(path);
    const std::string text =
        fmt::format("{} found, but could not be loaded, saved as *.0.xml: {}", path.string(), reason);
    gf_showMessage(text, false);
    gf_logWarning(text);
}

void lf_mergeLearned(const fs::path& path, const std::string& archivedName) {
    g_learnedOrphans.clear();
    ApfSource source;
    pugi::xml_document doc;
    std::string reason;
    if (!gf_loadApfDocument(path, source, doc, reason)) return lf_setAside(path, reason);
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
        lf_readHandmade(positions, source);
        lf_logSetting("handmade", *handmade);
        return;
    }
    lf_readOrdinary(positions, manual, source);
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
           added.airline == known.airline && added.type == known.type && (added.hh & ~known.hh) == 0;
}

bool lf_applyLearnedChanges(std::string_view name, pugi::xml_node pos, Stand& stand, const ApfSource& source) {
    if (stand.name != name) return false;
    KnownOptions known;
    lf_applyChanges({pos, gf_parkposAttributes(pos)}, stand, 0, known, source);
    return true;
}

void lf_readLearned(const fs::path& path, const std::string& archivedName) {
    try {
        lf_mergeLearned(path, archivedName);
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("lf_readLearned: {}", e.what()));
    }
}
