#pragma once
// Whether a path is one of the system paths of the bundle's "SystemFile".
#include <string>

#include "kit/Plist.h"

class SystemFolder {
public:
    SystemFolder() = delete;
    // Reads "SystemFile" afresh; exact match only (no prefix match).
    static bool isSystemFileWithFilePath(const std::string& path);
    // The same test against a given list (keys "0", "1", … to count - 1).
    static bool isSystemFileWithFilePath(const std::string& path, const kit::Value& systemFiles);
};
