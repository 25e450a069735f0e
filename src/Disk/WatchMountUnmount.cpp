#include "Disk/WatchMountUnmount.h"

#include "kit/Workspace.h"

WatchMountUnmount::WatchMountUnmount() {
    wsnc_ = &kit::Workspace::shared().notificationCenter();
    registerNotifications();
}

WatchMountUnmount::~WatchMountUnmount() {
    for (auto token : tokens_) wsnc_->removeObserver(token);
}

void WatchMountUnmount::registerNotifications() {
    tokens_.push_back(wsnc_->addObserver(kit::WorkspaceDidMountNotification, nullptr,
                                         [this](const kit::Notification& n) { mountedVolume(n); }));
    tokens_.push_back(wsnc_->addObserver(kit::WorkspaceDidUnmountNotification, nullptr,
                                         [this](const kit::Notification& n) { unmountedVolume(n); }));
}

void WatchMountUnmount::mountedVolume(const kit::Notification& note) {
    kit::NotificationCenter::defaultCenter().post(MCVolumeMountNotification, this, note.userInfo);
}

void WatchMountUnmount::unmountedVolume(const kit::Notification& note) {
    kit::NotificationCenter::defaultCenter().post(MCVolumeUnmountNotification, this, note.userInfo);
}
