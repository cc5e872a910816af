#pragma once
// The walk over the first MPEG audio frames of a file that yields its bit rate and the
// letters of its fingerprint. Free functions; any thread.

#include <cstdint>
#include <string>

class ByteReader;

struct MpegInfo {
    // kbit/s of the first frame that a second one confirms, or the average of its Xing or
    // VBRI header; without any frame header, that of the last sync pattern the walk met.
    int32_t bitRate = 0;
    std::string letters;  // at most 31 capital letters, no two neighbours equal
};

// Walks the file at path; a file that cannot be opened gives bit rate 0 and no letters.
MpegInfo ReadMpegInfo(const std::string& path);
// The same walk over any byte source, which it reads from the start.
MpegInfo ReadMpegInfo(ByteReader& reader);

// Table value in kbit/s for a header's version (0-3), layer (1-3) and bit-rate index (0-15);
// 0 for a reserved layer.
int32_t MpegBitRate(uint32_t version, uint32_t layer, uint32_t index);
