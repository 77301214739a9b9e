// Writing user data safely: the content goes to a temporary file beside the target, which is
// flushed to the disk and then renamed over the target, and the rename itself is flushed, so
// that a crash, a power loss or a full disk leaves the old file or the new one, never a
// half-written or empty one. Used by every writer of settings and learned data.
#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Writes the bytes to path atomically (creating missing parent folders); false on any failure,
// the old file then untouched and no temporary file left behind.
bool gf_writeFileAtomically(const std::filesystem::path& path, std::string_view content);
// The same; the reason when it fails ("No space left on device", ...), nullopt when written.
std::optional<std::string> gf_replaceFileContent(const std::filesystem::path& path, std::string_view content);

// How a file or folder is flushed to the disk (fsync); tests replace it to see the calls.
using FileSyncFunction = int (*)(int fd);
void gf_setFileSync(FileSyncFunction sync);
