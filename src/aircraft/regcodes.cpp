#include "aircraft/regcodes.h"

#include <algorithm>
#include <unordered_set>

#include <fmt/format.h>

#include "aircraft/liveries_scanned.h"
#include "aircraft/livery_tables.h"
#include "aircraft/regcode_files.h"
#include "aircraft/type_database.h"
#include "core/crypto.h"
#include "core/display.h"
#include "core/files.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/text.h"


RegistrationMap g_regToLivery{&gf_liveryArena()};
std::vector<std::string_view> g_specialTitleList;
std::vector<std::string> g_dontUseTitles;

namespace {

// Content index of g_specialTitleList: every random pick asks it up to five times.
std::unordered_set<std::string_view> g_specialTitleIndex;
// Result lines of one offline processing, written to OfflineRegcodes.txt.
std::vector<std::string> g_offlineResultLines;

// The decrypted AIG file holds the program's data in plain text: it goes on every way out.
class DecryptedAigFile {
  public:
    DecryptedAigFile() = default;
    DecryptedAigFile(const DecryptedAigFile&) = delete;
    DecryptedAigFile& operator=(const DecryptedAigFile&) = delete;
    ~DecryptedAigFile() { gf_removeFileIfExists(g_aigRegcodesXml); }
    bool decrypt() { return gf_streamDecrypt(g_aigRegcodesEnc, g_aigRegcodesXml); }
};

std::size_t lf_appendDontUseTitles(const std::vector<RegcodeEntry>& entries) {
    std::size_t count = 0;
    for (const RegcodeEntry& entry : entries) {
        if (!entry.registrations.empty()) continue;
        g_dontUseTitles.push_back(entry.title);
        ++count;
    }
    return count;
}

bool lf_hasUserRegcodeFiles() {
    return gf_countFiles(g_myRegcodesFolder) > 0;
}

void lf_addSpecialTitle(std::string_view title) {
    g_specialTitleList.push_back(title);
    g_specialTitleIndex.insert(title);
}

// Adds the registration with the title when the map does not have it yet. The key is copied
// into the arena only then: the sources hold thousands of registrations the map already has.
std::pair<RegistrationMap::iterator, bool> lf_tryAddRegistration(std::string_view registration,
                                                                 std::string_view title) {
    const auto it = g_regToLivery.find(registration);
    if (it != g_regToLivery.end()) return {it, false};
    return g_regToLivery.emplace(gf_arenaText(registration), title);
}

// Adds or replaces one registration; the counters of the merge summary follow.
void lf_mergeRegistration(std::string_view registration, std::string_view title, int& added, int& replaced) {
    const auto [it, inserted] = lf_tryAddRegistration(registration, title);
    if (inserted) {
        ++added;
        return;
    }
    if (it->second == title) return;
    g_offlineResultLines.push_back(
        fmt::format("   regcode {} for '{}', instead of the same for '{}'", registration, title, it->second));
    it->second = title;
    ++replaced;
}

void lf_processAigRegcodeFile() {
    g_offlineResultLines.push_back(fmt::format("Processing file {}", g_aigRegcodesXml));
    std::vector<RegcodeEntry> entries;
    if (!gf_loadAigRegcodes(entries))
        g_offlineResultLines.push_back(fmt::format(
            "There were errors processing the AIG-regcode file '{}', see Log.txt", g_aigRegcodesXml));
    lf_mergeRegcodes(entries);
}

void lf_processRegcodeFolder() {
    if (!lf_hasUserRegcodeFiles()) return;
    g_offlineResultLines.push_back(fmt::format("Processing files in {}", g_myRegcodesFolder));
    std::vector<RegcodeEntry> entries;
    if (!gf_readRegcodeFiles(g_myRegcodesFolder, entries))
        gf_showMessage(
            fmt::format("There were errors processing the regcode files in folder '{}', see Log.txt",
                        g_myRegcodesFolder),
            true);
    lf_mergeRegcodes(entries);
}

void lf_writeOfflineResults() {
    gf_removeFileIfExists(g_offlineRegcodesFile);
    if (g_offlineResultLines.empty()) return;
    if (gf_writeTextFile(g_offlineResultLines, g_offlineRegcodesFile))
        gf_logLine(fmt::format("Offline regcode files processed, results can be found in '{}'",
                               g_offlineRegcodesFile));
    else
        gf_logWarning(fmt::format("Offline regcode results could not be written to '{}'", g_offlineRegcodesFile));
    if (!g_specialTitleList.empty())
        gf_logLine(fmt::format("{} special liveries", g_specialTitleList.size()));
}

}  // namespace

void lf_processRegcodeSources() {
    try {
        {
            DecryptedAigFile aig;
            if (aig.decrypt()) {
                std::vector<RegcodeEntry> entries;
                gf_loadAigRegcodes(entries);
                const std::size_t count = lf_appendDontUseTitles(entries);
                gf_logLine(fmt::format("{} don't use title{} read", count,
                                       gf_plural(static_cast<long long>(count))));
            }
        }
        if (!lf_hasUserRegcodeFiles()) return;
        std::vector<RegcodeEntry> entries;
        gf_readRegcodeFiles(g_myRegcodesFolder, entries);
        const std::size_t count = lf_appendDontUseTitles(entries);
        gf_logLine(fmt::format("{} don't use title{} read from files in {}", count,
                               gf_plural(static_cast<long long>(count)), g_myRegcodesFolder));
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("exception: {}", e.what()));
    }
}

void lf_applyInlineRegcodes(std::span<const LiveryView> liveries) {
    g_regToLivery.reserve(
        g_regToLivery.size() +
        static_cast<std::size_t>(std::count_if(liveries.begin(), liveries.end(),
                                               [](const LiveryView& l) { return !l.registration.empty(); })));
    std::vector<std::string> lines;
    for (const LiveryView& livery : liveries) {
        if (livery.registration.empty()) continue;
        const std::string_view title = lf_findInstalledTitle(livery.title);
        if (title.empty()) {
            lines.push_back(fmt::format("==> [{}] {} '{}' not available, system error, should not happen?",
                                        gf_airlineTypeId(livery.airline, livery.type), livery.registration,
                                        livery.title));
            continue;
        }
        // The liveries' registrations are nearly all distinct: one lookup with the copy in hand.
        const auto [it, inserted] = g_regToLivery.try_emplace(gf_arenaText(livery.registration), title);
        if (!inserted && it->second != title)
            lines.push_back(
                fmt::format("{} '{}' => already in use by '{}'", livery.registration, title, it->second));
    }
    if (lines.empty()) return;
    // The writer makes the folder; a file that cannot be written is not pointed to.
    if (!gf_writeTextFile(lines, g_inlineRegcodesFile)) {
        gf_logWarning(fmt::format("{} in-line regcode clashes could not be written to '{}'", lines.size(),
                                  g_inlineRegcodesFile));
        return;
    }
    gf_logLine(fmt::format("{} in-line regcode clashes, see '{}'", lines.size(), g_inlineRegcodesFile));
}

void lf_applyInlineRegcodes() {
    lf_applyInlineRegcodes(gf_liveryViews(g_scannedLiveries));
}

void lf_processOfflineRegcodes() {
    g_offlineResultLines.clear();
    try {
        {
            DecryptedAigFile aig;
            // Without the program's own file the user's files are not merged either.
            if (!aig.decrypt()) return;
            lf_processAigRegcodeFile();
        }
        lf_processRegcodeFolder();
        lf_writeOfflineResults();
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("exception: {}", e.what()));
    }
}

void lf_mergeRegcodes(const std::vector<RegcodeEntry>& entries) {
    int added = 0, replaced = 0, special = 0;
    for (const RegcodeEntry& entry : entries) {
        const std::string_view title = lf_findInstalledTitle(entry.title);
        if (title.empty()) continue;
        for (const std::string& registration : entry.registrations)
            lf_mergeRegistration(registration, title, added, replaced);
        if (!entry.special) continue;
        lf_addSpecialTitle(title);
        ++special;
    }
    std::string summary = fmt::format("{} new regcode{} added", added, gf_plural(added));
    if (replaced != 0) summary += fmt::format(", {} regcode{} replaced", replaced, gf_plural(replaced));
    if (special != 0)
        summary += fmt::format(", {} regcode{} defined as special", special, gf_plural(special));
    g_offlineResultLines.push_back(std::move(summary));
}

bool lf_isDontUseTitle(std::string_view title) {
    return std::find(g_dontUseTitles.begin(), g_dontUseTitles.end(), title) != g_dontUseTitles.end();
}

bool gf_isSpecialTitle(std::string_view title) {
    return g_specialTitleIndex.contains(title);
}

void gf_clearSpecialTitleIndex() {
    g_specialTitleIndex.clear();
}

void gf_resetRegcodes() {
    gf_emptyArenaContainer(g_regToLivery);
    g_specialTitleList.clear();
    g_specialTitleIndex.clear();
    g_dontUseTitles.clear();
    g_offlineResultLines.clear();
}
