#pragma once
// A notification centre: observers of a name (and optionally one sender) are
// called synchronously on the posting thread, in the order they registered.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "kit/Plist.h"

namespace kit {

struct Notification {
    std::string name;
    const void* sender = nullptr;
    Value userInfo;
};

class NotificationCenter {
public:
    using Token = uint64_t;
    static NotificationCenter& defaultCenter();

    // sender == nullptr observes every sender.
    Token addObserver(const std::string& name, const void* sender, std::function<void(const Notification&)> fn);
    void removeObserver(Token token);
    void post(const std::string& name, const void* sender = nullptr, Value userInfo = Value());

private:
    struct Entry { Token token; std::string name; const void* sender; std::function<void(const Notification&)> fn; };
    std::mutex mutex_;
    std::vector<Entry> entries_;
    Token next_ = 1;
};

}  // namespace kit
