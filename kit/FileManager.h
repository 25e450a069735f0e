#pragma once
// The file manager's questions about folders and files, with the platform's
// privacy rule: some folders show their contents only to a process the user
// granted Full Disk Access. Under a system root the simulated machine says which
// folders those are ("ProtectedPaths") and whether the grant was given
// ("FullDiskAccess"); on the host the operating system's own permissions answer.
#include <optional>
#include <string>
#include <vector>

namespace kit {

// Whether the path exists (symbolic links followed); *isDirectory tells a folder.
bool fileExists(const std::string& path, bool* isDirectory = nullptr);

// The names in a folder, sorted, without "." and ".."; nullopt (with a reason in
// *error) when it is not a folder or may not be listed.
std::optional<std::vector<std::string>> contentsOfDirectory(const std::string& path, std::string* error = nullptr);

// Whether this process may read the file or folder at path.
bool isReadableFile(const std::string& path);

// Whether the privacy rule keeps this process out of path: under a root, the
// machine withholds Full Disk Access and path is one of its protected folders or
// lies inside one. Always false without a root.
bool isPrivacyProtected(const std::string& path);

// The process's home folder: under a root, the console user's home in it;
// otherwise $HOME, or the user database's entry.
std::string homeDirectory();
// The home folder the user database records for the user running this process:
// under a root, the console user's home in it; nullopt when there is no entry.
std::optional<std::string> homeDirectoryFromUserDatabase();

}  // namespace kit
