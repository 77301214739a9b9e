// Serves a folder laid out as the download site on 127.0.0.1 for the demo run:
//   trelvo_site_server FOLDER PORT_FILE
// writes the base address ("http://127.0.0.1:<port>/") into PORT_FILE once it listens and
// serves until it is sent SIGTERM or SIGINT.
#include <csignal>
#include <cstdio>
#include <fstream>

#include <unistd.h>

#include "support/http_server.h"

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void lf_onSignal(int) {
    g_stopRequested = 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER PORT_FILE\n", argv[0]);
        return 2;
    }
    HttpServer server(argv[1]);
    if (!server.start()) {
        std::fprintf(stderr, "trelvo_site_server: cannot listen on 127.0.0.1\n");
        return 1;
    }
    std::signal(SIGTERM, lf_onSignal);
    std::signal(SIGINT, lf_onSignal);
    std::ofstream(argv[2]) << server.baseUrl() << '\n';
    while (g_stopRequested == 0) pause();
    return 0;
}
