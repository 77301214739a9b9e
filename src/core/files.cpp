#include "core/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include <fmt/format.h>

#include "core/atomic_file.h"
#include "core/charset.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/params.h"

namespace fs = std::filesystem;

namespace {
constexpr int kFilesystemErrorCode = 5;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string lf_tooLarge(std::uintmax_t size, std::uintmax_t maxBytes) {
    return fmt::format("the file is {} bytes, more than the limit of {} bytes", size, maxBytes);
}

bool lf_endsWithXml(const std::string& name) {
    if (name.size() < 5) return false;  // ".xml" alone names nothing
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".xml";
}
}  // namespace

std::optional<std::string> gf_readWholeFile(const fs::path& path, std::string& bytes, std::uintmax_t maxBytes) {
    bytes.clear();
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return std::strerror(errno);
    // The size is checked before anything is read, so a huge file costs nothing; the read
    // itself stops at the limit too, for a file that grows meanwhile.
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (!ec && size > maxBytes) return lf_tooLarge(size, maxBytes);
    if (!ec) bytes.reserve(static_cast<size_t>(size));
    char buffer[1 << 16];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        bytes.append(buffer, n);
        if (bytes.size() > maxBytes) {
            std::string why = lf_tooLarge(bytes.size(), maxBytes);
            bytes.clear();
            return why;
        }
    }
    if (std::ferror(file.get()) == 0) return std::nullopt;
    std::string why = std::strerror(errno);
    bytes.clear();
    return why;
}

bool gf_readFileBytes(const fs::path& path, std::string& bytes) { return !gf_readWholeFile(path, bytes); }

bool gf_readTextFile(const fs::path& path, std::vector<std::string>& lines) {
    std::string bytes;
    if (gf_readWholeFile(path, bytes)) return false;
    lines.clear();
    gf_splitLines(gf_decodeToUtf8(bytes), lines);
    return true;
}

std::vector<std::string> gf_readFileLines(const fs::path& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    if (in) gf_readLines(in, lines);
    return lines;
}

void gf_readLines(std::istream& in, std::vector<std::string>& lines) {
    // Windows text streams drop the CR of CR LF; files from there read the same here.
    for (std::string line; std::getline(in, line);) {
        if (line.ends_with('\r')) line.pop_back();
        lines.push_back(std::move(line));
    }
}

bool gf_writeTextFile(const std::vector<std::string>& lines, const fs::path& path) {
    return !gf_replaceTextFile(lines, path);
}

std::optional<std::string> gf_replaceTextFile(const std::vector<std::string>& lines, const fs::path& path) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return gf_replaceFileContent(path, text);
}

bool gf_writeTextToFile(std::string_view text, const fs::path& path, bool withEndOfLine) {
    if (!withEndOfLine) return gf_writeFileAtomically(path, text);
    return gf_writeFileAtomically(path, std::string(text) + '\n');
}

void gf_removeFileIfExists(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
    if (ec)
        gf_logWarning(
            fmt::format("Warning: could not remove {}, errorcode: {}", path.string(), ec.message()));
}

std::size_t gf_countFiles(const fs::path& folder) {
    std::error_code ec;
    std::size_t count = 0;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError)) ++count;
    }
    return count;
}

std::vector<std::string> gf_listXmlFiles(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        const std::string name = it->path().filename().string();
        if (lf_endsWithXml(name)) names.push_back(name.substr(0, name.size() - 4));
    }
    std::sort(names.begin(), names.end());
    return names;
}

void gf_createDirectories(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) throw fs::filesystem_error("create_directories", folder, ec);
}

void gf_cleanFolder(const fs::path& folder) {
    gf_logLine(fmt::format("Cleaning folder: {}", folder.string()));
    // Each failure names its operation and path, not only the library's words.
    const auto fail = [](const char* operation, const fs::path& path, std::error_code ec) {
        throw qtk::UserErrorException(
            kFilesystemErrorCode,
            fmt::format("Filesystem error: {}", fs::filesystem_error(operation, path, ec).what()));
    };
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; it != end; it.increment(ec)) {
        if (ec) break;
        std::error_code typeError;
        if (it->is_directory(typeError)) continue;
        if (!fs::remove(it->path(), ec) && ec) fail("remove", it->path(), ec);
    }
    if (ec) fail("directory_iterator", folder, ec);
}

std::string gf_simVersionFromPath() {
    const std::string path = SIM_INSTALL_PATH.value();
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        const bool mark = path[i] == 'v' || path[i] == 'V';
        if (mark && (path[i + 1] == '5' || path[i + 1] == '6')) return std::string(1, path[i + 1]);
    }
    return std::to_string(P3D_VERSION.value());
}
