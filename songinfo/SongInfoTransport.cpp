#include "songinfo/SongInfoTransport.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>
#include <cctype>
#include <cstring>

#include "platform/web/ReplyText.h"

SongInfoTransport::SongInfoTransport(QObject* parent)
    : QObject(parent), network_(new QNetworkAccessManager(this)) {}

SongInfoTransport::~SongInfoTransport() { Stop(); }

void SongInfoTransport::Stop() {
    QNetworkReply* reply = current_;
    if (!reply) return;
    current_ = nullptr;  // before abort(), which emits finished() at once
    reply->abort();
    reply->deleteLater();
}

void SongInfoTransport::Navigate(const QString& address) {
    Stop();
    QNetworkRequest request(RequestUrl(address));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // a server that never answers ends the request as unanswered
    request.setTransferTimeout(StallMillis);
    QNetworkReply* reply = network_->get(request);
    current_ = reply;
    tooLarge_ = false;
    connect(reply, &QNetworkReply::downloadProgress, this, [this, reply](qint64 received, qint64) {
        if (reply == current_ && received > MaxReplyBytes) {
            tooLarge_ = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { Finished(reply); });
}

void SongInfoTransport::Finished(QNetworkReply* reply) {
    if (reply != current_) return;  // stopped: no notification
    current_ = nullptr;
    reply->deleteLater();
    QString markup;
    if (!tooLarge_) {
        markup = ExtractBodyMarkup(DecodeReplyText(
            reply->readAll(), reply->header(QNetworkRequest::ContentTypeHeader).toByteArray()));
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    bool seconds = false;
    const int retryAfter = reply->rawHeader("Retry-After").trimmed().toInt(&seconds);
    emit NavigateComplete(markup, status, seconds && retryAfter > 0 ? retryAfter : 0);
}

QUrl RequestUrl(const QString& address) {
    static const char digits[] = "0123456789ABCDEF";
    const auto isHex = [](QChar c) { return isxdigit(c.unicode()) && c.unicode() < 0x80; };
    const QByteArray utf8 = address.toUtf8();
    QByteArray encoded;
    encoded.reserve(utf8.size() * 3);
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        const bool escape = c == '%' && i + 2 < utf8.size() && isHex(QChar(utf8[i + 1])) &&
                            isHex(QChar(utf8[i + 2]));
        if (escape || (c > 0x20 && c < 0x7F && c != '%' && c != '#' && !strchr("\"<>\\^`{|}", c))) {
            encoded += char(c);
        } else {
            encoded += '%';
            encoded += digits[c >> 4];
            encoded += digits[c & 0xF];
        }
    }
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

QString ExtractBodyMarkup(const QString& page) {
    qsizetype open = 0;
    while ((open = page.indexOf(QLatin1String("<body"), open, Qt::CaseInsensitive)) >= 0) {
        const qsizetype after = open + 5;
        if (after >= page.size()) return page;
        const QChar next = page[after];
        if (next == QLatin1Char('>') || next == QLatin1Char('/') || next.isSpace()) break;
        open = after;
    }
    if (open < 0) return page;
    const qsizetype tagEnd = page.indexOf(QLatin1Char('>'), open);
    if (tagEnd < 0) return QString();
    const qsizetype start = tagEnd + 1;
    qsizetype end = page.lastIndexOf(QLatin1String("</body"), -1, Qt::CaseInsensitive);
    if (end < start) end = page.size();
    return page.mid(start, end - start);
}

QString DecodeReplyText(const QByteArray& bytes, const QByteArray& contentType) {
    return QString::fromStdString(DecodeReply(std::string_view(bytes.constData(), bytes.size()),
                                              contentType.toStdString(), "UTF-8"));
}
