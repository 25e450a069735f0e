#include "Disk/VolumeList.h"

#include <utility>

std::vector<VolumeList::Item> VolumeList::snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_;
}

size_t VolumeList::count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_.size();
}

VolumeList::Item VolumeList::objectAtIndex(size_t index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return index < items_.size() ? items_[index] : nullptr;
}

long VolumeList::indexOfObject(const Item& item) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i] == item) return static_cast<long>(i);
    return -1;
}

void VolumeList::addObject(Item item) {
    if (!item) return;
    std::lock_guard<std::mutex> lock(mutex_);
    items_.push_back(std::move(item));
}

bool VolumeList::addObjectUnless(Item item, const std::function<bool(const VolumeObj&)>& same) {
    if (!item) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Item& existing : items_)
        if (same(*existing)) return false;
    items_.push_back(std::move(item));
    return true;
}

void VolumeList::removeAllObjects() {
    std::lock_guard<std::mutex> lock(mutex_);
    items_.clear();
}
