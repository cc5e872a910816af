#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests: records each request and answers it with
// the response the test gives, its body sent in pieces with pauses between them. Runs on
// the test thread's event loop.

#include <QByteArray>
#include <QObject>
#include <QTcpServer>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sonvera::test {

struct HttpRequest {
    QByteArray method;
    QByteArray target;                         // as sent, percent-encoding kept
    std::map<QByteArray, QByteArray> headers;  // names in lower case
    QByteArray body;
};

struct HttpResponse {
    int status = 200;
    std::vector<std::pair<QByteArray, QByteArray>> headers;
    std::vector<QByteArray> pieces;
    int pauseMs = 120;  // before each piece after the first
};

class LocalHttpServer : public QObject {
public:
    // Listens on a free port of 127.0.0.1; the handler answers each request.
    explicit LocalHttpServer(std::function<HttpResponse(const HttpRequest&)> handler);
    // "http://127.0.0.1:PORT", without a trailing '/'
    std::string Base() const;
    const std::vector<HttpRequest>& Requests() const { return requests_; }
    // Bytes of body the server wrote before the client went away.
    qint64 BodyBytesSent() const { return bodySent_; }

private:
    void Serve(class QTcpSocket* socket);

    QTcpServer server_;
    std::function<HttpResponse(const HttpRequest&)> handler_;
    std::vector<HttpRequest> requests_;
    qint64 bodySent_ = 0;
};

// Runs the event loop until done() holds or `seconds` have passed; false on time-out.
bool WaitUntil(const std::function<bool()>& done, int seconds = 10);

}  // namespace sonvera::test
