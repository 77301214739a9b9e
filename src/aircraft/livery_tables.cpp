#include "aircraft/livery_tables.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <numeric>
#include <unordered_set>

#include <fmt/format.h>

#include "aircraft/liveries_scanned.h"
#include "aircraft/matching.h"
#include "aircraft/regcodes.h"
#include "aircraft/similar_models.h"
#include "core/log.h"
#include "core/params.h"
#include "core/params_file.h"
#include "core/random.h"
#include "core/text.h"
#include "platform/window_model.h"

RawAirlineMap g_rawAirlineTable{&gf_liveryArena()};
std::array<AirlineTitleMap, 2> g_airlineTables{AirlineTitleMap(&gf_liveryArena()),
                                               AirlineTitleMap(&gf_liveryArena())};
std::array<TypeTitleMap, 2> g_typeTables{TypeTitleMap(&gf_liveryArena()), TypeTitleMap(&gf_liveryArena())};
ClassPickList g_lightTypes;
ClassPickList g_bizjetTypes;
ClassPickList g_heliTypes;
bool g_liveryTablesReserved = false;

namespace {

// Every installed title once, as the number of its first entry in table order: the regcode
// sources look up thousands of titles, which a walk of the whole table per title would make
// quadratic. Open addressing over the entry array: a slot holds the title's hash in its high
// half and the entry's number + 1 in its low half (0: empty slot).
struct TitleIndex {
    const RawTitleEntry* entries = nullptr;
    std::uint64_t* slots = nullptr;
    std::size_t mask = 0;
};
TitleIndex g_titleIndex;

std::uint64_t lf_titleHash(std::string_view title) {
    return std::hash<std::string_view>{}(title);
}

// The slot that holds the title, or the empty slot where it would go.
std::uint64_t* lf_titleSlot(std::string_view title, std::uint64_t hash) {
    const std::uint64_t tag = hash >> 32 << 32;
    for (std::size_t i = hash & g_titleIndex.mask;; i = (i + 1) & g_titleIndex.mask) {
        std::uint64_t& slot = g_titleIndex.slots[i];
        if (slot == 0) return &slot;
        if ((slot & ~0xffffffffULL) == tag && g_titleIndex.entries[(slot & 0xffffffffULL) - 1].title == title)
            return &slot;
    }
}

// Two texts are equal; the codes compared here are short, where a call of memcmp costs more
// than the comparison.
bool lf_sameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// The end of the run of liveries from `first` on whose text `field` is the same.
template <class Field>
std::size_t lf_runEnd(std::span<const LiveryView> liveries, std::size_t first, std::size_t last,
                      Field field) {
    std::size_t end = first + 1;
    while (end < last && lf_sameText(field(liveries[end]), field(liveries[first]))) ++end;
    return end;
}

const auto kAirlineOf = [](const LiveryView& l) { return l.airline; };
const auto kTypeOf = [](const LiveryView& l) { return l.type; };

// Copies of texts in one block of the livery arena taken at once: the table keeps tens of
// thousands of short texts, each of which would otherwise be an allocation of its own.
class ArenaTexts {
  public:
    explicit ArenaTexts(std::size_t bytes)
        : next_(bytes == 0 ? nullptr : static_cast<char*>(gf_liveryArena().allocate(bytes, 1))) {}
    std::string_view copy(std::string_view text) {
        if (text.empty()) return {};
        char* copy = std::copy(text.begin(), text.end(), next_) - text.size();
        next_ += text.size();
        return {copy, text.size()};
    }

  private:
    char* next_;
};

// Room for every text of the liveries that the table may keep.
std::size_t lf_textBytes(std::span<const LiveryView> liveries) {
    std::size_t bytes = 0;
    for (const LiveryView& l : liveries) bytes += l.airline.size() + l.type.size() + l.title.size();
    return bytes;
}

// Files the liveries into g_rawAirlineTable: every run of one airline becomes its type map,
// every run of one type in it a span of the entry array that the whole table shares. A run
// whose airline (or, under its airline, whose type) was filed before is left out and its room
// in the array taken by the next. `entries` has room for every livery.
void lf_fileLiveries(std::span<const LiveryView> liveries, RawTitleEntry* entries) {
    std::size_t airlines = 0;
    for (std::size_t i = 0; i < liveries.size(); i = lf_runEnd(liveries, i, liveries.size(), kAirlineOf))
        ++airlines;
    g_rawAirlineTable.reserve(g_rawAirlineTable.size() + airlines);
    ArenaTexts texts(lf_textBytes(liveries));
    std::size_t used = 0;
    for (std::size_t first = 0; first < liveries.size();) {
        const std::size_t last = lf_runEnd(liveries, first, liveries.size(), kAirlineOf);
        std::size_t runs = 0;
        for (std::size_t i = first; i < last; i = lf_runEnd(liveries, i, last, kTypeOf)) ++runs;
        // The type map takes the table's arena as its allocator.
        const auto [filed, added] = g_rawAirlineTable.try_emplace(texts.copy(liveries[first].airline));
        if (added) {
            RawTypeMap& types = filed->second;
            types.reserve(runs);
            for (std::size_t i = first; i < last;) {
                const std::size_t end = lf_runEnd(liveries, i, last, kTypeOf);
                const auto [run, fresh] = types.try_emplace(texts.copy(liveries[i].type));
                if (fresh) {
                    for (std::size_t k = i; k < end; ++k)
                        new (entries + used + (k - i))
                            RawTitleEntry{texts.copy(liveries[k].title), liveries[k].cargo};
                    run->second = RawTitleRun(entries + used, end - i);
                    used += end - i;
                }
                i = end;
            }
        }
        first = last;
    }
}

void lf_buildTitleIndex(const RawTitleEntry* entries) {
    std::size_t count = 0;
    for (const auto& [airline, types] : g_rawAirlineTable)
        for (const auto& [type, run] : types) count += run.size();
    std::size_t capacity = 16;
    while (capacity < count + count / 2) capacity *= 2;
    g_titleIndex.entries = entries;
    g_titleIndex.mask = capacity - 1;
    g_titleIndex.slots = static_cast<std::uint64_t*>(
        gf_liveryArena().allocate(capacity * sizeof(std::uint64_t), alignof(std::uint64_t)));
    std::fill_n(g_titleIndex.slots, capacity, 0);
    for (const auto& [airline, types] : g_rawAirlineTable)
        for (const auto& [type, run] : types)
            for (const RawTitleEntry& entry : run) {
                const std::uint64_t hash = lf_titleHash(entry.title);
                std::uint64_t* slot = lf_titleSlot(entry.title, hash);
                if (*slot == 0) *slot = hash >> 32 << 32 | static_cast<std::uint64_t>(&entry - entries + 1);
            }
}

std::size_t lf_cargoCount(RawTitleRun run) {
    return static_cast<std::size_t>(
        std::count_if(run.begin(), run.end(), [](const RawTitleEntry& entry) { return entry.cargo; }));
}

// The type code's lists in g_typeTables, filled in two passes over the raw table: the first
// counts, the second appends into lists reserved to their exact size.
struct TypeSlot {
    std::string_view type;
    std::array<std::size_t, 2> counts{};
    std::array<TitleList*, 2> lists{};
};

// One slot per type code with liveries, in ascending byte order of the codes; `slotOfRun`
// gets the slot of every run in table order.
std::vector<TypeSlot> lf_typeSlots(std::vector<std::uint32_t>& slotOfRun) {
    std::vector<TypeSlot> slots;
    std::unordered_map<std::string_view, std::uint32_t, TextHash> slotOfType;
    for (const auto& [airline, types] : g_rawAirlineTable) {
        // A livery without a type code has no type to be found by; it stays in the airline tables.
        for (const auto& [type, run] : types) {
            if (type.empty()) continue;
            const auto [it, added] = slotOfType.try_emplace(type, static_cast<std::uint32_t>(slots.size()));
            if (added) slots.push_back({type});
            const std::size_t cargo = lf_cargoCount(run);
            slots[it->second].counts[0] += run.size() - cargo;
            slots[it->second].counts[1] += cargo;
            slotOfRun.push_back(it->second);
        }
    }
    return slots;
}

std::string lf_randomType(const ClassPickList& list) {
    if (list.empty()) return {};
    if (list.size() == 1) return list.front();
    return list[gf_nextRandom() % list.size()];
}

// The option a category without liveries switches off; nullptr for the other categories.
BoolParameter* lf_categoryOption(AircraftCategory category) {
    switch (category) {
        case AircraftCategory::Light:
            return &LIGHT_AIRCRAFT;
        case AircraftCategory::HighPerf:
            return &HIGH_PERF_AIRCRAFT;
        case AircraftCategory::Rotorcraft:
            return &HELICOPTERS;
        default:
            return nullptr;
    }
}

const char* lf_switchedOffText(AircraftCategory category) {
    switch (category) {
        case AircraftCategory::Light:
            return "{} temporarily switched off because you do not have light aircraft installed";
        case AircraftCategory::HighPerf:
            return "{} temporarily switched off because you do not have High Perf aircraft installed";
        default:
            return "{} temporarily switched off because you do not have Helicopters installed";
    }
}

void lf_gateEmptyCategory(AircraftCategory category) {
    BoolParameter* option = lf_categoryOption(category);
    if (option == nullptr) return;
    if (option->value()) {
        option->set(false);
        gf_saveParameter(*option);
        gf_logLine(fmt::format(fmt::runtime(lf_switchedOffText(category)), option->name()));
    }
    gf_setEnabled(option->controlId(), false);
}

// Titles of one kind of the category's types; the category's types are added to `types`.
std::size_t lf_countTitles(const TypeTitleMap& table, AircraftCategory category,
                           std::vector<std::string>& types) {
    std::size_t count = 0;
    for (const auto& [type, titles] : table) {
        if (gf_aircraftCategory(type) != category) continue;
        types.emplace_back(type);
        count += titles.size();
    }
    return count;
}

}  // namespace

void lf_buildRawAirlineTable(std::span<const LiveryView> liveries) {
    auto* entries = static_cast<RawTitleEntry*>(gf_liveryArena().allocate(
        std::max<std::size_t>(liveries.size(), 1) * sizeof(RawTitleEntry), alignof(RawTitleEntry)));
    lf_fileLiveries(liveries, entries);
    lf_buildTitleIndex(entries);
}

void lf_buildRawAirlineTable() {
    lf_buildRawAirlineTable(gf_liveryViews(g_scannedLiveries));
}

void lf_buildAirlineTables() {
    for (AirlineTitleMap& table : g_airlineTables) table.reserve(table.size() + g_rawAirlineTable.size());
    std::vector<std::array<std::size_t, 2>> counts;  // per type of the airline: pax, cargo
    for (const auto& [airline, types] : g_rawAirlineTable) {
        counts.clear();
        std::array<std::size_t, 2> typesOfKind{};
        for (const auto& [type, run] : types) {
            const std::size_t cargo = lf_cargoCount(run);
            counts.push_back({run.size() - cargo, cargo});
            for (int kind = 0; kind < 2; ++kind) typesOfKind[kind] += counts.back()[kind] > 0 ? 1 : 0;
        }
        for (int kind = 0; kind < 2; ++kind) {
            if (typesOfKind[kind] == 0) continue;
            TypeTitleMap& split = g_airlineTables[kind].try_emplace(airline).first->second;
            split.reserve(typesOfKind[kind]);
            std::size_t next = 0;
            for (const auto& [type, run] : types) {
                const std::size_t count = counts[next++][kind];
                if (count == 0) continue;
                TitleList& list = split.try_emplace(type).first->second;
                list.reserve(count);
                for (const RawTitleEntry& entry : run)
                    if (entry.cargo == (kind == 1)) list.push_back(entry.title);
            }
        }
    }
}

void lf_buildTypeTables() {
    std::vector<std::uint32_t> slotOfRun;
    std::vector<TypeSlot> slots = lf_typeSlots(slotOfRun);
    std::vector<std::uint32_t> byType(slots.size());
    std::iota(byType.begin(), byType.end(), 0u);
    std::sort(byType.begin(), byType.end(),
              [&slots](std::uint32_t a, std::uint32_t b) { return slots[a].type < slots[b].type; });
    for (const std::uint32_t index : byType) {
        TypeSlot& slot = slots[index];
        for (int kind = 0; kind < 2; ++kind) {
            if (slot.counts[kind] == 0) continue;
            slot.lists[kind] = &g_typeTables[kind].try_emplace(slot.type).first->second;
            slot.lists[kind]->reserve(slot.counts[kind]);
        }
    }
    // Within a type the titles keep table order.
    std::size_t next = 0;
    for (const auto& [airline, types] : g_rawAirlineTable)
        for (const auto& [type, run] : types) {
            if (type.empty()) continue;
            const TypeSlot& slot = slots[slotOfRun[next++]];
            for (const RawTitleEntry& entry : run) slot.lists[entry.cargo ? 1 : 0]->push_back(entry.title);
        }
}

void lf_countCategory(AircraftCategory category) {
    std::vector<std::string> types;
    const std::size_t pax = lf_countTitles(g_typeTables[0], category, types);
    const std::size_t cargo = lf_countTitles(g_typeTables[1], category, types);
    const std::string_view name = gf_categoryName(category);
    if (pax == 0 && cargo == 0) {
        gf_logLine(fmt::format("Category {}: No livery found", name));
        lf_gateEmptyCategory(category);
        return;
    }
    const std::string cargoPart =
        cargo > 0 ? fmt::format(" and {} cargo liverie{}", cargo, gf_plural(static_cast<long long>(cargo)))
                  : "";
    gf_logLine(fmt::format("Category {}: {} pax liverie{}{}", name, pax,
                           gf_plural(static_cast<long long>(pax)), cargoPart));
    std::sort(types.begin(), types.end());
    types.erase(std::unique(types.begin(), types.end()), types.end());
    lf_fillClassPickLists(category == AircraftCategory::Light, category == AircraftCategory::Buzjets,
                          category == AircraftCategory::Rotorcraft, types);
    if (const BoolParameter* option = lf_categoryOption(category)) gf_setEnabled(option->controlId(), true);
}

void lf_fillClassPickLists(bool light, bool bizjet, bool heli, const std::vector<std::string>& types) {
    ClassPickList* list = light ? &g_lightTypes : bizjet ? &g_bizjetTypes : heli ? &g_heliTypes : nullptr;
    std::string line = "  ";
    int onLine = 0;
    auto flush = [&line, &onLine] {
        if (onLine == 0) return;
        line.pop_back();
        gf_logLine(line);
        line = "  ";
        onLine = 0;
    };
    for (const std::string& type : types) {
        if (list != nullptr) list->push_back(type);
        line += type;
        line += ',';
        if (++onLine == 20) flush();
    }
    flush();
}

std::string lf_randomLightType() {
    return lf_randomType(g_lightTypes);
}
std::string lf_randomBizjetType() {
    return lf_randomType(g_bizjetTypes);
}
std::string lf_randomHeliType() {
    return lf_randomType(g_heliTypes);
}

std::string_view lf_findInstalledTitle(std::string_view title) {
    if (g_titleIndex.slots == nullptr) return {};
    const std::uint64_t slot = *lf_titleSlot(title, lf_titleHash(title));
    return slot == 0 ? std::string_view() : g_titleIndex.entries[(slot & 0xffffffffULL) - 1].title;
}

bool lf_airlineHasType(std::string_view airline, std::string_view type) {
    const auto it = g_rawAirlineTable.find(airline);
    return it != g_rawAirlineTable.end() && it->second.contains(type);
}

std::vector<std::string> lf_airlineList() {
    std::vector<std::string> airlines;
    airlines.reserve(g_rawAirlineTable.size());
    for (const auto& [airline, types] : g_rawAirlineTable) airlines.emplace_back(airline.substr(0, 3));
    return airlines;
}

std::pmr::monotonic_buffer_resource& gf_liveryArena() {
    static auto* const arena = new std::pmr::monotonic_buffer_resource(std::size_t{1} << 16);
    return *arena;
}

std::string_view gf_arenaText(std::string_view text) {
    if (text.empty()) return {};
    char* copy = static_cast<char*>(gf_liveryArena().allocate(text.size(), 1));
    std::copy(text.begin(), text.end(), copy);
    return {copy, text.size()};
}

void gf_reserveLiveryTables() {
    if (g_liveryTablesReserved) return;
    g_specialTitleList.reserve(4096);
    g_lightTypes.reserve(64);
    g_bizjetTypes.reserve(128);
    g_heliTypes.reserve(32);
    g_liveryTablesReserved = true;
}

void gf_clearLiveryTables() {
    // Holders of views first, the owner of the titles last.
    g_titleByHexid.clear();
    g_lightTypes.clear();
    g_bizjetTypes.clear();
    g_heliTypes.clear();
    g_specialTitleList.clear();
    gf_clearSpecialTitleIndex();
    gf_emptyArenaContainer(g_regToLivery);
    gf_clearSimilarModels();
    gf_emptyArenaContainer(g_typeTables[0]);
    gf_emptyArenaContainer(g_typeTables[1]);
    gf_emptyArenaContainer(g_airlineTables[0]);
    gf_emptyArenaContainer(g_airlineTables[1]);
    g_titleIndex = {};
    gf_emptyArenaContainer(g_rawAirlineTable);
    gf_liveryArena().release();
}

void gf_resetLiveryTables() {
    gf_clearLiveryTables();
    g_lightTypes = {};
    g_bizjetTypes = {};
    g_heliTypes = {};
    g_specialTitleList = {};
    g_liveryTablesReserved = false;
}
