// The HTTP front end against hostile clients on loopback: idle and slow connections end by
// their deadlines while a polite client is served at once, and the connection caps hold.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "server/HttpFrontend.h"
#include "server/InfoService.h"

namespace {

using Clock = std::chrono::steady_clock;

// A connection from the given loopback address (any of 127.0.0.0/8 reaches the server).
int Connect(int port, const std::string& from) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(uint16_t(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const std::string& bytes) {
    return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
}

// Reads one whole response to a request with Connection: keep-alive; false on a close.
bool ReadResponse(int fd) {
    std::string got;
    char chunk[4096];
    while (true) {
        const size_t head = got.find("\r\n\r\n");
        if (head != std::string::npos) {
            const size_t at = got.find("Content-Length: ");
            const size_t length = at == std::string::npos ? 0 : std::stoul(got.substr(at + 16));
            if (got.size() >= head + 4 + length) return got.rfind("HTTP/1.1 200", 0) == 0;
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) return false;
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return false;
        got.append(chunk, size_t(n));
    }
}

class FrontendTest : public ::testing::Test {
protected:
    void Start(FrontendLimits limits) {
        std::string error;
        store_ = InfoStore::Open(":memory:", error);
        ASSERT_TRUE(store_) << error;
        ServiceOptions options;
        options.pagesPerSecond = 1000;
        options.pageBurst = 1000;
        service_ = std::make_unique<InfoService>(*store_, options);
        frontend_ = std::make_unique<HttpFrontend>(*service_, nullptr, limits);
        port_ = frontend_->Bind("127.0.0.1", 0);
        ASSERT_GT(port_, 0);
        runner_ = std::thread([this] { frontend_->Run(); });
    }
    void TearDown() override {
        if (frontend_) frontend_->Stop();
        if (runner_.joinable()) runner_.join();
    }

    std::unique_ptr<InfoStore> store_;
    std::unique_ptr<InfoService> service_;
    std::unique_ptr<HttpFrontend> frontend_;
    std::thread runner_;
    int port_ = 0;
};

TEST_F(FrontendTest, IdleAndSlowClientsEndByTheirDeadlinesWhileAPoliteOneIsServed) {
    FrontendLimits limits;
    limits.idleSeconds = 3;
    limits.requestSeconds = 4;
    Start(limits);
    ASSERT_FALSE(HasFatalFailure());

    // 500 idle and 100 slow connections from 30 addresses: 20 each, under the per-address cap,
    // so that only the deadlines can end them.
    struct Hostile {
        int fd;
        bool slow;
        Clock::time_point opened, closed;
        bool started = false;
    };
    std::vector<Hostile> hostile;
    for (int i = 0; i < 600; ++i) {
        const std::string from = "127.0.1." + std::to_string(1 + i / 20);
        const int fd = Connect(port_, from);
        ASSERT_GE(fd, 0) << i;
        hostile.push_back({fd, i % 6 == 0, Clock::now(), {}});
    }

    std::vector<double> millis;
    std::thread polite([&] {
        const int fd = Connect(port_, "127.0.0.1");
        for (int i = 0; fd >= 0 && i < 250; ++i) {
            const auto start = Clock::now();
            if (!SendAll(fd, "GET /getfromdb.asp?FingerPrint=AAAA HTTP/1.1\r\nHost: x\r\n\r\n") ||
                !ReadResponse(fd))
                break;
            millis.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::close(fd);
    });

    // and one that opens a connection per request, whose session ends right after each answer
    int answeredOnce = 0;
    std::thread politeOnce([&] {
        for (int i = 0; i < 100; ++i) {
            const int fd = Connect(port_, "127.0.0.1");
            answeredOnce += fd >= 0 &&
                            SendAll(fd, "GET /health HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n") &&
                            ReadResponse(fd);
            ::close(fd);
        }
    });

    // The slow ones send a header line every 2 s; everyone waits for the server's close.
    auto nextLine = Clock::now();
    size_t open = hostile.size();
    while (open > 0 && Clock::now() - hostile.front().opened < std::chrono::seconds(8)) {
        if (Clock::now() >= nextLine) {
            for (Hostile& h : hostile) {
                if (!h.slow || h.closed != Clock::time_point{}) continue;
                SendAll(h.fd, h.started ? "X-Slow: 1\r\n" : "GET / HTTP/1.1\r\n");
                h.started = true;
            }
            nextLine += std::chrono::seconds(2);
        }
        std::vector<pollfd> fds;
        for (const Hostile& h : hostile)
            if (h.closed == Clock::time_point{}) fds.push_back({h.fd, POLLIN, 0});
        ::poll(fds.data(), fds.size(), 50);
        for (const pollfd& p : fds) {
            if (!p.revents) continue;
            char byte;
            if (::recv(p.fd, &byte, 1, MSG_DONTWAIT) > 0) continue;
            for (Hostile& h : hostile)
                if (h.fd == p.fd) h.closed = Clock::now();
            --open;
        }
    }
    polite.join();
    politeOnce.join();
    EXPECT_EQ(answeredOnce, 100);

    EXPECT_EQ(open, 0u);
    for (const Hostile& h : hostile) {
        const double lived = std::chrono::duration<double>(h.closed - h.opened).count();
        const double deadline = h.slow ? limits.requestSeconds : limits.idleSeconds;
        EXPECT_GT(lived, deadline - 0.5) << (h.slow ? "slow" : "idle");
        EXPECT_LT(lived, deadline + 1.0) << (h.slow ? "slow" : "idle");
        ::close(h.fd);
    }
    ASSERT_EQ(millis.size(), 250u);
    std::sort(millis.begin(), millis.end());
    RecordProperty("polite_p99_ms", std::to_string(millis[millis.size() * 99 / 100]));
    EXPECT_LT(millis[millis.size() * 99 / 100], 50.0);
}

TEST_F(FrontendTest, ConnectionsAreCappedPerAddressAndInAll) {
    FrontendLimits limits;
    limits.maxPerAddress = 4;
    limits.maxConnections = 6;
    Start(limits);
    ASSERT_FALSE(HasFatalFailure());
    const auto closedAtOnce = [](int fd) {
        pollfd p{fd, POLLIN, 0};
        char byte;
        return ::poll(&p, 1, 1000) == 1 && ::recv(fd, &byte, 1, 0) <= 0;
    };
    std::vector<int> fds;
    for (int i = 0; i < 5; ++i) fds.push_back(Connect(port_, "127.0.2.1"));
    EXPECT_FALSE(closedAtOnce(fds[3]));
    EXPECT_TRUE(closedAtOnce(fds[4]));  // the fifth from one address
    fds.push_back(Connect(port_, "127.0.2.2"));
    fds.push_back(Connect(port_, "127.0.2.2"));
    fds.push_back(Connect(port_, "127.0.2.3"));
    EXPECT_FALSE(closedAtOnce(fds[6]));
    EXPECT_TRUE(closedAtOnce(fds[7]));  // the seventh in all
    // a served connection is still answered
    EXPECT_TRUE(SendAll(fds[5], "GET /index.html HTTP/1.1\r\nHost: x\r\n\r\n"));
    EXPECT_TRUE(ReadResponse(fds[5]));
    for (int fd : fds) ::close(fd);
}

}  // namespace
