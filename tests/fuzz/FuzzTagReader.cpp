// libFuzzer entry: the whole tag reader (id3lib, code-page repair, frame walk) over a file.
#include <unistd.h>

#include <string>

#include "tests/fuzz/FuzzInputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/sonvera-fuzz-" + std::to_string(getpid()) + ".mp3";
    FuzzTagReader(data, size, path);
    return 0;
}
