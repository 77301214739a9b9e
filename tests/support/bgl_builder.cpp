#include "support/bgl_builder.h"

#include <bit>
#include <cmath>

namespace {

void lf_put16(std::string& out, uint16_t v) { out.append({static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}); }
void lf_put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void lf_putFloat(std::string& out, float v) { lf_put32(out, std::bit_cast<uint32_t>(v)); }
void lf_set32(std::string& out, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint32_t lf_packLat(double lat) { return static_cast<uint32_t>(std::llround((90.0 - lat) * 536870912.0 / 180.0)); }
uint32_t lf_packLon(double lon) { return static_cast<uint32_t>(std::llround((lon + 180.0) * 805306368.0 / 360.0)); }

// Record header: id and size (header included); the size is patched in once the body is known.
std::size_t lf_begin(std::string& out, uint16_t id) {
    const std::size_t start = out.size();
    lf_put16(out, id);
    lf_put32(out, 0);
    return start;
}
void lf_end(std::string& out, std::size_t start) { lf_set32(out, start + 2, static_cast<uint32_t>(out.size() - start)); }

void lf_parkingList(std::string& out, uint16_t id, const std::vector<BglParkingSpec>& list) {
    const std::size_t start = lf_begin(out, id);
    lf_put16(out, static_cast<uint16_t>(list.size()));
    for (const BglParkingSpec& p : list) {
        lf_put32(out, (p.nameCode & 0x3F) | ((p.type & 0xF) << 8) | ((p.number & 0xFFF) << 12) |
                          (static_cast<uint32_t>(p.airlines.size()) << 24));
        lf_putFloat(out, p.radiusM);
        lf_putFloat(out, p.headingDeg);
        out.append(16, '\0');  // +0x0C..0x1B: pushback and model data, not read
        lf_put32(out, lf_packLon(p.lon));
        lf_put32(out, lf_packLat(p.lat));
        if (id == 0xAD) lf_put32(out, 0);
        for (uint32_t code : p.airlines) lf_put32(out, code);
    }
    lf_end(out, start);
}

std::string lf_airportRecord(const BglAirportSpec& a) {
    std::string out;
    const std::size_t start = lf_begin(out, a.id);
    out.resize(start + (a.id == 0xAB ? 0x3C : 0x38), '\0');
    lf_set32(out, start + 0x14, static_cast<uint32_t>(a.altitudeMm));
    lf_set32(out, start + 0x28, a.icaoPacked);
    for (const std::string& name : a.names) {
        const std::size_t nameAt = lf_begin(out, 0x19);
        out += name;
        while ((out.size() - nameAt) % 4 != 0) out.push_back('\0');
        lf_end(out, nameAt);
    }
    for (const BglHelipadSpec& h : a.helipads) {
        const std::size_t padAt = lf_begin(out, 0x26);
        out.append(6, '\0');  // +0x06..0x0B: surface and flags, not read
        lf_put32(out, lf_packLon(h.lon));
        lf_put32(out, lf_packLat(h.lat));
        out.append(8, '\0');  // +0x14 altitude, +0x18 length
        lf_putFloat(out, h.widthM);
        lf_putFloat(out, h.headingDeg);
        lf_end(out, padAt);
    }
    if (!a.parkings.empty()) lf_parkingList(out, a.id == 0xAB ? 0xAD : 0x3D, a.parkings);
    lf_end(out, start);
    return out;
}

}  // namespace

uint32_t tst_packIcao(std::string_view code) {
    uint32_t v = 0;
    for (char c : code) v = v * 38 + static_cast<uint32_t>(c >= '0' && c <= '9' ? c - 46 : c - 53);
    return v << 5;
}

std::string tst_bglFile(const std::vector<BglAirportSpec>& airports, int otherSections) {
    const uint32_t sections = 1 + static_cast<uint32_t>(otherSections);
    std::string out;
    lf_put32(out, 0x19920201);  // magic, not read
    lf_put32(out, 0x38);
    out.resize(0x38, '\0');
    lf_set32(out, 0x14, sections);
    const uint32_t subsectionAt = 0x38 + 20 * sections, recordsAt = subsectionAt + 16;
    for (uint32_t i = 0; i < sections; ++i)  // type; 16-byte subsection entries, one subsection
        for (uint32_t v : {i == 0 ? 3u : 0x65u, 1u, 1u, subsectionAt, 16u}) lf_put32(out, v);
    for (uint32_t v : {0u, static_cast<uint32_t>(airports.size()), recordsAt, 0u}) lf_put32(out, v);
    const std::size_t sizeAt = out.size() - 4;  // subsection: id, records, offset, size
    for (const BglAirportSpec& a : airports) out += lf_airportRecord(a);
    lf_set32(out, sizeAt, static_cast<uint32_t>(out.size() - recordsAt));
    return out;
}
