// The livery tables the matching ladder searches: the raw airline table that owns every title,
// the passenger and cargo airline and type tables, and the light, business-jet and helicopter
// pick lists. Built once per process by the table building (aircraft/liveries_scanned.h) on the
// run thread, then only read by the matching ladder on the same thread.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "aircraft/livery_data.h"
#include "aircraft/type_database.h"

// One installed livery under an airline and type.
struct RawTitleEntry {
    std::string title;  // owned; every view of the other tables points here
    bool cargo = false;
};

using RawTypeMap = std::unordered_map<std::string, std::vector<RawTitleEntry>>;
using TypeTitleMap = std::unordered_map<std::string, TitleList>;
using ClassPickList = std::vector<std::string>;

// Fills g_rawAirlineTable (and its title index) from g_scannedLiveries, which must be sorted.
void lf_buildRawAirlineTable();
// Fills g_airlineTables from g_rawAirlineTable.
void lf_buildAirlineTables();
// Fills g_typeTables from g_rawAirlineTable; liveries without a type code are left out.
void lf_buildTypeTables();
// Counts the installed liveries of one category, logs them, gates the category's option and
// fills its pick list.
void lf_countCategory(AircraftCategory category);
// Appends the types to the light, business-jet or helicopter pick list and logs them 20 a line.
void lf_fillClassPickLists(bool light, bool bizjet, bool heli, const std::vector<std::string>& types);
// One type code drawn from a pick list; empty when the list is empty.
std::string lf_randomLightType();
std::string lf_randomBizjetType();
std::string lf_randomHeliType();
// View of the installed title equal to the text (the first in table order); empty when none.
std::string_view lf_findInstalledTitle(std::string_view title);
// The airline has liveries of the type in g_rawAirlineTable.
bool lf_airlineHasType(const std::string& airline, const std::string& type);
// Every airline code of g_rawAirlineTable cut to three characters, in table order.
std::vector<std::string> lf_airlineList();

// Reserves the pick lists and the special-title list once per process (start of every run).
void gf_reserveLiveryTables();
// Empties every table and every holder of views into them (registration map, special titles,
// remembered titles by hexid). Run thread only, while no aircraft holds a title.
void gf_clearLiveryTables();
// Whole-process reset for tests: empty tables, the reservation flag cleared.
void gf_resetLiveryTables();

// Airline code -> type code -> the airline's liveries of the type, in scanned order.
extern std::unordered_map<std::string, RawTypeMap> g_rawAirlineTable;
// Index 0 passenger, 1 cargo: airline code -> type code -> non-empty title list.
extern std::array<std::unordered_map<std::string, TypeTitleMap>, 2> g_airlineTables;
// Index 0 passenger, 1 cargo: type code -> every airline's titles of that type and kind.
extern std::array<TypeTitleMap, 2> g_typeTables;
// Installed type codes of the Light, Buzjets and Rotorcraft categories, ascending byte order.
extern ClassPickList g_lightTypes;
extern ClassPickList g_bizjetTypes;
extern ClassPickList g_heliTypes;
extern bool g_liveryTablesReserved;
