#include "library/OtherFormatTags.h"

#include <taglib/flacfile.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>

#include <memory>

#include "library/ByteReader.h"

namespace {

std::unique_ptr<TagLib::File> OpenFile(const std::string& path, AudioFormat format,
                                       bool properties) {
    const char* name = path.c_str();
    const auto style = TagLib::AudioProperties::Average;
    switch (format) {
        case AudioFormat::Flac: return std::make_unique<TagLib::FLAC::File>(name, properties, style);
        case AudioFormat::OggVorbis:
            return std::make_unique<TagLib::Ogg::Vorbis::File>(name, properties, style);
        case AudioFormat::OggOpus:
            return std::make_unique<TagLib::Ogg::Opus::File>(name, properties, style);
        case AudioFormat::OggFlac:
            return std::make_unique<TagLib::Ogg::FLAC::File>(name, properties, style);
        case AudioFormat::Mp4: return std::make_unique<TagLib::MP4::File>(name, properties, style);
        case AudioFormat::Wav:
            return std::make_unique<TagLib::RIFF::WAV::File>(name, properties, style);
        // TagLib knows no ADTS stream, but reads the ID3 tags around one.
        case AudioFormat::Adts: return std::make_unique<TagLib::MPEG::File>(name, false, style);
        case AudioFormat::Mpeg: return nullptr;
    }
    return nullptr;
}

std::string Utf8(const TagLib::String& text) { return text.to8Bit(true); }

std::string First(const TagLib::PropertyMap& properties, const char* key) {
    const auto found = properties.find(key);
    return found == properties.end() || found->second.isEmpty() ? std::string()
                                                                : Utf8(found->second.front());
}

// Front cover (type 3) first, else the first picture.
std::optional<CoverImage> FromPictures(const TagLib::List<TagLib::FLAC::Picture*>& pictures) {
    const TagLib::FLAC::Picture* chosen = nullptr;
    for (const TagLib::FLAC::Picture* picture : pictures) {
        if (!chosen || (picture->type() == TagLib::FLAC::Picture::FrontCover &&
                        chosen->type() != TagLib::FLAC::Picture::FrontCover)) {
            chosen = picture;
        }
    }
    if (!chosen || chosen->data().isEmpty()) return std::nullopt;
    return CoverImage{std::string(chosen->data().data(), chosen->data().size()),
                      Utf8(chosen->mimeType())};
}

}  // namespace

OtherFormatTags ReadOtherFormatTags(const std::string& path, ByteReader& file, AudioFormat format) {
    OtherFormatTags tags;
    const std::unique_ptr<TagLib::File> taglibFile = OpenFile(path, format, true);
    if (!taglibFile || !taglibFile->isValid()) return tags;
    if (const TagLib::Tag* tag = taglibFile->tag()) {
        tags.artist = Utf8(tag->artist());
        tags.title = Utf8(tag->title());
        tags.album = Utf8(tag->album());
        tags.genre = Utf8(tag->genre());
        const TagLib::PropertyMap properties = taglibFile->properties();
        tags.year = First(properties, "DATE");
        if (tags.year.empty() && tag->year() != 0) tags.year = std::to_string(tag->year());
    }
    if (format == AudioFormat::Adts) {
        const AdtsRate rate = ReadAdtsRate(file);
        tags.bitRate = rate.bitRate;
        tags.lengthMs = rate.lengthMs;
    } else if (const TagLib::AudioProperties* audio = taglibFile->audioProperties()) {
        tags.bitRate = audio->bitrate();
        tags.lengthMs = audio->lengthInMilliseconds();
    }
    return tags;
}

std::optional<CoverImage> ReadOtherFormatCover(const std::string& path, AudioFormat format) {
    const std::unique_ptr<TagLib::File> file = OpenFile(path, format, false);
    if (!file || !file->isValid()) return std::nullopt;
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file.get())) {
        return FromPictures(flac->pictureList());
    }
    if (auto* ogg = dynamic_cast<TagLib::Ogg::XiphComment*>(file->tag())) {
        return FromPictures(ogg->pictureList());
    }
    if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file.get())) {
        const TagLib::MP4::Tag* tag = mp4->tag();
        if (!tag || !tag->contains("covr")) return std::nullopt;
        const TagLib::MP4::CoverArtList covers = tag->item("covr").toCoverArtList();
        if (covers.isEmpty() || covers.front().data().isEmpty()) return std::nullopt;
        const TagLib::MP4::CoverArt& cover = covers.front();
        return CoverImage{std::string(cover.data().data(), cover.data().size()),
                          cover.format() == TagLib::MP4::CoverArt::PNG ? "image/png" : "image/jpeg"};
    }
    return std::nullopt;
}
