#include "Bootable/FullDiskAccess.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "Disk/OVPublicUtilities.h"
#include "kit/FileManager.h"
#include "kit/SysPath.h"
#include "kit/System.h"
#include "kit/Workspace.h"
#include "kit/app/Launch.h"

namespace {

// "(a, b)" for a listing, "(null)" for none: the log's shape for a list.
std::string describe(const std::optional<std::vector<std::string>>& names) {
    if (!names) return "(null)";
    std::string out = "(";
    for (size_t i = 0; i < names->size(); ++i) out += (i ? ", " : "") + (*names)[i];
    return out + ")";
}

std::string currentUserName() {
    std::string name = kit::consoleUser();
    if (name.empty()) {
        if (const char* user = std::getenv("USER"); user && *user) name = user;
    }
    return name;
}

}  // namespace

int getAuthorizationStatus() {
    std::string home = kit::homeDirectory();
    const bool sandboxed = std::getenv("APP_SANDBOX_CONTAINER_ID") != nullptr;
    kit::logf("isSandboxed : %d", sandboxed ? 1 : 0);
    if (sandboxed) {
        // A sandboxed process's home is its container; the user's own home is
        // where the guarded folders are.
        if (auto recorded = kit::homeDirectoryFromUserDatabase()) home = *recorded;
        else kit::systemLog("no user database entry for the current user; probing the process's home folder");
    }
    const std::string path = kit::pathJoin(home, "Library/Safari");
    kit::logf("userHomePath : %@, path : %@", home, path);
    const bool exists = kit::fileExists(path);
    const auto names = kit::contentsOfDirectory(path);
    kit::logf("paths : %@", describe(names));
    if (names && exists) return 2;
    if (!names && exists) return 1;
    return 0;
}

bool checkFullDiskAccess() {
    const std::string documents = kit::pathJoin(kit::homeDirectory(), "Documents");
    bool isFolder = false;
    const bool reachable = kit::fileExists(documents, &isFolder) && !kit::isPrivacyProtected(documents);
    if (!reachable) kit::logf("Error checking disk access: %@", documents + ": the folder can't be reached");
    return reachable;
}

bool ZZCheckNeedFullDiskAccess(const std::optional<std::string>& volumePath) {
    if (!volumePath) return false;
    const std::string user = ZZGetCurrentUserName();
    if (user.empty()) return false;
    const std::string probe = kit::pathJoin(kit::pathJoin(kit::pathJoin(*volumePath, "Users"), user), ".Trash");
    bool isFolder = false;
    if (!kit::fileExists(probe, &isFolder) || !isFolder) return true;
    return !kit::contentsOfDirectory(probe).has_value();
}

bool isDiskAccessible(const std::string& path) { return kit::isReadableFile(path); }

bool ZZCheckNeedFullDiskAccessForM1ExternDev(const std::optional<std::string>& path) {
    if (!path) return false;
    return !isDiskAccessible(*path);
}

std::string ZZGetCurrentUserName() {
    // The console user of a simulated machine may change between tests; the
    // real one is kept once known.
    if (!kit::sysRoot().empty()) return currentUserName();
    static const std::string name = currentUserName();
    return name;
}

bool openFullDiskAccessSettings() {
    if (OVPublicUtilities::getSystemVersion() < 1014) return false;
    return kit::openURL(kFullDiskAccessSettingsURL);
}
