#pragma once
// Shared utilities (class operations only): size texts, the system version as
// one integer, the network test, the disk-list text file on the console user's
// desktop, and the readers of the bundle's "PrivateData".
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "kit/Plist.h"

// A text with the look that setAddItunesBackup gives it.
struct OVAttributedString {
    std::string text;
    int red = 255, green = 255, blue = 255;
    double alpha = 1.0;
    double fontSize = 0;      // the system font at this size
    bool centred = true;
};

class OVPublicUtilities {
public:
    OVPublicUtilities() = delete;

    // Size texts in decimal units: "%.0f byte", "%0.2f KB", "MB", "GB", "TB";
    // each quotient is rounded to single precision before it is formatted.
    static std::string longlongDiskSize(int64_t size);
    static std::string longlongConvertVolSpace(int64_t size);
    // The same without the TB step (file sizes).
    static std::string convertVolSpace(uint64_t size);
    // The inverse of a size text; 0 for anything unreadable.
    static uint64_t volSpaceFromString(const std::string& text);
    static bool isMoreThan2GB(int64_t size);
    static std::string fileSystemTypeForInt(int32_t kind, bool withIsDmg, bool withIsEdi);

    // 10.15 -> 1015, 13.4 -> 1304; 1000 when the version can't be read.
    static int getSystemVersion();
    // Null out-parameters are skipped.
    static void getSystemVersionMajor(unsigned* major, unsigned* minor, unsigned* bugFix);

    // Whether our web address answers within 5 s.
    static bool isCanBeUseNetWork();

    // Appends text to "<console user's home>/Desktop/PelorinDiskList.txt", creating it.
    static void writeFileWithTab(const std::string& text);
    static std::string diskListFilePath();

    static std::optional<std::string> getInstallVersion();
    static std::optional<std::string> getUpDataTimeStr();
    static void writeUpDataTimeStr(const std::string& text);
    static bool isBootable();
    static std::string GetCurrentLanaguage();
    // Long date style with short time style ("January 5, 2024 at 3:04 PM").
    static std::optional<std::time_t> convertDateFromString(const std::string& text);
    static OVAttributedString setAddItunesBackup(const std::string& text, double withSize);

    // "diskutil info -plist <devicePath>" captured through GetExecCommand.
    static std::optional<kit::Value> OVGetDiskInfo(const char* devicePath);
};

// Capture into "SVDTray.plist" of the temporary folder; the file's path, or
// nullopt for a null command or a line too long to run whole.
std::optional<std::string> GetExecCommand(const char* command);
