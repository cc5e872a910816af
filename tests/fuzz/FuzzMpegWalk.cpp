// libFuzzer entry: the MPEG frame walk over bytes in memory.
#include "tests/fuzz/FuzzInputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzMpegWalk(data, size);
    return 0;
}
