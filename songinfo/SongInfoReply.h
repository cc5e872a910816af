#pragma once
// The <SONVERA> reply of the song-information server and its parser. Pure; any thread.

#include <QString>
#include <cstdint>
#include <optional>

struct SongInfoReply {
    QString artist;
    QString trackname;
    QString album;
    QString year;
    int32_t genreID = 0;
};

// Reads the body markup of a getfromdb.asp reply; nothing when it does not begin with
// exactly "<SONVERA>". Values are verbatim; a missing closing marker gives an empty value.
std::optional<SongInfoReply> ParseSongInfoReply(const QString& bodyMarkup);

// The reply as one JSON object with artist, track, album, year and genre; "null" for none.
QString SongInfoReplyJson(const std::optional<SongInfoReply>& reply);
