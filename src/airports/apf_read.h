// Reading the park airport's parking file into g_stands: the header, the stands and options,
// the learned file merged on top, made-up traffic, numbering and neighbours, and the quality
// factors. Called on the run thread by the choice of a park airport; the saver of the learned
// file writes the header back.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The header of the loaded parking file.
struct ParkFileHeader {
    std::string airport_name;
    std::string publisher;  // the file's own, else the one its location names (see apf_lookup.h)
    int32_t altitude = 0;   // feet
};

// How well observed traffic covers the stands, 0..100 each; -1 = none.
struct QualityPair {
    int32_t Qf_real = -1;
    int32_t Qf_soft = -1;
};

// Reads the parking file at location (from gf_findApf) for the park airport icao ("" when
// none is set). error is "" on success, else: "gf_readApf: xml is empty", "gf_readApf: no park
// airport set", the download's error (or, while the site has not answered, a text that the
// caller ignores when gf_siteWaits has moved on: it reads again later), "{location}: could not
// load file: {path}",
// "{location}: refused to load (copyright)" or "no stands found". Raises
// qtk::UserErrorException 65 "Parameter altitude not found" and 94 "Parking position {id}
// appears more than once?". The caller clears g_stands before and gives the header's altitude
// to its park airport record.
void gf_readApf(std::string_view icao, const std::string& location, std::string& error, ParkFileHeader& header,
                QualityPair& quality);

// The quality pair of g_stands: per stand weight w (0.3 up to a radius of 7, 1.5 up to 10,
// else 1.0), per kind of option (real, soft) with n options, D distinct weekdays 1..7 and H
// half-hours: (min(20n, 4000) + 10000 + 100D + 2 min(H, 600)) x w, summed, divided by the
// total weight, x 0.00625, rounded and clamped to 0..100. (-1, -1) when no stand has an option.
QualityPair gf_qualityFactors();
// "  " when both are negative; "{:2}/{:2}" (real, soft) when Qf_real is below 45; else "{:2}".
std::string gf_qualityLabel(QualityPair quality);

// Back to the start values (per-run and whole-process reset).
void gf_resetParkFile();

// Header of the loaded file, kept for the saver. Run thread.
extern ParkFileHeader g_parkFileHeader;
// The file's "RT_traffic_week" (0 when absent), shown in the statistics panel.
extern int32_t g_rtTrafficWeek;
// A parking setting changed since the file was loaded; the saver reports and clears it.
extern bool g_parkParamsChanged;
