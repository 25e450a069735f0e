#pragma once
// The workspace: mount and unmount notifications (from watching
// sysPath("/Volumes")), the console user and home folders, and file-system sizes.
#include <cstdint>
#include <optional>
#include <string>

#include "kit/Notification.h"

namespace kit {

// Posted on Workspace::notificationCenter() on the main thread; user info
// {"DevicePath": mount point (host path)}.
inline constexpr const char* WorkspaceDidMountNotification = "WorkspaceDidMountNotification";
inline constexpr const char* WorkspaceDidUnmountNotification = "WorkspaceDidUnmountNotification";

class Workspace {
public:
    static Workspace& shared();
    // Its own centre, like the platform workspace's; watching starts on first use
    // (must be first used on the main thread).
    NotificationCenter& notificationCenter();

    struct FileSystemSize { int64_t total = 0; int64_t free = 0; };
    // Sizes of the file system holding path; nullopt when the path can't be asked.
    // Under a root, a volume of the simulated machine reports its simulated sizes.
    std::optional<FileSystemSize> fileSystemSize(const std::string& path);

private:
    Workspace();
    struct Impl;
    Impl* impl_;
};

// The user logged in at the console (the machine's "ConsoleUser" under a root;
// the real user otherwise) and a user's home folder (sysPath("/Users/<name>")
// under a root; the passwd entry otherwise).
std::string consoleUser();
std::string homeFolderForUser(const std::string& user);

}  // namespace kit
