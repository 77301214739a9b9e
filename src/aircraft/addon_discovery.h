// Automatic discovery of livery folders through the simulator's add-on configuration, for the
// livery scan (aircraft/livery_scan.h), on the run thread. Folders are kept as the path texts
// the files give (platform/sim_paths.h maps them when they are opened).
//
// add-ons.cfg (the user's AppData, "Lockheed Martin\Prepar3D v5\add-ons.cfg"), any character set:
//   [Package.0]                       a line containing "Package", "PACKAGE" or "package" opens
//   PATH=D:\AI Traffic\Package A      a package section; its lines with "Path", "PATH" or "path"
//   ACTIVE=true                       and "=" name the package folders (the text behind the
//   REQUIRED=false                    first "=", trimmed); lines with "Required"/"REQUIRED" drop
// add-on.xml in a package folder:
//   <Category>SimObjects</Category>   a line containing "SimObjects" (four letter cases) makes
//   <Path>SimObjects\Airplanes</Path> the next line the component's path; a relative path lies
//                                     in the package folder; "Lights Reborn" and "Aerosoft
//                                     Geneva Professional" are never scanned
// simobjects.cfg ("C:\ProgramData\Lockheed Martin\Prepar3D v5\simobjects.cfg"):
//   [Entry.0]                         a line containing "Entry" or "ENTRY" opens an entry
//   Title=Default Airplanes           lines with "Title" or "Required" drop
//   Path=SimObjects\Airplanes         the simulator's own categories give nothing; another
//                                     relative SimObjects path lies in SIM_INSTALL_PATH; any
//                                     other path is taken as it is
#pragma once
#include <string>
#include <string_view>
#include <vector>

// Appends the folders of the add-on packages named in add-ons.cfg; catches its own failures.
void lf_readP3DAddOnsAircraft(std::vector<std::string>& folders);
// Appends the folders of the simobjects.cfg entries. A status error of the file other than
// "not found" raises std::filesystem::filesystem_error.
void lf_readSimObjectsCfg(std::vector<std::string>& folders);

// The package folders of the lines of add-ons.cfg, in order.
std::vector<std::string> gf_addOnsCfgPackages(const std::vector<std::string>& lines);
// Appends the SimObjects folders of the lines of one add-on.xml found in the package folder.
void gf_addOnXmlFolders(const std::vector<std::string>& lines, std::string_view packageFolder,
                        std::vector<std::string>& folders);
// Appends the folders of the lines of simobjects.cfg.
void gf_simObjectsCfgFolders(const std::vector<std::string>& lines, std::vector<std::string>& folders);
// The path text has no drive and no leading separator.
bool gf_isRelativeSimPath(std::string_view path);
