// LiveriesScanned.xml, the list of installed AI liveries, and the table building that turns it
// into the livery tables, registration codes, similar-type maps and pick lists once per
// process. Called on the run thread at start-up (by the livery scan, or directly when no scan
// is due); the window only asks for a rebuild.
//
// LiveriesScanned.xml:
//   <meta> <info name="author|date|version|..." value="..."/> ... </meta>   (see core/xml_meta.h)
//   <liveries>                       top-level, a sibling of meta; only the first one counts
//     <liv airl="SWR" type="A320" cargo="true" title="Airbus A320 Swiss HB-IJB" atcid="HB-IJB"/>
//   </liveries>
//   airl   required  airline code ("ZZZ" generic, "PVT" private)
//   type   required  ICAO type code
//   cargo  optional  cargo livery when the value begins with 1, t, T, y or Y; written only as "true"
//   title  required  the title the simulator creates the livery by
//   atcid  optional  the livery's registration; written only when there is one
//   Other child elements of <liveries> are skipped. Attribute order as written above.
#pragma once
#include <list>
#include <string_view>

#include "aircraft/livery_data.h"

// Replaces g_scannedLiveries with the liveries of the document text, sorted by airline, type
// and title in byte order. `path` names the file in messages. Raises qtk::UserErrorException
// 51 (the text does not parse, with the parser's description and offset), 52 (no <liveries>),
// 999 (a required attribute missing) and 533 (no liveries).
void gf_parseLiveriesScanned(std::string_view xml, std::string_view path);
// Builds every matching table from LiveriesScanned.xml unless they are built already. Reader
// errors pass to the caller: 51 "File {} not found" when there is no file, "File {} cannot be
// read: {reason}" when it cannot be read or parsed (the XML parser's description and byte
// offset) or is larger than kMaxWholeFileBytes.
void lf_processScannedLiveries();
// Writes g_scannedLiveries, when not empty, to LiveriesScanned.xml (atomically); false (with a
// warning) when the file could not be written, the old one then untouched.
bool lf_writeLiveriesScanned();
// The run thread's part of a new livery scan that the window asked for: empties the tables and
// clears g_liveryTablesBuilt so that they are built again. Carried out at the next start-up,
// before the tables are built, while no aircraft holds a title from them.
void gf_clearLiveryTablesForRescan();
// Whole-process reset of everything livery (tests): the list, the built flag, the tables,
// the regcodes and the matching state.
void gf_resetLiveryState();

// The scanned or read liveries; empty outside a scan or a table build.
extern std::list<LiveryData> g_scannedLiveries;
// Set once the tables of this process are built; cleared only with the tables.
extern bool g_liveryTablesBuilt;
