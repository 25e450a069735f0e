#pragma once
// A shared, growing list of volumes. The provider empties and refills the same
// list object while screens hold it and read it on the main thread, so every
// access is guarded and readers take snapshots.
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "Disk/VolumeObj.h"

class VolumeList {
public:
    using Item = std::shared_ptr<VolumeObj>;

    std::vector<Item> snapshot() const;
    size_t count() const;
    bool empty() const { return count() == 0; }
    // nullptr when out of range (the list may have shrunk since the caller counted).
    Item objectAtIndex(size_t index) const;
    // Index of the very same object, or -1.
    long indexOfObject(const Item& item) const;

    void addObject(Item item);
    // Appends unless an entry already satisfies `same`; check and append are one
    // step, so two scans filling the list at once never add the same volume twice.
    bool addObjectUnless(Item item, const std::function<bool(const VolumeObj&)>& same);
    void removeAllObjects();

private:
    mutable std::mutex mutex_;
    std::vector<Item> items_;
};
