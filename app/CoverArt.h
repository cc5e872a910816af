#pragma once
// The picture in a file's ID3v2 tag (APIC, or PIC in version 2.2), front cover first, and its
// copy in the user's cache for the desktop services that take a file. Any thread.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

struct CoverPicture {
    QString mimeType;
    QByteArray data;
};

// The front cover, else the first picture; nothing without one or with a broken tag.
std::optional<CoverPicture> ReadCoverPicture(const QByteArray& fileStart);
std::optional<CoverPicture> ReadCoverFile(const QString& path);

// $XDG_CACHE_HOME/sonvera (~/.cache/sonvera without it).
QString CoverCacheFolder();
// Writes the picture once as cover-<track ID> in the cache folder and returns its path, or
// empty when it cannot be written.
QString CacheCover(int32_t trackID, const CoverPicture& picture);
