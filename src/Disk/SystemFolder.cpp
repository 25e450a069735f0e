#include "Disk/SystemFolder.h"

#include "kit/Bundle.h"
#include "kit/Format.h"
#include "kit/SysPath.h"

bool SystemFolder::isSystemFileWithFilePath(const std::string& path) {
    auto resource = kit::Bundle::main().pathForResource("SystemFile", "plist");
    if (!resource) return false;
    auto list = kit::readPlistFile(*resource);
    if (!list) return false;
    return isSystemFileWithFilePath(path, *list);
}

bool SystemFolder::isSystemFileWithFilePath(const std::string& path, const kit::Value& systemFiles) {
    if (!systemFiles.isDict()) return false;
    const size_t count = systemFiles.size();
    // The list holds the running system's own paths; the volume "/" lies at the
    // system root, so each entry is taken through it.
    for (size_t j = 0; j < count; ++j) {
        auto entry = systemFiles.getString(kit::format("%d", static_cast<int>(j)));
        if (entry && kit::sysPath(*entry) == path) return true;
    }
    return false;
}
