#include "core/atomic_file.h"

#include <cerrno>
#include <cstring>

#include <fstream>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

FileSyncFunction g_fileSync = ::fsync;

std::string lf_lastError() {
    return std::strerror(errno);
}

// Writes everything and flushes it; the reason when that fails.
std::optional<std::string> lf_writeAndSync(const fs::path& tmp, std::string_view content) {
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return lf_lastError();
    std::optional<std::string> why;
    const char* p = content.data();
    size_t left = content.size();
    while (left > 0 && !why) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            why = n < 0 ? lf_lastError() : std::string("nothing written");
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (!why && g_fileSync(fd) != 0) why = lf_lastError();
    if (::close(fd) != 0 && !why) why = lf_lastError();
    return why;
}

bool lf_readsBackAs(const fs::path& file, std::string_view content) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::string back(content.size() + 1, '\0');
    in.read(back.data(), static_cast<std::streamsize>(back.size()));
    return static_cast<size_t>(in.gcount()) == content.size() && std::string_view(back.data(), content.size()) == content;
}

// The rename is only lasting once the folder's entry is on the disk as well.
void lf_syncFolder(const fs::path& file) {
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    g_fileSync(fd);
    ::close(fd);
}

}  // namespace

std::optional<std::string> gf_replaceFileContent(const fs::path& path, std::string_view content) {
    std::error_code ec;
    if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
    fs::path tmp = path;
    tmp += ".tmp";
    if (auto why = lf_writeAndSync(tmp, content)) {
        fs::remove(tmp, ec);
        return why;
    }
    // A file that does not read back as written (a device that lost part of it) must not
    // replace the good one.
    if (!lf_readsBackAs(tmp, content)) {
        fs::remove(tmp, ec);
        return std::string("the new file does not read back as written");
    }
    fs::rename(tmp, path, ec);
    if (ec) {
        std::string why = ec.message();
        fs::remove(tmp, ec);
        return why;
    }
    lf_syncFolder(path);
    return std::nullopt;
}

bool gf_writeFileAtomically(const fs::path& path, std::string_view content) {
    return !gf_replaceFileContent(path, content);
}

void gf_setFileSync(FileSyncFunction sync) {
    g_fileSync = sync ? sync : ::fsync;
}
