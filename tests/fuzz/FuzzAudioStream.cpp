// libFuzzer entry: the audio format sniffer and stream fingerprints over bytes in memory.
#include "tests/fuzz/FuzzInputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzAudioStream(data, size);
    return 0;
}
