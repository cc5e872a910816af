// Replies come from a server, query values from tags: any text must parse or be refused
// without a crash, and the escaping must give what the server's decoding turns back into the
// same text.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "server/QueryText.h"
#include "songinfo/SongInfoReply.h"
#include "songinfo/SongQuery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString markup = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<SongInfoReply> reply = ParseSongInfoReply(markup);
    if (reply.has_value() != markup.startsWith(QLatin1String("<SONVERA>"))) std::abort();
    if (reply && (reply->artist.size() > markup.size() || reply->year.size() > markup.size()))
        std::abort();

    // The same bytes as UTF-16 units, lone surrogates included.
    const QString value(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
    const QString escaped = EscapeQueryValue(value);
    for (QChar c : escaped)
        if (c.unicode() >= 0x80 || c == QLatin1Char('=')) std::abort();
    if (value.isValidUtf16()) {
        const QByteArray ascii = escaped.toLatin1();
        const std::string decoded =
            DecodeQueryValue(std::string_view(ascii.data(), size_t(ascii.size())));
        if (decoded != value.toStdString()) std::abort();
    }
    return 0;
}
