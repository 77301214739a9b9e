// trelvo_encrypt <plain> <enc>: encrypts a readable data file into the form the program reads
// (core/crypto.h). Used by the build to make the demo's input/*.enc files.
#include <cstdio>
#include <exception>

#include "core/crypto.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: trelvo_encrypt <plain> <enc>\n");
        return 2;
    }
    try {
        gf_streamEncrypt(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trelvo_encrypt: %s\n", e.what());
        return 1;
    }
    return 0;
}
