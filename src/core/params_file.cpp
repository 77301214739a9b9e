#include "core/params_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <utility>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "core/atomic_file.h"
#include "core/files.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/xml_meta.h"

namespace fs = std::filesystem;

namespace {

// Serialises the read-modify-write of gf_saveParameter against the other writers: the window
// and the run thread both save options, and a lost entry would silently revert a choice.
std::mutex g_parametersFileMutex;

constexpr const char* kRootName = "parameters";

// The last warning about the file that the user should see; taken by the run thread.
std::string g_parametersProblem;

void lf_warn(std::string text) {
    gf_logWarning(text);
    g_parametersProblem = std::move(text);
}

// 1-based line of a byte offset into the text.
int lf_lineOf(std::string_view text, std::ptrdiff_t offset) {
    auto end = text.begin() + std::clamp<std::ptrdiff_t>(offset, 0, static_cast<std::ptrdiff_t>(text.size()));
    return 1 + static_cast<int>(std::count(text.begin(), end, '\n'));
}

std::optional<XmlProblem> lf_parse(std::string_view text, pugi::xml_document& doc) {
    pugi::xml_parse_result result = doc.load_buffer(text.data(), text.size());
    if (!result) return XmlProblem{result.description(), result.offset};
    if (!doc.child(kRootName)) return XmlProblem{"no <parameters> element", 0};
    return std::nullopt;
}

// Moves a broken file out of the way, so that the next save cannot overwrite it unnoticed.
void lf_keepAside(const XmlProblem& problem) {
    std::string bad = fmt::format("{}.bad", g_parametersFile);
    std::error_code ec;
    fs::rename(g_parametersFile, bad, ec);
    if (ec) {
        lf_warn(fmt::format("Could not read {}: {} at offset {}; could not keep it as {}: {}", g_parametersFile,
                            problem.description, problem.offset, bad, ec.message()));
        return;
    }
    lf_warn(fmt::format("Could not read {}: {} at offset {}; kept as {}", g_parametersFile, problem.description,
                        problem.offset, bad));
}

// The whole file; nullopt when it does not exist; a problem when it cannot be read.
std::optional<std::string> lf_readFile(std::optional<XmlProblem>& problem) {
    std::error_code ec;
    if (!fs::exists(g_parametersFile, ec)) return std::nullopt;
    std::string text;
    if (auto why = gf_readWholeFile(g_parametersFile, text, kMaxParametersFileBytes)) {
        problem = XmlProblem{fmt::format("the file could not be read ({})", *why), 0};
        return std::nullopt;
    }
    return text;
}

// The current file as a document with its root; a fresh one when the file is missing or broken
// (a broken file is kept aside first).
void lf_loadForUpdate(pugi::xml_document& doc) {
    std::optional<XmlProblem> problem;
    std::optional<std::string> text = lf_readFile(problem);
    if (text) problem = lf_parse(*text, doc);
    if (problem) lf_keepAside(*problem);
    if (!text || problem) {
        doc.reset();
        doc.append_child(kRootName);
    }
}

bool lf_writeFile(const pugi::xml_document& doc) {
    std::ostringstream out;
    doc.save(out, "\t", pugi::format_default, pugi::encoding_utf8);
    auto why = gf_replaceFileContent(g_parametersFile, out.str());
    if (!why) return true;
    lf_warn(fmt::format("Could not write {}: {}; the file keeps its previous content", g_parametersFile, *why));
    return false;
}

void lf_resetPersisted() {
    for (Parameter* p : gf_allParameters())
        if (p->persisted()) p->resetToDefault();
}

void lf_applyEntry(pugi::xml_node entry, std::string_view text, std::string_view source) {
    Parameter* record = gf_findParameter(entry.attribute("name").value());
    if (record == nullptr || !record->persisted()) return;
    std::string_view value = entry.attribute("value").value();
    if (record->setFromText(value)) return;
    gf_logWarning(fmt::format("{} line {}: invalid value '{}' for {}, default {} kept", source,
                              lf_lineOf(text, entry.offset_debug()), value, record->name(),
                              record->valueText()));
}

}  // namespace

std::optional<XmlProblem> gf_applyParameters(std::string_view text, std::string_view source) {
    lf_resetPersisted();
    pugi::xml_document doc;
    if (auto problem = lf_parse(text, doc)) return problem;
    for (pugi::xml_node entry : doc.child(kRootName).children("parameter"))
        lf_applyEntry(entry, text, source);
    return std::nullopt;
}

bool gf_loadParameters() {
    std::lock_guard lock(g_parametersFileMutex);
    lf_resetPersisted();
    std::optional<XmlProblem> problem;
    std::optional<std::string> text = lf_readFile(problem);
    if (text) problem = gf_applyParameters(*text, g_parametersFile);
    if (!problem) return text.has_value();
    lf_keepAside(*problem);
    return false;
}

bool gf_saveParameters() {
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child(kRootName);
    for (Parameter* p : gf_allParameters())
        if (p->persisted()) gf_appendParameterNode(root, p->name(), p->valueText());
    std::lock_guard lock(g_parametersFileMutex);
    return lf_writeFile(doc);
}

bool gf_saveParameter(BoolParameter& record) {
    std::string value = record.valueText();
    std::lock_guard lock(g_parametersFileMutex);
    pugi::xml_document doc;
    lf_loadForUpdate(doc);
    pugi::xml_node root = doc.child(kRootName);
    pugi::xml_node entry = root.find_child_by_attribute("parameter", "name", record.name());
    if (entry) {
        pugi::xml_attribute attr = entry.attribute("value");
        if (!attr) attr = entry.append_attribute("value");
        attr.set_value(value.c_str());
    } else {
        gf_appendParameterNode(root, record.name(), value);
    }
    gf_logLine(fmt::format("{}={}", record.name(), value));
    return lf_writeFile(doc);
}

std::string gf_takeParametersProblem() {
    std::lock_guard lock(g_parametersFileMutex);
    return std::exchange(g_parametersProblem, {});
}
