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

    struct FileSystemSize {
        int64_t total = 0;
        int64_t free = 0;
        std::string type;   // "apfs", "hfs", "msdos", "exfat", "ntfs"…; "" when not known
    };
    // Sizes and type of the file system holding path; nullopt when the path
    // can't be asked. Under a root, a volume of the simulated machine reports
    // its simulated sizes and type.
    std::optional<FileSystemSize> fileSystemSize(const std::string& path);

    // Shows the item at path selected in the file manager. An empty
    // rootFolder means the main viewer window. Under a system root the path is
    // appended as one line to revealedItemsPath() (the simulated machine's file
    // manager); otherwise the desktop's file manager is asked over the session
    // bus, and failing that the item's folder is opened. NO for an empty path.
    bool selectFile(const std::string& path, const std::string& inFileViewerRootedAtPath);
    // Opens a file or folder with the desktop's handler (a folder opens in the
    // file manager). Under a system root the path is appended to
    // openedFilesPath() instead. NO for an empty path.
    bool openFile(const std::string& path);
    // Moves the item at path to the user's trash. Under a system root the
    // trash is sysPath("/Users/<console user>/.Trash") (a free name is taken
    // when the item's own is used there) and the path is appended to
    // trashedItemsPath(). NO, with a reason in *error, when nothing was moved.
    bool moveItemToTrash(const std::string& path, std::string* error = nullptr);

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

// The files the simulated machine's file manager records into, one path a line.
std::string revealedItemsPath();  // sysPath("/.pelorin/revealed-items.txt")
std::string openedFilesPath();    // sysPath("/.pelorin/opened-files.txt")
std::string trashedItemsPath();   // sysPath("/.pelorin/trashed-items.txt")

}  // namespace kit
