#include "Comm/CopyFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "kit/Format.h"
#include "kit/SysPath.h"
#include "kit/System.h"
#include "kit/Workspace.h"

namespace fs = std::filesystem;

namespace screen {

namespace {

bool isEnterableFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string copyStamp(std::time_t when) {
    std::tm local {};
    localtime_r(&when, &local);
    char text[64] = {0};
    std::strftime(text, sizeof text - 1, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string copyFolderName(const std::string& stamp) { return kit::format("Pelorin(%@)", stamp); }

std::string userDesktopFolder() {
    return kit::format("%@/Desktop", kit::homeFolderForUser(kit::consoleUser()));
}

std::string makeCopyFolder(const std::string& mountPoint, const std::string& stamp) {
    const std::string name = copyFolderName(stamp);
    // The mount point must be there already: only the dated folder is made,
    // with one mkdir, so a volume unmounted in the meantime is not recreated
    // as a plain folder of the system disk.
    if (!mountPoint.empty() && isEnterableFolder(mountPoint)) {
        const std::string folder = kit::pathJoin(mountPoint, name);
        if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
            kit::logf("Can't make the copy folder %@: %@", folder, std::string(std::strerror(errno)));
        if (isEnterableFolder(folder)) return folder;
    }
    const std::string desktop = kit::pathJoin(userDesktopFolder(), name);
    std::error_code ec;
    fs::create_directories(desktop, ec);
    if (isEnterableFolder(desktop)) return desktop;
    kit::logf("Can't make the copy folder %@ either", desktop);
    return "";
}

}  // namespace screen
