// Airport records of the simulator's compiled scenery files (.BGL): the quick test that tells
// whether a file is worth a decoding task, and the decoding of every airport of one file into
// its code, name, altitude and stands. Called by the add-on airport scan's tasks, one file per
// task; everything here runs on the task's own thread.
//
// The file is read as 32-bit little-endian words (word k = bytes 4k..4k+3, a last partial word
// padded with zeros); positions below are word indices, offsets are bytes within a record.
//   header        +0x04 u32 header size, must be 0x38     +0x14 u32 number of sections
//   section table from byte 0x38, 20 bytes per section (section i starts at word 14 + 5i):
//                 +0x00 u32 type (3 = airports)   +0x04 u32 flags (bit 16 set: 20-byte
//                 subsection entries, not read)   +0x0C u32 byte offset of the subsection table
//   subsection    +0x08 u32 byte offset of the records (only the first subsection is read)
//   record        +0x00 u16 id   +0x02 u32 size in bytes, header included (walks advance by
//                 size / 4 words)
//   airport       id 0x3C (header 0x38 bytes) or 0xAB (header 0x3C bytes); +0x14 s32 altitude
//                 in mm; +0x28 u32 packed ICAO code; sub-records follow the header:
//     name        id 0x19; +0x06 the name's bytes, (low 16 bits of size) - 6 of them, at most 45
//     helipad     id 0x26, 36 bytes; +0x0C packed longitude, +0x10 packed latitude,
//                 +0x1C f32 width in m, +0x20 f32 heading in degrees
//     parking     id 0x3D in a 0x3C airport, 0xAD in a 0xAB airport; +0x06 u16 entry count,
//                 entries from +0x08, each 36 bytes (+4 in a 0xAD list, +4 per airline code):
//                 +0x00 u32 bits 0-5 name code, 8-11 type, 12-23 number, 24-31 airline codes;
//                 +0x04 f32 radius in m; +0x08 f32 heading in degrees; +0x1C packed longitude;
//                 +0x20 packed latitude
//   packed latitude = 90 - r * 180 / 2^29; packed longitude = r * 360 / (3 * 2^28) - 180
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "airports/apf_file.h"

// An airport is decoded into the content of its parking file: icao (4 characters),
// airport_name (UTF-8, control characters dropped; may be empty), altitude (feet; 0 outside
// -20..10000), the quality factors 0 and the stands (helipads and parking positions in file
// order). The link step fills BGLpath and publisher.

// What the link step decided about an airport before its stands are decoded.
struct BglLink {
    bool linked = false;        // a link to an archived parking file was written
    int32_t archivedCount = 0;  // stands of the archived file (0 when unknown)
};

// Receives the airports of a file: link() once the code is known, before the stands are
// decoded; finish() once they are.
class BglAirportSink {
public:
    virtual ~BglAirportSink() = default;
    virtual BglLink link(ApfContent& airport, std::string_view bglPath) = 0;
    virtual void finish(ApfContent& airport, const BglLink& link) = 0;
};

// The file's bytes, which must outlive it, read as words: indices at or past the end raise
// std::out_of_range.
class BglWords {
public:
    explicit BglWords(std::string_view bytes);
    std::size_t size() const { return words_; }
    std::size_t byteSize() const { return bytes_.size(); }
    uint32_t at(std::size_t index) const;
    float floatAt(std::size_t index) const;

private:
    std::string_view bytes_;
    std::size_t words_ = 0;
};

// Scenery files above this size are not decoded: airport files are a few MB, and a file read
// whole costs its size in memory in every decoding task.
inline constexpr std::uintmax_t kMaxBglFileBytes = 64ull << 20;  // 64 MiB

// The packed ICAO code: the value without its low 5 bits in base 38, most significant digit
// first (2..11 '0'..'9', 12..37 'A'..'Z', other digits code + 53, 0 a blank); nothing unless it
// gives exactly 4 characters and no blank.
std::optional<std::string> lf_decodeIdentifierOrRegionCode(uint32_t packed);
// Prefix of a parking name code: "", "r", "p", "np", "ep", "sep", "sp", "swp", "wp", "nwp", "g",
// "" for 0..11; one character of code + 53 for 12..63.
std::string lf_parkingNamePrefix(uint32_t code);

// True when the file can be opened, is longer than 56 bytes, has sections, holds its whole
// section table and one of its sections is an airport section. Reads the header and table only.
bool lf_bglHasAirport(const std::filesystem::path& path);
// Decodes every airport of the file's bytes, handing each airport record to the sink once,
// however many airport sections lead to it. A read past the end of the file raises
// std::out_of_range; airports handed over before stay handed over. A stop request of the run
// ends the decoding before the next record.
void gf_decodeBgl(std::string_view bytes, std::string_view bglPath, BglAirportSink& sink);
// The body of one scan task: reads the file and decodes it into the sink; pathText is the
// file's path as the scan found it (the simulator's form, for messages and the publisher).
// However it ends it gives its task slot back (gf_taskDone); a failure logs the warning
// "Exception in lf_processBGLfile: {pathText}" and is raised again to the task's owner. A file
// over kMaxBglFileBytes is not read: the scan message "===> {pathText} not decoded: the file
// is {size} bytes, more than the limit of {limit} bytes" says so.
void lf_processBGLfile(const std::filesystem::path& file, std::string_view pathText, BglAirportSink& sink);
