#pragma once
// Compares acoustic fingerprints the way AcoustID does: the 32-bit sub-fingerprints (one per
// ~124 ms of sound) are lined up at the offset where most agree, and the share of differing
// bits over the overlap decides. Pure functions; any thread.

#include <cstdint>
#include <string>
#include <vector>

// The sub-fingerprints of a compressed fingerprint; empty when the text is not one.
std::vector<uint32_t> DecodeAcousticPrint(const std::string& compressed);

// The compressed form of raw sub-fingerprints (Chromaprint's default algorithm).
std::string EncodeAcousticPrint(const std::vector<uint32_t>& raw);

// The values under which a print is indexed and looked up: the first sub-fingerprints with
// their least stable low bits dropped, each once, in ascending order. Two encodings of one
// recording share some of them; unrelated prints rarely share more than one or two.
std::vector<uint32_t> AcousticIndexKeys(const std::vector<uint32_t>& raw);

struct AcousticAlignment {
    int offset = 0;             // b's index minus a's at the best alignment
    size_t overlap = 0;         // sub-fingerprints compared
    double bitErrorRate = 1.0;  // differing bits over compared bits; 1 when nothing overlaps
};

// The alignment of b against a, within maxOffset sub-fingerprints either way, that has the
// lowest bit error rate over at least minOverlap sub-fingerprints.
AcousticAlignment AlignAcousticPrints(const std::vector<uint32_t>& a,
                                      const std::vector<uint32_t>& b, int maxOffset = 80,
                                      size_t minOverlap = 50);
