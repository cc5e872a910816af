#include "tests/fuzz/FuzzInputs.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "library/AudioStream.h"
#include "library/ByteReader.h"
#include "library/MpegInfo.h"
#include "library/SearchString.h"
#include "library/TagReader.h"

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

void CheckLetters(const std::string& letters, size_t limit) {
    Require(letters.size() <= limit, "too many letters");
    for (size_t i = 0; i < letters.size(); ++i) {
        Require(letters[i] >= 'A' && letters[i] <= 'Z', "letter outside A-Z");
        Require(i == 0 || letters[i] != letters[i - 1], "equal neighbouring letters");
    }
}

void PushHeader(std::vector<uint8_t>& out, uint32_t header) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(header >> shift));
}

std::vector<uint8_t> Frames(uint32_t header, size_t frameSize, size_t count) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < count; ++i) {
        PushHeader(out, header);
        for (size_t j = 4; j < frameSize; ++j) out.push_back(static_cast<uint8_t>(1 + (i * 7 + j) % 26));
    }
    return out;
}

void PushFrame(std::vector<uint8_t>& tag, const char* id, const std::vector<uint8_t>& body) {
    tag.insert(tag.end(), id, id + 4);
    PushHeader(tag, static_cast<uint32_t>(body.size()));
    tag.push_back(0);
    tag.push_back(0);
    tag.insert(tag.end(), body.begin(), body.end());
}

std::vector<uint8_t> Id3v2(const std::vector<uint8_t>& frames) {
    std::vector<uint8_t> tag = {'I', 'D', '3', 3, 0, 0};
    const size_t size = frames.size();
    for (int shift = 21; shift >= 0; shift -= 7) tag.push_back(static_cast<uint8_t>((size >> shift) & 0x7F));
    tag.insert(tag.end(), frames.begin(), frames.end());
    return tag;
}

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

void FuzzMpegWalk(const uint8_t* data, size_t size) {
    MemoryByteReader reader(data, size);
    const MpegInfo info = ReadMpegInfo(reader);
    CheckLetters(info.letters, 31);
    Require(info.bitRate >= 0 && info.bitRate <= 448, "bit rate outside the table");
}

void FuzzTagReader(const uint8_t* data, size_t size, const std::string& filePath) {
    {
        std::ofstream out(filePath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const TrackRecord track = ReadTrackInfo(filePath);
    CheckLetters(track.FingerPrint, kFingerPrintLength);
    Require(track.GenreID >= 0 && track.GenreID <= 255, "genre outside 0-255");
    Require(track.Filename == filePath, "file name changed");
    Require(!MakeSearchString(filePath).empty(), "search string of the fuzz file");
}

void FuzzAudioStream(const uint8_t* data, size_t size) {
    MemoryByteReader reader(data, size);
    const AudioFormat sniffed = SniffFormat(reader);
    for (const AudioFormat format : {AudioFormat::Flac, AudioFormat::OggVorbis, AudioFormat::Mp4,
                                     AudioFormat::Wav, AudioFormat::Adts, sniffed}) {
        const std::string print = StreamFingerPrint(reader, format);
        Require(print.empty() || print.size() == kFingerPrintLength, "fingerprint not 12 letters");
        CheckLetters(print, kFingerPrintLength);
    }
    const AdtsRate rate = ReadAdtsRate(reader);
    Require(rate.bitRate >= 0 && rate.lengthMs >= 0, "negative ADTS rate or length");
}

std::vector<std::vector<uint8_t>> FuzzSeeds() {
    std::vector<std::vector<uint8_t>> seeds;
    const std::vector<uint8_t> mpeg1 = Frames(0xFFFB9000, 417, 40);
    seeds.push_back(mpeg1);
    seeds.push_back(Frames(0xFFF35000, 417, 20));
    seeds.push_back(Frames(0xFFFF4000, 136, 40));

    std::vector<uint8_t> frames;
    PushFrame(frames, "TPE1", {0, 'B', 'j', 0xF6, 'r', 'k'});
    PushFrame(frames, "TIT2", {1, 0xFF, 0xFE, 'H', 0, 'i', 0, 0x20, 0x5F});
    PushFrame(frames, "TALB", {1, 0xFE, 0xFF, 0xD8, 0x34, 0xDD, 0x1E});
    PushFrame(frames, "TYER", {0, '1', '9', '9', '7'});
    PushFrame(frames, "TCON", {0, '(', '1', '7', ')'});
    seeds.push_back(Join(Id3v2(frames), mpeg1));
    seeds.push_back(Id3v2(frames));

    // ID3v2.4 text in UTF-8 and in UTF-16 big-endian without a byte-order mark.
    std::vector<uint8_t> v24Frames;
    PushFrame(v24Frames, "TPE1", {3, 'B', 'j', 0xC3, 0xB6, 'r', 'k', 0, 'x'});
    PushFrame(v24Frames, "TIT2", {2, 0, 'J', 0, 0xF3, 0xD8, 0x34, 0xDD, 0x1E});
    PushFrame(v24Frames, "TDRC", {3, '1', '9', '9', '7', '-', '0', '5'});
    std::vector<uint8_t> v24 = Id3v2(v24Frames);
    v24[3] = 4;
    seeds.push_back(Join(v24, mpeg1));
    // A first frame holding a Xing header with frame and byte counts.
    std::vector<uint8_t> xing = mpeg1;
    const uint8_t xingHeader[] = {'X', 'i', 'n', 'g', 0, 0, 0, 3, 0, 0, 0, 40, 0, 0, 0x41, 0x50};
    std::copy(std::begin(xingHeader), std::end(xingHeader), xing.begin() + 36);
    seeds.push_back(xing);

    std::vector<uint8_t> huge = {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F};
    seeds.push_back(Join(huge, mpeg1));
    std::vector<uint8_t> tail = Frames(0xFFFB9000, 417, 3);
    tail.insert(tail.end(), 30, 0xFF);
    seeds.push_back(tail);
    std::vector<uint8_t> v1(128, 0);
    v1[0] = 'T';
    v1[1] = 'A';
    v1[2] = 'G';
    v1[127] = 200;
    seeds.push_back(Join(mpeg1, v1));
    // An empty tag followed by a second one with a compressed frame (once crashed id3lib).
    const std::string nested("ID3\x03\0\0\0\0\0\0" "ID3\x03\0\0\0\x20\0\x52" "TPE1\0\0\0\x06\xCA\xDC", 30);
    seeds.emplace_back(nested.begin(), nested.end());
    // A tag right after a tag with frames, in a file small enough to be read to its end.
    seeds.push_back(Join(Id3v2(frames), Id3v2(frames)));
    // Lyrics3 v2 and MusicMatch tags before an ID3v1 tag, read from the end of the file.
    const std::string lyrics = "LYRICSBEGININD0000210ETT00005TitleEAR00006Artist000050LYRICS200";
    seeds.push_back(Join(Join(mpeg1, std::vector<uint8_t>(lyrics.begin(), lyrics.end())), v1));
    std::string musicMatch(256, ' ');
    musicMatch.replace(0, 16, "18273645        ");
    musicMatch += "Brava Software Inc.             3.00    ";
    musicMatch += std::string(8, '\0');
    seeds.push_back(Join(Join(mpeg1, std::vector<uint8_t>(musicMatch.begin(), musicMatch.end())), v1));

    // The other containers, each with a tag block in front of a little audio.
    const auto bytes = [](const std::string& text) {
        return std::vector<uint8_t>(text.begin(), text.end());
    };
    seeds.push_back(bytes(std::string("fLaC\0\0\0\x22", 8) + std::string(34, '\x11') +
                          std::string("\x84\0\0\x08" "abcdefgh" "\xFF\xF8" "audio", 19)));
    const std::string opusHead("OpusHead\x01\x02\0\0\x80\xBB\0\0\0\0\0", 19);
    const std::string opusTags("OpusTags\x03\0\0\0abc\0\0\0\0", 19);
    std::string page("OggS\0\x02", 6);
    page += std::string(20, '\0') + std::string("\x01\x13", 2) + opusHead;
    page += std::string("OggS\0\0", 6) + std::string(20, '\0') + std::string("\x02\x13\x05", 3) +
            opusTags + "audio";
    seeds.push_back(bytes(page));
    seeds.push_back(bytes(std::string("\0\0\0\x10" "ftypM4A \0\0\0\0" "\0\0\0\x10" "moovabcdefgh"
                                      "\0\0\0\x0C" "mdataudi", 44)));
    seeds.push_back(bytes(std::string("RIFF\x30\0\0\0WAVEfmt \x10\0\0\0", 20) + std::string(16, '\x01') +
                          std::string("data\x04\0\0\0\x01\x02\x03\x04", 12)));
    std::vector<uint8_t> adts;
    for (int frame = 0; frame < 4; ++frame) {
        const uint8_t header[] = {0xFF, 0xF1, 0x50, 0x80, 0x02, 0x1F, 0xFC};  // 16-byte frames
        adts.insert(adts.end(), std::begin(header), std::end(header));
        adts.insert(adts.end(), 9, static_cast<uint8_t>(frame));
    }
    seeds.push_back(adts);
    return seeds;
}

std::vector<uint8_t> Mutate(const std::vector<uint8_t>& input, uint32_t& state) {
    auto next = [&state] {
        state = state * 214013u + 2531011u;
        return (state >> 16) & 0x7FFFu;
    };
    std::vector<uint8_t> out = input;
    const uint32_t edits = 1 + next() % 8;
    for (uint32_t e = 0; e < edits; ++e) {
        const size_t at = out.empty() ? 0 : next() % out.size();
        switch (next() % 6) {
            case 0:
                if (!out.empty()) out[at] = static_cast<uint8_t>(next());
                break;
            case 1:
                if (!out.empty()) out[at] ^= static_cast<uint8_t>(1u << (next() % 8));
                break;
            case 2:
                out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), 1 + next() % 64, 0xFF);
                break;
            case 3:
                out.resize(at);
                break;
            case 4:
                if (at + 4 <= out.size()) {
                    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(next());
                }
                break;
            default:
                out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), static_cast<uint8_t>(next()));
                break;
        }
    }
    return out;
}
