#include "songinfo/SongInfoReply.h"

#include <limits>

namespace {

// The text between the first opening and the first closing marker, each searched from the
// start. An absent opening marker leaves the start just before where a marker would end, so
// a lone closing marker still yields some text without failing the other fields.
QString ElementValue(const QString& markup, QLatin1String name) {
    const QString open = QLatin1Char('<') + name + QLatin1Char('>');
    const QString close = QStringLiteral("</") + name + QLatin1Char('>');
    const qsizetype start = markup.indexOf(open) + open.size();
    const qsizetype length = markup.indexOf(close) - start;
    if (length < 0 || start >= markup.size()) return QString();
    return markup.mid(start, std::min(length, markup.size() - start));
}

bool IsCSpace(QChar c) {
    const char16_t u = c.unicode();
    return u == ' ' || (u >= '\t' && u <= '\r');
}

// atoi: leading white space, an optional sign, digits up to the first non-digit.
int32_t ToInteger(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && IsCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    int64_t value = 0;
    constexpr int64_t limit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i)
        value = std::min(limit, value * 10 + (text[i].unicode() - '0'));
    if (negative) return static_cast<int32_t>(-value);
    return static_cast<int32_t>(std::min<int64_t>(value, limit - 1));
}

}  // namespace

std::optional<SongInfoReply> ParseSongInfoReply(const QString& bodyMarkup) {
    if (!bodyMarkup.startsWith(QLatin1String("<SONVERA>"))) return std::nullopt;
    SongInfoReply reply;
    reply.artist = ElementValue(bodyMarkup, QLatin1String("ARTIST"));
    reply.trackname = ElementValue(bodyMarkup, QLatin1String("TRACKNAME"));
    reply.album = ElementValue(bodyMarkup, QLatin1String("ALBUM"));
    reply.year = ElementValue(bodyMarkup, QLatin1String("YEAR"));
    reply.genreID = ToInteger(ElementValue(bodyMarkup, QLatin1String("GENRE")));
    return reply;
}

namespace {

QString Json(const QString& text) {
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '"' || u == '\\') {
            out += QLatin1Char('\\');
            out += c;
        } else if (u < 0x20) {
            out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out + QLatin1Char('"');
}

}  // namespace

QString SongInfoReplyJson(const std::optional<SongInfoReply>& reply) {
    if (!reply) return QStringLiteral("null");
    return QStringLiteral("{\"artist\":%1,\"track\":%2,\"album\":%3,\"year\":%4,\"genre\":%5}")
        .arg(Json(reply->artist), Json(reply->trackname), Json(reply->album), Json(reply->year),
             QString::number(reply->genreID));
}

