// The livery tables the matching ladder searches: the raw airline table that owns every title,
// the passenger and cargo airline and type tables, and the light, business-jet and helicopter
// pick lists. Built once per process by the table building (aircraft/liveries_scanned.h) on the
// run thread, then only read by the matching ladder on the same thread.
#pragma once
#include <array>
#include <memory_resource>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "aircraft/livery_data.h"
#include "aircraft/type_database.h"

// One installed livery under an airline and type.
struct RawTitleEntry {
    std::string_view title;  // text in the livery arena; every view of the other tables points here
    bool cargo = false;
};

// An airline's liveries of one type in list order: one stretch of the table's entry array.
using RawTitleRun = std::span<const RawTitleEntry>;
// Every key and value of the tables below lives in the livery arena.
using RawTypeMap = std::pmr::unordered_map<std::string_view, RawTitleRun, TextHash>;
using RawAirlineMap = std::pmr::unordered_map<std::string_view, RawTypeMap, TextHash>;
using TypeTitleMap = std::pmr::unordered_map<std::string_view, TitleList, TextHash>;
using AirlineTitleMap = std::pmr::unordered_map<std::string_view, TypeTitleMap, TextHash>;
using ClassPickList = std::vector<std::string>;

// Fills g_rawAirlineTable (and its title index) from the liveries, which must be sorted by
// airline, type and title; the table copies every text it keeps.
void lf_buildRawAirlineTable(std::span<const LiveryView> liveries);
// The same from g_scannedLiveries.
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
bool lf_airlineHasType(std::string_view airline, std::string_view type);
// Every airline code of g_rawAirlineTable cut to three characters, in table order.
std::vector<std::string> lf_airlineList();

// The memory of the tables and the registration map: their texts, nodes and lists, handed
// back all at once by gf_clearLiveryTables. Never destroyed, so that tables destroyed at
// process exit can still return their nodes to it.
std::pmr::monotonic_buffer_resource& gf_liveryArena();
// A copy of the text in the livery arena, valid until the tables are cleared.
std::string_view gf_arenaText(std::string_view text);
// Empties a container of the arena down to no arena memory at all (clear() would keep its
// bucket array), so that releasing the arena cannot leave it pointing at freed memory.
template <class Container>
void gf_emptyArenaContainer(Container& container) {
    container = Container(typename Container::allocator_type(&gf_liveryArena()));
}

// Reserves the pick lists and the special-title list once per process (start of every run).
void gf_reserveLiveryTables();
// Empties every table and every holder of views into them (registration map, special titles,
// remembered titles by hexid), then releases the arena. Run thread only, while no aircraft
// holds a title.
void gf_clearLiveryTables();
// Whole-process reset for tests: empty tables, the reservation flag cleared.
void gf_resetLiveryTables();

// Airline code -> type code -> the airline's liveries of the type, in scanned order. Owns
// (through the arena) every title the other tables and the registration map point at.
extern RawAirlineMap g_rawAirlineTable;
// Index 0 passenger, 1 cargo: airline code -> type code -> non-empty title list.
extern std::array<AirlineTitleMap, 2> g_airlineTables;
// Index 0 passenger, 1 cargo: type code -> every airline's titles of that type and kind.
extern std::array<TypeTitleMap, 2> g_typeTables;
// Installed type codes of the Light, Buzjets and Rotorcraft categories, ascending byte order.
extern ClassPickList g_lightTypes;
extern ClassPickList g_bizjetTypes;
extern ClassPickList g_heliTypes;
extern bool g_liveryTablesReserved;
