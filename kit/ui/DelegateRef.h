#pragma once
// A delegate that its holder does not keep (the platform's unretained
// delegate). When the delegate is a kit object it reads as nullptr once that
// object is destroyed, so a late event never reaches a freed delegate; any
// other delegate must outlive its holder or be cleared first.
#include <memory>

#include "kit/ui/Responder.h"

namespace kit {

template <class T>
class DelegateRef {
public:
    DelegateRef() = default;
    DelegateRef(T* d) { set(d); }
    DelegateRef& operator=(T* d) {
        set(d);
        return *this;
    }
    void set(T* d) {
        p_ = d;
        token_.reset();
        tracked_ = false;
        if (auto* o = dynamic_cast<Object*>(d)) {
            token_ = o->lifetime();
            tracked_ = true;
        }
    }
    T* get() const {
        if (!p_ || (tracked_ && token_.expired())) return nullptr;
        return p_;
    }
    T* operator->() const { return get(); }
    explicit operator bool() const { return get() != nullptr; }

private:
    T* p_ = nullptr;
    std::weak_ptr<void> token_;
    bool tracked_ = false;
};

}  // namespace kit
