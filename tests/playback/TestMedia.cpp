#include "TestMedia.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

// The Media Player plays through a sink that keeps time without a sound device, unless the
// environment names another.
const bool sinkChosen = setenv("SONVERA_AUDIOSINK", "fakesink sync=true", 0) == 0;

}  // namespace

std::string TestMedia::MakeMp3(const std::string& name, int rate, int channels,
                               const std::string& soxSynth, const std::string& lameOptions) {
    const std::string wav = folder_ / (name + ".wav");
    const std::string mp3 = folder_ / name;
    const std::string sox = "sox -n -r " + std::to_string(rate) + " -c " +
                            std::to_string(channels) + " '" + wav + "' " + soxSynth;
    const std::string lame = "lame --quiet " + lameOptions + " '" + wav + "' '" + mp3 + "'";
    EXPECT_EQ(std::system(sox.c_str()), 0) << sox;
    EXPECT_EQ(std::system(lame.c_str()), 0) << lame;
    std::filesystem::remove(wav);
    return mp3;
}

std::string TestMedia::MakeEncoded(const std::string& name, const std::string& soxSynth) {
    const std::string out = folder_ / name;
    const std::string wav = name.ends_with(".wav") ? out : out + ".wav";
    const std::string sox = "sox -n -r 44100 -c 2 -b 16 '" + wav + "' " + soxSynth;
    EXPECT_EQ(std::system(sox.c_str()), 0) << sox;
    const std::string extension = name.substr(name.rfind('.'));
    std::string encode;
    if (extension == ".flac") encode = "flac -s -f '" + wav + "' -o '" + out + "'";
    if (extension == ".ogg") encode = "oggenc -Q '" + wav + "' -o '" + out + "'";
    if (extension == ".opus") encode = "opusenc --quiet '" + wav + "' '" + out + "'";
    if (extension == ".m4a" || extension == ".aac")
        encode = "ffmpeg -v error -y -i '" + wav + "' -c:a aac -b:a 96k '" + out + "'";
    if (!encode.empty()) {
        EXPECT_EQ(std::system(encode.c_str()), 0) << encode;
        std::filesystem::remove(wav);
    }
    return out;
}

std::string TestMedia::MakeFile(const std::string& name, const std::string& bytes) {
    const std::string path = folder_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}
