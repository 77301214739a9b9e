// The records shared by the livery scan, the livery tables, the registration-code sources and
// the matching ladder: one installed livery, the airline-and-type key, one regcode entry.
#pragma once
#include <cstddef>
#include <functional>
#include <list>
#include <memory_resource>
#include <string>
#include <string_view>
#include <vector>

// One installed livery, as the scan finds it or LiveriesScanned.xml lists it.
struct LiveryData {
    std::string airline;       // airline code; "ZZZ" generic, "PVT" private
    std::string type;          // ICAO type code
    std::string title;         // the title the simulator creates it by
    std::string registration;  // the livery's ATC id; empty when it has none
    int folderNumber = 0;      // 1..10 during a scan, 0 when read from LiveriesScanned.xml
    bool cargo = false;
};

// One livery as views into text that outlives the table building: the loaded
// LiveriesScanned.xml document or g_scannedLiveries. What the table builders read.
struct LiveryView {
    std::string_view airline;
    std::string_view type;
    std::string_view title;
    std::string_view registration;  // empty when it has none
    bool cargo = false;
};

// Views of the liveries of a list, in its order; valid while the list stands unchanged.
inline std::vector<LiveryView> gf_liveryViews(const std::list<LiveryData>& liveries) {
    std::vector<LiveryView> views;
    views.reserve(liveries.size());
    for (const LiveryData& l : liveries)
        views.push_back({l.airline, l.type, l.title, l.registration, l.cargo});
    return views;
}

// Airline code and type code: the key of the airline tables and the similar-type map.
struct LiveryKey {
    std::string airline;
    std::string type;
    bool operator==(const LiveryKey&) const = default;
};

struct LiveryKeyHash {
    std::size_t operator()(const LiveryKey& key) const noexcept {
        const std::size_t a = std::hash<std::string>{}(key.airline);
        return a ^ (std::hash<std::string>{}(key.type) + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2));
    }
};

// One entry of a registration-code source. An entry without registrations names a title that
// the scan must not use.
struct RegcodeEntry {
    std::string title;
    std::vector<std::string> registrations;
    bool special = false;  // meant only for its own registrations: random picks avoid it
};

// The standard library's string hash, as a type of its own: libstdc++ takes its own string
// hash for a slow one and then searches tables of up to 20 keys by comparing every key, which
// the livery tables (about 20 types under each of thousands of airlines) pay for on every
// insert and lookup. Through this type the tables hash every lookup.
struct TextHash {
    std::size_t operator()(std::string_view text) const noexcept {
        return std::hash<std::string_view>{}(text);
    }
};

// Views of livery titles; every view points into a title owned by g_rawAirlineTable. The
// tables' lists live in the livery arena (aircraft/livery_tables.h); a list made elsewhere
// uses the default heap.
using TitleList = std::pmr::vector<std::string_view>;

// The flag form of LiveriesScanned.xml and AIG-regcodes.xml: true when the text begins with
// "1", "t", "T", "y" or "Y".
inline bool gf_isFlagText(std::string_view text) {
    if (text.empty()) return false;
    const char c = text.front();
    return c == '1' || c == 't' || c == 'T' || c == 'y' || c == 'Y';
}
