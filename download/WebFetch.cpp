#include "download/WebFetch.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QUrl>
#include <atomic>

#include "platform/web/ReplyText.h"

namespace {

std::atomic<int> runningTransfers{0};
std::atomic<int> stallMillis{kWebStallMillis};

constexpr int kMaxRedirects = 20;
// The charset of a reply that names none.
constexpr const char* kDefaultCharset = "windows-1252";

bool IsRedirect(int status) { return status >= 300 && status < 400; }
bool IsSuccess(int status) { return status >= 200 && status < 300; }

// One manager per thread: each keeps a thread of its own and its connections. The main
// thread's goes with the application object, another thread's when the thread ends.
QNetworkAccessManager& ThreadNetwork() {
    thread_local QPointer<QNetworkAccessManager> manager;
    thread_local std::unique_ptr<QNetworkAccessManager> owned;
    if (!manager) {
        auto* created = new QNetworkAccessManager;
        QCoreApplication* app = QCoreApplication::instance();
        if (app && app->thread() == QThread::currentThread())
            created->setParent(app);
        else
            owned.reset(created);
        manager = created;
    }
    return *manager;
}

}  // namespace

// The request in flight; deletes itself once the reply ended.
class WebTransfer : public QObject {
public:
    WebTransfer(std::shared_ptr<WebReader> reader, bool post, std::optional<QByteArray> body)
        : reader_(std::move(reader)), post_(post), body_(std::move(body)) {
        ++runningTransfers;
    }
    ~WebTransfer() override {
        if (reply_) {
            reply_->disconnect(this);
            reply_->abort();
            reply_->deleteLater();
        }
        --runningTransfers;
    }

    void Send(const QUrl& url) {
        QNetworkRequest request(url);
        // redirects are followed here, so that a redirected POST comes again as a GET
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::ManualRedirectPolicy);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        request.setTransferTimeout(stallMillis.load());
        QNetworkAccessManager& network = ThreadNetwork();
        if (!post_) {
            reply_ = network.get(request);
        } else if (body_) {
            request.setHeader(QNetworkRequest::ContentTypeHeader,
                              "application/x-www-form-urlencoded");
            reply_ = network.post(request, *body_);
        } else {
            // an empty body with its length, so that the server need not wait for one; no
            // Content-Type, as there is nothing to type
            request.setHeader(QNetworkRequest::ContentLengthHeader, 0);
            reply_ = network.sendCustomRequest(request, "POST");
        }
        decoder_.reset();
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
        if (!IsSuccess(Status(reply))) {
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
        if (!decoder_)
            decoder_ = std::make_unique<ReplyDecoder>(
                reply->header(QNetworkRequest::ContentTypeHeader).toByteArray().toStdString(),
                kDefaultCharset);
        if (!piece.isEmpty())
            reader_->Read(decoder_->Decode(std::string_view(piece.constData(), piece.size())),
                          static_cast<int>(piece.size()));
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
        const bool complete =
            !stopped_ && reply->error() == QNetworkReply::NoError && IsSuccess(Status(reply));
        if (decoder_) {
            // what an unfinished last character left
            const std::string rest = decoder_->Decode({}, true);
            if (!rest.empty()) reader_->Read(rest, 0);
        }
        reader_->Finish(complete);
        deleteLater();
    }

    QPointer<QNetworkReply> reply_;
    std::shared_ptr<WebReader> reader_;
    std::unique_ptr<ReplyDecoder> decoder_;
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

int RunningWebTransfers() { return runningTransfers.load(); }

void SetWebStallMillis(int millis) { stallMillis.store(millis); }
