#pragma once
// Fixtures for the library tests: a temporary folder and MP3 files made with sox and lame.
// Used by one test thread at a time.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

using sonvera::test::TempFolder;

// Runs a shell command; true when it exits with 0.
bool RunCommand(const std::string& command);
std::string ShellQuote(const std::string& text);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);

// Encodes seconds of noise with lame; soxArgs shape the signal (rate, channels), lameArgs
// the stream ("-b 128", "-V 2"). False when the tools fail.
bool MakeMp3(const std::string& path, const std::string& soxArgs, const std::string& lameArgs,
             double seconds = 6.0);
// Encodes seconds of a tone in the format the path's extension names (.flac, .ogg, .opus,
// .m4a, .aac, .wav) with tags artist, title, album, date 1999 and genre "Jazz"; an empty
// artist leaves the file untagged. frequency makes streams differ. False when a tool fails.
bool MakeEncoded(const std::string& path, const std::string& artist, int frequency = 440,
                 double seconds = 1.0);
// A 16-bit stereo WAV of a tune of plucked notes, a quarter second each, whose pitches come
// from seed: every seed gives a different recording. False when sox fails.
bool MakeMelodyWav(const std::string& path, uint32_t seed, double seconds);
// A cached copy of one 44.1 kHz stereo 128 kbit/s file.
std::string SampleMp3(const std::string& folder);

// A small MPEG stream whose 12-letter fingerprint is different for every seed below 25^6.
std::vector<uint8_t> DistinctMp3(uint32_t seed);

// A run of MPEG frames with the given 32-bit header, each frameSize bytes, whose bodies
// hold only bytes from 1 to 26 (no sync pattern). body(i, j) gives byte j of frame i's body.
std::vector<uint8_t> MakeFrames(uint32_t header, size_t frameSize, size_t count,
                                uint8_t (*body)(size_t frame, size_t offset));
