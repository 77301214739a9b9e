#include "airports/apf_lookup.h"

#include <algorithm>
#include <cctype>

#include <fmt/format.h>

#include "airports/stock.h"
#include "core/files.h"
#include "core/log.h"
#include "core/paths.h"

namespace fs = std::filesystem;

namespace {

// exists() that raises for every failure but a missing file.
bool lf_exists(const fs::path& path) {
    std::error_code ec;
    fs::file_status st = fs::status(path, ec);
    if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory)
        throw fs::filesystem_error("exists", path, ec);
    return fs::exists(st);
}

std::string lf_lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

void lf_replaceAll(std::string& text, std::string_view from, std::string_view to) {
    std::string out;
    size_t at = 0;
    for (size_t hit = text.find(from); hit != std::string::npos; hit = text.find(from, at)) {
        out.append(text, at, hit - at).append(to);
        at = hit + from.size();
    }
    text = std::move(out.append(text, at));
}

}  // namespace

std::string gf_apfXmlPath(std::string_view name) {
    return std::string(name) + ".xml";
}

std::string gf_apfTxtPath(std::string_view name) {
    return std::string(name) + ".txt";
}

bool gf_staysInAirportsFolder(std::string_view text, std::string_view what, std::string_view origin) {
    std::string plain = lf_lower(text);
    lf_replaceAll(plain, "%2e", ".");
    lf_replaceAll(plain, "\\", "/");
    bool drive = plain.size() >= 2 && std::isalpha(static_cast<unsigned char>(plain[0])) && plain[1] == ':';
    bool up = false;
    for (size_t start = 0; start <= plain.size();) {
        size_t end = std::min(plain.find('/', start), plain.size());
        up = up || plain.compare(start, end - start, "..") == 0;
        start = end + 1;
    }
    if (!drive && !up && !plain.starts_with('/')) return true;
    gf_logWarning(fmt::format("{}: {} '{}' refused, it would leave the airports folder", origin, what, text));
    return false;
}

bool lf_readApfLink(const fs::path& linkFile, std::string& target) {
    if (!lf_exists(linkFile)) return false;
    std::vector<std::string> lines = gf_readFileLines(linkFile);
    if (lines.empty()) return false;
    std::string line = lines.front();
    line.erase(line.find_last_not_of(" \t\r\n") + 1);
    size_t xml = line.find(".xml");
    if (line.size() < 4 || xml == std::string::npos) return false;
    line.resize(xml + 4);
    if (!gf_staysInAirportsFolder(line, "link target", linkFile.string())) return false;
    target = std::move(line);
    return true;
}

std::string gf_findApf(std::string_view icao) {
    std::string target;
    for (const char* folder : {g_myThirdpartyFolder, g_myOrbxFolder}) {
        if (lf_readApfLink(fs::path(folder) / gf_apfTxtPath(icao), target)) return target;
        fs::path file = fs::path(folder) / gf_apfXmlPath(icao);
        if (lf_exists(file)) return file.generic_string();
    }
    return lf_fetchStockApf(icao) ? fmt::format("archive/stock/{}", gf_apfXmlPath(icao)) : std::string();
}

bool gf_apfExists(std::string_view icao) {
    for (const char* folder : {g_myThirdpartyFolder, g_myOrbxFolder})
        for (const std::string& name : {gf_apfXmlPath(icao), gf_apfTxtPath(icao)})
            if (lf_exists(fs::path(folder) / name)) return true;
    return lf_fetchStockApf(icao);
}

fs::path gf_learnedApfPath(std::string_view icao, std::string_view publisher) {
    if (icao.empty() || !gf_staysInAirportsFolder(icao, "airport code", "learned file") ||
        !gf_staysInAirportsFolder(publisher, "publisher", "learned file"))
        return {};
    fs::path learned(kLearnedFolder);
    if (publisher == "stock" || publisher == "simaddon") return learned / publisher / gf_apfXmlPath(icao);
    // A file the user put into my_thirdparty without a publisher learns beside the publishers.
    if (publisher.empty()) return learned / "thirdparty" / gf_apfXmlPath(icao);
    return learned / "thirdparty" / publisher / gf_apfXmlPath(icao);
}

std::string gf_publisherOfLocation(std::string_view location) {
    std::string path(location);
    lf_replaceAll(path, "\\", "/");
    if (path.starts_with("archive/stock/")) return "stock";
    if (path.starts_with("archive/simaddon/") || path.starts_with(std::string(g_myOrbxFolder) + "/"))
        return "simaddon";
    constexpr std::string_view kThirdparty = "archive/thirdparty/";
    if (!path.starts_with(kThirdparty)) return "";
    size_t end = path.find('/', kThirdparty.size());
    if (end == std::string::npos) return "";
    std::string publisher = path.substr(kThirdparty.size(), end - kThirdparty.size());
    lf_replaceAll(publisher, "%20", " ");
    return publisher;
}

fs::path lf_migrateArchivePath(std::string_view location, std::string_view publisher) {
    if (location.empty()) return {};
    std::string icao = fs::path(std::string(location)).stem().string();
    return gf_learnedApfPath(icao, publisher.empty() ? gf_publisherOfLocation(location) : std::string(publisher));
}
