#include "aircraft/liveries_scanned.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <numeric>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <span>
#include <sstream>
#include <vector>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "aircraft/livery_tables.h"
#include "aircraft/matching.h"
#include "aircraft/regcodes.h"
#include "aircraft/similar_models.h"
#include "core/atomic_file.h"
#include "core/display.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/log.h"
#include "core/params.h"
#include "core/paths.h"
#include "core/xml_meta.h"

std::list<LiveryData> g_scannedLiveries;
bool g_liveryTablesBuilt = false;

namespace {

// The attributes of <liv> that the reader takes, in the order it requires them.
constexpr std::array<std::string_view, 5> kLivAttributes = {"airl", "type", "title", "atcid", "cargo"};

// The name is the literal, compared up to its terminating zero without measuring it first.
bool lf_isName(const char* name, const char* literal) {
    while (*literal != '\0')
        if (*name++ != *literal++) return false;
    return *name == '\0';
}

// The number of the attribute name in kLivAttributes; kLivAttributes.size() for other names.
// The first two bytes tell the five apart, so each name costs one full comparison at most.
std::size_t lf_livAttributeNumber(const char* name) {
    std::size_t i = kLivAttributes.size();
    switch (name[0]) {
        case 'a':
            i = name[1] == 'i' ? 0 : 3;
            break;
        case 't':
            i = name[1] == 'y' ? 1 : 2;
            break;
        case 'c':
            i = 4;
            break;
        default:
            return i;
    }
    return lf_isName(name, kLivAttributes[i].data()) ? i : kLivAttributes.size();
}

// The first attribute of each name, as pugixml's attribute() would find it, in one walk over
// the element's attributes instead of one walk per name.
std::array<const char*, 5> lf_livAttributes(const pugi::xml_node& liv) {
    std::array<const char*, 5> values{};
    for (pugi::xml_attribute attribute = liv.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        const std::size_t i = lf_livAttributeNumber(attribute.name());
        if (i < values.size() && values[i] == nullptr) values[i] = attribute.value();
    }
    return values;
}

void lf_readMetaEntries(const pugi::xml_document& doc) {
    if (gf_readMetaInfo(doc, author) && gf_readMetaInfo(doc, date)) gf_readMetaInfo(doc, version);
}

// Views into the document: it stands while they are used.
void lf_readLivElements(const pugi::xml_node& liveries, std::vector<LiveryView>& views) {
    const auto livs = liveries.children("liv");
    views.reserve(static_cast<std::size_t>(std::distance(livs.begin(), livs.end())));
    for (const pugi::xml_node& liv : livs) {
        const std::array<const char*, 5> values = lf_livAttributes(liv);
        for (std::size_t i = 0; i < 3; ++i)
            if (values[i] == nullptr)
                throw qtk::UserErrorException(999, fmt::format("Missing required attribute '{}' in <{}>",
                                                               kLivAttributes[i], liv.name()));
        views.push_back({values[0], values[1], values[2], values[3] ? values[3] : "",
                         gf_isFlagText(values[4] ? values[4] : "")});
    }
}

// Codes of up to seven bytes as numbers that order like the texts in byte order: the bytes,
// zero-padded, then the length. kLongCode for longer codes.
constexpr std::uint64_t kLongCode = ~std::uint64_t{0};

std::uint64_t lf_codeKey(std::string_view code) {
    if (code.size() > 7) return kLongCode;
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 7; ++i)
        key = key << 8 | (i < code.size() ? static_cast<unsigned char>(code[i]) : 0u);
    return key << 8 | code.size();
}

using CodeKeys = std::vector<std::array<std::uint64_t, 2>>;  // airline, type

// Livery numbers in the order of their airline and type codes, equal codes in file order: a
// least-significant-digit radix sort by bytes that skips the bytes every key shares.
std::vector<std::uint32_t> lf_orderByCodes(const CodeKeys& keys) {
    std::vector<std::uint32_t> order(keys.size()), scratch(keys.size());
    std::iota(order.begin(), order.end(), 0u);
    std::array<std::uint64_t, 2> anyBits{}, allBits{kLongCode, kLongCode};
    for (const auto& key : keys)
        for (int word = 0; word < 2; ++word) {
            anyBits[word] |= key[word];
            allBits[word] &= key[word];
        }
    for (int word = 1; word >= 0; --word) {
        for (int shift = 0; shift < 64; shift += 8) {
            if (((anyBits[word] ^ allBits[word]) >> shift & 0xff) == 0) continue;
            std::array<std::uint32_t, 257> next{};
            for (const std::uint32_t i : order) ++next[(keys[i][word] >> shift & 0xff) + 1];
            std::partial_sum(next.begin(), next.end(), next.begin());
            for (const std::uint32_t i : order) scratch[next[keys[i][word] >> shift & 0xff]++] = i;
            order.swap(scratch);
        }
    }
    return order;
}

// Livery numbers in the order of airline, type and title, equal liveries in file order.
std::vector<std::uint32_t> lf_sortedOrder(const std::vector<LiveryView>& views) {
    CodeKeys keys;
    keys.reserve(views.size());
    bool shortCodes = true;
    for (const LiveryView& v : views) {
        keys.push_back({lf_codeKey(v.airline), lf_codeKey(v.type)});
        shortCodes = shortCodes && keys.back()[0] != kLongCode && keys.back()[1] != kLongCode;
    }
    auto byTitle = [&views](std::uint32_t a, std::uint32_t b) {
        const int order = views[a].title.compare(views[b].title);
        return order != 0 ? order < 0 : a < b;
    };
    if (!shortCodes) {
        std::vector<std::uint32_t> order(views.size());
        std::iota(order.begin(), order.end(), 0u);
        std::sort(order.begin(), order.end(), [&views, &byTitle](std::uint32_t a, std::uint32_t b) {
            if (const int airline = views[a].airline.compare(views[b].airline)) return airline < 0;
            if (const int type = views[a].type.compare(views[b].type)) return type < 0;
            return byTitle(a, b);
        });
        return order;
    }
    std::vector<std::uint32_t> order = lf_orderByCodes(keys);
    for (auto first = order.begin(); first != order.end();) {
        auto last =
            std::find_if(first, order.end(), [&](std::uint32_t i) { return keys[i] != keys[*first]; });
        if (last - first > 1) std::sort(first, last, byTitle);
        first = last;
    }
    return order;
}

// Sorts by airline, type and title, each in byte order; equal liveries keep their file order.
// The liveries are moved into place cycle by cycle of the permutation, without a second array.
void lf_sortLiveries(std::vector<LiveryView>& views) {
    std::vector<std::uint32_t> order = lf_sortedOrder(views);
    for (std::uint32_t start = 0; start < order.size(); ++start) {
        if (order[start] == start) continue;
        const LiveryView first = views[start];
        std::uint32_t at = start;
        while (order[at] != start) {
            const std::uint32_t from = order[at];
            views[at] = views[from];
            order[at] = at;
            at = from;
        }
        views[at] = first;
        order[at] = at;
    }
}

// The liveries of the document, sorted; an XPath error leaves them as read so far.
std::vector<LiveryView> lf_readDocument(const pugi::xml_document& doc, std::string_view path) {
    std::vector<LiveryView> views;
    try {
        lf_readMetaEntries(doc);
        const pugi::xml_node liveries = doc.child("liveries");
        if (!liveries)
            throw qtk::UserErrorException(52, fmt::format("{} does not contain a <liveries> section", path));
        lf_readLivElements(liveries, views);
    } catch (const pugi::xpath_exception& e) {
        const std::string text = e.what();
        gf_logLine(text.empty() ? "No error" : text);
        return views;
    }
    if (views.empty()) throw qtk::UserErrorException(533, fmt::format("{} does not contain liveries", path));
    lf_sortLiveries(views);
    gf_logLine(fmt::format("{} liveries read from {}", views.size(), path));
    return views;
}

// A file that is there but cannot be used says why, so that the user does not look for a
// missing file.
void lf_loadFile(pugi::xml_document& doc) {
    std::error_code ec;
    if (!std::filesystem::exists(g_liveriesScannedFile, ec))
        throw qtk::UserErrorException(51, fmt::format("File {} not found", g_liveriesScannedFile));
    std::string text;
    if (auto why = gf_readWholeFile(g_liveriesScannedFile, text))
        throw qtk::UserErrorException(51, fmt::format("File {} cannot be read: {}", g_liveriesScannedFile, *why));
    pugi::xml_parse_result result = doc.load_buffer(text.data(), text.size());
    if (!result)
        throw qtk::UserErrorException(51, fmt::format("File {} cannot be read: {} at offset {}", g_liveriesScannedFile,
                                                      result.description(), result.offset));
}

void lf_keepAsScanned(const std::vector<LiveryView>& views) {
    for (const LiveryView& v : views)
        g_scannedLiveries.push_back({std::string(v.airline), std::string(v.type), std::string(v.title),
                                     std::string(v.registration), 0, v.cargo});
}

void lf_buildTables(std::span<const LiveryView> liveries) {
    lf_buildRawAirlineTable(liveries);
    lf_buildAirlineTables();
    lf_applyInlineRegcodes(liveries);
    lf_processOfflineRegcodes();
    gf_logLine(fmt::format("{} registration codes", g_regToLivery.size()));
    lf_buildTypeTables();
    gf_logLine(fmt::format("{} airlines, {} pax aircraft models and {} cargo aircraft models",
                           g_rawAirlineTable.size(), g_typeTables[0].size(), g_typeTables[1].size()));
    gf_buildSimilarModels();
    for (int category = 0; category <= 5; ++category)
        lf_countCategory(static_cast<AircraftCategory>(category));
}

}  // namespace

void gf_parseLiveriesScanned(std::string_view xml, std::string_view path) {
    g_scannedLiveries.clear();
    pugi::xml_document doc;
    if (const pugi::xml_parse_result result = doc.load_buffer(xml.data(), xml.size()); !result)
        throw qtk::UserErrorException(51, fmt::format("File {} cannot be read: {} at offset {}", path,
                                                      result.description(), result.offset));
    lf_keepAsScanned(lf_readDocument(doc, path));
}

void lf_processScannedLiveries() {
    g_scannedLiveries.clear();
    if (g_liveryTablesBuilt) {
        gf_logLine("Processing scanned liveries skipped; already done in previous start-up");
        return;
    }
    // The tables are built straight from the document's text, which stands until they are.
    pugi::xml_document doc;
    lf_loadFile(doc);
    const std::vector<LiveryView> liveries = lf_readDocument(doc, g_liveriesScannedFile);
    const int count = static_cast<int>(liveries.size());
    gf_editStats([count](WindowStats& stats) { stats.liveryCount = count; });
    lf_buildTables(liveries);
    g_liveryTablesBuilt = true;
    gf_repaint(Region::Status);
}

bool lf_writeLiveriesScanned() {
    if (g_scannedLiveries.empty()) return true;
    pugi::xml_document doc;
    gf_writeMetaInfo(doc);
    pugi::xml_node liveries = doc.append_child("liveries");
    for (const LiveryData& livery : g_scannedLiveries) {
        pugi::xml_node liv = liveries.append_child("liv");
        liv.append_attribute("airl") = livery.airline.c_str();
        liv.append_attribute("type") = livery.type.c_str();
        if (livery.cargo) liv.append_attribute("cargo") = "true";
        liv.append_attribute("title") = livery.title.c_str();
        if (!livery.registration.empty()) liv.append_attribute("atcid") = livery.registration.c_str();
    }
    std::ostringstream text;
    doc.save(text, "  ");
    if (!gf_writeFileAtomically(g_liveriesScannedFile, text.str())) {
        gf_logWarning(fmt::format("Could not write {}", g_liveriesScannedFile));
        return false;
    }
    gf_logLine(fmt::format("{} liveries in {}", g_scannedLiveries.size(), g_liveriesScannedFile));
    return true;
}

void gf_clearLiveryTablesForRescan() {
    gf_clearLiveryTables();
    g_liveryTablesBuilt = false;
}

void gf_resetLiveryState() {
    g_scannedLiveries.clear();
    g_liveryTablesBuilt = false;
    gf_resetMatching();
    gf_resetRegcodes();
    gf_resetLiveryTables();
}
