// Encrypted data files (the aircraft type database, the airport list, the registration codes):
// the run thread decrypts them into plain input files; trelvo_encrypt and the tests encrypt.
//
// Format: libsodium secretstream (XChaCha20-Poly1305) under the program's 32-byte key.
//   bytes 0..23   the stream header
//   then chunks   each kChunkPlainBytes plain bytes + ABYTES (17) of tag and MAC; the last chunk
//                 holds the remaining 0..kChunkPlainBytes bytes and carries the FINAL tag, so an
//                 empty file is one 17-byte chunk. Nothing may follow the FINAL chunk.
// A stream that is cut short, altered, or ends without its FINAL chunk does not decrypt.
#pragma once
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

// Plain bytes per chunk.
inline constexpr std::size_t kChunkPlainBytes = 4096;

// The encrypted stream of the bytes.
std::string gf_encryptBytes(std::string_view plain);
// The plain bytes of an encrypted stream; std::runtime_error with the reason when it does not
// decrypt.
std::string gf_decryptBytes(std::string_view encrypted);

// Decrypts encPath into plainPath (replacing it). Empty when done; else what failed, naming the
// file and the reason ("input/dbase.enc: cannot be read: No such file or directory", "...: cannot
// be decrypted: corrupted chunk at offset 24", "...: cannot be decrypted into input/dbase.xml: No
// space left on device"), and no plain file is left.
std::string gf_decryptFile(const std::filesystem::path& encPath, const std::filesystem::path& plainPath);
// The same for a file the program can do without: on failure logs "{} exception: {}"
// ("gf_streamDecrypt", what failed) and returns false.
bool gf_streamDecrypt(const std::filesystem::path& encPath, const std::filesystem::path& plainPath);

// Encrypts plainPath into encPath (written atomically); std::runtime_error with the reason when
// the input cannot be read or the output cannot be written.
void gf_streamEncrypt(const std::filesystem::path& plainPath, const std::filesystem::path& encPath);
