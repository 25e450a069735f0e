#pragma once
// Reposts the workspace's mount and unmount notifications on the default centre
// as "MCVolumeMount" / "MCVolumeUnmount" (sender: the watcher; user info: the
// workspace's, which names the volume).
#include <vector>

#include "kit/Notification.h"

inline constexpr const char* MCVolumeMountNotification = "MCVolumeMount";
inline constexpr const char* MCVolumeUnmountNotification = "MCVolumeUnmount";

class WatchMountUnmount {
public:
    // Create on the main thread: the workspace starts watching on first use.
    WatchMountUnmount();
    ~WatchMountUnmount();
    WatchMountUnmount(const WatchMountUnmount&) = delete;
    WatchMountUnmount& operator=(const WatchMountUnmount&) = delete;

    void registerNotifications();
    void mountedVolume(const kit::Notification& note);
    void unmountedVolume(const kit::Notification& note);

private:
    kit::NotificationCenter* wsnc_ = nullptr;
    std::vector<kit::NotificationCenter::Token> tokens_;
};
