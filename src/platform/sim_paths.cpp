#include "platform/sim_paths.h"

#include <algorithm>
#include <system_error>

#include "core/log.h"
#include "core/params.h"
#include "core/paths.h"
#include "platform/known_folders.h"

namespace fs = std::filesystem;

namespace {

bool lf_isSeparator(char c) { return c == '\\' || c == '/'; }

char lf_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool lf_equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lf_lower(x) == lf_lower(y); });
}

// The segments of the text after `from`, empty ones and "." dropped.
std::vector<std::string> lf_segments(std::string_view text, std::size_t from) {
    std::vector<std::string> segments;
    std::size_t start = from;
    for (std::size_t i = from; i <= text.size(); ++i) {
        if (i < text.size() && !lf_isSeparator(text[i])) continue;
        std::string_view segment = text.substr(start, i - start);
        if (!segment.empty() && segment != ".") segments.emplace_back(segment);
        start = i + 1;
    }
    return segments;
}

bool lf_exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// The entry of the folder that equals the name in any letter case; empty when there is none.
std::string lf_entryNoCase(const fs::path& folder, std::string_view name) {
    std::string best;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (lf_equalNoCase(entry, name) && (best.empty() || entry < best)) best = std::move(entry);
    }
    return best;
}

// The mapped base of the text and where its segments begin.
fs::path lf_base(std::string_view text, std::size_t& from) {
    const bool drive = text.size() >= 2 && text[1] == ':' &&
                       ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')) &&
                       (text.size() == 2 || lf_isSeparator(text[2]));
    if (!drive) {
        from = 0;
        return !text.empty() && lf_isSeparator(text[0]) ? fs::path("/") : fs::path();
    }
    from = 2;
    const char letter = static_cast<char>(text[0] & ~0x20);
    std::size_t start = 2;
    while (start < text.size() && lf_isSeparator(text[start])) ++start;
    const std::size_t end = std::min(text.size(), text.find_first_of("\\/", start));
    if (letter == 'C' && lf_equalNoCase(text.substr(start, end - start), "ProgramData")) {
        from = end;
        return gf_platformProgramDataFolder();
    }
    return gf_platformDrivesFolder() / std::string(1, letter);
}

}  // namespace

fs::path gf_hostPath(std::string_view text) {
    std::size_t from = 0;
    fs::path path = lf_base(text, from);
    // Below a mapped drive or ProgramData folder ".." climbs the segments of the text and stops
    // at the base, as the simulator's machine stops at a drive's root.
    const bool mapped = from != 0;
    std::size_t depth = 0;     // segments below the base
    std::size_t resolved = 0;  // of them, the leading ones that name an existing entry
    for (const std::string& segment : lf_segments(text, std::min(from, text.size()))) {
        if (mapped && segment == "..") {
            if (depth == 0) continue;
            path = path.parent_path();
            resolved = std::min(resolved, --depth);
            continue;
        }
        const bool resolving = resolved == depth++;
        if (resolving && segment != ".." && !lf_exists(path / segment)) {
            const std::string entry = lf_entryNoCase(path.empty() ? fs::path(".") : path, segment);
            path /= entry.empty() ? segment : entry;
            resolved += entry.empty() ? 0 : 1;
            continue;
        }
        path /= segment;
        resolved += resolving ? 1 : 0;
    }
    return path;
}

bool gf_usableFolderText(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) {
        gf_logLine("a path holding a NUL character is skipped");
        return false;
    }
    return text.find_first_not_of(" \t\r\n") != std::string_view::npos;
}

std::string gf_joinSimPath(std::string_view base, std::string_view tail) {
    while (!base.empty() && lf_isSeparator(base.back())) base.remove_suffix(1);
    if (base.empty()) return std::string(tail);
    if (tail.empty()) return std::string(base);
    return std::string(base) + '\\' + std::string(tail);
}

void gf_setSimulatorPaths() {
    SIM_INSTALL_PATH.set(gf_platformSimulatorRoot().string());
    g_stockAirportsPath = gf_joinSimPath(SIM_INSTALL_PATH.value(), g_stockAirportsSubfolder);
}
