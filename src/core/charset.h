// Character sets of the text files the program reads (scenery and add-on configuration files,
// aircraft.cfg, user lists): detection and decoding of bytes in memory to UTF-8 lines.
// Reading the file itself is gf_readTextFile (core/files.h).
//
// Detection, first match wins:
//   EF BB BF  at the start: UTF-8 with byte-order mark; each byte that starts no well-formed
//             sequence becomes U+FFFD
//   FF FE     at the start: UTF-16 little endian
//   FE FF     at the start: UTF-16 big endian; in both, an unpaired surrogate and a dangling
//             last byte of an odd length become U+FFFD
//   no mark, the bytes are valid UTF-8 (pure ASCII and the empty text included): UTF-8
//   anything else: Windows-1252 (its five unassigned bytes map to the C1 controls, as the
//             simulator's platform does)
#pragma once
#include <string>
#include <string_view>
#include <vector>

enum class TextCharset {
    Utf8Bom,     // UTF-8 behind EF BB BF
    Utf16Le,     // behind FF FE
    Utf16Be,     // behind FE FF
    Utf8,        // no mark, valid UTF-8
    Windows1252  // no mark, not valid UTF-8
};

// The character set of the bytes by the rules above.
TextCharset gf_detectCharset(std::string_view bytes);
// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool gf_isValidUtf8(std::string_view bytes);
// The bytes decoded to UTF-8, without the byte-order mark.
std::string gf_decodeToUtf8(std::string_view bytes);
// Splits text at line feeds; the carriage return of a CR LF pair goes, and a final line end
// opens no further line. The lines are appended.
void gf_splitLines(std::string_view text, std::vector<std::string>& lines);
