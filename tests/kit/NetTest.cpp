#include <gtest/gtest.h>

#include <QEventLoop>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <atomic>
#include <chrono>
#include <future>

#include "support/EnvGuard.h"
#include "kit/Dispatch.h"
#include "kit/Net.h"
#include "kit/RunLoop.h"

using namespace std::chrono;

namespace {

// A tiny HTTP server on 127.0.0.1 in a thread of its own, so a fetch that
// blocks the test's main thread still gets answered.
//   /ok -> 200 "hello", /missing -> 404, /broken -> 500, /slow -> never answers.
class TestServer {
public:
    TestServer() {
        std::promise<quint16> port;
        auto portReady = port.get_future();
        thread_.reset(QThread::create([this, &port] {
            QTcpServer server;
            server.listen(QHostAddress::LocalHost, 0);
            QObject::connect(&server, &QTcpServer::newConnection, &server, [&server] {
                while (QTcpSocket* sock = server.nextPendingConnection()) {
                    QObject::connect(sock, &QTcpSocket::readyRead, sock, [sock] {
                        const QByteArray req = sock->peek(8192);
                        if (!req.contains("\r\n\r\n")) return;
                        sock->readAll();
                        QByteArray reply;
                        if (req.startsWith("GET /ok ")) reply = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello";
                        else if (req.startsWith("GET /missing ")) reply = "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\nConnection: close\r\n\r\nnope";
                        else if (req.startsWith("GET /broken ")) reply = "HTTP/1.1 500 Oops\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
                        else return;  // /slow: keep the client waiting
                        sock->write(reply);
                        sock->disconnectFromHost();
                    });
                }
            });
            QEventLoop loop;
            loop_ = &loop;
            port.set_value(server.serverPort());
            loop.exec();
        }));
        thread_->start();
        port_ = portReady.get();
    }
    ~TestServer() {
        QMetaObject::invokeMethod(loop_, "quit", Qt::QueuedConnection);
        thread_->wait();
    }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    std::unique_ptr<QThread> thread_;
    QEventLoop* loop_ = nullptr;
    quint16 port_ = 0;
};

}  // namespace

TEST(Net, FetchesFromTheMainThreadAndFromWorkers) {
    kit::ensureMainThreadApp();
    TestServer server;
    EXPECT_EQ(kit::fetchUrlSync(server.url("/ok"), 5), "hello");

    std::atomic<bool> done{false};
    std::optional<std::string> fromWorker;
    kit::dispatch::async(kit::dispatch::globalQueue(), [&] {
        fromWorker = kit::fetchUrlSync(server.url("/ok"), 5);
        done = true;
    });
    ASSERT_TRUE(kit::runUntil([&] { return done.load(); }, 10));
    EXPECT_EQ(fromWorker, "hello");
}

TEST(Net, ErrorStatusesAndRefusedConnectionsGiveNothing) {
    kit::ensureMainThreadApp();
    TestServer server;
    EXPECT_FALSE(kit::fetchUrlSync(server.url("/missing"), 5));
    EXPECT_FALSE(kit::fetchUrlSync(server.url("/broken"), 5));
    EXPECT_FALSE(kit::fetchUrlSync("http://127.0.0.1:1/", 5));
    EXPECT_FALSE(kit::fetchUrlSync("not a url at all", 5));
}

TEST(Net, ASilentServerTimesOutUnscaled) {
    kit::ensureMainThreadApp();
    TestServer server;
    EnvGuard scale("PELORIN_TIME_SCALE", "100");  // must not stretch the network time-out
    const auto t0 = steady_clock::now();
    EXPECT_FALSE(kit::fetchUrlSync(server.url("/slow"), 0.5));
    const double took = duration<double>(steady_clock::now() - t0).count();
    EXPECT_GE(took, 0.45);
    EXPECT_LT(took, 3.0);
}
