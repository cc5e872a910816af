// Runs both parsers over a few thousand mutated inputs, so that every build exercises them
// on hostile bytes even without libFuzzer. Exits non-zero (by abort) on a failed check.

#include <unistd.h>

#include <cstdio>
#include <string>

#include "tests/fuzz/FuzzInputs.h"
#include "tests/library/TestFiles.h"

int main() {
    TempFolder dir;
    const std::string path = dir / "fuzz.mp3";
    // Read by what it holds, through TagLib for the other formats.
    const std::string otherPath = dir / "fuzz.flac";
    const auto seeds = FuzzSeeds();
    uint32_t state = 12345;
    size_t walks = 0;
    size_t reads = 0;
    for (const auto& seed : seeds) {
        FuzzMpegWalk(seed.data(), seed.size());
        FuzzTagReader(seed.data(), seed.size(), path);
        FuzzTagReader(seed.data(), seed.size(), otherPath);
        FuzzAudioStream(seed.data(), seed.size());
    }
    for (int round = 0; round < 5000; ++round) {
        const auto& seed = seeds[static_cast<size_t>(round) % seeds.size()];
        std::vector<uint8_t> input = Mutate(seed, state);
        // Mutations of mutations reach deeper than one round of edits.
        if (round % 3 == 0) input = Mutate(input, state);
        FuzzMpegWalk(input.data(), input.size());
        FuzzAudioStream(input.data(), input.size());
        ++walks;
        if (round % 2 == 0) {
            FuzzTagReader(input.data(), input.size(), round % 4 == 0 ? path : otherPath);
            ++reads;
        }
    }
    std::printf("fuzz smoke: %zu walks, %zu tag reads, no failures\n", walks, reads);
    return 0;
}
