#pragma once
// A clean copy of the tags of a file for id3lib, whose own parser crashes on some broken
// tags (compressed frames with bad sizes, for one). Free function; any thread.

#include <string>

class ByteReader;

struct TagImage {
    // An ID3v2.3 tag holding only the artist, title, album, year and content-type frames of
    // the file's ID3v2 tag (versions 2.2 to 2.4; unsynchronisation undone; text in encodings
    // 0 and 1 only; compressed, encrypted, oversized and malformed frames left out), then
    // zeros. Never starts with bytes taken from the file.
    std::string id3v2;
    // The file's last bytes after the ID3v2 tag, where the ID3v1, Lyrics3 and MusicMatch
    // tags lie.
    std::string tail;
};

TagImage BuildTagImage(ByteReader& reader);
