#include "kit/Net.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "kit/Dispatch.h"
#include "kit/RunLoop.h"
#include "kit/System.h"

namespace kit {

namespace {

using Clock = std::chrono::steady_clock;

// Fetches under way, the callers inside fetchUrlSync and the name lookups.
// Before the process ends (stopFetchesBeforeExit, also run from an exit hook)
// every fetch is told to stop and every caller and lookup is waited for until it
// has left the network code; a caller that sees the end coming waits there for
// the process to end, so it never runs on while the libraries' static objects
// are destroyed. Names are looked up by threads of our own (the network
// library's own lookups run in a pool that nothing can wait for), so that no
// thread of the library outlives a fetch.
struct Fetch {
    QEventLoop* loop = nullptr;  // while the fetch thread waits in it
    std::atomic<bool> stop{false};
};

struct FetchState {
    std::mutex mutex;
    std::condition_variable changed;
    bool exiting = false;
    int active = 0;   // callers between entry and their last use of the network code
    int lookups = 0;  // name lookups under way
    std::set<Fetch*> fetches;
};

FetchState& state() {
    static auto* s = new FetchState;  // used during exit: never destroyed
    return *s;
}

[[noreturn]] void waitForTheEnd() {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

// Leaves the network code; a caller that finds the process ending stays here.
void leave() {
    FetchState& s = state();
    bool exiting;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        --s.active;
        exiting = s.exiting;
        s.changed.notify_all();
    }
    if (exiting) waitForTheEnd();
}

void exitHook() { stopFetchesBeforeExit(); }

// An exit hook runs before the static objects made before it was installed are
// destroyed. The network and TLS libraries make theirs on first use, so they
// are brought up before the hook is installed, and the hook is installed again
// after the first few fetches (which make the rest).
void warmUpAndHook() {
    static std::once_flag once;
    std::call_once(once, [] {
        QSslSocket::supportsSsl();
        { QNetworkAccessManager warmUp; }
        std::atexit(exitHook);
    });
}

void hookAgainAfterAFetch() {
    static std::atomic<int> hooks{0};
    if (hooks.fetch_add(1) < 3) std::atexit(exitHook);
}

// The addresses of a host name in the resolver's order, looked up by a thread
// of our own; none when the name has none, the deadline passed or the fetch was
// stopped first. A lookup still running then is left to finish by itself: it
// holds only its own state.
std::vector<std::string> lookUp(const std::string& host, Clock::time_point deadline, const Fetch& fetch) {
    struct Lookup {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        std::vector<std::string> addresses;
    };
    auto lookup = std::make_shared<Lookup>();
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        if (state().exiting) return {};
        ++state().lookups;
    }
    std::thread([lookup, host] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        std::vector<std::string> addresses;
        if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) == 0) {
            for (addrinfo* a = found; a; a = a->ai_next) {
                char text[INET6_ADDRSTRLEN] = {0};
                const void* where = nullptr;
                if (a->ai_family == AF_INET) where = &reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr;
                else if (a->ai_family == AF_INET6) where = &reinterpret_cast<sockaddr_in6*>(a->ai_addr)->sin6_addr;
                if (where && ::inet_ntop(a->ai_family, where, text, sizeof text) &&
                    std::find(addresses.begin(), addresses.end(), text) == addresses.end())
                    addresses.push_back(text);
            }
            ::freeaddrinfo(found);
        }
        {
            std::lock_guard<std::mutex> lock(lookup->mutex);
            lookup->addresses = std::move(addresses);
            lookup->finished = true;
        }
        lookup->done.notify_all();
        std::lock_guard<std::mutex> lock(state().mutex);
        --state().lookups;
        state().changed.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(lookup->mutex);
    while (!lookup->finished && !fetch.stop.load() && Clock::now() < deadline)
        lookup->done.wait_for(lock, std::chrono::milliseconds(20));
    return lookup->finished ? lookup->addresses : std::vector<std::string>{};
}

struct Answer {
    bool stopped = false;
    bool timedOut = false;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    QUrl location;
    QByteArray body;
};

// One request, waited for in a loop of the calling thread that a stop can end.
Answer ask(QNetworkAccessManager& manager, const QNetworkRequest& request, Clock::time_point deadline, Fetch& fetch) {
    Answer answer;
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        answer.timedOut = true;
        reply->abort();
        loop.quit();
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    timer.start(static_cast<int>(std::clamp<long long>(left, 0, INT_MAX)));
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        answer.stopped = fetch.stop.load();
        if (!answer.stopped) fetch.loop = &loop;
    }
    if (!answer.stopped && !reply->isFinished()) loop.exec();
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        fetch.loop = nullptr;
        answer.stopped = fetch.stop.load();
    }
    timer.stop();
    if (answer.stopped && !reply->isFinished()) reply->abort();
    answer.error = reply->error();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    answer.status = status.isValid() ? status.toInt() : 0;
    const QVariant location = reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (location.isValid()) answer.location = location.toUrl();
    if (answer.error == QNetworkReply::NoError) answer.body = reply->readAll();
    return answer;
}

// The errors after which the host's next address is worth a try.
bool tryNextAddress(QNetworkReply::NetworkError e) {
    return e == QNetworkReply::ConnectionRefusedError || e == QNetworkReply::HostNotFoundError ||
           e == QNetworkReply::UnknownNetworkError || e == QNetworkReply::TemporaryNetworkFailureError ||
           e == QNetworkReply::NetworkSessionFailedError;
}

// One fetch on the calling thread's own event loop (a fresh thread's), each
// name looked up as above; redirects are followed here.
std::optional<std::string> fetchOnThisThread(Fetch& fetch, const std::string& url, double timeoutSeconds) {
    const double ms = std::min(std::ceil(std::max(0.0, timeoutSeconds) * 1000.0), static_cast<double>(INT_MAX));
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(static_cast<long long>(ms));
    QNetworkAccessManager manager;
    QUrl target(QString::fromStdString(url));
    for (int hop = 0; hop < 8; ++hop) {
        if (!target.isValid() || target.host().isEmpty()) return std::nullopt;
        std::vector<std::string> addresses;
        const bool named = !QHostAddress().setAddress(target.host());
        if (named) {
            addresses = lookUp(target.host().toStdString(), deadline, fetch);
            if (addresses.empty()) return std::nullopt;
        } else {
            addresses.push_back(target.host().toStdString());
        }
        Answer answer;
        for (size_t i = 0; i < addresses.size(); ++i) {
            QUrl connectTo = target;
            connectTo.setHost(QString::fromStdString(addresses[i]));
            QNetworkRequest request(connectTo);
            if (named) {
                // The server and its certificate still go by the name.
                QByteArray hostHeader = QUrl::toAce(target.host());
                if (target.port() != -1) hostHeader += ":" + QByteArray::number(target.port());
                request.setRawHeader("Host", hostHeader);
                request.setPeerVerifyName(target.host());
            }
            request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
            request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
            request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
            answer = ask(manager, request, deadline, fetch);
            if (answer.stopped || answer.timedOut || !tryNextAddress(answer.error)) break;
        }
        if (answer.stopped || answer.timedOut) return std::nullopt;
        if (answer.status >= 300 && answer.status <= 399 && answer.location.isValid()) {
            QUrl next = target.resolved(answer.location);
            // Never from an encrypted page to a plain one.
            if (target.scheme() == "https" && next.scheme() != "https") return std::nullopt;
            target = next;
            continue;
        }
        if (answer.error != QNetworkReply::NoError) return std::nullopt;
        if (answer.status != 0 && (answer.status < 200 || answer.status > 299)) return std::nullopt;
        return std::string(answer.body.constData(), static_cast<size_t>(answer.body.size()));
    }
    return std::nullopt;  // too many redirects
}

}  // namespace

void stopFetchesBeforeExit() {
    FetchState& s = state();
    std::unique_lock<std::mutex> lock(s.mutex);
    s.exiting = true;
    for (Fetch* f : s.fetches) {
        f->stop.store(true);
        if (f->loop) QMetaObject::invokeMethod(f->loop, "quit", Qt::QueuedConnection);
    }
    // A fetch told to stop ends within moments, a name lookup within its
    // resolver's time-out; the bound only keeps a wedged call from holding the
    // exit for ever.
    s.changed.wait_for(lock, std::chrono::seconds(5), [&] { return s.active == 0 && s.lookups == 0; });
}

std::optional<std::string> fetchUrlSync(const std::string& url, double timeoutSeconds) {
    if (!QCoreApplication::instance()) {
        if (!dispatch::isMainThread()) {
            systemLog("fetchUrlSync: no application object yet");
            return std::nullopt;
        }
        ensureMainThreadApp();
    }
    FetchState& s = state();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.exiting) return std::nullopt;
        ++s.active;
    }
    warmUpAndHook();
    // A thread of its own with its own loop: the caller may be the main thread,
    // whose loop is not running while it waits here.
    Fetch fetch;
    std::optional<std::string> result;
    std::unique_ptr<QThread> thread(
        QThread::create([&] { result = fetchOnThisThread(fetch, url, timeoutSeconds); }));
    bool exiting;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        exiting = s.exiting;
        if (!exiting) s.fetches.insert(&fetch);
    }
    if (!exiting) {
        thread->start();
        thread->wait();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.fetches.erase(&fetch);
    }
    leave();
    if (!exiting) hookAgainAfterAFetch();
    return exiting ? std::nullopt : result;
}

}  // namespace kit
