#include "tests/library/TestFiles.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

bool RunCommand(const std::string& command) { return std::system(command.c_str()) == 0; }

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool MakeMp3(const std::string& path, const std::string& soxArgs, const std::string& lameArgs,
             double seconds) {
    const std::string wav = path + ".wav";
    const bool ok = RunCommand("sox -q -n " + soxArgs + " " + ShellQuote(wav) + " synth " +
                               std::to_string(seconds) + " pinknoise vol 0.5 2>/dev/null") &&
                    RunCommand("lame --quiet " + lameArgs + " " + ShellQuote(wav) + " " +
                               ShellQuote(path) + " 2>/dev/null");
    std::remove(wav.c_str());
    return ok;
}

bool MakeMelodyWav(const std::string& path, uint32_t seed, double seconds) {
    std::string notes;
    uint32_t state = seed * 2654435761u + 12345u;
    for (int i = 0; i < static_cast<int>(seconds * 4); ++i) {
        state = state * 1664525u + 1013904223u;
        notes += std::string(i ? " : " : " ") + "synth 0.25 pluck " +
                 std::to_string(150 + (state >> 8) % 1850);
    }
    return RunCommand("sox -q -n -r 44100 -c 2 -b 16 " + ShellQuote(path) + notes +
                      " 2>/dev/null");
}

bool MakeEncoded(const std::string& path, const std::string& artist, int frequency,
                 double seconds) {
    std::string extension = path.substr(path.rfind('.'));
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string wav = path + ".in.wav";
    const std::string in = ShellQuote(wav);
    const std::string out = ShellQuote(path);
    const bool tagged = !artist.empty();
    const std::string a = ShellQuote(artist);
    std::string encode;
    if (extension == ".flac") {
        encode = "flac -s -f " +
                 (tagged ? "-T ARTIST=" + a + " -T TITLE=Title -T ALBUM=Album -T DATE=1999 -T GENRE=Jazz "
                         : std::string()) + in + " -o " + out;
    } else if (extension == ".ogg") {
        encode = "oggenc -Q " + (tagged ? "-a " + a + " -t Title -l Album -d 1999 -G Jazz " : std::string()) +
                 in + " -o " + out;
    } else if (extension == ".opus") {
        encode = "opusenc --quiet " +
                 (tagged ? "--artist " + a + " --title Title --album Album --date 1999 --genre Jazz "
                         : std::string()) + in + " " + out;
    } else if (extension == ".m4a" || extension == ".aac") {
        encode = "ffmpeg -v error -y -i " + in + " -c:a aac -b:a 96k " +
                 (tagged ? "-metadata artist=" + a +
                               " -metadata title=Title -metadata album=Album -metadata date=1999 "
                               "-metadata genre=Jazz "
                         : std::string()) + out;
    } else if (extension == ".wav") {
        encode = "cp " + in + " " + out;
    } else {
        return false;
    }
    const bool ok = RunCommand("sox -q -n -r 44100 -c 2 -b 16 " + in + " synth " + std::to_string(seconds) +
                               " sine " + std::to_string(frequency) + " vol 0.5 2>/dev/null") &&
                    RunCommand(encode + " 2>/dev/null");
    std::remove(wav.c_str());
    return ok;
}

std::string SampleMp3(const std::string& folder) {
    const std::string path = folder + "/sample-128.mp3";
    if (access(path.c_str(), R_OK) != 0) MakeMp3(path, "-r 44100 -c 2", "-b 128");
    return path;
}

std::vector<uint8_t> MakeFrames(uint32_t header, size_t frameSize, size_t count,
                                uint8_t (*body)(size_t frame, size_t offset)) {
    std::vector<uint8_t> bytes;
    bytes.reserve(frameSize * count);
    for (size_t i = 0; i < count; ++i) {
        bytes.push_back(static_cast<uint8_t>(header >> 24));
        bytes.push_back(static_cast<uint8_t>(header >> 16));
        bytes.push_back(static_cast<uint8_t>(header >> 8));
        bytes.push_back(static_cast<uint8_t>(header));
        for (size_t j = 4; j < frameSize; ++j) bytes.push_back(body(i, j - 4));
    }
    return bytes;
}

std::vector<uint8_t> DistinctMp3(uint32_t seed) {
    // The walk visits every second 417-byte frame; visited frame k gives letter k. Letters
    // alternate between a digit of the seed (A-Y) and Z, so no two neighbours are equal.
    std::vector<uint8_t> bytes;
    for (size_t frame = 0; frame < 24; ++frame) {
        const size_t visit = frame / 2;
        uint32_t digit = seed;
        for (size_t d = 0; d < visit / 2; ++d) digit /= 25;
        const uint8_t value = visit % 2 == 1 ? 26 : static_cast<uint8_t>(1 + digit % 25);
        for (const uint8_t b : {0xFF, 0xFB, 0x90, 0x00}) bytes.push_back(b);
        bytes.insert(bytes.end(), 413, value);
    }
    return bytes;
}
