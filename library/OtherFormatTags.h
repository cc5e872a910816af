#pragma once
// Tags and stream properties of the formats besides MP3 (FLAC, Ogg Vorbis, Opus, Ogg FLAC,
// MP4, WAV, ADTS AAC), read through TagLib. Free functions; any thread.

#include <cstdint>
#include <optional>
#include <string>

#include "library/AudioStream.h"

class ByteReader;

struct OtherFormatTags {
    std::string artist;  // UTF-8
    std::string title;
    std::string album;
    std::string year;   // the date as tagged ("1999", "1999-05-03")
    std::string genre;  // the genre's name or number as tagged
    int32_t bitRate = 0;   // kbit/s, from the stream's own header
    int32_t lengthMs = 0;  // from the stream's own header
};

// Throws nothing of its own; TagLib may throw std::bad_alloc. Empty fields for what the file
// does not hold or a file TagLib cannot read.
OtherFormatTags ReadOtherFormatTags(const std::string& path, ByteReader& file, AudioFormat format);

struct CoverImage {
    std::string data;  // the picture file's bytes
    std::string mimeType;
};
// The front cover (else the first picture) of a FLAC, Ogg or MP4 file; none for other formats.
std::optional<CoverImage> ReadOtherFormatCover(const std::string& path, AudioFormat format);
