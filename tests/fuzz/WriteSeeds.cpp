// Writes the seed inputs of the fuzz targets into a corpus folder.
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/fuzz/FuzzInputs.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_write_seeds FOLDER\n");
        return 2;
    }
    int index = 0;
    for (const auto& seed : FuzzSeeds()) {
        std::ofstream out(std::string(argv[1]) + "/seed-" + std::to_string(index++), std::ios::binary);
        out.write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
    }
    return 0;
}
