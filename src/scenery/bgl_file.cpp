#include "scenery/bgl_file.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <set>
#include <stdexcept>

#include <fmt/format.h>

#include "core/charset.h"
#include "core/geo.h"
#include "core/log.h"
#include "core/run_state.h"
#include "core/tasks.h"
#include "scenery/scan_messages.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kHeaderSize = 0x38;
constexpr std::size_t kHeaderWords = 14;
constexpr std::size_t kSectionWords = 5;
constexpr uint32_t kAirportSection = 3;
constexpr uint32_t kLongSubsectionFlag = 0x10000;
constexpr uint16_t kAirportV1 = 0x3C;
constexpr uint16_t kAirportV2 = 0xAB;
constexpr uint16_t kNameRecord = 0x19;
constexpr uint16_t kHelipadRecord = 0x26;
constexpr uint16_t kParkingV1 = 0x3D;
constexpr uint16_t kParkingV2 = 0xAD;
constexpr std::size_t kHelipadWords = 9;
constexpr std::size_t kParkingEntryWords = 9;
constexpr std::size_t kMaxNameBytes = 45;
constexpr int kMaxSubRecordSteps = 5000;
constexpr double kTwoPi = 2.0 * kPi;
// The parking-file reader refuses stands of a larger radius: a helipad wider than twice this
// would give a file the program cannot read back.
constexpr double kMaxHelipadRadiusM = 2000.0;

bool lf_stopping() {
    return g_stopRun || g_userClosing;
}

double lf_packedLatitude(uint32_t r) { return 90.0 - r * (180.0 / 536870912.0); }
double lf_packedLongitude(uint32_t r) { return r * (360.0 / 805306368.0) - 180.0; }

bool lf_positionValid(double lat, double lon) {
    if (lat < -90.0 || lat > 90.0 || lon < -180.0 || lon > 180.0) return false;
    return std::fabs(lat) > 0.0001 || std::fabs(lon) > 0.0001;
}

std::string lf_positionText(double lat, double lon) { return fmt::format("{:.6f},{:.6f}", lat, lon); }

// A finite heading in degrees brought into 0..360, in radians; north (0) is kept as 2 pi, as
// stands hold it.
double lf_headingRad(float headingDeg) {
    double deg = std::fmod(static_cast<double>(headingDeg), 360.0);
    if (deg < 0.0) deg += 360.0;
    return deg == 0.0 ? kTwoPi : gf_degToRad(deg);
}

// A name cut at its byte limit may end inside a UTF-8 character: the part left is dropped, so
// that the name still reads as UTF-8 rather than as Windows-1252.
void lf_dropCutCharacter(std::string& name) {
    std::size_t lead = name.size();
    while (lead > 0 && name.size() - lead < 4 && (static_cast<unsigned char>(name[lead - 1]) & 0xC0) == 0x80)
        --lead;
    if (lead == 0) return;
    const auto byte = static_cast<unsigned char>(name[--lead]);
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    if (lead + length <= name.size() || !gf_isValidUtf8(std::string_view(name).substr(0, lead))) return;
    name.resize(lead);
}

uint16_t lf_recordId(const BglWords& w, std::size_t p) { return static_cast<uint16_t>(w.at(p) & 0xFFFF); }
// The record's size in bytes (it starts at byte 2 of the record, so it spans two words).
uint64_t lf_recordSize(const BglWords& w, std::size_t p) {
    return (w.at(p) >> 16) | ((w.at(p + 1) & 0xFFFFu) << 16);
}

// Names in scenery files are whatever text the author's tools wrote: decoded as text files are,
// so that the parking files generated from them stay well-formed.
std::string lf_cleanName(std::string_view raw) {
    std::string kept;
    kept.reserve(raw.size());
    for (char c : raw) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F) kept.push_back(c);
    }
    if (gf_detectCharset(kept) == TextCharset::Utf8) return kept;
    return gf_decodeToUtf8(kept);
}

// Decoding of one airport record; the state lives for that record only.
class AirportDecoder {
public:
    AirportDecoder(const BglWords& w, std::string_view path, BglAirportSink& sink)
        : w_(w), path_(path), sink_(sink) {}

    void decode(std::size_t p, uint16_t id, std::size_t sizeWords, std::string icao) {
        airport_ = ApfContent{};
        airport_.icao = std::move(icao);
        airport_.Qf_real = 0;
        airport_.Qf_soft = 0;
        const BglLink link = sink_.link(airport_, path_);
        v2_ = id == kAirportV2;
        first_ = p + (v2_ ? 15 : 14);
        end_ = p + sizeWords;
        lf_header(p);
        names_.clear();
        helipads_.clear();
        helipadNumber_ = 1;
        lf_subRecords();
        sink_.finish(airport_, link);
    }

private:
    void lf_header(std::size_t p) {
        const auto mm = static_cast<int32_t>(w_.at(p + 5));
        const double ft = std::round(mm * 3.2808399 / 1000.0);
        airport_.altitude = (ft < -20.0 || ft > 10000.0) ? 0 : static_cast<int32_t>(ft);
        // The name search stays inside the airport's own record.
        const std::size_t stop = std::min(end_, w_.size());
        for (std::size_t q = first_; q + 1 < stop;) {
            if (lf_recordId(w_, q) == kNameRecord) lf_mergeName(lf_name(q));
            const uint64_t step = lf_recordSize(w_, q) / 4;
            if (step == 0) {
                gf_logWarning(fmt::format("   Warning: decodeSizeAtBoundary returned 0 at o3 = {}", q));
                return;
            }
            q += step;
        }
    }

    void lf_mergeName(const std::string& name) {
        if (airport_.airport_name.empty())
            airport_.airport_name = name;
        else if (airport_.airport_name != name)
            airport_.airport_name.clear();
    }

    std::string lf_name(std::size_t q) {
        const int length = static_cast<int>(std::min<std::size_t>((w_.at(q) >> 16), 0xFFFF)) - 6;
        if (length <= 0) return {};
        const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(length), kMaxNameBytes);
        const std::size_t first = q * 4 + 6;
        if (first + count > w_.byteSize()) {
            gf_logLine(fmt::format("! o3: {} out of range, nrDWORDS: {}", q, w_.size()));
            return {};
        }
        std::string raw(count, '\0');
        for (std::size_t i = 0; i < count; ++i)
            raw[i] = static_cast<char>((w_.at((first + i) / 4) >> (8 * ((first + i) % 4))) & 0xFF);
        if (count < static_cast<std::size_t>(length)) lf_dropCutCharacter(raw);
        while (!raw.empty() && raw.back() == '\0') raw.pop_back();
        return lf_cleanName(raw);
    }

    void lf_subRecords() {
        int steps = 0;
        for (std::size_t q = first_; q < end_;) {
            if (steps++ == kMaxSubRecordSteps) {
                gf_logLine("   Error: Maximum loop iterations reached — possible corrupt SIA or malformed input.");
                return;
            }
            if (q + 1 >= w_.size()) {
                gf_logLine(fmt::format("   Error: o3={} exceeded data buffer size ({}), aborting.", q, w_.size()));
                return;
            }
            const uint16_t id = lf_recordId(w_, q);
            const uint64_t size = lf_recordSize(w_, q);
            if (size / 4 == 0) {
                const std::string line = fmt::format("   Warning: decodeSizeAtBoundary returned 0 at o3 = {}", q);
                (id == kNameRecord || id == kHelipadRecord) ? gf_logWarning(line) : gf_logLine(line);
                return;
            }
            if (id == kHelipadRecord) {
                lf_helipad(q, size);
            } else if (id == (v2_ ? kParkingV2 : kParkingV1)) {
                // A list that claims more than its airport holds would take the next one's stands.
                lf_parkingList(q, std::min<std::size_t>(q + size / 4, end_));
                return;
            }
            q += size / 4;
        }
    }

    void lf_helipad(std::size_t q, uint64_t size) {
        if (size < kHelipadWords * 4) return;
        const double lon = lf_packedLongitude(w_.at(q + 3));
        const double lat = lf_packedLatitude(w_.at(q + 4));
        const float width = w_.floatAt(q + 7);
        const float heading = w_.floatAt(q + 8);
        // A width that is not positive (or not a number) gives no helipad the reader takes.
        if (!lf_positionValid(lat, lon) || !(width > 0.0f && width / 2.0 <= kMaxHelipadRadiusM)) {
            gf_scanMessage("lat/lon helipad incorrect (skipped): " + lf_positionText(lat, lon));
            return;
        }
        if (!std::isfinite(heading)) {
            gf_scanMessage(fmt::format("Skipped helipad with heading {:.1F} in {}", heading, path_));
            return;
        }
        for (const LatLon& taken : helipads_) {
            if (std::fabs(taken.lat - lat) < 1e-8 && std::fabs(taken.lon - lon) < 1e-8) {
                gf_scanMessage("double helipad " + airport_.airport_name + " (skipped) " + lf_positionText(lat, lon));
                return;
            }
        }
        helipads_.push_back({lat, lon});
        airport_.stands.emplace_back(fmt::format("helipad{}", helipadNumber_++), std::vector<StandOption>{}, lat, lon,
                                     lf_headingRad(heading), width / 2.0, false, false, true);
    }

    void lf_parkingList(std::size_t q, std::size_t listEnd) {
        const uint32_t count = w_.at(q + 1) >> 16;
        std::size_t e = q + 2;
        for (uint32_t i = 0; i < count && e + kParkingEntryWords <= listEnd; ++i) {
            const uint32_t packed = w_.at(e);
            const std::size_t next = e + kParkingEntryWords + (v2_ ? 1 : 0) + (packed >> 24);
            lf_parkingEntry(e, packed);
            e = next;
        }
    }

    void lf_parkingEntry(std::size_t e, uint32_t packed) {
        const float radius = w_.floatAt(e + 1);
        const float heading = w_.floatAt(e + 2);
        if (!(radius > 1.0f && radius < 200.0f)) {
            gf_scanMessage(fmt::format("Skipped position with radius {:.1F} m in {}", radius, path_));
            return;
        }
        const uint32_t type = (packed >> 8) & 0xF;
        if (type < 1 || type > 11) return;
        if (!std::isfinite(heading)) {
            gf_scanMessage(fmt::format("Skipped position with heading {:.1F} in {}", heading, path_));
            return;
        }
        const double lon = lf_packedLongitude(w_.at(e + 7));
        const double lat = lf_packedLatitude(w_.at(e + 8));
        if (!lf_positionValid(lat, lon)) {
            gf_scanMessage(fmt::format("LatLon {} invalid (skipped)", lf_positionText(lat, lon)));
            return;
        }
        const std::string base = lf_parkingNamePrefix(packed & 0x3F) + std::to_string((packed >> 12) & 0xFFF);
        std::string name = base;
        for (char suffix = 'a'; names_.contains(name); ++suffix) {
            if (suffix > 'j') {
                gf_scanMessage(fmt::format("===> Warning: more than 10 duplicate IDs {} in {}", base, path_));
                return;
            }
            name = base + suffix;
        }
        names_.insert(name);
        airport_.stands.emplace_back(std::move(name), std::vector<StandOption>{}, lat, lon, lf_headingRad(heading),
                                     radius, type == 5, type <= 7, false);
    }

    const BglWords& w_;
    std::string_view path_;
    BglAirportSink& sink_;
    ApfContent airport_;
    bool v2_ = false;
    std::size_t first_ = 0;
    std::size_t end_ = 0;
    std::set<std::string> names_;
    std::vector<LatLon> helipads_;
    int helipadNumber_ = 1;
};

// Walks the records of one airport section from word p to the end of the file. Every section's
// walk would go on to the end, so from a record an earlier walk reached on it goes the same
// way: the walk ends there, and each airport record is decoded once per file.
void lf_walkRecords(const BglWords& w, std::size_t p, AirportDecoder& decoder, std::vector<bool>& walked) {
    while (p < w.size() && !walked[p]) {
        walked[p] = true;
        if (lf_stopping()) return;
        const uint16_t id = lf_recordId(w, p);
        const uint64_t step = lf_recordSize(w, p) / 4;
        if (id == kAirportV1 || id == kAirportV2) {
            if (step == 0) {
                gf_logWarning(fmt::format("   Warning: decodeSizeAtBoundary returned 0 at o2 = {}", p));
                return;
            }
            if (auto icao = lf_decodeIdentifierOrRegionCode(w.at(p + 10)))
                decoder.decode(p, id, static_cast<std::size_t>(step), std::move(*icao));
        }
        if (step == 0) return;
        p += static_cast<std::size_t>(step);
    }
}

// The file's bytes, read at once; nothing when it cannot be read, or when it is larger than
// kMaxBglFileBytes (with its scan message): such a file costs neither memory nor time.
std::optional<std::string> lf_readBgl(const fs::path& file, std::string_view pathText) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
    if (size < 0) return std::nullopt;
    if (static_cast<std::uintmax_t>(size) > kMaxBglFileBytes) {
        gf_scanMessage(
            fmt::format("===> {} not decoded: the file is {} bytes, more than the limit of {} bytes",
                        pathText, size, kMaxBglFileBytes));
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.seekg(0);
    in.read(bytes.data(), size);
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

}  // namespace

BglWords::BglWords(std::string_view bytes) : bytes_(bytes), words_((bytes.size() + 3) / 4) {}

uint32_t BglWords::at(std::size_t index) const {
    if (index >= words_)
        throw std::out_of_range(fmt::format("BGL word {} past the end of {} words", index, words_));
    const std::size_t first = index * 4;
    if constexpr (std::endian::native == std::endian::little) {
        if (first + 4 <= bytes_.size()) {
            uint32_t word = 0;
            std::memcpy(&word, bytes_.data() + first, 4);
            return word;
        }
    }
    // Byte by byte; the last, partial word has zeros above the bytes the file has.
    uint32_t word = 0;
    for (std::size_t i = first; i < std::min(first + 4, bytes_.size()); ++i)
        word |= static_cast<uint32_t>(static_cast<unsigned char>(bytes_[i])) << (8 * (i - first));
    return word;
}

float BglWords::floatAt(std::size_t index) const { return std::bit_cast<float>(at(index)); }

std::optional<std::string> lf_decodeIdentifierOrRegionCode(uint32_t packed) {
    try {
        std::string text;
        for (uint32_t v = packed >> 5; v != 0; v /= 38) {
            const uint32_t d = v % 38;
            if (d == 0) return std::nullopt;
            text.insert(text.begin(), static_cast<char>(d >= 2 && d <= 11 ? d + 46 : d + 53));
        }
        if (text.size() != 4) return std::nullopt;
        return text;
    } catch (const std::exception&) {
        gf_logLine(fmt::format("! Exception in {}", "lf_decodeIdentifierOrRegionCode"));
        return std::nullopt;
    }
}

std::string lf_parkingNamePrefix(uint32_t code) {
    static constexpr std::array<const char*, 12> kPrefixes{"", "r", "p", "np", "ep", "sep", "sp", "swp", "wp", "nwp", "g", ""};
    if (code < kPrefixes.size()) return kPrefixes[code];
    return std::string(1, static_cast<char>((code & 0x3F) + 53));
}

bool lf_bglHasAirport(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= static_cast<std::streamoff>(kHeaderWords * 4)) return false;
    std::array<uint32_t, kHeaderWords> header{};
    in.seekg(0);
    in.read(reinterpret_cast<char*>(header.data()), sizeof header);
    const uint64_t sections = BglWords(std::string_view(reinterpret_cast<const char*>(header.data()), sizeof header)).at(5);
    if (sections == 0 || static_cast<uint64_t>(size) <= kHeaderSize + 20 * sections) return false;
    std::string table(static_cast<std::size_t>(20 * sections), '\0');
    in.read(table.data(), static_cast<std::streamsize>(table.size()));
    if (!in) return false;
    const BglWords words(table);
    for (uint64_t i = 0; i < sections; ++i)
        if (words.at(static_cast<std::size_t>(kSectionWords * i)) == kAirportSection) return true;
    return false;
}

void gf_decodeBgl(std::string_view bytes, std::string_view bglPath, BglAirportSink& sink) {
    const BglWords w(bytes);
    if (w.at(1) != kHeaderSize || w.size() <= kHeaderWords) return;
    AirportDecoder decoder(w, bglPath, sink);
    std::vector<bool> walked(w.size(), false);
    const uint32_t sections = w.at(5);
    for (uint64_t i = 0; i < sections && !lf_stopping(); ++i) {
        const uint64_t s = kHeaderWords + kSectionWords * i;
        // A section entry not wholly in the file ends the table: the count is not to be trusted.
        if (s + kSectionWords > w.size()) break;
        const auto at = static_cast<std::size_t>(s);
        if (w.at(at) != kAirportSection || (w.at(at + 1) & kLongSubsectionFlag) != 0) continue;
        const std::size_t subsection = w.at(at + 3) / 4;
        lf_walkRecords(w, w.at(subsection + 2) / 4, decoder, walked);
    }
}

void lf_processBGLfile(const fs::path& file, std::string_view pathText, BglAirportSink& sink) {
    struct GiveSlotBack {
        ~GiveSlotBack() { gf_taskDone(); }
    } giveSlotBack;
    try {
        if (const std::optional<std::string> bytes = lf_readBgl(file, pathText))
            gf_decodeBgl(*bytes, pathText, sink);
    } catch (const std::exception&) {
        gf_logWarning(fmt::format("Exception in lf_processBGLfile: {}", pathText));
        throw;
    }
}
