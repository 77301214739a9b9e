// Writing user data safely: the content goes to a temporary file beside the target, which is
// then renamed over it, so a crash or a full disk never leaves a half-written file.
#pragma once
#include <filesystem>
#include <string_view>

// Writes the bytes to path atomically (creating missing parent folders); false on any failure,
// the old file then untouched and no temporary file left behind.
bool gf_writeFileAtomically(const std::filesystem::path& path, std::string_view content);
