#pragma once
// The window buttons of one window share a group so that all of them show
// their rollover images while the pointer is over any one of them. Groups
// live in a process-wide registry by identifier; nil names the default group.
#include <memory>
#include <optional>
#include <string>

#include "kit/ui/Responder.h"

inline constexpr const char* TCWindowButtonGroupDidUpdateRolloverStateNotification =
    "TCWindowButtonGroupDidUpdateRolloverStateNotification";

class TCWindowButtonGroup : public kit::Object {
public:
    // The group under the identifier (nullopt: the default group), made and
    // registered on first request; the same object for every request.
    static TCWindowButtonGroup& groupWithIdentifier(const std::optional<std::string>& identifier);
    static const char* defaultIdentifier() { return "org.pelorin.TCWindowButtonGroup.default"; }

    explicit TCWindowButtonGroup(std::string identifier);

    const std::string& identifier() const { return identifier_; }
    long numberOfCaptures() const { return numberOfCaptures_; }
    // Ignores a negative or unchanged count; otherwise stores it and posts
    // the rollover notification with the group as sender.
    void setNumberOfCaptures(long n);
    void didCaptureMousePointer() { setNumberOfCaptures(numberOfCaptures_ + 1); }
    void didReleaseMousePointer() { setNumberOfCaptures(numberOfCaptures_ - 1); }
    void resetMouseCaptures() { setNumberOfCaptures(0); }
    bool shouldDisplayRollOver() const { return numberOfCaptures_ > 0; }

private:
    std::string identifier_;
    long numberOfCaptures_ = 0;
};
