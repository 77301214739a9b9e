#include "aircraft/liveries_scanned.h"

#include <sstream>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "aircraft/livery_tables.h"
#include "aircraft/matching.h"
#include "aircraft/regcodes.h"
#include "aircraft/similar_models.h"
#include "core/atomic_file.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/params.h"
#include "core/paths.h"
#include "core/xml_meta.h"
#include "platform/window_model.h"

std::list<LiveryData> g_scannedLiveries;
bool g_liveryTablesBuilt = false;

namespace {

std::string lf_requiredAttribute(const pugi::xml_node& liv, const char* name) {
    const pugi::xml_attribute attribute = liv.attribute(name);
    if (!attribute)
        throw qtk::UserErrorException(
            999, fmt::format("Missing required attribute '{}' in <{}>", name, liv.name()));
    return attribute.value();
}

void lf_readMetaEntries(const pugi::xml_document& doc) {
    if (gf_readMetaInfo(doc, author) && gf_readMetaInfo(doc, date)) gf_readMetaInfo(doc, version);
}

void lf_readLivElements(const pugi::xml_node& liveries) {
    for (const pugi::xml_node& liv : liveries.children("liv")) {
        LiveryData livery;
        livery.airline = lf_requiredAttribute(liv, "airl");
        livery.type = lf_requiredAttribute(liv, "type");
        livery.title = lf_requiredAttribute(liv, "title");
        livery.registration = liv.attribute("atcid").value();
        livery.cargo = gf_isFlagText(liv.attribute("cargo").value());
        g_scannedLiveries.push_back(std::move(livery));
    }
}

bool lf_byAirlineTypeTitle(const LiveryData& a, const LiveryData& b) {
    if (a.airline != b.airline) return a.airline < b.airline;
    if (a.type != b.type) return a.type < b.type;
    return a.title < b.title;
}

void lf_readDocument(const pugi::xml_document& doc, std::string_view path) {
    try {
        lf_readMetaEntries(doc);
        const pugi::xml_node liveries = doc.child("liveries");
        if (!liveries)
            throw qtk::UserErrorException(52, fmt::format("{} does not contain a <liveries> section", path));
        lf_readLivElements(liveries);
    } catch (const pugi::xpath_exception& e) {
        const std::string text = e.what();
        gf_logLine(text.empty() ? "No error" : text);
        return;
    }
    if (g_scannedLiveries.empty())
        throw qtk::UserErrorException(533, fmt::format("{} does not contain liveries", path));
    g_scannedLiveries.sort(lf_byAirlineTypeTitle);  // std::list::sort is stable
    gf_logLine(fmt::format("{} liveries read from {}", g_scannedLiveries.size(), path));
}

void lf_buildTables() {
    lf_buildRawAirlineTable();
    lf_buildAirlineTables();
    lf_applyInlineRegcodes();
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
    if (!doc.load_buffer(xml.data(), xml.size()))
        throw qtk::UserErrorException(51, fmt::format("File {} not found", path));
    lf_readDocument(doc, path);
}

void lf_readLiveriesScanned() {
    g_scannedLiveries.clear();
    pugi::xml_document doc;
    if (!doc.load_file(g_liveriesScannedFile))
        throw qtk::UserErrorException(51, fmt::format("File {} not found", g_liveriesScannedFile));
    lf_readDocument(doc, g_liveriesScannedFile);
}

void lf_processScannedLiveries() {
    if (g_liveryTablesBuilt) {
        gf_logLine("Processing scanned liveries skipped; already done in previous start-up");
        g_scannedLiveries.clear();
        return;
    }
    lf_readLiveriesScanned();
    const int count = static_cast<int>(g_scannedLiveries.size());
    gf_editStats([count](WindowStats& stats) { stats.liveryCount = count; });
    lf_buildTables();
    g_liveryTablesBuilt = true;
    gf_repaint(Region::Status);
    g_scannedLiveries.clear();
}

void lf_writeLiveriesScanned() {
    if (g_scannedLiveries.empty()) return;
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
        return;
    }
    gf_logLine(fmt::format("{} liveries in {}", g_scannedLiveries.size(), g_liveriesScannedFile));
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
