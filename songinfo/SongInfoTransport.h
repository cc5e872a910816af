#pragma once
// The hidden "browser" of the song-information exchange: an HTTP GET per navigation, and one
// NavigateComplete per navigation that finished, with the markup inside the reply's <body>
// (the whole reply when it has none). Lives on, and is called from, the user-interface thread;
// notifications arrive on that thread.

#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// What the request pairing needs of a transport; lets the pairing be driven without a network.
class SongInfoNavigator {
public:
    virtual ~SongInfoNavigator() = default;
    // Cancels the navigation in progress; it will not notify.
    virtual void Stop() = 0;
    // Stops whatever loads, then starts a GET of the address.
    virtual void Navigate(const QString& address) = 0;
};

class SongInfoTransport : public QObject, public SongInfoNavigator {
    Q_OBJECT
public:
    explicit SongInfoTransport(QObject* parent = nullptr);
    ~SongInfoTransport() override;

    void Stop() override;
    void Navigate(const QString& address) override;
    bool IsLoading() const { return current_ != nullptr; }

    // A reply larger than this is cut off and handed on as an empty page.
    static constexpr qint64 MaxReplyBytes = 2 * 1024 * 1024;
    // A navigation that receives nothing for this long completes as unanswered.
    static constexpr int StallMillis = 60000;

signals:
    // httpStatus is 0 when no server answered; retryAfter the seconds a Retry-After names, or 0.
    void NavigateComplete(const QString& bodyMarkup, int httpStatus, int retryAfter);

private:
    void Finished(QNetworkReply* reply);

    QNetworkAccessManager* network_;
    QNetworkReply* current_ = nullptr;
    bool tooLarge_ = false;
};

// The address as a URL sent with its escapes as they are: what a browser's address bar would
// send, except that '#' (which the query leaves unescaped) stays part of the query instead of
// starting a fragment. A '%' that starts no escape, a space, and any other character a request
// line cannot carry are percent-encoded.
QUrl RequestUrl(const QString& address);

// The markup inside the first <body ...> element, up to the last </body>; the whole text when
// there is no body element.
QString ExtractBodyMarkup(const QString& page);

// The reply's bytes as text, in the charset its Content-Type names, else UTF-8.
QString DecodeReplyText(const QByteArray& bytes, const QByteArray& contentType);
