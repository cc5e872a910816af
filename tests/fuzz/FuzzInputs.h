#pragma once
// The parsers run on untrusted bytes, shared by the libFuzzer targets and the smoke test.
// Each call checks what its parser must always give and aborts when it does not.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The frame walk over the bytes in memory.
void FuzzMpegWalk(const uint8_t* data, size_t size);
// The tag reader over the bytes written to filePath (overwritten each call).
void FuzzTagReader(const uint8_t* data, size_t size, const std::string& filePath);

// The format sniffer, the stream fingerprints and the ADTS header walk over bytes in memory.
void FuzzAudioStream(const uint8_t* data, size_t size);

// Seed inputs: clean MPEG frames, one with a Xing header, frames behind ID3v2 tags in all
// four text encodings, and edge cases (short tails, huge tag sizes, runs of sync bytes).
std::vector<std::vector<uint8_t>> FuzzSeeds();
// A mutation of input by a generator state the caller keeps.
std::vector<uint8_t> Mutate(const std::vector<uint8_t>& input, uint32_t& state);
