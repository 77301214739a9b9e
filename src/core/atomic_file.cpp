#include "core/atomic_file.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

bool lf_readsBackAs(const fs::path& file, std::string_view content) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::string back(content.size() + 1, '\0');
    in.read(back.data(), static_cast<std::streamsize>(back.size()));
    return static_cast<size_t>(in.gcount()) == content.size() && std::string_view(back.data(), content.size()) == content;
}

}  // namespace

bool gf_writeFileAtomically(const fs::path& path, std::string_view content) {
    std::error_code ec;
    if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
    fs::path tmp = path;
    tmp += ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.flush();
        if (!out) {
            out.close();
            fs::remove(tmp, ec);
            return false;
        }
    }
    // A file that does not read back as written (a short write the stream did not report, a
    // device that lost it) must not replace the good one.
    if (!lf_readsBackAs(tmp, content)) {
        fs::remove(tmp, ec);
        return false;
    }
    fs::rename(tmp, path, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return false;
    }
    return true;
}
