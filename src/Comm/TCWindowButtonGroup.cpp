#include "Comm/TCWindowButtonGroup.h"

#include <map>
#include <mutex>

#include "kit/Notification.h"

TCWindowButtonGroup& TCWindowButtonGroup::groupWithIdentifier(const std::optional<std::string>& identifier) {
    static std::mutex mutex;
    // Never emptied: a group lives from its first request to the end.
    static auto* groups = new std::map<std::string, std::unique_ptr<TCWindowButtonGroup>>();
    const std::string key = identifier.value_or(defaultIdentifier());
    std::lock_guard<std::mutex> lock(mutex);
    auto& slot = (*groups)[key];
    if (!slot) slot = std::make_unique<TCWindowButtonGroup>(key);
    return *slot;
}

TCWindowButtonGroup::TCWindowButtonGroup(std::string identifier) : identifier_(std::move(identifier)) {}

void TCWindowButtonGroup::setNumberOfCaptures(long n) {
    if (n < 0 || n == numberOfCaptures_) return;
    numberOfCaptures_ = n;
    kit::NotificationCenter::defaultCenter().post(TCWindowButtonGroupDidUpdateRolloverStateNotification, this);
}
