#include "kit/Notification.h"

#include <algorithm>

namespace kit {

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter* center = new NotificationCenter;  // observers may post during exit
    return *center;
}

NotificationCenter::Token NotificationCenter::addObserver(const std::string& name, const void* sender,
                                                          std::function<void(const Notification&)> fn) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Token token = next_++;
    entries_.push_back(Entry{token, name, sender, std::move(fn)});
    return token;
}

void NotificationCenter::removeObserver(Token token) {
    std::function<void(const Notification&)> dropped;  // destroyed outside the lock
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(), [token](const Entry& e) { return e.token == token; });
    if (it == entries_.end()) return;
    dropped = std::move(it->fn);
    entries_.erase(it);
}

void NotificationCenter::post(const std::string& name, const void* sender, Value userInfo) {
    const Notification note{name, sender, std::move(userInfo)};
    // Observers run outside the lock, so one may add or remove observers
    // (itself included) or post again.
    std::vector<std::pair<Token, std::function<void(const Notification&)>>> matching;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const Entry& e : entries_) {
            if (e.name == name && (e.sender == nullptr || e.sender == sender)) matching.emplace_back(e.token, e.fn);
        }
    }
    for (auto& [token, fn] : matching) {
        // An observer removed by an earlier one in this round is not called:
        // its owner may be gone.
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const bool stillThere = std::any_of(entries_.begin(), entries_.end(), [t = token](const Entry& e) { return e.token == t; });
            if (!stillThere) continue;
        }
        fn(note);
    }
}

}  // namespace kit
