// The aircraft.cfg of an installed AI aircraft, as the livery scan reads it: one file holds the
// liveries of one model, a [fltsim.N] section each. The parser takes the text (already decoded
// to UTF-8, core/charset.h) and tells what it found; the scan turns that into report lines.
//
// The form read (everything else in the file is passed over):
//   ; a comment                       lines whose first non-blank byte is ";"
//   [fltsim.0]                        opens a livery section: "fltsim." and digits, any letter
//                                     case, blanks around the name allowed; any other [name]
//                                     closes it
//   title=Airbus A320 Swiss HB-IJB    the title the simulator creates the livery by  (required)
//   atc_id=HB-IJB                     the registration                               (optional)
//   icao_airline=SWR                  the airline code: three letters or digits      (required)
//   icao_type_designator=A320         the ICAO type code; the type database must know it
//                                                                                    (required)
//   atc_parking_types=GATE,CARGO      "CARGO" in any letter case marks a cargo livery (optional)
//   Keys in any letter case; blanks around key and value and one pair of double quotes around
//   the value are dropped; of a key given twice in a section the first counts.
//   Comments may also end a line, behind a ";" or "//" (for a quoted value: behind its closing
//   quote, so the quotes may hold either); they are dropped from values and section names:
//   [fltsim.0] ; Swiss                   the section fltsim.0
//   icao_airline=SWR // Swiss            SWR
//   title="Swiss A320; HB-IJB" ; x       Swiss A320; HB-IJB
//
// What a file may be:
//   invalid      the text holds a NUL character (not a text file); nothing else is read
//   empty        no [fltsim.N] section
// What a section may be, checked in this order:
//   incomplete   title, airline or type missing or blank
//   a code fix   an airline or type code with lower-case letters is upper-cased (and noted)
//   invalid      an airline code that is not three letters or digits, a type code the type
//                database does not know; the section gives no livery
//   don't-use    a title of the don't-use list (aircraft/regcodes.h): skipped without a note
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "aircraft/livery_data.h"

// What one aircraft.cfg holds for the scan.
struct CfgFindings {
    std::vector<LiveryData> liveries;          // the usable sections in file order; folder number 0
    bool invalid = false;                      // not a text file
    bool noFltsimSection = false;              // a text file without a [fltsim.N] section
    int incompleteSections = 0;                // sections missing title, airline or type
    std::vector<std::string> invalidAirlines;  // the codes as written
    std::vector<std::string> invalidModels;    // the codes, upper-cased
    std::vector<std::string> fixes;            // "[fltsim.N] icao_airline swr => SWR"
};

// The findings of one aircraft.cfg text (UTF-8). Reads the type database and the don't-use
// titles; touches no other state, so parse tasks may call it in parallel.
CfgFindings gf_parseAircraftCfg(std::string_view text);
// One [fltsim.N] section in the form above (the writer of generated and demo files).
std::string gf_aircraftCfgSection(int number, const LiveryData& livery);
