// Parking files from add-on scenery: for every airport decoded from a scenery file, a link file
// to the site's archived parking file, a parking file generated from the decoded stands, or
// both. Runs inside the decoding tasks of the add-on airport scan (scenery/airport_scan.h).
//
// Link file my_ORBX/<ICAO>.txt or my_thirdparty/<ICAO>.txt, one line, the archived file's place:
//   archive/simaddon/LOWI.xml
//   archive/thirdparty/Mega%20Airports/EDDM.xml
// Generated file my_ORBX/<ICAO>.xml ("simaddon") or my_thirdparty/<ICAO>.xml (every other
// publisher), written in full mode, stands sorted by name in byte order.
#pragma once
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "airports/apf_file.h"
#include "scenery/bgl_file.h"

// "simaddon" for a path holding "ORBX" in any letter case (with the scan message "from filename
// => publisher simaddon"); else the first name of the first g_publishers entry one of whose names
// the path holds in any letter case; else "unknown".
std::string gf_publisherFromFilename(std::string_view path);
// "archive/simaddon/<ICAO>.xml" when the code is in g_simAddonAirports; else nothing, with the
// scan message "{ICAO} does not exist as simaddon".
std::optional<std::string> lf_checkSimaddonArchive(std::string_view icao);
// "archive/thirdparty/<publisher, blanks as %20>/<ICAO>.xml" when the publisher's airport list
// of g_thirdPartyPublishers holds the code (archivedCount then the number after it); else
// nothing, with the scan message "thirdparty {publisher} {ICAO} does not exist".
std::optional<std::string> lf_checkThirdpartyArchive(std::string_view publisher, const ApfContent& airport,
                                                     int32_t& archivedCount);
// The link step, under the link lock: sets BGLpath and publisher and writes the link file when
// an archived file exists. True when linked; a link file that cannot be written is a warning
// scan message and the airport is not linked.
bool lf_linkApf(ApfContent& airport, int32_t& archivedCount, std::string_view bglPath);
// A parking file the user made by hand: it carries the parameter "handmade" (or a meta entry
// of that name). A scan never writes over, copies or removes such a file.
bool gf_isHandmadeApf(const std::filesystem::path& file);
// Writes the airport's parking file (nothing for an airport without stands, nothing over a
// hand-made file) under a name of its own first, then renamed into place, so two writers of
// one airport never mix their files.
void lf_generateApf(ApfContent& airport);
// The outcome once the stands are decoded: generate unless linked and (no more stands than the
// archived file or "simaddon").
void lf_applyOutcome(ApfContent& airport, const BglLink& link);

// The scan's sink: the link step before an airport is decoded, the outcome rule after.
class SceneryApfSink : public BglAirportSink {
public:
    BglLink link(ApfContent& airport, std::string_view bglPath) override;
    void finish(ApfContent& airport, const BglLink& link) override;
};

// One scan task: lf_processBGLfile (scenery/bgl_file.h) into the scan's sink.
void lf_processBGLfile(const std::filesystem::path& file, std::string_view pathText);

// Whole-process reset: no files changed.
void gf_resetSceneryApf();

// Set when a link file was written or a parking file generated during the scan.
extern std::atomic<bool> g_airportFilesChanged;
