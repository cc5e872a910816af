#include "tests/support/LocalHttpServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <memory>

namespace sonvera::test {

namespace {

// Parses a complete request from the front of `buffer`; false while more must come.
bool TakeRequest(QByteArray& buffer, HttpRequest& request) {
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) return false;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.target = first.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers[lines[i].left(colon).trimmed().toLower()] =
                lines[i].mid(colon + 1).trimmed();
    }
    const qsizetype length = request.headers.count("content-length")
                                 ? request.headers["content-length"].toLongLong()
                                 : 0;
    if (buffer.size() < end + 4 + length) return false;
    request.body = buffer.mid(end + 4, length);
    buffer.remove(0, end + 4 + length);
    return true;
}

QByteArray ReasonOf(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 302:
            return "Found";
        case 307:
            return "Temporary Redirect";
        case 404:
            return "Not Found";
        default:
            return "Status";
    }
}

}  // namespace

LocalHttpServer::LocalHttpServer(std::function<HttpResponse(const HttpRequest&)> handler)
    : handler_(std::move(handler)) {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) Serve(socket);
    });
}

std::string LocalHttpServer::Base() const {
    return "http://127.0.0.1:" + std::to_string(server_.serverPort());
}

void LocalHttpServer::Serve(QTcpSocket* socket) {
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
        buffer->append(socket->readAll());
        HttpRequest request;
        if (!TakeRequest(*buffer, request)) return;
        requests_.push_back(request);
        const HttpResponse response = handler_(request);
        qsizetype length = 0;
        for (const QByteArray& piece : response.pieces) length += piece.size();
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " " +
                          ReasonOf(response.status) + "\r\n";
        for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
        head += "Content-Length: " + QByteArray::number(length) + "\r\nConnection: close\r\n\r\n";
        socket->write(head);
        socket->flush();
        // each piece after its pause; the connection closes after the last
        QPointer<QTcpSocket> alive(socket);
        int delay = 0;
        for (size_t i = 0; i <= response.pieces.size(); ++i) {
            if (i > 0) delay += response.pauseMs;
            QTimer::singleShot(delay, this, [this, alive, response, i] {
                if (!alive || alive->state() != QAbstractSocket::ConnectedState) return;
                if (i == response.pieces.size()) {
                    alive->disconnectFromHost();
                    return;
                }
                alive->write(response.pieces[i]);
                alive->flush();
                bodySent_ += response.pieces[i].size();
            });
        }
    });
}

bool WaitUntil(const std::function<bool()>& done, int seconds) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > seconds * 1000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

}  // namespace sonvera::test
