// Prints each file's path, duration in seconds and Chromaprint acoustic fingerprint, one line
// per file separated by tabs; a file no decoder takes is reported on stderr.

#include <cstdio>

#include "library/AcousticPrint.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: sonvera-fingerprint FILE...\n");
        return 2;
    }
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        const auto print = ComputeAcousticPrint(argv[i]);
        if (!print) {
            std::fprintf(stderr, "%s: no sound could be decoded\n", argv[i]);
            ++failed;
            continue;
        }
        std::printf("%s\t%d\t%s\n", argv[i], print->durationSeconds, print->fingerprint.c_str());
    }
    return failed ? 1 : 0;
}
