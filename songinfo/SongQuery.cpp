#include "songinfo/SongQuery.h"

#include "selection/Random.h"

namespace {

void AppendByte(QString& out, unsigned byte) {
    static const char digits[] = "0123456789ABCDEF";
    out += QLatin1Char('=');
    out += QLatin1Char(digits[(byte >> 4) & 0xF]);
    out += QLatin1Char(digits[byte & 0xF]);
}

}  // namespace

QString EscapeQueryValue(const QString& value) {
    QString out;
    out.reserve(value.size() * 3);
    for (QChar c : value) {
        const unsigned unit = c.unicode();
        if (unit == '=' || unit == '%') {
            // a bare '%' would make "19%41" read as "19A" at the server
            AppendByte(out, unit);
        } else if (unit < 0x80) {
            out += c;
        } else if (unit < 0x800) {
            AppendByte(out, 0xC0 + (unit >> 6));
            AppendByte(out, 0x80 + (unit & 0x3F));
        } else {
            AppendByte(out, 0xE0 + (unit >> 12));
            AppendByte(out, 0x80 + ((unit >> 6) & 0x3F));
            AppendByte(out, 0x80 + (unit & 0x3F));
        }
    }
    // Every '=' left is an escape mark: the input's own were escaped above.
    out.replace(QLatin1Char('='), QLatin1Char('%'));
    return out;
}

QString SongQuery(const QString& artist, const QString& track, const QString& album,
                  const QString& year, int32_t genreID, const QString& fingerPrint,
                  uint16_t langID) {
    const QString a = EscapeQueryValue(artist);
    const QString t = EscapeQueryValue(track);
    const QString al = EscapeQueryValue(album);
    const QString y = EscapeQueryValue(year);
    const int r = NextRandom();
    return QStringLiteral(
               "Artist=%1&Track=%2&Album=%3&Year=%4&GenreID=%5&FingerPrint=%6&r=%7&LangID=%8")
        .arg(a, t, al, y, QString::number(genreID), fingerPrint, QString::number(r),
             QString::number(langID));
}

QString WithAcousticPrint(const QString& query, const QString& chromaprint, int durationSeconds) {
    if (chromaprint.isEmpty() || durationSeconds <= 0) return query;
    return query + QStringLiteral("&Chromaprint=") + EscapeQueryValue(chromaprint) +
           QStringLiteral("&Duration=") + QString::number(durationSeconds);
}

QString BuildRequestAddress(const QString& base, const QString& page, const QString& query) {
    QString address = base;
    if (!address.endsWith(QLatin1Char('/'))) address += QLatin1Char('/');
    return address + page + QLatin1Char('?') + query;
}
