#include "core/crypto.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>

#include <fmt/format.h>
#include <sodium.h>

#include "core/atomic_file.h"
#include "core/files.h"
#include "core/log.h"

namespace fs = std::filesystem;

namespace {

using Uchar = unsigned char;
constexpr std::size_t kHeaderBytes = crypto_secretstream_xchacha20poly1305_HEADERBYTES;
constexpr std::size_t kChunkExtraBytes = crypto_secretstream_xchacha20poly1305_ABYTES;
constexpr std::size_t kChunkCipherBytes = kChunkPlainBytes + kChunkExtraBytes;
static_assert(crypto_secretstream_xchacha20poly1305_KEYBYTES == 32);

// The key of the program's data files. It only keeps the files from being read as they are
// shipped; it is no secret from anyone holding the program.
constexpr std::array<Uchar, 32> kDataKey{
    0x5c, 0x1e, 0x93, 0x27, 0xa8, 0x4d, 0xf0, 0x66, 0x0b, 0xd2, 0x71, 0x3a, 0xe9, 0x84, 0x2f, 0xc5,
    0x17, 0x6b, 0xbe, 0x40, 0x95, 0xda, 0x08, 0x7c, 0x33, 0xa1, 0x5f, 0xe6, 0x2c, 0x91, 0x48, 0xfd,
};

std::once_flag g_sodiumOnce;

void lf_initSodium() {
    std::call_once(g_sodiumOnce, [] {
        if (sodium_init() < 0) throw std::runtime_error("libsodium could not be initialised");
    });
}

const Uchar* lf_bytes(std::string_view s) {
    return reinterpret_cast<const Uchar*>(s.data());
}
Uchar* lf_bytes(std::string& s) {
    return reinterpret_cast<Uchar*>(s.data());
}

std::string lf_readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(fmt::format("cannot open {}", path.string()));
    std::ostringstream out;
    out << in.rdbuf();
    if (in.bad()) throw std::runtime_error(fmt::format("cannot read {}", path.string()));
    return out.str();
}

}  // namespace

std::string gf_encryptBytes(std::string_view plain) {
    lf_initSodium();
    crypto_secretstream_xchacha20poly1305_state state;
    std::string out(kHeaderBytes, '\0');
    crypto_secretstream_xchacha20poly1305_init_push(&state, lf_bytes(out), kDataKey.data());
    std::size_t pos = 0;
    do {
        std::size_t n = std::min(kChunkPlainBytes, plain.size() - pos);
        Uchar tag = pos + n == plain.size() ? crypto_secretstream_xchacha20poly1305_TAG_FINAL : 0;
        std::size_t at = out.size();
        out.resize(at + n + kChunkExtraBytes);
        crypto_secretstream_xchacha20poly1305_push(&state, lf_bytes(out) + at, nullptr, lf_bytes(plain) + pos,
                                                   n, nullptr, 0, tag);
        pos += n;
    } while (pos < plain.size());
    return out;
}

std::string gf_decryptBytes(std::string_view encrypted) {
    lf_initSodium();
    if (encrypted.size() < kHeaderBytes) throw std::runtime_error("truncated header");
    crypto_secretstream_xchacha20poly1305_state state;
    if (crypto_secretstream_xchacha20poly1305_init_pull(&state, lf_bytes(encrypted), kDataKey.data()) != 0)
        throw std::runtime_error("invalid header");
    std::string plain;
    std::size_t pos = kHeaderBytes;
    while (true) {
        if (pos == encrypted.size()) throw std::runtime_error("stream ends without the final chunk");
        std::size_t n = std::min(kChunkCipherBytes, encrypted.size() - pos);
        if (n < kChunkExtraBytes) throw std::runtime_error(fmt::format("truncated chunk at offset {}", pos));
        std::size_t at = plain.size();
        plain.resize(at + n - kChunkExtraBytes);
        Uchar tag = 0;
        if (crypto_secretstream_xchacha20poly1305_pull(&state, lf_bytes(plain) + at, nullptr, &tag,
                                                       lf_bytes(encrypted) + pos, n, nullptr, 0) != 0)
            throw std::runtime_error(fmt::format("corrupted chunk at offset {}", pos));
        pos += n;
        if (tag != crypto_secretstream_xchacha20poly1305_TAG_FINAL) continue;
        if (pos != encrypted.size())
            throw std::runtime_error(fmt::format("data after the final chunk at offset {}", pos));
        return plain;
    }
}

namespace {

// The operating system's reason when the bytes cannot be written (a full disk shows at the
// flush or the close, not at the write).
std::optional<std::string> lf_writeFile(const fs::path& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return std::strerror(errno);
    const bool written =
        std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0;
    const int writeErrno = errno;
    if (std::fclose(file) != 0 && written) return std::strerror(errno);
    if (!written) return std::strerror(writeErrno);
    return std::nullopt;
}

std::string lf_decryptFile(const fs::path& encPath, const fs::path& plainPath) {
    std::string encrypted;
    if (auto why = gf_readWholeFile(encPath, encrypted))
        return fmt::format("{}: cannot be read: {}", encPath.string(), *why);
    std::string plain;
    try {
        plain = gf_decryptBytes(encrypted);
    } catch (const std::exception& e) {
        return fmt::format("{}: cannot be decrypted: {}", encPath.string(), e.what());
    }
    if (auto why = lf_writeFile(plainPath, plain))
        return fmt::format("{}: cannot be decrypted into {}: {}", encPath.string(), plainPath.string(), *why);
    return {};
}

}  // namespace

std::string gf_decryptFile(const fs::path& encPath, const fs::path& plainPath) {
    std::string why = lf_decryptFile(encPath, plainPath);
    if (why.empty()) return why;
    std::error_code ec;
    fs::remove(plainPath, ec);
    return why;
}

bool gf_streamDecrypt(const fs::path& encPath, const fs::path& plainPath) {
    const std::string why = gf_decryptFile(encPath, plainPath);
    if (why.empty()) return true;
    gf_logLine(fmt::format("{} exception: {}", "gf_streamDecrypt", why));
    return false;
}

void gf_streamEncrypt(const fs::path& plainPath, const fs::path& encPath) {
    std::string encrypted = gf_encryptBytes(lf_readFile(plainPath));
    if (!gf_writeFileAtomically(encPath, encrypted))
        throw std::runtime_error(fmt::format("cannot write {}", encPath.string()));
}
