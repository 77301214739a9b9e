// trelvo_make_sim_tree <LiveriesScanned.xml>: builds the demo's simulator (add-on configuration
// and AI aircraft folders) from a list of liveries, under the folders that TRELVO_APPDATA,
// TRELVO_PROGRAMDATA, TRELVO_SIM_ROOT and TRELVO_DRIVES name (tests/support/demo_sim_tree.h).
#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>

#include "aircraft/liveries_scanned.h"
#include "support/demo_sim_tree.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: trelvo_make_sim_tree <LiveriesScanned.xml>\n");
        return 2;
    }
    try {
        std::ifstream in(argv[1], std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        gf_parseLiveriesScanned(text.str(), argv[1]);
        gf_writeDemoSimTree(g_scannedLiveries);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trelvo_make_sim_tree: %s\n", e.what());
        return 1;
    }
    return 0;
}
