#include "download/WebFetch.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QUrl>
#include <atomic>

#include "library/CodePage.h"

namespace {

std::atomic<int> runningTransfers{0};

// Pieces of this size or smaller carry nothing a reader wants.
constexpr int kMinPieceBytes = 7;
constexpr int kMaxRedirects = 20;

bool IsRedirect(int status) { return status >= 300 && status < 400; }

}  // namespace

// The request in flight; owns its network access and deletes itself once the reply ended.
class WebTransfer : public QObject {
public:
    WebTransfer(std::shared_ptr<WebReader> reader, bool post, std::optional<QByteArray> body)
        : reader_(std::move(reader)), post_(post), body_(std::move(body)) {
        ++runningTransfers;
    }
    ~WebTransfer() override { --runningTransfers; }

    void Send(const QUrl& url) {
        QNetworkRequest request(url);
        // redirects are followed here, so that a redirected POST comes again as a GET
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::ManualRedirectPolicy);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        if (!post_) {
            reply_ = manager_.get(request);
        } else if (body_) {
            request.setHeader(QNetworkRequest::ContentTypeHeader,
                              "application/x-www-form-urlencoded");
            reply_ = manager_.post(request, *body_);
        } else {
            // no upload device: Qt then adds no Content-Type of its own
            reply_ = manager_.sendCustomRequest(request, "POST");
        }
        QNetworkReply* reply = reply_;
        connect(reply, &QNetworkReply::readyRead, this, [this, reply] { ReadPiece(reply); });
        connect(reply, &QNetworkReply::finished, this, [this, reply] { Finished(reply); });
    }

private:
    static int Status(QNetworkReply* reply) {
        return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    }

    void ReadPiece(QNetworkReply* reply) {
        if (stopped_ || reply != reply_) return;
        const int status = Status(reply);
        if (status < 200 || status >= 300) {
            reply->readAll();  // a redirect's or an error's own page is nobody's reply
            return;
        }
        const QByteArray piece = reply->readAll();
        if (received_ + piece.size() > kMaxWebReplyBytes) {
            stopped_ = true;
            reply->abort();
            return;
        }
        received_ += piece.size();
        if (piece.size() >= kMinPieceBytes)
            reader_->Read(DecodeWebPiece(piece.toStdString()), static_cast<int>(piece.size()));
    }

    void Finished(QNetworkReply* reply) {
        if (reply != reply_) return;
        if (!stopped_ && reply->bytesAvailable() > 0) ReadPiece(reply);
        const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        reply_ = nullptr;
        reply->deleteLater();
        if (!stopped_ && IsRedirect(Status(reply)) && target.isValid() &&
            redirects_ < kMaxRedirects) {
            const QUrl next = reply->url().resolved(target);
            if (next.scheme() == "http" || next.scheme() == "https") {
                ++redirects_;
                post_ = false;
                body_.reset();
                Send(next);
                return;
            }
        }
        deleteLater();
    }

    QNetworkAccessManager manager_{this};
    QNetworkReply* reply_ = nullptr;
    std::shared_ptr<WebReader> reader_;
    bool post_;
    std::optional<QByteArray> body_;
    int64_t received_ = 0;
    int redirects_ = 0;
    bool stopped_ = false;
};

void CWebFetch::Reset() { transfer_.clear(); }

bool CWebFetch::Start(const std::string& address, const std::optional<std::string>& body, int verb,
                      std::shared_ptr<WebReader> reader) {
    if (address.empty() || !reader) return false;
    std::optional<QByteArray> sent;
    if (verb == kWebPost && body) sent = QByteArray::fromStdString(*body);
    // deletes itself when the reply has ended; still running when the application object
    // goes, it goes with it
    auto* transfer = new WebTransfer(std::move(reader), verb != kWebGet, std::move(sent));
    QCoreApplication* app = QCoreApplication::instance();
    if (app && app->thread() == QThread::currentThread()) transfer->setParent(app);
    transfer_ = transfer;
    transfer->Send(QUrl(QString::fromStdString(address)));
    return true;
}

std::string DecodeWebPiece(const std::string& bytes) {
    // the piece is read as a zero-terminated text
    return AnsiToUtf8(bytes.substr(0, bytes.find('\0')));
}

int RunningWebTransfers() { return runningTransfers.load(); }
