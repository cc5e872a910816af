#pragma once
// Reads one MP3 file into a TrackRecord: tag texts, their code-page repair, genre, bit rate
// and fingerprint. Free function; any thread, one file at a time per call.

#include <string>

#include "db/TrackRecord.h"

constexpr size_t kFingerPrintLength = 12;

// Never throws: a file that cannot be read yields what could be read, an empty fingerprint
// and, without artist and title in its tags, both taken from the file name.
TrackRecord ReadTrackInfo(const std::string& path);
