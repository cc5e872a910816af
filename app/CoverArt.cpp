#include "app/CoverArt.h"

#include "library/AudioStream.h"
#include "library/ByteReader.h"
#include "library/OtherFormatTags.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr int kHeaderSize = 10;
constexpr uint8_t kFrontCover = 3;
// a tag larger than this is not read for its picture
constexpr uint32_t kMaxTagSize = 16 * 1024 * 1024;

uint32_t Syncsafe(const uint8_t* p) {
    return (uint32_t{p[0]} << 21) | (uint32_t{p[1]} << 14) | (uint32_t{p[2]} << 7) | p[3];
}

uint32_t BigEndian(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
    return v;
}

// The picture frame's body: encoding, MIME type (or a three-letter format in 2.2), picture
// type, description, data.
std::optional<std::pair<uint8_t, CoverPicture>> ParsePicture(const QByteArray& body,
                                                             bool shortFormat) {
    if (body.size() < 4) return std::nullopt;
    const uint8_t encoding = static_cast<uint8_t>(body[0]);
    qsizetype pos = 1;
    CoverPicture picture;
    if (shortFormat) {
        QByteArray format = body.mid(1, 3).toUpper();
        picture.mimeType = format == "PNG" ? "image/png" : "image/jpeg";
        pos = 4;
    } else {
        qsizetype end = body.indexOf('\0', pos);
        if (end < 0) return std::nullopt;
        picture.mimeType = QString::fromLatin1(body.mid(pos, end - pos)).toLower();
        pos = end + 1;
    }
    if (pos >= body.size()) return std::nullopt;
    const uint8_t type = static_cast<uint8_t>(body[pos++]);
    // the description ends in one zero byte, or two aligned ones in UTF-16
    const bool wide = encoding == 1 || encoding == 2;
    for (;;) {
        if (pos + (wide ? 1 : 0) >= body.size()) return std::nullopt;
        if (!wide && body[pos] == '\0') {
            ++pos;
            break;
        }
        if (wide && body[pos] == '\0' && body[pos + 1] == '\0') {
            pos += 2;
            break;
        }
        pos += wide ? 2 : 1;
    }
    picture.data = body.mid(pos);
    if (picture.data.isEmpty()) return std::nullopt;
    if (!picture.mimeType.contains('/')) picture.mimeType = "image/" + picture.mimeType;
    return std::make_pair(type, picture);
}

QByteArray RemoveUnsynchronisation(const QByteArray& in) {
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        out.append(in[i]);
        if (static_cast<uint8_t>(in[i]) == 0xFF && i + 1 < in.size() && in[i + 1] == '\0') ++i;
    }
    return out;
}

}  // namespace

std::optional<CoverPicture> ReadCoverPicture(const QByteArray& fileStart) {
    if (fileStart.size() < kHeaderSize || !fileStart.startsWith("ID3")) return std::nullopt;
    const auto* h = reinterpret_cast<const uint8_t*>(fileStart.constData());
    const int version = h[3];
    const uint8_t flags = h[5];
    if (version < 2 || version > 4) return std::nullopt;
    const uint32_t size = Syncsafe(h + 6);
    if (size > kMaxTagSize) return std::nullopt;
    QByteArray tag = fileStart.mid(kHeaderSize, size);
    if ((flags & 0x80) && version < 4) tag = RemoveUnsynchronisation(tag);
    const int headerSize = version == 2 ? 6 : 10;
    const int idSize = version == 2 ? 3 : 4;
    qsizetype pos = 0;
    if ((flags & 0x40) && version >= 3 && tag.size() >= 4) {
        const auto* e = reinterpret_cast<const uint8_t*>(tag.constData());
        pos = version == 4 ? Syncsafe(e) : BigEndian(e, 4) + 4;
    }
    std::optional<CoverPicture> first;
    while (pos + headerSize <= tag.size()) {
        const auto* f = reinterpret_cast<const uint8_t*>(tag.constData() + pos);
        if (f[0] == 0) break;  // padding
        const QByteArray id = tag.mid(pos, idSize);
        const uint32_t frameSize = version == 2   ? BigEndian(f + 3, 3)
                                   : version == 4 ? Syncsafe(f + 4)
                                                  : BigEndian(f + 4, 4);
        const uint8_t formatFlags = version == 2 ? 0 : f[9];
        pos += headerSize;
        if (frameSize > tag.size() - pos) break;
        // compressed or encrypted pictures are left out
        const bool plain = version == 3 ? (formatFlags & 0xC0) == 0 : (formatFlags & 0x0C) == 0;
        if ((id == "APIC" || id == "PIC") && plain) {
            QByteArray body = tag.mid(pos, frameSize);
            if (version == 4 && (formatFlags & 0x02)) body = RemoveUnsynchronisation(body);
            if (version == 4 && (formatFlags & 0x01) && body.size() >= 4) body = body.mid(4);
            if (auto picture = ParsePicture(body, version == 2)) {
                if (picture->first == kFrontCover) return picture->second;
                if (!first) first = picture->second;
            }
        }
        pos += frameSize;
    }
    return first;
}

// The picture of a FLAC, Ogg or MP4 file, which keeps it in its own tags.
std::optional<CoverPicture> ReadOtherFormatCoverFile(const QString& path) {
    const std::string name = QFile::encodeName(path).toStdString();
    if (IsMp3FileName(name)) return std::nullopt;
    const std::unique_ptr<FileByteReader> reader = FileByteReader::Open(name);
    if (!reader) return std::nullopt;
    const AudioFormat format = SniffFormat(*reader);
    if (format == AudioFormat::Mpeg) return std::nullopt;
    const std::optional<CoverImage> cover = ReadOtherFormatCover(name, format);
    if (!cover) return std::nullopt;
    return CoverPicture{QString::fromStdString(cover->mimeType),
                        QByteArray(cover->data.data(), static_cast<qsizetype>(cover->data.size()))};
}

std::optional<CoverPicture> ReadCoverFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray header = file.read(kHeaderSize);
    if (header.size() < kHeaderSize || !header.startsWith("ID3")) return ReadOtherFormatCoverFile(path);
    const uint32_t size = Syncsafe(reinterpret_cast<const uint8_t*>(header.constData()) + 6);
    if (size > kMaxTagSize) return std::nullopt;
    return ReadCoverPicture(header + file.read(size));
}

QString CoverCacheFolder() {
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty()) base = QDir::homePath() + "/.cache";
    return base + "/sonvera";
}

QString CacheCover(int32_t trackID, const CoverPicture& picture) {
    const QString ext = picture.mimeType.endsWith("png") ? "png" : "jpg";
    const QString path = CoverCacheFolder() + QString("/cover-%1.%2").arg(trackID).arg(ext);
    if (QFileInfo(path).size() == picture.data.size()) return path;
    if (!QDir().mkpath(CoverCacheFolder())) return {};
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(picture.data) != picture.data.size() ||
        !out.commit())
        return {};
    return path;
}
