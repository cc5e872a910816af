#include "library/TagReader.h"

#include <id3/globals.h>
#include <id3/misc_support.h>
#include <id3/readers.h>
#include <id3/tag.h>

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

#include "library/AudioStream.h"
#include "library/ByteReader.h"
#include "library/CodePage.h"
#include "library/FileNameText.h"
#include "library/GenreName.h"
#include "library/Id3Image.h"
#include "library/MpegInfo.h"
#include "library/OtherFormatTags.h"

namespace {

std::string Utf16UnitsToUtf8(const std::u16string& units) {
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// The text field of a frame as UTF-8; empty for a missing frame or field or another encoding.
std::string FrameText(const ID3_Tag& tag, ID3_FrameID id) {
    const ID3_Frame* frame = tag.Find(id);
    if (!frame) return {};
    const ID3_Field* field = frame->GetField(ID3FN_TEXT);
    if (!field) return {};
    const size_t size = field->Size();
    switch (field->GetEncoding()) {
        case ID3TE_ISO8859_1: {
            const char* raw = field->GetRawText();
            if (!raw) return {};
            return AnsiToUtf8(std::string(raw, strnlen(raw, size)));
        }
        case ID3TE_UTF16: {
            // id3lib keeps the code units big-endian in memory; swap each pair to native.
            const unicode_t* raw = field->GetRawUnicodeText();
            if (!raw) return {};
            std::u16string units;
            for (size_t i = 0; i < size / 2 && raw[i] != 0; ++i) {
                const uint16_t unit = raw[i];
                units.push_back(static_cast<char16_t>((unit >> 8) | ((unit & 0xFF) << 8)));
            }
            return Utf16UnitsToUtf8(units);
        }
        default:
            return {};
    }
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    size_t start = 0;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, start)) {
        out.append(text, start, at - start);
        out.append(to);
        start = at + from.size();
    }
    out.append(text, start, std::string::npos);
    text = std::move(out);
}

// Artist and title from a name such as "The_Beatles - Help!.mp3".
void FillFromFileName(TrackRecord& track) {
    const size_t slash = track.Filename.rfind('/');
    std::string name = FileNameText(slash == std::string::npos ? track.Filename
                                                               : track.Filename.substr(slash + 1));
    // Without its extension: the last four characters, counted in UTF-8 characters, or the
    // whole of a longer one the scanner files (".flac").
    const size_t extension = std::max<size_t>(4, AudioExtensionLength(name));
    size_t end = name.size();
    for (size_t characters = 0; characters < extension && end > 0; ++characters) {
        do {
            --end;
        } while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80);
    }
    name.resize(end);
    ReplaceAll(name, "_", " ");
    ReplaceAll(name, "  ", " ");
    ReplaceAll(name, " -", "-");
    ReplaceAll(name, "- ", "-");
    const size_t dash = name.find('-');
    if (dash != std::string::npos && dash != 0) {
        track.OrigArtist = name.substr(0, dash);
        track.OrigTrackname = name.substr(dash + 1);
    } else {
        track.OrigTrackname = name;
    }
}

// A text that does not survive the ANSI code page came in correctly as UTF-16; forcing it
// through that code page would turn its letters into question marks.
std::string RepairText(const std::string& text) {
    const int32_t codePage = DetectCodePage(text);
    if (codePage < 0 || codePage == kUsAsciiCodePage || !SurvivesAnsi(text)) return text;
    return RedecodeText(text, codePage);
}

struct TagTexts {
    std::string artist;
    std::string title;
    std::string album;
    std::string year;
    int32_t genre = kNoGenre;
};

TagTexts ReadTexts(const std::string& image, flags_t types) {
    TagTexts texts;
    if (image.empty()) return texts;
    ID3_MemoryReader reader(image.data(), image.size());
    ID3_Tag tag;
    tag.Link(reader, types);
    texts.artist = FrameText(tag, ID3FID_LEADARTIST);
    texts.title = FrameText(tag, ID3FID_TITLE);
    texts.album = FrameText(tag, ID3FID_ALBUM);
    texts.year = FrameText(tag, ID3FID_YEAR);
    texts.genre = static_cast<int32_t>(std::min<size_t>(ID3_GetGenreNum(&tag), kNoGenre));
    if (texts.genre == kNoGenre) texts.genre = GenreFromName(FrameText(tag, ID3FID_CONTENTTYPE));
    return texts;
}

void FillEmpty(std::string& field, const std::string& text) {
    if (field.empty()) field = text;
}

void ReadTags(TrackRecord& track, ByteReader& file) {
    // id3lib parses a clean copy of the tags, never the file itself (see Id3Image.h). It
    // would copy the ID3v1 texts into the ID3v2 frames, dropping the eighth bit of every
    // byte on the way into UTF-16 frames, so each end of the file is read on its own and
    // the ID3v2 text wins.
    const TagImage image = BuildTagImage(file);
    const TagTexts front = ReadTexts(image.id3v2, ID3TT_ID3V2);
    track.OrigArtist = front.artist;
    track.OrigTrackname = front.title;
    track.OrigAlbum = front.album;
    track.OrigYear = front.year;
    track.GenreID = front.genre;
    const TagTexts end = ReadTexts(image.tail, ID3TT_APPENDED);
    FillEmpty(track.OrigArtist, end.artist);
    FillEmpty(track.OrigTrackname, end.title);
    FillEmpty(track.OrigAlbum, end.album);
    FillEmpty(track.OrigYear, end.year);
    if (track.GenreID == kNoGenre) track.GenreID = end.genre;
}

// Vorbis comments and MP4 atoms are Unicode by their format: their texts need no repair.
TrackRecord ReadOtherTrackInfo(TrackRecord& track, ByteReader& file, AudioFormat format) {
    try {
        const OtherFormatTags tags = ReadOtherFormatTags(track.Filename, file, format);
        track.OrigArtist = tags.artist;
        track.OrigTrackname = tags.title;
        track.OrigAlbum = tags.album;
        track.OrigYear = tags.year;
        track.GenreID = GenreFromName(tags.genre);
        track.BitRate = tags.bitRate;
    } catch (...) {
        // As with MP3: the record keeps what was read.
    }
    try {
        if (track.OrigTrackname.empty() && track.OrigArtist.empty()) FillFromFileName(track);
        track.Artist = track.OrigArtist;
        track.Trackname = track.OrigTrackname;
        track.Album = track.OrigAlbum;
        track.Year = track.OrigYear;
        track.FingerPrint = StreamFingerPrint(file, format);
    } catch (...) {
    }
    return track;
}

}  // namespace

TrackRecord ReadTrackInfo(const std::string& path) {
    TrackRecord track;
    track.Filename = path;
    std::unique_ptr<FileByteReader> file;
    try {
        file = FileByteReader::Open(path);
        // Anything named .mp3, and any other name whose content is no other known audio, is
        // read as MPEG audio.
        const AudioFormat format =
            file && !IsMp3FileName(path) ? SniffFormat(*file) : AudioFormat::Mpeg;
        if (format != AudioFormat::Mpeg) return ReadOtherTrackInfo(track, *file, format);
        if (file) ReadTags(track, *file);
    } catch (...) {
        // A broken tag leaves the fields read before it; the file is still filed.
    }
    try {
        if (track.OrigTrackname.empty() && track.OrigArtist.empty()) FillFromFileName(track);
        track.Artist = RepairText(track.OrigArtist);
        track.Trackname = RepairText(track.OrigTrackname);
        track.Album = RepairText(track.OrigAlbum);
        track.Year = track.OrigYear;
        const MpegInfo mpeg = file ? ReadMpegInfo(*file) : MpegInfo{};
        track.BitRate = mpeg.bitRate;
        const size_t count = mpeg.letters.size();
        track.FingerPrint = count > kFingerPrintLength
                                ? mpeg.letters.substr(count - kFingerPrintLength)
                                : mpeg.letters;
    } catch (...) {
        // Out of memory at worst; the record keeps what was filled.
    }
    return track;
}
