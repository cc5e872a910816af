#pragma once
// The request side of the song-information exchange: the escaped song query and the request
// address. Pure functions except SongQuery, which draws from the calling thread's generator
// (the user-interface thread in the program).

#include <QString>
#include <cstdint>

namespace songinfo {

inline constexpr const char* AddPage = "addtodb.asp";
inline constexpr const char* GetPage = "getfromdb.asp";
inline constexpr const char* ArtistPage = "artist.asp";
inline constexpr const char* LyricsPage = "lyrics.asp";
inline constexpr const char* PhotosPage = "photos.asp";
inline constexpr const char* BuyPage = "buy.asp";
inline constexpr const char* LinksPage = "links.asp";

}  // namespace songinfo

// Percent-escapes '=', '%' and every unit of 0x80 or more as UTF-8 bytes, each surrogate half on
// its own; every other ASCII character (space, '&', '?' among them) stays as it is.
QString EscapeQueryValue(const QString& value);

// The query shared by all seven pages, with r drawn from the calling thread's generator.
QString SongQuery(const QString& artist, const QString& track, const QString& album,
                  const QString& year, int32_t genreID, const QString& fingerPrint,
                  uint16_t langID);

// query followed by the track's acoustic fingerprint (Chromaprint=, escaped) and its length in
// seconds (Duration=); query alone when the track has none yet or could not be decoded.
QString WithAcousticPrint(const QString& query, const QString& chromaprint, int durationSeconds);

// base + page + '?' + query; a base without a trailing '/' gets one.
QString BuildRequestAddress(const QString& base, const QString& page, const QString& query);
