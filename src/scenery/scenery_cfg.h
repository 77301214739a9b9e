// Where the add-on airports lie: the folders named by the simulator's scenery.cfg and
// scenery_add-ons.xml (both in its ProgramData folder, any character set), and the tests that
// keep the simulator's own scenery out of the scan. Run thread, during the airport scan.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// "C:\ProgramData\Lockheed Martin\Prepar3D v<5 or 6>\<fileName>", as the simulator names it.
std::string lf_simConfigPath(std::string_view fileName);
// True when the text holds one of the simulator's own scenery fragments ("\World", "\BASE",
// "\0006", "\AFRI", ... letter case as listed).
bool lf_isStockSceneryFolder(std::string_view text);
// True when the text holds g_stockAirportsPath; never for an empty stock path.
bool gf_inStockAirportsPath(std::string_view text);

// scenery.cfg, as lines: sections start at every line holding "Area"/"AREA"/"area":
//   [Area.012]
//   Title=ORBX LOWI
//   Local=D:\Addons\ORBX\LOWI Innsbruck
//   Active=TRUE
// The folders of active sections are appended (relative ones joined to SIM_INSTALL_PATH).
void lf_sceneryCfgFolders(const std::vector<std::string>& lines, std::vector<std::string>& folders);
// The kept lines of one section: when its first "Active" line says true, each "Local" line
// that is no stock scenery gives a folder.
void lf_readSceneryArea(const std::vector<std::string>& lines, std::vector<std::string>& folders);
// scenery_add-ons.xml, as lines: the text of every <Path>…</Path> on a line.
//     <Path>D:\Addons\Aerosoft\Mega Airport Munich</Path>
void lf_addOnsFolders(const std::vector<std::string>& lines, std::vector<std::string>& folders);

// Reads the simulator's scenery.cfg and appends its folders, with the log lines of the scan.
void lf_readSceneryCfg(std::vector<std::string>& folders);
// Reads the simulator's scenery_add-ons.xml and appends its folders likewise.
void lf_readSceneryAddOns(std::vector<std::string>& folders);
