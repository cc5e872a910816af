#pragma once
// What audio a file holds, told from its first bytes rather than its name, and a fingerprint
// of that audio which no tag edit changes. Free functions; any thread.

#include <cstdint>
#include <string>

class ByteReader;

enum class AudioFormat { Mpeg, Flac, OggVorbis, OggOpus, OggFlac, Mp4, Wav, Adts };

// The names the scanner files: ".mp3" and the other formats' extensions, any case.
bool IsAudioFileName(const std::string& name);
// ".mp3" in any case: such a file is always read as MPEG audio, whatever it holds.
bool IsMp3FileName(const std::string& name);
// The length of the name's extension when it is one the scanner files (".flac" gives 5).
size_t AudioExtensionLength(const std::string& name);

// The format the content starts with; Mpeg as well for content that is no known audio, which
// is then read the way an unreadable MP3 is.
AudioFormat SniffFormat(ByteReader& file);

// Twelve letters A-Z from a 64-bit hash of the stream's description (FLAC STREAMINFO, WAV
// fmt, Ogg identification and setup packets, the stream's length) and of the first 32 KiB
// of its audio. Tags, pictures and padding take no part. Empty for a stream it cannot find.
std::string StreamFingerPrint(ByteReader& file, AudioFormat format);

// Bit rate (kbit/s) and length (ms) of an ADTS AAC stream from its first frames' headers.
struct AdtsRate {
    int32_t bitRate = 0;
    int32_t lengthMs = 0;
};
AdtsRate ReadAdtsRate(ByteReader& file);
