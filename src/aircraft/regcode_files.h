// Readers of the two registration-code file formats: the AIG regcode file (decrypted from the
// program's data file) and the user's own regcode text files. Called by the regcode sources
// (aircraft/regcodes.h) at table building and before a livery scan.
//
// AIG-regcodes.xml:
//   <AIG-regcodes>
//     <livery title="Airbus A320 Swiss HB-IJB" reg="HB-IJB,HB-IJC" special="true"/>
//   </AIG-regcodes>
//   title    required  the installed livery title
//   reg      optional  comma list of registrations; none: a title the scan must not use
//   special  optional  special livery when the value begins with 1, t, T, y or Y
//
// Regcode text files (*.txt in any letter case), one entry a line, blank lines skipped:
//   Airbus A320 Swiss HB-IJB                    a title the scan must not use
//   Airbus A320 Swiss HB-IJB;HB-IJB,HB-IJC      the title for these registrations
//   Airbus A320 Swiss HB-IJB;HB-IJB;#           the same, marked special
#pragma once
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "aircraft/livery_data.h"

// Appends the entries of an AIG regcode document; false when errors were found (each logged
// once with file and line). The entries read are appended all the same.
bool gf_parseAigRegcodes(std::string_view xml, std::string_view path, std::vector<RegcodeEntry>& entries);
// Loads the decrypted AIG regcode file (g_aigRegcodesXml) as above.
bool gf_loadAigRegcodes(std::vector<RegcodeEntry>& entries);
// Appends the entries of the lines of one regcode text file; false when a line is bad (each
// logged with file and line, then dropped).
bool gf_parseRegcodeLines(const std::vector<std::string>& lines, std::string_view path,
                          std::vector<RegcodeEntry>& entries);
// Reads every .txt file directly in the folder, in name order; false when any had errors.
bool gf_readRegcodeFiles(const std::filesystem::path& folder, std::vector<RegcodeEntry>& entries);

inline constexpr const char* g_aigRegcodesEnc = "input/AIG-regcodes.enc";
inline constexpr const char* g_aigRegcodesXml = "input/AIG-regcodes.xml";
inline constexpr const char* g_myRegcodesFolder = "input/my_regcodes";
