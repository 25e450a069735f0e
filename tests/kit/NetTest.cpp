#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QEventLoop>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

#include "support/EnvGuard.h"
#include "kit/Dispatch.h"
#include "kit/Net.h"
#include "kit/Process.h"
#include "kit/RunLoop.h"
#include "kit/Shell.h"

using namespace std::chrono;

namespace {

// A tiny HTTP server on 127.0.0.1 in a thread of its own, so a fetch that
// blocks the test's main thread still gets answered.
//   /ok -> 200 "hello", /missing -> 404, /broken -> 500, /slow -> never answers,
//   /redirect -> 302 to /ok, /host -> 200 with the request's Host header.
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
                        else if (req.startsWith("GET /redirect ")) reply = "HTTP/1.1 302 Found\r\nLocation: /ok\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
                        else if (req.startsWith("GET /host ")) {
                            // Echoes the Host header the request named.
                            const int at = req.indexOf("\r\nHost: ");
                            const QByteArray host = at < 0 ? QByteArray("-") : req.mid(at + 8, req.indexOf("\r\n", at + 2) - at - 8);
                            reply = "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(host.size()) +
                                    "\r\nConnection: close\r\n\r\n" + host;
                        }
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

TEST(Net, NamesAreLookedUpAndRedirectsFollowed) {
    kit::ensureMainThreadApp();
    TestServer server;
    // "localhost" may come first as an address the server doesn't listen on:
    // the next one is tried.
    const std::string byName = "http://localhost:" + server.url("/").substr(std::string("http://127.0.0.1:").size());
    EXPECT_EQ(kit::fetchUrlSync(byName + "ok", 5), "hello");
    EXPECT_EQ(kit::fetchUrlSync(byName + "host", 5), "localhost:" + byName.substr(byName.rfind(':') + 1, byName.size() - byName.rfind(':') - 2));
    EXPECT_EQ(kit::fetchUrlSync(server.url("/redirect"), 5), "hello");
    EXPECT_EQ(kit::fetchUrlSync(byName + "redirect", 5), "hello");
    EXPECT_FALSE(kit::fetchUrlSync("http://no-such-host.invalid/", 5));
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

namespace {

// A socket that takes connections into its backlog and never answers: a fetch
// from it waits for its time-out.
int silentListener(int* port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(fd, 16);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    *port = ntohs(addr.sin_port);
    return fd;
}

}  // namespace

// The program quits while a fetch is under way on a worker: it must end at once
// and cleanly, whatever the fetch was doing.
TEST(Net, QuittingWhileAFetchIsUnderWayEndsCleanly) {
    if (std::getenv("PELORIN_TEST_QUIT_DURING_FETCH")) {
        kit::ensureMainThreadApp();
        int port = 0;
        silentListener(&port);  // left open until the process ends
        std::atomic<bool> started{false};
        // By name too, so a name lookup may be under way as well.
        const char* host = std::getenv("PELORIN_TEST_QUIT_HOST");
        const std::string url = "https://" + std::string(host ? host : "127.0.0.1") + ":" + std::to_string(port) + "/";
        kit::dispatch::async(kit::dispatch::globalQueue(), [url, &started] {
            started = true;
            kit::fetchUrlSync(url, 60);
        });
        ASSERT_TRUE(kit::runUntil([&] { return started.load(); }, 10));
        // The request is somewhere on its way (the delay varies the moment).
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(std::getenv("PELORIN_TEST_QUIT_DURING_FETCH"))));
        return;  // and the program ends with it in flight
    }
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = 0;
    // The moment of the quit varies: loading the TLS library, connecting, waiting.
    for (int delayMs : {0, 2, 5, 10, 20, 40, 1, 3, 8, 15})
    for (const char* host : {"127.0.0.1", "localhost"}) {
        const auto t0 = steady_clock::now();
        const std::string line = "PELORIN_TEST_QUIT_DURING_FETCH=" + std::to_string(delayMs) +
                                 " PELORIN_TEST_QUIT_HOST=" + host + " " + kit::shellQuote(self) +
                                 " --gtest_filter=Net.QuittingWhileAFetchIsUnderWayEndsCleanly > /dev/null 2>&1";
        kit::ShellRunLimits limits;
        limits.timeoutSeconds = 30;
        auto r = kit::runShellLimited(line, limits);
        EXPECT_TRUE(r.succeeded()) << "quit " << delayMs << " ms into a fetch from " << host << ": status " << r.status
                                   << (r.timedOut ? " (timed out)" : "");
        EXPECT_LT(duration<double>(steady_clock::now() - t0).count(), 10.0) << "the quit waited for the fetch";
    }
}
