// Shared by the libFuzzer targets in this folder: the fuzzer's bytes as text, and the check
// that stops a run when an oracle fails (libFuzzer records the input that made it fail).
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

inline std::string_view gf_fuzzText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Aborts with the reason when an oracle does not hold.
inline void gf_fuzzCheck(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "oracle failed: %s\n", what);
    std::abort();
}
