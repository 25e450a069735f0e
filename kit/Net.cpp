#include "kit/Net.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>

#include "kit/Dispatch.h"
#include "kit/RunLoop.h"
#include "kit/System.h"

namespace kit {

namespace {

// One request on the calling thread's own event loop (a fresh thread's).
std::optional<std::string> fetchOnThisThread(const std::string& url, double timeoutSeconds) {
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
    if (!reply->isFinished()) loop.exec();
    timer.stop();

    if (timedOut || reply->error() != QNetworkReply::NoError) return std::nullopt;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        const int code = status.toInt();
        if (code < 200 || code > 299) return std::nullopt;
    }
    const QByteArray body = reply->readAll();
    return std::string(body.constData(), static_cast<size_t>(body.size()));
}

}  // namespace

std::optional<std::string> fetchUrlSync(const std::string& url, double timeoutSeconds) {
    if (!QCoreApplication::instance()) {
        if (!dispatch::isMainThread()) {
            systemLog("fetchUrlSync: no application object yet");
            return std::nullopt;
        }
        ensureMainThreadApp();
    }
    // A thread of its own with its own loop: the caller may be the main thread,
    // whose loop is not running while it waits here.
    std::optional<std::string> result;
    std::unique_ptr<QThread> thread(QThread::create([&] { result = fetchOnThisThread(url, timeoutSeconds); }));
    thread->start();
    thread->wait();
    return result;
}

}  // namespace kit
