// Where the parking file of an airport is found: the user's and the scan's folders, link files,
// the stock file of the download site, and the path of the learned file that belongs to it.
// Used by the park airport's reader, the learned-file saver, the destination stand lookup and
// the scenery scan. Paths are relative to the working folder.
//
// A location is either a local path, which begins with "airports", or a path on the download
// site, which does not ("archive/stock/LSZH.xml", "archive/thirdparty/Some%20Pub/EDDF.xml").
//
// A link file my_thirdparty/<ICAO>.txt or my_ORBX/<ICAO>.txt names a location on its first line:
//   archive/thirdparty/Some%20Pub/EDDF.xml
// trailing blanks are dropped and anything after the first ".xml" is cut off.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>

inline constexpr const char* kLearnedFolder = "airports/learned";
inline constexpr const char* kParkAirportCopy = "airports/park_airport.xml";

// name + ".xml" and name + ".txt"; callers join them to a folder.
std::string gf_apfXmlPath(std::string_view name);
std::string gf_apfTxtPath(std::string_view name);

// False, with the warning "{origin}: {what} '{text}' refused, it would leave the airports
// folder", when a text taken from a file would lead out of the folder it is joined to: an
// absolute path, a drive letter or a ".." segment (also written "%2e%2e").
bool gf_staysInAirportsFolder(std::string_view text, std::string_view what, std::string_view origin);

// The link file's target in target: false when the file does not exist, is empty, names no
// ".xml" or names a place outside the airports folder (a warning then).
bool lf_readApfLink(const std::filesystem::path& linkFile, std::string& target);

// The location of the airport's parking file, first found of: my_thirdparty link, my_thirdparty
// file, my_ORBX link, my_ORBX file, the stock file of the site; "" when there is none. A status
// query that fails for another reason than a missing file raises filesystem_error ("exists").
std::string gf_findApf(std::string_view icao);
// Whether a parking file can be had: a local file or link (links not read), else the stock file.
bool gf_apfExists(std::string_view icao);

// The learned file of the airport, where the saver writes it and the reader looks for it:
// airports/learned/stock/<ICAO>.xml, airports/learned/simaddon/<ICAO>.xml,
// airports/learned/thirdparty/<publisher>/<ICAO>.xml, or airports/learned/thirdparty/<ICAO>.xml
// for an empty publisher (a file of my_thirdparty that names none). Empty (with a warning) for
// a publisher or code that would leave the airports folder, and for an empty code.
std::filesystem::path gf_learnedApfPath(std::string_view icao, std::string_view publisher);
// The learned file of the parking file at the location: the code is the location's file name,
// the publisher the file's own, or when that is empty the one its folder names (archive/stock,
// archive/simaddon and my_ORBX: simaddon; archive/thirdparty/<publisher>; my_thirdparty:
// none, so airports/learned/thirdparty/<ICAO>.xml). Empty for an empty location.
std::filesystem::path lf_migrateArchivePath(std::string_view location, std::string_view publisher);
// The publisher a location's folder names, "" when it names none (see above).
std::string gf_publisherOfLocation(std::string_view location);
