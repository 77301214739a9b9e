// The demo's simulator: an add-on configuration and AI aircraft folders built from a list of
// liveries, laid out under the platform's folders (platform/known_folders.h) as the simulator
// would lay them out, with the cases a livery scan has to get right planted among them. Used
// by tools/trelvo_make_sim_tree (the demo run) and the scan's end-to-end test.
//
//   AppData  Lockheed Martin/Prepar3D v5/add-ons.cfg (UTF-16 LE with byte-order mark)
//              Package.0 D:\AI Traffic\Demo Airlines  add-on.xml: SimObjects\Liveries (relative)
//              Package.1 D:\Lights Reborn             add-on.xml: an excluded package
//              Package.2 D:\AI Traffic\Demo Cargo     inactive; add-on.xml: an absolute path
//              Package.3 D:\AI Traffic\No Manifest    a package without add-on.xml
//   ProgramData  Lockheed Martin/Prepar3D v5/simobjects.cfg
//              SimObjects\Airplanes (a default category), SimObjects\Demo GA (in the install
//              folder), D:\Old AI\Aircraft (missing), the Demo Airlines folder a second time
//   Liveries: cargo ones in Demo Cargo, "PVT" ones in Demo GA, the rest in Demo Airlines, one
//   aircraft.cfg per airline and type ("Aircraft.cfg" for every third); the first section
//   written with its airline code in lower case.
//   Planted in Demo Airlines: an aircraft.cfg without [fltsim.N] section, one with binary
//   content, one that is a dangling link, and one with an incomplete section, an invalid
//   airline code, an unknown model and the don't-use title kDemoDontUseTitle.
#pragma once
#include <list>

#include "aircraft/livery_data.h"

// A title the demo's user regcode file lists without registrations.
inline constexpr const char* kDemoDontUseTitle = "Cessna 172 Skyhawk Old Trainer Livery";

// Writes the tree for the liveries; raises std::runtime_error when a file cannot be written.
void gf_writeDemoSimTree(const std::list<LiveryData>& liveries);
