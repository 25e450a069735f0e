#include "kit/Net.h"

#include <QCoreApplication>
#include <QEventLoop>
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

#include "kit/Dispatch.h"
#include "kit/RunLoop.h"
#include "kit/System.h"

namespace kit {

namespace {

// Fetches under way, and the callers inside fetchUrlSync. Before the process
// ends (stopFetchesBeforeExit, also run from an exit hook) every fetch is told
// to stop and every caller is waited for until it has left the network code;
// a caller that sees the end coming waits there for the process to end, so it
// never runs on while the libraries' static objects are destroyed.
struct Fetch {
    QEventLoop* loop = nullptr;  // while the fetch thread waits in it
    bool stop = false;
};

struct FetchState {
    std::mutex mutex;
    std::condition_variable changed;
    bool exiting = false;
    int active = 0;  // callers between entry and their last use of the network code
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

// One request on the calling thread's own event loop (a fresh thread's).
std::optional<std::string> fetchOnThisThread(Fetch& fetch, const std::string& url, double timeoutSeconds) {
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(QString::fromStdString(url)));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
        loop.quit();
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    const double ms = std::ceil(std::max(0.0, timeoutSeconds) * 1000.0);
    timer.start(static_cast<int>(std::min(ms, static_cast<double>(INT_MAX))));
    bool stopped;
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        stopped = fetch.stop;
        if (!stopped) fetch.loop = &loop;
    }
    if (!stopped && !reply->isFinished()) loop.exec();
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        fetch.loop = nullptr;
        stopped = fetch.stop;
    }
    timer.stop();
    if (stopped && !reply->isFinished()) reply->abort();

    if (stopped || timedOut || reply->error() != QNetworkReply::NoError) return std::nullopt;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        const int code = status.toInt();
        if (code < 200 || code > 299) return std::nullopt;
    }
    const QByteArray body = reply->readAll();
    return std::string(body.constData(), static_cast<size_t>(body.size()));
}

}  // namespace

void stopFetchesBeforeExit() {
    FetchState& s = state();
    std::unique_lock<std::mutex> lock(s.mutex);
    s.exiting = true;
    for (Fetch* f : s.fetches) {
        f->stop = true;
        if (f->loop) QMetaObject::invokeMethod(f->loop, "quit", Qt::QueuedConnection);
    }
    // A fetch told to stop ends within moments; the bound only keeps a
    // wedged library call from holding the exit for ever.
    s.changed.wait_for(lock, std::chrono::seconds(5), [&] { return s.active == 0; });
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
