// Airport parking files: the XML document, its writer and the readers of single elements that
// the loaders of the park airport's file and of learned files are built from. Written by the
// scenery scan (full mode) and the learned-file saver (learned mode); run thread and scan tasks.
//
// The document has three top-level siblings, in this order:
//   <meta>            author, date, version (required to load), simulator; core/xml_meta.h
//     <info name="author" value="Trelvo"/>
//   <parameters>      one <parameter name=".." value=".."/> per row:
//     <parameter name="airport_name" value="Zurich"/>     always
//     <parameter name="publisher" value="stock"/>         always: stock, simaddon, a publisher, unknown
//     <parameter name="handmade" value="true"/>           handmade files only
//     <parameter name="altitude" value="1416"/>           full mode or handmade; whole feet
//     <parameter name="num_parkpos" value="2"/>           always
//     <parameter name="Qf_real" value="63"/>              handmade; also Qf_soft; 0..100, -1 none
//     <parameter name="BGLpath" value="..."/>             publisher "unknown" only
//     LATERAL_RANGE, AUTO_RANGE, WEEK, PARK_FAKE, PARK_SOFT, parking_percentage,
//     INITIAL_LOAD_ONLY, MAX_FIT, RT_PARKTRAFFIC_ONLY, MAX_LIVE, LEARN_SOFT   learned mode
//     (LATERAL_RANGE: RANGE, or the user's own range while AUTO_RANGE picks it)
//     RT_traffic_week                                     archived files; read, never written
//   <parkpositions>   one <parkpos> per stand:
//     <parkpos id="A12" latitude="47.452100" longitude="8.558200" heading="90.0" radius="25.0"
//              cargo="false" ramp="false">                                     written in full
//     <parkpos id="A12" radius_change="true" radius="30.0">                   learned changes
//       <opt reg="HB-JVA" soft="true" day="3" hh="14,15" cs="SWR12:SWR13"/>   learned mode only
// "heli" replaces "cargo" on helipads; "manual" marks stands added by hand. Degrees, metres,
// half-hours 0..47. Booleans read true when the value begins with 1, t, T, y or Y.
// An opt carries "airl" and "type" when the type database's record of its "reg" would not
// give them back; a present "airl" or "type" wins over the record on reading.
// A radius is written with one decimal, or with up to six significant digits when one decimal
// would turn a stand of some size into one of none.
//
// Size limit: a parking or learned file larger than kMaxApfFileBytes (32 MiB, some hundred
// thousand options), or one that is not a regular file (a folder, a pipe), is not loaded.
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "airports/stand.h"

// The content of one parking file as handed to the writer.
struct ApfContent {
    std::string icao;          // names the file
    std::string airport_name;
    std::string BGLpath;       // BGL file the stands were generated from (generated files)
    std::string publisher;     // "stock", "simaddon", a publisher name, or "unknown"
    int32_t Qf_real = -1;      // 0..100, -1 none
    int32_t Qf_soft = -1;
    int32_t altitude = 0;      // whole feet
    std::vector<Stand> stands; // in writing order
};

inline constexpr int kApfModeLearned = 0;  // per stand only what changed, the options, the settings
inline constexpr int kApfModeFull = 1;     // full geometry, no options (the scenery scan)

// The largest parking or learned file that is loaded.
inline constexpr std::uintmax_t kMaxApfFileBytes = std::uintmax_t{32} << 20;

// Writes the document whole (temporary file, then rename); false, with the warning
// "gf_writeApf: could not write {path}: {reason}" and the old file kept, when it cannot. The
// reason, when asked for, also goes to *reason.
bool gf_writeApf(const ApfContent& content, const std::filesystem::path& path, int mode,
                 std::string* reason = nullptr);
// Appends the parameters element and its rows for the mode.
void lf_writeApfParameters(pugi::xml_document& doc, const ApfContent& content, int mode);

// The "value" of "/parameters/parameter[@name='<name>']"; nothing when there is no such element,
// false, 0 or "" when it has no value.
std::optional<bool> lf_apfParameterBool(const pugi::xml_document& doc, std::string_view name);
std::optional<int> lf_apfParameterInt(const pugi::xml_document& doc, std::string_view name);
std::optional<std::string> lf_apfParameterString(const pugi::xml_document& doc, std::string_view name);
// The row those readers take the value from; an empty node when there is none.
pugi::xml_node gf_apfParameterRow(const pugi::xml_document& doc, std::string_view name);

// A boolean attribute or value: true when its text begins with 1, t, T, y or Y.
bool gf_apfBool(const char* text);

// A parking file being read: its path for messages and its text, so that a warning can name
// the line of an element. The loader leaves the text on disk (textOnDisk): the document holds
// the only copy in memory, and the text is read from path when a line is first asked for.
struct ApfSource {
    std::string path;
    mutable std::string text;
    bool textOnDisk = false;
    // 1-based line of the node; 0 when unknown.
    int lineOf(pugi::xml_node node) const;
};

// Loads the file into source and doc; false when it cannot be read or parsed, is not a regular
// file or is larger than kMaxApfFileBytes, with the reason.
bool gf_loadApfDocument(const std::filesystem::path& path, ApfSource& source, pugi::xml_document& doc,
                        std::string& reason);

// Parses text as gf_loadApfDocument parses a file holding it; false with the reason when it fails.
bool gf_parseApfText(std::string_view text, pugi::xml_document& doc, std::string& reason);

// The name is the wanted literal: its letters tested one by one, inline, stopping at the
// first that differs (so never past the end of a shorter name).
template <size_t N>
bool gf_nameIs(const char* name, const char (&wanted)[N]) {
    for (size_t i = 0; i < N; ++i)
        if (name[i] != wanted[i]) return false;
    return true;
}

// The children of an element with that name in order, as element.children(name) gives them,
// with the names compared in place.
template <size_t N, class Visit>
void gf_forEachChild(pugi::xml_node element, const char (&name)[N], Visit&& visit) {
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
        if (gf_nameIs(child.name(), name)) visit(child);
}

// The opt children of a parkpos, and their count.
template <class Visit>
void gf_forEachOpt(pugi::xml_node parkpos, Visit&& visit) {
    gf_forEachChild(parkpos, "opt", visit);
}
inline size_t gf_optCount(pugi::xml_node parkpos) {
    size_t count = 0;
    gf_forEachOpt(parkpos, [&](pugi::xml_node) { ++count; });
    return count;
}

// The parkpos children of the document's parkpositions element in order, as
// doc.child("parkpositions").children("parkpos") gives them.
template <class Visit>
void gf_forEachParkpos(const pugi::xml_document& doc, Visit&& visit) {
    gf_forEachChild(doc.child("parkpositions"), "parkpos", visit);
}
// Their count.
inline size_t gf_parkposCount(const pugi::xml_document& doc) {
    size_t count = 0;
    gf_forEachParkpos(doc, [&](pugi::xml_node) { ++count; });
    return count;
}

// Reads one opt into option (index and origin as given); false, with a warning naming the file
// and line, when its day is outside 0..7.
bool gf_readApfOption(pugi::xml_node opt, const ApfSource& source, uint32_t index, uint32_t origin,
                      StandOption& option);

// The attributes of a parkpos element, found in one pass over them; the first of each name
// counts, an absent one is empty (as node.attribute(name) gives them).
struct ParkposAttributes {
    pugi::xml_attribute id, latitude, longitude, radius, heading, cargo, ramp, heli, manual, radius_change,
        cargo_change;
};
ParkposAttributes gf_parkposAttributes(pugi::xml_node parkpos);

// Appends the stand of one parkpos to g_stands, its options with the origin; nothing for a
// position of 0/0, or, with a warning naming the file and line, for a position, heading or
// radius that is not finite or out of range. True when a stand was appended.
bool lf_readParkpos(pugi::xml_node parkpos, std::string id, uint32_t origin, const ApfSource& source);
// The same with the element's attributes already found.
bool gf_readParkpos(pugi::xml_node parkpos, const ParkposAttributes& attributes, std::string id, uint32_t origin,
                    const ApfSource& source);

// Positions of stand ids for the hundreds of stands of a file: open addressing in one
// allocation, no node per id. The ids are views: their texts must outlive the index.
class StandIdIndex {
public:
    static constexpr uint32_t kAbsent = UINT32_MAX;
    // Room for count ids; more make it grow.
    explicit StandIdIndex(size_t count);
    // The position of an earlier id equal to id; else records id at position and gives kAbsent.
    uint32_t insert(std::string_view id, uint32_t position);
    // The position recorded for id; kAbsent when none.
    uint32_t find(std::string_view id) const;

private:
    // Sixteen bytes: ids are far shorter than 4 GB.
    struct Slot {
        const char* id = nullptr;
        uint32_t size = 0;
        uint32_t position = kAbsent;
    };
    size_t slotOf(std::string_view id) const;
    std::vector<Slot> slots_;
    size_t used_ = 0;
};

// True once the run is asked to stop (or the user closed the window): the readers of large
// files give up, and what they read must not be used.
bool gf_apfReadStopped();

// Set when the loaded stands come from a handmade learned file: the writer then writes every
// stand, option and the quality factors. Run thread.
extern bool g_apfHandmade;
