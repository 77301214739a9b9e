// Flight plan files (.pln, AceXML) of the AI aircraft the program creates: one per object id in
// the flight-plan folder. Written by live traffic when an object is created, deleted when it is
// removed, and the folder's files cleaned at closing down.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string_view>

inline constexpr const char* g_flightPlanFolder = "flightplans";

// "flightplans/{}.pln" of the object id.
std::filesystem::path gf_flightPlanFileName(uint32_t objectId);
// Deletes the object's flight plan file when there is one (a failure is logged as a warning).
void gf_removeFlightPlan(uint32_t objectId);

// Writes the flight plan from the origin to the destination airport (codes of 2 to 8 letters
// and digits), through a temporary file and a rename. False on failure or a bad code.
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <SimBase.Document Type="AceXML" version="1,0">
//       <Descr>AceXML Document</Descr>
//       <FlightPlan.FlightPlan>
//           <Title>{origin} to {destination}</Title>
//           <FPType>IFR</FPType>
//           <DepartureID>{origin}</DepartureID>
//           <DestinationID>{destination}</DestinationID>
//           <ATCWaypoint id="{origin}"> (then the same for the destination)
//               <ATCWaypointType>Airport</ATCWaypointType>
//               <ICAO><ICAOIdent>{origin}</ICAOIdent></ICAO>
//           </ATCWaypoint>
//       </FlightPlan.FlightPlan>
//   </SimBase.Document>
bool gf_writeFlightPlan(const std::filesystem::path& path, std::string_view origin,
                        std::string_view destination);

// Removes the program's flight plan files ("<object id>.pln") from the flight-plan folder;
// returns how many were removed. Other files stay.
int gf_cleanFlightPlans();
