#include "aircraft/regcode_files.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "core/files.h"
#include "core/log.h"
#include "core/text.h"

namespace fs = std::filesystem;

namespace {

std::size_t lf_lineOfOffset(std::string_view text, std::ptrdiff_t offset) {
    if (offset < 0) return 0;
    const auto end = text.begin() + std::min<std::size_t>(static_cast<std::size_t>(offset), text.size());
    return 1 + static_cast<std::size_t>(std::count(text.begin(), end, '\n'));
}

void lf_logBadInput(std::string_view path, std::size_t line, std::string_view problem) {
    gf_logWarning(fmt::format("{}({}): {}", path, line, problem));
}

// The registrations of a comma list; false when one of them is empty.
bool lf_splitRegistrations(std::string_view list, std::vector<std::string>& registrations) {
    registrations = gf_split(std::string(list), ',');
    return std::none_of(registrations.begin(), registrations.end(),
                        [](const std::string& r) { return r.empty(); });
}

bool lf_isTxtFile(const fs::directory_entry& entry) {
    if (!entry.is_regular_file()) return false;
    std::string extension = entry.path().extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return extension == ".txt";
}

}  // namespace

bool gf_parseAigRegcodes(std::string_view xml, std::string_view path, std::vector<RegcodeEntry>& entries) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(xml.data(), xml.size());
    if (!parsed) {
        lf_logBadInput(path, lf_lineOfOffset(xml, parsed.offset), parsed.description());
        return false;
    }
    const pugi::xml_node root = doc.child("AIG-regcodes");
    if (!root) {
        lf_logBadInput(path, 1, "no <AIG-regcodes> element");
        return false;
    }
    bool good = true;
    for (const pugi::xml_node& livery : root.children("livery")) {
        RegcodeEntry entry;
        entry.title = gf_trim(livery.attribute("title").value());
        const bool regsGood = lf_splitRegistrations(livery.attribute("reg").value(), entry.registrations);
        if (entry.title.empty() || !regsGood) {
            lf_logBadInput(
                path, lf_lineOfOffset(xml, livery.offset_debug()),
                entry.title.empty() ? "livery without a title" : "empty registration in the reg list");
            good = false;
            continue;
        }
        entry.special = gf_isFlagText(livery.attribute("special").value());
        entries.push_back(std::move(entry));
    }
    return good;
}

bool gf_loadAigRegcodes(std::vector<RegcodeEntry>& entries) {
    std::ifstream in(g_aigRegcodesXml, std::ios::binary);
    if (!in) {
        lf_logBadInput(g_aigRegcodesXml, 0, "cannot be read");
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return gf_parseAigRegcodes(text.str(), g_aigRegcodesXml, entries);
}

// Sample lines: see the header. A trailing ";#" marks the entry special.
bool gf_parseRegcodeLines(const std::vector<std::string>& lines, std::string_view path,
                          std::vector<RegcodeEntry>& entries) {
    bool good = true;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string line = gf_trim(lines[i]);
        if (line.empty()) continue;
        RegcodeEntry entry;
        if (line.size() >= 2 && line.ends_with(";#")) {
            entry.special = true;
            line.resize(line.size() - 2);
        }
        const std::size_t semicolon = line.find(';');
        entry.title = gf_trim(line.substr(0, semicolon));
        const bool regsGood =
            semicolon == std::string::npos ||
            (line.find(';', semicolon + 1) == std::string::npos &&
             lf_splitRegistrations(std::string_view(line).substr(semicolon + 1), entry.registrations));
        if (entry.title.empty() || !regsGood) {
            lf_logBadInput(path, i + 1,
                           entry.title.empty() ? "line without a title" : "bad registration list");
            good = false;
            continue;
        }
        entries.push_back(std::move(entry));
    }
    return good;
}

bool gf_readRegcodeFiles(const fs::path& folder, std::vector<RegcodeEntry>& entries) {
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (lf_isTxtFile(entry)) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    bool good = true;
    for (const fs::path& file : files) {
        std::vector<std::string> lines;
        lines.reserve(4050);
        if (!gf_readTextFile(file.string(), lines)) {
            lf_logBadInput(file.string(), 0, "cannot be read");
            good = false;
            continue;
        }
        good = gf_parseRegcodeLines(lines, file.string(), entries) && good;
    }
    return good;
}
